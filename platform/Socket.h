#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QtNetwork/qssl.h>

#include "TlsPeer.h"

class QTcpServer;
class QTcpSocket;

namespace platform {

class LocalFile;

// One TCP socket with the classic event-socket surface: numbered states,
// events for arrival, connection request, send progress and completion,
// peer close and error, and the classic socket error numbers.
//
// Events are delivered only from the event loop, never synchronously from
// inside an operation: the engine's waits rely on that to see a consistent
// state between two pumps.
class Socket : public QObject {
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8, // the peer has closed; close() brings the socket to Closed
        Error = 9
    };

    // Faults raised by operations invalid in the current state.
    static constexpr qint32 ErrWrongState = 40006;
    // Error events of TLS: the handshake failed (the description says why),
    // and a data connection whose server showed another certificate than
    // the control connection's.
    static constexpr qint32 ErrTlsHandshake = 40100;
    static constexpr qint32 ErrTlsPeerChanged = 40101;

    explicit Socket(QObject* parent = nullptr);
    ~Socket() override;

    int state() const;

    // Port (and optionally address) the next listen() or connectToHost() binds to; 0 = any.
    void setLocalPort(quint16 port);
    void setLocalAddress(const QHostAddress& address);

    void connectToHost(const QString& host, quint16 port);
    // Throws Fault 10048 when the port is in use.
    void listen();
    // Accepts a pending connection request on this same socket, which stops
    // listening and becomes the connection.
    void accept(int requestId);
    // Drops a pending connection request without accepting it.
    void reject(int requestId);
    // Address of the peer behind a pending connection request.
    QHostAddress requestAddress(int requestId) const;

    // Throws Fault 40006 when not connected.
    void send(QByteArrayView bytes);
    // The same for a whole array: what Qt queues of it, it shares instead
    // of copying (the caller's next change of the array copies it first).
    void sendShared(const QByteArray& bytes);
    // Bytes handed over and not yet given to the system: by send() (under
    // TLS also their encrypted form) and by sendFile().
    qint64 bytesToWrite() const;
    qint64 bytesAvailable() const;
    // Reads everything available into one reused buffer; the view stays valid
    // until the next read or close.
    QByteArrayView readAvailable();
    void close();

    // --- Zero copy, for plain TCP only (never on a TLS-capable socket).
    // Sends `count` bytes of `file` from `offset` with sendfile(2): the
    // system reads them from the page cache straight into the connection.
    // They go in the background as the connection takes them, reported by
    // send progress and send complete like bytes given to send(). False,
    // with nothing sent, when the system does not offer this for the file
    // or the socket (the caller then sends the bytes itself). A failure on
    // the way is an error event: the socket's number, or the file's (57)
    // when the file cannot be read or has become shorter.
    bool sendFile(const LocalFile& file, qint64 offset, qint64 count);
    // From now on the socket reads its descriptor itself, so that
    // receiveInto() can move arrivals into a file inside the system. Qt's
    // socket gives up the descriptor (it would otherwise read every arrival
    // into its own buffer first); what it had read already is delivered
    // first. Arrival, close and reset events go on as before. False when
    // the socket is not a connected plain one.
    bool receiveDirect();
    bool receivingDirect() const;
    // Moves what has arrived into `file` at its position with splice(2)
    // (socket to pipe to file), or by reading and writing where the system
    // refuses that for the file. Returns the bytes moved. A failure of the
    // file throws its Fault; the connection's end comes as an event.
    qint64 receiveInto(LocalFile& file);

    QString localAddressText() const; // dotted form of the local end
    QHostAddress localAddress() const;
    quint16 localPort() const;
    QHostAddress remoteAddress() const;
    QString remoteHostIp() const;
    quint16 remotePort() const;

    // Maps Qt's socket errors onto the classic numbers (10061 refused, ...).
    static qint32 classicErrorNumber(int qtSocketError);

    // Orderly end of a connection on which this end has sent its last byte:
    // everything still queued goes out, then TLS's close_notify, then a FIN;
    // what the peer still sends (a TLS 1.3 session ticket, its own
    // close_notify) is read and dropped until the peer closes too, and that
    // is reported as the close event. Closing at once instead can reset the
    // connection under the peer's last reads, which costs the tail of an
    // upload. Bounded by the linger time. Throws 40006 when not connected.
    void finish();

    // --- TLS (FTP over TLS, RFC 4217). The socket itself stays plain TCP
    // until a handshake is started, but must be made able to carry TLS
    // before it connects or listens.
    void setTlsCapable(bool on);
    bool tlsCapable() const;
    // The name the certificate must carry (sent as SNI too); by default the
    // host given to connectToHost().
    void setTlsPeerName(const QString& name);
    // Authorities trusted besides the system's store (tests, private CAs).
    void setTlsCaCertificates(const QList<QSslCertificate>& certificates);
    // SecureProtocols (TLS 1.2 and later) unless a caller pins one.
    void setTlsProtocol(QSsl::SslProtocol protocol);
    // Implicit TLS: connects and starts the handshake at once.
    void connectToHostEncrypted(const QString& host, quint16 port);
    // Starts the client side of a handshake on a connected socket: after
    // AUTH TLS on the control connection, and on every data connection,
    // accepted ones included (the FTP client is always the TLS client).
    // Throws 40006 when not connected or not TLS-capable.
    void startClientEncryption();
    // Data connections: resume the TLS session of the control connection
    // `control` (servers refuse data connections that do not), with its
    // protocol and authorities, and accept only the certificate that
    // connection has. Set before the handshake.
    void setTlsSessionSource(Socket* control);
    // The handshake has completed (the encrypted event has been delivered).
    bool isEncrypted() const;
    // The peer's close came with TLS's close_notify. Without it the end of a
    // TLS stream may be a forged TCP close that cut it short.
    bool tlsClosedCleanly() const;
    // The server's certificate and the verification's verdict, after the
    // handshake. The connection carries no data of the caller's before the
    // caller has looked at this: a control connection can still be closed
    // without a word if the certificate is not accepted.
    TlsPeer tlsPeer() const;
    // Sessions this control connection holds for resumption by its data
    // connections (TLS 1.3 delivers them after the handshake).
    int tlsSessionCount() const;

signals:
    void dataArrival(qint64 bytesTotal);
    void connectionRequest(int requestId);
    void sendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void sendComplete();
    void closed();
    void error(qint32 number, const QString& description);
    // The TLS handshake has completed.
    void encrypted();

private:
    class Private;
    Private* d;
};

} // namespace platform
