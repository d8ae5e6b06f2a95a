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
// After the user's Stop: how long the replies still owed may take. A Stop
// takes effect within about this time.
constexpr quint32 StopSettleMs = 1000;
// After a reply to ABOR: the silence that says no other reply follows.
constexpr quint32 StopQuietMs = 250;

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CFtpConnection::CFtpConnection(QObject* parent) : QObject(parent) {
    m_ZeroCopy = qEnvironmentVariable("KRELLIN_ZERO_COPY") != QLatin1String("0");
    m_Control = new ControlChannel(this);
    m_Control->setWriter([this](const QByteArray& line) { WriteControl(line); });
    wscControl = &m_Control->socket();
    wscData = new Socket;
    connect(m_Control, &ControlChannel::lineSent, this, &CFtpConnection::LogSent);
    connect(m_Control, &ControlChannel::lineReceived, this, &CFtpConnection::LogReceived);
    connect(m_Control, &ControlChannel::note, this,
            [this](const QString& text) { emit SessionProtocolMessage(text, ApplicationMessage); });

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
}

// ---------------------------------------------------------------------------
// Properties and plain members

void CFtpConnection::CancelAnyCall() {
    m_Control->cancel();
    m_LastError = ErrCancelled;
}

bool CFtpConnection::ZeroCopy() const {
    return m_ZeroCopy;
}

void CFtpConnection::setZeroCopy(bool on) {
    m_ZeroCopy = on;
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
    return m_Control->lastResponse();
}
qint32 CFtpConnection::TransferMode() const {
    return m_TransferMode;
}

void CFtpConnection::setTransferMode(qint32 value) {
    // Inside another operation's wait a TYPE would take that operation's
    // reply: the value is kept, and the next transfer sends it (every
    // transfer sends its TYPE).
    if (m_Busy) {
        m_TransferMode = value;
        return;
    }
    if (value != m_TransferMode && Guarded(false, [&] { return ProcessTYPECommand(value); }))
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
    m_Control->setTimeout(seconds);
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

void CFtpConnection::LogSent(const QString& text) {
    emit SessionProtocolMessage(text, UserCommand);
}

void CFtpConnection::LogReceived(const QString& text, int code) {
    emit SessionProtocolMessage(text, code >= 400 ? ServerBadResponse : ServerResponse);
}

void CFtpConnection::WriteControl(const QByteArray& line) {
    wscControl->send(line);
}

bool CFtpConnection::SendCommand(const QString& strCommand, const QString& strLogged) {
    if (m_Control->send(strCommand, strLogged))
        return true;
    m_LastError = ErrBadArguments;
    m_LastErrorDescription = FtpErrors::replyError(501)->description;
    return false;
}

CFtpConnection::WaitEnd CFtpConnection::WaitFor(const std::function<bool()>& completed) {
    const WaitEnd end = m_Control->wait(completed);
    switch (end) {
    case WaitEnd::Completed:
        break;
    case WaitEnd::Cancelled:
        m_LastError = ErrCancelled;
        break;
    case WaitEnd::Failed:
        m_LastError = m_Control->failure();
        m_LastErrorDescription = m_Control->failureText();
        break;
    case WaitEnd::TimedOut:
        m_LastError = ErrTimeout;
        break;
    }
    return end;
}

std::optional<FtpReply> CFtpConnection::WaitForReply() {
    if (WaitFor([this] { return m_Control->hasReply(); }) != WaitEnd::Completed)
        return std::nullopt;
    return m_Control->takeReply();
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

// ---------------------------------------------------------------------------
// The end of every operation: the conversation in step, or over

void CFtpConnection::EndOperation() {
    const bool stopped = m_Control->cancelled();
    m_Control->clearCancel();
    CloseDataSocket();
    if (wscControl->state() == Socket::Connected && m_Control->owed() > 0) {
        // The operation's own result and error stand, whatever settling costs.
        const qint32 error = m_LastError;
        const QString description = m_LastErrorDescription;
        if (stopped && m_LoggedIn)
            SettleAfterStop();
        else
            CloseOutOfStep(stopped ? QString()
                                   : QStringLiteral("A reply did not come in time: the "
                                                    "connection is closed, so that it cannot "
                                                    "answer another command."));
        m_LastError = error;
        m_LastErrorDescription = description;
    }
    m_Transfer.closeLocalFile();
    m_Transfer = Transfer();
}

void CFtpConnection::SettleAfterStop() {
    bool aborted = false;
    try {
        // A transfer command still running is aborted; its final reply (426,
        // or 226 when it had just ended) comes before ABOR's own.
        if (m_Transfer.requested())
            aborted = SendCommand(QStringLiteral("ABOR"));
        // Some servers (pure-ftpd) answer an interrupted transfer and its
        // ABOR with one reply. Replies come in order, so once a final reply
        // has come after ABOR and a short quiet spell follows, nothing more
        // is owed.
        bool deadline = false;
        bool quiet = false;
        const auto fire = [](bool& flag) {
            return [&flag](quint32 id) {
                platform::TimerService::killTimer(id);
                flag = true;
            };
        };
        const quint32 deadlineTimer =
            platform::TimerService::setTimer(0, StopSettleMs, fire(deadline));
        quint32 quietTimer = 0;
        auto stopTimers = qScopeGuard([&] {
            platform::TimerService::killTimer(deadlineTimer);
            platform::TimerService::killTimer(quietTimer);
        });
        WaitFor([&] {
            while (m_Control->hasReply()) {
                const FtpReply reply = m_Control->takeReply();
                if (aborted && reply.hasCode && !reply.isPreliminary()) {
                    platform::TimerService::killTimer(quietTimer);
                    quiet = false;
                    quietTimer = platform::TimerService::setTimer(0, StopQuietMs, fire(quiet));
                }
            }
            return m_Control->owed() == 0 || deadline || (quiet && m_Control->owed() == 1);
        });
        if (quiet && m_Control->owed() == 1)
            m_Control->forgiveOne();
    } catch (const platform::Fault&) {
        // The connection went away meanwhile: nothing is owed any more.
    }
    if (m_Control->owed() > 0)
        CloseOutOfStep(QStringLiteral("The server did not answer the Stop in time: the "
                                      "connection is closed, so that a late reply cannot answer "
                                      "another command."));
}

void CFtpConnection::CloseOutOfStep(const QString& why) {
    if (!why.isEmpty())
        emit SessionProtocolMessage(why, ApplicationMessage);
    m_LoggedIn = false;
    m_ServerType = -1;
    try {
        wscControl->close();
    } catch (const platform::Fault&) {
    }
}

void CFtpConnection::KeepMessage(const FtpReply& reply) {
    const QString message = reply.message();
    if (!message.isEmpty())
        m_WelcomeMessage = message;
}

// ---------------------------------------------------------------------------
// Connect and log-in

bool CFtpConnection::Connect() {
    return Guarded(false, [this] {
        m_LastError = 0;
        // A message nobody read belongs to the session before.
        m_WelcomeMessage.clear();
        bool loggedIn = false;
        try {
            if (m_FtpServer.isEmpty())
                throw platform::Fault(ErrUnspecifiedServer,
                                      QStringLiteral("FTP server is unspecified"),
                                      QStringLiteral("CFtpConnection.Connect"));
            ConnectAndLogIn(loggedIn);
        } catch (const platform::Fault& fault) {
            // A known fault after the log-in leaves the session logged in.
            TrapFault(fault, "Connect");
        }
        m_LoggedIn = loggedIn;
        if (!loggedIn)
            CloseOutOfStep({});
        if (loggedIn)
            emit StateChanged(LoggedIn);
        return loggedIn;
    });
}

void CFtpConnection::ConnectAndLogIn(bool& loggedIn) {
    m_LoggedIn = false;
    m_ServerType = -1;
    wscControl->close();
    m_Control->reset();
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
    // Owed from the moment the connection stands: a handler of the state
    // below may run a loop in which the greeting already comes.
    m_Control->expectGreeting();
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
        m_Control->expectGreeting();
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
            (m_Control->failure() != 0 && m_LastError == m_Control->failure()))
            return;
        m_LastError = ErrNotLoggedIn;
        // The dialog shows the description alone; an older text would mislead.
        m_LastErrorDescription = QString::fromLatin1(FtpErrors::replyError(530)->description);
        wscControl->close();
        return;
    }
    // Encryption that cannot protect the data as well ends the connect.
    if (wscControl->isEncrypted() && !ProtectData()) {
        loggedIn = false;
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
            if (!m_Control->startTls()) {
                m_LastError = m_Control->failure();
                m_LastErrorDescription = m_Control->failureText();
                emit SessionProtocolMessage(m_LastErrorDescription, ApplicationMessage);
                return false;
            }
            return SecureControlConnection();
        }
        // A server without TLS answers 500, 502 or 504; "if available" then
        // goes on in plain FTP only when the user allows it.
        if (m_Security == FtpSecurity::Mode::ExplicitIfAvailable && reply->hasCode &&
            reply->code >= 500) {
            if (!AllowDowngrade(Downgrade::NoTls)) {
                wscControl->close();
                return false;
            }
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

bool CFtpConnection::AllowDowngrade(Downgrade what) {
    // A server that showed a trusted or pinned certificate has spoken TLS
    // before: one that now does without is someone else, or someone between.
    if (m_TrustedFingerprint.isEmpty() && m_AskDowngrade && m_AskDowngrade(what))
        return true;
    m_LastError = ErrDowngradeRefused;
    m_LastErrorDescription =
        what == Downgrade::NoTls
            ? QStringLiteral("The server does not offer FTP over TLS; nothing was sent in clear.")
            : QStringLiteral("The server refused to protect the data connections; no data "
                             "connection was opened.");
    if (!m_TrustedFingerprint.isEmpty())
        m_LastErrorDescription += QStringLiteral(" Its certificate was trusted before, so it "
                                                 "spoke TLS then: this may be someone in between.");
    emit SessionProtocolMessage(m_LastErrorDescription, ApplicationMessage);
    return false;
}

bool CFtpConnection::ProtectData() {
    return Trapped("ProtectData", [this] {
        // RFC 4217: PBSZ 0 before PROT; with PROT P the data connections are TLS too.
        if (Expect(Exchange(QStringLiteral("PBSZ 0")), 200) &&
            Expect(Exchange(QStringLiteral("PROT P")), 200)) {
            m_ProtectData = true;
            return true;
        }
        // No reply at all: the session itself failed.
        if (m_LastError == ErrTimeout || m_LastError == ErrCancelled || m_Control->failure())
            return false;
        const QString refusal = m_Control->lastResponse();
        if (m_Security == FtpSecurity::Mode::ExplicitIfAvailable) {
            if (!AllowDowngrade(Downgrade::NoDataProtection))
                return false;
            emit SessionProtocolMessage(
                QStringLiteral("The server refused to protect the data connections: "
                               "listings and files go over the network unencrypted."),
                ApplicationMessage);
            return true;
        }
        m_LastError = ErrProtectionRefused;
        m_LastErrorDescription =
            QStringLiteral("The server refused to protect the data connections (%1); "
                           "no data connection was opened.")
                .arg(refusal);
        emit SessionProtocolMessage(m_LastErrorDescription, ApplicationMessage);
        return false;
    });
}

void CFtpConnection::AfterLogIn() {
    Trapped("AfterLogIn", [this] {
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
                QStringLiteral("unix.gid"),       QStringLiteral("unique")};
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
    m_ServerType = -1;
    const bool accepted = Trapped("ProcessTYPECommand", [&] {
        const QString type = vTransferMode == 0 ? QStringLiteral("A") : QStringLiteral("I");
        return Expect(Exchange(QStringLiteral("TYPE ") + type), 200);
    });
    if (accepted)
        m_ServerType = vTransferMode == 0 ? 0 : 1;
    return accepted;
}

bool CFtpConnection::EnsureType(qint32 vTransferMode) {
    if (m_SkipRepeatedType && m_ServerType == (vTransferMode == 0 ? 0 : 1))
        return true;
    return ProcessTYPECommand(vTransferMode);
}

qint64 CFtpConnection::RemoteFileSize(const QString& strFileName) {
    return Guarded(qint64(-1), [&]() -> qint64 {
        m_LastError = 0;
        // In ASCII type a server may refuse SIZE, or count line ends its own way.
        if (!EnsureType(1))
            return -1;
        const std::optional<qint64> size =
            Trapped("RemoteFileSize", [&]() -> std::optional<qint64> {
                const std::optional<FtpReply> reply = Exchange(QStringLiteral("SIZE ") + strFileName);
                if (!Expect(reply, 213))
                    return std::nullopt;
                // "213 1234"
                bool ok = false;
                const qint64 n = reply->lines.value(0).mid(4).trimmed().toLongLong(&ok);
                if (!ok || n < 0) {
                    RecordRefusal(*reply);
                    return std::nullopt;
                }
                return n;
            });
        return size.value_or(-1);
    });
}

void CFtpConnection::setSkipRepeatedType(bool on) {
    m_SkipRepeatedType = on;
}

bool CFtpConnection::ProcessCWDCommand(const QString& strNewDirectory) {
    return Trapped("ProcessCWDCommand", [&] {
        if (!SendCommand(QStringLiteral("CWD ") + strNewDirectory))
            return false;
        // Some servers send lines without a code before the real reply: they
        // are passed over, within the one wait's bounds.
        std::optional<FtpReply> reply;
        int codeless = 0;
        const WaitEnd end = WaitFor([&] {
            while (!reply && m_Control->hasReply()) {
                FtpReply next = m_Control->takeReply();
                if (next.hasCode)
                    reply = std::move(next);
                else if (++codeless > MaxCodelessReplies)
                    return true;
            }
            return reply.has_value();
        });
        if (end != WaitEnd::Completed)
            return false;
        if (!reply) {
            m_LastError = ErrReplyTooLong;
            m_LastErrorDescription = QStringLiteral("The server sent too many replies.");
            return false;
        }
        KeepMessage(*reply);
        return Expect(reply, 250);
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
        // With nothing running ABOR owes one reply; servers answer 225 or
        // 226, and a 426 alone says a transfer was cut.
        const auto reply = Exchange(QStringLiteral("ABOR"));
        if (!reply)
            return false;
        if (reply->hasCode && (reply->code == 225 || reply->code == 226 || reply->code == 426))
            return true;
        RecordRefusal(*reply);
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
    // Inside a running operation's wait (the window's Stop) this is a Stop:
    // the operation itself closes its data connection and aborts, in its own
    // wait, and returns 61. On its own it is a plain ABOR.
    if (m_Busy) {
        CancelAnyCall();
        return true;
    }
    return Guarded(false, [this] { return ProcessABORCommand(); });
}

bool CFtpConnection::CloseConnection() {
    if (m_Busy) {
        m_LastError = m_Transfer.kind != Transfer::Kind::None ? ErrTransferInProgress : ErrBusy;
        return false;
    }
    return Guarded(false, [this] {
        bool result = false;
        if (wscControl->state() == Socket::Connected)
            result = ProcessQUITCommand();
        m_LoggedIn = false;
        m_ServerType = -1;
        CancelAnyCall();
        wscData->close();
        wscControl->close();
        return result;
    });
}

void CFtpConnection::BreakeConnection() {
    try {
        if (wscData->state() != Socket::Closed)
            wscData->close();
        else
            wscControl->close();
    } catch (const platform::Fault&) {
    }
    m_Transfer.closeLocalFile();
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

bool CFtpConnection::TrapFault(const platform::Fault& fault, const char* step) {
    // A fault that already went through an inner step's trap keeps that step's name.
    if (fault.source().startsWith(QLatin1String("CFtpConnection."))) {
        m_LastErrorDescription = fault.description();
        throw fault;
    }
    if (TranslateRuntimeError(fault.number(), fault.description()))
        return false;
    throw platform::Fault(fault.number(), fault.description(),
                          QStringLiteral("CFtpConnection.") + QLatin1String(step));
}
