// What a viewer session leaves on disk: after any mail, shown or refused,
// and after the window is gone, nothing stays in TempDir but the copies of
// opened attachments, which a later start removes once they are a day old;
// the attachments' temporary files are gone too.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <set>

#include "reader/message/message.h"
#include "view_test_support.h"

namespace {

using Lines = std::vector<std::string>;

class TempHygiene : public viewtest::ViewFixture {
protected:
    // Shows content and notes every temporary file its attachments made.
    void ShowAndNote(const std::string& name, const std::string& content) {
        core->MailFileName = scratch.WriteMail(name, content);
        try {
            core->ChangeMail();
        } catch (const std::exception&) {
            // The application's handler shows these; the files matter here.
        }
        NoteAttachmentFiles();
    }
    void ShowFileAndNote(const std::string& name) {
        Show(name);
        NoteAttachmentFiles();
    }
    void NoteAttachmentFiles() {
        if (TIdMessage* mail = core->Mail())
            for (int i = 0; i < mail->Parts.Count(); ++i)
                if (auto* file = dynamic_cast<TIdAttachmentFile*>(&mail->Parts.Items(i)))
                    if (!file->TempPath.empty()) attachmentFiles.insert(file->TempPath);
        for (const std::string& path : core->CidFiles()) cidNames.insert(path.substr(Temp().size()));
    }
    Lines TempListing() const {
        return platform::DirectoryExists(Temp()) ? viewtest::TreeOf(Temp()) : Lines{};
    }

    std::set<std::string> attachmentFiles;
    std::set<std::string> cidNames;
};

const char* const kHtmlWithPicture =
    "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"r\"\r\n\r\n"
    "--r\r\nContent-Type: text/html\r\n\r\n<html><img src=\"cid:pic@x\"></html>\r\n"
    "--r\r\nContent-Type: image/png\r\nContent-ID: <pic@x>\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "iVBORw0KGgo=\r\n"
    "--r\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "JVBERi0=\r\n--r--\r\n";

TEST_F(TempHygiene, SessionOfManyMailsLeavesNothing) {
    ASSERT_EQ(TempListing(), Lines{});
    for (const char* name : {"attachments.kqv", "cid_escape.kqv", "single_html.kqv", "alternative.kqv",
                             "html_in_text.kqv", "uue_escape.kqv", "cut_at_marker.kqv", "no_boundary.kqv"})
        ShowFileAndNote(name);
    ShowAndNote("picture.kqv", kHtmlWithPicture);
    // Refused and broken mails in between.
    core->MailFileName = scratch / "does-not-exist.kqv";
    core->ChangeMail();
    ShowAndNote("broken.kqv", "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
                              "Content-Type: application/mac-binhex40\r\n\r\n:not binhex at all\r\n");
    ShowAndNote("empty.kqv", "");

    ASSERT_FALSE(attachmentFiles.empty());
    ASSERT_FALSE(cidNames.empty());
    // While the window is open the page of the last HTML mail may stay.
    core.reset();

    EXPECT_EQ(TempListing(), Lines{});
    for (const std::string& path : attachmentFiles) EXPECT_FALSE(platform::FileExists(path)) << path;
    // Beside the mails: the mails themselves and the backup of the repair.
    for (const std::string& entry : viewtest::TreeOf(scratch.Path()))
        EXPECT_TRUE(entry.ends_with(".kqv") || entry.ends_with(".kqv.bak") || entry.starts_with("Temp"))
            << entry;
}

TEST_F(TempHygiene, EachMailRemovesThePreviousMailsAttachmentFiles) {
    ShowFileAndNote("attachments.kqv");
    const std::set<std::string> first = attachmentFiles;
    ASSERT_FALSE(first.empty());
    for (const std::string& path : first) EXPECT_TRUE(platform::FileExists(path)) << path;

    ShowAndNote("empty.kqv", "");

    for (const std::string& path : first) EXPECT_FALSE(platform::FileExists(path)) << path;
}

TEST_F(TempHygiene, PageOfAnHtmlMailGoesWithTheWindow) {
    ShowAndNote("picture.kqv", kHtmlWithPicture);
    ASSERT_TRUE(core->HtmlPublished());
    const std::string page = core->HtmlTempFileName();
    EXPECT_TRUE(platform::FileExists(page));

    core.reset();

    EXPECT_FALSE(platform::FileExists(page));
    EXPECT_EQ(TempListing(), Lines{});
}

// Sets the time of the entry's last change to days ago.
void Age(const std::string& path, int days) {
    const timespec then{std::time(nullptr) - days * 24 * 60 * 60, 0};
    const timespec times[2] = {then, then};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST_F(TempHygiene, OpenedCopiesStayUntilALaterStartFindsThemADayOld) {
    ShowFileAndNote("same_name.kqv");
    displays.selectedAttachment = 0;
    core->lbAnlagenDblClick();
    core.reset();
    EXPECT_EQ(TempListing(), (Lines{"Anlagen", "Anlagen/00001", "Anlagen/00001/dup.dat", "Anlagen/00002",
                                    "Anlagen/00002/dup.dat"}));

    // Left by runs that ended without cleaning up, and what others put there.
    for (const char* folder : {"Mail00007", "Mail00008"}) platform::ForceDirectories(Temp() + folder, 0700);
    for (const char* folder : {"Mail00009", "Mailbox"}) platform::ForceDirectories(Temp() + folder, 0755);
    platform::WriteWholeFile(Temp() + "Mail00007/MailViewerTemp00001.HTML", "x", 0600);
    platform::WriteWholeFile(Temp() + "eigene.txt", "x", 0600);
    for (const char* entry : {"Anlagen/00001", "Mail00007", "Mail00009", "Mailbox", "eigene.txt"})
        Age(Temp() + entry, 2);
    core = std::make_unique<view::MailViewCore>(view::MailViewPorts{displays, html, boxes, saveDialog, shell});

    EXPECT_EQ(TempListing(), (Lines{"Anlagen", "Anlagen/00002", "Anlagen/00002/dup.dat", "Mail00008", "Mail00009",
                                    "Mailbox", "eigene.txt"}));
}

}  // namespace
