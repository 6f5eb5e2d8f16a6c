#pragma once
// The mail as a printed document: a header block (Von, An, Cc when there
// are any, Gesendet, Betreff, the attachment names) followed by the page in
// front: the HTML page as rendered when it is in front, otherwise the text
// page in a fixed-width font. Printing and "Als PDF speichern…" both use
// it.

#include <QByteArray>
#include <QList>
#include <QPageLayout>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "view/html_view.h"

class QPrinter;
class QWebEngineProfile;

namespace view::qt {

struct MailDocument {
    // Label and value, in order; a label may repeat on following rows
    // with an empty label ("" continues the row before).
    QList<QPair<QString, QString>> header;
    bool htmlInFront = false;
    // The HTML page with the settings it is shown with (remote content only
    // when allowed for this mail); used when htmlInFront.
    QUrl htmlPage;
    HtmlPageSettings htmlSettings;
    // The text page; used otherwise.
    QString text;
};

// The header block as HTML, every text from the mail escaped.
QString HeaderBlockHtml(const MailDocument& document);

// A4 portrait, 15 mm margins.
QPageLayout DefaultPageLayout();

// Renders the document as PDF with the given layout. The HTML page is
// loaded anew in a hidden page of profile under the same rules as the
// view's; this waits (running the event loop) until it is done. On failure
// the result is empty and error holds a German text.
QByteArray RenderPdf(const MailDocument& document, const QPageLayout& layout, QWebEngineProfile* profile,
                     QString& error);

// Prints the document on printer: the text page directly, the HTML page
// from htmlPdf (RenderPdf of the same document), each page fitted to the
// printer's page. Runs no event loop, so it can serve a print preview.
// False with a German error text on failure.
bool PrintDocument(const MailDocument& document, const QByteArray& htmlPdf, QPrinter& printer, QString& error);

// Writes bytes to path in one step (a failed write leaves the old file).
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// The subject as a file name for the PDF: made safe, ".pdf" appended;
// "Mail.pdf" for an empty subject.
QString PdfFileNameFor(const QString& subject);

}  // namespace view::qt
