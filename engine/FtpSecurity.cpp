#include "FtpSecurity.h"

#include <QCoreApplication>
#include <QStringList>

namespace FtpSecurity {

QString modeText(Mode mode) {
    switch (mode) {
    // Translated where the program installed a translator (the window).
    case Mode::ExplicitIfAvailable:
        return QCoreApplication::translate("FtpSecurity", "Use explicit FTP over TLS if available");
    case Mode::ExplicitRequired:
        return QCoreApplication::translate("FtpSecurity", "Require explicit FTP over TLS");
    case Mode::Implicit:
        return QCoreApplication::translate("FtpSecurity", "Require implicit FTP over TLS");
    case Mode::Plain:
        return QCoreApplication::translate("FtpSecurity", "Only use plain FTP (insecure)");
    }
    return {};
}

Verdict judge(const platform::TlsPeer& peer, const QByteArray& remembered, bool insecure) {
    if (!remembered.isEmpty())
        return !peer.isNull() && peer.sha256 == remembered ? Verdict::Accepted : Verdict::Changed;
    if (peer.verified())
        return Verdict::Trusted;
    return insecure ? Verdict::Insecure : Verdict::Ask;
}

QString describe(const platform::TlsPeer& peer) {
    if (peer.isNull())
        return QStringLiteral("The server showed no certificate.");
    const auto when = [](const QDateTime& t) {
        return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"))
                           : QStringLiteral("unknown");
    };
    QStringList lines;
    lines << QStringLiteral("Subject: ") + peer.subject << QStringLiteral("Issuer: ") + peer.issuer
          << QStringLiteral("Valid from: ") + when(peer.notBefore)
          << QStringLiteral("Valid until: ") + when(peer.notAfter)
          << QStringLiteral("Fingerprint: ") + peer.fingerprintText();
    if (!peer.protocol.isEmpty())
        lines << QStringLiteral("Protocol: ") + peer.protocol +
                     (peer.cipher.isEmpty() ? QString() : QStringLiteral(", ") + peer.cipher);
    if (!peer.errors.isEmpty()) {
        lines << QStringLiteral("Problems:");
        for (const QString& error : peer.errors)
            lines << QStringLiteral("  ") + error;
    }
    return lines.join(QLatin1Char('\n'));
}

QString changedWarning(const QByteArray& remembered, const platform::TlsPeer& peer) {
    return QStringLiteral("The server's certificate has changed. Expected %1, received %2.")
        .arg(platform::fingerprintText(remembered),
             peer.isNull() ? QStringLiteral("no certificate") : peer.fingerprintText());
}

} // namespace FtpSecurity
