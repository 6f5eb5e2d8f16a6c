#include "reader/headers/encoded_words.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "reader/headers/header_text.h"

namespace {

constexpr std::string_view kWhiteSpace = " \t";
constexpr std::size_t npos = std::string_view::npos;

bool IsWhite(char c) { return c == ' ' || c == '\t'; }

// Base64 of RFC 2045; "=" and every byte outside the alphabet count as 0.
constexpr std::array<std::uint8_t, 256> MakeBase64Values() {
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::array<std::uint8_t, 256> values{};
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    return values;
}
constexpr std::array<std::uint8_t, 256> kBase64Values = MakeBase64Values();

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

void DecodeQ(std::string_view text, std::string& bytes) {
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            bytes += ' ';
        } else if (c == '=' && text.size() - i > 2) {
            const int hi = HexValue(text[i + 1]);
            const int lo = HexValue(text[i + 2]);
            // A broken escape still stands for one character: a blank.
            bytes += (hi < 0 || lo < 0) ? ' ' : static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            bytes += c;
        }
    }
}

// Every group of four yields three bytes, padding included (as NULs that the
// caller strips); a trailing incomplete group is ignored.
void DecodeB(std::string_view text, std::string& bytes) {
    const std::size_t groups = text.size() / 4;
    bytes.reserve(groups * 3);
    for (std::size_t g = 0; g < groups; ++g) {
        const auto v = [&](std::size_t k) { return kBase64Values[static_cast<unsigned char>(text[g * 4 + k])]; };
        const unsigned a = v(0), b = v(1), c = v(2), d = v(3);
        bytes += static_cast<char>((a * 4 + b / 16) & 0xFF);
        bytes += static_cast<char>(((b % 16) * 16 + c / 4) & 0xFF);
        bytes += static_cast<char>(((c % 4) * 64 + d) & 0xFF);
    }
}

// One encoded word found in a token; positions are 0-based, end is the index
// of the word's final "=".
struct WordSpan {
    std::size_t end = 0;
    std::string_view charset, encoding, encodedText;
};

// The word must start at start and lie within [start, tokenEnd). Searches stay
// inside the token so that a long value of failing tokens is read once.
bool FindWordInToken(std::string_view text, std::size_t start, std::size_t tokenEnd, WordSpan& word) {
    if (tokenEnd > text.size()) tokenEnd = text.size();
    if (start + 2 > tokenEnd || text[start] != '=' || text[start + 1] != '?') return false;
    const std::string_view token = text.substr(0, tokenEnd);
    const std::size_t q1 = token.find('?', start + 2);
    if (q1 == npos) return false;
    const std::size_t q2 = token.find('?', q1 + 1);
    if (q2 == npos) return false;
    const std::size_t q3 = token.find("?=", q2 + 1);
    if (q3 == npos) return false;
    word.end = q3 + 1;
    word.charset = text.substr(start + 2, q1 - start - 2);
    word.encoding = text.substr(q1 + 1, q2 - q1 - 1);
    word.encodedText = text.substr(q2 + 1, q3 - q2 - 1);
    return true;
}

std::string DecodeWord(const WordSpan& word, const EncodedWordDecoding* decoding) {
    std::string bytes;
    if (!DecodeWordPayload(word.encoding, word.encodedText, bytes)) return {};
    if (decoding) return decoding->Word(word.charset, bytes);
    if (const TIdHeaderCoder* coder = CoderForCharset(word.charset)) return coder->DecodeBytes(word.charset, bytes);
    return bytes;
}

// The text being built, with a flag per character telling whether it came
// out of a decoded word. Decoded characters never take part in finding a
// word again: a decoded "=?" is text, not markup.
struct MarkedText {
    std::string text;
    std::vector<bool> decoded;

    void AppendPlain(std::string_view s) {
        text += s;
        decoded.insert(decoded.end(), s.size(), false);
    }
    void AppendDecoded(std::string_view s) {
        text += s;
        decoded.insert(decoded.end(), s.size(), true);
    }
    void AppendFrom(const MarkedText& other, std::size_t from, std::size_t count) {
        text.append(other.text, from, count);
        decoded.insert(decoded.end(), other.decoded.begin() + static_cast<std::ptrdiff_t>(from),
                       other.decoded.begin() + static_cast<std::ptrdiff_t>(from + count));
    }
    bool PlainQuestionStart(std::size_t i) const {
        return i + 1 < text.size() && text[i] == '=' && text[i + 1] == '?' && !decoded[i] && !decoded[i + 1];
    }
};

std::string WithoutNuls(std::string s) {
    std::erase(s, '\0');
    return s;
}

// The text between the words goes through the decoding as well, one stretch
// at a time.
std::string Finished(MarkedText&& marked, const EncodedWordDecoding* decoding) {
    if (!decoding) return WithoutNuls(std::move(marked.text));
    std::string out;
    out.reserve(marked.text.size());
    std::size_t i = 0;
    while (i < marked.text.size()) {
        const bool word = marked.decoded[i];
        std::size_t end = i;
        while (end < marked.text.size() && marked.decoded[end] == word) ++end;
        const std::string_view run = std::string_view(marked.text).substr(i, end - i);
        if (word)
            out += run;
        else
            out += decoding->Plain(run);
        i = end;
    }
    return WithoutNuls(std::move(out));
}

// The token walk keeps positions of the growing result only as numbers: the
// result is always out + value[k..]. A failing token may send the walk to the
// first "=?" of the result (a word glued to the end of plain text, as in
// "Re:=?..."), at most once per position reached ("furthest jump"). Jumps
// forward stay in the first pass; a jump back from the last token hands over
// to FinishAfterJumpBack.
class WordWalker {
public:
    WordWalker(std::string_view value, const EncodedWordDecoding* decoding, const DecodedWordFilter& filter)
        : v_(value), decoding_(decoding), filter_(filter), tailQ_(value.find("=?")) {}

    std::string Run() {
        std::size_t c = 0;              // walk position in v_
        std::size_t tokenEnd = 0;       // end of the last token; a glued rest shares it
        bool afterWord = false;
        while (c < v_.size()) {
            const std::size_t start = NonWhiteAt(c);
            if (start == npos) break;
            if (start >= tokenEnd) tokenEnd = WhiteAt(start);
            WordSpan word;
            if (FindWordInToken(v_, start, tokenEnd, word)) {
                const std::string decoded = Decode(word);
                // Blanks between two adjacent words go; blanks before a word stay.
                if (!afterWord) out_.AppendPlain(v_.substr(k_, start - k_));
                out_.AppendDecoded(decoded);
                k_ = c = word.end + 1;
                afterWord = true;
                continue;
            }
            afterWord = false;
            const bool lastToken = tokenEnd >= v_.size();
            const std::size_t pos = lastToken ? 0 : ResultPos(tokenEnd);
            const std::size_t p = FirstPlainQuestion();
            if (p > 0 && pos < p && furthestJump_ < p) {
                furthestJump_ = p;
                if (lastToken) {
                    out_.AppendPlain(v_.substr(k_));
                    k_ = v_.size();
                    return FinishAfterJumpBack(p - 1);
                }
                const std::size_t target = p - 1 - out_.text.size() + k_;
                out_.AppendPlain(v_.substr(k_, target - k_));
                k_ = c = target;
                continue;
            }
            if (lastToken) break;
            out_.AppendPlain(v_.substr(k_, tokenEnd - k_));
            k_ = c = tokenEnd;
        }
        out_.AppendPlain(v_.substr(k_));
        return Finished(std::move(out_), decoding_);
    }

private:
    std::string Decode(const WordSpan& word) const {
        std::string decoded = DecodeWord(word, decoding_);
        if (filter_) {
            const std::size_t length = decoded.size();
            filter_(decoded);
            // The walk counts positions of the result: a filter that changed
            // the length would change which words are found.
            if (decoded.size() != length) decoded.resize(length, ' ');
        }
        return decoded;
    }

    std::size_t NonWhiteAt(std::size_t from) const {
        const int p = FirstCharNotIn(kWhiteSpace, v_, -1, static_cast<int>(from) + 1);
        return p == 0 ? npos : static_cast<std::size_t>(p - 1);
    }
    std::size_t WhiteAt(std::size_t from) const {
        const int p = FirstCharIn(kWhiteSpace, v_, -1, static_cast<int>(from) + 1);
        return p == 0 ? v_.size() : static_cast<std::size_t>(p - 1);
    }
    // 1-based position in the result of v_[idx], idx >= k_.
    std::size_t ResultPos(std::size_t idx) const { return out_.text.size() + (idx - k_) + 1; }

    // 1-based position of the first "=?" of the result outside decoded text,
    // or 0. What is in out_ never changes during the first pass, so both
    // searches only move forward.
    std::size_t FirstPlainQuestion() {
        if (outQ_ == npos) {
            for (; outScan_ + 1 < out_.text.size(); ++outScan_) {
                if (out_.PlainQuestionStart(outScan_)) {
                    outQ_ = outScan_;
                    break;
                }
            }
        }
        if (outQ_ != npos) return outQ_ + 1;
        if (!out_.text.empty() && out_.text.back() == '=' && !out_.decoded.back() && k_ < v_.size() &&
            v_[k_] == '?')
            return out_.text.size();
        if (tailQ_ != npos && tailQ_ < k_) tailQ_ = v_.find("=?", k_);
        return tailQ_ == npos ? 0 : ResultPos(tailQ_);
    }

    // After a jump back from the last token, every token already walked fails
    // again; what changes is the word at each jump target and the words glued
    // right after it. The next target is the next plain "=?", taken while it
    // lies beyond the furthest jump.
    std::string FinishAfterJumpBack(std::size_t target) {
        const MarkedText& r = out_;
        const std::string& t = r.text;
        MarkedText result;
        result.text.reserve(t.size());
        std::size_t i = 0;          // first character of r not yet copied
        std::size_t tokenEnd = 0;   // cut at white space and at decoded text
        std::size_t scan = 0;       // search position for the next plain "=?"
        const std::size_t lastNonWhite = t.find_last_not_of(kWhiteSpace);
        bool endsInPlainEquals = false;  // result ends with an "=" of the value itself
        for (;;) {
            if (target > i) endsInPlainEquals = t[target - 1] == '=' && !r.decoded[target - 1];
            result.AppendFrom(r, i, target - i);
            i = target;
            if (target >= tokenEnd) {
                tokenEnd = target;
                while (tokenEnd < t.size() && !IsWhite(t[tokenEnd]) && !r.decoded[tokenEnd]) ++tokenEnd;
            }
            WordSpan word;
            if (!FindWordInToken(t, target, tokenEnd, word)) break;
            do {
                const std::string decoded = Decode(word);
                if (!decoded.empty()) endsInPlainEquals = false;
                result.AppendDecoded(decoded);
                i = word.end + 1;
            } while (i < tokenEnd && FindWordInToken(t, i, tokenEnd, word));
            if (i >= t.size() || lastNonWhite == npos || i > lastNonWhite) break;
            // Removed words can bring an "=" and a "?" together: that "=?"
            // now comes first and lies before the furthest jump.
            if (endsInPlainEquals && t[i] == '?' && !r.decoded[i]) break;
            if (scan < i) scan = i;
            while (scan < t.size() && !r.PlainQuestionStart(scan)) ++scan;
            if (scan >= t.size()) break;
            const std::size_t p = result.text.size() + (scan - i) + 1;
            if (furthestJump_ >= p) break;
            furthestJump_ = p;
            target = scan;
        }
        result.AppendFrom(r, i, t.size() - i);
        return Finished(std::move(result), decoding_);
    }

    std::string_view v_;
    const EncodedWordDecoding* decoding_;
    const DecodedWordFilter& filter_;
    MarkedText out_;
    std::size_t k_ = 0;                 // first character of v_ not yet in out_
    std::size_t furthestJump_ = 0;      // 1-based position in the result
    std::size_t outScan_ = 0;
    std::size_t outQ_ = npos;
    std::size_t tailQ_;
};

}  // namespace

std::string TIdHeaderCoder::DecodeBytes(std::string_view, std::string_view) const { return {}; }
std::string TIdHeaderCoder::EncodeText(std::string_view, std::string_view) const { return {}; }
bool TIdHeaderCoder::HandlesCharset(std::string_view) const { return false; }

// Lenient on purpose: a four-byte sequence becomes "?" and a malformed byte
// stays as the local character of its value, so nothing of the word is lost.
std::string TIdHeaderCoderUTF8::DecodeBytes(std::string_view, std::string_view bytes) const {
    return platform::Utf8ToLocal(bytes);
}

bool TIdHeaderCoderUTF8::HandlesCharset(std::string_view charset) const {
    return platform::SameTextLocale(charset, "UTF-8");
}

// ISO-2022-JP to Shift_JIS. Pairs outside JIS X 0208 are not valid input;
// they get the same arithmetic taken modulo 256 and never fail.
std::string TIdHeaderCoder2022JP::DecodeBytes(std::string_view, std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size());
    bool twoByte = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (bytes[i] == '\x1B') {
            ++i;
            if (bytes.size() - i >= 2) {
                const std::string_view seq = bytes.substr(i, 2);
                if (seq == "$B")
                    twoByte = true;
                else if (seq == "(B")
                    twoByte = false;
                i += 2;
            }
            continue;
        }
        if (twoByte) {
            if (bytes.size() - i < 2) break;  // a lone last byte is dropped
            const int j1 = static_cast<unsigned char>(bytes[i]);
            const int j2 = static_cast<unsigned char>(bytes[i + 1]);
            const int s1 = ((j1 - 1) >> 1) + (j1 < 0x5F ? 0x71 : 0xB1);
            int s2;
            if (j1 % 2 == 1)
                s2 = j2 + (j2 < 0x60 ? 0x1F : 0x20);
            else
                s2 = j2 + 0x7E;
            out += static_cast<char>(s1 & 0xFF);
            out += static_cast<char>(s2 & 0xFF);
            i += 2;
            continue;
        }
        out += bytes[i++];
    }
    return out;
}

bool TIdHeaderCoder2022JP::HandlesCharset(std::string_view charset) const {
    return platform::SameTextLocale(charset, "ISO-2022-JP");
}

std::string TIdHeaderCoderPlain::DecodeBytes(std::string_view, std::string_view bytes) const {
    return std::string(bytes);
}

// Single-byte charsets are shown as if they were the local code page.
bool TIdHeaderCoderPlain::HandlesCharset(std::string_view charset) const {
    using platform::SameTextLocale;
    using platform::StartsTextLocale;
    return (StartsTextLocale(charset, "ISO") && !SameTextLocale(charset, "ISO-2022-JP")) ||
           StartsTextLocale(charset, "WINDOWS") || StartsTextLocale(charset, "KOI8") ||
           StartsTextLocale(charset, "GB2312") || SameTextLocale(charset, "US-ASCII");
}

TIdHeaderCoderList& TIdHeaderCoderList::Instance() {
    static TIdHeaderCoderList list = [] {
        static const TIdHeaderCoderPlain plain;
        static const TIdHeaderCoder2022JP iso2022jp;
        static const TIdHeaderCoderUTF8 utf8;
        TIdHeaderCoderList l;
        l.Register(&plain);
        l.Register(&iso2022jp);
        l.Register(&utf8);
        return l;
    }();
    return list;
}

void TIdHeaderCoderList::Register(const TIdHeaderCoder* coder) {
    if (coder == nullptr) return;
    for (const TIdHeaderCoder* c : coders_)
        if (c == coder) return;
    coders_.push_back(coder);
}

void TIdHeaderCoderList::Unregister(const TIdHeaderCoder* coder) { std::erase(coders_, coder); }

const TIdHeaderCoder* TIdHeaderCoderList::Lookup(std::string_view charset) const {
    for (auto it = coders_.rbegin(); it != coders_.rend(); ++it)
        if ((*it)->HandlesCharset(charset)) return *it;
    return nullptr;
}

const TIdHeaderCoder* CoderForCharset(std::string_view charset) {
    return TIdHeaderCoderList::Instance().Lookup(charset);
}

bool DecodeWordPayload(std::string_view encoding, std::string_view text, std::string& bytes) {
    bytes.clear();
    if (platform::SameTextLocale(encoding, "Q")) {
        DecodeQ(text, bytes);
        return true;
    }
    if (platform::SameTextLocale(encoding, "B")) {
        DecodeB(text, bytes);
        return true;
    }
    if (encoding == "8") {
        bytes.assign(text);
        return true;
    }
    return false;
}

bool FindEncodedWord(std::string_view text, int start, int& end, std::string& charset, std::string& encoding,
                     std::string& encodedText) {
    if (start < 1 || end < start) return false;
    WordSpan word;
    const std::size_t tokenEnd = std::min(static_cast<std::size_t>(end), text.size());
    if (!FindWordInToken(text, static_cast<std::size_t>(start - 1), tokenEnd, word)) return false;
    end = static_cast<int>(word.end) + 1;
    charset.assign(word.charset);
    encoding.assign(word.encoding);
    encodedText.assign(word.encodedText);
    return true;
}

std::string DecodeEncodedWords(std::string_view value, const DecodedWordFilter& filter) {
    if (value.find("=?") == npos) return std::string(value);
    // Positions are handed to the character scanners as int.
    if (value.size() >= static_cast<std::size_t>(INT_MAX)) return std::string(value);
    return WordWalker(value, nullptr, filter).Run();
}

std::string DecodeEncodedWordsWith(std::string_view value, const EncodedWordDecoding& decoding,
                                   const DecodedWordFilter& filter) {
    if (value.find("=?") == npos || value.size() >= static_cast<std::size_t>(INT_MAX)) return decoding.Plain(value);
    return WordWalker(value, &decoding, filter).Run();
}
