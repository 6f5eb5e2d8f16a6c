#include "reader/message/message.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"
#include "reader/decoding/message_decoder.h"
#include "reader/exceptions.h"
#include "reader/headers/encoded_address_list.h"
#include "reader/headers/encoded_words.h"
#include "reader/headers/header_text.h"
#include "reader/headers/mail_date.h"
#include "reader/io/message_client.h"

namespace {

// Message ids are kept in angle brackets whatever the header wrote.
std::string WithAngleBrackets(std::string_view value) {
    if (value.empty()) return {};
    std::string result;
    if (value.front() != '<') result += '<';
    result += value;
    if (value.back() != '>') result += '>';
    return result;
}

// Upper case of the charset parameter, as the header wrote it otherwise.
std::string CharSetOf(std::string_view contentType) {
    return HeaderParamValue(platform::UpperCaseAscii(contentType), "CHARSET=");
}

// "urgent" and "non-priority" anywhere; otherwise the leading number minus
// one. Numbers outside 1..5 are kept (9 gives 8): nothing clamps them and a
// caller may want to see what the mail said.
TIdMessagePriority PriorityOf(std::string_view value) {
    const std::string lower = platform::LowerCaseAscii(value);
    if (lower.find("urgent") != std::string::npos) return mpHigh;
    if (lower.find("non-priority") != std::string::npos) return mpLow;
    std::string rest = Trim(lower);
    const std::string number = SplitOff(rest, " ");
    const std::int64_t n = StrToIntDef(number, 3);
    return static_cast<TIdMessagePriority>(static_cast<int>(n - 1));
}

// The date of the first "Received" trace: what follows its last ";", up to a
// comment in parentheses.
std::string ReceivedDateText(std::string received) {
    const auto semicolon = received.rfind(';');
    if (semicolon != std::string::npos) received.erase(0, semicolon + 1);
    const auto paren = received.find('(');
    if (paren != std::string::npos) received.erase(paren);
    return received;
}

bool DateBefore2000(platform::TDateTime date) { return platform::DecodeDateTime(date).year < 2000; }


}  // namespace

TIdMessage::TIdMessage() : Parts(this) {
    NoDecode = false;
    ResetMessage();
    encoding_ = TIdMessageEncoding::meDefault;
}

TIdMessage::~TIdMessage() {
    // Parts first: attachment files go while the message is still whole.
    Parts.Clear();
}

void TIdMessage::SetEncoding(TIdMessageEncoding value) {
    encoding_ = value;
    SetAttachmentEncoding(value == TIdMessageEncoding::meMIME ? "MIME" : "UUE");
}

TIdEMailAddressItem& TIdMessage::From() {
    if (FromList.Count() == 0) FromList.Add();
    return FromList.Items(0);
}

void TIdMessage::SetFrom(const TIdEMailAddressItem& item) { From().Assign(item); }

void TIdMessage::SetInReplyTo(std::string_view value) { inReplyTo_ = WithAngleBrackets(value); }

void TIdMessage::SetMessageId(std::string_view value) { messageId_ = WithAngleBrackets(value); }

void TIdMessage::SetUseNowForDate(bool value) {
    if (value == UseNowForDate()) return;
    Date = value ? 0 : platform::Now();
}

void TIdMessage::SetAttachmentTempDirectory(std::string_view value) {
    if (value == attachmentTempDirectory_) return;
    if (!value.empty() && value.back() == '/') value.remove_suffix(1);
    attachmentTempDirectory_ = std::string(value);
}

void TIdMessage::ResetMessage() {
    ResetHeaderFields();
    ResetBody();
}

void TIdMessage::ResetHeaderFields() {
    CCList.Clear();
    BccList.Clear();
    Date = 0;
    FromList.Clear();
    NewsGroups.Clear();
    Organization.clear();
    References.clear();
    ReplyTo.Clear();
    Subject.clear();
    Recipients.Clear();
    Priority = mpNormal;
    ReceiptRecipient.SetText("");
    ContentType.clear();
    CharSet.clear();
    ContentTransferEncoding.clear();
    ContentDisposition.clear();
    Sender.SetText("");
    Headers.Clear();
    ExtraHeaders.Clear();
    BoundaryStack.ClearBoundaries();
    Flags = 0;
    messageId_.clear();
    UID.clear();
    LastGeneratedHeaders.Clear();
    encoding_ = TIdMessageEncoding::meDefault;  // AttachmentEncoding stays
    ConvertPreamble = true;
    GenerateBCCListInHeader = false;
    SinglePartBody = false;
}

void TIdMessage::ResetBody() {
    Parts.Clear();
    Body.Clear();
}

void TIdMessage::InterpretHeaders() {
    // Each field is looked up once: a lookup walks the whole header block.
    const std::string contentTypeValue = Headers.ValueOf("Content-Type");

    if (contentTypeValue.empty()) {
        ContentType = "text/plain";
    } else {
        std::string rest = contentTypeValue;
        ContentType = Trim(SplitOff(rest, ";"));
    }
    CharSet = CharSetOf(contentTypeValue);
    ContentTransferEncoding = Headers.ValueOf("Content-Transfer-Encoding");
    ContentDisposition = Headers.ValueOf("Content-Disposition");
    Subject = DecodeEncodedWords(Headers.ValueOf("Subject"));
    ParseEncodedAddressList(FromList, Headers.ValueOf("From"));
    SetMessageId(Headers.ValueOf("Message-Id"));
    SplitCommaList(NewsGroups, Headers.ValueOf("Newsgroups"));
    ParseEncodedAddressList(Recipients, Headers.ValueOf("To"));
    ParseEncodedAddressList(CCList, Headers.ValueOf("Cc"));
    ParseEncodedAddressList(BccList, Headers.ValueOf("Bcc"));
    Organization = Headers.ValueOf("Organization");
    ReceiptRecipient.SetText(Headers.ValueOf("Disposition-Notification-To"));
    if (ReceiptRecipient.Text().empty()) ReceiptRecipient.SetText(Headers.ValueOf("Return-Receipt-To"));
    References = Headers.ValueOf("References");
    ReplyTo.ParseAddressList(Headers.ValueOf("Reply-To"));

    // Missing, unreadable and implausibly old dates fall back to the time the
    // first relay saw the mail.
    Date = MailDateToLocal(Headers.ValueOf("Date"));
    if (DateBefore2000(Date)) Date = MailDateToLocal(ReceivedDateText(Headers.ValueOf("Received")));

    Sender.SetText(Headers.ValueOf("Sender"));

    const std::string priority = Headers.ValueOf("Priority");
    Priority = PriorityOf(priority.empty() ? Headers.ValueOf("X-Priority") : priority);

    std::string boundary = TIdMIMEBoundary::ExtractBoundary(contentTypeValue);
    if (!boundary.empty()) BoundaryStack.PushBoundary(std::move(boundary), -1);

    SetEncoding(Headers.ValueOf("MIME-Version").empty() ? TIdMessageEncoding::mePlainText
                                                        : TIdMessageEncoding::meMIME);
}

TIdAttachment& TIdMessage::CreateAttachmentPart(const TStringList& headerLines) {
    TIdAttachment* attachment = nullptr;
    if (OnCreateAttachment) {
        OnCreateAttachment(*this, headerLines, attachment);
        // The handler makes the part in Parts; anything else has no owner.
        if (attachment != nullptr && Parts.IndexOf(*attachment) < 0)
            throw EIdException("OnCreateAttachment must add the attachment to the message's parts.");
    }
    if (attachment == nullptr) attachment = &Parts.Add<TIdAttachmentFile>(std::string());
    return *attachment;
}

void TIdMessage::LoadMessageFile(const std::string& path, bool headersOnly) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
        throw EIdMessageCannotLoad("Cannot load message from file " + path);
    TIdReadFileExclusiveStream stream(path);
    LoadMessageStream(stream, headersOnly);
}

void TIdMessage::LoadMessageStream(TStream& stream, bool headersOnly) {
    InitializeReader();
    ResetMessage();
    TIdMessageClient client;
    if (!BeforeRead) {
        client.ReadMessageFromStream(*this, stream, headersOnly);
        return;
    }
    TCheckedStream checked(stream, BeforeRead);
    client.ReadMessageFromStream(*this, checked, headersOnly);
}
