#include "WindowTransfers.h"

#include "CFtpConnection.h"
#include "Prompts.h"
#include "QueueModel.h"
#include "QueueStore.h"
#include "TransferQueue.h"
#include "TrustStore.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLocale>
#include <QSettings>
#include <QSpinBox>
#include <utility>

namespace {

const QString JobPrefix = QStringLiteral("window ");

QString joinRemote(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// The server part of a job name, for the user: "user@host:21".
QString jobServer(const QString& job) {
    return job.mid(JobPrefix.size());
}

QString duration(qint64 seconds) {
    return seconds >= 3600 ? QStringLiteral("%1:%2:%3")
                                 .arg(seconds / 3600)
                                 .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                           : QStringLiteral("%1:%2")
                                 .arg(seconds / 60)
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

WindowTransfers::WindowTransfers(Prompts& prompts, QWidget* window, QString storePath)
    : QObject(window), m_Prompts(prompts), m_Window(window),
      m_Store(std::make_unique<QueueStore>(std::move(storePath))), m_Model(new QueueModel(this)) {
    QString error;
    if (!m_Store->open(&error)) {
        // The queue still works, in memory: only a restart forgets it.
        m_OpenError = tr("The transfer queue cannot be kept on disk: %1").arg(error);
        m_Store = std::make_unique<QueueStore>(QStringLiteral(":memory:"));
        m_Store->open();
    }
}

WindowTransfers::~WindowTransfers() {
    // The window is going: nothing of it hears the queue's last words.
    blockSignals(true);
    m_Model->blockSignals(true);
    m_Model->setQueue(nullptr, nullptr);
    m_Queue.reset();
}

QString WindowTransfers::jobName(const QueueSession& session) {
    return JobPrefix +
           QStringLiteral("%1@%2:%3").arg(session.userName, session.host).arg(session.port);
}

QueueSession WindowTransfers::sessionOf(const CFtpConnection& c, bool ascii) {
    QueueSession session;
    session.host = c.FtpServer();
    session.port = c.Port();
    session.userName = c.UserName();
    session.password = c.Password();
    session.security = c.Security();
    session.trustedFingerprint = TrustStore::trusted(c.FtpServer(), c.Port());
    // The user accepted this session's certificate: the workers meet the same one.
    if (c.Encrypted() && session.trustedFingerprint.isEmpty() && !c.ServerCertificate().verified())
        session.trustedFingerprint = c.ServerCertificate().sha256;
    // A session the user allowed on without TLS: the workers go on as it did.
    if (!c.Encrypted() && session.security != FtpSecurity::Mode::Plain &&
        session.security != FtpSecurity::Mode::Implicit)
        session.security = FtpSecurity::Mode::Plain;
    session.passive = c.PassiveMode();
    session.ascii = ascii;
    session.timeoutSeconds = c.Timeout() > 0 ? c.Timeout() : 60;
    return session;
}

int WindowTransfers::workerCount() const {
    QSettings settings;
    return qBound(
        1,
        settings
            .value(QStringLiteral("%1/Workers").arg(QLatin1String(SettingsSection)), DefaultWorkers)
            .toInt(),
        TransferQueue::MaxWorkers);
}

bool WindowTransfers::verify() const {
    return QSettings()
        .value(QStringLiteral("%1/Verify").arg(QLatin1String(SettingsSection)), true)
        .toBool();
}

void WindowTransfers::setSession(const QueueSession& session) {
    m_Session = session;
    const QString job = jobName(session);
    if (job != m_Job || !m_Queue) {
        // Another server: its own queue; the last one's unfinished items
        // stay in the store for when the window goes back there.
        m_Model->setQueue(nullptr, nullptr);
        m_Queue = std::make_unique<TransferQueue>(*m_Store, job);
        m_Job = job;
        m_Removed.clear();
        m_Files.clear();
        m_Queue->setConflictResolver(this);
        connect(m_Queue.get(), &TransferQueue::note, this, &WindowTransfers::note);
        connect(m_Queue.get(), &TransferQueue::finished, this, &WindowTransfers::queueFinished);
        connect(m_Queue.get(), &TransferQueue::itemChanged, this, &WindowTransfers::removeStopped);
        connect(m_Queue.get(), &TransferQueue::itemChanged, this, &WindowTransfers::follow);
        m_Model->setQueue(m_Queue.get(), &m_Removed);
    }
    m_Queue->setSession(session);
    if (m_ResumeJobs.removeAll(job) > 0)
        startQueue();
}

void WindowTransfers::beginBatch() {
    // "Apply to all in this queue" holds for the work queued together: once
    // the queue is through, new work is asked about afresh.
    if (m_Queue->idle() && m_Queue->policy() != Conflict::Policy::Ask)
        m_Queue->setPolicy(Conflict::Policy::Ask);
}

void WindowTransfers::startQueue() {
    m_Queue->setWorkerCount(workerCount());
    m_Queue->setVerify(verify());
    m_Queue->start();
}

void WindowTransfers::download(const QList<RemoteEntry>& entries, const QString& localFolder) {
    if (!m_Queue || entries.isEmpty())
        return;
    beginBatch();
    QList<QueueItem> files;
    for (const RemoteEntry& entry : entries) {
        const QString name = entry.path.section(QLatin1Char('/'), -1);
        const QString local = QDir(localFolder).filePath(name);
        if (entry.folder)
            m_Queue->addDownloadFolder(entry.path, local);
        else
            files << TransferQueue::downloadItem(entry.path, local, entry.size, entry.time);
    }
    m_Queue->add(files);
    startQueue();
}

void WindowTransfers::upload(const QStringList& localPaths, const QString& remoteFolder,
                             const QList<FolderEntry>& remoteEntries) {
    if (!m_Queue || localPaths.isEmpty())
        return;
    beginBatch();
    m_Queue->setRemoteEntries(remoteFolder, remoteEntries);
    QList<QueueItem> files;
    for (const QString& path : localPaths) {
        const QFileInfo info(path);
        const QString remote = joinRemote(remoteFolder, info.fileName());
        if (info.isDir())
            m_Queue->addUploadFolder(info.absoluteFilePath(), remote);
        else
            files << TransferQueue::uploadItem(info.absoluteFilePath(), remote);
    }
    m_Queue->add(files);
    startQueue();
}

void WindowTransfers::downloadFile(const RemoteEntry& entry, const QString& localPath,
                                   Conflict::Policy decided) {
    if (!m_Queue)
        return;
    m_Files.insert(m_Queue->addDecided(
        TransferQueue::downloadItem(entry.path, localPath, entry.size, entry.time), decided));
    startQueue();
}

void WindowTransfers::uploadFile(const QString& localPath, const QString& remoteFolder,
                                 const QList<FolderEntry>& remoteEntries,
                                 Conflict::Policy decided) {
    if (!m_Queue)
        return;
    m_Queue->setRemoteEntries(remoteFolder, remoteEntries);
    m_Files.insert(m_Queue->addDecided(
        TransferQueue::uploadItem(localPath,
                                  joinRemote(remoteFolder, QFileInfo(localPath).fileName())),
        decided));
    startQueue();
}

bool WindowTransfers::stopFiles() {
    bool any = false;
    for (qint64 id : std::as_const(m_Files)) {
        const int row = m_Queue ? m_Queue->rowOf(id) : -1;
        if (row >= 0 && !m_Queue->at(row).finished() &&
            m_Queue->at(row).state != QueueItem::State::Failed) {
            m_Queue->stopItem(id);
            any = true;
        }
    }
    return any;
}

void WindowTransfers::follow(int row) {
    const QueueItem& item = m_Queue->at(row);
    if (!m_Files.contains(item.id)) {
        m_Arrived = m_Arrived || item.state == QueueItem::State::Done;
        return;
    }
    if (item.state == QueueItem::State::Active) {
        emit fileProgress(item);
        return;
    }
    // Queued again: a retry waits its turn, nothing ended.
    if (item.state == QueueItem::State::Queued)
        return;
    m_Files.remove(item.id);
    ++m_EndsPending;
    QMetaObject::invokeMethod(
        this,
        [this, ended = item] {
            emit fileEnded(ended);
            --m_EndsPending;
        },
        Qt::QueuedConnection);
}

void WindowTransfers::queueFinished() {
    // Only what the window does not follow itself asks for a new listing.
    if (!std::exchange(m_Arrived, false))
        return;
    emit finished();
}

void WindowTransfers::offerInterrupted() {
    QStringList jobs;
    for (const QString& job : m_Store->interruptedJobs()) {
        if (job.startsWith(JobPrefix) && !m_ResumeJobs.contains(job))
            jobs << job;
    }
    for (const QString& job : std::as_const(jobs)) {
        int unfinished = 0;
        for (const QueueItem& item : m_Store->load(job))
            unfinished += item.finished() || item.folder ? 0 : 1;
        bool unused = false;
        const int answer = m_Prompts.choice(
            m_Window,
            tr("%1 transfers with %2 were not finished when Krellin last ended.\n\nResume them "
               "when you connect to that server again, or discard them?")
                .arg(unfinished)
                .arg(jobServer(job)),
            tr("Interrupted transfers"), {tr("Resume all"), tr("Discard")}, QString(), unused);
        if (answer == 0) {
            m_ResumeJobs << job;
            if (job == m_Job && m_Queue)
                setSession(m_Session);
        } else if (answer == 1 && job != m_Job) {
            m_Store->removeJob(job);
        } else if (answer == 1) {
            m_Queue->discard();
        }
    }
}

ConflictResolver::Answer WindowTransfers::resolve(const QueueItem& item,
                                                  const Conflict::Target& target) {
    const bool download = item.direction == QueueItem::Direction::Download;
    const QString path = download ? QDir::toNativeSeparators(item.localPath) : item.remotePath;
    const QLocale locale;
    const QString text =
        tr("%1 already exists.\n\nSize of the existing file: %2 bytes\nSize of the file to %3: "
           "%4 bytes\n\nWhat should be done with it?")
            .arg(path, locale.toString(target.size), download ? tr("download") : tr("upload"),
                 item.size >= 0 ? locale.toString(item.size) : tr("unknown"));
    // The order of Conflict::Policy after Ask.
    const QStringList buttons = {tr("Overwrite"),
                                 tr("Resume"),
                                 tr("Skip"),
                                 tr("Rename"),
                                 tr("Overwrite if newer"),
                                 tr("Overwrite if size differs")};
    bool all = false;
    const int choice = m_Prompts.choice(m_Window, text, tr("File already exists"), buttons,
                                        tr("Apply to all in this queue"), all);
    Answer answer;
    // Closed without a choice: nothing is lost by leaving the file alone.
    answer.policy = choice >= 0 && choice < buttons.size() ? Conflict::Policy(choice + 1)
                                                           : Conflict::Policy::Skip;
    answer.applyToAll = all && choice >= 0;
    return answer;
}

void WindowTransfers::stop(const QList<qint64>& ids) {
    for (qint64 id : ids) {
        if (m_Queue)
            m_Queue->stopItem(id);
    }
}

void WindowTransfers::retry(const QList<qint64>& ids) {
    for (qint64 id : ids) {
        if (m_Queue)
            m_Queue->retryItem(id);
    }
    if (m_Queue)
        startQueue();
}

void WindowTransfers::remove(const QList<qint64>& ids) {
    if (!m_Queue)
        return;
    for (qint64 id : ids) {
        const int row = m_Queue->rowOf(id);
        if (row < 0)
            continue;
        // A running item stops first and leaves once it has: hidden till then.
        if (m_Queue->at(row).state == QueueItem::State::Active) {
            m_Queue->stopItem(id);
            m_Removed.insert(id);
        } else {
            m_Queue->removeItem(id);
        }
    }
    m_Model->refresh();
}

void WindowTransfers::removeStopped(int row) {
    const QueueItem& item = m_Queue->at(row);
    if (!m_Removed.contains(item.id) || item.state == QueueItem::State::Active)
        return;
    // Not inside the queue's own signal: its caller still holds the item.
    QMetaObject::invokeMethod(
        this,
        [this, id = item.id] {
            if (m_Queue && m_Queue->removeItem(id))
                m_Removed.remove(id);
        },
        Qt::QueuedConnection);
}

QString WindowTransfers::containingFolder(qint64 id) const {
    const int row = m_Queue ? m_Queue->rowOf(id) : -1;
    if (row < 0)
        return {};
    const QueueItem& item = m_Queue->at(row);
    return item.folder && item.direction == QueueItem::Direction::Download
               ? item.localPath
               : QFileInfo(item.localPath).absolutePath();
}

QString WindowTransfers::totalsText() const {
    if (!m_Queue || m_Queue->idle())
        return {};
    qint64 size = 0;
    qint64 done = 0;
    int files = 0;
    for (int row = 0; row < m_Queue->count(); ++row) {
        const QueueItem& item = m_Queue->at(row);
        if (item.folder || m_Removed.contains(item.id) || item.state == QueueItem::State::Failed)
            continue;
        ++files;
        if (item.size > 0) {
            size += item.size;
            done += item.finished() ? item.size : std::min(item.bytesDone, item.size);
        }
    }
    const qint64 speed = m_Model->totalSpeed();
    const QLocale locale;
    QString text = tr("Queue: %1 % of %2 files").arg(size > 0 ? done * 100 / size : 0).arg(files);
    if (speed > 0)
        text += tr(", %1/s, %2 left")
                    .arg(locale.formattedDataSize(speed), duration((size - done) / speed));
    return text;
}

void WindowTransfers::showSettings() {
    QDialog dialog(m_Window);
    dialog.setWindowTitle(tr("Transfer settings"));
    auto* layout = new QFormLayout(&dialog);
    auto* workers = new QSpinBox(&dialog);
    workers->setRange(1, TransferQueue::MaxWorkers);
    workers->setValue(workerCount());
    layout->addRow(tr("&Connections for transfers:"), workers);
    auto* check = new QCheckBox(tr("&Verify transfers where the server can"), &dialog);
    check->setChecked(verify());
    layout->addRow(check);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (m_Prompts.execDialog(dialog) != QDialog::Accepted)
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("%1/Workers").arg(QLatin1String(SettingsSection)),
                      workers->value());
    settings.setValue(QStringLiteral("%1/Verify").arg(QLatin1String(SettingsSection)),
                      check->isChecked());
    if (m_Queue) {
        m_Queue->setWorkerCount(workerCount());
        m_Queue->setVerify(verify());
    }
}
