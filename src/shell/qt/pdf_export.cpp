#include "shell/qt/pdf_export.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <cstring>

#include "view/attachments_to_folder.h"
#include "view/qt/german_error_texts.h"
#include "view/qt/mail_document.h"
#include "view/qt/mail_view_form.h"
#include "view/qt/qt_text.h"
#include "view/recording_view.h"

namespace {

constexpr const char* kUsage =
    "Aufruf: merivo-mailviewer --pdf AUSGABE.pdf MAIL.kqv | --pdf-dir ORDNER MAIL.kqv...";

void PrintError(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

// Nothing of a mail reaches the desktop while it is turned into a PDF.
class NoDesktop final : public view::DesktopShell {
public:
    view::ShellOpenResult OpenFile(const std::string&) override { return view::ShellOpenResult::soFailed; }
    void ChooseProgramFor(const std::string&) override {}
    void OpenUrl(const std::string&) override {}
};

}  // namespace

bool WantsPdfExport(int argc, char** argv) {
    return argc > 1 && (std::strcmp(argv[1], "--pdf") == 0 || std::strcmp(argv[1], "--pdf-dir") == 0);
}

std::optional<PdfExportRequest> ParsePdfExport(const QStringList& arguments, QString& error) {
    if (arguments.size() < 2 || (arguments[1] != u"--pdf" && arguments[1] != u"--pdf-dir")) return std::nullopt;
    PdfExportRequest request;
    if (arguments[1] == u"--pdf") {
        if (arguments.size() != 4) {
            error = QString::fromUtf8(kUsage);
            return request;
        }
        request.jobs.append({arguments[3], arguments[2]});
        return request;
    }
    if (arguments.size() < 4) {
        error = QString::fromUtf8(kUsage);
        return request;
    }
    const QDir folder(arguments[2]);
    QSet<QString> taken;
    for (int i = 3; i < arguments.size(); ++i) {
        // Mails of the same name from different folders get " (2)", ...
        const std::string name = (QFileInfo(arguments[i]).completeBaseName() + ".pdf").toStdString();
        QString pdf;
        for (int n = 1; pdf.isEmpty() || taken.contains(pdf); ++n)
            pdf = QString::fromStdString(view::NumberedName(name, n));
        taken.insert(pdf);
        request.jobs.append({arguments[i], folder.filePath(pdf)});
    }
    request.createFolder = folder.path();
    return request;
}

int RunPdfExport(const PdfExportRequest& request) {
    view::RecordingMessageBoxes boxes;
    view::ScriptedSaveDialog noDialog;
    NoDesktop noDesktop;
    view::qt::MailViewServices services;
    services.boxes = &boxes;
    services.saveDialog = &noDialog;
    services.shell = &noDesktop;
    TformMailansehen view(nullptr, services);
    int status = 0;
    if (!request.createFolder.isEmpty() && !QDir().mkpath(request.createFolder)) {
        PrintError(QString::fromUtf8("Der Ordner \"%1\" kann nicht angelegt werden.").arg(request.createFolder));
        return 1;
    }
    for (const auto& [mail, pdfPath] : request.jobs) {
        boxes.boxes.clear();
        view.SetMailFileName(mail);
        QString error;
        try {
            view.ChangeMailAndWait();
        } catch (const std::exception& e) {
            error = view::qt::GermanErrorText(view::qt::LocalToQString(view::qt::ErrorTextToLocal(e.what())));
        }
        for (const auto& box : boxes.boxes)
            if (error.isEmpty() && box.kind == view::MessageBoxKind::mbError) error = view::qt::LocalToQString(box.text);
        QByteArray pdf;
        if (error.isEmpty()) pdf = view.DocumentPdf(error);
        if (error.isEmpty()) view::qt::WriteFileAtomically(pdfPath, pdf, error);
        if (!error.isEmpty()) {
            PrintError(QString::fromUtf8("Fehler bei \"%1\": %2").arg(mail, error));
            status = 1;
        }
    }
    return status;
}
