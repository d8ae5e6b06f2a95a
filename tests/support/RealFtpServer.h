#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real FTP server daemon in a child process on loopback, at a free port,
// serving a temporary root. The test user may write in the folder
// writableDir() ("incoming") and read everything; the root itself is not
// writable, because vsftpd refuses a writable anonymous root.
//
// vsftpd comes from its Debian package; proftpd and pure-ftpd conflict with
// it as packages and run unpacked from the build tree (scripts/unpack-servers,
// run by CMake). pyftpdlib runs tests/support/pyftpd_server.py.
//
// vsftpd, proftpd and pure-ftpd need root: they change to another user for
// each session. vsftpd serves anonymous log-ins as its package's user "ftp";
// proftpd and pure-ftpd map a virtual user from their own password files
// onto "nobody".
// pyftpdlib runs as anyone. unavailableReason() says why a server cannot run
// here, for a QSKIP.
//
// Stopped, by its own process id, when the object goes away.
class RealFtpServer {
public:
    enum class Kind { Vsftpd, Proftpd, PureFtpd, Pyftpdlib };
    enum class Tls { Off, Explicit, Implicit };
    enum class TlsVersion { Any, Tls12, Tls13 };

    struct Options {
        // Listen on ::1 instead of 127.0.0.1.
        bool ipv6 = false;
        // Lines of a greeting of several lines (a banner file); pure-ftpd's
        // own greeting has several lines already. pyftpdlib sends a text of
        // more than 75 characters as a multi-line reply, its inner line ends
        // bare LFs, and a shorter one as one line holding them.
        QStringList greeting;
        // Lines shown after the log-in (a multi-line 230): proftpd,
        // pure-ftpd and pyftpdlib (over 75 characters, as above).
        QStringList loginMessage;
        // Connections past this many get 421; 0 leaves the server's default.
        int maxClients = 0;
        // pure-ftpd only: at most this many entries a listing (its -L
        // "files:depth"), beyond which it says "Output truncated"; 0 leaves
        // its default.
        int listLimit = 0;
        // FTP over TLS with a certificate made at start() for "localhost",
        // 127.0.0.1 and ::1. Explicit: vsftpd, proftpd, pure-ftpd,
        // pyftpdlib (needs python3-openssl); implicit: vsftpd and proftpd.
        Tls tls = Tls::Off;
        // Pins the server's TLS version: through the server process's
        // OPENSSL_CONF (MinProtocol/MaxProtocol), for proftpd through its
        // own TLSProtocol.
        TlsVersion tlsVersion = TlsVersion::Any;
        // Refuse clear-text log-ins and data connections.
        bool tlsRequired = false;
        // A data connection must resume the control connection's TLS
        // session: vsftpd's require_ssl_reuse, proftpd's default. pure-ftpd
        // and pyftpdlib never check it.
        bool tlsSessionReuseRequired = true;
        // Checksums of files (XSHA256 and kin): proftpd's mod_digest
        // (Honest only); pyftpdlib's XSHA256, honest or lying.
        enum class Checksums { Off, Honest, Lying };
        Checksums checksums = Checksums::Off;
        // Uploads taken at most this many bytes a second (vsftpd's
        // anon_max_rate, pyftpdlib's throttled data channel, plain only),
        // so that a test can cut one on the way; 0 for no limit.
        qint64 uploadRate = 0;
    };

    // (Overloads, not default arguments: Options is not complete until the
    // class is.)
    explicit RealFtpServer(Kind kind);
    RealFtpServer(Kind kind, Options options);
    ~RealFtpServer();
    RealFtpServer(const RealFtpServer&) = delete;
    RealFtpServer& operator=(const RealFtpServer&) = delete;

    static QString kindName(Kind kind);
    // The package version that runs ("3.0.3-13+b2"), empty when unknown.
    static QString version(Kind kind);
    // Empty when the server can run here with these options; otherwise why
    // not (missing program, not root, an option it does not offer).
    static QString unavailableReason(Kind kind);
    static QString unavailableReason(Kind kind, const Options& options);

    // Starts the server and waits (bounded) until it has greeted a probe.
    bool start(int timeoutMs = 15000);
    void stop();
    bool isRunning() const;
    // Cuts every session's connections at once, as a crash of the server's
    // session would, and goes on listening: vsftpd's session processes are
    // killed, pyftpdlib is told to drop them (SIGUSR1).
    bool cutSessions();

    Kind kind() const { return m_Kind; }
    const Options& options() const { return m_Options; }
    QString host() const;
    quint16 port() const { return m_Port; }
    QString userName() const;
    QString password() const;
    // Absolute path of the served root; tests put files here.
    QString rootPath() const { return m_Root.path(); }
    // The remote folder (relative to the root) the user may write in.
    static QString writableDir() { return QStringLiteral("incoming"); }
    // The passive ports the server offers.
    quint16 passivePortMin() const { return m_PassiveMin; }
    quint16 passivePortMax() const { return quint16(m_PassiveMin + PassivePortCount - 1); }
    // PEM files of the TLS certificate and its key (empty without TLS).
    QString certificatePath() const;
    QString privateKeyPath() const;
    // What the server logs of the session: vsftpd's protocol log, proftpd's
    // command log (and TLS log), pyftpdlib's debug log; pure-ftpd logs only
    // to syslog, so it gives nothing.
    QString transcript() const;
    // Why start() failed, with the server's own output.
    QString lastError() const { return m_Error; }

private:
    static constexpr int PassivePortCount = 200;

    bool startOnce(int timeoutMs);
    bool prepareFiles();
    bool makeCertificate();
    QString writeConfig();
    QStringList pureFtpdArguments() const;
    QStringList pyftpdlibArguments() const;
    bool waitUntilReady(int timeoutMs);
    QString configPath(const QString& name) const { return m_Config.filePath(name); }
    QString serverOutput();

    Kind m_Kind;
    Options m_Options;
    QTemporaryDir m_Root;
    QTemporaryDir m_Config;
    QProcess m_Process;
    quint16 m_Port = 0;
    quint16 m_PassiveMin = 0;
    QString m_Error;
};
