#pragma once
// Helpers for tests that load very large or hostile mails: a source that
// makes its bytes as they are read, and a private scratch folder.

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "reader/io/stream.h"

namespace resource_bounds {

// The head of a mail whose body opens depth multiparts, each inside the one
// before (boundaries b0, b1, ...), none of them closed yet.
inline std::string NestedMultipartOpening(int depth, const std::string& subtype = "mixed") {
    std::string mail = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
    for (int i = 1; i < depth; ++i)
        mail += "--b" + std::to_string(i - 1) + "\r\nContent-Type: multipart/" + subtype + "; boundary=b" +
                std::to_string(i) + "\r\n\r\n";
    return mail;
}

// Pieces, each repeated a number of times, served in order; nothing is held
// in memory beyond the pieces themselves.
class GeneratedStream final : public TStream {
public:
    struct Run {
        std::string piece;
        std::uint64_t repeat;
    };
    explicit GeneratedStream(std::vector<Run> runs) : runs_(std::move(runs)) {
        for (const Run& run : runs_) size_ += static_cast<std::int64_t>(run.piece.size() * run.repeat);
    }

    std::size_t Read(void* buffer, std::size_t n) override {
        char* out = static_cast<char*>(buffer);
        std::size_t done = 0;
        while (done < n && run_ < runs_.size()) {
            const Run& run = runs_[run_];
            if (repeat_ >= run.repeat || run.piece.empty()) {
                ++run_;
                repeat_ = 0;
                offset_ = 0;
                continue;
            }
            if (run.piece.size() == 1) {
                const std::uint64_t count = std::min<std::uint64_t>(n - done, run.repeat - repeat_);
                std::memset(out + done, run.piece[0], count);
                done += count;
                repeat_ += count;
                continue;
            }
            const std::size_t count = std::min(n - done, run.piece.size() - offset_);
            std::memcpy(out + done, run.piece.data() + offset_, count);
            done += count;
            offset_ += count;
            if (offset_ == run.piece.size()) {
                offset_ = 0;
                ++repeat_;
            }
        }
        position_ += static_cast<std::int64_t>(done);
        return done;
    }
    void Write(const void*, std::size_t) override { throw std::logic_error("read-only"); }
    std::int64_t Position() const override { return position_; }
    std::int64_t Size() const override { return size_; }
    void Seek(std::int64_t position) override {
        if (position != 0) throw std::logic_error("generated streams rewind only");
        run_ = 0;
        repeat_ = 0;
        offset_ = 0;
        position_ = 0;
    }

private:
    std::vector<Run> runs_;
    std::size_t run_ = 0;
    std::uint64_t repeat_ = 0;
    std::size_t offset_ = 0;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
};

// A fresh folder under the system's temporary folder, removed with its
// content at the end of the test.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kqv-bounds-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::system_error(errno, std::generic_category(), "mkdtemp");
        path_ = pattern + "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Ends with "/".
    const std::string& Path() const { return path_; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string path_;
};

}  // namespace resource_bounds
