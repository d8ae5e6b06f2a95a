#pragma once

#include "TlsPeer.h"

#include <QByteArray>
#include <QString>

// How a session protects itself, and whether a server's certificate is
// accepted. Pure decisions: the connection carries them out, the window
// and krellin-cli ask the user or refuse.
namespace FtpSecurity {

enum class Mode {
    ExplicitIfAvailable = 0, // AUTH TLS when FEAT offers it, else plain (and say so)
    ExplicitRequired = 1,    // AUTH TLS or no log-in
    Implicit = 2,            // TLS from the first byte (port 990)
    Plain = 3,               // never TLS
};

// Texts of the connect dialog's choice, in Mode order.
QString modeText(Mode mode);

enum class Verdict {
    Trusted,  // the system's trust store and the host name vouch for it
    Accepted, // it is the certificate the user pinned or chose to trust
    Insecure, // not verified, accepted because the user said to skip the check
    Ask,      // unknown or invalid: the user must decide before the log-in
    Changed,  // a pinned or trusted certificate was replaced: refused
};

// `remembered` is the SHA-256 the user pinned (--fingerprint) or stored
// with "Always trust", empty when there is none; `insecure` accepts what
// cannot be verified. A remembered fingerprint that differs wins over
// everything: a changed certificate is refused even with `insecure`.
Verdict judge(const platform::TlsPeer& peer, const QByteArray& remembered, bool insecure);

// The certificate for a person: subject, issuer, validity, fingerprint and
// the verification's complaints, one item a line.
QString describe(const platform::TlsPeer& peer);

// "The server's certificate has changed. Expected SHA256:..., received SHA256:...".
QString changedWarning(const QByteArray& remembered, const platform::TlsPeer& peer);

} // namespace FtpSecurity
