// Runs the built kqv-dump on small mails and compares whole JSON documents.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string kMails = std::string(KQV_TEST_DATA_DIR) + "/mails/";
const std::string kExpected = std::string(KQV_TEST_DATA_DIR) + "/expected/";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
public:
    explicit TempFolder(const fs::path& base = fs::temp_directory_path()) {
        std::string pattern = (base / "kqv-dump-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs kqv-dump with a fixed time zone (UTC+1 without daylight saving) and its
// own folder for attachment temporary files. Standard output goes to
// stdoutPath when one is given.
RunResult RunDump(const std::vector<std::string>& args, const fs::path& attachmentTemp,
                  const std::string& stdoutPath = "") {
    TempFolder capture;
    const std::string outPath = stdoutPath.empty() ? (capture.path() / "out").string() : stdoutPath;
    const std::string errPath = (capture.path() / "err").string();

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (entry.rfind("TZ=", 0) == 0 || entry.rfind("TMPDIR=", 0) == 0) continue;
        env.push_back(entry);
    }
    env.push_back("TZ=Etc/GMT-1");
    env.push_back("TMPDIR=" + attachmentTemp.string());

    std::vector<std::string> argv = {KQV_DUMP_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argvPtr, envPtr;
    for (auto& a : argv) argvPtr.push_back(a.data());
    argvPtr.push_back(nullptr);
    for (auto& e : env) envPtr.push_back(e.data());
    envPtr.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, argvPtr.data(), envPtr.data());
    posix_spawn_file_actions_destroy(&actions);

    RunResult result;
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return result;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (stdoutPath.empty()) result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

RunResult RunDump(const std::vector<std::string>& args) {
    TempFolder attachmentTemp;
    return RunDump(args, attachmentTemp.path());
}

rapidjson::Document ParseJson(const std::string& text, const std::string& what) {
    rapidjson::Document doc;
    doc.Parse(text.c_str(), text.size());
    EXPECT_FALSE(doc.HasParseError()) << what << " is not JSON: " << text;
    return doc;
}

std::string Show(const rapidjson::Value& value) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    value.Accept(writer);
    return buffer.GetString();
}

// Compares two JSON values; numbers by value, "date_value" within a tenth of
// a second. Differences are collected with their paths.
void CompareJson(const rapidjson::Value& expected, const rapidjson::Value& actual, const std::string& path,
                 std::vector<std::string>& differences) {
    auto differ = [&] {
        differences.push_back(path + ": expected " + Show(expected) + ", got " + Show(actual));
    };
    if (expected.IsNumber() && actual.IsNumber()) {
        const double a = expected.GetDouble();
        const double b = actual.GetDouble();
        const bool isDate = path.size() >= 10 && path.compare(path.size() - 10, 10, "date_value") == 0;
        if (isDate ? std::fabs(a - b) > 0.1 / 86400 : a != b) differ();
        if (!isDate && expected.IsInt64() != actual.IsInt64()) differ();  // integers stay integers
        return;
    }
    if (expected.GetType() != actual.GetType()) return differ();
    if (expected.IsObject()) {
        for (auto& member : expected.GetObject()) {
            const std::string key = member.name.GetString();
            if (!actual.HasMember(key.c_str()))
                differences.push_back(path + "/" + key + ": missing");
            else
                CompareJson(member.value, actual[key.c_str()], path + "/" + key, differences);
        }
        for (auto& member : actual.GetObject())
            if (!expected.HasMember(member.name)) differences.push_back(path + "/" + member.name.GetString() + ": unexpected");
    } else if (expected.IsArray()) {
        if (expected.Size() != actual.Size()) return differ();
        for (rapidjson::SizeType i = 0; i < expected.Size(); ++i)
            CompareJson(expected[i], actual[i], path + "/" + std::to_string(i), differences);
    } else if (expected != actual) {
        differ();
    }
}

void ExpectSameJson(const rapidjson::Value& expected, const rapidjson::Value& actual) {
    std::vector<std::string> differences;
    CompareJson(expected, actual, "", differences);
    std::ostringstream all;
    for (const auto& d : differences) all << "\n  " << d;
    EXPECT_TRUE(differences.empty()) << all.str();
}

bool FolderEmpty(const fs::path& folder) { return fs::is_empty(folder); }

struct MailCase {
    const char* name;
    const char* file;      // relative to tests/data/mails, or as given when missing
    const char* expected;  // in tests/data/expected
    int status;
};

const MailCase kMailCases[] = {
    {"Latin1SinglePartWithEncodedWordSubject", "latin1_plain.kqv", "latin1_plain.json", 0},
    {"AlternativeWithQuotedPrintableAndEpilogue", "alternative.kqv", "alternative.json", 0},
    {"MixedWithNestedAlternativeAndBase64Attachment", "mixed_base64.kqv", "mixed_base64.json", 0},
    {"PlainTextWithInlineUue", "inline_uue.kqv", "inline_uue.json", 0},
    {"Windows1252BytesAndControlCharacters", "raw_bytes.kqv", "raw_bytes.json", 0},
    {"EmptyFile", "empty.kqv", "empty.json", 0},
    {"PartHeaderCutOffFailsButKeepsParts", "cut_part_header.kqv", "cut_part_header.json", 1},
    {"MissingFile", nullptr, "missing_file.json", 1},
};

class DumpMail : public ::testing::TestWithParam<MailCase> {};

TEST_P(DumpMail, PrintsTheWholeModel) {
    const MailCase& c = GetParam();
    TempFolder attachmentTemp;
    // The missing file is named relative to the working folder, as a user would.
    const std::string file = c.file ? kMails + c.file : "no-such-folder/missing.kqv";
    const RunResult run = RunDump({file}, attachmentTemp.path());

    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.err, "");
    const rapidjson::Document expected = ParseJson(ReadFile(kExpected + c.expected), c.expected);
    const rapidjson::Document actual = ParseJson(run.out, "output");
    ExpectSameJson(expected, actual);
    EXPECT_TRUE(FolderEmpty(attachmentTemp.path())) << "temporary attachment files left behind";
}

INSTANTIATE_TEST_SUITE_P(Mails, DumpMail, ::testing::ValuesIn(kMailCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DumpCommandLine, HelpGoesToStandardOutput) {
    const RunResult run = RunDump({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("Usage: kqv-dump [--view] [--temp-dir DIR] [--save-attachments DIR] FILE...\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.err, "");
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
};

TEST(DumpCommandLine, UsageErrorsExitWithTwoAndPrintNothing) {
    const std::string mail = kMails + "latin1_plain.kqv";
    const UsageCase cases[] = {
        {"no file", {}},
        {"unknown long option", {"--verbose", mail}},
        {"unknown short option", {"-x", mail}},
        {"option value missing", {mail, "--save-attachments"}},
        {"empty folder name", {"--save-attachments", "", mail}},
        {"value given to a flag", {"--view=yes", mail}},
        {"charset without the view", {"--charset", "koi8-r", mail}},
        {"unknown charset", {"--view", "--charset", "x-nonsense", mail}},
    };
    for (const UsageCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = RunDump(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("kqv-dump: "), std::string::npos) << run.err;
    }
}

TEST(DumpCommandLine, OutputThatCannotBeWrittenIsAFailure) {
    TempFolder attachmentTemp;
    const RunResult run = RunDump({kMails + "mixed_base64.kqv"}, attachmentTemp.path(), "/dev/full");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_TRUE(FolderEmpty(attachmentTemp.path()));
}

TEST(DumpCommandLine, OptionsMayFollowTheFile) {
    TempFolder save;
    const RunResult run = RunDump({kMails + "mixed_base64.kqv", "--save-attachments", save.path().string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(save.path() / "Bericht 2010.bin"));
}

// --save-attachments

rapidjson::Document SaveRun(const std::string& mail, const fs::path& folder, int expectedStatus = 0) {
    const RunResult run = RunDump({"--save-attachments", folder.string(), kMails + mail});
    EXPECT_EQ(run.status, expectedStatus) << run.err;
    return ParseJson(run.out, "output");
}

std::vector<std::string> SavedPaths(const rapidjson::Document& doc) {
    std::vector<std::string> paths;
    if (!doc.IsObject() || !doc.HasMember("saved") || !doc["saved"].IsArray()) {
        ADD_FAILURE() << "no \"saved\" array";
        return paths;
    }
    for (auto& v : doc["saved"].GetArray()) paths.push_back(v.GetString());
    return paths;
}

TEST(DumpSaveAttachments, CopiesDecodedBytesAndListsThemAfterTheModel) {
    TempFolder save;
    rapidjson::Document doc = SaveRun("mixed_base64.kqv", save.path());
    const fs::path copy = save.path() / "Bericht 2010.bin";
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{copy.string()});
    EXPECT_EQ(ReadFile(copy), std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10));

    // Apart from "saved" the document is the plain model.
    rapidjson::Document expected = ParseJson(ReadFile(kExpected + "mixed_base64.json"), "expected");
    expected.AddMember("saved", rapidjson::Value(rapidjson::kArrayType), expected.GetAllocator());
    expected["saved"].PushBack(rapidjson::Value(copy.string().c_str(), expected.GetAllocator()),
                               expected.GetAllocator());
    ExpectSameJson(expected, doc);
}

TEST(DumpSaveAttachments, NameWithParentFoldersStaysInsideTheFolder) {
    TempFolder root;
    const fs::path save = root.path() / "a" / "b";  // "../../x.txt" would land in root
    rapidjson::Document doc = SaveRun("inline_uue.kqv", save);
    const fs::path copy = save / "_.._x.txt";
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{copy.string()});
    EXPECT_EQ(ReadFile(copy), "hi!");
    EXPECT_FALSE(fs::exists(root.path() / "x.txt"));
    EXPECT_FALSE(fs::exists(root.path() / "a" / "x.txt"));
}

TEST(DumpSaveAttachments, NeverOverwritesAndPicksTheNextFreeName) {
    TempFolder save;
    WriteFile(save.path() / "Bericht 2010.bin", "alt");
    SaveRun("mixed_base64.kqv", save.path());
    rapidjson::Document doc = SaveRun("mixed_base64.kqv", save.path());

    EXPECT_EQ(ReadFile(save.path() / "Bericht 2010.bin"), "alt");
    EXPECT_EQ(ReadFile(save.path() / "Bericht 2010 (2).bin").size(), 10u);
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{(save.path() / "Bericht 2010 (3).bin").string()});
}

// Past the first few names the folder is listed instead of tried name by
// name: the first free name must still win, and look-alikes must not count.
TEST(DumpSaveAttachments, FirstFreeNameAlsoAmongManyTaken) {
    TempFolder save;
    WriteFile(save.path() / "Bericht 2010.bin", "alt");
    for (int n = 2; n <= 9; ++n)
        if (n != 6) WriteFile(save.path() / ("Bericht 2010 (" + std::to_string(n) + ").bin"), "alt");
    WriteFile(save.path() / "Bericht 2010 (06).bin", "alt");
    rapidjson::Document doc = SaveRun("mixed_base64.kqv", save.path());
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{(save.path() / "Bericht 2010 (6).bin").string()});
    doc = SaveRun("mixed_base64.kqv", save.path());
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{(save.path() / "Bericht 2010 (10).bin").string()});
}

TEST(DumpSaveAttachments, DoesNotFollowALinkPlantedUnderTheName) {
    TempFolder root;
    const fs::path save = root.path() / "save";
    fs::create_directory(save);
    const fs::path victim = root.path() / "victim";
    WriteFile(victim, "keep");
    fs::create_symlink(victim, save / "Bericht 2010.bin");
    fs::create_symlink(root.path() / "nowhere", save / "Bericht 2010 (2).bin");  // dangling

    rapidjson::Document doc = SaveRun("mixed_base64.kqv", save);
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_FALSE(fs::exists(root.path() / "nowhere"));
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{(save / "Bericht 2010 (3).bin").string()});
}

TEST(DumpSaveAttachments, RelativeFolderIsListedAbsolute) {
    TempFolder save;
    const fs::path previous = fs::current_path();
    fs::current_path(save.path());
    const RunResult run = RunDump({"--save-attachments", "sub/dir", kMails + "mixed_base64.kqv"});
    fs::current_path(previous);
    EXPECT_EQ(run.status, 0) << run.err;
    const rapidjson::Document doc = ParseJson(run.out, "output");
    EXPECT_EQ(SavedPaths(doc),
              std::vector<std::string>{(fs::canonical(save.path()) / "sub" / "dir" / "Bericht 2010.bin").string()});
}

TEST(DumpSaveAttachments, FailedLoadStillSavesWhatWasRead) {
    TempFolder save;
    rapidjson::Document doc = SaveRun("cut_part_header.kqv", save.path(), 1);
    EXPECT_EQ(SavedPaths(doc), std::vector<std::string>{(save.path() / "punkt.gif").string()});
    EXPECT_EQ(ReadFile(save.path() / "punkt.gif").size(), 14u);
    ASSERT_TRUE(doc.HasMember("error"));
    EXPECT_STREQ(doc["error"].GetString(), "Unknown Message Part Type.");
}

// Attachment files are made in the save folder while the mail loads: a
// part dropped there takes its file and its name with it.
TEST(DumpSaveAttachments, DroppedPartLeavesNoFileBehind) {
    TempFolder root;
    const fs::path mail = root.path() / "dropped.kqv";
    WriteFile(mail,
              "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
              "--b\r\nContent-Type: application/mac-binhex40; name=\"a.bin\"\r\n\r\nno colon here\r\n"
              "--b\r\nContent-Type: application/octet-stream; name=\"a.bin\"\r\n"
              "Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\n--b--\r\n");
    const fs::path save = root.path() / "save";
    const RunResult run = RunDump({"--save-attachments", save.string(), mail.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SavedPaths(ParseJson(run.out, "output")), std::vector<std::string>{(save / "a.bin").string()});
    EXPECT_EQ(ReadFile(save / "a.bin"), "ABC");
    EXPECT_EQ(std::distance(fs::directory_iterator(save), fs::directory_iterator()), 1);
}

// Linked to the reader's temporary file (same file system) or copied
// (another one), a saved file ends as a plain new file of its own.
TEST(DumpSaveAttachments, SavedFileIsANewFileWhetherLinkedOrCopied) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    TempFolder save;
    std::vector<fs::path> tempBases = {fs::temp_directory_path()};
    struct stat saveFs {}, shmFs {};
    if (::stat(save.path().c_str(), &saveFs) == 0 && ::stat("/dev/shm", &shmFs) == 0 && saveFs.st_dev != shmFs.st_dev)
        tempBases.push_back("/dev/shm");
    for (const fs::path& base : tempBases) {
        TempFolder temp(base);
        const RunResult run = RunDump({"--save-attachments", save.path().string(), kMails + "mixed_base64.kqv"}, temp.path());
        EXPECT_EQ(run.status, 0) << run.err;
        const rapidjson::Document doc = ParseJson(run.out, "output");
        const std::vector<std::string> saved = SavedPaths(doc);
        ASSERT_EQ(saved.size(), 1u) << base;
        struct stat st {};
        ASSERT_EQ(::stat(saved[0].c_str(), &st), 0) << base;
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << base;
        EXPECT_EQ(st.st_nlink, 1u) << base;
        EXPECT_EQ(ReadFile(saved[0]).size(), 10u) << base;
        EXPECT_TRUE(FolderEmpty(temp.path())) << base;
    }
}

TEST(DumpSaveAttachments, FolderThatIsAFileIsAUsageError) {
    TempFolder root;
    const fs::path file = root.path() / "file";
    WriteFile(file, "x");
    const RunResult run = RunDump({"--save-attachments", file.string(), kMails + "mixed_base64.kqv"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
}

// Several files

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string JsonString(const std::string& text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.c_str());
    return buffer.GetString();
}

TEST(DumpBatch, OneLinePerFileLedByItsNameElseAsAlone) {
    const std::vector<std::string> files = {kMails + "mixed_base64.kqv", kMails + "missing.kqv",
                                            kMails + "inline_uue.kqv"};
    const RunResult batch = RunDump(files);
    EXPECT_EQ(batch.status, 1) << "one file fails";
    const std::vector<std::string> lines = Lines(batch.out);
    ASSERT_EQ(lines.size(), files.size()) << batch.out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const RunResult alone = RunDump({files[i]});
        EXPECT_EQ(lines[i] + "\n", "{\"file\":" + JsonString(files[i]) + "," + alone.out.substr(1)) << files[i];
    }

    TempFolder temp;
    const RunResult views = RunDump({"--view", "--temp-dir", temp.path().string(), files[0], files[2]});
    EXPECT_EQ(views.status, 0) << views.err;
    const std::vector<std::string> viewLines = Lines(views.out);
    ASSERT_EQ(viewLines.size(), 2u) << views.out;
    EXPECT_EQ(viewLines[1].rfind("{\"file\":" + JsonString(files[2]) + ",\"subject_line\":", 0), 0u) << viewLines[1];
}

TEST(DumpBatch, EachMailSavesIntoTheFolderOfItsPosition) {
    TempFolder save;
    const RunResult run = RunDump({"--save-attachments", save.path().string(), kMails + "mixed_base64.kqv",
                                   kMails + "latin1_plain.kqv", kMails + "mixed_base64.kqv"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out;
    EXPECT_EQ(SavedPaths(ParseJson(lines[0], "first")),
              std::vector<std::string>{(save.path() / "1" / "Bericht 2010.bin").string()});
    EXPECT_EQ(SavedPaths(ParseJson(lines[1], "second")), std::vector<std::string>{});
    EXPECT_EQ(SavedPaths(ParseJson(lines[2], "third")),
              std::vector<std::string>{(save.path() / "3" / "Bericht 2010.bin").string()});
}

}  // namespace
