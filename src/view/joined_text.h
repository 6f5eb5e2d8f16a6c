#pragma once
// The content of the text page: UTF-8 lines joined by "\n" into one text,
// the form the text display shows. Made once, in one piece, and handed to
// the display without a copy: a large mail's text is not held as millions
// of strings beside the display's own copy.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace view {

class JoinedText {
public:
    JoinedText() = default;
    // Copies of the text, not shares of it.
    JoinedText(const JoinedText& other);
    JoinedText& operator=(const JoinedText& other);
    JoinedText(JoinedText&&) noexcept = default;
    JoinedText& operator=(JoinedText&&) noexcept = default;

    bool Empty() const { return lineCount_ == 0; }
    std::size_t LineCount() const { return lineCount_; }

    // line holds no line break.
    void Append(std::string_view line);
    void Clear();
    // Room for about this many more bytes, so that a large text does not
    // grow by copies.
    void Reserve(std::size_t bytes);
    // Replaces the lines by text split at CR LF, LF or a lone CR.
    void SetText(std::string_view text);

    // The lines joined by "\n", without a final break; "" with no line.
    std::string_view Utf8() const;
    // The text for a display that keeps it: shared, not copied. A later
    // Append copies it first when it is still held.
    std::shared_ptr<const std::string> Share() const;

    // Every line followed by CR LF, the last one included.
    std::string Text() const;
    std::vector<std::string> Lines() const;

private:
    std::string& Writable();
    template <typename Visit>
    void ForEachLine(Visit visit) const;

    std::shared_ptr<std::string> text_;
    std::size_t lineCount_ = 0;
};

}  // namespace view
