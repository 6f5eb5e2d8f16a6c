#include "tools/attachment_saver.h"

#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <system_error>
#include <vector>
#include <unistd.h>

#include "platform/codepage.h"
#include "view/file_name_sanitizer.h"

namespace {

// Room for " (9999)" within the usual limit of 255 bytes per name.
constexpr std::size_t kMaxNameBytes = 240;
constexpr int kMaxNameAttempts = 9999;

// Splits before the last dot; a leading dot never starts an extension, and
// a long tail is more likely part of the name than a file type.
void SplitExtension(const std::string& name, std::string& stem, std::string& extension) {
    constexpr std::size_t kMaxExtensionChars = 16;
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kMaxExtensionChars) {
        stem = name;
        extension.clear();
    } else {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
}

std::string ErrnoText(int error) { return std::strerror(error); }

}  // namespace

std::string SafeAttachmentName(std::string_view announced, int index) {
    return view::SanitizeFileName(announced, index, kMaxNameBytes);
}

bool PrepareSaveFolder(const std::string& folder, std::string& absolute, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path path(folder);
    fs::create_directories(path, ec);
    if (ec) {
        error = "cannot create folder " + folder + ": " + ec.message();
        return false;
    }
    if (!fs::is_directory(path, ec)) {
        error = folder + " is not a folder";
        return false;
    }
    fs::path full = fs::absolute(path, ec);
    if (ec) {
        error = "cannot resolve folder " + folder + ": " + ec.message();
        return false;
    }
    full = full.lexically_normal();
    absolute = full.string();
    while (absolute.size() > 1 && absolute.back() == '/') absolute.pop_back();
    return true;
}

namespace {

// Names offered one by one before the folder is listed instead.
constexpr int kAttemptsBeforeListing = 4;

// The attempts from 2 on whose names ("stem (n)ext", UTF-8) are entries of
// folder now. One listing instead of one refused creation per taken name:
// a folder that collects the same attachment from many runs holds
// thousands of them.
std::vector<bool> ListTakenAttempts(const std::string& folder, std::string_view stem, std::string_view extension) {
    std::vector<bool> taken;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return taken;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() < stem.size() + 4 + extension.size() || !name.starts_with(stem) ||
            !name.ends_with(extension))
            continue;
        std::string_view number = name.substr(stem.size(), name.size() - stem.size() - extension.size());
        if (!number.starts_with(" (") || !number.ends_with(')')) continue;
        number = number.substr(2, number.size() - 3);
        int attempt = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), attempt);
        if (ec != std::errc() || end != number.data() + number.size() || number[0] == '0' || attempt < 2 ||
            attempt > kMaxNameAttempts)
            continue;
        if (taken.size() <= static_cast<std::size_t>(attempt)) taken.resize(static_cast<std::size_t>(attempt) + 1);
        taken[static_cast<std::size_t>(attempt)] = true;
    }
    ::closedir(dir);
    return taken;
}

// Offers "name.ext", "name (2).ext", ... in folder to make until it takes
// one (returns 0) or fails for another reason than a taken name (returns
// that errno). path holds the name last offered. Names the listing shows
// taken are skipped; the others are still offered in order, so a name
// taken meanwhile just moves on to the next.
template <class MakeFile>
int TakeFreeName(const std::string& folder, std::string_view announced, int index, std::string& path,
                 MakeFile make) {
    const std::string name = SafeAttachmentName(announced, index);
    std::string stem, extension;
    SplitExtension(name, stem, extension);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    const std::string stemUtf8 = platform::LocalToUtf8(stem);
    const std::string extensionUtf8 = platform::LocalToUtf8(extension);
    std::vector<bool> taken;
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        if (attempt == kAttemptsBeforeListing + 1) taken = ListTakenAttempts(folder, stemUtf8, extensionUtf8);
        if (static_cast<std::size_t>(attempt) < taken.size() && taken[static_cast<std::size_t>(attempt)]) continue;
        path = attempt == 1 ? prefix + platform::LocalToUtf8(name)
                            : prefix + stemUtf8 + " (" + std::to_string(attempt) + ")" + extensionUtf8;
        if (make(path)) return 0;
        if (errno != EEXIST) return errno;
    }
    path = prefix + platform::LocalToUtf8(name);
    return EEXIST;
}

}  // namespace

std::unique_ptr<SavedAttachmentFile> SavedAttachmentFile::Create(const std::string& folder,
                                                                 std::string_view announced, int index,
                                                                 std::string& error) {
    int fd = -1;
    std::string path;
    // O_EXCL: never replace a file and never follow a link planted there.
    const int failure = TakeFreeName(folder, announced, index, path, [&fd](const std::string& candidate) {
        fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0;
    });
    if (failure == 0) return std::unique_ptr<SavedAttachmentFile>(new SavedAttachmentFile(fd, std::move(path)));
    error = failure == EEXIST ? "no free name for " + path : "cannot create " + path + ": " + ErrnoText(failure);
    return nullptr;
}

SaveFolderPlacer::SaveFolderPlacer(std::string folder, const std::string& tempFolder) : folder_(std::move(folder)) {
    struct stat saveStat {}, tempStat {};
    sameFileSystem_ = !folder_.empty() && ::stat(folder_.c_str(), &saveStat) == 0 &&
                      ::stat(tempFolder.c_str(), &tempStat) == 0 && saveStat.st_dev == tempStat.st_dev;
}

std::unique_ptr<TFileStream> SaveFolderPlacer::CreateFile(const TIdAttachmentFile& attachment) {
    if (!sameFileSystem_) return nullptr;
    const int index = attachment.Collection() ? attachment.Collection()->IndexOf(attachment) : 0;
    std::unique_ptr<TFileStream> file;
    std::string path;
    // Exclusive and never through a link, with the mode of a new file.
    const int failure = TakeFreeName(folder_, attachment.AttachedFileName, index, path, [&file](const std::string& candidate) {
        int error = 0;
        file = TFileStream::TryCreateExclusive(candidate, error, 0666);
        errno = error;
        return file != nullptr;
    });
    if (failure != 0) return nullptr;
    placed_.insert(path);
    return file;
}

LinkOutcome MoveSavedAttachment(const std::string& folder, std::string_view announced, int index,
                                const std::string& source, std::string& path, std::string& error) {
    // Neither renameat2 without replacing nor link() follows a link planted
    // at the name.
    int failure = TakeFreeName(folder, announced, index, path, [&source](const std::string& candidate) {
        return ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), RENAME_NOREPLACE) == 0;
    });
    if (failure == 0) return LinkOutcome::Moved;
    const bool cannotMove = failure == EINVAL || failure == ENOSYS;
    if (cannotMove) {
        failure = TakeFreeName(folder, announced, index, path, [&source](const std::string& candidate) {
            return ::link(source.c_str(), candidate.c_str()) == 0;
        });
        if (failure == 0) return LinkOutcome::Linked;
    }
    if (failure == EEXIST) {
        error = "no free name for " + path;
        return LinkOutcome::Failed;
    }
    // Another file system, or one without hard links: a copy will do.
    return LinkOutcome::CopyInstead;
}

void MakeSavedFileReadable(const std::string& path) {
    // Asked once: umask can only be read by setting it.
    static const mode_t mask = [] {
        const mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    ::chmod(path.c_str(), 0666 & ~mask);
}

SavedAttachmentFile::~SavedAttachmentFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool SavedAttachmentFile::Write(const void* data, std::size_t size, std::string& error) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "cannot write " + path_ + ": " + ErrnoText(errno);
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SavedAttachmentFile::Close(std::string& error) {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        error = "cannot write " + path_ + ": " + ErrnoText(errno);
        return false;
    }
    return true;
}

void SavedAttachmentFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
}
