#include "shell/qt/termination_signals.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// A box shown before the main loop exists, as the start-up mail's box is.
// Returns whether the box ended without the fallback answering it.
bool BoxEndsBySignal(int delayMs) {
    QMessageBox box(QMessageBox::Information, "Information", "Die Mail wird nicht korrekt angezeigt!");
    bool fallback = false;
    QTimer::singleShot(delayMs, [] { ::raise(SIGTERM); });
    QTimer::singleShot(20000, &box, [&] {
        fallback = true;
        box.accept();
    });
    box.exec();
    return !fallback;
}

TEST(TerminationSignals, EndBoxesBeforeTheMainLoopAndTheLoopItself) {
    QuitOnTerminationSignals(QCoreApplication::instance());
    EXPECT_TRUE(BoxEndsBySignal(100));
    EXPECT_TRUE(TerminationRequested());
    // Code that goes on after the box and shows another one does not wait.
    EXPECT_TRUE(BoxEndsBySignal(60000));
    EXPECT_EQ(ExecUntilTerminated(), 0);
}

}  // namespace
