#pragma once
// MIME parts: the start probe for delimiter lines, the decoder that reads a
// part's header and body, and the decoder for a closing delimiter met while
// no part is open.

#include <memory>
#include <string>
#include <string_view>

#include "reader/decoding/message_decoder.h"

class TIdMessageDecoderInfoMIME final : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> ProbeStartLine(TIdMessage& message, std::string_view line) const override;
};

class TIdMessageDecoderMIME final : public TIdMessageDecoder {
public:
    // A part after a delimiter, or a message read as one part.
    explicit TIdMessageDecoderMIME(TIdMessage* owner);
    // firstLine was read before the decoder existed and is body data.
    TIdMessageDecoderMIME(TIdMessage* owner, std::string firstLine);

    std::string PendingFirstLine;
    bool HasPendingFirstLine = false;
    bool MessageLevelPart = false;
    std::string Boundary;

    void ReadPartHeader() override;
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TStream& destination, bool& messageEnd) override;

    void ClassifyPart(std::string_view contentType, std::string_view contentDisposition);
    static std::string PartFileNameFromHeaders(std::string_view contentType,
                                               std::string_view dispositionParameters);
    // The name as the headers write it, encoded words still in it.
    static std::string_view RawPartFileName(std::string_view contentType, std::string_view dispositionParameters);
    // What follows the first ";" of a Content-Disposition value.
    static std::string_view DispositionParameters(std::string_view contentDisposition);
    static std::string SanitizeFileName(std::string_view name);
    static std::string HeaderLineToNameValue(std::string_view line);

private:
    std::string line_;  // reused for every line of the part
};

class TIdMessageDecoderMIMEIgnore final : public TIdMessageDecoder {
public:
    using TIdMessageDecoder::TIdMessageDecoder;

    void ReadPartHeader() override { PartKind = pkIgnore; }
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TStream&, bool& messageEnd) override {
        messageEnd = false;
        return nullptr;
    }
};
