#pragma once

#include "QueueItem.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <deque>
#include <memory>

class CFtpConnection;

// One entry of a folder a worker listed: a remote listing's (download) or
// the local folder's (upload).
struct FolderEntry {
    QString name;
    bool isDirectory = false;
    bool isLink = false;
    // Links: the target as listed (remote) or the real path (local).
    QString target;
    // The server's "unique" fact (MLSD), the same for every path to it.
    QString unique;
    qint64 size = -1;
    double time = 0;
};

// What the queue asks of a worker: one item, and where to start.
struct WorkOrder {
    QueueItem item;
    qint64 startPoint = 0;
    bool verify = true;
    // An upload cut short before: the server is asked how much of it it
    // holds (SIZE), and the upload goes on from there where it can.
    bool resumeUpload = false;
};

struct WorkResult {
    enum class Outcome {
        Done,
        // Failed for good (a refusal such as 550): no retry helps.
        Failed,
        // Failed on the way (a time-out, a lost connection, a 4xx): worth a retry.
        Retry,
        // The server would not take another connection (421, or a refused
        // log-in): fewer workers, not a failed item.
        Refused,
        // The server could not be reached at all.
        Unreachable,
        Stopped,
        // The file arrived but the server's checksum says otherwise; the
        // file was kept under a name that says so.
        Mismatch,
        // Handed out ahead and never begun (the queue stopped, the
        // connection failed or is closing): back to the queue as it was.
        Returned,
    };
    qint64 id = 0;
    Outcome outcome = Outcome::Failed;
    QString error;
    // The engine's error number and the server's last reply, when it failed.
    qint32 errorCode = 0;
    QString serverReply;
    qint64 bytes = 0;
    // Where the transfer started (a resumed upload: what the server held).
    qint64 startPoint = 0;
    QString verifiedWith;
    // Folders: the source's entries, and (upload) what the remote folder held.
    QList<FolderEntry> entries;
    QList<FolderEntry> targetEntries;
    // Folders: where the folder really is (the local canonical path; the
    // server's PWD), so that a link leading back is seen.
    QString realPath;
    // The worker stays logged in for the next order.
    bool connected = false;
};

Q_DECLARE_METATYPE(WorkOrder)
Q_DECLARE_METATYPE(WorkResult)

// A transfer connection of the queue: one engine, made inside the worker's
// own thread and used only there. The queue talks to it by queued calls
// (work, stop, close) and hears from it by queued signals; only values
// cross between the threads.
class TransferWorker : public QObject {
    Q_OBJECT
public:
    explicit TransferWorker(QueueSession session);
    ~TransferWorker() override;

    // Run in the worker's thread (QMetaObject::invokeMethod, queued). The
    // queue may hand out an order while another runs: it waits its turn.
    void work(const WorkOrder& order);
    // Connects and logs in ahead of the first order, so that the queue's
    // connections open side by side; a failure here is met again, and
    // reported, by the first order.
    void open();
    // Stops the item with this id if it is the one running: the queued call
    // runs inside the engine's wait, which ends with "cancelled".
    // One still waiting its turn ends at once.
    void stop(qint64 id);
    // Every order still waiting goes back to the queue (Returned).
    void returnWaiting();
    // QUIT and the engine away; the thread may end after this.
    void close();

signals:
    void progress(qint64 id, qint64 bytes);
    void finished(const WorkResult& result);
    // open() ended: logged in, or not.
    void opened(bool connected);

private:
    // The orders waiting, one after another.
    void runOrders();
    WorkResult::Outcome run(const WorkOrder& order);
    // A result for an order that never ran.
    void report(qint64 id, WorkResult::Outcome outcome, const QString& error = {});
    bool ensureConnected(WorkResult& result);
    void transfer(const WorkOrder& order, WorkResult& result);
    // The server refused to start the transfer at startPoint.
    bool restartRefused(qint64 startPoint) const;
    // What a cut upload goes on from: the server's bytes of it, or 0.
    qint64 uploadResumePoint(const QueueItem& item);
    void listRemoteFolder(const WorkOrder& order, WorkResult& result);
    void makeRemoteFolder(const WorkOrder& order, WorkResult& result);
    bool listRemote(const QString& path, QList<FolderEntry>& entries, WorkResult& result);
    void verify(const QueueItem& item, WorkResult& result);
    // The engine's last failure into the result, as Retry or Failed.
    void failFromEngine(WorkResult& result, const QString& what);
    void reportProgress(qint64 bytes);

    QueueSession m_Session;
    std::unique_ptr<CFtpConnection> m_Engine;
    qint64 m_Running = 0;
    // Inside open(): the engine is in use, as for a running item.
    bool m_Opening = false;
    // Orders not begun: come during open()'s log-in or while another ran.
    std::deque<WorkOrder> m_Orders;
    bool m_Stopped = false;
    bool m_CloseAsked = false;
    QElapsedTimer m_ProgressClock;
    // The last command the engine sent, to tell a refused REST.
    QString m_LastCommand;
};
