#include "shell/qt/german_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool InstallGermanTranslations(QCoreApplication& app) {
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool all = true;
    // "qt" pulls in qtbase and the other modules' catalogues; WebEngine
    // has its own.
    for (const char* catalogue : {"qt", "qtwebengine"}) {
        auto* translator = new QTranslator(&app);
        if (translator->load(german, QString::fromLatin1(catalogue), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
            all = false;
        }
    }
    return all;
}
