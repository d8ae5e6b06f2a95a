#include "LoopbackPeer.h"

#include "CFtpConnection.h"

#include <QCoreApplication>

LoopbackPeer::LoopbackPeer() {
    if (!m_Listener.listen(QHostAddress::LocalHost, 0) ||
        !m_Passive.listen(QHostAddress::LocalHost, 0))
        qFatal("fuzz: cannot listen on 127.0.0.1");
    connect(&m_Listener, &QTcpServer::newConnection, this, [this] {
        // Bounded by the connections queued now; the newest one wins.
        while (QTcpSocket* s = m_Listener.nextPendingConnection()) {
            if (m_Control)
                m_Control->abort();
            m_Control = s;
            m_Lines.clear();
            connect(s, &QTcpSocket::readyRead, this, [this, s] {
                if (s != m_Control)
                    return;
                m_Lines += s->readAll();
                for (qsizetype end = m_Lines.indexOf('\n'); end >= 0; end = m_Lines.indexOf('\n')) {
                    QByteArray line = m_Lines.left(end);
                    m_Lines.remove(0, end + 1);
                    if (line.endsWith('\r'))
                        line.chop(1);
                    if (onLine)
                        onLine(line);
                }
            });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            if (onConnected)
                onConnected();
        }
    });
    connect(&m_Passive, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = m_Passive.nextPendingConnection()) {
            if (m_Data)
                m_Data->abort();
            m_Data = s;
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    m_Watchdog.setInterval(1);
    connect(&m_Watchdog, &QTimer::timeout, this, [this] {
        if (m_Ftp && m_Armed.elapsed() >= m_LimitMs && m_Ftp->Busy())
            m_Ftp->CancelAnyCall();
    });
}

bool LoopbackPeer::controlConnected() const {
    return m_Control && m_Control->state() == QAbstractSocket::ConnectedState;
}

void LoopbackPeer::send(const QByteArray& bytes) {
    if (controlConnected()) {
        m_Control->write(bytes);
        m_Control->flush();
    }
}

void LoopbackPeer::sendInPieces(const QList<QByteArray>& pieces, std::function<void()> done) {
    m_Pieces = pieces;
    m_Done = std::move(done);
    sendNext();
}

void LoopbackPeer::sendNext() {
    if (m_Pieces.isEmpty()) {
        if (m_Done) {
            auto done = std::move(m_Done);
            m_Done = nullptr;
            done();
        }
        return;
    }
    send(m_Pieces.takeFirst());
    QTimer::singleShot(0, this, [this] { sendNext(); });
}

void LoopbackPeer::closeControl() {
    if (m_Control)
        m_Control->disconnectFromHost();
}

void LoopbackPeer::arm(CFtpConnection* ftp, int limitMs) {
    m_Ftp = ftp;
    m_LimitMs = limitMs;
    m_Armed.start();
    m_Watchdog.start();
}

void LoopbackPeer::disarm() {
    m_Watchdog.stop();
    m_Ftp = nullptr;
}

void ensureApplication() {
    static int argc = 1;
    static char name[] = "krellin-fuzz";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}
