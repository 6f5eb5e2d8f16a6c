// Text parts become lines while they are decoded: the piecewise splitter has
// to cut exactly where splitting the whole text at once would.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "reader/line_store.h"
#include "reader/string_list.h"

namespace {

// The plain byte-by-byte split: CR LF, LF or a lone CR end a line, a final
// break adds no line.
std::vector<std::string> ReferenceSplit(std::string_view text) {
    std::vector<std::string> out;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) out.emplace_back(text.substr(start));
    return out;
}

// Into a vector of strings, or into a line store with Target = TLineStore.
template <typename Target = std::vector<std::string>>
std::vector<std::string> SplitInPieces(std::string_view text, const std::vector<std::size_t>& cuts,
                                       TTextLineSplitter::TNulMode mode) {
    Target lines;
    TTextLineSplitter splitter(lines, mode);
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        splitter.Feed(text.substr(from, cut - from));
        from = cut;
    }
    splitter.Feed(text.substr(from));
    splitter.Finish();
    if constexpr (std::is_same_v<Target, TLineStore>) {
        return lines.Lines();
    } else {
        return lines;
    }
}

std::string_view BeforeNul(std::string_view text) { return text.substr(0, text.find('\0')); }

TEST(TextLines, NamedCases) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::size_t> cuts;
    };
    const Row rows[] = {
        {"empty", "", {}},
        {"no break", "abc", {}},
        {"final CR LF adds no line", "a\r\nb\r\n", {}},
        {"empty lines kept", "\r\n\r\n\n\r", {}},
        {"CR LF cut between CR and LF", "ab\r\ncd", {3}},
        {"lone CR at a piece end, LF later", "ab\r\r\ncd", {3}},
        {"lone CR, then text in the next piece", "ab\rcd", {3}},
        {"CR then empty piece then LF", "ab\r\ncd", {3, 3}},
        {"line over many pieces", "abcdefghijklmnopqrstuvwxyz\r\n", {1, 2, 9, 17, 26}},
        {"NUL ends the text", std::string("ab\r\ncd\0ef\r\ngh", 13), {}},
        {"NUL right after CR", std::string("ab\r\0\ncd", 7), {}},
        {"NUL in a later piece", std::string("abcdef\0gh\r\nij", 13), {2, 8}},
        {"long line with bytes below 14", "a\tb\x01" "cdefghijklmnop\x0b\x0c" "qrstuvwxyz\r\n", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplitTextLines(row.text), ReferenceSplit(row.text)) << row.name;
        EXPECT_EQ(SplitInPieces(row.text, row.cuts, TTextLineSplitter::TNulMode::Keep), ReferenceSplit(row.text))
            << row.name;
        EXPECT_EQ(SplitInPieces(row.text, row.cuts, TTextLineSplitter::TNulMode::EndAtNul),
                  ReferenceSplit(BeforeNul(row.text)))
            << row.name;
    }
}

TEST(TextLines, RandomTextInRandomPiecesSplitsLikeTheWholeText) {
    std::mt19937 rng(20240607);
    const std::string alphabet = std::string("\r\n\r\n\0\t x=", 10) + "abcdefghij";
    for (int round = 0; round < 3000; ++round) {
        std::string text(rng() % 80, ' ');
        for (char& c : text) c = alphabet[rng() % alphabet.size()];
        if (rng() % 2 == 0) text += std::string(rng() % 40, 'y');  // runs long enough for whole words
        std::vector<std::size_t> cuts;
        for (std::size_t at = 0; at < text.size();) {
            at += rng() % 12;
            cuts.push_back(std::min(at, text.size()));
        }
        ASSERT_EQ(SplitTextLines(text), ReferenceSplit(text)) << round;
        ASSERT_EQ(SplitInPieces(text, cuts, TTextLineSplitter::TNulMode::Keep), ReferenceSplit(text)) << round;
        ASSERT_EQ(SplitInPieces(text, cuts, TTextLineSplitter::TNulMode::EndAtNul), ReferenceSplit(BeforeNul(text)))
            << round;
        ASSERT_EQ(SplitInPieces<TLineStore>(text, cuts, TTextLineSplitter::TNulMode::EndAtNul),
                  ReferenceSplit(BeforeNul(text)))
            << round;
    }
}

// Lines of every length up to beyond the largest block, some empty ones at
// block ends, and removals of the last line that empty a block again.
TEST(LineStore, KeepsEveryLineAcrossItsBlocks) {
    std::vector<std::string> expected;
    TLineStore store;
    auto add = [&](std::string line) {
        store.Add(line);
        expected.push_back(std::move(line));
    };
    for (std::size_t size = 0; size < 70'000; size = size * 3 / 2 + 1) {
        add(std::string(size, static_cast<char>('a' + size % 26)));
        add("");
        if (size % 2 == 0) {
            store.DeleteLast();
            expected.pop_back();
        }
    }
    add(std::string(17 * 1024 * 1024, 'z'));
    add("after");
    ASSERT_EQ(store.Count(), static_cast<int>(expected.size()));
    EXPECT_EQ(store.Lines(), expected);
    EXPECT_EQ(TLineStore(store).Lines(), expected);
    EXPECT_EQ(store.Last(), "after");
    EXPECT_THROW((void)store[store.Count()], std::out_of_range);

    std::vector<std::string> drained;
    EXPECT_THROW(store.Drain([&drained](std::string_view line) {
        if (drained.size() == 30) throw std::runtime_error("stop");
        drained.emplace_back(line);
    }),
                 std::runtime_error);
    EXPECT_EQ(drained, std::vector<std::string>(expected.begin(), expected.begin() + 30));
    EXPECT_TRUE(store.Empty());
}

}  // namespace
