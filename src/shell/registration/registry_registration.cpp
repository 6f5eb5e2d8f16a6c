#include "shell/registration/registry_registration.h"

#include <initializer_list>
#include <string_view>

#include "shell/registration/registration_texts.h"

namespace {

constexpr const char* kAppKey = "MerivoMailView.exe";

// Opens each key relative to the one before; stops at the first failure.
bool OpenChain(Registry& registry, std::initializer_list<std::string_view> keys) {
    for (std::string_view key : keys)
        if (!registry.OpenKey(key, true)) return false;
    return true;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string RegistryOpenCommand(const std::string& exePath) { return "\"" + exePath + "\" \"%1\""; }

void RegisterKqvInRegistry(Registry& registry, const std::string& exePath,
                           const std::function<void(const std::string&)>& showMessage) {
    const std::string command = RegistryOpenCommand(exePath);
    const std::string appKey = std::string("\\Applications\\") + kAppKey;
    const std::string userAppKey = std::string("\\Software\\Classes\\Applications\\") + kAppKey;
    const std::string fileExts = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.kqv";
    try {
        registry.SetRoot(RegistryRoot::ClassesRoot);
        if (registry.OpenKey("\\.kqv", true)) registry.WriteString("", "MerivoMailfile");
        if (OpenChain(registry, {"\\MerivoMailfile", "Shell", "Open", "Command"})) registry.WriteString("", command);
        if (OpenChain(registry, {appKey, "Shell", "Open", "Command"})) registry.WriteString("", command);
        registry.CloseKey();
        registry.SetRoot(RegistryRoot::CurrentUser);
        if (OpenChain(registry, {userAppKey, userAppKey + "\\Shell", userAppKey + "\\Shell\\Open",
                                 userAppKey + "\\Shell\\Open\\Command"}))
            registry.WriteString("", command);
        if (OpenChain(registry, {fileExts, fileExts + "\\OpenWithList"})) {
            registry.WriteString("a", FileNameOf(exePath));
            registry.WriteString("MRULIST", "a");
        }
        showMessage(kRegistrationSucceeded);
    } catch (...) {
        // A failed write ends the registration silently, as the classic
        // program did; the keys written so far stay.
    }
    registry.CloseKey();
}
