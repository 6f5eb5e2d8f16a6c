#include "reader/io/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "reader/exceptions.h"

namespace {
// The write buffer starts small and doubles each time it fills, up to the
// full size: a small attachment file costs no large allocation.
constexpr std::size_t kFirstWriteBufferSize = 16 * 1024;
constexpr std::size_t kWriteBufferSize = 256 * 1024;

std::string ErrorText(int err) { return std::strerror(err); }
}  // namespace

void TStream::CopyFrom(TStream& source) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const std::size_t n = source.Read(buffer.data(), buffer.size());
        if (n == 0) break;
        Write(buffer.data(), n);
    }
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t n) {
    if (pos_ >= data_.size()) return 0;
    n = std::min(n, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return n;
}

std::size_t TCheckedStream::Read(void* buffer, std::size_t n) {
    check_();
    return source_.Read(buffer, n);
}

void TCheckedStream::Write(const void*, std::size_t) { throw EFileError("Stream is read-only"); }

void TMemoryStream::Write(const void* buffer, std::size_t n) {
    if (n == 0) return;
    if (pos_ == data_.size()) {
        data_.append(static_cast<const char*>(buffer), n);
    } else {
        if (pos_ + n > data_.size()) data_.resize(pos_ + n);
        std::memcpy(data_.data() + pos_, buffer, n);
    }
    pos_ += n;
}

void TMemoryStream::Seek(std::int64_t position) {
    if (position < 0) position = 0;
    pos_ = static_cast<std::size_t>(position);
    if (pos_ > data_.size()) data_.resize(pos_);
}

TFileStream::TFileStream(const std::string& path, Mode mode) : path_(path) {
    int flags = O_CLOEXEC;
    mode_t perms = 0666;
    switch (mode) {
    case Mode::OpenRead: flags |= O_RDONLY; break;
    case Mode::CreateTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::CreateExclusive:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        perms = 0600;
        break;
    }
    fd_ = ::open(path.c_str(), flags, perms);
    if (fd_ < 0) {
        const int err = errno;
        if (mode == Mode::OpenRead)
            throw EFOpenError("Cannot open file \"" + path + "\". " + ErrorText(err));
        throw EFCreateError("Cannot create file \"" + path + "\". " + ErrorText(err));
    }
}

TFileStream::TFileStream(Adopt, std::string path, int fd) : path_(std::move(path)), fd_(fd) {}

std::unique_ptr<TFileStream> TFileStream::TryCreateExclusive(const std::string& path, int& errno_out,
                                                             unsigned perms) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, static_cast<mode_t>(perms));
    if (fd < 0) {
        errno_out = errno;
        return nullptr;
    }
    errno_out = 0;
    return std::unique_ptr<TFileStream>(new TFileStream(Adopt{}, path, fd));
}

TFileStream::~TFileStream() {
    try {
        Close();
    } catch (...) {
        // A destructor cannot report; callers that care call Close first.
    }
}

void TFileStream::WriteAll(const char* bytes, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, bytes + done, n - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            throw EWriteError("Stream write error: " + path_ + ": " + ErrorText(err));
        }
        done += static_cast<std::size_t>(w);
    }
}

void TFileStream::Flush() {
    if (write_buffer_.empty()) return;
    try {
        WriteAll(write_buffer_.data(), write_buffer_.size());
    } catch (...) {
        write_buffer_.clear();
        throw;
    }
    write_buffer_.clear();
}

void TFileStream::Close() {
    if (fd_ < 0) return;
    try {
        Flush();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
    ::close(fd_);
    fd_ = -1;
}

std::size_t TFileStream::Read(void* buffer, std::size_t n) {
    if (fd_ < 0) return 0;
    if (!write_buffer_.empty()) Flush();
    for (;;) {
        const ssize_t r = ::read(fd_, buffer, n);
        if (r < 0) {
            if (errno == EINTR) continue;
            throw EFileError("Stream read error: " + path_ + ": " + ErrorText(errno));
        }
        pos_ += r;
        return static_cast<std::size_t>(r);
    }
}

void TFileStream::Write(const void* buffer, std::size_t n) {
    if (fd_ < 0) throw EWriteError("Stream write error: " + path_ + " is closed");
    const char* bytes = static_cast<const char*>(buffer);
    if (write_buffer_.size() + n > write_buffer_.capacity()) {
        const std::size_t capacity = write_buffer_.capacity();
        Flush();
        const std::size_t grown =
            capacity == 0 ? kFirstWriteBufferSize : std::min(2 * capacity, kWriteBufferSize);
        if (n >= kWriteBufferSize) {
            // Too large to be worth a copy.
            WriteAll(bytes, n);
            pos_ += static_cast<std::int64_t>(n);
            return;
        }
        if (grown > capacity) {
            write_buffer_ = std::vector<char>();
            write_buffer_.reserve(std::max(grown, n));
        }
    }
    write_buffer_.insert(write_buffer_.end(), bytes, bytes + n);
    pos_ += static_cast<std::int64_t>(n);
}

std::int64_t TFileStream::Position() const { return pos_; }

std::int64_t TFileStream::Size() const {
    if (fd_ < 0) return 0;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return 0;
    return std::max<std::int64_t>(st.st_size, pos_);
}

void TFileStream::Seek(std::int64_t position) {
    if (!write_buffer_.empty()) Flush();
    if (::lseek(fd_, position, SEEK_SET) < 0) throw EFileError("Stream seek error: " + path_);
    pos_ = position;
}
