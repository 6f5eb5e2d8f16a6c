#include "view/mail_view_core.h"

#include <ctime>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sleep.h"
#include "platform/utf8.h"
#include "reader/decoding/message_decoder_mime.h"
#include "reader/headers/encoded_address_list.h"
#include "reader/headers/encoded_words.h"
#include "reader/message/message.h"
#include "view/attachment_copy.h"
#include "view/file_name_sanitizer.h"
#include "view/header_summary.h"
#include "view/html_temp_files.h"
#include "view/mail_repair.h"
#include "view/mail_text_decoder.h"
#include "view/program_attachments.h"
#include "view/temp_dir.h"
#include "view/temp_layout.h"
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

// The charset the message declares for its text: its own, or for a
// multipart message that names none, the first one a text part names.
std::string MessageCharsetLabel(const TIdMessage& mail) {
    if (platform::EncodingForLabel(mail.CharSet)) return mail.CharSet;
    for (int i = 0; i < mail.Parts.Count(); ++i) {
        const auto* text = dynamic_cast<const TIdText*>(&mail.Parts.Items(i));
        if (text && platform::EncodingForLabel(text->CharSet)) return text->CharSet;
    }
    return {};
}

// The subject as shown (UTF-8); decoder nullptr: the classic view.
std::string SubjectOf(const TIdMessage& mail, const MailTextDecoder* decoder) {
    if (decoder) return decoder->HeaderValue(mail.Headers.ValueOf("Subject"));
    std::string local = mail.Subject;
    if (ContainsUpper(mail.Headers.ValueOf("Content-Type"), "UTF-8")) local = platform::Utf8ToLocal(local);
    return platform::LocalToUtf8(local);
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

MailViewCore::MailViewCore(MailViewPorts ports) : ports_(ports) {
    if (!TempDir().empty()) RemoveStaleTempFiles(TempDir(), static_cast<long long>(std::time(nullptr)));
}

MailViewCore::~MailViewCore() {
    try {
        DeleteHtmlTempFiles();
    } catch (...) {
        // Clean-up at the end is best effort.
    }
}

std::string MailViewCore::NextHtmlTempFileName() const { return view::NextHtmlTempFileName(MailFolder()); }

void MailViewCore::DeleteHtmlTempFiles() {
    mailFolder_.reset();
    // Pages that earlier versions kept beside everything else.
    if (!TempDir().empty()) view::DeleteHtmlTempFiles(TempDir());
}

HtmlPageSettings MailViewCore::PageSettings() const {
    return {htmlEncoding_, remoteContentAllowed_, mailFolder_ ? mailFolder_->Files() : nullptr};
}

std::string MailViewCore::MailFolder() const { return mailFolder_ ? mailFolder_->Path() : std::string(); }

void MailViewCore::ChangeMail() {
    DisplayFlush flush(*this);
    Reset();
    charset_ = defaultCharset_;
    if (ShowsTextWhileReading) ShowEarlyText();
    LoadAndPresent();
}

void MailViewCore::LoadAndPresent() {
    if (!LoadWithRepair()) return;
    loaded_ = true;
    loadedNames_.assign(static_cast<std::size_t>(mail_->Parts.Count()), std::string());
    for (int i = 0; i < mail_->Parts.Count(); ++i)
        if (const auto* attachment = dynamic_cast<const TIdAttachment*>(&mail_->Parts.Items(i)))
            loadedNames_[static_cast<std::size_t>(i)] = attachment->AttachedFileName;
    CreateMailFolder();
    htmlTempFileName_ = NextHtmlTempFileName();
    Present();
}

void MailViewCore::ChooseCharset(const CharsetChoice& choice) {
    charset_ = choice;
    if (choice.mode != CharsetMode::cmExplicit) defaultCharset_ = choice;
    if (!loaded_) return;
    DisplayFlush flush(*this);
    if (bodiesHandedOver_) {
        // Texts the text page took over are read from the file again; its
        // notices were shown the first time.
        const bool remote = remoteContentAllowed_;
        Reset();
        remoteContentAllowed_ = remote;
        mail_->ShowNotice = [](const std::string&) {};
        LoadAndPresent();
        return;
    }
    // Shown again like a new mail, in a folder of its own, without loading
    // it again.
    ResetPages();
    cidFiles_.clear();
    CreateMailFolder();
    htmlTempFileName_ = NextHtmlTempFileName();
    // The mail is shown again from the names it was loaded with.
    for (int i = 0; i < mail_->Parts.Count(); ++i)
        if (auto* attachment = dynamic_cast<TIdAttachment*>(&mail_->Parts.Items(i)))
            attachment->AttachedFileName = loadedNames_[static_cast<std::size_t>(i)];
    Present();
}

// Everything ChangeMail shows once the mail is loaded; shown again when the
// charset changes.
void MailViewCore::Present() {
    text_.reset();
    if (!Classic()) text_ = std::make_unique<MailTextDecoder>(charset_, MessageCharsetLabel(*mail_));
    shownNames_.assign(static_cast<std::size_t>(mail_->Parts.Count()), std::string());
    for (int i = 0; i < mail_->Parts.Count(); ++i)
        if (const auto* attachment = dynamic_cast<const TIdAttachment*>(&mail_->Parts.Items(i)))
            shownNames_[static_cast<std::size_t>(i)] =
                Classic() ? Shown(attachment->AttachedFileName) : UnicodeFileName(*attachment);

    ShowSubject();
    ShowHeaderSummary();
    StartRawHeader();
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

void MailViewCore::ResetPages() {
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
    publishedKind_ = PageText::ptLocal;
    htmlEncoding_ = HtmlFileEncoding::heLocal;
    ports_.html.Stop();
    // The previous mail's page and files go before anything else loads.
    mailFolder_.reset();
    try {
        ports_.html.Navigate("about:blank", PageSettings());
    } catch (...) {
        // A view that cannot blank itself still shows the next page.
    }
}

void MailViewCore::Reset() {
    remoteContentAllowed_ = false;
    ResetPages();
    cidFiles_.clear();
    repaired_ = false;
    notices_.clear();
    loaded_ = false;
    earlyTextShown_ = false;
    bodiesHandedOver_ = false;

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
        platform::ForceDirectories(TempDir(), 0700);
        if (pass > 0 || !NeedsRepair(*mail_, MailFileName)) return true;
        RepairMailFile(MailFileName, [this] {
            FlushDisplays();
            ports_.displays.Repaint();
        });
        repaired_ = true;
    }
}

std::string MailViewCore::Shown(std::string_view local) const { return platform::LocalToUtf8(local); }

std::string MailViewCore::ShownHeaderLine(std::string_view line) const {
    return Classic() ? Shown(line) : text_->HeaderBytes(line);
}

// As the reader splits address lists: a comma or quote that comes out of
// an encoded word is text, not syntax.
TIdEMailAddressList MailViewCore::DecodedAddresses(std::string_view rawValue) const {
    TIdEMailAddressList list;
    ParseEncodedAddressList(list, rawValue, [this](std::string_view value, const DecodedWordFilter& filter) {
        return DecodeEncodedWordsWith(value, *text_, filter);
    });
    return list;
}

MailViewCore::Name MailViewCore::AttachedName(const TIdAttachment& part, int index) const {
    return {part.AttachedFileName, shownNames_[static_cast<std::size_t>(index)]};
}

void MailViewCore::SetAttachedName(TIdAttachment& part, int index, Name name) {
    part.AttachedFileName = std::move(name.local);
    shownNames_[static_cast<std::size_t>(index)] = std::move(name.shown);
}

// The reader's name read again in Unicode: from the part's headers when it
// came from there, else (an inline block's "begin" line) from its bytes.
std::string MailViewCore::UnicodeFileName(const TIdAttachment& part) const {
    const std::string& name = part.AttachedFileName;
    if (name.empty()) return {};
    const std::string contentType = part.Headers.ValueOf("Content-Type");
    const std::string disposition = part.Headers.ValueOf("Content-Disposition");
    const std::string_view parameters = TIdMessageDecoderMIME::DispositionParameters(disposition);
    if (TIdMessageDecoderMIME::PartFileNameFromHeaders(contentType, parameters) == name)
        return TIdMessageDecoderMIME::SanitizeFileName(
            text_->HeaderValue(TIdMessageDecoderMIME::RawPartFileName(contentType, parameters)));
    return text_->HeaderBytes(name);
}

// A name made from the Content-Type value of an application part. The
// decisions are taken on the local name, so both forms agree.
MailViewCore::Name MailViewCore::NameFromContentType(const TIdAttachment& part, int index) const {
    const std::string value = part.Headers.ValueOf("Content-Type");
    const std::string type = platform::UpperCaseAscii(value);
    Name w{DecodeEncodedWords(value), Classic() ? std::string() : text_->HeaderValue(value)};
    for (std::string* text : {&w.local, &w.shown}) {
        if (const auto pos = platform::UpperCaseAscii(*text).find("NAME="); pos != std::string::npos)
            text->erase(0, pos + 5);
        if (!text->empty() && text->front() == '"' && text->back() == '"')
            *text = text->size() >= 2 ? text->substr(1, text->size() - 2) : "";
    }
    if (w.local.empty()) w.local = w.shown = "Anlage" + std::to_string(index);
    if (!HasExtension(w.local)) {
        // "VND.MS-POERPOINT" is the key stored files were named by.
        static constexpr std::pair<std::string_view, std::string_view> kExtensions[] = {
            {"MSWORD", ".DOC"},      {"PDF", ".PDF"},
            {"RTF", ".RTF"},         {"VND.MS-EXCEL", ".XLS"},
            {"VND.MS-POERPOINT", ".PPT"}, {"ZIP", ".ZIP"},
        };
        for (const auto& [key, extension] : kExtensions) {
            if (type.find(key) == std::string::npos) continue;
            w.local += extension;
            w.shown += extension;
        }
    }
    if (Classic() || w.shown.empty()) w.shown = Shown(w.local);
    return w;
}

// The start of a large mail's text, subject and header summary, read from
// its first bytes while the whole is loaded; whatever ends ChangeMail
// replaces them.
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
    std::optional<MailTextDecoder> decoder;
    if (!Classic()) decoder.emplace(charset_, MessageCharsetLabel(start));
    const MailTextDecoder* reading = decoder ? &*decoder : nullptr;
    const JoinedText page = TextPageOf(start, reading);
    if (page.Empty()) return;
    TStringList seen;
    HeaderSummary summary = BuildHeaderSummary(start, seen);
    for (std::string& value : summary.values) value = Shown(value);
    ports_.displays.ShowSubjectLine("Betreff: " + SubjectOf(start, reading));
    ports_.displays.ShowHeaderSummary(summary.labels, summary.values);
    ports_.displays.ShowMessageText(page);
    earlyTextShown_ = true;
    messageTextDirty_ = true;
}

// A mail that fails to load leaves the header area of the one before.
void MailViewCore::RestoreHeaderArea() {
    ports_.displays.ShowSubjectLine(subjectLine_);
    ports_.displays.ShowHeaderSummary(headerLabels_, headerValues_);
}

void MailViewCore::ShowSubject() {
    subjectText_ = SubjectOf(*mail_, text_.get());
    subjectLine_ = "Betreff: " + subjectText_;
    ports_.displays.ShowSubjectLine(subjectLine_);
}

std::pair<std::string, std::string> MailViewCore::CcTexts() const {
    if (!mail_ || !loaded_) return {};
    TStringList seen;
    if (Classic()) return {Shown(AddressText(mail_->CCList, seen)), Shown(NameText(mail_->CCList, seen))};
    const TIdEMailAddressList cc = DecodedAddresses(mail_->Headers.ValueOf("Cc"));
    return {AddressText(cc, seen), NameText(cc, seen)};
}

void MailViewCore::ShowHeaderSummary() {
    HeaderSummary summary;
    if (Classic()) {
        summary = BuildHeaderSummary(*mail_, seenAddresses_);
        for (std::string& value : summary.values) value = Shown(value);
    } else {
        const TIdEMailAddressList from = DecodedAddresses(mail_->Headers.ValueOf("From"));
        const TIdEMailAddressItem noSender;
        summary = BuildHeaderSummary(from.Count() > 0 ? from.Items(0) : noSender,
                                     DecodedAddresses(mail_->Headers.ValueOf("To")),
                                     DecodedAddresses(mail_->Headers.ValueOf("Reply-To")), mail_->Date,
                                     seenAddresses_, TextForm::tfUtf8);
    }
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
    for (const std::string& line : lines) AppendRawHeaderLine(ShownHeaderLine(line));
    SetMessageText({}, false);
}

void MailViewCore::ShowSinglePartBody() {
    BringToFront(Page::tsText);
    const bool html = ContainsUpper(mail_->ContentType, "HTML");
    if (!html) {
        SetMessageText({}, false);
        AppendBodyText(mail_->Body, mail_->CharSet, Classic() && SaysUtf8(mail_->Headers));
        return;
    }
    const std::string body = mail_->Body.Text();
    if (!Classic()) {
        const std::string& label = mail_->CharSet;
        OpenHtmlPage();
        PublishDecodedHtml(body, label);
        return;
    }
    const bool utf8 = SaysUtf8(mail_->Headers);
    OpenHtmlPage();
    if (messageText_.Empty()) SetMessageText(Shown(body), false);
    PublishHtml(utf8 ? platform::Utf8ToLocal(body) : body, utf8 ? PageText::ptLocalFromUtf8 : PageText::ptLocal);
}

void MailViewCore::ShowPartlessMultipart() {
    SetMessageText({}, false);
    AppendBodyText(mail_->Body, mail_->CharSet, false);
    FlushDisplays();
    ports_.boxes.Show(MessageBoxKind::mbInformation, kNoBoundaryText);
}

void MailViewCore::ShowAttachmentPart(TIdAttachment& part, int index) {
    Name w;
    bool placed = false;
    AppendRawHeaderBlock(kTypeAttachmentLine, part.Headers);

    bool toApplicationRule = false;
    if (dynamic_cast<TIdAttachmentFile*>(&part)) {
        w = AttachedName(part, index);
        if (!w.local.empty()) {
            if (!HasExtension(w.local) && ContainsUpper(part.ContentType, "TEXT/PLAIN")) {
                w.local += ".txt";
                w.shown += ".txt";
                SetAttachedName(part, index, w);
            }
            AppendRawHeaderLine("Fileanhang, Dateiname: " + w.shown);
            AddAttachmentName(w);
            placed = true;
        }
        toApplicationRule = !ContainsUpper(part.ContentDisposition(), "INLINE") && !w.local.empty() &&
                            part.Headers.ValueOf("content-id").empty();
        if (!toApplicationRule) {
            if (ContainsUpper(part.ContentType, "MESSAGE")) {
                const std::string name = "Anlage" + std::to_string(index) + ".kqv";
                SetAttachedName(part, index, {name, name});
            }
            const std::string id = part.Headers.ValueOf("content-id");
            w = {id, ShownHeaderLine(id)};
            if (!id.empty()) {
                const std::string path = CidFilePath(part, index);
                // The classic page showed the path in the local code page.
                AppendRawHeaderLine("Fileanhang, CIDFile: " +
                                    (Classic() ? Shown(platform::Utf8ToLocal(path)) : path));
                if (platform::FileExists(path) || StoreCidFile(part, path)) placed = true;
            }
        }
    }

    if (ContainsUpper(part.Headers.ValueOf("Content-Type"), "APPLICATION/") && !placed) {
        AppendRawHeaderLine("Application-Anhang: " + w.shown);
        w = AttachedName(part, index);
        if (IsBlank(w.local)) {
            w = NameFromContentType(part, index);
            SetAttachedName(part, index, w);
        }
        AddAttachmentName(w);
        placed = true;
    }

    if (!placed && ContainsUpper(part.ContentDisposition(), "INLINE")) {
        StoreCidFile(part, CidFilePath(part, index));
        w = AttachedName(part, index);
        if (!w.local.empty()) AddAttachmentName(w);
        placed = true;
    }

    if (!placed) {
        w = AttachedName(part, index);
        if (IsBlank(w.local)) {
            w.local = "Anlage" + std::to_string(index);
            if (ContainsUpper(part.ContentType, "TEXT/PLAIN")) w.local += ".txt";
            w.shown = w.local;
            SetAttachedName(part, index, w);
        }
        AddAttachmentName(w);
    }
}

void MailViewCore::ShowTextPart(TIdText& part) {
    AppendRawHeaderBlock(kTypeTextLine, part.Headers);
    const bool utf8 = Classic() && SaysUtf8(part.Headers);
    if (!ContainsUpper(part.ContentType, "HTML")) {
        SeparateFromTextBefore(messageText_);
        AppendBodyText(part.Body, part.CharSet, utf8);
        return;
    }
    const std::string body = part.Body.Text();
    OpenHtmlPage();
    if (!Classic()) {
        PublishDecodedHtml(body, part.CharSet);
        return;
    }
    if (messageText_.Empty()) SetMessageText(Shown(body), false);
    std::string html = utf8 ? platform::Utf8ToLocal(body) : body;
    bool converted = utf8;
    if (IsBlank(html)) {
        html = body;
        converted = false;
    }
    PublishHtml(html, converted ? PageText::ptLocalFromUtf8 : PageText::ptLocal);
}

// An HTML body in the Unicode view; its source fills an empty text page.
void MailViewCore::PublishDecodedHtml(const std::string& body, std::string_view label) {
    const std::optional<std::string> page = text_->HtmlPage(body, label);
    if (messageText_.Empty()) SetMessageText(page ? *page : text_->Text(body, label), false);
    if (page)
        PublishHtml(*page, PageText::ptUtf8);
    else
        PublishHtml(body, PageText::ptMailBytes);
}

void MailViewCore::PublishHtmlFoundInText() {
    if (PageVisible(Page::tsHTML)) return;
    // "<HTML" holds no "\n": the joined text finds it where a line would.
    if (!ContainsUpper(messageText_.Utf8(), "<HTML")) return;
    const std::string text = messageText_.Text();
    OpenHtmlPage();
    if (!Classic())
        PublishHtml(text, PageText::ptUtf8);
    else
        PublishHtml(platform::Utf8ToLocal(text),
                    messageTextConverted_ ? PageText::ptLocalFromUtf8 : PageText::ptLocal);
}

void MailViewCore::CreateMailFolder() {
    mailFolder_ = MailTempFolder::Create(TempDir(), lastMailFolder_);
}

void MailViewCore::OpenHtmlPage() {
    SetPageVisible(Page::tsHTML, true);
    platform::ForceDirectories(TempDir(), 0700);
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

void MailViewCore::PublishHtml(const std::string& html, PageText kind) {
    TStringList lines;
    lines.SetText(RemoveCidSchemes(html));
    std::string text = lines.Text();
    // Converted text is no longer in the charset its page may declare; a
    // byte order mark outranks any such declaration.
    std::string bytes;
    switch (kind) {
    case PageText::ptLocal:
    case PageText::ptMailBytes: bytes = text; break;
    case PageText::ptLocalFromUtf8: bytes = std::string(kUtf8Bom) + platform::LocalToUtf8(text); break;
    case PageText::ptUtf8: bytes = std::string(kUtf8Bom) + text; break;
    }
    WriteHtmlPage(bytes);
    publishedHtml_ = std::move(text);
    publishedKind_ = kind;
    htmlEncoding_ = kind == PageText::ptLocalFromUtf8 || kind == PageText::ptUtf8 ? HtmlFileEncoding::heUtf8Bom
                                                                                 : HtmlFileEncoding::heLocal;
    htmlPublished_ = true;
    FlushDisplays();
    ports_.html.Navigate(htmlTempFileName_, PageSettings());
    BringToFront(Page::tsHTML);
}

std::string MailViewCore::PublishedHtmlUtf8() const {
    switch (publishedKind_) {
    case PageText::ptLocal:
    case PageText::ptLocalFromUtf8: return platform::LocalToUtf8(publishedHtml_);
    case PageText::ptUtf8: return publishedHtml_;
    case PageText::ptMailBytes:
        return platform::IsValidUtf8(publishedHtml_) ? publishedHtml_ : platform::LocalToUtf8(publishedHtml_);
    }
    return publishedHtml_;
}

void MailViewCore::WriteHtmlPage(const std::string& bytes) {
    // Only a file made here and now is the page: nothing that stands at
    // the name (a link, a FIFO, another file) is written through.
    platform::WriteNewFile(htmlTempFileName_, bytes, 0600);
    mailFolder_->Files()->Add(htmlTempFileName_.substr(MailFolder().size()), PageFileUse::pfDocument);
}

// The body is taken apart as its text is made, and is then empty (a new
// reading loads the file again).
void MailViewCore::AppendBodyText(TLineStore& body, std::string_view label, bool classicUtf8) {
    const bool hadLines = !body.Empty();
    view::AppendBodyText(messageText_, body, label, {text_.get(), classicUtf8}, LoadCheckpoint);
    bodiesHandedOver_ = bodiesHandedOver_ || (hadLines && body.Empty());
    messageTextConverted_ = messageTextConverted_ || classicUtf8;
    messageTextDirty_ = true;
}

void MailViewCore::SetMessageText(const std::string& text, bool convertedFromUtf8) {
    messageText_.SetText(text);
    messageTextConverted_ = convertedFromUtf8;
    messageTextDirty_ = true;
}

void MailViewCore::AddAttachmentName(const Name& name) {
    attachmentLines_.push_back(name);
    attachmentsDirty_ = true;
}

std::vector<std::string> MailViewCore::AttachmentLines() const {
    std::vector<std::string> lines;
    lines.reserve(attachmentLines_.size());
    for (const Name& name : attachmentLines_)
        lines.push_back(Classic() ? Shown(VisibleName(name.local)) : VisibleInList(name.shown));
    return lines;
}

std::string MailViewCore::AttachmentFileName(int partIndex, std::size_t maxBytes) const {
    const auto& part = static_cast<const TIdAttachment&>(mail_->Parts.Items(partIndex));
    if (Classic()) return Shown(SanitizeFileName(part.AttachedFileName, partIndex, maxBytes));
    return SanitizeFileNameUtf8(shownNames_[static_cast<std::size_t>(partIndex)], partIndex, maxBytes);
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
    for (const std::string& line : lines) AppendRawHeaderLine(ShownHeaderLine(line));
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
    if (id.empty()) return MailFolder();
    if (Classic()) return MailFolder() + Shown(SanitizeFileName(id, index));
    return MailFolder() + SanitizeFileNameUtf8(text_->HeaderBytes(id), index);
}

bool MailViewCore::StoreCidFile(TIdAttachment& part, const std::string& path) {
    // The page's name is the page's.
    if (path == htmlTempFileName_) return false;
    try {
        CopyAttachmentPrivately(part, path);
    } catch (const std::exception&) {
        return false;
    }
    mailFolder_->Files()->Add(path.substr(MailFolder().size()),
                              ContentIdFileUse(platform::ReadFileStart(path, kContentSniffBytes)));
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
        ports_.displays.ShowMessageText(messageText_);
    }
    if (rawHeaderDirty_) {
        rawHeaderDirty_ = false;
        ports_.displays.ShowRawHeader(rawHeader_.Lines());
    }
    if (attachmentsDirty_) {
        attachmentsDirty_ = false;
        ports_.displays.ShowAttachmentList(AttachmentLines());
    }
}

}  // namespace view
