#pragma once
// Reading an archive folder mail by mail: the ".kqv" files of the shown
// mail's folder in the order a file manager shows them (by name, numbers
// by their value, letter case ignored).

#include <QString>
#include <QStringList>
#include <optional>

struct FolderPosition {
    QString path;   // the mail at the position
    int index = 0;  // from 1
    int count = 0;
};

// The mail step places after (before, for a negative step) current in its
// folder; nothing at either end. current need not exist any more.
std::optional<FolderPosition> NeighbourMail(const QString& current, int step);
// Where current stands in its folder; nothing when it is not there.
std::optional<FolderPosition> PositionOf(const QString& current);

// "12 von 340".
QString PositionText(const FolderPosition& position);
