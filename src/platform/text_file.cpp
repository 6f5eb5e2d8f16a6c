#include "platform/text_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace platform {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

[[noreturn]] void Fail(int err, const std::string& what, const std::string& path) {
    throw std::system_error(err, std::generic_category(), what + " \"" + path + "\"");
}

}  // namespace

TextFileReader::TextFileReader(const std::string& path) : path_(path), buffer_(kBufferSize) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Fail(errno, "Cannot open file", path);
}

TextFileReader::~TextFileReader() {
    if (fd_ >= 0) ::close(fd_);
}

bool TextFileReader::Fill() {
    if (eof_) return false;
    for (;;) {
        const ssize_t r = ::read(fd_, buffer_.data(), buffer_.size());
        if (r < 0) {
            if (errno == EINTR) continue;
            Fail(errno, "Cannot read file", path_);
        }
        pos_ = 0;
        end_ = static_cast<std::size_t>(r);
        if (r == 0) eof_ = true;
        return r > 0;
    }
}

bool TextFileReader::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !Fill()) return any;
        if (skipLf_) {
            skipLf_ = false;
            if (buffer_[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        const char* start = buffer_.data() + pos_;
        const std::size_t avail = end_ - pos_;
        std::size_t i = 0;
        while (i < avail && start[i] != '\r' && start[i] != '\n') ++i;
        line.append(start, i);
        any = true;
        pos_ += i;
        if (i < avail) {
            // A CR may be followed by its LF in the next buffer.
            if (buffer_[pos_] == '\r') skipLf_ = true;
            ++pos_;
            return true;
        }
    }
}

TextFileWriter::TextFileWriter(const std::string& path) : path_(path) {
    buffer_.reserve(kBufferSize);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) Fail(errno, "Cannot create file", path);
}

TextFileWriter::~TextFileWriter() {
    if (fd_ >= 0) ::close(fd_);
}

void TextFileWriter::WriteLine(std::string_view line) {
    if (buffer_.size() + line.size() + 2 > kBufferSize) Flush();
    if (line.size() + 2 > kBufferSize) {
        // A giant line goes straight through instead of being copied.
        WriteRaw(line.data(), line.size());
        WriteRaw("\r\n", 2);
        return;
    }
    buffer_.insert(buffer_.end(), line.begin(), line.end());
    buffer_.push_back('\r');
    buffer_.push_back('\n');
}

void TextFileWriter::WriteRaw(const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail(errno, "Cannot write file", path_);
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
}

void TextFileWriter::Flush() {
    WriteRaw(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void TextFileWriter::Close() {
    if (fd_ < 0) return;
    Flush();
    if (::fsync(fd_) != 0 && errno != EINVAL) Fail(errno, "Cannot write file", path_);
    const int r = ::close(fd_);
    fd_ = -1;
    if (r != 0) Fail(errno, "Cannot write file", path_);
}

}  // namespace platform
