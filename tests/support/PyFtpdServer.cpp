#include "PyFtpdServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTcpSocket>

#include <csignal>
#include <sys/types.h>

namespace {

QString launcherPath() {
    return QStringLiteral(KRELLIN_SOURCE_DIR "/tests/support/pyftpd_server.py");
}

} // namespace

PyFtpdServer::PyFtpdServer() = default;

PyFtpdServer::~PyFtpdServer() {
    stop();
}

bool PyFtpdServer::isRunning() const {
    return m_Process.state() == QProcess::Running && m_Port != 0;
}

QString PyFtpdServer::errorOutput() {
    return QString::fromLocal8Bit(m_Process.readAllStandardError());
}

bool PyFtpdServer::start(int timeoutMs) {
    if (!m_Root.isValid()) {
        m_Error = QStringLiteral("no temporary root");
        return false;
    }
    QDir(m_Root.path()).mkpath(QStringLiteral("incoming"));
    m_Process.setProgram(QStringLiteral("/usr/bin/python3"));
    m_Process.setArguments({launcherPath(), m_Root.path()});
    m_Process.setProcessChannelMode(QProcess::SeparateChannels);
    m_Process.start();
    if (!m_Process.waitForStarted(timeoutMs)) {
        m_Error = m_Process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    QByteArray output;
    // Bounded by the deadline: the launcher prints its port once it listens.
    while (m_Port == 0 && !deadline.hasExpired() && m_Process.state() == QProcess::Running) {
        if (!m_Process.canReadLine())
            m_Process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
        while (m_Process.canReadLine()) {
            const QByteArray line = m_Process.readLine().trimmed();
            if (line.startsWith("PORT "))
                m_Port = quint16(line.mid(5).toUInt());
        }
    }
    if (m_Port == 0) {
        m_Error = QStringLiteral("pyftpdlib did not start: ") + errorOutput();
        stop();
        return false;
    }
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, m_Port);
    if (!probe.waitForConnected(int(std::max<qint64>(1, deadline.remainingTime())))) {
        m_Error = QStringLiteral("pyftpdlib does not accept connections: ") + probe.errorString();
        stop();
        return false;
    }
    probe.abort();
    return true;
}

void PyFtpdServer::stop() {
    if (m_Process.state() == QProcess::NotRunning)
        return;
    // Our own child, by its process id.
    const qint64 pid = m_Process.processId();
    if (pid > 0)
        ::kill(pid_t(pid), SIGTERM);
    if (!m_Process.waitForFinished(5000)) {
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
        m_Process.waitForFinished(5000);
    }
    m_Port = 0;
}
