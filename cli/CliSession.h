#pragma once

#include "CliArguments.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTextStream>
#include <memory>

class CFtpConnection;

// One krellin-cli run: connect, change to the URL's directory, run the
// commands in order until one fails, close with QUIT.
class CliSession : public QObject {
    Q_OBJECT
public:
    CliSession(CliOptions options, QTextStream& out, QTextStream& err);
    ~CliSession() override;

    // The exit status: 0 all commands succeeded, 1 one failed.
    int run();

private:
    // Fills in the password (and a netrc login) the URL leaves out.
    bool resolveLogIn();
    bool connectToServer();
    // Changes into the URL's path; with no command given, a path the server
    // will not change into is fetched as a file (fetched then true).
    bool changeToUrlPath(bool& fetched);
    bool runCommand(const CliCommand& command);
    bool list(const CliCommand& command);
    // True unless the server said the listing it sent was cut short.
    bool complete();
    bool download(const CliCommand& command);
    bool downloadToOutput(const QString& remote);
    void passSpoolOn();
    bool upload(const CliCommand& command);
    std::optional<qint64> remoteSize(const QString& remote, bool& ok);
    // get -r, put -r, mget, mput: through the transfer queue, whose store
    // lets a run cut short go on where it stopped.
    bool queueTransfers(const CliCommand& command);
    bool fillQueue(const CliCommand& command, const QString& home, class TransferQueue& queue);

    // Reports the engine's last failure; always false, for `return fail()`.
    bool fail();
    bool failWith(qint32 number, const QString& description);
    bool failLocal(const QString& description);

    void logMessage(const QString& message, int type);
    void startProgress(const QString& name, qint64 total, qint64 first);
    void showProgress(qint64 bytes);
    void writeProgress();
    void endProgress();

    CliOptions m_Options;
    QTextStream& m_Out;
    QTextStream& m_Err;
    std::unique_ptr<CFtpConnection> m_Connection;
    bool m_ShowProgress = false;
    bool m_ProgressShown = false;
    QString m_ProgressName;
    qint64 m_ProgressTotal = -1;
    qint64 m_ProgressBytes = 0;
    qint64 m_ProgressFirst = 0; // where a resumed transfer started
    qsizetype m_ProgressWidth = 0;
    QElapsedTimer m_ProgressClock;
    QElapsedTimer m_ProgressStart;
    // While a download goes to standard output: the temporary file it passes through.
    QFile* m_Spool = nullptr;
};
