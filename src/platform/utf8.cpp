#include "platform/utf8.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>
#include <cstring>

#include "platform/codepage.h"

namespace platform {

std::size_t DecodeUtf8At(std::string_view s, std::size_t i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len;
    char32_t min;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF) { len = 2; cp = b0 & 0x1F; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { len = 3; cp = b0 & 0x0F; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { len = 4; cp = b0 & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp;
        const std::size_t len = DecodeUtf8At(s, i, cp);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::string LenientUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp;
        const std::size_t len = DecodeUtf8At(bytes, i, cp);
        if (len == 0) {
            AppendUtf8(out, LocalCharToUnicode(static_cast<unsigned char>(bytes[i])));
            ++i;
        } else {
            out.append(bytes, i, len);
            i += len;
        }
    }
    return out;
}

std::string UpperCaseUtf8(std::string_view utf8) {
    // The C library's Unicode tables; built into glibc, no locale files needed.
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        std::size_t len = DecodeUtf8At(utf8, i, cp);
        if (len == 0) {
            out += utf8[i++];
            continue;
        }
        if (cp < 0x80)
            cp = static_cast<char32_t>(UpperCaseAsciiChar(static_cast<char>(cp)));
        else if (unicode != static_cast<locale_t>(nullptr))
            cp = static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), unicode));
        AppendUtf8(out, cp);
        i += len;
    }
    return out;
}

bool IsAscii(std::string_view s) { return AsciiRunEnd(s) == s.size(); }

std::size_t AsciiRunEnd(std::string_view s, std::size_t from) {
    // Eight bytes at a time: mail text is mostly ASCII.
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    while (s.size() - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + from, 8);
        if (word & kHighs) break;
        from += 8;
    }
    while (from < s.size() && static_cast<unsigned char>(s[from]) < 0x80) ++from;
    return from;
}

}  // namespace platform
