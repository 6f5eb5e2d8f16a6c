#pragma once
// Files that readers must never see half-written: the new content goes to a
// temporary file beside the target and is renamed over it when complete.

#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Creates missing parent folders. False (and error set) on failure; the
// previous content of the target is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view content, mode_t mode, std::string& error);

// The whole content of a file; false when it cannot be read (missing included).
bool ReadWholeFile(const std::string& path, std::string& content);

}  // namespace platform
