#include "view/temp_dir.h"

#include <gtest/gtest.h>

#include "view_test_support.h"

namespace {

// Sets or unsets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(TempDir, AlwaysEndsWithASlash) {
    const std::string old = view::TempDir();
    view::SetTempDir("/tmp/a");
    EXPECT_EQ(view::TempDir(), "/tmp/a/");
    view::SetTempDir("/tmp/b/");
    EXPECT_EQ(view::TempDir(), "/tmp/b/");
    view::SetTempDir(old);
}

TEST(TempDir, BesideTheExecutableWhenPossibleAndTheUsersAlone) {
    viewtest::ScratchFolder scratch;
    const mode_t oldMask = ::umask(0);
    const std::string dir = view::DefaultTempDir(scratch.Path() + "/");
    EXPECT_EQ(dir, scratch / "Temp/");
    EXPECT_TRUE(platform::DirectoryExists(dir));
    EXPECT_EQ(viewtest::ModeOf(dir), 0700u);
    // One that an earlier version left open to everybody is narrowed.
    ::chmod(dir.c_str(), 0777);
    EXPECT_EQ(view::DefaultTempDir(scratch.Path() + "/"), dir);
    EXPECT_EQ(viewtest::ModeOf(dir), 0700u);
    ::umask(oldMask);
}

TEST(TempDir, CacheFolderForTheUserAloneOtherwise) {
    viewtest::ScratchFolder scratch;
    platform::WriteWholeFile(scratch / "not-a-folder", "x", 0600);
    const std::string blocked = scratch / "not-a-folder/";
    struct Row {
        const char* name;
        const char* xdg;
        std::string expected;
    } rows[] = {
        {"XDG_CACHE_HOME", "@/xdg", scratch / "xdg/merivo-mailviewer/Temp/"},
        {"unset: home cache", nullptr, scratch / "home/.cache/merivo-mailviewer/Temp/"},
        {"relative value ignored", "relative/cache", scratch / "home/.cache/merivo-mailviewer/Temp/"},
    };
    ScopedEnv home("HOME", (scratch / "home").c_str());
    for (const Row& row : rows) {
        std::string xdg = row.xdg ? row.xdg : "";
        if (xdg.starts_with('@')) xdg = scratch.Path() + xdg.substr(1);
        ScopedEnv env("XDG_CACHE_HOME", row.xdg ? xdg.c_str() : nullptr);
        const std::string dir = view::DefaultTempDir(blocked);
        EXPECT_EQ(dir, row.expected) << row.name;
        EXPECT_TRUE(platform::DirectoryExists(dir)) << row.name;
        EXPECT_EQ(viewtest::ModeOf(dir), 0700u) << row.name;
        EXPECT_EQ(viewtest::ModeOf(dir.substr(0, dir.size() - 5)), 0700u) << row.name;
    }
}

}  // namespace
