// A mail page reaches only its own files, and the user's permission for
// remote content stays with the page it was given for. Hostile mails try
// to read what an earlier mail left in TempDir and send it to a local
// "remote" server once remote content is allowed.
#include <QListWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEngineHistory>

#include "view_qt_test_support.h"

namespace {

using viewqt::FormFixture;
using viewqt::kWebTimeoutMs;

// Answers every request with 404 and keeps the requested paths.
class RequestLog {
public:
    RequestLog() {
        EXPECT_TRUE(server_.listen(QHostAddress::LocalHost));
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Read(*socket); });
        });
    }
    QByteArray Port() const { return QByteArray::number(server_.serverPort()); }
    bool WaitFor(const QString& path) {
        return QTest::qWaitFor([&] { return paths.contains(path); }, kWebTimeoutMs);
    }
    bool AnyContains(const QString& text) const {
        for (const QString& path : paths)
            if (path.contains(text)) return true;
        return false;
    }

    QStringList paths;

private:
    void Read(QTcpSocket& socket) {
        if (!socket.canReadLine()) return;
        const QList<QByteArray> request = socket.readLine().split(' ');
        if (request.size() >= 2) paths << QString::fromLatin1(request[1]);
        socket.write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket.disconnectFromHost();
    }

    QTcpServer server_;
};

class PageIsolation : public FormFixture {
protected:
    QString OpenedCopy(int line) {
        shell.calls.clear();
        Child<QListWidget>("lbAnlagen")->setCurrentRow(line);
        form->Core().lbAnlagenDblClick();
        EXPECT_EQ(shell.calls.size(), 1u);
        if (shell.calls.empty()) return {};
        return view::qt::PathToQString(shell.calls[0].substr(std::string("open ").size()));
    }
    // Allows remote content for the mail on show and waits for its own
    // remote image, proof that the permission works; a leak would come
    // with it.
    void AllowRemoteAndSettle() {
        form->btnExterneInhalteLadenClick();
        ASSERT_TRUE(log.WaitFor("/own.png"));
        QTest::qWait(1500);
    }

    RequestLog log;
};

TEST_F(PageIsolation, XsltCannotReadAnotherFileInTempDir) {
    Show("earlier_mail.kqv", {{"@PORT@", log.Port()}});
    const QString invoice = OpenedCopy(0);
    ASSERT_TRUE(invoice.endsWith("rechnung.xml"));

    Show("xslt_reader.kqv",
         {{"@PORT@", log.Port()}, {"@SECRET@", QUrl::fromLocalFile(invoice).toEncoded()}});
    ASSERT_TRUE(WaitForMailPage());
    AllowRemoteAndSettle();

    EXPECT_FALSE(log.AnyContains("GEHEIM")) << log.paths.join(' ').toStdString();
}

TEST_F(PageIsolation, IframeCannotShowAnotherFileInTempDir) {
    Show("earlier_mail.kqv", {{"@PORT@", log.Port()}});
    const QString page = OpenedCopy(1);
    ASSERT_TRUE(page.endsWith("seite.html"));

    Show("iframe_reader.kqv", {{"@PORT@", log.Port()}, {"@OTHER@", QUrl::fromLocalFile(page).toEncoded()}});
    ASSERT_TRUE(WaitForMailPage());
    AllowRemoteAndSettle();

    EXPECT_FALSE(log.AnyContains("GEHEIM")) << log.paths.join(' ').toStdString();
}

TEST_F(PageIsolation, HistoryNavigationAfterRemoteContentWasAllowedStaysOnTheMail) {
    Show("remote_a.kqv", {{"@PORT@", log.Port()}});
    ASSERT_TRUE(WaitForMailPage());
    Show("remote_b.kqv", {{"@PORT@", log.Port()}});
    ASSERT_TRUE(WaitForMailPage());
    form->btnExterneInhalteLadenClick();
    ASSERT_TRUE(log.WaitFor("/b.png"));
    const QUrl mailB = HtmlTempUrl();

    QWidget* view = Child<QWidget>("WebBrowser1");
    QWidget* input = view->focusProxy() ? view->focusProxy() : view;
    QTest::mouseClick(input, Qt::BackButton, {}, QPoint(20, 20));
    Page().triggerAction(QWebEnginePage::Back);
    QTest::keyClick(input, Qt::Key_Left, Qt::AltModifier);
    QTest::qWait(1500);

    EXPECT_FALSE(log.paths.contains("/a.png")) << log.paths.join(' ').toStdString();
    EXPECT_EQ(Page().url(), mailB);
    EXPECT_FALSE(Page().history()->canGoBack());
    EXPECT_EQ(PageText(), "Mail B");
}

}  // namespace
