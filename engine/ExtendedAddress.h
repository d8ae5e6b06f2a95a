#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

// The extended data-connection commands of RFC 2428, for IPv4 and IPv6 alike:
// EPSV's reply names only a port (the address is always the control
// connection's peer), EPRT names protocol, address and port.
namespace ExtendedAddress {

// The port of a 229 reply: "229 Entering Extended Passive Mode (|||6446|)".
// The delimiter is whatever printable character follows "("; the three
// fields before the port must be empty or, as some servers write, name a
// protocol and address, which are ignored. Empty when there is no valid
// port (1..65535).
std::optional<quint16> ParseEpsvReply(const QString& reply);

// "|1|132.235.1.2|6275|" or "|2|::1|6275|". An IPv4 address mapped into
// IPv6 is written as IPv4; a scope ("%eth0") is left out, the server cannot
// use it. Empty text for a null address or port 0.
QString BuildEprtArgument(const QHostAddress& address, quint16 port);

struct Endpoint {
    QHostAddress address;
    quint16 port = 0;
};

// The reverse, as a server reads it. Empty for anything malformed: an
// unknown protocol, an address of the other protocol, a port outside 1..65535.
std::optional<Endpoint> ParseEprtArgument(const QString& argument);

} // namespace ExtendedAddress
