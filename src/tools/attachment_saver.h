#pragma once
// Copies of attachments in a folder the user names: every name taken from a
// mail is made safe first, and no existing file is ever replaced.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>

#include "reader/message/message_parts.h"

// The announced file name (local text) made safe as one name inside a
// folder: path separators, the characters that other systems forbid in names
// and control characters become "_"; leading dots and blanks go (no hidden
// files, no "." or ".."); an empty result becomes "Anlage" + index. Over-long
// names are shortened, keeping the extension.
std::string SafeAttachmentName(std::string_view announced, int index);

// The folder for saved attachments, created with its parents when missing.
// Returns false and fills error when it cannot be made or is no folder;
// otherwise absolute holds its absolute path.
bool PrepareSaveFolder(const std::string& folder, std::string& absolute, std::string& error);

enum class LinkOutcome { Moved, Linked, CopyInstead, Failed };

// Saves the finished file at source under a free safe name in folder
// without copying a byte (path is the name taken): Moved when the file
// system could give it the new name without ever replacing a file (the
// source name is gone then), else Linked as a second name of the same file.
// CopyInstead when the folder cannot hold the file that way (another file
// system, say); Failed, with error, when no name is free. The saved name
// keeps the source's permissions until MakeSavedFileReadable.
LinkOutcome MoveSavedAttachment(const std::string& folder, std::string_view announced, int index,
                                const std::string& source, std::string& path, std::string& error);

// Gives a saved file the permissions of a newly created one (0666 less the
// umask). For a linked file, only once its temporary name is gone, so that
// the temporary folder never shows the content to others.
void MakeSavedFileReadable(const std::string& path);

// Makes each attachment's file of a loading mail right in the save folder,
// under the name it is saved by: saving it then needs neither a rename nor
// a copy. Only when the reader's temporary folder lies on the same file
// system: a write that fails (a full disk) then fails in either place, so
// what loads and what is reported stay the same. Where no file can be made,
// the reader falls back to its temporary folder, and saving tries again
// (and reports) as before.
class SaveFolderPlacer final : public TIdAttachmentFilePlacer {
public:
    SaveFolderPlacer(std::string folder, const std::string& tempFolder);
    std::unique_ptr<TFileStream> CreateFile(const TIdAttachmentFile& attachment) override;
    // Whether path is a file made here.
    bool Placed(const std::string& path) const { return placed_.contains(path); }

private:
    std::string folder_;
    bool sameFileSystem_ = false;
    std::unordered_set<std::string> placed_;
};

// One new file in the save folder, created exclusively: when the safe name is
// taken, "name (2).ext", "name (3).ext", ... are tried.
class SavedAttachmentFile {
public:
    static std::unique_ptr<SavedAttachmentFile> Create(const std::string& folder, std::string_view announced,
                                                       int index, std::string& error);
    ~SavedAttachmentFile();
    SavedAttachmentFile(const SavedAttachmentFile&) = delete;
    SavedAttachmentFile& operator=(const SavedAttachmentFile&) = delete;

    bool Write(const void* data, std::size_t size, std::string& error);
    bool Close(std::string& error);
    // Closes and removes the file (after a failed copy).
    void Discard();
    const std::string& Path() const { return path_; }

private:
    SavedAttachmentFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    int fd_;
    std::string path_;
};
