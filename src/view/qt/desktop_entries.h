#pragma once
// Installed applications as the freedesktop desktop entries describe them:
// what the program chooser lists and how it starts the chosen one.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace view::qt {

struct DesktopEntry {
    QString id;    // file name relative to its applications folder, "/" as "-"
    QString path;  // the .desktop file
    QString name;  // localised where the entry has it
    QString exec;
    QString icon;
    QString tryExec;
    QStringList mimeTypes;
    bool application = false;
    bool noDisplay = false;
    bool hidden = false;
    bool terminal = false;
};

// Reads the [Desktop Entry] group of a desktop file's text. locale is like
// "de_DE" (a "Name[de_DE]", then "Name[de]" is preferred over "Name").
DesktopEntry ParseDesktopEntry(const QString& text, const QString& locale);

// The program and its arguments for opening filePath with the entry's Exec
// line. %f %F %u %U become the path (a URL would confuse programs that take
// only paths); without any of them the path is appended. Nothing when the
// line is malformed (open quote, empty).
std::optional<QStringList> ExpandExec(const DesktopEntry& entry, const QString& filePath);

struct Application {
    DesktopEntry entry;
    bool handlesType = false;  // declares one of the wanted MIME types
};

// Applications below applicationDirs (in precedence order, the first entry
// of an id wins) that can be started: not hidden, with an Exec line, not
// for a terminal, whose TryExec program exists. Those declaring one of
// mimeTypes come first, the others only when their entry is meant to be
// shown; each group sorted by name.
std::vector<Application> FindApplications(const QStringList& applicationDirs, const QStringList& mimeTypes,
                                          const QString& locale);

}  // namespace view::qt
