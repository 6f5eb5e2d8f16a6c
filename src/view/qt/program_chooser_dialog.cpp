#include "view/qt/program_chooser_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "view/qt/elided_label.h"
#include "view/qt/file_dialogs.h"
#include "view/qt/xdg_desktop_shell.h"

namespace view::qt {

ProgramChooserDialog::ProgramChooserDialog(const QString& filePath, std::vector<Application> applications,
                                           QWidget* parent)
    : QDialog(parent), filePath_(filePath), applications_(std::move(applications)) {
    setObjectName(QStringLiteral("ProgramChooserDialog"));
    setWindowTitle(QStringLiteral("Öffnen mit"));
    auto* layout = new QVBoxLayout(this);
    // The file name comes from the mail: cut in the middle, never wider
    // than the dialog.
    auto* label = new ElidedLabel(Qt::ElideMiddle);
    label->setObjectName(QStringLiteral("lblProgrammwahl"));
    label->SetFullText(QStringLiteral("Programm zum Öffnen von „%1“ wählen:").arg(QFileInfo(filePath).fileName()));
    layout->addWidget(label);

    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("lbProgramme"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(list_);

    showAll_ = new QCheckBox(QStringLiteral("Alle Programme zeigen"));
    showAll_->setObjectName(QStringLiteral("cbAlleProgramme"));
    const bool anyForType =
        std::any_of(applications_.begin(), applications_.end(), [](const Application& a) { return a.handlesType; });
    showAll_->setChecked(!anyForType);
    layout->addWidget(showAll_);

    auto* buttons = new QDialogButtonBox;
    QPushButton* open = buttons->addButton(QStringLiteral("Öffnen"), QDialogButtonBox::AcceptRole);
    open->setObjectName(QStringLiteral("btnOeffnen"));
    QPushButton* other = buttons->addButton(QStringLiteral("Anderes Programm …"), QDialogButtonBox::ActionRole);
    other->setObjectName(QStringLiteral("btnAnderesProgramm"));
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(showAll_, &QCheckBox::toggled, this, &ProgramChooserDialog::Refill);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (ChooseRow(list_->row(item))) accept();
    });
    connect(open, &QPushButton::clicked, this, [this] {
        if (ChooseRow(list_->currentRow())) accept();
    });
    connect(other, &QPushButton::clicked, this, &ProgramChooserDialog::PickProgramFile);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Refill();
    resize(420, 440);
}

void ProgramChooserDialog::Refill() {
    list_->clear();
    shown_.clear();
    for (int i = 0; i < static_cast<int>(applications_.size()); ++i) {
        const Application& app = applications_[static_cast<std::size_t>(i)];
        if (!app.handlesType && !showAll_->isChecked()) continue;
        list_->addItem(app.entry.name.isEmpty() ? app.entry.id : app.entry.name);
        shown_.push_back(i);
    }
    if (list_->count() > 0) list_->setCurrentRow(0);
}

bool ProgramChooserDialog::ChooseRow(int row) {
    if (row < 0 || row >= static_cast<int>(shown_.size())) return false;
    const Application& app = applications_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])];
    const std::optional<QStringList> command = ExpandExec(app.entry, filePath_);
    if (!command) return false;
    command_ = *command;
    return true;
}

void ProgramChooserDialog::PickProgramFile() {
    const auto dialog = NewFileDialog(this, QStringLiteral("Programm auswählen"), QStringLiteral("/usr/bin"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    const std::optional<QString> chosen = ChosenFile(*dialog);
    if (!chosen) return;
    const QString program = *chosen;
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Fehler"),
                        QStringLiteral("Die gewählte Datei ist kein ausführbares Programm."), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    command_ = {info.absoluteFilePath(), filePath_};
    accept();
}

QStringList ApplicationDirectories() {
    return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

void ChooseAndStartProgram(const QString& filePath, QWidget* parent) {
    ProgramChooserDialog dialog(
        filePath, FindApplications(ApplicationDirectories(), MimeTypesOfFile(filePath), QLocale().name()), parent);
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList command = dialog.Command();
    if (command.isEmpty()) return;
    QProcess::startDetached(command.front(), command.mid(1), QFileInfo(filePath).absolutePath());
}

}  // namespace view::qt
