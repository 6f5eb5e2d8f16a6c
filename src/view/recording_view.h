#pragma once
// Displays, HTML view, message boxes, save dialog and desktop that only
// record what the core asks of them: the headless view of kqv-dump and the
// collaborators of the view's tests.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "view/desktop_shell.h"
#include "view/html_view.h"
#include "view/message_boxes.h"
#include "view/save_dialog.h"
#include "view/view_displays.h"

namespace view {

class RecordingDisplays : public ViewDisplays {
public:
    std::vector<std::string> headerLabels;
    std::vector<std::string> headerValues;
    std::string subjectLine;
    std::vector<std::string> messageText;
    std::vector<std::string> rawHeader;
    std::vector<std::string> attachments;
    int selectedAttachment = -1;
    bool pageVisible[4] = {true, true, true, true};
    Page frontPage = Page::tsText;
    int repaints = 0;

    bool Visible(Page page) const { return pageVisible[static_cast<int>(page)]; }

    void ShowHeaderSummary(const std::vector<std::string>& labels, const std::vector<std::string>& values) override;
    void ShowSubjectLine(const std::string& text) override;
    void ShowMessageText(const JoinedText& text) override;
    void ShowRawHeader(const std::vector<std::string>& lines) override;
    void ShowAttachmentList(const std::vector<std::string>& lines) override;
    int SelectedAttachment() const override { return selectedAttachment; }
    void SetPageVisible(Page page, bool visible) override;
    void BringToFront(Page page) override;
    void Repaint() override;
};

class RecordingHtmlView : public HtmlView {
public:
    struct Navigation {
        std::string target;
        HtmlPageSettings settings;
    };
    std::vector<Navigation> navigations;
    int stops = 0;
    // Tests: make Navigate raise for this target.
    std::optional<std::string> failingTarget;

    void Stop() override;
    void Navigate(const std::string& target, const HtmlPageSettings& settings) override;
};

class RecordingMessageBoxes : public MessageBoxes {
public:
    struct Box {
        MessageBoxKind kind;
        std::string text;
    };
    std::vector<Box> boxes;

    void Show(MessageBoxKind kind, const std::string& text) override;
};

// Answers with the queued paths in turn, then cancels.
class ScriptedSaveDialog : public SaveDialog {
public:
    std::deque<std::optional<std::string>> answers;
    std::vector<std::string> proposals;

    std::optional<std::string> Execute(const std::string& proposedName) override;
};

class RecordingShell : public DesktopShell {
public:
    // "open <path>", "choose <path>", "url <url>", in order.
    std::vector<std::string> calls;
    ShellOpenResult openResult = ShellOpenResult::soOpened;

    ShellOpenResult OpenFile(const std::string& path) override;
    void ChooseProgramFor(const std::string& path) override;
    void OpenUrl(const std::string& url) override;
};

const char* MessageBoxKindName(MessageBoxKind kind);  // "error", "information", "plain"

}  // namespace view
