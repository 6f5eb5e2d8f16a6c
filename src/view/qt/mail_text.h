#pragma once
// The text of a text page as MailTextView shows it: Unicode (UTF-8), lines
// joined by "\n", cut into pieces that a layout handles in bounded time.
// A line longer than kMaxPieceBytes becomes several pieces, cut after a
// blank where there is one near the limit, else at a character boundary;
// so no line of a mail, however long, costs more than one piece at a time.
// Immutable once built; safe to build on any thread and to hand over.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace view::qt {

class MailText {
public:
    static constexpr std::size_t kMaxPieceBytes = 4096;

    // An empty text: one empty line.
    MailText();
    // utf8: valid UTF-8, lines separated by "\n".
    explicit MailText(std::string utf8);
    // The same for a text held elsewhere too; it must not change.
    explicit MailText(std::shared_ptr<const std::string> utf8);

    std::string_view Utf8() const { return utf8_; }
    std::size_t Size() const { return utf8_.size(); }
    std::size_t LineCount() const { return lineCount_; }

    // Pieces in text order; every line has at least one (an empty line an
    // empty one). A piece never holds the "\n" that ends its line.
    std::size_t PieceCount() const { return starts_.size(); }
    std::size_t PieceStart(std::size_t piece) const { return starts_[piece]; }
    std::size_t PieceEnd(std::size_t piece) const;
    std::string_view Piece(std::size_t piece) const;
    // Whether the piece is the last one of its line.
    bool PieceEndsLine(std::size_t piece) const;
    // The piece that holds the byte at offset (the end of the text belongs
    // to the last piece; a "\n" to the piece it ends).
    std::size_t PieceAt(std::size_t offset) const;

private:
    void CutLine(std::size_t begin, std::size_t end);

    std::shared_ptr<const std::string> text_;
    std::string_view utf8_;
    std::vector<std::size_t> starts_;
    std::size_t lineCount_ = 1;
};

}  // namespace view::qt
