#pragma once

#include "FtpSecurity.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

// One entry of the transfer queue: a file or a folder to move, and how far
// it got. Plain values: items cross from the workers' threads by copy.
struct QueueItem {
    enum class Direction { Download = 0, Upload = 1 };
    enum class State { Queued = 0, Active = 1, Done = 2, Failed = 3, Skipped = 4 };

    qint64 id = 0;
    // The folder item that listed this one (0 for one the user added): it
    // must be done before this one may start, since it made the folder.
    qint64 parent = 0;
    Direction direction = Direction::Download;
    // A folder: listed (download) or made and listed (upload) by a worker,
    // its entries becoming items of their own.
    bool folder = false;
    QString remotePath; // absolute on the server
    QString localPath;  // absolute
    // The source's size and time (day count, FtpDate), -1 and 0 when unknown.
    qint64 size = -1;
    double sourceTime = 0;
    State state = State::Queued;
    qint64 bytesDone = 0;
    int attempts = 0;
    QString lastError;
    // Proven by the server's checksum: its algorithm ("SHA-256"), else empty.
    QString verifiedWith;
    // This run only, not kept: the engine's error number and the server's
    // last reply of the latest failure, for a window that shows them.
    qint32 errorCode = 0;
    QString serverReply;

    bool finished() const { return state == State::Done || state == State::Skipped; }
};

Q_DECLARE_METATYPE(QueueItem)

// The session the workers log in with, as the browsing session did.
struct QueueSession {
    QString host;
    quint16 port = 21;
    QString userName;
    QString password;
    FtpSecurity::Mode security = FtpSecurity::Mode::Plain;
    QByteArray trustedFingerprint;
    bool insecure = false;
    bool passive = true;
    bool ascii = false;
    int timeoutSeconds = 60;
};
