#include "reader/headers/header_list.h"

#include <algorithm>

#include "platform/codepage.h"
#include "reader/headers/header_text.h"

namespace {

bool IsContinuation(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

bool IsWhite(char c) { return static_cast<unsigned char>(c) <= 32; }

// Upper-casing a line moves no such separator: it is found at the same place.
bool HasNoLetters(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

// Trims in place; cheap when only the end needs trimming, which is the
// common case while continuation lines are joined.
void TrimInPlace(std::string& s) {
    while (!s.empty() && IsWhite(s.back())) s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && IsWhite(s[b])) ++b;
    if (b > 0) s.erase(0, b);
}

// Folds text at blanks, TABs and commas outside double quotes once a line
// exceeds the column limit; a break already in the text is kept. The
// column arithmetic is deliberately the classic word-wrap one so that
// folded header lines come out exactly as they always have.
std::string WrapText(std::string_view text, int maxCol) {
    static constexpr std::string_view kBreak = "\r\n ";
    static constexpr std::string_view kBreakChars = "\t ,";
    const int n = static_cast<int>(text.size());
    auto at = [text](int pos) { return text[static_cast<std::size_t>(pos - 1)]; };
    auto isBreakChar = [](char c) { return kBreakChars.find(c) != std::string_view::npos; };

    std::string result;
    result.reserve(text.size() + text.size() / 16 + 8);
    int col = 1;
    int pos = 1;
    int linePos = 1;
    int breakPos = 0;
    char quote = 0;
    bool existingBreak = false;
    while (pos <= n) {
        const char ch = at(pos);
        if (platform::IsLeadByte(static_cast<unsigned char>(ch))) {
            ++pos;
            ++col;
        } else if (ch == kBreak[0] && quote == 0) {
            if (platform::StartsTextLocale(text.substr(static_cast<std::size_t>(pos - 1)), kBreak)) {
                existingBreak = true;
                pos += static_cast<int>(kBreak.size()) - 1;
                breakPos = pos;
            }
        } else if (isBreakChar(ch) && quote == 0) {
            breakPos = pos;
        } else if (ch == '"') {
            if (quote == ch) {
                quote = 0;
            } else if (quote == 0) {
                quote = ch;
            }
        }
        ++pos;
        ++col;
        if (quote == 0 && (existingBreak || (col > maxCol && breakPos > linePos))) {
            col = pos - breakPos;
            result.append(text.substr(static_cast<std::size_t>(linePos - 1),
                                      static_cast<std::size_t>(breakPos - linePos + 1)));
            if (ch != '"') {
                while (pos <= n && (isBreakChar(at(pos)) || at(pos) == '\r' || at(pos) == '\n')) ++pos;
            }
            if (!existingBreak && pos < n) result.append(kBreak);
            linePos = breakPos + 1;
            breakPos = linePos;
            existingBreak = false;
        }
    }
    if (linePos <= n) result.append(text.substr(static_cast<std::size_t>(linePos - 1)));
    return result;
}

}  // namespace

std::string TIdHeaderList::FieldNameAt(int index) const {
    if (index < 0 || index >= Count()) return {};
    std::string line = (*this)[index];
    if (!MatchCase) line = platform::UpperCaseAscii(line);
    const std::string separator = TrimRight(HeaderSeparator);
    if (separator.empty()) return {};
    const std::size_t pos = line.find(separator);
    if (pos == std::string::npos) return {};
    line.resize(pos);
    return line;
}

std::string TIdHeaderList::FieldValueAt(int index) const {
    if (index < 0 || index >= Count()) return {};
    const std::string& line = (*this)[index];
    const std::string separator = TrimRight(HeaderSeparator);
    const std::size_t separatorLength = std::max<std::size_t>(1, separator.size());
    // The length of FieldNameAt's name; found in the line itself when
    // upper-casing cannot move the separator.
    std::size_t nameLength = 0;
    if (HasNoLetters(separator) || MatchCase) {
        const std::size_t pos = separator.empty() ? std::string::npos : line.find(separator);
        nameLength = pos == std::string::npos ? 0 : pos;
    } else {
        nameLength = FieldNameAt(index).size();
    }
    const std::size_t start = nameLength + separatorLength;
    std::string value = start < line.size() ? line.substr(start) : std::string();
    if (JoinFolded) {
        for (int i = index + 1; i < Count() && IsContinuation((*this)[i]); ++i) {
            TrimInPlace(value);
            value += ' ';
            const std::string& next = (*this)[i];
            std::size_t b = 0, e = next.size();
            while (b < e && IsWhite(next[b])) ++b;
            while (e > b && IsWhite(next[e - 1])) --e;
            value.append(next, b, e - b);
        }
    }
    TrimInPlace(value);
    return value;
}

int TIdHeaderList::FindField(std::string_view name) const {
    const std::string separator = TrimRight(HeaderSeparator);
    const bool plainSeparator = HasNoLetters(separator);
    for (int i = 0; i < Count(); ++i) {
        // Always case-insensitive, whatever MatchCase says.
        if (!plainSeparator) {
            if (platform::SameTextLocale(FieldNameAt(i), name)) return i;
            continue;
        }
        // Same result as comparing FieldNameAt, without a copy of every line:
        // a header block of a million lines is searched once per field read.
        const std::string_view line = (*this)[i];
        const std::size_t pos = separator.empty() ? std::string_view::npos : line.find(separator);
        const std::string_view fieldName = pos == std::string_view::npos ? std::string_view() : line.substr(0, pos);
        if (fieldName.size() == name.size() && platform::SameTextLocale(fieldName, name)) return i;
    }
    return -1;
}

std::string TIdHeaderList::ValueOf(std::string_view name) const { return FieldValueAt(FindField(name)); }

void TIdHeaderList::PutValue(std::string_view name, std::string_view value) {
    int i = FindField(name);
    if (!value.empty()) {
        if (i < 0) i = Add(std::string());
        std::string line(name);
        line += HeaderSeparator;
        line += value;
        if (WrapOnWrite) {
            DropContinuations(i);
            WrapAndInsert(line, i);
        } else {
            (*this)[i] = std::move(line);
        }
    } else if (i >= 0) {
        if (WrapOnWrite) DropContinuations(i);
        Delete(i);
    }
}

void TIdHeaderList::DropContinuations(int index) {
    if (index < 0) return;
    while (index + 1 < Count() && IsContinuation((*this)[index + 1])) Delete(index + 1);
}

TStringList TIdHeaderList::WrapToLines(std::string_view text) const {
    const std::string wrapped = WrapText(text, WrapWidth);
    TStringList lines;
    std::string_view rest = wrapped;
    while (!rest.empty()) {
        const std::size_t cut = rest.find("\r\n");
        lines.Add(TrimRight(rest.substr(0, cut)));
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 2);
    }
    return lines;
}

void TIdHeaderList::WrapAndInsert(std::string_view text, int index) {
    // Shorter than the wrap width and without a break of its own, a line
    // stays whole: the common case, without building the wrapped text.
    if (static_cast<long long>(text.size()) < WrapWidth && text.find('\r') == std::string_view::npos) {
        (*this)[index] = TrimRight(text);
        return;
    }
    const TStringList lines = WrapToLines(text);
    if (lines.Empty()) {
        (*this)[index] = std::string();
        return;
    }
    // Same result as inserting the earlier lines one by one at index, from
    // the second-to-last back to the first, without shifting the tail each time.
    (*this)[index] = lines.Last();
    auto& own = Lines();
    own.insert(own.begin() + index, lines.begin(), lines.end() - 1);
}

void TIdHeaderList::CopyAsNameEquals(TStringList& target) const {
    for (const std::string& line : *this) {
        const std::size_t pos = HeaderSeparator.empty() ? std::string::npos : line.find(HeaderSeparator);
        if (pos == std::string::npos) {
            target.Add(line);
        } else {
            std::string copy;
            copy.reserve(line.size() + 1);
            copy.append(line, 0, pos);
            copy += '=';
            copy.append(line, pos + HeaderSeparator.size());
            target.Add(std::move(copy));
        }
    }
}
