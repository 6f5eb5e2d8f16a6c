#pragma once
// Generated mails for the benchmarks: deterministic German-like text in
// CR LF lines.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace benchmails {

class Output {
public:
    explicit Output(const std::filesystem::path& path) : file_(std::fopen(path.c_str(), "wb")) {
        if (!file_) throw std::runtime_error("cannot create " + path.string());
        std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
    }
    ~Output() {
        if (file_) std::fclose(file_);
    }
    Output& operator<<(std::string_view s) {
        if (std::fwrite(s.data(), 1, s.size(), file_) != s.size()) throw std::runtime_error("write failed");
        written_ += s.size();
        return *this;
    }
    std::uint64_t Written() const { return written_; }

private:
    std::FILE* file_;
    std::uint64_t written_ = 0;
};

// Deterministic filler bytes.
class Noise {
public:
    std::uint8_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint8_t>(state_ >> 24);
    }

private:
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

inline const char* const kWords[] = {"Hallo",  "Welt",   "Nachricht", "Anlage", "Bericht", "morgen", "Termin", "bitte",
                                     "danke", "Gruss", "Stra\xDF" "e", "K\xF6ln", "gr\xFC\xDF" "en", "M\xE4rz"};

inline std::string TextLine(Noise& noise, std::size_t width) {
    std::string line;
    while (line.size() < width) {
        if (!line.empty()) line += ' ';
        line += kWords[noise.Next() % (sizeof kWords / sizeof kWords[0])];
    }
    return line;
}

inline void Header(Output& out, std::string_view subject, std::string_view contentType) {
    out << "From: Bench <bench@example.org>\r\nTo: Leser <leser@example.net>\r\n";
    out << "Subject: " << subject << "\r\nDate: Tue, 3 Jun 2008 10:00:00 +0200\r\n";
    if (!contentType.empty()) out << "MIME-Version: 1.0\r\nContent-Type: " << contentType << "\r\n";
}

// A mail of plain text lines of 72 characters, about bytes long.
inline void WritePlainTextMail(const std::filesystem::path& path, std::uint64_t bytes) {
    Output out(path);
    Header(out, "Grosse Textmail", "text/plain; charset=ISO-8859-1");
    out << "\r\n";
    Noise noise;
    while (out.Written() < bytes) out << TextLine(noise, 72) << "\r\n";
}

// A mail whose text has one line of about bytes characters between two short ones.
inline void WriteLongLineMail(const std::filesystem::path& path, std::uint64_t bytes) {
    Output out(path);
    Header(out, "Eine lange Zeile", "text/plain; charset=ISO-8859-1");
    out << "\r\nVorher\r\n";
    Noise noise;
    const std::uint64_t start = out.Written();
    while (out.Written() - start < bytes) out << TextLine(noise, 1000) << " ";
    out << "\r\nNachher\r\n";
}

}  // namespace benchmails
