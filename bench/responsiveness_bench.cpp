// kqv-responsiveness-bench: how long the viewer's window keeps the user
// waiting while it shows mails. Builds the viewer's main window and mail
// view as the program does, drops each mail on it in turn, and meanwhile a
// second thread posts an event every 10 ms (every fifth one after a
// PageDown key to the text page) and notes when the window answered it.
// Reports, per mail and overall, the longest wait. Not run by CI; build
// without sanitizers for real numbers.
//
//   kqv-responsiveness-bench [--corpus DIR] [--large] [--quiet] [FILE...]
//   kqv-responsiveness-bench --write-large DIR
//
// --corpus takes every file below DIR, --large adds a 100 MB text mail and
// a mail with a 1 MB line, generated into a temporary folder (--write-large
// only writes these two into DIR). Message boxes are answered at once (and
// counted).

#include <QApplication>
#include <QKeyEvent>
#include <QTabWidget>
#include <QWidget>
#include <QWebEnginePage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_mails.h"
#include "reader/decoding/message_decoder.h"
#include "shell/qt/main_window.h"
#include "shell/qt/merivo_application.h"
#include "shell/registration/file_type_registrar.h"
#include "view/qt/mail_view_form.h"
#include "view/qt/mail_web_page.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr auto kProbeInterval = std::chrono::milliseconds(10);
constexpr int kKeyEvery = 5;
constexpr auto kSettle = std::chrono::milliseconds(150);
constexpr auto kPerMailLimit = std::chrono::seconds(120);
constexpr double kGoalMs = 100;

const QEvent::Type kProbeType = static_cast<QEvent::Type>(QEvent::User + 17);

class ProbeEvent : public QEvent {
public:
    ProbeEvent() : QEvent(kProbeType), posted(Clock::now()) {}
    Clock::time_point posted;
};

// Lives on the GUI thread; notes how late each probe arrived.
class Answerer : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() != kProbeType) return QObject::event(e);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() -
                                                                    static_cast<ProbeEvent*>(e)->posted)
                              .count();
        waits.push_back(ms);
        return true;
    }
    std::vector<double> waits;
};

class Prober {
public:
    Prober(Answerer& answerer, QWidget* keyTarget) : answerer_(answerer), keyTarget_(keyTarget) {
        thread_ = std::thread([this] { Run(); });
    }
    ~Prober() {
        running_ = false;
        thread_.join();
    }

private:
    void Run() {
        for (int n = 0; running_; ++n) {
            if (keyTarget_ && n % kKeyEvery == 0) {
                QCoreApplication::postEvent(keyTarget_, new QKeyEvent(QEvent::KeyPress, Qt::Key_PageDown, {}));
                QCoreApplication::postEvent(keyTarget_, new QKeyEvent(QEvent::KeyRelease, Qt::Key_PageDown, {}));
            }
            QCoreApplication::postEvent(&answerer_, new ProbeEvent);
            std::this_thread::sleep_for(kProbeInterval);
        }
    }
    Answerer& answerer_;
    QWidget* keyTarget_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

// The viewer's form before it read in the background had no Reading().
template <typename Form>
bool Reading(Form& form) {
    if constexpr (requires { form.Reading(); })
        return form.Reading();
    else
        return false;
}

struct Result {
    std::string name;
    double longestMs = 0;
    double shownAfterMs = 0;
};

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

struct Mail {
    std::string path;  // what is dropped
    std::string name;  // what is reported
};

// Every file below source, copied under a name the viewer takes.
std::vector<Mail> CopiedAsKqv(const fs::path& source, const fs::path& target) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(source))
        if (entry.is_regular_file() && entry.path().extension() != ".md" &&
            !entry.path().filename().string().starts_with("."))
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<Mail> copies;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path copy = target / (std::to_string(i) + ".kqv");
        fs::copy_file(files[i], copy);
        copies.push_back({copy.string(), fs::relative(files[i], source).string()});
    }
    return copies;
}

void WriteLargeMails(const fs::path& folder, std::vector<Mail>& mails) {
    mails.push_back({(folder / "text-100MB.kqv").string(), "text-100MB.kqv"});
    benchmails::WritePlainTextMail(mails.back().path, 100'000'000);
    mails.push_back({(folder / "line-1MB.kqv").string(), "line-1MB.kqv"});
    benchmails::WriteLongLineMail(mails.back().path, 1'000'000);
}

}  // namespace

int main(int argc, char** argv) {
    InitializeReader();
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    MerivoApplication app(argc, argv);
    int unhandled = 0;
    app.showException = [&unhandled](const QString&) { ++unhandled; };

    std::vector<Mail> mails;
    bool large = false, quiet = false;
    std::string corpus;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--write-large" && i + 1 < args.size()) {
            WriteLargeMails(args[i + 1].toStdString(), mails);
            return 0;
        }
        if (args[i] == "--corpus" && i + 1 < args.size())
            corpus = args[++i].toStdString();
        else if (args[i] == "--large")
            large = true;
        else if (args[i] == "--quiet")
            quiet = true;
        else
            mails.push_back({args[i].toStdString(), args[i].toStdString()});
    }

    std::string pattern = (fs::temp_directory_path() / "kqv-responsive-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path work(pattern);
    view::SetTempDir((work / "Temp").string());
    if (!corpus.empty()) {
        fs::create_directory(work / "corpus");
        for (Mail& copy : CopiedAsKqv(corpus, work / "corpus")) mails.push_back(std::move(copy));
    }
    if (large) WriteLargeMails(work, mails);

    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog saveDialog;
    view::RecordingShell shell;
    view::qt::MailViewServices services;
    services.boxes = &boxes;
    services.saveDialog = &saveDialog;
    services.shell = &shell;
    TformMailansehen mailView(nullptr, services);
    MainWindowPorts ports;
    ports.showMail = [&mailView](const QString& path) {
        mailView.SetMailFileName(path.toStdString());
        mailView.ChangeMail();
    };
    TformMailViewer window(mailView.panelOben(), mailView.pcMailAnsicht(), {QStringLiteral("viewer")},
                           std::move(ports));
    window.show();
    const auto waitFor = [](auto done, Clock::duration limit) {
        const auto until = Clock::now() + limit;
        while (!done() && Clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    waitFor([] { return false; }, std::chrono::milliseconds(500));

    Answerer answerer;
    std::vector<Result> results;
    {
        Prober prober(answerer, window.findChild<QWidget*>(QStringLiteral("reNachricht")));
        for (const Mail& mail : mails) {
            const std::size_t first = answerer.waits.size();
            const auto start = Clock::now();
            window.DropFiles({QString::fromStdString(mail.path)});
            waitFor([&] { return !Reading(mailView) && !mailView.WebPage()->isLoading(); }, kPerMailLimit);
            const double shown = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            waitFor([] { return false; }, kSettle);
            Result r{mail.name, 0, shown};
            for (std::size_t i = first; i < answerer.waits.size(); ++i)
                r.longestMs = std::max(r.longestMs, answerer.waits[i]);
            if (!quiet)
                std::printf("%-40s longest wait %8.1f ms, shown after %8.1f ms\n", r.name.c_str(), r.longestMs, shown);
            std::fflush(stdout);
            results.push_back(r);
        }
    }

    const auto worst = std::max_element(results.begin(), results.end(),
                                        [](const Result& a, const Result& b) { return a.longestMs < b.longestMs; });
    const long over =
        std::count_if(results.begin(), results.end(), [](const Result& r) { return r.longestMs > kGoalMs; });
    std::printf("\n%zu mails, %zu probes: median wait %.1f ms, 99th percentile %.1f ms, longest %.1f ms (%s)\n",
                results.size(), answerer.waits.size(), Percentile(answerer.waits, 0.5),
                Percentile(answerer.waits, 0.99), worst == results.end() ? 0.0 : worst->longestMs,
                worst == results.end() ? "-" : worst->name.c_str());
    std::printf("mails with a wait over %.0f ms: %ld; message boxes answered: %zu; errors shown: %d\n", kGoalMs, over,
                boxes.boxes.size(), unhandled);
    for (const Result& r : results)
        if (r.longestMs > kGoalMs) std::printf("  %-40s %8.1f ms\n", r.name.c_str(), r.longestMs);

    std::error_code ec;
    fs::remove_all(work, ec);
    return 0;
}
