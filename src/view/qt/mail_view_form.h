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
#include <memory>
#include <string>
#include <vector>

#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/mail_view_core.h"
#include "view/message_boxes.h"
#include "view/save_dialog.h"
#include "view/view_displays.h"

class QFrame;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QMenu;
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
};

class CharsetMenu;

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
    // "Zeichenkodierung", for the host's menu bar; the text page's context
    // menu offers it too.
    QMenu* Zeichenkodierung() const;

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

public Q_SLOTS:
    void btnAnlageSpeichernClick();
    void lbAnlagenDblClick();
    void btnExterneInhalteLadenClick();

private:
    void BuildHeaderArea();
    void BuildPages();
    QWidget* BuildHtmlPage();
    QWidget* BuildAttachmentPage();
    void ShowRemoteContentBar();
    void BuildCharsetMenu(QSettings& settings);
    void CharsetChosen(const view::CharsetChoice& choice);
    void ShowTextContextMenu(const QPoint& position);
    // What the toolkit's application-wide handler does with an error that
    // escaped an event handler: its text in a box.
    void ReportUnhandled(const char* what);

    std::unique_ptr<view::MessageBoxes> ownBoxes_;
    std::unique_ptr<view::SaveDialog> ownSaveDialog_;
    std::unique_ptr<view::DesktopShell> ownShell_;
    std::unique_ptr<QSettings> ownSettings_;
    view::MessageBoxes* boxes_ = nullptr;
    QSettings* settings_ = nullptr;
    QPointer<view::qt::CharsetMenu> mnZeichenkodierung_;

    QPointer<QFrame> panelOben_;
    QPointer<QPlainTextEdit> memoHeader1_;
    QPointer<QPlainTextEdit> memoHeader2_;
    QPointer<view::qt::ElidedLabel> panelBetreff_;
    QPointer<QTabWidget> pcMailAnsicht_;
    QPointer<QPlainTextEdit> reNachricht_;
    QPointer<QFrame> panelExterneInhalte_;
    QPointer<QWebEngineView> webBrowser1_;
    QPointer<view::qt::MailWebPage> page_;
    QPointer<QListWidget> lbAnlagen_;
    QPointer<QPlainTextEdit> memoHeader_;
    QWebEngineProfile* profile_ = nullptr;

    std::unique_ptr<view::MailViewCore> core_;
};
