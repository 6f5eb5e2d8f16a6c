#pragma once
// UTF-8 as the view's Unicode form: reading and writing code points, and
// the lenient reading of bytes that claim to be UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// Length of the well-formed UTF-8 sequence at s[i] and its code point; 0 when
// none starts there (overlong forms, surrogates and code points beyond
// U+10FFFF are not well-formed).
std::size_t DecodeUtf8At(std::string_view s, std::size_t i, char32_t& cp);

void AppendUtf8(std::string& out, char32_t cp);

bool IsValidUtf8(std::string_view s);
bool IsAscii(std::string_view s);
// The first byte at or after from that is not ASCII, or the size.
std::size_t AsciiRunEnd(std::string_view s, std::size_t from = 0);

// Text that claims to be UTF-8: every byte that is not part of a well-formed
// sequence becomes its Windows-1252 character, so that nothing vanishes and
// a Latin-1 byte in a UTF-8 mail still reads as the letter it was meant as.
std::string LenientUtf8(std::string_view bytes);

// Upper case of every letter, for comparisons that ignore letter case.
std::string UpperCaseUtf8(std::string_view utf8);

}  // namespace platform
