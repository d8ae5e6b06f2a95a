#pragma once

#include <QString>

// One entry of a remote directory listing: plain values, no checks.
// LastWriteTime is a day count from 1899-12-30 00:00 (fraction = time of day).
class CFtpFile {
public:
    bool IsDirectory = false;
    qint64 FileSize = 0;
    double LastWriteTime = 0.0;
    // The listing gave the time to the second (MLSD); "ls -l" gives minutes.
    bool SecondsKnown = false;
    QString FileName;
    QString FilePath; // symbolic links only: the target as listed
    QString Permissions;
    QString Owner;
    QString Group;
    // MLSD's "unique" fact: the same for every path that reaches the same
    // file or folder (links included); empty when the server gives none.
    QString UniqueId;
};
