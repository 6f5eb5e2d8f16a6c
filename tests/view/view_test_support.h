#pragma once
// A fresh folder per test, TempDir inside it, and a mail view core wired to
// recording collaborators.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <vector>
#include <functional>
#include <memory>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/sleep.h"
#include "view/mail_view_core.h"
#include "view/recording_view.h"
#include "view/temp_dir.h"

namespace viewtest {

inline std::string DataFile(const std::string& name) { return std::string(KQV_TEST_DATA_DIR) + "/view/" + name; }

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/kqv-view-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (!made) throw std::runtime_error("mkdtemp failed");
        path_ = made;
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // A copy of a test mail, so that a repair cannot touch the original.
    std::string CopyMail(const std::string& name) const {
        const std::string target = *this / name;
        platform::WriteWholeFile(target, platform::ReadWholeFile(DataFile(name)), 0644);
        return target;
    }
    std::string WriteMail(const std::string& name, const std::string& content) const {
        const std::string target = *this / name;
        platform::WriteWholeFile(target, content, 0644);
        return target;
    }

private:
    std::string path_;
};

// Pins the time zone for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (old_)
            ::setenv("TZ", old_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

// Displays that can run a test's hook when the subject is shown (the first
// display ChangeMail fills after choosing the HTML file name) or on repaint.
// They record local text (the view's UTF-8 turned back into Windows-1252,
// which loses nothing of the classic view) unless told to keep UTF-8.
class HookedDisplays : public view::RecordingDisplays {
public:
    std::function<void()> onSubject;
    std::function<void()> onRepaint;
    bool recordLocal = true;

    void ShowHeaderSummary(const std::vector<std::string>& labels, const std::vector<std::string>& values) override {
        RecordingDisplays::ShowHeaderSummary(Recorded(labels), Recorded(values));
    }
    void ShowMessageText(const view::JoinedText& text) override {
        RecordingDisplays::ShowMessageText(text);
        messageText = Recorded(messageText);
    }
    void ShowRawHeader(const std::vector<std::string>& lines) override {
        RecordingDisplays::ShowRawHeader(Recorded(lines));
    }
    void ShowAttachmentList(const std::vector<std::string>& lines) override {
        RecordingDisplays::ShowAttachmentList(Recorded(lines));
    }
    void ShowSubjectLine(const std::string& text) override {
        RecordingDisplays::ShowSubjectLine(recordLocal ? platform::Utf8ToLocal(text) : text);
        if (onSubject) onSubject();
    }
    void Repaint() override {
        RecordingDisplays::Repaint();
        if (onRepaint) onRepaint();
    }

private:
    std::vector<std::string> Recorded(const std::vector<std::string>& lines) const {
        if (!recordLocal) return lines;
        std::vector<std::string> local;
        local.reserve(lines.size());
        for (const std::string& line : lines) local.push_back(platform::Utf8ToLocal(line));
        return local;
    }
};

// Everything a test of the core needs: scratch folder, TempDir below it,
// recording collaborators and the core.
class ViewFixture : public ::testing::Test {
protected:
    ViewFixture() {
        oldTempDir_ = view::TempDir();
        view::SetTempDir(scratch / "Temp");
        core = std::make_unique<view::MailViewCore>(view::MailViewPorts{displays, html, boxes, saveDialog, shell});
        // The rules of the classic view; the Unicode view has tests of its own.
        core->SetDefaultCharset(view::CharsetChoice::Classic());
    }
    ~ViewFixture() override {
        core.reset();
        view::SetTempDir(oldTempDir_);
        platform::SetSleepFunction({});
    }

    // Copies the test mail into the scratch folder and shows it.
    void Show(const std::string& name) {
        core->MailFileName = scratch.CopyMail(name);
        core->ChangeMail();
    }
    void ShowContent(const std::string& content) {
        core->MailFileName = scratch.WriteMail("inline.kqv", content);
        core->ChangeMail();
    }
    const std::string& Temp() const { return view::TempDir(); }

    // Mail dates of the test mails are +0100: shown as written.
    ScopedTimeZone zone{"Etc/GMT-1"};
    ScratchFolder scratch;
    HookedDisplays displays;
    view::RecordingHtmlView html;
    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog saveDialog;
    view::RecordingShell shell;
    std::unique_ptr<view::MailViewCore> core;

private:
    std::string oldTempDir_;
};

// Every path below folder, relative to it, sorted.
inline std::vector<std::string> TreeOf(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        paths.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

inline mode_t ModeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

}  // namespace viewtest
