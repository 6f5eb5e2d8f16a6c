#include "view/html_temp_files.h"

#include <charconv>
#include <string>

#include "platform/files.h"

namespace view {

bool HtmlTempNumber(std::string_view entryName, long long& number) {
    if (!entryName.starts_with(kHtmlTempPrefix)) return false;
    std::string_view digits = entryName.substr(kHtmlTempPrefix.size());
    digits = digits.substr(0, digits.find('.'));
    if (digits.starts_with('+')) digits.remove_prefix(1);
    if (digits.empty()) return false;
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return false;
    number = value;
    return true;
}

std::string NextHtmlTempFileName(const std::string& tempDir) {
    long long highest = 0;
    for (const std::string& name : platform::ListDirectory(tempDir, kHtmlTempPrefix, kHtmlTempSuffix)) {
        long long n = 0;
        if (HtmlTempNumber(name, n) && n > highest) highest = n;
    }
    std::string number = std::to_string(highest + 1);
    if (number.size() < 5) number.insert(0, 5 - number.size(), '0');
    return tempDir + std::string(kHtmlTempPrefix) + number + std::string(kHtmlTempSuffix);
}

void DeleteHtmlTempFiles(const std::string& tempDir) {
    for (const std::string& name : platform::ListDirectory(tempDir, kHtmlTempPrefix, kHtmlTempSuffix))
        platform::DeleteFile(tempDir + name);
}

}  // namespace view
