#include "view/mail_text_decoder.h"

#include "platform/utf8.h"

namespace view {
namespace {

bool IsAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::string Guessed(std::string_view bytes) {
    if (platform::IsValidUtf8(bytes)) return std::string(bytes);
    return platform::DecodeToUtf8(platform::Windows1252Encoding(), bytes);
}

// RFC 2231 lets an encoded word name its language after the charset
// ("us-ascii*en").
std::string_view WithoutLanguage(std::string_view charset) { return charset.substr(0, charset.find('*')); }

}  // namespace

MailTextDecoder::MailTextDecoder(const CharsetChoice& choice, std::string_view messageLabel)
    : chosen_(choice.mode == CharsetMode::cmExplicit ? choice.encoding : nullptr),
      messageEncoding_(platform::EncodingForLabel(messageLabel)) {}

std::string MailTextDecoder::HeaderValue(std::string_view raw) const { return DecodeEncodedWords(raw, *this); }

std::string MailTextDecoder::HeaderBytes(std::string_view raw) const {
    if (IsAscii(raw)) return std::string(raw);
    if (chosen_) return platform::DecodeToUtf8(*chosen_, raw);
    if (platform::IsValidUtf8(raw)) return std::string(raw);
    return platform::DecodeToUtf8(messageEncoding_ ? *messageEncoding_ : platform::Windows1252Encoding(), raw);
}

std::string MailTextDecoder::Text(std::string_view bytes, std::string_view label) const {
    if (chosen_) return platform::DecodeToUtf8(*chosen_, bytes);
    if (const platform::TextEncoding* declared = platform::EncodingForLabel(label))
        return platform::DecodeToUtf8(*declared, bytes);
    return Guessed(bytes);
}

const platform::TextEncoding* MailTextDecoder::HtmlEncoding(std::string_view label) const {
    return chosen_ ? chosen_ : platform::EncodingForLabel(label);
}

std::string MailTextDecoder::Word(std::string_view charset, std::string_view bytes) const {
    if (const platform::TextEncoding* own = platform::EncodingForLabel(WithoutLanguage(charset)))
        return platform::DecodeToUtf8(*own, bytes);
    // A charset nobody defines says nothing: the bytes are read like 8-bit
    // header text.
    return HeaderBytes(bytes);
}

}  // namespace view
