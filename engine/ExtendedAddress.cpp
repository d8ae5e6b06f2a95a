#include "ExtendedAddress.h"

#include <QStringList>

namespace {

std::optional<quint16> readPort(const QString& text) {
    if (text.isEmpty() || text.size() > 5)
        return std::nullopt;
    for (const QChar c : text) {
        if (c.unicode() < '0' || c.unicode() > '9')
            return std::nullopt;
    }
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

} // namespace

namespace ExtendedAddress {

std::optional<quint16> ParseEpsvReply(const QString& reply) {
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    if (open < 0 || open + 1 >= reply.size())
        return std::nullopt;
    const QChar delimiter = reply[open + 1];
    if (delimiter.unicode() < 33 || delimiter.unicode() > 126 || delimiter.isDigit() ||
        delimiter == QLatin1Char(')'))
        return std::nullopt;
    const qsizetype close = reply.indexOf(QLatin1Char(')'), open + 1);
    if (close < 0)
        return std::nullopt;
    // "(" d net-prt d net-addr d port d ")": five delimiters make four fields
    // between the first and the last.
    const QStringList fields = reply.mid(open + 1, close - open - 1).split(delimiter);
    if (fields.size() != 5 || !fields.first().isEmpty() || !fields.last().isEmpty())
        return std::nullopt;
    return readPort(fields[3]);
}

QString BuildEprtArgument(const QHostAddress& address, quint16 port) {
    if (address.isNull() || port == 0)
        return {};
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QStringLiteral("|1|%1|%2|").arg(QHostAddress(v4).toString()).arg(port);
    QHostAddress plain = address;
    plain.setScopeId({});
    return QStringLiteral("|2|%1|%2|").arg(plain.toString()).arg(port);
}

std::optional<Endpoint> ParseEprtArgument(const QString& argument) {
    if (argument.size() < 2)
        return std::nullopt;
    const QChar delimiter = argument[0];
    if (delimiter.unicode() < 33 || delimiter.unicode() > 126 || delimiter.isLetterOrNumber())
        return std::nullopt;
    const QStringList fields = argument.split(delimiter);
    if (fields.size() != 5 || !fields.first().isEmpty() || !fields.last().isEmpty())
        return std::nullopt;
    const QString& protocol = fields[1];
    QHostAddress address;
    if (!address.setAddress(fields[2]))
        return std::nullopt;
    const bool v4 = address.protocol() == QAbstractSocket::IPv4Protocol;
    if (!((protocol == QLatin1String("1") && v4) || (protocol == QLatin1String("2") && !v4)))
        return std::nullopt;
    const auto port = readPort(fields[3]);
    if (!port)
        return std::nullopt;
    return Endpoint{address, *port};
}

} // namespace ExtendedAddress
