#pragma once
// SIGTERM, SIGINT and SIGHUP end the program through the event loop, so that
// the windows are destroyed and the HTML temporary files removed.

class QObject;

void QuitOnTerminationSignals(QObject* parent);
