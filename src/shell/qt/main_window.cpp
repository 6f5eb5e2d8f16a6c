#include "shell/qt/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <vector>

#include "shell/registration/file_type_registrar.h"
#include "shell/startup/mail_file_choice.h"

namespace {

constexpr const char* kCaption = "Merivo Email Betrachter V1.04";
constexpr const char* kWrongExtension =
    "Mit diesem Betrachter können nur Merivo Emails angezeigt werden (*.kqv)!";

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

TformMailViewer::TformMailViewer(QWidget* header, QTabWidget* pages, QStringList arguments,
                                 MainWindowPorts ports, QWidget* parent)
    : QMainWindow(parent), header_(header), pages_(pages), arguments_(std::move(arguments)),
      ports_(std::move(ports)) {
    setObjectName("formMailViewer");
    setWindowTitle(QString::fromUtf8(kCaption));
    resize(787, 536);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    auto* menu = menuBar();
    menu->setObjectName("MainMenu1");
    QAction* open = menu->addAction(QString::fromUtf8("Datei öffnen"));
    open->setObjectName("Dateiffnen1");
    connect(open, &QAction::triggered, this, &TformMailViewer::Dateiffnen1Click);
    QAction* associate = menu->addAction(QString::fromUtf8(".kqv immer mit Mailviewer öffnen"));
    associate->setObjectName("kqvimmermitMailviewerffnen1");
    connect(associate, &QAction::triggered, this, &TformMailViewer::RegisterFileTypeClick);
    QAction* quit = menu->addAction(QString::fromUtf8("Beenden"));
    quit->setObjectName("Beenden1");
    connect(quit, &QAction::triggered, this, &TformMailViewer::Beenden1Click);

    panelMain_ = new QWidget(this);
    panelMain_->setObjectName("panelMain");
    auto* layout = new QVBoxLayout(panelMain_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    statusBar_ = new QStatusBar(panelMain_);
    statusBar_->setObjectName("StatusBar1");
    statusBar_->setSizeGripEnabled(false);
    readingLabel_ = new QLabel(QString::fromUtf8("Mail wird gelesen …"), statusBar_);
    readingLabel_->setObjectName("lblMailWirdGelesen");
    statusBar_->addPermanentWidget(readingLabel_);
    readingLabel_->hide();
    layout->addStretch();  // replaced by the view's controls in FormShow
    layout->addWidget(statusBar_);
    setCentralWidget(panelMain_);
    panelMain_->hide();

    setAcceptDrops(true);
}

TformMailViewer::~TformMailViewer() = default;

void TformMailViewer::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TformMailViewer::FormShow() {
    auto* layout = static_cast<QVBoxLayout*>(panelMain_->layout());
    delete layout->takeAt(0);  // the placeholder stretch
    header_->setParent(panelMain_);
    pages_->setParent(panelMain_);
    layout->insertWidget(0, header_);
    layout->insertWidget(1, pages_, 1);
    header_->show();
    pages_->show();

    std::vector<std::string> args;
    for (const QString& a : arguments_) args.push_back(Utf8(a));
    if (const auto first = CommandLineMailFile(args)) currentFileName_ = QString::fromStdString(*first);
    if (HasKqvExtension(Utf8(currentFileName_))) ShowMailFile();
}

void TformMailViewer::ShowMailFile() {
    panelMain_->show();
    statusBar_->showMessage(currentFileName_);
    ports_.showMail(currentFileName_);
}

void TformMailViewer::Dateiffnen1Click() {
    const std::optional<QString> chosen = ports_.chooseMailFile(this);
    if (!chosen) return;
    if (!HasKqvExtension(Utf8(*chosen))) {
        ports_.showPlainMessage(this, QString::fromUtf8(kWrongExtension));
        return;
    }
    currentFileName_ = *chosen;
    ShowMailFile();
}

void TformMailViewer::RegisterFileTypeClick() {
    if (!ports_.registrar) return;
    ports_.registrar->RegisterKqv(Utf8(ports_.executablePath), [this](const std::string& text) {
        ports_.showPlainMessage(this, QString::fromStdString(text));
    });
}

void TformMailViewer::Beenden1Click() { close(); }

void TformMailViewer::DropFiles(const QStringList& paths) {
    std::vector<std::string> names;
    for (const QString& p : paths) names.push_back(Utf8(p));
    if (const auto chosen = FirstDroppedMailFile(names)) {
        currentFileName_ = QString::fromStdString(*chosen);
        ShowMailFile();
    }
}

void TformMailViewer::ShowMailBeingRead(bool reading) { readingLabel_->setVisible(reading); }

void TformMailViewer::closeEvent(QCloseEvent* event) {
    setAcceptDrops(false);
    QMainWindow::closeEvent(event);
}

void TformMailViewer::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TformMailViewer::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TformMailViewer::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    event->acceptProposedAction();
    DropFiles(paths);
}

std::optional<QString> ExecuteOpenDialog(QWidget* parent) {
    QFileDialog dialog(parent, QString::fromUtf8("Merivo Email-Datei öffnen"));
    dialog.setObjectName("OpenDialog1");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setNameFilter(QString::fromUtf8("Merivo Email-Dateien (*.kqv)"));
    // Qt's own dialog: resizable, no read-only box, and it never adds the
    // file to the desktop's list of recent documents.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().front();
}
