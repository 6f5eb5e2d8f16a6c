#pragma once
// The menu "Zeichenkodierung": "Automatisch", the explicit charsets and
// "Windows-1252 (klassisch)", one of them checked.

#include <QMenu>
#include <functional>

#include "view/charset_choice.h"

class QAction;

namespace view::qt {

class CharsetMenu final : public QMenu {
public:
    explicit CharsetMenu(QWidget* parent = nullptr);

    // Called when the user picks an item.
    std::function<void(const CharsetChoice&)> onChosen;

    // Checks the item of the choice; of two items with the same charset
    // (ISO-8859-1 reads as Windows-1252) the one the user picked stays.
    void ShowChoice(const CharsetChoice& choice);

private:
    QAction* AddItem(const QString& text, const QString& objectName, const CharsetChoice& choice);
};

}  // namespace view::qt
