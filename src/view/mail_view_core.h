#pragma once
// The mail view without its widgets (TformMailansehen): loads a mail file,
// fills the displays, writes the HTML page, acts on the attachment list and
// decides about links. The Qt window owns one MailViewCore and forwards its
// events to it; kqv-dump runs it with recording displays.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "reader/string_list.h"
#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/message_boxes.h"
#include "view/save_dialog.h"
#include "view/view_displays.h"

class TIdMessage;
class TIdAttachment;
class TIdText;
class TIdHeaderList;

namespace view {

// The collaborators; they must outlive the core.
struct MailViewPorts {
    ViewDisplays& displays;
    HtmlView& html;
    MessageBoxes& boxes;
    SaveDialog& saveDialog;
    DesktopShell& shell;
};

class MailViewCore {
public:
    // FormCreate. Reads TempDir() whenever it needs it.
    explicit MailViewCore(MailViewPorts ports);
    // FormDestroy: removes the HTML temporary files.
    ~MailViewCore();
    MailViewCore(const MailViewCore&) = delete;
    MailViewCore& operator=(const MailViewCore&) = delete;

    // Full path of the mail file; set before each ChangeMail.
    std::string MailFileName;
    // Called before every read from the mail file; raising from it abandons
    // ChangeMail (the window closes while a large mail is read).
    std::function<void()> LoadCheckpoint;
    // A large mail shows the start of its text, subject and header summary
    // while the rest is read (a viewer that reads in the background).
    bool ShowsTextWhileReading = false;

    // Shows the mail at MailFileName. A mail that cannot be loaded is
    // reported in a message box. File-system errors while the file is
    // repaired or the HTML page is written are raised to the caller, whose
    // application-wide handler shows their text.
    void ChangeMail();

    std::string NextHtmlTempFileName() const;
    void DeleteHtmlTempFiles() const;

    // "Anlage extern speichern": saves every attachment of the selected
    // line to a place the user chooses. Raises "Error saving attachment.".
    void btnAnlageSpeichernClick();
    // Double click on lbAnlagen: opens every attachment of the selected line
    // with its program. Raises "Error saving attachment.".
    void lbAnlagenDblClick();
    // For every navigation of the HTML view, before it happens. url as the
    // view reports it (UTF-8).
    void WebBrowser1BeforeNavigate2(const std::string& url, bool& cancel);
    // The user allows remote resources for the mail on show; the page is
    // shown again under the new settings.
    void AllowExternalContent();

    // State of the mail on show. A body the text view shows as it stands
    // was handed over to it and is empty in the model.
    TIdMessage* Mail() const { return mail_.get(); }
    const std::string& HtmlTempFileName() const { return htmlTempFileName_; }
    const std::string& SubjectText() const { return subjectText_; }
    bool HtmlPublished() const { return htmlPublished_; }
    // The HTML text last published, as local text, line ends CR LF.
    const std::string& PublishedHtml() const { return publishedHtml_; }
    HtmlPageSettings PageSettings() const { return {htmlEncoding_, remoteContentAllowed_}; }
    // Files written under TempDir for content ids, in order.
    const std::vector<std::string>& CidFiles() const { return cidFiles_; }
    // Whether this ChangeMail rewrote the mail file.
    bool Repaired() const { return repaired_; }
    // Notices of the reader while loading (each also shown as a plain box).
    const std::vector<std::string>& Notices() const { return notices_; }

    // What the displays hold.
    const std::vector<std::string>& HeaderLabels() const { return headerLabels_; }
    const std::vector<std::string>& HeaderValues() const { return headerValues_; }
    const std::string& SubjectLine() const { return subjectLine_; }
    const TStringList& MessageText() const { return messageText_; }
    const TStringList& RawHeader() const { return rawHeader_; }
    const std::vector<std::string>& AttachmentLines() const { return attachmentLines_; }
    bool PageVisible(Page page) const { return pageVisible_[static_cast<int>(page)]; }
    Page FrontPage() const { return frontPage_; }

private:
    class DisplayFlush;

    void Reset();
    void ShowEarlyText();
    void RestoreHeaderArea();
    bool LoadWithRepair();
    void ShowSubject();
    void ShowHeaderSummary();
    void StartRawHeader();
    void ShowTextPage();
    void ShowSinglePartBody();
    void ShowPartlessMultipart();
    void ShowAttachmentPart(TIdAttachment& part, int index);
    void ShowTextPart(TIdText& part);
    void PublishHtmlFoundInText();

    void OpenHtmlPage();
    void PublishHtml(const std::string& html, bool convertedFromUtf8);
    void SetMessageText(const std::string& text, bool convertedFromUtf8);
    void AddAttachmentName(const std::string& name);
    void AppendRawHeaderBlock(std::string_view typeLine, const TIdHeaderList& headers);
    void AppendRawHeaderLine(const std::string& line);
    std::string CidFilePath(const TIdAttachment& part, int index) const;
    bool StoreCidFile(TIdAttachment& part, const std::string& path);

    void SetPageVisible(Page page, bool visible);
    void BringToFront(Page page);
    void FlushDisplays();

    // Indices of the attachments whose AttachedFileName equals the line.
    std::vector<int> PartsOfLine(const std::string& line) const;
    // The selected line, or -1.
    int SelectedLine() const;

    MailViewPorts ports_;
    std::unique_ptr<TIdMessage> mail_;
    std::string htmlTempFileName_;
    std::string subjectText_;
    TStringList seenAddresses_;

    std::vector<std::string> headerLabels_;
    std::vector<std::string> headerValues_;
    std::string subjectLine_;
    TStringList messageText_;
    TStringList rawHeader_;
    std::vector<std::string> attachmentLines_;
    bool pageVisible_[4] = {true, false, false, true};
    Page frontPage_ = Page::tsText;
    bool messageTextDirty_ = false;
    bool rawHeaderDirty_ = false;
    bool attachmentsDirty_ = false;

    // Whether any of the text view's content went through Utf8ToLocal.
    bool messageTextConverted_ = false;
    bool htmlPublished_ = false;
    std::string publishedHtml_;
    HtmlFileEncoding htmlEncoding_ = HtmlFileEncoding::heLocal;
    bool remoteContentAllowed_ = false;
    std::vector<std::string> cidFiles_;
    bool repaired_ = false;
    std::vector<std::string> notices_;
    bool earlyTextShown_ = false;
};

}  // namespace view
