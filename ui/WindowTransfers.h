#pragma once

#include "Conflict.h"
#include "QueueItem.h"
#include "TransferWorker.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>

class CFtpConnection;
class Prompts;
class QueueModel;
class QueueStore;
class TransferQueue;
class QWidget;

// The window's side of the transfer queue: one queue per server the window
// is connected to (a job of the store named after the server and user),
// conflicts asked through the window's Prompts, the settings, and the offer
// to resume what an earlier run left unfinished. The window's browsing
// session is not used: the queue's workers log in on their own.
class WindowTransfers : public QObject, private ConflictResolver {
    Q_OBJECT
public:
    static constexpr const char* SettingsSection = "Transfers";
    static constexpr int DefaultWorkers = 2;

    // A remote entry of the list, to download.
    struct RemoteEntry {
        QString path; // absolute on the server
        bool folder = false;
        qint64 size = -1;
        double time = 0;
    };

    WindowTransfers(Prompts& prompts, QWidget* window, QString storePath);
    ~WindowTransfers() override;

    // The server the window connected to: its queue is taken up (loaded from
    // the store), and started when the user chose "Resume all" for it.
    void setSession(const QueueSession& session);
    TransferQueue* queue() const { return m_Queue.get(); }
    QueueModel* model() const { return m_Model; }
    QueueStore& store() const { return *m_Store; }
    // Why the queue's file could not be opened (it is kept in memory then).
    QString openError() const { return m_OpenError; }

    // Each entry into localFolder (a folder as a folder of that name).
    void download(const QList<RemoteEntry>& entries, const QString& localFolder);
    // Local files and folders into remoteFolder, whose entries are known.
    void upload(const QStringList& localPaths, const QString& remoteFolder,
                const QList<FolderEntry>& remoteEntries);

    // One file the user chose alone, its question answered in the window's
    // own words: the queue moves it as `decided` and asks nothing more, and
    // the window follows it (fileProgress, fileEnded).
    void downloadFile(const RemoteEntry& entry, const QString& localPath, Conflict::Policy decided);
    void uploadFile(const QString& localPath, const QString& remoteFolder,
                    const QList<FolderEntry>& remoteEntries, Conflict::Policy decided);
    // Stops the files the window follows; false when none is under way.
    bool stopFiles();
    // A followed file is under way, or the window has yet to hear its end.
    bool followsFiles() const { return !m_Files.isEmpty() || m_EndsPending > 0; }

    // Asks about every server whose items an earlier run left unfinished:
    // "Resume all" keeps them for when the window connects there again
    // (they need the password), "Discard" forgets them.
    void offerInterrupted();
    QStringList resumeJobs() const { return m_ResumeJobs; }

    // The pane's commands on items, by id.
    void stop(const QList<qint64>& ids);
    void retry(const QList<qint64>& ids);
    void remove(const QList<qint64>& ids);
    QString containingFolder(qint64 id) const;

    // "Queue: 42 % of 12 files, 1.2 MB/s, 0:35 left"; empty when idle.
    QString totalsText() const;

    // The settings dialog (workers, verification) through the prompts.
    void showSettings();
    int workerCount() const;
    bool verify() const;
    static QString jobName(const QueueSession& session);
    // The browsing session's log-in as the workers repeat it: its server,
    // user, security and the certificate the user accepted.
    static QueueSession sessionOf(const CFtpConnection& session, bool ascii);

signals:
    void note(const QString& text);
    // Something arrived in a remote folder: the window may list it again.
    void finished();
    // A followed file moved on (bytesDone), or ended: done, skipped or
    // failed for good (after the queue's retries). Ends come queued, never
    // inside the queue's own signal.
    void fileProgress(const QueueItem& item);
    void fileEnded(const QueueItem& item);

private:
    Answer resolve(const QueueItem& item, const Conflict::Target& target) override;
    void startQueue();
    void beginBatch();
    // An item removed while it ran leaves the queue once it has stopped.
    void removeStopped(int row);
    void follow(int row);
    void queueFinished();

    Prompts& m_Prompts;
    QWidget* m_Window;
    std::unique_ptr<QueueStore> m_Store;
    std::unique_ptr<TransferQueue> m_Queue;
    QueueModel* m_Model;
    QueueSession m_Session;
    QString m_Job;
    QStringList m_ResumeJobs;
    QSet<qint64> m_Removed;
    // Single files the window follows.
    QSet<qint64> m_Files;
    int m_EndsPending = 0;
    // Something other than a followed file arrived since the queue was last
    // through: the window lists the folder again.
    bool m_Arrived = false;
    QString m_OpenError;
};
