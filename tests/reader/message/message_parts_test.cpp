#include "reader/message/message_parts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "platform/clock.h"
#include "reader/exceptions.h"
#include "reader/message/message.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::set<std::string> NamesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// A fresh folder per test and a pinned millisecond clock.
class AttachmentFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kqv-model-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        PinTick(0x00ABCDEF);
    }
    void TearDown() override {
        platform::SetTickCountSource({});
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void PinTick(std::uint32_t value) {
        platform::SetTickCountSource([value] { return value; });
    }
    std::string Dir() const { return dir_.string(); }
    std::string InDir(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST(MessagePart, BaseClassCannotBeCreated) {
    try {
        TIdMessagePart part(nullptr);
        FAIL() << "constructed";
    } catch (const EIdCanNotCreateMessagePart& e) {
        EXPECT_STREQ(e.what(), "TIdMessagePart can not be created.  Use descendant classes. ");
    }
}

TEST(MessagePart, DefaultsAndRoles) {
    TIdMessageParts parts(nullptr);
    TIdText& text = parts.Add<TIdText>();
    TIdAttachmentFile& file = parts.Add<TIdAttachmentFile>("/a/b/report.pdf");
    EXPECT_EQ(text.ParentPart, -1);
    EXPECT_EQ(text.PartRole(), 0);
    EXPECT_EQ(file.PartRole(), 1);
    EXPECT_EQ(file.AttachedFileName, "report.pdf");
    EXPECT_EQ(file.TempPath, "/a/b/report.pdf");
    EXPECT_FALSE(file.OwnsTempFile);
    EXPECT_FALSE(file.Blocked);
    EXPECT_EQ(parts.Add<TIdAttachmentFile>("plain.txt").AttachedFileName, "plain.txt");
    EXPECT_EQ(parts.IndexOf(file), 1);
    EXPECT_EQ(text.OwnerMessage(), nullptr);

    TStringList lines{"a", "b"};
    EXPECT_EQ(parts.Add<TIdText>(&lines).Body.Count(), 2);
}

TEST(MessagePart, HeaderBackedProperties) {
    TIdMessageParts parts(nullptr);
    TIdAttachmentFile& a = parts.Add<TIdAttachmentFile>();
    a.Headers.Add("Content-Type: application/pdf; name=\"r e.pdf\"");
    a.Headers.Add("Content-Disposition: attachment;");
    a.Headers.Add("\tfilename=x.pdf");
    EXPECT_EQ(a.HeaderContentType(), "application/pdf");
    EXPECT_EQ(a.ContentTypeName(), "r e.pdf");
    EXPECT_EQ(a.ContentDisposition(), "attachment");

    a.SetContentID("<cid@x>");
    a.SetContentLocation("loc");
    a.SetContentDescription("desc");
    EXPECT_EQ(a.ContentID(), "<cid@x>");
    EXPECT_EQ(a.ContentLocation(), "loc");
    EXPECT_EQ(a.ContentDescription(), "desc");
    a.SetContentID("");  // the empty text removes the line
    EXPECT_EQ(a.Headers.FindField("Content-ID"), -1);

    a.SetContentDisposition("inline");
    EXPECT_EQ(a.ContentDisposition(), "inline");
    EXPECT_EQ(a.Headers.FindField("filename"), -1);  // continuation went with it
}

TEST(MessagePart, TextCharsetWriters) {
    TIdMessageParts parts(nullptr);
    TIdText& t = parts.Add<TIdText>();
    t.Headers.Add("Content-Type: text/plain; charset=iso-8859-1");
    EXPECT_EQ(t.HeaderContentType(), "text/plain");

    t.SetHeaderContentType("text/html");
    EXPECT_EQ(t.Headers.ValueOf("Content-Type"), "text/html; CHARSET=\"iso-8859-1\"");

    t.SetCharSetHeader("utf-8");
    EXPECT_EQ(t.Headers.ValueOf("Content-Type"), "text/html; CHARSET=\"utf-8\"");
    EXPECT_EQ(t.Headers.Count(), 1);

    // The plain field never touches the header line.
    t.CharSet = "x";
    EXPECT_EQ(t.Headers.ValueOf("Content-Type"), "text/html; CHARSET=\"utf-8\"");
}

TEST(MessagePart, MemoryAttachmentStorage) {
    TIdMessageParts parts(nullptr);
    TIdAttachmentMemory& m = parts.Add<TIdAttachmentMemory>();
    m.DataStream.WriteString("old");
    TStream& w = m.OpenWriteTarget();
    w.WriteString("hello");
    m.CloseWriteTarget();
    EXPECT_EQ(m.DataStream.Position(), 0);

    m.DataStream.Seek(2);
    TMemoryStream copy;
    m.CopyToStream(copy);
    EXPECT_EQ(copy.Data(), "hello");
    EXPECT_EQ(m.DataStream.Position(), 2);  // read position restored
}

TEST_F(AttachmentFiles, MemoryAttachmentCopyToFileTruncates) {
    TIdMessageParts parts(nullptr);
    TIdAttachmentMemory& m = parts.Add<TIdAttachmentMemory>();
    m.OpenWriteTarget().WriteString("new");
    m.CloseWriteTarget();
    WriteFile(InDir("dest"), "a much longer old content");
    m.CopyToFile(InDir("dest"));
    EXPECT_EQ(ReadFile(InDir("dest")), "new");
}

TEST_F(AttachmentFiles, MakeTempFileName) {
    EXPECT_EQ(MakeTempFileName(Dir()), InDir("kqv00ABCDEF.tmp"));
    EXPECT_EQ(MakeTempFileName(Dir() + "/"), InDir("kqv00ABCDEF.tmp"));

    WriteFile(InDir("kqv00ABCDEF.tmp"), "");
    fs::create_directory(InDir("kqv00ABCDF0.tmp"));
    EXPECT_EQ(MakeTempFileName(Dir()), InDir("kqv00ABCDF1.tmp"));
    EXPECT_FALSE(fs::exists(InDir("kqv00ABCDF1.tmp")));  // only named, not made

    // A folder that does not exist gives a name relative to the working folder.
    EXPECT_EQ(MakeTempFileName(InDir("missing")), "kqv00ABCDEF.tmp");

    const std::string dflt = MakeTempFileName("");
    EXPECT_EQ(dflt.substr(0, DefaultTempDirectory().size()), DefaultTempDirectory());
    EXPECT_EQ(dflt.size(), DefaultTempDirectory().size() + 15);

    PinTick(0xFFFFFFFF);
    WriteFile(InDir("kqvFFFFFFFF.tmp"), "");
    EXPECT_EQ(MakeTempFileName(Dir()), InDir("kqv00000000.tmp"));  // the counter wraps
}

TEST(TempDirectory, DefaultEndsWithDelimiter) {
    const std::string& d = DefaultTempDirectory();
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d.back(), '/');
    EXPECT_TRUE(fs::is_directory(d));
    EXPECT_EQ(&d, &DefaultTempDirectory());
}

TEST_F(AttachmentFiles, TwoAttachmentsInTheSameMillisecond) {
    TIdMessage m;
    m.SetAttachmentTempDirectory(Dir());
    TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
    TIdAttachmentFile& b = m.Parts.Add<TIdAttachmentFile>();
    a.OpenWriteTarget().WriteString("first");
    b.OpenWriteTarget().WriteString("second");
    a.CloseWriteTarget();
    b.CloseWriteTarget();
    EXPECT_EQ(a.TempPath, InDir("kqv00ABCDEF.tmp"));
    EXPECT_EQ(b.TempPath, InDir("kqv00ABCDF0.tmp"));
    EXPECT_TRUE(a.OwnsTempFile);
    EXPECT_FALSE(a.Blocked);
    EXPECT_EQ(ReadFile(a.TempPath), "first");
    EXPECT_EQ(ReadFile(b.TempPath), "second");

    struct stat st {};
    ASSERT_EQ(::stat(a.TempPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    TMemoryStream copy;
    b.CopyToStream(copy);
    EXPECT_EQ(copy.Data(), "second");
}

TEST_F(AttachmentFiles, NeverFollowsAPlantedLink) {
    struct Row {
        const char* name;
        bool targetExists;
    };
    const Row rows[] = {{"link-to-existing-file", true}, {"dangling-link", false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path victim = dir_ / (std::string("victim-") + row.name);
        if (row.targetExists) WriteFile(victim, "precious");
        const std::string planted = InDir("kqv00ABCDEF.tmp");
        fs::create_symlink(victim, planted);
        {
            TIdMessage m;
            m.SetAttachmentTempDirectory(Dir());
            TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
            a.OpenWriteTarget().WriteString("attacker would like this");
            a.CloseWriteTarget();
            EXPECT_EQ(a.TempPath, InDir("kqv00ABCDF0.tmp"));
        }
        EXPECT_TRUE(fs::is_symlink(planted));
        if (row.targetExists) {
            EXPECT_EQ(ReadFile(victim), "precious");
        } else {
            EXPECT_FALSE(fs::exists(victim));
        }
        EXPECT_FALSE(fs::exists(InDir("kqv00ABCDF0.tmp")));
        fs::remove(planted);
        fs::remove(victim);
    }
}

TEST(AttachmentFileErrors, CreationFailureRaisesFileError) {
    // A folder that takes no new files, even for root.
    if (!fs::is_directory("/proc")) GTEST_SKIP() << "no /proc";
    TIdMessage m;
    m.SetAttachmentTempDirectory("/proc");
    TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
    EXPECT_THROW(a.OpenWriteTarget(), EFCreateError);
    EXPECT_FALSE(a.OwnsTempFile);
}

TEST_F(AttachmentFiles, BlockedAttachment) {
    struct Row {
        const char* name;
        bool owned;           // part belongs to a message
        bool raiseOnBlocked;  // ExceptionOnBlockedAttachments
        bool expectThrow;
    };
    const Row rows[] = {
        {"message-tolerates", true, false, false},
        {"message-raises", true, true, true},
        {"no-message-raises", false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TIdMessage m;
        m.SetAttachmentTempDirectory(Dir());
        m.ExceptionOnBlockedAttachments = row.raiseOnBlocked;
        TIdMessageParts loose(nullptr);
        TIdAttachmentFile& a = row.owned ? m.Parts.Add<TIdAttachmentFile>() : loose.Add<TIdAttachmentFile>();
        a.OpenWriteTarget().WriteString("x");
        fs::remove(a.TempPath);  // the scanner strikes before the close
        if (row.expectThrow) {
            try {
                a.CloseWriteTarget();
                ADD_FAILURE() << "no exception";
            } catch (const EIdMessageCannotLoad& e) {
                EXPECT_EQ(std::string(e.what()), "Attachment " + a.TempPath + " is blocked.");
            }
        } else {
            a.CloseWriteTarget();
        }
        EXPECT_TRUE(a.Blocked);
    }
}

TEST_F(AttachmentFiles, CopyToFile) {
    TIdMessage m;
    m.SetAttachmentTempDirectory(Dir());
    TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
    a.OpenWriteTarget().WriteString(std::string(100000, 'z') + "end");
    a.CloseWriteTarget();

    const std::string fresh = InDir("saved.bin");
    a.CopyToFile(fresh);
    EXPECT_EQ(ReadFile(fresh), std::string(100000, 'z') + "end");

    struct Row {
        const char* name;
        std::function<void(const std::string&)> plant;
        std::string victimContent;
    };
    const std::string victim = InDir("victim");
    WriteFile(victim, "keep me");
    const Row rows[] = {
        {"existing-file", [](const std::string& p) { WriteFile(p, "keep me"); }, "keep me"},
        {"link-to-other-file", [&](const std::string& p) { fs::create_symlink(victim, p); }, "keep me"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dest = InDir(std::string("dest-") + row.name);
        row.plant(dest);
        try {
            a.CopyToFile(dest);
            ADD_FAILURE() << "copied onto an existing destination";
        } catch (const EIdException& e) {
            EXPECT_STREQ(e.what(), "Error saving attachment.");
        }
        EXPECT_EQ(ReadFile(dest), row.victimContent);
        EXPECT_EQ(ReadFile(victim), "keep me");
    }

    // A vanished temp file fails the copy and leaves no empty destination.
    fs::remove(a.TempPath);
    const std::string orphan = InDir("orphan");
    EXPECT_THROW(a.CopyToFile(orphan), EIdException);
    EXPECT_FALSE(fs::exists(orphan));
}

TEST_F(AttachmentFiles, FreeingTheMessageDeletesExactlyItsTempFiles) {
    WriteFile(InDir("unrelated.txt"), "u");
    WriteFile(InDir("kqv00ABCDEF.tmp"), "someone else's");  // taken name, not ours
    auto m = std::make_unique<TIdMessage>();
    m->SetAttachmentTempDirectory(Dir());
    for (int i = 0; i < 3; ++i) {
        TIdAttachmentFile& a = m->Parts.Add<TIdAttachmentFile>();
        a.OpenWriteTarget().WriteString("data");
        a.CloseWriteTarget();
    }
    m->Parts.Add<TIdAttachmentFile>(InDir("unrelated.txt"));  // names a file, does not own it
    TIdAttachmentFile& moved = m->Parts.Add<TIdAttachmentFile>();
    moved.OpenWriteTarget();
    moved.CloseWriteTarget();
    const std::string created = moved.TempPath;
    moved.TempPath = InDir("unrelated.txt");  // only the created file is ours
    EXPECT_EQ(NamesIn(dir_).size(), 6u);

    m.reset();
    EXPECT_EQ(NamesIn(dir_), (std::set<std::string>{"unrelated.txt", "kqv00ABCDEF.tmp"}));
    EXPECT_FALSE(fs::exists(created));
}

TEST_F(AttachmentFiles, ResetAndDeleteRemoveTempFiles) {
    TIdMessage m;
    m.SetAttachmentTempDirectory(Dir());
    TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
    a.OpenWriteTarget();
    a.CloseWriteTarget();
    TIdAttachmentFile& b = m.Parts.Add<TIdAttachmentFile>();
    b.OpenWriteTarget();
    b.CloseWriteTarget();
    const std::string pathB = b.TempPath;
    m.Parts.Delete(0);
    EXPECT_EQ(NamesIn(dir_), (std::set<std::string>{fs::path(pathB).filename().string()}));
    m.ResetMessage();
    EXPECT_TRUE(NamesIn(dir_).empty());

    // A file handed back to the caller stays.
    TIdAttachmentFile& kept = m.Parts.Add<TIdAttachmentFile>();
    kept.OpenWriteTarget();
    kept.CloseWriteTarget();
    kept.OwnsTempFile = false;
    m.ResetBody();
    EXPECT_EQ(NamesIn(dir_).size(), 1u);
}

TEST_F(AttachmentFiles, LoadFromFileFillsTheAttachment) {
    WriteFile(InDir("source"), "payload");
    TIdMessage m;
    m.SetAttachmentTempDirectory(Dir());
    TIdAttachmentFile& a = m.Parts.Add<TIdAttachmentFile>();
    a.LoadFromFile(InDir("source"));
    EXPECT_EQ(ReadFile(a.TempPath), "payload");
    EXPECT_THROW(a.LoadFromFile(InDir("nope")), EFOpenError);
}

}  // namespace
