#include "reader/decoding/decoder_4to3.h"

#include <algorithm>
#include <cstring>

#include "reader/exceptions.h"

namespace {

constexpr std::string_view kMimeAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view kBinHexAlphabet = "!\"#$%&'()*+,-012345689@ABCDEFGHIJKLMNPQRSTUVXYZ[`abcdefhijklmpqr";
constexpr TIdDecodeTable kMimeTable = TIdDecodeTable::Build(kMimeAlphabet);
constexpr TIdDecodeTable kBinHexTable = TIdDecodeTable::Build(kBinHexAlphabet);

constexpr char kPadChar = '=';

}  // namespace

std::uint8_t* TIdDecoder4to3::OutputBuffer(std::size_t n) {
    if (n > outputCapacity_) {
        const std::size_t capacity = std::max({n, outputCapacity_ * 2, std::size_t{256}});
        output_ = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        outputCapacity_ = capacity;
    }
    return output_.get();
}

std::size_t TIdDecoder4to3::DecodeGroups(std::string_view s, TFillMode fillMode) {
    const std::size_t groups = s.size() / 4;  // an incomplete last group is dropped
    std::uint8_t* const begin = OutputBuffer(groups * 3);
    std::uint8_t* out = begin;
    const auto* in = reinterpret_cast<const unsigned char*>(s.data());
    const auto& t = table_.values;
    const bool honourFill = fillMode == TFillMode::Honour;
    const auto fill = static_cast<unsigned char>(fillChar_);
    // A fill character outside the alphabet always takes the slow path below;
    // one inside it has to be looked for in every group.
    const bool fillOnFastPath = honourFill && t[fill] < 64;

    for (std::size_t g = 0; g < groups; ++g, in += 4, out += 3) {
        const std::uint32_t a = t[in[0]], b = t[in[1]], c = t[in[2]], d = t[in[3]];
        bool filled = false;
        if (((a | b | c | d) & 0x80) != 0 || fillOnFastPath) {
            if (a == TIdDecodeTable::kOutOfRange || b == TIdDecodeTable::kOutOfRange ||
                c == TIdDecodeTable::kOutOfRange || d == TIdDecodeTable::kOutOfRange)
                throw ERangeError(kRangeErrorText);
            filled = honourFill && (in[2] == fill || in[3] == fill);
        }
        // Values of 255 overlap their neighbours' bits on purpose: a stray
        // character garbles its group instead of failing the part.
        const std::uint32_t v = (a << 18) | (b << 12) | (c << 6) | d;
        out[0] = static_cast<std::uint8_t>(v >> 16);
        out[1] = static_cast<std::uint8_t>(v >> 8);
        out[2] = static_cast<std::uint8_t>(v);
        if (filled) {
            const std::size_t fillCount = in[2] == fill ? 2 : 1;
            // Groups after a padded one are not decoded; they count as zeros.
            std::uint8_t* const end = begin + groups * 3;
            std::fill(out + 3, end, std::uint8_t{0});
            return groups * 3 - fillCount;
        }
    }
    return groups * 3;
}

void TIdDecoder4to3::Decode(std::string_view bytes) {
    const std::size_t n = DecodeGroups(bytes, TFillMode::Honour);
    if (n > 0) Destination().Write(Output(), n);
}

TIdDecoderMIME::TIdDecoderMIME() : TIdDecoder4to3(kMimeAlphabet, kPadChar, kMimeTable) {}

void TIdDecoderMIMELineByLine::BeginDecode(TStream& destination) {
    leftoverLength_ = 0;
    TIdDecoderMIME::BeginDecode(destination);
}

void TIdDecoderMIMELineByLine::Decode(std::string_view bytes) {
    std::string_view text = bytes;
    if (leftoverLength_ > 0) {
        joined_.assign(leftover_, leftoverLength_);
        joined_.append(bytes);
        text = joined_;
    }
    // Spaces and other stray characters count as characters here; only
    // line ends are kept out by the caller.
    const std::size_t rest = text.size() % 4;
    const std::size_t whole = text.size() - rest;
    std::memcpy(leftover_, text.data() + whole, rest);
    leftoverLength_ = rest;
    TIdDecoderMIME::Decode(text.substr(0, whole));
}

void TIdDecoderMIMELineByLine::EndDecode() {
    if (leftoverLength_ > 0) {
        char group[4] = {kPadChar, kPadChar, kPadChar, kPadChar};
        std::memcpy(group, leftover_, leftoverLength_);
        leftoverLength_ = 0;
        try {
            TIdDecoderMIME::Decode(std::string_view(group, 4));
        } catch (...) {
            TIdDecoderMIME::EndDecode();
            throw;
        }
    }
    TIdDecoderMIME::EndDecode();
}

// ---------------------------------------------------------------------------
// BinHex 4.0

namespace {

constexpr std::uint8_t kRunMarker = 0x90;

// Walks the run-length coded bytes and hands the expanded bytes to the sink
// as spans (sink.Span) and repeats (sink.Repeat); either returns false to
// stop early. Nothing is materialised, so a block of runs cannot blow up
// memory: a 0x90 0xFF pair stands for up to 254 bytes.
template <class Sink>
void ExpandRuns(const std::uint8_t* in, std::size_t n, Sink& sink) {
    bool haveLast = false;
    std::uint8_t last = 0;
    std::size_t i = 0;
    while (i < n) {
        const void* marker = std::memchr(in + i, kRunMarker, n - i);
        const std::size_t stop = marker ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(marker) - in) : n;
        if (stop > i) {
            last = in[stop - 1];
            haveLast = true;
            if (!sink.Span(in + i, stop - i)) return;
            i = stop;
        }
        if (i == n) return;
        if (i + 1 >= n) throw ERangeError(kRangeErrorText);  // marker without a count
        const std::uint8_t count = in[i + 1];
        i += 2;
        if (count == 0) {
            last = kRunMarker;
            haveLast = true;
            if (!sink.Repeat(kRunMarker, 1)) return;
        } else if (count >= 2) {
            if (!haveLast) throw ERangeError(kRangeErrorText);  // nothing to repeat
            if (!sink.Repeat(last, count - 1u)) return;
        }
        // count 1: a run of one, i.e. nothing to add
    }
}

struct CountSink {
    std::uint64_t total = 0;
    bool Span(const std::uint8_t*, std::size_t n) { total += n; return true; }
    bool Repeat(std::uint8_t, std::size_t n) { total += n; return true; }
};

// Keeps the first bytes of the expanded data: the header lies there.
struct PrefixSink {
    static constexpr std::size_t kCapacity = 255 + 24;  // longest name + fixed fields
    std::array<std::uint8_t, kCapacity> bytes{};
    std::size_t size = 0;
    bool Span(const std::uint8_t* p, std::size_t n) {
        n = std::min(n, kCapacity - size);
        std::memcpy(bytes.data() + size, p, n);
        size += n;
        return size < kCapacity;
    }
    bool Repeat(std::uint8_t b, std::size_t n) {
        n = std::min(n, kCapacity - size);
        std::memset(bytes.data() + size, b, n);
        size += n;
        return size < kCapacity;
    }
};

// Writes the expanded bytes in [from, to) to the destination.
class WindowSink {
public:
    WindowSink(TStream& destination, std::uint64_t from, std::uint64_t to)
        : destination_(destination), from_(from), to_(to) {}

    bool Span(const std::uint8_t* p, std::size_t n) {
        std::size_t skip = 0, take = 0;
        if (!Clip(n, skip, take)) return pos_ < to_;
        if (take >= chunk_.size() / 4) {
            Flush();
            destination_.Write(p + skip, take);
        } else {
            while (take > 0) {
                const std::size_t k = std::min(take, chunk_.size() - used_);
                std::memcpy(chunk_.data() + used_, p + skip, k);
                used_ += k; skip += k; take -= k;
                if (used_ == chunk_.size()) Flush();
            }
        }
        return pos_ < to_;
    }
    bool Repeat(std::uint8_t b, std::size_t n) {
        std::size_t skip = 0, take = 0;
        if (!Clip(n, skip, take)) return pos_ < to_;
        while (take > 0) {
            const std::size_t k = std::min(take, chunk_.size() - used_);
            std::memset(chunk_.data() + used_, b, k);
            used_ += k; take -= k;
            if (used_ == chunk_.size()) Flush();
        }
        return pos_ < to_;
    }
    void Flush() {
        if (used_ > 0) destination_.Write(chunk_.data(), used_);
        used_ = 0;
    }

private:
    // Advances over n bytes; tells which of them lie inside the window.
    bool Clip(std::size_t n, std::size_t& skip, std::size_t& take) {
        const std::uint64_t start = pos_, end = pos_ + n;
        pos_ = end;
        const std::uint64_t lo = std::max(start, from_), hi = std::min(end, to_);
        if (lo >= hi) return false;
        skip = static_cast<std::size_t>(lo - start);
        take = static_cast<std::size_t>(hi - lo);
        return true;
    }

    TStream& destination_;
    std::uint64_t from_, to_, pos_ = 0;
    std::array<std::uint8_t, 16 * 1024> chunk_;
    std::size_t used_ = 0;
};

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

}  // namespace

TIdDecoderBinHex4::TIdDecoderBinHex4() : TIdDecoder4to3(kBinHexAlphabet, kPadChar, kBinHexTable) {}

void TIdDecoderBinHex4::Decode(std::string_view bytes) {
    // Framing: the introductory line before the first colon is skipped, the
    // coded text runs to the next colon, line breaks inside it are dropped.
    const std::size_t open = bytes.find(':');
    if (open == std::string_view::npos)
        throw EIdMissingColon("Block passed to TIdDecoderBinHex4.Decode is missing a starting colon :");
    const std::size_t close = bytes.find(':', open + 1);
    if (close == std::string_view::npos)
        throw EIdMissingColon("Block passed to TIdDecoderBinHex4.Decode is missing a terminating colon :");
    std::string_view coded = bytes.substr(open + 1, close - open - 1);
    if (coded.find_first_of("\r\n") != std::string_view::npos) {
        framed_.clear();
        for (const char c : coded)
            if (c != '\r' && c != '\n') framed_.push_back(c);
        coded = framed_;
    }
    if (coded.empty()) return;

    const std::size_t decodedLength = DecodeGroups(coded, TFillMode::Honour);
    const std::uint8_t* const decoded = Output();

    // First pass validates the runs and measures; nothing is written when
    // the block is broken.
    CountSink count;
    ExpandRuns(decoded, decodedLength, count);
    PrefixSink header;
    ExpandRuns(decoded, decodedLength, header);

    // Name length, name, version, type, creator, flags, then the two fork
    // lengths; the check values are not verified.
    if (header.size < 1) throw ERangeError(kRangeErrorText);
    const std::size_t nameLength = header.bytes[0];
    if (header.size < nameLength + 20) throw ERangeError(kRangeErrorText);
    const std::uint32_t dataLength = BigEndian32(&header.bytes[nameLength + 12]);
    const std::uint32_t resourceLength = BigEndian32(&header.bytes[nameLength + 16]);
    // An empty data fork means the file lives in the resource fork, which
    // follows the data fork's two check bytes.
    const std::uint64_t from = dataLength != 0 ? nameLength + 22 : nameLength + 24;
    const std::uint64_t length = dataLength != 0 ? dataLength : resourceLength;
    const std::uint64_t to = std::min(from + length, count.total);
    if (from >= to) return;

    WindowSink window(Destination(), from, to);
    ExpandRuns(decoded, decodedLength, window);
    window.Flush();
}
