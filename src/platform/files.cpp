#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

[[noreturn]] void Fail(int err, const std::string& what, const std::string& path) {
    throw std::system_error(err, std::generic_category(), what + " \"" + path + "\"");
}

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting a failure (a write that the close completes).
    int Close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r;
    }

private:
    int fd_;
};

void WriteAll(int fd, const char* data, std::size_t n, const std::string& path) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            Fail(errno, "Cannot write file", path);
        }
        data += w;
        n -= static_cast<std::size_t>(w);
    }
}

}  // namespace

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    // Walk the parents first; a trailing "/" names the same folder.
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.find_last_of('/');
    if (slash != std::string::npos && slash > 0) ForceDirectories(trimmed.substr(0, slash), 0777);
    if (::mkdir(trimmed.c_str(), mode) != 0 && errno != EEXIST) return false;
    return DirectoryExists(trimmed);
}

bool EnsurePrivateFolder(const std::string& path) {
    if (!ForceDirectories(path, 0700)) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    if ((st.st_mode & 07777) == 0700) return true;
    return ::chmod(path.c_str(), 0700) == 0;
}

bool IsPrivateFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 07777) == 0700;
}

bool CreateFolder(const std::string& path, mode_t mode) { return ::mkdir(path.c_str(), mode) == 0; }

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
    return !ec && !FileExists(path);
}

long long ModificationTime(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_mtime);
}

std::string ResolvedPath(const std::string& path) {
    char buffer[PATH_MAX];
    if (path.empty() || !::realpath(path.c_str(), buffer)) return {};
    return buffer;
}

void CopyFileExclusive(const std::string& source, const std::string& target, mode_t mode) {
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) Fail(errno, "Cannot open file", source);
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (out.get() < 0) Fail(errno, "Cannot create file", target);
    try {
        ::fchmod(out.get(), mode);
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t r = ::read(in.get(), buffer, sizeof buffer);
            if (r < 0) {
                if (errno == EINTR) continue;
                Fail(errno, "Cannot read file", source);
            }
            if (r == 0) break;
            WriteAll(out.get(), buffer, static_cast<std::size_t>(r), target);
        }
        if (out.Close() != 0) Fail(errno, "Cannot write file", target);
    } catch (...) {
        ::unlink(target.c_str());
        throw;
    }
}

void RenameFile(const std::string& source, const std::string& target) {
    if (::rename(source.c_str(), target.c_str()) != 0) Fail(errno, "Cannot rename file", source);
}

void SetFileMode(const std::string& path, mode_t mode) {
    if (::chmod(path.c_str(), mode) != 0) Fail(errno, "Cannot change the mode of", path);
}

mode_t FileMode(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) Fail(errno, "Cannot read the attributes of", path);
    return st.st_mode & 07777;
}

void WriteWholeFile(const std::string& path, std::string_view bytes, mode_t mode) {
    Fd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode));
    if (out.get() < 0) Fail(errno, "Cannot create file", path);
    WriteAll(out.get(), bytes.data(), bytes.size(), path);
    if (out.Close() != 0) Fail(errno, "Cannot write file", path);
}

void WriteNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
    Fd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (out.get() < 0) Fail(errno, "Cannot create file", path);
    try {
        WriteAll(out.get(), bytes.data(), bytes.size(), path);
        if (out.Close() != 0) Fail(errno, "Cannot write file", path);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

std::string ReadFileStart(const std::string& path, std::size_t maxBytes) {
    Fd in(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    std::string out(maxBytes, '\0');
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t r = ::read(in.get(), out.data() + done, maxBytes - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    out.resize(done);
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) Fail(errno, "Cannot open file", path);
    std::string out;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t r = ::read(in.get(), buffer, sizeof buffer);
        if (r < 0) {
            if (errno == EINTR) continue;
            Fail(errno, "Cannot read file", path);
        }
        if (r == 0) break;
        out.append(buffer, static_cast<std::size_t>(r));
    }
    return out;
}

std::vector<std::string> ListDirectory(const std::string& folder, std::string_view prefix, std::string_view suffix) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        if (name.size() < prefix.size() + suffix.size()) continue;
        if (!name.starts_with(prefix) || !name.ends_with(suffix)) continue;
        names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

std::string ExecutableDirectory() {
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0) return "./";
    buffer.resize(static_cast<std::size_t>(n));
    const auto slash = buffer.find_last_of('/');
    if (slash == std::string::npos) return "./";
    return buffer.substr(0, slash + 1);
}

bool DirectoryWritable(const std::string& path) {
    return DirectoryExists(path) && ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace platform
