#include "FakeFtpServer.h"
#include "PyFtpdServer.h"
#include "TestUtil.h"

#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A minimal control-connection client: sends lines, collects what arrives
// together with how many separate arrivals it took.
class LineClient : public QObject {
public:
    QTcpSocket socket;
    QByteArray received;
    int arrivals = 0;

    LineClient() {
        connect(&socket, &QTcpSocket::readyRead, this, [this] {
            received += socket.readAll();
            ++arrivals;
        });
    }
    bool open(quint16 port) {
        socket.connectToHost(QHostAddress::LocalHost, port);
        return TestUtil::waitUntil(
            [this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }
    void send(const QByteArray& line) { socket.write(line + "\r\n"); }
    // Waits until the received text holds a final reply line starting with code.
    bool waitFor(const QByteArray& code, int timeoutMs = 10000) {
        return TestUtil::waitUntil(
            [&] { return received.startsWith(code + ' ') || received.contains("\n" + code + ' '); },
            timeoutMs);
    }
    QByteArray take() {
        const QByteArray all = received;
        received.clear();
        return all;
    }
};

quint16 passivePort(const QByteArray& reply) {
    static const QRegularExpression numbers(
        QStringLiteral("\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)"));
    const auto m = numbers.match(QString::fromLatin1(reply));
    return m.hasMatch() ? quint16(m.captured(5).toUInt() * 256 + m.captured(6).toUInt()) : 0;
}

} // namespace

class TstSupport : public QObject {
    Q_OBJECT
private slots:
    void fakeServerScriptAndTranscript();
    void fakeServerSplitsRepliesIntoArrivals();
    void fakeServerMismatchStopsScript();
    void fakeServerPassiveDownloadAndUpload();
    void fakeServerActiveConnectsOnlyToLoopback();
    void fakeServerHandlersAndClose();
    void pyftpdServesUserAndAnonymousIncoming();
};

void TstSupport::fakeServerScriptAndTranscript() {
    FakeFtpServer server;
    server.expect("USER anonymous")
        .reply("331 Password please")
        .expect("PASS *")
        .reply("230-Welcome\n230 Logged in");
    LineClient client;
    QVERIFY(client.open(server.port()));
    QVERIFY(client.waitFor("220"));
    QCOMPARE(client.take(), QByteArray("220 Fake FTP server ready\r\n"));
    client.send("USER anonymous");
    QVERIFY(client.waitFor("331"));
    client.send("PASS guest@example.invalid");
    QVERIFY(client.waitFor("230"));
    QCOMPARE(client.take(), QByteArray("331 Password please\r\n230-Welcome\r\n230 Logged in\r\n"));
    QCOMPARE(server.commands(), QStringList({"USER anonymous", "PASS guest@example.invalid"}));
    QCOMPARE(server.rawControlBytes(),
             QByteArray("USER anonymous\r\nPASS guest@example.invalid\r\n"));
    QVERIFY(server.errors().isEmpty());
    QVERIFY(server.scriptFinished());
}

void TstSupport::fakeServerSplitsRepliesIntoArrivals() {
    FakeFtpServer server;
    server.setGreeting({});
    server.replyInParts({"220-Hel", "lo\r\n220 Ready\r\n"})
        .expect("PWD")
        .pause(50)
        .reply("257 \"/\"");
    LineClient client;
    QVERIFY(client.open(server.port()));
    QVERIFY(client.waitFor("220"));
    QCOMPARE(client.arrivals, 2);
    QCOMPARE(client.take(), QByteArray("220-Hello\r\n220 Ready\r\n"));
    client.send("PWD");
    QVERIFY(client.waitFor("257"));
    QCOMPARE(client.take(), QByteArray("257 \"/\"\r\n"));
}

void TstSupport::fakeServerMismatchStopsScript() {
    FakeFtpServer server;
    server.expect("USER bob").reply("331 ok").expect("PASS x").reply("230 in");
    LineClient client;
    QVERIFY(client.open(server.port()));
    QVERIFY(client.waitFor("220"));
    client.take();
    client.send("USER alice");
    client.send("PASS x");
    QVERIFY(server.waitForCommands(2));
    QCOMPARE(server.errors().size(), 1);
    QVERIFY(server.errors().first().contains("USER alice"));
    QTest::qWait(20);
    QVERIFY(client.received.isEmpty());
}

void TstSupport::fakeServerPassiveDownloadAndUpload() {
    FakeFtpServer server;
    const QByteArray payload = TestUtil::patternBytes(300000);
    server.expect("PASV")
        .passive()
        .expect("RETR a.bin")
        .reply("150 Opening")
        .dataSend(payload, 3)
        .dataClose()
        .reply("226 Done")
        .expect("PASV")
        .passive("227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .expect("STOR b.bin")
        .reply("150 Go")
        .dataReceive()
        .reply("226 Stored");
    LineClient client;
    QVERIFY(client.open(server.port()));
    QVERIFY(client.waitFor("220"));
    client.take();

    client.send("PASV");
    QVERIFY(client.waitFor("227"));
    const QByteArray pasv = client.take();
    QVERIFY(pasv.startsWith("227 Entering Passive Mode (127,0,0,1,"));
    QTcpSocket data;
    data.connectToHost(QHostAddress::LocalHost, passivePort(pasv));
    QByteArray downloaded;
    bool dataClosed = false;
    connect(&data, &QTcpSocket::readyRead, this, [&] { downloaded += data.readAll(); });
    connect(&data, &QTcpSocket::disconnected, this, [&] { dataClosed = true; });
    client.send("RETR a.bin");
    QVERIFY(client.waitFor("226"));
    QVERIFY(TestUtil::waitUntil([&] { return dataClosed; }));
    downloaded += data.readAll();
    QVERIFY(downloaded == payload);

    client.take();
    client.send("PASV");
    QVERIFY(client.waitFor("227"));
    QTcpSocket upload;
    upload.connectToHost(QHostAddress::LocalHost, passivePort(client.take()));
    QVERIFY(upload.waitForConnected(5000));
    client.send("STOR b.bin");
    QVERIFY(client.waitFor("150"));
    upload.write(payload);
    upload.disconnectFromHost();
    QVERIFY(client.waitFor("226"));
    QCOMPARE(server.uploads().size(), 1);
    QVERIFY(server.uploads().first() == payload);
    QCOMPARE(server.dataConnectionCount(), 2);
    QVERIFY(server.errors().isEmpty());
}

void TstSupport::fakeServerActiveConnectsOnlyToLoopback() {
    QTcpServer clientListener;
    QVERIFY(clientListener.listen(QHostAddress::LocalHost, 0));
    const quint16 p = clientListener.serverPort();
    const QByteArray portArg =
        "127,0,0,1," + QByteArray::number(p / 256) + "," + QByteArray::number(p % 256);

    FakeFtpServer server;
    server.expect("PORT *")
        .reply("200 PORT ok")
        .expect("LIST")
        .reply("150 Here")
        .dataConnect(QHostAddress(QStringLiteral("127.0.0.2")))
        .dataSend("line\r\n")
        .dataClose()
        .reply("226 Done")
        .expect("PORT *")
        .reply("200 PORT ok")
        .expect("LIST")
        .dataConnect();
    LineClient client;
    QVERIFY(client.open(server.port()));
    client.send("PORT " + portArg);
    client.send("LIST");
    // The peer is read as soon as it connects: it hangs up right after sending.
    QHostAddress peer;
    QByteArray listed;
    connect(&clientListener, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* data = clientListener.nextPendingConnection();
        peer = data->peerAddress();
        connect(data, &QTcpSocket::readyRead, this, [&, data] { listed += data->readAll(); });
    });
    QVERIFY(TestUtil::waitUntil([&] { return listed == "line\r\n"; }));
    QCOMPARE(peer, QHostAddress(QStringLiteral("127.0.0.2")));
    QVERIFY(client.waitFor("226"));

    // An address that is no loopback address is refused without any traffic.
    client.send("PORT 999,1,2,3,4,5");
    client.send("LIST");
    QVERIFY(server.waitForCommands(4));
    QVERIFY(TestUtil::waitUntil([&] { return !server.errors().isEmpty(); }));
    QVERIFY(server.errors().first().contains("refused to connect"));
    QCOMPARE(server.dataConnectionCount(), 1);
}

void TstSupport::fakeServerHandlersAndClose() {
    FakeFtpServer server;
    server.onCommand("NOOP", [](FakeFtpServer& s, const QString&) { s.sendReply("200 Fine"); });
    server.onCommand("SITE",
                     [](FakeFtpServer& s, const QString& arg) { s.sendReply("200 " + arg); });
    server.expectLogin("bob").expect("QUIT").reply("221 Bye").closeControl();
    LineClient client;
    QVERIFY(client.open(server.port()));
    QVERIFY(client.waitFor("220"));
    client.take();
    client.send("USER bob");
    client.send("PASS pw");
    client.send("PWD");
    QVERIFY(client.waitFor("257"));
    client.take();
    client.send("NOOP");
    client.send("SITE hello there");
    QVERIFY(TestUtil::waitUntil([&] { return client.received.contains("200 hello there\r\n"); }));
    QCOMPARE(client.take(), QByteArray("200 Fine\r\n200 hello there\r\n"));
    client.send("QUIT");
    QVERIFY(client.waitFor("221"));
    QVERIFY(TestUtil::waitUntil(
        [&] { return client.socket.state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(server.commands(),
             QStringList({"USER bob", "PASS pw", "PWD", "NOOP", "SITE hello there", "QUIT"}));

    // A server that hangs up as soon as it is reached.
    server.setCloseOnConnect(true);
    LineClient second;
    second.socket.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(TestUtil::waitUntil(
        [&] { return second.socket.state() == QAbstractSocket::UnconnectedState; }));
    QVERIFY(second.received.isEmpty());
    QCOMPARE(server.controlConnectionCount(), 2);
}

void TstSupport::pyftpdServesUserAndAnonymousIncoming() {
    PyFtpdServer ftpd;
    QVERIFY2(ftpd.start(), qPrintable(ftpd.lastError()));
    QVERIFY(TestUtil::writePatternFile(ftpd.rootPath() + "/hello.bin", 1234));

    LineClient user;
    QVERIFY(user.open(ftpd.port()));
    QVERIFY(user.waitFor("220"));
    user.send("USER user");
    QVERIFY(user.waitFor("331"));
    user.send("PASS secret");
    QVERIFY(user.waitFor("230"));
    user.send("TYPE I");
    QVERIFY(user.waitFor("200"));
    user.take();
    user.send("SIZE hello.bin");
    QVERIFY(user.waitFor("213"));
    QVERIFY(user.take().contains("213 1234"));
    user.send("MKD made-by-user");
    QVERIFY(user.waitFor("257"));

    LineClient anonymous;
    QVERIFY(anonymous.open(ftpd.port()));
    QVERIFY(anonymous.waitFor("220"));
    anonymous.send("USER anonymous");
    QVERIFY(anonymous.waitFor("331"));
    anonymous.send("PASS guest@example.invalid");
    QVERIFY(anonymous.waitFor("230"));
    anonymous.take();
    anonymous.send("MKD not-allowed");
    QVERIFY(anonymous.waitFor("550"));
    anonymous.take();
    anonymous.send("MKD incoming/allowed");
    QVERIFY(anonymous.waitFor("257"));
    QVERIFY(QFile::exists(ftpd.rootPath() + "/incoming/allowed"));
    QVERIFY(QFile::exists(ftpd.rootPath() + "/made-by-user"));

    ftpd.stop();
    QVERIFY(!ftpd.isRunning());
}

QTEST_GUILESS_MAIN(TstSupport)
#include "tst_support.moc"
