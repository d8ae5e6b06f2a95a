// The waits under load: 200 listings and 200 small transfers in a row on one
// connection. Every call must end with success, and nothing may pile up from
// one call to the next: no running timers, no open sockets (file
// descriptors), no growing memory.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "TestUtil.h"
#include "TimerService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

constexpr int Rounds = 200;
constexpr int WarmUp = 20;
// RSS is coarse (allocator caches, the scripted server's own records of every
// command and upload); a leak of one socket or buffer per call would be far
// above this.
constexpr qint64 RssSlackBytes = 6 * 1024 * 1024;

// AddressSanitizer keeps freed blocks in quarantine, so resident memory grows
// there without a leak; its leak checker covers that build instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool RssIsMeaningful = false;
#else
constexpr bool RssIsMeaningful = true;
#endif

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

int openDescriptors() {
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// What a program's main loop does between two commands: run what is queued,
// including deferred deletions.
void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct Usage {
    qint64 rss = 0;
    int timers = 0;
    int descriptors = 0;
};

} // namespace

class TestLoad : public QObject {
    Q_OBJECT
private slots:
    void manyCallsOnOneConnectionLeaveNothingBehind() {
        if (!QFile::exists(QStringLiteral("/proc/self/statm")))
            QSKIP("needs /proc");
        QTemporaryDir dir;
        const QString upload = dir.filePath("up.bin");
        const QString download = dir.filePath("down.bin");
        const QByteArray upBytes = TestUtil::patternBytes(3 * 4096 + 100);
        const QByteArray downBytes = TestUtil::patternBytes(5000);
        QVERIFY(TestUtil::writeFile(upload, upBytes));
        QByteArray listing;
        for (int i = 0; i < 30; ++i)
            listing += "-rw-r--r-- 1 ftp ftp " + QByteArray::number(i) + " Mar 14 09:30 f" +
                       QByteArray::number(i) + "\r\n";

        FakeFtpServer server;
        server.expectLogin();
        server.onCommand("PASV", [](FakeFtpServer& s, const QString&) { s.passive(); });
        server.onCommand("TYPE", [](FakeFtpServer& s, const QString&) { s.reply("200 Type set"); });
        server.onCommand("REST", [](FakeFtpServer& s, const QString&) { s.reply("350 Restart"); });
        server.onCommand("LIST", [&](FakeFtpServer& s, const QString&) {
            s.reply("150 Here").dataSend(listing).dataClose().reply("226 Done");
        });
        server.onCommand("RETR", [&](FakeFtpServer& s, const QString&) {
            s.reply("150 Sending").dataSend(downBytes).dataClose().reply("226 Done");
        });
        server.onCommand("QUIT", [](FakeFtpServer& s, const QString&) { s.reply("221 Bye"); });
        server.onCommand("STOR", [](FakeFtpServer& s, const QString&) {
            s.reply("150 Receiving").dataReceive().reply("226 Stored");
        });

        CFtpConnection ftp;
        ftp.setTimeout(10);
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setPassiveMode(true);
        settle();
        const int timersBefore = platform::TimerService::runningCount();
        QVERIFY(ftp.Connect());

        Usage warm;
        for (int round = 0; round < Rounds; ++round) {
            std::shared_ptr<CFtpFiles> files;
            QVERIFY2(ftp.EnumFiles(files), qPrintable(QStringLiteral("listing %1: %2")
                                                          .arg(round)
                                                          .arg(ftp.GetFtpErrorDescription(0))));
            QCOMPARE(files->Count(), 30);
            QVERIFY(!ftp.Busy());
            if (round % 2 == 0) {
                QVERIFY2(ftp.DownloadFile("f", download, 1, 0),
                         qPrintable(QStringLiteral("download %1").arg(round)));
            } else {
                QVERIFY2(ftp.UploadFile(upload, "f", 1, 0),
                         qPrintable(QStringLiteral("upload %1").arg(round)));
            }
            QVERIFY(!ftp.Busy());
            settle();
            if (round + 1 == WarmUp) {
                warm = {residentBytes(), platform::TimerService::runningCount(), openDescriptors()};
            }
        }
        QCOMPARE(TestUtil::readFile(download), downBytes);
        QCOMPARE(server.uploads().size(), Rounds / 2);
        QCOMPARE(server.uploads().last(), upBytes);
        QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));

        // Between two calls no wait runs, so no timer may run either.
        QCOMPARE(warm.timers, timersBefore);
        QCOMPARE(platform::TimerService::runningCount(), timersBefore);
        // A data socket that lingers to flush its last bytes may still be open
        // for a moment; it must be gone soon after.
        QVERIFY2(TestUtil::waitUntil(
                     [&] {
                         settle();
                         return openDescriptors() <= warm.descriptors;
                     },
                     5000),
                 qPrintable(QStringLiteral("%1 descriptors open, %2 after the warm-up")
                                .arg(openDescriptors())
                                .arg(warm.descriptors)));
        const qint64 growth = residentBytes() - warm.rss;
        qInfo("resident memory after %d rounds: %+lld KiB since round %d", Rounds, growth / 1024,
              WarmUp);
        QVERIFY2(!RssIsMeaningful || growth < RssSlackBytes,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg(growth / 1024)));

        QVERIFY(ftp.CloseConnection());
        QVERIFY(!ftp.Busy());
    }
};

QTEST_GUILESS_MAIN(TestLoad)
#include "tst_load.moc"
