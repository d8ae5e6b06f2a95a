#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform {

// What a TLS connection knows of its server's certificate: enough for a
// person to decide whether to trust it, and for a program to pin it.
// Plain values only: an empty one costs nothing, whereas even a null
// QSslCertificate loads the whole TLS backend, which a plain FTP session
// never needs.
struct TlsPeer {
    QString subject; // "CN=ftp.example.org, O=Example"
    QString issuer;
    QDateTime notBefore; // UTC
    QDateTime notAfter;
    QByteArray sha256; // digest of the DER certificate, 32 bytes
    // Why the system's trust store and the host name do not vouch for it;
    // empty when they do.
    QStringList errors;
    QString protocol; // "TLS 1.3"
    QString cipher;

    bool isNull() const { return sha256.isEmpty(); }
    bool verified() const { return !isNull() && errors.isEmpty(); }
    // "SHA256:AB:CD:..." as people compare it and --fingerprint takes it.
    QString fingerprintText() const;

    static TlsPeer fromCertificate(const QSslCertificate& certificate);
};

// "SHA256:" and 32 bytes as colon-separated upper-case hex pairs.
QString fingerprintText(const QByteArray& sha256);

// Reads a SHA-256 fingerprint as people paste it: an optional "SHA256:"
// prefix (any case), then 64 hex digits with or without ":" or blanks
// between the pairs, or the 44-character base64 form. Empty otherwise.
std::optional<QByteArray> parseFingerprint(const QString& text);

} // namespace platform
