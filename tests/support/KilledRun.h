#pragma once

#include "QueueStore.h"

#include <QStringList>

// The files a killed run had finished, as its queue store says: the done
// items of its one interrupted job. Empty when the store does not open or
// does not hold exactly one interrupted job.
inline QStringList finishedBeforeKill(const QString& storePath) {
    QueueStore store(storePath);
    if (!store.open())
        return {};
    const QStringList jobs = store.interruptedJobs();
    if (jobs.size() != 1)
        return {};
    QStringList finished;
    for (const QueueItem& item : store.load(jobs.first())) {
        if (!item.folder && item.state == QueueItem::State::Done)
            finished << item.remotePath;
    }
    return finished;
}
