#include "Socket.h"

#include "EventPump.h"
#include "Fault.h"

#include <QAbstractSocket>
#include <QMetaObject>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Arrivals are read into one buffer of at least this size, reused for the
// socket's whole life: a fresh allocation per arrival costs page faults on
// every block.
constexpr qint64 MinReadBuffer = 256 * 1024;

// Qt reads no more than this from the system before the engine has taken it.
// Unbounded, a download that outpaces the disk grows Qt's buffer to the
// system's whole receive window (megabytes, and new memory on every arrival);
// a bound near the cache size also keeps the copies faster.
constexpr qint64 QtReadBufferLimit = 1024 * 1024;

// Interrupted system calls are retried, but not forever.
constexpr int MaxInterruptRetries = 100;

// A socket closed while it still has bytes to send keeps flushing in the
// background; past this bound it is dropped.
constexpr int LingerMs = 30000;

struct ErrorEntry {
    QAbstractSocket::SocketError qtError;
    qint32 number;
};

// The one table from Qt's socket errors to the classic numbers.
constexpr ErrorEntry ErrorTable[] = {
    {QAbstractSocket::ConnectionRefusedError, 10061},
    {QAbstractSocket::RemoteHostClosedError, 10054},
    {QAbstractSocket::HostNotFoundError, 11001},
    {QAbstractSocket::SocketTimeoutError, 10060},
    {QAbstractSocket::AddressInUseError, 10048},
    {QAbstractSocket::SocketAccessError, 10013},
    {QAbstractSocket::NetworkError, 10050},
    {QAbstractSocket::SocketAddressNotAvailableError, 10049},
    {QAbstractSocket::UnsupportedSocketOperationError, 10043},
    {QAbstractSocket::SocketResourceError, 10055},
    {QAbstractSocket::DatagramTooLargeError, 10040},
    {QAbstractSocket::OperationError, 10022},
    {QAbstractSocket::TemporaryError, 10035},
};
constexpr qint32 GenericSocketError = 10004;

QHostAddress plainAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

Fault wrongState(const char* operation) {
    return Fault(Socket::ErrWrongState,
                 QStringLiteral("Wrong protocol or connection state for the requested "
                                "transaction or request (%1)")
                     .arg(QLatin1String(operation)));
}

} // namespace

class Socket::Private {
public:
    explicit Private(Socket* owner) : q(owner) {}

    Socket* q;
    QTcpSocket* socket = nullptr;
    QTcpServer* server = nullptr;
    QMap<int, QTcpSocket*> requests;
    // Taken when a request arrives: a socket whose peer has already hung up
    // no longer knows the peer's address.
    QMap<int, QHostAddress> requestPeers;
    QHostAddress peerAddress;
    quint16 peerPort = 0;
    int nextRequestId = 1;
    int state = Socket::Closed;
    quint16 localPort = 0;
    QHostAddress localAddress{QHostAddress::Any};
    QByteArray buffer;
    // Bumped whenever the connection is dropped or replaced, so events queued
    // for an earlier connection are not delivered for the next one.
    quint64 generation = 0;

    // Runs fn later from the event loop, unless the connection changed meanwhile.
    template <typename Fn> void post(Fn fn) {
        const quint64 gen = generation;
        queueDelivery(q, [this, gen, fn = std::move(fn)]() {
            if (gen == generation)
                fn();
        });
    }

    // Qt reads a reset as an orderly end of the stream and closes its
    // descriptor at once. A duplicate keeps the connection's kernel state
    // readable until the close is handled, so a reset can be told apart.
    int watchFd = -1;
    void watch(QTcpSocket* s);
    bool peerReset() const;
    void unwatch();

    void wire(QTcpSocket* s);
    void dropSocket();
    void dropServer();
    void dropRequests();
    void deliverArrival();
    void deliverPeerClose(bool reset);
    void deliverSendProgress(qint64 written, qint64 remaining);
    // Sends what the system takes at once without blocking; 0 on any failure.
    qint64 sendDirect(QByteArrayView bytes);
    void deliverError(QAbstractSocket::SocketError err, const QString& text);
};

void Socket::Private::wire(QTcpSocket* s) {
    s->setReadBufferSize(QtReadBufferLimit);
    QObject::connect(s, &QTcpSocket::readyRead, q, [this] { post([this] { deliverArrival(); }); });
    QObject::connect(s, &QAbstractSocket::stateChanged, q,
                     [this, s](QAbstractSocket::SocketState qtState) {
                         if (qtState == QAbstractSocket::ConnectedState)
                             watch(s);
                         post([this, qtState] {
                             if (state == Socket::Error || state == Socket::Closing)
                                 return;
                             switch (qtState) {
                             case QAbstractSocket::HostLookupState:
                                 state = Socket::ResolvingHost;
                                 break;
                             case QAbstractSocket::ConnectingState:
                                 state = Socket::Connecting;
                                 break;
                             case QAbstractSocket::ConnectedState:
                                 state = Socket::Connected;
                                 if (socket) {
                                     peerAddress = plainAddress(socket->peerAddress());
                                     peerPort = socket->peerPort();
                                 }
                                 break;
                             default:
                                 break;
                             }
                         });
                     });
    QObject::connect(s, &QAbstractSocket::disconnected, q, [this] {
        const bool reset = peerReset();
        unwatch();
        post([this, reset] { deliverPeerClose(reset); });
    });
    QObject::connect(s, &QAbstractSocket::errorOccurred, q,
                     [this, s](QAbstractSocket::SocketError err) {
                         const QString text = s->errorString();
                         post([this, err, text] { deliverError(err, text); });
                     });
    QObject::connect(s, &QAbstractSocket::bytesWritten, q, [this, s](qint64 written) {
        const qint64 remaining = s->bytesToWrite();
        post([this, written, remaining] { deliverSendProgress(written, remaining); });
    });
}

void Socket::Private::deliverSendProgress(qint64 written, qint64 remaining) {
    QPointer<Socket> guard(q);
    const quint64 gen = generation;
    emit q->sendProgress(written, remaining);
    if (guard && gen == generation && remaining == 0)
        emit q->sendComplete();
}

qint64 Socket::Private::sendDirect(QByteArrayView bytes) {
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return 0;
    for (int attempt = 0; attempt < MaxInterruptRetries; ++attempt) {
        const ssize_t sent =
            ::send(int(fd), bytes.data(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0)
            return qint64(sent);
        if (errno != EINTR)
            return 0;
    }
    return 0;
}

void Socket::Private::deliverArrival() {
    if (!socket)
        return;
    const qint64 available = socket->bytesAvailable();
    if (available > 0)
        emit q->dataArrival(available);
}

void Socket::Private::watch(QTcpSocket* s) {
    if (watchFd < 0 && s->socketDescriptor() >= 0)
        watchFd = ::fcntl(int(s->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
}

bool Socket::Private::peerReset() const {
    if (watchFd < 0)
        return false;
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(watchFd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return false;
    // An orderly close leaves the connection waiting for our own close; a
    // reset has ended it.
    return info.tcpi_state == TCP_CLOSE;
}

void Socket::Private::unwatch() {
    if (watchFd >= 0)
        ::close(watchFd);
    watchFd = -1;
}

void Socket::Private::deliverPeerClose(bool reset) {
    if (!socket || (state != Socket::Connected && state != Socket::Connecting))
        return;
    // Whatever arrived before the peer closed is announced before the close,
    // so a reader that stops at the close still gets the tail.
    QPointer<Socket> guard(q);
    const quint64 gen = generation;
    if (socket->bytesAvailable() > 0) {
        emit q->dataArrival(socket->bytesAvailable());
        if (!guard || gen != generation)
            return;
    }
    if (reset) {
        state = Socket::Error;
        emit q->error(10054, QStringLiteral("The connection was reset by the server."));
        return;
    }
    state = Socket::Closing;
    emit q->closed();
}

void Socket::Private::deliverError(QAbstractSocket::SocketError err, const QString& text) {
    // A peer's close (orderly or reset) is reported as the close event.
    if (err == QAbstractSocket::RemoteHostClosedError)
        return;
    if (state == Socket::Closed || state == Socket::Closing)
        return;
    state = Socket::Error;
    emit q->error(Socket::classicErrorNumber(err), text);
}

void Socket::Private::dropSocket() {
    // After Qt's own descriptor: the duplicate must not outlive the close.
    const auto unwatchLater = qScopeGuard([this] { unwatch(); });
    if (!socket)
        return;
    QTcpSocket* s = socket;
    socket = nullptr;
    QObject::disconnect(s, nullptr, q, nullptr);
    if (s->state() == QAbstractSocket::ConnectedState && s->bytesToWrite() > 0) {
        // Let the pending bytes go out while this Socket is already closed.
        s->setParent(nullptr);
        QObject::connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
        QObject::connect(s, &QAbstractSocket::errorOccurred, s, &QObject::deleteLater);
        QTimer::singleShot(LingerMs, s, [s] {
            s->abort();
            s->deleteLater();
        });
        s->disconnectFromHost();
    } else {
        // Deleted at once: events reach the engine through this Socket's own
        // queue, never from inside a signal of the QTcpSocket.
        s->abort();
        delete s;
    }
}

void Socket::Private::dropServer() {
    if (!server)
        return;
    QObject::disconnect(server, nullptr, q, nullptr);
    server->close();
    delete server;
    server = nullptr;
}

void Socket::Private::dropRequests() {
    for (QTcpSocket* s : std::as_const(requests)) {
        s->abort();
        delete s;
    }
    requests.clear();
    requestPeers.clear();
}

Socket::Socket(QObject* parent) : QObject(parent), d(new Private(this)) {}

Socket::~Socket() {
    d->dropSocket();
    d->dropServer();
    d->dropRequests();
    delete d;
}

int Socket::state() const {
    return d->state;
}

void Socket::setLocalPort(quint16 port) {
    d->localPort = port;
}

void Socket::setLocalAddress(const QHostAddress& address) {
    d->localAddress = address.isNull() ? QHostAddress(QHostAddress::Any) : address;
}

void Socket::connectToHost(const QString& host, quint16 port) {
    if (d->state == Error)
        close();
    if (d->state != Closed)
        throw wrongState("connect");
    ++d->generation;
    auto* s = new QTcpSocket(this);
    if (d->localPort != 0 || d->localAddress != QHostAddress(QHostAddress::Any)) {
        if (!s->bind(d->localAddress, d->localPort)) {
            const Fault fault(classicErrorNumber(s->error()), s->errorString());
            delete s;
            throw fault;
        }
    }
    d->socket = s;
    d->wire(s);
    d->state = QHostAddress(host).isNull() ? ResolvingHost : Connecting;
    s->connectToHost(host, port);
}

void Socket::listen() {
    if (d->state == Error)
        close();
    if (d->state != Closed)
        throw wrongState("listen");
    ++d->generation;
    d->dropRequests();
    auto* server = new QTcpServer(this);
    if (!server->listen(d->localAddress, d->localPort)) {
        const Fault fault(classicErrorNumber(server->serverError()), server->errorString());
        delete server;
        throw fault;
    }
    d->server = server;
    connect(server, &QTcpServer::newConnection, this, [this, server] {
        // Bounded by the connections the server has queued at this moment.
        while (server->hasPendingConnections()) {
            QTcpSocket* s = server->nextPendingConnection();
            if (!s)
                break;
            s->setParent(this);
            const int id = d->nextRequestId++;
            d->requests.insert(id, s);
            d->requestPeers.insert(id, plainAddress(s->peerAddress()));
            d->post([this, id] {
                if (d->requests.contains(id))
                    emit connectionRequest(id);
            });
        }
    });
    d->state = Listening;
}

void Socket::accept(int requestId) {
    QTcpSocket* s = d->requests.take(requestId);
    const QHostAddress peer = d->requestPeers.take(requestId);
    if (!s)
        throw wrongState("accept");
    // The request may be accepted after this socket was closed, as the classic
    // control allows; the pending requests outlive the listening itself.
    d->dropSocket();
    d->dropServer();
    ++d->generation;
    d->socket = s;
    d->peerAddress = peer;
    d->peerPort = s->peerPort();
    d->wire(s);
    d->watch(s);
    if (s->state() == QAbstractSocket::ConnectedState) {
        d->state = Connected;
        if (s->bytesAvailable() > 0)
            d->post([this] { d->deliverArrival(); });
    } else {
        // The peer is already gone: report what it sent, then its close.
        d->state = Connected;
        d->post([this] { d->deliverPeerClose(false); });
    }
}

void Socket::reject(int requestId) {
    QTcpSocket* s = d->requests.take(requestId);
    d->requestPeers.remove(requestId);
    if (!s)
        return;
    s->abort();
    delete s;
}

QHostAddress Socket::requestAddress(int requestId) const {
    return d->requestPeers.value(requestId);
}

void Socket::send(QByteArrayView bytes) {
    if (d->state != Connected || !d->socket)
        throw wrongState("send");
    if (bytes.isEmpty())
        return;
    // With nothing queued in Qt, the bytes go to the system directly: that
    // saves copying every block into Qt's write buffer. What the system does
    // not take now, and any failure, is left to Qt, which queues the rest
    // and reports errors as usual.
    qint64 direct = 0;
    if (d->socket->bytesToWrite() == 0)
        direct = d->sendDirect(bytes);
    const QByteArrayView rest = bytes.sliced(direct);
    if (direct > 0) {
        const qint64 remaining = rest.size();
        d->post([this, direct, remaining] { d->deliverSendProgress(direct, remaining); });
    }
    if (rest.isEmpty())
        return;
    const qint64 written = d->socket->write(rest.data(), rest.size());
    if (written != rest.size())
        throw Fault(classicErrorNumber(d->socket->error()), d->socket->errorString());
    // Hand the bytes to the system now rather than on the next write
    // notification: that saves an event-loop pass per block. The progress
    // report this emits is queued like every other.
    d->socket->flush();
}

void Socket::setSendCoalescing(bool on) {
    if (!d->socket || d->socket->socketDescriptor() < 0)
        return;
    // Best effort: without it the bytes simply go out in smaller segments.
    const int value = on ? 1 : 0;
    ::setsockopt(int(d->socket->socketDescriptor()), IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

qint64 Socket::bytesAvailable() const {
    return d->socket ? d->socket->bytesAvailable() : 0;
}

QByteArrayView Socket::readAvailable() {
    if (!d->socket)
        return {};
    const qint64 available = d->socket->bytesAvailable();
    if (available <= 0)
        return {};
    if (d->buffer.size() < available)
        d->buffer.resize(std::max(available, MinReadBuffer));
    const qint64 got = d->socket->read(d->buffer.data(), available);
    if (got <= 0)
        return {};
    return QByteArrayView(d->buffer.constData(), got);
}

void Socket::close() {
    ++d->generation;
    d->peerAddress.clear();
    d->peerPort = 0;
    d->dropSocket();
    d->dropServer();
    d->state = Closed;
}

QString Socket::localAddressText() const {
    const QHostAddress address = localAddress();
    return address.isNull() ? QString() : address.toString();
}

QHostAddress Socket::localAddress() const {
    if (d->socket)
        return plainAddress(d->socket->localAddress());
    if (d->server)
        return plainAddress(d->server->serverAddress());
    return {};
}

quint16 Socket::localPort() const {
    if (d->socket)
        return d->socket->localPort();
    if (d->server)
        return d->server->serverPort();
    return d->localPort;
}

QHostAddress Socket::remoteAddress() const {
    if (!d->socket)
        return {};
    const QHostAddress live = plainAddress(d->socket->peerAddress());
    return live.isNull() ? d->peerAddress : live;
}

QString Socket::remoteHostIp() const {
    const QHostAddress address = remoteAddress();
    return address.isNull() ? QString() : address.toString();
}

quint16 Socket::remotePort() const {
    if (!d->socket)
        return 0;
    return d->socket->peerPort() != 0 ? d->socket->peerPort() : d->peerPort;
}

qint32 Socket::classicErrorNumber(int qtSocketError) {
    for (const ErrorEntry& entry : ErrorTable) {
        if (entry.qtError == qtSocketError)
            return entry.number;
    }
    return GenericSocketError;
}

} // namespace platform
