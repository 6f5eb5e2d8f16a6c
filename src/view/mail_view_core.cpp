#include "view/mail_view_core.h"

#include <filesystem>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sleep.h"
#include "reader/headers/encoded_words.h"
#include "reader/message/message.h"
#include "view/attachment_copy.h"
#include "view/file_name_sanitizer.h"
#include "view/header_summary.h"
#include "view/html_temp_files.h"
#include "view/mail_repair.h"
#include "view/temp_dir.h"
#include "view/text_page.h"
#include "view/text_rules.h"

namespace view {
namespace {

// Texts shown to the user, in the local code page.
constexpr const char* kLoadFailedText = "Fehler beim \xD6" "ffnen der Mail!";
constexpr const char* kNoBoundaryText =
    "F\xFCr die Multipart-Mail ist kein \"boundary\" definiert!\rDie Mail wird nicht korrekt angezeigt!";

constexpr std::string_view kStars57 = "*********************************************************";
constexpr std::string_view kMessageHeaderLine = "*********     Header der Nachricht      *****************";
constexpr std::string_view kPartHeaderLine = "*********  Header zum Nachrichtenteil   *****************";
constexpr std::string_view kTypeAttachmentLine = "*********  Typ: Anhang                  *****************";
constexpr std::string_view kTypeTextLine = "*********  Typ: Text                    *****************";
static_assert(kStars57.size() == 57 && kMessageHeaderLine.size() == 57 && kPartHeaderLine.size() == 57 &&
              kTypeAttachmentLine.size() == 57 && kTypeTextLine.size() == 57);
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kDeleteRetries = 5;
constexpr unsigned kDeleteRetryDelayMs = 250;

// Mails this large show the start of their text while the rest is read.
constexpr std::uintmax_t kEarlyTextMinFileSize = 2 * 1024 * 1024;
constexpr std::size_t kEarlyTextBytes = 256 * 1024;

bool ContentTypeSaysMultipart(const TIdMessage& mail) {
    return ContainsUpper(mail.Headers.ValueOf("Content-Type"), "MULTIPART");
}

std::string SubjectTextOf(const TIdMessage& mail) {
    if (ContainsUpper(mail.Headers.ValueOf("Content-Type"), "UTF-8")) return platform::Utf8ToLocal(mail.Subject);
    return mail.Subject;
}

// The first bytes of the file, or nothing when it is small or unreadable.
std::string HeadOfLargeFile(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size < kEarlyTextMinFileSize) return {};
    try {
        TIdReadFileExclusiveStream file(path);
        std::string head(kEarlyTextBytes, '\0');
        std::size_t got = 0;
        while (got < head.size()) {
            const std::size_t n = file.Read(head.data() + got, head.size() - got);
            if (n == 0) break;
            got += n;
        }
        head.resize(got);
        return head;
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace

// Pushes whatever the core changed to the displays, however ChangeMail ends.
class MailViewCore::DisplayFlush {
public:
    explicit DisplayFlush(MailViewCore& core) : core_(core) {}
    ~DisplayFlush() {
        try {
            core_.FlushDisplays();
        } catch (...) {
            // The displays are the toolkit's; nothing sensible is left to do.
        }
    }
    DisplayFlush(const DisplayFlush&) = delete;
    DisplayFlush& operator=(const DisplayFlush&) = delete;

private:
    MailViewCore& core_;
};

MailViewCore::MailViewCore(MailViewPorts ports) : ports_(ports) {}

MailViewCore::~MailViewCore() {
    try {
        DeleteHtmlTempFiles();
    } catch (...) {
        // Clean-up at the end is best effort.
    }
}

std::string MailViewCore::NextHtmlTempFileName() const { return view::NextHtmlTempFileName(TempDir()); }

void MailViewCore::DeleteHtmlTempFiles() const { view::DeleteHtmlTempFiles(TempDir()); }

void MailViewCore::ChangeMail() {
    DisplayFlush flush(*this);
    Reset();
    if (ShowsTextWhileReading) ShowEarlyText();
    if (!LoadWithRepair()) return;
    htmlTempFileName_ = NextHtmlTempFileName();
    ShowSubject();
    ShowHeaderSummary();
    StartRawHeader();
    ShowTextPage();
    if (!ContentTypeSaysMultipart(*mail_))
        ShowSinglePartBody();
    else if (mail_->Parts.Count() == 0)
        ShowPartlessMultipart();
    for (int i = 0; i < mail_->Parts.Count(); ++i) {
        TIdMessagePart& part = mail_->Parts.Items(i);
        if (auto* attachment = dynamic_cast<TIdAttachment*>(&part))
            ShowAttachmentPart(*attachment, i);
        else if (auto* text = dynamic_cast<TIdText*>(&part))
            ShowTextPart(*text);
    }
    if (!attachmentLines_.empty()) SetPageVisible(Page::tsAnlagen, true);
    PublishHtmlFoundInText();
}

void MailViewCore::Reset() {
    attachmentLines_.clear();
    attachmentsDirty_ = true;
    SetMessageText({}, false);
    SetPageVisible(Page::tsText, true);
    SetPageVisible(Page::tsMailheader, true);
    SetPageVisible(Page::tsAnlagen, false);
    SetPageVisible(Page::tsHTML, false);
    BringToFront(Page::tsText);
    FlushDisplays();

    htmlPublished_ = false;
    publishedHtml_.clear();
    htmlEncoding_ = HtmlFileEncoding::heLocal;
    remoteContentAllowed_ = false;
    cidFiles_.clear();
    repaired_ = false;
    notices_.clear();
    earlyTextShown_ = false;

    ports_.html.Stop();
    try {
        ports_.html.Navigate("about:blank", PageSettings());
    } catch (...) {
        // A view that cannot blank itself still shows the next page.
    }

    mail_.reset();
    mail_ = std::make_unique<TIdMessage>();
    mail_->BeforeRead = LoadCheckpoint;
    mail_->ShowNotice = [this](const std::string& text) {
        notices_.push_back(text);
        FlushDisplays();
        ports_.boxes.Show(MessageBoxKind::mbPlain, text);
    };
}

bool MailViewCore::LoadWithRepair() {
    for (int pass = 0;; ++pass) {
        try {
            mail_->LoadMessageFile(MailFileName, false);
        } catch (...) {
            if (earlyTextShown_) RestoreHeaderArea();
            FlushDisplays();
            ports_.boxes.Show(MessageBoxKind::mbError, kLoadFailedText);
            return false;
        }
        platform::ForceDirectories(TempDir());
        if (pass > 0 || !NeedsRepair(*mail_, MailFileName)) return true;
        RepairMailFile(MailFileName, [this] {
            FlushDisplays();
            ports_.displays.Repaint();
        });
        repaired_ = true;
    }
}

void MailViewCore::ShowEarlyText() {
    const std::string head = HeadOfLargeFile(MailFileName);
    if (head.empty()) return;
    TIdMessage start;
    start.BeforeRead = LoadCheckpoint;
    try {
        TMemoryStream stream(head);
        start.LoadMessageStream(stream);
    } catch (const std::exception&) {
        return;
    }
    const TextPage page = BuildTextPage(start);
    if (page.lines.Empty()) return;
    TStringList seen;
    const HeaderSummary summary = BuildHeaderSummary(start, seen);
    ports_.displays.ShowSubjectLine("Betreff: " + SubjectTextOf(start));
    ports_.displays.ShowHeaderSummary(summary.labels, summary.values);
    ports_.displays.ShowMessageText(page.lines.Lines());
    earlyTextShown_ = true;
    // Whatever ends this ChangeMail replaces the start shown.
    messageTextDirty_ = true;
}

// A mail that fails to load leaves the header area of the one before.
void MailViewCore::RestoreHeaderArea() {
    ports_.displays.ShowSubjectLine(subjectLine_);
    ports_.displays.ShowHeaderSummary(headerLabels_, headerValues_);
}

void MailViewCore::ShowSubject() {
    subjectText_ = SubjectTextOf(*mail_);
    subjectLine_ = "Betreff: " + subjectText_;
    ports_.displays.ShowSubjectLine(subjectLine_);
}

void MailViewCore::ShowHeaderSummary() {
    HeaderSummary summary = BuildHeaderSummary(*mail_, seenAddresses_);
    headerLabels_ = std::move(summary.labels);
    headerValues_ = std::move(summary.values);
    ports_.displays.ShowHeaderSummary(headerLabels_, headerValues_);
}

void MailViewCore::StartRawHeader() {
    rawHeader_.Clear();
    rawHeaderDirty_ = true;
    AppendRawHeaderLine("");
    AppendRawHeaderLine(std::string(kStars57));
    AppendRawHeaderLine(std::string(kMessageHeaderLine));
    AppendRawHeaderLine(std::string(kStars57));
    AppendRawHeaderLine("");
    TStringList lines;
    mail_->Headers.CopyAsNameEquals(lines);
    for (const std::string& line : lines) AppendRawHeaderLine(line);
    SetMessageText({}, false);
}

void MailViewCore::ShowTextPage() {
    TextPage page = BuildTextPage(*mail_);
    messageText_ = std::move(page.lines);
    messageTextConverted_ = page.convertedFromUtf8;
    messageTextDirty_ = true;
}

void MailViewCore::ShowSinglePartBody() {
    BringToFront(Page::tsText);
    if (!ContainsUpper(mail_->ContentType, "HTML")) return;
    const bool utf8 = SaysUtf8(mail_->Headers);
    const std::string body = mail_->Body.Text();
    OpenHtmlPage();
    PublishHtml(utf8 ? platform::Utf8ToLocal(body) : body, utf8);
}

void MailViewCore::ShowPartlessMultipart() {
    FlushDisplays();
    ports_.boxes.Show(MessageBoxKind::mbInformation, kNoBoundaryText);
}

void MailViewCore::ShowAttachmentPart(TIdAttachment& part, int index) {
    std::string w;
    bool placed = false;
    AppendRawHeaderBlock(kTypeAttachmentLine, part.Headers);

    bool toApplicationRule = false;
    if (dynamic_cast<TIdAttachmentFile*>(&part)) {
        w = part.AttachedFileName;
        if (!w.empty()) {
            if (!HasExtension(w) && ContainsUpper(part.ContentType, "TEXT/PLAIN")) {
                w += ".txt";
                part.AttachedFileName = w;
            }
            AppendRawHeaderLine("Fileanhang, Dateiname: " + w);
            AddAttachmentName(w);
            placed = true;
        }
        toApplicationRule = !ContainsUpper(part.ContentDisposition(), "INLINE") && !w.empty() &&
                            part.Headers.ValueOf("content-id").empty();
        if (!toApplicationRule) {
            if (ContainsUpper(part.ContentType, "MESSAGE")) {
                w = "Anlage" + std::to_string(index) + ".kqv";
                part.AttachedFileName = w;
            }
            w = part.Headers.ValueOf("content-id");
            if (!w.empty()) {
                const std::string path = CidFilePath(part, index);
                AppendRawHeaderLine("Fileanhang, CIDFile: " + platform::Utf8ToLocal(path));
                if (platform::FileExists(path) || StoreCidFile(part, path)) placed = true;
            }
        }
    }

    if (ContainsUpper(part.Headers.ValueOf("Content-Type"), "APPLICATION/") && !placed) {
        AppendRawHeaderLine("Application-Anhang: " + w);
        const std::string type = platform::UpperCaseAscii(part.Headers.ValueOf("Content-Type"));
        w = part.AttachedFileName;
        if (IsBlank(w)) {
            w = DecodeEncodedWords(part.Headers.ValueOf("Content-Type"));
            if (const auto pos = platform::UpperCaseAscii(w).find("NAME="); pos != std::string::npos)
                w.erase(0, pos + 5);
            if (!w.empty() && w.front() == '"' && w.back() == '"') w = w.size() >= 2 ? w.substr(1, w.size() - 2) : "";
            if (w.empty()) w = "Anlage" + std::to_string(index);
            if (!HasExtension(w)) {
                // "VND.MS-POERPOINT" is the key stored files were named by.
                static constexpr std::pair<std::string_view, std::string_view> kExtensions[] = {
                    {"MSWORD", ".DOC"},      {"PDF", ".PDF"},
                    {"RTF", ".RTF"},         {"VND.MS-EXCEL", ".XLS"},
                    {"VND.MS-POERPOINT", ".PPT"}, {"ZIP", ".ZIP"},
                };
                for (const auto& [key, extension] : kExtensions)
                    if (type.find(key) != std::string::npos) w += extension;
            }
            part.AttachedFileName = w;
        }
        AddAttachmentName(w);
        placed = true;
    }

    if (!placed && ContainsUpper(part.ContentDisposition(), "INLINE")) {
        StoreCidFile(part, CidFilePath(part, index));
        w = part.AttachedFileName;
        if (!w.empty()) AddAttachmentName(w);
        placed = true;
    }

    if (!placed) {
        w = part.AttachedFileName;
        if (IsBlank(w)) {
            w = "Anlage" + std::to_string(index);
            if (ContainsUpper(part.ContentType, "TEXT/PLAIN")) w += ".txt";
            part.AttachedFileName = w;
        }
        AddAttachmentName(w);
    }
}

void MailViewCore::ShowTextPart(TIdText& part) {
    AppendRawHeaderBlock(kTypeTextLine, part.Headers);
    if (!ContainsUpper(part.ContentType, "HTML")) return;
    const bool utf8 = SaysUtf8(part.Headers);
    const std::string body = part.Body.Text();
    OpenHtmlPage();
    std::string html = utf8 ? platform::Utf8ToLocal(body) : body;
    bool converted = utf8;
    if (IsBlank(html)) {
        html = body;
        converted = false;
    }
    PublishHtml(html, converted);
}

void MailViewCore::PublishHtmlFoundInText() {
    if (PageVisible(Page::tsHTML)) return;
    // No line holds a break, so "<HTML" never spans two.
    bool found = false;
    for (const std::string& line : messageText_)
        if ((found = ContainsUpper(line, "<HTML"))) break;
    if (!found) return;
    OpenHtmlPage();
    PublishHtml(messageText_.Text(), messageTextConverted_);
}

void MailViewCore::OpenHtmlPage() {
    SetPageVisible(Page::tsHTML, true);
    platform::ForceDirectories(TempDir());
    // A page still held open by the HTML view cannot go at once.
    int retries = 0;
    while (platform::FileExists(htmlTempFileName_) && retries < kDeleteRetries) {
        platform::DeleteFile(htmlTempFileName_);
        if (platform::FileExists(htmlTempFileName_)) {
            ++retries;
            platform::SleepMilliseconds(kDeleteRetryDelayMs);
        }
    }
}

void MailViewCore::PublishHtml(const std::string& html, bool convertedFromUtf8) {
    TStringList lines;
    lines.SetText(RemoveCidSchemes(html));
    std::string text = lines.Text();
    // Text that went through Utf8ToLocal is no longer in the charset its
    // page may declare; a byte order mark outranks any such declaration.
    const std::string bytes =
        convertedFromUtf8 ? std::string(kUtf8Bom) + platform::LocalToUtf8(text) : text;
    platform::WriteWholeFile(htmlTempFileName_, bytes, 0600);
    publishedHtml_ = std::move(text);
    htmlEncoding_ = convertedFromUtf8 ? HtmlFileEncoding::heUtf8Bom : HtmlFileEncoding::heLocal;
    htmlPublished_ = true;
    FlushDisplays();
    ports_.html.Navigate(htmlTempFileName_, PageSettings());
    BringToFront(Page::tsHTML);
}

void MailViewCore::SetMessageText(const std::string& text, bool convertedFromUtf8) {
    messageText_.SetText(text);
    messageTextConverted_ = convertedFromUtf8;
    messageTextDirty_ = true;
}

void MailViewCore::AddAttachmentName(const std::string& name) {
    attachmentLines_.push_back(name);
    attachmentsDirty_ = true;
}

void MailViewCore::AppendRawHeaderBlock(std::string_view typeLine, const TIdHeaderList& headers) {
    AppendRawHeaderLine("");
    AppendRawHeaderLine(std::string(kStars57));
    AppendRawHeaderLine(std::string(kPartHeaderLine));
    AppendRawHeaderLine(std::string(typeLine));
    AppendRawHeaderLine(std::string(kStars57));
    AppendRawHeaderLine("");
    TStringList lines;
    headers.CopyAsNameEquals(lines);
    for (const std::string& line : lines) AppendRawHeaderLine(line);
}

void MailViewCore::AppendRawHeaderLine(const std::string& line) {
    rawHeaderDirty_ = true;
    if (line.find_first_of("\r\n") == std::string::npos) {
        rawHeader_.Add(line);
        return;
    }
    // The page is a text editor: a line break inside a line starts a new one.
    for (std::string& piece : SplitTextLines(line)) rawHeader_.Add(std::move(piece));
}

std::string MailViewCore::CidFilePath(const TIdAttachment& part, int index) const {
    std::string id = part.Headers.ValueOf("content-id");
    std::erase(id, '>');
    std::erase(id, '<');
    // Without an id there is no name: the path is the folder itself, which
    // no copy can replace.
    if (id.empty()) return TempDir();
    return TempDir() + platform::LocalToUtf8(SanitizeFileName(id, index));
}

bool MailViewCore::StoreCidFile(TIdAttachment& part, const std::string& path) {
    try {
        CopyAttachmentPrivately(part, path);
    } catch (const std::exception&) {
        return false;
    }
    cidFiles_.push_back(path);
    return true;
}

void MailViewCore::SetPageVisible(Page page, bool visible) {
    pageVisible_[static_cast<int>(page)] = visible;
    ports_.displays.SetPageVisible(page, visible);
}

void MailViewCore::BringToFront(Page page) {
    frontPage_ = page;
    ports_.displays.BringToFront(page);
}

void MailViewCore::FlushDisplays() {
    if (messageTextDirty_) {
        messageTextDirty_ = false;
        ports_.displays.ShowMessageText(messageText_.Lines());
    }
    if (rawHeaderDirty_) {
        rawHeaderDirty_ = false;
        ports_.displays.ShowRawHeader(rawHeader_.Lines());
    }
    if (attachmentsDirty_) {
        attachmentsDirty_ = false;
        ports_.displays.ShowAttachmentList(attachmentLines_);
    }
}

}  // namespace view
