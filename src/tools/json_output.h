#pragma once
// JSON output of kqv-dump: RapidJSON's streaming writer over a buffered file
// descriptor, and the conversion of the reader's local text on the way out.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <rapidjson/writer.h>

#include "reader/line_store.h"
#include "reader/string_list.h"

// Output stream in the shape RapidJSON's Writer expects. Remembers a failed
// write instead of raising, so that the caller decides the exit status.
class FdWriteStream {
public:
    using Ch = char;
    static constexpr std::size_t kDefaultBufferSize = 256 * 1024;

    explicit FdWriteStream(int fd, std::size_t bufferSize = kDefaultBufferSize);
    ~FdWriteStream();
    FdWriteStream(const FdWriteStream&) = delete;
    FdWriteStream& operator=(const FdWriteStream&) = delete;

    void Put(char c) {
        if (used_ == capacity_) Flush();
        buffer_[used_++] = c;
    }
    void Flush();
    bool Failed() const { return failed_; }

    // Writing in place: Room flushes when fewer than n bytes are free
    // (n <= Capacity) and returns where the next byte goes; Commit then
    // keeps the first k bytes written there.
    char* Room(std::size_t n) {
        if (capacity_ - used_ < n) Flush();
        return buffer_.get() + used_;
    }
    void Commit(std::size_t k) { used_ += k; }
    std::size_t Free() const { return capacity_ - used_; }
    std::size_t Capacity() const { return capacity_; }

    // Input side of the stream concept; never used by a writer.
    char Peek() const { return 0; }
    char Take() { return 0; }
    std::size_t Tell() const { return 0; }
    char* PutBegin() { return nullptr; }
    std::size_t PutEnd(char*) { return 0; }

private:
    int fd_;
    // Not zeroed: a short output touches only the pages it fills.
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

// RapidJSON's writer plus local strings written without an intermediate
// UTF-8 copy.
class JsonWriter : public rapidjson::Writer<FdWriteStream> {
public:
    explicit JsonWriter(FdWriteStream& stream) : Writer(stream), stream_(stream) {}

    // Local (Windows-1252) text as a JSON string: converted to UTF-8 and
    // escaped in one pass, exactly as RapidJSON escapes the UTF-8 text.
    void LocalString(std::string_view local);
    // A string list as an array of local strings.
    void LocalLines(const TStringList& lines) { PutLocalLines(lines); }
    void LocalLines(const TLineStore& lines) { PutLocalLines(lines); }

private:
    void PutLocal(std::string_view local);
    template <typename Lines>
    void PutLocalLines(const Lines& lines) {
        StartArray();
        // The elements pass the writer's bookkeeping by: within an array it
        // only places the commas.
        bool first = true;
        for (std::string_view line : lines) {
            if (!first) stream_.Put(',');
            first = false;
            PutLocal(line);
        }
        EndArray();
    }

    FdWriteStream& stream_;
};

// Local (Windows-1252) text as a JSON string.
inline void WriteLocalString(JsonWriter& writer, std::string_view local) { writer.LocalString(local); }
// A string list as an array of local strings.
inline void WriteLocalLines(JsonWriter& writer, const TStringList& lines) { writer.LocalLines(lines); }
inline void WriteLocalLines(JsonWriter& writer, const TLineStore& lines) { writer.LocalLines(lines); }
// Text that is already meant as UTF-8 (file system paths); bytes that do not
// form valid UTF-8 are taken as local text so that the JSON stays valid.
void WriteUtf8String(JsonWriter& writer, std::string_view utf8);
