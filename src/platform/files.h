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

// Removes a file or link (never a folder); false when it could not.
bool DeleteFile(const std::string& path);

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

// Names of the entries of a folder whose name starts with prefix and ends
// with suffix (letter case as given); empty when the folder cannot be read.
std::vector<std::string> ListDirectory(const std::string& folder, std::string_view prefix = {},
                                       std::string_view suffix = {});

// The folder of the running executable, with a trailing "/".
std::string ExecutableDirectory();

// True when the current user may create files in the folder.
bool DirectoryWritable(const std::string& path);

}  // namespace platform
