#pragma once
// Small routines that take header values apart. Positions count from 1.

#include <string>
#include <string_view>

#include "reader/string_list.h"

// Characters with codes 0 to 32 removed at both ends / the front / the back.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// Trim without a copy.
std::string_view TrimmedView(std::string_view s);
// Trims, then reads a decimal integer (optional sign); def when that fails.
int StrToIntDef(std::string_view s, int def);

// 0-based position of key in text with ASCII letters compared without case
// (other bytes exactly); npos when absent or key is empty.
std::size_t FindAsciiNoCase(std::string_view text, std::string_view key);

std::string SplitOff(std::string& source, std::string_view delimiter = " ", bool remove = true,
                     bool caseSensitive = true);
std::string SplitOffNoCase(std::string& source, std::string_view delimiter = " ", bool remove = true);
std::string HeaderMainValue(std::string_view value);
std::string HeaderParamValue(std::string_view value, std::string_view key);
int FirstCharIn(std::string_view set, std::string_view text, int length = -1, int start = 1);
int FirstCharNotIn(std::string_view set, std::string_view text, int length = -1, int start = 1);
std::string StripCharsAtEnds(std::string_view set, std::string_view text);
void SplitCommaList(TStringList& target, std::string_view value);
