#include "view/qt/attachment_list.h"

#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace view::qt {

AttachmentList::AttachmentList(QWidget* parent) : QListWidget(parent) {
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

void AttachmentList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem() &&
        currentItem()->isSelected()) {
        Q_EMIT openRequested();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void AttachmentList::startDrag(Qt::DropActions) {
    // The copies are made when the drag starts: the program that takes the
    // drop reads them after the drag has ended.
    const int row = currentRow();
    if (row < 0 || !filesForDrag) return;
    const QStringList files = filesForDrag(row);
    if (files.isEmpty()) return;
    QList<QUrl> urls;
    for (const QString& file : files) urls << QUrl::fromLocalFile(file);
    auto* data = new QMimeData;
    data->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

}  // namespace view::qt
