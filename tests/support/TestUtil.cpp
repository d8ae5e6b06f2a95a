#include "TestUtil.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>

namespace TestUtil {

namespace {
bool transferPaths = false;
} // namespace

QByteArray patternBytes(qint64 n) {
    QByteArray bytes(qsizetype(n), Qt::Uninitialized);
    char* out = bytes.data();
    for (qint64 i = 0; i < n; ++i)
        out[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

bool writePatternFile(const QString& path, qint64 n) {
    return writeFile(path, patternBytes(n));
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray checksum(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray fileChecksum(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

bool waitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    // Bounded by the deadline; each pass sleeps until an event or 10 ms.
    while (!pred() && !deadline.hasExpired())
        QTest::qWait(5);
    return pred();
}

void addTransferPaths() {
    transferPaths = true;
    QTest::addColumn<bool>("zeroCopy");
    QTest::newRow("zero copy") << true;
    QTest::newRow("buffered") << false;
}

bool zeroCopyPath() {
    if (!transferPaths)
        return true;
    return *static_cast<bool*>(QTest::qGlobalData("zeroCopy", QMetaType::Bool));
}

} // namespace TestUtil
