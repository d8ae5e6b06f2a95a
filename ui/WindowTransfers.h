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

private:
    Answer resolve(const QueueItem& item, const Conflict::Target& target) override;
    void startQueue();
    void beginBatch();
    // An item removed while it ran leaves the queue once it has stopped.
    void removeStopped(int row);

    Prompts& m_Prompts;
    QWidget* m_Window;
    std::unique_ptr<QueueStore> m_Store;
    std::unique_ptr<TransferQueue> m_Queue;
    QueueModel* m_Model;
    QueueSession m_Session;
    QString m_Job;
    QStringList m_ResumeJobs;
    QSet<qint64> m_Removed;
    QString m_OpenError;
};
