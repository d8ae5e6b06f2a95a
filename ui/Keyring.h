#pragma once

#include <QString>

// Where saved sites keep their passwords: the desktop's keyring. Windows and
// tests talk to this interface only, so a test can put a keyring of its own
// in place of the user's. A password is never written anywhere else.
class Keyring {
public:
    enum class Status {
        Ok,          // done; for a read, password holds the secret
        NotFound,    // the keyring answered and holds no such entry
        Unavailable, // no keyring answered (no Secret Service on the bus)
        Failed,      // the keyring answered with an error (locked, refused)
    };
    struct Result {
        Status status = Status::Failed;
        QString password;
        QString error; // the keyring's own words when status is not Ok
    };

    virtual ~Keyring() = default;
    virtual Result read(const QString& key) = 0;
    virtual Result write(const QString& key, const QString& password) = 0;
    // Removing an entry that is not there is Ok.
    virtual Result remove(const QString& key) = 0;
};
