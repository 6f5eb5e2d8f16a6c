// kqv-paint-probe: starts a program under the X server of $DISPLAY and
// reports, in milliseconds after its start, when its top-level window with
// the given caption was mapped and when a pixel of the given kind first
// showed inside a region of that window. Ends the program with SIGTERM
// afterwards and reports its peak memory and how long it took to end.
// Not run by CI.
//
//   kqv-paint-probe [--caption TEXT] [--color RRGGBB | --dark] [--region X,Y,W,H]
//                   [--hold SECONDS] [--settle] [--timeout SECONDS] -- PROGRAM [ARGS...]
//
// --dark looks for dark text on a light ground; --hold waits that long
// before SIGTERM, --settle until the program used no CPU for a second. A
// program that has not ended --timeout seconds after SIGTERM is killed.
//
// Output, one line: "map_ms=... paint_ms=... end_ms=... peak_rss_kib=..."
// (paint_ms=- when no colour was asked for or none showed in time).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool g_xError = false;

// A window may go away between two looks (Qt re-creates a window when it
// brings OpenGL in); such errors only mean "look again".
int NoteXError(Display*, XErrorEvent*) {
    g_xError = true;
    return 0;
}

struct Options {
    std::string caption = "Merivo Email Betrachter V1.04";
    std::optional<unsigned long> color;  // 0xRRGGBB
    bool dark = false;
    int x = 0, y = 0, w = -1, h = -1;
    double holdSeconds = 0;
    bool settle = false;
    double timeoutSeconds = 30;
    std::vector<char*> command;
};

[[noreturn]] void Usage() {
    std::fputs("usage: kqv-paint-probe [--caption TEXT] [--color RRGGBB | --dark] [--region X,Y,W,H]\n"
               "                       [--hold SECONDS] [--settle] [--timeout SECONDS] -- PROGRAM [ARGS...]\n",
               stderr);
    std::exit(2);
}

Options Parse(int argc, char** argv) {
    Options o;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage();
            return argv[++i];
        };
        if (a == "--") {
            ++i;
            break;
        } else if (a == "--caption") {
            o.caption = value();
        } else if (a == "--color") {
            o.color = std::stoul(value(), nullptr, 16);
        } else if (a == "--dark") {
            o.dark = true;
        } else if (a == "--region") {
            if (std::sscanf(value().c_str(), "%d,%d,%d,%d", &o.x, &o.y, &o.w, &o.h) != 4) Usage();
        } else if (a == "--hold") {
            o.holdSeconds = std::stod(value());
        } else if (a == "--settle") {
            o.settle = true;
        } else if (a == "--timeout") {
            o.timeoutSeconds = std::stod(value());
        } else {
            Usage();
        }
    }
    for (; i < argc; ++i) o.command.push_back(argv[i]);
    if (o.command.empty()) Usage();
    o.command.push_back(nullptr);
    return o;
}

double Ms(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool HasCaption(Display* display, Window window, const std::string& caption) {
    char* name = nullptr;
    if (!XFetchName(display, window, &name) || !name) return false;
    const bool same = caption == name;
    XFree(name);
    return same;
}

// The mapped top-level window with the caption, if there is one yet.
std::optional<Window> FindWindow(Display* display, const std::string& caption) {
    Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
            HasCaption(display, children[i], caption))
            found = children[i];
    }
    if (children) XFree(children);
    return found;
}

// Grabs a region of the window through shared memory and looks for the pixel.
class RegionWatcher {
public:
    RegionWatcher(Display* display, Window window, const Options& o) : display_(display), window_(window), o_(o) {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        w_ = o.w < 0 ? attributes.width - o.x : o.w;
        h_ = o.h < 0 ? attributes.height - o.y : o.h;
        if (w_ <= 0 || h_ <= 0) return;
        image_ = XShmCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap, nullptr,
                                 &shm_, static_cast<unsigned>(w_), static_cast<unsigned>(h_));
        shm_.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image_->bytes_per_line) * h_, IPC_CREAT | 0600);
        shm_.shmaddr = image_->data = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
        shm_.readOnly = False;
        XShmAttach(display, &shm_);
        XSync(display, False);
        shmctl(shm_.shmid, IPC_RMID, nullptr);
    }
    ~RegionWatcher() {
        if (!Valid()) return;
        XShmDetach(display_, &shm_);
        XDestroyImage(image_);
        shmdt(shm_.shmaddr);
    }
    RegionWatcher(const RegionWatcher&) = delete;
    RegionWatcher& operator=(const RegionWatcher&) = delete;

    bool Valid() const { return image_ != nullptr && shm_.shmaddr != nullptr; }

    bool Shows() {
        g_xError = false;
        if (!XShmGetImage(display_, window_, image_, o_.x, o_.y, AllPlanes)) return false;
        XSync(display_, False);
        if (g_xError) return false;
        long light = 0, dark = 0;
        for (int row = 0; row < h_; ++row)
            for (int column = 0; column < w_; ++column) {
                const unsigned long pixel = XGetPixel(image_, column, row) & 0xFFFFFF;
                if (o_.color && pixel == *o_.color) return true;
                const unsigned long r = pixel >> 16, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
                if (r < 48 && g < 48 && b < 48) ++dark;
                if (r > 224 && g > 224 && b > 224) ++light;
            }
        // Text: dark strokes on a mostly light ground. A window not yet
        // painted is black all over.
        const long all = static_cast<long>(w_) * h_;
        return o_.dark && dark > 0 && light * 2 > all && dark * 10 < all;
        return false;
    }

private:
    Display* display_;
    Window window_;
    const Options& o_;
    int w_ = 0, h_ = 0;
    XImage* image_ = nullptr;
    XShmSegmentInfo shm_{};
};

// CPU time the process used so far, in clock ticks.
long CpuTicks(pid_t pid) {
    std::FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
    if (!f) return -1;
    char buffer[1024];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    // Fields 14 and 15 (utime, stime) follow the command name in parentheses.
    const char* p = std::strrchr(buffer, ')');
    long utime = 0, stime = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %ld %ld", &utime, &stime) != 2) return -1;
    return utime + stime;
}

void WaitUntilIdle(pid_t pid, Clock::time_point deadline) {
    long before = CpuTicks(pid);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const long now = CpuTicks(pid);
        if (now < 0 || now - before <= 2) return;
        before = now;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options o = Parse(argc, argv);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fputs("kqv-paint-probe: no X display\n", stderr);
        return 1;
    }
    XSetErrorHandler(NoteXError);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(o.command[0], o.command.data());
        std::perror("exec");
        _exit(127);
    }
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.timeoutSeconds));

    std::optional<Window> window;
    double mapMs = -1, paintMs = -1;
    while (Clock::now() < deadline && !window) {
        window = FindWindow(display, o.caption);
        if (window) mapMs = Ms(start, Clock::now());
        else std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (window && (o.color || o.dark)) {
        while (Clock::now() < deadline && paintMs < 0) {
            RegionWatcher watcher(display, *window, o);
            while (watcher.Valid() && Clock::now() < deadline) {
                if (watcher.Shows()) {
                    paintMs = Ms(start, Clock::now());
                    break;
                }
                if (g_xError) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            if (paintMs >= 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
            if (const auto again = FindWindow(display, o.caption)) window = again;
        }
    }
    if (o.holdSeconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(o.holdSeconds));
    if (o.settle) WaitUntilIdle(child, deadline);

    const auto termAt = Clock::now();
    kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    double endMs = -1;
    for (;;) {
        const pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child) {
            endMs = Ms(termAt, Clock::now());
            break;
        }
        if (Ms(termAt, Clock::now()) > o.timeoutSeconds * 1000) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    XCloseDisplay(display);

    auto field = [](double ms) { return ms < 0 ? std::string("-") : std::to_string(static_cast<long>(ms + 0.5)); };
    std::printf("map_ms=%s paint_ms=%s end_ms=%s peak_rss_kib=%ld\n", field(mapMs).c_str(), field(paintMs).c_str(),
                field(endMs).c_str(), usage.ru_maxrss);
    return window ? 0 : 1;
}
