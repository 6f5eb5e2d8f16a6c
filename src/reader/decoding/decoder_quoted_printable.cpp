#include "reader/decoding/decoder_quoted_printable.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

constexpr std::array<std::int8_t, 256> kHexValues = [] {
    std::array<std::int8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        if (c >= '0' && c <= '9') table[c] = static_cast<std::int8_t>(c - '0');
        else if (c >= 'A' && c <= 'F') table[c] = static_cast<std::int8_t>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f') table[c] = static_cast<std::int8_t>(c - 'a' + 10);
        else table[c] = -1;
    }
    return table;
}();

int HexValue(char c) { return kHexValues[static_cast<unsigned char>(c)]; }

// Skips up to two CR/LF bytes, in any combination.
std::size_t SkipLineBreak(std::string_view s, std::size_t p) {
    for (int i = 0; i < 2 && p < s.size() && IsLineBreak(s[p]); ++i) ++p;
    return p;
}

// Copies the bytes from p up to the next "=" (or the end) to out + n and
// returns where the copy stopped. Eight bytes at a time: a word is copied
// whole and then only the part before its first "=" counts. The output never
// runs ahead of the input, so the whole words fit wherever the input does.
std::size_t CopyLiteral(std::string_view s, std::size_t p, char* out, std::size_t& n) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    constexpr std::uint64_t kEquals = kOnes * '=';
    const char* const in = s.data();
    while (s.size() - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, in + p, 8);
        std::memcpy(out + n, &word, 8);
        const std::uint64_t x = word ^ kEquals;
        // The lowest flagged byte is the first "=" exactly; flags above it may be false.
        const std::uint64_t flags = (x - kOnes) & ~x & kHighs;
        if (flags == 0) {
            p += 8;
            n += 8;
            continue;
        }
        std::size_t k = 0;
        if constexpr (std::endian::native == std::endian::little) {
            k = static_cast<std::size_t>(std::countr_zero(flags)) / 8;
        } else {
            while (in[p + k] != '=') ++k;
        }
        n += k;
        return p + k;
    }
    while (p < s.size() && in[p] != '=') out[n++] = in[p++];
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
        const std::size_t eq = CopyLiteral(s, p, out, n);
        if (eq == s.size()) break;
        p = eq + 1;
        if (p >= s.size()) break;  // "=" at the very end stands for nothing

        // One or two hex digits make the byte.
        int value = HexValue(s[p]);
        if (value < 0) {
            // A soft line break, or "=" before a non-hex character, which
            // then simply vanishes.
            p = SkipLineBreak(s, p);
            continue;
        }
        ++p;
        if (p < s.size() && HexValue(s[p]) >= 0) {
            value = value * 16 + HexValue(s[p]);
            ++p;
        }
        if (value == 0x20 && p < s.size() && IsLineBreak(s[p])) {
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
