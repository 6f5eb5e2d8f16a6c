#include "reader/headers/header_text.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <climits>

#include "platform/codepage.h"

namespace {

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

bool InSet(std::string_view set, char c) { return set.find(c) != std::string_view::npos; }

// Number of characters FirstCharIn/FirstCharNotIn look at from start on.
int ScanCount(std::string_view text, int length, int start) {
    const long long remaining = static_cast<long long>(text.size()) - start + 1;
    long long n = length < 0 ? remaining : std::min<long long>(remaining, length);
    if (n < 0) n = 0;
    return static_cast<int>(n);
}

// Shared tail of SplitOff/SplitOffNoCase once the delimiter's position is known.
std::string CutAt(std::string& source, std::size_t pos, std::size_t delimiterLength, bool remove) {
    if (pos == std::string::npos) {
        std::string result = source;
        if (remove) source.clear();
        return result;
    }
    std::string result = source.substr(0, pos);
    if (remove) source.erase(0, pos + delimiterLength);
    return result;
}

}  // namespace

std::string_view TrimmedView(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && IsTrimmed(s[b])) ++b;
    while (e > b && IsTrimmed(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Trim(std::string_view s) { return std::string(TrimmedView(s)); }

std::string TrimLeft(std::string_view s) {
    std::size_t b = 0;
    while (b < s.size() && IsTrimmed(s[b])) ++b;
    return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
    std::size_t e = s.size();
    while (e > 0 && IsTrimmed(s[e - 1])) --e;
    return std::string(s.substr(0, e));
}

int StrToIntDef(std::string_view s, int def) {
    const std::string t = Trim(s);
    std::string_view digits = t;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return def;
    // Read as unsigned magnitude so that INT_MIN still fits.
    unsigned long long magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (ec != std::errc() || end != digits.data() + digits.size()) return def;
    if (negative) {
        if (magnitude > static_cast<unsigned long long>(INT_MAX) + 1) return def;
        return static_cast<int>(-static_cast<long long>(magnitude));
    }
    if (magnitude > static_cast<unsigned long long>(INT_MAX)) return def;
    return static_cast<int>(magnitude);
}

std::string SplitOff(std::string& source, std::string_view delimiter, bool remove, bool caseSensitive) {
    if (!caseSensitive) return SplitOffNoCase(source, delimiter, remove);
    // The local code page has no lead bytes, so a plain byte search keeps
    // every character whole.
    const std::size_t pos = delimiter.empty() ? std::string::npos : source.find(delimiter);
    return CutAt(source, pos, delimiter.size(), remove);
}

std::size_t FindAsciiNoCase(std::string_view text, std::string_view key) {
    if (key.empty() || key.size() > text.size()) return std::string_view::npos;
    auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    const char first = upper(key[0]);
    const std::size_t last = text.size() - key.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (upper(text[i]) != first) continue;
        std::size_t k = 1;
        while (k < key.size() && upper(text[i + k]) == upper(key[k])) ++k;
        if (k == key.size()) return i;
    }
    return std::string_view::npos;
}

std::string SplitOffNoCase(std::string& source, std::string_view delimiter, bool remove) {
    return CutAt(source, FindAsciiNoCase(source, delimiter), delimiter.size(), remove);
}

std::string HeaderMainValue(std::string_view value) {
    return std::string(value.substr(0, value.find(';')));
}

std::string HeaderParamValue(std::string_view value, std::string_view key) {
    const std::size_t pos = FindAsciiNoCase(value, key);
    if (pos == std::string_view::npos) return {};
    std::string_view r = value.substr(pos + key.size());
    if (!r.empty() && r[0] == '"') {
        r.remove_prefix(1);
        return std::string(r.substr(0, r.find('"')));
    }
    return std::string(r.substr(0, r.find(';')));
}

int FirstCharIn(std::string_view set, std::string_view text, int length, int start) {
    assert(start >= 1);
    if (start < 1) return 0;
    const int n = ScanCount(text, length, start);
    if (set.empty() || n == 0) return 0;
    for (int p = start; p < start + n; ++p) {
        if (InSet(set, text[static_cast<std::size_t>(p - 1)])) return p;
    }
    return 0;
}

int FirstCharNotIn(std::string_view set, std::string_view text, int length, int start) {
    assert(start >= 1);
    if (start < 1) return 0;
    const int n = ScanCount(text, length, start);
    if (n == 0) return 0;
    if (set.empty()) return start;
    for (int p = start; p < start + n; ++p) {
        if (!InSet(set, text[static_cast<std::size_t>(p - 1)])) return p;
    }
    return 0;
}

std::string StripCharsAtEnds(std::string_view set, std::string_view text) {
    while (!text.empty() && InSet(set, text.front())) text.remove_prefix(1);
    while (!text.empty() && InSet(set, text.back())) text.remove_suffix(1);
    return std::string(text);
}

void SplitCommaList(TStringList& target, std::string_view value) {
    target.Clear();
    auto addEntry = [&target](std::string_view entry) {
        std::string t = Trim(entry);
        if (!t.empty()) target.Add(std::move(t));
    };
    std::size_t entryStart = 0;
    int quotes = 0;  // a comma is protected only while exactly one quote is open
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"') {
            ++quotes;
        } else if (c == ',' && quotes != 1) {
            addEntry(value.substr(entryStart, i - entryStart));
            entryStart = i + 1;
            quotes = 0;
        }
    }
    addEntry(value.substr(entryStart));
}
