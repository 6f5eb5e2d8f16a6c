// The body receive loop: lines that start no part go to the message's Body,
// every part start leads to a chain of part decoders.

#include "reader/decoding/body_reader.h"

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "reader/decoding/message_decoder.h"
#include "reader/decoding/message_decoder_mime.h"
#include "reader/decoding/message_decoder_uue.h"
#include "reader/exceptions.h"
#include "reader/headers/header_text.h"
#include "reader/io/message_client.h"
#include "reader/io/tcp_stream.h"
#include "reader/message/message.h"

void DropTrailingEmptyLine(TLineStore& lines) {
    if (!lines.Empty() && lines.Last().empty()) lines.DeleteLast();
}

namespace {

using DecoderPtr = std::unique_ptr<TIdMessageDecoder>;

// The destination of a text part: the decoded bytes become lines as they
// arrive, so a large text is never held twice. The text ends at its first
// NUL byte.
class TextLineStream final : public TStream {
public:
    explicit TextLineStream(TLineStore& lines) : splitter_(lines, TTextLineSplitter::TNulMode::EndAtNul) {}

    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void* buffer, std::size_t n) override {
        splitter_.Feed(std::string_view(static_cast<const char*>(buffer), n));
        written_ += static_cast<std::int64_t>(n);
    }
    std::int64_t Position() const override { return written_; }
    std::int64_t Size() const override { return written_; }
    void Seek(std::int64_t) override { throw EIdException("A text part is written front to back."); }

    void Finish() { splitter_.Finish(); }

private:
    TTextLineSplitter splitter_;
    std::int64_t written_ = 0;
};

// State of one run of ReadBodyBlock.
class BodyReceiver {
public:
    BodyReceiver(TIdMessage& message, TIdIOHandler& io) : message_(message), io_(io) {}

    void Run(std::string_view delimiter);

private:
    void CaptureRaw(std::string_view delimiter);
    void RunLineLoop(std::string_view delimiter);
    void RunSinglePart();
    // Stores the part of decoder by its kind; returns the next decoder.
    DecoderPtr StorePart(DecoderPtr decoder, bool toBody);
    DecoderPtr StoreTextPart(DecoderPtr decoder, bool toBody);
    DecoderPtr StoreAttachmentPart(DecoderPtr decoder);
    std::string HeaderValue(const TIdMessageDecoder& decoder, std::string_view name) const;
    void CopyExtraHeaders(const TIdMessageDecoder& decoder, TIdMessagePart& part) const;
    int ParentPartFor(const TIdMessagePart& part, int currentParent) const;
    void AttachLineSource(TIdMessageDecoder& decoder) { decoder.SetLineSource(std::make_unique<TIdTCPStream>(io_)); }

    TIdMessage& message_;
    TIdIOHandler& io_;
    bool messageEnd_ = false;
    int previousParent_ = -1;
};

void BodyReceiver::Run(std::string_view delimiter) {
    messageEnd_ = false;
    if (message_.NoDecode) {
        CaptureRaw(delimiter);
        return;
    }
    const TIdMessageEncoding encoding = message_.Encoding();
    const std::string_view cte = TrimmedView(message_.ContentTransferEncoding);
    const bool lineLoop =
        (encoding == TIdMessageEncoding::meMIME && message_.BoundaryStack.BoundaryCount() > 0) ||
        (encoding == TIdMessageEncoding::mePlainText && !platform::SameTextLocale(cte, "base64") &&
         !platform::SameTextLocale(cte, "quoted-printable"));
    if (lineLoop) {
        RunLineLoop(delimiter);
    } else {
        RunSinglePart();
    }
}

// The first lone delimiter ends the capture: no "|" rule here.
void BodyReceiver::CaptureRaw(std::string_view delimiter) {
    std::string line;
    for (;;) {
        io_.ReadLineInto(line);
        if (line == delimiter || io_.LineTimedOut()) break;
        if (line.starts_with("..")) line.erase(0, 1);
        message_.Body.Add(line);
    }
}

void BodyReceiver::RunLineLoop(std::string_view delimiter) {
    std::string line;
    DecoderPtr active;
    for (;;) {
        io_.ReadLnRFCInto(line, messageEnd_, "\n", delimiter);
        // Past the end of the data every read is empty: never spin there.
        if (messageEnd_ || io_.LineTimedOut()) break;
        if (!active) active = FindDecoderForLine(message_, line);
        if (!active) {
            message_.Body.Add(line);
            continue;
        }
        // The empty line before a part start does not belong to the body.
        DropTrailingEmptyLine(message_.Body);
        // Each part hands over the decoder of the next: a loop, not recursion.
        while (active) {
            AttachLineSource(*active);
            previousParent_ = message_.BoundaryStack.CurrentParentPart();
            active->ReadPartHeader();
            active = StorePart(std::move(active), false);
        }
        // A part that ran into the end of the data ends the message too.
        if (messageEnd_) break;
    }
    DropTrailingEmptyLine(message_.Body);
}

void BodyReceiver::RunSinglePart() {
    message_.SinglePartBody = true;
    auto decoder = std::make_unique<TIdMessageDecoderMIME>(&message_);
    AttachLineSource(*decoder);
    decoder->ClassifyPart(message_.ContentType, message_.ContentDisposition);
    previousParent_ = message_.BoundaryStack.CurrentParentPart();
    // Whatever the store step hands back is not used on this path.
    StorePart(std::move(decoder), true);
}

DecoderPtr BodyReceiver::StorePart(DecoderPtr decoder, bool toBody) {
    switch (decoder->PartKind) {
        case pkText:
            return StoreTextPart(std::move(decoder), toBody);
        case pkAttachment:
            return StoreAttachmentPart(std::move(decoder));
        case pkIgnore:
            return nullptr;
        case pkUnknown:
            break;
    }
    throw EIdException("Unknown Message Part Type.");
}

std::string BodyReceiver::HeaderValue(const TIdMessageDecoder& decoder, std::string_view name) const {
    // A message read as one part is described by the message header itself.
    if (message_.SinglePartBody) return message_.Headers.ValueOf(name);
    return decoder.PartHeaderValue(name);
}

void BodyReceiver::CopyExtraHeaders(const TIdMessageDecoder& decoder, TIdMessagePart& part) const {
    part.ExtraHeaders.HeaderSeparator = '=';
    for (const std::string& entry : decoder.PartHeaders) {
        const std::size_t eq = entry.find('=');
        const std::string_view name =
            eq == std::string::npos ? std::string_view() : std::string_view(entry).substr(0, eq);
        if (part.Headers.FindField(name) == -1) part.ExtraHeaders.Add(entry);
    }
}

// A part that opens a multipart was pushed with the parent current before it.
int BodyReceiver::ParentPartFor(const TIdMessagePart& part, int currentParent) const {
    return platform::StartsTextLocale(part.ContentType, "multipart/") ? previousParent_ : currentParent;
}

DecoderPtr BodyReceiver::StoreTextPart(DecoderPtr decoder, bool toBody) {
    TLineStore lines;
    TextLineStream text(lines);
    const int currentParent = message_.BoundaryStack.CurrentParentPart();
    DecoderPtr next = decoder->ReadPartBody(text, messageEnd_);
    text.Finish();

    if (toBody) {
        message_.Body = std::move(lines);
        return next;
    }

    TIdText& part = message_.Parts.Add<TIdText>();
    part.Body = std::move(lines);
    DropTrailingEmptyLine(part.Body);

    const std::string contentType = HeaderValue(*decoder, "Content-Type");
    part.ContentType = part.EffectiveContentType(contentType);
    part.Headers.Add("Content-Type: " + contentType);
    // A plain field: the Content-Type line just written stays as read.
    part.CharSet = HeaderParamValue(contentType, "CHARSET=");
    part.ContentTransfer = HeaderValue(*decoder, "Content-Transfer-Encoding");
    part.Headers.Add("Content-Transfer-Encoding: " + part.ContentTransfer);
    part.SetContentID(HeaderValue(*decoder, "Content-ID"));
    part.SetContentLocation(HeaderValue(*decoder, "Content-Location"));
    part.SetContentDescription(HeaderValue(*decoder, "Content-Description"));
    if (!message_.SinglePartBody) CopyExtraHeaders(*decoder, part);
    part.ParentPart = ParentPartFor(part, currentParent);
    return next;
}

DecoderPtr BodyReceiver::StoreAttachmentPart(DecoderPtr decoder) {
    const int currentParent = message_.BoundaryStack.CurrentParentPart();
    TIdAttachment& attachment = message_.CreateAttachmentPart(decoder->PartHeaders);
    // Known from the part's header (or begin line) already; a placer of the
    // attachment's file names it by it.
    attachment.AttachedFileName = decoder->PartFileName;
    DecoderPtr next;
    try {
        TStream& target = attachment.OpenWriteTarget();
        std::exception_ptr failure;
        try {
            // The decoded bytes go straight into the attachment's file.
            next = decoder->ReadPartBody(target, messageEnd_);

            const std::string contentType = HeaderValue(*decoder, "Content-Type");
            attachment.ContentType = attachment.EffectiveContentType(contentType);
            attachment.Headers.Add("Content-Type: " + contentType);
            attachment.CharSet = HeaderParamValue(contentType, "CHARSET=");

            const auto* uue = dynamic_cast<const TIdMessageDecoderUUE*>(decoder.get());
            if (uue && !message_.SinglePartBody) {
                attachment.ContentTransfer = uue->CodingName == "XXE" ? "XXE" : "UUE";
            } else if (platform::StartsTextLocale(attachment.ContentType, "application/mac-binhex40")) {
                attachment.ContentTransfer = "binhex40";
                attachment.Headers.Add("Content-Transfer-Encoding: binhex40");
            } else {
                attachment.ContentTransfer = HeaderValue(*decoder, "Content-Transfer-Encoding");
                attachment.Headers.Add("Content-Transfer-Encoding: " + attachment.ContentTransfer);
            }

            attachment.SetContentDisposition(HeaderValue(*decoder, "Content-Disposition"));
            attachment.SetContentID(HeaderValue(*decoder, "Content-ID"));
            attachment.SetContentLocation(HeaderValue(*decoder, "Content-Location"));
            attachment.SetContentDescription(HeaderValue(*decoder, "Content-Description"));
            if (!message_.SinglePartBody) CopyExtraHeaders(*decoder, attachment);
            attachment.ParentPart = ParentPartFor(attachment, currentParent);
            decoder.reset();
        } catch (...) {
            failure = std::current_exception();
        }
        attachment.CloseWriteTarget();
        if (failure) std::rethrow_exception(failure);
    } catch (...) {
        // A part that cannot be decoded or stored is dropped with its file;
        // the rest of the message still loads, beginning with the part whose
        // delimiter was already read when the decoding failed.
        if (decoder) next = decoder->TakeNextAfterFailure();
        message_.Parts.Delete(message_.Parts.IndexOf(attachment));
    }
    return next;
}

}  // namespace

void TIdMessageClient::ReadBodyBlock(TIdMessage& message, std::string_view delimiter) {
    if (!ioHandler_) return;
    InitializeReader();
    BodyReceiver(message, *ioHandler_).Run(delimiter);
}
