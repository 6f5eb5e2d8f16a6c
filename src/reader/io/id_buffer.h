#pragma once
// Bytes read from the source and not yet handed out.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TIdBuffer {
public:
    // Bytes held (not yet handed out).
    std::size_t Size() const;
    void Append(const char* bytes, std::size_t n);
    // 0-based index, counted from the head, of needle at or after from; -1 if none.
    std::ptrdiff_t IndexOf(std::string_view needle, std::size_t from = 0) const;
    // Removes the first n bytes and returns them as 8-bit text.
    std::string Extract(std::size_t n);
    // The same into a reused string (no allocation once it has grown).
    void ExtractInto(std::size_t n, std::string& out);
    // Removes the first n bytes into raw memory.
    void ExtractBytes(std::size_t n, void* out);
    void Clear();
    // The unread bytes.
    std::string_view View() const;

private:
    std::vector<char> bytes_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};
