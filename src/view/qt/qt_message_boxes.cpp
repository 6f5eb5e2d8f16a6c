#include "view/qt/qt_message_boxes.h"

#include <QMessageBox>

#include "view/qt/qt_text.h"

namespace view::qt {

std::unique_ptr<QMessageBox> BuildMessageBox(MessageBoxKind kind, const std::string& text, QWidget* parent) {
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MessageBoxKind::mbError:
        icon = QMessageBox::Critical;
        caption = QStringLiteral("Fehler");
        break;
    case MessageBoxKind::mbInformation:
        icon = QMessageBox::Information;
        caption = QStringLiteral("Information");
        break;
    case MessageBoxKind::mbPlain:
        caption = QString::fromUtf8(kApplicationTitle);
        break;
    }
    QString body = LocalToQString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto box = std::make_unique<QMessageBox>(icon, caption, QString(), QMessageBox::Ok, parent);
    // Texts can come from a mail (reader notices); never let them be markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(body);
    return box;
}

void QtMessageBoxes::Show(MessageBoxKind kind, const std::string& text) {
    BuildMessageBox(kind, text, anchor_ ? anchor_->window() : nullptr)->exec();
}

}  // namespace view::qt
