#include "FtpUrl.h"

#include <QRegularExpression>

#include <QHostAddress>

namespace {

std::optional<FtpUrl> fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return std::nullopt;
}

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

} // namespace

std::optional<QString> FtpUrl::percentDecode(const QString& text, QString* error) {
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes.append(utf8[i]);
            continue;
        }
        const int high = i + 2 < utf8.size() ? hexValue(QLatin1Char(utf8[i + 1])) : -1;
        const int low = i + 2 < utf8.size() ? hexValue(QLatin1Char(utf8[i + 2])) : -1;
        if (high < 0 || low < 0) {
            if (error)
                *error = tr("bad percent-encoding in \"%1\"").arg(text);
            return std::nullopt;
        }
        bytes.append(static_cast<char>(high * 16 + low));
        i += 2;
    }
    if (bytes.contains('\r') || bytes.contains('\n') || bytes.contains('\0')) {
        if (error)
            *error = tr("\"%1\" holds a line break or NUL").arg(text);
        return std::nullopt;
    }
    return QString::fromUtf8(bytes);
}

std::optional<FtpUrl> FtpUrl::parse(const QString& text, QString* error) {
    struct Scheme {
        QLatin1StringView prefix;
        FtpSecurity::Mode security;
        quint16 port;
    };
    static const Scheme schemes[] = {
        {QLatin1StringView("ftp://"), FtpSecurity::Mode::Plain, 21},
        {QLatin1StringView("ftpes://"), FtpSecurity::Mode::ExplicitRequired, 21},
        {QLatin1StringView("ftps://"), FtpSecurity::Mode::Implicit, 990},
    };
    const Scheme* scheme = nullptr;
    for (const Scheme& known : schemes) {
        if (text.startsWith(known.prefix, Qt::CaseInsensitive))
            scheme = &known;
    }
    if (!scheme) {
        // The message may reach a log or a screen: a password in it stays out.
        static const QRegularExpression userInfo(QStringLiteral("^([^/]*//[^/@]*?):[^/]*@"));
        QString shown = text;
        shown.replace(userInfo, QStringLiteral("\\1:***@"));
        return fail(error,
                    tr("the URL must start with ftp://, ftpes:// or ftps://: \"%1\"")
                        .arg(shown));
    }

    FtpUrl url;
    url.security = scheme->security;
    url.port = scheme->port;
    const QString rest = text.mid(scheme->prefix.size());
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    QString authority = slash < 0 ? rest : rest.left(slash);
    const QString path = slash < 0 ? QString() : rest.mid(slash + 1);

    // A raw "@" in a password is common enough to honour: the host follows the last one.
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        authority = authority.mid(at + 1);
        const qsizetype colon = userInfo.indexOf(QLatin1Char(':'));
        const auto user = percentDecode(colon < 0 ? userInfo : userInfo.left(colon), error);
        if (!user)
            return std::nullopt;
        url.userName = *user;
        if (colon >= 0) {
            const auto password = percentDecode(userInfo.mid(colon + 1), nullptr);
            if (!password)
                return fail(error, tr("bad percent-encoding, a line break or NUL in "
                                                  "the password"));
            url.password = *password;
        }
        if (url.userName.isEmpty() && !url.password.isEmpty())
            return fail(error, tr("a password needs a user name"));
    }

    QString portText;
    if (authority.startsWith(QLatin1Char('['))) {
        const qsizetype close = authority.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(error, tr("unclosed \"[\" in the host"));
        url.host = authority.mid(1, close - 1);
        const QString after = authority.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
            return fail(error, tr("unexpected text after \"]\": \"%1\"").arg(after));
        if (after.startsWith(QLatin1Char(':')))
            portText = after.mid(1);
        const QHostAddress address(url.host);
        if (address.isNull() || address.protocol() != QAbstractSocket::IPv6Protocol)
            return fail(error, tr("\"%1\" is not an IPv6 address").arg(url.host));
    } else {
        const qsizetype colon = authority.indexOf(QLatin1Char(':'));
        url.host = colon < 0 ? authority : authority.left(colon);
        if (colon >= 0)
            portText = authority.mid(colon + 1);
        if (url.host.contains(QLatin1Char(':')) || portText.contains(QLatin1Char(':')))
            return fail(error, tr("an IPv6 address must be written in brackets"));
        for (const QChar c : std::as_const(url.host)) {
            if (c.isSpace() || c == QLatin1Char('%') || c.unicode() < 0x20)
                return fail(error, tr("bad host name \"%1\"").arg(url.host));
        }
    }
    if (url.host.isEmpty())
        return fail(error, tr("the URL names no host"));

    if (!portText.isNull() || authority.endsWith(QLatin1Char(':'))) {
        bool ok = false;
        const uint port = portText.toUInt(&ok, 10);
        if (!ok || port < 1 || port > 65535 || !portText.front().isDigit())
            return fail(error, tr("bad port \"%1\"").arg(portText));
        url.port = static_cast<quint16>(port);
    }

    if (!path.isEmpty()) {
        const auto directory = percentDecode(path, error);
        if (!directory)
            return std::nullopt;
        url.directory = *directory;
        while (url.directory.size() > 1 && url.directory.endsWith(QLatin1Char('/')))
            url.directory.chop(1);
    }
    return url;
}
