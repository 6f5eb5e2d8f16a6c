#pragma once
// What each reader fuzz target does with one input. The targets call these;
// the regression tests replay every input that ever failed through the same
// code. A walk returns the empty text, or what it found wrong; crashes,
// leaks and escaping exceptions are findings of their own.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "reader/decoding/decoder_00e.h"
#include "reader/decoding/decoder_4to3.h"
#include "reader/decoding/decoder_quoted_printable.h"
#include "reader/exceptions.h"
#include "reader/headers/email_address.h"
#include "reader/headers/encoded_words.h"
#include "reader/headers/mail_date.h"
#include "reader/io/stream.h"
#include "reader/message/message.h"

namespace fuzz {

namespace detail {

class NullStream final : public TStream {
public:
    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void*, std::size_t n) override { written_ += n; }
    std::int64_t Position() const override { return 0; }
    std::int64_t Size() const override { return 0; }
    void Seek(std::int64_t) override {}

private:
    std::size_t written_ = 0;
};

inline void WalkList(TIdEMailAddressList& list) {
    for (int i = 0; i < list.Count(); ++i) (void)list.Items(i).Text();
}

inline void WalkMessage(TIdMessage& message) {
    (void)message.From().Text();
    for (TIdEMailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList, &message.ReplyTo})
        WalkList(*list);
    (void)message.Body.Text();
    for (int i = 0; i < message.Parts.Count(); ++i) {
        TIdMessagePart& part = message.Parts.Items(i);
        (void)part.ContentID();
        (void)part.EffectiveContentType(part.Headers.ValueOf("Content-Type"));
        if (auto* text = dynamic_cast<TIdText*>(&part)) (void)text->Body.Text();
        if (auto* attachment = dynamic_cast<TIdAttachment*>(&part)) {
            NullStream sink;
            try {
                attachment->CopyToStream(sink);
            } catch (const EIdException&) {
                // A blocked attachment has no file to read.
            }
        }
    }
}

}  // namespace detail

// The whole load from bytes: every part walked, every attachment copied,
// and no temporary file left in attachDir once the message is freed.
inline std::string LoadWalk(std::string_view bytes, const std::string& attachDir) {
    {
        TIdMessage message;
        message.SetAttachmentTempDirectory(attachDir);
        TMemoryStream source(bytes);
        try {
            message.LoadMessageStream(source);
        } catch (const EIdException&) {
            // Clean failures are fine; anything else escapes and is a finding.
        }
        detail::WalkMessage(message);
    }
    const auto left = ListDir(attachDir);
    return left.empty() ? std::string() : "temporary file left behind in " + attachDir + ": " + left.front();
}

inline std::string EncodedWordsWalk(std::string_view bytes) {
    (void)DecodeEncodedWords(bytes);
    return {};
}

// Every item read back through Text must parse again.
inline std::string AddressListWalk(std::string_view bytes) {
    TIdEMailAddressList list;
    list.ParseAddressList(bytes);
    for (int i = 0; i < list.Count(); ++i) {
        const std::string text = list.Items(i).Text();
        TIdEMailAddressItem again;
        again.SetText(text);
        (void)again.Domain();
        (void)again.User();
    }
    return {};
}

// The first byte picks a zone: with and without daylight saving, with a
// half-hour offset, and one far from UTC.
inline std::string MailDateWalk(std::string_view bytes) {
    static constexpr const char* kZones[] = {"UTC", "Europe/Berlin", "America/St_Johns", "Pacific/Kiritimati"};
    static int current = -1;
    if (bytes.empty()) return {};
    const int zone = static_cast<unsigned char>(bytes[0]) % 4;
    if (zone != current) {
        setenv("TZ", kZones[zone], 1);
        tzset();
        current = zone;
    }
    (void)MailDateToLocal(bytes.substr(1));
    return {};
}

// The first byte picks the decoder; the rest comes in pieces of lengths the
// input chooses, so any line split is tried.
inline std::string TransferDecodersWalk(const std::uint8_t* data, std::size_t size) {
    Splitter input(data, size);
    std::unique_ptr<TIdDecoder> decoder;
    switch (input.Byte() % 6) {
        case 0: decoder = std::make_unique<TIdDecoderMIMELineByLine>(); break;
        case 1: decoder = std::make_unique<TIdDecoderQuotedPrintable>(); break;
        case 2: decoder = std::make_unique<TIdDecoderBinHex4>(); break;
        case 3: decoder = std::make_unique<TIdDecoderUUE>(); break;
        case 4: decoder = std::make_unique<TIdDecoderXXE>(); break;
        default: decoder = std::make_unique<TIdDecoderMIME>(); break;
    }
    TMemoryStream out;
    decoder->BeginDecode(out);
    try {
        while (!input.Done()) decoder->DecodeText(input.Piece());
        decoder->EndDecode();
    } catch (const EIdException&) {
        // Range errors and framing errors are the decoders' clean failures.
    }
    return {};
}

}  // namespace fuzz
