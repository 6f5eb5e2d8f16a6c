#include "view/qt/mail_text.h"

#include <algorithm>
#include <cstring>

namespace view::qt {
namespace {

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Cuts further than this before the limit leave pieces too ragged to read
// as one wrapped line.
constexpr std::size_t kBlankSearch = MailText::kMaxPieceBytes / 4;

}  // namespace

MailText::MailText() : starts_{0} {}

MailText::MailText(std::string utf8) : MailText(std::make_shared<const std::string>(std::move(utf8))) {}

MailText::MailText(std::shared_ptr<const std::string> utf8) : text_(std::move(utf8)), utf8_(*text_) {
    starts_.reserve(utf8_.size() / 64 + 1);
    lineCount_ = 0;
    std::size_t begin = 0;
    for (;;) {
        const void* found = std::memchr(utf8_.data() + begin, '\n', utf8_.size() - begin);
        const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - utf8_.data())
                                      : utf8_.size();
        CutLine(begin, end);
        ++lineCount_;
        if (!found) break;
        begin = end + 1;
    }
    starts_.shrink_to_fit();
}

void MailText::CutLine(std::size_t begin, std::size_t end) {
    starts_.push_back(begin);
    while (end - begin > kMaxPieceBytes) {
        std::size_t cut = begin + kMaxPieceBytes;
        const std::size_t floor = cut - kBlankSearch;
        std::size_t blank = cut;
        while (blank > floor && utf8_[blank - 1] != ' ') --blank;
        if (blank > floor) {
            cut = blank;
        } else {
            while (cut > begin + 1 && IsContinuationByte(utf8_[cut])) --cut;
        }
        starts_.push_back(cut);
        begin = cut;
    }
}

std::size_t MailText::PieceEnd(std::size_t piece) const {
    if (piece + 1 == starts_.size()) return utf8_.size();
    const std::size_t next = starts_[piece + 1];
    return utf8_[next - 1] == '\n' ? next - 1 : next;
}

std::string_view MailText::Piece(std::size_t piece) const {
    const std::size_t start = starts_[piece];
    return utf8_.substr(start, PieceEnd(piece) - start);
}

bool MailText::PieceEndsLine(std::size_t piece) const {
    return piece + 1 == starts_.size() || utf8_[starts_[piece + 1] - 1] == '\n';
}

std::size_t MailText::PieceAt(std::size_t offset) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    return after == starts_.begin() ? 0 : static_cast<std::size_t>(after - starts_.begin()) - 1;
}

}  // namespace view::qt
