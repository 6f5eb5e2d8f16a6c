#include "reader/decoding/message_decoder_uue.h"

#include "platform/codepage.h"
#include "reader/decoding/decoder_00e.h"
#include "reader/exceptions.h"
#include "reader/headers/header_text.h"

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoUUE::ProbeStartLine(TIdMessage& message,
                                                                            std::string_view line) const {
    // Most lines differ in the first letter already: no compare call for them.
    if (line.empty() || (line[0] != 'b' && line[0] != 'B')) return nullptr;
    if (!platform::StartsTextLocale(line, "begin ")) return nullptr;
    // "begin ", a mode of up to three characters, a space, the name: a
    // four-digit mode or a two-digit one with a single space is no block.
    if (line.size() < 10 || line[9] != ' ') return nullptr;
    if (StrToIntDef(line.substr(6, 3), 0) <= 0) return nullptr;

    auto decoder = std::make_unique<TIdMessageDecoderUUE>(&message);
    decoder->PartFileName = std::string(line.substr(10));
    decoder->PartKind = pkAttachment;
    return decoder;
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderUUE::ReadPartBody(TStream& destination, bool& messageEnd) {
    messageEnd = false;
    ReadMessageLineInto(line_, messageEnd);
    if (messageEnd || line_.empty()) return nullptr;

    // The length character of the first data line tells the alphabets apart:
    // XXE's full-line length is "h", UUE's lengths lie in space..."U".
    std::unique_ptr<TIdDecoder00E> decoder;
    const unsigned char c = static_cast<unsigned char>(line_[0]);
    if (c >= 0x20 && c <= 0x55) {
        decoder = std::make_unique<TIdDecoderUUE>();
        CodingName = "UUE";
    } else if (c == 'h') {
        decoder = std::make_unique<TIdDecoderXXE>();
        CodingName = "XXE";
    } else {
        throw EIdException("Unrecognized UUE encoding scheme.");
    }
    decoder->BeginDecode(destination);
    const char fill = decoder->FillChar();

    for (;;) {
        const bool fillOnly = line_.size() == 1 && line_[0] == fill;
        if (!TrimmedView(line_).empty() && !fillOnly) decoder->DecodeText(line_);
        ReadMessageLineInto(line_, messageEnd);
        if (messageEnd) break;
        const std::string_view trimmed = TrimmedView(line_);
        if (trimmed.size() == 3 && platform::SameTextLocale(trimmed, "end")) break;
    }
    decoder->EndDecode();
    return nullptr;
}
