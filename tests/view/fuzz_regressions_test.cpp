// Every input that ever failed the view-core fuzz target, replayed through
// the same walk: tests/data/fuzz-regressions/fuzz_change_mail/<file>.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz_view_walk.h"
#include "view_test_support.h"

namespace fs = std::filesystem;

namespace {

TEST(FuzzRegressions, ViewCoreReplaysItsFindings) {
    const fs::path dir = fs::path(KQV_TEST_DATA_DIR) / "fuzz-regressions" / "fuzz_change_mail";
    if (!fs::is_directory(dir)) return;
    viewtest::ScratchFolder scratch;
    const std::string mailDir = scratch / "mail/";
    const std::string tempDir = scratch / "temp/";
    fs::create_directories(mailDir);
    fs::create_directories(tempDir);
    for (const auto& entry : fs::directory_iterator(dir)) {
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(fuzz::ChangeMailWalk(bytes, mailDir, tempDir), "");
    }
}

}  // namespace
