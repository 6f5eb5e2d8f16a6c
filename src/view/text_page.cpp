#include "view/text_page.h"

#include <optional>

#include "platform/codepage.h"
#include "platform/text_encoding.h"
#include "platform/utf8.h"
#include "reader/message/message.h"
#include "view/mail_text_decoder.h"
#include "view/text_rules.h"

namespace view {

namespace {

constexpr std::string_view kTextSeparator = "***********************";
static_assert(kTextSeparator.size() == 23);

// What the body's text can grow to in UTF-8, joined: reserved up front, a
// large text is made without copies, and room never written costs no memory.
// A byte takes up to three in UTF-8 (Windows-1252's "€", or a replacement
// character for a byte that a charset leaves undefined).
std::size_t ShownSizeBound(const TLineStore& body) {
    return 3 * (body.Bytes() + static_cast<std::size_t>(body.Count()));
}

}  // namespace

void SeparateFromTextBefore(JoinedText& text) {
    if (text.Empty()) return;
    text.Append("");
    text.Append(kTextSeparator);
    text.Append("");
}

void AppendBodyText(JoinedText& to, TLineStore& body, std::string_view label,
                    const TextReading& reading, const std::function<void()>& checkpoint) {
    // In the Unicode view: the encoding each line is read in, nullptr when
    // every line stands as it is.
    std::optional<const platform::TextEncoding*> encoding;
    if (reading.decoder) {
        encoding = reading.decoder->LineByLine(body, label);
        if (!encoding) {
            for (const std::string& line : SplitTextLines(reading.decoder->Text(body.Text(), label))) to.Append(line);
            return;
        }
    }
    constexpr std::size_t kLinesBetweenCheckpoints = 1 << 16;
    to.Reserve(ShownSizeBound(body));
    std::size_t count = 0;
    std::string converted;
    body.Drain([&](std::string_view line) {
        if (checkpoint && ++count % kLinesBetweenCheckpoints == 0) checkpoint();
        std::string_view shown = line;
        if (!reading.decoder) {
            if (!platform::IsAscii(line)) {
                converted = platform::LocalToUtf8(reading.classicUtf8 ? platform::Utf8ToLocal(line) : line);
                shown = converted;
            }
        } else if (*encoding) {
            converted = platform::DecodeToUtf8(**encoding, line);
            shown = converted;
        }
        if (shown.find_first_of("\r\n") == std::string_view::npos) {
            to.Append(shown);
            return;
        }
        // A break inside a line is cut as it would be in the joined text.
        for (const std::string& piece : SplitTextLines(std::string(shown) + "\r\n")) to.Append(piece);
    });
}

JoinedText TextPageOf(TIdMessage& mail, const MailTextDecoder* decoder) {
    JoinedText lines;
    if (!ContainsUpper(mail.Headers.ValueOf("Content-Type"), "MULTIPART")) {
        AppendBodyText(lines, mail.Body, mail.CharSet, {decoder, !decoder && SaysUtf8(mail.Headers)});
        return lines;
    }
    for (int i = 0; i < mail.Parts.Count(); ++i) {
        auto* text = dynamic_cast<TIdText*>(&mail.Parts.Items(i));
        if (!text || ContainsUpper(text->ContentType, "HTML")) continue;
        SeparateFromTextBefore(lines);
        AppendBodyText(lines, text->Body, text->CharSet, {decoder, !decoder && SaysUtf8(text->Headers)});
    }
    return lines;
}

}  // namespace view
