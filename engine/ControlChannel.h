#pragma once

#include "CTimeout.h"
#include "ReplyReader.h"

#include <QObject>
#include <QString>
#include <algorithm>
#include <deque>
#include <functional>
#include <optional>

namespace platform {
class Socket;
} // namespace platform

// The control connection of one session: its socket, the reply reader, the
// replies that came, the one wait of the engine and its time-outs, and the
// upgrade to TLS. It keeps the conversation in step: every command sent owes
// one final reply, a reply that no command is owed is dropped (and said), and
// the engine ends a session whose owed replies cannot all be had.
//
// It knows nothing of FTP's commands; CFtpConnection names those.
class ControlChannel : public QObject {
    Q_OBJECT
public:
    enum class WaitEnd { Completed, TimedOut, Cancelled, Failed };

    explicit ControlChannel(QObject* parent = nullptr);
    ~ControlChannel() override;

    platform::Socket& socket() { return *m_Socket; }
    const platform::Socket& socket() const { return *m_Socket; }

    // The inactivity interval of every wait, in seconds.
    void setTimeout(qint16 seconds) { m_Timer.setTimeoutValue(seconds); }
    quint32 intervalMs() const { return m_Timer.intervalMs(); }

    // What puts a finished line on the wire (the socket's send by default).
    void setWriter(std::function<void(const QByteArray&)> write) { m_Write = std::move(write); }

    // A fresh conversation for a new connection: nothing read, nothing owed,
    // no failure.
    void reset();
    // The connection is up: the greeting is the one reply owed.
    void expectGreeting() { m_Owed = 1; }

    // Puts one command line on the wire and owes its reply. A line holding
    // CR, LF or NUL is refused (false, nothing sent or logged): it would
    // smuggle a second command. Throws the socket's wrong-state fault (40006)
    // when the connection is not up. Logs `logged`, or the command itself.
    bool send(const QString& command, const QString& logged = {});

    // The engine's one wait: blocks for events until `completed` holds, the
    // user cancels, the connection fails or a time-out passes, tested in that
    // order after each pass. The inactivity interval restarts with every
    // arrival; the wait's total bound (two intervals) only with data, so a
    // reply that trickles in for ever still ends. The first pass does not
    // block, so a reply already here completes at once.
    WaitEnd wait(const std::function<bool()>& completed);
    // Data moved: both the inactivity interval and the total bound start again.
    void noteProgress();

    bool hasReply() const { return !m_Replies.empty(); }
    // The oldest reply that came; it becomes the last server response.
    FtpReply takeReply();
    // Replies still owed by the server for commands sent.
    int owed() const { return m_Owed; }
    // A server answered two commands with one reply (an interrupted transfer
    // and its ABOR): the one left owed will not come.
    void forgiveOne() { m_Owed = std::max(0, m_Owed - 1); }
    const QString& lastResponse() const { return m_LastResponse; }

    // The user's Stop: every wait ends with Cancelled until cleared.
    void cancel() { m_Cancel = true; }
    bool cancelled() const { return m_Cancel; }
    void clearCancel() { m_Cancel = false; }

    // The connection is gone or unusable: every wait ends at once with this
    // number and text (the first failure stands), and the socket is closed.
    void fail(qint32 number, const QString& text);
    qint32 failure() const { return m_Failure; }
    const QString& failureText() const { return m_FailureText; }

    // After "234": starts TLS on the connection. Anything the server sent
    // after its 234 in plain text (a reply, part of one) would be taken as
    // an answer given under TLS: that is how replies are injected, so the
    // session ends instead (false, the connection closed).
    bool startTls();

signals:
    // One command line sent (as logged), one received line (with the code
    // of its reply), or a note of the channel's own.
    void lineSent(const QString& text);
    void lineReceived(const QString& text, int code);
    void note(const QString& text);

private:
    void onArrival();
    void onClose();
    void takeOutput(ReplyReader::Output& out);
    void boundFired(quint32 id);

    platform::Socket* m_Socket = nullptr;
    std::function<void(const QByteArray&)> m_Write;
    ReplyReader m_Reader;
    std::deque<FtpReply> m_Replies;
    QString m_LastResponse;
    int m_Owed = 0;
    // A reply that answered no command came since the last command.
    bool m_Stray = false;
    bool m_Cancel = false;
    qint32 m_Failure = 0;
    QString m_FailureText;
    CTimeout m_Timer;
    // The total bound of the innermost wait.
    quint32 m_BoundTimerId = 0;
    bool m_BoundPassed = false;
};
