#include "CliSession.h"

#include "CFtpConnection.h"
#include "Fault.h"
#include "ListingFormat.h"
#include "TerminalText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <unistd.h>

namespace {

constexpr qint32 TransferAscii = 0;
constexpr qint32 TransferImage = 1;
constexpr qint32 ErrFileNotFound = 53;
constexpr qint32 ErrPathFileAccess = 75;

} // namespace

CliSession::CliSession(CliOptions options, QTextStream& out, QTextStream& err)
    : m_Options(std::move(options)), m_Out(out), m_Err(err),
      m_Connection(std::make_unique<CFtpConnection>()) {
    m_ShowProgress = m_Options.progress && isatty(STDERR_FILENO);
    connect(m_Connection.get(), &CFtpConnection::SessionProtocolMessage, this,
            &CliSession::logMessage);
    connect(m_Connection.get(), &CFtpConnection::DownloadProgress, this, &CliSession::showProgress);
    connect(m_Connection.get(), &CFtpConnection::UploadProgress, this, &CliSession::showProgress);
}

CliSession::~CliSession() = default;

int CliSession::run() {
    bool ok = false;
    bool connected = false;
    try {
        connected = connectToServer();
        ok = connected;
        if (ok && !m_Options.url.directory.isEmpty())
            ok = m_Connection->SetCurrentDirectory(m_Options.url.directory) || fail();
        for (qsizetype i = 0; ok && i < m_Options.commands.size(); ++i)
            ok = runCommand(m_Options.commands[i]);
    } catch (const platform::Fault& fault) {
        endProgress();
        ok = failWith(fault.number(), fault.description());
    } catch (const std::exception& e) {
        endProgress();
        ok = failLocal(QString::fromLocal8Bit(e.what()));
    }
    m_Out.flush();
    if (connected) {
        try {
            m_Connection->CloseConnection();
        } catch (const platform::Fault&) {
            // The commands' outcome stands; the engine drops the connection when released.
        }
    }
    m_Err.flush();
    return ok ? 0 : 1;
}

bool CliSession::connectToServer() {
    CFtpConnection& c = *m_Connection;
    c.setSecurity(m_Options.url.security);
    c.setExtensions(true);
    c.setTrustedFingerprint(m_Options.fingerprint);
    c.setInsecure(m_Options.insecure);
    c.setTimeout(static_cast<qint16>(m_Options.timeoutSeconds));
    c.setFtpServer(m_Options.url.host);
    c.setPort(m_Options.url.port);
    c.setUserName(m_Options.url.userName);
    c.setPassword(m_Options.url.password);
    c.setPassiveMode(!m_Options.active);

    // The engine waits for a greeting as long as the server stays silent.
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    guard.setTimerType(Qt::PreciseTimer);
    connect(&guard, &QTimer::timeout, this, [&] {
        timedOut = true;
        c.CancelAnyCall();
    });
    guard.start(m_Options.timeoutSeconds * 1000);
    const bool connected = c.Connect();
    guard.stop();
    if (connected) {
        const platform::TlsPeer peer = c.ServerCertificate();
        if (m_Options.insecure && c.Encrypted() && !peer.verified() &&
            m_Options.fingerprint.isEmpty()) {
            m_Err << "WARNING: --insecure: the server's certificate was NOT verified ("
                  << peer.errors.join(QLatin1Char(' ')) << ").\nAnyone between here and "
                  << "the server could read and change this session. Certificate "
                  << peer.fingerprintText() << '\n';
            m_Err.flush();
        }
        return true;
    }
    if (timedOut)
        return failWith(CFtpConnection::ErrTimeout,
                        c.GetFtpErrorDescription(CFtpConnection::ErrTimeout));
    const bool refused = c.FtpGetLastError() == CFtpConnection::ErrCertificateRefused;
    fail();
    if (refused) {
        // No one is there to ask: the user decides on the next run.
        m_Err << "The certificate was not accepted and nothing was sent. If it is the server's,\n"
                 "pin it with --fingerprint "
              << c.ServerCertificate().fingerprintText()
              << "\n(compare it with what the server's owner says), or skip the check with "
                 "--insecure.\n";
        m_Err.flush();
    }
    return false;
}

bool CliSession::runCommand(const CliCommand& command) {
    CFtpConnection& c = *m_Connection;
    const QString& name = command.name;
    const QStringList& a = command.args;
    if (name == u"ls")
        return list(command);
    if (name == u"pwd") {
        const QString directory = c.GetCurrentDirectory();
        if (directory.isEmpty())
            return fail();
        m_Out << TerminalText::escape(directory) << '\n';
        return true;
    }
    if (name == u"get")
        return download(command);
    if (name == u"put")
        return upload(command);
    bool done = false;
    if (name == u"cd")
        done = c.SetCurrentDirectory(a[0]);
    else if (name == u"up")
        done = c.SetParentAsCurrentDirectory();
    else if (name == u"mkdir")
        done = c.CreateDirectory(a[0]);
    else if (name == u"rmdir")
        done = c.RemoveDirectory(a[0]);
    else if (name == u"rm")
        done = c.DeleteFile(a[0]);
    else if (name == u"mv")
        done = c.RenameFile(a[0], a[1]);
    return done || fail();
}

bool CliSession::list(const CliCommand& command) {
    if (!(command.json || m_Options.json)) {
        // Lines go out while the listing arrives, as other clients print
        // them; a listing that breaks off ends with its error after them.
        const bool whole = m_Connection->EnumFiles(
            [this](const CFtpFile& file) { m_Out << ListingFormat::textLine(file) << '\n'; });
        m_Out.flush();
        return whole ? complete() : fail();
    }
    // A JSON document is printed only whole.
    std::shared_ptr<CFtpFiles> files;
    if (!m_Connection->EnumFiles(files) || !files)
        return fail();
    // Entry by entry into the stream, which passes on each few kilobytes.
    ListingFormat::writeJson(*files, m_Out);
    m_Out.flush();
    return complete();
}

bool CliSession::complete() {
    // What was printed stays; the exit status says it is not all there is.
    if (!m_Connection->ListingTruncated())
        return true;
    return failLocal(QStringLiteral("the listing is incomplete; the server says: ") +
                     m_Connection->ListingTruncatedText());
}

bool CliSession::download(const CliCommand& command) {
    const QString& remote = command.args[0];
    QString error;
    QString local;
    if (command.args.size() > 1) {
        local = command.args[1];
        if (QFileInfo(local).isDir()) {
            const auto name = CliArguments::localNameFor(remote, &error);
            if (!name)
                return failLocal(error);
            local = QDir(local).filePath(*name);
        }
    } else {
        const auto name = CliArguments::localNameFor(remote, &error);
        if (!name)
            return failLocal(error);
        local = QDir::current().filePath(*name);
    }
    const QFileInfo target(local);
    if (target.isDir())
        return failWith(ErrPathFileAccess, QStringLiteral("%1 is a directory").arg(local));

    const qint32 mode = m_Options.ascii ? TransferAscii : TransferImage;
    m_ProgressName = remote;
    m_ProgressTotal = -1;
    m_ProgressBytes = 0;
    const qint64 start = command.resume && target.exists() ? target.size() : 0;
    // The engine leaves an existing local file untouched when the server
    // refuses the file, and keeps what arrived of a cut transfer, so that
    // `get --resume` can pick it up.
    const bool ok = m_Connection->DownloadFile(remote, local, mode, start);
    endProgress();
    return ok || fail();
}

std::optional<qint64> CliSession::remoteSize(const QString& remote, bool& ok) {
    CFtpConnection& c = *m_Connection;
    const qsizetype slash = remote.lastIndexOf(QLatin1Char('/'));
    const QString directory = slash < 0 ? QString() : remote.left(slash + 1);
    const QString name = remote.mid(slash + 1);
    QString home;
    ok = false;
    if (!directory.isEmpty()) {
        home = c.GetCurrentDirectory();
        if (home.isEmpty() || !c.SetCurrentDirectory(directory))
            return std::nullopt;
    }
    std::shared_ptr<CFtpFiles> files;
    const bool listed = c.EnumFiles(files) && files;
    if (!home.isEmpty() && !c.SetCurrentDirectory(home))
        return std::nullopt;
    if (!listed)
        return std::nullopt;
    ok = true;
    for (const auto& file : *files) {
        if (file->FileName == name && !file->IsDirectory)
            return file->FileSize;
    }
    return std::nullopt;
}

bool CliSession::upload(const CliCommand& command) {
    const QString& local = command.args[0];
    const QString remote =
        command.args.size() > 1 ? command.args[1] : CliArguments::remoteNameFor(local);
    const QFileInfo source(local);
    if (!source.exists())
        return failWith(ErrFileNotFound, QStringLiteral("File not found: %1").arg(local));
    if (!source.isFile())
        return failWith(ErrPathFileAccess, QStringLiteral("%1 is not a file").arg(local));
    if (!source.isReadable())
        return failWith(ErrPathFileAccess, QStringLiteral("%1 cannot be read").arg(local));

    qint64 start = 0;
    if (command.resume) {
        bool listed = false;
        const auto size = remoteSize(remote, listed);
        if (!listed)
            return fail();
        start = size.value_or(0);
        if (start > source.size())
            return failLocal(QStringLiteral("%1 on the server (%2 bytes) is longer than %3 "
                                            "(%4 bytes); nothing to resume")
                                 .arg(remote)
                                 .arg(start)
                                 .arg(local)
                                 .arg(source.size()));
        if (start == source.size() && start > 0)
            return true;
    }
    m_ProgressName = local;
    m_ProgressTotal = source.size();
    m_ProgressBytes = 0;
    const bool ok = m_Connection->UploadFile(
        local, remote, m_Options.ascii ? TransferAscii : TransferImage, start);
    endProgress();
    return ok || fail();
}

bool CliSession::fail() {
    endProgress();
    CFtpConnection& c = *m_Connection;
    const qint32 code = c.FtpGetLastError();
    QString description;
    if (code >= CFtpConnection::ErrTimeout && code <= CFtpConnection::ErrBusy) {
        description = c.GetFtpErrorDescription(code);
    } else {
        // For 61 the stored text is the socket's, which says more than "canceled".
        description = c.GetFtpErrorDescription(0);
        if (description.isEmpty() && code == CFtpConnection::ErrCancelled)
            description = c.GetFtpErrorDescription(code);
    }
    if (description.isEmpty())
        description = QStringLiteral("The command failed.");
    failWith(code, description);
    const QString reply = c.GetLastServerResponse().trimmed();
    if (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5'))) {
        for (const QString& line : reply.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            m_Err << "Server response: " << TerminalText::escape(line.trimmed()) << '\n';
        m_Err.flush();
    }
    return false;
}

bool CliSession::failWith(qint32 number, const QString& description) {
    endProgress();
    m_Out.flush();
    m_Err << "Error #" << number << ": " << TerminalText::escape(description) << '\n';
    m_Err.flush();
    return false;
}

bool CliSession::failLocal(const QString& description) {
    endProgress();
    m_Out.flush();
    m_Err << "Error: " << TerminalText::escape(description) << '\n';
    m_Err.flush();
    return false;
}

void CliSession::logMessage(const QString& message, int type) {
    if (!m_Options.verbose)
        return;
    static const char* const marks[] = {"> ", "< ", "! ", "* "};
    const char* mark = type >= 0 && type < 4 ? marks[type] : "? ";
    endProgress();
    // One log line per line of the message; a CR is only dropped as part of
    // a line end, anywhere else it is shown.
    for (QString line : message.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            m_Err << mark << TerminalText::escape(line) << '\n';
    }
    m_Err.flush();
}

void CliSession::showProgress(qint64 bytes) {
    if (!m_ShowProgress)
        return;
    m_ProgressBytes = bytes;
    // Arrivals come by the thousand each second; a terminal needs a few lines.
    if (m_ProgressShown && m_ProgressClock.isValid() && m_ProgressClock.elapsed() < 100)
        return;
    m_ProgressClock.start();
    writeProgress();
}

void CliSession::writeProgress() {
    m_Err << '\r' << TerminalText::escape(m_ProgressName) << ": " << m_ProgressBytes << " bytes";
    if (m_ProgressTotal > 0)
        m_Err << " (" << qMin<qint64>(100, m_ProgressBytes * 100 / m_ProgressTotal) << "%)";
    m_Err << "\x1b[K";
    m_Err.flush();
    m_ProgressShown = true;
}

void CliSession::endProgress() {
    if (!m_ProgressShown)
        return;
    writeProgress();
    m_ProgressShown = false;
    m_Err << '\n';
    m_Err.flush();
}
