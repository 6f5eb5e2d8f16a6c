// kqv-dump --view: the view object as whole JSON documents.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include "view_test_support.h"

namespace {

using viewtest::DataFile;

struct DumpRun {
    int status = -1;
    std::string out;
};

// workingFolder: where the tool runs; empty for the test's own.
DumpRun RunDump(const std::string& arguments, const std::string& workingFolder = {}) {
    DumpRun run;
    const std::string command = (workingFolder.empty() ? "" : "cd " + workingFolder + " && ") +
                                std::string(KQV_DUMP_PATH) + " " + arguments + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

std::string Pretty(const rapidjson::Document& doc) {
    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    doc.Accept(writer);
    return buffer.GetString();
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size())
        text.replace(pos, from.size(), to);
}

class ViewDump : public ::testing::Test {
protected:
    // Runs the view on a copy of the mail and compares with the expected
    // document, in which @TEMP@ stands for the temporary folder.
    void ExpectDocument(const std::string& mail, const std::string& expectedFile, int status = 0,
                        const std::string& options = "--view") {
        const std::string file = mail.empty() ? scratch / "missing.kqv" : scratch.CopyMail(mail);
        const std::string temp = scratch / "Temp";
        const DumpRun run = RunDump(options + " --temp-dir " + temp + " " + file);
        EXPECT_EQ(run.status, status) << mail;
        rapidjson::Document actual;
        ASSERT_FALSE(actual.Parse(run.out.c_str()).HasParseError()) << run.out;

        std::string expectedText = platform::ReadWholeFile(DataFile(expectedFile));
        Replace(expectedText, "@TEMP@", temp + "/");
        rapidjson::Document expected;
        ASSERT_FALSE(expected.Parse(expectedText.c_str()).HasParseError()) << expectedFile;
        EXPECT_TRUE(actual == expected) << "actual:\n" << Pretty(actual) << "\nexpected:\n" << Pretty(expected);
    }

    viewtest::ScopedTimeZone zone{"Etc/GMT-1"};
    viewtest::ScratchFolder scratch;
};

TEST_F(ViewDump, PlainTextWithRecipients) { ExpectDocument("recipients.kqv", "recipients.view.json"); }
TEST_F(ViewDump, AttachmentsAndContentIdFile) { ExpectDocument("attachments.kqv", "attachments.view.json"); }
TEST_F(ViewDump, ConvertedHtmlAsLocalText) {
    ExpectDocument("single_html_utf8.kqv", "single_html_utf8.view.json", 0, "--view --charset classic");
}
TEST_F(ViewDump, RepairedMail) { ExpectDocument("cut_at_marker.kqv", "cut_at_marker.view.json"); }
TEST_F(ViewDump, MultipartWithoutBoundary) { ExpectDocument("no_boundary.kqv", "no_boundary.view.json"); }
TEST_F(ViewDump, MissingFileIsShownNotFailed) { ExpectDocument("", "missing.view.json"); }

TEST_F(ViewDump, CharsetOptionReadsTheTextAsTheMenuDoes) {
    // A Cyrillic subject in a mail that declares Windows-1251 for its text,
    // and a KOI8-R body that declares nothing.
    const std::string mail = scratch.WriteMail(
        "m.kqv", "Subject: \xCF\xF0\xE8\nContent-Type: multipart/mixed; boundary=b\n\n"
                 "--b\nContent-Type: text/plain; charset=windows-1251\n\nx\n"
                 "--b\nContent-Type: text/plain\n\n\xF0\xD2\xC9\n--b--\n");
    const struct Row {
        const char* option;
        const char* subject;
        const char* lastLine;
    } rows[] = {
        {"", "Betreff: \xD0\x9F\xD1\x80\xD0\xB8", "\xC3\xB0\xC3\x92\xC3\x89"},
        {"--charset koi8-r", "Betreff: \xD0\xBE\xD0\x9F\xD0\xA5", "\xD0\x9F\xD1\x80\xD0\xB8"},
        {"--charset classic", "Betreff: \xC3\x8F\xC3\xB0\xC3\xA8", "\xC3\xB0\xC3\x92\xC3\x89"},
    };
    for (const Row& row : rows) {
        const DumpRun run = RunDump(std::string("--view ") + row.option + " --temp-dir " + (scratch / "Temp") + " " + mail);
        rapidjson::Document doc;
        ASSERT_FALSE(doc.Parse(run.out.c_str()).HasParseError()) << run.out;
        EXPECT_EQ(std::string(doc["subject_line"].GetString()), row.subject) << row.option;
        const auto& lines = doc["text_lines"].GetArray();
        ASSERT_FALSE(lines.Empty()) << row.option;
        EXPECT_EQ(std::string(lines[lines.Size() - 1].GetString()), row.lastLine) << row.option;
    }
}

TEST_F(ViewDump, ErrorEscapingChangeMailIsReported) {
    // Nothing can be created in this folder, so the HTML page cannot be written.
    const DumpRun run = RunDump("--view --temp-dir /proc/self " + scratch.CopyMail("single_html.kqv"));
    EXPECT_EQ(run.status, 1);
    rapidjson::Document doc;
    ASSERT_FALSE(doc.Parse(run.out.c_str()).HasParseError()) << run.out;
    ASSERT_TRUE(doc.HasMember("error"));
    EXPECT_NE(std::string(doc["error"].GetString()).find("MailViewerTemp00001.HTML"), std::string::npos);
    EXPECT_EQ(std::string(doc["subject_line"].GetString()), "Betreff: Nur HTML");
    EXPECT_TRUE(doc["html"].IsNull());
}

TEST_F(ViewDump, UnusableTempDirIsAUsageError) {
    platform::WriteWholeFile(scratch / "plain-file", "x", 0600);
    const DumpRun run = RunDump("--view --temp-dir " + (scratch / "plain-file/Temp") + " " +
                            scratch.CopyMail("recipients.kqv"));
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
}

TEST_F(ViewDump, RelativeTempDirIsPrintedAbsolute) {
    const std::string mail = scratch.CopyMail("single_html.kqv");
    const DumpRun run = RunDump("--view --temp-dir rel/Temp " + mail, scratch.Path());
    EXPECT_EQ(run.status, 0);
    rapidjson::Document doc;
    ASSERT_FALSE(doc.Parse(run.out.c_str()).HasParseError()) << run.out;
    EXPECT_EQ(std::string(doc["html_file"].GetString()), scratch / "rel/Temp/Mail00001/MailViewerTemp00001.HTML");
}

}  // namespace
