#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A real pyftpdlib server in a child process on 127.0.0.1 at a free port,
// serving a temporary root: user "user" / "secret" with full rights,
// anonymous read-only except the folder "incoming", where anonymous may write.
// Started with Debian's /usr/bin/python3, which sees the python3-pyftpdlib
// package. Stopped, by its own process id, when the object goes away.
class PyFtpdServer {
public:
    static constexpr const char* UserName = "user";
    static constexpr const char* Password = "secret";

    PyFtpdServer();
    ~PyFtpdServer();
    PyFtpdServer(const PyFtpdServer&) = delete;
    PyFtpdServer& operator=(const PyFtpdServer&) = delete;

    // Starts the server and waits (bounded) until it accepts connections.
    bool start(int timeoutMs = 15000);
    void stop();
    bool isRunning() const;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_Port; }
    // Absolute path of the served root; tests put files here.
    QString rootPath() const { return m_Root.path(); }
    // Whatever the server wrote to its error stream (for failure messages).
    QString errorOutput();
    QString lastError() const { return m_Error; }

private:
    QTemporaryDir m_Root;
    QProcess m_Process;
    quint16 m_Port = 0;
    QString m_Error;
};
