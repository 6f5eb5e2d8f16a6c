#pragma once
// Transfer decoders: encoded text in, bytes out to an attached destination.

#include <cstdint>
#include <string>
#include <string_view>

#include "reader/io/stream.h"

class TIdDecoder {
public:
    virtual ~TIdDecoder() = default;
    virtual void BeginDecode(TStream& destination) { destination_ = &destination; }
    virtual void EndDecode() { destination_ = nullptr; }
    // The entry decoders are fed with: one call per line or block. Decodes
    // straight from the text; no stream object is made per call.
    void DecodeText(std::string_view text) { Decode(text); }
    // count < 0: everything from the source's position.
    virtual void DecodeStream(TStream& source, std::int64_t count);

protected:
    virtual void Decode(std::string_view bytes) = 0;
    TStream& Destination();  // raises when none is attached
    TStream* destination_ = nullptr;

private:
    std::string streamBytes_;  // DecodeStream's read buffer, kept between calls
};
