#pragma once

#include "QueueItem.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The queue's items on disk, in SQLite (Qt SQL), so that a crash or a kill
// loses neither a finished item nor the place of an unfinished one. Items
// belong to a job: the window's queue is one, each krellin-cli command line
// another, so a run can find what an earlier run of it left.
//
// Changes are collected and written together by flush(), in one
// transaction: the queue flushes when an item changes state and every so
// often for progress, never once per block.
//
// Used from one thread only (Qt SQL connections belong to their thread).
class QueueStore {
public:
    // The file in the user's data folder (QStandardPaths::AppDataLocation).
    static QString defaultPath();

    explicit QueueStore(QString path = defaultPath());
    ~QueueStore();
    QueueStore(const QueueStore&) = delete;
    QueueStore& operator=(const QueueStore&) = delete;

    // Opens (or creates) the file; false with *error set when it cannot.
    bool open(QString* error = nullptr);
    bool isOpen() const { return m_Open; }
    QString path() const { return m_Path; }

    // Every item of the job, in the order they were added.
    QList<QueueItem> load(const QString& job);
    // Adds the items (their ids set here) in one transaction; also flushes.
    bool insert(const QString& job, QList<QueueItem>& items);
    // Remembers the item's new state for the next flush.
    void update(const QueueItem& item);
    bool flush();
    bool hasPending() const { return !m_Pending.isEmpty(); }
    // Forgets the job and its items.
    bool removeJob(const QString& job);
    bool removeItem(qint64 id);

    // The answer given "for all in this queue" to a target that exists
    // (Conflict::Policy as a number), -1 when none.
    int jobPolicy(const QString& job);
    void setJobPolicy(const QString& job, int policy);

    // The jobs with unfinished items (for "resume the interrupted transfers?").
    QStringList interruptedJobs();

    QString lastError() const { return m_Error; }

private:
    bool exec(const QString& statement);

    QString m_Path;
    QString m_ConnectionName;
    bool m_Open = false;
    QString m_Error;
    QHash<qint64, QueueItem> m_Pending;
};
