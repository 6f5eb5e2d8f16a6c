#include "shell/registration/freedesktop_registration.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/registration/desktop_entry.h"
#include "shell/registration/mimeapps_list.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class FreedesktopRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "kqv-xdg-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        root_ = templ;
        folders_ = {root_ + "/data", root_ + "/config"};
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }
    FreedesktopRegistrationResult Register(const std::string& exe) {
        return RegisterKqvWithFreedesktop(
            folders_, exe, [this](const std::string& m) { messages_.push_back(m); },
            [this](const std::vector<std::string>& argv) {
                programs_.push_back(argv);
                return 0;
            });
    }

    std::string root_;
    XdgFolders folders_;
    std::vector<std::string> messages_;
    std::vector<std::vector<std::string>> programs_;
};

TEST_F(FreedesktopRegistration, WritesMimeTypeDesktopEntryAndAssociation) {
    const auto result = Register("/opt/merivo/bin/merivo-mailviewer");
    EXPECT_TRUE(result.mimeTypeWritten && result.desktopEntryWritten && result.associationWritten);
    const std::string xml = Read(folders_.dataHome + "/mime/packages/merivo-mailviewer.xml");
    EXPECT_NE(xml.find("<mime-type type=\"application/x-merivo-kqv\">"), std::string::npos);
    EXPECT_NE(xml.find("<glob pattern=\"*.kqv\"/>"), std::string::npos);
    const std::string desktop = Read(folders_.dataHome + "/applications/MerivoMailView.desktop");
    EXPECT_NE(desktop.find("\nExec=\"/opt/merivo/bin/merivo-mailviewer\" %f\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nMimeType=application/x-merivo-kqv;\n"), std::string::npos);
    EXPECT_EQ(Read(folders_.configHome + "/mimeapps.list"),
              "[Default Applications]\napplication/x-merivo-kqv=MerivoMailView.desktop;\n\n"
              "[Added Associations]\napplication/x-merivo-kqv=MerivoMailView.desktop;\n");
    ASSERT_FALSE(programs_.empty());
    EXPECT_EQ(programs_[0], (std::vector<std::string>{"update-mime-database", folders_.dataHome + "/mime"}));
    EXPECT_EQ(messages_, std::vector<std::string>{"Dateiendung konnte erfolgreich registriert werden."});
}

TEST_F(FreedesktopRegistration, KeepsTheUsersOtherEntriesAndIsStableWhenRunTwice) {
    fs::create_directories(folders_.configHome);
    {
        std::ofstream out(folders_.configHome + "/mimeapps.list");
        out << "# mine\n[Default Applications]\ntext/html=firefox.desktop\napplication/x-merivo-kqv=other.desktop;\n"
               "\n[Added Associations]\napplication/x-merivo-kqv=other.desktop;\nimage/png=gimp.desktop;\n"
               "\n[Removed Associations]\ntext/plain=gedit.desktop;\n";
    }
    Register("/usr/bin/merivo-mailviewer");
    const std::string once = Read(folders_.configHome + "/mimeapps.list");
    EXPECT_EQ(once,
              "# mine\n[Default Applications]\ntext/html=firefox.desktop\n"
              "application/x-merivo-kqv=MerivoMailView.desktop;\n"
              "\n[Added Associations]\napplication/x-merivo-kqv=MerivoMailView.desktop;other.desktop;\n"
              "image/png=gimp.desktop;\n\n[Removed Associations]\ntext/plain=gedit.desktop;\n");
    const std::string desktopOnce = Read(folders_.dataHome + "/applications/MerivoMailView.desktop");
    Register("/usr/bin/merivo-mailviewer");
    EXPECT_EQ(Read(folders_.configHome + "/mimeapps.list"), once);
    EXPECT_EQ(Read(folders_.dataHome + "/applications/MerivoMailView.desktop"), desktopOnce);
    EXPECT_EQ(messages_.size(), 2u);
}

TEST_F(FreedesktopRegistration, UnwritableFoldersSkipTheirStepsAndTheMessageFollows) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    fs::create_directories(folders_.dataHome);
    fs::permissions(folders_.dataHome, fs::perms::owner_read | fs::perms::owner_exec);
    const auto result = Register("/usr/bin/merivo-mailviewer");
    EXPECT_FALSE(result.mimeTypeWritten);
    EXPECT_FALSE(result.desktopEntryWritten);
    EXPECT_TRUE(result.associationWritten);
    EXPECT_EQ(messages_.size(), 1u);
}

TEST_F(FreedesktopRegistration, AFileInTheWayOfAFolderSkipsThatStepOnly) {
    // Works as root too: a plain file where the applications folder belongs.
    fs::create_directories(folders_.dataHome);
    std::ofstream(folders_.dataHome + "/applications") << "not a folder";
    const auto result = Register("/usr/bin/merivo-mailviewer");
    EXPECT_TRUE(result.mimeTypeWritten);
    EXPECT_FALSE(result.desktopEntryWritten);
    EXPECT_TRUE(result.associationWritten);
    EXPECT_EQ(messages_.size(), 1u);
    // Nothing half-written is left beside it.
    for (const auto& e : fs::directory_iterator(folders_.dataHome))
        EXPECT_TRUE(e.path().filename() == "applications" || e.path().filename() == "mime") << e.path();
}

TEST(DesktopEntry, ExecLineQuotesAndEscapes) {
    struct Row {
        const char* name;
        std::string path, exec;
    } rows[] = {
        {"plain", "/usr/bin/merivo-mailviewer", "\"/usr/bin/merivo-mailviewer\" %f"},
        {"blanks", "/home/a b/viewer", "\"/home/a b/viewer\" %f"},
        {"dollar and quote", "/x/$y\"z", "\"/x/\\\\$y\\\\\"z\" %f"},
        {"percent", "/x/100%", "\"/x/100%%\" %f"},
        {"backslash", "/x/a\\b", "\"/x/a\\\\\\\\b\" %f"},
    };
    for (const auto& r : rows) EXPECT_EQ(DesktopExecLine(r.path), r.exec) << r.name;
}

TEST(MimeAppsList, AddsGroupsToAnEmptyList) {
    EXPECT_EQ(AssociateInMimeAppsList("", "a/b", "x.desktop"),
              "[Default Applications]\na/b=x.desktop;\n\n[Added Associations]\na/b=x.desktop;\n");
}

}  // namespace
