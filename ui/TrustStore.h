#pragma once

#include "CFtpConnection.h"

#include <QByteArray>
#include <QList>
#include <QString>

// What the user decided about a server's security, kept per host and port in
// the settings store: the certificate chosen with "always trust", and the
// servers allowed to go on without TLS without asking again.
namespace TrustStore {

struct Certificate {
    QString host;
    quint16 port = 0;
    QByteArray sha256;
};

// The stored SHA-256 for host:port, empty when none.
QByteArray trusted(const QString& host, quint16 port);
void trust(const QString& host, quint16 port, const QByteArray& sha256);
void forget(const QString& host, quint16 port);
// Every trusted certificate, ordered by host and port.
QList<Certificate> all();

// "Always for this server" given to a downgrade question.
bool downgradeAllowed(const QString& host, quint16 port, CFtpConnection::Downgrade what);
void allowDowngrade(const QString& host, quint16 port, CFtpConnection::Downgrade what);

} // namespace TrustStore
