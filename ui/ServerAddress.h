#pragma once

#include <QString>

// The connect dialog's server text split into the host the engine resolves
// and the control port: "host", "host:2121", "[::1]:2121", "[::1]". A bare
// IPv6 literal ("::1") is a host without a port.
class ServerAddress {
public:
    static constexpr quint16 DefaultPort = 21;

    // False, with a sentence for the user in error, when the text names a
    // port that cannot be used or an unclosed bracket. portNamed tells
    // whether the text carried a port of its own.
    static bool parse(const QString& text, QString& host, quint16& port, QString& error,
                      bool* portNamed = nullptr);
    // Parses a port box's text ("2121"); false with a sentence otherwise.
    static bool parsePort(const QString& digits, quint16& port, QString& error);
};
