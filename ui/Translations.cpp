#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace Translations {

QStringList folders(const QString& programDirectory) {
    return {QDir::cleanPath(programDirectory + QStringLiteral("/../translations")),
            QDir::cleanPath(programDirectory + QStringLiteral("/../share/krellin/translations"))};
}

bool install(QCoreApplication& application, const QLocale& locale,
             const QString& programDirectory) {
    // The texts are written in English: nothing to load for it.
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return false;
    // Qt's own: the message boxes' Yes, No and Cancel, the file dialogs.
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
    for (const QString& folder : folders(programDirectory)) {
        auto* own = new QTranslator(&application);
        // "de_AT" falls back to "de" by itself.
        if (own->load(locale, QStringLiteral("krellin"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(own);
            return true;
        }
        delete own;
    }
    return false;
}

} // namespace Translations
