#include "shell/registration/registry_registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr RegistryRoot HKCR = RegistryRoot::ClassesRoot;
constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
const std::string kFileExts = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.kqv";

struct Registration {
    InMemoryRegistry registry;
    std::vector<std::string> messages;
    void Register(const std::string& exe) {
        RegisterKqvInRegistry(registry, exe, [this](const std::string& m) { messages.push_back(m); });
    }
};

TEST(RegistryRegistration, WritesTheFiveRows) {
    Registration run;
    run.Register("C:\\Programme\\Merivo\\MerivoMailView.exe");
    const std::string command = "\"C:\\Programme\\Merivo\\MerivoMailView.exe\" \"%1\"";
    auto& r = run.registry;
    EXPECT_EQ(r.Value(HKCR, "\\.kqv", ""), "MerivoMailfile");
    EXPECT_EQ(r.Value(HKCR, "\\MerivoMailfile\\Shell\\Open\\Command", ""), command);
    EXPECT_EQ(r.Value(HKCR, "\\Applications\\MerivoMailView.exe\\Shell\\Open\\Command", ""), command);
    EXPECT_EQ(r.Value(HKCU, "\\Software\\Classes\\Applications\\MerivoMailView.exe\\Shell\\Open\\Command", ""),
              command);
    EXPECT_EQ(r.Value(HKCU, kFileExts + "\\OpenWithList", "a"), "MerivoMailView.exe");
    EXPECT_EQ(r.Value(HKCU, kFileExts + "\\OpenWithList", "MRULIST"), "a");
    EXPECT_EQ(run.messages, std::vector<std::string>{"Dateiendung konnte erfolgreich registriert werden."});
}

TEST(RegistryRegistration, KeyNameIsFixedButOpenWithListUsesTheRealFileName) {
    Registration run;
    run.Register("D:\\Tools\\viewer.exe");
    EXPECT_TRUE(run.registry.HasKey(HKCR, "\\Applications\\MerivoMailView.exe\\Shell\\Open\\Command"));
    EXPECT_FALSE(run.registry.HasKey(HKCR, "\\Applications\\viewer.exe"));
    EXPECT_EQ(run.registry.Value(HKCU, kFileExts + "\\OpenWithList", "a"), "viewer.exe");
}

TEST(RegistryRegistration, PathWithBlanksIsQuoted) {
    EXPECT_EQ(RegistryOpenCommand("C:\\Program Files\\Merivo\\MerivoMailView.exe"),
              "\"C:\\Program Files\\Merivo\\MerivoMailView.exe\" \"%1\"");
}

TEST(RegistryRegistration, RunningTwiceGivesTheSameEntries) {
    Registration run;
    run.Register("C:\\M\\MerivoMailView.exe");
    const auto first = run.registry.Dump();
    run.Register("C:\\M\\MerivoMailView.exe");
    EXPECT_EQ(run.registry.Dump(), first);
    EXPECT_EQ(run.messages.size(), 2u);
}

TEST(RegistryRegistration, ClassesRootDeniedStillWritesUserRowsAndSucceeds) {
    Registration run;
    run.registry.DenyKeysUnder(HKCR, "\\");
    run.Register("C:\\M\\MerivoMailView.exe");
    EXPECT_FALSE(run.registry.HasKey(HKCR, "\\.kqv"));
    EXPECT_TRUE(run.registry.Value(HKCU, kFileExts + "\\OpenWithList", "a").has_value());
    EXPECT_EQ(run.messages.size(), 1u);
}

TEST(RegistryRegistration, ChainStopsAtTheFirstKeyThatCannotBeOpened) {
    Registration run;
    run.registry.DenyKeysUnder(HKCR, "\\MerivoMailfile\\Shell\\Open");
    run.Register("C:\\M\\MerivoMailView.exe");
    EXPECT_TRUE(run.registry.HasKey(HKCR, "\\MerivoMailfile\\Shell"));
    EXPECT_FALSE(run.registry.HasKey(HKCR, "\\MerivoMailfile\\Shell\\Open\\Command"));
    // The rows after the failed chain are still written.
    EXPECT_TRUE(run.registry.Value(HKCR, "\\Applications\\MerivoMailView.exe\\Shell\\Open\\Command", ""));
    EXPECT_EQ(run.messages.size(), 1u);
}

TEST(RegistryRegistration, FailedWriteEndsSilently) {
    Registration run;
    run.registry.FailWrites(true);
    run.Register("C:\\M\\MerivoMailView.exe");
    EXPECT_TRUE(run.messages.empty());
}

}  // namespace
