#include "Socket.h"

#include "EventPump.h"
#include "Fault.h"
#include "LocalFile.h"

#include <QAbstractSocket>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// The text Qt's OpenSSL backend gives the peer's close_notify.
const QString TlsClosedText = QStringLiteral("The TLS/SSL connection has been closed");

// Arrivals are read into one buffer of at least this size, reused for the
// socket's whole life: a fresh allocation per arrival costs page faults on
// every block.
constexpr qint64 MinReadBuffer = 256 * 1024;

// Qt reads no more than this from the system before the engine has taken it.
// Unbounded, a download that outpaces the disk grows Qt's buffer to the
// system's whole receive window (megabytes, and new memory on every arrival);
// a bound near the cache size also keeps the copies faster.
constexpr qint64 QtReadBufferLimit = 1024 * 1024;

// Under TLS the bound is smaller. Qt's TLS layer copies everything its plain
// socket holds into a scratch buffer of that size on every arrival; at 1 MiB
// that buffer is new memory from the system each time (above malloc's mmap
// threshold), and a TLS download ran at a third of the peers' speed. 64 KiB
// stays on the heap and in the cache.
constexpr qint64 TlsReadBufferLimit = 64 * 1024;

// How long a finishing TLS 1.3 data connection may wait for its session
// ticket, counted from the finish: as long as the handshake took (a ticket
// comes about a round trip after it), within these bounds. The floor is for
// a busy machine, where the server may run late.
constexpr qint64 MinTicketWaitMs = 100;
constexpr qint64 MaxTicketWaitMs = 1000;

// Interrupted system calls are retried, but not forever.
constexpr int MaxInterruptRetries = 100;

// A socket closed while it still has bytes to send keeps flushing in the
// background; past this bound it is dropped.
constexpr int LingerMs = 30000;

// Zero copy: one pass of sendfile(2) or splice(2) moves at most this much
// before the event loop runs again, so a Stop or a time-out is never held
// up behind a fast connection.
constexpr qint64 ZeroCopyPassBytes = 16 * 1024 * 1024;
constexpr int ZeroCopyPassCalls = 256;
// The pipe between socket and file: the larger, the fewer calls. Linux lets
// anyone have 1 MiB (fs/pipe-max-size); the default of 64 KiB still works.
constexpr int SplicePipeBytes = 1024 * 1024;

// The system's own answer for "not for this descriptor": the caller falls
// back to copying through user space.
bool refusedBySystem(int err) {
    return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == ENOTSUP || err == EBADF ||
           err == ESPIPE;
}

// A failed zero-copy call: errors of the connection take the classic
// numbers; the rest are the local file's (sendfile reads it too).
bool connectionErrno(int err) {
    return err == EPIPE || err == ECONNRESET || err == ETIMEDOUT || err == ENOTCONN ||
           err == EHOSTUNREACH || err == ENETUNREACH || err == ECONNABORTED;
}

qint32 classicNumberForErrno(int err) {
    switch (err) {
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
        return 10054;
    case ETIMEDOUT:
        return 10060;
    case ENOTCONN:
        return 10057;
    case EHOSTUNREACH:
    case ENETUNREACH:
        return 10065;
    default:
        return 10004;
    }
}

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
    {QAbstractSocket::SslHandshakeFailedError, Socket::ErrTlsHandshake},
    {QAbstractSocket::SslInternalError, Socket::ErrTlsHandshake},
    {QAbstractSocket::SslInvalidUserDataError, Socket::ErrTlsHandshake},
};
constexpr qint32 GenericSocketError = 10004;

QHostAddress plainAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

// Resumable sessions a control connection keeps for its data connections.
constexpr qsizetype MaxTlsSessions = 8;

// A listener whose accepted connections can carry TLS later.
class TlsCapableServer : public QTcpServer {
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }
};

QString protocolText(QSsl::SslProtocol protocol) {
    switch (protocol) {
    case QSsl::TlsV1_2:
        return QStringLiteral("TLS 1.2");
    case QSsl::TlsV1_3:
        return QStringLiteral("TLS 1.3");
    default:
        return QStringLiteral("TLS");
    }
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
    // The generation whose arrival delivery is queued and not yet run.
    static constexpr quint64 NoArrivalPosted = ~quint64(0);
    quint64 arrivalPosted = NoArrivalPosted;

    // TLS settings, kept across connections.
    bool tlsCapable = false;
    QString tlsPeerName;
    QList<QSslCertificate> tlsCaCertificates;
    QSsl::SslProtocol tlsProtocol = QSsl::SecureProtocols;
    QPointer<Socket> tlsSessionSource;
    bool tlsDataConnection = false; // a session source was set
    // Of the current connection.
    bool encrypted = false;
    // The peer ended TLS with its close_notify, not just with the TCP close
    // that anyone on the way can forge.
    bool closeNotified = false;
    // A control connection's resumable sessions, oldest first. A TLS 1.3
    // session ticket should be used once (some servers take each only once),
    // so each data connection takes the newest one not yet handed out; the
    // tickets a data connection receives join the list.
    struct TlsSession {
        QByteArray asn1;
        bool handedOut = false;
    };
    QList<TlsSession> tlsSessions;
    // A data connection's wait for its ticket ran out: this server sends
    // none before the close (proftpd on an upload), and is not waited for.
    bool ticketWaitMissed = false;

    // finish(): a duplicate of the descriptor keeps the connection open
    // after Qt has sent everything and closed its own.
    bool finishing = false;
    int lingerFd = -1;
    // Something was sent since the last "send complete".
    bool completionOwed = false;
    // This connection's TLS 1.3 session ticket came (or finish() stopped
    // waiting for it); it offered a session to resume (the server sends
    // tickets); the handshake's start, and how long it took (-1: unknown).
    bool ticketSeen = false;
    bool resumeOffered = false;
    QTimer* ticketTimer = nullptr;
    QElapsedTimer handshakeClock;
    qint64 handshakeMs = -1;
    QSocketNotifier* lingerNotifier = nullptr;
    QTimer* lingerTimer = nullptr;

    // Zero copy. A duplicate of the connection's descriptor carries the
    // notifiers of the direct modes: Qt keeps its own on its descriptor, and
    // a second notifier of one type on one descriptor is refused.
    int directFd = -1;
    // sendFile(): a duplicate of the file's descriptor, the next offset and
    // the bytes left; the notifier runs a pass whenever the connection
    // takes more.
    int fileFd = -1;
    qint64 fileOffset = 0;
    qint64 fileLeft = 0;
    QSocketNotifier* fileNotifier = nullptr;
    // receiveDirect(): Qt has given up the descriptor; what it had read
    // waits in `held`. The notifier is off from an arrival until
    // receiveInto() has taken what was there.
    bool direct = false;
    bool directEnded = false;
    bool spliceRefused = false;
    QByteArray held;
    QSocketNotifier* arrivalNotifier = nullptr;
    int pipeFds[2] = {-1, -1};
    qint64 pipeBytes = 0;

    bool ensureDirectFd();
    // false: the system refused sendfile before the first byte.
    bool sendFilePass();
    void stopFile();
    void arrivalReady();
    // The peer ended the direct stream: err 0 is its close, else the error.
    void endDirect(int err);
    bool ensurePipe();
    void closePipe();
    // Moves n bytes the pipe holds into the file.
    void drainPipe(LocalFile& file, qint64 n);
    void dropDirect();

    QSslSocket* ssl() const { return qobject_cast<QSslSocket*>(socket); }
    // Bytes handed to the socket and not yet to the system; under TLS also
    // the encrypted bytes still waiting in Qt.
    qint64 unsent() const {
        const QSslSocket* tls = ssl();
        return socket ? socket->bytesToWrite() + (tls ? tls->encryptedBytesToWrite() : 0) : 0;
    }
    QTcpSocket* newSocket() { return tlsCapable ? new QSslSocket(q) : new QTcpSocket(q); }
    void connectTo(const QString& host, quint16 port, bool encrypted);
    void configureTls(QSslSocket* s);
    void addTlsSession(const QByteArray& asn1);
    QByteArray takeTlsSession();
    void deliverEncrypted();
    void continueFinish();
    void startLinger();
    // reset: the peer reset the connection instead of closing it, so what
    // was sent may not all have been read.
    void endLinger(bool reset = false);

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
    // The peer's end: its close event, or a reset's error 10054.
    void emitPeerEnd(bool reset);
    void deliverSendProgress(qint64 written, qint64 remaining);
    // Sends what the system takes at once without blocking; 0 on a failure
    // Qt may still report, a Fault when the peer has reset the connection.
    qint64 sendDirect(QByteArrayView bytes);
    // whole: the array the bytes are, when the caller has one.
    void send(QByteArrayView bytes, const QByteArray* whole);
    void deliverError(QAbstractSocket::SocketError err, const QString& text, bool reset = false);
};

void Socket::Private::wire(QTcpSocket* s) {
    s->setReadBufferSize(qobject_cast<QSslSocket*>(s) ? TlsReadBufferLimit : QtReadBufferLimit);
    // Qt's TLS layer signals every 4 KiB it decrypts, sixteen times for one
    // read from the system: one delivery reads all of them, so one waits
    // at a time.
    QObject::connect(s, &QTcpSocket::readyRead, q, [this] {
        if (arrivalPosted == generation)
            return;
        arrivalPosted = generation;
        post([this] {
            arrivalPosted = NoArrivalPosted;
            deliverArrival();
        });
    });
    // A QSslSocket has no descriptor yet when it reports the connected state;
    // it has one by its connected signal.
    QObject::connect(s, &QAbstractSocket::connected, q, [this, s] { watch(s); });
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
        post([this, reset] {
            // finish() closed Qt's side on purpose; the connection lives on
            // in the linger descriptor.
            if (lingerFd >= 0)
                startLinger();
            else
                deliverPeerClose(reset);
        });
    });
    QObject::connect(
        s, &QAbstractSocket::errorOccurred, q, [this, s](QAbstractSocket::SocketError err) {
            const QString text = s->errorString();
            // Read now: by the time the error is delivered the
            // descriptor that tells a reset may be gone.
            const bool reset = err == QAbstractSocket::RemoteHostClosedError && peerReset();
            post([this, err, text, reset] { deliverError(err, text, reset); });
        });
    if (auto* tls = qobject_cast<QSslSocket*>(s)) {
        QObject::connect(tls, &QSslSocket::encrypted, q, [this] {
            post([this] {
                deliverEncrypted();
                continueFinish();
            });
        });
        // TLS 1.3 tickets come after the handshake, on whichever connection.
        // Kept at once rather than from the event loop: the ticket of a
        // connection that ends right after must be there for the next one.
        // Only a list changes; nothing is signalled.
        QObject::connect(tls, &QSslSocket::newSessionTicketReceived, q, [this, tls] {
            Socket* owner = tlsSessionSource ? tlsSessionSource.data() : q;
            owner->d->addTlsSession(tls->sslConfiguration().sessionTicket());
            ticketSeen = true;
            if (finishing)
                post([this] { continueFinish(); });
        });
    }
    // Under TLS, bytesWritten says the plain text went into the encryption;
    // the encrypted bytes may still wait in Qt. Counting those too keeps a
    // sender that waits for "send complete" from queueing a whole file in memory.
    auto* tls = qobject_cast<QSslSocket*>(s);
    QObject::connect(s, &QAbstractSocket::bytesWritten, q, [this](qint64 written) {
        const qint64 remaining = unsent();
        if (finishing)
            post([this] { continueFinish(); });
        post([this, written, remaining] { deliverSendProgress(written, remaining); });
    });
    if (tls) {
        QObject::connect(tls, &QSslSocket::encryptedBytesWritten, q, [this](qint64) {
            if (unsent() == 0)
                post([this] { deliverSendProgress(0, 0); });
        });
    }
}

void Socket::Private::deliverSendProgress(qint64 written, qint64 remaining) {
    QPointer<Socket> guard(q);
    const quint64 gen = generation;
    emit q->sendProgress(written, remaining);
    if (!guard || gen != generation || remaining != 0)
        return;
    // Under TLS two reports can each see everything written (the plain text
    // taken, the encrypted bytes sent), and a report queued earlier can
    // arrive after the next send: "send complete" comes once per send, and
    // only while nothing is left unsent.
    if (completionOwed && unsent() == 0) {
        completionOwed = false;
        emit q->sendComplete();
    }
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
        // The peer has reset or closed the connection: its event is on the
        // way, and Qt would report the failed write without saying why.
        if (connectionErrno(errno))
            throw Fault(classicNumberForErrno(errno), errno == ECONNRESET || errno == EPIPE
                                                          ? QStringLiteral("The connection was "
                                                                           "reset by the server.")
                                                          : qt_error_string(errno));
        if (errno != EINTR)
            return 0;
    }
    return 0;
}

void Socket::Private::deliverArrival() {
    if (!socket)
        return;
    const qint64 available = q->bytesAvailable();
    if (available > 0)
        emit q->dataArrival(available);
}

bool Socket::Private::ensureDirectFd() {
    if (directFd < 0 && socket && socket->socketDescriptor() >= 0)
        directFd = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    return directFd >= 0;
}

bool Socket::Private::sendFilePass() {
    qint64 sent = 0;
    int err = 0;
    bool shrank = false;
    for (int call = 0; call < ZeroCopyPassCalls && fileLeft > 0 && sent < ZeroCopyPassBytes;
         ++call) {
        off_t offset = off_t(fileOffset);
        const ssize_t n = ::sendfile(directFd, fileFd, &offset,
                                     size_t(std::min(fileLeft, ZeroCopyPassBytes - sent)));
        if (n > 0) {
            fileOffset += n;
            fileLeft -= n;
            sent += n;
            continue;
        }
        if (n == 0) {
            shrank = true; // the file ends before the bytes asked for
            break;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            err = errno;
        break;
    }
    // Refused on the first call for this file (nothing of it went yet, so
    // no completion is owed): the caller copies instead.
    if (err != 0 && sent == 0 && !completionOwed && refusedBySystem(err))
        return false;
    completionOwed = true;
    if (sent > 0) {
        const qint64 remaining = fileLeft;
        post([this, sent, remaining] { deliverSendProgress(sent, remaining); });
    }
    if (shrank || err != 0) {
        stopFile();
        const qint32 number =
            shrank || !connectionErrno(err) ? LocalFile::ErrDeviceIO : classicNumberForErrno(err);
        const QString text =
            shrank ? QStringLiteral("The local file became shorter while it was sent.")
                   : qt_error_string(err);
        post([this, number, text] {
            if (state != Socket::Connected)
                return;
            state = Socket::Error;
            emit q->error(number, text);
        });
    } else if (fileLeft == 0) {
        stopFile();
    } else if (!fileNotifier) {
        // Level-triggered: it fires on every pass of the event loop while
        // the connection takes more, and not while its buffer is full.
        fileNotifier = new QSocketNotifier(qintptr(directFd), QSocketNotifier::Write, q);
        QObject::connect(fileNotifier, &QSocketNotifier::activated, q, [this] { sendFilePass(); });
    }
    return true;
}

void Socket::Private::stopFile() {
    delete fileNotifier;
    fileNotifier = nullptr;
    if (fileFd >= 0)
        ::close(fileFd);
    fileFd = -1;
    fileLeft = 0;
}

void Socket::Private::arrivalReady() {
    arrivalNotifier->setEnabled(false);
    int queued = 0;
    if (::ioctl(directFd, FIONREAD, &queued) == 0 && queued > 0) {
        post([this] { deliverArrival(); });
        return;
    }
    // Readable with nothing queued: the peer closed, or reset.
    char probe = 0;
    const ssize_t n = ::recv(directFd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        post([this] { deliverArrival(); });
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        arrivalNotifier->setEnabled(true);
    } else {
        endDirect(n == 0 ? 0 : errno);
    }
}

void Socket::Private::endDirect(int err) {
    if (directEnded)
        return;
    directEnded = true;
    if (arrivalNotifier)
        arrivalNotifier->setEnabled(false);
    post([this, err] {
        if (state != Socket::Connected)
            return;
        if (err == 0 || err == ECONNRESET) {
            emitPeerEnd(err != 0);
            return;
        }
        state = Socket::Error;
        emit q->error(classicNumberForErrno(err), qt_error_string(err));
    });
}

namespace {

// The pipe of the thread's last download, empty, for its next: a queue's
// connection moves many small files one after another, and making and
// sizing a pipe for each costs four system calls a file.
struct SparePipe {
    int fds[2] = {-1, -1};
    qint64 bytes = 0;
    SparePipe() = default;
    SparePipe(const SparePipe&) = delete;
    SparePipe& operator=(const SparePipe&) = delete;
    ~SparePipe() {
        for (int fd : fds) {
            if (fd >= 0)
                ::close(fd);
        }
    }
};
thread_local SparePipe sparePipe;

} // namespace

bool Socket::Private::ensurePipe() {
    if (pipeFds[0] >= 0)
        return true;
    if (sparePipe.fds[0] >= 0) {
        std::swap(pipeFds, sparePipe.fds);
        pipeBytes = sparePipe.bytes;
        return true;
    }
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipeFds[0] = pipeFds[1] = -1;
        return false;
    }
    // A larger pipe means fewer calls per arrival; refused, the default does.
    const int size = ::fcntl(pipeFds[1], F_SETPIPE_SZ, SplicePipeBytes);
    pipeBytes = size > 0 ? size : ::fcntl(pipeFds[1], F_GETPIPE_SZ);
    if (pipeBytes <= 0)
        pipeBytes = 64 * 1024;
    return true;
}

void Socket::Private::closePipe() {
    // Kept for the thread's next download only when nothing is left in it.
    int queued = -1;
    if (pipeFds[0] >= 0 && sparePipe.fds[0] < 0 &&
        ::ioctl(pipeFds[0], FIONREAD, &queued) == 0 && queued == 0) {
        std::swap(pipeFds, sparePipe.fds);
        sparePipe.bytes = pipeBytes;
        return;
    }
    for (int& fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void Socket::Private::drainPipe(LocalFile& file, qint64 n) {
    qint64 left = n;
    // Each call moves at least a byte or fails; the bound is a safety net.
    for (int call = 0; left > 0 && call < 4 * ZeroCopyPassCalls; ++call) {
        const ssize_t moved = spliceRefused ? -1
                                            : ::splice(pipeFds[0], nullptr, file.descriptor(),
                                                       nullptr, size_t(left), SPLICE_F_MOVE);
        if (moved > 0) {
            left -= moved;
            continue;
        }
        if (moved < 0 && errno == EINTR && !spliceRefused)
            continue;
        if (spliceRefused || (moved < 0 && refusedBySystem(errno))) {
            // This file takes no splice (opened for appending, or a file
            // system without it): copy what the pipe holds, and read
            // without the pipe from now on.
            spliceRefused = true;
            const ssize_t got =
                ::read(pipeFds[0], buffer.data(), size_t(std::min<qint64>(left, buffer.size())));
            if (got > 0) {
                file.write(QByteArrayView(buffer.constData(), got));
                left -= got;
                continue;
            }
        }
        // The file failed (a full disk): what the pipe holds is lost with
        // the transfer.
        const int err = moved == 0 ? ENOSPC : errno;
        closePipe();
        file.fail(err);
    }
    if (left > 0) {
        closePipe();
        file.fail(EIO);
    }
}

void Socket::Private::dropDirect() {
    stopFile();
    delete arrivalNotifier;
    arrivalNotifier = nullptr;
    closePipe();
    if (directFd >= 0)
        ::close(directFd);
    directFd = -1;
    direct = false;
    directEnded = false;
    spliceRefused = false;
    held.clear();
    held.squeeze();
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
    if (!socket || (state != Socket::Connected && state != Socket::Connecting) || lingerFd >= 0)
        return;
    finishing = false;
    // Whatever arrived before the peer closed is announced before the close,
    // so a reader that stops at the close still gets the tail.
    QPointer<Socket> guard(q);
    const quint64 gen = generation;
    if (socket->bytesAvailable() > 0) {
        emit q->dataArrival(socket->bytesAvailable());
        if (!guard || gen != generation)
            return;
    }
    emitPeerEnd(reset);
}

void Socket::Private::emitPeerEnd(bool reset) {
    if (reset) {
        state = Socket::Error;
        emit q->error(10054, QStringLiteral("The connection was reset by the server."));
        return;
    }
    state = Socket::Closing;
    emit q->closed();
}

void Socket::Private::deliverError(QAbstractSocket::SocketError err, const QString& text,
                                   bool reset) {
    // A peer's close (orderly or reset) is reported as the close event. Over
    // TLS the peer's close_notify is its close: a server that waits for ours
    // before it closes the TCP connection must not hold a wait until the time-out.
    if (err == QAbstractSocket::RemoteHostClosedError) {
        if (ssl() && encrypted) {
            // Qt's TLS layer reports the peer's close_notify with this error
            // while the TCP connection still stands; a TCP close or reset
            // without it comes from the plain socket underneath.
            closeNotified = !reset && text == TlsClosedText;
            deliverPeerClose(reset);
        }
        return;
    }
    if (finishing && lingerFd >= 0)
        return;
    if (state == Socket::Closed || state == Socket::Closing)
        return;
    state = Socket::Error;
    emit q->error(Socket::classicErrorNumber(err), text);
}

void Socket::Private::connectTo(const QString& host, quint16 port, bool encrypted) {
    if (state == Socket::Error)
        q->close();
    if (state != Socket::Closed)
        throw wrongState("connect");
    // Kept after the close, for the step that judges the end; a new
    // connection starts without it.
    closeNotified = false;
    // A control connection's sessions are its own: a server does not resume
    // a session of an earlier connection (a data connection offering one
    // would be refused where reuse is required).
    tlsSessions.clear();
    ticketWaitMissed = false;
    ++generation;
    QTcpSocket* s = newSocket();
    if (localPort != 0 || localAddress != QHostAddress(QHostAddress::Any)) {
        if (!s->bind(localAddress, localPort)) {
            const Fault fault(Socket::classicErrorNumber(s->error()), s->errorString());
            delete s;
            throw fault;
        }
    }
    socket = s;
    wire(s);
    state = QHostAddress(host).isNull() ? Socket::ResolvingHost : Socket::Connecting;
    if (encrypted) {
        QSslSocket* tls = ssl();
        configureTls(tls);
        handshakeClock.start();
        tls->connectToHostEncrypted(host, port, tls->peerVerifyName());
    } else {
        s->connectToHost(host, port);
    }
}

void Socket::Private::configureTls(QSslSocket* s) {
    // A data connection speaks TLS as its control connection does.
    const Private* settings = tlsSessionSource ? tlsSessionSource->d : this;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(settings->tlsProtocol);
    // The handshake completes whatever the verdict; the caller decides from
    // tlsPeer() before it sends anything.
    configuration.setPeerVerifyMode(QSslSocket::QueryPeer);
    // Keeps the session (and TLS 1.3's later tickets) in the configuration,
    // where a data connection can take it to resume.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    if (!settings->tlsCaCertificates.isEmpty())
        configuration.addCaCertificates(settings->tlsCaCertificates);
    QString peerName = tlsPeerName;
    if (tlsSessionSource) {
        const QByteArray session = tlsSessionSource->d->takeTlsSession();
        resumeOffered = !session.isEmpty();
        if (resumeOffered)
            configuration.setSessionTicket(session);
        peerName =
            tlsSessionSource->d->ssl() ? tlsSessionSource->d->ssl()->peerVerifyName() : QString();
        if (peerName.isEmpty() && tlsSessionSource->d->ssl())
            peerName = tlsSessionSource->d->ssl()->peerName();
    }
    s->setSslConfiguration(configuration);
    if (!peerName.isEmpty())
        s->setPeerVerifyName(peerName);
}

void Socket::Private::addTlsSession(const QByteArray& asn1) {
    if (asn1.isEmpty())
        return;
    for (const TlsSession& known : std::as_const(tlsSessions)) {
        if (known.asn1 == asn1)
            return;
    }
    tlsSessions.append({asn1, false});
    if (tlsSessions.size() > MaxTlsSessions)
        tlsSessions.removeFirst();
}

QByteArray Socket::Private::takeTlsSession() {
    for (qsizetype i = tlsSessions.size() - 1; i >= 0; --i) {
        if (!tlsSessions[i].handedOut) {
            tlsSessions[i].handedOut = true;
            return tlsSessions[i].asn1;
        }
    }
    // All handed out: the newest may still be good on servers that take a
    // ticket more than once.
    return tlsSessions.isEmpty() ? QByteArray() : tlsSessions.last().asn1;
}

void Socket::Private::deliverEncrypted() {
    QSslSocket* s = ssl();
    if (!s || encrypted || state != Socket::Connected)
        return;
    if (tlsDataConnection) {
        // A data connection is trusted because it shows the very certificate
        // the control connection showed (and was accepted for).
        const QSslSocket* control = tlsSessionSource ? tlsSessionSource->d->ssl() : nullptr;
        if (!control || control->peerCertificate().isNull() ||
            s->peerCertificate() != control->peerCertificate()) {
            state = Socket::Error;
            emit q->error(Socket::ErrTlsPeerChanged,
                          QStringLiteral("The data connection's server showed another "
                                         "certificate than the control connection's."));
            return;
        }
    } else if (s->sessionProtocol() != QSsl::TlsV1_3) {
        // Up to TLS 1.2 the session is complete with the handshake; TLS 1.3
        // sends its tickets afterwards (newSessionTicketReceived).
        addTlsSession(s->sslConfiguration().sessionTicket());
    }
    if (handshakeClock.isValid())
        handshakeMs = handshakeClock.elapsed();
    encrypted = true;
    emit q->encrypted();
}

void Socket::Private::continueFinish() {
    if (!finishing || lingerFd >= 0 || !socket)
        return;
    // Qt drops what is still queued when it is told to close before its
    // handshake has finished: wait for the handshake and for every byte to
    // be handed to TLS (encrypted and bytesWritten call again).
    QSslSocket* tls = ssl();
    if (tls && tls->mode() != QSslSocket::UnencryptedMode &&
        (!tls->isEncrypted() || tls->bytesToWrite() > 0))
        return;
    // A TLS 1.3 data connection brings the session ticket the next data
    // connection resumes with (servers that take each ticket once need a
    // fresh one), and it comes after the handshake: an upload that ends
    // before it came would close without it. Its arrival, or the end of the
    // wait, calls again. A server that sent no ticket on the control
    // connection sends none here either.
    Private* source = tlsSessionSource ? tlsSessionSource->d : nullptr;
    if (tls && source && resumeOffered && !source->ticketWaitMissed &&
        tls->sessionProtocol() == QSsl::TlsV1_3 && !ticketSeen && handshakeMs >= 0) {
        if (!ticketTimer) {
            ticketTimer = new QTimer(q);
            ticketTimer->setSingleShot(true);
            QObject::connect(ticketTimer, &QTimer::timeout, q, [this] {
                ticketSeen = true;
                if (tlsSessionSource)
                    tlsSessionSource->d->ticketWaitMissed = true;
                continueFinish();
            });
            ticketTimer->start(int(std::clamp(handshakeMs, MinTicketWaitMs, MaxTicketWaitMs)));
        }
        return;
    }
    const int fd = int(socket->socketDescriptor());
    lingerFd = fd >= 0 ? ::dup(fd) : -1;
    if (lingerFd < 0) {
        // Without a duplicate the close cannot linger; Qt still sends what
        // is queued (and close_notify) before it closes.
        finishing = false;
        socket->disconnectFromHost();
        return;
    }
    // Qt sends what is queued and, over TLS, the close_notify, then closes
    // its descriptor (the duplicate keeps the connection); the disconnected
    // signal then starts the linger.
    socket->disconnectFromHost();
}

void Socket::Private::startLinger() {
    if (lingerFd < 0 || lingerNotifier)
        return;
    ::shutdown(lingerFd, SHUT_WR);
    lingerNotifier = new QSocketNotifier(qintptr(lingerFd), QSocketNotifier::Read, q);
    QObject::connect(lingerNotifier, &QSocketNotifier::activated, q, [this] {
        char scrap[16384];
        // Bounded per notification; the notifier fires again while more is there.
        for (int i = 0; i < 64; ++i) {
            const ssize_t n = ::read(lingerFd, scrap, sizeof scrap);
            if (n > 0)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            endLinger(n < 0 && (errno == ECONNRESET || errno == EPIPE));
            return;
        }
    });
    lingerTimer = new QTimer(q);
    lingerTimer->setSingleShot(true);
    QObject::connect(lingerTimer, &QTimer::timeout, q, [this] { endLinger(); });
    lingerTimer->start(LingerMs);
}

void Socket::Private::endLinger(bool reset) {
    delete lingerNotifier;
    lingerNotifier = nullptr;
    delete lingerTimer;
    lingerTimer = nullptr;
    if (lingerFd >= 0) {
        ::close(lingerFd);
        lingerFd = -1;
    }
    if (!finishing)
        return;
    finishing = false;
    post([this, reset] {
        if (state == Socket::Connected)
            emitPeerEnd(reset);
    });
}

void Socket::Private::dropSocket() {
    dropDirect();
    encrypted = false;
    completionOwed = false;
    ticketSeen = false;
    resumeOffered = false;
    handshakeClock.invalidate();
    handshakeMs = -1;
    if (ticketTimer) {
        ticketTimer->stop();
        ticketTimer->deleteLater();
    }
    ticketTimer = nullptr;
    if (finishing || lingerFd >= 0) {
        finishing = false;
        endLinger();
    }
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
    d->connectTo(host, port, false);
}

void Socket::connectToHostEncrypted(const QString& host, quint16 port) {
    if (!d->tlsCapable)
        throw wrongState("connect with TLS");
    d->connectTo(host, port, true);
}

void Socket::startClientEncryption() {
    QSslSocket* tls = d->ssl();
    if (!tls || d->state != Connected || tls->mode() != QSslSocket::UnencryptedMode)
        throw wrongState("start TLS");
    d->configureTls(tls);
    d->handshakeClock.start();
    tls->startClientEncryption();
}

void Socket::setTlsCapable(bool on) {
    d->tlsCapable = on;
}

bool Socket::tlsCapable() const {
    return d->tlsCapable;
}

void Socket::setTlsPeerName(const QString& name) {
    d->tlsPeerName = name;
}

void Socket::setTlsCaCertificates(const QList<QSslCertificate>& certificates) {
    d->tlsCaCertificates = certificates;
}

void Socket::setTlsProtocol(QSsl::SslProtocol protocol) {
    d->tlsProtocol = protocol;
}

void Socket::setTlsSessionSource(Socket* control) {
    d->tlsSessionSource = control;
    d->tlsDataConnection = control != nullptr;
}

bool Socket::tlsClosedCleanly() const {
    return d->closeNotified;
}

bool Socket::isEncrypted() const {
    return d->encrypted;
}

TlsPeer Socket::tlsPeer() const {
    const QSslSocket* tls = d->ssl();
    if (!tls || !d->encrypted)
        return TlsPeer();
    TlsPeer peer = TlsPeer::fromCertificate(tls->peerCertificate());
    const QList<QSslError> errors = tls->sslHandshakeErrors();
    for (const QSslError& error : errors) {
        if (!peer.errors.contains(error.errorString()))
            peer.errors.append(error.errorString());
    }
    if (peer.isNull() && peer.errors.isEmpty())
        peer.errors.append(QStringLiteral("The server showed no certificate."));
    peer.protocol = protocolText(tls->sessionProtocol());
    peer.cipher = tls->sessionCipher().name();
    return peer;
}

int Socket::tlsSessionCount() const {
    return int(d->tlsSessions.size());
}

void Socket::finish() {
    if (d->state != Connected || !d->socket)
        throw wrongState("finish");
    if (d->finishing)
        return;
    d->finishing = true;
    d->continueFinish();
}

void Socket::listen() {
    if (d->state == Error)
        close();
    if (d->state != Closed)
        throw wrongState("listen");
    ++d->generation;
    d->closeNotified = false;
    d->dropRequests();
    auto* server = d->tlsCapable ? new TlsCapableServer(this) : new QTcpServer(this);
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
    d->send(bytes, nullptr);
}

void Socket::sendShared(const QByteArray& bytes) {
    d->send(bytes, &bytes);
}

void Socket::Private::send(QByteArrayView bytes, const QByteArray* whole) {
    if (state != Socket::Connected || !socket)
        throw wrongState("send");
    if (bytes.isEmpty())
        return;
    completionOwed = true;
    // With nothing queued in Qt, the bytes go to the system directly: that
    // saves copying every block into Qt's write buffer. What the system does
    // not take now, and any failure, is left to Qt, which queues the rest
    // and reports errors as usual.
    // Never under TLS: those bytes must go through the encryption.
    qint64 direct = 0;
    const QSslSocket* tls = ssl();
    if (socket->bytesToWrite() == 0 && (!tls || tls->mode() == QSslSocket::UnencryptedMode))
        direct = sendDirect(bytes);
    const QByteArrayView rest = bytes.sliced(direct);
    if (direct > 0) {
        const qint64 remaining = rest.size();
        post([this, direct, remaining] { deliverSendProgress(direct, remaining); });
    }
    if (rest.isEmpty())
        return;
    // Given the whole array, Qt queues a reference to it instead of a copy
    // (under TLS the encryption reads it from there): one copy of every
    // byte less. The caller's next change of the array makes its own copy
    // if Qt still holds it.
    const qint64 written = whole && rest.size() == whole->size()
                               ? socket->write(*whole)
                               : socket->write(rest.data(), rest.size());
    if (written != rest.size())
        throw Fault(classicErrorNumber(socket->error()), socket->errorString());
    // Hand the bytes to the system now rather than on the next write
    // notification: that saves an event-loop pass per block. The progress
    // report this emits is queued like every other.
    socket->flush();
}

qint64 Socket::bytesToWrite() const {
    return d->unsent() + d->fileLeft;
}

bool Socket::sendFile(const LocalFile& file, qint64 offset, qint64 count) {
    if (d->state != Connected || !d->socket || d->direct)
        throw wrongState("send");
    // Under TLS the bytes must go through the encryption; bytes already
    // queued must go first.
    if (d->tlsCapable || d->unsent() > 0 || d->fileLeft > 0 || file.descriptor() < 0 ||
        offset < 0 || count <= 0 || !d->ensureDirectFd())
        return false;
    // A duplicate: the caller may close its file before the last byte is out.
    d->fileFd = ::fcntl(file.descriptor(), F_DUPFD_CLOEXEC, 0);
    if (d->fileFd < 0)
        return false;
    d->fileOffset = offset;
    d->fileLeft = count;
    d->completionOwed = false;
    if (!d->sendFilePass()) {
        d->stopFile();
        return false;
    }
    return true;
}

bool Socket::receiveDirect() {
    if (d->direct)
        return true;
    if (d->state != Connected || !d->socket || d->tlsCapable || d->fileLeft > 0 || d->finishing ||
        !d->ensureDirectFd())
        return false;
    // What Qt has read already comes before anything still in the system.
    d->held = d->socket->readAll();
    QObject::disconnect(d->socket, nullptr, this, nullptr);
    // Qt closes its descriptor and stops reading; the connection lives on
    // in the duplicate, which this socket reads from now on.
    d->socket->abort();
    d->direct = true;
    d->arrivalNotifier = new QSocketNotifier(qintptr(d->directFd), QSocketNotifier::Read, this);
    connect(d->arrivalNotifier, &QSocketNotifier::activated, this, [this] { d->arrivalReady(); });
    if (!d->held.isEmpty()) {
        d->arrivalNotifier->setEnabled(false);
        d->post([this] { d->deliverArrival(); });
    }
    return true;
}

bool Socket::receivingDirect() const {
    return d->direct;
}

qint64 Socket::receiveInto(LocalFile& file) {
    if (!d->direct)
        throw wrongState("receive");
    qint64 moved = 0;
    if (!d->held.isEmpty()) {
        file.write(d->held);
        moved = d->held.size();
        d->held.clear();
        d->held.squeeze();
    }
    if (d->directEnded)
        return moved;
    if (d->buffer.size() < MinReadBuffer)
        d->buffer.resize(MinReadBuffer);
    for (int call = 0; call < ZeroCopyPassCalls && moved < ZeroCopyPassBytes; ++call) {
        ssize_t n = -1;
        if (!d->spliceRefused && d->ensurePipe()) {
            n = ::splice(d->directFd, nullptr, d->pipeFds[1], nullptr, size_t(d->pipeBytes),
                         SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
            if (n > 0) {
                d->drainPipe(file, n);
                moved += n;
                continue;
            }
            if (n < 0 && refusedBySystem(errno)) {
                d->spliceRefused = true; // this socket offers no splice: copy
                continue;
            }
        } else {
            n = ::read(d->directFd, d->buffer.data(), size_t(d->buffer.size()));
            if (n > 0) {
                file.write(QByteArrayView(d->buffer.constData(), n));
                moved += n;
                continue;
            }
        }
        if (n == 0) {
            d->endDirect(0);
            return moved;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            d->endDirect(errno);
            return moved;
        }
        break;
    }
    if (d->arrivalNotifier)
        d->arrivalNotifier->setEnabled(true);
    return moved;
}

qint64 Socket::bytesAvailable() const {
    if (d->direct) {
        int queued = 0;
        if (d->directEnded || ::ioctl(d->directFd, FIONREAD, &queued) != 0)
            queued = 0;
        return d->held.size() + queued;
    }
    return d->socket ? d->socket->bytesAvailable() : 0;
}

QByteArrayView Socket::readAvailable() {
    if (d->direct) {
        // The direct mode reads with receiveInto(); this is the copy for a
        // caller that wants the bytes themselves.
        if (!d->held.isEmpty()) {
            d->buffer = std::exchange(d->held, QByteArray());
            return QByteArrayView(d->buffer);
        }
        if (d->buffer.size() < MinReadBuffer)
            d->buffer.resize(MinReadBuffer);
        const ssize_t got =
            d->directEnded ? 0 : ::read(d->directFd, d->buffer.data(), size_t(d->buffer.size()));
        if (got <= 0)
            return {};
        return QByteArrayView(d->buffer.constData(), got);
    }
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
