#include "TestTls.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <map>

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace TestTls {

namespace {

QString openSslErrors() {
    QStringList texts;
    // Bounded by OpenSSL's error queue.
    for (unsigned long e = ERR_get_error(); e != 0; e = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(e, text, sizeof text);
        texts.append(QString::fromLatin1(text));
    }
    return texts.isEmpty() ? QStringLiteral("unknown TLS error") : texts.join(QLatin1String("; "));
}

QTemporaryDir& keyDirectory() {
    static QTemporaryDir dir;
    return dir;
}

Credentials make(const QString& name, const QString& subject, const QString& altNames) {
    Credentials c;
    QTemporaryDir& dir = keyDirectory();
    if (!dir.isValid()) {
        c.error = QStringLiteral("no temporary directory");
        return c;
    }
    c.certificateFile = dir.filePath(name + QLatin1String("-cert.pem"));
    c.keyFile = dir.filePath(name + QLatin1String("-key.pem"));
    QStringList arguments = {QStringLiteral("req"),
                             QStringLiteral("-x509"),
                             QStringLiteral("-newkey"),
                             QStringLiteral("ec"),
                             QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"),
                             QStringLiteral("-nodes"),
                             QStringLiteral("-days"),
                             QStringLiteral("2"),
                             QStringLiteral("-subj"),
                             subject,
                             QStringLiteral("-keyout"),
                             c.keyFile,
                             QStringLiteral("-out"),
                             c.certificateFile};
    if (!altNames.isEmpty())
        arguments << QStringLiteral("-addext") << QStringLiteral("subjectAltName=") + altNames;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(20000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        c.error = QStringLiteral("openssl req failed: ") +
                  QString::fromLocal8Bit(openssl.readAllStandardError()) + openssl.errorString();
        return c;
    }
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(c.certificateFile);
    if (certificates.isEmpty()) {
        c.error = QStringLiteral("cannot read ") + c.certificateFile;
        return c;
    }
    c.certificate = certificates.first();
    c.sha256 = QCryptographicHash::hash(c.certificate.toDer(), QCryptographicHash::Sha256);
    return c;
}

} // namespace

const Credentials& localhost() {
    static const Credentials c =
        make(QStringLiteral("localhost"), QStringLiteral("/CN=localhost/O=Krellin tests"),
             QStringLiteral("DNS:localhost,IP:127.0.0.1,IP:::1"));
    return c;
}

const Credentials& other(const QString& commonName) {
    static std::map<QString, Credentials> made;
    auto it = made.find(commonName);
    if (it == made.end()) {
        it = made.emplace(commonName, make(QStringLiteral("other-%1").arg(made.size()),
                                           QStringLiteral("/CN=") + commonName, {}))
                 .first;
    }
    return it->second;
}

// --- ServerContext

ServerContext::ServerContext(const Credentials& credentials, Version version) {
    if (!credentials.ok()) {
        m_Error = credentials.error;
        return;
    }
    m_Ctx = SSL_CTX_new(TLS_server_method());
    if (!m_Ctx) {
        m_Error = openSslErrors();
        return;
    }
    const QByteArray cert = QFile::encodeName(credentials.certificateFile);
    const QByteArray key = QFile::encodeName(credentials.keyFile);
    if (SSL_CTX_use_certificate_chain_file(m_Ctx, cert.constData()) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_Ctx, key.constData(), SSL_FILETYPE_PEM) != 1) {
        m_Error = openSslErrors();
        return;
    }
    const int min = version == Version::Tls13 ? TLS1_3_VERSION : TLS1_2_VERSION;
    const int max = version == Version::Tls12 ? TLS1_2_VERSION : TLS1_3_VERSION;
    SSL_CTX_set_min_proto_version(m_Ctx, min);
    SSL_CTX_set_max_proto_version(m_Ctx, max);
    static const unsigned char context[] = "krellin-tests";
    SSL_CTX_set_session_id_context(m_Ctx, context, sizeof context - 1);
    SSL_CTX_set_session_cache_mode(m_Ctx, SSL_SESS_CACHE_SERVER);
    SSL_CTX_set_session_ticket_cb(m_Ctx, nullptr, &ServerContext::decryptedTicket, this);
}

SSL_TICKET_RETURN ServerContext::decryptedTicket(SSL*, SSL_SESSION* session, const unsigned char*,
                                                 size_t, SSL_TICKET_STATUS status, void* arg) {
    auto* self = static_cast<ServerContext*>(arg);
    const bool good = status == SSL_TICKET_SUCCESS || status == SSL_TICKET_SUCCESS_RENEW;
    if (!good)
        return status == SSL_TICKET_EMPTY || status == SSL_TICKET_NO_DECRYPT
                   ? SSL_TICKET_RETURN_IGNORE_RENEW
                   : SSL_TICKET_RETURN_ABORT;
    // Every TLS 1.3 ticket carries a session id of its own: a second use of
    // one means a full handshake on a single-use server.
    unsigned int length = 0;
    const unsigned char* id = SSL_SESSION_get_id(session, &length);
    const QByteArray key(reinterpret_cast<const char*>(id), qsizetype(length));
    if (self->m_SingleUse && self->m_Resumed.contains(key))
        return SSL_TICKET_RETURN_IGNORE_RENEW;
    self->m_Resumed.insert(key);
    return status == SSL_TICKET_SUCCESS_RENEW ? SSL_TICKET_RETURN_USE_RENEW : SSL_TICKET_RETURN_USE;
}

ServerContext::~ServerContext() {
    if (m_Ctx)
        SSL_CTX_free(m_Ctx);
}

// --- Stream

Stream::Stream(QTcpSocket* socket, QObject* parent) : QObject(parent), m_Socket(socket) {
    connect(socket, &QTcpSocket::readyRead, this, &Stream::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        onReadyRead();
        m_PeerClosed = true;
        emit disconnected();
    });
}

Stream::~Stream() {
    if (m_Ssl)
        SSL_free(m_Ssl);
    if (m_Socket)
        m_Socket->abort();
}

bool Stream::isOpen() const {
    return m_Socket && m_Socket->state() == QAbstractSocket::ConnectedState;
}

void Stream::startServerEncryption(ServerContext& context) {
    if (m_Ssl || !context.handle()) {
        fail(QStringLiteral("cannot start TLS: ") + context.error());
        return;
    }
    m_Context = &context;
    m_Ssl = SSL_new(context.handle());
    m_In = BIO_new(BIO_s_mem());
    m_Out = BIO_new(BIO_s_mem());
    SSL_set_bio(m_Ssl, m_In, m_Out);
    SSL_set_accept_state(m_Ssl);
    // A client hello that came before this call sits in the plain inbox.
    const QByteArray early = std::exchange(m_Inbox, {});
    if (!early.isEmpty())
        BIO_write(m_In, early.constData(), int(early.size()));
    pump();
}

QString Stream::protocol() const {
    return m_Ssl && m_Encrypted ? QString::fromLatin1(SSL_get_version(m_Ssl)) : QString();
}

void Stream::onReadyRead() {
    if (!m_Socket || m_Socket->bytesAvailable() <= 0)
        return;
    const QByteArray bytes = m_Socket->readAll();
    if (bytes.isEmpty())
        return;
    if (!m_Ssl) {
        m_Inbox += bytes;
        emit readyRead();
        return;
    }
    BIO_write(m_In, bytes.constData(), int(bytes.size()));
    pump();
}

void Stream::pump() {
    if (!m_Ssl || failed())
        return;
    if (!m_Encrypted) {
        const int result = SSL_do_handshake(m_Ssl);
        if (result != 1) {
            const int error = SSL_get_error(m_Ssl, result);
            flushOut();
            if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
                fail(QStringLiteral("TLS handshake failed: ") + openSslErrors());
                emit handshakeFailed();
            }
            return;
        }
        m_Encrypted = true;
        m_Reused = SSL_session_reused(m_Ssl) == 1;
        flushOut();
        if (!m_Pending.isEmpty())
            write(std::exchange(m_Pending, {}));
        emit encrypted();
    }
    bool got = false;
    char buffer[16384];
    // Bounded by what the input BIO holds.
    for (;;) {
        const int n = SSL_read(m_Ssl, buffer, int(sizeof buffer));
        if (n > 0) {
            m_Inbox.append(buffer, n);
            got = true;
            continue;
        }
        if (SSL_get_error(m_Ssl, n) == SSL_ERROR_ZERO_RETURN)
            m_CloseNotify = true;
        ERR_clear_error();
        break;
    }
    flushOut();
    if (got)
        emit readyRead();
}

void Stream::flushOut() {
    if (!m_Out || !m_Socket || m_Socket->state() == QAbstractSocket::UnconnectedState)
        return;
    char buffer[16384];
    // Bounded by what the output BIO holds.
    while (BIO_ctrl_pending(m_Out) > 0) {
        const int n = BIO_read(m_Out, buffer, int(sizeof buffer));
        if (n <= 0)
            break;
        m_Socket->write(buffer, n);
    }
    m_Socket->flush();
}

void Stream::write(const QByteArray& bytes) {
    if (!m_Socket || bytes.isEmpty() || m_Socket->state() == QAbstractSocket::UnconnectedState)
        return;
    if (!m_Ssl) {
        m_Socket->write(bytes);
        m_Socket->flush();
        return;
    }
    if (!m_Encrypted) {
        m_Pending += bytes;
        return;
    }
    qsizetype done = 0;
    // Memory BIOs take everything, so each pass writes a part.
    while (done < bytes.size()) {
        const int n = SSL_write(m_Ssl, bytes.constData() + done,
                                int(std::min<qsizetype>(bytes.size() - done, 1 << 20)));
        if (n <= 0) {
            fail(QStringLiteral("TLS write failed: ") + openSslErrors());
            return;
        }
        done += n;
    }
    flushOut();
}

QByteArray Stream::readAll() {
    return std::exchange(m_Inbox, {});
}

void Stream::close(bool notify) {
    if (!m_Socket)
        return;
    if (notify && m_Ssl && m_Encrypted && !m_Closing) {
        m_Closing = true;
        SSL_shutdown(m_Ssl);
        ERR_clear_error();
        flushOut();
    }
    m_Socket->disconnectFromHost();
}

void Stream::abort() {
    if (m_Socket)
        m_Socket->abort();
}

void Stream::fail(const QString& why) {
    if (m_Error.isEmpty())
        m_Error = why;
}

} // namespace TestTls
