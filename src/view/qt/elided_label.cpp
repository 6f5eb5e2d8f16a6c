#include "view/qt/elided_label.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QStyle>

namespace view::qt {
namespace {

// No screen shows more characters in one line; shaping a longer text to
// cut it would only cost time (a subject can be hundreds of kilobytes).
constexpr qsizetype kMaxShownCharacters = 4000;
constexpr qsizetype kMaxTooltipCharacters = 2000;
const QChar kEllipsis(0x2026);

// Line breaks, tabs and other control characters would break the one line.
QString OneLine(QString text) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    return text;
}

QString Cut(const QString& text, qsizetype max) {
    return text.size() <= max ? text : text.left(max) + kEllipsis;
}

}  // namespace

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    // The text is the mail's, never markup.
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // The whole text stays reachable though only part of it is shown.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Kopieren"), this);
    connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(text()); });
    addAction(copy);
}

void ElidedLabel::SetFullText(const QString& text) {
    setText(text);
    // Rich text, escaped, so that a long tooltip wraps instead of running off
    // the screen.
    setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(Cut(text, kMaxTooltipCharacters)));
}

QString ElidedLabel::ShownText() const {
    const QString full = OneLine(text());
    const QString head = full.left(kMaxShownCharacters);
    const int width = contentsRect().width() - 2 * margin();
    QString shown = fontMetrics().elidedText(head, mode_, qMax(width, 0));
    if (head.size() < full.size() && shown == head) shown += kEllipsis;
    return shown;
}

QSize ElidedLabel::minimumSizeHint() const {
    const QMargins m = contentsMargins();
    return QSize(fontMetrics().horizontalAdvance(kEllipsis) + m.left() + m.right() + 2 * margin(),
                 fontMetrics().height() + m.top() + m.bottom() + 2 * margin());
}

QSize ElidedLabel::sizeHint() const { return minimumSizeHint(); }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, area, int(QStyle::visualAlignment(layoutDirection(), alignment())), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

}  // namespace view::qt
