#include "reader/line_store.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "reader/string_list.h"

namespace {

// Chunks grow from small (a short part needs no large block) to this size;
// a longer line gets a chunk of its own size.
constexpr std::size_t kFirstChunk = 256;
constexpr std::size_t kLargestChunk = 16 * 1024 * 1024;
// A line's offset within its chunk is 32 bits wide.
constexpr std::size_t kMaxLine = std::numeric_limits<std::uint32_t>::max();

}  // namespace

TLineStore::TLineStore(std::initializer_list<std::string_view> lines) {
    for (std::string_view line : lines) Add(line);
}

TLineStore::TLineStore(const TLineStore& other) : TLineStore() { *this = other; }

TLineStore& TLineStore::operator=(const TLineStore& other) {
    if (this == &other) return *this;
    TLineStore copy;
    copy.starts_.reserve(other.starts_.size());
    for (std::string_view line : other) copy.Add(line);
    *this = std::move(copy);
    return *this;
}

std::string_view TLineStore::operator[](int index) const {
    if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds");
    return Line(static_cast<std::size_t>(index));
}

std::string_view TLineStore::Line(std::size_t index) const {
    const Start start = starts_[index];
    const Chunk& chunk = chunks_[start.chunk];
    std::size_t end = chunk.used;
    if (index + 1 < starts_.size() && starts_[index + 1].chunk == start.chunk) end = starts_[index + 1].offset;
    return {chunk.bytes.get() + start.offset, end - start.offset};
}

char* TLineStore::Room(std::size_t n) {
    if (n > kMaxLine) throw std::length_error("line too long");
    if (chunks_.empty() || chunks_.back().size - chunks_.back().used < n) {
        const std::size_t grown = chunks_.empty() ? kFirstChunk : std::min(chunks_.back().size * 2, kLargestChunk);
        Chunk chunk;
        chunk.size = std::max(grown, n);
        chunk.bytes = std::make_unique_for_overwrite<char[]>(chunk.size);
        chunks_.push_back(std::move(chunk));
    }
    Chunk& chunk = chunks_.back();
    starts_.push_back({static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(chunk.used)});
    char* room = chunk.bytes.get() + chunk.used;
    chunk.used += n;
    return room;
}

int TLineStore::Add(std::string_view line) { return Add(line, {}); }

int TLineStore::Add(std::string_view head, std::string_view tail) {
    char* room = Room(head.size() + tail.size());
    if (!head.empty()) std::memcpy(room, head.data(), head.size());
    if (!tail.empty()) std::memcpy(room + head.size(), tail.data(), tail.size());
    return Count() - 1;
}

void TLineStore::DeleteLast() {
    if (starts_.empty()) throw std::out_of_range("List index out of bounds");
    const Start start = starts_.back();
    starts_.pop_back();
    chunks_[start.chunk].used = start.offset;
}

void TLineStore::Clear() {
    std::vector<Start>().swap(starts_);
    std::vector<Chunk>().swap(chunks_);
}

void TLineStore::Assign(const TStringList& lines) {
    Clear();
    for (const std::string& line : lines) Add(line);
}

std::size_t TLineStore::Bytes() const {
    std::size_t size = 0;
    for (const Chunk& chunk : chunks_) size += chunk.used;
    return size;
}

std::string TLineStore::Text() const {
    std::string out;
    out.reserve(Bytes() + 2 * starts_.size());
    for (std::string_view line : *this) out.append(line).append("\r\n");
    return out;
}

void TLineStore::SetText(std::string_view text) {
    Clear();
    TTextLineSplitter splitter(*this);
    splitter.Feed(text);
    splitter.Finish();
}
