// Safe names for saved attachments.

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "tools/attachment_saver.h"

namespace {

struct NameCase {
    const char* name;
    std::string announced;  // local text
    int index;
    std::string expected;
};

TEST(SafeAttachmentName, Table) {
    const NameCase cases[] = {
        {"ordinary name kept", "Bericht 2010.pdf", 1, "Bericht 2010.pdf"},
        {"umlauts kept", "Gr\xFC\xDF" "e.txt", 1, "Gr\xFC\xDF" "e.txt"},
        {"euro sign is a character, not a control", "5\x80.txt", 1, "5\x80.txt"},
        {"parent folders cannot escape", "../../x", 1, "_.._x"},
        {"absolute path", "/etc/passwd", 1, "_etc_passwd"},
        {"windows path", "C:\\temp\\a.txt", 1, "C__temp_a.txt"},
        {"characters other systems forbid", "a*b?c\"d<e>f|g:h", 1, "a_b_c_d_e_f_g_h"},
        {"control characters", "a\tb\nc\x7F" "d\x01", 1, "a_b_c_d_"},
        {"undefined code page bytes count as controls", "\x81x\x9D", 1, "_x_"},
        {"leading dots and blanks dropped", " . .hidden", 1, "hidden"},
        {"trailing dots and blanks kept", "name. ", 1, "name. "},
        {"only dots", "..", 4, "Anlage4"},
        {"empty", "", 0, "Anlage0"},
        {"only blanks", "   ", 7, "Anlage7"},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(SafeAttachmentName(c.announced, c.index), c.expected) << c.name;
    }
}

TEST(SafeAttachmentName, OverLongNameKeepsItsExtensionAndFitsOneName) {
    const std::string stem(300, 'a');
    const std::string safe = SafeAttachmentName(stem + ".pdf", 1);
    EXPECT_LE(safe.size(), 240u);
    EXPECT_GE(safe.size(), 200u);
    EXPECT_EQ(safe.substr(safe.size() - 4), ".pdf");

    // Characters that take three bytes in UTF-8 count as three.
    const std::string euros(200, '\x80');
    const std::string safeEuros = SafeAttachmentName(euros, 1);
    EXPECT_LE(platform::LocalToUtf8(safeEuros).size(), 240u);
    EXPECT_EQ(safeEuros.size(), 80u);
}

}  // namespace
