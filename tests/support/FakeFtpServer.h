#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QTcpServer;
class QTcpSocket;
class QTimer;

// An in-process scripted FTP server on 127.0.0.1, driven by the same event
// loop as the client under test (no threads): it runs while the engine pumps
// events in its waits.
//
// A script is a queue of steps run in order; a step that waits (for a command,
// a pause, a data connection, the end of an upload) holds the rest back:
//
//   FakeFtpServer server;                      // greets "220 Fake FTP server ready"
//   server.expect("USER anonymous").reply("331 Password required")
//         .expect("PASS *").reply("230-Welcome\n230 Logged in")
//         .expect("PASV").passive()
//         .expect("RETR a.bin").reply("150 Opening").dataSend(bytes).dataClose()
//         .reply("226 Done");
//
// Every command line received is recorded (without its line end), so a test
// compares the whole transcript with commands(). A command that does not
// match the expected one is recorded in errors() and stops the script.
// Handlers registered with onCommand() answer their verb instead of the script.
class FakeFtpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(FakeFtpServer&, const QString& argument)>;

    explicit FakeFtpServer(QObject* parent = nullptr);
    ~FakeFtpServer() override;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const;

    // --- behaviour on each new control connection
    // The greeting; an empty text sends nothing (a silent server).
    void setGreeting(const QString& text);
    // Closes each control connection as soon as it is accepted.
    void setCloseOnConnect(bool close);

    // --- script steps (each returns *this to chain)
    // Waits for the next command line; a trailing "*" matches any rest.
    FakeFtpServer& expect(const QString& commandLine);
    // The usual log-in: USER user -> 331, PASS (any) -> 230, PWD -> 257 "/".
    FakeFtpServer& expectLogin(const QString& user = QStringLiteral("anonymous"));
    // Sends text; every "\n"-separated line goes out ending in "\r\n".
    FakeFtpServer& reply(const QString& text);
    // Sends bytes exactly as given.
    FakeFtpServer& sendRaw(const QByteArray& bytes);
    // Sends the parts as separate arrivals, with a pause between them.
    FakeFtpServer& replyInParts(const QList<QByteArray>& parts);
    FakeFtpServer& pause(int ms);
    FakeFtpServer& closeControl();
    // Runs nothing more: later commands are recorded and never answered.
    FakeFtpServer& stall();
    // Runs fn as a step (for anything the other steps do not cover).
    FakeFtpServer& run(std::function<void(FakeFtpServer&)> fn);

    // Opens a passive listener on 127.0.0.1 and replies with its 227 text.
    // A custom text may carry {p1} and {p2}, replaced by the port's halves.
    FakeFtpServer& passive(const QString& text = {});
    // Connects to the address of the last PORT command (loopback only) and
    // waits until connected. A non-null 'from' binds the server's end to it,
    // e.g. 127.0.0.2 to play a peer other than the server.
    FakeFtpServer& dataConnect(const QHostAddress& from = {});
    // Waits for the data connection, then sends bytes in that many chunks.
    FakeFtpServer& dataSend(const QByteArray& bytes, int chunks = 1);
    // Closes the data connection after flushing what was sent.
    FakeFtpServer& dataClose();
    // Resets the data connection (RST).
    FakeFtpServer& dataAbort();
    // Waits for the data connection, keeps all it receives until the client
    // closes it (see uploads()).
    FakeFtpServer& dataReceive();

    // --- handlers and direct actions (usable from handlers and steps)
    void onCommand(const QString& verb, Handler handler);
    void sendReply(const QString& text);
    void sendBytes(const QByteArray& bytes);
    void dropControl();
    // Resets the control connection (RST instead of an orderly close).
    void resetControl();
    // Resets the data connection at once (RST).
    void resetData();
    // Bytes received on the current data connection so far.
    qsizetype dataBytesReceived() const { return m_DataBytes.size(); }
    // Opens a passive listener and returns its 227 reply text.
    QString openPassive(const QString& text = {});

    // --- what happened
    const QStringList& commands() const { return m_Commands; }
    const QByteArray& rawControlBytes() const { return m_RawControl; }
    const QStringList& errors() const { return m_Errors; }
    // Bytes of each completed dataReceive(), in order.
    const QList<QByteArray>& uploads() const { return m_Uploads; }
    bool scriptFinished() const { return m_Next >= m_Steps.size() && !m_Blocked; }
    int controlConnectionCount() const { return m_ControlCount; }
    int dataConnectionCount() const { return m_DataCount; }
    bool controlConnected() const;
    bool dataConnected() const;
    // Peer address of the last accepted data connection (passive) or of the
    // connecting end (active).
    QHostAddress lastDataPeer() const { return m_LastDataPeer; }
    quint16 passivePort() const;

    // Pumps events until the server has received n commands (bounded).
    bool waitForCommands(int n, int timeoutMs = 5000);

private:
    struct Step {
        enum Kind {
            Expect,
            Send,
            Pause,
            CloseControl,
            Stall,
            Run,
            Passive,
            DataConnect,
            DataSend,
            DataClose,
            DataAbort,
            DataReceive
        };
        Kind kind;
        QString text;
        QByteArray bytes;
        int number = 0;
        QHostAddress address;
        std::function<void(FakeFtpServer&)> fn;
    };

    FakeFtpServer& add(Step step);
    void advance();
    // Runs one step; false when it has to wait.
    bool runStep(Step& step);
    void onNewControl();
    void onControlReadyRead();
    void handleLine(const QString& line);
    void onPassiveConnection();
    void adoptData(QTcpSocket* socket);
    void failScript(const QString& message);
    static void resetSocket(QTcpSocket* socket);

    QTcpServer* m_Listener = nullptr;
    QPointer<QTcpSocket> m_Control;
    QTcpServer* m_Passive = nullptr;
    QPointer<QTcpSocket> m_Data;
    QByteArray m_DataBytes;
    bool m_DataPeerClosed = false;
    bool m_Connecting = false;

    QString m_Greeting = QStringLiteral("220 Fake FTP server ready");
    bool m_CloseOnConnect = false;

    QList<Step> m_Steps;
    qsizetype m_Next = 0;
    bool m_Blocked = false;
    bool m_Stalled = false;
    bool m_Advancing = false;
    QTimer* m_PauseTimer = nullptr;

    QHash<QString, Handler> m_Handlers;
    QStringList m_PendingCommands;
    QByteArray m_LineBuffer;
    QString m_LastPortArgument;

    QStringList m_Commands;
    QByteArray m_RawControl;
    QStringList m_Errors;
    QList<QByteArray> m_Uploads;
    int m_ControlCount = 0;
    int m_DataCount = 0;
    QHostAddress m_LastDataPeer;
};
