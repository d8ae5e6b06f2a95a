#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;

// The program's translations (krellin_<language>.qm) and Qt's own for the
// standard buttons and dialogs, for the user's locale.
namespace Translations {

// Where the program's .qm files are looked for, first match wins: the build
// tree's translations folder (beside the program's folder) and the
// package's data folder.
QStringList folders(const QString& programDirectory);

// Installs the translators for locale on the application; true when the
// program's own file was found (English needs none, and is not looked for).
bool install(QCoreApplication& application, const QLocale& locale, const QString& programDirectory);

} // namespace Translations
