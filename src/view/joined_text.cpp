#include "view/joined_text.h"

#include <atomic>

#include "reader/string_list.h"

namespace view {

JoinedText::JoinedText(const JoinedText& other) : lineCount_(other.lineCount_) {
    if (other.text_) text_ = std::make_shared<std::string>(*other.text_);
}

JoinedText& JoinedText::operator=(const JoinedText& other) {
    if (this != &other) *this = JoinedText(other);
    return *this;
}

std::string& JoinedText::Writable() {
    // Only this object can hand out new shares: when it holds the one
    // left, nobody else can see the change.
    if (!text_) {
        text_ = std::make_shared<std::string>();
    } else if (text_.use_count() > 1) {
        text_ = std::make_shared<std::string>(*text_);
    } else {
        // The display's thread may just have let go of its share: its reads
        // of the text come before the writes that follow.
        std::atomic_thread_fence(std::memory_order_acquire);
    }
    return *text_;
}

void JoinedText::Append(std::string_view line) {
    std::string& text = Writable();
    if (lineCount_ > 0) text += '\n';
    text += line;
    ++lineCount_;
}

void JoinedText::Clear() {
    text_.reset();
    lineCount_ = 0;
}

void JoinedText::Reserve(std::size_t bytes) {
    std::string& text = Writable();
    if (text.capacity() - text.size() < bytes) text.reserve(text.size() + bytes);
}

void JoinedText::SetText(std::string_view text) {
    Clear();
    for (const std::string& line : SplitTextLines(text)) Append(line);
}

std::string_view JoinedText::Utf8() const { return text_ ? std::string_view(*text_) : std::string_view(); }

std::shared_ptr<const std::string> JoinedText::Share() const {
    return text_ ? text_ : std::make_shared<const std::string>();
}

template <typename Visit>
void JoinedText::ForEachLine(Visit visit) const {
    if (lineCount_ == 0) return;
    const std::string_view text = Utf8();
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) {
            visit(text.substr(begin));
            return;
        }
        visit(text.substr(begin, end - begin));
        begin = end + 1;
    }
}

std::string JoinedText::Text() const {
    std::string out;
    ForEachLine([&out](std::string_view line) { out.append(line).append("\r\n"); });
    return out;
}

std::vector<std::string> JoinedText::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(lineCount_);
    ForEachLine([&lines](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

}  // namespace view
