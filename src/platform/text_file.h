#pragma once
// Text files read and written line by line, in constant memory.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Hands out the lines of a file split at CR LF, LF or a lone CR; a final
// line break adds no empty line.
class TextFileReader {
public:
    explicit TextFileReader(const std::string& path);
    ~TextFileReader();
    TextFileReader(const TextFileReader&) = delete;
    TextFileReader& operator=(const TextFileReader&) = delete;

    // False at the end of the file; line is reused, so a caller that keeps
    // one string sees no allocation per line once it has grown.
    bool ReadLine(std::string& line);

private:
    bool Fill();

    std::string path_;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool skipLf_ = false;
};

// Writes lines, each followed by CR LF, to a new file that nobody else may
// read (mode 0600) and that must not exist yet.
class TextFileWriter {
public:
    explicit TextFileWriter(const std::string& path);
    ~TextFileWriter();
    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;

    void WriteLine(std::string_view line);
    // Flushes, syncs to disk and closes; reports any failure.
    void Close();

private:
    void Flush();
    void WriteRaw(const char* data, std::size_t n);

    std::string path_;
    int fd_ = -1;
    std::vector<char> buffer_;
};

}  // namespace platform
