// The view on hostile sizes: every step of ChangeMail stays linear in the
// mail, so a mail of a hundred thousand parts shows in about the time it
// takes to load. No timing is asserted; a quadratic step never finishes.
#include <gtest/gtest.h>

#include <string>

#include "reader/message/resource_bounds_support.h"
#include "view_test_support.h"

namespace {

using Lines = std::vector<std::string>;

class ViewResourceBounds : public viewtest::ViewFixture {};

TEST_F(ViewResourceBounds, HundredThousandTextPartsJoinInTheTextView) {
    constexpr int kParts = 100000;
    std::string mail = "Content-Type: multipart/mixed; boundary=\"sep\"\r\n\r\n";
    for (int i = 0; i < kParts; ++i) mail += "--sep\r\nContent-Type: text/plain\r\n\r\npart " + std::to_string(i) + "\r\n";
    mail += "--sep--\r\n";

    ShowContent(mail);

    // Each part after the first is set off by an empty line, the separator
    // and another empty line.
    ASSERT_EQ(displays.messageText.size(), static_cast<std::size_t>(4 * kParts - 3));
    EXPECT_EQ(displays.messageText[0], "part 0");
    EXPECT_EQ((Lines{displays.messageText.begin() + 1, displays.messageText.begin() + 5}),
              (Lines{"", "***********************", "", "part 1"}));
    EXPECT_EQ(displays.messageText.back(), "part " + std::to_string(kParts - 1));
}

// Each attachment is a file of its own: the file system, not the view, sets
// the pace here, so the count is smaller than in the reader's test.
TEST_F(ViewResourceBounds, ThousandsOfAttachmentsAreListed) {
    constexpr int kParts = 3000;
    std::string mail = "Content-Type: multipart/mixed; boundary=\"sep\"\r\n\r\n--sep\r\nContent-Type: text/plain\r\n\r\nhi\r\n";
    for (int i = 0; i < kParts; ++i)
        mail += "--sep\r\nContent-Type: application/octet-stream; name=\"f" + std::to_string(i) +
                ".bin\"\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n";
    mail += "--sep--\r\n";

    ShowContent(mail);

    ASSERT_EQ(displays.attachments.size(), static_cast<std::size_t>(kParts));
    EXPECT_EQ(displays.attachments.front(), "f0.bin");
    EXPECT_EQ(displays.attachments.back(), "f" + std::to_string(kParts - 1) + ".bin");
}

TEST_F(ViewResourceBounds, HundredThousandRecipientsAreListedOnce) {
    constexpr int kAddresses = 100000;
    std::string mail = "To: ";
    std::string expected;
    for (int i = 0; i < kAddresses; ++i) {
        const std::string address = "p" + std::to_string(i) + "@x.example";
        mail += address + ",\r\n ";
        expected += (i ? ", " : "") + address;
    }
    // Seen before, in another letter case, also of the local code page.
    mail += "P0@X.EXAMPLE, \xE4@x.example, \xC4@X.example\r\nSubject: s\r\n\r\nbody\r\n";
    expected += ", \xE4@x.example";

    ShowContent(mail);

    ASSERT_GE(displays.headerValues.size(), 3u);
    EXPECT_EQ(displays.headerLabels[2], "An:");
    EXPECT_EQ(displays.headerValues[2], expected);
}

TEST_F(ViewResourceBounds, HundredThousandNestedMultipartsShow) {
    constexpr int kDepth = 100000;
    std::string mail = resource_bounds::NestedMultipartOpening(kDepth);
    mail += "--b" + std::to_string(kDepth - 1) + "\r\nContent-Type: text/plain\r\n\r\ninnermost\r\n";

    ShowContent(mail);

    ASSERT_FALSE(displays.messageText.empty());
    EXPECT_EQ(displays.messageText.back(), "innermost");
}

}  // namespace
