// TLS on the platform socket against an in-process TLS server that shares
// one session cache across its connections, as FTP servers do: explicit and
// implicit handshakes, the certificate and the verdict the caller decides
// on, session resumption on every data connection with TLS 1.2 and 1.3 (also
// when each TLS 1.3 ticket is good only once), and the orderly close that
// keeps an upload's tail.

#include "EventPump.h"
#include "Fault.h"
#include "Socket.h"
#include "TestTls.h"
#include "TestUtil.h"

#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <cstring>
#include <memory>

using platform::Socket;
using TestTls::Version;

namespace {

// A listener whose connections become TestTls streams; implicit ones start
// TLS at once, explicit ones after "AUTH TLS".
class TlsServer : public QObject {
public:
    TlsServer(const TestTls::Credentials& credentials, Version version, bool implicit)
        : context(credentials, version), m_Implicit(implicit) {
        listener.listen(QHostAddress::LocalHost, 0);
        connect(&listener, &QTcpServer::newConnection, this, [this] {
            // Bounded by the connections queued right now.
            while (QTcpSocket* s = listener.nextPendingConnection())
                adopt(s);
        });
    }

    void adopt(QTcpSocket* s) {
        auto* stream = new TestTls::Stream(s, this);
        streams.append(stream);
        connect(stream, &TestTls::Stream::readyRead, this, [this, stream] {
            received[stream] += stream->readAll();
            if (!stream->isTls() && received[stream].endsWith("AUTH TLS\r\n")) {
                received[stream].clear();
                stream->write("234 Proceed\r\n");
                stream->startServerEncryption(context);
            }
        });
        if (m_Implicit)
            stream->startServerEncryption(context);
    }

    quint16 port() const { return listener.serverPort(); }
    TestTls::Stream* last() const { return streams.isEmpty() ? nullptr : streams.last(); }

    TestTls::ServerContext context;
    QTcpServer listener;
    QList<TestTls::Stream*> streams;
    QHash<TestTls::Stream*, QByteArray> received;

private:
    bool m_Implicit;
};

bool waitFor(const std::function<bool()>& condition, int ms = 10000) {
    return TestUtil::waitUntil(condition, ms);
}

QSsl::SslProtocol pinned(Version version) {
    return version == Version::Tls12 ? QSsl::TlsV1_2 : QSsl::TlsV1_3;
}

// Connects to 127.0.0.1:port and, for TLS, sends AUTH TLS and starts the
// handshake, waiting for its end unless `early`.
bool connectExplicit(Socket& socket, quint16 port, bool tls, bool early = false) {
    socket.setTlsCapable(tls);
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!waitFor([&] { return socket.state() == Socket::Connected; }))
        return false;
    if (!tls)
        return true;
    socket.send("AUTH TLS\r\n");
    if (!waitFor([&] { return socket.bytesAvailable() >= 13; }))
        return false;
    socket.readAvailable();
    socket.startClientEncryption();
    return early || waitFor([&] { return socket.isEncrypted(); });
}

} // namespace

class TstSocketTls : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void handshake_data();
    void handshake();
    void certificateVerdicts_data();
    void certificateVerdicts();
    void encryptedEventComesFromTheEventLoop();
    void resumptionOnEveryDataConnection_data();
    void resumptionOnEveryDataConnection();
    void dataConnectionWithAnotherCertificateFails();
    void handshakeFailureIsAnErrorEvent();
    void finishDeliversTheWholeUpload_data();
    void finishDeliversTheWholeUpload();
    void oneCompletionPerSend_data();
    void oneCompletionPerSend();
    void reusedArrayKeepsWhatWasSent_data() { oneCompletionPerSend_data(); }
    void reusedArrayKeepsWhatWasSent();
    void fingerprints_data();
    void fingerprints();
};

void TstSocketTls::initTestCase() {
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    QVERIFY2(TestTls::localhost().ok(), qPrintable(TestTls::localhost().error));
}

void TstSocketTls::handshake_data() {
    QTest::addColumn<bool>("implicit");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("protocol");
    QTest::newRow("explicit TLS 1.2") << false << int(Version::Tls12) << "TLS 1.2";
    QTest::newRow("explicit TLS 1.3") << false << int(Version::Tls13) << "TLS 1.3";
    QTest::newRow("implicit TLS 1.2") << true << int(Version::Tls12) << "TLS 1.2";
    QTest::newRow("implicit TLS 1.3") << true << int(Version::Tls13) << "TLS 1.3";
}

void TstSocketTls::handshake() {
    QFETCH(bool, implicit);
    QFETCH(int, version);
    QFETCH(QString, protocol);
    TlsServer server(TestTls::localhost(), Version(version), implicit);
    QVERIFY(server.context.error().isEmpty());

    Socket socket;
    socket.setTlsCapable(true);
    QSignalSpy encrypted(&socket, &Socket::encrypted);
    QByteArray got;
    connect(&socket, &Socket::dataArrival, this,
            [&] { got += socket.readAvailable().toByteArray(); });
    if (implicit) {
        socket.connectToHostEncrypted(QStringLiteral("localhost"), server.port());
    } else {
        socket.connectToHost(QStringLiteral("localhost"), server.port());
        QVERIFY(waitFor([&] { return socket.state() == Socket::Connected; }));
        QVERIFY(!socket.isEncrypted());
        socket.send("AUTH TLS\r\n");
        QVERIFY(waitFor([&] { return got.endsWith("\r\n"); }));
        QCOMPARE(got, QByteArray("234 Proceed\r\n"));
        got.clear();
        socket.startClientEncryption();
    }
    QVERIFY(waitFor([&] { return encrypted.count() == 1; }));
    QVERIFY(socket.isEncrypted());
    // Under TLS 1.3 the client is done a flight before the server.
    QVERIFY(waitFor([&] { return server.last()->isEncrypted(); }));

    const platform::TlsPeer peer = socket.tlsPeer();
    QCOMPARE(peer.protocol, protocol);
    QVERIFY(peer.subject.contains(QLatin1String("CN=localhost")));
    QCOMPARE(peer.issuer, peer.subject); // self-signed
    QCOMPARE(peer.sha256, TestTls::localhost().sha256);
    QVERIFY(peer.notBefore < peer.notAfter);
    QVERIFY(!peer.verified()); // not in the system's store
    QVERIFY(!peer.errors.isEmpty());

    // Plain text both ways through the encryption.
    socket.send("USER anonymous\r\n");
    QVERIFY(waitFor([&] { return server.received[server.last()].endsWith("\r\n"); }));
    QCOMPARE(server.received[server.last()], QByteArray("USER anonymous\r\n"));
    server.last()->write("331 Password\r\n");
    QVERIFY(waitFor([&] { return got.endsWith("\r\n"); }));
    QCOMPARE(got, QByteArray("331 Password\r\n"));
}

void TstSocketTls::certificateVerdicts_data() {
    QTest::addColumn<bool>("trustLocalCa");
    QTest::addColumn<QString>("peerName");
    QTest::addColumn<bool>("otherCertificate");
    QTest::addColumn<bool>("verified");
    QTest::addColumn<QString>("errorPart"); // a word of one of the errors

    QTest::newRow("unknown issuer") << false << "localhost" << false << false << "self-signed";
    QTest::newRow("trusted, name matches") << true << "localhost" << false << true << "";
    QTest::newRow("trusted, name does not match")
        << true << "ftp.example.org" << false << false << "host name";
    QTest::newRow("another certificate") << true << "localhost" << true << false << "";
}

void TstSocketTls::certificateVerdicts() {
    QFETCH(bool, trustLocalCa);
    QFETCH(QString, peerName);
    QFETCH(bool, otherCertificate);
    QFETCH(bool, verified);
    QFETCH(QString, errorPart);

    const TestTls::Credentials& served = otherCertificate ? TestTls::other() : TestTls::localhost();
    QVERIFY2(served.ok(), qPrintable(served.error));
    TlsServer server(served, Version::Any, true);
    Socket socket;
    socket.setTlsCapable(true);
    if (trustLocalCa)
        socket.setTlsCaCertificates({TestTls::localhost().certificate});
    socket.setTlsPeerName(peerName);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(waitFor([&] { return socket.isEncrypted(); }));
    const platform::TlsPeer peer = socket.tlsPeer();
    QCOMPARE(peer.verified(), verified);
    QCOMPARE(peer.sha256, served.sha256);
    if (!errorPart.isEmpty())
        QVERIFY2(peer.errors.join(QLatin1Char('\n')).contains(errorPart, Qt::CaseInsensitive),
                 qPrintable(peer.errors.join(QLatin1Char('\n'))));
    // Nothing of the caller's has been sent: the server saw the handshake only.
    QCOMPARE(server.received.value(server.last()), QByteArray());
}

void TstSocketTls::encryptedEventComesFromTheEventLoop() {
    TlsServer server(TestTls::localhost(), Version::Any, false);
    Socket socket;
    socket.setTlsCapable(true);
    bool inside = false;
    int insideEvents = 0;
    connect(&socket, &Socket::encrypted, this, [&] { insideEvents += inside ? 1 : 0; });
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QVERIFY(waitFor([&] { return socket.state() == Socket::Connected; }));
    socket.send("AUTH TLS\r\n");
    QVERIFY(waitFor([&] { return socket.bytesAvailable() >= 13; }));
    socket.readAvailable();
    inside = true;
    socket.startClientEncryption();
    // A handshake needs the server: pumping inside an operation would show here.
    inside = false;
    QVERIFY(waitFor([&] { return socket.isEncrypted(); }));
    QCOMPARE(insideEvents, 0);

    // Starting TLS twice, or on a socket that cannot carry it, is a fault.
    bool faulted = false;
    try {
        socket.startClientEncryption();
    } catch (const platform::Fault& fault) {
        faulted = fault.number() == Socket::ErrWrongState;
    }
    QVERIFY(faulted);
    Socket plain;
    faulted = false;
    try {
        plain.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.port());
    } catch (const platform::Fault& fault) {
        faulted = fault.number() == Socket::ErrWrongState;
    }
    QVERIFY(faulted);
}

void TstSocketTls::resumptionOnEveryDataConnection_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("singleUse");
    QTest::addColumn<bool>("active");
    QTest::newRow("TLS 1.2, passive") << int(Version::Tls12) << false << false;
    QTest::newRow("TLS 1.3, passive") << int(Version::Tls13) << false << false;
    QTest::newRow("TLS 1.3, single-use tickets") << int(Version::Tls13) << true << false;
    QTest::newRow("TLS 1.2, active") << int(Version::Tls12) << false << true;
    QTest::newRow("TLS 1.3, single-use tickets, active") << int(Version::Tls13) << true << true;
}

void TstSocketTls::resumptionOnEveryDataConnection() {
    QFETCH(int, version);
    QFETCH(bool, singleUse);
    QFETCH(bool, active);

    // One context for the control and the data connections, as one server.
    TlsServer server(TestTls::localhost(), Version(version), true);
    server.context.setSingleUseSessions(singleUse);
    Socket control;
    control.setTlsCapable(true);
    control.setTlsProtocol(pinned(Version(version)));
    control.connectToHostEncrypted(QStringLiteral("localhost"), server.port());
    QVERIFY(waitFor([&] { return control.isEncrypted(); }));
    // A TLS 1.3 server sends its tickets after the handshake.
    QVERIFY(waitFor([&] { return control.tlsSessionCount() > 0; }));

    // Listings, downloads and uploads in any order: every data connection
    // must resume, including the one right after an upload.
    const QList<bool> uploads = {false, true, true, false, true, false, false, true};
    for (qsizetype i = 0; i < uploads.size(); ++i) {
        const bool upload = uploads[i];
        const QByteArray payload = TestUtil::patternBytes(100000 + i * 777);
        Socket data;
        data.setTlsCapable(true);
        data.setTlsSessionSource(&control);
        TestTls::Stream* peer = nullptr;
        if (active) {
            // The server connects to the client, which is still the TLS client.
            data.listen();
            QTcpSocket* toClient = new QTcpSocket(&server);
            toClient->connectToHost(QHostAddress::LocalHost, data.localPort());
            int request = 0;
            connect(&data, &Socket::connectionRequest, this, [&](int id) { request = id; });
            QVERIFY(waitFor([&] { return request != 0; }));
            data.accept(request);
            peer = new TestTls::Stream(toClient, &server);
            peer->startServerEncryption(server.context);
            data.startClientEncryption();
        } else {
            server.listener.disconnect(&server);
            connect(&server.listener, &QTcpServer::newConnection, &server, [&] {
                while (QTcpSocket* s = server.listener.nextPendingConnection()) {
                    peer = new TestTls::Stream(s, &server);
                    peer->startServerEncryption(server.context);
                }
            });
            data.connectToHost(QStringLiteral("127.0.0.1"), server.port());
            QVERIFY(waitFor([&] { return data.state() == Socket::Connected; }));
            data.startClientEncryption();
        }
        QVERIFY(waitFor([&] { return peer && peer->isEncrypted() && data.isEncrypted(); }));
        QVERIFY2(peer->sessionReused(),
                 qPrintable(QStringLiteral("data connection %1 (%2) not resumed")
                                .arg(i + 1)
                                .arg(upload ? "upload" : "download")));

        QByteArray got;
        connect(&data, &Socket::dataArrival, this,
                [&] { got += data.readAvailable().toByteArray(); });
        QByteArray serverGot;
        connect(peer, &TestTls::Stream::readyRead, this, [&] { serverGot += peer->readAll(); });
        bool clientClosed = false;
        connect(&data, &Socket::closed, this, [&] { clientClosed = true; });
        if (upload) {
            data.send(payload);
            data.finish();
            QVERIFY(waitFor([&] { return peer->peerClosed() || peer->closeNotifyReceived(); }));
            QVERIFY(waitFor([&] { return serverGot.size() >= payload.size(); }));
            QVERIFY(peer->closeNotifyReceived());
            peer->close();
            QVERIFY(waitFor([&] { return clientClosed; }));
            QCOMPARE(serverGot, payload);
        } else {
            peer->write(payload);
            peer->close();
            QVERIFY(waitFor([&] { return clientClosed; }));
            QCOMPARE(got, payload);
        }
        data.close();
        QObject::disconnect(peer, nullptr, this, nullptr);
    }
}

void TstSocketTls::dataConnectionWithAnotherCertificateFails() {
    TlsServer server(TestTls::localhost(), Version::Any, true);
    TlsServer impostor(TestTls::other(), Version::Any, true);
    QVERIFY(impostor.context.error().isEmpty());
    Socket control;
    control.setTlsCapable(true);
    control.connectToHostEncrypted(QStringLiteral("localhost"), server.port());
    QVERIFY(waitFor([&] { return control.isEncrypted() && control.tlsSessionCount() > 0; }));

    Socket data;
    data.setTlsCapable(true);
    data.setTlsSessionSource(&control);
    QSignalSpy errors(&data, &Socket::error);
    QSignalSpy encrypted(&data, &Socket::encrypted);
    data.connectToHost(QStringLiteral("127.0.0.1"), impostor.port());
    QVERIFY(waitFor([&] { return data.state() == Socket::Connected; }));
    data.startClientEncryption();
    QVERIFY(waitFor([&] { return errors.count() > 0; }));
    QCOMPARE(errors.first().at(0).toInt(), Socket::ErrTlsPeerChanged);
    QCOMPARE(encrypted.count(), 0);
    QVERIFY(!data.isEncrypted());
    QCOMPARE(data.state(), int(Socket::Error));
}

void TstSocketTls::handshakeFailureIsAnErrorEvent() {
    // A server that answers the client hello with plain text.
    QTcpServer plain;
    QVERIFY(plain.listen(QHostAddress::LocalHost, 0));
    connect(&plain, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* s = plain.nextPendingConnection())
            connect(s, &QTcpSocket::readyRead, s, [s] { s->write("500 What?\r\n"); });
    });
    Socket socket;
    socket.setTlsCapable(true);
    QSignalSpy errors(&socket, &Socket::error);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), plain.serverPort());
    QVERIFY(waitFor([&] { return errors.count() > 0; }));
    QCOMPARE(errors.first().at(0).toInt(), Socket::ErrTlsHandshake);
    QVERIFY(!errors.first().at(1).toString().isEmpty());
    QVERIFY(!socket.isEncrypted());
}

void TstSocketTls::finishDeliversTheWholeUpload_data() {
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("version");
    // Sent and finished while the handshake is still under way, as an
    // upload does when the server's 150 comes before the handshake ends.
    QTest::addColumn<bool>("early");
    QTest::newRow("plain") << false << int(Version::Any) << false;
    QTest::newRow("TLS 1.2") << true << int(Version::Tls12) << false;
    QTest::newRow("TLS 1.3") << true << int(Version::Tls13) << false;
    QTest::newRow("TLS 1.2, during the handshake") << true << int(Version::Tls12) << true;
    QTest::newRow("TLS 1.3, during the handshake") << true << int(Version::Tls13) << true;
}

void TstSocketTls::finishDeliversTheWholeUpload() {
    QFETCH(bool, tls);
    QFETCH(int, version);
    QFETCH(bool, early);
    TlsServer server(TestTls::localhost(), Version(version), false);
    Socket socket;
    QVERIFY(connectExplicit(socket, server.port(), tls, early));
    QVERIFY(waitFor([&] { return server.last() != nullptr; }));
    TestTls::Stream* peer = server.last();
    const QByteArray& serverGot = server.received[peer];
    QSignalSpy closed(&socket, &Socket::closed);

    // Several megabytes queued at once, then finish() straight away: the
    // tail must not be lost to a reset, and the server must see its end.
    const QByteArray payload = TestUtil::patternBytes(6 * 1024 * 1024 + 13);
    socket.send(payload);
    socket.finish();
    QCOMPARE(closed.count(), 0);
    QVERIFY(waitFor([&] { return serverGot.size() >= payload.size() && peer->peerClosed(); }));
    QCOMPARE(serverGot.size(), payload.size());
    QVERIFY(serverGot == payload);
    QCOMPARE(peer->closeNotifyReceived(), tls);
    // The peer's own close ends it on this side.
    QVERIFY(waitFor([&] { return closed.count() == 1; }));
    QCOMPARE(socket.state(), int(Socket::Closing));
    socket.close();
    QCOMPARE(socket.state(), int(Socket::Closed));
}

// A sender that sends its next block on each "send complete" (as an upload
// does) gets exactly one per block: a second one would have it queue two
// blocks at a time, then four, and hold the file in memory.
void TstSocketTls::oneCompletionPerSend_data() {
    QTest::addColumn<bool>("tls");
    QTest::addColumn<int>("version");
    QTest::newRow("plain") << false << int(Version::Any);
    QTest::newRow("TLS 1.2") << true << int(Version::Tls12);
    QTest::newRow("TLS 1.3") << true << int(Version::Tls13);
}

void TstSocketTls::oneCompletionPerSend() {
    QFETCH(bool, tls);
    QFETCH(int, version);
    TlsServer server(TestTls::localhost(), Version(version), false);
    Socket socket;
    QVERIFY(connectExplicit(socket, server.port(), tls));
    QVERIFY(waitFor([&] { return server.last() != nullptr; }));
    const QByteArray& serverGot = server.received[server.last()];

    constexpr int Blocks = 200;
    const QByteArray block = TestUtil::patternBytes(64 * 1024);
    int sends = 0;
    int completions = 0;
    // What the AUTH TLS line and the handshake still report comes first.
    QTest::qWait(100);
    connect(&socket, &Socket::sendComplete, this, [&] {
        ++completions;
        if (sends < Blocks) {
            ++sends;
            socket.send(block);
        }
    });
    ++sends;
    socket.send(block);
    const qint64 total = qint64(Blocks) * block.size();
    QVERIFY(waitFor([&] { return serverGot.size() >= total && completions >= Blocks; }));
    // Late duplicates would still be on their way.
    QTest::qWait(200);
    QCOMPARE(sends, Blocks);
    QCOMPARE(completions, Blocks);
    QCOMPARE(serverGot.size(), total);
}

// Qt queues a reference to a shared array: refilling it for the next block
// (as an upload does) must not change bytes still waiting in Qt, where a
// large first send keeps them.
void TstSocketTls::reusedArrayKeepsWhatWasSent() {
    QFETCH(bool, tls);
    QFETCH(int, version);
    TlsServer server(TestTls::localhost(), Version(version), false);
    Socket socket;
    QVERIFY(connectExplicit(socket, server.port(), tls));
    QVERIFY(waitFor([&] { return server.last() != nullptr; }));
    const QByteArray& serverGot = server.received[server.last()];
    QByteArray expected = TestUtil::patternBytes(8 * 1024 * 1024);
    socket.send(expected);
    QByteArray block(64 * 1024, '\0');
    for (char fill = 'a'; fill <= 'h'; ++fill) {
        std::memset(block.data(), fill, size_t(block.size()));
        socket.sendShared(block);
        expected += block;
    }
    QVERIFY(waitFor([&] { return serverGot.size() >= expected.size(); }));
    QVERIFY(serverGot == expected);
}

void TstSocketTls::fingerprints_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    const QByteArray digest =
        QByteArray::fromHex("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    const QString colons = platform::fingerprintText(digest);
    QTest::newRow("as shown") << colons << true;
    QTest::newRow("lower case, no prefix") << colons.mid(7).toLower() << true;
    QTest::newRow("bare hex") << QString::fromLatin1(digest.toHex()) << true;
    QTest::newRow("sha256 prefix in lower case")
        << "sha256:" + QString::fromLatin1(digest.toHex()) << true;
    QTest::newRow("base64") << "SHA256:" + QString::fromLatin1(digest.toBase64()) << true;
    QTest::newRow("base64 without padding")
        << QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals)) << true;
    QTest::newRow("one digit short") << colons.chopped(1) << false;
    QTest::newRow("SHA-1 length") << "SHA256:" + QString::fromLatin1(digest.left(20).toHex())
                                  << false;
    QTest::newRow("not hex") << "SHA256:" + QString(64, QLatin1Char('g')) << false;
    QTest::newRow("empty") << "" << false;
}

void TstSocketTls::fingerprints() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto parsed = platform::parseFingerprint(text);
    QCOMPARE(parsed.has_value(), valid);
    if (parsed) {
        QCOMPARE(platform::fingerprintText(*parsed),
                 QStringLiteral("SHA256:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:"
                                "45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF"));
    }
}

QTEST_GUILESS_MAIN(TstSocketTls)
#include "tst_socket_tls.moc"
