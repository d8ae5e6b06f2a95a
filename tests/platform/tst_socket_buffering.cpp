// How much a Socket buffers when the peer sends faster than the engine reads.

#include "EventPump.h"
#include "Socket.h"
#include "TestUtil.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using platform::Socket;

class TstSocketBuffering : public QObject {
    Q_OBJECT
private slots:
    void laggingReaderBuffersBoundedAndGetsEveryByte();
};

// A download whose disk is slower than the network must not pull the whole
// file into memory: once the reader lags, the sender is held back instead.
void TstSocketBuffering::laggingReaderBuffersBoundedAndGetsEveryByte() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));

    const QByteArray payload = TestUtil::patternBytes(16 * 1024 * 1024 + 5);
    qint64 peerSent = 0;
    connect(peer, &QTcpSocket::bytesWritten, this, [&](qint64 n) { peerSent += n; });
    peer->write(payload);

    // Nobody reads for a while; the peer keeps sending what the system takes.
    constexpr qint64 Bound = 2 * 1024 * 1024;
    QTRY_VERIFY_WITH_TIMEOUT(socket.bytesAvailable() >= 512 * 1024, 10000);
    qint64 largest = 0;
    for (int i = 0; i < 200; ++i) {
        platform::pumpEvents();
        largest = std::max(largest, socket.bytesAvailable());
    }
    QVERIFY2(largest <= Bound, QByteArray::number(largest).constData());
    QVERIFY(peerSent < payload.size());

    QByteArray received;
    bool closedSeen = false;
    connect(&socket, &Socket::dataArrival, this, [&] {
        largest = std::max(largest, socket.bytesAvailable());
        received += socket.readAvailable().toByteArray();
    });
    connect(&socket, &Socket::closed, this, [&] { closedSeen = true; });
    received += socket.readAvailable().toByteArray();
    connect(peer, &QTcpSocket::bytesWritten, this, [&] {
        if (peer->bytesToWrite() == 0)
            peer->disconnectFromHost();
    });
    QTRY_VERIFY_WITH_TIMEOUT(closedSeen, 20000);
    QCOMPARE(received.size(), payload.size());
    QVERIFY(received == payload);
    QVERIFY2(largest <= Bound, QByteArray::number(largest).constData());
}

QTEST_GUILESS_MAIN(TstSocketBuffering)

#include "tst_socket_buffering.moc"
