#pragma once
// File-system operations of the viewer. Paths are the platform's own byte
// strings (UTF-8 here); errors that callers must see are raised as
// std::system_error whose text names the path.

#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace platform {

// True when anything (file, folder, link) stands at the path; a link is not
// followed.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Creates the folder with any missing parents; false when it still is not a
// folder afterwards. New folders get the given mode (less the umask).
bool ForceDirectories(const std::string& path, mode_t mode = 0777);

// Makes the folder the user's alone: creates it (missing parents with the
// usual mode) with mode 0700, or takes an existing one that belongs to the
// user and narrows its mode to 0700. False when the folder cannot be had
// that way (it belongs to someone else, or is not a folder).
bool EnsurePrivateFolder(const std::string& path);

// A folder (not a link to one) that belongs to the user and that only the
// user may enter: mode 0700.
bool IsPrivateFolder(const std::string& path);

// Creates one new folder with the mode (less the umask); false, with errno
// set, when it cannot (EEXIST when the name is taken).
bool CreateFolder(const std::string& path, mode_t mode);

// Removes a file or link (never a folder); false when it could not.
bool DeleteFile(const std::string& path);

// Removes a folder with everything in it, never following a link; false
// when something stayed.
bool RemoveTree(const std::string& path);

// Seconds since the epoch of the entry's last change (a link itself), or -1.
long long ModificationTime(const std::string& path);

// The path with every link, "." and ".." resolved; empty when it does not
// lead to anything.
std::string ResolvedPath(const std::string& path);

// Copies source to a new file target; fails when target exists (a link
// there included). The copy gets the given mode.
void CopyFileExclusive(const std::string& source, const std::string& target, mode_t mode);

// Replaces target by source in one step.
void RenameFile(const std::string& source, const std::string& target);

void SetFileMode(const std::string& path, mode_t mode);
// Mode bits of an existing file (permissions only).
mode_t FileMode(const std::string& path);

// Writes a whole file, creating or truncating it; a link at the path is not
// followed. A new file gets the given mode.
void WriteWholeFile(const std::string& path, std::string_view bytes, mode_t mode);
std::string ReadWholeFile(const std::string& path);
// Writes a new file; fails when anything stands at the path already (a
// link, a FIFO, a planted file), so nothing that is there is reused.
void WriteNewFile(const std::string& path, std::string_view bytes, mode_t mode);
// Up to maxBytes from the start of a regular file; empty for anything else.
// Never waits for a writer (a FIFO) and never follows a link.
std::string ReadFileStart(const std::string& path, std::size_t maxBytes);

// Names of the entries of a folder whose name starts with prefix and ends
// with suffix (letter case as given); empty when the folder cannot be read.
std::vector<std::string> ListDirectory(const std::string& folder, std::string_view prefix = {},
                                       std::string_view suffix = {});

// The folder of the running executable, with a trailing "/".
std::string ExecutableDirectory();

// True when the current user may create files in the folder.
bool DirectoryWritable(const std::string& path);

}  // namespace platform
