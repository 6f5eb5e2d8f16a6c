#pragma once
// Where the view's files go inside TempDir:
//   Mail00001/                 one folder per mail shown, made afresh:
//     MailViewerTemp00001.HTML   its page
//     <content id> ...           its content-id files
//   Anlagen/00001/<name>       one folder per opened attachment copy
// A mail folder goes when the next mail is shown and when the view ends;
// copies handed to other programs stay until a later start finds them
// older than a day. Every folder is the user's alone and new, so no other
// mail's files, no opened copy and nothing planted can stand in for a
// file of the mail on show.

#include <memory>
#include <string>

#include "view/page_files.h"

namespace view {

inline constexpr long long kStaleAfterSeconds = 24 * 60 * 60;

class MailTempFolder {
public:
    // Creates the next free TempDir + "Mail" + five digits + "/" above
    // lastNumber, which it advances. When no folder can be made, the
    // result names the folder that was tried, and writing there fails.
    static std::unique_ptr<MailTempFolder> Create(const std::string& tempDir, int& lastNumber);
    // Removes the folder, if it made one, with everything in it.
    ~MailTempFolder();
    MailTempFolder(const MailTempFolder&) = delete;
    MailTempFolder& operator=(const MailTempFolder&) = delete;

    // Ends with "/".
    const std::string& Path() const { return path_; }
    // The files of the page in this folder, shared with the HTML view.
    const std::shared_ptr<PageFiles>& Files() const { return files_; }

private:
    MailTempFolder(std::string path, bool created);

    std::string path_;
    bool created_;
    std::shared_ptr<PageFiles> files_;
};

// A new folder for one opened attachment copy: TempDir + "Anlagen/" + five
// digits + "/", above lastNumber, which it advances. Raises std::system_error.
std::string CreateAttachmentCopyFolder(const std::string& tempDir, int& lastNumber);

// Removes mail folders and attachment copies that are older than the age
// limit (left by a run that ended without cleaning up, or handed to
// programs). Nothing else in TempDir is touched.
void RemoveStaleTempFiles(const std::string& tempDir, long long now, long long maxAgeSeconds = kStaleAfterSeconds);

}  // namespace view
