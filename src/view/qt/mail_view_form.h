#pragma once
// TformMailansehen: the mail view's widgets around MailViewCore. It is
// never shown as a window of its own: the main window takes panelOben()
// and pcMailAnsicht() into its layout. The form still owns both and
// destroys them with itself, wherever they are hosted.
//
// ChangeMail reads the mail on a worker thread, so that no mail, however
// large, stops the window from answering; the widgets are filled as the
// core gets to them. A ChangeMail while one is under way abandons that one
// and shows the newer file afterwards; destroying the form abandons it too.
//
// Needs a QApplication created with Qt::AA_ShareOpenGLContexts set.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/mail_view_core.h"
#include "view/message_boxes.h"
#include "view/qt/gui_thread_ports.h"
#include "view/save_dialog.h"
#include "view/qt/view_commands.h"
#include "view/view_displays.h"

class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSettings;
class QTabWidget;
class QWebEngineProfile;
class QWebEngineView;

namespace view::qt {

class ElidedLabel;
class MailWebPage;
class MailTextView;

// Collaborators that reach beyond the window; nullptr takes the real one
// (QMessageBox, QFileDialog, the XDG desktop). Given ones must outlive the
// form.
struct MailViewServices {
    MessageBoxes* boxes = nullptr;
    SaveDialog* saveDialog = nullptr;
    DesktopShell* shell = nullptr;
    QSettings* settings = nullptr;  // the viewer's own settings
    // The save dialog of "Als PDF speichern…", proposing a file name: the
    // chosen path, or nothing when cancelled.
    std::function<std::optional<QString>(QWidget* parent, const QString& proposed)> choosePdfPath;
    // The folder dialog of "Alle Anlagen speichern…": the chosen folder, or
    // nothing when cancelled.
    std::function<std::optional<QString>(QWidget* parent)> chooseFolder;
};

class AttachmentList;
class FindBar;
class FindTarget;
class MailTextFindTarget;
class WebFindTarget;
struct MailDocument;

class CharsetMenu;

}  // namespace view::qt

class TformMailansehen : public QWidget, public view::qt::MailViewWidgets {
    Q_OBJECT
public:
    explicit TformMailansehen(QWidget* parent = nullptr, view::qt::MailViewServices services = {});
    // FormDestroy: the HTML temporary files go with the view.
    ~TformMailansehen() override;

    // The two containers the main window hosts: the header area (141 px
    // high, for the top) and the pages (to fill the rest). Null once
    // destroyed by whoever hosted them.
    QWidget* panelOben() const;
    QTabWidget* pcMailAnsicht() const;
    // The find bar, for the host to place above the pages.
    view::qt::FindBar* panelSuchen() const;
    // The commands for the host's menus.
    const view::qt::ViewCommands& Commands() const { return commands_; }
    // "Zeichenkodierung", for the host's menu bar; the text page's context
    // menu offers it too.
    QMenu* Zeichenkodierung() const;

    // Full path of the mail file to show next.
    void SetMailFileName(const QString& path);
    void SetMailFileName(const std::string& path);
    QString MailFileName() const;
    // Starts showing the mail at MailFileName and returns; readingChanged
    // tells when the reading ends. Load failures are reported in a message
    // box; file-system errors while the file is repaired or the HTML page
    // is written are raised (std::exception) from the event that ends the
    // reading, for the application-wide handler.
    void ChangeMail();
    // ChangeMail that returns once the mail is shown, raising its errors
    // here (for callers without an event loop of their own: PDF export).
    void ChangeMailAndWait();
    // Whether a mail is being read.
    bool Reading() const { return reading_; }
    // The mail named at start-up: read while the window is still being
    // made, waiting at most waitMs for it, so that its page is loading
    // when the window maps. Its message boxes wait for EndStartUp.
    void BeginStartUpMail(const QString& path, int waitMs);
    // The window is shown: boxes held back appear.
    void EndStartUp();

    // The core's state is the GUI thread's while no mail is being read.
    view::MailViewCore& Core() { return *core_; }
    // The mail on show as a document (header block and the page in front);
    // nothing before a mail was shown.
    std::optional<view::qt::MailDocument> CurrentDocument();
    // The document as PDF; empty with a German error text on failure.
    QByteArray DocumentPdf(QString& error);
    // Zoom of the text, header and HTML pages in percent.
    int ZoomPercent() const { return zoomPercent_; }
    void SetZoomPercent(int percent);
    view::qt::MailWebPage* WebPage() const;

    // MailViewWidgets.
    void SetHeaderSummary(const QString& labels, const QString& values) override;
    void SetSubjectLine(const QString& text) override;
    void SetMessageText(view::qt::MailText text) override;
    void SetRawHeader(view::qt::MailText text) override;
    void SetAttachmentList(const QStringList& lines) override;
    int SelectedAttachment() const override;
    void SetPageVisible(view::Page page, bool visible) override;
    void BringToFront(view::Page page) override;
    void StopPage() override;
    void ShowPage(const std::string& target, const view::HtmlPageSettings& settings) override;

    // The context menu of lbAnlagen: "Speichern…" and "Öffnen" (for the
    // line under the mouse) and "Alle Anlagen speichern…".
    std::unique_ptr<QMenu> AttachmentMenu(bool onALine);

Q_SIGNALS:
    // A mail began to be read (true) or is shown (false).
    void readingChanged(bool reading);

public Q_SLOTS:
    void btnAnlageSpeichernClick();
    void lbAnlagenDblClick();
    void btnAlleAnlagenSpeichernClick();
    void btnExterneInhalteLadenClick();
    void PrintClick();
    void SavePdfClick();
    void ShowSourceClick();

private:
    void BuildHeaderArea();
    void BuildPages();
    QWidget* BuildHtmlPage();
    QWidget* BuildAttachmentPage();
    void ShowRemoteContentBar();
    void BuildCommands();
    QAction* NewCommand(const char* name, const QString& text, const QList<QKeySequence>& keys);
    view::qt::FindTarget* FindTargetInFront();
    void StepPage(int step);
    void ApplyZoom();
    void ShowError(const QString& text);
    QString ShownSubject() const;
    void ShowAttachmentMenu(const QPoint& position);
    QStringList FilesForDrag(int row);
    QString AttachmentToolTip(int line);
    void SetAttachmentToolTips();
    void BuildCharsetMenu();
    void CharsetChosen(const view::CharsetChoice& choice);
    void StartReading();
    // Runs job (the core's ChangeMail or ChooseCharset) on the worker.
    void StartWork(std::function<void()> job);
    void ReadingEnded(std::exception_ptr error);
    // What the toolkit's application-wide handler does with an error that
    // escaped an event handler: its text in a box.
    void ReportUnhandled(const char* what);

    std::unique_ptr<view::MessageBoxes> ownBoxes_;
    std::unique_ptr<view::SaveDialog> ownSaveDialog_;
    std::unique_ptr<view::DesktopShell> ownShell_;
    view::MessageBoxes* boxes_ = nullptr;
    std::function<std::optional<QString>(QWidget* parent)> chooseFolder_;
    QPointer<view::qt::CharsetMenu> mnZeichenkodierung_;

    QPointer<QFrame> panelOben_;
    QPointer<QPlainTextEdit> memoHeader1_;
    QPointer<QPlainTextEdit> memoHeader2_;
    QPointer<view::qt::ElidedLabel> panelBetreff_;
    QPointer<QTabWidget> pcMailAnsicht_;
    QPointer<view::qt::MailTextView> reNachricht_;
    QPointer<QFrame> panelExterneInhalte_;
    QPointer<QWebEngineView> webBrowser1_;
    QPointer<view::qt::MailWebPage> page_;
    QPointer<view::qt::AttachmentList> lbAnlagen_;
    QPointer<view::qt::MailTextView> memoHeader_;
    QWebEngineProfile* profile_ = nullptr;
    QPointer<view::qt::FindBar> findBar_;
    std::unique_ptr<view::qt::MailTextFindTarget> textFinder_;
    std::unique_ptr<view::qt::MailTextFindTarget> headerFinder_;
    std::unique_ptr<view::qt::WebFindTarget> webFinder_;
    view::qt::ViewCommands commands_;
    std::function<std::optional<QString>(QWidget* parent, const QString& proposed)> choosePdfPath_;
    std::unique_ptr<QSettings> ownSettings_;
    QSettings* settings_ = nullptr;
    int zoomPercent_ = 100;

    std::unique_ptr<view::qt::GuiThreadPorts> ports_;
    std::unique_ptr<view::MailViewCore> core_;
    std::string mailFileName_;
    std::thread worker_;
    bool reading_ = false;
    bool readAgain_ = false;
    bool waiting_ = false;
    std::exception_ptr waitError_;
    // A charset chosen while a mail is read applies once it is shown.
    std::optional<view::CharsetChoice> pendingCharset_;
    // The HTML view shows about:blank (as it does at start).
    bool pageBlank_ = true;
};
