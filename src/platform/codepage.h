#pragma once
// The local 8-bit code page is Windows-1252: one byte is one character.
// Text of the reader and the view is local text throughout; conversions to
// and from Unicode happen only here.

#include <string>
#include <string_view>

namespace platform {

// Code point of a local byte. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the code points of the same value.
char32_t LocalCharToUnicode(unsigned char c);

// The local byte of a code point; false when the code page cannot hold it.
bool UnicodeToLocalChar(char32_t cp, char& out);

// Local text to UTF-8 (for JSON, Qt and files written as UTF-8).
std::string LocalToUtf8(std::string_view local);

// UTF-8 to local text, leniently: a character the code page cannot hold
// (four-byte sequences included) becomes "?"; a byte that is not part of a
// valid sequence is taken as the local character of that byte value.
// Nothing of the input vanishes.
std::string Utf8ToLocal(std::string_view utf8);

// Letter case "under the user's locale": the Windows-1252 letters, ASCII plus
// the accented letters of the code page.
char UpperCaseLocaleChar(char c);
char LowerCaseLocaleChar(char c);
std::string UpperCaseLocale(std::string_view s);
std::string LowerCaseLocale(std::string_view s);
bool SameTextLocale(std::string_view a, std::string_view b);
bool StartsTextLocale(std::string_view s, std::string_view prefix);
// Position (0-based) of needle in haystack ignoring locale case, or npos.
std::size_t FindTextLocale(std::string_view haystack, std::string_view needle, std::size_t from = 0);

// Where a rule says only a to z change.
char UpperCaseAsciiChar(char c);
std::string UpperCaseAscii(std::string_view s);
std::string LowerCaseAscii(std::string_view s);

// Windows-1252 is a single-byte code page: it has no lead bytes.
inline bool IsLeadByte(unsigned char) { return false; }

}  // namespace platform
