#include "view/html_temp_files.h"

#include <gtest/gtest.h>

#include "view_test_support.h"

namespace {

using viewtest::ScratchFolder;

TEST(HtmlTempFiles, NextNameIsOneAboveTheHighestNumber) {
    struct Row {
        const char* name;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        std::string expected;
    } rows[] = {
        {"none yet", {}, {}, "MailViewerTemp00001.HTML"},
        {"gap is not filled", {"MailViewerTemp00001.HTML", "MailViewerTemp00007.HTML"}, {}, "MailViewerTemp00008.HTML"},
        {"unpadded number", {"MailViewerTemp12.HTML"}, {}, "MailViewerTemp00013.HTML"},
        {"six digits kept", {"MailViewerTemp99999.HTML"}, {}, "MailViewerTemp100000.HTML"},
        {"folders count too", {}, {"MailViewerTemp00004.HTML"}, "MailViewerTemp00005.HTML"},
        {"text before the first dot", {"MailViewerTemp00003.bak.HTML"}, {}, "MailViewerTemp00004.HTML"},
        {"not a number", {"MailViewerTempabc.HTML", "MailViewerTemp.HTML", "MailViewerTemp1x.HTML"}, {},
         "MailViewerTemp00001.HTML"},
        {"too large for a number", {"MailViewerTemp99999999999999.HTML"}, {}, "MailViewerTemp00001.HTML"},
        {"negative number", {"MailViewerTemp-5.HTML"}, {}, "MailViewerTemp00001.HTML"},
        {"other files ignored", {"MailViewerTemp00009.html", "Other00009.HTML", "MailViewerTemp00009.HTM"}, {},
         "MailViewerTemp00001.HTML"},
    };
    for (const Row& row : rows) {
        ScratchFolder folder;
        const std::string temp = folder.Path() + "/";
        for (const auto& f : row.files) platform::WriteWholeFile(temp + f, "x", 0600);
        for (const auto& d : row.folders) platform::ForceDirectories(temp + d);
        EXPECT_EQ(view::NextHtmlTempFileName(temp), temp + row.expected) << row.name;
    }
}

TEST(HtmlTempFiles, DeleteRemovesOnlyTheViewsPages) {
    ScratchFolder folder;
    const std::string temp = folder.Path() + "/";
    for (const char* f : {"MailViewerTemp00001.HTML", "MailViewerTemp00002.HTML", "logo@example.org",
                          "MailViewerTemp00003.html", "readme.txt"})
        platform::WriteWholeFile(temp + f, "x", 0600);
    view::DeleteHtmlTempFiles(temp);
    EXPECT_FALSE(platform::FileExists(temp + "MailViewerTemp00001.HTML"));
    EXPECT_FALSE(platform::FileExists(temp + "MailViewerTemp00002.HTML"));
    EXPECT_TRUE(platform::FileExists(temp + "MailViewerTemp00003.html"));
    EXPECT_TRUE(platform::FileExists(temp + "logo@example.org"));
    EXPECT_TRUE(platform::FileExists(temp + "readme.txt"));
}

TEST(HtmlTempFiles, ClosingAfterThreeMailsLeavesNoPage) {
    ScratchFolder folder;
    view::SetTempDir(folder / "Temp");
    {
        view::RecordingDisplays displays;
        view::RecordingHtmlView html;
        view::RecordingMessageBoxes boxes;
        view::ScriptedSaveDialog dialog;
        view::RecordingShell shell;
        view::MailViewCore core({displays, html, boxes, dialog, shell});
        std::vector<std::string> pages;
        for (const char* mail : {"single_html.kqv", "alternative.kqv", "html_in_text.kqv"}) {
            core.MailFileName = folder.CopyMail(mail);
            core.ChangeMail();
            pages.push_back(core.HtmlTempFileName());
            EXPECT_TRUE(platform::FileExists(core.HtmlTempFileName())) << mail;
        }
        // Each mail's page in a folder of its own, which goes with the next.
        EXPECT_EQ(pages, (std::vector<std::string>{view::TempDir() + "Mail00001/MailViewerTemp00001.HTML",
                                                   view::TempDir() + "Mail00002/MailViewerTemp00001.HTML",
                                                   view::TempDir() + "Mail00003/MailViewerTemp00001.HTML"}));
        EXPECT_EQ(platform::ListDirectory(view::TempDir(), "Mail"), std::vector<std::string>{"Mail00003"});
    }
    EXPECT_TRUE(platform::ListDirectory(view::TempDir(), "Mail").empty());
}

}  // namespace
