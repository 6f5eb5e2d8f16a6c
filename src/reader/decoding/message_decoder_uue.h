#pragma once
// Inline UUE and XXE blocks: "begin <mode> <name>", data lines, "end".

#include <memory>
#include <string>
#include <string_view>

#include "reader/decoding/message_decoder.h"

class TIdMessageDecoderInfoUUE final : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> ProbeStartLine(TIdMessage& message, std::string_view line) const override;
};

class TIdMessageDecoderUUE final : public TIdMessageDecoder {
public:
    using TIdMessageDecoder::TIdMessageDecoder;

    // "UUE" or "XXE" once the first data line has been seen; empty before.
    std::string CodingName;

    // Always returns nothing: a block is never followed by a MIME part.
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TStream& destination, bool& messageEnd) override;

private:
    std::string line_;
};
