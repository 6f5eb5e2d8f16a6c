#include "view/file_name_sanitizer.h"

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

}  // namespace

std::string SanitizeFileName(std::string_view name, int index) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (out.empty() && (c == '.' || c == ' ')) continue;
        out += (IsReserved(c) || IsControl(static_cast<unsigned char>(c))) ? '_' : c;
    }
    if (out.empty()) out = "Anlage" + std::to_string(index);
    return out;
}

}  // namespace view
