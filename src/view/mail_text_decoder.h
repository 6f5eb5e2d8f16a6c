#pragma once
// The Unicode reading of one mail's texts ("Automatisch" or one charset
// chosen for the mail): every text comes out as UTF-8.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_encoding.h"
#include "reader/headers/encoded_words.h"
#include "reader/line_store.h"
#include "view/charset_choice.h"

namespace view {

class MailTextDecoder final : public EncodedWordDecoding {
public:
    // choice is cmAutomatic or cmExplicit. messageLabel is the charset the
    // message declares for its text (may be empty or unknown).
    MailTextDecoder(const CharsetChoice& choice, std::string_view messageLabel);

    // A header value: encoded words in their own charsets, the text around
    // them as HeaderBytes.
    std::string HeaderValue(std::string_view raw) const;
    // Header text without encoded words. Plain ASCII stays; 8-bit bytes read
    // as UTF-8 when they are valid UTF-8, else in the message's charset,
    // else as Windows-1252. A chosen charset reads all 8-bit bytes.
    std::string HeaderBytes(std::string_view raw) const;
    // Text in the charset its label names (a chosen charset wins); without a
    // known label, UTF-8 when the bytes are valid UTF-8, else Windows-1252.
    std::string Text(std::string_view bytes, std::string_view label) const;
    // How Text() of the lines joined by CR LF can be had line by line: the
    // encoding each line is read in, or nullptr when every line reads as it
    // stands. Nothing when only the whole text reads right (stateful and
    // 16-bit charsets).
    std::optional<const platform::TextEncoding*> LineByLine(const TLineStore& lines, std::string_view label) const;
    // An HTML page decoded with the chosen charset or the one its label
    // names. Nothing when neither is known: the page keeps its bytes and
    // its own declaration decides.
    std::optional<std::string> HtmlPage(std::string_view bytes, std::string_view label) const;

    // EncodedWordDecoding.
    std::string Word(std::string_view charset, std::string_view bytes) const override;
    std::string Plain(std::string_view bytes) const override { return HeaderBytes(bytes); }

private:
    std::string Declared(const platform::TextEncoding& encoding, std::string_view bytes) const;

    const platform::TextEncoding* chosen_;
    const platform::TextEncoding* messageEncoding_;
};

}  // namespace view
