#include "reader/io/id_buffer.h"

#include <algorithm>
#include <cstring>

#include "reader/exceptions.h"

namespace {
// Capacity below which the array is never shrunk, and the smallest array
// a growth makes.
constexpr std::size_t kKeepCapacity = 1024 * 1024;
constexpr std::size_t kMinCapacity = 64 * 1024;
}  // namespace

void TIdBuffer::RaiseNotEnough(std::size_t n) const {
    throw EIdNotEnoughDataInBuffer("Not enough data in buffer. (" + std::to_string(n) + "/" +
                                   std::to_string(count_) + ")");
}

void TIdBuffer::CheckGrowth(std::size_t n) const {
    if (n > kMaxSize - count_) throw EIdTooMuchDataInBuffer("Too much data in buffer.");
}

char* TIdBuffer::PrepareAppend(std::size_t n) {
    const std::size_t capacity = capacity_;
    const std::size_t needed = count_ + n;
    // After one very long line the array would stay huge for the rest of the
    // file; give the memory back once it is mostly idle.
    const bool oversized = capacity > kKeepCapacity && needed <= capacity / 8;
    if (!oversized && head_ + needed <= capacity) return bytes_.get() + head_ + count_;
    if (!oversized && needed <= capacity && head_ >= count_) {
        // The move is paid for by the bytes consumed since the last one.
        std::memmove(bytes_.get(), bytes_.get() + head_, count_);
        head_ = 0;
        return bytes_.get() + count_;
    }
    const std::size_t newCapacity =
        oversized ? std::max(2 * needed, kMinCapacity) : std::max({2 * capacity, needed, kMinCapacity});
    auto fresh = std::make_unique_for_overwrite<char[]>(newCapacity);
    if (count_ > 0) std::memcpy(fresh.get(), bytes_.get() + head_, count_);
    bytes_ = std::move(fresh);
    capacity_ = newCapacity;
    head_ = 0;
    return bytes_.get() + count_;
}

void TIdBuffer::CommitAppend(std::size_t k) {
    CheckGrowth(k);
    count_ += k;
}

void TIdBuffer::Append(const char* bytes, std::size_t n) {
    if (n == 0) return;
    CheckGrowth(n);
    std::memcpy(PrepareAppend(n), bytes, n);
    count_ += n;
}

std::ptrdiff_t TIdBuffer::IndexOfSequence(std::string_view needle, std::size_t from) const {
    if (needle.empty() || from >= count_) return -1;
    const std::size_t pos = View().find(needle, from);
    return pos == std::string_view::npos ? -1 : static_cast<std::ptrdiff_t>(pos);
}

std::string TIdBuffer::Extract(std::size_t n) {
    std::string out;
    ExtractInto(n, out);
    return out;
}

void TIdBuffer::ExtractInto(std::size_t n, std::string& out) {
    CheckTake(n);
    out.assign(bytes_.get() + head_, n);
    RemoveUnchecked(n);
}

void TIdBuffer::ExtractBytes(std::size_t n, void* out) {
    CheckTake(n);
    if (n > 0) std::memcpy(out, bytes_.get() + head_, n);
    RemoveUnchecked(n);
}

void TIdBuffer::Clear() {
    consumed_ += count_;
    head_ = 0;
    count_ = 0;
}
