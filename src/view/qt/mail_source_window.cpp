#include "view/qt/mail_source_window.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QSaveFile>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstring>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/utf8.h"
#include "view/qt/file_dialogs.h"
#include "view/qt/find_bar.h"
#include "view/qt/mail_text_view.h"

namespace view::qt {
namespace {

std::optional<QString> AskSavePath(QWidget* parent, const QString& proposed) {
    const auto dialog = NewFileDialog(parent, QStringLiteral("Quelltext speichern unter"), proposed);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    return ChosenFile(*dialog);
}

QAction* AddCommand(QWidget* owner, QToolBar* bar, const QString& text, const QKeySequence& key) {
    auto* action = new QAction(text, owner);
    action->setShortcut(key);
    action->setToolTip(text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')'));
    bar->addAction(action);
    return action;
}

// Lines end at CR LF, LF or a lone CR; each becomes "\n", and a final break
// adds no line.
void EndLinesWithLf(std::string& utf8) {
    std::size_t out = 0;
    std::size_t in = 0;
    while (in < utf8.size()) {
        const char* cr = static_cast<const char*>(std::memchr(utf8.data() + in, '\r', utf8.size() - in));
        const std::size_t end = cr ? static_cast<std::size_t>(cr - utf8.data()) : utf8.size();
        if (out != in) std::memmove(utf8.data() + out, utf8.data() + in, end - in);
        out += end - in;
        if (!cr) break;
        utf8[out++] = '\n';
        in = end + 1;
        if (in < utf8.size() && utf8[in] == '\n') ++in;
    }
    if (out > 0 && utf8[out - 1] == '\n') --out;
    utf8.resize(out);
}

}  // namespace

MailText SourceText(const QByteArray& bytes) {
    const std::string_view stored(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::string utf8 = platform::IsValidUtf8(stored) ? std::string(stored) : platform::LocalToUtf8(stored);
    EndLinesWithLf(utf8);
    return MailText(std::move(utf8));
}

MailSourceWindow* MailSourceWindow::Open(const QString& mailFile, QWidget* parent, QString& error) {
    QFile file(mailFile);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString::fromUtf8("Die Mail-Datei \"%1\" kann nicht gelesen werden.").arg(mailFile);
        return nullptr;
    }
    return new MailSourceWindow(mailFile, file.readAll(), parent);
}

MailSourceWindow::MailSourceWindow(const QString& mailFile, QByteArray bytes, QWidget* parent)
    : QWidget(parent, Qt::Window), mailFile_(mailFile), bytes_(std::move(bytes)) {
    setObjectName(QStringLiteral("formQuelltext"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Quelltext – ") + QFileInfo(mailFile_).fileName());
    resize(800, 600);
    chooseSavePath = AskSavePath;

    auto* toolBar = new QToolBar;
    QAction* save = AddCommand(this, toolBar, QString::fromUtf8("Speichern…"), QKeySequence::Save);
    save->setObjectName(QStringLiteral("actQuelltextSpeichern"));
    QAction* find = AddCommand(this, toolBar, QString::fromUtf8("Suchen…"), QKeySequence::Find);
    find->setObjectName(QStringLiteral("actQuelltextSuchen"));
    QAction* close = AddCommand(this, toolBar, QString::fromUtf8("Schließen"), QKeySequence(Qt::CTRL | Qt::Key_W));

    // The view of the text pages: its layout stays linear in the text, so
    // no stored mail, however long its lines, holds up the program.
    text_ = new MailTextView;
    text_->setObjectName(QStringLiteral("memoQuelltext"));
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->SetText(SourceText(bytes_));

    findBar_ = new FindBar;
    findTarget_ = std::make_unique<MailTextFindTarget>(text_);
    findBar_->currentTarget = [this]() -> FindTarget* { return findTarget_.get(); };

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar);
    layout->addWidget(findBar_);
    layout->addWidget(text_, 1);

    auto* next = new QAction(this);
    next->setShortcut(QKeySequence(Qt::Key_F3));
    auto* previous = new QAction(this);
    previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    addActions({next, previous});
    connect(save, &QAction::triggered, this, &MailSourceWindow::SaveClick);
    connect(find, &QAction::triggered, findBar_, &FindBar::Open);
    connect(close, &QAction::triggered, this, &QWidget::close);
    connect(next, &QAction::triggered, findBar_, &FindBar::FindNext);
    connect(previous, &QAction::triggered, findBar_, &FindBar::FindPrevious);
}

MailSourceWindow::~MailSourceWindow() = default;

bool MailSourceWindow::SaveTo(const QString& path, QString& error) const {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes_) == bytes_.size() && file.commit()) return true;
    error = QString::fromUtf8("Der Quelltext konnte nicht als \"%1\" gespeichert werden: %2")
                .arg(path, file.errorString());
    return false;
}

void MailSourceWindow::SaveClick() {
    const std::optional<QString> path = chooseSavePath(this, QFileInfo(mailFile_).fileName());
    if (!path) return;
    QString error;
    if (!SaveTo(*path, error)) QMessageBox::critical(this, QStringLiteral("Fehler"), error);
}

}  // namespace view::qt
