#include "reader/io/io_handler.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "line_source_support.h"
#include "platform/clock.h"
#include "reader/exceptions.h"

using line_reader_test::Letters;
using line_reader_test::MsgReader;
using line_reader_test::RecordingStream;

namespace {

constexpr std::size_t kChunk = 32768;

// ReadLine until the source is dry.
std::vector<std::string> LinesUntilDry(TIdIOHandler& handler) {
    std::vector<std::string> lines;
    std::string line;
    for (int guard = 0; guard < 1000000; ++guard) {
        handler.ReadLineInto(line);
        if (handler.LineTimedOut()) return lines;
        lines.push_back(line);
    }
    ADD_FAILURE() << "the reader never ran dry";
    return lines;
}

// ReadLnRFC up to the end of the message; the end line itself is left out.
std::vector<std::string> MessageLines(TIdIOHandler& handler) {
    std::vector<std::string> lines;
    std::string line;
    bool msgEnd = false;
    for (int guard = 0; guard < 1000000; ++guard) {
        handler.ReadLnRFCInto(line, msgEnd);
        if (msgEnd) return lines;
        if (handler.LineTimedOut()) {
            ADD_FAILURE() << "the data ended without an end-of-data line";
            return lines;
        }
        lines.push_back(line);
    }
    ADD_FAILURE() << "the message never ended";
    return lines;
}

template <typename E, typename Fn>
std::string ErrorText(Fn fn) {
    try {
        fn();
    } catch (const E& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ReadLine, Framing) {
    struct Row {
        const char* name;
        std::string file;
        std::vector<std::string> lines;
    } rows[] = {
        {"lf", "a\nb\n", {"a", "b", "."}},
        {"cr lf", "a\r\nb\r\n", {"a", "b", "."}},
        {"lone cr stays", "a\rb\r\n", {"a\rb", "."}},
        {"only the cr before the lf goes", "a\r\r\n", {"a\r", "."}},
        {"empty lines", "\n\r\n\n", {"", "", "", "."}},
        {"last line without break", "a\nbc", {"a", "bc", "."}},
        {"last byte cr", "a\r", {"a", "."}},
        {"empty file", "", {"", "."}},
        {"dots are kept", ".a\n..\n.\n", {".a", "..", ".", "."}},
    };
    for (const Row& row : rows) {
        MsgReader reader(row.file);
        EXPECT_EQ(LinesUntilDry(reader.handler), row.lines) << row.name;
    }
}

TEST(ReadLine, EndOfDataMarkerFollowsTheLastByte) {
    struct Row {
        const char* name;
        std::string file;
        std::string marker;
        unsigned char lastByte;
    } rows[] = {
        {"after lf", "x\n", ".\r\n", '\n'},
        {"after cr", "x\r", "\n.\r\n", '\r'},
        {"after other byte", "x", "\r\n.\r\n", 'x'},
        {"empty file", "", "\r\n.\r\n", 0},
    };
    for (const Row& row : rows) {
        // A chunk smaller than the marker must still carry all of it.
        for (int recvBufferSize : {32768, 2}) {
            MsgReader reader(row.file);
            reader.handler.RecvBufferSize = recvBufferSize;
            std::string all(row.file.size() + row.marker.size(), '?');
            reader.handler.ReadBytes(all.data(), all.size());
            EXPECT_EQ(all, row.file + row.marker) << row.name << " " << recvBufferSize;
            EXPECT_TRUE(reader.handler.MarkerAppended()) << row.name;
            EXPECT_EQ(reader.handler.LastByteRead(), row.lastByte) << row.name;
            char more;
            EXPECT_THROW(reader.handler.ReadBytes(&more, 1), EIdReadTimeout) << row.name;
        }
    }
}

TEST(ReadLine, LongLinesAreSplitAtTheLimit) {
    struct Segment {
        std::size_t length;
        bool split;
        bool operator==(const Segment&) const = default;
    };
    struct Row {
        const char* name;
        std::string file;
        int maxLineLength;
        std::vector<Segment> segments;  // the "." line included
    } rows[] = {
        {"limit with lf", Letters(16384) + "\n", 16384, {{16384, false}, {1, false}}},
        {"limit with cr lf", Letters(16384) + "\r\n", 16384, {{16384, true}, {0, false}, {1, false}}},
        {"limit without break", Letters(16384), 16384, {{16384, true}, {0, false}, {1, false}}},
        {"one over", Letters(16385) + "\n", 16384, {{16384, true}, {1, false}, {1, false}}},
        {"40000", Letters(40000) + "\n", 16384, {{16384, true}, {16384, true}, {7232, false}, {1, false}}},
        {"40000 cr lf", Letters(40000) + "\r\n", 16384, {{16384, true}, {16384, true}, {7232, false}, {1, false}}},
        {"no limit", Letters(40000) + "\n", 0, {{40000, false}, {1, false}}},
        {"small limit", "abcdefg\n", 3, {{3, true}, {3, true}, {1, false}, {1, false}}},
    };
    for (const Row& row : rows) {
        MsgReader reader(row.file);
        reader.handler.MaxLineLength = row.maxLineLength;
        std::vector<Segment> got;
        std::string joined;
        std::string line;
        for (;;) {
            reader.handler.ReadLineInto(line);
            if (reader.handler.LineTimedOut()) break;
            got.push_back({line.size(), reader.handler.LineSplit()});
            if (line != ".") joined += line;
        }
        EXPECT_EQ(got, row.segments) << row.name;
        std::string text = row.file;
        std::erase(text, '\r');
        std::erase(text, '\n');
        EXPECT_EQ(joined, text) << row.name;
    }
}

TEST(ReadLnRFC, DotLines) {
    std::string tenLines;
    std::vector<std::string> tenLinesRead;
    for (int i = 0; i < 10; ++i) {
        tenLines += "line " + std::to_string(i) + "\r\n";
        tenLinesRead.push_back("line " + std::to_string(i));
    }
    // 2730 lines of 12 bytes and one of 5: the "." line closes the first chunk.
    std::string fullChunk;
    std::vector<std::string> fullChunkRead;
    for (int i = 0; i < 2730; ++i) {
        fullChunk += "0123456789\r\n";
        fullChunkRead.push_back("0123456789");
    }
    fullChunk += "abc\r\n";
    fullChunkRead.push_back("abc");
    auto with = [](std::vector<std::string> lines, std::vector<std::string> more) {
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    };

    struct Row {
        const char* name;
        std::string file;
        std::vector<std::string> lines;
        bool markerRead;
    } rows[] = {
        {"leading dot removed", ".abc\r\n", {"abc"}, true},
        {"double dot keeps one", "..abc\r\n", {".abc"}, true},
        {"double dot alone is no end", "..\r\nx\r\n", {".", "x"}, true},
        {"lone dot mid file", tenLines + ".\r\n" + tenLines, with(with(tenLinesRead, {"|"}), tenLinesRead), true},
        {"lone dot as last line ends", "a\r\n.\r\n", {"a"}, false},
        {"lone dot with 5 bytes behind", "a\r\n.\r\nbcd\r\n", {"a", "|", "bcd"}, true},
        {"lone dot with 6 bytes behind", "a\r\n.\r\nbcde\r\n", {"a", "|", "bcde"}, true},
        {"lone dot closing a chunk", fullChunk + ".\r\nmore\r\n", with(fullChunkRead, {"|", "more"}), true},
        {"each segment on its own", Letters(16384) + ".abc\n", {Letters(16384), "abc"}, true},
        {"unterminated last line", "a\r\nb", {"a", "b"}, true},
        {"empty file", "", {""}, true},
    };
    for (const Row& row : rows) {
        MsgReader reader(row.file);
        EXPECT_EQ(MessageLines(reader.handler), row.lines) << row.name;
        EXPECT_EQ(reader.handler.MarkerAppended(), row.markerRead) << row.name;
    }
}

TEST(ReadLine, AfterTheMarkerOnlyEmptyTimedOutLines) {
    MsgReader reader("a\r\n");
    EXPECT_EQ(MessageLines(reader.handler), std::vector<std::string>{"a"});
    for (int i = 0; i < 3; ++i) {
        std::string line = "stale";
        reader.handler.ReadLineInto(line);
        EXPECT_EQ(line, "");
        EXPECT_TRUE(reader.handler.LineTimedOut());
        bool msgEnd = true;
        EXPECT_EQ(reader.handler.ReadLnRFC(msgEnd), "");
        EXPECT_FALSE(msgEnd);
        EXPECT_TRUE(reader.handler.LineTimedOut());
    }
}

// The lines, split flags and buffered counts that the straightforward
// reading gives: refill by whole chunks only when no LF is buffered, search
// every time from the head, then the marker as one more chunk.
struct Seen {
    std::string line;
    bool split;
    std::size_t buffered;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> ReferenceLines(const std::string& file, std::size_t limit) {
    std::vector<std::string> chunks;
    for (std::size_t pos = 0; pos < file.size(); pos += kChunk) chunks.push_back(file.substr(pos, kChunk));
    const char last = file.empty() ? '\0' : file.back();
    chunks.push_back(last == '\n' ? ".\r\n" : last == '\r' ? "\n.\r\n" : "\r\n.\r\n");
    std::vector<Seen> seen;
    std::string buffer;
    std::size_t head = 0;
    std::size_t next = 0;
    for (;;) {
        const std::size_t held = buffer.size() - head;
        const std::size_t lf = buffer.find('\n', head);
        const std::size_t termPos = lf == std::string::npos ? 0 : lf - head;
        if ((lf != std::string::npos && termPos > limit) || (lf == std::string::npos && held > limit)) {
            seen.push_back({buffer.substr(head, limit), true, held - limit});
            head += limit;
        } else if (lf != std::string::npos) {
            const std::size_t length = termPos > 0 && buffer[lf - 1] == '\r' ? termPos - 1 : termPos;
            seen.push_back({buffer.substr(head, length), false, held - termPos - 1});
            head = lf + 1;
        } else if (next < chunks.size()) {
            buffer.erase(0, head);
            head = 0;
            buffer += chunks[next++];
        } else {
            return seen;
        }
    }
}

// Lines of mixed length and ending, some far over the limit, some with dots.
std::string MixedFile(std::size_t approxSize, unsigned seed) {
    std::mt19937 random(seed);
    std::string file;
    while (file.size() < approxSize) {
        const unsigned kind = random() % 100;
        std::size_t length = random() % 120;
        if (kind < 2) length = 16380 + random() % 8;
        if (kind == 2) length = 20000 + random() % 60000;
        std::string line = Letters(length);
        if (kind == 3) line = ".";
        if (kind == 4) line = "." + line;
        if (kind == 5 && !line.empty()) line[line.size() / 2] = '\r';
        file += line;
        file += (random() % 2) ? "\r\n" : "\n";
    }
    return file;
}

TEST(ReadLine, BuffersWhatChunkedReadingBuffers) {
    const std::string file = MixedFile(3 * 1024 * 1024, 11);
    MsgReader reader(file);
    std::vector<Seen> seen;
    std::string line;
    for (;;) {
        reader.handler.ReadLineInto(line);
        if (reader.handler.LineTimedOut()) break;
        seen.push_back({line, reader.handler.LineSplit(), reader.handler.InputBuffer().Size()});
    }
    const std::vector<Seen> expected = ReferenceLines(file, 16384);
    ASSERT_EQ(seen.size(), expected.size());
    for (std::size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], expected[i]) << "line " << i;

    for (std::size_t request : reader.stream.requests) EXPECT_LE(request, kChunk);
    // Each byte is looked at once: the file and the ".\r\n" marker.
    EXPECT_EQ(reader.handler.BytesScanned(), file.size() + 3);
}

TEST(ReadLine, OneHugeLineIsScannedOnce) {
    const std::string file = Letters(6 * 1024 * 1024 + 123) + "\n";
    struct Row {
        const char* name;
        int maxLineLength;
        std::size_t segments;
    } rows[] = {
        {"split into segments", 16384, (file.size() - 1 + 16383) / 16384},
        {"no limit", 0, 1},
    };
    for (const Row& row : rows) {
        RecordingStream stream(file);
        TIdIOHandlerStream handler(&stream);
        handler.FreeStreams = false;
        handler.MaxLineLength = row.maxLineLength;
        handler.Open();
        const std::vector<std::string> lines = LinesUntilDry(handler);
        EXPECT_EQ(lines.size(), row.segments) << row.name;
        EXPECT_EQ(handler.BytesScanned(), file.size()) << row.name;
        EXPECT_EQ(stream.requests.size(), (file.size() + kChunk - 1) / kChunk) << row.name;
        for (std::size_t request : stream.requests) EXPECT_LE(request, kChunk) << row.name;
    }
}

TEST(ReadLine, TerminatorOfTwoBytesAcrossChunks) {
    // The CR is the last byte of the first chunk, the LF the first of the next.
    const std::string first = Letters(kChunk - 1);
    MsgReader reader(first + "\r\nnext\r\n");
    EXPECT_EQ(reader.handler.ReadLine("\r\n", -1, 0), first);
    EXPECT_EQ(reader.handler.ReadLine("\r\n", -1, 0), "next");
}

TEST(ReadLine, ChangingTheTerminatorSearchesAfresh) {
    MsgReader reader("abXc\nd\n");
    EXPECT_EQ(reader.handler.ReadLine("X", -1, 1), "a");  // split before the X
    EXPECT_TRUE(reader.handler.LineSplit());
    EXPECT_EQ(reader.handler.ReadLine("\n"), "bXc");
    EXPECT_EQ(reader.handler.ReadLine("X"), "");  // no X up to the marker
    EXPECT_TRUE(reader.handler.LineTimedOut());
    EXPECT_EQ(reader.handler.ReadLine("\n"), "d");
}

TEST(ReadLine, GivesUpWhenTheTimeoutPasses) {
    std::uint32_t now = 1000;
    platform::SetTickCountSource([&] { return now += 40; });
    MsgReader reader(Letters(10 * kChunk));
    reader.handler.MaxLineLength = 0;
    EXPECT_EQ(reader.handler.ReadLine("\n", 100), "");
    EXPECT_TRUE(reader.handler.LineTimedOut());
    EXPECT_LT(reader.stream.requests.size(), 10u);
    platform::SetTickCountSource({});
}

TEST(IOHandlerStream, SourceProblems) {
    struct Row {
        const char* name;
        std::function<std::string()> run;
        std::string expected;
    } rows[] = {
        {"no streams",
         [] {
             TIdIOHandlerStream handler(nullptr);
             handler.Open();
             return ErrorText<EIdConnClosedGracefully>([&] { handler.ReadLine(); });
         },
         "Connection Closed Gracefully."},
        {"owned stream freed by close",
         [] {
             TIdIOHandlerStreamMsg handler(new RecordingStream("a\n"));
             handler.Open();
             handler.Close();
             return ErrorText<EIdConnClosedGracefully>([&] { handler.ReadLine(); });
         },
         "Connection Closed Gracefully."},
        {"send stream only",
         [] {
             RecordingStream send("");
             TIdIOHandlerStream handler(nullptr, &send);
             handler.FreeStreams = false;
             handler.Open();
             return ErrorText<EIdException>([&] { handler.ReadLine(); });
         },
         "Not Connected"},
        {"never opened",
         [] {
             RecordingStream stream("a\n");
             TIdIOHandlerStreamMsg handler(&stream);
             handler.FreeStreams = false;
             return ErrorText<EIdNotConnected>([&] { handler.ReadLine(); });
         },
         "Not Connected"},
        {"never opened, not raising",
         [] {
             RecordingStream stream("a\n");
             TIdIOHandlerStreamMsg handler(&stream);
             handler.FreeStreams = false;
             return std::to_string(handler.FillFromSource(false, -1, false));
         },
         "0"},
        {"size promises more than the stream has",
         [] {
             RecordingStream stream("a\nb", 100);
             TIdIOHandlerStream handler(&stream);
             handler.FreeStreams = false;
             handler.Open();
             const std::string first = handler.ReadLine();
             const std::string second = handler.ReadLine();
             return first + "|" + second + "|" + (handler.LineTimedOut() ? "timed out" : "");
         },
         "a||timed out"},
    };
    for (const Row& row : rows) EXPECT_EQ(row.run(), row.expected) << row.name;
}

// Tells when it is destroyed.
class WatchedStream final : public TStream {
public:
    explicit WatchedStream(int& destroyed) : destroyed_(destroyed) {}
    ~WatchedStream() override { ++destroyed_; }
    std::size_t Read(void*, std::size_t) override { return 0; }
    void Write(const void*, std::size_t) override {}
    std::int64_t Position() const override { return 0; }
    std::int64_t Size() const override { return 0; }
    void Seek(std::int64_t) override {}

private:
    int& destroyed_;
};

TEST(IOHandlerStream, StreamOwnership) {
    int destroyed = 0;
    {
        WatchedStream borrowed(destroyed);
        TIdIOHandlerStreamMsg handler(&borrowed);
        handler.FreeStreams = false;
        handler.Open();
        handler.Close();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);  // the borrowed stream's own end
    destroyed = 0;
    { TIdIOHandlerStreamMsg handler(new WatchedStream(destroyed)); }
    EXPECT_EQ(destroyed, 1);
    destroyed = 0;
    {
        auto* both = new WatchedStream(destroyed);
        TIdIOHandlerStream handler(both, both);
    }
    EXPECT_EQ(destroyed, 1);  // one stream in both slots is freed once
}

TEST(IOHandlerStream, StreamsSuppliedAtOpen) {
    RecordingStream stream("from the event\n");
    TIdIOHandlerStreamMsg handler(nullptr);
    handler.FreeStreams = false;
    EXPECT_EQ(handler.StreamType(), TIdIOHandlerStreamType::stReadWrite);
    handler.OnGetStreams = [&](TIdIOHandlerStream&, TStream*& receive, TStream*&) { receive = &stream; };
    handler.Open();
    EXPECT_EQ(handler.StreamType(), TIdIOHandlerStreamType::stRead);
    EXPECT_EQ(handler.ReadLine(), "from the event");
}

}  // namespace
