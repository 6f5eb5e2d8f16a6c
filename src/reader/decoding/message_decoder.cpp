#include "reader/decoding/message_decoder.h"

#include <mutex>

#include "platform/codepage.h"
#include "reader/decoding/message_decoder_mime.h"
#include "reader/decoding/message_decoder_uue.h"
#include "reader/exceptions.h"
#include "reader/headers/encoded_words.h"

TIdMessageDecoder::~TIdMessageDecoder() {
    if (!OwnsLineSource) static_cast<void>(lineSource_.release());
}

std::string TIdMessageDecoder::PartHeaderValue(std::string_view name) const {
    for (const std::string& entry : PartHeaders) {
        const std::size_t eq = entry.find('=');
        // Entries without "=" have no name and never match; names of
        // another length neither.
        if (eq != name.size()) continue;
        if (platform::SameTextLocale(std::string_view(entry).substr(0, eq), name)) return entry.substr(eq + 1);
    }
    return {};
}

TIdIOHandler& TIdMessageDecoder::SourceIOHandler() const {
    if (!lineSource_) throw EIdNotConnected("Not Connected");
    return lineSource_->IOHandler();
}

std::string TIdMessageDecoder::ReadSourceLine(std::string_view terminator) {
    std::string line;
    ReadSourceLineInto(line, terminator);
    return line;
}

void TIdMessageDecoder::ReadSourceLineInto(std::string& line, std::string_view terminator) {
    TIdIOHandler& io = SourceIOHandler();
    io.ReadLineInto(line, terminator);
    // Decoders see a long line whole: join the segments the reader split it into.
    while (io.LineSplit()) {
        io.ReadLineInto(segment_, terminator);
        line += segment_;
    }
}

std::string TIdMessageDecoder::ReadMessageLine(bool& messageEnd, std::string_view terminator,
                                               std::string_view delimiter) {
    std::string line;
    ReadMessageLineInto(line, messageEnd, terminator, delimiter);
    return line;
}

void TIdMessageDecoder::ReadMessageLineInto(std::string& line, bool& messageEnd, std::string_view terminator,
                                            std::string_view delimiter) {
    ReadSourceLineInto(line, terminator);
    TIdIOHandler& io = SourceIOHandler();
    // Past the end of the data: reached when the end-of-data line was glued
    // to a line that only ends at CR LF. Nothing more can come.
    if (line.empty() && io.LineTimedOut()) {
        messageEnd = true;
        return;
    }
    // A lone "." followed by more data is not the end of the message.
    if (line == delimiter && io.DataFollows()) line += '|';
    if (line == delimiter) {
        messageEnd = true;
        return;
    }
    if (!line.empty() && line[0] == '.') line.erase(0, 1);
    messageEnd = false;
}

TIdMessageDecoderList& TIdMessageDecoderList::Instance() {
    static TIdMessageDecoderList list;
    return list;
}

void TIdMessageDecoderList::RegisterDecoder(std::string name, std::unique_ptr<TIdMessageDecoderInfo> info) {
    entries_.emplace_back(std::move(name), std::move(info));
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderList::FindDecoderForLine(TIdMessage& message,
                                                                            std::string_view line) const {
    for (const auto& entry : entries_) {
        if (auto decoder = entry.second->ProbeStartLine(message, line)) return decoder;
    }
    return nullptr;
}

std::unique_ptr<TIdMessageDecoder> FindDecoderForLine(TIdMessage& message, std::string_view line) {
    return TIdMessageDecoderList::Instance().FindDecoderForLine(message, line);
}

void InitializeReader() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIdMessageDecoderList& list = TIdMessageDecoderList::Instance();
        list.RegisterDecoder("MIME", std::make_unique<TIdMessageDecoderInfoMIME>());
        list.RegisterDecoder("UUE", std::make_unique<TIdMessageDecoderInfoUUE>());
        // The charset converters are built here too, before any message is
        // read; the decode tables of the alphabets are compile-time constants.
        TIdHeaderCoderList::Instance();
    });
}
