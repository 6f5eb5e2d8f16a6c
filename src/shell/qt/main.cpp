// The program entry of the viewer.

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTabWidget>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/decoding/message_decoder.h"
#include "shell/qt/main_window.h"
#include "shell/qt/merivo_application.h"
#include "shell/qt/pdf_export.h"
#ifdef Q_OS_WIN
#include "shell/qt/windows_registry.h"
#else
#include "shell/qt/termination_signals.h"
#endif
#include "shell/registration/file_type_registrar.h"
#include "view/qt/find_bar.h"
#include "shell/startup/mail_file_choice.h"
#include "view/qt/mail_view_form.h"
#include "view/temp_dir.h"

namespace {

std::unique_ptr<FileTypeRegistrar> MakeRegistrar() {
#ifdef Q_OS_WIN
    return std::make_unique<RegistryRegistrar>(std::make_unique<WindowsRegistry>());
#else
    return std::make_unique<FreedesktopRegistrar>(XdgFolders::FromEnvironment());
#endif
}

// How long the window waits for the start-up mail before it shows itself.
constexpr int kStartUpWaitMs = 150;

// The first argument, when the main window will show it.
std::optional<QString> StartUpMailFile() {
    std::vector<std::string> args;
    for (const QString& arg : QCoreApplication::arguments()) args.push_back(arg.toUtf8().toStdString());
    const std::optional<std::string> first = CommandLineMailFile(args);
    if (!first || !HasKqvExtension(*first)) return std::nullopt;
    return QString::fromStdString(*first);
}

void ShowPlainMessage(QWidget* parent, const QString& text) {
    PlainTextMessageBox(QMessageBox::NoIcon, text, parent)->exec();
}

}  // namespace

int main(int argc, char** argv) {
#ifndef Q_OS_WIN
    // From the first moment on a signal ends the program through its cleanup.
    CatchTerminationSignals();
#endif
    // The process-wide tables of the reader come first.
    InitializeReader();

    // The export shows no window, wherever it runs.
    const bool pdfExport = WantsPdfExport(argc, argv);
    if (pdfExport) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // stderr carries our error lines only, not the web engine's report
        // of the graphics it found.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    }

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    MerivoApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8("Merivo Emailbetrachter"));
    QGuiApplication::setDesktopFileName("merivo-mailviewer");
#ifndef Q_OS_WIN
    QuitOnTerminationSignals(&app);
#endif

    const QString exeDir = QDir(QCoreApplication::applicationDirPath()).absolutePath() + "/";
    view::SetTempDir(view::DefaultTempDir(exeDir.toStdString()));

    if (pdfExport) {
        QString usage;
        const std::optional<PdfExportRequest> request = ParsePdfExport(QCoreApplication::arguments(), usage);
        if (!usage.isEmpty() || !request) {
            std::fprintf(stderr, "%s\n", usage.toUtf8().constData());
            return 1;
        }
        return RunPdfExport(*request);
    }

    TformMailansehen mailView;
    // The mail named on the command line is read while the window is made,
    // so that its page loads while the window maps; FormShow then finds its
    // request under way.
    std::optional<QString> startUpMail = StartUpMailFile();
    if (startUpMail) mailView.BeginStartUpMail(*startUpMail, kStartUpWaitMs);

    MainWindowPorts ports;
    ports.showMail = [&mailView, startUpMail](const QString& path) mutable {
        if (startUpMail && path == *startUpMail) {
            startUpMail.reset();
            return;
        }
        mailView.SetMailFileName(path.toStdString());
        mailView.ChangeMail();
    };
    ports.chooseMailFile = ExecuteOpenDialog;
    ports.showPlainMessage = ShowPlainMessage;
    ports.registrar = MakeRegistrar();
    ports.executablePath = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();
    ports.findBar = mailView.panelSuchen();
    ports.viewCommands = &mailView.Commands();
    ports.charsetMenu = mailView.Zeichenkodierung();

    TformMailViewer window(mailView.panelOben(), mailView.pcMailAnsicht(), QCoreApplication::arguments(),
                           std::move(ports));
    QObject::connect(&mailView, &TformMailansehen::readingChanged, &window, &TformMailViewer::ShowMailBeingRead);
    window.show();
    window.ShowMailBeingRead(mailView.Reading());
    mailView.EndStartUp();
#ifdef Q_OS_WIN
    return QApplication::exec();
#else
    // A signal during start-up (a box of the first mail) ends it here.
    return ExecUntilTerminated();
#endif
}
