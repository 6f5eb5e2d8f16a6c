#pragma once
// The mail view without its widgets (TformMailansehen): loads a mail file,
// fills the displays, writes the HTML page, acts on the attachment list and
// decides about links. The Qt window owns one MailViewCore and forwards its
// events to it; kqv-dump runs it with recording displays.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reader/string_list.h"
#include "view/attachments_to_folder.h"
#include "view/charset_choice.h"
#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/message_boxes.h"
#include "view/save_dialog.h"
#include "view/view_displays.h"

class TIdMessage;
class TIdAttachment;
class TIdText;
class TIdHeaderList;
class TIdEMailAddressList;

namespace view {

class MailTempFolder;
class MailTextDecoder;

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
    // FormCreate. Reads TempDir() whenever it needs it; removes what
    // earlier runs left there long ago.
    explicit MailViewCore(MailViewPorts ports);
    // FormDestroy: removes the folder of the mail on show and the HTML
    // temporary files.
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

    // How the mail's text is read: the choice each new mail starts with
    // (the viewer keeps "Automatisch" or the classic view as the user left
    // it), and the choice for the mail on show, which shows it again at
    // once. Choosing "Automatisch" or the classic view also makes it the
    // choice of the next mails; an explicit charset holds for this mail.
    void SetDefaultCharset(const CharsetChoice& choice) { defaultCharset_ = choice; }
    const CharsetChoice& DefaultCharset() const { return defaultCharset_; }
    void ChooseCharset(const CharsetChoice& choice);
    const CharsetChoice& Charset() const { return charset_; }

    // The page's name in the folder of the mail on show.
    std::string NextHtmlTempFileName() const;
    void DeleteHtmlTempFiles();

    // "Anlage extern speichern": saves every attachment of the selected
    // line to a place the user chooses. Raises "Error saving attachment.".
    void btnAnlageSpeichernClick();
    // Double click on lbAnlagen: opens every attachment of the selected line
    // with its program, each from a copy of its own; a program is not
    // opened (a box says it can only be saved). Raises "Error saving
    // attachment.".
    void lbAnlagenDblClick();
    // "Alle Anlagen speichern…": the attachments of every line into folder
    // (UTF-8), none replacing a file there.
    FolderSaveResult SaveAllAttachments(const std::string& folder);
    // Copies of the attachments of a line to hand to another program (a
    // drag out of the list), each in a new folder of its own under
    // TempDir; their paths (UTF-8). Raises "Error saving attachment.".
    std::vector<std::string> HandOverCopies(int line);
    struct AttachmentDetails {
        std::int64_t size = 0;
        std::string contentType;  // media type without parameters
    };
    // Size and type of the first attachment of a line.
    std::optional<AttachmentDetails> LineDetails(int line);

    // For every navigation of the HTML view, before it happens. url as the
    // view reports it (UTF-8).
    void WebBrowser1BeforeNavigate2(const std::string& url, bool& cancel);
    // The user allows remote resources for the mail on show; the page is
    // shown again under the new settings.
    void AllowExternalContent();

    // State of the mail on show. A text body the text page shows as it
    // stands was handed over to it and is empty in the model.
    TIdMessage* Mail() const { return mail_.get(); }
    const std::string& HtmlTempFileName() const { return htmlTempFileName_; }
    // The subject as shown (UTF-8).
    const std::string& SubjectText() const { return subjectText_; }
    bool HtmlPublished() const { return htmlPublished_; }
    // The Cc addresses and their names as the header area would show them
    // (UTF-8), each address once.
    std::pair<std::string, std::string> CcTexts() const;
    // The HTML text last published, line ends CR LF, without a byte order
    // mark: local text in the classic view, otherwise UTF-8 or, for a page
    // without a known charset, the mail's own bytes.
    const std::string& PublishedHtml() const { return publishedHtml_; }
    // The same as UTF-8 (the mail's own bytes read as UTF-8 when they are
    // valid UTF-8, else as Windows-1252).
    std::string PublishedHtmlUtf8() const;
    HtmlPageSettings PageSettings() const;
    // The folder of the mail on show (ends with "/"), empty before the first.
    std::string MailFolder() const;
    // Files written under TempDir for content ids, in order.
    const std::vector<std::string>& CidFiles() const { return cidFiles_; }
    // Whether this ChangeMail rewrote the mail file.
    bool Repaired() const { return repaired_; }
    // Notices of the reader while loading (each also shown as a plain box).
    const std::vector<std::string>& Notices() const { return notices_; }

    // What the displays hold, as UTF-8 in the charset choice of the mail.
    const std::vector<std::string>& HeaderLabels() const { return headerLabels_; }
    const std::vector<std::string>& HeaderValues() const { return headerValues_; }
    const std::string& SubjectLine() const { return subjectLine_; }
    const TStringList& RawHeader() const { return rawHeader_; }
    // The lines of lbAnlagen, with hidden characters made visible.
    std::vector<std::string> AttachmentLines() const;
    // The file name (UTF-8, safe) under which the attachment at the index
    // of Parts is saved or opened, in at most maxBytes.
    std::string AttachmentFileName(int partIndex, std::size_t maxBytes = 255) const;
    bool PageVisible(Page page) const { return pageVisible_[static_cast<int>(page)]; }
    Page FrontPage() const { return frontPage_; }

private:
    class DisplayFlush;
    // A name as the model holds it (local text) and as it is shown (UTF-8).
    struct Name {
        std::string local;
        std::string shown;
    };
    // The way a page's text becomes the file's bytes.
    enum class PageText {
        ptLocal,          // classic: local text as it stands
        ptLocalFromUtf8,  // classic: local text converted from UTF-8, written as UTF-8
        ptUtf8,           // UTF-8, written as UTF-8
        ptMailBytes,      // the mail's bytes, for the page's own declaration
    };

    void Reset();
    void ShowEarlyText();
    void RestoreHeaderArea();
    void LoadAndPresent();
    bool LoadWithRepair();
    void Present();
    void ResetPages();
    bool Classic() const { return charset_.mode == CharsetMode::cmClassic; }
    std::string Shown(std::string_view local) const;
    std::string ShownHeaderLine(std::string_view line) const;
    TIdEMailAddressList DecodedAddresses(std::string_view rawValue) const;
    Name AttachedName(const TIdAttachment& part, int index) const;
    void SetAttachedName(TIdAttachment& part, int index, Name name);
    std::string UnicodeFileName(const TIdAttachment& part) const;
    Name NameFromContentType(const TIdAttachment& part, int index) const;
    void ShowSubject();
    void ShowHeaderSummary();
    void StartRawHeader();
    void ShowSinglePartBody();
    void ShowPartlessMultipart();
    void ShowAttachmentPart(TIdAttachment& part, int index);
    void ShowTextPart(TIdText& part);
    void PublishHtmlFoundInText();
    void PublishDecodedHtml(const std::string& body, std::string_view label);

    void CreateMailFolder();
    void OpenHtmlPage();
    void PublishHtml(const std::string& html, PageText kind);
    void WriteHtmlPage(const std::string& bytes);
    void SetMessageText(const std::string& text, bool convertedFromUtf8);
    void AppendBodyText(TLineStore& body, std::string_view label, bool classicUtf8);
    void AddAttachmentName(const Name& name);
    void AppendRawHeaderBlock(std::string_view typeLine, const TIdHeaderList& headers);
    void AppendRawHeaderLine(const std::string& line);
    std::string CidFilePath(const TIdAttachment& part, int index) const;
    bool StoreCidFile(TIdAttachment& part, const std::string& path);
    // Copies one attachment into a new folder of its own under TempDir;
    // the copy's path. Raises "Error saving attachment.".
    std::string CopyIntoOwnFolder(TIdAttachment& attachment, int index, std::string& folder);
    // Copies one attachment for opening; false when it is a program.
    bool OpenAttachmentCopy(TIdAttachment& attachment, int index);

    void SetPageVisible(Page page, bool visible);
    void BringToFront(Page page);
    void FlushDisplays();

    // Indices of the attachments whose AttachedFileName equals the line.
    std::vector<int> PartsOfLine(const std::string& line) const;
    // The selected line, or -1.
    int SelectedLine() const;

    MailViewPorts ports_;
    CharsetChoice defaultCharset_;
    CharsetChoice charset_;
    std::unique_ptr<MailTextDecoder> text_;  // for every choice but the classic one
    std::unique_ptr<TIdMessage> mail_;
    bool loaded_ = false;
    // AttachedFileName of every part as loaded (ChangeMail changes some),
    // and the shown form of each part's current name.
    std::vector<std::string> loadedNames_;
    std::vector<std::string> shownNames_;
    std::unique_ptr<MailTempFolder> mailFolder_;
    int lastMailFolder_ = 0;
    int lastCopyFolder_ = 0;
    std::string htmlTempFileName_;
    std::string subjectText_;
    TStringList seenAddresses_;

    std::vector<std::string> headerLabels_;
    std::vector<std::string> headerValues_;
    std::string subjectLine_;
    JoinedText messageText_;
    TStringList rawHeader_;
    std::vector<Name> attachmentLines_;
    bool pageVisible_[4] = {true, false, false, true};
    Page frontPage_ = Page::tsText;
    bool messageTextDirty_ = false;
    bool rawHeaderDirty_ = false;
    bool attachmentsDirty_ = false;

    // Whether any of the text view's content went through Utf8ToLocal.
    bool messageTextConverted_ = false;
    bool htmlPublished_ = false;
    std::string publishedHtml_;
    PageText publishedKind_ = PageText::ptLocal;
    HtmlFileEncoding htmlEncoding_ = HtmlFileEncoding::heLocal;
    bool remoteContentAllowed_ = false;
    std::vector<std::string> cidFiles_;
    bool repaired_ = false;
    std::vector<std::string> notices_;
    bool earlyTextShown_ = false;
    // A text body of the model was taken over by the text page.
    bool bodiesHandedOver_ = false;
};

}  // namespace view
