#include "shell/registration/mimeapps_list.h"

#include <vector>

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool IsGroupHeader(std::string_view line) {
    line = TrimBlanks(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// The key of a "key=value" line, or empty.
std::string_view KeyOf(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || TrimBlanks(line).starts_with('#')) return {};
    return TrimBlanks(line.substr(0, eq));
}

std::string WithDesktopFirst(std::string_view value, std::string_view desktopFile) {
    std::string out = std::string(desktopFile) + ";";
    std::size_t start = 0;
    while (start < value.size()) {
        std::size_t end = value.find(';', start);
        if (end == std::string_view::npos) end = value.size();
        const auto entry = TrimBlanks(value.substr(start, end - start));
        if (!entry.empty() && entry != desktopFile) out += std::string(entry) + ";";
        start = end + 1;
    }
    return out;
}

// Sets key in group: replaces (default) or merges (added) the value, adding
// the group at the end when missing.
void SetInGroup(std::vector<std::string>& lines, std::string_view group, std::string_view key,
                std::string_view desktopFile, bool merge) {
    const std::string header = "[" + std::string(group) + "]";
    std::size_t groupStart = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (TrimBlanks(lines[i]) == header) {
            groupStart = i;
            break;
        }
    if (groupStart == lines.size()) {
        if (!lines.empty() && !TrimBlanks(lines.back()).empty()) lines.emplace_back();
        lines.push_back(header);
        lines.push_back(std::string(key) + "=" + std::string(desktopFile) + ";");
        return;
    }
    std::size_t insertAt = groupStart + 1;
    for (std::size_t i = groupStart + 1; i < lines.size() && !IsGroupHeader(lines[i]); ++i) {
        if (!TrimBlanks(lines[i]).empty()) insertAt = i + 1;
        if (KeyOf(lines[i]) != key) continue;
        const std::string_view value = std::string_view(lines[i]).substr(lines[i].find('=') + 1);
        lines[i] = std::string(key) + "=" +
                   (merge ? WithDesktopFirst(value, desktopFile) : std::string(desktopFile) + ";");
        return;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                 std::string(key) + "=" + std::string(desktopFile) + ";");
}

}  // namespace

std::string AssociateInMimeAppsList(std::string_view original, std::string_view mimeType,
                                    std::string_view desktopFile) {
    std::vector<std::string> lines = SplitLines(original);
    SetInGroup(lines, "Default Applications", mimeType, desktopFile, false);
    SetInGroup(lines, "Added Associations", mimeType, desktopFile, true);
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}
