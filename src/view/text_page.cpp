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

}  // namespace

void SeparateFromTextBefore(std::vector<std::string>& lines) {
    if (!lines.empty()) lines.insert(lines.end(), {"", std::string(kTextSeparator), ""});
}

void AppendBodyText(std::vector<std::string>& to, TStringList& body, std::string_view label,
                    const TextReading& reading, const std::function<void()>& checkpoint) {
    // In the Unicode view: the encoding each line is read in, nullptr when
    // every line stands as it is.
    std::optional<const platform::TextEncoding*> encoding;
    if (reading.decoder) {
        encoding = reading.decoder->LineByLine(body.Lines(), label);
        if (!encoding) {
            for (std::string& line : SplitTextLines(reading.decoder->Text(body.Text(), label)))
                to.push_back(std::move(line));
            return;
        }
    }
    constexpr std::size_t kLinesBetweenCheckpoints = 1 << 16;
    std::vector<std::string>& lines = body.Lines();
    bool breaks = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (checkpoint && (i + 1) % kLinesBetweenCheckpoints == 0) checkpoint();
        std::string& line = lines[i];
        if (!reading.decoder) {
            if (!platform::IsAscii(line))
                line = platform::LocalToUtf8(reading.classicUtf8 ? platform::Utf8ToLocal(line) : line);
        } else if (*encoding) {
            line = platform::DecodeToUtf8(**encoding, line);
        }
        breaks = breaks || line.find_first_of("\r\n") != std::string::npos;
    }
    if (to.empty() && !breaks) {
        to.swap(lines);
    } else {
        to.reserve(to.size() + lines.size());
        for (std::string& line : lines) {
            if (line.find_first_of("\r\n") == std::string::npos) {
                to.push_back(std::move(line));
                continue;
            }
            // A break inside a line is cut as it would be in the joined text.
            for (std::string& piece : SplitTextLines(line + "\r\n")) to.push_back(std::move(piece));
        }
    }
    std::vector<std::string>().swap(lines);
}

std::vector<std::string> TextPageOf(TIdMessage& mail, const MailTextDecoder* decoder) {
    std::vector<std::string> lines;
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
