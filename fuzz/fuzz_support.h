#pragma once
// Helpers shared by the fuzz targets and by the tests that replay their
// findings. Header-only, so that a test can use them without the fuzzer.

#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fuzz {

// A private temporary folder for this process, created on first use; ends
// with "/".
inline const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "kqv-fuzz-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        return templ + "/";
    }();
    return dir;
}

// Names of the entries in a folder (not recursive), sorted.
inline std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A walk's complaint ends the fuzzer's run as a finding.
inline void RequireNoProblem(const std::string& problem) {
    if (problem.empty()) return;
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
}

// Splits input into pieces of lengths drawn from the input itself, so that
// the fuzzer controls where a decoder sees line ends.
class Splitter {
public:
    Splitter(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Done() const { return pos_ >= size_; }
    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // The next piece: a length byte, then that many bytes.
    std::string_view Piece() {
        const std::size_t len = Byte();
        const std::size_t n = std::min(len, size_ - std::min(pos_, size_));
        std::string_view piece(reinterpret_cast<const char*>(data_) + pos_, n);
        pos_ += n;
        return piece;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace fuzz
