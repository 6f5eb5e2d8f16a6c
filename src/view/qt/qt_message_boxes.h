#pragma once
// The view's modal message boxes as QMessageBox.

#include <QPointer>
#include <QString>
#include <memory>
#include <string>

#include "view/message_boxes.h"

class QMessageBox;
class QWidget;

namespace view::qt {

// Caption of plain message boxes.
inline constexpr const char* kApplicationTitle = "Merivo Emailbetrachter";

// The box for a text (local text; "\r" starts a new line), not yet shown.
// The text is shown as plain text, whatever it looks like.
std::unique_ptr<QMessageBox> BuildMessageBox(MessageBoxKind kind, const std::string& text, QWidget* parent);

class QtMessageBoxes : public MessageBoxes {
public:
    // Boxes belong to the window that hosts anchor at the time.
    explicit QtMessageBoxes(QWidget* anchor = nullptr) : anchor_(anchor) {}
    void Show(MessageBoxKind kind, const std::string& text) override;

private:
    QPointer<QWidget> anchor_;
};

}  // namespace view::qt
