// Captures the raw control-connection bytes of real servers' replies and
// prints them as tests/support/RealReplies.h. A tool for the test data, not
// part of the product or the suite; run as root (the daemons need it):
//
//   build/tests/capture_replies > tests/support/RealReplies.h
//
// Each reply is framed the plain RFC 959 way (a multi-line reply ends with
// the line that starts with its code and a space); the bytes are kept as
// they came, line ends included.

#include "RealFtpServer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTextStream>

#include <cstdio>

namespace {

using Kind = RealFtpServer::Kind;

struct Row {
    QString server;
    QString command;
    QByteArray bytes;
};

QList<Row> g_Rows;
QTextStream g_Err(stderr);

// One control connection that hands back each reply's exact bytes.
class Control {
public:
    bool open(const QString& host, quint16 port) {
        m_Socket.connectToHost(host, port);
        return m_Socket.waitForConnected(5000);
    }
    // The next complete reply, or what arrived before the bound.
    QByteArray reply(int timeoutMs = 10000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            const qsizetype end = replyEnd();
            if (end > 0) {
                const QByteArray reply = m_Buffer.left(end);
                m_Buffer.remove(0, end);
                return reply;
            }
            if (m_Socket.state() != QAbstractSocket::ConnectedState &&
                m_Socket.bytesAvailable() == 0)
                break;
            m_Socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
            m_Buffer += m_Socket.readAll();
        }
        return std::exchange(m_Buffer, {});
    }
    QByteArray command(const QByteArray& line, int timeoutMs = 10000) {
        m_Socket.write(line + "\r\n");
        m_Socket.flush();
        return reply(timeoutMs);
    }
    QTcpSocket& socket() { return m_Socket; }

private:
    // Length of the first complete reply in the buffer, 0 when none.
    qsizetype replyEnd() const {
        qsizetype start = 0;
        QByteArray code;
        while (true) {
            const qsizetype lf = m_Buffer.indexOf('\n', start);
            if (lf < 0)
                return 0;
            const QByteArray line = m_Buffer.mid(start, lf - start);
            if (code.isEmpty()) {
                if (line.size() >= 4 && line.at(3) == '-')
                    code = line.left(3);
                else
                    return lf + 1;
            } else if (line.size() >= 4 && line.startsWith(code) && line.at(3) == ' ') {
                return lf + 1;
            }
            start = lf + 1;
        }
    }

    QTcpSocket m_Socket;
    QByteArray m_Buffer;
};

void add(const QString& server, const QString& command, const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        g_Err << server << ": no reply to " << command << "\n";
        return;
    }
    g_Rows.append({server, command, bytes});
}

// The data connection of the 227 reply, opened before the transfer command.
bool openPassive(const QByteArray& reply227, QTcpSocket& data, const QString& host) {
    const qsizetype open = reply227.indexOf('(');
    const qsizetype close = reply227.indexOf(')', open);
    if (open < 0 || close < 0)
        return false;
    const QList<QByteArray> parts = reply227.mid(open + 1, close - open - 1).split(',');
    if (parts.size() != 6)
        return false;
    data.connectToHost(host, quint16(parts[4].toUInt() * 256 + parts[5].toUInt()));
    return data.waitForConnected(5000);
}

// Reads the data connection to its end, bounded.
QByteArray drain(QTcpSocket& data) {
    QByteArray all;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && data.state() == QAbstractSocket::ConnectedState) {
        data.waitForReadyRead(100);
        all += data.readAll();
    }
    return all + data.readAll();
}

// A transfer command over a passive data connection: the reply that opens
// the transfer and the final one.
void transfer(const QString& name, Control& control, const QString& host, const QByteArray& line,
              const QByteArray& upload = {}) {
    const QByteArray pasv = control.command("PASV");
    add(name, "PASV", pasv);
    QTcpSocket data;
    if (!openPassive(pasv, data, host)) {
        g_Err << name << ": no passive connection for " << line << "\n";
        return;
    }
    const QByteArray first = control.command(line);
    add(name, QString::fromLatin1(line), first);
    if (!first.startsWith('1')) {
        data.abort();
        return;
    }
    if (!upload.isEmpty()) {
        data.write(upload);
        data.waitForBytesWritten(5000);
        data.disconnectFromHost();
        if (data.state() != QAbstractSocket::UnconnectedState)
            data.waitForDisconnected(5000);
    } else {
        drain(data);
    }
    add(name, QString::fromLatin1(line) + "/final", control.reply());
}

void captureSession(Kind kind) {
    const QString name = RealFtpServer::kindName(kind);
    RealFtpServer::Options options;
    options.greeting = QStringList{"Welcome to the Krellin test server.",
                                   "This banner has three lines;", "  the last one is indented."};
    if (RealFtpServer::unavailableReason(kind,
                                         [&] {
                                             auto o = options;
                                             o.loginMessage = {"x"};
                                             return o;
                                         }())
            .isEmpty())
        options.loginMessage = {"Logged in to the Krellin test server.",
                                "Files in incoming/ may go at any time.", "Enjoy your stay."};
    RealFtpServer server(kind, options);
    if (!server.start()) {
        g_Err << name << ": " << server.lastError() << "\n";
        return;
    }
    QFile file(server.rootPath() + "/hello.txt");
    if (file.open(QIODevice::WriteOnly))
        file.write("Hello from the Krellin test server.\r\nSecond line.\r\n");
    file.close();

    Control c;
    if (!c.open(server.host(), server.port()))
        return;
    add(name, "(greeting)", c.reply());
    add(name, "USER", c.command("USER " + server.userName().toUtf8()));
    add(name, "PASS", c.command("PASS " + server.password().toUtf8()));
    for (const char* line : {"SYST",
                             "FEAT",
                             "HELP",
                             "STAT",
                             "PWD",
                             "NOOP",
                             "TYPE I",
                             "TYPE A",
                             "SIZE hello.txt",
                             "MDTM hello.txt",
                             "CWD nosuch",
                             "CWD incoming",
                             "CDUP",
                             "MKD incoming/made",
                             "MKD incoming/made",
                             "RNFR incoming/made",
                             "RNTO incoming/renamed",
                             "RMD incoming/renamed",
                             "DELE nosuch",
                             "REST 100",
                             "REST 0",
                             "XYZZY",
                             "ABOR"})
        add(name, QString::fromLatin1(line), c.command(line));
    transfer(name, c, server.host(), "LIST");
    transfer(name, c, server.host(), "LIST -al");
    transfer(name, c, server.host(), "NLST");
    add(name, "TYPE I", c.command("TYPE I"));
    transfer(name, c, server.host(), "RETR hello.txt");
    transfer(name, c, server.host(), "RETR nosuch");
    transfer(name, c, server.host(), "STOR incoming/up.txt", "uploaded bytes\n");
    add(name, "DELE incoming/up.txt", c.command("DELE incoming/up.txt"));
    add(name, "QUIT", c.command("QUIT"));
}

// A connection past the server's limit on clients.
void captureTooMany(Kind kind) {
    const QString name = RealFtpServer::kindName(kind);
    RealFtpServer::Options options;
    options.maxClients = 1;
    RealFtpServer server(kind, options);
    if (!server.start()) {
        g_Err << name << ": " << server.lastError() << "\n";
        return;
    }
    Control first;
    if (!first.open(server.host(), server.port()))
        return;
    add(name, "(greeting without a banner file)", first.reply());
    first.command("USER " + server.userName().toUtf8());
    first.command("PASS " + server.password().toUtf8());
    Control second;
    if (!second.open(server.host(), server.port()))
        return;
    const QByteArray greeting = second.reply();
    add(name, "(greeting past the limit on clients)", greeting);
    if (greeting.startsWith("220")) {
        add(name, "USER (past the limit on clients)",
            second.command("USER " + server.userName().toUtf8()));
        add(name, "PASS (past the limit on clients)",
            second.command("PASS " + server.password().toUtf8()));
    }
}

QByteArray cLiteral(const QByteArray& bytes) {
    QByteArray out = "\"";
    for (const char ch : bytes) {
        const auto c = uchar(ch);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n\"\n             \"";
        else if (c == '"' || c == '\\')
            out += QByteArray("\\") + ch;
        else if (c >= 0x20 && c < 0x7f)
            out += ch;
        else
            out += QByteArray("\\") + QByteArray::number(c, 8).rightJustified(3, '0');
    }
    out += '"';
    out.replace("\n             \"\"", "");
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QList<Kind> kinds = {Kind::Vsftpd, Kind::Proftpd, Kind::PureFtpd, Kind::Pyftpdlib};
    QStringList versions;
    for (Kind kind : kinds) {
        const QString reason = RealFtpServer::unavailableReason(kind);
        if (!reason.isEmpty()) {
            g_Err << RealFtpServer::kindName(kind) << ": " << reason << "\n";
            continue;
        }
        versions << RealFtpServer::kindName(kind) + ' ' + RealFtpServer::version(kind);
        captureSession(kind);
        captureTooMany(kind);
    }
    g_Err.flush();

    QTextStream out(stdout);
    out << "#pragma once\n\n"
           "// Raw control-connection bytes of real servers' replies, line ends\n"
           "// included, captured on 127.0.0.1 from Debian 12's packages:\n"
           "// "
        << versions.join(", ")
        << ".\n"
           "// Made by tests/support/capture/capture_replies.cpp (run as root):\n"
           "//   build/tests/capture_replies > tests/support/RealReplies.h\n"
           "// Passive ports, times and sizes are those of the capture run.\n"
           "// A command \"X/final\" is the reply that ends the transfer X started.\n\n"
           "#include <QByteArray>\n#include <vector>\n\n"
           "struct RealReply {\n"
           "    const char* server;\n"
           "    const char* command;\n"
           "    QByteArray bytes;\n"
           "};\n\n"
           "inline const std::vector<RealReply>& realReplies() {\n"
           "    // clang-format off\n"
           "    static const std::vector<RealReply> rows = {\n";
    for (const Row& row : g_Rows) {
        out << "        {\"" << row.server << "\", " << cLiteral(row.command.toUtf8()) << ",\n"
            << "         QByteArray(" << cLiteral(row.bytes) << ", " << row.bytes.size() << ")},\n";
    }
    out << "    };\n"
           "    // clang-format on\n"
           "    return rows;\n"
           "}\n";
    return g_Rows.isEmpty() ? 1 : 0;
}
