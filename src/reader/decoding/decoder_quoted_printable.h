#pragma once
// Quoted-printable, fed one line at a time with its CR LF.

#include <string>
#include <string_view>

#include "reader/decoding/decoder.h"

class TIdDecoderQuotedPrintable : public TIdDecoder {
protected:
    void Decode(std::string_view bytes) override;

private:
    std::string trimmed_;  // the line without trailing blanks, when it had any
    std::string output_;   // decoded bytes, kept between calls
};
