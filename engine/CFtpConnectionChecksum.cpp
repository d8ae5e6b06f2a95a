#include "CFtpConnection.h"

#include <QRegularExpression>

// Checksums of remote files. Neither HASH (draft-bryan-ftpext-hash) nor the
// X commands are in an RFC; servers agree on the shapes below.

namespace {

struct Algorithm {
    const char* hashName; // as HASH and OPTS HASH name it
    const char* command;  // the X command of the same algorithm
    int hexDigits;
};

// Strongest first: the first one a server offers is the one used.
constexpr Algorithm Algorithms[] = {
    {"SHA-256", "XSHA256", 64},
    {"SHA-1", "XSHA1", 40},
    {"MD5", "XMD5", 32},
    {"CRC32", "XCRC", 8},
};

// The first word of the reply's last line after its code that is all hex of
// the algorithm's length. "213 SHA-256 0-1234 9f86... name" (HASH),
// "250 9f86..." (proftpd's XSHA256), "250 9F86..." (upper case).
QString digestIn(const FtpReply& reply, int hexDigits) {
    if (reply.lines.isEmpty())
        return {};
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]+$"));
    const QStringList words = reply.lines.last().mid(4).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& word : words) {
        if (word.size() == hexDigits && hex.match(word).hasMatch())
            return word.toLower();
    }
    return {};
}

} // namespace

QString CFtpConnection::FileChecksum(const QString& strFileName, QString* algorithm) {
    return Guarded(QString(), [&] {
        if (m_Features.Has(QStringLiteral("HASH")))
            return ProcessHASHCommand(strFileName, algorithm);
        return ProcessXHASHCommand(strFileName, algorithm);
    });
}

QString CFtpConnection::ProcessHASHCommand(const QString& strFileName, QString* algorithm) {
    return Trapped("ProcessHASHCommand", [&]() -> QString {
        // "HASH SHA-256*;SHA-1;MD5": the "*" marks the one in force.
        const QStringList offered =
            m_Features.Parameters(QStringLiteral("HASH")).toUpper().split(QLatin1Char(';'));
        for (const Algorithm& a : Algorithms) {
            const QString name = QLatin1String(a.hashName);
            const bool current = offered.contains(name + QLatin1Char('*'));
            if (!current && !offered.contains(name))
                continue;
            if (!current && !Expect(Exchange(QStringLiteral("OPTS HASH ") + name), 200))
                continue;
            const auto reply = Exchange(QStringLiteral("HASH ") + strFileName);
            if (!Expect(reply, 213))
                return {};
            const QString digest = digestIn(*reply, a.hexDigits);
            if (digest.isEmpty()) {
                RecordRefusal(*reply);
                return {};
            }
            if (algorithm)
                *algorithm = name;
            return digest;
        }
        return ProcessXHASHCommand(strFileName, algorithm);
    });
}

QString CFtpConnection::ProcessXHASHCommand(const QString& strFileName, QString* algorithm) {
    return Trapped("ProcessXHASHCommand", [&]() -> QString {
        for (const Algorithm& a : Algorithms) {
            const QString command = QLatin1String(a.command);
            if (!m_Features.Has(command))
                continue;
            const auto reply = Exchange(command + QLatin1Char(' ') + strFileName);
            if (!reply)
                return {};
            const QString digest = reply->isPositive() ? digestIn(*reply, a.hexDigits) : QString();
            if (digest.isEmpty()) {
                RecordRefusal(*reply);
                return {};
            }
            if (algorithm)
                *algorithm = QLatin1String(a.hashName);
            return digest;
        }
        m_LastError = ErrUnexpectedReply;
        m_LastErrorDescription = QStringLiteral("The server offers no checksum of its files.");
        return {};
    });
}
