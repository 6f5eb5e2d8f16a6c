#pragma once
// Every file name that comes from a mail passes through here before it
// becomes part of a path, so that a mail can never name a file outside the
// folder it is written to.

#include <cstddef>
#include <string>
#include <string_view>

namespace view {

// name is local text. Path separators ("/", "\") and ":" would name other
// folders or drives; "*", "?", '"', "<", ">", "|" are not allowed in names on
// other systems the files travel to; control characters (line breaks
// included) garble dialogs and shells. Each becomes "_". Leading dots and
// blanks go, so no hidden files and no "." or "..". A name left empty becomes
// "Anlage" + index. A name whose UTF-8 form exceeds maxBytes (the file
// system's 255 by default; less where a suffix may follow) is shortened,
// keeping an extension of up to 16 characters.
std::string SanitizeFileName(std::string_view name, int index, std::size_t maxBytes = 255);

}  // namespace view
