#include "view/file_name_sanitizer.h"

#include <gtest/gtest.h>

namespace {

TEST(FileNameSanitizer, MakesEveryNameFromAMailSafe) {
    struct Row {
        const char* name;
        std::string in;
        int index;
        std::string out;
    } rows[] = {
        {"plain name unchanged", "Rechnung 2026.pdf", 1, "Rechnung 2026.pdf"},
        {"umlaut kept", "M\xE4rz.txt", 1, "M\xE4rz.txt"},
        {"slash of a derived type name", "application/pdf.PDF", 3, "application_pdf.PDF"},
        {"parent folders", "../../.profile", 2, "_.._.profile"},
        {"content id with parent folders", "../../x", 4, "_.._x"},
        {"absolute path", "/etc/passwd", 0, "_etc_passwd"},
        {"windows path", "C:\\Windows\\win.ini", 0, "C__Windows_win.ini"},
        {"reserved characters", "a*b?c\"d<e>f|g", 0, "a_b_c_d_e_f_g"},
        {"line breaks", "bad\r\nname.txt", 0, "bad__name.txt"},
        {"tab and delete", "a\tb\x7F", 0, "a_b_"},
        {"c1 control bytes", "a\x81\x8D\x8F\x90\x9D" "b", 0, "a_____b"},
        {"euro sign is a character", "\x80.txt", 0, "\x80.txt"},
        {"hidden file made visible", ".profile", 0, "profile"},
        {"leading blanks and dots", " . .x", 0, "x"},
        {"dot dot alone", "..", 7, "Anlage7"},
        {"single dot", ".", 2, "Anlage2"},
        {"only blanks", "   ", 5, "Anlage5"},
        {"empty", "", 0, "Anlage0"},
        {"inner dots and trailing blank kept", "a..b ", 0, "a..b "},
        {"leading control becomes underscore", "\n.x", 0, "_.x"},
    };
    for (const Row& row : rows) EXPECT_EQ(view::SanitizeFileName(row.in, row.index), row.out) << row.name;
}

TEST(FileNameSanitizer, OverlongNamesFitTheFileSystem) {
    struct Row {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"exactly 255 bytes kept", std::string(251, 'a') + ".pdf", std::string(251, 'a') + ".pdf"},
        {"stem shortened, extension kept", std::string(300, 'a') + ".pdf", std::string(251, 'a') + ".pdf"},
        {"umlauts count twice", std::string(200, '\xE4') + ".txt", std::string(125, '\xE4') + ".txt"},
        {"long extension is part of the stem", std::string(300, 'a') + "." + std::string(20, 'b'),
         std::string(255, 'a')},
    };
    for (const Row& row : rows) EXPECT_EQ(view::SanitizeFileName(row.in, 0), row.out) << row.name;
}

std::string Repeat(const std::string& piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
}

TEST(FileNameSanitizer, Utf8NamesAreJudgedAndCutByCharacter) {
    const std::string han = "\xE4\xB8\xAD", smiley = "\xF0\x9F\x98\x80";
    struct Row {
        const char* name;
        std::string in, out;
    } rows[] = {
        {"direction control", "Rechnung\xE2\x80\xAE" "fdp.exe", "Rechnung_fdp.exe"},
        {"line separator and next line", "a\xE2\x80\xA8" "b\xC2\x85" "c", "a_b_c"},
        {"emoji kept", smiley + ".txt", smiley + ".txt"},
        {"three-byte characters", Repeat(han, 300) + ".pdf", Repeat(han, 83) + ".pdf"},
        {"four-byte characters", Repeat(smiley, 100) + ".txt", Repeat(smiley, 62) + ".txt"},
        {"stray byte read as Windows-1252", "M\xFCller", "M\xC3\xBCller"},
    };
    for (const Row& row : rows) EXPECT_EQ(view::SanitizeFileNameUtf8(row.in, 0), row.out) << row.name;
}

TEST(FileNameSanitizer, ListShowsLineBreaksAndDirectionControls) {
    EXPECT_EQ(view::VisibleInList("a\r\nb\xE2\x80\xAE" "c\xE2\x80\xA9\xC3\xA4  x "),
              "a\xC2\xB6\xC2\xB6" "b\xC2\xA4" "c\xC2\xB6\xC3\xA4\xC2\xB7\xC2\xB7x\xC2\xB7");
}

TEST(FileNameSanitizer, ShorteningIsLinearAndHonoursTheLimit) {
    // A hostile mail may announce a name of megabytes; cutting it must not
    // re-measure the whole name per character.
    const std::string huge = std::string(2'000'000, '\xE4') + ".exe";
    const std::string out = view::SanitizeFileName(huge, 0);
    EXPECT_EQ(out, std::string(125, '\xE4') + ".exe");
    EXPECT_EQ(view::SanitizeFileName(std::string(300, 'a') + ".pdf", 0, 240), std::string(236, 'a') + ".pdf");
}

}  // namespace
