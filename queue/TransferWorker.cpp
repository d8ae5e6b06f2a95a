#include "TransferWorker.h"

#include "CFtpConnection.h"
#include "FtpDate.h"
#include "LocalChecksum.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

constexpr qint32 TransferAscii = 0;
constexpr qint32 TransferImage = 1;
// Progress crosses threads a few times a second, not once per block.
constexpr int ProgressIntervalMs = 200;

bool offersChecksum(const FtpFeatures& features) {
    for (const char* name : {"HASH", "XSHA256", "XSHA1", "XMD5", "XCRC"}) {
        if (features.Has(QLatin1String(name)))
            return true;
    }
    return false;
}

} // namespace

TransferWorker::TransferWorker(QueueSession session) : m_Session(std::move(session)) {}

TransferWorker::~TransferWorker() = default;

void TransferWorker::stop(qint64 id) {
    if (id == 0)
        return;
    if (id == m_Running) {
        m_Stopped = true;
        if (m_Engine)
            m_Engine->CancelAnyCall();
        return;
    }
    for (auto it = m_Orders.begin(); it != m_Orders.end(); ++it) {
        if (it->item.id == id) {
            m_Orders.erase(it);
            report(id, WorkResult::Outcome::Stopped, QStringLiteral("Stopped."));
            return;
        }
    }
}

void TransferWorker::returnWaiting() {
    // Bounded: each pass takes an order off the list.
    while (!m_Orders.empty()) {
        const qint64 id = m_Orders.front().item.id;
        m_Orders.pop_front();
        report(id, WorkResult::Outcome::Returned);
    }
}

void TransferWorker::report(qint64 id, WorkResult::Outcome outcome, const QString& error) {
    WorkResult result;
    result.id = id;
    result.outcome = outcome;
    result.error = error;
    result.connected = m_Engine && m_Engine->SessionOpen();
    emit finished(result);
}

void TransferWorker::close() {
    // Called inside the engine's wait of a running item (the queue going
    // away): the engine is still in use, so the item stops and work() closes
    // once the engine has returned.
    if (m_Running) {
        m_CloseAsked = true;
        stop(m_Running);
        return;
    }
    if (m_Opening) {
        m_CloseAsked = true;
        if (m_Engine)
            m_Engine->CancelAnyCall();
        return;
    }
    if (m_Engine && m_Engine->SessionOpen())
        m_Engine->CloseConnection();
    m_Engine.reset();
}

void TransferWorker::reportProgress(qint64 bytes) {
    if (m_ProgressClock.isValid() && m_ProgressClock.elapsed() < ProgressIntervalMs)
        return;
    m_ProgressClock.start();
    emit progress(m_Running, bytes);
}

bool TransferWorker::ensureConnected(WorkResult& result) {
    if (m_Engine && m_Engine->SessionOpen())
        return true;
    // Made here, in the worker's thread: an engine belongs to the thread
    // that made it (its sockets, timers and event pump).
    m_Engine = std::make_unique<CFtpConnection>();
    CFtpConnection& c = *m_Engine;
    c.setSecurity(m_Session.security);
    c.setExtensions(true);
    c.setTrustedFingerprint(m_Session.trustedFingerprint);
    c.setInsecure(m_Session.insecure);
    c.setTimeout(qint16(m_Session.timeoutSeconds));
    c.setFtpServer(m_Session.host);
    c.setPort(m_Session.port);
    c.setUserName(m_Session.userName);
    c.setPassword(m_Session.password);
    c.setPassiveMode(m_Session.passive);
    // One file after another: TYPE once a session, not once a file.
    c.setSkipRepeatedType(true);
    connect(&c, &CFtpConnection::DownloadProgress, this, &TransferWorker::reportProgress);
    connect(&c, &CFtpConnection::UploadProgress, this, &TransferWorker::reportProgress);
    connect(&c, &CFtpConnection::SessionProtocolMessage, this,
            [this](const QString& text, int kind) {
                if (kind == CFtpConnection::UserCommand)
                    m_LastCommand = text;
            });

    // A server that accepts and never greets is bounded by the time-out too.
    QTimer guard;
    guard.setSingleShot(true);
    guard.setTimerType(Qt::PreciseTimer);
    connect(&guard, &QTimer::timeout, &c, &CFtpConnection::CancelAnyCall);
    guard.start(m_Session.timeoutSeconds * 1000);
    const bool connected = c.Connect();
    guard.stop();
    if (connected)
        return true;
    const QString reply = c.GetLastServerResponse().trimmed();
    const qint32 code = c.FtpGetLastError();
    result.error = c.GetFtpErrorDescription(code);
    if (!reply.isEmpty())
        result.error +=
            QStringLiteral(" (server: %1)").arg(reply.section(QLatin1Char('\n'), -1).trimmed());
    // 421 at the greeting, or a log-in refused once the first worker got in:
    // the server counts connections.
    const bool refused =
        reply.startsWith(QLatin1String("421")) || reply.startsWith(QLatin1String("530"));
    result.outcome = refused ? WorkResult::Outcome::Refused : WorkResult::Outcome::Unreachable;
    m_Engine.reset();
    return false;
}

void TransferWorker::open() {
    if (m_Running || m_Opening)
        return;
    m_Opening = true;
    WorkResult ignored;
    try {
        ensureConnected(ignored);
    } catch (const platform::Fault&) {
        m_Engine.reset();
    }
    m_Opening = false;
    emit opened(m_Engine && m_Engine->SessionOpen());
    if (m_CloseAsked)
        close();
    runOrders();
}

void TransferWorker::work(const WorkOrder& order) {
    m_Orders.push_back(order);
    // Come inside open()'s log-in or a running order's transfer (the
    // engine's wait delivers queued calls): it runs when that is over.
    if (m_Running || m_Opening)
        return;
    runOrders();
}

void TransferWorker::runOrders() {
    // Bounded: each pass takes an order off the list, and the queue hands
    // out at most one ahead.
    while (!m_Orders.empty()) {
        if (m_CloseAsked)
            return returnWaiting();
        const WorkOrder order = m_Orders.front();
        m_Orders.pop_front();
        m_Running = order.item.id;
        m_Stopped = false;
        const WorkResult::Outcome outcome = run(order);
        // No connection: the queue closes this worker and decides how many
        // to keep. What it handed out behind this order, and what is still
        // on its way, goes back unbegun.
        if (outcome == WorkResult::Outcome::Refused ||
            outcome == WorkResult::Outcome::Unreachable)
            m_CloseAsked = true;
    }
}

WorkResult::Outcome TransferWorker::run(const WorkOrder& order) {
    WorkResult result;
    result.id = order.item.id;
    m_ProgressClock.invalidate();
    try {
        if (!m_Stopped && ensureConnected(result)) {
            const bool download = order.item.direction == QueueItem::Direction::Download;
            if (order.item.folder && download)
                listRemoteFolder(order, result);
            else if (order.item.folder)
                makeRemoteFolder(order, result);
            else
                transfer(order, result);
        }
    } catch (const platform::Fault& fault) {
        result.outcome = WorkResult::Outcome::Retry;
        result.error = QStringLiteral("#%1: %2").arg(fault.number()).arg(fault.description());
    }
    if (m_Stopped) {
        result.outcome = WorkResult::Outcome::Stopped;
        result.error = QStringLiteral("Stopped.");
    }
    m_Running = 0;
    if (m_CloseAsked)
        close();
    result.connected = m_Engine && m_Engine->SessionOpen();
    emit finished(result);
    return result.outcome;
}

void TransferWorker::failFromEngine(WorkResult& result, const QString& what) {
    CFtpConnection& c = *m_Engine;
    const qint32 code = c.FtpGetLastError();
    QString text = c.GetFtpErrorDescription(code);
    const QString reply =
        c.GetLastServerResponse().trimmed().section(QLatin1Char('\n'), -1).trimmed();
    // A 5xx refusal stands however often it is asked; everything else (a
    // time-out, a cut connection, a 4xx "try later") may pass.
    const bool permanent = reply.startsWith(QLatin1Char('5')) && c.SessionOpen();
    if (!reply.isEmpty() &&
        (reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5'))))
        text = reply;
    result.outcome = permanent ? WorkResult::Outcome::Failed : WorkResult::Outcome::Retry;
    result.error = QStringLiteral("%1: #%2 %3").arg(what).arg(code).arg(text);
    result.errorCode = code;
    result.serverReply = c.GetLastServerResponse().trimmed();
}

void TransferWorker::transfer(const WorkOrder& order, WorkResult& result) {
    CFtpConnection& c = *m_Engine;
    const QueueItem& item = order.item;
    const qint32 mode = m_Session.ascii ? TransferAscii : TransferImage;
    if (item.direction == QueueItem::Direction::Download) {
        // Only inside the folder the queue chose: it made the path.
        QDir().mkpath(QFileInfo(item.localPath).absolutePath());
        // A file that arrived whole before a crash has nothing left to fetch:
        // it is only proven.
        const bool whole = item.size >= 0 && order.startPoint >= item.size && order.startPoint > 0;
        result.startPoint = order.startPoint;
        if (!whole && !c.DownloadFile(item.remotePath, item.localPath, mode, order.startPoint)) {
            if (!restartRefused(order.startPoint))
                return failFromEngine(result, QStringLiteral("RETR ") + item.remotePath);
            result.startPoint = 0;
            if (!c.DownloadFile(item.remotePath, item.localPath, mode, 0))
                return failFromEngine(result, QStringLiteral("RETR ") + item.remotePath);
        }
        result.bytes = QFileInfo(item.localPath).size();
    } else {
        if (!QFileInfo(item.localPath).isFile()) {
            result.outcome = WorkResult::Outcome::Failed;
            result.error = QStringLiteral("%1 is no longer there").arg(item.localPath);
            return;
        }
        const qint64 start =
            order.resumeUpload && !m_Session.ascii ? uploadResumePoint(item) : order.startPoint;
        result.startPoint = start;
        if (!c.UploadFile(item.localPath, item.remotePath, mode, start)) {
            if (!restartRefused(start))
                return failFromEngine(result, QStringLiteral("STOR ") + item.remotePath);
            result.startPoint = 0;
            if (!c.UploadFile(item.localPath, item.remotePath, mode, 0))
                return failFromEngine(result, QStringLiteral("STOR ") + item.remotePath);
        }
        result.bytes = QFileInfo(item.localPath).size();
    }
    result.outcome = WorkResult::Outcome::Done;
    if (order.verify && !m_Session.ascii)
        verify(item, result);
}

bool TransferWorker::restartRefused(qint64 startPoint) const {
    // A server that will not start in the middle, the session still open:
    // the whole file then, at once. Refused at REST, or at the STOR after
    // it (proftpd without AllowStoreRestart: "451 Append/Restart not
    // permitted"); a cut (426, a lost connection) is not a refusal.
    const CFtpConnection& c = *m_Engine;
    if (startPoint <= 0 || m_Stopped || !c.SessionOpen())
        return false;
    const QString reply = c.GetLastServerResponse();
    if (m_LastCommand.startsWith(QLatin1String("REST ")))
        return reply.startsWith(QLatin1Char('5'));
    return m_LastCommand.startsWith(QLatin1String("STOR ")) &&
           (reply.startsWith(QLatin1String("451")) || reply.startsWith(QLatin1Char('5')));
}

qint64 TransferWorker::uploadResumePoint(const QueueItem& item) {
    CFtpConnection& c = *m_Engine;
    // REST before STOR only where FEAT says the server takes it.
    if (!c.Features().RestStream())
        return 0;
    const qint64 remote = c.RemoteFileSize(item.remotePath);
    // Refused, absent, or longer than the file here (not this upload's
    // bytes): from the start.
    if (remote <= 0 || remote > QFileInfo(item.localPath).size())
        return 0;
    return remote;
}

void TransferWorker::verify(const QueueItem& item, WorkResult& result) {
    CFtpConnection& c = *m_Engine;
    if (!offersChecksum(c.Features()))
        return;
    QString algorithm;
    const QString remote = c.FileChecksum(item.remotePath, &algorithm);
    if (remote.isEmpty())
        return; // the server would not say; the file is not proven, nor failed
    const QString local = LocalChecksum::ofFile(item.localPath, algorithm);
    if (local == remote) {
        result.verifiedWith = algorithm;
        return;
    }
    result.outcome = WorkResult::Outcome::Mismatch;
    result.error = QStringLiteral("%1 differs: the server says %2, the local file has %3")
                       .arg(algorithm, remote, local);
    if (item.direction == QueueItem::Direction::Download) {
        // Kept for a look, under a name that says what is wrong with it.
        const QString kept = item.localPath + QStringLiteral(".checksum-mismatch");
        QFile::remove(kept);
        QFile::rename(item.localPath, kept);
        result.error += QStringLiteral("; kept as ") + kept;
    }
}

bool TransferWorker::listRemote(const QString& path, QList<FolderEntry>& entries,
                                WorkResult& result) {
    CFtpConnection& c = *m_Engine;
    if (!c.SetCurrentDirectory(path)) {
        failFromEngine(result, QStringLiteral("CWD ") + path);
        return false;
    }
    std::shared_ptr<CFtpFiles> files;
    if (!c.EnumFiles(files) || !files) {
        failFromEngine(result, QStringLiteral("listing ") + path);
        return false;
    }
    if (c.ListingTruncated()) {
        result.outcome = WorkResult::Outcome::Failed;
        result.error = QStringLiteral("the listing of %1 is incomplete: %2")
                           .arg(path, c.ListingTruncatedText());
        return false;
    }
    for (const auto& file : *files) {
        if (file->FileName == u"." || file->FileName == u"..")
            continue;
        FolderEntry entry;
        entry.name = file->FileName;
        entry.isDirectory = file->IsDirectory;
        entry.isLink = !file->FilePath.isEmpty() || file->Permissions.startsWith(QLatin1Char('l'));
        entry.target = file->FilePath;
        entry.unique = file->UniqueId;
        entry.size = file->IsDirectory ? -1 : file->FileSize;
        entry.time = file->LastWriteTime;
        entries.append(entry);
    }
    return true;
}

void TransferWorker::listRemoteFolder(const WorkOrder& order, WorkResult& result) {
    const QueueItem& item = order.item;
    if (!listRemote(item.remotePath, result.entries, result))
        return;
    result.realPath = m_Engine->CurrentDirectory();
    if (!QDir().mkpath(item.localPath)) {
        result.outcome = WorkResult::Outcome::Failed;
        result.error = QStringLiteral("cannot make the folder %1").arg(item.localPath);
        return;
    }
    result.outcome = WorkResult::Outcome::Done;
}

void TransferWorker::makeRemoteFolder(const WorkOrder& order, WorkResult& result) {
    const QueueItem& item = order.item;
    const QFileInfo folder(item.localPath);
    if (!folder.isDir()) {
        result.outcome = WorkResult::Outcome::Failed;
        result.error = QStringLiteral("%1 is not a folder").arg(item.localPath);
        return;
    }
    result.realPath = folder.canonicalFilePath();
    const QFileInfoList local =
        QDir(item.localPath)
            .entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                           QDir::Name);
    for (const QFileInfo& info : local) {
        FolderEntry entry;
        entry.name = info.fileName();
        entry.isDirectory = info.isDir();
        entry.isLink = info.isSymLink();
        // The real path tells a folder met twice; files need none (and
        // finding it costs a system call per level of the path).
        if (info.isDir())
            entry.target = info.canonicalFilePath();
        entry.size = info.isDir() ? -1 : info.size();
        entry.time = FtpDate::FromDateTime(info.lastModified());
        // Sockets, pipes and devices are no files to send.
        if (info.isDir() || info.isFile())
            result.entries.append(entry);
    }
    // A folder the server has just made holds nothing to meet: no listing.
    // One that exists already is fine; MKD's refusal then says nothing,
    // and its listing shows what the uploads will meet.
    if (!m_Engine->CreateDirectory(item.remotePath) &&
        !listRemote(item.remotePath, result.targetEntries, result))
        return;
    result.outcome = WorkResult::Outcome::Done;
}
