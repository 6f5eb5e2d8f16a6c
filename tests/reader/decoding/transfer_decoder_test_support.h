#pragma once
// Helpers for the transfer decoder tests: feeding pieces and a reference
// encoder that the known vectors are built with.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "reader/decoding/decoder.h"
#include "reader/io/stream.h"

namespace decoder_test {

// Begin, one DecodeText per piece, End; returns what was written.
inline std::string DecodeAll(TIdDecoder& decoder, const std::vector<std::string>& pieces) {
    TMemoryStream out;
    decoder.BeginDecode(out);
    for (const auto& piece : pieces) decoder.DecodeText(piece);
    decoder.EndDecode();
    return out.Data();
}

inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values) s.push_back(static_cast<char>(v));
    return s;
}

// Every byte value once, then a line of text: covers the whole alphabet.
inline std::string SampleBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
    s += "Merivo Emailbetrachter: The quick brown fox jumps over the lazy dog.";
    return s;
}

// Three bytes to four characters of a 64-character alphabet, first
// character highest; a short last group is completed with zero bits.
inline std::string Encode6(std::string_view bytes, std::string_view alphabet) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = (v << 8) | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(alphabet[(v >> shift) & 63]);
    }
    return out;
}

inline std::vector<std::string> SplitEvery(std::string_view text, std::size_t length) {
    std::vector<std::string> pieces;
    for (std::size_t i = 0; i < text.size(); i += length) pieces.emplace_back(text.substr(i, length));
    return pieces;
}

}  // namespace decoder_test
