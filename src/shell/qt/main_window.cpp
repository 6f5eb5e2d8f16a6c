#include "shell/qt/main_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <vector>

#include "shell/qt/mail_folder_walk.h"
#include "shell/registration/file_type_registrar.h"
#include "shell/startup/mail_file_choice.h"
#include "view/qt/file_dialogs.h"
#include "view/qt/view_commands.h"

namespace {

constexpr const char* kCaption = "Merivo Email Betrachter V1.04";
constexpr const char* kWrongExtension =
    "Mit diesem Betrachter können nur Merivo Emails angezeigt werden (*.kqv)!";

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// A command on the bar shows no key; its tooltip does.
void ShowKeyInToolTip(QAction* action) {
    action->setToolTip(action->text() + QStringLiteral(" (") +
                       action->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
}

// The dropped file that would be shown.
std::optional<QString> FirstMailOf(const QStringList& paths) {
    std::vector<std::string> names;
    for (const QString& p : paths) names.push_back(Utf8(p));
    if (const auto chosen = FirstDroppedMailFile(names)) return QString::fromStdString(*chosen);
    return std::nullopt;
}

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

    BuildMenuBar();

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
    // The view's controls move in now, before the native window exists: the
    // HTML view decides what kind of surface the window needs, and a window
    // made before it would be made anew when the first mail arrives.
    header_->setParent(panelMain_);
    pages_->setParent(panelMain_);
    layout->addWidget(header_);
    if (ports_.findBar) {
        ports_.findBar->setParent(panelMain_);
        layout->addWidget(ports_.findBar);
    }
    layout->addWidget(pages_, 1);
    layout->addWidget(statusBar_);
    position_ = new QLabel(statusBar_);
    position_->setObjectName("lblMailPosition");
    statusBar_->addPermanentWidget(position_);
    setCentralWidget(panelMain_);
    panelMain_->hide();

    setAcceptDrops(true);
}

TformMailViewer::~TformMailViewer() = default;

void TformMailViewer::BuildMenuBar() {
    // The three commands stand first on the bar, as they always did; the
    // drop-down menus follow them.
    auto* bar = menuBar();
    bar->setObjectName("MainMenu1");
    QAction* open = bar->addAction(QString::fromUtf8("Datei öffnen"));
    open->setObjectName("Dateiffnen1");
    open->setShortcut(QKeySequence::Open);
    ShowKeyInToolTip(open);
    connect(open, &QAction::triggered, this, &TformMailViewer::Dateiffnen1Click);
    QAction* associate = bar->addAction(QString::fromUtf8(".kqv immer mit Mailviewer öffnen"));
    associate->setObjectName("kqvimmermitMailviewerffnen1");
    connect(associate, &QAction::triggered, this, &TformMailViewer::RegisterFileTypeClick);
    QAction* quit = bar->addAction(QString::fromUtf8("Beenden"));
    quit->setObjectName("Beenden1");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    ShowKeyInToolTip(quit);
    connect(quit, &QAction::triggered, this, &TformMailViewer::Beenden1Click);
    if (ports_.charsetMenu) bar->addMenu(ports_.charsetMenu);

    QMenu* mail = bar->addMenu(QStringLiteral("Mail"));
    mail->setObjectName("mnMail");
    mail->setToolTipsVisible(true);
    const view::qt::ViewCommands* c = ports_.viewCommands;
    if (c) {
        mail->addActions({c->print, c->savePdf});
        mail->addSeparator();
        mail->addActions({c->showSource, c->saveAllAttachments});
        mail->addSeparator();
    }
    QAction* next = mail->addAction(QStringLiteral("Nächste Mail im Ordner"), this, [this] { StepMail(1); });
    next->setObjectName("actNaechsteMail");
    next->setShortcut(QKeySequence(Qt::ALT | Qt::Key_PageDown));
    QAction* previous = mail->addAction(QStringLiteral("Vorherige Mail im Ordner"), this, [this] { StepMail(-1); });
    previous->setObjectName("actVorherigeMail");
    previous->setShortcut(QKeySequence(Qt::ALT | Qt::Key_PageUp));
    mail->addSeparator();
    mail->addActions({open, quit});

    if (!c) return;
    QMenu* view = bar->addMenu(QStringLiteral("Ansicht"));
    view->setObjectName("mnAnsicht");
    view->addActions({c->find, c->findNext, c->findPrevious});
    view->addSeparator();
    view->addActions({c->zoomIn, c->zoomOut, c->zoomReset});
    view->addSeparator();
    view->addActions({c->nextPage, c->previousPage});
}

void TformMailViewer::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TformMailViewer::FormShow() {
    std::vector<std::string> args;
    for (const QString& a : arguments_) args.push_back(Utf8(a));
    if (const auto first = CommandLineMailFile(args)) currentFileName_ = QString::fromStdString(*first);
    if (HasKqvExtension(Utf8(currentFileName_))) ShowMailFile();
}

void TformMailViewer::ShowMailFile() {
    shownFileName_ = currentFileName_;
    panelMain_->show();
    statusBar_->showMessage(currentFileName_);
    const auto position = PositionOf(currentFileName_);
    position_->setText(position ? PositionText(*position) : QString());
    ports_.showMail(currentFileName_);
}

void TformMailViewer::Dateiffnen1Click() {
    const std::optional<QString> chosen = ports_.chooseMailFile(this, OpenDialogFolder());
    if (!chosen) return;
    if (!HasKqvExtension(Utf8(*chosen))) {
        ports_.showPlainMessage(this, QString::fromUtf8(kWrongExtension));
        return;
    }
    currentFileName_ = *chosen;
    ShowMailFile();
}

QString TformMailViewer::OpenDialogFolder() const {
    if (!shownFileName_.isEmpty()) {
        const QDir folder = QFileInfo(shownFileName_).absoluteDir();
        if (folder.exists()) return folder.absolutePath();
    }
    return QDir::homePath();
}

void TformMailViewer::RegisterFileTypeClick() {
    if (!ports_.registrar) return;
    ports_.registrar->RegisterKqv(Utf8(ports_.executablePath), [this](const std::string& text) {
        ports_.showPlainMessage(this, QString::fromStdString(text));
    });
}

void TformMailViewer::Beenden1Click() { close(); }

void TformMailViewer::StepMail(int step) {
    if (shownFileName_.isEmpty()) return;
    const auto neighbour = NeighbourMail(shownFileName_, step);
    if (!neighbour) return;
    currentFileName_ = neighbour->path;
    ShowMailFile();
}

void TformMailViewer::DropFiles(const QStringList& paths) {
    if (const auto chosen = FirstMailOf(paths)) {
        currentFileName_ = *chosen;
        ShowMailFile();
    }
}

void TformMailViewer::ShowMailBeingRead(bool reading) { readingLabel_->setVisible(reading); }

void TformMailViewer::closeEvent(QCloseEvent* event) {
    setAcceptDrops(false);
    QMainWindow::closeEvent(event);
}

namespace {

QStringList DroppedPaths(const QMimeData& data) {
    QStringList paths;
    for (const QUrl& url : data.urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

// The cursor says beforehand whether the drop would show a mail.
void AcceptIfAMailWouldBeShown(QDropEvent* event) {
    if (FirstMailOf(DroppedPaths(*event->mimeData())))
        event->acceptProposedAction();
    else
        event->ignore();
}

}  // namespace

void TformMailViewer::dragEnterEvent(QDragEnterEvent* event) { AcceptIfAMailWouldBeShown(event); }

void TformMailViewer::dragMoveEvent(QDragMoveEvent* event) { AcceptIfAMailWouldBeShown(event); }

void TformMailViewer::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    DropFiles(DroppedPaths(*event->mimeData()));
}

std::optional<QString> ExecuteOpenDialog(QWidget* parent, const QString& startFolder) {
    // Resizable, no read-only box, and never added to the desktop's list of
    // recent documents.
    const auto dialog = view::qt::NewFileDialog(parent, QString::fromUtf8("Merivo Email-Datei öffnen"), startFolder);
    dialog->setObjectName("OpenDialog1");
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(QString::fromUtf8("Merivo Email-Dateien (*.kqv)"));
    dialog->setSizeGripEnabled(true);
    return view::qt::ChosenFile(*dialog);
}
