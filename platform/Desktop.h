#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The per-user settings store and the locale's code page: the small desktop
// services the windows need that do not involve drawing.
namespace Desktop {

// Organisation and application under which the settings store keeps its file.
inline constexpr const char* SettingsOrganisation = "Krellin";
inline constexpr const char* SettingsApplication = "Krellin";

// Reads section/key as a whole number; a missing value, or one that does not
// read as a number, gives defaultValue.
qint32 settingNumber(const QString& section, const QString& key, qint32 defaultValue);
void setSettingNumber(const QString& section, const QString& key, qint32 value);
// The same for text; a missing value gives an empty text.
QString settingText(const QString& section, const QString& key);
void setSettingText(const QString& section, const QString& key, const QString& value);

// The classic ANSI code page number of a locale codeset name as
// nl_langinfo(CODESET) reports it ("CP1251" and "windows-1251" are 1251,
// "ISO-8859-1" reads as 1252); 0 when the codeset has no such code page.
qint32 codePageOfCodeset(const QByteArray& codeset);

// The code page of the process's current locale (LC_CTYPE), by the rule above.
qint32 localeCodePage();

} // namespace Desktop
} // namespace platform
