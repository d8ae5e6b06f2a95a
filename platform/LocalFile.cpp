#include "LocalFile.h"

#include "Fault.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Interrupted system calls are retried, but not forever.
constexpr int MaxInterruptRetries = 100;

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

bool parentDirectoryExists(const QString& path) {
    const QFileInfo info(path);
    return QFileInfo(info.absolutePath()).isDir();
}

qint32 numberForErrno(int err, const QString& path) {
    switch (err) {
    case ENOENT:
        return path.isEmpty() || parentDirectoryExists(path) ? LocalFile::ErrFileNotFound
                                                             : LocalFile::ErrPathNotFound;
    case ENOTDIR:
        return LocalFile::ErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return LocalFile::ErrPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return LocalFile::ErrDiskFull;
    case EIO:
        return LocalFile::ErrDeviceIO;
    default:
        return LocalFile::ErrPathFileAccess;
    }
}

[[noreturn]] void throwErrno(int err, const QString& path) {
    throw Fault(numberForErrno(err, path), qt_error_string(err));
}

[[noreturn]] void throwNotOpen() {
    throw Fault(LocalFile::ErrBadFileNumber, QStringLiteral("Bad file name or number"));
}

int openNative(const QString& path, int flags) {
    if (path.isEmpty())
        throwErrno(ENOENT, path);
    const QByteArray native = nativePath(path);
    for (int attempt = 0; attempt < MaxInterruptRetries; ++attempt) {
        const int fd = ::open(native.constData(), flags | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
                ::close(fd);
                throwErrno(EISDIR, path);
            }
            return fd;
        }
        if (errno != EINTR)
            throwErrno(errno, path);
    }
    throwErrno(EINTR, path);
}

} // namespace

LocalFile::LocalFile() = default;

LocalFile::~LocalFile() {
    close();
}

void LocalFile::openReadWrite(const QString& path) {
    close();
    const int fd = openNative(path, O_RDWR | O_CREAT);
    m_File = std::make_unique<QFile>();
    m_File->open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    m_Path = path;
}

void LocalFile::openReadOnly(const QString& path) {
    close();
    const int fd = openNative(path, O_RDONLY);
    m_File = std::make_unique<QFile>();
    m_File->open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    m_Path = path;
}

bool LocalFile::isOpen() const {
    return m_File && m_File->isOpen();
}

void LocalFile::close() {
    if (m_File)
        m_File->close();
    m_File.reset();
    m_Path.clear();
}

void LocalFile::seek(qint64 offset) {
    if (!isOpen())
        throwNotOpen();
    if (offset < 0 || ::lseek(m_File->handle(), off_t(offset), SEEK_SET) < 0)
        throwErrno(offset < 0 ? EINVAL : errno, m_Path);
}

qint64 LocalFile::length() const {
    if (!isOpen())
        throwNotOpen();
    struct stat st {};
    if (::fstat(m_File->handle(), &st) != 0)
        throwErrno(errno, m_Path);
    return qint64(st.st_size);
}

void LocalFile::truncate(qint64 length) {
    if (!isOpen())
        throwNotOpen();
    if (length < 0 || ::ftruncate(m_File->handle(), off_t(length)) != 0)
        throwErrno(length < 0 ? EINVAL : errno, m_Path);
}

void LocalFile::read(QByteArray& buffer, qint64 maxBytes) {
    if (!isOpen())
        throwNotOpen();
    if (maxBytes <= 0) {
        buffer.resize(0);
        return;
    }
    buffer.resize(maxBytes);
    for (int attempt = 0; attempt < MaxInterruptRetries; ++attempt) {
        const ssize_t got = ::read(m_File->handle(), buffer.data(), size_t(maxBytes));
        if (got >= 0) {
            buffer.resize(qsizetype(got));
            return;
        }
        if (errno != EINTR) {
            const int err = errno;
            buffer.resize(0);
            throwErrno(err, m_Path);
        }
    }
    buffer.resize(0);
    throwErrno(EINTR, m_Path);
}

void LocalFile::write(QByteArrayView bytes) {
    if (!isOpen())
        throwNotOpen();
    const char* data = bytes.data();
    qint64 remaining = bytes.size();
    int interrupts = 0;
    // Each pass writes at least one byte or fails, so the loop is bounded.
    while (remaining > 0) {
        const ssize_t written = ::write(m_File->handle(), data, size_t(remaining));
        if (written > 0) {
            data += written;
            remaining -= written;
            continue;
        }
        if (written < 0 && errno == EINTR && ++interrupts < MaxInterruptRetries)
            continue;
        throwErrno(written == 0 ? ENOSPC : errno, m_Path);
    }
}

int LocalFile::descriptor() const {
    return isOpen() ? m_File->handle() : -1;
}

void LocalFile::fail(int err) const {
    throwErrno(err, m_Path);
}

qint64 LocalFile::fileLength(const QString& path) {
    struct stat st {};
    if (path.isEmpty())
        throwErrno(ENOENT, path);
    if (::stat(nativePath(path).constData(), &st) != 0)
        throwErrno(errno, path);
    if (S_ISDIR(st.st_mode))
        throwErrno(EISDIR, path);
    return qint64(st.st_size);
}

void LocalFile::remove(const QString& path) {
    if (path.isEmpty())
        throwErrno(ENOENT, path);
    if (::unlink(nativePath(path).constData()) != 0)
        throwErrno(errno, path);
}

bool LocalFile::existsAsFile(const QString& path) {
    if (path.isEmpty())
        return false;
    struct stat st {};
    return ::stat(nativePath(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace platform
