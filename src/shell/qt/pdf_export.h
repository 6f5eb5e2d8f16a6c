#pragma once
// Headless PDF export: the document that "Als PDF speichern…" writes, made
// without a window.
//   merivo-mailviewer --pdf OUT.pdf MAIL.kqv
//   merivo-mailviewer --pdf-dir DIR MAIL.kqv...   (DIR/<mail name>.pdf; a
//   name that two mails share gets " (2)", ... for the later ones)

#include <QStringList>
#include <optional>

struct PdfExportRequest {
    // Pairs of mail file and PDF file, in order.
    QList<QPair<QString, QString>> jobs;
    // --pdf-dir: the folder, made when it is missing.
    QString createFolder;
};

// Whether the arguments (program name first) ask for an export: the
// request, or a German usage error in error. Nothing when they do not.
std::optional<PdfExportRequest> ParsePdfExport(const QStringList& arguments, QString& error);
bool WantsPdfExport(int argc, char** argv);

// Runs the export with a QApplication in place; returns the exit status:
// 0 when every PDF was written, 1 otherwise, one German line per failure on
// stderr.
int RunPdfExport(const PdfExportRequest& request);
