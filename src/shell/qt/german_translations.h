#pragma once
// The viewer speaks German whatever the desktop's language: Qt's own texts
// (file dialogs, context menus of the text pages, button texts, "File not
// found") come from Qt's German catalogues, and numbers and dates in Qt's
// dialogs follow German rules.

class QCoreApplication;

// False when the catalogues are missing (Debian: qt6-translations-l10n).
bool InstallGermanTranslations(QCoreApplication& app);
