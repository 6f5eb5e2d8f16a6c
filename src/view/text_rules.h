#pragma once
// Small text tests the view makes on mail content. "Upper" tests change only
// the letters a to z.

#include <string>
#include <string_view>

class TIdHeaderList;

namespace view {

// Whether text, with a to z upper-cased, contains upperNeedle (which is
// given in upper case); no copy of text is made.
bool ContainsUpper(std::string_view text, std::string_view upperNeedle);

// "Content-Type" or else a field literally named "Charset" mentions UTF-8.
bool SaysUtf8(const TIdHeaderList& headers);

// The name has an extension: a "." after its last "\" or ":".
bool HasExtension(std::string_view name);

// Nothing but blanks and control characters.
bool IsBlank(std::string_view text);

// Every "cid:" removed, letter case ignored, in one pass from the left.
std::string RemoveCidSchemes(std::string_view html);

}  // namespace view
