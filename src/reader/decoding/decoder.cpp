#include "reader/decoding/decoder.h"

#include <algorithm>

#include "reader/exceptions.h"

void TIdDecoder::DecodeStream(TStream& source, std::int64_t count) {
    constexpr std::size_t kChunk = 64 * 1024;
    streamBytes_.clear();
    // Streams behind the line reader do not know their size, so read until
    // the source runs dry or the count is reached.
    std::size_t wanted = count < 0 ? SIZE_MAX : static_cast<std::size_t>(count);
    while (wanted > 0) {
        const std::size_t step = std::min(wanted, kChunk);
        const std::size_t old = streamBytes_.size();
        streamBytes_.resize(old + step);
        const std::size_t got = source.Read(streamBytes_.data() + old, step);
        streamBytes_.resize(old + got);
        if (got == 0) break;
        wanted -= got;
    }
    Decode(streamBytes_);
}

TStream& TIdDecoder::Destination() {
    if (destination_ == nullptr) throw EIdException("No destination stream attached to the decoder");
    return *destination_;
}
