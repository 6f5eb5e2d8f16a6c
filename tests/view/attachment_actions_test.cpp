// Saving and opening attachments from the list, with a scripted dialog and
// a recording desktop.
#include <gtest/gtest.h>

#include "reader/exceptions.h"
#include "reader/message/message.h"
#include "view_test_support.h"

namespace {

using view::ShellOpenResult;
using Lines = std::vector<std::string>;

class AttachmentActions : public viewtest::ViewFixture {};

TEST_F(AttachmentActions, NothingHappensWithoutASelection) {
    Show("same_name.kqv");
    saveDialog.answers.push_back(scratch / "out.dat");
    displays.selectedAttachment = -1;
    core->btnAnlageSpeichernClick();
    core->lbAnlagenDblClick();
    displays.selectedAttachment = 7;  // beyond the list
    core->btnAnlageSpeichernClick();
    core->lbAnlagenDblClick();
    EXPECT_TRUE(saveDialog.proposals.empty());
    EXPECT_TRUE(shell.calls.empty());
    EXPECT_FALSE(platform::FileExists(scratch / "out.dat"));
}

TEST_F(AttachmentActions, NothingHappensWithAnEmptyList) {
    Show("recipients.kqv");
    displays.selectedAttachment = 0;
    core->btnAnlageSpeichernClick();
    core->lbAnlagenDblClick();
    EXPECT_TRUE(saveDialog.proposals.empty());
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(AttachmentActions, SaveWritesEveryPartOfTheNameSoTheLastOneRemains) {
    Show("same_name.kqv");
    ASSERT_EQ(displays.attachments, (Lines{"dup.dat", "dup.dat", "M\xE4rz bericht.xyz"}));
    const std::string target = scratch / "gespeichert.dat";
    platform::WriteWholeFile(target, "was there before", 0644);
    saveDialog.answers.push_back(target);
    displays.selectedAttachment = 0;
    core->btnAnlageSpeichernClick();
    EXPECT_EQ(saveDialog.proposals, Lines{"dup.dat"});
    EXPECT_EQ(platform::ReadWholeFile(target), "zweite");
}

TEST_F(AttachmentActions, CancelledSaveWritesNothing) {
    Show("same_name.kqv");
    displays.selectedAttachment = 2;
    core->btnAnlageSpeichernClick();
    // The proposal is a safe UTF-8 file name.
    EXPECT_EQ(saveDialog.proposals, Lines{"M\xC3\xA4rz bericht.xyz"});
    EXPECT_EQ(viewtest::TreeOf(scratch.Path()), (Lines{"Temp", "Temp/Mail00001", "same_name.kqv"}));
}

TEST_F(AttachmentActions, SaveProposesASafeName) {
    Show("attachments.kqv");
    displays.selectedAttachment = 2;  // application/pdf.PDF
    core->btnAnlageSpeichernClick();
    EXPECT_EQ(saveDialog.proposals, Lines{"application_pdf.PDF"});
}

TEST_F(AttachmentActions, SaveFailureReachesTheCaller) {
    Show("same_name.kqv");
    saveDialog.answers.push_back(scratch / "no/such/folder/x.dat");
    displays.selectedAttachment = 0;
    try {
        core->btnAnlageSpeichernClick();
        FAIL() << "no error";
    } catch (const EIdException& e) {
        EXPECT_STREQ(e.what(), "Error saving attachment.");
    }
}

TEST_F(AttachmentActions, OpenCopiesEachPartPrivatelyAndOpensIt) {
    Show("same_name.kqv");
    displays.selectedAttachment = 0;
    core->lbAnlagenDblClick();
    // Each copy in a folder of its own, apart from the mail's page and
    // content-id files: none replaces another.
    const std::string first = Temp() + "Anlagen/00001/dup.dat", second = Temp() + "Anlagen/00002/dup.dat";
    EXPECT_EQ(shell.calls, (Lines{"open " + first, "open " + second}));
    EXPECT_EQ(platform::ReadWholeFile(first), "erste");
    EXPECT_EQ(platform::ReadWholeFile(second), "zweite");
    EXPECT_EQ(viewtest::ModeOf(first), 0600u);
    EXPECT_EQ(viewtest::ModeOf(Temp() + "Anlagen/00001"), 0700u);
}

TEST_F(AttachmentActions, NoAssociatedProgramOffersTheChoice) {
    Show("same_name.kqv");
    shell.openResult = ShellOpenResult::soNoAssociation;
    displays.selectedAttachment = 2;
    core->lbAnlagenDblClick();
    const std::string path = Temp() + "Anlagen/00001/M\xC3\xA4rz bericht.xyz";
    EXPECT_EQ(shell.calls, (Lines{"open " + path, "choose " + path}));
    EXPECT_EQ(platform::ReadWholeFile(path), "bericht\r\n");
}

TEST_F(AttachmentActions, OtherShellFailuresAreNotFollowedUp) {
    Show("same_name.kqv");
    shell.openResult = ShellOpenResult::soFailed;
    displays.selectedAttachment = 2;
    core->lbAnlagenDblClick();
    EXPECT_EQ(shell.calls.size(), 1u);
}

TEST_F(AttachmentActions, OpenedNamesStayInsideTempDir) {
    struct Row {
        const char* mail;
        int line;
        std::string listed, opened, content;
    } rows[] = {
        {"attachments.kqv", 2, "application/pdf.PDF", "application_pdf.PDF", "%PDF-1.4 test"},
        {"attachments.kqv", 1, "Anlage2.kqv", "Anlage2.kqv", ""},
        {"uue_escape.kqv", 0, "../../.profile", "_.._.profile", "echo pwned\n"},
    };
    for (const Row& row : rows) {
        view::SetTempDir(scratch / "a/b/Temp");
        Show(row.mail);
        shell.calls.clear();
        ASSERT_EQ(displays.attachments.at(static_cast<std::size_t>(row.line)), row.listed) << row.mail;
        displays.selectedAttachment = row.line;
        core->lbAnlagenDblClick();
        ASSERT_EQ(shell.calls.size(), 1u) << row.listed;
        const std::string opened = shell.calls[0].substr(5);
        EXPECT_TRUE(opened.starts_with(Temp() + "Anlagen/") && opened.ends_with("/" + row.opened)) << opened;
        if (!row.content.empty()) {
            EXPECT_EQ(platform::ReadWholeFile(opened), row.content);
        }
        for (const std::string& path : viewtest::TreeOf(scratch.Path()))
            EXPECT_TRUE(path.ends_with(".kqv") || path == "a" || path == "a/b" || path.starts_with("a/b/Temp"))
                << path;
    }
}

TEST_F(AttachmentActions, SecondOpenMakesAFreshCopyAndKeepsTheFirst) {
    Show("same_name.kqv");
    displays.selectedAttachment = 2;
    core->lbAnlagenDblClick();
    const std::string first = Temp() + "Anlagen/00001/M\xC3\xA4rz bericht.xyz";
    platform::WriteWholeFile(first, "changed by the user's program", 0600);
    core->lbAnlagenDblClick();
    EXPECT_EQ(platform::ReadWholeFile(first), "changed by the user's program");
    EXPECT_EQ(platform::ReadWholeFile(Temp() + "Anlagen/00002/M\xC3\xA4rz bericht.xyz"), "bericht\r\n");
    EXPECT_EQ(shell.calls.size(), 2u);
}

TEST_F(AttachmentActions, CopyThatCannotBeWrittenIsNotOpened) {
    Show("same_name.kqv");
    // A file in the way of the copies' folder.
    platform::WriteWholeFile(Temp() + "Anlagen", "x", 0600);
    displays.selectedAttachment = 0;
    EXPECT_THROW(core->lbAnlagenDblClick(), EIdException);
    EXPECT_TRUE(shell.calls.empty());
}

TEST_F(AttachmentActions, SaveFailureLeavesTheUsersFile) {
    Show("same_name.kqv");
    const std::string target = scratch / "behalten.dat";
    platform::WriteWholeFile(target, "the user's file", 0640);
    // The attachment's temporary file was cleaned away.
    auto& part = static_cast<TIdAttachmentFile&>(core->Mail()->Parts.Items(1));
    platform::DeleteFile(part.TempPath);
    saveDialog.answers.push_back(target);
    displays.selectedAttachment = 0;
    EXPECT_THROW(core->btnAnlageSpeichernClick(), EIdException);
    EXPECT_EQ(platform::ReadWholeFile(target), "the user's file");
    EXPECT_EQ(viewtest::TreeOf(scratch.Path()), (Lines{"Temp", "Temp/Mail00001", "behalten.dat", "same_name.kqv"}));

    // Replaced when complete, keeping its mode.
    Show("same_name.kqv");
    saveDialog.answers.push_back(target);
    displays.selectedAttachment = 2;
    core->btnAnlageSpeichernClick();
    EXPECT_EQ(platform::ReadWholeFile(target), "bericht\r\n");
    EXPECT_EQ(viewtest::ModeOf(target), 0640u);
}

TEST_F(AttachmentActions, ProgramsAreNotOpenedAndHiddenExtensionsShow) {
    struct Row {
        const char* name;
        const char* type;
        std::string content;
        std::string listed;
    } rows[] = {
        {"starter.desktop", "application/octet-stream", "harmless", "starter.desktop"},
        {"=?iso-8859-1?Q?Rechnung.pdf=0D=0A=0D=0A.desktop?=", "application/pdf", "%PDF",
         "Rechnung.pdf\xB6\xB6\xB6\xB6.desktop"},
        {"Rechnung.pdf      .exe", "application/pdf", "%PDF", "Rechnung.pdf\xB7\xB7\xB7\xB7\xB7\xB7.exe"},
        {"SETUP.EXE", "application/octet-stream", "x", "SETUP.EXE"},
        {"install.sh", "text/x-sh", "ls", "install.sh"},
        {"Rechnung.pdf", "application/pdf", "#!/bin/sh\nrm -rf ~\n", "Rechnung.pdf"},
        {"bild", "image/png", "\x7F" "ELF\x02\x01", "bild"},
        {"notiz", "application/octet-stream", "# Notiz\n\n[Desktop Entry]\nExec=sh\n", "notiz"},
        {"tool.dat", "application/octet-stream", "MZ\x90", "tool.dat"},
    };
    for (const Row& row : rows) {
        const std::string mail = std::string("Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: ") +
                                 row.type + "\nContent-Disposition: attachment; filename=\"" + row.name +
                                 "\"\n\n" + row.content + "\n--b--\n";
        ShowContent(mail);
        EXPECT_EQ(displays.attachments, Lines{row.listed});
        boxes.boxes.clear();
        shell.calls.clear();
        displays.selectedAttachment = 0;
        core->lbAnlagenDblClick();
        EXPECT_TRUE(shell.calls.empty()) << row.name;
        ASSERT_EQ(boxes.boxes.size(), 1u) << row.name;
        EXPECT_EQ(boxes.boxes[0].kind, view::MessageBoxKind::mbInformation);
        EXPECT_EQ(boxes.boxes[0].text, "Die Anlage \"" + row.listed +
                                           "\" ist ein Programm. Sie wird nicht ge\xF6" "ffnet und kann nur gespeichert werden.");
        EXPECT_TRUE(platform::ListDirectory(Temp() + "Anlagen/").empty()) << row.name;
    }
}

TEST_F(AttachmentActions, OpenedCopyNamedLikeThePageLeavesThePage) {
    ShowContent("Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/html\n\n<html>Seite</html>\n"
                "--b\nContent-Type: application/octet-stream\nContent-Disposition: attachment; "
                "filename=\"MailViewerTemp00001.HTML\"\n\n<html>fremd</html>\n--b--\n");
    displays.selectedAttachment = 0;
    core->lbAnlagenDblClick();
    EXPECT_EQ(platform::ReadWholeFile(core->HtmlTempFileName()), "<html>Seite</html>\r\n");
    EXPECT_EQ(shell.calls, Lines{"open " + Temp() + "Anlagen/00001/MailViewerTemp00001.HTML"});
}

}  // namespace
