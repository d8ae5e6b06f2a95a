#pragma once

#include <QString>

// The connect dialog's server text split into the host the engine resolves
// and the control port: "host", "host:2121", "[::1]:2121", "[::1]". A bare
// IPv6 literal ("::1") is a host without a port.
class ServerAddress {
public:
    static constexpr quint16 DefaultPort = 21;
    // FTP over TLS from the first byte.
    static constexpr quint16 ImplicitTlsPort = 990;

    // False, with a sentence for the user in error, when the text names a
    // port that cannot be used or an unclosed bracket. portNamed tells
    // whether the text carried a port of its own.
    static bool parse(const QString& text, QString& host, quint16& port, QString& error,
                      bool* portNamed = nullptr);
    // Parses a port box's text ("2121"); false with a sentence otherwise.
    static bool parsePort(const QString& digits, quint16& port, QString& error);
    // The connect dialog's host and port boxes made into the one address the
    // session uses. host comes back without a port. The Port box wins over a
    // port left in the host text once the user typed in it (portTyped); a box
    // the user left alone yields to the host text's port; an empty box is
    // defaultPort.
    static bool fromDialog(const QString& hostText, const QString& portText, bool portTyped,
                           quint16 defaultPort, QString& host, quint16& port, QString& error);
    // How the address is shown: "host", or "host:port" when the port is not
    // defaultPort; an IPv6 literal in brackets when a port follows.
    static QString display(const QString& host, quint16 port, quint16 defaultPort = DefaultPort);
};
