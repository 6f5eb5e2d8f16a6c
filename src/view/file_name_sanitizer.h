#pragma once
// Every file name that comes from a mail passes through here before it
// becomes part of a path, so that a mail can never name a file outside the
// folder it is written to.

#include <cstddef>
#include <string>
#include <string_view>

namespace view {

// name is UTF-8 (a byte outside a valid sequence counts as its Windows-1252
// character). Path separators ("/", "\") and ":" would name other folders or
// drives; "*", "?", '"', "<", ">", "|" are not allowed in names on other
// systems the files travel to; control characters and line or paragraph
// separators garble dialogs and shells; direction controls make a name read
// as something it is not ("rechnung<RLO>fdp.exe" shows as "rechnungexe.pdf").
// Each becomes "_". Leading dots and blanks go, so no hidden files and no
// "." or "..". A name left empty becomes "Anlage" + index. A name longer
// than maxBytes (the file system's 255 by default; less where a suffix may
// follow) is shortened at a character boundary, keeping an extension of up
// to 16 characters.
std::string SanitizeFileNameUtf8(std::string_view name, int index, std::size_t maxBytes = 255);

// The same for a name in local text (Windows-1252), with the result in
// local text.
std::string SanitizeFileName(std::string_view name, int index, std::size_t maxBytes = 255);

// A UTF-8 name as the attachment list shows it, marked as VisibleName marks
// local names: line breaks (also U+2028, U+2029) as "\xC2\xB6", other control
// characters and direction controls as "\xC2\xA4", the blanks of a run of two
// or more, or at either end, as "\xC2\xB7". The list shows what the name
// really holds.
std::string VisibleInList(std::string_view name);

}  // namespace view
