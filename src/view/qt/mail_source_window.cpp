#include "view/qt/mail_source_window.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QStringDecoder>
#include <QToolBar>
#include <QVBoxLayout>

#include "platform/codepage.h"
#include "view/qt/file_dialogs.h"
#include "view/qt/find_bar.h"

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

}  // namespace

QString SourceText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) return text;
    return QString::fromStdString(platform::LocalToUtf8(bytes.toStdString()));
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

    text_ = new QPlainTextEdit;
    text_->setObjectName(QStringLiteral("memoQuelltext"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text_->setPlainText(SourceText(bytes_));

    findBar_ = new FindBar;
    findTarget_ = std::make_unique<PlainTextFindTarget>(text_);
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
