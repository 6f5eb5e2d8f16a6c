#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "scratch_folder.h"

namespace {

using platformtest::Scratch;

std::vector<std::string> ReadLines(const std::string& path) {
    platform::TextFileReader reader(path);
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.push_back(line);
    return lines;
}

TEST(TextFile, ReaderSplitsAtEveryLineBreak) {
    using Lines = std::vector<std::string>;
    const std::string longLine(70000, 'x');
    struct Row {
        const char* name;
        std::string content;
        Lines lines;
    } rows[] = {
        {"empty file", "", {}},
        {"crlf", "a\r\nb\r\n", {"a", "b"}},
        {"lf", "a\nb\n", {"a", "b"}},
        {"lone cr", "a\rb\r", {"a", "b"}},
        {"last line without break", "a\nb", {"a", "b"}},
        {"empty lines kept", "\n\r\n\r", {"", "", ""}},
        {"cr lf split by the buffer edge", std::string(65535, 'y') + "\r\nz", {std::string(65535, 'y'), "z"}},
        {"line longer than the buffer", longLine + "\nend", {longLine, "end"}},
        {"nul bytes are text", std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    Scratch scratch;
    for (const Row& row : rows) {
        const std::string path = scratch / "in.txt";
        platform::WriteWholeFile(path, row.content, 0600);
        EXPECT_EQ(ReadLines(path), row.lines) << row.name;
    }
}

TEST(TextFile, WriterEndsEveryLineWithCrLfInANewPrivateFile) {
    Scratch scratch;
    const std::string path = scratch / "out.txt";
    {
        platform::TextFileWriter writer(path);
        writer.WriteLine("a");
        writer.WriteLine("");
        writer.WriteLine(std::string(70000, 'q'));
        writer.Close();
    }
    EXPECT_EQ(platform::ReadWholeFile(path), "a\r\n\r\n" + std::string(70000, 'q') + "\r\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_THROW(platform::TextFileWriter again(path), std::system_error);
}

TEST(Files, CopyNeverReplacesAndLeavesNoPartialFile) {
    Scratch scratch;
    platform::WriteWholeFile(scratch / "a", "content", 0644);
    platform::CopyFileExclusive(scratch / "a", scratch / "b", 0640);
    EXPECT_EQ(platform::ReadWholeFile(scratch / "b"), "content");
    EXPECT_EQ(platform::FileMode(scratch / "b"), 0640u);
    EXPECT_THROW(platform::CopyFileExclusive(scratch / "a", scratch / "b", 0640), std::system_error);
    // A link in the way is not followed.
    ::symlink((scratch / "elsewhere").c_str(), (scratch / "link").c_str());
    EXPECT_THROW(platform::CopyFileExclusive(scratch / "a", scratch / "link", 0640), std::system_error);
    EXPECT_FALSE(platform::FileExists(scratch / "elsewhere"));
    EXPECT_THROW(platform::CopyFileExclusive(scratch / "missing", scratch / "c", 0640), std::system_error);
    EXPECT_FALSE(platform::FileExists(scratch / "c"));
}

TEST(Files, WholeFileWriteDoesNotFollowALink) {
    Scratch scratch;
    ::symlink((scratch / "target").c_str(), (scratch / "link").c_str());
    EXPECT_THROW(platform::WriteWholeFile(scratch / "link", "x", 0600), std::system_error);
    EXPECT_FALSE(platform::FileExists(scratch / "target"));
}

TEST(Files, ForceDirectoriesCreatesParentsAndReportsFailure) {
    Scratch scratch;
    EXPECT_TRUE(platform::ForceDirectories(scratch / "a/b/c/"));
    EXPECT_TRUE(platform::DirectoryExists(scratch / "a/b/c"));
    platform::WriteWholeFile(scratch / "file", "x", 0600);
    EXPECT_FALSE(platform::ForceDirectories(scratch / "file/sub"));
}

}  // namespace
