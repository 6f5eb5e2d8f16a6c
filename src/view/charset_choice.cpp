#include "view/charset_choice.h"

namespace view {
namespace {

constexpr OfferedCharset kOffered[] = {
    {"Unicode (UTF-8)", "utf-8"},
    {"Mitteleurop\xC3\xA4isch (Windows-1250)", "windows-1250"},
    {"Kyrillisch (Windows-1251)", "windows-1251"},
    {"Westeurop\xC3\xA4isch (Windows-1252)", "windows-1252"},
    {"Westeurop\xC3\xA4isch (ISO-8859-1)", "iso-8859-1"},
    {"Mitteleurop\xC3\xA4isch (ISO-8859-2)", "iso-8859-2"},
    {"Kyrillisch (ISO-8859-5)", "iso-8859-5"},
    {"Griechisch (ISO-8859-7)", "iso-8859-7"},
    {"Westeurop\xC3\xA4isch (ISO-8859-15)", "iso-8859-15"},
    {"Kyrillisch (KOI8-R)", "koi8-r"},
    {"Japanisch (Shift_JIS)", "shift_jis"},
    {"Japanisch (EUC-JP)", "euc-jp"},
    {"Japanisch (ISO-2022-JP)", "iso-2022-jp"},
    {"Chinesisch, vereinfacht (GB18030)", "gb18030"},
    {"Chinesisch, traditionell (Big5)", "big5"},
    {"Koreanisch (EUC-KR)", "euc-kr"},
};

}  // namespace

std::optional<CharsetChoice> CharsetChoiceNamed(std::string_view name) {
    if (name == "auto") return CharsetChoice::Automatic();
    if (name == "classic") return CharsetChoice::Classic();
    if (const platform::TextEncoding* encoding = platform::EncodingForLabel(name))
        return CharsetChoice::Explicit(*encoding);
    return std::nullopt;
}

std::string CharsetChoiceName(const CharsetChoice& choice) {
    switch (choice.mode) {
    case CharsetMode::cmAutomatic: return "auto";
    case CharsetMode::cmClassic: return "classic";
    case CharsetMode::cmExplicit: return std::string(choice.encoding->name);
    }
    return "auto";
}

std::span<const OfferedCharset> OfferedCharsets() { return kOffered; }

}  // namespace view
