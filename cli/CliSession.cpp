#include "CliSession.h"

#include "CFtpConnection.h"
#include "Fault.h"
#include "ListingFormat.h"
#include "LocalName.h"
#include "Netrc.h"
#include "QueueStore.h"
#include "TerminalPrompt.h"
#include "TerminalText.h"
#include "TransferQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QTimer>

namespace {

constexpr qint32 TransferAscii = 0;
constexpr qint32 TransferImage = 1;
constexpr qint32 ErrFileNotFound = 53;
constexpr qint32 ErrPathFileAccess = 75;
// A netrc file is a few lines; anything far larger is not one.
constexpr qint64 MaxNetrcBytes = 1 << 20;

QString byteText(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1StringView(units[unit]));
}

QString durationText(qint64 seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

CliSession::CliSession(CliOptions options, QTextStream& out, QTextStream& err)
    : m_Options(std::move(options)), m_Out(out), m_Err(err),
      m_Connection(std::make_unique<CFtpConnection>()) {
    m_ShowProgress = m_Options.progress || (m_Options.errIsTerminal && !m_Options.quiet);
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
        connected = resolveLogIn() && connectToServer();
        ok = connected;
        bool fetched = false;
        if (ok && !m_Options.url.directory.isEmpty())
            ok = changeToUrlPath(fetched);
        if (ok && !fetched && m_Options.noCommand && !m_Options.output.isEmpty())
            ok = failLocal(QStringLiteral("-o names a download, and %1 is a directory")
                               .arg(m_Options.url.directory.isEmpty()
                                        ? QStringLiteral("the start directory")
                                        : m_Options.url.directory));
        for (qsizetype i = 0; ok && !fetched && i < m_Options.commands.size(); ++i)
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

bool CliSession::resolveLogIn() {
    FtpUrl& url = m_Options.url;
    const QString& variable = m_Options.passwordEnv;
    if (url.password.isEmpty() && !variable.isEmpty()) {
        if (!qEnvironmentVariableIsSet(variable.toLocal8Bit().constData()))
            return failLocal(QStringLiteral("--password-env: %1 is not set").arg(variable));
        url.password = qEnvironmentVariable(variable.toLocal8Bit().constData());
    }
    if (url.password.isEmpty()) {
        const QString path =
            m_Options.netrcFile.isEmpty() ? Netrc::defaultPath() : m_Options.netrcFile;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const auto entry =
                Netrc::find(QString::fromUtf8(file.read(MaxNetrcBytes)), url.host, url.userName);
            if (entry && url.userName.isEmpty() && !entry->login.isEmpty())
                url.userName = entry->login;
            if (entry && !url.userName.isEmpty())
                url.password = entry->password;
        } else if (!m_Options.netrcFile.isEmpty()) {
            return failLocal(QStringLiteral("--netrc-file: %1: %2").arg(path, file.errorString()));
        }
    }
    if (url.password.isEmpty() && !url.userName.isEmpty() && m_Options.inIsTerminal) {
        const auto typed = TerminalPrompt::readSecret(
            QStringLiteral("Password for %1@%2: ")
                .arg(TerminalText::escape(url.userName), TerminalText::escape(url.host)));
        if (!typed)
            return failLocal(QStringLiteral("no password was typed"));
        url.password = *typed;
    }
    // The password goes on the control connection as one line; it is never shown.
    for (const QChar c : std::as_const(url.password)) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.isNull())
            return failLocal(QStringLiteral("the password holds a line break or NUL"));
    }
    return true;
}

bool CliSession::changeToUrlPath(bool& fetched) {
    CFtpConnection& c = *m_Connection;
    const QString& path = m_Options.url.directory;
    if (c.SetCurrentDirectory(path))
        return true;
    // A refused change may mean the path names a file: with no command
    // given, fetch it from its folder, as curl and lftp do.
    const bool refused = c.GetLastServerResponse().startsWith(QLatin1Char('5'));
    if (!refused || !m_Options.noCommand || m_Options.urlNamesDirectory)
        return fail();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0    ? QString()
                           : slash == 0 ? QStringLiteral("/")
                                        : path.left(slash);
    if (!folder.isEmpty() && !c.SetCurrentDirectory(folder))
        return fail();
    fetched = true;
    CliCommand get{QStringLiteral("get"), {path.mid(slash + 1)}, false, false};
    if (!m_Options.output.isEmpty())
        get.args.append(m_Options.output);
    return download(get);
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
    if (command.recursive || name == u"mget" || name == u"mput")
        return queueTransfers(command);
    // --resume before the command means the same for one file.
    if (m_Options.conflictPolicy == int(Conflict::Policy::Resume) &&
        (name == u"get" || name == u"put")) {
        CliCommand resumed = command;
        resumed.resume = true;
        return name == u"get" ? download(resumed) : upload(resumed);
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
    if (command.args.value(1) == u"-")
        return downloadToOutput(remote);
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
    const qint64 start = command.resume && target.exists() ? target.size() : 0;
    startProgress(remote, -1, start);
    // The engine leaves an existing local file untouched when the server
    // refuses the file, and keeps what arrived of a cut transfer, so that
    // `get --resume` can pick it up.
    const bool ok = m_Connection->DownloadFile(remote, local, mode, start);
    endProgress();
    return ok || fail();
}

bool CliSession::downloadToOutput(const QString& remote) {
    // The engine writes into a file it can seek in, and standard output may
    // be a pipe: the bytes pass through a temporary file, passed on as they
    // arrive, and the file goes away at the end.
    QTemporaryFile spool(QDir::tempPath() + QStringLiteral("/krellin-cli-XXXXXX"));
    QFile reader;
    if (!spool.open())
        return failLocal(QStringLiteral("no temporary file in %1: %2")
                             .arg(QDir::tempPath(), spool.errorString()));
    reader.setFileName(spool.fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return failLocal(QStringLiteral("%1: %2").arg(spool.fileName(), reader.errorString()));
    m_Out.flush();
    m_Spool = &reader;
    startProgress(remote, -1, 0);
    const bool ok = m_Connection->DownloadFile(remote, spool.fileName(),
                                               m_Options.ascii ? TransferAscii : TransferImage, 0);
    passSpoolOn();
    m_Spool = nullptr;
    endProgress();
    return ok || fail();
}

void CliSession::passSpoolOn() {
    QIODevice* out = m_Out.device();
    if (!m_Spool || !out)
        return;
    QByteArray block;
    for (;;) {
        block = m_Spool->read(1 << 16);
        if (block.isEmpty())
            break;
        out->write(block);
    }
    if (auto* file = qobject_cast<QFileDevice*>(out))
        file->flush();
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
    startProgress(local, source.size(), start);
    const bool ok = m_Connection->UploadFile(
        local, remote, m_Options.ascii ? TransferAscii : TransferImage, start);
    endProgress();
    return ok || fail();
}

namespace {

QString remoteJoin(const QString& folder, const QString& name) {
    if (name.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(name);
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

} // namespace

namespace {

// A target in the way, asked on the terminal: one letter a choice, a
// capital letter for every such file of this run.
class TerminalResolver : public ConflictResolver {
public:
    explicit TerminalResolver(std::function<void()> beforeAsking)
        : m_BeforeAsking(std::move(beforeAsking)) {}

    Answer resolve(const QueueItem& item, const Conflict::Target& target) override {
        using P = Conflict::Policy;
        static const QList<QPair<QChar, P>> choices = {
            {u'o', P::Overwrite}, {u'r', P::Resume},           {u's', P::Skip},
            {u'n', P::Rename},    {u'u', P::OverwriteIfNewer}, {u'd', P::OverwriteIfSizeDiffers},
        };
        const bool download = item.direction == QueueItem::Direction::Download;
        const QString prompt =
            QStringLiteral("%1 exists (%2 bytes; the source has %3).\n"
                           "[o]verwrite, [r]esume, [s]kip, re[n]ame, [u]pdate if newer, "
                           "[d]ifferent size only (a capital letter: all of them)? ")
                .arg(TerminalText::escape(download ? item.localPath : item.remotePath))
                .arg(target.size)
                .arg(item.size);
        m_BeforeAsking();
        // A few tries at a wrong letter; then, and at the end of input, skip.
        for (int tries = 0; tries < 5; ++tries) {
            const auto line = TerminalPrompt::readLine(prompt);
            if (!line)
                break;
            const QString word = line->trimmed();
            for (const auto& [letter, policy] : choices) {
                if (word.size() == 1 && word[0].toLower() == letter)
                    return {policy, word[0].isUpper()};
            }
        }
        return {P::Skip, false};
    }

private:
    std::function<void()> m_BeforeAsking;
};

} // namespace

bool CliSession::fillQueue(const CliCommand& command, const QString& home, TransferQueue& queue) {
    const QString& name = command.name;
    const QStringList& a = command.args;
    QString error;
    if (name == u"get") {
        const QString remote = remoteJoin(home, a[0]);
        QString local = a.value(1);
        if (local.isEmpty()) {
            const auto safe = CliArguments::localNameFor(remote, &error);
            if (!safe)
                return failLocal(error);
            local = QDir::current().filePath(*safe);
        }
        queue.addDownloadFolder(remote, QDir::current().absoluteFilePath(local));
        return true;
    }
    if (name == u"put") {
        const QFileInfo local(a[0]);
        if (!local.isDir())
            return failWith(ErrPathFileAccess, QStringLiteral("%1 is not a folder").arg(a[0]));
        // "put -r photos/" is the folder photos, as without the slash.
        const QString folderName = QFileInfo(QDir::cleanPath(local.absoluteFilePath())).fileName();
        const QString remote = remoteJoin(home, a.value(1, folderName));
        queue.addUploadFolder(local.absoluteFilePath(), remote);
        return true;
    }
    QList<QRegularExpression> patterns;
    for (const QString& pattern : a)
        patterns << QRegularExpression(QRegularExpression::wildcardToRegularExpression(
            pattern, QRegularExpression::UnanchoredWildcardConversion));
    const auto matches = [&patterns](const QString& text) {
        for (const QRegularExpression& pattern : std::as_const(patterns)) {
            if (pattern.match(text).hasMatch())
                return true;
        }
        return false;
    };
    // Both need the remote folder: mget picks from it, mput meets its files.
    std::shared_ptr<CFtpFiles> files;
    if (!m_Connection->EnumFiles(files) || !files)
        return fail();
    QList<QueueItem> items;
    if (name == u"mget") {
        for (const auto& file : *files) {
            if (file->IsDirectory || !matches(file->FileName))
                continue;
            const auto safe = LocalName::fromRemote(file->FileName, &error);
            if (!safe) {
                m_Err << "Not fetched: " << TerminalText::escape(file->FileName) << ": " << error
                      << '\n';
                continue;
            }
            items << TransferQueue::downloadItem(remoteJoin(home, file->FileName),
                                                 QDir::current().filePath(*safe), file->FileSize,
                                                 file->LastWriteTime);
        }
    } else {
        QList<FolderEntry> entries;
        for (const auto& file : *files) {
            FolderEntry entry;
            entry.name = file->FileName;
            entry.isDirectory = file->IsDirectory;
            entry.size = file->FileSize;
            entry.time = file->LastWriteTime;
            entries.append(entry);
        }
        queue.setRemoteEntries(home, entries);
        const QFileInfoList local =
            QDir::current().entryInfoList(QDir::Files | QDir::Hidden, QDir::Name);
        for (const QFileInfo& info : local) {
            if (!matches(info.fileName()))
                continue;
            items << TransferQueue::uploadItem(info.absoluteFilePath(),
                                               remoteJoin(home, info.fileName()));
        }
    }
    if (items.isEmpty())
        return failLocal(
            QStringLiteral("%1: nothing matches %2").arg(name, a.join(QLatin1Char(' '))));
    queue.add(items);
    return true;
}

bool CliSession::queueTransfers(const CliCommand& command) {
    CFtpConnection& c = *m_Connection;
    const QString home = c.GetCurrentDirectory();
    if (home.isEmpty())
        return fail();
    QueueStore store;
    QString error;
    if (!store.open(&error)) {
        // The transfers can still run; only a crash would now lose their place.
        m_Err << "Warning: the queue is not kept on disk: " << TerminalText::escape(error) << '\n';
        m_Err.flush();
    }
    // One job per command line, server and folders: running the same
    // command again takes up what an interrupted run left.
    const FtpUrl& url = m_Options.url;
    const QString job = QStringLiteral("cli %1@%2:%3 %4 %5 %6%7 %8")
                            .arg(url.userName, url.host)
                            .arg(url.port)
                            .arg(home, QDir::currentPath(), command.name,
                                 command.recursive ? QStringLiteral(" -r") : QString(),
                                 command.args.join(QLatin1Char('\x1f')));
    TransferQueue queue(store, job);
    QueueSession session;
    session.host = url.host;
    session.port = url.port;
    session.userName = url.userName;
    session.password = url.password;
    session.security = url.security;
    session.trustedFingerprint = m_Options.fingerprint;
    // The browsing session accepted the certificate already (pinned, or
    // verified); the workers see the same one.
    if (c.Encrypted() && m_Options.fingerprint.isEmpty() && !c.ServerCertificate().verified())
        session.trustedFingerprint = c.ServerCertificate().sha256;
    session.insecure = m_Options.insecure;
    session.passive = !m_Options.active;
    session.ascii = m_Options.ascii;
    session.timeoutSeconds = m_Options.timeoutSeconds;
    queue.setSession(session);
    queue.setWorkerCount(m_Options.parallel);
    queue.setVerify(m_Options.verify);
    int policy = m_Options.conflictPolicy;
    if (command.resume)
        policy = int(Conflict::Policy::Resume);
    if (policy >= 0)
        queue.setPolicy(Conflict::Policy(policy));
    TerminalResolver terminal([this] { endProgress(); });
    if (queue.policy() == Conflict::Policy::Ask && m_Options.inIsTerminal &&
        m_Options.errIsTerminal)
        queue.setConflictResolver(&terminal);

    if (queue.count() > 0) {
        int open = 0;
        for (int row = 0; row < queue.count(); ++row)
            open += queue.at(row).finished() ? 0 : 1;
        if (!m_Options.quiet)
            m_Err << "Taking up an interrupted run: " << open << " of " << queue.count()
                  << " items left\n";
        m_Err.flush();
        queue.retryFailed();
    } else if (!fillQueue(command, home, queue)) {
        store.removeJob(job);
        return false;
    }

    connect(&queue, &TransferQueue::note, this, [this](const QString& text) {
        endProgress();
        m_Err << TerminalText::escape(text) << '\n';
        m_Err.flush();
    });
    QElapsedTimer lastShown;
    connect(&queue, &TransferQueue::itemChanged, this, [this, &queue, &lastShown] {
        // The totals walk every item: a few times a second, not per change.
        if (!m_ShowProgress || (lastShown.isValid() && lastShown.elapsed() < 200))
            return;
        lastShown.start();
        const TransferQueue::Totals t = queue.totals();
        m_ProgressName =
            QStringLiteral("%1/%2 files").arg(t.done + t.failed + t.skipped).arg(t.files);
        showProgress(t.bytesDone);
    });
    startProgress(QStringLiteral("queue"), -1, 0);
    QEventLoop loop;
    bool finished = false;
    connect(&queue, &TransferQueue::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    queue.start();
    if (!finished)
        loop.exec();
    endProgress();

    const TransferQueue::Totals t = queue.totals();
    for (int row = 0; row < queue.count(); ++row) {
        const QueueItem& item = queue.at(row);
        if (item.state != QueueItem::State::Failed)
            continue;
        const bool download = item.direction == QueueItem::Direction::Download;
        QString why = item.lastError;
        if (why.endsWith(QLatin1String("exists already")))
            why += QStringLiteral(" (give --skip-existing, --overwrite, --resume or --newer)");
        m_Err << "Failed: " << TerminalText::escape(download ? item.remotePath : item.localPath)
              << ": " << TerminalText::escape(why) << '\n';
    }
    m_Err.flush();
    m_Out << t.files << " files, " << t.bytesDone << " bytes, " << t.failed << " failed, "
          << t.verified << " verified";
    if (t.skipped > 0)
        m_Out << ", " << t.skipped << " skipped";
    m_Out << '\n';
    m_Out.flush();
    if (t.failed == 0)
        store.removeJob(job);
    return t.failed == 0;
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
    if (m_ProgressTotal < 0 && m_ProgressFirst == 0 && message.startsWith(u"150")) {
        // A fresh download's size, where the server announces it ("(1234 bytes)").
        static const QRegularExpression announced(QStringLiteral("\\((\\d+) bytes\\)"));
        if (const auto match = announced.match(message); match.hasMatch())
            m_ProgressTotal = match.captured(1).toLongLong();
    }
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

void CliSession::startProgress(const QString& name, qint64 total, qint64 first) {
    m_ProgressName = name;
    m_ProgressTotal = total;
    m_ProgressFirst = first;
    m_ProgressBytes = first;
    m_ProgressWidth = 0;
    m_ProgressStart.start();
    m_ProgressClock.invalidate();
}

void CliSession::showProgress(qint64 bytes) {
    passSpoolOn();
    if (!m_ShowProgress)
        return;
    m_ProgressBytes = bytes;
    // Arrivals come by the thousand each second; a terminal needs a few lines.
    if (m_ProgressShown && m_ProgressClock.isValid() && m_ProgressClock.elapsed() < 200)
        return;
    m_ProgressClock.start();
    writeProgress();
}

// One line, redrawn in place: name, percent, bytes, speed and time left.
void CliSession::writeProgress() {
    QString line = TerminalText::escape(m_ProgressName);
    const qint64 total = m_ProgressTotal;
    if (total > 0)
        line += QStringLiteral("  %1%").arg(qMin<qint64>(100, m_ProgressBytes * 100 / total), 3);
    line += QStringLiteral("  ") + byteText(m_ProgressBytes);
    if (total > 0)
        line += QStringLiteral(" of ") + byteText(total);
    const qint64 ms = m_ProgressStart.isValid() ? m_ProgressStart.elapsed() : 0;
    const qint64 moved = m_ProgressBytes - m_ProgressFirst;
    if (ms > 0 && moved > 0) {
        const double perSecond = double(moved) * 1000.0 / double(ms);
        line += QStringLiteral("  %1/s").arg(byteText(qint64(perSecond)));
        if (total > m_ProgressBytes)
            line += QStringLiteral("  %1 left")
                        .arg(durationText(qint64(double(total - m_ProgressBytes) / perSecond)));
    }
    // Blanks cover what a longer line before left behind.
    const qsizetype width = line.size();
    if (width < m_ProgressWidth)
        line += QString(m_ProgressWidth - width, QLatin1Char(' '));
    m_ProgressWidth = width;
    m_Err << '\r' << line;
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
