#include "view/text_rules.h"

#include "platform/codepage.h"
#include "reader/headers/header_list.h"

namespace view {

bool ContainsUpper(std::string_view text, std::string_view upperNeedle) {
    if (upperNeedle.empty()) return true;
    if (upperNeedle.size() > text.size()) return false;
    const char first = upperNeedle.front();
    for (std::size_t i = 0; i + upperNeedle.size() <= text.size(); ++i) {
        if (platform::UpperCaseAsciiChar(text[i]) != first) continue;
        std::size_t k = 1;
        while (k < upperNeedle.size() && platform::UpperCaseAsciiChar(text[i + k]) == upperNeedle[k]) ++k;
        if (k == upperNeedle.size()) return true;
    }
    return false;
}

bool SaysUtf8(const TIdHeaderList& headers) {
    return ContainsUpper(headers.ValueOf("Content-Type"), "UTF-8") || ContainsUpper(headers.ValueOf("Charset"), "UTF-8");
}

bool HasExtension(std::string_view name) {
    const auto pos = name.find_last_of(".\\:");
    return pos != std::string_view::npos && name[pos] == '.';
}

bool IsBlank(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ') return false;
    return true;
}

std::string RemoveCidSchemes(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        if (i + 4 <= html.size() && platform::UpperCaseAsciiChar(html[i]) == 'C' &&
            platform::UpperCaseAsciiChar(html[i + 1]) == 'I' && platform::UpperCaseAsciiChar(html[i + 2]) == 'D' &&
            html[i + 3] == ':') {
            i += 4;
            continue;
        }
        out += html[i++];
    }
    return out;
}

}  // namespace view
