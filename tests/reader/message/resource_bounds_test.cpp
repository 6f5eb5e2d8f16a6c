// Hostile sizes: deep nesting, huge header blocks, giant lines, many parts
// and many encoded words must load without stack overflow and in linear
// time; a giant attachment must load in bounded memory. No timing is
// asserted: a quadratic step shows up as a test that never finishes.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "reader/headers/email_address.h"
#include "reader/headers/encoded_words.h"
#include "reader/io/stream.h"
#include "reader/message/message.h"
#include "reader/message/resource_bounds_support.h"

namespace fs = std::filesystem;

namespace {

using resource_bounds::GeneratedStream;
using resource_bounds::NestedMultipartOpening;
using resource_bounds::ScratchFolder;

constexpr std::uint64_t kMiB = 1024 * 1024;

class ResourceBounds : public ::testing::Test {
protected:
    void SetUp() override { message_.SetAttachmentTempDirectory(folder_.Path()); }

    void Load(TStream& stream) { message_.LoadMessageStream(stream); }
    void Load(const std::string& bytes) {
        TMemoryStream stream(bytes);
        Load(stream);
    }
    TIdText& TextPart(int index) { return dynamic_cast<TIdText&>(message_.Parts.Items(index)); }

    ScratchFolder folder_;
    TIdMessage message_;
};

TEST_F(ResourceBounds, HundredThousandNestedMultipartsLoadAsAParentChain) {
    constexpr int kDepth = 100000;
    std::string mail = NestedMultipartOpening(kDepth);
    mail += "--b" + std::to_string(kDepth - 1) + "\r\nContent-Type: text/plain\r\n\r\ninnermost\r\n";
    for (int i = kDepth - 1; i >= 0; --i) mail += "--b" + std::to_string(i) + "--\r\n";
    mail += "epilogue\r\n";

    Load(mail);

    ASSERT_EQ(message_.Parts.Count(), kDepth);
    for (int i = 0; i < kDepth; ++i) ASSERT_EQ(message_.Parts.Items(i).ParentPart, i - 1) << "part " << i;
    EXPECT_EQ(TextPart(kDepth - 2).ContentType, "multipart/mixed");
    EXPECT_EQ(TextPart(kDepth - 1).ContentType, "text/plain");
    EXPECT_EQ(TextPart(kDepth - 1).Body.Text(), "innermost\r\n");
    EXPECT_EQ(message_.BoundaryStack.BoundaryCount(), 0);
}

TEST_F(ResourceBounds, HundredThousandUnclosedNestedMultipartsLoad) {
    // The same depth without a single closing delimiter: the end of the data
    // closes everything.
    constexpr int kDepth = 100000;
    const std::string mail = NestedMultipartOpening(kDepth, "alternative");

    Load(mail);

    ASSERT_EQ(message_.Parts.Count(), kDepth - 1);
    EXPECT_EQ(message_.Parts.Items(kDepth - 2).ParentPart, kDepth - 3);
}

TEST_F(ResourceBounds, MillionHeaderLinesLoad) {
    constexpr int kLines = 1000000;
    GeneratedStream mail({{"X-Filler: some value of a header line\r\n", kLines},
                          {"Subject: after the filler\r\n\r\nbody\r\n", 1}});

    Load(mail);

    EXPECT_EQ(message_.Headers.Count(), kLines + 1);
    EXPECT_EQ(message_.Subject, "after the filler");
    EXPECT_EQ(message_.Body.Text(), "body\r\n");
}

TEST_F(ResourceBounds, MillionContinuationLinesOfOneFieldLoad) {
    constexpr int kLines = 1000000;
    GeneratedStream mail({{"Subject: start\r\n", 1}, {" more\r\n", kLines}, {"To: a@b.example\r\n\r\nbody\r\n", 1}});

    Load(mail);

    EXPECT_EQ(message_.Headers.Count(), kLines + 2);
    EXPECT_EQ(message_.Subject.size(), std::string("start").size() + kLines * std::string(" more").size());
    ASSERT_EQ(message_.Recipients.Count(), 1);
    EXPECT_EQ(message_.Recipients.Items(0).Address, "a@b.example");
}

TEST_F(ResourceBounds, MillionHeaderLinesOfAPartLoad) {
    constexpr int kLines = 1000000;
    GeneratedStream mail({{"MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n", 1},
                          {"X-Part-Filler: value\r\n", kLines},
                          {"Content-Type: text/plain\r\n\r\npart text\r\n--b--\r\n", 1}});

    Load(mail);

    ASSERT_EQ(message_.Parts.Count(), 1);
    EXPECT_EQ(TextPart(0).ContentType, "text/plain");
    EXPECT_EQ(TextPart(0).Body.Text(), "part text\r\n");
    EXPECT_EQ(TextPart(0).ExtraHeaders.Count(), kLines);
}

TEST_F(ResourceBounds, HundredMiBLineInASinglePartBodyLoads) {
    constexpr std::uint64_t kLength = 100 * kMiB;
    GeneratedStream mail({{"Subject: long line\r\n\r\n", 1}, {"x", kLength}, {"\r\nlast\r\n", 1}});

    Load(mail);

    // The body loop takes the line reader's 16384-byte segments as lines; the
    // CR LF after a segment of exactly that length comes as an empty line.
    constexpr int kSegments = static_cast<int>(kLength / 16384);
    ASSERT_EQ(message_.Body.Count(), kSegments + 2);
    for (int i = 0; i < kSegments; ++i) ASSERT_EQ(message_.Body[i].size(), 16384u) << "segment " << i;
    EXPECT_EQ(message_.Body[kSegments], "");
    EXPECT_EQ(message_.Body[kSegments + 1], "last");
}

TEST_F(ResourceBounds, HundredMiBLineInsideAMultipartTextPartLoadsWhole) {
    constexpr std::uint64_t kLength = 100 * kMiB;
    GeneratedStream mail({{"Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
                           "Content-Type: text/plain\r\n\r\n",
                           1},
                          {"y", kLength},
                          {"\r\n--b--\r\n", 1}});

    Load(mail);

    ASSERT_EQ(message_.Parts.Count(), 1);
    ASSERT_EQ(TextPart(0).Body.Count(), 1);
    EXPECT_EQ(TextPart(0).Body[0].size(), kLength);
}

TEST_F(ResourceBounds, HundredMiBHeaderLineIsCutIntoSegments) {
    constexpr std::uint64_t kLength = 100 * kMiB;
    GeneratedStream mail({{"Subject: ", 1}, {"z", kLength}, {"\r\nTo: a@b.example\r\n\r\nbody\r\n", 1}});

    Load(mail);

    // Every 16384-byte segment is a header line of its own.
    EXPECT_EQ(message_.Headers.Count(), static_cast<int>((kLength + 9 + 16383) / 16384) + 1);
    EXPECT_EQ(message_.Subject, std::string(16384 - 9, 'z'));
    EXPECT_EQ(message_.Body.Text(), "body\r\n");
}

TEST_F(ResourceBounds, HundredThousandPartsLoadInOrder) {
    constexpr int kParts = 100000;
    std::string mail = "Content-Type: multipart/mixed; boundary=\"sep\"\r\n\r\n";
    for (int i = 0; i < kParts; ++i) {
        mail += "--sep\r\n";
        // Every twentieth part is an attachment with a file of its own.
        if (i % 20 == 19)
            mail += "Content-Type: application/octet-stream\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n";
        else
            mail += "Content-Type: text/plain\r\n\r\npart " + std::to_string(i) + "\r\n";
    }
    mail += "--sep--\r\n";

    // All within one tick of the clock: each new temp file name is searched
    // from the same start.
    platform::SetTickCountSource([] { return 0x1000u; });
    Load(mail);
    platform::SetTickCountSource({});

    ASSERT_EQ(message_.Parts.Count(), kParts);
    for (int i = 0; i < kParts; ++i) {
        TIdMessagePart& part = message_.Parts.Items(i);
        ASSERT_EQ(part.ParentPart, -1);
        if (i % 20 == 19) {
            ASSERT_NE(dynamic_cast<TIdAttachment*>(&part), nullptr) << "part " << i;
        } else {
            ASSERT_EQ(TextPart(i).Body.Text(), "part " + std::to_string(i) + "\r\n");
        }
    }
    EXPECT_EQ(folder_.Entries().size(), static_cast<std::size_t>(kParts / 20));
}

TEST_F(ResourceBounds, TenThousandEncodedWordsInOneSubject) {
    constexpr int kWords = 10000;
    // Folded the way mailers fold them: one encoded word per line.
    GeneratedStream mail({{"Subject: =?utf-8?B?w6TDtsO8?=\r\n", 1},
                          {" =?iso-8859-1?Q?=E4=F6=FC?=\r\n", kWords - 1},
                          {"\r\nbody\r\n", 1}});

    Load(mail);

    // Adjacent encoded words join without the blanks between them.
    std::string expected;
    for (int i = 0; i < kWords; ++i) expected += "\xE4\xF6\xFC";
    EXPECT_EQ(message_.Subject, expected);
}

TEST(ResourceBoundsText, TenThousandEncodedWordsDecodeDirectly) {
    constexpr int kWords = 10000;
    std::string value;
    for (int i = 0; i < kWords; ++i) value += "=?utf-8?Q?a=C3=A4?= ";
    value += "tail";

    const std::string decoded = DecodeEncodedWords(value);

    std::string expected;
    for (int i = 0; i < kWords; ++i) expected += "a\xE4";
    EXPECT_EQ(decoded, expected + " tail");
}

TEST(ResourceBoundsText, HundredThousandAddressesParse) {
    constexpr int kAddresses = 100000;
    std::string value;
    for (int i = 0; i < kAddresses; ++i) value += "\"Person " + std::to_string(i) + "\" <p" + std::to_string(i) + "@x.example>, ";

    TIdEMailAddressList list;
    list.ParseAddressList(value);

    ASSERT_EQ(list.Count(), kAddresses);
    EXPECT_EQ(list.Items(kAddresses - 1).Address, "p" + std::to_string(kAddresses - 1) + "@x.example");
    EXPECT_EQ(list.Items(kAddresses - 1).Name, "Person " + std::to_string(kAddresses - 1));
}

}  // namespace
