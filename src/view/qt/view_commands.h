#pragma once
// The commands of the mail view that the main window puts into its menus.
// Each carries its key; the form owns them and they work wherever the
// pages are hosted.

class QAction;

namespace view::qt {

struct ViewCommands {
    QAction* print = nullptr;               // "Drucken…", Ctrl+P
    QAction* savePdf = nullptr;             // "Als PDF speichern…", Ctrl+Shift+S
    QAction* showSource = nullptr;          // "Quelltext anzeigen", Ctrl+U
    QAction* saveAllAttachments = nullptr;  // "Alle Anlagen speichern…"
    QAction* find = nullptr;                // "Suchen…", Ctrl+F
    QAction* findNext = nullptr;            // "Weitersuchen", F3
    QAction* findPrevious = nullptr;        // "Rückwärts suchen", Shift+F3
    QAction* zoomIn = nullptr;              // "Vergrößern", Ctrl++
    QAction* zoomOut = nullptr;             // "Verkleinern", Ctrl+-
    QAction* zoomReset = nullptr;           // "Originalgröße", Ctrl+0
    QAction* nextPage = nullptr;            // "Nächste Seite", Ctrl+Tab
    QAction* previousPage = nullptr;        // "Vorherige Seite", Ctrl+Shift+Tab
};

}  // namespace view::qt
