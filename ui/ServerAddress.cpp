#include "ServerAddress.h"

#include <QCoreApplication>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ServerAddress", text);
}

bool allDigits(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace

bool ServerAddress::parsePort(const QString& digits, quint16& port, QString& error) {
    bool ok = false;
    // More than five digits is never a port; toUInt would accept them.
    const uint value = digits.size() <= 5 ? digits.toUInt(&ok) : 0;
    if (!ok || value < 1 || value > 65535) {
        error = tr("The port number %1 is not valid: it must lie between 1 and 65535.").arg(digits);
        return false;
    }
    port = static_cast<quint16>(value);
    return true;
}

bool ServerAddress::parse(const QString& text, QString& host, quint16& port, QString& error,
                          bool* portNamed) {
    if (portNamed)
        *portNamed = false;
    host = text;
    port = DefaultPort;
    error.clear();
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        if (close < 0) {
            error = tr("The address %1 lacks its closing bracket.").arg(text);
            return false;
        }
        const QString rest = text.mid(close + 1);
        host = text.mid(1, close - 1);
        if (rest.isEmpty())
            return true;
        if (!rest.startsWith(QLatin1Char(':')) || !allDigits(rest.mid(1))) {
            error = tr("The address %1 has text after its closing bracket that is not a port.")
                        .arg(text);
            return false;
        }
        if (portNamed)
            *portNamed = true;
        return parsePort(rest.mid(1), port, error);
    }
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    // Two colons or more without brackets: an IPv6 literal, no port.
    if (colon < 0 || text.indexOf(QLatin1Char(':')) != colon)
        return true;
    const QString digits = text.mid(colon + 1);
    if (!allDigits(digits))
        return true; // "ftp://host" and the like reach the engine unchanged
    host = text.left(colon);
    if (portNamed)
        *portNamed = true;
    return parsePort(digits, port, error);
}

bool ServerAddress::fromDialog(const QString& hostText, const QString& portText, bool portTyped,
                               quint16 defaultPort, QString& host, quint16& port, QString& error) {
    bool portNamed = false;
    quint16 named = DefaultPort;
    if (!parse(hostText, host, named, error, &portNamed))
        return false;
    port = defaultPort;
    if (!portText.isEmpty() && !parsePort(portText, port, error))
        return false;
    if (portNamed && (!portTyped || portText.isEmpty()))
        port = named;
    return true;
}

QString ServerAddress::display(const QString& host, quint16 port, quint16 defaultPort) {
    if (port == defaultPort)
        return host;
    const bool v6 = host.contains(QLatin1Char(':'));
    return (v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host) + QLatin1Char(':') +
           QString::number(port);
}
