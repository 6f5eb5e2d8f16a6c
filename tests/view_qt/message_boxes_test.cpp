// The three kinds of message box.
#include <QMessageBox>
#include <gtest/gtest.h>

#include "view/qt/qt_message_boxes.h"

namespace {

using view::MessageBoxKind;
using view::qt::BuildMessageBox;

TEST(MessageBoxes, KindGivesIconAndCaptionAndTextStaysPlain) {
    struct Row {
        const char* name;
        MessageBoxKind kind;
        std::string text;
        QMessageBox::Icon icon;
        QString caption;
        QString shown;
    };
    const Row rows[] = {
        {"error", MessageBoxKind::mbError, "Fehler beim \xD6" "ffnen der Mail!", QMessageBox::Critical, "Fehler",
         QString::fromUtf8("Fehler beim Öffnen der Mail!")},
        {"information with a line break", MessageBoxKind::mbInformation,
         "F\xFCr die Multipart-Mail ist kein \"boundary\" definiert!\rDie Mail wird nicht korrekt angezeigt!",
         QMessageBox::Information, "Information",
         QString::fromUtf8("Für die Multipart-Mail ist kein \"boundary\" definiert!\nDie Mail wird nicht korrekt angezeigt!")},
        {"plain, markup stays text", MessageBoxKind::mbPlain, "Fehler bei <b>IOHandler</b>.ReadLnRFC\r\n&amp;",
         QMessageBox::NoIcon, "Merivo Emailbetrachter", "Fehler bei <b>IOHandler</b>.ReadLnRFC\n&amp;"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto box = BuildMessageBox(row.kind, row.text, nullptr);
        EXPECT_EQ(box->icon(), row.icon);
        EXPECT_EQ(box->windowTitle(), row.caption);
        EXPECT_EQ(box->text(), row.shown);
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    }
}

}  // namespace
