#include "view/temp_layout.h"

#include <cerrno>
#include <string_view>
#include <system_error>

#include "platform/files.h"

namespace view {
namespace {

constexpr std::string_view kMailFolderPrefix = "Mail";
constexpr std::string_view kCopiesFolder = "Anlagen/";

std::string Padded(int number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    return digits;
}

bool IsFolderNumber(std::string_view text) {
    if (text.size() < 5) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The first name above lastNumber that is still free, created for the
// user alone; never an existing folder.
std::string CreateNumberedFolder(const std::string& parent, std::string_view prefix, int& lastNumber) {
    for (int number = lastNumber + 1;; ++number) {
        const std::string path = parent + std::string(prefix) + Padded(number);
        if (platform::CreateFolder(path, 0700)) {
            lastNumber = number;
            return path + "/";
        }
        if (errno != EEXIST || number == lastNumber + 100000)
            throw std::system_error(errno, std::generic_category(), "Cannot create folder \"" + path + "\"");
    }
}

void RemoveOlderEntries(const std::string& folder, std::string_view prefix, long long now, long long maxAge) {
    for (const std::string& name : platform::ListDirectory(folder, prefix)) {
        const std::string path = folder + name;
        // Only what the view made: numbered folders for the user alone.
        if (!IsFolderNumber(std::string_view(name).substr(prefix.size())) || !platform::IsPrivateFolder(path)) continue;
        const long long changed = platform::ModificationTime(path);
        if (changed >= 0 && now - changed > maxAge) platform::RemoveTree(path);
    }
}

}  // namespace

MailTempFolder::MailTempFolder(std::string path, bool created)
    : path_(std::move(path)), created_(created), files_(std::make_shared<PageFiles>(path_)) {}

std::unique_ptr<MailTempFolder> MailTempFolder::Create(const std::string& tempDir, int& lastNumber) {
    std::string path;
    try {
        path = CreateNumberedFolder(tempDir, kMailFolderPrefix, lastNumber);
    } catch (const std::system_error&) {
        return std::unique_ptr<MailTempFolder>(
            new MailTempFolder(tempDir + std::string(kMailFolderPrefix) + Padded(lastNumber + 1) + "/", false));
    }
    return std::unique_ptr<MailTempFolder>(new MailTempFolder(std::move(path), true));
}

MailTempFolder::~MailTempFolder() {
    if (created_) platform::RemoveTree(path_);
}

std::string CreateAttachmentCopyFolder(const std::string& tempDir, int& lastNumber) {
    const std::string copies = tempDir + std::string(kCopiesFolder);
    if (!platform::EnsurePrivateFolder(copies))
        throw std::system_error(EACCES, std::generic_category(), "Cannot create folder \"" + copies + "\"");
    return CreateNumberedFolder(copies, {}, lastNumber);
}

void RemoveStaleTempFiles(const std::string& tempDir, long long now, long long maxAgeSeconds) {
    RemoveOlderEntries(tempDir, kMailFolderPrefix, now, maxAgeSeconds);
    RemoveOlderEntries(tempDir + std::string(kCopiesFolder), {}, now, maxAgeSeconds);
}

}  // namespace view
