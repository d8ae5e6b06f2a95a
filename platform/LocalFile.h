#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "Fault.h"
#include <memory>

class QFile;

namespace platform {

// A local file opened for byte access. Failures throw Fault with the runtime's
// file error number (53 not found, 75 path/file access error, 70 permission
// denied, 76 path not found, 61 disk full, 57 device I/O error) and the
// system's own description.
class LocalFile {
public:
    static constexpr qint32 ErrFileNotFound = 53;
    static constexpr qint32 ErrDiskFull = 61;
    static constexpr qint32 ErrPermissionDenied = 70;
    static constexpr qint32 ErrPathFileAccess = 75;
    static constexpr qint32 ErrPathNotFound = 76;
    static constexpr qint32 ErrDeviceIO = 57;
    // Operations on a file that is not open.
    static constexpr qint32 ErrBadFileNumber = 52;

    LocalFile();
    ~LocalFile();
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // Read and write, never truncating; created when missing.
    void openReadWrite(const QString& path);
    void openReadOnly(const QString& path);
    bool isOpen() const;
    void close();

    void seek(qint64 offset);
    qint64 length() const;
    void truncate(qint64 length);
    // Reads up to maxBytes into buffer (resized to what was read).
    void read(QByteArray& buffer, qint64 maxBytes);
    void write(QByteArrayView bytes);
    // The system's descriptor (zero copy: sendfile, splice); -1 when closed.
    int descriptor() const;
    // Throws the Fault this file gives for the system's error number.
    [[noreturn]] void fail(int err) const;

    static qint64 fileLength(const QString& path); // throws when missing
    static void remove(const QString& path);
    // True when the path names an existing file that is not a directory.
    static bool existsAsFile(const QString& path);

private:
    std::unique_ptr<QFile> m_File;
    QString m_Path;
};

} // namespace platform
