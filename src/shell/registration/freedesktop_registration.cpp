#include "shell/registration/freedesktop_registration.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/atomic_file.h"
#include "shell/registration/desktop_entry.h"
#include "shell/registration/mimeapps_list.h"
#include "shell/registration/registration_texts.h"

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return (value && *value) ? std::string(value) : fallback;
}

}  // namespace

XdgFolders XdgFolders::FromEnvironment() {
    const std::string home = EnvOr("HOME", "/tmp");
    return {EnvOr("XDG_DATA_HOME", home + "/.local/share"), EnvOr("XDG_CONFIG_HOME", home + "/.config")};
}

FreedesktopRegistrationResult RegisterKqvWithFreedesktop(
    const XdgFolders& folders, const std::string& exePath,
    const std::function<void(const std::string&)>& showMessage,
    const std::function<int(const std::vector<std::string>&)>& runProgram) {
    FreedesktopRegistrationResult result;
    std::string error;

    const std::string mimeDir = folders.dataHome + "/mime";
    result.mimeTypeWritten = platform::WriteFileAtomically(mimeDir + "/packages/" + kMimePackageFileName,
                                                           MimePackageText(), 0644, error);
    if (result.mimeTypeWritten) runProgram({"update-mime-database", mimeDir});

    const std::string applications = folders.dataHome + "/applications";
    result.desktopEntryWritten = platform::WriteFileAtomically(applications + "/" + kDesktopFileName,
                                                               DesktopEntryText(exePath), 0644, error);
    if (result.desktopEntryWritten) runProgram({"update-desktop-database", applications});

    // A linked list is edited where it lives; an unreadable one is left
    // alone rather than replaced by our entries alone.
    std::string mimeApps = folders.configHome + "/mimeapps.list";
    struct stat st {};
    if (::lstat(mimeApps.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code ec;
        mimeApps = std::filesystem::weakly_canonical(mimeApps, ec).string();
    }
    const bool exists = ::stat(mimeApps.c_str(), &st) == 0;
    std::string current;
    if (!exists || platform::ReadWholeFile(mimeApps, current)) {
        result.associationWritten = platform::WriteFileAtomically(
            mimeApps, AssociateInMimeAppsList(current, kKqvMimeType, kDesktopFileName),
            exists ? (st.st_mode & 07777) : 0644, error);
    }

    showMessage(kRegistrationSucceeded);
    return result;
}
