#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class QTcpServer;
class QTcpSocket;

namespace platform {

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
    // While on, sent bytes are held back until they fill whole segments;
    // turning it off sends what is held at once. For bulk sends only: a
    // command must never wait.
    void setSendCoalescing(bool on);
    qint64 bytesAvailable() const;
    // Reads everything available into one reused buffer; the view stays valid
    // until the next read or close.
    QByteArrayView readAvailable();
    void close();

    QString localAddressText() const; // dotted form of the local end
    QHostAddress localAddress() const;
    quint16 localPort() const;
    QHostAddress remoteAddress() const;
    QString remoteHostIp() const;
    quint16 remotePort() const;

    // Maps Qt's socket errors onto the classic numbers (10061 refused, ...).
    static qint32 classicErrorNumber(int qtSocketError);

signals:
    void dataArrival(qint64 bytesTotal);
    void connectionRequest(int requestId);
    void sendProgress(qint64 bytesSent, qint64 bytesRemaining);
    void sendComplete();
    void closed();
    void error(qint32 number, const QString& description);

private:
    class Private;
    Private* d;
};

} // namespace platform
