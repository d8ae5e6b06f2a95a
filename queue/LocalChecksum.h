#pragma once

#include <QString>

// The checksum of a local file in the algorithm the server used, as
// lower-case hex, to compare with the server's: "SHA-256", "SHA-1", "MD5"
// (QCryptographicHash) or "CRC32" (the zip/ethernet polynomial, as XCRC and
// HASH CRC32 compute it). Empty for an unknown algorithm or an unreadable
// file. Reads in blocks; memory stays small for any size.
namespace LocalChecksum {

QString ofFile(const QString& path, const QString& algorithm);

// Pure: the CRC32 of bytes, continued from a previous value (0 to start).
quint32 crc32(quint32 crc, const char* data, qint64 size);

} // namespace LocalChecksum
