#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fuzz {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        std::string templ = (std::filesystem::temp_directory_path() / "kqv-fuzz-XXXXXX").string();
        if (!mkdtemp(templ.data())) std::abort();
        return templ + "/";
    }();
    return dir;
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) names.push_back(e.path().filename());
    return names;
}

void RequireEmpty(const std::string& dir) {
    const auto names = ListDir(dir);
    if (names.empty()) return;
    std::fprintf(stderr, "temporary file left behind in %s: %s\n", dir.c_str(), names.front().c_str());
    std::abort();
}

std::string_view Splitter::Piece() {
    const std::size_t len = Byte();
    const std::size_t n = std::min(len, size_ - std::min(pos_, size_));
    std::string_view piece(reinterpret_cast<const char*>(data_) + pos_, n);
    pos_ += n;
    return piece;
}

std::string_view Splitter::Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + pos_, size_ - std::min(pos_, size_));
    pos_ = size_;
    return rest;
}

}  // namespace fuzz
