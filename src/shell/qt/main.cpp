// The program entry of the viewer.

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTabWidget>

#include <memory>

#include "reader/decoding/message_decoder.h"
#include "shell/qt/main_window.h"
#include "shell/qt/merivo_application.h"
#ifdef Q_OS_WIN
#include "shell/qt/windows_registry.h"
#else
#include "shell/qt/termination_signals.h"
#endif
#include "shell/registration/file_type_registrar.h"
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

void ShowPlainMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8("Merivo Emailbetrachter"), text, QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace

int main(int argc, char** argv) {
    // The process-wide tables of the reader come first.
    InitializeReader();

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    MerivoApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8("Merivo Emailbetrachter"));
    QGuiApplication::setDesktopFileName("merivo-mailviewer");
#ifndef Q_OS_WIN
    QuitOnTerminationSignals(&app);
#endif

    const QString exeDir = QDir(QCoreApplication::applicationDirPath()).absolutePath() + "/";
    view::SetTempDir(view::DefaultTempDir(exeDir.toStdString()));

    TformMailansehen mailView;

    MainWindowPorts ports;
    ports.showMail = [&mailView](const QString& path) {
        mailView.SetMailFileName(path.toStdString());
        mailView.ChangeMail();
    };
    ports.chooseMailFile = ExecuteOpenDialog;
    ports.showPlainMessage = ShowPlainMessage;
    ports.registrar = MakeRegistrar();
    ports.executablePath = QFileInfo(QCoreApplication::applicationFilePath()).absoluteFilePath();

    TformMailViewer window(mailView.panelOben(), mailView.pcMailAnsicht(), QCoreApplication::arguments(),
                           std::move(ports));
    QObject::connect(&mailView, &TformMailansehen::readingChanged, &window, &TformMailViewer::ShowMailBeingRead);
    window.show();
    return QApplication::exec();
}
