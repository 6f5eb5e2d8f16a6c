#pragma once
// A fresh folder under /tmp for one test, removed with everything in it.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace platformtest {

class Scratch {
public:
    Scratch() {
        char pattern[] = "/tmp/kqv-platform-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    std::string operator/(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace platformtest
