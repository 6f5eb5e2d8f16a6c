#pragma once
// Bytes read from the source and not yet handed out.
//
// The unread bytes live at [head, head + count) of one array. Taking bytes
// only advances the head; the unread rest is moved to the front when an
// append needs the room and the consumed part is at least as large as the
// unread part, so every byte is moved at most once on average.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdBuffer {
public:
    // The most bytes the buffer may hold.
    static constexpr std::size_t kMaxSize = 2147483647;

    // Bytes held (not yet handed out).
    std::size_t Size() const { return count_; }
    void Append(const char* bytes, std::size_t n);
    // 0-based index, counted from the head, of needle at or after from; -1 if none.
    std::ptrdiff_t IndexOf(std::string_view needle, std::size_t from = 0) const {
        if (needle.size() != 1 || from >= count_) return IndexOfSequence(needle, from);
        const char* base = bytes_.get() + head_;
        const void* hit = std::memchr(base + from, needle[0], count_ - from);
        return hit ? static_cast<const char*>(hit) - base : -1;
    }
    // Removes the first n bytes and returns them as 8-bit text.
    std::string Extract(std::size_t n);
    // The same into a reused string (no allocation once it has grown).
    void ExtractInto(std::size_t n, std::string& out);
    // Removes the first n bytes into raw memory.
    void ExtractBytes(std::size_t n, void* out);
    // Drops the first n bytes.
    void Remove(std::size_t n) {
        CheckTake(n);
        RemoveUnchecked(n);
    }
    void Clear();
    // The unread bytes.
    std::string_view View() const { return {bytes_.get() + head_, count_}; }

    // Appending without a copy: room for up to n bytes right after the unread
    // ones, valid until the next change; CommitAppend then adds the first k.
    char* PrepareAppend(std::size_t n);
    void CommitAppend(std::size_t k);

    // Bytes taken out (or cleared) since construction: the stream offset of
    // the head, so positions stay comparable across removals.
    std::uint64_t Consumed() const { return consumed_; }

private:
    void RemoveUnchecked(std::size_t n) {
        head_ += n;
        count_ -= n;
        consumed_ += n;
        if (count_ == 0) head_ = 0;
    }
    void CheckTake(std::size_t n) const {
        if (n > count_) RaiseNotEnough(n);
    }
    [[noreturn]] void RaiseNotEnough(std::size_t n) const;
    std::ptrdiff_t IndexOfSequence(std::string_view needle, std::size_t from) const;
    void CheckGrowth(std::size_t n) const;

    // Not zeroed when made: every byte is written before it is read.
    std::unique_ptr<char[]> bytes_;
    std::size_t capacity_ = 0;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::uint64_t consumed_ = 0;
};
