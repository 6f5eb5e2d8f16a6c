#include "view/file_name_sanitizer.h"

#include "platform/codepage.h"

namespace view {
namespace {

bool IsControl(unsigned char c) {
    // C0 controls, DEL, and the five local bytes that stand for C1 controls.
    return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

bool IsReserved(char c) {
    switch (c) {
    case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
        return true;
    default:
        return false;
    }
}

std::size_t Utf8Bytes(char c) {
    const char32_t cp = platform::LocalCharToUnicode(static_cast<unsigned char>(c));
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : 3;
}

// Names are stored as UTF-8, where a local character takes up to three of
// the file system's 255 bytes. A longer name could not be written at all;
// shorten its stem and keep a short extension, so the right program opens it.
std::string Shortened(std::string name, std::size_t maxBytes) {
    constexpr std::size_t kMaxExtension = 16;
    std::size_t total = 0;
    for (const char c : name) total += Utf8Bytes(c);
    if (total <= maxBytes) return name;
    std::string extension;
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxExtension)
        extension = name.substr(dot);
    std::string stem = name.substr(0, name.size() - extension.size());
    while (!stem.empty() && total > maxBytes) {
        total -= Utf8Bytes(stem.back());
        stem.pop_back();
    }
    return stem + extension;
}

}  // namespace

std::string SanitizeFileName(std::string_view name, int index, std::size_t maxBytes) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (out.empty() && (c == '.' || c == ' ')) continue;
        out += (IsReserved(c) || IsControl(static_cast<unsigned char>(c))) ? '_' : c;
    }
    if (out.empty()) out = "Anlage" + std::to_string(index);
    return Shortened(std::move(out), maxBytes);
}

}  // namespace view
