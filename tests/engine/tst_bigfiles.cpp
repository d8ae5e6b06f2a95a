// Sizes and offsets above 2^32 through the whole engine, with sparse local
// files so nothing of that size is ever written: listed sizes, REST offsets,
// the write position of a resumed download, the read position of a resumed
// upload, and the progress counts.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "TestUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <limits>

namespace {

constexpr qint64 FourGiB = qint64(1) << 32;

struct Session {
    FakeFtpServer server;
    CFtpConnection ftp;
    QList<qint64> progress;

    Session() {
        ftp.setTimeout(10);
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setPassiveMode(true);
        ftp.setZeroCopy(TestUtil::zeroCopyPath());
        QObject::connect(&ftp, &CFtpConnection::DownloadProgress,
                         [this](qint64 n) { progress << n; });
        QObject::connect(&ftp, &CFtpConnection::UploadProgress,
                         [this](qint64 n) { progress << n; });
        server.expectLogin();
    }
};

// A file of the given length that holds only `tail` at its end (and a marker
// just below `markerAt`); the rest is a hole.
bool makeSparse(const QString& path, qint64 length, const QByteArray& tail, qint64 markerAt) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(length))
        return false;
    if (markerAt > 0 && (!file.seek(markerAt - 6) || file.write("MARKER") != 6))
        return false;
    return file.seek(length - tail.size()) && file.write(tail) == tail.size();
}

QByteArray readAt(const QString& path, qint64 offset, qint64 n) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return {};
    return file.read(n);
}

} // namespace

class TestBigFiles : public QObject {
    Q_OBJECT
private slots:
    // Every transfer once with zero copy and once copying.
    void initTestCase_data() { TestUtil::addTransferPaths(); }
    void listedSizesAboveFourGiB() {
        Session s;
        s.server.expect("PASV")
            .passive()
            .expect("LIST")
            .reply("150 Here")
            .dataSend("-rw-r--r-- 1 ftp ftp 4294967295 Jan  2  2020 below\r\n"
                      "-rw-r--r-- 1 ftp ftp 4294967296 Jan  2  2020 exactly\r\n"
                      "-rw-r--r-- 1 ftp ftp 5368709120 Jan  2  2020 five.iso\r\n"
                      "-rw-r--r-- 1 ftp ftp 9223372036854775807 Jan  2  2020 largest\r\n"
                      "-rw-r--r-- 1 ftp ftp 9223372036854775808 Jan  2  2020 beyond\r\n"
                      "01-02-20  10:30AM           6442450944 dos.img\r\n")
            .dataClose()
            .reply("226 Done");
        QVERIFY(s.ftp.Connect());
        std::shared_ptr<CFtpFiles> files;
        QVERIFY(s.ftp.EnumFiles(files));
        QCOMPARE(files->Count(), 6);
        const QList<qint64> expected = {FourGiB - 1,        FourGiB,
                                        5 * (FourGiB / 4),  std::numeric_limits<qint64>::max(),
                                        0 /* unreadable */, 6 * (FourGiB / 4)};
        for (int i = 0; i < files->Count(); ++i)
            QCOMPARE(files->Item(i + 1)->FileSize, expected[i]);
    }

    void downloadResumesPastFourGiB() {
        QTemporaryDir dir;
        const QString local = dir.filePath("huge.bin");
        const qint64 start = FourGiB + 12345;
        QVERIFY(makeSparse(local, start, QByteArray("head"), FourGiB));
        const QByteArray tail = TestUtil::patternBytes(100000);

        Session s;
        s.server.expect("TYPE I").reply("200 Type set").expect("PASV").passive();
        s.server.expect("REST 4294979641").reply("350 Restarting at 4294979641");
        s.server.expect("RETR huge.bin")
            .reply("150 Sending")
            .dataSend(tail, 3)
            .dataClose()
            .reply("226 Done");
        QVERIFY(s.ftp.Connect());
        QVERIFY2(s.ftp.DownloadFile("huge.bin", local, 1, start),
                 qPrintable(s.ftp.GetFtpErrorDescription(0)));
        QVERIFY(s.server.errors().isEmpty());
        QCOMPARE(QFileInfo(local).size(), start + tail.size());
        QCOMPARE(readAt(local, start, tail.size()), tail);
        // What was there before the start point stays.
        QCOMPARE(readAt(local, start - 4, 4), QByteArray("head"));
        QCOMPARE(readAt(local, FourGiB - 6, 6), QByteArray("MARKER"));
        QVERIFY(!s.progress.isEmpty());
        QVERIFY(s.progress.first() > start);
        QCOMPARE(s.progress.last(), start + tail.size());
    }

    void uploadResumesPastFourGiB() {
        QTemporaryDir dir;
        const QString local = dir.filePath("huge.bin");
        const QByteArray tail = TestUtil::patternBytes(3 * 4096 + 77);
        const qint64 start = FourGiB + 4096 + 1;
        QVERIFY(makeSparse(local, start + tail.size(), tail, 0));

        Session s;
        s.server.expect("TYPE I").reply("200 Type set").expect("PASV").passive();
        s.server.expect("REST 4294971393").reply("350 Restarting");
        s.server.expect("STOR huge.bin").reply("150 Receiving").dataReceive().reply("226 Stored");
        QVERIFY(s.ftp.Connect());
        QVERIFY2(s.ftp.UploadFile(local, "huge.bin", 1, start),
                 qPrintable(s.ftp.GetFtpErrorDescription(0)));
        QVERIFY2(s.server.errors().isEmpty(), qPrintable(s.server.errors().join('\n')));
        QCOMPARE(s.server.uploads().value(0), tail);
        QVERIFY(s.progress.first() > start);
        QCOMPARE(s.progress.last(), start + tail.size());
    }
};

QTEST_GUILESS_MAIN(TestBigFiles)
#include "tst_bigfiles.moc"
