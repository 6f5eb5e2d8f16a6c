#include "view/attachment_copy.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/files.h"
#include "reader/exceptions.h"
#include "reader/io/stream.h"
#include "reader/message/message_parts.h"

namespace view {
namespace {

// Writes the content into the new file, which is removed again on failure.
void WriteContent(TIdAttachment& attachment, std::unique_ptr<TFileStream> file) {
    const std::string path = file->Path();
    try {
        attachment.CopyToStream(*file);
        file->Close();
    } catch (...) {
        file.reset();
        platform::DeleteFile(path);
        throw EIdException("Error saving attachment.");
    }
}

// A hidden new file in the target's folder, so that the rename that
// completes the save stays inside one file system.
std::unique_ptr<TFileStream> CreateBeside(const std::string& target, unsigned perms) {
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            folder + "." + name + ".kqv" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        int err = 0;
        if (std::unique_ptr<TFileStream> file = TFileStream::TryCreateExclusive(path, err, perms)) return file;
        if (err != EEXIST) break;
    }
    throw EIdException("Error saving attachment.");
}

}  // namespace

void CopyAttachmentPrivately(TIdAttachment& attachment, const std::string& path) {
    int err = 0;
    std::unique_ptr<TFileStream> target = TFileStream::TryCreateExclusive(path, err);
    if (!target) throw EIdException("Error saving attachment.");
    WriteContent(attachment, std::move(target));
}

void SaveAttachmentReplacing(TIdAttachment& attachment, const std::string& target) {
    const bool replacing = platform::FileExists(target);
    std::unique_ptr<TFileStream> file = CreateBeside(target, 0666);
    const std::string temp = file->Path();
    WriteContent(attachment, std::move(file));
    try {
        if (replacing) platform::SetFileMode(temp, platform::FileMode(target));
        platform::RenameFile(temp, target);
    } catch (const std::system_error&) {
        platform::DeleteFile(temp);
        throw EIdException("Error saving attachment.");
    }
}

}  // namespace view
