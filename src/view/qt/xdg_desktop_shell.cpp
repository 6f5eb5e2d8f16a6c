#include "view/qt/xdg_desktop_shell.h"

#include <QDesktopServices>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>

#include "view/qt/program_chooser_dialog.h"
#include "view/qt/qt_text.h"

#ifdef KQV_HAVE_QTDBUS
#include <fcntl.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#endif

namespace view::qt {
namespace {

constexpr int kQueryTimeoutMs = 5000;

std::optional<QString> RunAndRead(const QStringList& argv) {
    if (argv.isEmpty()) return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(argv.front(), argv.mid(1), QIODevice::ReadOnly);
    if (!process.waitForStarted(kQueryTimeoutMs)) return std::nullopt;
    if (!process.waitForFinished(kQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished(kQueryTimeoutMs);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

bool PortalOpenWith(const QString& path) {
#ifdef KQV_HAVE_QTDBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const QDBusUnixFileDescriptor descriptor(fd);  // keeps its own duplicate
    ::close(fd);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.OpenURI"), QStringLiteral("OpenFile"));
    const QVariantMap options{{QStringLiteral("ask"), true}};
    call << QString() << QVariant::fromValue(descriptor) << options;
    // The answer is only the handle of the question; the user answers the
    // portal, not us.
    const QDBusMessage reply = bus.call(call, QDBus::Block, kQueryTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
#else
    (void)path;
    return false;
#endif
}

}  // namespace

std::optional<bool> HasDefaultProgram(const QStringList& mimeTypes, const ProgramOutput& run) {
    bool anyAnswer = false;
    for (const QString& type : mimeTypes) {
        const std::optional<QString> answer = run({QStringLiteral("xdg-mime"), QStringLiteral("query"),
                                                   QStringLiteral("default"), type});
        if (!answer) continue;
        anyAnswer = true;
        if (!answer->trimmed().isEmpty()) return true;
    }
    if (!anyAnswer) return std::nullopt;
    return false;
}

QStringList MimeTypesOfFile(const QString& path) {
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
    QStringList types{type.name()};
    for (const QString& ancestor : type.allAncestors())
        if (!types.contains(ancestor)) types << ancestor;
    return types;
}

XdgDesktopShell::Desktop XdgDesktopShell::RealDesktop(QWidget* anchor) {
    QPointer<QWidget> parent(anchor);
    return Desktop{
        RunAndRead,
        [](const QUrl& url) { return QDesktopServices::openUrl(url); },
        PortalOpenWith,
        [parent](const QString& path) { ChooseAndStartProgram(path, parent ? parent->window() : nullptr); },
    };
}

XdgDesktopShell::XdgDesktopShell(QWidget* anchor) : desktop_(RealDesktop(anchor)) {}

ShellOpenResult XdgDesktopShell::OpenFile(const std::string& path) {
    const QString file = PathToQString(path);
    // xdg-open says nothing useful when no program fits: ask first.
    if (HasDefaultProgram(MimeTypesOfFile(file), desktop_.run) == false) return ShellOpenResult::soNoAssociation;
    // Without any opener, no program is associated in any useful sense.
    return desktop_.openUrl(QUrl::fromLocalFile(file)) ? ShellOpenResult::soOpened
                                                       : ShellOpenResult::soNoAssociation;
}

void XdgDesktopShell::ChooseProgramFor(const std::string& path) {
    const QString file = PathToQString(path);
    if (desktop_.portalOpenWith && desktop_.portalOpenWith(file)) return;
    if (desktop_.chooseProgram) desktop_.chooseProgram(file);
}

void XdgDesktopShell::OpenUrl(const std::string& url) {
    desktop_.openUrl(QUrl::fromEncoded(QByteArray::fromStdString(url)));
}

}  // namespace view::qt
