#include "view/recording_view.h"

#include <stdexcept>

namespace view {

void RecordingDisplays::ShowHeaderSummary(const std::vector<std::string>& labels,
                                          const std::vector<std::string>& values) {
    headerLabels = labels;
    headerValues = values;
}

void RecordingDisplays::ShowSubjectLine(const std::string& text) { subjectLine = text; }
void RecordingDisplays::ShowMessageText(const JoinedText& text) { messageText = text.Lines(); }
void RecordingDisplays::ShowRawHeader(const std::vector<std::string>& lines) { rawHeader = lines; }

void RecordingDisplays::ShowAttachmentList(const std::vector<std::string>& lines) {
    attachments = lines;
    selectedAttachment = -1;
}

void RecordingDisplays::SetPageVisible(Page page, bool visible) { pageVisible[static_cast<int>(page)] = visible; }
void RecordingDisplays::BringToFront(Page page) { frontPage = page; }
void RecordingDisplays::Repaint() { ++repaints; }

void RecordingHtmlView::Stop() { ++stops; }

void RecordingHtmlView::Navigate(const std::string& target, const HtmlPageSettings& settings) {
    navigations.push_back({target, settings});
    if (failingTarget && *failingTarget == target) throw std::runtime_error("navigation failed");
}

void RecordingMessageBoxes::Show(MessageBoxKind kind, const std::string& text) { boxes.push_back({kind, text}); }

std::optional<std::string> ScriptedSaveDialog::Execute(const std::string& proposedName) {
    proposals.push_back(proposedName);
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    return answer;
}

ShellOpenResult RecordingShell::OpenFile(const std::string& path) {
    calls.push_back("open " + path);
    return openResult;
}

void RecordingShell::ChooseProgramFor(const std::string& path) { calls.push_back("choose " + path); }
void RecordingShell::OpenUrl(const std::string& url) { calls.push_back("url " + url); }

const char* MessageBoxKindName(MessageBoxKind kind) {
    switch (kind) {
    case MessageBoxKind::mbError: return "error";
    case MessageBoxKind::mbInformation: return "information";
    case MessageBoxKind::mbPlain: return "plain";
    }
    return "plain";
}

}  // namespace view
