#pragma once
// Line decoders of inline UUE and XXE blocks: each data line starts with a
// length character, followed by groups of four characters.

#include <string_view>

#include "reader/decoding/decoder_4to3.h"

class TIdDecoder00E : public TIdDecoder4to3 {
protected:
    using TIdDecoder4to3::TIdDecoder4to3;
    // One data line: writes the number of bytes its length character states
    // (all decoded bytes when the groups hold fewer).
    void Decode(std::string_view line) override;
};

class TIdDecoderUUE : public TIdDecoder00E {
public:
    TIdDecoderUUE();
};

class TIdDecoderXXE : public TIdDecoder00E {
public:
    TIdDecoderXXE();
};
