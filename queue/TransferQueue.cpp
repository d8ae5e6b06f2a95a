#include "TransferQueue.h"

#include "FtpDate.h"
#include "LocalName.h"
#include "QueueStore.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QThread>

namespace {

// Progress is written with the next state change or after this long.
constexpr int FlushIntervalMs = 1000;
// A worker gets its next item ahead only while it moves a file this small:
// behind a long transfer, an item waiting its turn would hold up the end of
// the queue while other connections idle.
constexpr qint64 AheadBelowBytes = 1 << 20;
// Pauses before attempts 2 and 3, and before reconnecting to a server that
// could not be reached: 1 s, 2 s, 4 s.
int pauseMs(int attempt) {
    return 1000 << qBound(0, attempt - 1, 4);
}

QString joinRemote(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// "/a/b" + "../c" -> "/a/c"; a link's target as an absolute, clean path.
QString resolveRemote(const QString& folder, const QString& target) {
    const QString path = target.startsWith(QLatin1Char('/')) ? target : joinRemote(folder, target);
    return QDir::cleanPath(path);
}

} // namespace

TransferQueue::TransferQueue(QueueStore& store, QString job, QObject* parent)
    : QObject(parent), m_Store(store), m_Job(std::move(job)) {
    qRegisterMetaType<WorkOrder>();
    qRegisterMetaType<WorkResult>();
    m_Items = m_Store.load(m_Job);
    for (int row = 0; row < m_Items.size(); ++row) {
        QueueItem& item = m_Items[row];
        m_Rows.insert(item.id, row);
        if (item.state == QueueItem::State::Active) {
            // Interrupted: the bytes on disk are where it resumes.
            item.state = QueueItem::State::Queued;
            m_Store.update(item);
        }
        if (item.state == QueueItem::State::Queued)
            m_Ready.push_back(item.id);
        // An upload the program's end cut short (or that was waiting for
        // its next attempt) goes on where the server's copy ends.
        if (item.state == QueueItem::State::Queued &&
            item.direction == QueueItem::Direction::Upload && item.bytesDone > 0)
            m_CutUploads.insert(item.id);
    }
    m_Store.flush();
    const int policy = m_Store.jobPolicy(m_Job);
    if (policy >= 0 && policy <= int(Conflict::Policy::OverwriteIfSizeDiffers))
        m_Policy = Conflict::Policy(policy);
    m_FlushTimer.setInterval(FlushIntervalMs);
    connect(&m_FlushTimer, &QTimer::timeout, this, [this] { m_Store.flush(); });
}

TransferQueue::~TransferQueue() {
    // The end of the queue's life: what runs stops, then the connections
    // say QUIT, each bounded by the time-out.
    stopAll();
    for (Worker* worker : std::as_const(m_Workers)) {
        closeWorker(*worker);
        if (!worker->thread->wait((m_Session.timeoutSeconds + 5) * 1000))
            worker->thread->terminate();
        delete worker->thread;
        delete worker;
    }
    m_Store.flush();
}

void TransferQueue::closeWorker(Worker& worker) {
    if (worker.closing)
        return;
    // QUIT and the end of the thread, without waiting here: the window's
    // thread must not hang on a server's last reply.
    worker.closing = true;
    TransferWorker* w = worker.worker;
    // The thread ends once close() has run there: asked from here, its loop
    // could end first, with the call (and the QUIT) never made.
    QMetaObject::invokeMethod(w, [w, thread = worker.thread] {
        w->close();
        thread->quit();
    });
}

void TransferQueue::onThreadEnded(QThread* thread) {
    for (qsizetype i = 0; i < m_Workers.size(); ++i) {
        if (m_Workers[i]->thread != thread)
            continue;
        delete m_Workers[i];
        m_Workers.removeAt(i);
        thread->deleteLater();
        break;
    }
    if (m_Closing && m_Workers.isEmpty()) {
        m_Closing = false;
        emit finished();
    }
}

void TransferQueue::setSession(const QueueSession& session) {
    m_Session = session;
}

void TransferQueue::setWorkerCount(int count) {
    m_WorkerLimit = qBound(1, count, MaxWorkers);
    schedule();
}

void TransferQueue::setPolicy(Conflict::Policy policy) {
    m_Policy = policy;
    m_Store.setJobPolicy(m_Job, int(policy));
}

qint64 TransferQueue::add(QueueItem item) {
    QList<QueueItem> items{item};
    appendItems(items);
    return items.first().id;
}

QueueItem TransferQueue::downloadItem(const QString& remotePath, const QString& localPath,
                                      qint64 size, double time) {
    QueueItem item;
    item.direction = QueueItem::Direction::Download;
    item.remotePath = remotePath;
    item.localPath = localPath;
    item.size = size;
    item.sourceTime = time;
    return item;
}

QueueItem TransferQueue::uploadItem(const QString& localPath, const QString& remotePath) {
    const QFileInfo info(localPath);
    QueueItem item;
    item.direction = QueueItem::Direction::Upload;
    item.remotePath = remotePath;
    item.localPath = info.absoluteFilePath();
    item.size = info.size();
    item.sourceTime = FtpDate::FromDateTime(info.lastModified());
    return item;
}

qint64 TransferQueue::addDecided(const QueueItem& item, Conflict::Policy decided) {
    QList<QueueItem> items{item};
    // Known before the item is scheduled: appendItems may hand it out at once.
    m_Store.insert(m_Job, items);
    if (items.first().id <= 0)
        items.first().id = -(m_Items.size() + 1);
    m_Decided.insert(items.first().id, decided);
    appendStored(items);
    return items.first().id;
}

qint64 TransferQueue::addDownload(const QString& remotePath, const QString& localPath, qint64 size,
                                  double time) {
    return add(downloadItem(remotePath, localPath, size, time));
}

qint64 TransferQueue::addUpload(const QString& localPath, const QString& remotePath) {
    return add(uploadItem(localPath, remotePath));
}

void TransferQueue::add(QList<QueueItem> items) {
    appendItems(items);
}

qint64 TransferQueue::addDownloadFolder(const QString& remotePath, const QString& localPath) {
    return addFolder(QueueItem::Direction::Download, remotePath, localPath);
}

qint64 TransferQueue::addUploadFolder(const QString& localPath, const QString& remotePath) {
    return addFolder(QueueItem::Direction::Upload, remotePath, localPath);
}

qint64 TransferQueue::addFolder(QueueItem::Direction direction, const QString& remotePath,
                                const QString& localPath) {
    // A queue that lives on (the window's) walks the same folder again in a
    // later batch: only a folder met twice within one walk is a loop.
    if (idle())
        m_SeenFolders.clear();
    QueueItem item;
    item.direction = direction;
    item.folder = true;
    item.remotePath = remotePath;
    item.localPath = QDir::cleanPath(QDir(localPath).absolutePath());
    return add(item);
}

void TransferQueue::setRemoteEntries(const QString& remoteFolder,
                                     const QList<FolderEntry>& entries) {
    for (const FolderEntry& entry : entries)
        m_RemoteTargets.insert(joinRemote(remoteFolder, entry.name), {entry.size, entry.time});
}

void TransferQueue::appendItems(QList<QueueItem>& items, QueueItem* finishedFolder) {
    if (finishedFolder)
        m_Store.update(*finishedFolder);
    m_Store.insert(m_Job, items);
    appendStored(items);
}

void TransferQueue::appendStored(QList<QueueItem>& items) {
    if (items.isEmpty())
        return;
    const int first = int(m_Items.size());
    for (QueueItem& item : items) {
        if (item.id <= 0) // no store: ids of this run only
            item.id = -(m_Items.size() + 1);
        m_Rows.insert(item.id, int(m_Items.size()));
        m_Items.append(item);
        m_Ready.push_back(item.id);
    }
    emit itemsAdded(first, int(m_Items.size()) - 1);
    schedule();
}

void TransferQueue::start() {
    m_Running = true;
    m_FlushTimer.start();
    schedule();
    checkFinished();
}

void TransferQueue::stopItem(qint64 id) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    QueueItem& item = m_Items[row];
    if (item.state == QueueItem::State::Queued) {
        failItem(item, QStringLiteral("Stopped."));
        return;
    }
    for (Worker* worker : std::as_const(m_Workers)) {
        if (worker->running == id || worker->next == id) {
            TransferWorker* w = worker->worker;
            QMetaObject::invokeMethod(w, [w, id] { w->stop(id); });
        }
    }
}

void TransferQueue::stopAll() {
    m_Running = false;
    for (Worker* worker : std::as_const(m_Workers)) {
        if (worker->running) {
            // What waits behind the running item was never begun: it goes
            // back to the queue rather than failing.
            TransferWorker* w = worker->worker;
            QMetaObject::invokeMethod(w, [w, id = worker->running] {
                w->returnWaiting();
                w->stop(id);
            });
        }
    }
}

void TransferQueue::retryFailed() {
    for (QueueItem& item : m_Items) {
        if (item.state == QueueItem::State::Failed)
            requeue(item);
    }
    m_ConnectFailures = 0;
    m_Store.flush();
    start();
}

void TransferQueue::retryItem(qint64 id) {
    const int row = rowOf(id);
    if (row < 0 || m_Items[row].state != QueueItem::State::Failed)
        return;
    requeue(m_Items[row]);
    m_Store.flush();
    start();
}

void TransferQueue::requeue(QueueItem& item) {
    // Attempts keep counting, so that a file begun before is still known as
    // this queue's own (it resumes, nobody is asked); the next round gets
    // its full number of tries.
    m_RetryBase.insert(item.id, item.attempts);
    item.state = QueueItem::State::Queued;
    item.lastError.clear();
    m_Ready.push_back(item.id);
    changed(item, false);
}

bool TransferQueue::removeItem(qint64 id) {
    const int row = rowOf(id);
    if (row < 0 || m_Items[row].state == QueueItem::State::Active)
        return false;
    m_Store.removeItem(id);
    m_Decided.remove(id);
    m_Items.removeAt(row);
    m_Rows.remove(id);
    for (int later = row; later < m_Items.size(); ++later)
        m_Rows[m_Items[later].id] = later;
    emit itemRemoved(row);
    return true;
}

void TransferQueue::discard() {
    stopAll();
    m_Store.removeJob(m_Job);
}

bool TransferQueue::idle() const {
    if (m_Waiting > 0 || m_ConnectPaused)
        return false;
    for (const Worker* worker : m_Workers) {
        if (worker->running)
            return false;
    }
    return m_Ready.empty() || !m_Running;
}

TransferQueue::Totals TransferQueue::totals() const {
    Totals t;
    for (const QueueItem& item : m_Items) {
        if (item.folder)
            continue;
        ++t.files;
        t.done += item.state == QueueItem::State::Done;
        t.failed += item.state == QueueItem::State::Failed;
        t.skipped += item.state == QueueItem::State::Skipped;
        t.verified += !item.verifiedWith.isEmpty();
    }
    t.bytesDone = m_BytesMoved;
    return t;
}

TransferQueue::Worker* TransferQueue::idleWorker() {
    for (Worker* worker : std::as_const(m_Workers)) {
        if (!worker->running && !worker->closing)
            return worker;
    }
    int busy = 0;
    for (const Worker* worker : std::as_const(m_Workers))
        busy += worker->closing ? 0 : 1;
    if (busy >= m_WorkerLimit)
        return nullptr;
    return newWorker();
}

TransferQueue::Worker* TransferQueue::aheadWorker() {
    for (Worker* worker : std::as_const(m_Workers)) {
        if (worker->closing || !worker->running || worker->next)
            continue;
        const int row = rowOf(worker->running);
        if (row >= 0 && !m_Items[row].folder && m_Items[row].size >= 0 &&
            m_Items[row].size <= AheadBelowBytes)
            return worker;
    }
    return nullptr;
}

TransferQueue::Worker* TransferQueue::newWorker() {
    auto* worker = new Worker;
    worker->thread = new QThread;
    worker->thread->setObjectName(QStringLiteral("transfer worker"));
    worker->worker = new TransferWorker(m_Session);
    worker->worker->moveToThread(worker->thread);
    connect(worker->thread, &QThread::finished, worker->worker, &QObject::deleteLater);
    connect(worker->thread, &QThread::finished, this,
            [this, thread = worker->thread] { onThreadEnded(thread); });
    connect(worker->worker, &TransferWorker::progress, this, &TransferQueue::onProgress);
    connect(worker->worker, &TransferWorker::finished, this, &TransferQueue::onFinished);
    connect(worker->worker, &TransferWorker::opened, this,
            [this, w = worker->worker](bool connected) {
                // Until its first order ends, this is what the queue knows of it.
                for (Worker* each : std::as_const(m_Workers)) {
                    if (each->worker == w && !each->running)
                        each->connected = connected;
                }
            });
    worker->thread->start();
    m_Workers.append(worker);
    return worker;
}

void TransferQueue::schedule() {
    // A conflict's question may run a dialog's loop, and with it the
    // workers' reports: those only change the lists, this loop hands out.
    if (!m_Running || m_ConnectPaused || m_Scheduling)
        return;
    m_Scheduling = true;
    const auto done = qScopeGuard([this] { m_Scheduling = false; });
    // Bounded: each pass takes an item off the ready list.
    while (!m_Ready.empty() && m_Running && !m_ConnectPaused) {
        if (!idleWorker() && !aheadWorker())
            return;
        const qint64 id = m_Ready.front();
        m_Ready.pop_front();
        const int row = rowOf(id);
        if (row < 0 || m_Items[row].state != QueueItem::State::Queued)
            continue;
        qint64 startPoint = 0;
        if (!prepare(id, startPoint))
            continue;
        Worker* worker = idleWorker();
        if (!worker)
            worker = aheadWorker();
        if (!worker) {
            m_Ready.push_front(id);
            return;
        }
        // By row again: adding items may have moved them in memory.
        dispatch(*worker, m_Items[rowOf(id)], startPoint);
    }
}

Conflict::Target TransferQueue::remoteTarget(const QString& path) const {
    return m_RemoteTargets.value(path, Conflict::Target{});
}

bool TransferQueue::prepare(qint64 id, qint64& startPoint) {
    startPoint = 0;
    QueueItem* current = &m_Items[rowOf(id)];
    QueueItem& item = *current;
    if (item.folder)
        return true;
    const bool download = item.direction == QueueItem::Direction::Download;
    Conflict::Target target;
    if (download) {
        const QFileInfo local(item.localPath);
        if (local.isDir()) {
            failItem(item, QStringLiteral("%1 is a folder").arg(item.localPath));
            return false;
        }
        if (local.exists())
            target = {local.size(), FtpDate::FromDateTime(local.lastModified())};
    } else {
        target = remoteTarget(item.remotePath);
    }
    if (target.size < 0 && target.time == 0)
        return true;
    if (item.attempts > 0 || item.bytesDone > 0) {
        // The target is this item's own unfinished copy: a download goes on
        // from the bytes on disk, but only as far as this item is known to
        // have written them: a file it was to overwrite keeps its old bytes
        // until the server confirms, and a kill or a refusal before that
        // must not pass them off as the new file's head. An upload starts
        // over here; the worker asks the server how far a cut one got.
        if (download && (item.size < 0 || target.size <= item.size))
            startPoint = std::min(target.size, item.bytesDone);
        return true;
    }
    Conflict::Policy policy = m_Decided.value(id, m_Policy);
    if (policy == Conflict::Policy::Ask && m_Resolver) {
        // The question may wait long: what finished meanwhile is written first.
        m_Store.flush();
        const ConflictResolver::Answer answer = m_Resolver->resolve(QueueItem(item), target);
        policy = answer.policy;
        // Asked once: an item handed back unbegun (Stop all, a connection
        // that could not log in) keeps its answer.
        m_Decided.insert(id, policy);
        if (answer.applyToAll)
            setPolicy(policy);
        // Items added meanwhile may have moved this one.
        current = &m_Items[rowOf(id)];
    }
    return settle(*current, policy, target, download, startPoint);
}

bool TransferQueue::settle(QueueItem& item, Conflict::Policy policy, const Conflict::Target& target,
                           bool download, qint64& startPoint) {
    if (policy == Conflict::Policy::Ask) {
        failItem(
            item,
            QStringLiteral("%1 exists already").arg(download ? item.localPath : item.remotePath));
        return false;
    }
    const Conflict::Plan plan = Conflict::decide(policy, item, target);
    switch (plan.action) {
    case Conflict::Action::Skip:
        item.state = QueueItem::State::Skipped;
        item.lastError =
            QStringLiteral("Skipped: the target exists (%1).").arg(Conflict::policyText(policy));
        changed(item, true);
        return false;
    case Conflict::Action::Resume:
        startPoint = plan.startPoint;
        return true;
    case Conflict::Action::Transfer:
        return true;
    case Conflict::Action::Rename:
        if (download) {
            item.localPath = Conflict::freeName(
                item.localPath, [](const QString& path) { return QFileInfo::exists(path); });
        } else {
            item.remotePath = Conflict::freeName(item.remotePath, [this](const QString& path) {
                return m_RemoteTargets.contains(path);
            });
            m_RemoteTargets.insert(item.remotePath, {});
        }
        if ((download ? item.localPath : item.remotePath).isEmpty()) {
            failItem(item, QStringLiteral("no free name"));
            return false;
        }
        return true;
    }
    return true;
}

void TransferQueue::dispatch(Worker& worker, QueueItem& item, qint64 startPoint) {
    // An upload that moved bytes before and was then cut (or stopped, or
    // ended with the program) goes on from what the server holds of it:
    // the worker asks. After a refusal it starts over.
    const bool resumeUpload = item.direction == QueueItem::Direction::Upload && !item.folder &&
                              startPoint == 0 && item.bytesDone > 0 &&
                              m_CutUploads.contains(item.id);
    item.state = QueueItem::State::Active;
    ++item.attempts;
    // A resumed upload keeps its count until the worker knows better: cut
    // again before it reports, it is still known to have bytes there.
    if (!resumeUpload)
        item.bytesDone = startPoint;
    (worker.running ? worker.next : worker.running) = item.id;
    m_Closing = false; // more work came: finished() is not due yet
    // Committed before the worker starts, with the previous item's end: a
    // kill from here on finds the item begun, never a file of its on disk
    // that the next run would take for someone else's. The order goes out
    // before anyone hears of it: a Stop said on hearing reaches the worker
    // after the order, not before (where it would miss).
    m_Store.update(item);
    m_Store.flush();
    WorkOrder order{item, startPoint, m_Verify, resumeUpload};
    TransferWorker* w = worker.worker;
    QMetaObject::invokeMethod(w, [w, order] { w->work(order); });
    // Written already: only the views hear of it.
    emit itemChanged(rowOf(item.id));
    // A folder brings more work: the other connections log in meanwhile,
    // side by side, instead of one after another once its entries come.
    if (order.item.folder)
        openAhead();
}

void TransferQueue::openAhead() {
    int open = 0;
    for (const Worker* worker : std::as_const(m_Workers))
        open += worker->closing ? 0 : 1;
    // Bounded by the worker limit.
    for (; open < m_WorkerLimit; ++open) {
        TransferWorker* w = newWorker()->worker;
        QMetaObject::invokeMethod(w, [w] { w->open(); });
    }
}

void TransferQueue::onProgress(qint64 id, qint64 bytes) {
    const int row = rowOf(id);
    if (row < 0)
        return;
    m_Items[row].bytesDone = bytes;
    m_Store.update(m_Items[row]);
    emit itemChanged(row);
}

void TransferQueue::changed(QueueItem& item, bool flushNow) {
    m_Store.update(item);
    if (flushNow)
        m_Store.flush();
    const int row = rowOf(item.id);
    if (row >= 0)
        emit itemChanged(row);
}

void TransferQueue::failItem(QueueItem& item, const QString& error) {
    item.state = QueueItem::State::Failed;
    item.lastError = error;
    changed(item, true);
}

void TransferQueue::retryLater(QueueItem& item, const QString& error) {
    if (item.attempts - m_RetryBase.value(item.id) >= MaxAttempts) {
        failItem(item, error);
        return;
    }
    item.state = QueueItem::State::Queued;
    item.lastError = error;
    changed(item, true);
    ++m_Waiting;
    QTimer::singleShot(pauseMs(item.attempts), this, [this, id = item.id] {
        --m_Waiting;
        m_Ready.push_front(id);
        schedule();
        checkFinished();
    });
}

void TransferQueue::onFinished(const WorkResult& result) {
    Worker* worker = nullptr;
    for (Worker* w : std::as_const(m_Workers)) {
        if (w->running == result.id) {
            // The one waiting behind it runs now.
            w->running = w->next;
            w->next = 0;
            worker = w;
        } else if (w->next == result.id) {
            w->next = 0;
            worker = w;
        }
    }
    if (worker)
        worker->connected = result.connected;
    const int row = rowOf(result.id);
    if (row < 0) {
        schedule();
        return checkFinished();
    }
    QueueItem& item = m_Items[row];
    using Outcome = WorkResult::Outcome;
    const bool connection = result.outcome == Outcome::Unreachable ||
                            result.outcome == Outcome::Refused ||
                            result.outcome == Outcome::Returned;
    if (!connection)
        m_ConnectFailures = 0;
    item.errorCode = result.errorCode;
    item.serverReply = result.serverReply;
    if (result.outcome == Outcome::Retry || result.outcome == Outcome::Stopped)
        m_CutUploads.insert(item.id);
    else if (!connection)
        m_CutUploads.remove(item.id);
    switch (result.outcome) {
    case Outcome::Done:
        m_BytesMoved += qMax<qint64>(0, result.bytes - result.startPoint);
        item.state = QueueItem::State::Done;
        item.bytesDone = result.bytes;
        item.lastError.clear();
        item.verifiedWith = result.verifiedWith;
        if (item.folder)
            expandFolder(item, result);
        else
            // Written with the next item's start, or at the end of this call.
            changed(item, false);
        break;
    case Outcome::Failed:
        failItem(item, result.error);
        break;
    case Outcome::Stopped:
        failItem(item, result.error);
        break;
    case Outcome::Retry:
        retryLater(item, result.error);
        break;
    case Outcome::Mismatch:
        if (m_Refetched.contains(item.id)) {
            failItem(item, result.error);
        } else {
            // Once more, from nothing: the kept copy is out of the way.
            m_Refetched.insert(item.id);
            item.state = QueueItem::State::Queued;
            item.bytesDone = 0;
            item.lastError = result.error;
            changed(item, true);
            m_Ready.push_front(item.id);
            emit note(QStringLiteral("%1: %2; fetched again").arg(item.remotePath, result.error));
        }
        break;
    case Outcome::Returned:
    case Outcome::Refused:
    case Outcome::Unreachable: {
        // Not the item's fault: it goes back to the front, its attempt returned.
        --item.attempts;
        item.state = QueueItem::State::Queued;
        changed(item, true);
        m_Ready.push_front(item.id);
        if (result.outcome == Outcome::Returned)
            break;
        int connected = 0;
        for (const Worker* w : std::as_const(m_Workers))
            // One that is working now is logged in, or about to be.
            connected += w != worker && !w->closing && (w->connected || w->running) ? 1 : 0;
        if (worker)
            closeWorker(*worker);
        if (result.outcome == Outcome::Refused && connected > 0) {
            // The server counts connections: as many as it took.
            m_WorkerLimit = connected;
            emit note(
                QStringLiteral("The server refused another connection (%1); going on with %2.")
                    .arg(result.error)
                    .arg(connected));
            break;
        }
        if (++m_ConnectFailures >= MaxAttempts) {
            // A dead server: everything waiting fails with its reason, and
            // "Retry failed" tries again.
            for (QueueItem& waiting : m_Items) {
                if (waiting.state == QueueItem::State::Queued)
                    failItem(waiting, result.error);
            }
            m_Ready.clear();
            break;
        }
        m_ConnectPaused = true;
        QTimer::singleShot(pauseMs(m_ConnectFailures), this, [this] {
            m_ConnectPaused = false;
            schedule();
            checkFinished();
        });
        break;
    }
    }
    schedule();
    m_Store.flush();
    checkFinished();
}

void TransferQueue::expandFolder(QueueItem& folderItem, const WorkResult& result) {
    // A copy: adding the children moves the items in memory.
    QueueItem folder = folderItem;
    const bool download = folder.direction == QueueItem::Direction::Download;
    const int depth = m_Depth.value(folder.id);
    if (!result.realPath.isEmpty())
        m_SeenFolders.insert(result.realPath);
    if (!download)
        setRemoteEntries(folder.remotePath, result.targetEntries);
    QList<QueueItem> children;
    for (const FolderEntry& entry : result.entries) {
        QueueItem child;
        child.parent = folder.id;
        child.direction = folder.direction;
        child.folder = entry.isDirectory;
        child.size = entry.size;
        child.sourceTime = entry.time;
        if (download) {
            QString why;
            const auto name = LocalName::fromRemote(entry.name, &why);
            if (!name) {
                emit note(QStringLiteral("%1: not fetched: %2")
                              .arg(joinRemote(folder.remotePath, entry.name), why));
                continue;
            }
            child.remotePath = joinRemote(folder.remotePath, entry.name);
            child.localPath = folder.localPath + QLatin1Char('/') + *name;
        } else {
            child.localPath = folder.localPath + QLatin1Char('/') + entry.name;
            child.remotePath = joinRemote(folder.remotePath, entry.name);
        }
        if (child.folder) {
            // A link to a folder may lead back into the tree: a folder seen
            // by its real path is not entered twice.
            // Remote: the server's "unique" fact where MLSD gives it, else a
            // listed link's target; a link leading to a folder above it
            // would come back round.
            QString real = child.localPath;
            if (!download)
                real = entry.target;
            else if (!entry.unique.isEmpty())
                real = QStringLiteral("unique:") + entry.unique;
            else if (entry.isLink && !entry.target.isEmpty())
                real = resolveRemote(folder.remotePath, entry.target);
            else
                real = child.remotePath;
            const QString source = download ? child.remotePath : child.localPath;
            bool loop = m_SeenFolders.contains(real);
            if (download && entry.isLink && !entry.target.isEmpty()) {
                const QString target = resolveRemote(folder.remotePath, entry.target);
                loop = loop ||
                       (folder.remotePath + QLatin1Char('/')).startsWith(target + QLatin1Char('/'));
            }
            if (loop) {
                emit note(
                    QStringLiteral("%1: a folder already taken (%2); skipped").arg(source, real));
                continue;
            }
            if (depth + 1 > MaxDepth) {
                emit note(QStringLiteral("%1: deeper than %2 folders; skipped")
                              .arg(source)
                              .arg(MaxDepth));
                continue;
            }
            m_SeenFolders.insert(real);
        }
        children.append(child);
    }
    const int first = int(m_Items.size());
    appendItems(children, &folder);
    if (children.isEmpty())
        m_Store.flush();
    for (int row = first; row < m_Items.size(); ++row)
        m_Depth.insert(m_Items[row].id, depth + 1);
    const int row = rowOf(folder.id);
    if (row >= 0)
        emit itemChanged(row);
}

void TransferQueue::checkFinished() {
    if (!idle() || m_Closing)
        return;
    m_Store.flush();
    m_FlushTimer.stop();
    if (m_Workers.isEmpty()) {
        emit finished();
        return;
    }
    // Finished once every connection has said goodbye.
    m_Closing = true;
    for (Worker* worker : std::as_const(m_Workers))
        closeWorker(*worker);
}
