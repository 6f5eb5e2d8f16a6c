#pragma once
// TformMailViewer: the main window. It hosts the mail view's header area and
// pages and turns the first argument, the open dialog and dropped files into
// one request to show a mail file.

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;
class FileTypeRegistrar;
namespace view::qt {
struct ViewCommands;
}

// What the main window needs from the world around it; tests replace parts.
struct MainWindowPorts {
    // Shows the mail file (sets the view's MailFileName, calls ChangeMail).
    std::function<void(const QString& path)> showMail;
    // OpenDialog1, opened in startFolder: the chosen file, or nothing when
    // cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& startFolder)> chooseMailFile;
    // A plain message box with the application title as caption.
    std::function<void(QWidget* parent, const QString& text)> showPlainMessage;
    // ".kqv immer mit Mailviewer öffnen".
    std::unique_ptr<FileTypeRegistrar> registrar;
    // The running executable's full path, for the association.
    QString executablePath;
    // The view's find bar, placed between the header area and the pages.
    QWidget* findBar = nullptr;
    // The view's commands for the menus "Mail" and "Ansicht".
    const view::qt::ViewCommands* viewCommands = nullptr;
    // The view's "Zeichenkodierung", placed after the three commands.
    QMenu* charsetMenu = nullptr;
};

class TformMailViewer final : public QMainWindow {
    Q_OBJECT

public:
    // header and pages are the view's panelOben and pcMailAnsicht; they are
    // moved into panelMain here, before the native window is made.
    TformMailViewer(QWidget* header, QTabWidget* pages, QStringList arguments, MainWindowPorts ports,
                    QWidget* parent = nullptr);
    ~TformMailViewer() override;

    const QString& CurrentFileName() const { return currentFileName_; }

    void Dateiffnen1Click();
    void RegisterFileTypeClick();
    void Beenden1Click();
    // Alt+Bild ab / Alt+Bild auf: the next (step 1) or previous (-1) mail
    // file of the shown mail's folder.
    void StepMail(int step);
    // The dropped files, in their order.
    void DropFiles(const QStringList& paths);
    // The status bar says so while a mail is being read.
    void ShowMailBeingRead(bool reading);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenuBar();
    void FormShow();
    void ShowMailFile();
    // The folder of the mail on show, else the user's home.
    QString OpenDialogFolder() const;

    QWidget* header_;
    QTabWidget* pages_;
    QStringList arguments_;
    MainWindowPorts ports_;
    QWidget* panelMain_;
    QStatusBar* statusBar_;
    QLabel* position_;
    QLabel* readingLabel_;
    QString currentFileName_;
    QString shownFileName_;
    bool shown_ = false;
};

// The OpenDialog1 of the program: "Merivo Email-Dateien" / "*.kqv", the file
// must exist, resizable, not added to recent documents.
std::optional<QString> ExecuteOpenDialog(QWidget* parent, const QString& startFolder);
