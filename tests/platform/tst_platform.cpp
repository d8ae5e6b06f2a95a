#include "EventPump.h"
#include "Fault.h"
#include "LocalFile.h"
#include "Socket.h"
#include "TestUtil.h"
#include "TimerService.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using platform::Fault;
using platform::LocalFile;
using platform::Socket;
namespace TimerService = platform::TimerService;

namespace {

// Runs op and returns the fault number it threw, or -1 when it did not throw.
template <typename Op> qint32 faultNumber(Op op) {
    try {
        op();
    } catch (const Fault& fault) {
        return fault.number();
    }
    return -1;
}

// A port on 127.0.0.1 that nobody listens on right now.
quint16 unusedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Records every state the socket reports after each pumped event.
struct StateTrail {
    QList<int> states;
    void note(int s) {
        if (states.isEmpty() || states.last() != s)
            states.append(s);
    }
};

} // namespace

class TstPlatform : public QObject {
    Q_OBJECT
private slots:
    void connectReportsStatesUpToConnected();
    void eventsNeverFireInsideOperations();
    void peerCloseDeliversAllDataBeforeClosing();
    void dataStaysReadableAfterPeerCloseUntilClose();
    void readAvailableReusesOneBuffer();
    void connectErrors_data();
    void connectErrors();
    void invalidOperationsFault();
    void sendReportsProgressAndCompletion();
    void sendsKeepTheirOrder_data();
    void sendsKeepTheirOrder();
    void listenAcceptAndReject();
    void acceptAfterCloseStillWorks();
    void acceptAfterPeerAlreadyLeft();
    void listenOnPortInUseFaults();
    void closeFlushesPendingBytes();

    void timerIdsAndRestart();
    void restartPostponesTheFiring();
    void timerCanKillItselfInCallback();
    void waitForEventsWakesOnTimer();

    void localFileOpenKeepsContent();
    void localFileErrors_data();
    void localFileErrors();
    void localFilePermissionDenied();
    void localFileTruncateAndRead();
};

void TstPlatform::connectReportsStatesUpToConnected() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    StateTrail trail;
    QCOMPARE(socket.state(), int(Socket::Closed));
    socket.connectToHost(QStringLiteral("localhost"), server.serverPort());
    trail.note(socket.state());
    for (int i = 0; i < 1000 && socket.state() != Socket::Connected; ++i) {
        platform::waitForEvents();
        trail.note(socket.state());
    }
    QCOMPARE(trail.states.first(), int(Socket::ResolvingHost));
    QCOMPARE(trail.states.last(), int(Socket::Connected));
    for (int s : trail.states)
        QVERIFY2(s == Socket::ResolvingHost || s == Socket::Connecting || s == Socket::Connected,
                 qPrintable(QString::number(s)));
    QCOMPARE(socket.remoteHostIp().isEmpty(), false);
    QCOMPARE(socket.remotePort(), server.serverPort());
    QVERIFY(socket.localPort() != 0);
}

void TstPlatform::eventsNeverFireInsideOperations() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    int inside = 0;
    bool busy = false;
    auto watch = [&] {
        if (busy)
            ++inside;
    };
    connect(&socket, &Socket::dataArrival, this, watch);
    connect(&socket, &Socket::sendProgress, this, watch);
    connect(&socket, &Socket::sendComplete, this, watch);
    connect(&socket, &Socket::closed, this, watch);
    connect(&socket, &Socket::error, this, watch);
    QSignalSpy complete(&socket, &Socket::sendComplete);

    busy = true;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    busy = false;
    QTRY_COMPARE_WITH_TIMEOUT(socket.state(), int(Socket::Connected), 5000);
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();

    busy = true;
    socket.send("hello");
    busy = false;
    QTRY_COMPARE(complete.count(), 1);

    peer->write("x");
    QTRY_VERIFY(socket.bytesAvailable() > 0);
    busy = true;
    socket.readAvailable();
    socket.close();
    busy = false;
    QCOMPARE(socket.state(), int(Socket::Closed));

    // Refused connect: the error comes later, from the event loop.
    QSignalSpy errors(&socket, &Socket::error);
    busy = true;
    socket.connectToHost(QStringLiteral("127.0.0.1"), unusedPort());
    busy = false;
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 5000);
    QCOMPARE(inside, 0);
}

void TstPlatform::peerCloseDeliversAllDataBeforeClosing() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));

    // The way a download reader works: read on each arrival, stop at state 8.
    QByteArray received;
    bool closedSeen = false;
    bool dataAfterClose = false;
    int stateAtArrival = -1;
    connect(&socket, &Socket::dataArrival, this, [&] {
        stateAtArrival = socket.state();
        if (closedSeen)
            dataAfterClose = true;
        received += socket.readAvailable().toByteArray();
    });
    connect(&socket, &Socket::closed, this, [&] {
        closedSeen = true;
        received += socket.readAvailable().toByteArray();
    });

    const QByteArray payload = TestUtil::patternBytes(3 * 1024 * 1024 + 17);
    peer->write(payload);
    peer->disconnectFromHost();
    QTRY_VERIFY_WITH_TIMEOUT(closedSeen, 10000);
    QCOMPARE(socket.state(), int(Socket::Closing));
    QCOMPARE(received.size(), payload.size());
    QVERIFY(received == payload);
    QVERIFY(!dataAfterClose);
    QCOMPARE(stateAtArrival, int(Socket::Connected));
    socket.close();
    QCOMPARE(socket.state(), int(Socket::Closed));
}

void TstPlatform::dataStaysReadableAfterPeerCloseUntilClose() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));
    peer->write("tail bytes");
    peer->disconnectFromHost();
    QTRY_COMPARE(socket.state(), int(Socket::Closing));
    QCOMPARE(socket.readAvailable().toByteArray(), QByteArray("tail bytes"));
    QCOMPARE(socket.readAvailable().size(), 0);
    socket.close();
    QCOMPARE(socket.bytesAvailable(), 0);
}

void TstPlatform::readAvailableReusesOneBuffer() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));
    peer->write("first");
    QTRY_COMPARE(socket.bytesAvailable(), 5);
    const char* firstData = socket.readAvailable().data();
    peer->write("second");
    QTRY_COMPARE(socket.bytesAvailable(), 6);
    const QByteArrayView second = socket.readAvailable();
    QCOMPARE(second.toByteArray(), QByteArray("second"));
    QCOMPARE(second.data(), firstData);
}

void TstPlatform::connectErrors_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("unusedLocalPort");
    QTest::addColumn<int>("number");
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << true << 10061;
    // A name that cannot be encoded for DNS is refused before any lookup, so
    // the test sends nothing to the configured name server.
    QTest::newRow("unknown host") << QStringLiteral("no..such.invalid") << false << 11001;
}

void TstPlatform::connectErrors() {
    QFETCH(QString, host);
    QFETCH(bool, unusedLocalPort);
    QFETCH(int, number);
    Socket socket;
    QSignalSpy errors(&socket, &Socket::error);
    QSignalSpy closed(&socket, &Socket::closed);
    socket.connectToHost(host, unusedLocalPort ? unusedPort() : quint16(21));
    QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 20000);
    QCOMPARE(errors.first().at(0).toInt(), number);
    QVERIFY(!errors.first().at(1).toString().isEmpty());
    QCOMPARE(socket.state(), int(Socket::Error));
    QCOMPARE(closed.count(), 0);
    socket.close();
    QCOMPARE(socket.state(), int(Socket::Closed));
}

void TstPlatform::invalidOperationsFault() {
    Socket socket;
    QCOMPARE(faultNumber([&] { socket.send("x"); }), Socket::ErrWrongState);
    QCOMPARE(faultNumber([&] { socket.accept(42); }), Socket::ErrWrongState);
    socket.setLocalAddress(QHostAddress::LocalHost);
    socket.listen();
    QCOMPARE(faultNumber([&] { socket.send("x"); }), Socket::ErrWrongState);
    QCOMPARE(faultNumber([&] { socket.connectToHost(QStringLiteral("127.0.0.1"), 1); }),
             Socket::ErrWrongState);
    QCOMPARE(socket.state(), int(Socket::Listening));
    QCOMPARE(socket.readAvailable().size(), 0);
}

void TstPlatform::sendReportsProgressAndCompletion() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));

    qint64 reported = 0;
    qint64 lastRemaining = -1;
    int completions = 0;
    connect(&socket, &Socket::sendProgress, this, [&](qint64 sent, qint64 remaining) {
        reported += sent;
        lastRemaining = remaining;
    });
    connect(&socket, &Socket::sendComplete, this, [&] { ++completions; });
    const QByteArray payload = TestUtil::patternBytes(2 * 1024 * 1024);
    socket.send(payload);
    QByteArray atPeer;
    connect(peer, &QTcpSocket::readyRead, this, [&] { atPeer += peer->readAll(); });
    QTRY_COMPARE_WITH_TIMEOUT(completions, 1, 10000);
    QCOMPARE(reported, payload.size());
    QCOMPARE(lastRemaining, 0);
    QTRY_COMPARE_WITH_TIMEOUT(atPeer.size(), payload.size(), 10000);
    QVERIFY(atPeer == payload);
}

// Sends go to the system directly only while Qt holds nothing back, so
// bytes queued by an earlier send are never overtaken, however the sends
// and the peer's reading interleave.
void TstPlatform::sendsKeepTheirOrder_data() {
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("blockSize");
    // between sends: "nothing", "completion" (wait for sendComplete), or
    // "peer drains" (the peer reads without this socket's events running, so
    // the system has room again while Qt still holds bytes)
    QTest::addColumn<QString>("between");
    QTest::newRow("blocks back to back") << 64 << 64 * 1024 << "nothing";
    QTest::newRow("each block after completion") << 64 << 64 * 1024 << "completion";
    QTest::newRow("small sends back to back") << 500 << 1000 << "nothing";
    QTest::newRow("blocks larger than the system takes, peer drains between")
        << 4 << 8 * 1024 * 1024 << "peer drains";
    QTest::newRow("one block larger than the system takes")
        << 1 << 16 * 1024 * 1024 << "completion";
}

void TstPlatform::sendsKeepTheirOrder() {
    QFETCH(int, blocks);
    QFETCH(int, blockSize);
    QFETCH(QString, between);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));

    qint64 reported = 0;
    int completions = 0;
    connect(&socket, &Socket::sendProgress, this, [&](qint64 sent, qint64) { reported += sent; });
    connect(&socket, &Socket::sendComplete, this, [&] { ++completions; });
    QByteArray atPeer;

    // Every block differs from its neighbours, so a reordering shows.
    const QByteArray pattern = TestUtil::patternBytes(blockSize + 251);
    QByteArray sent;
    for (int i = 0; i < blocks; ++i) {
        const QByteArray block = pattern.mid(i % 251, blockSize);
        socket.send(block);
        sent += block;
        if (between == QLatin1String("completion")) {
            QTRY_COMPARE_WITH_TIMEOUT(completions, i + 1, 10000);
        } else if (between == QLatin1String("peer drains")) {
            // Bounded: each pass waits at most 100 ms and stops when nothing comes.
            for (int pass = 0; pass < 1000 && peer->waitForReadyRead(100); ++pass)
                atPeer += peer->readAll();
        }
    }
    connect(peer, &QTcpSocket::readyRead, this, [&] { atPeer += peer->readAll(); });
    atPeer += peer->readAll();
    QTRY_COMPARE_WITH_TIMEOUT(atPeer.size(), sent.size(), 20000);
    QVERIFY(atPeer == sent);
    QTRY_COMPARE_WITH_TIMEOUT(reported, qint64(sent.size()), 10000);
    QVERIFY(completions >= 1);
    if (between == QLatin1String("completion"))
        QCOMPARE(completions, blocks);
}

void TstPlatform::listenAcceptAndReject() {
    Socket socket;
    socket.setLocalAddress(QHostAddress::LocalHost);
    socket.listen();
    QCOMPARE(socket.state(), int(Socket::Listening));
    QCOMPARE(socket.localAddressText(), QStringLiteral("127.0.0.1"));
    const quint16 port = socket.localPort();
    QVERIFY(port != 0);

    QList<int> requests;
    connect(&socket, &Socket::connectionRequest, this, [&](int id) { requests.append(id); });

    QTcpSocket rejected;
    rejected.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(requests.size(), 1);
    QCOMPARE(socket.requestAddress(requests[0]), QHostAddress(QHostAddress::LocalHost));
    socket.reject(requests[0]);
    QTRY_COMPARE(rejected.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(socket.state(), int(Socket::Listening));

    QTcpSocket accepted;
    accepted.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(requests.size(), 2);
    socket.accept(requests[1]);
    QCOMPARE(socket.state(), int(Socket::Connected));
    QCOMPARE(socket.remotePort(), accepted.localPort());

    accepted.write("over the accepted link");
    QTRY_VERIFY(socket.bytesAvailable() > 0);
    QCOMPARE(socket.readAvailable().toByteArray(), QByteArray("over the accepted link"));

    // Listening stopped with the accept.
    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, port);
    QTRY_COMPARE(late.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(requests.size(), 2);
}

void TstPlatform::acceptAfterCloseStillWorks() {
    // The engine closes the listening socket, then accepts the request on it.
    Socket socket;
    socket.setLocalAddress(QHostAddress::LocalHost);
    socket.listen();
    int request = 0;
    connect(&socket, &Socket::connectionRequest, this, [&](int id) {
        socket.close();
        socket.accept(id);
        request = id;
    });
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, socket.localPort());
    QTRY_VERIFY(request != 0);
    QCOMPARE(socket.state(), int(Socket::Connected));
    QSignalSpy closed(&socket, &Socket::closed);
    peer.write("bye");
    peer.disconnectFromHost();
    QTRY_COMPARE(closed.count(), 1);
    QCOMPARE(socket.readAvailable().toByteArray(), QByteArray("bye"));
}

void TstPlatform::acceptAfterPeerAlreadyLeft() {
    // A server that sends a short listing and hangs up before the engine
    // gets round to accepting: nothing of it may be lost.
    Socket socket;
    socket.setLocalAddress(QHostAddress::LocalHost);
    socket.listen();
    QList<int> requests;
    connect(&socket, &Socket::connectionRequest, this, [&](int id) { requests.append(id); });
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, socket.localPort());
    QTRY_COMPARE(requests.size(), 1);
    peer.write("short listing\r\n");
    peer.disconnectFromHost();
    QTRY_COMPARE(peer.state(), QAbstractSocket::UnconnectedState);
    for (int i = 0; i < 20; ++i)
        platform::pumpEvents();
    QCOMPARE(socket.requestAddress(requests[0]), QHostAddress(QHostAddress::LocalHost));

    QByteArray received;
    int closes = 0;
    connect(&socket, &Socket::dataArrival, this,
            [&] { received += socket.readAvailable().toByteArray(); });
    connect(&socket, &Socket::closed, this, [&] { ++closes; });
    socket.close();
    socket.accept(requests[0]);
    QTRY_COMPARE(closes, 1);
    QCOMPARE(received, QByteArray("short listing\r\n"));
    QCOMPARE(socket.state(), int(Socket::Closing));
    QCOMPARE(socket.remoteAddress(), QHostAddress(QHostAddress::LocalHost));
}

void TstPlatform::listenOnPortInUseFaults() {
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.setLocalAddress(QHostAddress::LocalHost);
    socket.setLocalPort(holder.serverPort());
    QCOMPARE(faultNumber([&] { socket.listen(); }), 10048);
    QCOMPARE(socket.state(), int(Socket::Closed));
    socket.setLocalPort(0);
    socket.listen();
    QCOMPARE(socket.state(), int(Socket::Listening));
}

void TstPlatform::closeFlushesPendingBytes() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    QTcpSocket* peer = server.nextPendingConnection();
    QTRY_COMPARE(socket.state(), int(Socket::Connected));
    const QByteArray payload = TestUtil::patternBytes(8 * 1024 * 1024);
    socket.send(payload);
    socket.close();
    QCOMPARE(socket.state(), int(Socket::Closed));
    QByteArray atPeer;
    bool peerClosed = false;
    connect(peer, &QTcpSocket::readyRead, this, [&] { atPeer += peer->readAll(); });
    connect(peer, &QTcpSocket::disconnected, this, [&] { peerClosed = true; });
    QTRY_VERIFY_WITH_TIMEOUT(peerClosed, 20000);
    atPeer += peer->readAll();
    QCOMPARE(atPeer.size(), payload.size());
    QVERIFY(atPeer == payload);
}

void TstPlatform::timerIdsAndRestart() {
    QList<quint32> fired;
    auto record = [&](quint32 id) { fired.append(id); };
    const quint32 a = TimerService::setTimer(12345, 60000, record);
    const quint32 b = TimerService::setTimer(12345, 60000, record);
    QVERIFY(a != 0);
    QVERIFY(b != 0);
    QVERIFY(a != b);
    QVERIFY(TimerService::isRunning(a));
    // Naming a running timer restarts it under the same identifier.
    QCOMPARE(TimerService::setTimer(a, 1, record), a);
    QTRY_VERIFY(fired.count(a) >= 3);
    QCOMPARE(fired.count(b), 0);
    TimerService::killTimer(a);
    TimerService::killTimer(b);
    QVERIFY(!TimerService::isRunning(a));
    QVERIFY(!TimerService::isRunning(b));
    const qsizetype seen = fired.size();
    TimerService::killTimer(a); // unknown now: harmless
    QTest::qWait(20);
    QCOMPARE(fired.size(), seen);
    QCOMPARE(TimerService::runningCount(), 0);

    const quint32 t0 = TimerService::tickCount();
    QTRY_VERIFY(TimerService::tickCount() != t0);
}

// Restarting only moves the due time of the running timer; a firing at the
// old schedule must not reach the callback.
void TstPlatform::restartPostponesTheFiring() {
    int calls = 0;
    auto count = [&](quint32) { ++calls; };
    const quint32 id = TimerService::setTimer(0, 1000, count);
    QElapsedTimer span;
    span.start();
    for (int i = 0; i < 100 && span.elapsed() < 1600; ++i) {
        QTest::qWait(50);
        TimerService::setTimer(id, 1000, count);
    }
    QCOMPARE(calls, 0);
    QTRY_VERIFY_WITH_TIMEOUT(calls >= 1, 5000);
    TimerService::killTimer(id);
}

void TstPlatform::timerCanKillItselfInCallback() {
    int calls = 0;
    const quint32 id = TimerService::setTimer(0, 0, [&](quint32 self) {
        ++calls;
        TimerService::killTimer(self);
        platform::pumpEvents();
    });
    QTRY_COMPARE(calls, 1);
    QVERIFY(!TimerService::isRunning(id));
    QTest::qWait(10);
    QCOMPARE(calls, 1);
}

void TstPlatform::waitForEventsWakesOnTimer() {
    bool fired = false;
    const quint32 id = TimerService::setTimer(0, 30, [&](quint32) { fired = true; });
    for (int i = 0; i < 10000 && !fired; ++i)
        platform::waitForEvents();
    TimerService::killTimer(id);
    QVERIFY(fired);
}

void TstPlatform::localFileOpenKeepsContent() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.bin"));
    TestUtil::writePatternFile(path, 1000);
    LocalFile file;
    file.openReadWrite(path);
    QCOMPARE(file.length(), 1000);
    file.seek(1000);
    file.write("tail");
    file.close();
    QCOMPARE(LocalFile::fileLength(path), 1004);
    QByteArray expected = TestUtil::patternBytes(1000) + "tail";
    QCOMPARE(TestUtil::readFile(path), expected);

    const QString fresh = dir.filePath(QStringLiteral("fresh.bin"));
    file.openReadWrite(fresh);
    QCOMPARE(file.length(), 0);
    file.close();
    QVERIFY(LocalFile::existsAsFile(fresh));
    QVERIFY(!LocalFile::existsAsFile(dir.path()));
    LocalFile::remove(fresh);
    QVERIFY(!LocalFile::existsAsFile(fresh));
}

void TstPlatform::localFileErrors_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<int>("number");
    QTest::newRow("missing file") << QStringLiteral("nothing.bin") << true << 53;
    QTest::newRow("missing folder") << QStringLiteral("nowhere/nothing.bin") << false << 76;
    QTest::newRow("file used as folder") << QStringLiteral("plain.txt/x") << false << 76;
    QTest::newRow("folder opened as file rw") << QStringLiteral("sub") << false << 75;
    QTest::newRow("folder opened as file ro") << QStringLiteral("sub") << true << 75;
}

void TstPlatform::localFileErrors() {
    QFETCH(QString, relative);
    QFETCH(bool, readOnly);
    QFETCH(int, number);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    TestUtil::writePatternFile(dir.filePath(QStringLiteral("plain.txt")), 10);
    const QString path = dir.filePath(relative);
    LocalFile file;
    try {
        readOnly ? file.openReadOnly(path) : file.openReadWrite(path);
        QFAIL("open did not fail");
    } catch (const Fault& fault) {
        QCOMPARE(fault.number(), number);
        QVERIFY(!fault.description().isEmpty());
    }
    QVERIFY(!file.isOpen());
    QCOMPARE(faultNumber([&] { LocalFile::fileLength(path); }), number);
    QCOMPARE(faultNumber([&] { file.seek(0); }), LocalFile::ErrBadFileNumber);
}

void TstPlatform::localFilePermissionDenied() {
    if (::geteuid() == 0)
        QSKIP("root is never denied");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.bin"));
    TestUtil::writePatternFile(path, 10);
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
    LocalFile file;
    QCOMPARE(faultNumber([&] { file.openReadWrite(path); }), LocalFile::ErrPermissionDenied);
    file.openReadOnly(path);
    QCOMPARE(faultNumber([&] { file.write("x"); }), LocalFile::ErrPathFileAccess);
    QCOMPARE(TestUtil::readFile(path), TestUtil::patternBytes(10));
}

void TstPlatform::localFileTruncateAndRead() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cut.bin"));
    TestUtil::writePatternFile(path, 5000);
    LocalFile file;
    file.openReadWrite(path);
    file.truncate(3000);
    QCOMPARE(file.length(), 3000);
    file.seek(2990);
    QByteArray block;
    file.read(block, 100);
    QCOMPARE(block, TestUtil::patternBytes(3000).mid(2990));
    file.read(block, 100);
    QCOMPARE(block.size(), 0);
}

QTEST_GUILESS_MAIN(TstPlatform)
#include "tst_platform.moc"
