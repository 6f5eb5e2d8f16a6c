#include "tools/json_output.h"

#include <cerrno>
#include <unistd.h>

#include <rapidjson/encodings.h>
#include <rapidjson/memorystream.h>

#include "platform/codepage.h"

FdWriteStream::FdWriteStream(int fd, std::size_t bufferSize) : fd_(fd), buffer_(bufferSize) {}

FdWriteStream::~FdWriteStream() { Flush(); }

void FdWriteStream::Flush() {
    std::size_t done = 0;
    while (done < used_ && !failed_) {
        const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    used_ = 0;
}

void WriteLocalString(JsonWriter& writer, std::string_view local) {
    const std::string utf8 = platform::LocalToUtf8(local);
    writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
}

void WriteLocalLines(JsonWriter& writer, const TStringList& lines) {
    writer.StartArray();
    for (const std::string& line : lines) WriteLocalString(writer, line);
    writer.EndArray();
}

namespace {

bool IsValidUtf8(std::string_view text) {
    rapidjson::MemoryStream in(text.data(), text.size());
    while (in.Tell() < text.size()) {
        unsigned codepoint = 0;
        if (!rapidjson::UTF8<>::Decode(in, &codepoint)) return false;
    }
    return true;
}

}  // namespace

void WriteUtf8String(JsonWriter& writer, std::string_view utf8) {
    if (IsValidUtf8(utf8)) {
        writer.String(utf8.data(), static_cast<rapidjson::SizeType>(utf8.size()));
    } else {
        WriteLocalString(writer, utf8);
    }
}
