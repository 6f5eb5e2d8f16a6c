#include "view/file_name_sanitizer.h"

#include <vector>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace view {
namespace {

bool IsControl(char32_t cp) { return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F); }

bool IsLineSeparator(char32_t cp) { return cp == 0x2028 || cp == 0x2029; }

bool IsDirectionControl(char32_t cp) {
    return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

bool IsReserved(char32_t cp) {
    switch (cp) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return false;
    }
}

std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> cps;
    cps.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        const std::size_t len = platform::DecodeUtf8At(utf8, i, cp);
        if (len == 0) {
            cps.push_back(platform::LocalCharToUnicode(static_cast<unsigned char>(utf8[i])));
            ++i;
        } else {
            cps.push_back(cp);
            i += len;
        }
    }
    return cps;
}

std::size_t Utf8Length(char32_t cp) { return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; }

// A longer name could not be written at all; shorten its stem and keep a
// short extension, so the right program opens it.
void Shorten(std::vector<char32_t>& name, std::size_t maxBytes) {
    constexpr std::size_t kMaxExtension = 16;
    std::size_t total = 0;
    for (const char32_t cp : name) total += Utf8Length(cp);
    if (total <= maxBytes) return;
    std::size_t stemEnd = name.size();
    for (std::size_t i = name.size(); i-- > 1;) {
        if (name[i] == '.') {
            if (name.size() - i <= kMaxExtension) stemEnd = i;
            break;
        }
    }
    std::size_t cut = stemEnd;
    while (cut > 0 && total > maxBytes) total -= Utf8Length(name[--cut]);
    name.erase(name.begin() + static_cast<std::ptrdiff_t>(cut), name.begin() + static_cast<std::ptrdiff_t>(stemEnd));
}

}  // namespace

std::string SanitizeFileNameUtf8(std::string_view name, int index, std::size_t maxBytes) {
    std::vector<char32_t> out;
    out.reserve(name.size());
    for (const char32_t cp : CodePoints(name)) {
        if (out.empty() && (cp == '.' || cp == ' ')) continue;
        const bool unsafe = IsReserved(cp) || IsControl(cp) || IsLineSeparator(cp) || IsDirectionControl(cp);
        out.push_back(unsafe ? U'_' : cp);
    }
    if (out.empty()) return "Anlage" + std::to_string(index);
    Shorten(out, maxBytes);
    std::string result;
    result.reserve(out.size());
    for (const char32_t cp : out) platform::AppendUtf8(result, cp);
    return result;
}

std::string SanitizeFileName(std::string_view name, int index, std::size_t maxBytes) {
    return platform::Utf8ToLocal(SanitizeFileNameUtf8(platform::LocalToUtf8(name), index, maxBytes));
}

std::string VisibleInList(std::string_view name) {
    const std::vector<char32_t> cps = CodePoints(name);
    const auto blank = [&cps](std::size_t i) { return i < cps.size() && (cps[i] == ' ' || cps[i] == 0xA0); };
    std::string out;
    out.reserve(name.size() + 8);
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const char32_t cp = cps[i];
        if (cp == '\r' || cp == '\n' || cp == '\v' || cp == '\f' || cp == 0x85 || IsLineSeparator(cp)) {
            platform::AppendUtf8(out, 0xB6);
        } else if (IsControl(cp) || IsDirectionControl(cp)) {
            platform::AppendUtf8(out, 0xA4);
        } else if (blank(i) && (i == 0 || i + 1 == cps.size() || (i > 0 && blank(i - 1)) || blank(i + 1))) {
            platform::AppendUtf8(out, 0xB7);
        } else {
            platform::AppendUtf8(out, cp);
        }
    }
    return out;
}

}  // namespace view
