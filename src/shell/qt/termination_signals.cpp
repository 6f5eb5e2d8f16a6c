#include "shell/qt/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QWidget>

#include <atomic>
#include <csignal>

namespace {

int g_signalPipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnTerminationSignal(int) {
    g_requested.store(true);
    const char byte = 1;
    // Only async-signal-safe work here: wake the event loop. The socket does
    // not block, so a burst of signals cannot hang the handler.
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void CloseModalWindow(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window))
        dialog->reject();
    else
        window->close();
}

// Once the program is ending, no box may wait for an answer: the open ones
// close, and a box opened by code still running closes as it appears.
class ModalCloser final : public QObject {
public:
    using QObject::QObject;

    static void CloseOpenOnes() {
        // Menus close from the innermost out; the bound keeps a popup that
        // refuses from holding us here.
        for (int i = 0; i < 8; ++i)
            if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->isModal()) CloseModalWindow(window);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            // Queued: the box's own event loop runs it.
            if (window->isWindow() && window->isModal())
                QMetaObject::invokeMethod(window, [window] { CloseModalWindow(window); }, Qt::QueuedConnection);
        }
        return false;
    }
};

void Terminate(QCoreApplication* app) {
    static bool closerInstalled = false;
    if (!closerInstalled) {
        closerInstalled = true;
        app->installEventFilter(new ModalCloser(app));
    }
    ModalCloser::CloseOpenOnes();
    // Ends the main loop when it runs; before it runs, ExecUntilTerminated
    // does not enter it.
    QCoreApplication::quit();
}

}  // namespace

void CatchTerminationSignals() {
    if (g_signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

void QuitOnTerminationSignals(QCoreApplication* app) {
    CatchTerminationSignals();
    if (g_signalPipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [app] {
        char bytes[64];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        Terminate(app);
    });
}

bool TerminationRequested() { return g_requested.load(); }

int ExecUntilTerminated() {
    if (TerminationRequested()) return 0;
    return QCoreApplication::exec();
}
