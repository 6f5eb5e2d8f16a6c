#include "tools/attachment_saver.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
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

std::unique_ptr<SavedAttachmentFile> SavedAttachmentFile::Create(const std::string& folder,
                                                                 std::string_view announced, int index,
                                                                 std::string& error) {
    const std::string name = SafeAttachmentName(announced, index);
    std::string stem, extension;
    SplitExtension(name, stem, extension);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string local = attempt == 1 ? name : stem + " (" + std::to_string(attempt) + ")" + extension;
        std::string path = prefix + platform::LocalToUtf8(local);
        // O_EXCL: never replace a file and never follow a link planted there.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return std::unique_ptr<SavedAttachmentFile>(new SavedAttachmentFile(fd, std::move(path)));
        if (errno != EEXIST) {
            error = "cannot create " + path + ": " + ErrnoText(errno);
            return nullptr;
        }
    }
    error = "no free name for " + prefix + platform::LocalToUtf8(name);
    return nullptr;
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
