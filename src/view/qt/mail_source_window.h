#pragma once
// "Quelltext anzeigen": the whole mail file as it is stored, read-only in a
// fixed-width font, in a window of its own, with find (Ctrl+F) and save
// (Ctrl+S).

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "view/qt/mail_text.h"

namespace view::qt {

class FindBar;
class MailTextFindTarget;
class MailTextView;

// The bytes of a mail file as text: UTF-8 where they are valid UTF-8,
// otherwise one byte one character in Windows-1252, as the view reads mail;
// lines end at CR LF, LF or a lone CR.
MailText SourceText(const QByteArray& bytes);

class MailSourceWindow : public QWidget {
    Q_OBJECT
public:
    // Reads the file now; a file that cannot be read gives no window (see
    // Open).
    static MailSourceWindow* Open(const QString& mailFile, QWidget* parent, QString& error);
    ~MailSourceWindow() override;

    // The save dialog: the chosen path or nothing; tests replace it.
    std::function<std::optional<QString>(QWidget* parent, const QString& proposed)> chooseSavePath;

    const QString& MailFile() const { return mailFile_; }
    FindBar* Finder() const { return findBar_; }

    // Writes the stored bytes to path in one step; false with a German
    // error text on failure.
    bool SaveTo(const QString& path, QString& error) const;

private:
    MailSourceWindow(const QString& mailFile, QByteArray bytes, QWidget* parent);
    void SaveClick();

    QString mailFile_;
    QByteArray bytes_;
    MailTextView* text_;
    FindBar* findBar_;
    std::unique_ptr<MailTextFindTarget> findTarget_;
};

}  // namespace view::qt
