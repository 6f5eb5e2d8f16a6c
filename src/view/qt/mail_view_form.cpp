#include "view/qt/mail_view_form.h"

#include <QAction>
#include <QMenu>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "platform/codepage.h"
#include "view/qt/charset_menu.h"
#include "view/qt/elided_label.h"
#include "view/qt/german_error_texts.h"
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
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panelOben_);
    layout->addWidget(pcMailAnsicht_, 1);

    // Dialogs go to whichever window hosts the pages at the time.
    if (!services.boxes) ownBoxes_ = std::make_unique<QtMessageBoxes>(pcMailAnsicht_);
    if (!services.saveDialog) ownSaveDialog_ = std::make_unique<QtSaveDialog>(pcMailAnsicht_);
    if (!services.shell) ownShell_ = std::make_unique<XdgDesktopShell>(pcMailAnsicht_);
    boxes_ = services.boxes ? services.boxes : ownBoxes_.get();
    ports_ = std::make_unique<GuiThreadPorts>(*this, *this, *boxes_);
    core_ = std::make_unique<MailViewCore>(MailViewPorts{
        *ports_, *ports_, *ports_, services.saveDialog ? *services.saveDialog : *ownSaveDialog_,
        services.shell ? *services.shell : *ownShell_});
    core_->LoadCheckpoint = [ports = ports_.get()] { ports->Checkpoint(); };
    core_->ShowsTextWhileReading = true;
    page_->SetNavigationHandler(
        [this](const std::string& url, bool& cancel) { core_->WebBrowser1BeforeNavigate2(url, cancel); });
    if (!services.settings) ownSettings_ = OpenViewerSettings();
    settings_ = services.settings ? services.settings : ownSettings_.get();
    BuildCharsetMenu(*settings_);
}

void TformMailansehen::BuildCharsetMenu(QSettings& settings) {
    mnZeichenkodierung_ = new CharsetMenu(this);
    // Only "Automatisch" and the classic view are remembered.
    const auto stored = CharsetChoiceNamed(settings.value(QString::fromLatin1(kCharsetSettingKey)).toString().toStdString());
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

    lbAnlagen_ = new QListWidget;
    lbAnlagen_->setObjectName(QStringLiteral("lbAnlagen"));
    lbAnlagen_->setSelectionMode(QAbstractItemView::SingleSelection);
    lbAnlagen_->setUniformItemSizes(true);
    connect(lbAnlagen_, &QListWidget::itemDoubleClicked, this, &TformMailansehen::lbAnlagenDblClick);

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

    leftLayout->addWidget(lbAnlagen_, 1);
    leftLayout->addWidget(bottom);

    auto* gap = new QFrame;
    gap->setObjectName(QStringLiteral("panelTSAnlagenAbstand"));
    gap->setFixedWidth(kAttachmentGap);

    layout->addWidget(left);
    layout->addWidget(gap);
    layout->addStretch(1);
    return tsAnlagen;
}

QWidget* TformMailansehen::panelOben() const { return panelOben_.data(); }

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
    mnZeichenkodierung_->ShowChoice(core_->Charset());
    Q_EMIT readingChanged(false);
    if (error) std::rethrow_exception(error);
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

void TformMailansehen::btnExterneInhalteLadenClick() {
    if (reading_) return;
    if (panelExterneInhalte_) panelExterneInhalte_->hide();
    core_->AllowExternalContent();
}

void TformMailansehen::ReportUnhandled(const char* what) {
    const QString german = GermanErrorText(LocalToQString(ErrorTextToLocal(what)));
    boxes_->Show(MessageBoxKind::mbError, platform::Utf8ToLocal(german.toStdString()));
}
