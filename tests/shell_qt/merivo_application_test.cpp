#include "shell/qt/merivo_application.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

#include "reader/exceptions.h"

namespace {

TEST(MerivoApplication, AnExceptionEscapingAHandlerIsShownAndSurvived) {
    auto* app = static_cast<MerivoApplication*>(QCoreApplication::instance());
    QStringList shown;
    app->showException = [&](const QString& t) { shown << t; };
    bool ranAfter = false;
    QTimer::singleShot(0, [] { throw EIdException("Error saving attachment."); });
    QTimer::singleShot(0, [] { throw std::runtime_error("Fehler beim Schreiben: \xC3\xA4"); });
    QTimer::singleShot(5, [&] {
        ranAfter = true;
        QCoreApplication::quit();
    });
    QCoreApplication::exec();
    EXPECT_TRUE(ranAfter);
    EXPECT_EQ(shown, (QStringList{"Error saving attachment.", QString::fromUtf8("Fehler beim Schreiben: ä")}));
}

TEST(MerivoApplication, LocalTextIsConvertedForDisplay) {
    EXPECT_EQ(ExceptionText("Cannot load message from file /post/M\xFCller.kqv"),
              QString::fromUtf8("Cannot load message from file /post/Müller.kqv"));
    EXPECT_EQ(ExceptionText("plain"), "plain");
}

TEST(MerivoApplication, BoxesShowMarkupAsText) {
    const QString name = QStringLiteral("<font size=6 color=red>Rechnung</font>.kqv");
    const auto box = PlainTextMessageBox(QMessageBox::Critical, "Cannot open file \"" + name + "\"", nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), "Cannot open file \"" + name + "\"");
    EXPECT_EQ(box->windowTitle(), "Merivo Emailbetrachter");
}

}  // namespace
