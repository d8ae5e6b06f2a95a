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
#include <memory>

#include "TestTls.h"

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
// FEAT and AUTH that no handler and no step expects are refused with 500
// (a server of RFC 959 only); they are recorded all the same.
//
// FTP over TLS: startTls() after the script's 234 reply to AUTH TLS (or
// setImplicitTls() for TLS from the first byte); after "PROT P" every data
// connection is TLS as well, and whether each resumed the control
// connection's session is recorded (setRequireSessionReuse() refuses those
// that did not, as vsftpd and proftpd do). The certificate is made at test
// time.
class FakeFtpServer : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(FakeFtpServer&, const QString& argument)>;

    // Listens on 127.0.0.1, or on the given loopback address (::1 for IPv6).
    explicit FakeFtpServer(QObject* parent = nullptr);
    explicit FakeFtpServer(const QHostAddress& address, QObject* parent = nullptr);
    ~FakeFtpServer() override;

    QString host() const { return m_Address.toString(); }
    quint16 port() const;

    // --- behaviour on each new control connection
    // The greeting; an empty text sends nothing (a silent server).
    void setGreeting(const QString& text);
    // Closes each control connection as soon as it is accepted.
    void setCloseOnConnect(bool close);
    // A client with several connections at once (a window's browsing
    // session beside its transfer queue): a new control connection leaves
    // the earlier ones open, one script serves them all in the order their
    // commands arrive, and each reply goes to the connection whose command
    // came last. Handlers answer the connection that sent their command.
    void setManyConnections(bool on) { m_ManyConnections = on; }
    // The log-in of another connection beside the first (a window's transfer
    // queue): many connections on, and that connection's QUIT answered
    // whenever it comes, outside the script.
    FakeFtpServer& expectLoginBeside(const QString& user = QStringLiteral("anonymous"));

    // --- TLS settings (before the first handshake)
    void setTlsCredentials(const TestTls::Credentials& credentials);
    void setTlsVersion(TestTls::Version version);
    // Each TLS 1.3 ticket is good for one resumption only.
    void setSingleUseTlsSessions(bool on);
    // Every control connection starts TLS at once; the greeting follows it.
    void setImplicitTls(bool on);
    // A data connection that does not resume the control connection's TLS
    // session is dropped with "522 SSL connection failed: session reuse
    // required" on the control connection, and the script stops.
    void setRequireSessionReuse(bool on);
    // Data connections show these credentials instead of the control
    // connection's (someone in between on the data connections only).
    void setDataTlsCredentials(const TestTls::Credentials& credentials);

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
    // Starts the server side of TLS on the control connection (after the
    // 234 reply to AUTH TLS).
    FakeFtpServer& startTls();
    // AUTH TLS -> 234, then the handshake.
    FakeFtpServer& expectAuthTls();
    // A 211 FEAT reply naming the features, one a line.
    static QString featReply(const QStringList& features);

    // Opens a passive listener on the server's address and replies with its
    // 227 text. A custom text may carry {p1} and {p2}, replaced by the
    // port's halves.
    FakeFtpServer& passive(const QString& text = {});
    // The same for EPSV: "229 Entering Extended Passive Mode (|||{port}|)".
    FakeFtpServer& extendedPassive(const QString& text = {});
    // Connects to the address of the last PORT or EPRT command (loopback
    // only) and waits until connected. A non-null 'from' binds the server's
    // end to it, e.g. 127.0.0.2 to play a peer other than the server.
    FakeFtpServer& dataConnect(const QHostAddress& from = {});
    // Waits for the data connection, then sends bytes in that many chunks.
    FakeFtpServer& dataSend(const QByteArray& bytes, int chunks = 1);
    // Closes the data connection after flushing what was sent.
    FakeFtpServer& dataClose();
    // Closes the TCP connection under TLS without close_notify, as a cut
    // made in between would.
    FakeFtpServer& dataCloseWithoutNotify();
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
    // Opens a passive listener and returns its 227 (or 229) reply text.
    QString openPassive(const QString& text = {}, bool extended = false);

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
    // TLS: whether the control connection is encrypted; for each TLS data
    // connection, in order, whether it resumed the control's session and
    // whether the client ended it with close_notify (false until it closed).
    bool controlEncrypted() const;
    QString controlTlsProtocol() const;
    const QList<bool>& dataSessionsReused() const { return m_DataReused; }
    const QList<bool>& dataCloseNotifies() const { return m_DataCloseNotify; }
    int tlsHandshakeFailures() const { return m_TlsFailures; }

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
            DataReceive,
            StartTls
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
    bool scriptExpects(const QString& line) const;
    void onPassiveConnection();
    void adoptData(QTcpSocket* socket);
    void onDataEncrypted();
    void failScript(const QString& message);
    TestTls::ServerContext& tlsContext();
    TestTls::ServerContext& dataTlsContext();
    bool dataReady() const;
    // The client hung up (or failed) during the data connection's handshake:
    // the steps that would send on it are passed over.
    bool dataRefused() const;
    static void resetSocket(QTcpSocket* socket);

    QHostAddress m_Address;
    QTcpServer* m_Listener = nullptr;
    QPointer<TestTls::Stream> m_Control;
    QTcpServer* m_Passive = nullptr;
    QPointer<TestTls::Stream> m_Data;
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
    bool m_ManyConnections = false;
    // Many connections: each one's unfinished line, and the one read now.
    QHash<TestTls::Stream*, QByteArray> m_LineBuffers;
    QPointer<TestTls::Stream> m_Reading;
    QString m_LastPortArgument;
    QString m_LastEprtArgument;
    bool m_LastWasEprt = false;

    const TestTls::Credentials* m_TlsCredentials = nullptr;
    TestTls::Version m_TlsVersion = TestTls::Version::Any;
    bool m_SingleUseTls = false;
    bool m_ImplicitTls = false;
    bool m_RequireReuse = false;
    bool m_ProtectData = false;
    std::unique_ptr<TestTls::ServerContext> m_TlsContext;
    const TestTls::Credentials* m_DataTlsCredentials = nullptr;
    std::unique_ptr<TestTls::ServerContext> m_DataTlsContext;
    QList<bool> m_DataReused;
    QList<bool> m_DataCloseNotify;
    int m_TlsFailures = 0;

    QStringList m_Commands;
    QByteArray m_RawControl;
    QStringList m_Errors;
    QList<QByteArray> m_Uploads;
    int m_ControlCount = 0;
    int m_DataCount = 0;
    QHostAddress m_LastDataPeer;
};
