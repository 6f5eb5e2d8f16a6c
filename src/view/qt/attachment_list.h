#pragma once
// lbAnlagen: the list of attachment names. Beyond a plain list it opens a
// line on Enter as on a double click and lets a line be dragged out onto
// the desktop or a file manager, which then receives a copy of the file.

#include <QListWidget>
#include <QStringList>
#include <functional>

namespace view::qt {

class AttachmentList : public QListWidget {
    Q_OBJECT
public:
    explicit AttachmentList(QWidget* parent = nullptr);

    // The files (full paths) that a drag of a line hands over; empty when
    // none could be made, which ends the drag.
    std::function<QStringList(int row)> filesForDrag;

Q_SIGNALS:
    // Enter or Return on the selected line.
    void openRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
};

}  // namespace view::qt
