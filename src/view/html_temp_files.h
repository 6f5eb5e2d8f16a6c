#pragma once
// The HTML temporary files of the view: TempDir + "MailViewerTemp" + a
// number of at least five digits + ".HTML".

#include <string>
#include <string_view>

namespace view {

inline constexpr std::string_view kHtmlTempPrefix = "MailViewerTemp";
inline constexpr std::string_view kHtmlTempSuffix = ".HTML";

// One above the largest number among the existing files (entries of every
// kind), 'MailViewerTemp00001.HTML' when there is none.
std::string NextHtmlTempFileName(const std::string& tempDir);

// Removes every such file; failures are not reported.
void DeleteHtmlTempFiles(const std::string& tempDir);

// The number in an entry name such as "MailViewerTemp00007.HTML"; false when
// the text before the first "." after the prefix is not a decimal integer.
bool HtmlTempNumber(std::string_view entryName, long long& number);

}  // namespace view
