#pragma once
// Registers the viewer for ".kqv" with the freedesktop desktop: a MIME type,
// a desktop entry and the user's default association.

#include <functional>
#include <string>
#include <vector>

struct XdgFolders {
    std::string dataHome;    // $XDG_DATA_HOME or ~/.local/share
    std::string configHome;  // $XDG_CONFIG_HOME or ~/.config
    static XdgFolders FromEnvironment();
};

struct FreedesktopRegistrationResult {
    bool mimeTypeWritten = false;
    bool desktopEntryWritten = false;
    bool associationWritten = false;
};

// Each step that fails skips its entry; the success message follows all the
// same. runProgram runs a helper program (update-mime-database) and returns
// its exit status.
FreedesktopRegistrationResult RegisterKqvWithFreedesktop(
    const XdgFolders& folders, const std::string& exePath,
    const std::function<void(const std::string&)>& showMessage,
    const std::function<int(const std::vector<std::string>&)>& runProgram);
