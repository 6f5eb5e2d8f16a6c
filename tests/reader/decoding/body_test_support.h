#pragma once
// Small helpers for the part-decoder and body-loop tests: mail texts in,
// loaded messages and attachment bytes out.

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "reader/decoding/message_decoder.h"
#include "reader/io/io_handler.h"
#include "reader/io/stream.h"
#include "reader/io/tcp_stream.h"
#include "reader/message/message.h"

namespace body_test {

// Mail texts are written with "\n"; files on disk have CR LF.
inline std::string Crlf(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// A folder of its own for the attachment files of one test.
class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/kqv_body_XXXXXX";
        path_ = mkdtemp(name);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return path_; }
    int FileCount() const {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++n;
        return n;
    }

private:
    std::string path_;
};

// A message whose attachment files go to a scratch folder.
struct LoadedMail {
    ScratchDir dir;
    TIdMessage message;

    explicit LoadedMail(std::string_view fileBytes) {
        message.SetAttachmentTempDirectory(dir.Path());
        TMemoryStream stream(fileBytes);
        message.LoadMessageStream(stream);
    }
    TIdMessagePart& Part(int index) { return message.Parts.Items(index); }
    TIdText& Text(int index) { return dynamic_cast<TIdText&>(Part(index)); }
    TIdAttachmentFile& Attachment(int index) { return dynamic_cast<TIdAttachmentFile&>(Part(index)); }
    std::string Bytes(int index) {
        TMemoryStream out;
        Attachment(index).CopyToStream(out);
        return out.Data();
    }
};

// A line reader over bytes, for driving a decoder directly.
class LineFeed {
public:
    explicit LineFeed(std::string_view bytes) : stream_(bytes), io_(&stream_, nullptr) {
        io_.FreeStreams = false;
        io_.Open();
    }
    void Attach(TIdMessageDecoder& decoder) { decoder.SetLineSource(std::make_unique<TIdTCPStream>(io_)); }
    TIdIOHandlerStreamMsg& IO() { return io_; }

private:
    TMemoryStream stream_;
    TIdIOHandlerStreamMsg io_;
};

template <typename List>
std::string Lines(const List& list) {
    std::string out;
    for (std::string_view line : list) {
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace body_test
