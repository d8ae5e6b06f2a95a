#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Small helpers shared by the tests: patterned data, files, checksums, and a
// bounded wait on a condition.
namespace TestUtil {

// n bytes of a pattern that does not repeat every 256 bytes, so a block
// written at the wrong offset shows up in a comparison.
QByteArray patternBytes(qint64 n);

// Writes n pattern bytes to path (replacing it); returns false on failure.
bool writePatternFile(const QString& path, qint64 n);
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// Hex SHA-256 of a file's content; empty when it cannot be read.
QByteArray fileChecksum(const QString& path);
QByteArray checksum(const QByteArray& bytes);

// Pumps events until pred() holds or timeoutMs passes; returns pred().
bool waitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);

// Runs every row of a test class twice: on the zero-copy path and on the
// copying one. Call it from the class's initTestCase_data(); the sessions
// the tests make take zeroCopyPath() for their engine's setZeroCopy().
void addTransferPaths();
// The path of the running row; zero copy (the default) without the table.
bool zeroCopyPath();

} // namespace TestUtil
