#include "reader/decoding/decoder_00e.h"

#include <algorithm>

#include "reader/exceptions.h"

namespace {

constexpr std::string_view kUUEAlphabet =
    "`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_";
constexpr std::string_view kXXEAlphabet = "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// Classic uuencode writes a space for the value 0; the grave accent replaced
// it because mail transports strip trailing blanks. Both are read as 0, or
// files from older encoders would come out garbled.
constexpr TIdDecodeTable BuildUUETable() {
    TIdDecodeTable table = TIdDecodeTable::Build(kUUEAlphabet);
    table.values[' '] = 0;
    return table;
}

constexpr TIdDecodeTable kUUETable = BuildUUETable();
constexpr TIdDecodeTable kXXETable = TIdDecodeTable::Build(kXXEAlphabet);

}  // namespace

void TIdDecoder00E::Decode(std::string_view line) {
    if (line.empty()) return;
    const std::uint8_t length = Table()[static_cast<unsigned char>(line[0])];
    if (length == TIdDecodeTable::kOutOfRange) throw ERangeError(kRangeErrorText);
    // The fill character is an ordinary 0 inside a data line.
    const std::size_t decoded = DecodeGroups(line.substr(1), TFillMode::Ignore);
    // A length character outside the alphabet reads as 255: everything goes.
    const std::size_t n = std::min<std::size_t>(length, decoded);
    if (n > 0) Destination().Write(Output(), n);
}

TIdDecoderUUE::TIdDecoderUUE() : TIdDecoder00E(kUUEAlphabet, '`', kUUETable) {}

TIdDecoderXXE::TIdDecoderXXE() : TIdDecoder00E(kXXEAlphabet, '+', kXXETable) {}
