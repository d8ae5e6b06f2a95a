#include "ControlChannel.h"

#include "EventPump.h"
#include "Fault.h"
#include "Socket.h"
#include "TimerService.h"

#include <QScopeGuard>

using platform::Socket;

namespace {

// More replies waiting than this is a flood, not a conversation.
constexpr std::size_t MaxQueuedReplies = 1000;
// A wait ends after this many inactivity intervals even while bytes keep
// trickling in, unless data (not replies) moves.
constexpr quint32 BoundIntervals = 2;
constexpr qint32 ErrReplyTooLong = 62;

} // namespace

ControlChannel::ControlChannel(QObject* parent) : QObject(parent), m_Socket(new Socket(this)) {
    m_Write = [this](const QByteArray& line) { m_Socket->send(line); };
    connect(m_Socket, &Socket::dataArrival, this, &ControlChannel::onArrival);
    connect(m_Socket, &Socket::closed, this, &ControlChannel::onClose);
    // A reset or refused connection says so itself; it is never a user's cancel.
    connect(m_Socket, &Socket::error, this,
            [this](qint32 number, const QString& text) { fail(number, text); });
}

ControlChannel::~ControlChannel() {
    platform::TimerService::killTimer(m_BoundTimerId);
}

void ControlChannel::reset() {
    m_Reader.reset();
    m_Replies.clear();
    m_Owed = 0;
    m_Stray = false;
    m_Failure = 0;
    m_FailureText.clear();
}

void ControlChannel::onArrival() {
    ReplyReader::Output out;
    try {
        m_Reader.feed(m_Socket->readAvailable(), out);
    } catch (const platform::Fault&) {
        // The socket went away between the event and the read; its close or
        // error event follows.
    }
    m_Timer.Reset();
    takeOutput(out);
}

void ControlChannel::onClose() {
    ReplyReader::Output out;
    m_Reader.finish(out);
    takeOutput(out);
    fail(7, QStringLiteral("The connection was closed by the server."));
}

void ControlChannel::takeOutput(ReplyReader::Output& out) {
    for (const FtpReplyLine& line : std::as_const(out.lines))
        emit lineReceived(line.text, line.code);
    for (FtpReply& reply : out.replies) {
        if (m_Owed == 0) {
            // Nobody asked: taking it would answer the next command with it.
            m_Stray = true;
            emit note(QStringLiteral("Ignored a reply that answers no command: ") + reply.text());
            continue;
        }
        // Only a final reply settles a command; 1xx and lines without a code
        // come before it.
        if (reply.hasCode && !reply.isPreliminary())
            --m_Owed;
        m_Replies.push_back(std::move(reply));
    }
    if (m_Reader.status() != ReplyReader::Status::Ok)
        fail(ErrReplyTooLong, QStringLiteral("The server's reply is too long."));
    else if (m_Replies.size() > MaxQueuedReplies)
        fail(ErrReplyTooLong, QStringLiteral("The server sent too many replies."));
}

void ControlChannel::fail(qint32 number, const QString& text) {
    if (m_Failure == 0) {
        m_Failure = number;
        m_FailureText = text;
    }
    if (number == ErrReplyTooLong) {
        m_Replies.clear();
        emit note(text);
    }
    try {
        if (m_Socket->state() != Socket::Closed)
            m_Socket->close();
    } catch (const platform::Fault&) {
    }
}

bool ControlChannel::send(const QString& command, const QString& logged) {
    if (command.contains(u'\r') || command.contains(u'\n') || command.contains(QChar()))
        return false;
    // A socket the peer has closed (state 8) still reads as a socket; sending
    // on it is the wrong-state fault, as for one that is not connected at all.
    if (m_Socket->state() != Socket::Connected)
        throw platform::Fault(Socket::ErrWrongState,
                              QStringLiteral("Wrong protocol or connection state for the "
                                             "requested transaction or request"));
    m_Write((command + QStringLiteral("\r\n")).toUtf8());
    ++m_Owed;
    m_Stray = false;
    emit lineSent(logged.isEmpty() ? command : logged);
    return true;
}

void ControlChannel::noteProgress() {
    m_Timer.Reset();
    if (m_BoundTimerId != 0)
        platform::TimerService::setTimer(m_BoundTimerId, BoundIntervals * m_Timer.intervalMs(),
                                         [this](quint32 id) { boundFired(id); });
}

void ControlChannel::boundFired(quint32 id) {
    platform::TimerService::killTimer(id);
    if (id == m_BoundTimerId)
        m_BoundPassed = true;
}

ControlChannel::WaitEnd ControlChannel::wait(const std::function<bool()>& completed) {
    quint32 timerId = platform::TimerService::tickCount();
    m_Timer.StartTimer(timerId);
    // A nested wait has a bound of its own; the outer one's is back in force
    // when it ends.
    const quint32 outerBound = m_BoundTimerId;
    const bool outerPassed = m_BoundPassed;
    m_BoundTimerId = platform::TimerService::setTimer(0, BoundIntervals * m_Timer.intervalMs(),
                                                      [this](quint32 id) { boundFired(id); });
    m_BoundPassed = false;
    auto stop = qScopeGuard([&] {
        m_Timer.StopTimer(timerId);
        platform::TimerService::killTimer(m_BoundTimerId);
        m_BoundTimerId = outerBound;
        m_BoundPassed = outerPassed;
    });

    // Bounded by the timers.
    for (bool first = true;; first = false) {
        // A cancel ends the operation before anything else runs: the window
        // that asked for it may be going away.
        if (m_Cancel)
            return WaitEnd::Cancelled;
        if (first)
            platform::pumpEvents();
        else
            platform::waitForEvents();
        if (m_Cancel)
            return WaitEnd::Cancelled;
        // What came is what happened, even when the timer has meanwhile run
        // out on it (a question box held the loop, say).
        if (completed())
            return WaitEnd::Completed;
        if (m_Failure != 0)
            return WaitEnd::Failed;
        if (m_Timer.Timeout(timerId) || m_BoundPassed)
            return WaitEnd::TimedOut;
    }
}

FtpReply ControlChannel::takeReply() {
    FtpReply reply = std::move(m_Replies.front());
    m_Replies.pop_front();
    m_LastResponse = reply.text();
    return reply;
}

bool ControlChannel::startTls() {
    if (m_Stray || !m_Replies.empty() || m_Reader.midReply() || m_Socket->bytesAvailable() > 0 ||
        m_Owed != 0) {
        fail(64, QStringLiteral("The server sent more after accepting TLS (234), in plain "
                                "text: the session was ended, since such bytes could be "
                                "injected by anyone on the way."));
        return false;
    }
    m_Socket->startClientEncryption();
    return true;
}
