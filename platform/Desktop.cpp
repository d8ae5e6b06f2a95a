#include "Desktop.h"

#include <QSettings>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <langinfo.h>

namespace platform::Desktop {

qint32 settingNumber(const QString& section, const QString& key, qint32 defaultValue) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, SettingsOrganisation,
                    SettingsApplication);
    const QVariant value = store.value(section + QLatin1Char('/') + key);
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    const double number = value.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < INT32_MIN || number > INT32_MAX)
        return defaultValue;
    return static_cast<qint32>(std::lround(number));
}

void setSettingNumber(const QString& section, const QString& key, qint32 value) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, SettingsOrganisation,
                    SettingsApplication);
    store.setValue(section + QLatin1Char('/') + key, QString::number(value));
}

QString settingText(const QString& section, const QString& key) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, SettingsOrganisation,
                    SettingsApplication);
    return store.value(section + QLatin1Char('/') + key).toString();
}

void setSettingText(const QString& section, const QString& key, const QString& value) {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, SettingsOrganisation,
                    SettingsApplication);
    store.setValue(section + QLatin1Char('/') + key, value);
}

qint32 codePageOfCodeset(const QByteArray& codeset) {
    const QByteArray name = codeset.trimmed().toUpper();
    struct Alias {
        const char* name;
        qint32 codePage;
    };
    // The ISO and KOI sets stand for the Windows code page of the same script.
    static const Alias aliases[] = {
        {"ISO-8859-1", 1252}, {"ISO8859-1", 1252}, {"ISO-8859-15", 1252}, {"ISO8859-15", 1252},
        {"ISO-8859-2", 1250}, {"ISO8859-2", 1250}, {"ISO-8859-5", 1251},  {"ISO8859-5", 1251},
        {"KOI8-R", 1251},     {"KOI8-U", 1251},    {"ISO-8859-7", 1253},  {"ISO8859-7", 1253},
        {"ISO-8859-9", 1254}, {"ISO8859-9", 1254}, {"ISO-8859-8", 1255},  {"ISO8859-8", 1255},
        {"ISO-8859-6", 1256}, {"ISO8859-6", 1256}, {"ISO-8859-13", 1257}, {"ISO8859-13", 1257},
        {"SHIFT_JIS", 932},   {"SJIS", 932},       {"EUC-JP", 932},       {"GB2312", 936},
        {"GBK", 936},         {"EUC-CN", 936},     {"EUC-KR", 949},       {"BIG5", 950},
        {"BIG5-HKSCS", 950},  {"TIS-620", 874},    {"ANSI_X3.4-1968", 0}, {"UTF-8", 0},
    };
    for (const Alias& alias : aliases) {
        if (name == alias.name)
            return alias.codePage;
    }
    for (const char* prefix : {"WINDOWS-", "CP"}) {
        if (name.startsWith(prefix)) {
            bool ok = false;
            const int number = name.mid(qstrlen(prefix)).toInt(&ok);
            if (ok && number > 0)
                return number;
        }
    }
    return 0;
}

qint32 localeCodePage() {
    // The program may not have called setlocale yet; the environment decides.
    const char* previous = std::setlocale(LC_CTYPE, nullptr);
    const QByteArray saved = previous ? QByteArray(previous) : QByteArray("C");
    std::setlocale(LC_CTYPE, "");
    const QByteArray codeset(nl_langinfo(CODESET));
    std::setlocale(LC_CTYPE, saved.constData());
    return codePageOfCodeset(codeset);
}

} // namespace platform::Desktop
