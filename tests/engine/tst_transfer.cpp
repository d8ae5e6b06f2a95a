// Data connections, listing, download and upload against the scripted
// server: exact command transcripts, state and progress events, and every
// way a transfer can end.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "Fault.h"
#include "TestUtil.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int LoginCommands = 3; // USER, PASS, PWD

// One logged-in engine on a scripted server, with every event it raised.
struct Session {
    FakeFtpServer server;
    CFtpConnection ftp;
    QList<int> states;
    QList<qint64> downloads;
    QList<qint64> uploads;
    QList<qint64> listing;
    QStringList log;

    explicit Session(bool passive = true) {
        ftp.setTimeout(10);
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setPassiveMode(passive);
        ftp.setZeroCopy(TestUtil::zeroCopyPath());
        QObject::connect(&ftp, &CFtpConnection::StateChanged, [this](int s) { states << s; });
        QObject::connect(&ftp, &CFtpConnection::DownloadProgress,
                         [this](qint64 n) { downloads << n; });
        QObject::connect(&ftp, &CFtpConnection::UploadProgress, [this](qint64 n) { uploads << n; });
        QObject::connect(&ftp, &CFtpConnection::ListingDataArrived,
                         [this](qint64 n) { listing << n; });
        QObject::connect(&ftp, &CFtpConnection::SessionProtocolMessage,
                         [this](const QString& text, int) { log << text; });
        server.expect("USER anonymous")
            .reply("331 Password required")
            .expect("PASS *")
            .reply("230 Logged in")
            .expect("PWD")
            .reply("257 \"/\" is current");
    }
    bool login() {
        const bool ok = ftp.Connect();
        states.clear();
        log.clear();
        return ok;
    }
    // The commands after the log-in.
    QStringList transfer() const { return server.commands().mid(LoginCommands); }
    // Sets up the data connection of the chosen mode in the script.
    FakeFtpServer& dataSetUp() {
        if (ftp.PassiveMode())
            return server.expect("PASV").passive();
        return server.expect("PORT *").reply("200 PORT ok");
    }
    // In active mode the server connects once the transfer command came.
    FakeFtpServer& connectBack() { return ftp.PassiveMode() ? server : server.dataConnect(); }
};

const QByteArray Listing = "drwxr-xr-x 2 ftp ftp 4096 Mar 14 09:30 pub\r\n"
                           "-rw-r--r-- 1 ftp ftp 1234 Jan  2  2020 read me.txt\r\n";

bool portFree(quint16 port) {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, port);
}

QList<qint64> deltas(const QList<qint64>& values, qint64 start) {
    QList<qint64> result;
    for (qint64 v : values) {
        result << v - start;
        start = v;
    }
    return result;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
private slots:
    // Every transfer once with zero copy and once copying.
    void initTestCase_data() { TestUtil::addTransferPaths(); }
    void activePortsCountUpAndSkipATakenPort() {
        for (quint16 port = 11000; port <= 11003; ++port) {
            if (!portFree(port))
                QSKIP("ports 11000-11003 are in use on this machine");
        }
        Session s(false);
        for (int i = 0; i < 3; ++i)
            s.dataSetUp()
                .expect("LIST")
                .reply("150 Here")
                .dataConnect()
                .dataClose()
                .reply("226 Done");
        QVERIFY(s.login());
        std::shared_ptr<CFtpFiles> files;
        for (int i = 0; i < 3; ++i)
            QVERIFY2(s.ftp.EnumFiles(files), qPrintable(s.log.join("\n")));
        QCOMPARE(s.transfer().filter("PORT"),
                 QStringList(
                     {"PORT 127,0,0,1,42,248", "PORT 127,0,0,1,42,249", "PORT 127,0,0,1,42,250"}));

        // Another program holds 11000: the next engine says 11001 and logs nothing about it.
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 11000));
        Session t(false);
        t.dataSetUp().expect("LIST").reply("150 Here").dataConnect().dataClose().reply("226 Done");
        QVERIFY(t.login());
        QVERIFY(t.ftp.EnumFiles(files));
        QCOMPARE(t.transfer().first(), QString("PORT 127,0,0,1,42,249"));
        QCOMPARE(t.log.first(), QString("PORT 127,0,0,1,42,249"));
        QCOMPARE(t.states, QList<int>({5, 6, 7, 8}));
    }

    // A server that connects from a fixed port cannot reach one its earlier
    // connection still holds: after its 425 the command goes once more, to
    // the next port, with the restart point again; a second 425 is the end.
    void activeRetriesTheNextPortOnce_data() {
        QTest::addColumn<bool>("secondConnects");
        QTest::newRow("the next port works") << true;
        QTest::newRow("the next port fails too") << false;
    }
    void activeRetriesTheNextPortOnce() {
        QFETCH(bool, secondConnects);
        const QByteArray data = TestUtil::patternBytes(5000);
        QTemporaryDir dir;
        const QString local = dir.filePath("a.bin");
        QVERIFY(TestUtil::writeFile(local, data.left(1000)));
        Session s(false);
        s.server.expect("TYPE I").reply("200 Type set");
        for (int round = 0; round < 2; ++round) {
            s.dataSetUp().expect("REST 1000").reply("350 Restarting");
            s.server.expect("RETR a.bin").reply("150 Connecting");
            if (round == 1 && secondConnects)
                s.server.dataConnect().dataSend(data.mid(1000)).dataClose().reply("226 Done");
            else
                s.server.reply("425 Could not open data connection: Cannot assign address");
        }
        QVERIFY(s.login());
        QCOMPARE(s.ftp.DownloadFile("a.bin", local, 1, 1000), secondConnects);
        QVERIFY2(s.server.errors().isEmpty(), qPrintable(s.server.errors().join('\n')));
        QCOMPARE(s.transfer().filter("PORT").size(), 2);
        QCOMPARE(s.transfer().filter("REST 1000").size(), 2);
        QVERIFY(s.log.join('\n').contains("trying the next port"));
        QCOMPARE(TestUtil::readFile(local), secondConnects ? data : data.left(1000));
        if (!secondConnects)
            QCOMPARE(s.ftp.FtpGetLastError(), 42);
    }

    void passiveReplies_data() {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("connects");
        QTest::newRow("plain") << "227 Entering Passive Mode (127,0,0,1,{p1},{p2})" << true;
        // Only the port counts: the data connection goes to the control peer.
        QTest::newRow("another address")
            << "227 Entering Passive Mode (127,0,0,2,{p1},{p2})" << true;
        QTest::newRow("no parentheses") << "227 Entering Passive Mode 127,0,0,1,4,1" << false;
        QTest::newRow("five fields") << "227 Entering Passive Mode (127,0,0,1,4)" << false;
        QTest::newRow("seven fields") << "227 Entering Passive Mode (127,0,0,1,4,1,1)" << false;
        QTest::newRow("port not a number") << "227 Entering Passive Mode (127,0,0,1,x,1)" << false;
        QTest::newRow("port field above 255")
            << "227 Entering Passive Mode (127,0,0,1,300,1)" << false;
        QTest::newRow("negative port field")
            << "227 Entering Passive Mode (127,0,0,1,-1,1)" << false;
    }
    void passiveReplies() {
        QFETCH(QString, reply);
        QFETCH(bool, connects);
        Session s;
        s.server.expect("PASV").passive(reply);
        if (connects)
            s.server.expect("LIST")
                .reply("150 Here")
                .dataSend(Listing)
                .dataClose()
                .reply("226 Done");
        QVERIFY(s.login());
        std::shared_ptr<CFtpFiles> files;
        QCOMPARE(s.ftp.EnumFiles(files), connects);
        QVERIFY(!s.ftp.Busy());
        if (connects) {
            QCOMPARE(files->Count(), 2);
            QVERIFY(s.log.contains("Connected to: 127.0.0.1:" +
                                   QString::number(s.server.passivePort())));
            QCOMPARE(s.states, QList<int>({5, 6, 7, 8}));
        } else {
            QCOMPARE(s.ftp.FtpGetLastError(), 42);
            QCOMPARE(s.ftp.GetFtpErrorDescription(0), QString("Can't open data connection."));
            QCOMPARE(s.transfer(), QStringList{"PASV"});
            QCOMPARE(s.server.dataConnectionCount(), 0);
        }
    }

    void listingReplies_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QString>("finalReplies");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("error");
        QTest::newRow("150 then 226") << true << "150 Here\n226 Done" << true << 0;
        QTest::newRow("125 then 250, active") << false << "125 Here\n250 Done" << true << 0;
        QTest::newRow("refused 550") << true << "550 No such directory" << false << 54;
        QTest::newRow("refused after 150") << true << "150 Here\n451 Local error" << false << 45;
    }
    void listingReplies() {
        QFETCH(bool, passive);
        QFETCH(QString, finalReplies);
        QFETCH(bool, ok);
        QFETCH(int, error);
        Session s(passive);
        s.dataSetUp().expect("LIST");
        if (ok) {
            const QStringList lines = finalReplies.split('\n');
            s.server.reply(lines[0]);
            s.connectBack().dataSend(Listing, 3).dataClose().reply(lines[1]);
        } else {
            s.server.reply(finalReplies);
        }
        QVERIFY(s.login());
        auto files = std::make_shared<CFtpFiles>();
        const auto before = files;
        QCOMPARE(s.ftp.EnumFiles(files), ok);
        if (ok) {
            QCOMPARE(files->Count(), 2);
            QCOMPARE(files->Item(2)->FileName, QString("read me.txt"));
            QCOMPARE(s.states, QList<int>({5, 6, 7, 8}));
            QCOMPARE(s.listing.last(), qint64(Listing.size()));
            QVERIFY(std::is_sorted(s.listing.begin(), s.listing.end()));
        } else {
            QCOMPARE(files, before);
            QCOMPARE(s.ftp.FtpGetLastError(), error);
        }
    }

    void listingIgnoresADataConnectionFromAnotherHost() {
        Session s(false);
        s.dataSetUp()
            .expect("LIST")
            .reply("150 Here")
            .dataConnect(QHostAddress("127.0.0.2"))
            .dataSend("-rw-r--r-- 1 evil evil 66 Jan 1 2020 planted\r\n")
            .dataConnect()
            .dataSend(Listing)
            .dataClose()
            .reply("226 Done");
        QVERIFY(s.login());
        std::shared_ptr<CFtpFiles> files;
        QVERIFY2(s.ftp.EnumFiles(files), qPrintable(s.server.errors().join('\n')));
        QCOMPARE(files->Count(), 2);
        QCOMPARE(files->Item(1)->FileName, QString("pub"));
        QVERIFY(s.log.contains("Refused data connection from: 127.0.0.2"));
    }

    void download_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QByteArray>("localBefore"); // null: no local file
        QTest::addColumn<QString>("restReply");
        QTest::addColumn<QString>("retrReply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("error");
        QTest::addColumn<QByteArray>("localAfter"); // null: no local file

        const QByteArray data = TestUtil::patternBytes(20000);
        const QByteArray old(5000, 'o');
        QTest::newRow("whole file over a longer one") << true << qint64(0) << old << ""
                                                      << "150 Sending" << true << 0 << data;
        QTest::newRow("whole file, active, new") << false << qint64(0) << QByteArray() << ""
                                                 << "125 Sending" << true << 0 << data;
        QTest::newRow("resume at the local length")
            << true << qint64(1000) << old.left(1000) << "350 Restarting"
            << "150 Sending" << true << 0 << old.left(1000) + data;
        QTest::newRow("resume cuts an old tail")
            << true << qint64(1000) << old << "350 Restarting"
            << "150 Sending" << true << 0 << old.left(1000) + data;
        QTest::newRow("restart refused") << true << qint64(1000) << old << "502 No REST"
                                         << "" << false << 49 << old;
        QTest::newRow("refused, existing file unchanged")
            << true << qint64(0) << old << ""
            << "550 No such file" << false << 54 << old;
        QTest::newRow("refused, no file created")
            << false << qint64(0) << QByteArray() << ""
            << "550 No such file" << false << 54 << QByteArray();
        QTest::newRow("aborted by the server")
            << true << qint64(0) << QByteArray() << ""
            << "426 Connection closed" << false << 43 << data.left(10000);
    }
    void download() {
        QFETCH(bool, passive);
        QFETCH(qint64, start);
        QFETCH(QByteArray, localBefore);
        QFETCH(QString, restReply);
        QFETCH(QString, retrReply);
        QFETCH(bool, ok);
        QFETCH(int, error);
        QFETCH(QByteArray, localAfter);
        const QByteArray data = TestUtil::patternBytes(20000);
        QTemporaryDir dir;
        const QString local = dir.filePath("a.bin");
        if (!localBefore.isNull())
            QVERIFY(TestUtil::writeFile(local, localBefore));

        Session s(passive);
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp();
        if (start > 0)
            s.server.expect("REST " + QString::number(start)).reply(restReply);
        if (!restReply.startsWith("5")) {
            s.server.expect("RETR a.bin");
            if (retrReply.startsWith("426")) {
                s.server.reply("150 Sending").dataSend(data.left(10000)).reply(retrReply);
            } else if (retrReply.startsWith("1")) {
                s.server.reply(retrReply);
                s.connectBack().dataSend(data, 4).dataClose().reply("226 Done");
            } else {
                s.server.reply(retrReply);
            }
        }
        QVERIFY(s.login());
        QCOMPARE(s.ftp.DownloadFile("a.bin", local, 1, start), ok);
        QVERIFY(!s.ftp.Busy());
        QVERIFY2(s.server.errors().isEmpty(), qPrintable(s.server.errors().join('\n')));
        if (!ok)
            QCOMPARE(s.ftp.FtpGetLastError(), error);
        if (localAfter.isNull())
            QVERIFY(!QFile::exists(local));
        else if (error == 43) // data after the 426 is not written
            QVERIFY(localAfter.startsWith(TestUtil::readFile(local)));
        else
            QCOMPARE(TestUtil::readFile(local), localAfter);
        if (restReply.startsWith("5"))
            QVERIFY(s.transfer().filter("RETR").isEmpty());
        if (ok) {
            QCOMPARE(s.states, QList<int>({5, 6, 9, 10}));
            QVERIFY(s.downloads.first() > start);
            QCOMPARE(s.downloads.last(), start + data.size());
            QCOMPARE(s.transfer().filter("REST").size(), start > 0 ? 1 : 0);
        }
    }

    void resumePastTwoGibibytes() {
        QTemporaryDir dir;
        const QString local = dir.filePath("huge.bin");
        const qint64 start = 3000000000LL;
        Session s;
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp().expect("REST 3000000000").reply("350 Restarting");
        s.server.expect("RETR huge.bin")
            .reply("150 Sending")
            .dataSend("tail")
            .dataClose()
            .reply("226 Done");
        QVERIFY(s.login());
        QVERIFY(s.ftp.DownloadFile("huge.bin", local, 1, start));
        QCOMPARE(s.downloads, QList<qint64>{start + 4});
        QFile file(local);
        QCOMPARE(file.size(), start + 4);
        QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(start));
        QCOMPARE(file.readAll(), QByteArray("tail"));
    }

    // TYPE before every transfer unless the owner asks otherwise (the
    // queue's workers); then once a session, and again after a failure.
    void repeatedType_data() {
        QTest::addColumn<bool>("skip");
        QTest::addColumn<bool>("firstRefused");
        QTest::addColumn<int>("types");
        QTest::newRow("default: before each transfer") << false << false << 3;
        QTest::newRow("skipped: once a session") << true << false << 1;
        QTest::newRow("skipped: said again after a failure") << true << true << 2;
    }
    void repeatedType() {
        QFETCH(bool, skip);
        QFETCH(bool, firstRefused);
        QFETCH(int, types);
        QTemporaryDir dir;
        const QByteArray data = TestUtil::patternBytes(3000);
        Session s;
        s.ftp.setSkipRepeatedType(skip);
        for (int i = 0; i < 3; ++i) {
            if (i == 0 || !skip || (firstRefused && i == 1))
                s.server.expect("TYPE I").reply("200 Type set");
            s.dataSetUp().expect("RETR a.bin");
            if (i == 0 && firstRefused)
                s.server.reply("550 No such file");
            else
                s.server.reply("150 Sending").dataSend(data).dataClose().reply("226 Done");
        }
        QVERIFY(s.login());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(s.ftp.DownloadFile("a.bin", dir.filePath("a.bin"), 1, 0),
                     i > 0 || !firstRefused);
        QVERIFY2(s.server.errors().isEmpty(), qPrintable(s.server.errors().join('\n')));
        QCOMPARE(s.transfer().filter("TYPE").size(), types);
    }

    void downloadToAFullDiskFails() {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full here");
        Session s;
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp()
            .expect("RETR a.bin")
            .reply("150 Sending")
            .dataSend(TestUtil::patternBytes(4096));
        s.server.reply("226 Done");
        QVERIFY(s.login());
        QVERIFY(!s.ftp.DownloadFile("a.bin", "/dev/full", 1, 0));
        QVERIFY(!s.ftp.Busy());
        QCOMPARE(s.ftp.FtpGetLastError(), 45);
        QVERIFY(s.ftp.GetFtpErrorDescription(0).contains("/dev/full"));
    }

    void downloadStopped_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("error");
        QTest::newRow("time-out") << "timeout" << 58;
        QTest::newRow("cancel") << "cancel" << 61;
        QTest::newRow("transfer cancelled, server says 426") << "abort426" << 61;
        QTest::newRow("transfer cancelled, server says 225") << "abort225" << 61;
    }
    void downloadStopped() {
        QFETCH(QString, how);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString local = dir.filePath("a.bin");
        const QByteArray part = TestUtil::patternBytes(3000);
        Session s;
        s.ftp.setTimeout(how == "timeout" ? 1 : 10);
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp().expect("RETR a.bin").reply("150 Sending").dataSend(part);
        if (how == "abort426")
            s.server.expect("ABOR").reply("426 Transfer aborted\n226 Abort done");
        else if (how == "abort225")
            s.server.expect("ABOR").reply("225 Abort done");
        else
            s.server.stall();
        QObject::connect(&s.ftp, &CFtpConnection::DownloadProgress, &s.ftp, [&] {
            if (how == "cancel")
                s.ftp.CancelAnyCall();
            else if (how.startsWith("abort"))
                s.ftp.CancelTransfer();
        });
        QVERIFY(s.login());
        QVERIFY(!s.ftp.DownloadFile("a.bin", local, 1, 0));
        QCOMPARE(s.ftp.FtpGetLastError(), error);
        QVERIFY(!s.ftp.Busy());
        // What arrived stays for a later resume.
        const QByteArray kept = TestUtil::readFile(local);
        QVERIFY(!kept.isEmpty() && part.startsWith(kept));
    }

    // "Stop" answered No during a download: the transfer goes on, and it
    // still owns the connection, so a second command is refused as busy
    // instead of taking over the data connection.
    void declinedStopKeepsTransferBusy() {
        QTemporaryDir dir;
        const QString local = dir.filePath("a.bin");
        const QByteArray data = TestUtil::patternBytes(8000);
        Session s;
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp().expect("RETR a.bin").reply("150 Sending").dataSend(data.left(3000));
        s.server.pause(50).dataSend(data.mid(3000)).dataClose().reply("226 Done");
        bool asked = false;
        QObject::connect(&s.ftp, &CFtpConnection::DownloadProgress, &s.ftp, [&] {
            if (asked)
                return;
            asked = true;
            QVERIFY(!s.ftp.CloseConnection());
            QCOMPARE(s.ftp.FtpGetLastError(), 59);
            QVERIFY(s.ftp.Busy());
            std::shared_ptr<CFtpFiles> files;
            QVERIFY(!s.ftp.EnumFiles(files));
            QCOMPARE(s.ftp.FtpGetLastError(), 60);
        });
        QVERIFY(s.login());
        QVERIFY(s.ftp.DownloadFile("a.bin", local, 1, 0));
        QVERIFY(asked);
        QVERIFY(!s.ftp.Busy());
        QCOMPARE(TestUtil::readFile(local), data);
    }

    void uploadBlocks_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QList<qint64>>("blocks");
        QTest::newRow("empty") << true << 0 << qint64(0) << QList<qint64>{};
        QTest::newRow("100 bytes, active") << false << 100 << qint64(0) << QList<qint64>{100};
        // One upload block is 64 KiB.
        constexpr int Block = 64 * 1024;
        QTest::newRow("two full blocks")
            << true << 2 * Block << qint64(0) << QList<qint64>{Block, Block};
        QTest::newRow("two blocks and a part")
            << true << 2 * Block + 1808 << qint64(0) << QList<qint64>{Block, Block, 1808};
        QTest::newRow("one byte short of a block")
            << true << Block - 1 << qint64(0) << QList<qint64>{Block - 1};
        QTest::newRow("resume at 500")
            << true << 500 + Block + 100 << qint64(500) << QList<qint64>{Block, 100};
    }
    void uploadBlocks() {
        QFETCH(bool, passive);
        QFETCH(int, size);
        QFETCH(qint64, start);
        QFETCH(QList<qint64>, blocks);
        QTemporaryDir dir;
        const QString local = dir.filePath("up.bin");
        const QByteArray bytes = TestUtil::patternBytes(size);
        QVERIFY(TestUtil::writeFile(local, bytes));
        // Uploading only reads: a read-only file will do.
        QVERIFY(QFile::setPermissions(local, QFile::ReadOwner));

        Session s(passive);
        s.server.expect("TYPE A").reply("200 Type set");
        // REST only to resume: "REST 0" is refused by some servers.
        s.dataSetUp();
        if (start > 0)
            s.server.expect("REST " + QString::number(start)).reply("350 Restarting");
        s.server.expect("STOR up.bin").reply("150 Receiving");
        s.connectBack().dataReceive().reply("226 Stored");
        QVERIFY(s.login());
        QVERIFY(s.ftp.UploadFile(local, "up.bin", 0, start));
        QVERIFY(!s.ftp.Busy());
        QVERIFY2(s.server.errors().isEmpty(), qPrintable(s.server.errors().join('\n')));
        QCOMPARE(s.transfer().size(), start > 0 ? 4 : 3);
        QCOMPARE(s.server.uploads().value(0), bytes.mid(start));
        QCOMPARE(deltas(s.uploads, start), blocks);
        QCOMPARE(s.states, QList<int>({5, 6, 9, 10, 10}));
        QCOMPARE(TestUtil::readFile(local), bytes);
    }

    void uploadOfAMissingFileSendsNothing() {
        QTemporaryDir dir;
        Session s;
        QVERIFY(s.login());
        try {
            s.ftp.UploadFile(dir.filePath("missing.bin"), "x", 1, 0);
            QFAIL("no fault");
        } catch (const platform::Fault& fault) {
            QCOMPARE(fault.number(), 53);
            QVERIFY(!fault.description().isEmpty());
        }
        QVERIFY(!s.ftp.Busy());
        QVERIFY(s.transfer().isEmpty());
        QVERIFY(!QFile::exists(dir.filePath("missing.bin")));
    }

    void uploadStopped_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("error");
        QTest::newRow("server aborts with 426") << "426" << 43;
        QTest::newRow("transfer cancelled") << "abort" << 61;
        QTest::newRow("time-out before the server answers") << "timeout" << 58;
    }
    void uploadStopped() {
        QFETCH(QString, how);
        QFETCH(int, error);
        QTemporaryDir dir;
        const QString local = dir.filePath("up.bin");
        QVERIFY(TestUtil::writePatternFile(local, 4 * 1024 * 1024));
        Session s;
        s.ftp.setTimeout(how == "timeout" ? 1 : 10);
        s.server.expect("TYPE I").reply("200 Type set");
        s.dataSetUp().expect("STOR up.bin");
        if (how == "426") {
            s.server.reply("150 Receiving\n426 Connection closed; transfer aborted.");
        } else if (how == "abort") {
            s.server.reply("150 Receiving").expect("ABOR").reply("426 Aborted\n226 Abort done");
            QObject::connect(&s.ftp, &CFtpConnection::UploadProgress, &s.ftp,
                             [&] { s.ftp.CancelTransfer(); });
        } else {
            s.server.stall();
        }
        QVERIFY(s.login());
        QVERIFY(!s.ftp.UploadFile(local, "up.bin", 1, 0));
        QCOMPARE(s.ftp.FtpGetLastError(), error);
        QVERIFY(!s.ftp.Busy());
        QVERIFY(!s.states.contains(10));
    }
};

QTEST_GUILESS_MAIN(TestTransfer)
#include "tst_transfer.moc"
