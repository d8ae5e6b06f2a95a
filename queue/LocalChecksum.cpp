#include "LocalChecksum.h"

#include <QCryptographicHash>
#include <QFile>
#include <array>
#include <optional>

namespace {

constexpr std::array<quint32, 256> makeCrcTable() {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

constexpr std::array<quint32, 256> CrcTable = makeCrcTable();

std::optional<QCryptographicHash::Algorithm> hashAlgorithm(const QString& name) {
    if (name == u"SHA-256")
        return QCryptographicHash::Sha256;
    if (name == u"SHA-1")
        return QCryptographicHash::Sha1;
    if (name == u"MD5")
        return QCryptographicHash::Md5;
    return std::nullopt;
}

} // namespace

namespace LocalChecksum {

quint32 crc32(quint32 crc, const char* data, qint64 size) {
    crc = ~crc;
    for (qint64 i = 0; i < size; ++i)
        crc = CrcTable[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QString ofFile(const QString& path, const QString& algorithm) {
    const auto hash = hashAlgorithm(algorithm);
    if (!hash && algorithm != u"CRC32")
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (hash) {
        QCryptographicHash digest(*hash);
        if (!digest.addData(&file))
            return {};
        return QString::fromLatin1(digest.result().toHex());
    }
    quint32 crc = 0;
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0)
            return {};
        if (n == 0)
            break;
        crc = crc32(crc, block.constData(), n);
    }
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

} // namespace LocalChecksum
