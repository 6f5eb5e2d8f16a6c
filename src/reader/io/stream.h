#pragma once
// Byte streams: the source of a load and the destinations of decoders.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to n bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    // Writes all n bytes or raises.
    virtual void Write(const void* buffer, std::size_t n) = 0;
    virtual std::int64_t Position() const = 0;
    virtual std::int64_t Size() const = 0;
    virtual void Seek(std::int64_t position) = 0;

    void WriteString(std::string_view bytes) { Write(bytes.data(), bytes.size()); }
    // Copies everything from the source's position to its end into this stream.
    void CopyFrom(TStream& source);
};

class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string_view bytes) : data_(bytes) {}

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::int64_t Position() const override { return static_cast<std::int64_t>(pos_); }
    std::int64_t Size() const override { return static_cast<std::int64_t>(data_.size()); }
    void Seek(std::int64_t position) override;

    void Clear() { data_.clear(); pos_ = 0; }
    const std::string& Data() const { return data_; }
    std::string TakeData() { pos_ = 0; return std::move(data_); }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

// Reads through to another stream, calling check before each read: a check
// that raises abandons whatever is reading. Writing is refused.
class TCheckedStream final : public TStream {
public:
    TCheckedStream(TStream& source, std::function<void()> check) : source_(source), check_(std::move(check)) {}

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::int64_t Position() const override { return source_.Position(); }
    std::int64_t Size() const override { return source_.Size(); }
    void Seek(std::int64_t position) override { source_.Seek(position); }

private:
    TStream& source_;
    std::function<void()> check_;
};

// A file opened through the platform's descriptors. Writes are buffered and
// flushed on Close and destruction; errors raise EFileError subclasses.
class TFileStream : public TStream {
public:
    enum class Mode {
        OpenRead,         // read-only; other readers welcome
        CreateTruncate,   // create or truncate for writing
        CreateExclusive,  // create a new file for the user alone; never follows a link
    };
    TFileStream(const std::string& path, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // CreateExclusive without raising: nullptr and errno_out set when the
    // file cannot be made (EEXIST when the name is taken). perms less the
    // umask become the new file's mode.
    static std::unique_ptr<TFileStream> TryCreateExclusive(const std::string& path, int& errno_out,
                                                           unsigned perms = 0600);

    std::size_t Read(void* buffer, std::size_t n) override;
    void Write(const void* buffer, std::size_t n) override;
    std::int64_t Position() const override;
    std::int64_t Size() const override;
    void Seek(std::int64_t position) override;

    void Flush();
    void Close();
    const std::string& Path() const { return path_; }

private:
    struct Adopt {};
    TFileStream(Adopt, std::string path, int fd);
    void WriteAll(const char* bytes, std::size_t n);

    std::string path_;
    int fd_ = -1;
    std::int64_t pos_ = 0;
    std::vector<char> write_buffer_;
};

// The mail file and attachment sources are opened this way: read-only,
// letting others read.
class TIdReadFileExclusiveStream final : public TFileStream {
public:
    explicit TIdReadFileExclusiveStream(const std::string& path) : TFileStream(path, Mode::OpenRead) {}
};
