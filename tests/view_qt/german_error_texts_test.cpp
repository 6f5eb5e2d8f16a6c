#include "view/qt/german_error_texts.h"

#include <gtest/gtest.h>

namespace {

TEST(GermanErrorTexts, KnownPhrasesAreReplacedTheRestKept) {
    const struct {
        const char* name;
        const char* english;
        const char* german;
    } rows[] = {
        {"reader text with system reason", "Cannot create file \"/post/Müller.txt\". Permission denied",
         "Datei kann nicht angelegt werden: \"/post/Müller.txt\". Keine Berechtigung"},
        {"system error", "Cannot open file \"/a\": No such file or directory",
         "Datei kann nicht geöffnet werden: \"/a\": Datei oder Ordner nicht gefunden"},
        {"unknown text", "Unknown Message Part Type.", "Unknown Message Part Type."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(view::qt::GermanErrorText(QString::fromUtf8(row.english)).toStdString(), row.german) << row.name;
}

}  // namespace
