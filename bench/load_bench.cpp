// kqv-load-bench: how fast and in how much memory LoadMessageFile reads
// large and awkward mails. Generates its inputs into a temporary folder,
// loads each once (the typical mail 2,000 times), prints a table and removes
// everything again. Not run by CI; build without sanitizers for real numbers.

#include <fcntl.h>
#include <linux/magic.h>
#include <malloc.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench_mails.h"
#include "reader/message/message.h"

namespace fs = std::filesystem;

namespace {

using namespace benchmails;

constexpr std::uint64_t kMiB = 1024 * 1024;

// ---- input generation -------------------------------------------------------



std::string Base64Line(Noise& noise, int bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string line;
    for (int i = 0; i < bytes; i += 3) {
        const int n = std::min(3, bytes - i);
        std::uint32_t v = 0;
        for (int k = 0; k < 3; ++k) v = (v << 8) | (k < n ? noise.Next() : 0);
        line += kAlphabet[(v >> 18) & 63];
        line += kAlphabet[(v >> 12) & 63];
        line += n > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        line += n > 2 ? kAlphabet[v & 63] : '=';
    }
    return line;
}


// "=XX" for every 8-bit byte and "=", soft breaks at 76 columns.
void WriteQuotedPrintable(Output& out, const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line;
    for (unsigned char c : text) {
        std::string piece;
        if (c >= 128 || c == '=') {
            piece = {'=', kHex[c >> 4], kHex[c & 15]};
        } else {
            piece = std::string(1, static_cast<char>(c));
        }
        if (line.size() + piece.size() > 75) {
            out << line << "=\r\n";
            line.clear();
        }
        line += piece;
    }
    out << line << "\r\n";
}


void MakeBase64Attachment(const fs::path& path) {
    Output out(path);
    Header(out, "100 MiB base64", "multipart/mixed; boundary=\"b\"");
    out << "\r\n--b\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n\r\nAnbei die Daten.\r\n";
    out << "--b\r\nContent-Type: application/octet-stream; name=\"daten.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"daten.bin\"\r\n\r\n";
    Noise noise;
    while (out.Written() < 100 * kMiB) out << Base64Line(noise, 57) << "\r\n";
    out << "--b--\r\n";
}

void MakeQuotedPrintableText(const fs::path& path) {
    Output out(path);
    Header(out, "100 MiB quoted-printable", "text/plain; charset=ISO-8859-1");
    out << "Content-Transfer-Encoding: quoted-printable\r\n\r\n";
    Noise noise;
    while (out.Written() < 100 * kMiB) WriteQuotedPrintable(out, TextLine(noise, 140));
}

void MakeManyParts(const fs::path& path) {
    Output out(path);
    Header(out, "20000 parts", "multipart/mixed; boundary=\"teil\"");
    out << "\r\n";
    Noise noise;
    for (int i = 0; i < 20000; ++i) {
        if (i % 10 == 9) {
            out << "--teil\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n"
                   "Content-Disposition: attachment; filename=\"teil"
                << std::to_string(i) << ".bin\"\r\n\r\n"
                << Base64Line(noise, 57) << "\r\n";
        } else {
            out << "--teil\r\nContent-Type: text/plain; charset=ISO-8859-1\r\n\r\nTeil " << std::to_string(i)
                << ": " << TextLine(noise, 60) << "\r\n";
        }
    }
    out << "--teil--\r\n";
}

void MakeDeepNesting(const fs::path& path) {
    constexpr int kLevels = 200;
    Output out(path);
    Header(out, "200 levels", "multipart/mixed; boundary=\"ebene0\"");
    out << "\r\n";
    for (int level = 0; level < kLevels; ++level) {
        const std::string b = "ebene" + std::to_string(level);
        out << "--" << b << "\r\nContent-Type: text/plain\r\n\r\nEbene " << std::to_string(level) << "\r\n";
        if (level + 1 < kLevels)
            out << "--" << b << "\r\nContent-Type: multipart/mixed; boundary=\"ebene" << std::to_string(level + 1)
                << "\"\r\n\r\n";
    }
    for (int level = kLevels - 1; level >= 0; --level) out << "--ebene" << std::to_string(level) << "--\r\n";
}

void MakePlainBody(const fs::path& path) {
    Output out(path);
    Header(out, "50 MiB plain", "");
    out << "\r\n";
    Noise noise;
    while (out.Written() < 50 * kMiB) out << TextLine(noise, 72) << "\r\n";
}

void MakeLongLines(const fs::path& path) {
    Output out(path);
    Header(out, "three 10 MiB lines", "");
    out << "\r\n";
    std::string line(10 * kMiB, 'x');
    for (std::size_t i = 0; i < line.size(); i += 97) line[i] = ' ';
    for (int i = 0; i < 3; ++i) out << line << "\r\n";
}

void MakeTypical(const fs::path& path) {
    Output out(path);
    Header(out, "Typisch", "multipart/mixed; boundary=\"aussen\"");
    out << "\r\nThis is a multi-part message in MIME format.\r\n\r\n";
    out << "--aussen\r\nContent-Type: multipart/alternative; boundary=\"innen\"\r\n\r\n";
    Noise noise;
    out << "--innen\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    for (int i = 0; i < 80; ++i) WriteQuotedPrintable(out, TextLine(noise, 70));
    out << "--innen\r\nContent-Type: text/html; charset=ISO-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n";
    WriteQuotedPrintable(out, "<html><body>");
    for (int i = 0; i < 120; ++i) WriteQuotedPrintable(out, "<p>" + TextLine(noise, 60) + "</p>");
    WriteQuotedPrintable(out, "<img src=\"cid:bild@example.org\"></body></html>");
    out << "--innen--\r\n\r\n";
    out << "--aussen\r\nContent-Type: image/png; name=\"bild.png\"\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-ID: <bild@example.org>\r\nContent-Disposition: inline; filename=\"bild.png\"\r\n\r\n";
    const std::uint64_t imageStart = out.Written();
    while (out.Written() - imageStart < 40 * 1024) out << Base64Line(noise, 57) << "\r\n";
    out << "--aussen--\r\n";
}

// ---- measuring ----------------------------------------------------------------

long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, keyLength, key) == 0) return std::strtol(line.c_str() + keyLength, nullptr, 10);
    return -1;
}

// Makes VmHWM start again from the current resident size.
bool ResetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return out.good();
}

struct Measurement {
    bool ok = false;
    std::string error;
    int parts = 0;
    double seconds = 0;
    long peakIncreaseKiB = -1;
};

Measurement LoadOnce(const fs::path& mail, const fs::path& attachmentFolder, bool measurePeak) {
    Measurement m;
    long baseline = 0;
    if (measurePeak) {
        // Freed memory back to the system first, so that the peak is this
        // load's own. Not between the repeated loads of one mail: a viewer
        // does not trim either, and the trim makes every load fault its
        // memory in afresh.
        malloc_trim(0);
        if (!ResetPeak()) return m;
        baseline = StatusKiB("VmRSS:");
    }
    {
        TIdMessage message;
        message.SetAttachmentTempDirectory(attachmentFolder.string());
        const auto start = std::chrono::steady_clock::now();
        try {
            message.LoadMessageFile(mail.string());
            m.ok = true;
        } catch (const std::exception& e) {
            m.error = e.what();
        }
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        m.parts = message.Parts.Count();
        if (measurePeak) m.peakIncreaseKiB = StatusKiB("VmHWM:") - baseline;
    }
    return m;
}

// Without a resettable peak: a fresh child per case, whose VmHWM is its own.
Measurement LoadInChild(const fs::path& mail, const fs::path& attachmentFolder) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const long before = StatusKiB("VmHWM:");
        Measurement m = LoadOnce(mail, attachmentFolder, false);
        m.peakIncreaseKiB = StatusKiB("VmHWM:") - before;
        const std::string line = std::to_string(m.ok) + " " + std::to_string(m.parts) + " " +
                                 std::to_string(m.seconds) + " " + std::to_string(m.peakIncreaseKiB) + " " + m.error;
        if (::write(fds[1], line.data(), line.size()) < 0) ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string line;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) line.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    Measurement m;
    int ok = 0;
    char error[256] = "";
    if (std::sscanf(line.c_str(), "%d %d %lf %ld %255[^\n]", &ok, &m.parts, &m.seconds, &m.peakIncreaseKiB, error) >= 4) {
        m.ok = ok != 0;
        m.error = error;
    }
    return m;
}

const char* FileSystemName(const fs::path& folder) {
    struct statfs st {};
    if (::statfs(folder.c_str(), &st) != 0) return "unknown";
    switch (st.f_type) {
        case EXT4_SUPER_MAGIC: return "ext4";
        case TMPFS_MAGIC: return "tmpfs";
        case BTRFS_SUPER_MAGIC: return "btrfs";
        case XFS_SUPER_MAGIC: return "xfs";
        case OVERLAYFS_SUPER_MAGIC: return "overlayfs";
        default: return "other";
    }
}

// What the folder alone costs per attachment file: exclusive creation, a
// small write and the close, as loading does; the removal afterwards. Loading
// many small attachments cannot be faster than this.
void PrintFileSystemFloor(const fs::path& folder, int files) {
    const std::string data(43, 'x');
    std::vector<std::string> names;
    for (int i = 0; i < files; ++i) names.push_back((folder / ("floor" + std::to_string(i) + ".tmp")).string());
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name : names) {
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) throw std::runtime_error("cannot create " + name);
        const bool written = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size());
        ::close(fd);
        if (!written) throw std::runtime_error("cannot write " + name);
    }
    const auto created = std::chrono::steady_clock::now();
    for (const std::string& name : names) ::unlink(name.c_str());
    const auto removed = std::chrono::steady_clock::now();
    const double createUs = std::chrono::duration<double, std::micro>(created - start).count() / files;
    const double removeUs = std::chrono::duration<double, std::micro>(removed - created).count() / files;
    std::printf("file-system floor: %d files created, written and closed at %.1f us each, removed at %.1f us each\n",
                files, createUs, removeUs);
}

struct Case {
    const char* name;
    const char* file;
    std::function<void(const fs::path&)> make;
};

}  // namespace

// Arguments, if any, select cases whose name contains one of them ("typical"
// selects the typical mail): handy under a profiler.
int main(int argc, char** argv) {
    const std::vector<std::string> only(argv + 1, argv + argc);
    auto selected = [&only](std::string_view name) {
        if (only.empty()) return true;
        for (const std::string& word : only)
            if (name.find(word) != std::string_view::npos) return true;
        return false;
    };
    std::string pattern = (fs::temp_directory_path() / "kqv-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root(pattern);
    const fs::path attachments = root / "attachments";
    fs::create_directory(attachments);

    const Case cases[] = {
        {"100 MiB base64 attachment", "base64.kqv", MakeBase64Attachment},
        {"100 MiB quoted-printable text", "qp.kqv", MakeQuotedPrintableText},
        {"20,000 small parts", "parts.kqv", MakeManyParts},
        {"200 nesting levels", "nesting.kqv", MakeDeepNesting},
        {"50 MiB plain body, no MIME", "plain.kqv", MakePlainBody},
        {"three 10 MiB lines", "lines.kqv", MakeLongLines},
    };

    int status = 0;
    try {
        std::printf("attachment folder: %s (%s)\n", attachments.c_str(), FileSystemName(attachments));
        const bool peakResets = ResetPeak();
        std::printf("peak memory: %s\n\n", peakResets ? "VmHWM reset through /proc/self/clear_refs"
                                                      : "one child process per case");
        std::printf("%-32s %10s %8s %10s %10s %14s\n", "case", "size MB", "parts", "load s", "MB/s",
                    "peak +MiB");
        for (const Case& c : cases) {
            if (!selected(c.name)) continue;
            const fs::path mail = root / c.file;
            c.make(mail);
            const double sizeMB = static_cast<double>(fs::file_size(mail)) / 1e6;
            const Measurement m = peakResets ? LoadOnce(mail, attachments, true) : LoadInChild(mail, attachments);
            std::printf("%-32s %10.1f %8d %10.3f %10.1f %14.1f%s%s\n", c.name, sizeMB, m.parts, m.seconds,
                        m.seconds > 0 ? sizeMB / m.seconds : 0.0, static_cast<double>(m.peakIncreaseKiB) / 1024.0,
                        m.ok ? "" : "  FAILED: ", m.error.c_str());
            if (!m.ok) status = 1;
            fs::remove(mail);
        }

        if (selected("typical")) {
            const fs::path typical = root / "typical.kqv";
            MakeTypical(typical);
            constexpr int kRepeats = 2000;
            const auto start = std::chrono::steady_clock::now();
            int failures = 0;
            for (int i = 0; i < kRepeats; ++i)
                if (!LoadOnce(typical, attachments, false).ok) ++failures;
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double sizeMB = static_cast<double>(fs::file_size(typical)) / 1e6;
            std::printf("\ntypical mail (%.1f KiB: text, HTML, base64 image) x %d: %.3f ms per message, %.1f MB/s%s\n",
                        sizeMB * 1e6 / 1024, kRepeats, seconds * 1000 / kRepeats, sizeMB * kRepeats / seconds,
                        failures ? "  FAILED" : "");
            if (failures) status = 1;
        }
        // Last, so that its removals do not slow the creations measured above.
        std::printf("\n");
        PrintFileSystemFloor(attachments, 2000);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kqv-load-bench: %s\n", e.what());
        status = 1;
    }

    std::error_code ec;
    fs::remove_all(root, ec);
    return status;
}
