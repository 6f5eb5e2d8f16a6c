#pragma once
// A one-line label for text that comes from a mail: however long the text,
// it never widens the window. It is cut with "…" where the label ends, and
// the whole text is its tooltip. text() keeps the whole text.

#include <QLabel>

namespace view::qt {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideRight, QWidget* parent = nullptr);

    // Use this instead of setText.
    void SetFullText(const QString& text);
    // What the label shows at its present width.
    QString ShownText() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::TextElideMode mode_;
};

}  // namespace view::qt
