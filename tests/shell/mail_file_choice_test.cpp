#include "shell/startup/mail_file_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(MailFileChoice, ExtensionTest) {
    struct Row {
        const char* name;
        bool passes;
    } rows[] = {
        {"a.kqv", true},
        {"a.KQV", true},
        {"a.Kqv", true},
        {"/home/u/Post/A.KQV", true},
        {"C:\\Post\\A.KQV", true},
        {"a.kqv.bak", false},
        {"a", false},
        {"x.kqv/y", false},
        {"x.kqv\\y", false},
        {"C:x.kqv", true},
        {"dir.d/a", false},
        {".kqv", true},
        {"a.kqvx", false},
        {"a.k\xE4v", false},
    };
    for (const auto& r : rows) EXPECT_EQ(HasKqvExtension(r.name), r.passes) << r.name;
}

TEST(MailFileChoice, DropTakesTheFirstPassingNameInOrder) {
    EXPECT_EQ(FirstDroppedMailFile({"/a/brief.eml", "/a/zwei.kqv", "/a/drei.KQV"}), "/a/zwei.kqv");
    EXPECT_EQ(FirstDroppedMailFile({"/a/brief.eml", "/a/bild.png"}), std::nullopt);
    EXPECT_EQ(FirstDroppedMailFile({}), std::nullopt);
}

TEST(MailFileChoice, DroppedNamesAreReadIntoA255CharacterBuffer) {
    const std::string longName = std::string(250, 'x') + ".kqv";  // 254 characters: fits
    EXPECT_EQ(FirstDroppedMailFile({longName}), longName);
    const std::string tooLong = std::string(260, 'x') + ".kqv";  // cut inside the x run
    EXPECT_EQ(FirstDroppedMailFile({tooLong}), std::nullopt);
}

TEST(MailFileChoice, OnlyTheFirstArgumentCounts) {
    EXPECT_EQ(CommandLineMailFile({"viewer"}), std::nullopt);
    EXPECT_EQ(CommandLineMailFile({"viewer", "A.KQV", "B.kqv"}), "A.KQV");
}

}  // namespace
