#pragma once
// SIGTERM, SIGINT and SIGHUP end the program through its own cleanup, so
// that the windows are destroyed and the HTML temporary files removed, at
// any moment: also before the main event loop runs and while a modal box
// waits (a start-up box is shown before the main loop exists).

class QCoreApplication;

// Catches the signals from now on; first thing in main.
void CatchTerminationSignals();
// Acts on them once an event loop runs: closes every modal box, also the
// ones opened afterwards, and ends the main event loop.
void QuitOnTerminationSignals(QCoreApplication* app);
bool TerminationRequested();
// The main event loop, unless a signal already asked the program to end.
int ExecUntilTerminated();
