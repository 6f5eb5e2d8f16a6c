#pragma once
// Helpers shared by the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// A private temporary folder for this process, created on first use.
const std::string& ScratchDir();
// Names of the entries in a folder (not recursive).
std::vector<std::string> ListDir(const std::string& dir);
// Aborts (a finding) when the folder is not empty: something leaked a file.
void RequireEmpty(const std::string& dir);

// Splits input into pieces of lengths drawn from the input itself, so that
// the fuzzer controls where a decoder sees line ends.
class Splitter {
public:
    Splitter(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next piece: a length byte, then that many bytes.
    std::string_view Piece();
    std::string_view Rest();

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace fuzz
