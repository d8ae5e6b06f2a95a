#pragma once

#include "FtpSecurity.h"

#include <QCoreApplication>
#include <QString>
#include <optional>

// A parsed ftp://[user[:password]@]host[:port][/dir] address; ftpes:// asks
// for explicit FTP over TLS, ftps:// for implicit TLS (port 990 by default).
// Shared by krellin-cli and the window's links; its messages are translatable.
class FtpUrl {
    Q_DECLARE_TR_FUNCTIONS(FtpUrl)
public:
    FtpSecurity::Mode security = FtpSecurity::Mode::Plain;
    QString userName; // empty means anonymous
    QString password;
    QString host;      // an IPv6 literal comes without its brackets
    quint16 port = 21; // 990 for ftps://
    // The directory after the host, percent-decoded and relative to the login
    // directory as in RFC 1738; "%2F" at its start makes it absolute. Empty: stay.
    QString directory;

    // Empty with *error set when the text is not such an address.
    static std::optional<FtpUrl> parse(const QString& text, QString* error);

    // Decodes %XX sequences as UTF-8. Empty with *error set on a malformed
    // sequence or a decoded CR, LF or NUL (no command line may carry them).
    static std::optional<QString> percentDecode(const QString& text, QString* error);
};
