// The text page's content is handed to the display without a copy: what the
// display holds must not change when the page grows afterwards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/joined_text.h"

namespace {

using Lines = std::vector<std::string>;

TEST(JoinedText, GivesBackItsLinesEmptyOnesIncluded) {
    const Lines cases[] = {{}, {""}, {"", ""}, {"a", ""}, {"", "b", "", "c"}};
    for (const Lines& lines : cases) {
        view::JoinedText text;
        for (const std::string& line : lines) text.Append(line);
        EXPECT_EQ(text.Lines(), lines);
        EXPECT_EQ(text.LineCount(), lines.size());
    }
}

TEST(JoinedText, ASharedTextStaysAsItWasShared) {
    view::JoinedText text;
    text.Append("eins");
    const auto shown = text.Share();
    text.Append("zwei");
    text.Reserve(1000);
    EXPECT_EQ(*shown, "eins");
    EXPECT_EQ(text.Utf8(), "eins\nzwei");
}

}  // namespace
