// The event pump on Qt's plain UNIX dispatcher (the one krellin-cli runs on).
// That dispatcher delivers posted events and then blocks for the next socket
// or timer event, so a wait whose condition a queued socket event has just
// changed must still return.

#include "EventPump.h"
#include "Socket.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using platform::Socket;

namespace {

// A blocking POSIX socket the event loop knows nothing about: whatever it
// does wakes the loop only through the Socket under test.
class RawSocket {
public:
    RawSocket() : m_Fd(::socket(AF_INET, SOCK_STREAM, 0)) {}
    ~RawSocket() { reset(); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    int fd() const { return m_Fd; }
    void reset(int fd = -1) {
        if (m_Fd >= 0)
            ::close(m_Fd);
        m_Fd = fd;
    }

    static sockaddr_in loopback(quint16 port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    bool listenOnLoopback() {
        sockaddr_in address = loopback(0);
        return ::bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::listen(m_Fd, 4) == 0;
    }
    quint16 port() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }
    bool connectTo(quint16 port) {
        sockaddr_in address = loopback(port);
        return ::connect(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }

private:
    int m_Fd;
};

} // namespace

class TstEventPumpUnix : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void waitEndsAfterEventQueuedByHandler();
    void steadyDeliveriesLeaveRoomForSockets();
};

void TstEventPumpUnix::initTestCase() {
    const QByteArray dispatcher = QAbstractEventDispatcher::instance()->metaObject()->className();
    QVERIFY2(!dispatcher.contains("Glib"), dispatcher.constData());
}

// A handler of one socket event runs an operation that queues the next event,
// as an upload does on every block. The wait for that next event must end
// once it has been delivered, with nothing else left to wake the loop.
void TstEventPumpUnix::waitEndsAfterEventQueuedByHandler() {
    // Ends a wait that blocks although its event came long ago.
    bool watchdogFired = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&] { watchdogFired = true; });

    // Waits the way the engine does: test, then block for the next event.
    auto waitUntil = [&](const std::function<bool()>& done) {
        watchdog.start(5000);
        for (int i = 0; i < 100 && !done() && !watchdogFired; ++i)
            platform::waitForEvents();
        watchdog.stop();
        return done() && !watchdogFired;
    };

    RawSocket listener;
    QVERIFY(listener.listenOnLoopback());
    Socket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    QVERIFY(waitUntil([&] { return socket.state() == Socket::Connected; }));
    RawSocket peer;
    peer.reset(::accept(listener.fd(), nullptr, nullptr));
    QVERIFY(peer.fd() >= 0);

    int completions = 0;
    connect(&socket, &Socket::dataArrival, this, [&] {
        socket.readAvailable();
        socket.send("y");
    });
    connect(&socket, &Socket::sendComplete, this, [&] { ++completions; });
    // Several rounds: each completion's handler sends again.
    connect(&socket, &Socket::sendComplete, this, [&] {
        if (completions < 3)
            socket.send("z");
    });
    QCOMPARE(::write(peer.fd(), "x", 1), ssize_t(1));
    QVERIFY(waitUntil([&] { return completions == 3; }));

    // Loopback hands sent bytes straight to the peer's queue.
    char received[8] = {};
    const ssize_t got = ::recv(peer.fd(), received, sizeof received, MSG_DONTWAIT);
    QCOMPARE(QByteArray(received, int(std::max<ssize_t>(got, 0))), QByteArray("yzz"));
}

// An upload queues its next event from every handler, so the queue is never
// empty; socket events (a reply on the control connection) must still come.
void TstEventPumpUnix::steadyDeliveriesLeaveRoomForSockets() {
    RawSocket listener;
    QVERIFY(listener.listenOnLoopback());
    Socket sender;
    Socket watched;
    sender.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    watched.connectToHost(QStringLiteral("127.0.0.1"), listener.port());
    for (int i = 0;
         i < 100 && (sender.state() != Socket::Connected || watched.state() != Socket::Connected);
         ++i)
        platform::waitForEvents();
    QCOMPARE(sender.state(), int(Socket::Connected));
    QCOMPARE(watched.state(), int(Socket::Connected));
    RawSocket first;
    RawSocket second;
    first.reset(::accept(listener.fd(), nullptr, nullptr));
    second.reset(::accept(listener.fd(), nullptr, nullptr));

    constexpr int MaxSends = 20000;
    int sends = 0;
    connect(&sender, &Socket::sendComplete, this, [&] {
        if (sends < MaxSends) {
            ++sends;
            sender.send("z");
        }
    });
    bool arrived = false;
    connect(&watched, &Socket::dataArrival, this, [&] { arrived = true; });

    sender.send("z");
    for (int i = 0; i < 10; ++i)
        platform::waitForEvents();
    QVERIFY(sends > 0);
    // Both accepted ends carry the same reply: whichever is the watched one.
    QCOMPARE(::write(first.fd(), "r", 1), ssize_t(1));
    QCOMPARE(::write(second.fd(), "r", 1), ssize_t(1));
    const int sendsAtReply = sends;
    for (int i = 0; i < MaxSends && !arrived; ++i)
        platform::waitForEvents();
    QVERIFY(arrived);
    QVERIFY2(sends < MaxSends, QByteArray::number(sends - sendsAtReply).constData());
}

int main(int argc, char* argv[]) {
    // The dispatcher is chosen when the application object is made.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    TstEventPumpUnix test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_eventpump_unix.moc"
