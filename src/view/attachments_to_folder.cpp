#include "view/attachments_to_folder.h"

#include <cerrno>
#include <sys/stat.h>

#include "platform/codepage.h"
#include "platform/files.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "reader/message/message_parts.h"

namespace view {
namespace {

// Far more than any folder holds under one name; ends a loop on a folder
// that answers "taken" for everything.
constexpr int kMaxNumber = 10000;

mode_t UsualFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string NumberedName(const std::string& name, int n) {
    if (n < 2) return name;
    const std::string suffix = " (" + std::to_string(n) + ")";
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string SaveUnderFreeName(TIdAttachment& attachment, const std::string& folder, const std::string& name) {
    for (int n = 1; n <= kMaxNumber; ++n) {
        const std::string path = folder + NumberedName(name, n);
        int err = 0;
        std::unique_ptr<TFileStream> target = TFileStream::TryCreateExclusive(path, err);
        if (!target) {
            if (err == EEXIST) continue;
            break;
        }
        try {
            attachment.CopyToStream(*target);
            target->Close();
            platform::SetFileMode(path, UsualFileMode());
        } catch (...) {
            target.reset();
            platform::DeleteFile(path);
            break;
        }
        return path;
    }
    throw EIdException("Error saving attachment.");
}

std::string FolderSaveReport(const FolderSaveResult& result, const std::string& folder) {
    const std::size_t count = result.saved.size();
    std::string text = count == 1 ? "Es wurde 1 Anlage" : "Es wurden " + std::to_string(count) + " Anlagen";
    text += " in \"" + platform::Utf8ToLocal(folder) + "\" gespeichert.";
    if (!result.failed.empty()) {
        text += "\rNicht gespeichert werden konnte";
        text += result.failed.size() == 1 ? ": " : "n: ";
        for (std::size_t i = 0; i < result.failed.size(); ++i) text += (i ? ", " : "") + result.failed[i];
    }
    return text;
}

}  // namespace view
