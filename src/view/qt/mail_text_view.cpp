#include "view/qt/mail_text_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <algorithm>
#include <climits>

namespace view::qt {
namespace {

constexpr int kMargin = 4;
constexpr qreal kTabStop = 80;
constexpr int kAutoScrollMs = 50;
// Layouts kept for pieces recently on screen; more are made again.
constexpr std::size_t kMaxCachedLayouts = 2000;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// UTF-16 units of valid UTF-8 bytes.
int Utf16Length(std::string_view bytes) {
    int units = 0;
    for (const char c : bytes) {
        if (IsContinuationByte(c)) continue;
        units += static_cast<unsigned char>(c) >= 0xF0 ? 2 : 1;
    }
    return units;
}

// The byte offset in bytes where the UTF-16 position units begins.
std::size_t ByteOffsetOf(std::string_view bytes, int units) {
    std::size_t i = 0;
    while (i < bytes.size() && units > 0) {
        units -= static_cast<unsigned char>(bytes[i]) >= 0xF0 ? 2 : 1;
        ++i;
        while (i < bytes.size() && IsContinuationByte(bytes[i])) ++i;
    }
    return i;
}

qreal LayoutHeight(const QTextLayout& layout) {
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    return last.y() + last.height();
}

}  // namespace

MailTextView::MailTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    horizontalScrollBar()->setRange(0, 0);
    UpdateScrollBar();
}

MailTextView::~MailTextView() = default;

void MailTextView::SetText(MailText text) {
    text_ = std::move(text);
    top_ = {};
    anchor_ = cursor_ = 0;
    selecting_ = false;
    ForgetLayouts();
    UpdateScrollBar();
    viewport()->update();
}

void MailTextView::ExtendText(MailText text) {
    const std::size_t topOffset = TopOffset();
    text_ = std::move(text);
    anchor_ = std::min(anchor_, text_.Size());
    cursor_ = std::min(cursor_, text_.Size());
    ForgetLayouts();
    SetTop(RowOf(topOffset));
}

QString MailTextView::ToPlainText() const {
    return QString::fromUtf8(text_.Utf8().data(), static_cast<qsizetype>(text_.Size()));
}

void MailTextView::Select(std::size_t start, std::size_t end) {
    anchor_ = std::min(start, text_.Size());
    cursor_ = std::min(end, text_.Size());
    viewport()->update();
}

void MailTextView::SelectAll() { Select(0, text_.Size()); }

std::pair<std::size_t, std::size_t> MailTextView::Selection() const {
    return {std::min(anchor_, cursor_), std::max(anchor_, cursor_)};
}

QString MailTextView::SelectedText() const {
    const auto [start, end] = Selection();
    return QString::fromUtf8(text_.Utf8().data() + start, static_cast<qsizetype>(end - start));
}

void MailTextView::Copy() const {
    const auto [start, end] = Selection();
    if (start < end) QApplication::clipboard()->setText(SelectedText());
}

void MailTextView::ScrollToStart() { SetTop({}); }

void MailTextView::ScrollToEnd() { SetTop(EndPosition()); }

void MailTextView::EnsureVisible(std::size_t offset) {
    const RowPosition target = RowOf(offset);
    if (target < top_) {
        SetTop(target);
        return;
    }
    // Visible when it lies within a page of rows below the top.
    RowPosition row = top_;
    for (int i = 0; i + 1 < RowsPerPage(); ++i) {
        if (row == target) return;
        if (row.row + 1 < RowCount(row.piece))
            ++row.row;
        else if (row.piece + 1 < text_.PieceCount())
            row = {row.piece + 1, 0};
        else
            break;
    }
    if (row == target) return;
    SetTop(target);
}

std::size_t MailTextView::TopOffset() const {
    const std::string_view bytes = text_.Piece(top_.piece);
    const int unit = LayoutOf(top_.piece).lineAt(top_.row).textStart();
    return text_.PieceStart(top_.piece) + ByteOffsetOf(bytes, unit);
}

bool MailTextView::ShowsEnd() const { return !(top_ < EndPosition()); }

void MailTextView::SetPointSize(qreal points) {
    QFont bigger = font();
    bigger.setPointSizeF(points);
    setFont(bigger);
}

QMenu* MailTextView::CreateContextMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menuText"));
    QAction* copy = menu->addAction(QStringLiteral("Kopieren"), this, &MailTextView::Copy);
    copy->setObjectName(QStringLiteral("actKopieren"));
    const auto [start, end] = Selection();
    copy->setEnabled(start < end);
    QAction* all = menu->addAction(QStringLiteral("Alles markieren"), this, &MailTextView::SelectAll);
    all->setObjectName(QStringLiteral("actAllesMarkieren"));
    if (ExtendContextMenu) ExtendContextMenu(*menu);
    return menu;
}

QTextLayout& MailTextView::LayoutOf(std::size_t piece) const {
    std::unique_ptr<QTextLayout>& slot = layouts_[piece];
    if (slot) return *slot;
    const std::string_view bytes = text_.Piece(piece);
    slot = std::make_unique<QTextLayout>(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                         font(), viewport());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(kTabStop);
    slot->setTextOption(option);
    slot->setCacheEnabled(true);
    const qreal width = LayoutWidth();
    qreal y = 0;
    slot->beginLayout();
    for (QTextLine line = slot->createLine(); line.isValid(); line = slot->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    slot->endLayout();
    return *slot;
}

MailTextView::RowPosition MailTextView::RowOf(std::size_t offset) const {
    offset = std::min(offset, text_.Size());
    const std::size_t piece = text_.PieceAt(offset);
    const std::string_view bytes = text_.Piece(piece);
    const int unit = Utf16Length(bytes.substr(0, std::min(bytes.size(), offset - text_.PieceStart(piece))));
    const QTextLayout& layout = LayoutOf(piece);
    int row = 0;
    while (row + 1 < layout.lineCount() && layout.lineAt(row + 1).textStart() <= unit) ++row;
    return {piece, row};
}

int MailTextView::RowCount(std::size_t piece) const { return std::max(1, LayoutOf(piece).lineCount()); }

void MailTextView::ForgetLayouts() {
    layouts_.clear();
    endKnown_ = false;
}

qreal MailTextView::LayoutWidth() const { return std::max(1, viewport()->width() - 2 * kMargin); }

MailTextView::RowPosition MailTextView::EndPosition() const {
    if (endKnown_) return end_;
    qreal room = viewport()->height() - 2 * kMargin;
    end_ = {};
    for (std::size_t piece = text_.PieceCount(); piece-- > 0 && room >= 0;) {
        const QTextLayout& layout = LayoutOf(piece);
        for (int row = layout.lineCount(); row-- > 0;) {
            room -= layout.lineAt(row).height();
            if (room < 0) {
                end_ = row + 1 < layout.lineCount() ? RowPosition{piece, row + 1} : RowPosition{piece + 1, 0};
                break;
            }
        }
    }
    endKnown_ = true;
    return end_;
}

void MailTextView::SetTop(RowPosition top) {
    const RowPosition end = EndPosition();
    top_ = end < top ? end : top;
    top_.row = std::min(top_.row, RowCount(top_.piece) - 1);
    UpdateScrollBar();
    viewport()->update();
}

void MailTextView::ScrollRows(int rows) {
    if (layouts_.size() > kMaxCachedLayouts) ForgetLayouts();
    RowPosition top = top_;
    const RowPosition end = EndPosition();
    for (; rows > 0 && top < end; --rows) {
        if (top.row + 1 < RowCount(top.piece))
            ++top.row;
        else
            top = {top.piece + 1, 0};
    }
    for (; rows < 0 && (top.piece > 0 || top.row > 0); ++rows) {
        if (top.row > 0)
            --top.row;
        else
            top = {top.piece - 1, RowCount(top.piece - 1) - 1};
    }
    SetTop(top);
}

int MailTextView::RowsPerPage() const {
    const qreal spacing = QFontMetricsF(font()).lineSpacing();
    return std::max(1, static_cast<int>((viewport()->height() - 2 * kMargin) / std::max<qreal>(1, spacing)));
}

void MailTextView::UpdateScrollBar() {
    updatingScrollBar_ = true;
    QScrollBar* bar = verticalScrollBar();
    const auto clamp = [](std::size_t n) { return static_cast<int>(std::min<std::size_t>(n, INT_MAX)); };
    bar->setRange(0, clamp(EndPosition().piece));
    bar->setSingleStep(1);
    bar->setPageStep(RowsPerPage());
    bar->setValue(clamp(top_.piece));
    updatingScrollBar_ = false;
}

void MailTextView::scrollContentsBy(int, int) {
    if (updatingScrollBar_) return;
    const int value = verticalScrollBar()->value();
    if (static_cast<std::size_t>(value) == top_.piece) return;
    SetTop(value == verticalScrollBar()->maximum() ? EndPosition() : RowPosition{static_cast<std::size_t>(value), 0});
}

void MailTextView::paintEvent(QPaintEvent* event) {
    if (layouts_.size() > kMaxCachedLayouts) ForgetLayouts();
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const auto [selectionStart, selectionEnd] = Selection();
    QTextCharFormat selected;
    selected.setBackground(palette().highlight());
    selected.setForeground(palette().highlightedText());
    const QRectF clip(event->rect());
    qreal y = kMargin;
    for (std::size_t piece = top_.piece; piece < text_.PieceCount() && y < viewport()->height(); ++piece) {
        const QTextLayout& layout = LayoutOf(piece);
        const qreal skip = piece == top_.piece ? layout.lineAt(top_.row).y() : 0;
        QList<QTextLayout::FormatRange> selections;
        const std::size_t start = text_.PieceStart(piece);
        const std::size_t end = text_.PieceEnd(piece);
        if (selectionStart < end && selectionEnd > start) {
            const std::string_view bytes = text_.Piece(piece);
            const std::size_t from = std::max(selectionStart, start) - start;
            const std::size_t to = std::min(selectionEnd, end) - start;
            QTextLayout::FormatRange range;
            range.start = Utf16Length(bytes.substr(0, from));
            range.length = Utf16Length(bytes.substr(from, to - from));
            range.format = selected;
            selections.append(range);
        }
        layout.draw(&painter, QPointF(kMargin, y - skip), selections, clip);
        y += LayoutHeight(layout) - skip;
    }
}

void MailTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    // The first row on screen stays first; its piece is wrapped anew.
    const std::size_t topOffset = TopOffset();
    ForgetLayouts();
    SetTop(RowOf(topOffset));
}

void MailTextView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        Copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        SelectAll();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Home:
        ScrollToStart();
        return;
    case Qt::Key_End:
        ScrollToEnd();
        return;
    case Qt::Key_Up:
        ScrollRows(-1);
        return;
    case Qt::Key_Down:
        ScrollRows(1);
        return;
    case Qt::Key_PageUp:
        ScrollRows(-std::max(1, RowsPerPage() - 1));
        return;
    case Qt::Key_PageDown:
        ScrollRows(std::max(1, RowsPerPage() - 1));
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

bool MailTextView::event(QEvent* event) {
    // Our keys stay ours, whatever shortcuts the window has.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key == QKeySequence::Copy || key == QKeySequence::SelectAll || key->key() == Qt::Key_Home ||
            key->key() == Qt::Key_End) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void MailTextView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    ScrollRows(-steps * QApplication::wheelScrollLines());
    event->accept();
}

std::size_t MailTextView::OffsetAt(QPoint point) const {
    qreal y = kMargin;
    for (std::size_t piece = top_.piece; piece < text_.PieceCount(); ++piece) {
        const QTextLayout& layout = LayoutOf(piece);
        const int first = piece == top_.piece ? top_.row : 0;
        const qreal skip = layout.lineAt(first).y();
        const bool lastPiece = piece + 1 == text_.PieceCount();
        for (int row = first; row < layout.lineCount(); ++row) {
            const QTextLine line = layout.lineAt(row);
            const bool lastRow = lastPiece && row + 1 == layout.lineCount();
            if (point.y() < y + line.y() - skip + line.height() || lastRow) {
                const int unit = line.xToCursor(point.x() - kMargin);
                return text_.PieceStart(piece) + ByteOffsetOf(text_.Piece(piece), unit);
            }
        }
        y += LayoutHeight(layout) - skip;
    }
    return text_.Size();
}

void MailTextView::ExtendSelectionTo(QPoint point) {
    cursor_ = OffsetAt(point);
    viewport()->update();
}

void MailTextView::SelectWordAt(QPoint point) {
    const std::size_t offset = OffsetAt(point);
    const std::size_t piece = text_.PieceAt(offset);
    const std::string_view bytes = text_.Piece(piece);
    const QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const auto inWord = [&text](int i) {
        return i >= 0 && i < text.size() && (text[i].isLetterOrNumber() || text[i] == u'_');
    };
    int from = Utf16Length(bytes.substr(0, std::min(bytes.size(), offset - text_.PieceStart(piece))));
    int to = from;
    while (inWord(from - 1)) --from;
    while (inWord(to)) ++to;
    if (from == to) return;
    Select(text_.PieceStart(piece) + ByteOffsetOf(bytes, from), text_.PieceStart(piece) + ByteOffsetOf(bytes, to));
}

void MailTextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const std::size_t offset = OffsetAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier)) anchor_ = offset;
    cursor_ = offset;
    selecting_ = true;
    lastMouse_ = event->position().toPoint();
    viewport()->update();
}

void MailTextView::mouseMoveEvent(QMouseEvent* event) {
    if (!selecting_) return;
    lastMouse_ = event->position().toPoint();
    const bool outside = lastMouse_.y() < 0 || lastMouse_.y() > viewport()->height();
    if (outside && !autoScroll_.isActive()) autoScroll_.start(kAutoScrollMs, this);
    if (!outside) autoScroll_.stop();
    ExtendSelectionTo(lastMouse_);
}

void MailTextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selecting_) return;
    selecting_ = false;
    autoScroll_.stop();
    const auto [start, end] = Selection();
    QClipboard* clipboard = QApplication::clipboard();
    if (start < end && clipboard->supportsSelection()) clipboard->setText(SelectedText(), QClipboard::Selection);
}

void MailTextView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SelectWordAt(event->position().toPoint());
}

void MailTextView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void MailTextView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != autoScroll_.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    ScrollRows(lastMouse_.y() < 0 ? -1 : 1);
    ExtendSelectionTo(lastMouse_);
}

void MailTextView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ForgetLayouts();
        SetTop(top_);
    }
}

}  // namespace view::qt
