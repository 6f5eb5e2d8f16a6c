// The one-time repair of a multipart mail cut at the marker line.
#include <gtest/gtest.h>

#include "reader/message/message.h"
#include "view/mail_repair.h"
#include "view_test_support.h"

namespace {

using Lines = std::vector<std::string>;

class Repair : public viewtest::ViewFixture {};

const std::string kRepaired =
    "From: t@example.org\r\n"
    "To: b@example.org\r\n"
    "Subject: Abgeschnitten\r\n"
    "Date: Sun, 06 Dec 2026 18:59:18 +0100\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"----- Start of text attachment -------\"\r\n"
    "\r\n"
    "Vorspann\r\n"
    "------- Start of text attachment -------\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "Der angehaengte Text\r\n";

TEST_F(Repair, RewritesOnceKeepsABackupAndShowsThePart) {
    const std::string original = platform::ReadWholeFile(viewtest::DataFile("cut_at_marker.kqv"));
    Show("cut_at_marker.kqv");
    EXPECT_TRUE(core->Repaired());
    EXPECT_EQ(displays.repaints, 1);
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName + ".bak"), original);
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName), kRepaired);
    EXPECT_EQ(displays.messageText, Lines{"Der angehaengte Text"});
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(core->Mail()->Parts.Count(), 1);
    EXPECT_EQ(viewtest::TreeOf(scratch.Path()), (Lines{"Temp", "Temp/Mail00001", "cut_at_marker.kqv", "cut_at_marker.kqv.bak"}));

    // Shown again: no second repair.
    core->ChangeMail();
    EXPECT_FALSE(core->Repaired());
    EXPECT_EQ(displays.repaints, 1);
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName), kRepaired);
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName + ".bak"), original);
}

TEST_F(Repair, ExistingBackupPreventsTheRepair) {
    core->MailFileName = scratch.CopyMail("cut_at_marker.kqv");
    platform::WriteWholeFile(core->MailFileName + ".bak", "older backup", 0644);
    core->ChangeMail();
    EXPECT_FALSE(core->Repaired());
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName + ".bak"), "older backup");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, view::MessageBoxKind::mbInformation);
}

TEST_F(Repair, KeepsTheFileMode) {
    core->MailFileName = scratch.CopyMail("cut_at_marker.kqv");
    platform::SetFileMode(core->MailFileName, 0640);
    core->ChangeMail();
    ASSERT_TRUE(core->Repaired());
    EXPECT_EQ(viewtest::ModeOf(core->MailFileName), 0640u);
    EXPECT_EQ(viewtest::ModeOf(core->MailFileName + ".bak"), 0640u);
}

TEST_F(Repair, FailureHalfWayLeavesTheOriginalUntouched) {
    const std::string original = platform::ReadWholeFile(viewtest::DataFile("cut_at_marker.kqv"));
    core->MailFileName = scratch.CopyMail("cut_at_marker.kqv");
    // The copy vanishes before it is read back.
    displays.onRepaint = [&] { platform::DeleteFile(core->MailFileName + ".bak"); };
    EXPECT_THROW(core->ChangeMail(), std::system_error);
    EXPECT_EQ(platform::ReadWholeFile(core->MailFileName), original);
    EXPECT_EQ(viewtest::TreeOf(scratch.Path()), (Lines{"Temp", "cut_at_marker.kqv"}));
}

TEST_F(Repair, RewriteRules) {
    struct Row {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"every content-type line before the marker, in any case",
         "content-TYPE: multipart/mixed\nX: a content-type here\n------- Start of text attachment -------\n"
         "Content-Type: text/plain\n",
         "content-TYPE: multipart/mixed; boundary=\"----- Start of text attachment -------\"\r\n"
         "X: a content-type here; boundary=\"----- Start of text attachment -------\"\r\n"
         "------- Start of text attachment -------\r\nContent-Type: text/plain\r\n"},
        {"end markers anywhere after the start are left out",
         "A\n------- Start of text attachment -------\nB\nx ------- End of text attachment ------- y\nC\n",
         "A\r\n------- Start of text attachment -------\r\nB\r\nC\r\n"},
        {"end marker before the start is kept", "------- End of text attachment -------\n",
         "------- End of text attachment -------\r\n"},
        {"marker with trailing blank does not end the first phase",
         "------- Start of text attachment ------- \nContent-Type: x\n",
         "------- Start of text attachment ------- \r\nContent-Type: x; boundary=\"----- Start of text attachment "
         "-------\"\r\n"},
        {"lone CR and final line without break", "A\rB\r\nC", "A\r\nB\r\nC\r\n"},
        {"empty file", "", ""},
    };
    for (const Row& row : rows) {
        const std::string path = scratch.WriteMail("rewrite.kqv", row.in);
        platform::DeleteFile(path + ".bak");
        view::RepairMailFile(path, {});
        EXPECT_EQ(platform::ReadWholeFile(path), row.out) << row.name;
        EXPECT_EQ(platform::ReadWholeFile(path + ".bak"), row.in) << row.name;
    }
}

}  // namespace
