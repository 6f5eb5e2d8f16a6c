#include "view/qt/mail_document.h"

#include <QBuffer>
#include <QEventLoop>
#include <QFontDatabase>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QWebEngineScript>
#include <algorithm>

#include "platform/codepage.h"
#include "view/file_name_sanitizer.h"
#include "view/link_policy.h"
#include "view/qt/mail_web_page.h"
#include "view/qt/qt_text.h"

namespace view::qt {
namespace {

// A page that never finishes (a remote resource that hangs) must not hold
// the program.
constexpr int kHtmlTimeoutMs = 60000;
// Printers report up to 1200 dpi; pages of the HTML view are pictures, and
// more than this only costs memory.
constexpr int kMaxRasterDpi = 300;
constexpr qreal kTextPointSize = 9.5;

const char* kHtmlFailedText = "Die HTML-Ansicht der Mail konnte nicht als Dokument aufbereitet werden.";

// Our block above the mail's own page: its own styles, so that the page's
// style sheet changes as little of it as possible.
QString InjectionScript(const QString& headerHtml) {
    const QString html = QString::fromUtf8(QJsonDocument(QJsonArray{headerHtml}).toJson(QJsonDocument::Compact));
    return QStringLiteral(
               "(function(){var d=document.createElement('div');d.innerHTML=%1[0];"
               "var h=d.firstElementChild||d;var b=document.body||document.documentElement;"
               "b.insertBefore(h,b.firstChild);})();")
        .arg(html);
}

// Runs the event loop until done() is true or the time is up.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    timer.start();
    if (!done()) loop.exec();
    return done();
}

QByteArray RenderHtmlPdf(const MailDocument& document, const QPageLayout& layout, QWebEngineProfile* profile,
                         QString& error) {
    MailWebPage page(profile, nullptr);
    // The document shows the mail; it never follows anything elsewhere.
    page.SetNavigationHandler([files = document.htmlSettings.files](const std::string& url, bool& cancel) {
        cancel = DecideNavigation(url, files.get()) != NavigationDecision::ndProceed;
    });
    bool loaded = false;
    bool loadedOk = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, [&](bool ok) {
        loaded = true;
        loadedOk = ok;
    });
    page.ShowUrl(document.htmlPage, document.htmlSettings);
    bool injected = false;
    QByteArray pdf;
    bool printed = false;
    if (WaitFor([&] { return loaded; }, kHtmlTimeoutMs) && loadedOk) {
        page.runJavaScript(InjectionScript(HeaderBlockHtml(document)), QWebEngineScript::ApplicationWorld,
                           [&](const QVariant&) { injected = true; });
        if (WaitFor([&] { return injected; }, kHtmlTimeoutMs)) {
            page.printToPdf(
                [&](const QByteArray& result) {
                    pdf = result;
                    printed = true;
                },
                layout);
            WaitFor([&] { return printed; }, kHtmlTimeoutMs);
        }
    }
    if (pdf.isEmpty()) error = QString::fromUtf8(kHtmlFailedText);
    return pdf;
}

void PaintTextDocument(const MailDocument& document, QPagedPaintDevice& device) {
    QTextDocument text;
    QFont body = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    body.setPointSizeF(kTextPointSize);
    text.setDefaultFont(body);
    text.setHtml(HeaderBlockHtml(document));
    QTextCursor cursor(&text);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat fixed;
    QFont fixedFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixedFont.setPointSizeF(kTextPointSize);
    fixed.setFont(fixedFont);
    cursor.insertBlock(QTextBlockFormat(), fixed);
    cursor.insertText(document.text, fixed);
    text.print(&device);
}

}  // namespace

QString HeaderBlockHtml(const MailDocument& document) {
    QString rows;
    for (const auto& [label, value] : document.header) {
        rows += QStringLiteral("<tr><td style=\"font-weight:bold;padding:0 12px 0 0;vertical-align:top;"
                               "white-space:nowrap\">%1</td><td style=\"padding:0\">%2</td></tr>")
                    .arg(label.toHtmlEscaped(), value.toHtmlEscaped());
    }
    return QStringLiteral(
               "<div style=\"all:initial;display:block;font-family:sans-serif;font-size:10pt;color:#000;"
               "background:#fff;margin:0 0 12px 0;padding:0 0 6px 0;border-bottom:1px solid #000\">"
               "<table style=\"border-collapse:collapse;font:inherit;color:inherit\" cellspacing=\"0\">%1</table>"
               "</div>")
        .arg(rows);
}

QPageLayout DefaultPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

QByteArray RenderPdf(const MailDocument& document, const QPageLayout& layout, QWebEngineProfile* profile,
                     QString& error) {
    if (document.htmlInFront) return RenderHtmlPdf(document, layout, profile, error);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(layout);
        writer.setCreator(QStringLiteral("Merivo Emailbetrachter"));
        PaintTextDocument(document, writer);
    }
    return buffer.data();
}

bool PrintDocument(const MailDocument& document, const QByteArray& htmlPdf, QPrinter& printer, QString& error) {
    if (!document.htmlInFront) {
        PaintTextDocument(document, printer);
        return true;
    }
    QBuffer buffer;
    buffer.setData(htmlPdf);
    buffer.open(QIODevice::ReadOnly);
    QPdfDocument pages;
    pages.load(&buffer);
    if (pages.status() != QPdfDocument::Status::Ready || pages.pageCount() == 0) {
        error = QString::fromUtf8(kHtmlFailedText);
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        error = QString::fromUtf8("Der Drucker kann nicht angesprochen werden.");
        return false;
    }
    // The PDF pages carry their margins: each fills the whole sheet.
    const int resolution = printer.resolution();
    const QRect sheet = printer.pageLayout().fullRectPixels(resolution);
    const QPoint origin = -printer.pageLayout().paintRectPixels(resolution).topLeft();
    const int dpi = std::min(resolution, kMaxRasterDpi);
    for (int i = 0; i < pages.pageCount(); ++i) {
        if (i > 0) printer.newPage();
        const QSizeF points = pages.pagePointSize(i);
        const QImage image = pages.render(i, QSize(qRound(points.width() / 72.0 * dpi), qRound(points.height() / 72.0 * dpi)));
        QRect target(origin, image.size().scaled(sheet.size(), Qt::KeepAspectRatio));
        painter.drawImage(target, image);
    }
    painter.end();
    return true;
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit()) return true;
    error = QString::fromUtf8("Die Datei \"%1\" konnte nicht geschrieben werden: %2").arg(path, file.errorString());
    return false;
}

QString PdfFileNameFor(const QString& subject) {
    const QString trimmed = subject.trimmed();
    if (trimmed.isEmpty()) return QStringLiteral("Mail.pdf");
    // Room for ".pdf" within the file system's limit.
    const std::string safe = SanitizeFileName(platform::Utf8ToLocal(trimmed.toStdString()), 0, 255 - 4);
    return LocalToQString(safe) + QStringLiteral(".pdf");
}

}  // namespace view::qt
