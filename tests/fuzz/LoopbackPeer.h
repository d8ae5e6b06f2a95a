#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

class CFtpConnection;

// The server side of a fuzz run: one control listener and one passive data
// listener on 127.0.0.1, driven by the same event loop as the engine. It
// knows no FTP; the target decides what each command line gets.
class LoopbackPeer : public QObject {
    Q_OBJECT
public:
    LoopbackPeer();

    quint16 port() const { return m_Listener.serverPort(); }
    quint16 passivePort() const { return m_Passive.serverPort(); }

    // Called with every command line the client sends (line end removed).
    std::function<void(const QByteArray& line)> onLine;
    // Called when a control connection has been accepted.
    std::function<void()> onConnected;

    void send(const QByteArray& bytes);
    // Sends the pieces one event-loop turn apart, so the client mostly reads
    // them as separate arrivals; then runs done.
    void sendInPieces(const QList<QByteArray>& pieces, std::function<void()> done);
    void closeControl();
    QTcpSocket* data() const { return m_Data; }
    bool controlConnected() const;

    // Cancels the engine's call when it is still busy limitMs after arm():
    // fuzz inputs that leave a wait open must not cost a whole time-out each.
    void arm(CFtpConnection* ftp, int limitMs);
    void disarm();

private:
    void sendNext();

    QTcpServer m_Listener;
    QTcpServer m_Passive;
    QPointer<QTcpSocket> m_Control;
    QPointer<QTcpSocket> m_Data;
    QByteArray m_Lines;
    QList<QByteArray> m_Pieces;
    std::function<void()> m_Done;
    QTimer m_Watchdog;
    QElapsedTimer m_Armed;
    int m_LimitMs = 0;
    CFtpConnection* m_Ftp = nullptr;
};

// The one application object every target needs for its event loop.
void ensureApplication();
