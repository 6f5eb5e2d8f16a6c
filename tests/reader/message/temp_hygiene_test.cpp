// Whatever a load does, successful or not, the attachment folder is empty
// once the message is freed; a part dropped during the load takes its file
// at once.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "reader/message/message.h"
#include "reader/message/resource_bounds_support.h"

namespace {

using resource_bounds::ScratchFolder;

// Serves the bytes, then fails every read: a disk that goes away mid-mail.
class BreakingStream final : public TStream {
public:
    explicit BreakingStream(std::string bytes) : bytes_(std::move(bytes)) {}
    std::size_t Read(void* buffer, std::size_t n) override {
        if (pos_ >= bytes_.size()) throw EFileError("Stream read error: device gone");
        n = std::min(n, bytes_.size() - pos_);
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    void Write(const void*, std::size_t) override {}
    std::int64_t Position() const override { return static_cast<std::int64_t>(pos_); }
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()) + 4096; }
    void Seek(std::int64_t position) override { pos_ = static_cast<std::size_t>(position); }

private:
    std::string bytes_;
    std::size_t pos_ = 0;
};

const std::string kAttachments =
    "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
    "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
    "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n"
    "--b\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\ninner text\r\n"
    "--b--\r\n";

struct Case {
    const char* name;
    std::string bytes;
    bool breakAtEnd;        // the source fails once its bytes are served
    bool headersOnly;
    int filesWhileLoaded;   // attachment files present before the message is freed
};

const Case kCases[] = {
    {"inline UUE block of a plain mail", "Subject: x\r\n\r\nbefore\r\nbegin 644 x.bin\r\n#86)C\r\n`\r\nend\r\nafter\r\n",
     false, false, 1},
    {"attachments of every kind", kAttachments, false, false, 2},
    {"headers only", kAttachments, false, true, 0},
    {"source breaks inside an attachment",
     "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
     "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\nREVG\r\n",
     true, false, -1},
    {"source breaks in the header block", "Subject: x\r\nContent-Type: multipart/mixed; bound", true, false, -1},
    {"broken BinHex is dropped with its file",
     "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
     "--b\r\nContent-Type: application/mac-binhex40\r\n\r\nno colon here\r\n--b--\r\n",
     false, false, 0},
    {"single-part base64 attachment",
     "MIME-Version: 1.0\r\nContent-Type: application/pdf\r\nContent-Transfer-Encoding: base64\r\n\r\nJVBERi0=\r\n",
     false, false, 1},
    {"unclosed multipart at the end of the data",
     "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
     "--b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBO",
     false, false, 1},
};

TEST(TempHygiene, AttachmentFolderIsEmptyOnceTheMessageIsFreed) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ASSERT_TRUE(folder.Entries().empty());
        {
            auto message = std::make_unique<TIdMessage>();
            message->SetAttachmentTempDirectory(folder.Path());
            std::unique_ptr<TStream> source;
            if (c.breakAtEnd) {
                source = std::make_unique<BreakingStream>(c.bytes);
            } else {
                source = std::make_unique<TMemoryStream>(c.bytes);
            }
            try {
                message->LoadMessageStream(*source, c.headersOnly);
            } catch (const std::exception&) {
                // A failed load keeps what it read; its files are still its own.
            }
            if (c.filesWhileLoaded >= 0) {
                EXPECT_EQ(folder.Entries().size(), static_cast<std::size_t>(c.filesWhileLoaded));
            }
            // Every file there belongs to a part of the message.
            int owned = 0;
            for (int i = 0; i < message->Parts.Count(); ++i)
                if (auto* file = dynamic_cast<TIdAttachmentFile*>(&message->Parts.Items(i)))
                    owned += file->OwnsTempFile && !file->Blocked ? 1 : 0;
            EXPECT_EQ(folder.Entries().size(), static_cast<std::size_t>(owned));
        }
        EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
    }
}

TEST(TempHygiene, ReloadingFreesTheFilesOfTheLoadBefore) {
    ScratchFolder folder;
    TIdMessage message;
    message.SetAttachmentTempDirectory(folder.Path());
    for (int round = 0; round < 3; ++round) {
        TMemoryStream source(kAttachments);
        message.LoadMessageStream(source);
        EXPECT_EQ(folder.Entries().size(), 2u) << "round " << round;
    }
    BreakingStream broken("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n");
    EXPECT_ANY_THROW(message.LoadMessageStream(broken));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
}

}  // namespace
