#include "view/qt/charset_menu.h"

#include <QAction>
#include <QActionGroup>

namespace view::qt {
namespace {

// The choice an item stands for, kept on the action.
CharsetChoice ChoiceOf(const QAction* action) {
    return CharsetChoiceNamed(action->data().toString().toStdString()).value_or(CharsetChoice::Automatic());
}

}  // namespace

CharsetMenu::CharsetMenu(QWidget* parent) : QMenu(QStringLiteral("Zeichenkodierung"), parent) {
    setObjectName(QStringLiteral("Zeichenkodierung1"));
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    const auto add = [&](const QString& text, const QString& objectName, const CharsetChoice& choice) {
        QAction* action = AddItem(text, objectName, choice);
        group->addAction(action);
    };
    add(QString::fromUtf8(kAutomaticCaption), QStringLiteral("Automatisch1"), CharsetChoice::Automatic());
    addSeparator();
    for (const OfferedCharset& offered : OfferedCharsets()) {
        if (const auto choice = CharsetChoiceNamed(offered.label))
            add(QString::fromUtf8(offered.caption), QStringLiteral("Zeichenkodierung_") + QString::fromLatin1(offered.label),
                *choice);
    }
    addSeparator();
    add(QString::fromUtf8(kClassicCaption), QStringLiteral("klassisch1"), CharsetChoice::Classic());
    ShowChoice(CharsetChoice::Automatic());
}

QAction* CharsetMenu::AddItem(const QString& text, const QString& objectName, const CharsetChoice& choice) {
    QAction* action = addAction(text);
    action->setObjectName(objectName);
    action->setCheckable(true);
    action->setData(QString::fromStdString(CharsetChoiceName(choice)));
    connect(action, &QAction::triggered, this, [this, action] {
        if (onChosen) onChosen(ChoiceOf(action));
    });
    return action;
}

void CharsetMenu::ShowChoice(const CharsetChoice& choice) {
    const QList<QAction*> items = actions();
    for (QAction* action : items)
        if (action->isChecked() && !action->isSeparator() && ChoiceOf(action) == choice) return;
    for (QAction* action : items) {
        if (!action->isSeparator() && ChoiceOf(action) == choice) {
            action->setChecked(true);
            return;
        }
    }
}

}  // namespace view::qt
