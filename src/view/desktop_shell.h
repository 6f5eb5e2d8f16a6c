#pragma once
// The desktop: programs associated with files and URLs.

#include <string>

namespace view {

enum class ShellOpenResult {
    soOpened,         // handed to a program (whether it then succeeds is its business)
    soNoAssociation,  // the desktop knows no program for this kind of file
    soFailed,         // any other failure; not reported to the user
};

class DesktopShell {
public:
    virtual ~DesktopShell() = default;
    // Opens a local file (full path, UTF-8) with its associated program.
    virtual ShellOpenResult OpenFile(const std::string& path) = 0;
    // Lets the user choose a program for the file and opens it with that.
    virtual void ChooseProgramFor(const std::string& path) = 0;
    // Opens a URL (http, https, ftp, mailto or news; UTF-8) with the
    // desktop's program for it. The result is not examined.
    virtual void OpenUrl(const std::string& url) = 0;
};

}  // namespace view
