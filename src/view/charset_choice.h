#pragma once
// How the view reads the mail's text: "Automatisch" (each text in the
// charset it declares), one charset for everything, or the classic view
// that takes the mail's bytes as Windows-1252.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace view {

enum class CharsetMode { cmAutomatic, cmExplicit, cmClassic };

struct CharsetChoice {
    CharsetMode mode = CharsetMode::cmAutomatic;
    const platform::TextEncoding* encoding = nullptr;  // cmExplicit only

    static CharsetChoice Automatic() { return {}; }
    static CharsetChoice Classic() { return {CharsetMode::cmClassic, nullptr}; }
    static CharsetChoice Explicit(const platform::TextEncoding& encoding) {
        return {CharsetMode::cmExplicit, &encoding};
    }
    bool operator==(const CharsetChoice&) const = default;
};

// "auto", "classic" or a charset label; nothing for an unknown label.
std::optional<CharsetChoice> CharsetChoiceNamed(std::string_view name);
// "auto", "classic" or the encoding's name; CharsetChoiceNamed reads it back.
std::string CharsetChoiceName(const CharsetChoice& choice);

// The explicit charsets the view offers, in menu order.
struct OfferedCharset {
    const char* caption;  // UTF-8
    const char* label;
};
std::span<const OfferedCharset> OfferedCharsets();

inline constexpr const char* kAutomaticCaption = "Automatisch";
inline constexpr const char* kClassicCaption = "Windows-1252 (klassisch)";

}  // namespace view
