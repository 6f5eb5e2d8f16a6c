// What the user does with the mail on show: attachments, links, remote content.
#include <system_error>

#include "platform/codepage.h"
#include "platform/files.h"
#include "reader/exceptions.h"
#include "reader/message/message.h"
#include "view/attachment_copy.h"
#include "view/file_name_sanitizer.h"
#include "view/link_policy.h"
#include "view/mail_view_core.h"
#include "view/program_attachments.h"
#include "view/temp_dir.h"
#include "view/temp_layout.h"

namespace view {
namespace {

std::string ProgramRefusedText(const std::string& name) {
    return "Die Anlage \"" + VisibleName(name) +
           "\" ist ein Programm. Sie wird nicht ge\xF6" "ffnet und kann nur gespeichert werden.";
}

}  // namespace

int MailViewCore::SelectedLine() const {
    const int selected = ports_.displays.SelectedAttachment();
    if (selected < 0 || selected >= static_cast<int>(attachmentLines_.size())) return -1;
    return selected;
}

std::vector<int> MailViewCore::PartsOfLine(const std::string& line) const {
    std::vector<int> indices;
    if (!mail_) return indices;
    for (int i = 0; i < mail_->Parts.Count(); ++i) {
        const auto* attachment = dynamic_cast<const TIdAttachment*>(&mail_->Parts.Items(i));
        if (attachment && attachment->AttachedFileName == line) indices.push_back(i);
    }
    return indices;
}

void MailViewCore::btnAnlageSpeichernClick() {
    const int line = SelectedLine();
    if (line < 0) return;
    const Name& name = attachmentLines_[static_cast<std::size_t>(line)];
    const std::vector<int> parts = PartsOfLine(name.local);
    std::string proposal;
    if (!parts.empty())
        proposal = AttachmentFileName(parts.front());
    else
        proposal = Classic() ? platform::LocalToUtf8(SanitizeFileName(name.local, line))
                             : SanitizeFileNameUtf8(name.shown, line);
    const std::optional<std::string> target = ports_.saveDialog.Execute(proposal);
    if (!target) return;
    for (const int i : parts) SaveAttachmentReplacing(static_cast<TIdAttachment&>(mail_->Parts.Items(i)), *target);
}

void MailViewCore::lbAnlagenDblClick() {
    const int line = SelectedLine();
    if (line < 0) return;
    for (const int i : PartsOfLine(attachmentLines_[static_cast<std::size_t>(line)].local)) {
        auto& attachment = static_cast<TIdAttachment&>(mail_->Parts.Items(i));
        if (!OpenAttachmentCopy(attachment, i)) {
            FlushDisplays();
            ports_.boxes.Show(MessageBoxKind::mbInformation, ProgramRefusedText(attachment.AttachedFileName));
        }
    }
}

std::string MailViewCore::CopyIntoOwnFolder(TIdAttachment& attachment, int index, std::string& folder) {
    // A folder of its own: the copy can neither replace nor be replaced by
    // a file of the page, another copy or the program that has it open.
    try {
        platform::ForceDirectories(TempDir(), 0700);
        folder = CreateAttachmentCopyFolder(TempDir(), lastCopyFolder_);
    } catch (const std::system_error&) {
        throw EIdException("Error saving attachment.");
    }
    const std::string path = folder + AttachmentFileName(index);
    try {
        CopyAttachmentPrivately(attachment, path);
    } catch (...) {
        platform::RemoveTree(folder);
        throw;
    }
    return path;
}

bool MailViewCore::OpenAttachmentCopy(TIdAttachment& attachment, int index) {
    std::string folder;
    const std::string path = CopyIntoOwnFolder(attachment, index, folder);
    const std::string fileName = path.substr(folder.size());
    // The desktop sees the file's name, which the Unicode view may write
    // otherwise than the model holds it.
    const std::string start = platform::ReadFileStart(path, kProgramSniffBytes);
    if (IsProgram(attachment.AttachedFileName, start) || IsProgram(fileName, start)) {
        platform::RemoveTree(folder);
        return false;
    }
    if (ports_.shell.OpenFile(path) == ShellOpenResult::soNoAssociation) ports_.shell.ChooseProgramFor(path);
    return true;
}

FolderSaveResult MailViewCore::SaveAllAttachments(const std::string& folder) {
    const std::string target = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    FolderSaveResult result;
    std::vector<bool> done(static_cast<std::size_t>(mail_ ? mail_->Parts.Count() : 0), false);
    for (const Name& line : attachmentLines_) {
        for (const int i : PartsOfLine(line.local)) {
            // Two lines of one name find the same parts.
            if (done[static_cast<std::size_t>(i)]) continue;
            done[static_cast<std::size_t>(i)] = true;
            auto& attachment = static_cast<TIdAttachment&>(mail_->Parts.Items(i));
            // Room for " (nnnn)" within the file system's limit.
            const std::string name = AttachmentFileName(i, 255 - 8);
            try {
                result.saved.push_back(SaveUnderFreeName(attachment, target, name));
            } catch (const EIdException&) {
                result.failed.push_back(line.local);
            }
        }
    }
    return result;
}

std::vector<std::string> MailViewCore::HandOverCopies(int line) {
    std::vector<std::string> paths;
    if (line < 0 || line >= static_cast<int>(attachmentLines_.size())) return paths;
    for (const int i : PartsOfLine(attachmentLines_[static_cast<std::size_t>(line)].local)) {
        // As for opening, but a copy is data only, so programs pass too.
        std::string folder;
        const std::string path = CopyIntoOwnFolder(static_cast<TIdAttachment&>(mail_->Parts.Items(i)), i, folder);
        paths.push_back(path);
    }
    return paths;
}

std::optional<MailViewCore::AttachmentDetails> MailViewCore::LineDetails(int line) {
    if (line < 0 || line >= static_cast<int>(attachmentLines_.size())) return std::nullopt;
    const std::vector<int> parts = PartsOfLine(attachmentLines_[static_cast<std::size_t>(line)].local);
    if (parts.empty()) return std::nullopt;
    auto& attachment = static_cast<TIdAttachment&>(mail_->Parts.Items(parts.front()));
    AttachmentDetails details;
    details.contentType = attachment.ContentType;
    try {
        details.size = attachment.OpenReadSource().Size();
    } catch (const std::exception&) {
        details.size = -1;
    }
    attachment.CloseReadSource();
    return details;
}

void MailViewCore::WebBrowser1BeforeNavigate2(const std::string& url, bool& cancel) {
    switch (DecideNavigation(url, mailFolder_ ? mailFolder_->Files().get() : nullptr)) {
    case NavigationDecision::ndProceed:
        return;
    case NavigationDecision::ndOpenOutside:
        ports_.shell.OpenUrl(url);
        cancel = true;
        return;
    case NavigationDecision::ndCancel:
        cancel = true;
        return;
    }
}

void MailViewCore::AllowExternalContent() {
    remoteContentAllowed_ = true;
    if (htmlPublished_) ports_.html.Navigate(htmlTempFileName_, PageSettings());
}

}  // namespace view
