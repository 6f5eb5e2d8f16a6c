#pragma once
// Part decoders: a registry of descriptions that recognise part starts, and
// the decoder base that reads a part's header and body.

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "reader/io/stream.h"
#include "reader/io/tcp_stream.h"
#include "reader/string_list.h"

class TIdMessage;

enum TIdPartKind : unsigned char { pkUnknown = 0, pkText = 1, pkAttachment = 2, pkIgnore = 3 };

class TIdMessageDecoder {
public:
    explicit TIdMessageDecoder(TIdMessage* owner) : owner_(owner) {}
    // Frees LineSource only when OwnsLineSource is set; otherwise forgets it.
    virtual ~TIdMessageDecoder();
    TIdMessageDecoder(const TIdMessageDecoder&) = delete;
    TIdMessageDecoder& operator=(const TIdMessageDecoder&) = delete;

    std::string PartFileName;
    bool OwnsLineSource = true;
    TStringList PartHeaders;  // "name=value", one entry per field
    TIdPartKind PartKind = pkUnknown;

    TIdMessage* Owner() const { return owner_; }
    void SetLineSource(std::unique_ptr<TIdTCPStream> source) {
        if (!OwnsLineSource) static_cast<void>(lineSource_.release());
        lineSource_ = std::move(source);
    }
    TIdTCPStream* LineSource() const { return lineSource_.get(); }

    // Value of the first entry whose name equals name, ignoring case.
    std::string PartHeaderValue(std::string_view name) const;

    // Returns the decoder of the next part, or nothing.
    virtual std::unique_ptr<TIdMessageDecoder> ReadPartBody(TStream& destination, bool& messageEnd) = 0;
    // After ReadPartBody raised: the decoder of the part whose start had
    // already been read, so that the failure costs only this part.
    std::unique_ptr<TIdMessageDecoder> TakeNextAfterFailure() { return std::move(nextAfterFailure_); }
    virtual void ReadPartHeader() {}

    std::string ReadSourceLine(std::string_view terminator = "\n");
    void ReadSourceLineInto(std::string& line, std::string_view terminator = "\n");
    std::string ReadMessageLine(bool& messageEnd, std::string_view terminator = "\n",
                                std::string_view delimiter = ".");
    void ReadMessageLineInto(std::string& line, bool& messageEnd, std::string_view terminator = "\n",
                             std::string_view delimiter = ".");

protected:
    // The line reader behind LineSource; raises when no source is set.
    TIdIOHandler& SourceIOHandler() const;

    std::unique_ptr<TIdMessageDecoder> nextAfterFailure_;

private:
    TIdMessage* owner_;
    std::unique_ptr<TIdTCPStream> lineSource_;
    std::string segment_;  // reused for the tails of over-long lines
};

class TIdMessageDecoderInfo {
public:
    virtual ~TIdMessageDecoderInfo() = default;
    virtual std::unique_ptr<TIdMessageDecoder> ProbeStartLine(TIdMessage& message, std::string_view line) const = 0;
};

// Lookup order is registration order: "MIME" before "UUE".
class TIdMessageDecoderList {
public:
    static TIdMessageDecoderList& Instance();
    void RegisterDecoder(std::string name, std::unique_ptr<TIdMessageDecoderInfo> info);
    std::unique_ptr<TIdMessageDecoder> FindDecoderForLine(TIdMessage& message, std::string_view line) const;
    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& NameAt(int index) const { return entries_.at(static_cast<std::size_t>(index)).first; }

private:
    std::vector<std::pair<std::string, std::unique_ptr<TIdMessageDecoderInfo>>> entries_;
};

std::unique_ptr<TIdMessageDecoder> FindDecoderForLine(TIdMessage& message, std::string_view line);

// Builds the process-wide tables once: the decoder registry ("MIME" before
// "UUE"), the header charset converters and the decode tables. Safe to call
// more than once; loading calls it.
void InitializeReader();
