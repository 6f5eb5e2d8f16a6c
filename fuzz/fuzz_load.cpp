// The whole load from bytes: every part walked, every attachment copied, and
// no temporary file left once the message is freed.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "fuzz_support.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "reader/message/message.h"

namespace {

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

void WalkList(TIdEMailAddressList& list) {
    for (int i = 0; i < list.Count(); ++i) (void)list.Items(i).Text();
}

void Walk(TIdMessage& message) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = fuzz::ScratchDir();
    {
        TIdMessage message;
        message.SetAttachmentTempDirectory(dir);
        TMemoryStream source(std::string_view(reinterpret_cast<const char*>(data), size));
        try {
            message.LoadMessageStream(source);
        } catch (const EIdException&) {
            // Clean failures are fine; anything else escapes and is a finding.
        }
        Walk(message);
    }
    fuzz::RequireEmpty(dir);
    return 0;
}
