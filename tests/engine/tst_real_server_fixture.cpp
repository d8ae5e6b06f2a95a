// The options of the real-server fixture do what the TLS and IPv6 tests will
// rely on: each server speaks TLS with the certificate made at start (it
// verifies for 127.0.0.1), explicit and implicit where offered; a pinned TLS
// version holds -- a client that only speaks the other version is refused --
// so a test pinned to TLS 1.2 or 1.3 really runs that version; a server told
// to require TLS session reuse refuses a data connection that does not
// resume, so a passing transfer proves reuse; and each server serves on ::1.

#include "RealFtpServer.h"
#include "TestUtil.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTest>

using Kind = RealFtpServer::Kind;
using Tls = RealFtpServer::Tls;
using TlsVersion = RealFtpServer::TlsVersion;
Q_DECLARE_METATYPE(RealFtpServer::Kind)
Q_DECLARE_METATYPE(RealFtpServer::Tls)
Q_DECLARE_METATYPE(RealFtpServer::TlsVersion)

namespace {

// The next complete reply (RFC 959 framing), or what came before the bound.
QByteArray reply(QSslSocket& socket, QByteArray& buffer, int timeoutMs = 10000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        buffer += socket.readAll();
        qsizetype start = 0;
        QByteArray code;
        for (qsizetype lf; (lf = buffer.indexOf('\n', start)) >= 0; start = lf + 1) {
            const QByteArray line = buffer.mid(start, lf - start);
            const bool opens = code.isEmpty();
            if (opens && line.size() >= 4 && line.at(3) == '-') {
                code = line.left(3);
                continue;
            }
            if (opens || (line.startsWith(code) && line.size() >= 4 && line.at(3) == ' ')) {
                const QByteArray whole = buffer.left(lf + 1);
                buffer.remove(0, lf + 1);
                return whole;
            }
        }
        if (deadline.hasExpired() || socket.state() != QAbstractSocket::ConnectedState)
            return std::exchange(buffer, {});
        socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
}

QByteArray command(QSslSocket& socket, QByteArray& buffer, const QByteArray& line) {
    socket.write(line + "\r\n");
    return reply(socket, buffer);
}

QSslConfiguration trusting(const RealFtpServer& server, QSsl::SslProtocol protocol) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(server.certificatePath()));
    config.setProtocol(protocol);
    return config;
}

} // namespace

class TestRealServerFixture : public QObject {
    Q_OBJECT

    // Opens the control connection and brings up TLS the server's way;
    // returns false with the reason in *why.
    static bool secure(QSslSocket& socket, QByteArray& buffer, const RealFtpServer& server,
                       QString* why) {
        if (server.options().tls == Tls::Implicit) {
            socket.connectToHostEncrypted(server.host(), server.port());
            if (!socket.waitForEncrypted(10000)) {
                *why = socket.errorString();
                return false;
            }
            const QByteArray greeting = reply(socket, buffer);
            if (!greeting.startsWith("220")) {
                *why = "greeting over TLS: " + QString::fromUtf8(greeting);
                return false;
            }
            return true;
        }
        socket.connectToHost(server.host(), server.port());
        if (!socket.waitForConnected(10000)) {
            *why = socket.errorString();
            return false;
        }
        const QByteArray greeting = reply(socket, buffer);
        const QByteArray auth = command(socket, buffer, "AUTH TLS");
        if (!greeting.startsWith("220") || !auth.startsWith("234")) {
            *why = QString::fromUtf8(greeting + auth);
            return false;
        }
        socket.startClientEncryption();
        if (!socket.waitForEncrypted(10000)) {
            *why = socket.errorString();
            return false;
        }
        return true;
    }

    // Logs in on a secured control connection.
    static bool logIn(QSslSocket& socket, QByteArray& buffer, const RealFtpServer& server) {
        // vsftpd logs anonymous in at USER already.
        QByteArray loggedIn = command(socket, buffer, "USER " + server.userName().toUtf8());
        if (loggedIn.startsWith("331"))
            loggedIn = command(socket, buffer, "PASS " + server.password().toUtf8());
        return loggedIn.startsWith("230");
    }

private slots:
    void tls_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<Tls>("tls");
        QTest::addColumn<TlsVersion>("version");
        for (Kind kind : {Kind::Vsftpd, Kind::Proftpd, Kind::PureFtpd, Kind::Pyftpdlib}) {
            for (Tls tls : {Tls::Explicit, Tls::Implicit}) {
                for (TlsVersion version : {TlsVersion::Tls12, TlsVersion::Tls13}) {
                    QTest::addRow("%s %s TLS %s", qPrintable(RealFtpServer::kindName(kind)),
                                  tls == Tls::Explicit ? "explicit" : "implicit",
                                  version == TlsVersion::Tls12 ? "1.2" : "1.3")
                        << kind << tls << version;
                }
            }
        }
    }
    void tls() {
        QFETCH(Kind, kind);
        QFETCH(Tls, tls);
        QFETCH(TlsVersion, version);
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        RealFtpServer::Options options;
        options.tls = tls;
        options.tlsVersion = version;
        const QString unavailable = RealFtpServer::unavailableReason(kind, options);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server(kind, options);
        QVERIFY2(server.start(), qPrintable(server.lastError()));

        const QSsl::SslProtocol pinned =
            version == TlsVersion::Tls12 ? QSsl::TlsV1_2 : QSsl::TlsV1_3;
        const QSsl::SslProtocol other =
            version == TlsVersion::Tls12 ? QSsl::TlsV1_3 : QSsl::TlsV1_2;
        {
            // The certificate verifies for the address, and the version is the pinned one.
            QSslSocket socket;
            socket.setSslConfiguration(trusting(server, QSsl::TlsV1_2OrLater));
            QByteArray buffer;
            QString why;
            QVERIFY2(secure(socket, buffer, server, &why), qPrintable(why));
            QCOMPARE(socket.sessionProtocol(), pinned);
            QVERIFY(logIn(socket, buffer, server));
            QVERIFY(command(socket, buffer, "QUIT").startsWith("221"));
        }
        {
            // A client that speaks only the other version gets no session.
            QSslSocket socket;
            socket.setSslConfiguration(trusting(server, other));
            QByteArray buffer;
            QString why;
            QVERIFY2(!secure(socket, buffer, server, &why),
                     "the server accepted a TLS version it was pinned against");
        }
    }

    void sessionReuse_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("required");
        for (Kind kind : {Kind::Vsftpd, Kind::Proftpd}) {
            for (bool required : {true, false}) {
                QTest::addRow("%s reuse %s", qPrintable(RealFtpServer::kindName(kind)),
                              required ? "required" : "not required")
                    << kind << required;
            }
        }
    }
    void sessionReuse() {
        QFETCH(Kind, kind);
        QFETCH(bool, required);
        if (!QSslSocket::supportsSsl())
            QSKIP("Qt has no TLS backend here");
        RealFtpServer::Options options;
        options.tls = Tls::Explicit;
        options.tlsSessionReuseRequired = required;
        const QString unavailable = RealFtpServer::unavailableReason(kind, options);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server(kind, options);
        QVERIFY2(server.start(), qPrintable(server.lastError()));

        QSslSocket control;
        control.setSslConfiguration(trusting(server, QSsl::TlsV1_2OrLater));
        QByteArray buffer;
        QString why;
        QVERIFY2(secure(control, buffer, server, &why), qPrintable(why));
        QVERIFY(logIn(control, buffer, server));
        QVERIFY(command(control, buffer, "PBSZ 0").startsWith("200"));
        QVERIFY(command(control, buffer, "PROT P").startsWith("200"));
        const QByteArray pasv = command(control, buffer, "PASV");
        QVERIFY2(pasv.startsWith("227"), pasv.constData());
        const qsizetype open = pasv.indexOf('(');
        const QList<QByteArray> fields =
            pasv.mid(open + 1, pasv.indexOf(')') - open - 1).split(',');
        QCOMPARE(fields.size(), 6);

        // A fresh socket: Qt resumes no TLS session unless told to.
        QSslSocket data;
        data.setSslConfiguration(trusting(server, QSsl::TlsV1_2OrLater));
        data.connectToHost(server.host(), quint16(fields[4].toUInt() * 256 + fields[5].toUInt()));
        QVERIFY(data.waitForConnected(10000));
        const QByteArray started = command(control, buffer, "LIST");
        QVERIFY2(started.startsWith("150"), started.constData());
        data.startClientEncryption();
        // A server that accepts sends the listing, then waits for the
        // client's TLS close. proftpd refuses by closing the data connection
        // and answering 425; vsftpd sends a TLS close that Qt does not
        // report, logs its refusal and answers 522 once the client closes.
        QByteArray listing;
        TestUtil::waitUntil(
            [&] {
                listing += data.readAll();
                return data.state() != QAbstractSocket::ConnectedState ||
                       listing.contains("incoming\r\n") || control.bytesAvailable() > 0 ||
                       server.transcript().contains("No SSL session reuse on data channel");
            },
            10000);
        data.disconnectFromHost();
        if (data.state() != QAbstractSocket::UnconnectedState)
            data.waitForDisconnected(5000);
        const QByteArray ended = reply(control, buffer);
        if (required) {
            QVERIFY2(!ended.startsWith("2"), ended.constData());
            QVERIFY(!listing.contains("incoming"));
        } else {
            QVERIFY2(ended.startsWith("226"), ended.constData());
            QVERIFY2(listing.contains("incoming"), listing.constData());
        }
    }

    void ipv6_data() {
        QTest::addColumn<Kind>("kind");
        for (Kind kind : {Kind::Vsftpd, Kind::Proftpd, Kind::PureFtpd, Kind::Pyftpdlib})
            QTest::addRow("%s", qPrintable(RealFtpServer::kindName(kind))) << kind;
    }
    void ipv6() {
        QFETCH(Kind, kind);
        RealFtpServer::Options options;
        options.ipv6 = true;
        const QString unavailable = RealFtpServer::unavailableReason(kind, options);
        if (!unavailable.isEmpty())
            QSKIP(qPrintable(unavailable));
        RealFtpServer server(kind, options);
        QVERIFY2(server.start(), qPrintable(server.lastError()));
        QCOMPARE(server.host(), QStringLiteral("::1"));

        // A plain connection: QSslSocket without encryption is a TCP socket.
        QSslSocket control;
        control.connectToHost(server.host(), server.port());
        QVERIFY(control.waitForConnected(10000));
        QCOMPARE(control.peerAddress(), QHostAddress(QHostAddress::LocalHostIPv6));
        QByteArray buffer;
        QVERIFY(reply(control, buffer).startsWith("220"));
        QVERIFY(logIn(control, buffer, server));
        const QByteArray epsv = command(control, buffer, "EPSV");
        QVERIFY2(epsv.startsWith("229"), epsv.constData());
    }
};

QTEST_GUILESS_MAIN(TestRealServerFixture)
#include "tst_real_server_fixture.moc"
