#pragma once
// Decoders that turn groups of four 6-bit characters into three bytes:
// base64 (whole text or fed by lines) and BinHex 4.0. The UUE and XXE line
// decoders build on the same engine.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "reader/decoding/decoder.h"

// One entry per byte value: the 6-bit value of an alphabet character,
// kNotInAlphabet for other 7-bit characters (decoded as 255, so its bits
// spill into the neighbouring slots), kOutOfRange for 0 and 128..255.
struct TIdDecodeTable {
    static constexpr std::uint8_t kNotInAlphabet = 0xFF;
    static constexpr std::uint8_t kOutOfRange = 0xFE;

    std::array<std::uint8_t, 256> values{};

    // The alphabet must hold 64 distinct 7-bit characters.
    static constexpr TIdDecodeTable Build(std::string_view alphabet) {
        TIdDecodeTable table;
        for (std::size_t c = 0; c < 256; ++c)
            table.values[c] = (c == 0 || c >= 128) ? kOutOfRange : kNotInAlphabet;
        for (std::size_t i = 0; i < alphabet.size(); ++i)
            table.values[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
        return table;
    }
    std::uint8_t operator[](unsigned char c) const { return values[c]; }
};

class TIdDecoder4to3 : public TIdDecoder {
public:
    std::string_view CodingTable() const { return codingTable_; }
    char FillChar() const { return fillChar_; }

protected:
    enum class TFillMode { Honour, Ignore };

    TIdDecoder4to3(std::string_view codingTable, char fillChar, const TIdDecodeTable& table)
        : codingTable_(codingTable), fillChar_(fillChar), table_(table) {}

    // Decodes the whole text and writes the bytes in one go.
    void Decode(std::string_view bytes) override;

    // Decodes the complete groups of s into Output(); returns the number of
    // bytes. A character 0 or 128..255 raises ERangeError before anything is
    // written. With TFillMode::Honour a fill character in the third or fourth
    // place of a group ends the decoding.
    std::size_t DecodeGroups(std::string_view s, TFillMode fillMode);
    const std::uint8_t* Output() const { return output_.get(); }
    // A buffer of at least n bytes that survives between calls.
    std::uint8_t* OutputBuffer(std::size_t n);

    const TIdDecodeTable& Table() const { return table_; }

private:
    std::string_view codingTable_;
    char fillChar_;
    const TIdDecodeTable& table_;
    std::unique_ptr<std::uint8_t[]> output_;
    std::size_t outputCapacity_ = 0;
};

class TIdDecoderMIME : public TIdDecoder4to3 {
public:
    TIdDecoderMIME();
};

// Base64 fed one line at a time: characters that do not fill a group wait
// for the next line; EndDecode pads what is left with "=".
class TIdDecoderMIMELineByLine : public TIdDecoderMIME {
public:
    void BeginDecode(TStream& destination) override;
    void EndDecode() override;

protected:
    void Decode(std::string_view bytes) override;

private:
    char leftover_[3] = {};
    std::size_t leftoverLength_ = 0;
    std::string joined_;  // leftover + line, kept to avoid reallocating
};

// BinHex 4.0: the block between the first two colons, run-length expanded;
// writes the data fork, or the resource fork when the data fork is empty.
class TIdDecoderBinHex4 : public TIdDecoder4to3 {
public:
    TIdDecoderBinHex4();

protected:
    void Decode(std::string_view bytes) override;

private:
    std::string framed_;  // the block without line breaks, when it had any
};
