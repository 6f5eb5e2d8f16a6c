#include "reader/io/tcp_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "line_source_support.h"
#include "reader/exceptions.h"

using line_reader_test::Letters;
using line_reader_test::MsgReader;
using line_reader_test::RecordingStream;

namespace {

std::string ReadExactly(TStream& stream, std::size_t n) {
    std::string bytes(n, '?');
    EXPECT_EQ(stream.Read(bytes.data(), n), n);
    return bytes;
}

TEST(TcpStream, ReadsExactlyWhatIsAskedFor) {
    const std::string big = Letters(100000);
    MsgReader reader("head\r\n" + big + "tail\n");
    TIdTCPStream stream(reader.handler);
    EXPECT_EQ(reader.handler.ReadLine(), "head");
    EXPECT_EQ(ReadExactly(stream, 0), "");
    // Across several chunks, then lines go on right behind the bytes taken.
    EXPECT_EQ(ReadExactly(stream, 70000), big.substr(0, 70000));
    EXPECT_EQ(ReadExactly(stream, 5), big.substr(70000, 5));
    EXPECT_EQ(reader.handler.ReadLine("\n", -1, 0), big.substr(70005) + "tail");
    EXPECT_EQ(ReadExactly(stream, 3), ".\r\n");
}

TEST(TcpStream, ReadPastTheEndTimesOut) {
    struct Row {
        const char* name;
        std::string file;
        std::size_t first;  // read first, fits
        std::size_t second; // one byte too many
    } rows[] = {
        {"empty file", "", 0, 6},
        {"at once", "abc", 0, 9},
        {"after a read", "abc\n", 4, 4},
    };
    for (const Row& row : rows) {
        MsgReader reader(row.file);
        TIdTCPStream stream(reader.handler);
        ReadExactly(stream, row.first);
        std::string bytes(row.second, '?');
        try {
            stream.Read(bytes.data(), row.second);
            ADD_FAILURE() << row.name << ": no error";
        } catch (const EIdReadTimeout& e) {
            EXPECT_STREQ(e.what(), "Read timed out.") << row.name;
        }
    }
}

TEST(TcpStream, WritesGoToTheSendStreamOnly) {
    RecordingStream receive("x\n");
    TIdIOHandlerStreamMsg readOnly(&receive);
    readOnly.FreeStreams = false;
    readOnly.Open();
    TIdTCPStream noWriteSide(readOnly);
    EXPECT_THROW(noWriteSide.Write("a", 1), EIdNotConnected);

    TMemoryStream send;
    TIdIOHandlerStream both(&receive, &send);
    both.FreeStreams = false;
    both.Open();
    TIdTCPStream stream(both);
    stream.Write("abc", 3);
    EXPECT_EQ(send.Data(), "abc");
}

}  // namespace
