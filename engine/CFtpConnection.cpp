// Control side of the FTP session engine: construction, properties, the
// control socket's handlers, the reply parser, the common send-and-wait, the
// log-in and the single-reply command steps, and the error model.

#include "CFtpConnection.h"

#include "EventPump.h"
#include "FtpErrors.h"
#include "LocalFile.h"
#include "Socket.h"
#include "TimerService.h"

#include <QScopeGuard>
#include <QStringList>

using platform::Socket;

const QString CFtpConnection::AnonymousPassword = QStringLiteral("guest@krellin.invalid");

namespace {

constexpr qint32 ErrUnspecifiedServer = -2147220503; // object-error base + 1001
constexpr qint32 ErrConnectionPending = 5;
constexpr qint32 ErrGreeting120 = 37;
constexpr qint32 ErrBadArguments = 48;
constexpr qint32 ErrNotLoggedIn = 52;
// Codeless lines a CWD reply may bring before its real reply; a server that
// sends nothing else would otherwise keep the step waiting for ever.
constexpr int MaxCodelessReplies = 100;
// Replies nobody asked for. More than this is a flood, not a conversation.
constexpr std::size_t MaxQueuedReplies = 1000;
// A reply may trickle in, every arrival restarting the inactivity interval;
// this many intervals bound the whole wait for one reply.
constexpr quint32 ReplyBoundIntervals = 4;
// After ABOR: how long a silence ends the wait for a reply that may not come.
constexpr quint32 AbortQuietMs = 1500;

const QString ClosedByServerText = QStringLiteral("The connection was closed by the server.");

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CFtpConnection::CFtpConnection(QObject* parent) : QObject(parent) {
    wscControl = new Socket;
    wscData = new Socket;
    m_TimeoutTimer = new CTimeout;
    m_TimeoutTimer->setWindowHandle(m_WindowHandle);

    connect(wscControl, &Socket::dataArrival, this, &CFtpConnection::wscControl_DataArrival);
    connect(wscControl, &Socket::closed, this, &CFtpConnection::wscControl_Close);
    connect(wscControl, &Socket::error, this, &CFtpConnection::wscControl_Error);

    connect(wscData, &Socket::connectionRequest, this, &CFtpConnection::wscData_ConnectionRequest);
    connect(wscData, &Socket::dataArrival, this, &CFtpConnection::wscData_DataArrival);
    connect(wscData, &Socket::closed, this, &CFtpConnection::wscData_Close);
    connect(wscData, &Socket::error, this, &CFtpConnection::wscData_Error);
    connect(wscData, &Socket::sendProgress, this, &CFtpConnection::wscData_SendProgress);
    connect(wscData, &Socket::sendComplete, this, &CFtpConnection::wscData_SendComplete);
}

CFtpConnection::~CFtpConnection() {
    BreakeConnection();
    delete wscData;
    wscData = nullptr;
    delete wscControl;
    wscControl = nullptr;
    delete m_TimeoutTimer;
    m_TimeoutTimer = nullptr;
}

// ---------------------------------------------------------------------------
// Properties and plain members

void CFtpConnection::CancelAnyCall() {
    m_CancelCall = true;
    m_LastError = ErrCancelled;
}

void CFtpConnection::setWindowHandle(qint32 hwnd) {
    m_WindowHandle = hwnd;
}
qint32 CFtpConnection::FtpGetLastError() const {
    return m_LastError;
}
QString CFtpConnection::CurrentDirectory() const {
    return m_CurrentDirectory;
}
QString CFtpConnection::GetLastServerResponse() const {
    return m_LastServerResponse;
}
qint32 CFtpConnection::TransferMode() const {
    return m_TransferMode;
}

void CFtpConnection::setTransferMode(qint32 value) {
    // Sets the flag without checking it, like CancelTransfer: the write is
    // allowed from inside another operation's wait.
    BusyOverride busy{m_Busy, m_CancelCall};
    if (value != m_TransferMode && ProcessTYPECommand(value))
        m_TransferMode = value;
}

bool CFtpConnection::PassiveMode() const {
    return m_PassiveMode;
}
void CFtpConnection::setPassiveMode(bool value) {
    m_PassiveMode = value;
}
QString CFtpConnection::FtpServer() const {
    return m_FtpServer;
}
void CFtpConnection::setFtpServer(const QString& value) {
    m_FtpServer = value;
}
QString CFtpConnection::Password() const {
    return m_Password;
}
void CFtpConnection::setPassword(const QString& value) {
    m_Password = value;
}
QString CFtpConnection::UserName() const {
    return m_UserName;
}
void CFtpConnection::setUserName(const QString& value) {
    m_UserName = value;
}

void CFtpConnection::setTimeout(qint16 seconds) {
    m_Timeout = seconds;
    m_TimeoutTimer->setTimeoutValue(seconds);
}

qint16 CFtpConnection::Timeout() const {
    return m_Timeout;
}
bool CFtpConnection::Busy() const {
    return m_Busy;
}
quint16 CFtpConnection::Port() const {
    return m_Port;
}
void CFtpConnection::setPort(quint16 port) {
    m_Port = port;
}

FtpSecurity::Mode CFtpConnection::Security() const {
    return m_Security;
}
void CFtpConnection::setSecurity(FtpSecurity::Mode mode) {
    m_Security = mode;
}
bool CFtpConnection::Extensions() const {
    return m_Extensions;
}
void CFtpConnection::setExtensions(bool on) {
    m_Extensions = on;
}
void CFtpConnection::setTrustedFingerprint(const QByteArray& sha256) {
    m_TrustedFingerprint = sha256;
}
void CFtpConnection::setInsecure(bool on) {
    m_Insecure = on;
}
void CFtpConnection::setTlsCaCertificates(const QList<QSslCertificate>& certificates) {
    m_TlsCaCertificates = certificates;
}
void CFtpConnection::setCertificateQuestion(CertificateQuestion ask) {
    m_AskCertificate = std::move(ask);
}
void CFtpConnection::setDowngradeQuestion(DowngradeQuestion ask) {
    m_AskDowngrade = std::move(ask);
}
bool CFtpConnection::DataProtected() const {
    return m_ProtectData && Encrypted();
}
bool CFtpConnection::SessionOpen() const {
    return wscControl->state() == Socket::Connected && m_LoggedIn;
}
bool CFtpConnection::Encrypted() const {
    return wscControl->isEncrypted() && wscControl->state() == Socket::Connected;
}
platform::TlsPeer CFtpConnection::ServerCertificate() const {
    return m_ServerCertificate;
}
const FtpFeatures& CFtpConnection::Features() const {
    return m_Features;
}

QString CFtpConnection::WelcomeMessage() {
    QString message;
    message.swap(m_WelcomeMessage);
    return message;
}

// ---------------------------------------------------------------------------
// Control channel

void CFtpConnection::wscControl_DataArrival(qint64) {
    ReplyReader::Output out;
    try {
        m_Reader.feed(wscControl->readAvailable(), out);
    } catch (const platform::Fault&) {
        // The socket went away between the event and the read; its close or
        // error event follows.
    }
    m_TimeoutTimer->Reset();
    TakeReaderOutput(out);
}

void CFtpConnection::wscControl_Close() {
    ReplyReader::Output out;
    m_Reader.finish(out);
    TakeReaderOutput(out);
    ControlFailed(ErrClosedByServer, ClosedByServerText);
}

void CFtpConnection::wscControl_Error(qint32 Number, const QString& Description) {
    // A reset or refused connection says so itself; it is never a user's cancel.
    ControlFailed(Number, Description);
}

void CFtpConnection::TakeReaderOutput(ReplyReader::Output& out) {
    for (const FtpReplyLine& line : std::as_const(out.lines))
        emit SessionProtocolMessage(line.text,
                                    line.code >= 400 ? ServerBadResponse : ServerResponse);
    for (FtpReply& reply : out.replies)
        m_ReplyBuffer.push_back(std::move(reply));
    if (!out.replies.isEmpty())
        NoteProgress();
    if (m_Reader.status() != ReplyReader::Status::Ok)
        ControlFailed(ErrReplyTooLong, QStringLiteral("The server's reply is too long."));
    else if (m_ReplyBuffer.size() > MaxQueuedReplies)
        ControlFailed(ErrReplyTooLong, QStringLiteral("The server sent too many replies."));
}

void CFtpConnection::ControlFailed(qint32 number, const QString& description) {
    if (m_ControlFailure == 0) {
        m_ControlFailure = number;
        m_ControlFailureText = description;
    }
    if (number == ErrReplyTooLong) {
        m_ReplyBuffer.clear();
        emit SessionProtocolMessage(description, ApplicationMessage);
    }
    try {
        if (wscControl->state() != Socket::Closed)
            wscControl->close();
    } catch (const platform::Fault&) {
    }
}

void CFtpConnection::ResetControlChannel() {
    m_Reader.reset();
    m_ReplyBuffer.clear();
    m_ControlFailure = 0;
    m_ControlFailureText.clear();
}

void CFtpConnection::WriteControl(const QByteArray& line) {
    wscControl->send(line);
}

bool CFtpConnection::SendCommand(const QString& strCommand, const QString& strLogged) {
    if (strCommand.contains(u'\r') || strCommand.contains(u'\n') || strCommand.contains(QChar())) {
        // Such a line would smuggle a second command to the server.
        m_LastError = ErrBadArguments;
        m_LastErrorDescription = FtpErrors::replyError(501)->description;
        return false;
    }
    // A socket the peer has closed (state 8) still reads as a socket; sending
    // on it is the wrong-state fault, as for one that is not connected at all.
    if (wscControl->state() != Socket::Connected)
        throw platform::Fault(Socket::ErrWrongState,
                              QStringLiteral("Wrong protocol or connection state for the "
                                             "requested transaction or request"));
    WriteControl((strCommand + QStringLiteral("\r\n")).toUtf8());
    emit SessionProtocolMessage(strLogged.isEmpty() ? strCommand : strLogged, UserCommand);
    return true;
}

void CFtpConnection::NoteProgress() {
    if (m_BoundTimerId != 0)
        platform::TimerService::setTimer(m_BoundTimerId,
                                         ReplyBoundIntervals * m_TimeoutTimer->intervalMs(),
                                         [this](quint32 id) { BoundTimerFired(id); });
}

void CFtpConnection::BoundTimerFired(quint32 id) {
    platform::TimerService::killTimer(id);
    if (id == m_BoundTimerId)
        m_BoundPassed = true;
}

CFtpConnection::WaitEnd CFtpConnection::WaitFor(const std::function<bool()>& completed) {
    quint32 timerId = platform::TimerService::tickCount();
    m_TimeoutTimer->StartTimer(timerId);
    // A nested wait (Stop inside a transfer) has a bound of its own; the
    // outer one's is back in force when it ends.
    const quint32 outerBound = m_BoundTimerId;
    const bool outerPassed = m_BoundPassed;
    m_BoundTimerId =
        platform::TimerService::setTimer(0, ReplyBoundIntervals * m_TimeoutTimer->intervalMs(),
                                         [this](quint32 id) { BoundTimerFired(id); });
    m_BoundPassed = false;
    auto stop = qScopeGuard([&] {
        m_TimeoutTimer->StopTimer(timerId);
        platform::TimerService::killTimer(m_BoundTimerId);
        m_BoundTimerId = outerBound;
        m_BoundPassed = outerPassed;
    });

    // Bounded by the timers: the inactivity interval, and the total bound that
    // only data and complete replies restart.
    for (bool first = true;; first = false) {
        // A cancel ends the operation before anything else runs: the window
        // that asked for it may be going away.
        if (m_CancelCall) {
            m_LastError = ErrCancelled;
            return WaitEnd::Cancelled;
        }
        if (first)
            platform::pumpEvents();
        else
            platform::waitForEvents();
        if (m_CancelCall) {
            m_LastError = ErrCancelled;
            return WaitEnd::Cancelled;
        }
        // What came is what happened, even when the timer has meanwhile run
        // out on it (a question box held the loop, say).
        if (completed())
            return WaitEnd::Completed;
        if (m_ControlFailure != 0) {
            m_LastError = m_ControlFailure;
            m_LastErrorDescription = m_ControlFailureText;
            return WaitEnd::Failed;
        }
        if (m_TimeoutTimer->Timeout(timerId) || m_BoundPassed) {
            m_LastError = ErrTimeout;
            return WaitEnd::TimedOut;
        }
    }
}

FtpReply CFtpConnection::TakeReply() {
    FtpReply reply = std::move(m_ReplyBuffer.front());
    m_ReplyBuffer.pop_front();
    m_LastServerResponse = reply.text();
    return reply;
}

std::optional<FtpReply> CFtpConnection::WaitForReply() {
    if (WaitFor([this] { return !m_ReplyBuffer.empty(); }) != WaitEnd::Completed)
        return std::nullopt;
    return TakeReply();
}

std::optional<FtpReply> CFtpConnection::Exchange(const QString& strCommand,
                                                 const QString& strLogged) {
    if (!SendCommand(strCommand, strLogged))
        return std::nullopt;
    return WaitForReply();
}

bool CFtpConnection::Expect(const std::optional<FtpReply>& reply, qint16 accepted) {
    if (!reply)
        return false;
    if (reply->hasCode && reply->code == accepted)
        return true;
    RecordRefusal(*reply);
    return false;
}

void CFtpConnection::RecordRefusal(const FtpReply& reply) {
    const auto error = reply.hasCode ? FtpErrors::replyError(reply.code) : std::nullopt;
    if (error && error->code >= 0) {
        m_LastError = error->code;
        m_LastErrorDescription =
            error->description ? QString::fromLatin1(error->description) : reply.text();
        return;
    }
    m_LastError = ErrUnexpectedReply;
    m_LastErrorDescription = QStringLiteral("Unexpected reply from the server: ") + reply.text();
}

void CFtpConnection::KeepMessage(const FtpReply& reply) {
    const QString message = reply.message();
    if (!message.isEmpty())
        m_WelcomeMessage = message;
}

// ---------------------------------------------------------------------------
// Connect and log-in

bool CFtpConnection::Connect() {
    if (m_Busy) {
        m_LastError = ErrBusy;
        return false;
    }
    m_LastError = 0;
    m_CancelCall = false;
    // A message nobody read belongs to the session before.
    m_WelcomeMessage.clear();
    m_Busy = true;
    BusyScope scope{m_Busy};

    bool loggedIn = false;
    try {
        if (m_FtpServer.isEmpty())
            throw platform::Fault(ErrUnspecifiedServer, QStringLiteral("FTP server is unspecified"),
                                  QStringLiteral("CFtpConnection.Connect"));
        ConnectAndLogIn(loggedIn);
    } catch (const platform::Fault& fault) {
        // A known fault after the log-in leaves the session logged in.
        TrapFault(fault, "Connect");
    }
    m_LoggedIn = loggedIn;
    if (loggedIn)
        emit StateChanged(LoggedIn);
    return loggedIn;
}

void CFtpConnection::ConnectAndLogIn(bool& loggedIn) {
    m_LoggedIn = false;
    wscControl->close();
    ResetControlChannel();
    m_ProtectData = false;
    m_Features = FtpFeatures();
    m_ServerCertificate = platform::TlsPeer();
    m_EpsvRefused = false;
    m_PortRefused = false;
    m_MlsdRefused = false;
    wscControl->setLocalPort(0);
    wscControl->setTlsCapable(m_Security != FtpSecurity::Mode::Plain);
    wscControl->setTlsPeerName(m_FtpServer);
    wscControl->setTlsCaCertificates(m_TlsCaCertificates);
    if (m_Security == FtpSecurity::Mode::Implicit)
        wscControl->connectToHostEncrypted(m_FtpServer, m_Port);
    else
        wscControl->connectToHost(m_FtpServer, m_Port);

    // Connect wait: a refused connection or an unknown host ends it at once
    // with the socket's own number (the socket's error event).
    int state = Socket::Closed;
    const WaitEnd connected = WaitFor([&] {
        state = wscControl->state();
        if (state == Socket::ResolvingHost)
            emit StateChanged(ResolvingHost);
        else if (state == Socket::HostResolved)
            emit StateChanged(HostResolved);
        return state == Socket::Connected || state == Socket::ConnectionPending;
    });
    if (connected != WaitEnd::Completed)
        return;
    if (state == Socket::ConnectionPending) {
        m_LastError = ErrConnectionPending;
        return;
    }
    emit StateChanged(Connected);
    // Implicit TLS: not even the greeting is read before the certificate is judged.
    if (m_Security == FtpSecurity::Mode::Implicit && !SecureControlConnection())
        return;

    // Greeting wait: one interval; a server that says nothing ends with 58.
    m_LastError = 0;
    std::optional<FtpReply> greeting = WaitForReply();
    if (greeting && greeting->hasCode && greeting->code == 120) {
        // "Ready in a few minutes": the 220 may still follow within an interval.
        KeepMessage(*greeting);
        greeting = WaitForReply();
        if (!greeting || !greeting->hasCode || greeting->code != 220) {
            m_LastError = ErrGreeting120;
            // The connect dialog shows the description alone.
            m_LastErrorDescription =
                QStringLiteral("The server is not ready yet. Try again in a few minutes.");
            wscControl->close();
            return;
        }
    }
    if (!greeting)
        return;
    if (greeting->hasCode && greeting->code == 220) {
        KeepMessage(*greeting);
        if ((m_Security == FtpSecurity::Mode::ExplicitIfAvailable ||
             m_Security == FtpSecurity::Mode::ExplicitRequired) &&
            !ProcessAUTHCommand())
            return;
        return LogIn(loggedIn);
    }
    // 421 through the table, so the description says why (41); anything else
    // names the reply the server sent.
    RecordRefusal(*greeting);
    wscControl->close();
}

void CFtpConnection::LogIn(bool& loggedIn) {
    const qint32 user = ProcessUSERCommand();
    loggedIn = user == 230 || (user == 331 && ProcessPASSCommand() == 230);
    if (!loggedIn) {
        // No answer at all (a time-out, a cancel, a lost connection) says more
        // than "not logged in"; an answer that refused says just that.
        if (m_LastError == ErrTimeout || m_LastError == ErrCancelled ||
            (m_ControlFailure != 0 && m_LastError == m_ControlFailure))
            return;
        m_LastError = ErrNotLoggedIn;
        // The dialog shows the description alone; an older text would mislead.
        m_LastErrorDescription = QString::fromLatin1(FtpErrors::replyError(530)->description);
        wscControl->close();
        return;
    }
    AfterLogIn();
    ProcessPWDCommand(); // a failed PWD does not undo the log-in
}

bool CFtpConnection::ProcessAUTHCommand() {
    return Trapped("ProcessAUTHCommand", [this] {
        const auto reply = Exchange(QStringLiteral("AUTH TLS"));
        if (!reply)
            return false;
        if (reply->hasCode && reply->code == 234) {
            wscControl->startClientEncryption();
            return SecureControlConnection();
        }
        // A server without TLS answers 500, 502 or 504; "if available" then
        // goes on in plain FTP, and says so.
        if (m_Security == FtpSecurity::Mode::ExplicitIfAvailable && reply->hasCode &&
            reply->code >= 500) {
            emit SessionProtocolMessage(
                QStringLiteral("The server does not offer FTP over TLS; continuing with plain "
                               "FTP: the password and the data go over the network unencrypted."),
                ApplicationMessage);
            return true;
        }
        m_LastError = ErrTlsRefused;
        m_LastErrorDescription =
            QStringLiteral("The server refused FTP over TLS: ") + reply->text();
        wscControl->close();
        return false;
    });
}

bool CFtpConnection::SecureControlConnection() {
    // A failed handshake arrives as the socket's error (40100 and Qt's text).
    if (WaitFor([this] { return wscControl->isEncrypted(); }) != WaitEnd::Completed)
        return false;
    m_ServerCertificate = wscControl->tlsPeer();
    const platform::TlsPeer& peer = m_ServerCertificate;
    const QString session =
        peer.protocol + (peer.cipher.isEmpty() ? QString() : QStringLiteral(", ") + peer.cipher);
    switch (FtpSecurity::judge(peer, m_TrustedFingerprint, m_Insecure)) {
    case FtpSecurity::Verdict::Trusted:
        emit SessionProtocolMessage(
            QStringLiteral("TLS connection established (%1); the certificate is verified.")
                .arg(session),
            ApplicationMessage);
        return true;
    case FtpSecurity::Verdict::Accepted:
        emit SessionProtocolMessage(
            QStringLiteral("TLS connection established (%1); the certificate %2 is trusted.")
                .arg(session, peer.fingerprintText()),
            ApplicationMessage);
        return true;
    case FtpSecurity::Verdict::Insecure:
        emit SessionProtocolMessage(
            QStringLiteral("TLS connection established (%1) WITHOUT CHECKING THE CERTIFICATE "
                           "(%2): anyone in between could read and change this session. %3")
                .arg(session, peer.fingerprintText(), peer.errors.join(QLatin1Char(' '))),
            ApplicationMessage);
        return true;
    case FtpSecurity::Verdict::Changed:
        m_LastError = ErrCertificateChanged;
        m_LastErrorDescription = FtpSecurity::changedWarning(m_TrustedFingerprint, peer);
        break;
    case FtpSecurity::Verdict::Ask:
        if (m_AskCertificate && m_AskCertificate(peer)) {
            emit SessionProtocolMessage(
                QStringLiteral("TLS connection established (%1); the certificate %2 was "
                               "accepted by the user.")
                    .arg(session, peer.fingerprintText()),
                ApplicationMessage);
            return true;
        }
        m_LastError = ErrCertificateRefused;
        m_LastErrorDescription = QStringLiteral("The server's certificate was not accepted:\n") +
                                 FtpSecurity::describe(peer);
        break;
    }
    emit SessionProtocolMessage(m_LastErrorDescription, ApplicationMessage);
    wscControl->close();
    return false;
}

void CFtpConnection::AfterLogIn() {
    Trapped("AfterLogIn", [this] {
        if (wscControl->isEncrypted()) {
            // RFC 4217: PBSZ 0 before PROT; with PROT P the data connections are TLS too.
            if (Expect(Exchange(QStringLiteral("PBSZ 0")), 200) &&
                Expect(Exchange(QStringLiteral("PROT P")), 200))
                m_ProtectData = true;
            else
                emit SessionProtocolMessage(
                    QStringLiteral("The server refused to protect the data connections: "
                                   "listings and files go over the network unencrypted."),
                    ApplicationMessage);
        }
        if (m_Extensions) {
            const auto features = Exchange(QStringLiteral("FEAT"));
            if (features)
                m_Features = FtpFeatures::FromReply(features->text());
            if (m_Features.Utf8())
                Exchange(QStringLiteral("OPTS UTF8 ON"));
            // Facts a server offers without sending them by default (pyftpdlib's
            // unix.mode) are asked for, so MLSD fills what LIST would.
            static const QStringList wanted = {
                QStringLiteral("type"),           QStringLiteral("size"),
                QStringLiteral("sizd"),           QStringLiteral("modify"),
                QStringLiteral("unix.mode"),      QStringLiteral("unix.owner"),
                QStringLiteral("unix.ownername"), QStringLiteral("unix.group"),
                QStringLiteral("unix.groupname"), QStringLiteral("unix.uid"),
                QStringLiteral("unix.gid")};
            QString facts;
            bool missing = false;
            const QStringList enabled = m_Features.MlstFactsEnabled();
            for (const QString& fact : m_Features.MlstFacts()) {
                if (!wanted.contains(fact))
                    continue;
                facts += fact + QLatin1Char(';');
                missing = missing || !enabled.contains(fact);
            }
            if (m_Features.Mlst() && missing)
                Exchange(QStringLiteral("OPTS MLST ") + facts);
        }
        // None of these is needed for the log-in to stand.
        m_LastError = 0;
        return true;
    });
}

qint32 CFtpConnection::ProcessUSERCommand() {
    return Trapped("ProcessUSERCommand", [this]() -> qint32 {
        m_LastError = 0;
        emit StateChanged(Authenticating);
        if (m_UserName.isEmpty())
            m_UserName = QStringLiteral("anonymous");
        if (m_Password.isEmpty()) {
            if (m_UserName != u"anonymous")
                return 0;
            m_Password = AnonymousPassword;
        }
        const auto reply = Exchange(QStringLiteral("USER ") + m_UserName);
        if (!reply)
            return 0;
        KeepMessage(*reply);
        if (reply->hasCode && (reply->code == 230 || reply->code == 331))
            return reply->code;
        RecordRefusal(*reply);
        return 0;
    });
}

qint32 CFtpConnection::ProcessPASSCommand() {
    return Trapped("ProcessPASSCommand", [this]() -> qint32 {
        m_LastError = 0;
        const QString masked = QStringLiteral("PASS ") + QString(m_Password.size(), u'*');
        const auto reply = Exchange(QStringLiteral("PASS ") + m_Password, masked);
        if (reply)
            KeepMessage(*reply);
        return Expect(reply, 230) ? 230 : 0;
    });
}

bool CFtpConnection::ProcessPWDCommand() {
    return Trapped("ProcessPWDCommand", [this] {
        m_LastError = 0;
        const auto reply = Exchange(QStringLiteral("PWD"));
        if (!Expect(reply, 257))
            return false;
        // The name ends at the first quote after the opening one; doubled
        // quotes inside a name are not undone.
        const QString text = reply->lines.constLast();
        const qsizetype open = text.indexOf(u'"');
        if (open < 0) {
            // "257 /home" without quotes: the first word after the code.
            const QString path =
                text.mid(4).trimmed().section(u' ', 0, 0, QString::SectionSkipEmpty);
            if (path.isEmpty()) {
                RecordRefusal(*reply);
                return false;
            }
            m_CurrentDirectory = QString(path).replace(u'\\', u'/');
            return true;
        }
        const qsizetype close = text.indexOf(u'"', open + 1);
        if (close < 0) {
            RecordRefusal(*reply);
            return false;
        }
        m_CurrentDirectory = text.mid(open + 1, close - open - 1).replace(u'\\', u'/');
        return true;
    });
}

// ---------------------------------------------------------------------------
// Directory and file command steps

bool CFtpConnection::ProcessTYPECommand(qint32 vTransferMode) {
    return Trapped("ProcessTYPECommand", [&] {
        const QString type = vTransferMode == 0 ? QStringLiteral("A") : QStringLiteral("I");
        return Expect(Exchange(QStringLiteral("TYPE ") + type), 200);
    });
}

bool CFtpConnection::ProcessCWDCommand(const QString& strNewDirectory) {
    return Trapped("ProcessCWDCommand", [&] {
        if (!SendCommand(QStringLiteral("CWD ") + strNewDirectory))
            return false;
        // Some servers send lines without a code before the real reply; each
        // such line starts the wait over.
        for (int line = 0; line < MaxCodelessReplies; ++line) {
            const auto reply = WaitForReply();
            if (!reply)
                return false;
            if (reply->hasCode) {
                KeepMessage(*reply);
                return Expect(reply, 250);
            }
        }
        m_LastError = ErrTimeout;
        return false;
    });
}

bool CFtpConnection::ProcessCDUPCommand() {
    return Trapped("ProcessCDUPCommand", [&] {
        const auto reply = Exchange(QStringLiteral("CDUP"));
        if (reply)
            KeepMessage(*reply);
        return Expect(reply, 250);
    });
}

bool CFtpConnection::ProcessMKDCommand(const QString& strDirName) {
    return Trapped("ProcessMKDCommand",
                   [&] { return Expect(Exchange(QStringLiteral("MKD ") + strDirName), 257); });
}

bool CFtpConnection::ProcessRMDCommand(const QString& strDirName) {
    return Trapped("ProcessRMDCommand",
                   [&] { return Expect(Exchange(QStringLiteral("RMD ") + strDirName), 250); });
}

bool CFtpConnection::ProcessDELECommand(const QString& strFileName) {
    return Trapped("ProcessDELECommand",
                   [&] { return Expect(Exchange(QStringLiteral("DELE ") + strFileName), 250); });
}

bool CFtpConnection::ProcessRNFRCommand(const QString& strFileName) {
    return Trapped("ProcessRNFRCommand",
                   [&] { return Expect(Exchange(QStringLiteral("RNFR ") + strFileName), 350); });
}

bool CFtpConnection::ProcessRNTOCommand(const QString& strFileName) {
    return Trapped("ProcessRNTOCommand",
                   [&] { return Expect(Exchange(QStringLiteral("RNTO ") + strFileName), 250); });
}

bool CFtpConnection::ProcessQUITCommand() {
    return Trapped("ProcessQUITCommand",
                   [&] { return Expect(Exchange(QStringLiteral("QUIT")), 221); });
}

bool CFtpConnection::ProcessABORCommand() {
    return Trapped("ProcessABORCommand", [&] {
        // The interrupted transfer's own final reply (426, or 226 when it had
        // just ended) comes before ABOR's, unless its wait already took it.
        int owed = m_TransferReplyOwed ? 2 : 1;
        m_TransferReplyOwed = false;
        if (!SendCommand(QStringLiteral("ABOR")))
            return false;
        // Servers differ in how many replies an ABOR gets (RFC 959 says two
        // during a transfer, several send one); a short quiet spell ends the
        // wait rather than the full time-out.
        bool quiet = false;
        const quint32 quietTimer =
            platform::TimerService::setTimer(0, AbortQuietMs, [&quiet](quint32 id) {
                platform::TimerService::killTimer(id);
                quiet = true;
            });
        auto stopQuiet = qScopeGuard([&] { platform::TimerService::killTimer(quietTimer); });
        std::optional<FtpReply> last;
        while (owed > 0) { // bounded by the quiet timer and the wait's own bounds
            if (WaitFor([&] { return !m_ReplyBuffer.empty() || quiet; }) != WaitEnd::Completed)
                return false;
            if (m_ReplyBuffer.empty())
                break;
            last = TakeReply();
            if (!last->isPreliminary())
                --owed;
        }
        if (!last) {
            m_LastError = ErrTimeout;
            return false;
        }
        // 225/226 close the abort; a 426 alone says the transfer was cut.
        if (last->hasCode && (last->code == 225 || last->code == 226 || last->code == 426))
            return true;
        RecordRefusal(*last);
        return false;
    });
}

// ---------------------------------------------------------------------------
// Public directory and file members

bool CFtpConnection::SetCurrentDirectory(const QString& strNewDirectory) {
    return Guarded(false, [&] { return ProcessCWDCommand(strNewDirectory); });
}

bool CFtpConnection::SetParentAsCurrentDirectory() {
    return Guarded(false, [&] { return ProcessCDUPCommand(); });
}

QString CFtpConnection::GetCurrentDirectory() {
    return Guarded(QString(), [&] { return ProcessPWDCommand() ? m_CurrentDirectory : QString(); });
}

bool CFtpConnection::CreateDirectory(const QString& strDirName) {
    return Guarded(false, [&] { return ProcessMKDCommand(strDirName); });
}

bool CFtpConnection::RemoveDirectory(const QString& strDirName) {
    return Guarded(false, [&] { return ProcessRMDCommand(strDirName); });
}

bool CFtpConnection::DeleteFile(const QString& strFileName) {
    return Guarded(false, [&] { return ProcessDELECommand(strFileName); });
}

bool CFtpConnection::RenameFile(const QString& strOldFileName, const QString& strNewFileName) {
    return Guarded(false, [&] {
        return ProcessRNFRCommand(strOldFileName) && ProcessRNTOCommand(strNewFileName);
    });
}

bool CFtpConnection::CancelTransfer() {
    BusyOverride busy{m_Busy, m_CancelCall};
    // The data connection goes first: it stops the flow at once, and some
    // servers (vsftpd) read ABOR only once the transfer has ended, so they
    // would otherwise send or take the whole file before listening.
    if (m_Downloading || m_Uploading || m_TransferReplyOwed) {
        m_TransferCancelled = true;
        CloseDataSocket();
    }
    const bool result = ProcessABORCommand();
    if (m_Downloading || m_Uploading)
        ResetTransferState();
    m_LocalFileOpen = false;
    return result;
}

bool CFtpConnection::CloseConnection() {
    BusyOverride busy{m_Busy, m_CancelCall};
    if (m_Downloading || m_Uploading) {
        m_LastError = ErrTransferInProgress;
        return false;
    }
    bool result = false;
    if (wscControl->state() == Socket::Connected)
        result = ProcessQUITCommand();
    CancelAnyCall();
    wscData->close();
    wscControl->close();
    return result;
}

void CFtpConnection::BreakeConnection() {
    try {
        if (wscData->state() != Socket::Closed)
            wscData->close();
        else
            wscControl->close();
    } catch (const platform::Fault&) {
    }
    if (m_Downloading || m_Uploading)
        ResetTransferState();
    m_LocalFileOpen = false;
    m_Busy = false;
}

// ---------------------------------------------------------------------------
// Error model

QString CFtpConnection::GetFtpErrorDescription(qint32 lngErrorCode) {
    const QString own = FtpErrors::ownErrorText(lngErrorCode);
    if (!own.isEmpty())
        m_LastErrorDescription = own;
    return m_LastErrorDescription;
}

bool CFtpConnection::TranslateReplyCode(qint32 code) {
    const auto error = FtpErrors::replyError(code);
    if (!error)
        return false;
    if (error->code >= 0)
        m_LastError = error->code;
    if (error->description)
        m_LastErrorDescription = QString::fromLatin1(error->description);
    return true;
}

bool CFtpConnection::TranslateRuntimeError(qint32 number, const QString& description) {
    m_LastErrorDescription = description;
    const auto code = FtpErrors::runtimeErrorCode(number);
    if (!code)
        return false;
    m_LastError = *code;
    return true;
}

void CFtpConnection::TrapFault(const platform::Fault& fault, const char* step) {
    if (TranslateRuntimeError(fault.number(), fault.description()))
        return;
    throw platform::Fault(fault.number(), fault.description(),
                          QStringLiteral("CFtpConnection.") + QLatin1String(step));
}

void CFtpConnection::ResetTransferState() {
    if (m_LocalFile) {
        try {
            m_LocalFile->close();
        } catch (const platform::Fault&) {
        }
    }
    m_ListingText.clear();
    m_ListingBytes = 0;
    m_DownloadBytes = 0;
    m_UploadBytes = 0;
    m_Downloading = false;
    m_Uploading = false;
    m_LocalFileOpen = false;
}
