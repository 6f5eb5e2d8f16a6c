// What the user does with the mail on show: attachments, links, remote content.
#include "platform/codepage.h"
#include "platform/files.h"
#include "reader/message/message.h"
#include "view/attachment_copy.h"
#include "view/file_name_sanitizer.h"
#include "view/link_policy.h"
#include "view/mail_view_core.h"
#include "view/temp_dir.h"

namespace view {

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
    for (const int i : parts) {
        auto& attachment = static_cast<TIdAttachment&>(mail_->Parts.Items(i));
        if (platform::FileExists(*target)) platform::DeleteFile(*target);
        attachment.CopyToFile(*target);
    }
}

void MailViewCore::lbAnlagenDblClick() {
    const int line = SelectedLine();
    if (line < 0) return;
    for (const int i : PartsOfLine(attachmentLines_[static_cast<std::size_t>(line)].local)) {
        auto& attachment = static_cast<TIdAttachment&>(mail_->Parts.Items(i));
        const std::string path = TempDir() + AttachmentFileName(i);
        platform::ForceDirectories(TempDir());
        if (platform::FileExists(path)) platform::DeleteFile(path);
        CopyAttachmentPrivately(attachment, path);
        if (ports_.shell.OpenFile(path) == ShellOpenResult::soNoAssociation) ports_.shell.ChooseProgramFor(path);
    }
}

void MailViewCore::WebBrowser1BeforeNavigate2(const std::string& url, bool& cancel) {
    switch (DecideNavigation(url, TempDir())) {
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
