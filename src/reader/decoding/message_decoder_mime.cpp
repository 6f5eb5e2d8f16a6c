#include "reader/decoding/message_decoder_mime.h"

#include "platform/codepage.h"
#include "reader/decoding/decoder_4to3.h"
#include "reader/decoding/decoder_quoted_printable.h"
#include "reader/decoding/mime_boundary.h"
#include "reader/headers/encoded_words.h"
#include "reader/headers/header_text.h"
#include "reader/message/message.h"

namespace {

using platform::SameTextLocale;
using platform::StartsTextLocale;

// Size check first: most lines are not delimiters and differ in length.
bool SameTextFast(std::string_view a, std::string_view b) {
    return a.size() == b.size() && SameTextLocale(a, b);
}

bool NamesEncodedBody(std::string_view transferEncoding) {
    return SameTextFast(transferEncoding, "base64") || SameTextFast(transferEncoding, "quoted-printable");
}

// The text after key, searched in the ASCII upper case of text but taken
// from text itself so that a file name keeps its letter case.
std::string_view ValueAfterKey(std::string_view text, std::string_view key) {
    const std::size_t p = FindAsciiNoCase(text, key);
    if (p == std::string_view::npos) return {};
    return TrimmedView(text.substr(p + key.size()));
}

enum class TransferKind { None, Base64, QuotedPrintable, BinHex };

}  // namespace

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoMIME::ProbeStartLine(TIdMessage& message,
                                                                             std::string_view line) const {
    // Ordinary lines leave at once: a delimiter starts with "--", and only a
    // message whose whole body is encoded takes any other line.
    const bool dashed = line.size() >= 2 && line[0] == '-' && line[1] == '-';
    const bool encodedBody = NamesEncodedBody(TrimmedView(message.ContentTransferEncoding));
    if (!dashed && !encodedBody) return nullptr;

    // Nothing below uses it after the stack changes.
    const std::string& boundary = message.BoundaryStack.CurrentBoundaryRef();
    if (boundary.empty()) return nullptr;
    if (dashed) {
        const std::string_view rest = line.substr(2);
        if (SameTextFast(rest, boundary)) return std::make_unique<TIdMessageDecoderMIME>(&message);
        if (rest.size() == boundary.size() + 2 && rest.substr(boundary.size()) == "--" &&
            SameTextLocale(rest.substr(0, boundary.size()), boundary)) {
            message.BoundaryStack.PopBoundary();
            return std::make_unique<TIdMessageDecoderMIMEIgnore>(&message);
        }
    }
    if (encodedBody) return std::make_unique<TIdMessageDecoderMIME>(&message, std::string(line));
    return nullptr;
}

TIdMessageDecoderMIME::TIdMessageDecoderMIME(TIdMessage* owner) : TIdMessageDecoder(owner) {
    if (!owner) return;
    Boundary = owner->BoundaryStack.CurrentBoundary();
    const std::string_view cte = TrimmedView(owner->ContentTransferEncoding);
    MessageLevelPart = !cte.empty() && !SameTextLocale(cte, "8bit") && !SameTextLocale(cte, "7bit") &&
                       !SameTextLocale(cte, "binary");
}

TIdMessageDecoderMIME::TIdMessageDecoderMIME(TIdMessage* owner, std::string firstLine)
    : TIdMessageDecoderMIME(owner) {
    PendingFirstLine = std::move(firstLine);
    HasPendingFirstLine = true;
}

void TIdMessageDecoderMIME::ReadPartHeader() {
    TIdMessage* message = Owner();
    if (MessageLevelPart) {
        // The message header is this part's header.
        ClassifyPart(message->ContentType, message->ContentDisposition);
        return;
    }
    for (;;) {
        bool messageEnd = false;
        ReadMessageLineInto(line_, messageEnd);
        if (messageEnd) {
            PartKind = pkUnknown;
            return;
        }
        if (line_.empty()) break;
        if (line_[0] == '\t' || line_[0] == ' ') {
            const std::string_view continuation = std::string_view(line_).substr(1);
            if (!PartHeaders.Empty()) {
                std::string& last = PartHeaders[PartHeaders.Count() - 1];
                last += ' ';
                last += continuation;
            } else {
                PartHeaders.Add(HeaderLineToNameValue(continuation));
            }
        } else {
            PartHeaders.Add(HeaderLineToNameValue(line_));
        }
    }

    const std::string contentType = PartHeaderValue("Content-Type");
    if (message && StartsTextLocale(contentType, "multipart/")) {
        const int partCount = message->Parts.Count();
        std::string nested = TIdMIMEBoundary::ExtractBoundary(contentType);
        if (!nested.empty()) {
            Boundary = nested;
            message->BoundaryStack.PushBoundary(std::move(nested), partCount);
        } else {
            // A multipart without its own boundary goes on with the enclosing one.
            message->BoundaryStack.PushBoundary(Boundary, partCount);
        }
    }
    ClassifyPart(contentType, PartHeaderValue("Content-Disposition"));
}

std::string TIdMessageDecoderMIME::HeaderLineToNameValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return std::string(line);
    std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    std::string entry;
    entry.reserve(name.size() + 1 + value.size());
    entry.append(name).append(1, '=').append(value);
    return entry;
}

std::string_view TIdMessageDecoderMIME::DispositionParameters(std::string_view contentDisposition) {
    const std::size_t semicolon = contentDisposition.find(';');
    return semicolon == std::string_view::npos ? std::string_view() : contentDisposition.substr(semicolon + 1);
}

void TIdMessageDecoderMIME::ClassifyPart(std::string_view contentType, std::string_view contentDisposition) {
    const std::string_view dispositionType = contentDisposition.substr(0, contentDisposition.find(';'));
    PartFileName = PartFileNameFromHeaders(contentType, DispositionParameters(contentDisposition));
    if (StartsTextLocale(contentType, "text/") || StartsTextLocale(contentType, "multipart/")) {
        // Not trimmed: "attachment " before the ";" does not count.
        PartKind = SameTextLocale(dispositionType, "attachment") ? pkAttachment : pkText;
    } else {
        // Also a part without any Content-Type.
        PartKind = pkAttachment;
    }
}

std::string_view TIdMessageDecoderMIME::RawPartFileName(std::string_view contentType,
                                                        std::string_view dispositionParameters) {
    std::string_view s = ValueAfterKey(dispositionParameters, "FILENAME=");
    // "NAME=" may also be found inside a longer parameter name such as "FILENAME=".
    if (s.empty()) s = ValueAfterKey(contentType, "NAME=");
    if (s.empty()) return {};
    if (s.front() == '"') {
        const std::string_view quoted = s.substr(1);
        return quoted.substr(0, quoted.find('"'));
    }
    return s.substr(0, s.find(';'));
}

std::string TIdMessageDecoderMIME::PartFileNameFromHeaders(std::string_view contentType,
                                                           std::string_view dispositionParameters) {
    const std::string_view raw = RawPartFileName(contentType, dispositionParameters);
    if (raw.empty()) return {};
    return SanitizeFileName(DecodeEncodedWords(raw));
}

std::string TIdMessageDecoderMIME::SanitizeFileName(std::string_view name) {
    const std::size_t separator = name.find_last_of("/\\");
    if (separator != std::string_view::npos) name = name.substr(separator + 1);
    std::string result(name);
    for (char& c : result) {
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
                c = '_';
                break;
            default:
                break;
        }
    }
    return result;
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderMIME::ReadPartBody(TStream& destination, bool& messageEnd) {
    messageEnd = false;
    std::unique_ptr<TIdMessageDecoder> next;
    TIdMessage* message = Owner();

    std::string value;
    if (MessageLevelPart) {
        value = message->ContentTransferEncoding;
    } else {
        value = PartHeaderValue("Content-Transfer-Encoding");
        if (value.empty()) {
            // The content type stands in; only the BinHex type names a decoder.
            value = PartHeaderValue("Content-Type");
            if (StartsTextLocale(value, "application/mac-binhex40")) value = "binhex40";
        }
    }
    // Mailers leave blanks and tabs after the name.
    const std::string_view encoding = TrimmedView(value);

    TransferKind kind = TransferKind::None;
    std::unique_ptr<TIdDecoder> decoder;
    if (SameTextLocale(encoding, "base64")) {
        kind = TransferKind::Base64;
        decoder = std::make_unique<TIdDecoderMIMELineByLine>();
    } else if (SameTextLocale(encoding, "quoted-printable")) {
        kind = TransferKind::QuotedPrintable;
        decoder = std::make_unique<TIdDecoderQuotedPrintable>();
    } else if (SameTextLocale(encoding, "binhex40")) {
        kind = TransferKind::BinHex;
        decoder = std::make_unique<TIdDecoderBinHex4>();
    }
    if (decoder) decoder->BeginDecode(destination);

    const std::string delimiter = "--" + Boundary;
    const std::string closingDelimiter = delimiter + "--";
    // Binary content keeps lone LFs: lines end only at CR LF, and the CR LF
    // before the delimiter belongs to the delimiter. Only the exact name
    // switches the framing: in a file stored with LF line ends, "binary"
    // takes every later part into this one, and mailers that pad the name
    // with blanks write such files (the decoders above accept the padding).
    const bool crlfMode = SameTextLocale(value, "binary");
    const std::string_view terminator = crlfMode ? std::string_view("\r\n") : std::string_view("\n");
    bool first = true;
    // BinHex is framed by colons over the whole block, so it is decoded once.
    std::string collected;

    for (;;) {
        if (HasPendingFirstLine) {
            line_ = std::move(PendingFirstLine);
            PendingFirstLine.clear();
            HasPendingFirstLine = false;
            if (line_ == ".") {
                messageEnd = true;
                break;
            }
            if (line_.starts_with("..")) line_.erase(0, 1);
        } else {
            ReadMessageLineInto(line_, messageEnd, terminator);
        }
        if (messageEnd) break;

        // Both delimiters start with "--": other lines need no compare.
        if (!Boundary.empty() && line_.size() >= 2 && line_[0] == '-' && line_[1] == '-') {
            if (SameTextFast(line_, delimiter)) {
                next = std::make_unique<TIdMessageDecoderMIME>(message);
                break;
            }
            if (SameTextFast(line_, closingDelimiter)) {
                if (message) message->BoundaryStack.PopBoundary();
                break;
            }
        }

        switch (kind) {
            case TransferKind::QuotedPrintable:
                line_ += "\r\n";
                decoder->DecodeText(line_);
                break;
            case TransferKind::BinHex:
                collected += line_;
                break;
            case TransferKind::Base64:
                if (!line_.empty()) decoder->DecodeText(line_);
                break;
            case TransferKind::None:
                if (crlfMode && !Boundary.empty()) {
                    if (!first) destination.WriteString("\r\n");
                    destination.WriteString(line_);
                } else {
                    line_ += "\r\n";
                    destination.WriteString(line_);
                }
                break;
        }
        first = false;
    }

    if (decoder) {
        // BinHex and a bad last base64 group fail only here, after the
        // next part's delimiter has been read.
        try {
            if (kind == TransferKind::BinHex) decoder->DecodeText(collected);
            decoder->EndDecode();
        } catch (...) {
            nextAfterFailure_ = std::move(next);
            throw;
        }
    }
    return next;
}
