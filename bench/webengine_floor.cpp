// The floor under the viewer's "HTML painted" time: a window holding nothing
// but a web view that loads one finished HTML page from disk. No mail is
// read, no page written, no other widget built; what remains is the web
// engine's own start. bench/viewer-start.sh runs it beside the viewer.
//   kqv-webengine-floor CAPTION PAGE.HTML

#include <QApplication>
#include <QMainWindow>
#include <QUrl>
#include <QWebEngineView>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: kqv-webengine-floor CAPTION PAGE.HTML\n", stderr);
        return 2;
    }
    // As the viewer starts its web engine.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QString::fromLocal8Bit(argv[1]));
    auto* view = new QWebEngineView(&window);
    window.setCentralWidget(view);
    window.resize(787, 536);
    view->load(QUrl::fromLocalFile(QString::fromLocal8Bit(argv[2])));
    window.show();
    return QApplication::exec();
}
