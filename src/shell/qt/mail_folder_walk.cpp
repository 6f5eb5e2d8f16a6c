#include "shell/qt/mail_folder_walk.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "shell/startup/mail_file_choice.h"

namespace {

QCollator FileManagerOrder() {
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

struct Listing {
    QStringList names;
    int index = -1;  // of current's name; -1 when it is not there
    int insertAt = 0;
};

Listing ListAround(const QString& current) {
    const QFileInfo info(current);
    Listing listing;
    const QDir folder = info.absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort))
        if (HasKqvExtension(name.toStdString())) listing.names << name;
    const QCollator order = FileManagerOrder();
    // Equal under the collator (names differing only in case): by bytes,
    // so that the order is total and every file is reached.
    const auto less = [&order](const QString& a, const QString& b) {
        const int c = order.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(listing.names.begin(), listing.names.end(), less);
    const QString name = info.fileName();
    const auto at = std::lower_bound(listing.names.begin(), listing.names.end(), name, less);
    listing.insertAt = static_cast<int>(at - listing.names.begin());
    if (at != listing.names.end() && *at == name) listing.index = listing.insertAt;
    return listing;
}

FolderPosition At(const QString& current, const Listing& listing, int index) {
    return {QFileInfo(current).absoluteDir().filePath(listing.names[index]), index + 1,
            static_cast<int>(listing.names.size())};
}

}  // namespace

std::optional<FolderPosition> NeighbourMail(const QString& current, int step) {
    if (current.isEmpty() || step == 0) return std::nullopt;
    const Listing listing = ListAround(current);
    // A vanished current file still has its place between its neighbours.
    const int target = listing.index >= 0 ? listing.index + step
                                          : (step > 0 ? listing.insertAt + step - 1 : listing.insertAt + step);
    if (target < 0 || target >= listing.names.size()) return std::nullopt;
    return At(current, listing, target);
}

std::optional<FolderPosition> PositionOf(const QString& current) {
    if (current.isEmpty()) return std::nullopt;
    const Listing listing = ListAround(current);
    if (listing.index < 0) return std::nullopt;
    return At(current, listing, listing.index);
}

QString PositionText(const FolderPosition& position) {
    return QStringLiteral("%1 von %2").arg(position.index).arg(position.count);
}
