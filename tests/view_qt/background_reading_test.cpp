// ChangeMail reads in the background: it returns at once, a newer mail or
// the view going away ends the reading early, a start-up mail's boxes wait
// for the window, and a box the reading waits for is given up when the
// reading is abandoned.
#include <QSignalSpy>
#include <atomic>
#include <chrono>
#include <thread>

#include "view/qt/gui_thread_ports.h"
#include "view_qt_test_support.h"

namespace {

using namespace std::chrono_literals;
using viewqt::FormFixture;

class BackgroundReading : public FormFixture {
protected:
    // A text mail of about 3 MB, about 90 reads of the file.
    QString LargeMail() {
        QByteArray mail = "From: a@example.org\r\nSubject: gross\r\n\r\n";
        for (int i = 0; mail.size() < 3'000'000; ++i)
            mail += "Zeile " + QByteArray::number(i) + " " + QByteArray(60, 'x') + "\r\n";
        return WriteMail(QStringLiteral("gross.kqv"), mail);
    }
    // Every read of a mail file waits a little, so that the test can act
    // while a mail is read.
    void SlowReads() {
        form->Core().LoadCheckpoint = [this, inner = form->Core().LoadCheckpoint] {
            ++reads;
            std::this_thread::sleep_for(2ms);
            inner();
        };
    }
    void StartLarge() {
        SlowReads();
        form->SetMailFileName(LargeMail());
        form->ChangeMail();
        ASSERT_TRUE(form->Reading());
        ASSERT_TRUE(QTest::qWaitFor([&] { return reads > 5; }, viewqt::kWebTimeoutMs));
    }
    QString Text() { return Child<view::qt::MailTextView>("reNachricht")->ToPlainText(); }

    std::atomic<int> reads{0};
};

TEST_F(BackgroundReading, ChangeMailReturnsAtOnceAndSaysWhenTheMailIsShown) {
    QSignalSpy reading(form.get(), &TformMailansehen::readingChanged);
    StartLarge();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }, viewqt::kWebTimeoutMs));
    ASSERT_EQ(reading.size(), 2);
    EXPECT_TRUE(reading[0][0].toBool());
    EXPECT_FALSE(reading[1][0].toBool());
    EXPECT_TRUE(Text().startsWith("Zeile 0 x"));
    EXPECT_TRUE(Text().endsWith("x"));
}

TEST_F(BackgroundReading, ANewerMailEndsTheOneBeingRead) {
    StartLarge();
    form->SetMailFileName(CopyMail(QStringLiteral("plain_latin1.kqv")));
    form->ChangeMail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }, viewqt::kWebTimeoutMs));
    EXPECT_EQ(Text(), QString::fromUtf8("Grüße aus Köln\nZweite Zeile"));
    EXPECT_LT(reads, 50);
}

TEST_F(BackgroundReading, TheViewGoingAwayEndsTheReading) {
    StartLarge();
    form.reset();
    EXPECT_LT(reads, 50);
}

TEST_F(BackgroundReading, AStartUpMailsBoxWaitsForTheWindow) {
    const QString path = WriteMail(QStringLiteral("ohne_boundary.kqv"),
                                   "From: a@example.org\r\nContent-Type: multipart/mixed\r\n\r\nText\r\n");
    form->BeginStartUpMail(path, 300);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(form->Reading());
    EXPECT_EQ(Text(), "Text");
    form->EndStartUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Reading(); }, viewqt::kWebTimeoutMs));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, view::MessageBoxKind::mbInformation);
}

TEST(GuiThreadPorts, ABoxTheWorkerWaitsForIsGivenUpWhenAbandoned) {
    QObject context;
    struct NoWidgets : view::qt::MailViewWidgets {
        void SetHeaderSummary(const QString&, const QString&) override {}
        void SetSubjectLine(const QString&) override {}
        void SetMessageText(view::qt::MailText) override {}
        void SetRawHeader(view::qt::MailText) override {}
        void SetAttachmentList(const QStringList&) override {}
        int SelectedAttachment() const override { return -1; }
        void SetPageVisible(view::Page, bool) override {}
        void BringToFront(view::Page) override {}
        void StopPage() override {}
        void ShowPage(const std::string&, const view::HtmlPageSettings&) override {}
    } widgets;
    view::RecordingMessageBoxes boxes;
    view::qt::GuiThreadPorts ports(context, widgets, boxes);
    std::atomic<bool> gaveUp = false;
    // The GUI thread never gets to the box: it is busy ending the program.
    std::thread worker([&] {
        try {
            ports.Show(view::MessageBoxKind::mbPlain, "Fehler bei IOHandler.ReadLnRFC");
        } catch (const view::qt::LoadAbandoned&) {
            gaveUp = true;
        }
    });
    std::this_thread::sleep_for(20ms);
    ports.Abandon();
    worker.join();
    EXPECT_TRUE(gaveUp);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
