#pragma once
// An ordered list of 8-bit strings: unsorted, duplicates allowed, indices
// from 0. The base of header lists and every body.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "reader/line_store.h"

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}
    virtual ~TStringList() = default;
    TStringList(const TStringList&) = default;
    TStringList& operator=(const TStringList&) = default;
    TStringList(TStringList&&) noexcept = default;
    TStringList& operator=(TStringList&&) noexcept = default;

    int Count() const { return static_cast<int>(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    const std::string& operator[](int index) const { return lines_.at(static_cast<std::size_t>(index)); }
    std::string& operator[](int index) { return lines_.at(static_cast<std::size_t>(index)); }
    const std::string& Last() const { return lines_.back(); }

    int Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    void Assign(const TStringList& other) { lines_ = other.lines_; }

    // Case-insensitive (ASCII letters) search for a whole line; -1 if absent.
    int IndexOf(std::string_view line) const;

    // Every line followed by CR LF, the last one included.
    std::string Text() const;
    // Replaces the lines by the text split at CR LF, LF or a lone CR; a final
    // line break adds no empty line.
    void SetText(std::string_view text);

    const std::vector<std::string>& Lines() const { return lines_; }
    std::vector<std::string>& Lines() { return lines_; }

    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

private:
    std::vector<std::string> lines_;
};

// Splits text into lines at CR LF, LF or a lone CR; a final break adds no line.
std::vector<std::string> SplitTextLines(std::string_view text);

// SplitTextLines for text that arrives in pieces, without holding all of it:
// the lines come out exactly as SplitTextLines would cut the joined pieces.
// With EndAtNul the text ends at its first NUL byte and the rest is ignored.
class TTextLineSplitter {
public:
    enum class TNulMode { Keep, EndAtNul };
    explicit TTextLineSplitter(std::vector<std::string>& lines, TNulMode nulMode = TNulMode::Keep)
        : lines_(&lines), endAtNul_(nulMode == TNulMode::EndAtNul) {}
    explicit TTextLineSplitter(TLineStore& lines, TNulMode nulMode = TNulMode::Keep)
        : store_(&lines), endAtNul_(nulMode == TNulMode::EndAtNul) {}

    void Feed(std::string_view piece);
    // Adds the unterminated last line, if there is one.
    void Finish();

private:
    // A line of pending_ and head, else of head alone.
    void Emit(std::string_view head);

    // Exactly one of the two is set.
    std::vector<std::string>* lines_ = nullptr;
    TLineStore* store_ = nullptr;
    std::string pending_;  // the start of a line that continues in the next piece
    bool endAtNul_;
    bool afterCR_ = false;  // the last piece ended in CR: an LF next belongs to it
    bool ended_ = false;    // a NUL was met
};
