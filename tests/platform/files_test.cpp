#include "platform/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "scratch_folder.h"

namespace {

using platformtest::Scratch;

TEST(Files, NewFilesNeverWriteThroughWhatStandsAtTheName) {
    Scratch scratch;
    const std::string outside = scratch / "outside";
    platform::WriteWholeFile(outside, "keep", 0644);
    ASSERT_EQ(::link(outside.c_str(), (scratch / "hard").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (scratch / "soft").c_str()), 0);
    ASSERT_EQ(::mkfifo((scratch / "fifo").c_str(), 0600), 0);
    for (const char* name : {"hard", "soft", "fifo", "outside"})
        EXPECT_THROW(platform::WriteNewFile(scratch / name, "planted?", 0600), std::system_error) << name;
    EXPECT_EQ(platform::ReadWholeFile(outside), "keep");
    // Reading the start of a FIFO does not wait for a writer.
    EXPECT_EQ(platform::ReadFileStart(scratch / "fifo", 16), "");
    EXPECT_EQ(platform::ReadFileStart(scratch / "soft", 16), "");

    platform::WriteNewFile(scratch / "new", "content", 0600);
    EXPECT_EQ(platform::ReadFileStart(scratch / "new", 4), "cont");
    struct stat st {};
    ASSERT_EQ(::stat((scratch / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
