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
constexpr qint32 ErrClosedByServer = 7;
// Codeless lines a CWD reply may bring before its real reply; a server that
// sends nothing else would otherwise keep the step waiting for ever.
constexpr int MaxCodelessReplies = 100;
// Pumps inside one control arrival; whatever is still unread is then taken
// without pumping, so the collect loop ends even under a steady stream.
constexpr int MaxArrivalPumps = 64;

const QString LineEnd = QStringLiteral("\r\n");

bool startsWithCode(const QString& line) {
    return line.size() >= 4 && line[0].isDigit() && line[1].isDigit() && line[2].isDigit() &&
           line[0].unicode() < 128 && line[1].unicode() < 128 && line[2].unicode() < 128;
}

// Adds the intermediate lines of a later scan. A later scan usually covers the
// earlier one (the buffer has grown), and then holds the whole message; when
// the buffer was taken in between, it holds only the lines that followed.
void mergeLines(QStringList& collected, const QStringList& scanned) {
    for (qsizetype start = scanned.size() - collected.size(); start >= 0; --start) {
        if (scanned.mid(start, collected.size()) == collected) {
            collected = scanned;
            return;
        }
    }
    collected += scanned;
}

QString joinedMessage(const QStringList& lines) {
    QString text;
    for (const QString& line : lines)
        text += line + LineEnd;
    return text;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CFtpConnection::CFtpConnection(QObject* parent) : QObject(parent) {
    wscControl = new Socket;
    wscData = new Socket;
    m_TimeoutTimer = new CTimeout;
    m_TimeoutTimer->setWindowHandle(m_WindowHandle);

    connect(wscControl, &Socket::dataArrival, this, &CFtpConnection::wscControl_DataArrival);
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
    BusyOverride busy{m_Busy};
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

QString CFtpConnection::WelcomeMessage() {
    QString message;
    message.swap(m_WelcomeMessage);
    return message;
}

// ---------------------------------------------------------------------------
// Control channel

void CFtpConnection::wscControl_DataArrival(qint64) {
    // Each statement stands on its own: a fault skips it and the handler goes on.
    QString arrival;
    try {
        for (int pump = 0; pump < MaxArrivalPumps; ++pump) {
            platform::pumpEvents();
            const QByteArrayView bytes = wscControl->readAvailable();
            if (bytes.isEmpty())
                break;
            arrival += m_ControlDecoder.decode(bytes);
        }
        for (QByteArrayView rest = wscControl->readAvailable(); !rest.isEmpty();
             rest = wscControl->readAvailable())
            arrival += m_ControlDecoder.decode(rest);
    } catch (const platform::Fault&) {
    }
    m_ReplyBuffer += arrival;
    m_LastServerResponse = arrival;
    m_TimeoutTimer->Reset();

    qint16 code = 0;
    try {
        code = ParseServerReply(arrival);
    } catch (const platform::Fault&) {
    }
    if (code == 426) {
        // The server gave up the transfer; it closes the control connection
        // as well, so the session ends here whatever step is waiting.
        if (m_Downloading || m_Uploading) {
            try {
                wscData->close();
            } catch (const platform::Fault&) {
            }
            ResetTransferState();
        }
        try {
            wscControl->close();
        } catch (const platform::Fault&) {
        }
        m_Busy = false;
    }

    if (arrival.size() < 2)
        return;
    // Only a trailing line end is dropped: an arrival that splits a line
    // must not lose the characters at its end.
    const QString logged = arrival.endsWith(LineEnd) ? arrival.chopped(2) : arrival;
    emit SessionProtocolMessage(logged, code >= 400 ? ServerBadResponse : ServerResponse);
}

void CFtpConnection::wscControl_Error(qint32 Number, const QString& Description) {
    CancelAnyCall();
    m_LastError = qint16(Number);
    m_LastErrorDescription = Description;
}

qint16 CFtpConnection::ParseServerReply(QString& text) {
    QStringList message;
    qint16 code = 0;
    // A multi-line wait outside any command wait still needs a bound.
    quint32 ownTimer = 0;
    const quint32 outerWaitTimer = m_WaitTimerId;
    auto stopOwnTimer = qScopeGuard([&] {
        if (ownTimer != 0) {
            m_TimeoutTimer->StopTimer(ownTimer);
            m_WaitTimerId = outerWaitTimer;
        }
    });

    for (;;) { // bounded by the wait's timer, the socket state and the buffer
        if (text.size() <= 2)
            return 0;
        QStringList intermediate;
        const QStringList lines = text.split(LineEnd);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString& line = lines[i];
            if (!startsWithCode(line))
                continue;
            // A piece after the last line end is not a line yet: as an
            // intermediate line it would be collected once cut and once whole.
            const bool terminated = i + 1 < lines.size();
            if (line[3] == u'-') {
                if (terminated)
                    intermediate << line.mid(4);
            } else if (line[3] == u' ')
                code = qint16(line.left(3).toInt());
        }
        mergeLines(message, intermediate);

        if (code != 0 || joinedMessage(message).size() <= 2)
            break;

        // Incomplete multi-line reply: wait for more of it.
        if (m_WaitTimerId == 0) {
            ownTimer = platform::TimerService::tickCount();
            m_TimeoutTimer->StartTimer(ownTimer);
            m_WaitTimerId = ownTimer;
        }
        if (m_ReplyBuffer != text || m_ReplyBuffer.startsWith(u"221-"))
            platform::pumpEvents();
        else
            platform::waitForEvents();
        text = m_ReplyBuffer;
        if (text.startsWith(u"221-"))
            break;
        if (wscControl->state() != Socket::Connected)
            break;
        if (m_TimeoutTimer->Timeout(m_WaitTimerId) || m_CancelCall)
            break;
    }

    const QString messageText = joinedMessage(message);
    if (messageText.size() > 2)
        m_WelcomeMessage = messageText.chopped(2);
    return code;
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
    WriteControl((strCommand + LineEnd).toUtf8());
    emit SessionProtocolMessage(strLogged.isEmpty() ? strCommand : strLogged, UserCommand);
    return true;
}

CFtpConnection::WaitEnd CFtpConnection::WaitFor(const std::function<bool()>& completed) {
    quint32 timerId = platform::TimerService::tickCount();
    m_TimeoutTimer->StartTimer(timerId);
    const quint32 outerWaitTimer = m_WaitTimerId;
    m_WaitTimerId = timerId;
    auto stop = qScopeGuard([&] {
        m_TimeoutTimer->StopTimer(timerId);
        m_WaitTimerId = outerWaitTimer;
    });
    m_CancelCall = false;

    // Bounded by the timer: it fires unless data keeps arriving.
    for (bool first = true;; first = false) {
        if (first)
            platform::pumpEvents();
        else
            platform::waitForEvents();
        if (m_TimeoutTimer->Timeout(timerId)) {
            m_LastError = ErrTimeout;
            return WaitEnd::TimedOut;
        }
        if (m_CancelCall) {
            m_LastError = ErrCancelled;
            return WaitEnd::Cancelled;
        }
        if (completed())
            return WaitEnd::Completed;
    }
}

QString CFtpConnection::TakeReply() {
    QString reply;
    reply.swap(m_ReplyBuffer);
    return reply;
}

bool CFtpConnection::ReplyComplete(Completion test) {
    switch (test) {
    case Completion::LineEnd:
        return m_ReplyBuffer.contains(LineEnd);
    case Completion::Length:
        return m_ReplyBuffer.size() > 3;
    case Completion::Parsed:
        return ParseServerReply(m_ReplyBuffer) > 0;
    }
    return false;
}

std::optional<QString> CFtpConnection::Exchange(const QString& strCommand, Completion test,
                                                const QString& strLogged) {
    if (!SendCommand(strCommand, strLogged))
        return std::nullopt;
    if (WaitFor([this, test] { return ReplyComplete(test); }) != WaitEnd::Completed)
        return std::nullopt;
    return TakeReply();
}

bool CFtpConnection::Expect(const std::optional<QString>& reply, qint16 accepted) {
    if (!reply)
        return false;
    QString text = *reply;
    const qint16 code = ParseServerReply(text);
    if (code == accepted)
        return true;
    TranslateReplyCode(code);
    return false;
}

// ---------------------------------------------------------------------------
// Connect and log-in

bool CFtpConnection::Connect() {
    if (m_Busy) {
        m_LastError = ErrBusy;
        return false;
    }
    m_ReplyBuffer.clear();
    m_LastError = 0;
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
    if (loggedIn)
        emit StateChanged(LoggedIn);
    return loggedIn;
}

void CFtpConnection::ConnectAndLogIn(bool& loggedIn) {
    wscControl->close();
    m_ControlDecoder.resetState();
    wscControl->setLocalPort(0);
    wscControl->connectToHost(m_FtpServer, m_Port);

    quint32 timerId = platform::TimerService::tickCount();
    m_TimeoutTimer->StartTimer(timerId);
    const quint32 outerWaitTimer = m_WaitTimerId;
    m_WaitTimerId = timerId;
    auto stop = qScopeGuard([&] {
        m_TimeoutTimer->StopTimer(timerId);
        m_WaitTimerId = outerWaitTimer;
    });
    m_CancelCall = false;

    bool wasConnected = false;
    bool pumpOnly = true; // the first pass, and the pass after a greeting wait, do not block
    for (;;) {            // bounded by the timer, a cancel or the server closing
        if (pumpOnly)
            platform::pumpEvents();
        else
            platform::waitForEvents();
        pumpOnly = false;
        if (m_TimeoutTimer->Timeout(timerId)) {
            m_LastError = ErrTimeout;
            return;
        }
        if (m_CancelCall) {
            m_LastError = ErrCancelled;
            return;
        }
        const int state = wscControl->state();
        if (state == Socket::Connected) {
            wasConnected = true;
            m_TimeoutTimer->StopTimer(timerId);
            timerId = 0;
            m_WaitTimerId = 0;
            emit StateChanged(Connected);
            // Each greeting wait starts clean: a time-out of the previous
            // interval must not stand as the error of a greeting that came.
            m_LastError = 0;
            // The greeting wait ends early when the server closes: waiting out
            // the time-out for a greeting that can no longer come helps nobody.
            const WaitEnd end = WaitFor([this] {
                return ParseServerReply(m_ReplyBuffer) > 0 ||
                       wscControl->state() != Socket::Connected;
            });
            if (end == WaitEnd::Cancelled)
                return;
            if (end == WaitEnd::TimedOut) {
                // No greeting within the interval: say "connected" again and
                // wait another interval, until a cancel or a socket error.
                pumpOnly = true;
                continue;
            }
            QString greeting = m_ReplyBuffer;
            const qint16 code = ParseServerReply(greeting);
            if (code <= 0) {
                // The wait ended because the server closed before greeting.
                m_LastError = ErrClosedByServer;
                m_LastErrorDescription = QStringLiteral("The connection was closed by the server.");
                return;
            }
            TakeReply();
            if (code == 220)
                return LogIn(loggedIn);
            if (code == 120) {
                m_LastError = ErrGreeting120;
                // The connect dialog shows the description alone.
                m_LastErrorDescription =
                    QStringLiteral("The server is not ready yet. Try again in a few minutes.");
                wscControl->close();
            } else if (code == 421) {
                // Through the table, so the description says why (41).
                TranslateReplyCode(code);
                wscControl->close();
            }
            return;
        }
        if (state == Socket::Closing || (wasConnected && state == Socket::Closed)) {
            m_LastError = ErrClosedByServer;
            m_LastErrorDescription = QStringLiteral("The connection was closed by the server.");
            return;
        }
        if (state == Socket::ConnectionPending) {
            m_LastError = ErrConnectionPending;
            return;
        }
        if (state == Socket::ResolvingHost)
            emit StateChanged(ResolvingHost);
        else if (state == Socket::HostResolved)
            emit StateChanged(HostResolved);
        if (timerId == 0) {
            // After a greeting time-out the connect wait runs on a fresh timer.
            timerId = platform::TimerService::tickCount();
            m_TimeoutTimer->StartTimer(timerId);
            m_WaitTimerId = timerId;
        }
    }
}

void CFtpConnection::LogIn(bool& loggedIn) {
    const qint32 user = ProcessUSERCommand();
    loggedIn = user == 230 || (user == 331 && ProcessPASSCommand() == 230);
    if (!loggedIn) {
        m_LastError = ErrNotLoggedIn;
        // The dialog shows the description alone; an older text would mislead.
        m_LastErrorDescription = QString::fromLatin1(FtpErrors::replyError(530)->description);
        wscControl->close();
        return;
    }
    ProcessPWDCommand(); // a failed PWD does not undo the log-in
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
        const auto reply = Exchange(QStringLiteral("USER ") + m_UserName, Completion::Length);
        if (!reply)
            return 0;
        QString text = *reply;
        const qint16 code = ParseServerReply(text);
        if (code == 230 || code == 331)
            return code;
        // Unlike the other steps, a code the table does not know stays visible.
        m_LastError = code;
        TranslateReplyCode(code);
        return 0;
    });
}

qint32 CFtpConnection::ProcessPASSCommand() {
    return Trapped("ProcessPASSCommand", [this]() -> qint32 {
        m_LastError = 0;
        const QString masked = QStringLiteral("PASS ") + QString(m_Password.size(), u'*');
        const auto reply =
            Exchange(QStringLiteral("PASS ") + m_Password, Completion::Parsed, masked);
        return Expect(reply, 230) ? 230 : 0;
    });
}

bool CFtpConnection::ProcessPWDCommand() {
    return Trapped("ProcessPWDCommand", [this] {
        m_LastError = 0;
        const auto reply = Exchange(QStringLiteral("PWD"), Completion::LineEnd);
        if (!Expect(reply, 257))
            return false;
        // The name ends at the first quote after the opening one; doubled
        // quotes inside a name are not undone.
        const qsizetype open = reply->indexOf(u'"');
        if (open < 0)
            return false;
        const qsizetype close = reply->indexOf(u'"', open + 1);
        if (close < 0)
            return false;
        m_CurrentDirectory = reply->mid(open + 1, close - open - 1).replace(u'\\', u'/');
        return true;
    });
}

// ---------------------------------------------------------------------------
// Directory and file command steps

bool CFtpConnection::ProcessTYPECommand(qint32 vTransferMode) {
    return Trapped("ProcessTYPECommand", [&] {
        const QString type = vTransferMode == 0 ? QStringLiteral("A") : QStringLiteral("I");
        return Expect(Exchange(QStringLiteral("TYPE ") + type, Completion::LineEnd), 200);
    });
}

bool CFtpConnection::ProcessCWDCommand(const QString& strNewDirectory) {
    return Trapped("ProcessCWDCommand", [&] {
        if (!SendCommand(QStringLiteral("CWD ") + strNewDirectory))
            return false;
        // Some servers send lines without a code before the real reply; each
        // such line starts the wait over.
        for (int reply = 0; reply < MaxCodelessReplies; ++reply) {
            if (WaitFor([this] { return ReplyComplete(Completion::LineEnd); }) !=
                WaitEnd::Completed)
                return false;
            QString text = TakeReply();
            if (ParseServerReply(text) != 0)
                return Expect(text, 250);
        }
        m_LastError = ErrTimeout;
        return false;
    });
}

bool CFtpConnection::ProcessCDUPCommand() {
    return Trapped("ProcessCDUPCommand", [&] {
        return Expect(Exchange(QStringLiteral("CDUP"), Completion::LineEnd), 250);
    });
}

bool CFtpConnection::ProcessMKDCommand(const QString& strDirName) {
    return Trapped("ProcessMKDCommand", [&] {
        return Expect(Exchange(QStringLiteral("MKD ") + strDirName, Completion::LineEnd), 257);
    });
}

bool CFtpConnection::ProcessRMDCommand(const QString& strDirName) {
    return Trapped("ProcessRMDCommand", [&] {
        return Expect(Exchange(QStringLiteral("RMD ") + strDirName, Completion::LineEnd), 250);
    });
}

bool CFtpConnection::ProcessDELECommand(const QString& strFileName) {
    return Trapped("ProcessDELECommand", [&] {
        return Expect(Exchange(QStringLiteral("DELE ") + strFileName, Completion::LineEnd), 250);
    });
}

bool CFtpConnection::ProcessRNFRCommand(const QString& strFileName) {
    return Trapped("ProcessRNFRCommand", [&] {
        return Expect(Exchange(QStringLiteral("RNFR ") + strFileName, Completion::LineEnd), 350);
    });
}

bool CFtpConnection::ProcessRNTOCommand(const QString& strFileName) {
    return Trapped("ProcessRNTOCommand", [&] {
        return Expect(Exchange(QStringLiteral("RNTO ") + strFileName, Completion::LineEnd), 250);
    });
}

bool CFtpConnection::ProcessQUITCommand() {
    return Trapped("ProcessQUITCommand", [&] {
        return Expect(Exchange(QStringLiteral("QUIT"), Completion::LineEnd), 221);
    });
}

bool CFtpConnection::ProcessABORCommand() {
    return Trapped("ProcessABORCommand", [&] {
        const auto reply = Exchange(QStringLiteral("ABOR"), Completion::LineEnd);
        if (!reply)
            return false;
        // The interrupted transfer waits further up this same thread for its
        // final reply; this 226 lets that wait end.
        m_ReplyBuffer = QStringLiteral("226") + LineEnd;
        return Expect(reply, 426);
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
    BusyOverride busy{m_Busy};
    const bool result = ProcessABORCommand();
    if (m_Downloading || m_Uploading)
        ResetTransferState();
    m_LocalFileOpen = false;
    return result;
}

bool CFtpConnection::CloseConnection() {
    BusyOverride busy{m_Busy};
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
    m_DownloadBytes = 0;
    m_UploadBytes = 0;
    m_Downloading = false;
    m_Uploading = false;
    m_LocalFileOpen = false;
}
