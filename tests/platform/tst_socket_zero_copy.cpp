// Zero copy on a plain Socket: a file range sent with sendfile(2), and
// arrivals moved into a file with splice(2) after the socket has taken its
// descriptor from Qt, with exact bytes, events and ends.

#include "LocalFile.h"
#include "Socket.h"
#include "TestUtil.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>

using platform::LocalFile;
using platform::Socket;

namespace {

// A Socket connected to a plain QTcpSocket peer on 127.0.0.1.
struct Pair {
    QTcpServer server;
    Socket socket;
    QTcpSocket* peer = nullptr;
    explicit Pair(bool tls = false) {
        socket.setTlsCapable(tls);
        if (!server.listen(QHostAddress::LocalHost, 0))
            return;
        socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
        if (TestUtil::waitUntil([this] { return server.hasPendingConnections(); }))
            peer = server.nextPendingConnection();
        TestUtil::waitUntil([this] { return socket.state() == Socket::Connected; });
    }
};

} // namespace

class TstSocketZeroCopy : public QObject {
    Q_OBJECT
private slots:
    void sendFile_data();
    void sendFile();
    void receiveInto_data();
    void receiveInto();
    void failedReceiveLeavesNothingForTheNext();
};

void TstSocketZeroCopy::sendFile_data() {
    QTest::addColumn<bool>("tls");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<int>("error"); // 0: every byte, one completion
    constexpr qint64 Size = 24 * 1024 * 1024 + 7; // more than one pass
    QTest::newRow("whole file") << false << qint64(0) << Size << 0;
    QTest::newRow("from a resume offset") << false << qint64(5000) << Size - 5000 << 0;
    QTest::newRow("file shorter than asked") << false << qint64(0) << Size + 10 << 57;
    QTest::newRow("TLS-capable: refused") << true << qint64(0) << Size << -1;
}

void TstSocketZeroCopy::sendFile() {
    QFETCH(bool, tls);
    QFETCH(qint64, offset);
    QFETCH(qint64, count);
    QFETCH(int, error);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("up.bin"));
    const QByteArray bytes = TestUtil::patternBytes(24 * 1024 * 1024 + 7);
    QVERIFY(TestUtil::writeFile(path, bytes));
    LocalFile file;
    file.openReadOnly(path);

    Pair pair(tls);
    QVERIFY(pair.peer);
    QByteArray received;
    connect(pair.peer, &QTcpSocket::readyRead, this,
            [&] { received += pair.peer->readAll(); });
    qint64 progress = 0;
    int completions = 0;
    int errorNumber = 0;
    connect(&pair.socket, &Socket::sendProgress, this, [&](qint64 sent) { progress += sent; });
    connect(&pair.socket, &Socket::sendComplete, this, [&] { ++completions; });
    connect(&pair.socket, &Socket::error, this, [&](qint32 n) { errorNumber = n; });

    const bool started = pair.socket.sendFile(file, offset, count);
    QCOMPARE(started, error >= 0);
    if (!started) {
        QCOMPARE(pair.socket.bytesToWrite(), qint64(0));
        return;
    }
    file.close(); // the socket keeps its own descriptor
    const qint64 expected = std::min<qint64>(count, bytes.size() - offset);
    QVERIFY(TestUtil::waitUntil(
        [&] { return received.size() >= expected && (completions > 0 || errorNumber != 0); },
        20000));
    QCOMPARE(errorNumber, error);
    QCOMPARE(completions, error == 0 ? 1 : 0);
    QCOMPARE(progress, expected);
    QVERIFY(received == bytes.mid(offset, expected));
    QCOMPARE(pair.socket.bytesToWrite(), qint64(0));
}

void TstSocketZeroCopy::receiveInto_data() {
    QTest::addColumn<int>("before"); // bytes Qt has read before the switch
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("reset");
    QTest::newRow("all after the switch") << 0 << 8 * 1024 * 1024 << false;
    QTest::newRow("Qt's bytes first") << 100000 << 3 * 1024 * 1024 << false;
    QTest::newRow("reset after data") << 70000 << 200000 << true;
}

void TstSocketZeroCopy::receiveInto() {
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(bool, reset);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("down.bin"));
    const QByteArray bytes = TestUtil::patternBytes(before + after);
    LocalFile file;
    file.openReadWrite(path);

    Pair pair;
    QVERIFY(pair.peer);
    if (before > 0) {
        pair.peer->write(bytes.left(before));
        QVERIFY(TestUtil::waitUntil([&] { return pair.socket.bytesAvailable() >= before; }));
    }
    QVERIFY(pair.socket.receiveDirect());
    QVERIFY(pair.socket.receivingDirect());
    qint64 moved = 0;
    bool closed = false;
    int errorNumber = 0;
    connect(&pair.socket, &Socket::dataArrival, this,
            [&] { moved += pair.socket.receiveInto(file); });
    connect(&pair.socket, &Socket::closed, this, [&] { closed = true; });
    connect(&pair.socket, &Socket::error, this, [&](qint32 n) { errorNumber = n; });
    pair.peer->write(bytes.mid(before));
    QVERIFY(TestUtil::waitUntil([&] { return pair.peer->bytesToWrite() == 0; }));
    QVERIFY(TestUtil::waitUntil([&] { return moved == bytes.size(); }, 20000));
    if (reset) {
        const linger hard{1, 0}; // a reset (RST), not an orderly FIN
        ::setsockopt(int(pair.peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                     sizeof hard);
        pair.peer->abort();
    } else {
        pair.peer->disconnectFromHost();
    }
    QVERIFY(TestUtil::waitUntil([&] { return closed || errorNumber != 0; }));
    QCOMPARE(closed, !reset);
    QCOMPARE(errorNumber, reset ? 10054 : 0);
    file.close();
    QVERIFY(TestUtil::readFile(path) == bytes);
}

void TstSocketZeroCopy::failedReceiveLeavesNothingForTheNext() {
    // A file that stops taking bytes (here at the size limit) fails the
    // receive while the pipe still holds what it took from the socket; the
    // next receive on this thread must start with an empty pipe.
    QTemporaryDir dir;
    const QByteArray bytes = TestUtil::patternBytes(3 * 1024 * 1024);
    rlimit unlimited{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    const auto handler = ::signal(SIGXFSZ, SIG_IGN);
    for (const bool cut : {true, false}) {
        rlimit limit = unlimited;
        if (cut)
            limit.rlim_cur = 100000;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        const QString path = dir.filePath(cut ? QStringLiteral("cut") : QStringLiteral("next"));
        LocalFile file;
        file.openReadWrite(path);
        Pair pair;
        QVERIFY(pair.peer);
        QVERIFY(pair.socket.receiveDirect());
        qint64 moved = 0;
        bool failed = false;
        connect(&pair.socket, &Socket::dataArrival, this, [&] {
            try {
                if (!failed)
                    moved += pair.socket.receiveInto(file);
            } catch (const platform::Fault&) {
                failed = true;
            }
        });
        pair.peer->write(bytes);
        QVERIFY(TestUtil::waitUntil([&] { return failed || moved == bytes.size(); }, 20000));
        QCOMPARE(failed, cut);
        file.close();
        if (!cut)
            QVERIFY(TestUtil::readFile(path) == bytes);
    }
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    ::signal(SIGXFSZ, handler);
}

QTEST_GUILESS_MAIN(TstSocketZeroCopy)

#include "tst_socket_zero_copy.moc"
