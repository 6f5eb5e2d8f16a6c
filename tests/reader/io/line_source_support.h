#pragma once
// Sources and readers shared by the line reader tests.

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "reader/io/io_handler.h"
#include "reader/io/stream.h"

namespace line_reader_test {

// An in-memory source that records how many bytes each read asked for.
// claimedSize lets it promise more than it has, as a shrinking file would.
class RecordingStream final : public TStream {
public:
    explicit RecordingStream(std::string data, std::int64_t claimedSize = -1)
        : data_(std::move(data)), claimedSize_(claimedSize) {}

    std::size_t Read(void* buffer, std::size_t n) override {
        requests.push_back(n);
        n = std::min(n, data_.size() - pos_);
        if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    void Write(const void*, std::size_t) override { throw std::logic_error("read-only source"); }
    std::int64_t Position() const override { return static_cast<std::int64_t>(pos_); }
    std::int64_t Size() const override {
        return claimedSize_ >= 0 ? claimedSize_ : static_cast<std::int64_t>(data_.size());
    }
    void Seek(std::int64_t position) override { pos_ = static_cast<std::size_t>(position); }

    std::vector<std::size_t> requests;

private:
    std::string data_;
    std::size_t pos_ = 0;
    std::int64_t claimedSize_;
};

// A message line reader over an in-memory file, opened as loading opens it.
struct MsgReader {
    explicit MsgReader(std::string content) : stream(std::move(content)), handler(&stream) {
        handler.FreeStreams = false;
        handler.Open();
    }
    RecordingStream stream;
    TIdIOHandlerStreamMsg handler;
};

// 'a'..'z' repeated: long lines whose segments can be told apart.
inline std::string Letters(std::size_t n) {
    std::string s(n, ' ');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

}  // namespace line_reader_test
