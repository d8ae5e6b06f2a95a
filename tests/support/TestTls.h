#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSslCertificate>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <memory>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;
typedef struct bio_st BIO;
typedef struct ssl_session_st SSL_SESSION;
typedef int SSL_TICKET_STATUS;
typedef int SSL_TICKET_RETURN;

// The server side of TLS for the tests: throwaway certificates made with the
// openssl command at test time (no key is ever committed), and a TLS stream
// over an accepted QTcpSocket.
//
// The server side talks to OpenSSL directly: Qt gives every server-side
// QSslSocket an SSL context of its own, so a Qt server can neither resume a
// session across connections nor say whether a client resumed one, which is
// exactly what these tests must see.
namespace TestTls {

struct Credentials {
    QString certificateFile; // PEM
    QString keyFile;         // PEM, in a temporary directory
    QSslCertificate certificate;
    QByteArray sha256; // digest of the DER certificate
    QString error;     // why it could not be made; empty on success
    bool ok() const { return error.isEmpty(); }
};

// A self-signed certificate for "localhost", 127.0.0.1 and ::1, made once
// per test process.
const Credentials& localhost();
// Another self-signed one with the given common name and no alternative
// names, e.g. to play a server whose certificate changed.
const Credentials& other(const QString& commonName = QStringLiteral("impostor.invalid"));

enum class Version { Any, Tls12, Tls13 };

// One SSL context shared by all connections of a server, as real servers
// keep it: sessions made on one connection can be resumed on the next.
class ServerContext {
public:
    ServerContext(const Credentials& credentials, Version version);
    ~ServerContext();
    ServerContext(const ServerContext&) = delete;
    ServerContext& operator=(const ServerContext&) = delete;

    SSL_CTX* handle() const { return m_Ctx; }
    QString error() const { return m_Error; }

    // Servers that take each session ticket once: a ticket presented again
    // gets a full handshake, which is not a resumption.
    void setSingleUseSessions(bool on) { m_SingleUse = on; }

private:
    static SSL_TICKET_RETURN decryptedTicket(SSL* ssl, SSL_SESSION* session,
                                             const unsigned char* keyName, size_t keyNameLength,
                                             SSL_TICKET_STATUS status, void* arg);

    SSL_CTX* m_Ctx = nullptr;
    QString m_Error;
    bool m_SingleUse = false;
    QSet<QByteArray> m_Resumed;
};

// A socket that carries plain text until startServerEncryption(), then TLS
// (explicit TLS after AUTH TLS, or at once for implicit TLS). Reads and
// writes are plain text either way.
class Stream : public QObject {
    Q_OBJECT
public:
    Stream(QTcpSocket* socket, QObject* parent = nullptr);
    ~Stream() override;

    // Null once the socket is gone or being destroyed.
    QTcpSocket* socket() const { return qobject_cast<QTcpSocket*>(m_Socket.data()); }

    void startServerEncryption(ServerContext& context);
    bool isTls() const { return m_Ssl != nullptr; }
    bool isEncrypted() const { return m_Encrypted; }
    bool failed() const { return !m_Error.isEmpty(); }
    QString error() const { return m_Error; }

    // After the handshake: the session was resumed.
    bool sessionReused() const { return m_Reused; }
    QString protocol() const;
    // The peer sent its close_notify before closing.
    bool closeNotifyReceived() const { return m_CloseNotify; }
    // The peer closed or reset the TCP connection.
    bool peerClosed() const { return m_PeerClosed; }

    void write(const QByteArray& bytes);
    QByteArray readAll();
    qint64 bytesAvailable() const { return m_Inbox.size(); }
    // close_notify (when encrypted and notify is set), then FIN after
    // everything is sent.
    void close(bool notify = true);
    void abort();
    bool isOpen() const;

signals:
    void encrypted();
    void readyRead();
    void disconnected();
    void handshakeFailed();

private:
    void onReadyRead();
    void pump();
    void flushOut();
    void fail(const QString& why);

    // Held as the base class: a socket being destroyed still signals
    // disconnected() from ~QAbstractSocket, when it is no QTcpSocket any more.
    QPointer<QAbstractSocket> m_Socket;
    ServerContext* m_Context = nullptr;
    SSL* m_Ssl = nullptr;
    BIO* m_In = nullptr;  // owned by m_Ssl
    BIO* m_Out = nullptr; // owned by m_Ssl
    QByteArray m_Inbox;
    QByteArray m_Pending; // written before the handshake finished
    bool m_Encrypted = false;
    bool m_Reused = false;
    bool m_CloseNotify = false;
    bool m_PeerClosed = false;
    bool m_Closing = false;
    QString m_Error;
};

} // namespace TestTls
