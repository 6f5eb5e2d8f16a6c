#include "reader/decoding/mime_boundary.h"

#include <gtest/gtest.h>

namespace {

TEST(MimeBoundary, EmptyStack) {
    TIdMIMEBoundary stack;
    EXPECT_EQ(stack.CurrentBoundary(), "");
    EXPECT_EQ(stack.CurrentParentPart(), -1);
    EXPECT_EQ(stack.BoundaryCount(), 0);
    stack.PopBoundary();  // does nothing
    EXPECT_EQ(stack.BoundaryCount(), 0);
}

TEST(MimeBoundary, PushPopClear) {
    TIdMIMEBoundary stack;
    stack.PushBoundary("a", -1);
    stack.PushBoundary("b", 3);
    EXPECT_EQ(stack.BoundaryCount(), 2);
    EXPECT_EQ(stack.CurrentBoundary(), "b");
    EXPECT_EQ(stack.CurrentParentPart(), 3);
    stack.PopBoundary();
    EXPECT_EQ(stack.CurrentBoundary(), "a");
    EXPECT_EQ(stack.CurrentParentPart(), -1);
    stack.PushBoundary("", 0);  // an empty boundary is still an entry
    EXPECT_EQ(stack.BoundaryCount(), 2);
    EXPECT_EQ(stack.CurrentParentPart(), 0);
    stack.ClearBoundaries();
    EXPECT_EQ(stack.BoundaryCount(), 0);
    EXPECT_EQ(stack.CurrentBoundary(), "");
    EXPECT_EQ(stack.CurrentParentPart(), -1);
}

TEST(MimeBoundary, ExtractBoundary) {
    struct Row {
        const char* name;
        const char* value;
        const char* expected;
    } rows[] = {
        {"quoted", "multipart/mixed; boundary=\"xyz\"", "xyz"},
        {"quoted with blanks around equals", "multipart/mixed; BOUNDARY = \"xyz\"", "xyz"},
        {"quoted then further parameter", "multipart/mixed; boundary=\"a b\"; charset=x", "a b"},
        {"unquoted runs to the end", "multipart/mixed; boundary=abc; charset=x", "abc; charset=x"},
        {"unquoted trimmed", "multipart/mixed; boundary= abc \t", "abc"},
        {"unclosed quote takes the rest", "multipart/mixed; boundary=\"abc", "abc"},
        {"any letter case", "multipart/mixed; BoUnDaRy=q", "q"},
        {"absent", "multipart/mixed; charset=x", ""},
        {"nothing follows", "multipart/mixed; boundary", ""},
        {"only equals", "multipart/mixed; boundary=", ""},
        {"first occurrence wins", "multipart/mixed; x-boundary-hint=1; boundary=z", "-hint=1; boundary=z"},
        {"without equals", "multipart/mixed; boundary \"q\"", "q"},
        {"empty quotes", "multipart/mixed; boundary=\"\"", ""},
    };
    for (const auto& r : rows) EXPECT_EQ(TIdMIMEBoundary::ExtractBoundary(r.value), r.expected) << r.name;
}

}  // namespace
