#include "tools/json_output.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <rapidjson/encodings.h>
#include <rapidjson/memorystream.h>

#include "platform/codepage.h"

namespace {

// Below this the in-place conversion would flush too often.
constexpr std::size_t kMinBufferSize = 64 * 1024;

// What one local byte becomes inside a JSON string: its UTF-8 form or its
// escape, at most six bytes. An entry is copied whole (eight bytes) and the
// output advanced by its length: no branch per byte.
struct JsonByte {
    char bytes[7];
    std::uint8_t length;
};
static_assert(sizeof(JsonByte) == 8);

constexpr std::size_t kMaxGrowth = 6;  // "\u001F" for one byte
// A whole block is stored before the output advances over part of it.
constexpr std::size_t kSlack = 16;

class LocalJsonTable {
public:
    LocalJsonTable() {
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (int c = 0; c < 256; ++c) {
            std::string form;
            switch (c) {
                case '\b': form = "\\b"; break;
                case '\t': form = "\\t"; break;
                case '\n': form = "\\n"; break;
                case '\f': form = "\\f"; break;
                case '\r': form = "\\r"; break;
                case '"': form = "\\\""; break;
                case '\\': form = "\\\\"; break;
                default:
                    if (c < 0x20) {
                        form = std::string("\\u00") + kHex[c >> 4] + kHex[c & 0xF];
                    } else {
                        const char local = static_cast<char>(c);
                        form = platform::LocalToUtf8(std::string_view(&local, 1));
                    }
            }
            JsonByte& entry = entries_[static_cast<std::size_t>(c)];
            std::memcpy(entry.bytes, form.data(), form.size());
            entry.length = static_cast<std::uint8_t>(form.size());
        }
    }

    char* Put(char* out, char c) const {
        const JsonByte& entry = entries_[static_cast<unsigned char>(c)];
        std::memcpy(out, &entry, sizeof entry);
        return out + entry.length;
    }

private:
    std::array<JsonByte, 256> entries_{};
};

const LocalJsonTable& JsonTable() {
    static const LocalJsonTable table;
    return table;
}

// The high bit of each of the eight bytes that needs more than a copy:
// 0x80 and above, control characters, quote and backslash. A flag may also
// appear above a flagged byte, never below: the lowest one is exact.
std::uint64_t SpecialBytes(std::uint64_t word) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    const std::uint64_t quote = word ^ (kOnes * '"');
    const std::uint64_t backslash = word ^ (kOnes * '\\');
    // (x - n) & ~x has the high bit of a byte set when that byte is below n.
    return (word | ((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash)) &
           kHighs;
}

#if defined(__SSE2__)
// Bit i set when byte i of the sixteen needs more than a copy. As signed
// bytes, 0x80 and above are negative: one compare finds them together with
// the control characters.
unsigned SpecialBytes16(__m128i bytes) {
    const __m128i special = _mm_or_si128(_mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)),
                                         _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')),
                                                      _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\'))));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// Converts and escapes [p, end) to out, which has room for kMaxGrowth bytes
// per input byte plus kSlack. Returns the end of the output. Plain bytes are
// copied a block at a time; the output then advances only over those before
// the first special byte, which goes through the table.
char* EncodeLocal(const char* p, const char* end, char* out, const LocalJsonTable& table) {
#if defined(__SSE2__)
    // Sixteen bytes and the one after them: the first special byte, or that
    // seventeenth one when there is none, goes through the table, which
    // copies a plain byte as it is. No branch on the text: 8-bit text has a
    // special byte in every other block or so, never predictably.
    while (end - p >= 17) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
        const auto plain = static_cast<std::size_t>(std::countr_zero(SpecialBytes16(bytes) | 0x10000u));
        out = table.Put(out + plain, p[plain]);
        p += plain + 1;
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            std::memcpy(out, &word, 8);
            const std::uint64_t special = SpecialBytes(word);
            if (special == 0) {
                p += 8;
                out += 8;
                continue;
            }
            const std::size_t plain = static_cast<std::size_t>(std::countr_zero(special)) / 8;
            out = table.Put(out + plain, p[plain]);
            p += plain + 1;
        }
    }
    while (p < end) out = table.Put(out, *p++);
    return out;
}

}  // namespace

FdWriteStream::FdWriteStream(int fd, std::size_t bufferSize)
    : fd_(fd), capacity_(std::max(bufferSize, kMinBufferSize)) {
    buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
}

FdWriteStream::~FdWriteStream() { Flush(); }

void FdWriteStream::Flush() {
    std::size_t done = 0;
    while (done < used_ && !failed_) {
        const ssize_t n = ::write(fd_, buffer_.get() + done, used_ - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    used_ = 0;
}

void JsonWriter::PutLocal(std::string_view local) {
    // A piece this large always fits into an emptied buffer.
    constexpr std::size_t kPiece = 4096;
    static_assert(kMaxGrowth * kPiece + kSlack + 2 <= kMinBufferSize);

    const LocalJsonTable& table = JsonTable();
    stream_.Put('"');
    const char* p = local.data();
    const char* const end = p + local.size();
    while (p < end) {
        const std::size_t rest = static_cast<std::size_t>(end - p);
        char* const out = stream_.Room(kMaxGrowth * std::min(rest, kPiece) + kSlack);
        const std::size_t piece = std::min(rest, (stream_.Free() - kSlack) / kMaxGrowth);
        stream_.Commit(static_cast<std::size_t>(EncodeLocal(p, p + piece, out, table) - out));
        p += piece;
    }
    stream_.Put('"');
}

void JsonWriter::LocalString(std::string_view local) {
    Prefix(rapidjson::kStringType);
    PutLocal(local);
    EndValue(true);
}

namespace {

bool IsValidUtf8(std::string_view text) {
    rapidjson::MemoryStream in(text.data(), text.size());
    while (in.Tell() < text.size()) {
        unsigned codepoint = 0;
        if (!rapidjson::UTF8<>::Decode(in, &codepoint)) return false;
    }
    return true;
}

}  // namespace

void WriteUtf8String(JsonWriter& writer, std::string_view utf8) {
    if (IsValidUtf8(utf8)) {
        writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
    } else {
        WriteLocalString(writer, utf8);
    }
}
