// A large mail shows the start of its text while the rest is read, and a
// load that fails after that start leaves the header area of the mail before.
#include <gtest/gtest.h>

#include <stdexcept>

#include "reader/message/message.h"
#include "view/text_page.h"
#include "view_test_support.h"

namespace {

using Lines = std::vector<std::string>;

// Every text the text view was given, in order.
class TextRecorder : public viewtest::HookedDisplays {
public:
    std::vector<Lines> texts;
    void ShowMessageText(const view::JoinedText& text) override {
        HookedDisplays::ShowMessageText(text);
        texts.push_back(text.Lines());
    }
};

class EarlyText : public ::testing::Test {
protected:
    EarlyText() {
        view::SetTempDir(scratch / "Temp");
        core = std::make_unique<view::MailViewCore>(view::MailViewPorts{displays, html, boxes, saveDialog, shell});
        core->ShowsTextWhileReading = true;
    }
    // A text mail of about 3 MB whose lines are numbered.
    std::string LargeMail(const std::string& subject) {
        std::string mail = "From: a@example.org\r\nSubject: " + subject + "\r\n\r\n";
        for (int i = 0; mail.size() < 3'000'000; ++i)
            mail += "Zeile " + std::to_string(i) + " " + std::string(60, 'x') + "\r\n";
        return scratch.WriteMail(subject + ".kqv", mail);
    }

    viewtest::ScratchFolder scratch;
    TextRecorder displays;
    view::RecordingHtmlView html;
    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog saveDialog;
    view::RecordingShell shell;
    std::unique_ptr<view::MailViewCore> core;
};

TEST_F(EarlyText, LargeMailShowsItsStartBeforeItsWholeText) {
    core->MailFileName = LargeMail("gross");
    core->ChangeMail();
    ASSERT_EQ(displays.texts.size(), 3u);
    EXPECT_TRUE(displays.texts[0].empty());
    const Lines& start = displays.texts[1];
    const Lines& whole = displays.texts[2];
    ASSERT_GT(start.size(), 100u);
    ASSERT_GT(whole.size(), 10 * start.size());
    // The last line of the start may be cut.
    EXPECT_TRUE(std::equal(start.begin(), start.end() - 1, whole.begin()));
    EXPECT_EQ(displays.messageText, whole);
    EXPECT_EQ(displays.subjectLine, "Betreff: gross");
}

TEST_F(EarlyText, FailureAfterTheStartKeepsTheHeaderAreaOfTheMailBefore) {
    core->MailFileName = LargeMail("vorher");
    core->ChangeMail();
    const Lines labels = displays.headerLabels, values = displays.headerValues;

    // The start is read from its own copy; the load proper fails halfway.
    int reads = 0;
    core->LoadCheckpoint = [&reads] {
        if (++reads == 30) throw std::runtime_error("Lesefehler");
    };
    core->MailFileName = LargeMail("kaputt");
    core->ChangeMail();
    ASSERT_GE(reads, 30);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Fehler beim \xD6" "ffnen der Mail!");
    EXPECT_EQ(displays.subjectLine, "Betreff: vorher");
    EXPECT_EQ(displays.headerLabels, labels);
    EXPECT_EQ(displays.headerValues, values);
    EXPECT_TRUE(displays.messageText.empty());
}

TEST(TextLines, AreTheLinesOfTheJoinedTextCutAgain) {
    const TLineStore bodies[] = {
        {"eins", "", "zwei"},
        {"a\rb", "c\r", "\r\nd", "e\n", ""},
        {"\r", "\n", "\r\n"},
    };
    for (const TLineStore& body : bodies) {
        view::JoinedText text;
        TLineStore taken = body;
        view::AppendBodyText(text, taken, "", {});
        EXPECT_EQ(text.Lines(), SplitTextLines(body.Text())) << body.Text();
    }
}

}  // namespace
