// The window's hand-over to the transfer queue: many files and folders
// downloaded and uploaded by the queue's own connections, the queue pane and
// its commands, the status bar's totals. The browsing session stays free.

#include "frmMain.h"

#include "CFtpConnection.h"
#include "FileListView.h"
#include "LocalName.h"
#include "QueueModel.h"
#include "QueuePane.h"
#include "QueueStore.h"
#include "TransferQueue.h"
#include "WindowTransfers.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>

namespace {

QString joinRemote(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString& queueStorePath() {
    static QString path;
    return path;
}

} // namespace

void frmMain::setQueueStorePath(const QString& path) {
    queueStorePath() = path;
}

void frmMain::createQueuePane() {
    m_Transfers = new WindowTransfers(
        m_Prompts, this, queueStorePath().isEmpty() ? QueueStore::defaultPath() : queueStorePath());
    m_QueuePane = new QueuePane(m_Transfers->model(), client);
    connect(m_QueuePane, &QueuePane::contextMenuAsked, this,
            [this](const QPoint& pos) { showContextMenu(InQueue, pos); });
    sbQueue = new QLabel(sbStatusBar);
    sbQueue->setTextFormat(Qt::PlainText);
    sbStatusBar->addPermanentWidget(sbQueue);
    connect(m_Transfers->model(), &QueueModel::refreshed, sbQueue,
            [this] { sbQueue->setText(m_Transfers->totalsText()); });
    connect(m_Transfers, &WindowTransfers::fileProgress, this, &frmMain::showFileProgress);
    connect(m_Transfers, &WindowTransfers::fileEnded, this, &frmMain::fileEnded);
    connect(m_Transfers, &WindowTransfers::note, this, [this](const QString& text) {
        m_FtpConnection_SessionProtocolMessage(text, CFtpConnection::ApplicationMessage);
    });
    if (!m_Transfers->openError().isEmpty())
        m_FtpConnection_SessionProtocolMessage(m_Transfers->openError(),
                                               CFtpConnection::ApplicationMessage);
    // Uploads show in the list once the queue is through, as long as the
    // session is free to list.
    connect(
        m_Transfers, &WindowTransfers::finished, this,
        [this] {
            if (commandEnabled(QStringLiteral("Refresh")) && listedNode())
                runTableCommand(QStringLiteral("Refresh"));
        },
        Qt::QueuedConnection);
}

QString frmMain::queueTotalsText() const {
    return sbQueue ? sbQueue->text() : QString();
}

void frmMain::startQueueSession() {
    m_Transfers->setSession(WindowTransfers::sessionOf(engine(), Option1[0]->isChecked()));
}

void frmMain::offerInterruptedTransfers() {
    m_Transfers->offerInterrupted();
}

void frmMain::showFileProgress(const QueueItem& item) {
    const bool upload = item.direction == QueueItem::Direction::Upload;
    const QString name = item.remotePath.section(QLatin1Char('/'), -1);
    if (name != m_strTransferFileName || item.size != m_lTransferFileSize)
        beginTransfer(name, item.size);
    showTransferProgress(upload, item.bytesDone);
}

void frmMain::fileEnded(const QueueItem& item) {
    const bool upload = item.direction == QueueItem::Direction::Upload;
    m_strTransferFileName = item.remotePath.section(QLatin1Char('/'), -1);
    const QString folder = item.remotePath.section(QLatin1Char('/'), 0, -2);
    // An upload shows in the list of its folder, when the session is free
    // to list it; a stopped one shows what reached the server.
    const auto relist = [this, folder] {
        QTreeWidgetItem* listed = listedNode();
        if (listed && commandEnabled(QStringLiteral("Refresh")) &&
            QDir::cleanPath(nodeServerPath(listed)) == QDir::cleanPath(folder + QLatin1Char('/')))
            runTableCommand(QStringLiteral("Refresh"));
    };
    if (item.finished()) {
        m_FtpConnection_StateChanged(CFtpConnection::TransferCompleted);
        if (upload)
            relist();
        return;
    }
    const bool stopped = item.lastError == QLatin1String("Stopped.");
    endTransfer(false, upload, stopped);
    if (stopped) {
        if (upload)
            relist();
        return;
    }
    const QString CrLf = QStringLiteral("\r\n");
    const QString reply = item.serverReply.trimmed();
    if (upload) {
        ask(tr("Can't upload file.") + CrLf + CrLf +
                tr("Server response: %1").arg(reply.isEmpty() ? item.lastError : reply),
            Prompts::OkOnly, Prompts::NoIcon, tr("Can't upload file"));
        return;
    }
    // Failed for good after the queue's tries: the engine's number where
    // it had one, else what the queue knows (a local folder in the way).
    ask(item.errorCode ? errorBoxText(item.errorCode, reply) : item.lastError, Prompts::OkOnly,
        Prompts::Exclamation);
}

void frmMain::DownloadThroughQueue(const QList<int>& rows) {
    const QString folderPath = listedNode() ? nodeServerPath(listedNode()) : QString();
    QList<WindowTransfers::RemoteEntry> entries;
    QStringList unsafe;
    for (int row : rows) {
        const QString name = lvListView->text(row);
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        QString why;
        if (!LocalName::fromRemote(name, &why)) {
            unsafe << why;
            continue;
        }
        const bool folder = lvListView->icon(row) == 3;
        entries.append({joinRemote(folderPath, name), folder, folder ? -1 : lvListView->size(row)});
    }
    if (!unsafe.isEmpty())
        reportUnsafeNames(unsafe);
    if (entries.isEmpty())
        return;
    const QString local = m_Prompts.existingDirectory(this, tr("Download files into..."),
                                                      rememberedFolder("DownloadFolder"));
    if (local.isEmpty())
        return;
    rememberFolder("DownloadFolder", local, false);
    startQueueSession();
    m_Transfers->download(entries, local);
    setStatusText(tr("Queued for download: %1.").arg(entries.size()));
}

QList<FolderEntry> frmMain::listedEntries() const {
    QList<FolderEntry> entries;
    for (int row = 0; row < lvListView->count(); ++row) {
        FolderEntry entry;
        entry.name = lvListView->text(row);
        entry.isDirectory = lvListView->icon(row) == 3;
        entry.size = entry.isDirectory ? -1 : lvListView->size(row);
        entries << entry;
    }
    return entries;
}

void frmMain::mnuUploadFolder_Click() {
    runCommand([this] { UploadFolderBody(); });
}

void frmMain::UploadFolderBody() {
    const QString folder = m_Prompts.existingDirectory(this, tr("Select folder to upload"),
                                                       rememberedFolder("UploadFolder"));
    if (folder.isEmpty() || !listedNode())
        return;
    rememberFolder("UploadFolder", folder, false);
    startQueueSession();
    m_Transfers->upload({folder}, nodeServerPath(listedNode()), listedEntries());
    setStatusText(tr("%1 queued for upload.").arg(QDir::toNativeSeparators(folder)));
}

void frmMain::mnuTransferSettings_Click() {
    m_Transfers->showSettings();
}

void frmMain::QueueStop() {
    m_Transfers->stop(m_QueuePane->selectedIds());
}

void frmMain::QueueStopAll() {
    if (m_Transfers->queue())
        m_Transfers->queue()->stopAll();
}

void frmMain::QueueRetry() {
    if (m_SessionView == SessionView::Connected && !working())
        startQueueSession();
    m_Transfers->retry(m_QueuePane->selectedIds());
}

void frmMain::QueueRemove() {
    m_Transfers->remove(m_QueuePane->selectedIds());
}

void frmMain::QueueOpenFolder() {
    const QList<qint64> ids = m_QueuePane->selectedIds();
    if (ids.isEmpty())
        return;
    const QString folder = m_Transfers->containingFolder(ids.front());
    if (!folder.isEmpty() && m_ShellOpenDocument)
        m_ShellOpenDocument(folder);
}
