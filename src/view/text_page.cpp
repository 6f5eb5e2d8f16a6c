#include "view/text_page.h"

#include "platform/codepage.h"
#include "reader/message/message.h"
#include "view/text_rules.h"

namespace view {
namespace {

constexpr std::string_view kTextSeparator = "***********************";
static_assert(kTextSeparator.size() == 23);

bool HasLineBreak(const std::vector<std::string>& lines) {
    for (const std::string& line : lines)
        if (line.find_first_of("\r\n") != std::string::npos) return true;
    return false;
}

// AppendTextLines, moving the body's lines over when they are the whole
// text so far and stay as they are.
void TakeTextLines(std::vector<std::string>& to, TStringList& body, bool utf8) {
    if (to.empty() && !utf8 && !HasLineBreak(body.Lines())) {
        to.swap(body.Lines());
        body.Clear();
        return;
    }
    AppendTextLines(to, body, utf8);
}

void AppendPartText(TextPage& page, TIdText& part) {
    if (ContainsUpper(part.ContentType, "HTML")) {
        if (!page.lines.Empty()) return;
        AppendTextLines(page.lines.Lines(), part.Body, false);
        page.convertedFromUtf8 = false;
        return;
    }
    if (!page.lines.Empty()) {
        page.lines.Add("");
        page.lines.Add(std::string(kTextSeparator));
        page.lines.Add("");
    }
    const bool utf8 = SaysUtf8(part.Headers);
    TakeTextLines(page.lines.Lines(), part.Body, utf8);
    page.convertedFromUtf8 = page.convertedFromUtf8 || utf8;
}

}  // namespace

TextPage BuildTextPage(TIdMessage& mail) {
    TextPage page;
    if (!ContainsUpper(mail.Headers.ValueOf("Content-Type"), "MULTIPART")) {
        if (ContainsUpper(mail.ContentType, "HTML")) {
            // Its source; the page is published from the body later.
            AppendTextLines(page.lines.Lines(), mail.Body, false);
        } else {
            page.convertedFromUtf8 = SaysUtf8(mail.Headers);
            TakeTextLines(page.lines.Lines(), mail.Body, page.convertedFromUtf8);
        }
    } else if (mail.Parts.Count() == 0) {
        TakeTextLines(page.lines.Lines(), mail.Body, false);
    }
    for (int i = 0; i < mail.Parts.Count(); ++i)
        if (auto* text = dynamic_cast<TIdText*>(&mail.Parts.Items(i))) AppendPartText(page, *text);
    return page;
}

void AppendTextLines(std::vector<std::string>& to, const TStringList& body, bool utf8) {
    to.reserve(to.size() + body.Lines().size());
    std::string converted;
    for (const std::string& line : body) {
        if (utf8) converted = platform::Utf8ToLocal(line);
        const std::string& text = utf8 ? converted : line;
        if (text.find_first_of("\r\n") == std::string::npos) {
            to.push_back(text);
            continue;
        }
        // Every line of the joined text ends in CR LF; a break inside a line
        // is cut as it would be there.
        for (std::string& piece : SplitTextLines(text + "\r\n")) to.push_back(std::move(piece));
    }
}

}  // namespace view
