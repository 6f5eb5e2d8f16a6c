#pragma once
// TformMailansehen: the mail view's widgets around MailViewCore. It is
// never shown as a window of its own: the main window takes panelOben()
// and pcMailAnsicht() into its layout. The form still owns both and
// destroys them with itself, wherever they are hosted.
//
// Needs a QApplication created with Qt::AA_ShareOpenGLContexts set.

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/mail_view_core.h"
#include "view/message_boxes.h"
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
class PlainTextFindTarget;
class WebFindTarget;
struct MailDocument;

}  // namespace view::qt

class TformMailansehen : public QWidget, public view::ViewDisplays, public view::HtmlView {
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

    // Full path of the mail file to show next.
    void SetMailFileName(const QString& path);
    void SetMailFileName(const std::string& path);
    QString MailFileName() const;
    // Shows the mail at MailFileName. Load failures are reported in a
    // message box; file-system errors while the file is repaired or the
    // HTML page is written are raised (std::exception) for the caller's
    // application-wide handler.
    void ChangeMail();

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

    // ViewDisplays.
    void ShowHeaderSummary(const std::vector<std::string>& labels, const std::vector<std::string>& values) override;
    void ShowSubjectLine(const std::string& text) override;
    void ShowMessageText(const std::vector<std::string>& lines) override;
    void ShowRawHeader(const std::vector<std::string>& lines) override;
    void ShowAttachmentList(const std::vector<std::string>& lines) override;
    int SelectedAttachment() const override;
    void SetPageVisible(view::Page page, bool visible) override;
    void BringToFront(view::Page page) override;
    void Repaint() override;

    // HtmlView (WebBrowser1).
    void Stop() override;
    void Navigate(const std::string& target, const view::HtmlPageSettings& settings) override;

    // The context menu of lbAnlagen: "Speichern…" and "Öffnen" (for the
    // line under the mouse) and "Alle Anlagen speichern…".
    std::unique_ptr<QMenu> AttachmentMenu(bool onALine);

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
    // What the toolkit's application-wide handler does with an error that
    // escaped an event handler: its text in a box.
    void ReportUnhandled(const char* what);

    std::unique_ptr<view::MessageBoxes> ownBoxes_;
    std::unique_ptr<view::SaveDialog> ownSaveDialog_;
    std::unique_ptr<view::DesktopShell> ownShell_;
    view::MessageBoxes* boxes_ = nullptr;
    std::function<std::optional<QString>(QWidget* parent)> chooseFolder_;

    QPointer<QFrame> panelOben_;
    QPointer<QPlainTextEdit> memoHeader1_;
    QPointer<QPlainTextEdit> memoHeader2_;
    QPointer<view::qt::ElidedLabel> panelBetreff_;
    QPointer<QTabWidget> pcMailAnsicht_;
    QPointer<QPlainTextEdit> reNachricht_;
    QPointer<QFrame> panelExterneInhalte_;
    QPointer<QWebEngineView> webBrowser1_;
    QPointer<view::qt::MailWebPage> page_;
    QPointer<view::qt::AttachmentList> lbAnlagen_;
    QPointer<QPlainTextEdit> memoHeader_;
    QWebEngineProfile* profile_ = nullptr;
    QPointer<view::qt::FindBar> findBar_;
    std::unique_ptr<view::qt::PlainTextFindTarget> textFinder_;
    std::unique_ptr<view::qt::PlainTextFindTarget> headerFinder_;
    std::unique_ptr<view::qt::WebFindTarget> webFinder_;
    view::qt::ViewCommands commands_;
    std::function<std::optional<QString>(QWidget* parent, const QString& proposed)> choosePdfPath_;
    std::unique_ptr<QSettings> ownSettings_;
    QSettings* settings_ = nullptr;
    int zoomPercent_ = 100;

    std::unique_ptr<view::MailViewCore> core_;
};
