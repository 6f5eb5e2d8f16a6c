#pragma once
// Charset labels of mail and the decoding of text in those charsets into
// UTF-8. The labels map as the WHATWG Encoding Standard maps them, so that
// the view reads a mail as a browser reads a page with the same label.

#include <string>
#include <string_view>

namespace platform {

// How the bytes of an encoding become Unicode.
enum class DecoderKind {
    dkUtf8,          // leniently, see LenientUtf8
    dkWindows1252,   // the local code page's own table
    dkUserDefined,   // 0x80..0xFF to U+F780..U+F7FF
    dkReplacement,   // the whole text is one U+FFFD
    dkIso2022Jp,     // JIS X 0208 with the Windows extensions, by way of Shift_JIS
    dkIconv,         // the C library's converter named iconvName
};

struct TextEncoding {
    std::string_view name;       // the standard's name: "UTF-8", "windows-1251", "Shift_JIS"
    DecoderKind kind;
    std::string_view iconvName;  // dkIconv only
};

// The encoding a charset label names; ASCII white space around the label
// and letter case do not count. nullptr for a label nobody defines.
const TextEncoding* EncodingForLabel(std::string_view label);

const TextEncoding& Utf8Encoding();
const TextEncoding& Windows1252Encoding();

// The bytes read in the encoding, as UTF-8. A byte sequence the encoding
// does not define becomes U+FFFD, except in UTF-8, which is read leniently.
std::string DecodeToUtf8(const TextEncoding& encoding, std::string_view bytes);

}  // namespace platform
