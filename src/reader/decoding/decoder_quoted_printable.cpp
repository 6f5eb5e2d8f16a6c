#include "reader/decoding/decoder_quoted_printable.h"

#include <cstring>

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Skips up to two CR/LF bytes, in any combination.
std::size_t SkipLineBreak(std::string_view s, std::size_t p) {
    for (int i = 0; i < 2 && p < s.size() && IsLineBreak(s[p]); ++i) ++p;
    return p;
}

}  // namespace

void TIdDecoderQuotedPrintable::Decode(std::string_view bytes) {
    // Blanks before the line end were added in transit: drop the spaces and
    // tabs of the trailing blank run and keep its CRs and LFs in order.
    std::string_view s = bytes;
    std::size_t runStart = s.size();
    bool runHasBlanks = false;
    while (runStart > 0) {
        const char c = s[runStart - 1];
        if (c == ' ' || c == '\t') runHasBlanks = true;
        else if (!IsLineBreak(c)) break;
        --runStart;
    }
    if (runHasBlanks) {
        trimmed_.assign(s.substr(0, runStart));
        for (const char c : s.substr(runStart))
            if (IsLineBreak(c)) trimmed_.push_back(c);
        s = trimmed_;
    }

    // The output never gets longer than the input: "=20" + CR becomes
    // space CR LF, every other escape shrinks.
    if (output_.size() < s.size()) output_.resize(s.size());
    char* const out = output_.data();
    std::size_t n = 0;
    std::size_t p = 0;
    while (p < s.size()) {
        const std::size_t eq = s.find('=', p);
        const std::size_t literalEnd = eq == std::string_view::npos ? s.size() : eq;
        std::memcpy(out + n, s.data() + p, literalEnd - p);
        n += literalEnd - p;
        if (eq == std::string_view::npos) break;
        p = eq + 1;
        if (p >= s.size()) break;  // "=" at the very end stands for nothing

        int value = 0, digits = 0;
        for (; digits < 2 && p < s.size(); ++digits, ++p) {
            const int h = HexValue(s[p]);
            if (h < 0) break;
            value = value * 16 + h;
        }
        if (digits == 0) {
            // A soft line break, or "=" before a non-hex character, which
            // then simply vanishes.
            p = SkipLineBreak(s, p);
        } else if (value == 0x20 && p < s.size() && IsLineBreak(s[p])) {
            // An encoded space that protects a blank at the line end.
            out[n++] = ' ';
            out[n++] = '\r';
            out[n++] = '\n';
            p = SkipLineBreak(s, p);
        } else {
            out[n++] = static_cast<char>(value);
        }
    }
    if (n > 0) Destination().Write(out, n);
}
