#include "reader/io/id_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "reader/exceptions.h"

namespace {

TEST(IdBuffer, IndexOfCountsFromTheHead) {
    TIdBuffer buffer;
    buffer.Append("xxab\r\ncd\r\n", 10);
    buffer.Remove(2);  // the head moves; indexes follow it
    struct Row {
        const char* name;
        std::string_view needle;
        std::size_t from;
        std::ptrdiff_t expected;
    } rows[] = {
        {"single byte", "\n", 0, 3},
        {"single byte after from", "\n", 4, 7},
        {"pair", "\r\n", 0, 2},
        {"pair after from", "\r\n", 3, 6},
        {"missing", "z", 0, -1},
        {"from past the end", "a", 8, -1},
        {"empty needle", "", 0, -1},
    };
    for (const Row& row : rows) EXPECT_EQ(buffer.IndexOf(row.needle, row.from), row.expected) << row.name;
}

// The text of the EIdNotEnoughDataInBuffer that fn raises, or "" when none.
template <typename Fn>
std::string NotEnoughText(Fn fn) {
    try {
        fn();
    } catch (const EIdNotEnoughDataInBuffer& e) {
        return e.what();
    }
    return "";
}

TEST(IdBuffer, TakingMoreThanHeldNamesBothCounts) {
    TIdBuffer buffer;
    buffer.Append("abc", 3);
    std::string out;
    char raw[8];
    EXPECT_EQ(NotEnoughText([&] { buffer.Extract(10); }), "Not enough data in buffer. (10/3)");
    EXPECT_EQ(NotEnoughText([&] { buffer.ExtractInto(4, out); }), "Not enough data in buffer. (4/3)");
    EXPECT_EQ(NotEnoughText([&] { buffer.ExtractBytes(5, raw); }), "Not enough data in buffer. (5/3)");
    EXPECT_EQ(NotEnoughText([&] { buffer.Remove(4); }), "Not enough data in buffer. (4/3)");
    EXPECT_EQ(buffer.View(), "abc");  // a refused take leaves the bytes
    EXPECT_EQ(NotEnoughText([&] { buffer.Remove(3); }), "");
    EXPECT_EQ(NotEnoughText([&] { buffer.Extract(1); }), "Not enough data in buffer. (1/0)");
}

// Random appends and takes against a plain string: the head offset, the
// moves to the front and the growth and shrinking must never lose a byte.
TEST(IdBuffer, MatchesAPlainStringUnderRandomUse) {
    std::mt19937 random(7);
    TIdBuffer buffer;
    std::string model;
    std::uint64_t taken = 0;
    std::string chunk;
    std::string out;
    for (int step = 0; step < 4000; ++step) {
        const unsigned pick = random() % 10;
        if (pick < 5) {
            // Mostly small chunks, now and then a very large one.
            const std::size_t n = (random() % 40 == 0) ? 3 * 1024 * 1024 : random() % 40000;
            chunk.resize(n);
            for (char& c : chunk) c = static_cast<char>('a' + random() % 26);
            if (pick == 0) {
                char* room = buffer.PrepareAppend(n + 17);
                std::copy(chunk.begin(), chunk.end(), room);
                buffer.CommitAppend(n);
            } else {
                buffer.Append(chunk.data(), n);
            }
            model += chunk;
        } else if (pick < 9) {
            const std::size_t n = model.empty() ? 0 : random() % (model.size() + 1);
            buffer.ExtractInto(n, out);
            ASSERT_EQ(out, model.substr(0, n)) << "step " << step;
            model.erase(0, n);
            taken += n;
        } else {
            taken += model.size();
            model.clear();
            buffer.Clear();
        }
        ASSERT_EQ(buffer.Size(), model.size());
        ASSERT_EQ(buffer.Consumed(), taken);
        ASSERT_TRUE(buffer.View() == model) << "step " << step;
    }
}

}  // namespace
