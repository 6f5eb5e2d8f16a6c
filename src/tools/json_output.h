#pragma once
// JSON output of kqv-dump: RapidJSON's streaming writer over a buffered file
// descriptor, and the conversion of the reader's local text on the way out.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/writer.h>

#include "reader/string_list.h"

// Output stream in the shape RapidJSON's Writer expects. Remembers a failed
// write instead of raising, so that the caller decides the exit status.
class FdWriteStream {
public:
    using Ch = char;

    explicit FdWriteStream(int fd, std::size_t bufferSize = 64 * 1024);
    ~FdWriteStream();
    FdWriteStream(const FdWriteStream&) = delete;
    FdWriteStream& operator=(const FdWriteStream&) = delete;

    void Put(char c) {
        if (used_ == buffer_.size()) Flush();
        buffer_[used_++] = c;
    }
    void Flush();
    bool Failed() const { return failed_; }

    // Input side of the stream concept; never used by a writer.
    char Peek() const { return 0; }
    char Take() { return 0; }
    std::size_t Tell() const { return 0; }
    char* PutBegin() { return nullptr; }
    std::size_t PutEnd(char*) { return 0; }

private:
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

using JsonWriter = rapidjson::Writer<FdWriteStream>;

// Local (Windows-1252) text as a JSON string.
void WriteLocalString(JsonWriter& writer, std::string_view local);
// A string list as an array of local strings.
void WriteLocalLines(JsonWriter& writer, const TStringList& lines);
// Text that is already meant as UTF-8 (file system paths); bytes that do not
// form valid UTF-8 are taken as local text so that the JSON stays valid.
void WriteUtf8String(JsonWriter& writer, std::string_view utf8);
