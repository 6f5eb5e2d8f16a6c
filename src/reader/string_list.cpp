#include "reader/string_list.h"

#include <stdexcept>

#include "platform/codepage.h"

int TStringList::Add(std::string line) {
    lines_.push_back(std::move(line));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string line) {
    if (index < 0 || index > Count()) throw std::out_of_range("List index out of bounds");
    lines_.insert(lines_.begin() + index, std::move(line));
}

void TStringList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds");
    lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(std::string_view line) const {
    for (int i = 0; i < Count(); ++i) {
        if (platform::SameTextLocale(lines_[static_cast<std::size_t>(i)], line)) return i;
    }
    return -1;
}

std::string TStringList::Text() const {
    std::size_t size = 0;
    for (const auto& l : lines_) size += l.size() + 2;
    std::string out;
    out.reserve(size);
    for (const auto& l : lines_) {
        out += l;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(std::string_view text) { lines_ = SplitTextLines(text); }

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < n) out.emplace_back(text.substr(start));
    return out;
}
