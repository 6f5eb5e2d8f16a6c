#pragma once
// The program's temporary folder: HTML pages of the view, content-id files
// and copies of opened attachments live here. Always ends with "/".

#include <string>

namespace view {

const std::string& TempDir();
// Appends the "/" when it is missing.
void SetTempDir(std::string dir);

// The folder the viewer uses when nobody chose one: exeDir + "Temp/" when
// that folder is the user's and writable (created, or narrowed, to mode
// 0700), otherwise $XDG_CACHE_HOME (default ~/.cache) +
// "/merivo-mailviewer/Temp/", likewise the user's alone. exeDir ends with
// "/". The folder is created here.
std::string DefaultTempDir(const std::string& exeDir);

}  // namespace view
