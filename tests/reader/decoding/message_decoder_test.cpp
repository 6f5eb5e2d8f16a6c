#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "body_test_support.h"
#include "reader/decoding/message_decoder.h"
#include "reader/decoding/message_decoder_mime.h"
#include "reader/decoding/message_decoder_uue.h"

using body_test::LineFeed;
using body_test::LoadedMail;

namespace {

TEST(MessageDecoderList, MimeIsAskedBeforeUue) {
    InitializeReader();
    InitializeReader();  // a second call registers nothing more
    const TIdMessageDecoderList& list = TIdMessageDecoderList::Instance();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.NameAt(0), "MIME");
    EXPECT_EQ(list.NameAt(1), "UUE");

    TIdMessage message;
    EXPECT_NE(dynamic_cast<TIdMessageDecoderUUE*>(FindDecoderForLine(message, "begin 644 f").get()), nullptr);
    EXPECT_FALSE(FindDecoderForLine(message, "--b"));

    // A line both would take goes to MIME.
    message.BoundaryStack.PushBoundary("b", -1);
    message.ContentTransferEncoding = "base64";
    EXPECT_NE(dynamic_cast<TIdMessageDecoderMIME*>(FindDecoderForLine(message, "begin 644 f").get()), nullptr);
}

struct Read {
    std::string line;
    bool end;
};

std::vector<Read> ReadAll(std::string_view bytes, std::string_view terminator = "\n") {
    LineFeed feed(bytes);
    TIdMessageDecoderUUE decoder(nullptr);
    feed.Attach(decoder);
    std::vector<Read> out;
    for (int guard = 0; guard < 20; ++guard) {
        bool end = false;
        std::string line = decoder.ReadMessageLine(end, terminator);
        out.push_back({line, end});
        if (end) break;
    }
    return out;
}

TEST(MessageDecoderLines, DotRulesAndTheEndOfData) {
    const auto lines = ReadAll("..two\r\n.one\r\n.\r\nmore data\r\n.\r\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].line, ".two");
    EXPECT_EQ(lines[1].line, "one");
    EXPECT_EQ(lines[2].line, "|");  // more data follows
    EXPECT_FALSE(lines[2].end);
    EXPECT_EQ(lines[3].line, "more data");
    EXPECT_EQ(lines[4].line, ".");
    EXPECT_TRUE(lines[4].end);
}

TEST(MessageDecoderLines, LongLinesAreJoined) {
    const std::string longLine(40000, 'a');
    const auto lines = ReadAll("." + longLine + "\r\n" + std::string(16384, 'b') + "\r\nx");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].line, longLine) << "the dot rule applies to the joined line";
    EXPECT_EQ(lines[1].line, std::string(16384, 'b'));
    EXPECT_EQ(lines[2].line, "x");
    EXPECT_TRUE(lines[3].end);
}

TEST(MessageDecoderLines, CrLfTerminatorKeepsLoneLineFeeds) {
    const auto lines = ReadAll("a\nb\r\nc\r\n", "\r\n");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].line, "a\nb");
    EXPECT_EQ(lines[1].line, "c");
}

TEST(MessageDecoderLines, ReadingPastTheEndReportsTheEnd) {
    // With CR LF as terminator the end-of-data line of an LF file is glued
    // to the last line; the read after it must still end the message.
    const auto lines = ReadAll("a\nb\n", "\r\n");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].line, "a\nb\n.");
    EXPECT_TRUE(lines[1].end);
}

TEST(MessageDecoderLines, BinaryPartOfAnLfFileDoesNotHangTheLoad) {
    LoadedMail mail("MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
                    "Content-Type: application/octet-stream\nContent-Transfer-Encoding: binary\n\nabc\n--b--\n");
    ASSERT_EQ(mail.message.Parts.Count(), 1);
    // Without CR LF no delimiter is seen: the rest of the file is content.
    EXPECT_EQ(mail.Bytes(0), "abc\n--b--\n.");
}

TEST(MessageDecoder, BorrowedLineSourceIsNotFreed) {
    LineFeed feed("line\r\n");
    TIdTCPStream borrowed(feed.IO());
    {
        TIdMessageDecoderUUE decoder(nullptr);
        decoder.OwnsLineSource = false;
        decoder.SetLineSource(std::unique_ptr<TIdTCPStream>(&borrowed));
        EXPECT_EQ(decoder.ReadSourceLine(), "line");
    }
    EXPECT_EQ(&borrowed.IOHandler(), &feed.IO());  // still alive; ASan reports a wrong free
}

TEST(MessageDecoder, PartHeaderValueMatchesNamesIgnoringCase) {
    TIdMessageDecoderUUE decoder(nullptr);
    decoder.PartHeaders.Add("no separator");
    decoder.PartHeaders.Add("Content-Type=text/plain; a=b");
    decoder.PartHeaders.Add("content-type=second");
    decoder.PartHeaders.Add("X-Empty=");
    EXPECT_EQ(decoder.PartHeaderValue("CONTENT-TYPE"), "text/plain; a=b");
    EXPECT_EQ(decoder.PartHeaderValue("X-Empty"), "");
    EXPECT_EQ(decoder.PartHeaderValue("no separator"), "");
    EXPECT_EQ(decoder.PartHeaderValue("Missing"), "");
}

}  // namespace
