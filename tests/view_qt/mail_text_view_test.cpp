// The text pages' widget: bounded pieces for any line, where a text opens,
// the keys that scroll it, selecting and copying through its German menu.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

#include "view/qt/mail_text.h"
#include "view/qt/mail_text_view.h"

namespace {

using view::qt::MailText;
using view::qt::MailTextView;

// "grüße " (7 bytes) repeated to about bytes.
std::string Words(std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) text += "gr\xC3\xBC\xC3\x9F" "e ";
    return text;
}

std::string Lines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) text += (i > 1 ? "\n" : "") + ("Zeile " + std::to_string(i) + " " + Words(200));
    return text;
}

TEST(MailTextPieces, AnyLineIsCutIntoBoundedPiecesThatJoinToIt) {
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"a 1 MB line of words", Words(1'000'000)},
        {"a 1 MB line without a blank", std::string(1'000'000, 'x') + "\xE2\x82\xAC"},
        {"two-byte characters without a blank", [] {
             std::string s;
             for (int i = 0; i < 300'000; ++i) s += "\xC3\xBC";
             return s;
         }()},
        {"short and empty lines", "eins\n\nzwei\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string& text = row.text;
        const MailText mail(text);
        std::string joined;
        std::size_t lines = 0;
        for (std::size_t i = 0; i < mail.PieceCount(); ++i) {
            const std::string_view piece = mail.Piece(i);
            EXPECT_LE(piece.size(), MailText::kMaxPieceBytes);
            if (!piece.empty()) {
                EXPECT_NE(static_cast<unsigned char>(piece.front()) & 0xC0, 0x80) << i;
            }
            joined += piece;
            if (mail.PieceEndsLine(i) && i + 1 < mail.PieceCount()) joined += '\n';
            if (mail.PieceEndsLine(i)) ++lines;
        }
        EXPECT_EQ(joined, text);
        EXPECT_EQ(lines, mail.LineCount());
        EXPECT_EQ(mail.PieceAt(text.size()), mail.PieceCount() - 1);
    }
}

class TextView : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<MailTextView>();
        view->resize(300, 150);
        view->show();
    }
    std::unique_ptr<MailTextView> view;
};

TEST_F(TextView, OpensAtItsFirstLineWhateverSizeItIsGivenLater) {
    // A mail given on the command line reaches the page before the window
    // has its size; its first line wraps.
    view->resize(60, 40);
    view->SetText(MailText(Lines(100)));
    for (const QSize size : {QSize(700, 400), QSize(200, 90), QSize(787, 300)}) {
        view->resize(size);
        EXPECT_EQ(view->TopOffset(), 0u) << size.width();
    }
}

TEST_F(TextView, CtrlEndAndCtrlHomeReachBothEnds) {
    view->SetText(MailText(Lines(100)));
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view->ShowsEnd());
    EXPECT_GT(view->TopOffset(), 0u);
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view->TopOffset(), 0u);
    EXPECT_FALSE(view->ShowsEnd());
}

TEST_F(TextView, TheRestOfATextKeepsWhatIsOnScreen) {
    const std::string all = Lines(100);
    view->SetText(MailText(all.substr(0, all.find("Zeile 40"))));
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    const std::size_t top = view->TopOffset();
    ASSERT_GT(top, 0u);
    view->Select(5, 20);
    view->ExtendText(MailText(all));
    EXPECT_EQ(view->TopOffset(), top);
    EXPECT_EQ(view->Selection(), std::make_pair(std::size_t{5}, std::size_t{20}));
}

TEST_F(TextView, GermanMenuSelectsAllAndCopies) {
    const std::string text = "Gr\xC3\xBC\xC3\x9F" "e\naus K\xC3\xB6ln";
    view->SetText(MailText(text));
    std::unique_ptr<QMenu> menu(view->CreateContextMenu());
    QStringList captions;
    for (QAction* action : menu->actions()) captions << action->text();
    EXPECT_EQ(captions, (QStringList{"Kopieren", "Alles markieren"}));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    menu->actions()[1]->trigger();
    EXPECT_EQ(view->SelectedText(), QString::fromUtf8(text));

    menu.reset(view->CreateContextMenu());
    ASSERT_TRUE(menu->actions()[0]->isEnabled());
    QApplication::clipboard()->clear();
    menu->actions()[0]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8(text));
}

}  // namespace
