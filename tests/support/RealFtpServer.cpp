#include "RealFtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

// The user proftpd and pure-ftpd change to for a session.
constexpr uid_t NobodyUid = 65534;
constexpr gid_t NogroupGid = 65534;
// vsftpd's anonymous user: the vsftpd package makes it. vsftpd changes to
// its home folder before the anonymous root, so "nobody" (home
// /nonexistent) cannot serve.
constexpr const char* VsftpdUser = "ftp";

// proftpd's and pure-ftpd's virtual user.
constexpr const char* VirtualUser = "krellin";
constexpr const char* VirtualPassword = "secret";
// crypt(3) SHA-512 of VirtualPassword, as `openssl passwd -6 -salt krellinsalt secret` makes it.
constexpr const char* VirtualPasswordHash =
    "$6$krellinsalt$9FsE7g8Z8SujdLlV4J3lr2vVVXqKZ4ZP99SmR.5S.Lrm4b1NMTu5.sdX2mKJtinK/"
    ".TILW7/.wYzOROBa/xrS/";

QString serversDir() {
    return QStringLiteral(KRELLIN_SERVERS_DIR);
}

QString programPath(RealFtpServer::Kind kind) {
    switch (kind) {
    case RealFtpServer::Kind::Vsftpd:
        return QStringLiteral("/usr/sbin/vsftpd");
    case RealFtpServer::Kind::Proftpd:
        return serversDir() + QStringLiteral("/proftpd/usr/sbin/proftpd");
    case RealFtpServer::Kind::PureFtpd:
        return serversDir() + QStringLiteral("/pure-ftpd/usr/sbin/pure-ftpd");
    case RealFtpServer::Kind::Pyftpdlib:
        return QStringLiteral("/usr/bin/python3");
    }
    return {};
}

QString unpackedFolder(RealFtpServer::Kind kind) {
    return kind == RealFtpServer::Kind::Proftpd ? QStringLiteral("proftpd")
                                                : QStringLiteral("pure-ftpd");
}

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(text.toUtf8()) == text.toUtf8().size();
}

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Runs a helper program to its end, bounded; returns its exit code, -1 when
// it did not run or ended abnormally. Its output goes to *output.
int runTool(const QString& program, const QStringList& arguments, QString* output,
            const QByteArray& input = {}) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return -1;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A port nobody listens on now; the short race before the server binds it
// shows up as a failed start, which start() retries.
quint16 freePort(bool ipv6) {
    QTcpServer probe;
    if (!probe.listen(ipv6 ? QHostAddress::LocalHostIPv6 : QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString tlsProtocolName(RealFtpServer::TlsVersion version) {
    return version == RealFtpServer::TlsVersion::Tls12 ? QStringLiteral("TLSv1.2")
                                                       : QStringLiteral("TLSv1.3");
}

} // namespace

RealFtpServer::RealFtpServer(Kind kind) : RealFtpServer(kind, Options()) {}

RealFtpServer::RealFtpServer(Kind kind, Options options)
    : m_Kind(kind), m_Options(std::move(options)) {}

RealFtpServer::~RealFtpServer() {
    stop();
}

QString RealFtpServer::kindName(Kind kind) {
    switch (kind) {
    case Kind::Vsftpd:
        return QStringLiteral("vsftpd");
    case Kind::Proftpd:
        return QStringLiteral("proftpd");
    case Kind::PureFtpd:
        return QStringLiteral("pure-ftpd");
    case Kind::Pyftpdlib:
        return QStringLiteral("pyftpdlib");
    }
    return {};
}

QString RealFtpServer::version(Kind kind) {
    if (kind == Kind::Proftpd || kind == Kind::PureFtpd)
        return readText(serversDir() + '/' + unpackedFolder(kind) + QStringLiteral("/VERSION"))
            .trimmed();
    const QString package =
        kind == Kind::Vsftpd ? QStringLiteral("vsftpd") : QStringLiteral("python3-pyftpdlib");
    QString output;
    if (runTool(QStringLiteral("dpkg-query"), {"-W", "-f=${Version}", package}, &output) != 0)
        return {};
    return output.trimmed();
}

QString RealFtpServer::unavailableReason(Kind kind) {
    return unavailableReason(kind, Options());
}

QString RealFtpServer::unavailableReason(Kind kind, const Options& options) {
    const QString name = kindName(kind);
    if (!QFileInfo(programPath(kind)).isExecutable()) {
        if (kind == Kind::Vsftpd)
            return QStringLiteral("vsftpd is not installed (scripts/bootstrap installs it)");
        if (kind == Kind::Pyftpdlib)
            return QStringLiteral("/usr/bin/python3 is missing");
        const QString missing =
            readText(serversDir() + '/' + unpackedFolder(kind) + QStringLiteral(".missing"))
                .trimmed();
        return QStringLiteral("%1 is not unpacked in %2 (scripts/unpack-servers): %3")
            .arg(name, serversDir(), missing.isEmpty() ? QStringLiteral("not run yet") : missing);
    }
    if (kind != Kind::Pyftpdlib && ::geteuid() != 0)
        return QStringLiteral("%1 needs root: it changes to another user for each session")
            .arg(name);
    if (options.ipv6) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHostIPv6, 0))
            return QStringLiteral("no IPv6 loopback (::1) here");
    }
    if (kind == Kind::Vsftpd && !options.loginMessage.isEmpty())
        return QStringLiteral("vsftpd shows no message after the log-in");
    using Checksums = Options::Checksums;
    if ((options.checksums == Checksums::Lying && kind != Kind::Pyftpdlib) ||
        (options.checksums == Checksums::Honest &&
         (kind == Kind::Vsftpd || kind == Kind::PureFtpd)))
        return QStringLiteral("%1 has no such checksums").arg(name);
    if (options.uploadRate > 0 && (kind == Kind::Proftpd || kind == Kind::PureFtpd ||
                                   (kind == Kind::Pyftpdlib && options.tls != Tls::Off)))
        return QStringLiteral("%1 takes no limit on uploads here").arg(name);
    if (options.tls == Tls::Implicit && (kind == Kind::PureFtpd || kind == Kind::Pyftpdlib))
        return QStringLiteral("%1 has no implicit FTP over TLS").arg(name);
    if (options.tls != Tls::Off && kind == Kind::Pyftpdlib &&
        !QFileInfo::exists(QStringLiteral("/usr/lib/python3/dist-packages/OpenSSL")))
        return QStringLiteral("pyftpdlib's TLS needs python3-openssl");
    if (options.tls != Tls::Off && !QFileInfo(QStringLiteral("/usr/bin/openssl")).isExecutable())
        return QStringLiteral("the openssl program that makes the test certificate is missing");
    return {};
}

QString RealFtpServer::host() const {
    return m_Options.ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1");
}

QString RealFtpServer::userName() const {
    switch (m_Kind) {
    case Kind::Vsftpd:
        return QStringLiteral("anonymous");
    case Kind::Pyftpdlib:
        return QStringLiteral("user");
    default:
        return QString::fromLatin1(VirtualUser);
    }
}

QString RealFtpServer::password() const {
    if (m_Kind == Kind::Vsftpd)
        return QStringLiteral("krellin@example.invalid");
    return QString::fromLatin1(VirtualPassword);
}

QString RealFtpServer::certificatePath() const {
    return m_Options.tls == Tls::Off ? QString() : configPath(QStringLiteral("cert.pem"));
}

QString RealFtpServer::privateKeyPath() const {
    return m_Options.tls == Tls::Off ? QString() : configPath(QStringLiteral("key.pem"));
}

bool RealFtpServer::isRunning() const {
    return m_Process.state() == QProcess::Running && m_Port != 0;
}

bool RealFtpServer::cutSessions() {
    const qint64 pid = m_Process.processId();
    if (!isRunning() || pid <= 0)
        return false;
    if (m_Kind == Kind::Pyftpdlib)
        return ::kill(pid_t(pid), SIGUSR1) == 0;
    if (m_Kind != Kind::Vsftpd)
        return false;
    // The listener's descendants are the sessions, all started by it: every
    // process here whose chain of parents leads to it.
    QHash<qint64, qint64> parents;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 id = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(id));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and brackets.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            parents.insert(id, fields[1].toLongLong());
    }
    QList<pid_t> sessions;
    for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
        qint64 up = it.value();
        // Bounded: a chain of parents is no longer than the process count.
        for (int depth = 0; up > 1 && up != pid && depth < parents.size(); ++depth)
            up = parents.value(up, 0);
        if (up == pid)
            sessions << pid_t(it.key());
    }
    for (const pid_t session : std::as_const(sessions))
        ::kill(session, SIGKILL);
    return !sessions.isEmpty();
}

QString RealFtpServer::transcript() const {
    switch (m_Kind) {
    case Kind::Vsftpd:
        return readText(configPath(QStringLiteral("vsftpd.log")));
    case Kind::Proftpd:
        return readText(configPath(QStringLiteral("commands.log"))) +
               readText(configPath(QStringLiteral("tls.log")));
    case Kind::Pyftpdlib:
        return readText(configPath(QStringLiteral("pyftpd.log")));
    case Kind::PureFtpd:
        break;
    }
    return {};
}

QString RealFtpServer::serverOutput() {
    return QString::fromLocal8Bit(m_Process.readAllStandardOutput() +
                                  m_Process.readAllStandardError());
}

bool RealFtpServer::prepareFiles() {
    if (!m_Root.isValid() || !m_Config.isValid()) {
        m_Error = QStringLiteral("no temporary folder");
        return false;
    }
    // The servers run each session as another user, who must reach the root.
    QFile::setPermissions(m_Root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                             QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                             QFile::ExeOther);
    QFile::setPermissions(m_Config.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther);
    const QString incoming = m_Root.filePath(writableDir());
    if (!QDir().mkpath(incoming) || !QDir().mkpath(configPath(QStringLiteral("empty")))) {
        m_Error = QStringLiteral("cannot make the server's folders");
        return false;
    }
    if (::geteuid() == 0 && m_Kind != Kind::Pyftpdlib) {
        uid_t uid = NobodyUid;
        gid_t gid = NogroupGid;
        if (m_Kind == Kind::Vsftpd) {
            const passwd* ftp = ::getpwnam(VsftpdUser);
            if (!ftp) {
                m_Error = QStringLiteral("vsftpd's user \"ftp\" is missing");
                return false;
            }
            uid = ftp->pw_uid;
            gid = ftp->pw_gid;
        }
        if (::chown(QFile::encodeName(incoming).constData(), uid, gid) != 0) {
            m_Error = QStringLiteral("cannot give %1 to the session user").arg(incoming);
            return false;
        }
    } else {
        QFile::setPermissions(incoming, QFile::Permissions(0x7777));
    }
    if (m_Options.tls != Tls::Off && !makeCertificate())
        return false;
    if (m_Options.tlsVersion != TlsVersion::Any) {
        const QString protocol = tlsProtocolName(m_Options.tlsVersion);
        if (!writeText(configPath(QStringLiteral("openssl.cnf")),
                       QStringLiteral("openssl_conf = krellin_init\n"
                                      "[krellin_init]\n"
                                      "ssl_conf = krellin_ssl\n"
                                      "[krellin_ssl]\n"
                                      "system_default = krellin_tls\n"
                                      "[krellin_tls]\n"
                                      "MinProtocol = %1\n"
                                      "MaxProtocol = %1\n")
                           .arg(protocol))) {
            m_Error = QStringLiteral("cannot write the OpenSSL configuration");
            return false;
        }
    }
    const QString greeting = m_Options.greeting.join('\n') + '\n';
    const QString login = m_Options.loginMessage.join('\n') + '\n';
    bool written =
        m_Options.greeting.isEmpty() || writeText(configPath(QStringLiteral("banner")), greeting);
    if (!m_Options.loginMessage.isEmpty()) {
        // proftpd reads its log-in message after the chroot, pure-ftpd reads
        // ".banner" in the user's home: both from inside the served root.
        written = written && writeText(configPath(QStringLiteral("login")), login) &&
                  writeText(m_Root.filePath(QStringLiteral(".banner")), login) &&
                  writeText(m_Root.filePath(QStringLiteral(".login-message")), login);
    }
    if (!written)
        m_Error = QStringLiteral("cannot write the greeting or log-in message");
    return written;
}

bool RealFtpServer::makeCertificate() {
    QString output;
    // A throwaway self-signed certificate, made for this run only; an EC key
    // takes a few milliseconds where RSA takes most of a second.
    const int rc = runTool(
        QStringLiteral("/usr/bin/openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-days", "2", "-subj", "/CN=localhost", "-addext",
         "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1", "-keyout",
         configPath(QStringLiteral("key.pem")), "-out", configPath(QStringLiteral("cert.pem"))},
        &output);
    if (rc != 0) {
        m_Error = QStringLiteral("openssl could not make the certificate: ") + output;
        return false;
    }
    return true;
}

QString RealFtpServer::writeConfig() {
    const bool tls = m_Options.tls != Tls::Off;
    QString conf;
    if (m_Kind == Kind::Vsftpd) {
        conf = QStringLiteral("vsftpd.conf");
        QStringList lines = {
            m_Options.ipv6 ? "listen=NO" : "listen=YES",
            m_Options.ipv6 ? "listen_ipv6=YES" : "listen_ipv6=NO",
            m_Options.ipv6 ? "listen_address6=::1" : "listen_address=127.0.0.1",
            QStringLiteral("listen_port=%1").arg(m_Port),
            "background=NO",
            "seccomp_sandbox=NO",
            "isolate=NO",
            "isolate_network=NO",
            "secure_chroot_dir=" + configPath(QStringLiteral("empty")),
            "anonymous_enable=YES",
            "local_enable=NO",
            "no_anon_password=YES",
            QStringLiteral("ftp_username=%1").arg(QLatin1String(VsftpdUser)),
            "anon_root=" + m_Root.path(),
            "write_enable=YES",
            "anon_upload_enable=YES",
            "anon_mkdir_write_enable=YES",
            "anon_other_write_enable=YES",
            "anon_umask=022",
            "dirlist_enable=YES",
            "download_enable=YES",
            "pasv_enable=YES",
            QStringLiteral("pasv_min_port=%1").arg(passivePortMin()),
            QStringLiteral("pasv_max_port=%1").arg(passivePortMax()),
            "port_enable=YES",
            "connect_from_port_20=NO",
            QStringLiteral("max_clients=%1").arg(m_Options.maxClients),
            "max_per_ip=0",
            "idle_session_timeout=600",
            "data_connection_timeout=300",
            // Every command and reply goes to the log.
            "xferlog_enable=YES",
            "xferlog_std_format=NO",
            "log_ftp_protocol=YES",
            "syslog_enable=NO",
            "vsftpd_log_file=" + configPath(QStringLiteral("vsftpd.log")),
            "use_localtime=NO",
            "tcp_wrappers=NO",
            "dirmessage_enable=NO",
            QStringLiteral("anon_max_rate=%1").arg(m_Options.uploadRate),
        };
        if (!m_Options.ipv6)
            lines << "pasv_address=127.0.0.1";
        if (m_Options.greeting.isEmpty())
            lines << "ftpd_banner=Krellin test vsftpd";
        else
            lines << "banner_file=" + configPath(QStringLiteral("banner"));
        if (tls) {
            lines << "ssl_enable=YES"
                  << "allow_anon_ssl=YES"
                  << "rsa_cert_file=" + certificatePath()
                  << "rsa_private_key_file=" + privateKeyPath()
                  // The built-in default names a cipher OpenSSL 3 no longer has.
                  << "ssl_ciphers=HIGH"
                  << "ssl_sslv2=NO"
                  << "ssl_sslv3=NO"
                  << "ssl_tlsv1=YES"
                  << "debug_ssl=YES"
                  << (m_Options.tlsSessionReuseRequired ? "require_ssl_reuse=YES"
                                                        : "require_ssl_reuse=NO")
                  << (m_Options.tlsRequired ? "force_anon_logins_ssl=YES"
                                            : "force_anon_logins_ssl=NO")
                  << (m_Options.tlsRequired ? "force_anon_data_ssl=YES" : "force_anon_data_ssl=NO")
                  << (m_Options.tls == Tls::Implicit ? "implicit_ssl=YES" : "implicit_ssl=NO");
        }
        if (!writeText(configPath(conf), lines.join('\n') + '\n'))
            return {};
        return configPath(conf);
    }

    // proftpd
    conf = QStringLiteral("proftpd.conf");
    const QString passwd = configPath(QStringLiteral("passwd"));
    if (!writeText(passwd, QStringLiteral("%1:%2:%3:%4::%5:/bin/sh\n")
                               .arg(QLatin1String(VirtualUser), QLatin1String(VirtualPasswordHash))
                               .arg(NobodyUid)
                               .arg(NogroupGid)
                               .arg(m_Root.path())))
        return {};
    QFile::setPermissions(passwd, QFile::ReadOwner | QFile::WriteOwner);
    QStringList lines = {
        "ServerType standalone",
        "ServerName \"Krellin test proftpd\"",
        QStringLiteral("Port %1").arg(m_Port),
        m_Options.ipv6 ? "UseIPv6 on" : "UseIPv6 off",
        "DefaultAddress " + host(),
        "SocketBindTight on",
        "User nobody",
        "Group nogroup",
        "PidFile " + configPath(QStringLiteral("proftpd.pid")),
        "ScoreboardFile " + configPath(QStringLiteral("proftpd.scoreboard")),
        "DelayTable none",
        "WtmpLog off",
        "UseReverseDNS off",
        "ModulePath " + serversDir() + "/proftpd/usr/lib/proftpd",
        "AuthOrder mod_auth_file.c",
        "AuthUserFile " + passwd,
        "AuthPAM off",
        "RequireValidShell off",
        "DefaultRoot ~",
        QStringLiteral("PassivePorts %1 %2").arg(passivePortMin()).arg(passivePortMax()),
        "MaxInstances 200",
        "Umask 022",
        "AllowOverwrite on",
        "SystemLog " + configPath(QStringLiteral("system.log")),
        "ExtendedLog " + configPath(QStringLiteral("commands.log")) + " ALL",
    };
    if (m_Options.maxClients > 0)
        lines << QStringLiteral("MaxClients %1").arg(m_Options.maxClients);
    if (!m_Options.greeting.isEmpty())
        lines << "DisplayConnect " + configPath(QStringLiteral("banner"));
    if (m_Options.checksums != Options::Checksums::Off)
        lines << "<IfModule mod_dso.c>"
              << "  LoadModule mod_digest.c"
              << "</IfModule>"
              << "DigestEngine on";
    if (!m_Options.loginMessage.isEmpty())
        lines << "DisplayLogin /.login-message";
    if (tls) {
        QStringList options;
        if (!m_Options.tlsSessionReuseRequired)
            options << "NoSessionReuseRequired";
        if (m_Options.tls == Tls::Implicit)
            options << "UseImplicitSSL";
        lines << "<IfModule mod_dso.c>"
              << "  LoadModule mod_tls.c"
              << "</IfModule>"
              << "TLSEngine on"
              << "TLSLog " + configPath(QStringLiteral("tls.log"))
              << "TLSProtocol " + (m_Options.tlsVersion == TlsVersion::Any
                                       ? QStringLiteral("TLSv1.2 TLSv1.3")
                                       : tlsProtocolName(m_Options.tlsVersion))
              << "TLSECCertificateFile " + certificatePath()
              << "TLSECCertificateKeyFile " + privateKeyPath() << "TLSVerifyClient off"
              << "TLSRenegotiate none"
              << (m_Options.tlsRequired ? "TLSRequired on" : "TLSRequired off");
        if (!options.isEmpty())
            lines << "TLSOptions " + options.join(' ');
    }
    if (!writeText(configPath(conf), lines.join('\n') + '\n'))
        return {};
    return configPath(conf);
}

QStringList RealFtpServer::pureFtpdArguments() const {
    QStringList args = {
        "-S", host() + ',' + QString::number(m_Port),
        "-l", "puredb:" + configPath(QStringLiteral("pure.pdb")),
        "-E", // no anonymous log-ins
        "-A", // every user chrooted to the home folder
        "-H", // no reverse look-ups
        "-p", QStringLiteral("%1:%2").arg(passivePortMin()).arg(passivePortMax()),
    };
    if (m_Options.maxClients > 0)
        args << "-c" << QString::number(m_Options.maxClients);
    if (m_Options.listLimit > 0)
        args << "-L" << QStringLiteral("%1:5").arg(m_Options.listLimit);
    if (!m_Options.greeting.isEmpty()) {
        // A fortunes file with one entry: always that one.
        args << "-F" << configPath(QStringLiteral("banner"));
    }
    if (m_Options.tls != Tls::Off) {
        args << "-Y" << (m_Options.tlsRequired ? "3" : "1") << "-2"
             << certificatePath() + ',' + privateKeyPath();
    }
    return args;
}

QStringList RealFtpServer::pyftpdlibArguments() const {
    QStringList args = {QStringLiteral(KRELLIN_SOURCE_DIR "/tests/support/pyftpd_server.py"),
                        m_Root.path(),
                        "0",
                        "--passive-ports",
                        QString::number(passivePortMin()),
                        QString::number(passivePortMax()),
                        "--log-file",
                        configPath(QStringLiteral("pyftpd.log"))};
    if (m_Options.ipv6)
        args << "--ipv6";
    if (!m_Options.greeting.isEmpty())
        args << "--banner-file" << configPath(QStringLiteral("banner"));
    if (!m_Options.loginMessage.isEmpty())
        args << "--login-file" << configPath(QStringLiteral("login"));
    // pyftpdlib counts its listening socket among the connections.
    if (m_Options.maxClients > 0)
        args << "--max-cons" << QString::number(m_Options.maxClients + 1);
    if (m_Options.tls != Tls::Off)
        args << "--tls" << certificatePath() << privateKeyPath();
    if (m_Options.tlsRequired)
        args << "--tls-required";
    if (m_Options.checksums != Options::Checksums::Off)
        args << "--checksums"
             << (m_Options.checksums == Options::Checksums::Lying ? "lying" : "honest");
    if (m_Options.uploadRate > 0)
        args << "--upload-rate" << QString::number(m_Options.uploadRate);
    return args;
}

bool RealFtpServer::start(int timeoutMs) {
    stop();
    m_Error = unavailableReason(m_Kind, m_Options);
    if (!m_Error.isEmpty())
        return false;
    if (!prepareFiles())
        return false;
    if (m_Kind == Kind::PureFtpd) {
        const QString passwd = configPath(QStringLiteral("pure.passwd"));
        // "/./" ends the chroot part of the home folder.
        if (!writeText(passwd,
                       QStringLiteral("%1:%2:%3:%4::%5/./::::::::::::\n")
                           .arg(QLatin1String(VirtualUser), QLatin1String(VirtualPasswordHash))
                           .arg(NobodyUid)
                           .arg(NogroupGid)
                           .arg(m_Root.path()))) {
            m_Error = QStringLiteral("cannot write pure-ftpd's password file");
            return false;
        }
        QString output;
        if (runTool(serversDir() + QStringLiteral("/pure-ftpd/usr/bin/pure-pw"),
                    {"mkdb", configPath(QStringLiteral("pure.pdb")), "-f", passwd}, &output) != 0) {
            m_Error = QStringLiteral("pure-pw mkdb failed: ") + output;
            return false;
        }
    }
    // A port taken between choosing it and the server's bind fails the
    // start; another free port then gets a second and a third chance.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce(timeoutMs))
            return true;
        stop();
    }
    return false;
}

bool RealFtpServer::startOnce(int timeoutMs) {
    m_Port = m_Kind == Kind::Pyftpdlib ? 0 : freePort(m_Options.ipv6);
    if (m_Kind != Kind::Pyftpdlib && m_Port == 0) {
        m_Error = QStringLiteral("no free port on ") + host();
        return false;
    }
    m_PassiveMin = quint16(QRandomGenerator::global()->bounded(20000, 60000 - PassivePortCount));

    QStringList arguments;
    switch (m_Kind) {
    case Kind::Vsftpd:
    case Kind::Proftpd: {
        const QString conf = writeConfig();
        if (conf.isEmpty()) {
            m_Error = QStringLiteral("cannot write the server's configuration");
            return false;
        }
        if (m_Kind == Kind::Vsftpd)
            arguments = {conf};
        else
            arguments = {"-n", "-q", "-c", conf};
        break;
    }
    case Kind::PureFtpd:
        arguments = pureFtpdArguments();
        break;
    case Kind::Pyftpdlib:
        arguments = pyftpdlibArguments();
        break;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (m_Options.tlsVersion != TlsVersion::Any)
        env.insert(QStringLiteral("OPENSSL_CONF"), configPath(QStringLiteral("openssl.cnf")));
    m_Process.setProcessEnvironment(env);
    m_Process.setProgram(programPath(m_Kind));
    m_Process.setArguments(arguments);
    m_Process.setProcessChannelMode(QProcess::SeparateChannels);
    // A test that crashes must not leave its server behind. Best effort: a
    // daemon that changes its own user clears this again.
    m_Process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_Process.start();
    if (!m_Process.waitForStarted(timeoutMs)) {
        m_Error = m_Process.errorString();
        return false;
    }
    return waitUntilReady(timeoutMs);
}

bool RealFtpServer::waitUntilReady(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    auto remaining = [&] { return int(std::max<qint64>(1, deadline.remainingTime())); };
    if (m_Kind == Kind::Pyftpdlib) {
        // The launcher prints its port once it listens; bounded by the deadline.
        while (m_Port == 0 && !deadline.hasExpired() && m_Process.state() == QProcess::Running) {
            if (!m_Process.canReadLine())
                m_Process.waitForReadyRead(std::min(remaining(), 100));
            while (m_Process.canReadLine()) {
                const QByteArray line = m_Process.readLine().trimmed();
                if (line.startsWith("PORT "))
                    m_Port = quint16(line.mid(5).toUInt());
            }
        }
    }
    // Ready means greeted: a probe connects, reads the greeting and quits,
    // so that a limit on clients has it counted off again before a test
    // connects. With implicit TLS, a connection is all it can check.
    // Bounded by the deadline; a server that exits ends the loop too.
    QByteArray greeting;
    while (m_Port != 0 && !deadline.hasExpired() && m_Process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(host(), m_Port);
        if (!probe.waitForConnected(std::min(remaining(), 500))) {
            m_Process.waitForFinished(std::min(remaining(), 50));
            continue;
        }
        if (m_Options.tls == Tls::Implicit) {
            probe.abort();
            return true;
        }
        while (!deadline.hasExpired() && !greeting.contains("220 ") &&
               probe.state() == QAbstractSocket::ConnectedState) {
            probe.waitForReadyRead(std::min(remaining(), 500));
            greeting += probe.readAll();
        }
        if (greeting.contains("220 ")) {
            probe.write("QUIT\r\n");
            while (!deadline.hasExpired() && probe.state() == QAbstractSocket::ConnectedState) {
                probe.waitForReadyRead(std::min(remaining(), 500));
                probe.readAll();
            }
            return true;
        }
        break;
    }
    m_Error = QStringLiteral("%1 did not greet on %2 port %3: %4 %5")
                  .arg(kindName(m_Kind), host())
                  .arg(m_Port)
                  .arg(QString::fromUtf8(greeting), serverOutput());
    if (m_Kind == Kind::Proftpd)
        m_Error += readText(configPath(QStringLiteral("system.log")));
    return false;
}

void RealFtpServer::stop() {
    if (m_Process.state() != QProcess::NotRunning) {
        // Our own child, by its process id.
        const qint64 pid = m_Process.processId();
        if (pid > 0)
            ::kill(pid_t(pid), SIGTERM);
        if (!m_Process.waitForFinished(5000)) {
            if (pid > 0)
                ::kill(pid_t(pid), SIGKILL);
            m_Process.waitForFinished(5000);
        }
    }
    m_Port = 0;
}
