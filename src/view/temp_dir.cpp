#include "view/temp_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/files.h"

namespace view {
namespace {

std::string& TempDirValue() {
    static std::string dir;
    return dir;
}

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string CacheDirectory() {
    // Relative values are to be ignored, so a stray setting cannot move the
    // folder into the current working folder.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && xdg[0] == '/') return xdg;
    return HomeDirectory() + "/.cache";
}

}  // namespace

const std::string& TempDir() { return TempDirValue(); }

void SetTempDir(std::string dir) { TempDirValue() = WithSlash(std::move(dir)); }

std::string DefaultTempDir(const std::string& exeDir) {
    // Mail content is the user's alone: the folder beside the program only
    // when it is (or can be made) the user's private folder.
    const std::string besideExe = WithSlash(exeDir) + "Temp/";
    if (platform::EnsurePrivateFolder(besideExe) && platform::DirectoryWritable(besideExe)) return besideExe;

    // An installed program's folder is not the user's: keep mail content in
    // a cache folder only the user can enter.
    const std::string base = WithSlash(CacheDirectory()) + "merivo-mailviewer/";
    const std::string cache = base + "Temp/";
    platform::EnsurePrivateFolder(base);
    platform::EnsurePrivateFolder(cache);
    return cache;
}

}  // namespace view
