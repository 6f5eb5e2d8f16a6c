#pragma once
// A read-only text view whose cost does not grow with the text: it keeps
// the text as one UTF-8 buffer (MailText) and lays out only the pieces on
// screen, wrapped at the view's width. Scrolling goes by pieces and the
// rows within them, so a resize never moves the first line shown.
//
// Offsets are byte offsets into Text().Utf8(), always at character
// boundaries. The user can select with the mouse, select all and copy
// (keys and the context menu "Kopieren", "Alles markieren"); Home/End and
// Ctrl+Home/Ctrl+End go to the start and the end.

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "view/qt/mail_text.h"

class QMenu;
class QTextLayout;

namespace view::qt {

class MailTextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit MailTextView(QWidget* parent = nullptr);
    ~MailTextView() override;

    // Replaces the text, clears the selection and shows the first line.
    void SetText(MailText text);
    // Replaces the text by a longer version of itself (the rest of a mail
    // that arrived): what is on screen and the selection stay where they are.
    void ExtendText(MailText text);
    const MailText& Text() const { return text_; }
    QString ToPlainText() const;

    // Selection [start, end); start == end: none.
    void Select(std::size_t start, std::size_t end);
    void SelectAll();
    std::pair<std::size_t, std::size_t> Selection() const;
    QString SelectedText() const;
    // To the clipboard; nothing without a selection.
    void Copy() const;

    void ScrollToStart();
    void ScrollToEnd();
    // Shows the row that holds offset, scrolling as little as needed.
    void EnsureVisible(std::size_t offset);
    // Offset of the first character on screen.
    std::size_t TopOffset() const;
    // Whether the last row of the text is on screen.
    bool ShowsEnd() const;

    // The text's size in points (zoom); the view's font otherwise.
    void SetPointSize(qreal points);

    // The context menu, built anew for each request (tests show it).
    QMenu* CreateContextMenu();
    // Adds the host's entries to each context menu.
    std::function<void(QMenu&)> ExtendContextMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // A place on screen: a piece and a row of its layout.
    struct RowPosition {
        std::size_t piece = 0;
        int row = 0;
        bool operator<(const RowPosition& o) const { return piece != o.piece ? piece < o.piece : row < o.row; }
        bool operator==(const RowPosition& o) const = default;
    };

    QTextLayout& LayoutOf(std::size_t piece) const;
    // The row that holds offset.
    RowPosition RowOf(std::size_t offset) const;
    int RowCount(std::size_t piece) const;
    void ForgetLayouts();
    qreal LayoutWidth() const;
    // The top position that shows the last row at the bottom.
    RowPosition EndPosition() const;
    void SetTop(RowPosition top);
    void ScrollRows(int rows);
    int RowsPerPage() const;
    void UpdateScrollBar();
    std::size_t OffsetAt(QPoint point) const;
    void ExtendSelectionTo(QPoint point);
    void SelectWordAt(QPoint point);

    MailText text_;
    RowPosition top_;
    mutable std::unordered_map<std::size_t, std::unique_ptr<QTextLayout>> layouts_;
    mutable bool endKnown_ = false;
    mutable RowPosition end_;
    std::size_t anchor_ = 0;
    std::size_t cursor_ = 0;
    bool selecting_ = false;
    QPoint lastMouse_;
    QBasicTimer autoScroll_;
    bool updatingScrollBar_ = false;
};

}  // namespace view::qt
