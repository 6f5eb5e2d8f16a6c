#include "platform/codepage.h"

#include <array>

#include "platform/utf8.h"

namespace platform {
namespace {

// 0x80..0x9F of Windows-1252; undefined slots keep their own value.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
    constexpr CaseTables() {
        for (int i = 0; i < 256; ++i) upper[i] = lower[i] = static_cast<unsigned char>(i);
        auto pair = [this](int lo, int up) {
            upper[lo] = static_cast<unsigned char>(up);
            lower[up] = static_cast<unsigned char>(lo);
        };
        for (int c = 'a'; c <= 'z'; ++c) pair(c, c - 32);
        pair(0x9A, 0x8A);  // š Š
        pair(0x9C, 0x8C);  // œ Œ
        pair(0x9E, 0x8E);  // ž Ž
        pair(0xFF, 0x9F);  // ÿ Ÿ
        for (int c = 0xE0; c <= 0xFE; ++c)
            if (c != 0xF7) pair(c, c - 32);  // à..þ, not ÷
    }
};
constexpr CaseTables kCase;

}  // namespace

char32_t LocalCharToUnicode(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F) return kHigh[c - 0x80];
    return c;
}

bool UnicodeToLocalChar(char32_t cp, char& out) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        out = static_cast<char>(cp);
        return true;
    }
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp) {
            out = static_cast<char>(0x80 + i);
            return true;
        }
    }
    return false;
}

std::string LocalToUtf8(std::string_view local) {
    std::string out;
    out.reserve(local.size() + local.size() / 8);
    std::size_t i = 0;
    while (i < local.size()) {
        // Mail text is mostly ASCII, which stays as it is: whole runs at once.
        const std::size_t run = AsciiRunEnd(local, i);
        out.append(local.data() + i, run - i);
        if (run == local.size()) break;
        AppendUtf8(out, LocalCharToUnicode(static_cast<unsigned char>(local[run])));
        i = run + 1;
    }
    return out;
}

std::string Utf8ToLocal(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp = 0;
        const std::size_t len = DecodeUtf8At(utf8, i, cp);
        if (len == 0) {
            out += utf8[i];  // a stray byte keeps its local meaning
            ++i;
            continue;
        }
        char c;
        out += UnicodeToLocalChar(cp, c) ? c : '?';
        i += len;
    }
    return out;
}

char UpperCaseLocaleChar(char c) { return static_cast<char>(kCase.upper[static_cast<unsigned char>(c)]); }
char LowerCaseLocaleChar(char c) { return static_cast<char>(kCase.lower[static_cast<unsigned char>(c)]); }

std::string UpperCaseLocale(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperCaseLocaleChar(c);
    return out;
}

std::string LowerCaseLocale(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerCaseLocaleChar(c);
    return out;
}

bool SameTextLocale(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperCaseLocaleChar(a[i]) != UpperCaseLocaleChar(b[i])) return false;
    return true;
}

bool StartsTextLocale(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameTextLocale(s.substr(0, prefix.size()), prefix);
}

std::size_t FindTextLocale(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= haystack.size() ? from : std::string_view::npos;
    if (haystack.size() < needle.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i)
        if (SameTextLocale(haystack.substr(i, needle.size()), needle)) return i;
    return std::string_view::npos;
}

char UpperCaseAsciiChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

std::string UpperCaseAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperCaseAsciiChar(c);
    return out;
}

std::string LowerCaseAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

}  // namespace platform
