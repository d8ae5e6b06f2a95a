#include "FakeFtpServer.h"

#include "ExtendedAddress.h"

#include "TestUtil.h"
#include <sys/socket.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Gap between the parts of a split reply, so that they arrive separately.
constexpr int PartGapMs = 30;

QByteArray lineBytes(const QString& text) {
    QByteArray out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        out += line.toUtf8() + "\r\n";
    }
    return out;
}

bool matches(const QString& pattern, const QString& line) {
    if (pattern.endsWith(QLatin1Char('*')))
        return line.startsWith(pattern.left(pattern.size() - 1));
    return pattern == line;
}

bool isLoopback(const QHostAddress& address) {
    return address.isLoopback();
}

} // namespace

FakeFtpServer::FakeFtpServer(QObject* parent)
    : FakeFtpServer(QHostAddress(QHostAddress::LocalHost), parent) {}

FakeFtpServer::FakeFtpServer(const QHostAddress& address, QObject* parent)
    : QObject(parent), m_Address(address) {
    m_Listener = new QTcpServer(this);
    if (!isLoopback(address))
        m_Errors.append(QStringLiteral("the fake server listens on loopback addresses only"));
    else if (!m_Listener->listen(address, 0))
        m_Errors.append(QStringLiteral("cannot listen: ") + m_Listener->errorString());
    connect(m_Listener, &QTcpServer::newConnection, this, &FakeFtpServer::onNewControl);
    m_PauseTimer = new QTimer(this);
    m_PauseTimer->setSingleShot(true);
    connect(m_PauseTimer, &QTimer::timeout, this, [this] {
        m_Blocked = false;
        ++m_Next;
        advance();
    });
}

FakeFtpServer::~FakeFtpServer() {
    if (m_Data)
        m_Data->abort();
    if (m_Control)
        m_Control->abort();
}

quint16 FakeFtpServer::port() const {
    return m_Listener->serverPort();
}

quint16 FakeFtpServer::passivePort() const {
    return m_Passive ? m_Passive->serverPort() : 0;
}

void FakeFtpServer::setGreeting(const QString& text) {
    m_Greeting = text;
}

void FakeFtpServer::setCloseOnConnect(bool close) {
    m_CloseOnConnect = close;
}

bool FakeFtpServer::controlConnected() const {
    return m_Control && m_Control->isOpen();
}

bool FakeFtpServer::dataConnected() const {
    return m_Data && m_Data->isOpen();
}

bool FakeFtpServer::controlEncrypted() const {
    return m_Control && m_Control->isEncrypted();
}

QString FakeFtpServer::controlTlsProtocol() const {
    return m_Control ? m_Control->protocol() : QString();
}

void FakeFtpServer::setTlsCredentials(const TestTls::Credentials& credentials) {
    m_TlsCredentials = &credentials;
}

void FakeFtpServer::setTlsVersion(TestTls::Version version) {
    m_TlsVersion = version;
}

void FakeFtpServer::setSingleUseTlsSessions(bool on) {
    m_SingleUseTls = on;
}

void FakeFtpServer::setImplicitTls(bool on) {
    m_ImplicitTls = on;
}

void FakeFtpServer::setRequireSessionReuse(bool on) {
    m_RequireReuse = on;
}

void FakeFtpServer::setDataTlsCredentials(const TestTls::Credentials& credentials) {
    m_DataTlsCredentials = &credentials;
}

TestTls::ServerContext& FakeFtpServer::tlsContext() {
    if (!m_TlsContext) {
        m_TlsContext = std::make_unique<TestTls::ServerContext>(
            m_TlsCredentials ? *m_TlsCredentials : TestTls::localhost(), m_TlsVersion);
        m_TlsContext->setSingleUseSessions(m_SingleUseTls);
        if (!m_TlsContext->error().isEmpty())
            m_Errors.append(QStringLiteral("TLS: ") + m_TlsContext->error());
    }
    return *m_TlsContext;
}

TestTls::ServerContext& FakeFtpServer::dataTlsContext() {
    if (!m_DataTlsCredentials)
        return tlsContext();
    if (!m_DataTlsContext) {
        m_DataTlsContext =
            std::make_unique<TestTls::ServerContext>(*m_DataTlsCredentials, m_TlsVersion);
        if (!m_DataTlsContext->error().isEmpty())
            m_Errors.append(QStringLiteral("TLS: ") + m_DataTlsContext->error());
    }
    return *m_DataTlsContext;
}

bool FakeFtpServer::dataRefused() const {
    return m_Data && m_Data->isTls() && !m_Data->isEncrypted() &&
           (m_DataPeerClosed || m_Data->failed());
}

bool FakeFtpServer::dataReady() const {
    return m_Data && !m_Connecting && (!m_Data->isTls() || m_Data->isEncrypted());
}

// --- script building

FakeFtpServer& FakeFtpServer::add(Step step) {
    m_Steps.append(std::move(step));
    // A script extended after it ran dry picks up at once.
    QTimer::singleShot(0, this, [this] { advance(); });
    return *this;
}

FakeFtpServer& FakeFtpServer::expect(const QString& commandLine) {
    return add({Step::Expect, commandLine, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::expectLogin(const QString& user) {
    return expect(QStringLiteral("USER ") + user)
        .reply(QStringLiteral("331 Password required"))
        .expect(QStringLiteral("PASS *"))
        .reply(QStringLiteral("230 Logged in"))
        .expect(QStringLiteral("PWD"))
        .reply(QStringLiteral("257 \"/\" is the current directory"));
}

FakeFtpServer& FakeFtpServer::expectLoginBeside(const QString& user) {
    setManyConnections(true);
    onCommand(QStringLiteral("QUIT"),
              [](FakeFtpServer& s, const QString&) { s.sendReply(QStringLiteral("221 Goodbye")); });
    return expectLogin(user);
}

FakeFtpServer& FakeFtpServer::reply(const QString& text) {
    return add({Step::Send, {}, lineBytes(text), 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::sendRaw(const QByteArray& bytes) {
    return add({Step::Send, {}, bytes, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::replyInParts(const QList<QByteArray>& parts) {
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            pause(PartGapMs);
        sendRaw(parts[i]);
    }
    return *this;
}

FakeFtpServer& FakeFtpServer::pause(int ms) {
    return add({Step::Pause, {}, {}, ms, {}, {}});
}

FakeFtpServer& FakeFtpServer::closeControl() {
    return add({Step::CloseControl, {}, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::stall() {
    return add({Step::Stall, {}, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::run(std::function<void(FakeFtpServer&)> fn) {
    return add({Step::Run, {}, {}, 0, {}, std::move(fn)});
}

FakeFtpServer& FakeFtpServer::startTls() {
    return add({Step::StartTls, {}, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::expectAuthTls() {
    return expect(QStringLiteral("AUTH TLS"))
        .reply(QStringLiteral("234 Proceed with negotiation."))
        .startTls();
}

QString FakeFtpServer::featReply(const QStringList& features) {
    QString text = QStringLiteral("211-Features:\n");
    for (const QString& feature : features)
        text += QLatin1Char(' ') + feature + QLatin1Char('\n');
    return text + QStringLiteral("211 End");
}

FakeFtpServer& FakeFtpServer::extendedPassive(const QString& text) {
    return add({Step::Passive, text, {}, 1, {}, {}});
}

FakeFtpServer& FakeFtpServer::passive(const QString& text) {
    return add({Step::Passive, text, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::dataConnect(const QHostAddress& from) {
    return add({Step::DataConnect, {}, {}, 0, from, {}});
}

FakeFtpServer& FakeFtpServer::dataSend(const QByteArray& bytes, int chunks) {
    const int n = std::max(1, chunks);
    const qsizetype size = (bytes.size() + n - 1) / n;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            pause(PartGapMs);
        add({Step::DataSend, {}, bytes.mid(i * size, size), 0, {}, {}});
    }
    return *this;
}

FakeFtpServer& FakeFtpServer::dataClose() {
    return add({Step::DataClose, {}, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::dataCloseWithoutNotify() {
    return add({Step::DataClose, {}, {}, 1, {}, {}});
}

FakeFtpServer& FakeFtpServer::dataAbort() {
    return add({Step::DataAbort, {}, {}, 0, {}, {}});
}

FakeFtpServer& FakeFtpServer::dataReceive() {
    return add({Step::DataReceive, {}, {}, 0, {}, {}});
}

// --- direct actions

void FakeFtpServer::onCommand(const QString& verb, Handler handler) {
    m_Handlers.insert(verb.toUpper(), std::move(handler));
}

void FakeFtpServer::sendReply(const QString& text) {
    sendBytes(lineBytes(text));
}

void FakeFtpServer::sendBytes(const QByteArray& bytes) {
    if (!m_Control) {
        m_Errors.append(QStringLiteral("no control connection to send: ") +
                        QString::fromUtf8(bytes));
        return;
    }
    m_Control->write(bytes);
}

void FakeFtpServer::dropControl() {
    if (m_Control)
        m_Control->close();
}

void FakeFtpServer::resetControl() {
    resetSocket(m_Control ? m_Control->socket() : nullptr);
}

void FakeFtpServer::resetData() {
    resetSocket(m_Data ? m_Data->socket() : nullptr);
}

void FakeFtpServer::resetSocket(QTcpSocket* socket) {
    if (!socket)
        return;
    // A zero linger time makes the close a reset (RST), not an orderly FIN.
    const linger hard{1, 0};
    if (socket->socketDescriptor() >= 0)
        ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

QString FakeFtpServer::openPassive(const QString& text, bool extended) {
    // Many connections: the last data connection, another connection's
    // perhaps, is not the one the next steps send on. With one connection,
    // the data connection of a transfer before, closed by the client, is
    // not the one this offer is for: a step waiting for data waits anew.
    if (m_ManyConnections) {
        m_Data = nullptr;
        m_DataPeerClosed = false;
    } else if (m_Data && m_DataPeerClosed) {
        m_Data->deleteLater();
        m_Data = nullptr;
        m_DataPeerClosed = false;
    }
    if (m_Passive) {
        m_Passive->close();
        m_Passive->deleteLater();
    }
    m_Passive = new QTcpServer(this);
    if (!m_Passive->listen(m_Address, 0))
        m_Errors.append(QStringLiteral("cannot listen for data: ") + m_Passive->errorString());
    connect(m_Passive, &QTcpServer::newConnection, this, &FakeFtpServer::onPassiveConnection);
    const quint16 p = m_Passive->serverPort();
    if (extended) {
        QString reply = text.isEmpty()
                            ? QStringLiteral("229 Entering Extended Passive Mode (|||{port}|)")
                            : text;
        return reply.replace(QStringLiteral("{port}"), QString::number(p));
    }
    QString reply =
        text.isEmpty() ? QStringLiteral("227 Entering Passive Mode (127,0,0,1,{p1},{p2}).") : text;
    reply.replace(QStringLiteral("{p1}"), QString::number(p / 256));
    reply.replace(QStringLiteral("{p2}"), QString::number(p % 256));
    return reply;
}

bool FakeFtpServer::waitForCommands(int n, int timeoutMs) {
    return TestUtil::waitUntil([&] { return m_Commands.size() >= n; }, timeoutMs);
}

// --- control connection

void FakeFtpServer::onNewControl() {
    // Bounded by the connections queued right now.
    while (m_Listener->hasPendingConnections()) {
        QTcpSocket* socket = m_Listener->nextPendingConnection();
        if (!socket)
            break;
        ++m_ControlCount;
        const QPointer<TestTls::Stream> earlier = m_Control;
        if (m_Control && !m_ManyConnections) {
            m_Control->abort();
            m_Control->deleteLater();
        }
        auto* stream = new TestTls::Stream(socket, this);
        m_Control = stream;
        m_LineBuffer.clear();
        m_ProtectData = false;
        connect(stream, &TestTls::Stream::readyRead, this, &FakeFtpServer::onControlReadyRead);
        connect(stream, &TestTls::Stream::handshakeFailed, this, [this] { ++m_TlsFailures; });
        if (m_CloseOnConnect) {
            socket->disconnectFromHost();
            continue;
        }
        if (m_ImplicitTls)
            stream->startServerEncryption(tlsContext());
        if (!m_Greeting.isEmpty())
            sendReply(m_Greeting);
        // The earlier connection may be in the middle of a reply still.
        if (m_ManyConnections && earlier && earlier->isOpen())
            m_Control = earlier;
    }
    advance();
}

void FakeFtpServer::onControlReadyRead() {
    auto* stream = qobject_cast<TestTls::Stream*>(sender());
    if (!stream || (stream != m_Control && !m_ManyConnections))
        return;
    const QByteArray bytes = stream->readAll();
    m_RawControl += bytes;
    QByteArray& buffer = m_ManyConnections ? m_LineBuffers[stream] : m_LineBuffer;
    buffer += bytes;
    // Bounded by the line ends in the buffer.
    for (qsizetype end = buffer.indexOf('\n'); end >= 0; end = buffer.indexOf('\n')) {
        QByteArray line = buffer.left(end);
        buffer.remove(0, end + 1);
        m_Reading = stream;
        if (line.endsWith('\r'))
            line.chop(1);
        handleLine(QString::fromUtf8(line));
    }
}

void FakeFtpServer::handleLine(const QString& line) {
    m_Commands.append(line);
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString verb = (space < 0 ? line : line.left(space)).toUpper();
    const QString argument = space < 0 ? QString() : line.mid(space + 1);
    if (verb == QLatin1String("PORT")) {
        m_LastPortArgument = argument;
        m_LastWasEprt = false;
    } else if (verb == QLatin1String("EPRT")) {
        m_LastEprtArgument = argument;
        m_LastWasEprt = true;
    } else if (verb == QLatin1String("PROT")) {
        m_ProtectData = argument.trimmed().compare(QLatin1String("P"), Qt::CaseInsensitive) == 0;
    }
    const auto handler = m_Handlers.constFind(verb);
    if (handler != m_Handlers.cend()) {
        const Handler h = *handler;
        // Many connections: the handler answers its own; the script's
        // connection stays the one it serves.
        const QPointer<TestTls::Stream> scripted = m_Control;
        if (m_ManyConnections && m_Reading)
            m_Control = m_Reading;
        h(*this, argument);
        if (m_ManyConnections && scripted && scripted->isOpen())
            m_Control = scripted;
        return;
    }
    if (m_ManyConnections && m_Reading)
        m_Control = m_Reading;
    // A script that does not mention FEAT or AUTH plays a server of RFC 959
    // only, which refuses them, as such servers do.
    if ((verb == QLatin1String("FEAT") || verb == QLatin1String("AUTH")) && !scriptExpects(line)) {
        sendReply(QStringLiteral("500 Command not understood."));
        return;
    }
    m_PendingCommands.append(line);
    advance();
}

bool FakeFtpServer::scriptExpects(const QString& line) const {
    // The Expect step this line would meet: the one after those the
    // commands already waiting will take.
    qsizetype skip = m_PendingCommands.size();
    for (qsizetype i = m_Next; i < m_Steps.size(); ++i) {
        if (m_Steps[i].kind != Step::Expect)
            continue;
        if (skip-- > 0)
            continue;
        return matches(m_Steps[i].text, line);
    }
    return false;
}

// --- data connection

void FakeFtpServer::onPassiveConnection() {
    auto* listener = qobject_cast<QTcpServer*>(sender());
    // Bounded by the connections queued right now.
    while (listener && listener->hasPendingConnections()) {
        QTcpSocket* socket = listener->nextPendingConnection();
        if (!socket)
            break;
        adoptData(socket);
    }
    advance();
}

void FakeFtpServer::adoptData(QTcpSocket* socket) {
    if (m_Data) {
        m_Data->abort();
        m_Data->deleteLater();
    }
    ++m_DataCount;
    auto* stream = new TestTls::Stream(socket, this);
    m_Data = stream;
    m_DataBytes.clear();
    m_DataPeerClosed = false;
    m_LastDataPeer = socket->peerAddress();
    connect(stream, &TestTls::Stream::readyRead, this, [this, stream] {
        if (stream == m_Data)
            m_DataBytes += stream->readAll();
    });
    connect(stream, &TestTls::Stream::disconnected, this, [this, stream] {
        if (stream != m_Data)
            return;
        m_DataBytes += stream->readAll();
        m_DataPeerClosed = true;
        advance();
    });
    if (m_ProtectData) {
        connect(stream, &TestTls::Stream::encrypted, this, [this, stream] {
            if (stream == m_Data)
                onDataEncrypted();
        });
        connect(stream, &TestTls::Stream::handshakeFailed, this, [this] { ++m_TlsFailures; });
        // The server waits for the client's hello, also while its own
        // active-mode connect is still under way.
        stream->startServerEncryption(dataTlsContext());
    }
}

void FakeFtpServer::onDataEncrypted() {
    const bool reused = m_Data->sessionReused();
    m_DataReused.append(reused);
    if (!reused && m_RequireReuse) {
        // vsftpd's answer; proftpd says 425.
        sendReply(QStringLiteral("522 SSL connection failed: session reuse required"));
        m_Data->abort();
        failScript(QStringLiteral("data connection %1 did not resume the TLS session")
                       .arg(m_DataReused.size()));
        return;
    }
    advance();
}

// --- script execution

void FakeFtpServer::failScript(const QString& message) {
    m_Errors.append(message);
    m_Stalled = true;
}

void FakeFtpServer::advance() {
    if (m_Advancing || m_Stalled)
        return;
    m_Advancing = true;
    // Each pass either consumes a step or stops, so this ends with the script.
    while (!m_Stalled && m_Next < m_Steps.size()) {
        m_Blocked = false;
        if (!runStep(m_Steps[m_Next])) {
            m_Blocked = true;
            break;
        }
        ++m_Next;
    }
    m_Advancing = false;
}

bool FakeFtpServer::runStep(Step& step) {
    switch (step.kind) {
    case Step::Expect: {
        if (m_PendingCommands.isEmpty())
            return false;
        const QString line = m_PendingCommands.takeFirst();
        if (!matches(step.text, line))
            failScript(QStringLiteral("expected \"%1\", received \"%2\"").arg(step.text, line));
        return true;
    }
    case Step::Send:
        // A script may start before the client has connected.
        if (!controlConnected())
            return false;
        sendBytes(step.bytes);
        return true;
    case Step::Pause:
        if (m_PauseTimer->isActive())
            return false;
        m_PauseTimer->start(step.number);
        // The timer's handler moves past this step.
        m_Blocked = true;
        return false;
    case Step::CloseControl:
        dropControl();
        return true;
    case Step::Stall:
        m_Stalled = true;
        return true;
    case Step::Run:
        if (step.fn)
            step.fn(*this);
        return true;
    case Step::Passive:
        sendReply(openPassive(step.text, step.number == 1));
        return true;
    case Step::StartTls:
        if (!m_Control)
            return false;
        m_Control->startServerEncryption(tlsContext());
        return true;
    case Step::DataConnect: {
        // number: 0 before the attempt, 1 while it runs.
        if (step.number == 1)
            return !m_Connecting;
        QHostAddress address;
        quint32 port = 0;
        if (m_LastWasEprt) {
            const auto endpoint = ExtendedAddress::ParseEprtArgument(m_LastEprtArgument);
            if (!endpoint) {
                failScript(
                    QStringLiteral("cannot use EPRT argument \"%1\"").arg(m_LastEprtArgument));
                return true;
            }
            address = endpoint->address;
            port = endpoint->port;
        } else {
            const QStringList fields = m_LastPortArgument.split(QLatin1Char(','));
            bool ok = fields.size() == 6;
            for (int i = 4; ok && i < 6; ++i)
                port = port * 256 + fields[i].trimmed().toUInt(&ok);
            address = QHostAddress(fields.mid(0, 4).join(QLatin1Char('.')));
            if (!ok || fields.size() != 6 || port == 0 || port > 65535) {
                failScript(
                    QStringLiteral("cannot use PORT argument \"%1\"").arg(m_LastPortArgument));
                return true;
            }
        }
        if (!isLoopback(address)) {
            // The test suite never connects anywhere but the loopback.
            failScript(QStringLiteral("refused to connect to %1").arg(address.toString()));
            return true;
        }
        auto* socket = new QTcpSocket(this);
        if (!step.address.isNull() && !socket->bind(step.address, 0)) {
            failScript(QStringLiteral("cannot bind to %1: %2")
                           .arg(step.address.toString(), socket->errorString()));
            delete socket;
            return true;
        }
        m_Connecting = true;
        step.number = 1;
        adoptData(socket);
        connect(socket, &QTcpSocket::connected, this, [this, socket] {
            m_LastDataPeer = socket->localAddress();
            m_Connecting = false;
            advance();
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] {
            if (!m_Connecting || !m_Data || socket != m_Data->socket())
                return;
            m_Connecting = false;
            failScript(QStringLiteral("data connection failed: ") + socket->errorString());
        });
        socket->connectToHost(address, quint16(port));
        return false;
    }
    case Step::DataSend:
        if (dataRefused())
            return true;
        if (!dataReady())
            return false;
        m_Data->write(step.bytes);
        return true;
    case Step::DataClose:
        if (dataRefused())
            return true;
        if (!dataReady())
            return false;
        m_Data->close(step.number == 0);
        return true;
    case Step::DataAbort:
        if (!m_Data || m_Connecting)
            return false;
        resetSocket(m_Data->socket());
        return true;
    case Step::DataReceive:
        if (!m_Data || m_Connecting || !m_DataPeerClosed)
            return false;
        if (m_Data->isTls())
            m_DataCloseNotify.append(m_Data->closeNotifyReceived());
        m_Uploads.append(m_DataBytes);
        m_DataBytes.clear();
        return true;
    }
    return true;
}
