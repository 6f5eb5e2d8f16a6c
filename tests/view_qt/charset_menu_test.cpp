// "Zeichenkodierung": the menu shows the mail again in the chosen charset,
// is offered on the text page, and remembers only "Automatisch" and the
// classic view.
#include <QAction>
#include <QMenu>

#include "view/qt/mail_text_view.h"
#include "view_qt_test_support.h"

namespace {

class CharsetMenu : public viewqt::FormFixture {
protected:
    QString Text() { return Child<view::qt::MailTextView>("reNachricht")->ToPlainText(); }
    QAction* Item(const char* name) {
        auto* action = form->Zeichenkodierung()->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    QVariant Stored() { return settings->value(QStringLiteral("Ansicht/Zeichenkodierung")); }
};

TEST_F(CharsetMenu, ChoiceShowsTheMailAgainAndOnlyAutomaticAndClassicAreRemembered) {
    const QString path =
        WriteMail(QStringLiteral("koi8.kqv"), "Subject: x\nContent-Type: text/plain\n\n\xF0\xD2\xC9\xD7\xC5\xD4\n");
    form->SetMailFileName(path);
    ChangeMailAndWait();
    EXPECT_TRUE(Item("Automatisch1")->isChecked());
    const QString latin = QString::fromUtf8("\xC3\xB0\xC3\x92\xC3\x89\xC3\x97\xC3\x85\xC3\x94");
    EXPECT_EQ(Text(), latin);

    Item("Zeichenkodierung_koi8-r")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }));
    EXPECT_EQ(Text(), QString::fromUtf8("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"));
    EXPECT_FALSE(Stored().isValid());

    Item("klassisch1")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }));
    EXPECT_EQ(Stored().toString(), "classic");
    EXPECT_EQ(Text(), latin);
    EXPECT_TRUE(Item("klassisch1")->isChecked());

    // The next viewer starts with the classic view.
    form.reset();
    form = std::make_unique<TformMailansehen>(nullptr, Services());
    EXPECT_TRUE(Item("klassisch1")->isChecked());
    EXPECT_EQ(form->Core().DefaultCharset(), view::CharsetChoice::Classic());
}

TEST_F(CharsetMenu, TextPageOffersTheMenuInItsContextMenu) {
    const std::unique_ptr<QMenu> menu(Child<view::qt::MailTextView>("reNachricht")->CreateContextMenu());
    QList<QMenu*> submenus;
    for (QAction* action : menu->actions())
        if (action->menu()) submenus << action->menu();
    EXPECT_EQ(submenus, QList<QMenu*>{form->Zeichenkodierung()});
}

}  // namespace
