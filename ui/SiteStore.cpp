#include "SiteStore.h"

#include "Desktop.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>

namespace SiteStore {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(SiteStore)
};

const QString Group = QStringLiteral("Sites");
const QString FileFormat = QStringLiteral("krellin-sites");
constexpr int FileVersion = 1;
// A sites file is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromLatin1(platform::Desktop::SettingsOrganisation),
                     QString::fromLatin1(platform::Desktop::SettingsApplication));
}

const std::pair<FtpSecurity::Mode, const char*> Encryptions[] = {
    {FtpSecurity::Mode::ExplicitIfAvailable, "explicit-if-available"},
    {FtpSecurity::Mode::ExplicitRequired, "explicit"},
    {FtpSecurity::Mode::Implicit, "implicit"},
    {FtpSecurity::Mode::Plain, "plain"},
};
const std::pair<Site::LogOn, const char*> LogOns[] = {
    {Site::LogOn::Anonymous, "anonymous"},
    {Site::LogOn::Normal, "normal"},
    {Site::LogOn::AskPassword, "ask"},
};

// The fields of a site by their names, for the settings and the file alike.
QVariantMap fields(const Site& site) {
    return {
        {QStringLiteral("name"), site.name},
        {QStringLiteral("folder"), site.folder},
        {QStringLiteral("host"), site.host},
        {QStringLiteral("port"), int(site.port)},
        {QStringLiteral("encryption"), encryptionName(site.encryption)},
        {QStringLiteral("logon"), logOnName(site.logOn)},
        {QStringLiteral("user"), site.user},
        {QStringLiteral("remoteFolder"), site.remoteFolder},
        {QStringLiteral("localFolder"), site.localFolder},
        {QStringLiteral("passive"), site.passive},
        {QStringLiteral("comment"), site.comment},
    };
}

// A site from its fields. A field that cannot be used leaves its safe
// default (port 0 until one is typed, "ask for password") and the first
// such fault in why: an import refuses the file, while a site in the
// settings is kept for the site manager to show and mend.
Site fromFields(const QVariantMap& map, QString* why) {
    auto fault = [why](const QString& reason) {
        if (why->isEmpty())
            *why = reason;
    };
    Site site;
    site.name = map.value(QStringLiteral("name")).toString().trimmed();
    site.folder = normalFolder(map.value(QStringLiteral("folder")).toString());
    site.host = map.value(QStringLiteral("host")).toString().trimmed();
    site.user = map.value(QStringLiteral("user")).toString();
    site.remoteFolder = map.value(QStringLiteral("remoteFolder")).toString();
    site.localFolder = map.value(QStringLiteral("localFolder")).toString();
    site.comment = map.value(QStringLiteral("comment")).toString();
    if (site.host.isEmpty())
        fault(Text::tr("it names no host"));
    for (const QChar c : std::as_const(site.host)) {
        if (c.isSpace() || c.unicode() < 0x20) {
            fault(Text::tr("the host \"%1\" holds a blank or a control character").arg(site.host));
            break;
        }
    }
    if (site.name.isEmpty())
        site.name = site.host.isEmpty() ? Text::tr("Unnamed site") : site.host;
    site.name.replace(QLatin1Char('/'), QLatin1Char('-'));
    // These go onto the control connection as they are.
    for (const QString& text : {site.user, site.remoteFolder}) {
        if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
            text.contains(QChar(0)))
            fault(Text::tr("the user or remote folder holds a line break"));
    }
    const QVariant port = map.value(QStringLiteral("port"), 21);
    bool ok = false;
    const int number = port.toInt(&ok);
    if (!ok || number < 1 || number > 65535 || port.toString() != QString::number(number)) {
        fault(Text::tr("the port \"%1\" is not a number from 1 to 65535").arg(port.toString()));
        site.port = 0;
    } else {
        site.port = quint16(number);
    }
    const QString encryption =
        map.value(QStringLiteral("encryption"), encryptionName(site.encryption)).toString();
    if (const auto mode = encryptionFromName(encryption))
        site.encryption = *mode;
    else
        fault(Text::tr("the encryption \"%1\" is unknown").arg(encryption));
    const QString logOn = map.value(QStringLiteral("logon"), logOnName(site.logOn)).toString();
    if (const auto type = logOnFromName(logOn))
        site.logOn = *type;
    else {
        fault(Text::tr("the log-on type \"%1\" is unknown").arg(logOn));
        site.logOn = Site::LogOn::AskPassword;
    }
    const QVariant passive = map.value(QStringLiteral("passive"), true);
    if (passive.typeId() != QMetaType::Bool && passive.toString() != QLatin1String("true") &&
        passive.toString() != QLatin1String("false"))
        fault(Text::tr("\"passive\" is neither true nor false"));
    else
        site.passive = passive.toBool();
    return site;
}

} // namespace

QString normalFolder(const QString& folder) {
    QStringList pieces;
    for (const QString& piece : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (!piece.trimmed().isEmpty())
            pieces << piece.trimmed();
    }
    return pieces.join(QLatin1Char('/'));
}

namespace {

template <typename T, std::size_t N>
QString nameIn(const std::pair<T, const char*> (&table)[N], T value) {
    for (const auto& [known, name] : table) {
        if (known == value)
            return QString::fromLatin1(name);
    }
    return {};
}

template <typename T, std::size_t N>
std::optional<T> valueIn(const std::pair<T, const char*> (&table)[N], const QString& name) {
    for (const auto& [value, known] : table) {
        if (name == QLatin1String(known))
            return value;
    }
    return std::nullopt;
}

} // namespace

QString encryptionName(FtpSecurity::Mode mode) {
    return nameIn(Encryptions, mode);
}

std::optional<FtpSecurity::Mode> encryptionFromName(const QString& name) {
    return valueIn(Encryptions, name);
}

QString logOnName(Site::LogOn logOn) {
    return nameIn(LogOns, logOn);
}

std::optional<Site::LogOn> logOnFromName(const QString& name) {
    return valueIn(LogOns, name);
}

SiteList load() {
    QSettings settings = store();
    settings.beginGroup(Group);
    SiteList list;
    for (const QString& folder : settings.value(QStringLiteral("folders")).toStringList())
        list.addFolder(folder);
    for (const QString& id : settings.childGroups()) {
        settings.beginGroup(id);
        QVariantMap map;
        for (const QString& key : settings.childKeys())
            map.insert(key, settings.value(key));
        settings.endGroup();
        // A site damaged by hand is kept: the site manager shows it, and
        // refuses to keep it until it is mended.
        QString fault;
        Site site = fromFields(map, &fault);
        site.id = id;
        list.addFolder(site.folder);
        list.sites.append(site);
    }
    std::sort(list.sites.begin(), list.sites.end(), [](const Site& a, const Site& b) {
        return a.path().compare(b.path(), Qt::CaseInsensitive) < 0;
    });
    return list;
}

void save(const SiteList& list) {
    QSettings settings = store();
    settings.remove(Group);
    settings.beginGroup(Group);
    settings.setValue(QStringLiteral("folders"), list.folders);
    for (const Site& site : list.sites) {
        settings.beginGroup(site.id);
        const QVariantMap map = fields(site);
        for (auto it = map.begin(); it != map.end(); ++it)
            settings.setValue(it.key(), it.value());
        settings.endGroup();
    }
}

bool exportTo(const QString& path, const SiteList& list, QString* error) {
    QJsonArray sites;
    for (const Site& site : list.sites)
        sites.append(QJsonObject::fromVariantMap(fields(site)));
    const QJsonObject root{{QStringLiteral("format"), FileFormat},
                           {QStringLiteral("version"), FileVersion},
                           {QStringLiteral("folders"), QJsonArray::fromStringList(list.folders)},
                           {QStringLiteral("sites"), sites}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 ||
        !file.commit()) {
        *error = Text::tr("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::optional<SiteList> importFrom(const QString& path, QString* error) {
    auto fail = [&](const QString& reason) {
        *error = reason;
        return std::nullopt;
    };
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return fail(Text::tr("Cannot read %1: %2").arg(path, file.errorString()));
    if (file.size() > MaxFileSize)
        return fail(Text::tr("%1 is too large to be a sites file.").arg(path));
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(MaxFileSize), &parse);
    if (parse.error != QJsonParseError::NoError)
        return fail(Text::tr("%1 is not a sites file: %2 at character %3.")
                        .arg(path, parse.errorString())
                        .arg(parse.offset));
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != FileFormat)
        return fail(Text::tr("%1 is not a Krellin sites file.").arg(path));
    const int version = root.value(QStringLiteral("version")).toInt();
    if (version < 1 || version > FileVersion)
        return fail(Text::tr("%1 has sites file version %2; this Krellin reads version %3.")
                        .arg(path)
                        .arg(version)
                        .arg(FileVersion));
    if (!root.value(QStringLiteral("sites")).isArray())
        return fail(Text::tr("%1 holds no list of sites.").arg(path));
    SiteList list;
    for (const QJsonValue folder : root.value(QStringLiteral("folders")).toArray())
        list.addFolder(folder.toString());
    const QJsonArray sites = root.value(QStringLiteral("sites")).toArray();
    for (qsizetype i = 0; i < sites.size(); ++i) {
        QString why = sites[i].isObject() ? QString() : Text::tr("it is not a site");
        const Site site = fromFields(sites[i].toObject().toVariantMap(), &why);
        if (!why.isEmpty())
            return fail(
                Text::tr("%1: site %2 cannot be imported: %3.").arg(path).arg(i + 1).arg(why));
        list.add(site);
    }
    return list;
}

} // namespace SiteStore
