#include "view/qt/mail_view_form.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSettings>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <algorithm>
#include <iterator>

#include "platform/codepage.h"
#include "reader/message/message.h"
#include "view/header_summary.h"
#include "view/qt/attachment_list.h"
#include "view/qt/charset_menu.h"
#include "view/qt/elided_label.h"
#include "view/qt/file_dialogs.h"
#include "view/qt/find_bar.h"
#include "view/qt/german_error_texts.h"
#include "view/qt/mail_document.h"
#include "view/qt/mail_source_window.h"
#include "view/qt/mail_text_view.h"
#include "view/qt/mail_web_page.h"
#include "view/qt/qt_message_boxes.h"
#include "view/qt/qt_save_dialog.h"
#include "view/qt/qt_text.h"
#include "view/qt/viewer_settings.h"
#include "view/qt/xdg_desktop_shell.h"

namespace view::qt {
namespace {

constexpr int kHeaderAreaHeight = 141;
constexpr int kHeaderAreaBorder = 8;
constexpr int kLabelColumnWidth = 81;
constexpr int kValueColumnWidth = 760;
constexpr int kSubjectHeight = 33;
constexpr int kAttachmentColumnWidth = 165;
constexpr int kSaveButtonPanelHeight = 46;
constexpr int kSaveButtonHeight = 25;
constexpr int kSaveButtonLeft = 4;
constexpr int kSaveButtonTop = 8;
constexpr int kAttachmentGap = 9;
constexpr int kSaveAllPanelHeight = 33;

// Tabs that look like a row of buttons.
constexpr const char* kTabButtonStyle =
    "QTabBar::tab { border: 1px solid palette(mid); border-radius: 3px; padding: 3px 10px;"
    " margin: 2px 1px; background: palette(button); }"
    "QTabBar::tab:selected { background: palette(light); border-color: palette(dark); }";

MailTextView* NewTextView(const QString& name) {
    auto* view = new MailTextView;
    view->setObjectName(name);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return view;
}

QPlainTextEdit* NewHeaderMemo(const QString& name) {
    auto* memo = new QPlainTextEdit;
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->document()->setDocumentMargin(0);
    // The classic 8-point face: the header lines have to fit the 141-pixel
    // header area as far as they can.
    QFont font = memo->font();
    font.setBold(true);
    font.setPointSizeF(8);
    memo->setFont(font);
    return memo;
}

// Files dropped on the mail belong to the main window, which opens them;
// the HTML view and the widget it draws into (created with the first page)
// must not take them.
class DropsToTheWindow : public QObject {
public:
    using QObject::QObject;
    static void Install(QWidget* view) {
        view->setAcceptDrops(false);
        view->installEventFilter(new DropsToTheWindow(view));
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) {
            auto* view = static_cast<QWidget*>(watched);
            for (QWidget* child : view->findChildren<QWidget*>()) child->setAcceptDrops(false);
        }
        return false;
    }
};

std::optional<QString> ChooseFolder(QWidget* parent) {
    const auto dialog = NewFileDialog(parent, QString::fromUtf8("Ordner für alle Anlagen wählen"), QDir::homePath());
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return ChosenFile(*dialog);
}

std::optional<QString> ChoosePdfPath(QWidget* parent, const QString& proposed) {
    const auto dialog = NewFileDialog(parent, QStringLiteral("Als PDF speichern"), proposed);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("PDF-Dateien (*.pdf)"));
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    return ChosenFile(*dialog);
}

constexpr int kZoomSteps[] = {50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300};

int ZoomStep(int percent, int step) {
    const int* begin = std::begin(kZoomSteps);
    const int* end = std::end(kZoomSteps);
    if (step > 0) {
        const int* next = std::upper_bound(begin, end, percent);
        return next == end ? end[-1] : *next;
    }
    const int* at = std::lower_bound(begin, end, percent);
    return at == begin ? *begin : at[-1];
}

QStringList Lines(const QPlainTextEdit* edit) {
    return edit ? edit->toPlainText().split(QLatin1Char('\n')) : QStringList();
}

QString SizeText(std::int64_t size) {
    const QLocale german(QLocale::German, QLocale::Germany);
    if (size < 1024) return german.toString(static_cast<qlonglong>(size)) + QStringLiteral(" Bytes");
    return german.formattedDataSize(size, 1, QLocale::DataSizeTraditionalFormat) + QStringLiteral(" (") +
           german.toString(static_cast<qlonglong>(size)) + QStringLiteral(" Bytes)");
}

QWidget* NewPage(const QString& name) {
    auto* page = new QWidget;
    page->setObjectName(name);
    return page;
}

}  // namespace
}  // namespace view::qt

using namespace view;
using namespace view::qt;

TformMailansehen::TformMailansehen(QWidget* parent, MailViewServices services) : QWidget(parent) {
    setObjectName(QStringLiteral("formMailansehen"));
    BuildHeaderArea();
    BuildPages();
    findBar_ = new FindBar;
    findBar_->currentTarget = [this] { return FindTargetInFront(); };
    textFinder_ = std::make_unique<MailTextFindTarget>(reNachricht_);
    headerFinder_ = std::make_unique<MailTextFindTarget>(memoHeader_);
    webFinder_ = std::make_unique<WebFindTarget>(page_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panelOben_);
    layout->addWidget(findBar_);
    layout->addWidget(pcMailAnsicht_, 1);
    BuildCommands();
    if (!services.settings) ownSettings_ = OpenViewerSettings();
    settings_ = services.settings ? services.settings : ownSettings_.get();
    choosePdfPath_ = services.choosePdfPath ? services.choosePdfPath : ChoosePdfPath;
    zoomPercent_ = std::clamp(settings_->value(QString::fromLatin1(kZoomSettingKey), 100).toInt(), kZoomSteps[0],
                              std::end(kZoomSteps)[-1]);
    ApplyZoom();
    // Each page starts at the view's own zoom.
    connect(page_, &QWebEnginePage::loadFinished, this, [this] {
        if (webBrowser1_) webBrowser1_->setZoomFactor(zoomPercent_ / 100.0);
    });

    // Dialogs go to whichever window hosts the pages at the time.
    if (!services.boxes) ownBoxes_ = std::make_unique<QtMessageBoxes>(pcMailAnsicht_);
    if (!services.saveDialog) ownSaveDialog_ = std::make_unique<QtSaveDialog>(pcMailAnsicht_);
    if (!services.shell) ownShell_ = std::make_unique<XdgDesktopShell>(pcMailAnsicht_);
    boxes_ = services.boxes ? services.boxes : ownBoxes_.get();
    chooseFolder_ = services.chooseFolder ? services.chooseFolder : ChooseFolder;
    ports_ = std::make_unique<GuiThreadPorts>(*this, *this, *boxes_);
    core_ = std::make_unique<MailViewCore>(MailViewPorts{
        *ports_, *ports_, *ports_, services.saveDialog ? *services.saveDialog : *ownSaveDialog_,
        services.shell ? *services.shell : *ownShell_});
    core_->LoadCheckpoint = [ports = ports_.get()] { ports->Checkpoint(); };
    core_->ShowsTextWhileReading = true;
    page_->SetNavigationHandler(
        [this](const std::string& url, bool& cancel) { core_->WebBrowser1BeforeNavigate2(url, cancel); });
    BuildCharsetMenu();
}

void TformMailansehen::BuildCharsetMenu() {
    mnZeichenkodierung_ = new CharsetMenu(this);
    // Only "Automatisch" and the classic view are remembered.
    const auto stored = CharsetChoiceNamed(settings_->value(QString::fromLatin1(kCharsetSettingKey)).toString().toStdString());
    if (stored && stored->mode != CharsetMode::cmExplicit) core_->SetDefaultCharset(*stored);
    mnZeichenkodierung_->ShowChoice(core_->DefaultCharset());
    mnZeichenkodierung_->onChosen = [this](const CharsetChoice& choice) { CharsetChosen(choice); };
    reNachricht_->ExtendContextMenu = [this](QMenu& menu) {
        menu.addSeparator();
        menu.addMenu(mnZeichenkodierung_);
    };
}

void TformMailansehen::CharsetChosen(const CharsetChoice& choice) {
    if (choice.mode != CharsetMode::cmExplicit) {
        settings_->setValue(QString::fromLatin1(kCharsetSettingKey), QString::fromStdString(CharsetChoiceName(choice)));
        settings_->sync();
    }
    if (reading_) {
        pendingCharset_ = choice;
        return;
    }
    // A large mail takes a while to show again: the worker does it.
    StartWork([this, choice] { core_->ChooseCharset(choice); });
}

TformMailansehen::~TformMailansehen() {
    ports_->Abandon();
    if (worker_.joinable()) worker_.join();
    if (page_) page_->SetNavigationHandler({});
    core_.reset();
    // The controls are ours even while another window hosts them; the
    // page must go before its profile.
    delete pcMailAnsicht_.data();
    delete panelOben_.data();
    delete findBar_.data();
    delete profile_;
}

void TformMailansehen::BuildHeaderArea() {
    panelOben_ = new QFrame;
    panelOben_->setObjectName(QStringLiteral("panelOben"));
    panelOben_->setFixedHeight(kHeaderAreaHeight);
    auto* layout = new QVBoxLayout(panelOben_);
    layout->setContentsMargins(kHeaderAreaBorder, kHeaderAreaBorder, kHeaderAreaBorder, kHeaderAreaBorder);
    layout->setSpacing(0);

    auto* columns = new QHBoxLayout;
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    memoHeader1_ = NewHeaderMemo(QStringLiteral("memoHeader1"));
    memoHeader1_->setFixedWidth(kLabelColumnWidth);
    memoHeader2_ = NewHeaderMemo(QStringLiteral("memoHeader2"));
    // Its full width where the window has room, less where it has not.
    memoHeader2_->setMinimumWidth(0);
    memoHeader2_->setMaximumWidth(kValueColumnWidth);
    memoHeader2_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    columns->addWidget(memoHeader1_);
    columns->addWidget(memoHeader2_, 1);
    // The columns stay line for line when a long header summary is scrolled;
    // the value column shows a scroll bar when the lines do not fit.
    memoHeader2_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(memoHeader2_->verticalScrollBar(), &QScrollBar::valueChanged, memoHeader1_->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(memoHeader1_->verticalScrollBar(), &QScrollBar::valueChanged, memoHeader2_->verticalScrollBar(),
            &QScrollBar::setValue);
    columns->addStretch(0);
    layout->addLayout(columns, 1);

    panelBetreff_ = new ElidedLabel;
    panelBetreff_->setObjectName(QStringLiteral("panelBetreff"));
    panelBetreff_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panelBetreff_->setFixedHeight(kSubjectHeight);
    layout->addWidget(panelBetreff_);
}

void TformMailansehen::BuildPages() {
    pcMailAnsicht_ = new QTabWidget;
    pcMailAnsicht_->setObjectName(QStringLiteral("pcMailAnsicht"));
    pcMailAnsicht_->setDocumentMode(true);
    pcMailAnsicht_->tabBar()->setStyleSheet(QString::fromUtf8(kTabButtonStyle));

    QWidget* tsText = NewPage(QStringLiteral("tsText"));
    reNachricht_ = NewTextView(QStringLiteral("reNachricht"));
    auto* textLayout = new QVBoxLayout(tsText);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->addWidget(reNachricht_);

    QWidget* tsMailheader = NewPage(QStringLiteral("tsMailheader"));
    memoHeader_ = NewTextView(QStringLiteral("memoHeader"));
    auto* headerLayout = new QVBoxLayout(tsMailheader);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->addWidget(memoHeader_);

    QWidget* pages[] = {tsText, BuildHtmlPage(), BuildAttachmentPage(), tsMailheader};
    for (const Page page : kAllPages)
        pcMailAnsicht_->addTab(pages[static_cast<int>(page)], QString::fromUtf8(PageCaption(page)));
}

QWidget* TformMailansehen::BuildHtmlPage() {
    QWidget* tsHTML = NewPage(QStringLiteral("tsHTML"));
    auto* layout = new QVBoxLayout(tsHTML);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    panelExterneInhalte_ = new QFrame;
    panelExterneInhalte_->setObjectName(QStringLiteral("panelExterneInhalte"));
    panelExterneInhalte_->setFrameShape(QFrame::StyledPanel);
    panelExterneInhalte_->setAutoFillBackground(true);
    panelExterneInhalte_->setBackgroundRole(QPalette::ToolTipBase);
    panelExterneInhalte_->setForegroundRole(QPalette::ToolTipText);
    auto* barLayout = new QHBoxLayout(panelExterneInhalte_);
    barLayout->setContentsMargins(6, 2, 6, 2);
    auto* barText = new QLabel(QStringLiteral("Externe Inhalte wurden blockiert."));
    barText->setObjectName(QStringLiteral("lblExterneInhalte"));
    auto* barButton = new QPushButton(QStringLiteral("Externe Inhalte laden"));
    barButton->setObjectName(QStringLiteral("btnExterneInhalteLaden"));
    barLayout->addWidget(barText);
    barLayout->addStretch(1);
    barLayout->addWidget(barButton);
    panelExterneInhalte_->hide();
    connect(barButton, &QPushButton::clicked, this, &TformMailansehen::btnExterneInhalteLadenClick);

    profile_ = CreateMailWebProfile(nullptr);
    webBrowser1_ = new QWebEngineView;
    webBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
    page_ = new MailWebPage(profile_, webBrowser1_);
    webBrowser1_->setPage(page_);
    // The first navigation gives the HTML view its drawing surface and
    // starts its renderer. Made now, the window that hosts the pages is
    // created for that surface from the start instead of being destroyed and
    // made anew (a new window, a flicker) when the first mail arrives, and
    // the first mail's page does not wait for a renderer.
    page_->load(QUrl(QStringLiteral("about:blank")));
    DropsToTheWindow::Install(webBrowser1_);
    // Copying is all a mail page offers; no "open in new window", no
    // saving, no inspector.
    webBrowser1_->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Kopieren"), webBrowser1_);
    connect(copy, &QAction::triggered, page_, [this] { page_->triggerAction(QWebEnginePage::Copy); });
    auto* selectAll = new QAction(QStringLiteral("Alles markieren"), webBrowser1_);
    connect(selectAll, &QAction::triggered, page_, [this] { page_->triggerAction(QWebEnginePage::SelectAll); });
    webBrowser1_->addAction(copy);
    webBrowser1_->addAction(selectAll);
    connect(page_, &MailWebPage::remoteContentBlocked, this, &TformMailansehen::ShowRemoteContentBar);

    layout->addWidget(panelExterneInhalte_);
    layout->addWidget(webBrowser1_, 1);
    return tsHTML;
}

QWidget* TformMailansehen::BuildAttachmentPage() {
    QWidget* tsAnlagen = NewPage(QStringLiteral("tsAnlagen"));
    auto* layout = new QHBoxLayout(tsAnlagen);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* left = new QFrame;
    left->setObjectName(QStringLiteral("panelTSAnlagenLinks"));
    left->setFixedWidth(kAttachmentColumnWidth);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);

    lbAnlagen_ = new AttachmentList;
    lbAnlagen_->setObjectName(QStringLiteral("lbAnlagen"));
    lbAnlagen_->setSelectionMode(QAbstractItemView::SingleSelection);
    lbAnlagen_->setUniformItemSizes(true);
    connect(lbAnlagen_, &QListWidget::itemDoubleClicked, this, &TformMailansehen::lbAnlagenDblClick);
    connect(lbAnlagen_, &AttachmentList::openRequested, this, &TformMailansehen::lbAnlagenDblClick);
    lbAnlagen_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lbAnlagen_, &QWidget::customContextMenuRequested, this, &TformMailansehen::ShowAttachmentMenu);
    lbAnlagen_->filesForDrag = [this](int row) { return FilesForDrag(row); };

    auto* bottom = new QFrame;
    bottom->setObjectName(QStringLiteral("panelTSAnlagenLinksUnten"));
    bottom->setFixedHeight(kSaveButtonPanelHeight);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(kSaveButtonLeft, kSaveButtonTop, kSaveButtonLeft, 0);
    auto* save = new QPushButton(QStringLiteral("Anlage extern speichern"));
    save->setObjectName(QStringLiteral("btnAnlageSpeichern"));
    save->setFixedHeight(kSaveButtonHeight);
    save->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    bottomLayout->addWidget(save, 0, Qt::AlignTop);
    connect(save, &QPushButton::clicked, this, &TformMailansehen::btnAnlageSpeichernClick);

    auto* saveAllPanel = new QFrame;
    saveAllPanel->setObjectName(QStringLiteral("panelTSAnlagenAlle"));
    saveAllPanel->setFixedHeight(kSaveAllPanelHeight);
    auto* saveAllLayout = new QVBoxLayout(saveAllPanel);
    saveAllLayout->setContentsMargins(kSaveButtonLeft, 0, kSaveButtonLeft, 0);
    auto* saveAll = new QPushButton(QString::fromUtf8("Alle Anlagen speichern…"));
    saveAll->setObjectName(QStringLiteral("btnAlleAnlagenSpeichern"));
    saveAll->setFixedHeight(kSaveButtonHeight);
    saveAll->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    saveAllLayout->addWidget(saveAll, 0, Qt::AlignTop);
    connect(saveAll, &QPushButton::clicked, this, &TformMailansehen::btnAlleAnlagenSpeichernClick);

    leftLayout->addWidget(lbAnlagen_, 1);
    leftLayout->addWidget(bottom);
    leftLayout->addWidget(saveAllPanel);

    auto* gap = new QFrame;
    gap->setObjectName(QStringLiteral("panelTSAnlagenAbstand"));
    gap->setFixedWidth(kAttachmentGap);

    layout->addWidget(left);
    layout->addWidget(gap);
    layout->addStretch(1);
    return tsAnlagen;
}

QWidget* TformMailansehen::panelOben() const { return panelOben_.data(); }

FindBar* TformMailansehen::panelSuchen() const { return findBar_.data(); }

QAction* TformMailansehen::NewCommand(const char* name, const QString& text, const QList<QKeySequence>& keys) {
    auto* action = new QAction(text, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    if (!keys.isEmpty())
        action->setToolTip(text + QStringLiteral(" (") + keys.front().toString(QKeySequence::NativeText) +
                           QLatin1Char(')'));
    // Keys work wherever the pages are hosted, menus or not.
    pcMailAnsicht_->addAction(action);
    return action;
}

void TformMailansehen::BuildCommands() {
    using K = QKeySequence;
    ViewCommands& c = commands_;
    c.print = NewCommand("actDrucken", QString::fromUtf8("Drucken…"), {K::Print});
    c.savePdf = NewCommand("actAlsPdfSpeichern", QString::fromUtf8("Als PDF speichern…"),
                           {K(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    c.showSource = NewCommand("actQuelltext", QStringLiteral("Quelltext anzeigen"), {K(Qt::CTRL | Qt::Key_U)});
    c.saveAllAttachments = NewCommand("actAlleAnlagenSpeichern", QString::fromUtf8("Alle Anlagen speichern…"), {});
    c.find = NewCommand("actSuchen", QString::fromUtf8("Suchen…"), {K::Find});
    c.findNext = NewCommand("actWeitersuchen", QStringLiteral("Weitersuchen"), {K(Qt::Key_F3)});
    c.findPrevious = NewCommand("actRueckwaertsSuchen", QString::fromUtf8("Rückwärts suchen"),
                                {K(Qt::SHIFT | Qt::Key_F3)});
    c.zoomIn = NewCommand("actVergroessern", QString::fromUtf8("Vergrößern"),
                          {K(Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal)});
    c.zoomOut = NewCommand("actVerkleinern", QStringLiteral("Verkleinern"), {K(Qt::CTRL | Qt::Key_Minus)});
    c.zoomReset = NewCommand("actOriginalgroesse", QString::fromUtf8("Originalgröße"), {K(Qt::CTRL | Qt::Key_0)});
    c.nextPage = NewCommand("actNaechsteSeite", QString::fromUtf8("Nächste Seite"), {K(Qt::CTRL | Qt::Key_Tab)});
    c.previousPage = NewCommand("actVorherigeSeite", QStringLiteral("Vorherige Seite"),
                                {K(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)});
    connect(c.print, &QAction::triggered, this, &TformMailansehen::PrintClick);
    connect(c.savePdf, &QAction::triggered, this, &TformMailansehen::SavePdfClick);
    connect(c.showSource, &QAction::triggered, this, &TformMailansehen::ShowSourceClick);
    connect(c.saveAllAttachments, &QAction::triggered, this, &TformMailansehen::btnAlleAnlagenSpeichernClick);
    connect(c.find, &QAction::triggered, findBar_, &FindBar::Open);
    connect(c.findNext, &QAction::triggered, findBar_, &FindBar::FindNext);
    connect(c.findPrevious, &QAction::triggered, findBar_, &FindBar::FindPrevious);
    connect(c.zoomIn, &QAction::triggered, this, [this] { SetZoomPercent(ZoomStep(zoomPercent_, 1)); });
    connect(c.zoomOut, &QAction::triggered, this, [this] { SetZoomPercent(ZoomStep(zoomPercent_, -1)); });
    connect(c.zoomReset, &QAction::triggered, this, [this] { SetZoomPercent(100); });
    connect(c.nextPage, &QAction::triggered, this, [this] { StepPage(1); });
    connect(c.previousPage, &QAction::triggered, this, [this] { StepPage(-1); });
}

FindTarget* TformMailansehen::FindTargetInFront() {
    if (!pcMailAnsicht_) return nullptr;
    switch (static_cast<Page>(pcMailAnsicht_->currentIndex())) {
    case Page::tsText:
        return textFinder_.get();
    case Page::tsHTML:
        return webFinder_.get();
    case Page::tsMailheader:
        return headerFinder_.get();
    case Page::tsAnlagen:
        break;
    }
    return nullptr;
}

void TformMailansehen::StepPage(int step) {
    if (!pcMailAnsicht_) return;
    const int count = pcMailAnsicht_->count();
    for (int i = 1; i < count; ++i) {
        const int index = ((pcMailAnsicht_->currentIndex() + step * i) % count + count) % count;
        if (pcMailAnsicht_->isTabVisible(index)) {
            pcMailAnsicht_->setCurrentIndex(index);
            return;
        }
    }
}

void TformMailansehen::SetZoomPercent(int percent) {
    zoomPercent_ = std::clamp(percent, kZoomSteps[0], std::end(kZoomSteps)[-1]);
    settings_->setValue(QString::fromLatin1(kZoomSettingKey), zoomPercent_);
    ApplyZoom();
}

void TformMailansehen::ApplyZoom() {
    for (MailTextView* view : {reNachricht_.data(), memoHeader_.data()})
        if (view) view->SetPointSize(QWidget::font().pointSizeF() * zoomPercent_ / 100.0);
    if (webBrowser1_) webBrowser1_->setZoomFactor(zoomPercent_ / 100.0);
}

QTabWidget* TformMailansehen::pcMailAnsicht() const { return pcMailAnsicht_.data(); }

MailWebPage* TformMailansehen::WebPage() const { return page_.data(); }

QMenu* TformMailansehen::Zeichenkodierung() const { return mnZeichenkodierung_.data(); }

void TformMailansehen::SetMailFileName(const QString& path) { mailFileName_ = QStringToPath(path); }

void TformMailansehen::SetMailFileName(const std::string& path) { mailFileName_ = path; }

QString TformMailansehen::MailFileName() const { return PathToQString(mailFileName_); }

void TformMailansehen::ChangeMail() {
    if (reading_) {
        // The newest request wins; the one under way ends at its next step.
        readAgain_ = true;
        ports_->Abandon();
        return;
    }
    StartReading();
}

void TformMailansehen::BeginStartUpMail(const QString& path, int waitMs) {
    ports_->HoldBoxes();
    SetMailFileName(path);
    ChangeMail();
    QEventLoop loop;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    connect(this, &TformMailansehen::readingChanged, &loop, &QEventLoop::quit);
    loop.exec();
}

void TformMailansehen::EndStartUp() { ports_->ReleaseBoxes(); }

void TformMailansehen::StartReading() {
    core_->MailFileName = mailFileName_;
    StartWork([this] { core_->ChangeMail(); });
}

void TformMailansehen::StartWork(std::function<void()> job) {
    ports_->Renew();
    reading_ = true;
    Q_EMIT readingChanged(true);
    worker_ = std::thread([this, job = std::move(job)] {
        std::exception_ptr error;
        try {
            job();
        } catch (const LoadAbandoned&) {
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [this, error] { ReadingEnded(error); }, Qt::QueuedConnection);
    });
}

void TformMailansehen::ReadingEnded(std::exception_ptr error) {
    worker_.join();
    if (readAgain_) {
        readAgain_ = false;
        StartReading();
        return;
    }
    if (pendingCharset_ && !error) {
        const CharsetChoice choice = *std::exchange(pendingCharset_, std::nullopt);
        StartWork([this, choice] { core_->ChooseCharset(choice); });
        return;
    }
    pendingCharset_.reset();
    reading_ = false;
    SetAttachmentToolTips();
    mnZeichenkodierung_->ShowChoice(core_->Charset());
    if (error && waiting_) {
        waitError_ = error;
        error = nullptr;
    }
    Q_EMIT readingChanged(false);
    if (error) std::rethrow_exception(error);
}

void TformMailansehen::ChangeMailAndWait() {
    QEventLoop loop;
    connect(this, &TformMailansehen::readingChanged, &loop, [&loop](bool reading) {
        if (!reading) loop.quit();
    });
    waiting_ = true;
    ChangeMail();
    if (reading_) loop.exec();
    waiting_ = false;
    if (waitError_) std::rethrow_exception(std::exchange(waitError_, nullptr));
}

void TformMailansehen::SetHeaderSummary(const QString& labels, const QString& values) {
    for (QPlainTextEdit* memo : {memoHeader1_.data(), memoHeader2_.data()}) {
        if (!memo) continue;
        memo->setPlainText(memo == memoHeader1_ ? labels : values);
        memo->verticalScrollBar()->setValue(0);
    }
}

void TformMailansehen::SetSubjectLine(const QString& text) {
    if (panelBetreff_) panelBetreff_->SetFullText(text);
}

void TformMailansehen::SetMessageText(MailText text) {
    if (!reNachricht_) return;
    // The rest of a mail whose start is on show keeps what the user sees.
    if (reading_ && reNachricht_->Text().Size() > 0)
        reNachricht_->ExtendText(std::move(text));
    else
        reNachricht_->SetText(std::move(text));
}

void TformMailansehen::SetRawHeader(MailText text) {
    if (memoHeader_) memoHeader_->SetText(std::move(text));
}

void TformMailansehen::SetAttachmentList(const QStringList& lines) {
    if (!lbAnlagen_) return;
    lbAnlagen_->clear();
    lbAnlagen_->addItems(lines);
    // The details are the core's, the worker's until the mail is shown.
    if (!reading_) SetAttachmentToolTips();
    lbAnlagen_->setCurrentRow(-1);
    lbAnlagen_->clearSelection();
}

int TformMailansehen::SelectedAttachment() const {
    if (!lbAnlagen_) return -1;
    const QList<QListWidgetItem*> selected = lbAnlagen_->selectedItems();
    return selected.isEmpty() ? -1 : lbAnlagen_->row(selected.front());
}

void TformMailansehen::SetPageVisible(Page page, bool visible) {
    if (pcMailAnsicht_) pcMailAnsicht_->setTabVisible(static_cast<int>(page), visible);
}

void TformMailansehen::BringToFront(Page page) {
    if (pcMailAnsicht_) pcMailAnsicht_->setCurrentIndex(static_cast<int>(page));
}

void TformMailansehen::StopPage() {
    if (page_ && !pageBlank_) page_->triggerAction(QWebEnginePage::Stop);
}

void TformMailansehen::ShowPage(const std::string& target, const HtmlPageSettings& settings) {
    if (!page_) return;
    if (panelExterneInhalte_) panelExterneInhalte_->hide();
    // A blank page stays as it is: loading it again would cost the next
    // mail's page a renderer of its own.
    const bool blank = target == "about:blank";
    if (blank && pageBlank_) return;
    pageBlank_ = blank;
    const QUrl url = target == "about:blank" ? QUrl(QStringLiteral("about:blank"))
                                             : QUrl::fromLocalFile(PathToQString(target));
    page_->ShowUrl(url, settings);
}

void TformMailansehen::ShowRemoteContentBar() {
    if (panelExterneInhalte_ && page_ && page_->RemoteContentBlocked() && !page_->RemoteContentAllowed())
        panelExterneInhalte_->show();
}

void TformMailansehen::btnAnlageSpeichernClick() {
    // The list belongs to the mail being read until it is shown.
    if (reading_) return;
    try {
        core_->btnAnlageSpeichernClick();
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
    }
}

void TformMailansehen::lbAnlagenDblClick() {
    if (reading_) return;
    try {
        core_->lbAnlagenDblClick();
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
    }
}

void TformMailansehen::btnAlleAnlagenSpeichernClick() {
    if (reading_ || !lbAnlagen_ || lbAnlagen_->count() == 0) return;
    const std::optional<QString> folder = chooseFolder_(pcMailAnsicht_ ? pcMailAnsicht_->window() : nullptr);
    if (!folder) return;
    const std::string path = QStringToPath(*folder);
    const FolderSaveResult result = core_->SaveAllAttachments(path);
    boxes_->Show(result.failed.empty() ? MessageBoxKind::mbInformation : MessageBoxKind::mbError,
                 FolderSaveReport(result, path));
}

std::optional<MailDocument> TformMailansehen::CurrentDocument() {
    // The mail being read is the worker's until it is shown.
    TIdMessage* mail = reading_ ? nullptr : core_->Mail();
    if (!mail || !memoHeader1_ || !memoHeader2_ || memoHeader1_->toPlainText().isEmpty()) return std::nullopt;
    MailDocument document;
    const QStringList labels = Lines(memoHeader1_);
    const QStringList values = Lines(memoHeader2_);
    auto add = [&document](const QString& label, const QString& value) {
        document.header.append({label, value});
    };
    for (int i = 0; i < labels.size() && i < values.size(); ++i) {
        const QString label = labels[i].trimmed();
        const QString value = values[i].trimmed();
        if (label == u"Gesendet:") {
            // Cc stands with the recipients, where the window shows none.
            const auto [ccAddresses, ccNames] = core_->CcTexts();
            const QString cc = Utf8ToQString(ccAddresses);
            if (!cc.isEmpty()) add(QStringLiteral("Cc:"), cc);
            if (!ccNames.empty()) add(QString(), Utf8ToQString(ccNames));
        }
        if (!label.isEmpty() || !value.isEmpty()) add(label, value);
    }
    add(QStringLiteral("Betreff:"), ShownSubject());
    for (int i = 0; lbAnlagen_ && i < lbAnlagen_->count(); ++i)
        add(i == 0 ? QStringLiteral("Anlagen:") : QString(), lbAnlagen_->item(i)->text());

    document.htmlInFront = core_->HtmlPublished() && pcMailAnsicht_ &&
                           pcMailAnsicht_->currentIndex() == static_cast<int>(Page::tsHTML);
    document.htmlPage = QUrl::fromLocalFile(PathToQString(core_->HtmlTempFileName()));
    document.htmlSettings = core_->PageSettings();
    if (reNachricht_) document.text = reNachricht_->ToPlainText();
    return document;
}

QByteArray TformMailansehen::DocumentPdf(QString& error) {
    const std::optional<MailDocument> document = CurrentDocument();
    if (!document) {
        error = QString::fromUtf8("Es wird keine Mail angezeigt.");
        return {};
    }
    return RenderPdf(*document, DefaultPageLayout(), profile_, error);
}

void TformMailansehen::PrintClick() {
    const std::optional<MailDocument> document = CurrentDocument();
    if (!document) return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(DefaultPageLayout());
    printer.setDocName(ShownSubject());
    // The HTML page is made into pages once, before the preview asks for
    // them: the preview paints while it shows and must not wait there.
    QString error;
    QByteArray htmlPdf;
    if (document->htmlInFront) {
        htmlPdf = RenderPdf(*document, printer.pageLayout(), profile_, error);
        if (htmlPdf.isEmpty()) return ShowError(error);
    }
    QPrintPreviewDialog preview(&printer, pcMailAnsicht_ ? pcMailAnsicht_->window() : nullptr);
    preview.setObjectName(QStringLiteral("dlgDruckvorschau"));
    preview.setWindowTitle(QStringLiteral("Druckvorschau"));
    bool failed = false;
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
        if (!PrintDocument(*document, htmlPdf, *target, error)) failed = true;
    });
    preview.exec();
    if (failed) ShowError(error);
}

void TformMailansehen::SavePdfClick() {
    if (!CurrentDocument()) return;
    const std::optional<QString> path =
        choosePdfPath_(pcMailAnsicht_ ? pcMailAnsicht_->window() : nullptr, PdfFileNameFor(ShownSubject()));
    if (!path) return;
    QString error;
    const QByteArray pdf = DocumentPdf(error);
    if (pdf.isEmpty() || !WriteFileAtomically(*path, pdf, error)) ShowError(error);
}

void TformMailansehen::ShowSourceClick() {
    if (core_->MailFileName.empty()) return;
    QString error;
    MailSourceWindow* window =
        MailSourceWindow::Open(MailFileName(), pcMailAnsicht_ ? pcMailAnsicht_->window() : this, error);
    if (!window) return ShowError(error);
    window->show();
}

QString TformMailansehen::ShownSubject() const {
    QString subject = panelBetreff_ ? panelBetreff_->text() : QString();
    if (subject.startsWith(u"Betreff: ")) subject.remove(0, 9);
    return subject;
}

void TformMailansehen::ShowError(const QString& text) {
    boxes_->Show(MessageBoxKind::mbError, platform::Utf8ToLocal(text.toStdString()));
}

void TformMailansehen::ShowAttachmentMenu(const QPoint& position) {
    QListWidgetItem* item = lbAnlagen_->itemAt(position);
    if (item) lbAnlagen_->setCurrentItem(item);
    const std::unique_ptr<QMenu> menu = AttachmentMenu(item != nullptr);
    menu->exec(lbAnlagen_->viewport()->mapToGlobal(position));
}

std::unique_ptr<QMenu> TformMailansehen::AttachmentMenu(bool onALine) {
    auto menu = std::make_unique<QMenu>(lbAnlagen_);
    menu->setObjectName(QStringLiteral("mnAnlagen"));
    QAction* save = menu->addAction(QString::fromUtf8("Speichern…"), this, &TformMailansehen::btnAnlageSpeichernClick);
    QAction* open = menu->addAction(QString::fromUtf8("Öffnen"), this, &TformMailansehen::lbAnlagenDblClick);
    save->setEnabled(onALine);
    open->setEnabled(onALine);
    menu->addSeparator();
    menu->addAction(commands_.saveAllAttachments);
    return menu;
}

QStringList TformMailansehen::FilesForDrag(int row) {
    if (reading_) return {};
    QStringList files;
    try {
        for (const std::string& path : core_->HandOverCopies(row)) files << PathToQString(path);
    } catch (const std::exception& e) {
        ReportUnhandled(e.what());
        return {};
    }
    return files;
}

void TformMailansehen::SetAttachmentToolTips() {
    for (int i = 0; lbAnlagen_ && i < lbAnlagen_->count(); ++i) lbAnlagen_->item(i)->setToolTip(AttachmentToolTip(i));
}

QString TformMailansehen::AttachmentToolTip(int line) {
    const auto details = core_ ? core_->LineDetails(line) : std::nullopt;
    if (!details) return {};
    QString tip;
    if (details->size >= 0) tip = QString::fromUtf8("Größe: ") + SizeText(details->size) + QLatin1Char('\n');
    const QString type = LocalToQString(details->contentType);
    return tip + QStringLiteral("Typ: ") + (type.isEmpty() ? QStringLiteral("unbekannt") : type);
}

void TformMailansehen::btnExterneInhalteLadenClick() {
    if (reading_) return;
    if (panelExterneInhalte_) panelExterneInhalte_->hide();
    core_->AllowExternalContent();
}

void TformMailansehen::ReportUnhandled(const char* what) {
    const QString german = GermanErrorText(LocalToQString(ErrorTextToLocal(what)));
    boxes_->Show(MessageBoxKind::mbError, platform::Utf8ToLocal(german.toStdString()));
}
