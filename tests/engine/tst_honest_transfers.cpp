// A transfer reports success only for what really happened: servers that cut
// the data short, reset it, or confirm a file they cannot have received
// whole; and a question box opened inside a wait does not stop the engine.

#include "CFtpConnection.h"
#include "FakeFtpServer.h"
#include "TestUtil.h"

#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

struct Session {
    FakeFtpServer server;
    CFtpConnection ftp;
    explicit Session(qint16 timeout = 10) {
        ftp.setTimeout(timeout);
        ftp.setFtpServer(server.host());
        ftp.setPort(server.port());
        ftp.setPassiveMode(true);
        ftp.setZeroCopy(TestUtil::zeroCopyPath());
        server.expectLogin();
    }
};

} // namespace

class TestHonestTransfers : public QObject {
    Q_OBJECT
private slots:
    // Every transfer once with zero copy and once copying.
    void initTestCase_data() { TestUtil::addTransferPaths(); }
    void downloads_data();
    void downloads();
    void uploadConfirmedAfterAResetIsAFailure();
    void nestedLoopKeepsADownloadMoving();
    void nestedLoopInsideConnect();
};

void TestHonestTransfers::downloads_data() {
    QTest::addColumn<QString>("preliminary");
    QTest::addColumn<int>("sent");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("final");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("error"); // 0: success

    const QString announced =
        QStringLiteral("150 Opening BINARY mode data connection for big (400000 bytes).");
    QTest::newRow("whole, as announced") << announced << 400000 << false << "226 Done" << 1 << 0;
    QTest::newRow("short of the announced size")
        << announced << 30000 << false << "226 Done" << 1 << 63;
    QTest::newRow("more than announced") << announced << 400001 << false << "226 Done" << 1 << 63;
    QTest::newRow("reset data connection")
        << "150 Opening" << 30000 << true << "226 Done" << 1 << 10054;
    QTest::newRow("no size announced") << "150 Opening" << 30000 << false << "226 Done" << 1 << 0;
    // ASCII type may change line ends on the way: the size says nothing then.
    QTest::newRow("ASCII type") << announced << 30000 << false << "226 Done" << 0 << 0;
    QTest::newRow("426 after the data")
        << announced << 30000 << false << "426 Connection closed; transfer aborted." << 1 << 43;
    QTest::newRow("multi-line final reply")
        << announced << 400000 << false << "226-Transfer\n226 complete" << 1 << 0;
}

void TestHonestTransfers::downloads() {
    QFETCH(QString, preliminary);
    QFETCH(int, sent);
    QFETCH(bool, reset);
    QFETCH(QString, final);
    QFETCH(int, type);
    QFETCH(int, error);

    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("big"));
    const QByteArray bytes = TestUtil::patternBytes(sent);
    Session s;
    s.server.expect(type == 0 ? "TYPE A" : "TYPE I").reply("200 Type set");
    s.server.expect("PASV").passive().expect("RETR big").reply(preliminary).dataSend(bytes, 8);
    if (reset)
        s.server.dataAbort();
    else
        s.server.dataClose();
    s.server.reply(final);
    QVERIFY(s.ftp.Connect());
    const bool ok = s.ftp.DownloadFile(QStringLiteral("big"), local, type, 0);
    QCOMPARE(ok, error == 0);
    if (error != 0) {
        QCOMPARE(s.ftp.FtpGetLastError(), error);
        QVERIFY(!s.ftp.GetFtpErrorDescription(0).isEmpty());
    }
    // What arrived stays for a resume, whatever the verdict.
    const QByteArray kept = TestUtil::readFile(local);
    QVERIFY(bytes.startsWith(kept));
    if (!reset)
        QCOMPARE(kept.size(), sent);
    QVERIFY(!s.ftp.Busy());
}

void TestHonestTransfers::uploadConfirmedAfterAResetIsAFailure() {
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("up.bin"));
    QVERIFY(TestUtil::writePatternFile(local, 8 * 1024 * 1024));
    Session s;
    s.server.expect("TYPE I").reply("200 Type set").expect("PASV").passive();
    // The server takes 1,000 bytes, resets the data connection and claims success.
    s.server.onCommand(QStringLiteral("STOR"), [](FakeFtpServer& server, const QString&) {
        server.sendReply(QStringLiteral("150 Go ahead"));
        auto* poll = new QTimer(&server);
        QObject::connect(poll, &QTimer::timeout, &server, [&server, poll] {
            if (server.dataBytesReceived() < 1000)
                return;
            poll->deleteLater();
            server.resetData();
            server.sendReply(QStringLiteral("226 Transfer complete."));
        });
        poll->start(5);
    });
    QVERIFY(s.ftp.Connect());
    QVERIFY(!s.ftp.UploadFile(local, QStringLiteral("up.bin"), 1, 0));
    const int error = s.ftp.FtpGetLastError();
    QVERIFY2(error == 10054 || error == 63, qPrintable(QString::number(error)));
    QVERIFY(!s.ftp.Busy());
    // The session goes on.
    s.server.onCommand(QStringLiteral("MKD"), [](FakeFtpServer& server, const QString&) {
        server.sendReply(QStringLiteral("257 \"/d\" created"));
    });
    QVERIFY(s.ftp.CreateDirectory(QStringLiteral("d")));
}

void TestHonestTransfers::nestedLoopKeepsADownloadMoving() {
    // A question box inside a download's wait (Stop's "cancel the transfer?")
    // runs its own loop for longer than the 1 s time-out while the data
    // trickles: the download moves on inside it and does not time out.
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("slow"));
    const QByteArray bytes = TestUtil::patternBytes(40 * 1024);
    Session s(1);
    s.server.expect("TYPE I").reply("200 Type set").expect("PASV").passive();
    s.server.expect("RETR slow").reply("150 Opening (40960 bytes)");
    for (int i = 0; i < 10; ++i)
        s.server.dataSend(bytes.mid(i * 4096, 4096)).pause(250);
    s.server.dataClose().reply("226 Done");

    int insideBox = 0;
    bool boxOpened = false;
    QObject::connect(&s.ftp, &CFtpConnection::DownloadProgress, &s.ftp, [&](qint64) {
        if (boxOpened) {
            ++insideBox;
            return;
        }
        boxOpened = true;
        QEventLoop box;
        QTimer::singleShot(2000, &box, &QEventLoop::quit);
        box.exec();
    });
    QVERIFY(s.ftp.Connect());
    QVERIFY2(s.ftp.DownloadFile(QStringLiteral("slow"), local, 1, 0),
             qPrintable(s.ftp.GetFtpErrorDescription(0)));
    QVERIFY(insideBox >= 3); // progress arrived while the box was open
    QCOMPARE(TestUtil::readFile(local), bytes);
}

void TestHonestTransfers::nestedLoopInsideConnect() {
    // The greeting arrives while a loop of someone else's runs inside the
    // connect wait; it is not lost and the log-in goes on afterwards.
    Session s(5);
    s.server.setGreeting({});
    bool logged = false;
    QObject::connect(&s.ftp, &CFtpConnection::StateChanged, &s.ftp, [&](int state) {
        if (state != CFtpConnection::Connected)
            return;
        QEventLoop box;
        QObject::connect(&s.ftp, &CFtpConnection::SessionProtocolMessage, &box,
                         [&](const QString& text) {
                             logged = text.startsWith(QStringLiteral("220"));
                             box.quit();
                         });
        QTimer::singleShot(0, &s.server, [&s] {
            QVERIFY(TestUtil::waitUntil([&s] { return s.server.controlConnected(); }));
            s.server.sendReply("220 Late but here");
        });
        QTimer::singleShot(4000, &box, &QEventLoop::quit);
        box.exec();
    });
    QVERIFY(s.ftp.Connect());
    QVERIFY(logged);
    QCOMPARE(s.server.commands().value(0), QStringLiteral("USER anonymous"));
}

QTEST_GUILESS_MAIN(TestHonestTransfers)
#include "tst_honest_transfers.moc"
