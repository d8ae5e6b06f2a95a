#include "TrustStore.h"

#include "Desktop.h"

#include <QSettings>
#include <QUrl>
#include <algorithm>

namespace TrustStore {

namespace {

const QString Certificates = QStringLiteral("TrustedCertificates");
const QString PlainAllowed = QStringLiteral("PlainAllowed");
const QString ClearDataAllowed = QStringLiteral("ClearDataAllowed");

QSettings store() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromLatin1(platform::Desktop::SettingsOrganisation),
                     QString::fromLatin1(platform::Desktop::SettingsApplication));
}

// A settings key must not hold "/" (a group) whatever the host text holds.
QString key(const QString& host, quint16 port) {
    return QString::fromLatin1(QUrl::toPercentEncoding(host.toLower())) + QLatin1Char('_') +
           QString::number(port);
}

QString section(CFtpConnection::Downgrade what) {
    return what == CFtpConnection::Downgrade::NoTls ? PlainAllowed : ClearDataAllowed;
}

} // namespace

QByteArray trusted(const QString& host, quint16 port) {
    return QByteArray::fromHex(
        platform::Desktop::settingText(Certificates, key(host, port)).toLatin1());
}

void trust(const QString& host, quint16 port, const QByteArray& sha256) {
    platform::Desktop::setSettingText(Certificates, key(host, port),
                                      QString::fromLatin1(sha256.toHex()));
}

void forget(const QString& host, quint16 port) {
    store().remove(Certificates + QLatin1Char('/') + key(host, port));
}

QList<Certificate> all() {
    QSettings settings = store();
    settings.beginGroup(Certificates);
    QList<Certificate> out;
    for (const QString& name : settings.childKeys()) {
        const int cut = name.lastIndexOf(QLatin1Char('_'));
        bool ok = false;
        const uint port = cut > 0 ? name.mid(cut + 1).toUInt(&ok) : 0;
        if (!ok || port == 0 || port > 65535)
            continue;
        out.append({QUrl::fromPercentEncoding(name.left(cut).toLatin1()), quint16(port),
                    QByteArray::fromHex(settings.value(name).toString().toLatin1())});
    }
    std::sort(out.begin(), out.end(), [](const Certificate& a, const Certificate& b) {
        return a.host != b.host ? a.host < b.host : a.port < b.port;
    });
    return out;
}

bool downgradeAllowed(const QString& host, quint16 port, CFtpConnection::Downgrade what) {
    return platform::Desktop::settingNumber(section(what), key(host, port), 0) != 0;
}

void allowDowngrade(const QString& host, quint16 port, CFtpConnection::Downgrade what) {
    platform::Desktop::setSettingNumber(section(what), key(host, port), 1);
}

} // namespace TrustStore
