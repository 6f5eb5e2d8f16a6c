// Each transfer decoder fed with arbitrary bytes at arbitrary line splits.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "fuzz_support.h"
#include "reader/decoding/decoder_00e.h"
#include "reader/decoding/decoder_4to3.h"
#include "reader/decoding/decoder_quoted_printable.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"

namespace {

std::unique_ptr<TIdDecoder> MakeDecoder(std::uint8_t selector) {
    switch (selector % 5) {
    case 0: return std::make_unique<TIdDecoderMIMELineByLine>();
    case 1: return std::make_unique<TIdDecoderQuotedPrintable>();
    case 2: return std::make_unique<TIdDecoderBinHex4>();
    case 3: return std::make_unique<TIdDecoderUUE>();
    default: return std::make_unique<TIdDecoderXXE>();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Splitter input(data, size);
    auto decoder = MakeDecoder(input.Byte());
    TMemoryStream out;
    decoder->BeginDecode(out);
    try {
        while (!input.Done()) decoder->DecodeText(input.Piece());
        decoder->EndDecode();
    } catch (const EIdException&) {
        // Range errors and framing errors are the decoders' clean failures.
    }
    return 0;
}
