#include "reader/string_list.h"

#include <cstdint>
#include <cstring>
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

namespace {

// First CR or LF (or NUL, when asked) in [p, end); end if none. Eight bytes
// at a time: text bytes are rarely below 14, and only a word holding one is
// looked at byte by byte.
const char* FindLineBreak(const char* p, const char* end, bool orNul) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    constexpr std::uint64_t kHighs = 0x8080808080808080ull;
    auto isStop = [orNul](char c) { return c == '\n' || c == '\r' || (orNul && c == '\0'); };
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        // Non-zero exactly when some byte of the word is below 14.
        if (((word - kOnes * 14) & ~word & kHighs) != 0) {
            for (int i = 0; i < 8; ++i)
                if (isStop(p[i])) return p + i;
        }
        p += 8;
    }
    while (p < end && !isStop(*p)) ++p;
    return p;
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
    std::vector<std::string> out;
    TTextLineSplitter splitter(out);
    splitter.Feed(text);
    splitter.Finish();
    return out;
}

void TTextLineSplitter::Feed(std::string_view piece) {
    if (ended_ || piece.empty()) return;
    const char* p = piece.data();
    const char* const end = p + piece.size();
    if (afterCR_) {
        afterCR_ = false;
        if (*p == '\n') ++p;
    }
    while (p < end) {
        const char* const stop = FindLineBreak(p, end, endAtNul_);
        if (stop == end) {
            pending_.append(p, static_cast<std::size_t>(end - p));
            return;
        }
        if (*stop == '\0') {
            pending_.append(p, static_cast<std::size_t>(stop - p));
            ended_ = true;
            return;
        }
        Emit(std::string_view(p, static_cast<std::size_t>(stop - p)));
        p = stop + 1;
        if (*stop == '\r') {
            if (p == end) afterCR_ = true;
            else if (*p == '\n') ++p;
        }
    }
}

void TTextLineSplitter::Emit(std::string_view head) {
    if (store_ != nullptr) {
        store_->Add(pending_, head);
    } else if (pending_.empty()) {
        lines_->emplace_back(head);
    } else {
        // One allocation of the final size; pending_ keeps its room.
        std::string line;
        line.reserve(pending_.size() + head.size());
        line.append(pending_).append(head);
        lines_->push_back(std::move(line));
    }
    pending_.clear();
}

void TTextLineSplitter::Finish() {
    if (!pending_.empty()) {
        if (store_ != nullptr) {
            store_->Add(pending_);
        } else {
            lines_->push_back(std::move(pending_));
        }
    }
    pending_.clear();
}
