#include "view/qt/german_error_texts.h"

namespace view::qt {
namespace {

struct Phrase {
    const char16_t* english;
    const char16_t* german;
};

// The reader's texts that can reach a box; they open the message.
constexpr Phrase kOpenings[] = {
    {u"Error saving attachment.", u"Fehler beim Speichern der Anlage."},
    {u"Cannot create file ", u"Datei kann nicht angelegt werden: "},
    {u"Cannot open file ", u"Datei kann nicht geöffnet werden: "},
    {u"Cannot load message from file ", u"Mail kann nicht geladen werden: "},
    {u"Stream write error: ", u"Fehler beim Schreiben: "},
    {u"Stream read error: ", u"Fehler beim Lesen: "},
};

// The system's reasons the user is likely to meet; they close the message.
constexpr Phrase kReasons[] = {
    {u"No such file or directory", u"Datei oder Ordner nicht gefunden"},
    {u"Permission denied", u"Keine Berechtigung"},
    {u"Operation not permitted", u"Vorgang nicht erlaubt"},
    {u"No space left on device", u"Kein Platz mehr auf dem Datenträger"},
    {u"Disk quota exceeded", u"Speicherkontingent überschritten"},
    {u"File exists", u"Die Datei existiert bereits"},
    {u"Read-only file system", u"Das Dateisystem ist schreibgeschützt"},
    {u"Is a directory", u"Ist ein Ordner"},
    {u"Not a directory", u"Ist kein Ordner"},
    {u"File name too long", u"Dateiname zu lang"},
    {u"Input/output error", u"Ein-/Ausgabefehler"},
    {u"Too many levels of symbolic links", u"Zu viele Ebenen symbolischer Verknüpfungen"},
};

QString Text(const char16_t* s) { return QString::fromUtf16(s); }

}  // namespace

QString GermanErrorText(QString text) {
    for (const Phrase& p : kOpenings) {
        const QString english = Text(p.english);
        if (text.startsWith(english)) {
            text.replace(0, english.size(), Text(p.german));
            break;
        }
    }
    for (const Phrase& p : kReasons) {
        const QString english = Text(p.english);
        if (text.endsWith(english)) {
            text.replace(text.size() - english.size(), english.size(), Text(p.german));
            break;
        }
    }
    return text;
}

}  // namespace view::qt
