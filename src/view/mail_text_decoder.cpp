#include "view/mail_text_decoder.h"

#include "platform/utf8.h"

namespace view {
namespace {

std::string Guessed(std::string_view bytes) {
    if (platform::IsValidUtf8(bytes)) return std::string(bytes);
    return platform::DecodeToUtf8(platform::Windows1252Encoding(), bytes);
}

// Whether the lines, each read alone, give what the joined text gives: no
// state carried from line to line and no line end inside a character.
bool ReadsLineByLine(const platform::TextEncoding& encoding) {
    using platform::DecoderKind;
    switch (encoding.kind) {
    case DecoderKind::dkUtf8:
    case DecoderKind::dkWindows1252:
    case DecoderKind::dkUserDefined:
        return true;
    case DecoderKind::dkIconv:
        return !encoding.name.starts_with("UTF-16") && !encoding.name.starts_with("ISO-2022") &&
               encoding.name != "UTF-7";
    case DecoderKind::dkReplacement:
    case DecoderKind::dkIso2022Jp:
        break;
    }
    return false;
}

bool SevenBit(const platform::TextEncoding& encoding) {
    return encoding.name.starts_with("ISO-2022") || encoding.name == "UTF-7";
}

// RFC 2231 lets an encoded word name its language after the charset
// ("us-ascii*en").
std::string_view WithoutLanguage(std::string_view charset) { return charset.substr(0, charset.find('*')); }

}  // namespace

MailTextDecoder::MailTextDecoder(const CharsetChoice& choice, std::string_view messageLabel)
    : chosen_(choice.mode == CharsetMode::cmExplicit ? choice.encoding : nullptr),
      messageEncoding_(platform::EncodingForLabel(messageLabel)) {}

std::string MailTextDecoder::HeaderValue(std::string_view raw) const { return DecodeEncodedWordsWith(raw, *this); }

std::string MailTextDecoder::HeaderBytes(std::string_view raw) const {
    if (platform::IsAscii(raw)) return std::string(raw);
    if (chosen_) return platform::DecodeToUtf8(*chosen_, raw);
    if (platform::IsValidUtf8(raw)) return std::string(raw);
    return platform::DecodeToUtf8(messageEncoding_ ? *messageEncoding_ : platform::Windows1252Encoding(), raw);
}

// A seven-bit charset cannot hold 8-bit bytes: such text was converted to
// UTF-8 somewhere on its way and kept its old label.
std::string MailTextDecoder::Declared(const platform::TextEncoding& encoding, std::string_view bytes) const {
    if (SevenBit(encoding) && !platform::IsAscii(bytes) && platform::IsValidUtf8(bytes)) return std::string(bytes);
    return platform::DecodeToUtf8(encoding, bytes);
}

std::string MailTextDecoder::Text(std::string_view bytes, std::string_view label) const {
    if (chosen_) return platform::DecodeToUtf8(*chosen_, bytes);
    if (const platform::TextEncoding* declared = platform::EncodingForLabel(label)) return Declared(*declared, bytes);
    return Guessed(bytes);
}

std::optional<const platform::TextEncoding*> MailTextDecoder::LineByLine(const TLineStore& lines,
                                                                         std::string_view label) const {
    // The joined text is valid UTF-8 (or ASCII) exactly when every line is.
    bool allUtf8 = true;
    bool allAscii = true;
    for (std::string_view line : lines) {
        if (allAscii && !platform::IsAscii(line)) allAscii = false;
        if (!allAscii && !platform::IsValidUtf8(line)) {
            allUtf8 = false;
            break;
        }
    }
    const platform::TextEncoding* encoding = chosen_ ? chosen_ : platform::EncodingForLabel(label);
    if (!encoding) return allUtf8 ? nullptr : &platform::Windows1252Encoding();
    if (!chosen_ && SevenBit(*encoding) && !allAscii && allUtf8) return nullptr;
    if (!ReadsLineByLine(*encoding)) return std::nullopt;
    if (allAscii && encoding->kind != platform::DecoderKind::dkUserDefined) return nullptr;
    if (encoding->kind == platform::DecoderKind::dkUtf8 && allUtf8) return nullptr;
    return encoding;
}

std::optional<std::string> MailTextDecoder::HtmlPage(std::string_view bytes, std::string_view label) const {
    if (chosen_) return platform::DecodeToUtf8(*chosen_, bytes);
    if (const platform::TextEncoding* declared = platform::EncodingForLabel(label)) return Declared(*declared, bytes);
    return std::nullopt;
}

std::string MailTextDecoder::Word(std::string_view charset, std::string_view bytes) const {
    if (const platform::TextEncoding* own = platform::EncodingForLabel(WithoutLanguage(charset)))
        return Declared(*own, bytes);
    // A charset nobody defines says nothing: the bytes are read like 8-bit
    // header text.
    return HeaderBytes(bytes);
}

}  // namespace view
