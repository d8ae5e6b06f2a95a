// The scripted server's FTP over TLS and RFC 2428 side, driven by the
// platform socket as client: AUTH TLS, PBSZ, PROT, FEAT, EPSV and EPRT,
// TLS on the data connections with the resumption of each recorded, the
// refusal of one that does not resume, implicit TLS and IPv6 on ::1.

#include "ExtendedAddress.h"
#include "FakeFtpServer.h"
#include "Socket.h"
#include "TestTls.h"
#include "TestUtil.h"

#include <QSslSocket>
#include <QTest>

using platform::Socket;

namespace {

// A control connection on the platform socket that reads whole replies.
class Client : public QObject {
public:
    Socket control;
    QByteArray received;

    Client() {
        control.setTlsCapable(true);
        connect(&control, &Socket::dataArrival, this,
                [this] { received += control.readAvailable().toByteArray(); });
    }
    bool reply(const QByteArray& code) {
        const bool ok = TestUtil::waitUntil([&] {
            return received.startsWith(code + ' ') || received.contains("\n" + code + ' ');
        });
        if (ok)
            received.clear();
        return ok;
    }
    bool command(const QByteArray& line, const QByteArray& code) {
        control.send(line + "\r\n");
        return reply(code);
    }
};

struct DataResult {
    QByteArray bytes;
    bool closed = false;
};

} // namespace

class TstFakeServerTls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void explicitTlsWithResumedDataConnections_data();
    void explicitTlsWithResumedDataConnections();
    void dataConnectionWithoutResumptionIsRefused();
    void implicitTlsGreetsAfterTheHandshake();
    void ipv6ExtendedPassiveAndActive();
};

void TstFakeServerTls::initTestCase() {
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    QVERIFY2(TestTls::localhost().ok(), qPrintable(TestTls::localhost().error));
}

void TstFakeServerTls::explicitTlsWithResumedDataConnections_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("TLS 1.2") << int(TestTls::Version::Tls12);
    QTest::newRow("TLS 1.3") << int(TestTls::Version::Tls13);
}

void TstFakeServerTls::explicitTlsWithResumedDataConnections() {
    QFETCH(int, version);
    const QByteArray listing = "type=file;size=3;modify=20240102030405; a.txt\r\n";
    const QByteArray upload = TestUtil::patternBytes(300000);
    FakeFtpServer server;
    server.setTlsVersion(TestTls::Version(version));
    server.setRequireSessionReuse(true);
    server.expect("FEAT")
        .reply(FakeFtpServer::featReply({"AUTH TLS", "PBSZ", "PROT", "EPSV", "MLST type*;size*;"}))
        .expectAuthTls()
        .expect("PBSZ 0")
        .reply("200 PBSZ=0")
        .expect("PROT P")
        .reply("200 Protection level set to P")
        .expect("EPSV")
        .extendedPassive()
        .expect("MLSD")
        .reply("150 Here comes the listing")
        .dataSend(listing)
        .dataClose()
        .reply("226 Done")
        .expect("EPSV")
        .extendedPassive()
        .expect("STOR up.bin")
        .reply("150 Ok to send data")
        .dataReceive()
        .reply("226 Transfer complete");

    Client client;
    client.control.connectToHost(server.host(), server.port());
    QVERIFY(client.reply("220"));
    QVERIFY(client.command("FEAT", "211"));
    QVERIFY(client.command("AUTH TLS", "234"));
    client.control.startClientEncryption();
    QVERIFY(TestUtil::waitUntil([&] { return client.control.isEncrypted(); }));
    // Under TLS 1.3 the client is done a flight before the server.
    QVERIFY(TestUtil::waitUntil([&] { return server.controlEncrypted(); }));
    QCOMPARE(server.controlTlsProtocol(),
             TestTls::Version(version) == TestTls::Version::Tls12 ? "TLSv1.2" : "TLSv1.3");
    QVERIFY(client.command("PBSZ 0", "200"));
    QVERIFY(client.command("PROT P", "200"));

    for (int i = 0; i < 2; ++i) {
        client.control.send("EPSV\r\n");
        QVERIFY(TestUtil::waitUntil([&] { return client.received.contains("229 "); }));
        const auto port = ExtendedAddress::ParseEpsvReply(QString::fromLatin1(client.received));
        client.received.clear();
        QVERIFY(port);
        Socket data;
        data.setTlsCapable(true);
        data.setTlsSessionSource(&client.control);
        DataResult result;
        connect(&data, &Socket::dataArrival, this,
                [&] { result.bytes += data.readAvailable().toByteArray(); });
        connect(&data, &Socket::closed, this, [&] { result.closed = true; });
        data.connectToHost(server.host(), *port);
        QVERIFY(TestUtil::waitUntil([&] { return data.state() == Socket::Connected; }));
        data.startClientEncryption();
        if (i == 0) {
            QVERIFY(client.command("MLSD", "226"));
            QVERIFY(TestUtil::waitUntil([&] { return result.closed; }));
            QCOMPARE(result.bytes, listing);
        } else {
            QVERIFY(client.command("STOR up.bin", "150"));
            data.send(upload);
            data.finish();
            QVERIFY(client.reply("226"));
            QVERIFY(TestUtil::waitUntil([&] { return result.closed; }));
        }
        data.close();
    }
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
    QVERIFY(server.scriptFinished());
    QCOMPARE(server.dataSessionsReused(), QList<bool>({true, true}));
    QCOMPARE(server.dataCloseNotifies(), QList<bool>({true}));
    QCOMPARE(server.uploads(), QList<QByteArray>({upload}));
}

void TstFakeServerTls::dataConnectionWithoutResumptionIsRefused() {
    FakeFtpServer server;
    server.setRequireSessionReuse(true);
    server.expectAuthTls()
        .expect("PROT P")
        .reply("200 Protection level set to P")
        .expect("PASV")
        .passive()
        .expect("LIST")
        .reply("150 Here comes the listing")
        .dataSend("x")
        .dataClose()
        .reply("226 Done");

    Client client;
    client.control.connectToHost(server.host(), server.port());
    QVERIFY(client.reply("220"));
    QVERIFY(client.command("AUTH TLS", "234"));
    client.control.startClientEncryption();
    QVERIFY(TestUtil::waitUntil([&] { return client.control.isEncrypted(); }));
    QVERIFY(client.command("PROT P", "200"));
    client.control.send("PASV\r\n");
    QVERIFY(TestUtil::waitUntil([&] { return client.received.contains("227 "); }));
    client.received.clear();

    // A data connection with a fresh session, as a careless client makes it.
    Socket data;
    data.setTlsCapable(true);
    data.connectToHost(server.host(), server.passivePort());
    QVERIFY(TestUtil::waitUntil([&] { return data.state() == Socket::Connected; }));
    data.startClientEncryption();
    client.control.send("LIST\r\n");
    QVERIFY(client.reply("522"));
    QCOMPARE(server.dataSessionsReused(), QList<bool>({false}));
    QVERIFY(!server.errors().isEmpty());
}

void TstFakeServerTls::implicitTlsGreetsAfterTheHandshake() {
    FakeFtpServer server;
    server.setImplicitTls(true);
    server.expectLogin();
    Client client;
    client.control.connectToHostEncrypted(server.host(), server.port());
    QVERIFY(client.reply("220"));
    QVERIFY(client.control.isEncrypted());
    QVERIFY(client.command("USER anonymous", "331"));
    QVERIFY(client.command("PASS guest", "230"));
    QVERIFY(server.controlEncrypted());
    QCOMPARE(server.commands(), QStringList({"USER anonymous", "PASS guest"}));
}

void TstFakeServerTls::ipv6ExtendedPassiveAndActive() {
    FakeFtpServer server(QHostAddress(QHostAddress::LocalHostIPv6));
    if (!server.errors().isEmpty())
        QSKIP("no IPv6 loopback here");
    QCOMPARE(server.host(), QStringLiteral("::1"));
    server.expect("EPSV")
        .extendedPassive()
        .expect("RETR a")
        .reply("150 Opening")
        .dataSend("passive over IPv6")
        .dataClose()
        .reply("226 Done")
        .expect("EPRT |2|::1|*")
        .reply("200 EPRT command successful")
        .expect("RETR b")
        .reply("150 Opening")
        .dataConnect()
        .dataSend("active over IPv6")
        .dataClose()
        .reply("226 Done");

    Client client;
    client.control.connectToHost(server.host(), server.port());
    QVERIFY(client.reply("220"));
    client.control.send("EPSV\r\n");
    QVERIFY(TestUtil::waitUntil([&] { return client.received.contains("229 "); }));
    const auto port = ExtendedAddress::ParseEpsvReply(QString::fromLatin1(client.received));
    client.received.clear();
    QVERIFY(port);
    DataResult passive;
    Socket data;
    connect(&data, &Socket::dataArrival, this,
            [&] { passive.bytes += data.readAvailable().toByteArray(); });
    connect(&data, &Socket::closed, this, [&] { passive.closed = true; });
    data.connectToHost(server.host(), *port);
    QVERIFY(client.command("RETR a", "226"));
    QVERIFY(TestUtil::waitUntil([&] { return passive.closed; }));
    QCOMPARE(passive.bytes, QByteArray("passive over IPv6"));
    QCOMPARE(server.lastDataPeer(), QHostAddress(QHostAddress::LocalHostIPv6));
    data.close();

    Socket listener;
    listener.setLocalAddress(QHostAddress(QHostAddress::LocalHostIPv6));
    listener.listen();
    QVERIFY(client.command(
        ExtendedAddress::BuildEprtArgument(listener.localAddress(), listener.localPort())
            .prepend(QLatin1String("EPRT "))
            .toLatin1(),
        "200"));
    int request = 0;
    connect(&listener, &Socket::connectionRequest, this, [&](int id) { request = id; });
    client.control.send("RETR b\r\n");
    QVERIFY(TestUtil::waitUntil([&] { return request != 0; }));
    QCOMPARE(listener.requestAddress(request), QHostAddress(QHostAddress::LocalHostIPv6));
    DataResult active;
    connect(&listener, &Socket::dataArrival, this,
            [&] { active.bytes += listener.readAvailable().toByteArray(); });
    connect(&listener, &Socket::closed, this, [&] { active.closed = true; });
    listener.accept(request);
    QVERIFY(client.reply("226"));
    QVERIFY(TestUtil::waitUntil([&] { return active.closed; }));
    QCOMPARE(active.bytes, QByteArray("active over IPv6"));
    QVERIFY2(server.errors().isEmpty(), qPrintable(server.errors().join('\n')));
}

QTEST_GUILESS_MAIN(TstFakeServerTls)
#include "tst_fake_server_tls.moc"
