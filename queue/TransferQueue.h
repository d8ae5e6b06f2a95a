#pragma once

#include "Conflict.h"
#include "QueueItem.h"
#include "TransferWorker.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <deque>

class QThread;
class QueueStore;

// The transfer queue: items kept in a QueueStore, handed to N workers (each
// an engine in its own thread), folders expanded as the workers list them,
// conflicts asked through a ConflictResolver, failures retried, finished
// files proven by the server's checksum where it offers one.
//
// Lives in one thread (the window's, or krellin-cli's main). For a view:
// count() and at(row) read the items by row in O(1); rows never move while
// the queue lives except by removeItem (itemRemoved), itemsAdded says which
// rows are new, itemChanged which one changed; progress changes come at most
// a few times a second per worker. Each signal comes after the change: a
// model keeps its own row count and follows them.
class TransferQueue : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxAttempts = 3;
    static constexpr int MaxWorkers = 10;

    // Items of `job` that the store holds are taken up again: an item that
    // was active when the program ended is queued, to resume.
    TransferQueue(QueueStore& store, QString job, QObject* parent = nullptr);
    ~TransferQueue() override;

    void setSession(const QueueSession& session);
    // 1 to 10 transfer connections (default 2).
    void setWorkerCount(int count);
    int workerCount() const { return m_WorkerLimit; }
    // "Verify transfers where the server can" (default on).
    void setVerify(bool on) { m_Verify = on; }
    // The answer for every conflict of this queue (remembered with it);
    // Ask leaves each to the resolver.
    void setPolicy(Conflict::Policy policy);
    Conflict::Policy policy() const { return m_Policy; }
    void setConflictResolver(ConflictResolver* resolver) { m_Resolver = resolver; }
    // Nothing is touched without a limit: folder expansion stops below this depth.
    static constexpr int MaxDepth = 64;

    // Adding work; paths absolute (remote: from "/"). The ids of the new items.
    qint64 addDownload(const QString& remotePath, const QString& localPath, qint64 size = -1,
                       double time = 0);
    qint64 addUpload(const QString& localPath, const QString& remotePath);
    // Many at once, in one transaction (a selection of thousands of files).
    void add(QList<QueueItem> items);
    static QueueItem downloadItem(const QString& remotePath, const QString& localPath,
                                  qint64 size = -1, double time = 0);
    static QueueItem uploadItem(const QString& localPath, const QString& remotePath);
    // One item whose conflict was settled before it was queued (the user
    // answered already): the queue asks nothing and goes by `decided`.
    qint64 addDecided(const QueueItem& item, Conflict::Policy decided);
    qint64 addDownloadFolder(const QString& remotePath, const QString& localPath);
    qint64 addUploadFolder(const QString& localPath, const QString& remotePath);
    // What the remote folder holds, for uploads into it to see their targets.
    void setRemoteEntries(const QString& remoteFolder, const QList<FolderEntry>& entries);

    void start();
    void stopItem(qint64 id);
    // Stops the running items and holds the rest until start().
    void stopAll();
    void retryFailed();
    void retryItem(qint64 id);
    // Not while it runs (stop it first). The rows after it move up one.
    bool removeItem(qint64 id);
    // Forgets the job: its items leave the store.
    void discard();

    int count() const { return int(m_Items.size()); }
    const QueueItem& at(int row) const { return m_Items[row]; }
    int rowOf(qint64 id) const { return m_Rows.value(id, -1); }
    // Nothing queued, running or waiting for a retry.
    bool idle() const;
    // Connections open or saying goodbye; 0 once the queue has finished.
    int connections() const { return int(m_Workers.size()); }
    bool running() const { return m_Running; }

    struct Totals {
        int files = 0; // file items, not folders
        int done = 0;
        int failed = 0;
        int skipped = 0;
        int verified = 0;
        qint64 bytesDone = 0; // moved in this run
    };
    Totals totals() const;

signals:
    void itemsAdded(int firstRow, int lastRow);
    void itemChanged(int row);
    void itemRemoved(int row);
    // A note for the log: a skipped name, a link not followed, fewer workers.
    void note(const QString& text);
    // The queue has nothing more to do (idle() holds).
    void finished();

private:
    struct Worker {
        QThread* thread = nullptr;
        TransferWorker* worker = nullptr;
        qint64 running = 0; // item id, 0 idle
        // An item handed out ahead, to start the moment the running one
        // ends (its report and the next order would otherwise cross the
        // threads between two files); 0 none.
        qint64 next = 0;
        bool connected = false;
        bool closing = false; // QUIT sent, the thread ending
    };

    qint64 add(QueueItem item);
    qint64 addFolder(QueueItem::Direction direction, const QString& remotePath,
                     const QString& localPath);
    void appendItems(QList<QueueItem>& items, QueueItem* finishedFolder = nullptr);
    // The same for items the store holds already (their ids given).
    void appendStored(QList<QueueItem>& items);
    void schedule();
    Worker* idleWorker();
    // A busy worker on a short file with nothing waiting behind it.
    Worker* aheadWorker();
    Worker* newWorker();
    // Starts the connections up to the limit, each logging in at once.
    void openAhead();
    // What a file item starts from; false when it needs no transfer (skipped).
    bool prepare(qint64 id, qint64& startPoint);
    bool settle(QueueItem& item, Conflict::Policy policy, const Conflict::Target& target,
                bool download, qint64& startPoint);
    void dispatch(Worker& worker, QueueItem& item, qint64 startPoint);
    void onProgress(qint64 id, qint64 bytes);
    void onFinished(const WorkResult& result);
    void expandFolder(QueueItem& folder, const WorkResult& result);
    void retryLater(QueueItem& item, const QString& error);
    void failItem(QueueItem& item, const QString& error);
    void requeue(QueueItem& item);
    void changed(QueueItem& item, bool flushNow);
    void closeWorker(Worker& worker);
    void onThreadEnded(QThread* thread);
    void checkFinished();
    Conflict::Target remoteTarget(const QString& path) const;

    QueueStore& m_Store;
    QString m_Job;
    QueueSession m_Session;
    int m_WorkerLimit = 2;
    bool m_Verify = true;
    bool m_Running = false;
    bool m_Scheduling = false;
    // Idle, the connections closing: finished() once they are gone.
    bool m_Closing = false;
    Conflict::Policy m_Policy = Conflict::Policy::Ask;
    ConflictResolver* m_Resolver = nullptr;

    QList<QueueItem> m_Items;
    QHash<qint64, int> m_Rows;
    std::deque<qint64> m_Ready;
    QList<Worker*> m_Workers;
    // Items waiting out a pause before their next attempt.
    int m_Waiting = 0;
    // Items whose checksum failed once and were fetched again.
    QSet<qint64> m_Refetched;
    // Uploads whose last attempt was cut on the way (not refused): the
    // next one may resume.
    QSet<qint64> m_CutUploads;
    // Attempts an item had when "Retry" gave it a new round.
    QHash<qint64, int> m_RetryBase;
    // Folders met, by real path: a link leading back into the tree is skipped.
    QSet<QString> m_SeenFolders;
    QHash<qint64, int> m_Depth;
    QHash<QString, Conflict::Target> m_RemoteTargets;
    // Items whose conflict is settled (addDecided, or asked once), this run
    // only.
    QHash<qint64, Conflict::Policy> m_Decided;
    // Connections that failed in a row (a dead server): the queue pauses,
    // then gives up, rather than spin.
    int m_ConnectFailures = 0;
    bool m_ConnectPaused = false;
    qint64 m_BytesMoved = 0;
    QTimer m_FlushTimer;
};
