// The TLS options of the real-server fixture do what the TLS tests will
// rely on: each server speaks TLS with the certificate made at start (it
// verifies for 127.0.0.1), explicit and implicit where offered, and a pinned
// TLS version holds -- a client that only speaks the other version is
// refused -- so a test pinned to TLS 1.2 or 1.3 really runs that version.

#include "RealFtpServer.h"

#include <QDeadlineTimer>
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
        buffer += socket.readAll();
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
            // vsftpd logs anonymous in at USER already.
            QByteArray loggedIn = command(socket, buffer, "USER " + server.userName().toUtf8());
            if (loggedIn.startsWith("331"))
                loggedIn = command(socket, buffer, "PASS " + server.password().toUtf8());
            QVERIFY2(loggedIn.startsWith("230"), loggedIn.constData());
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
};

QTEST_GUILESS_MAIN(TestRealServerFixture)
#include "tst_real_server_fixture.moc"
