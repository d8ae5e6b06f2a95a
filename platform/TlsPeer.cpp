#include "TlsPeer.h"

#include <QCryptographicHash>

namespace platform {

namespace {

QString distinguishedName(const QSslCertificate& certificate, bool issuer) {
    // Most significant parts first, as people read them.
    static const QSslCertificate::SubjectInfo order[] = {QSslCertificate::CommonName,
                                                         QSslCertificate::Organization,
                                                         QSslCertificate::OrganizationalUnitName,
                                                         QSslCertificate::LocalityName,
                                                         QSslCertificate::StateOrProvinceName,
                                                         QSslCertificate::CountryName};
    static const char* const labels[] = {"CN", "O", "OU", "L", "ST", "C"};
    QStringList parts;
    for (size_t i = 0; i < std::size(order); ++i) {
        const QStringList values =
            issuer ? certificate.issuerInfo(order[i]) : certificate.subjectInfo(order[i]);
        for (const QString& value : values)
            parts.append(QLatin1String(labels[i]) + QLatin1Char('=') + value);
    }
    return parts.join(QLatin1String(", "));
}

} // namespace

QString fingerprintText(const QByteArray& sha256) {
    return QStringLiteral("SHA256:") + QString::fromLatin1(sha256.toHex(':').toUpper());
}

QString TlsPeer::fingerprintText() const {
    return platform::fingerprintText(sha256);
}

TlsPeer TlsPeer::fromCertificate(const QSslCertificate& certificate) {
    TlsPeer peer;
    if (certificate.isNull())
        return peer;
    peer.subject = distinguishedName(certificate, false);
    peer.issuer = distinguishedName(certificate, true);
    peer.notBefore = certificate.effectiveDate().toUTC();
    peer.notAfter = certificate.expiryDate().toUTC();
    peer.sha256 = QCryptographicHash::hash(certificate.toDer(), QCryptographicHash::Sha256);
    return peer;
}

std::optional<QByteArray> parseFingerprint(const QString& text) {
    QString rest = text.trimmed();
    if (rest.startsWith(QLatin1String("SHA256:"), Qt::CaseInsensitive) ||
        rest.startsWith(QLatin1String("SHA-256:"), Qt::CaseInsensitive))
        rest = rest.mid(rest.indexOf(QLatin1Char(':')) + 1).trimmed();
    if (rest.size() > 200)
        return std::nullopt;

    QString hex;
    bool onlyHex = true;
    for (const QChar c : rest) {
        if (c == QLatin1Char(':') || c == QLatin1Char(' '))
            continue;
        const bool isHex = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
        if (!isHex) {
            onlyHex = false;
            break;
        }
        hex.append(c);
    }
    if (onlyHex && hex.size() == 64)
        return QByteArray::fromHex(hex.toLatin1());

    // Base64, with or without its "=" padding.
    if (rest.size() == 43 || rest.size() == 44) {
        const auto decoded = QByteArray::fromBase64Encoding(
            rest.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded && decoded.decoded.size() == 32)
            return decoded.decoded;
    }
    return std::nullopt;
}

} // namespace platform
