#include "QueueModel.h"

#include "TransferQueue.h"

#include <QDir>
#include <QLocale>

QueueModel::QueueModel(QObject* parent) : QAbstractTableModel(parent) {
    m_Timer.setSingleShot(true);
    m_Timer.setInterval(RefreshMs);
    connect(&m_Timer, &QTimer::timeout, this, &QueueModel::refresh);
}

void QueueModel::setQueue(TransferQueue* queue, const QSet<qint64>* removed) {
    beginResetModel();
    if (m_Queue)
        disconnect(m_Queue, nullptr, this, nullptr);
    m_Queue = queue;
    m_Removed = removed;
    m_Rows = filteredRows();
    m_LastBytes.clear();
    m_Speed.clear();
    m_TotalSpeed = 0;
    endResetModel();
    if (queue) {
        connect(queue, &TransferQueue::itemsAdded, this, &QueueModel::markStale);
        connect(queue, &TransferQueue::itemChanged, this, &QueueModel::markStale);
        // Rows after a removed item move up: the tab is counted again at once.
        connect(queue, &TransferQueue::itemRemoved, this, [this] {
            beginResetModel();
            m_Rows = filteredRows();
            endResetModel();
        });
        connect(queue, &QObject::destroyed, this, [this] { setQueue(nullptr, nullptr); });
    }
    emit refreshed();
}

void QueueModel::setTab(Tab tab) {
    if (tab == m_Tab)
        return;
    beginResetModel();
    m_Tab = tab;
    m_Rows = filteredRows();
    endResetModel();
}

QueueModel::Tab QueueModel::tabOf(QueueItem::State state) {
    switch (state) {
    case QueueItem::State::Failed:
        return Failed;
    case QueueItem::State::Done:
    case QueueItem::State::Skipped:
        return Done;
    default:
        return Queued;
    }
}

void QueueModel::markStale() {
    if (!m_Timer.isActive())
        m_Timer.start();
}

QList<int> QueueModel::filteredRows() const {
    QList<int> rows;
    if (!m_Queue)
        return rows;
    const int count = m_Queue->count();
    for (int row = 0; row < count; ++row) {
        const QueueItem& item = m_Queue->at(row);
        if (tabOf(item.state) == m_Tab && !(m_Removed && m_Removed->contains(item.id)))
            rows.append(row);
    }
    return rows;
}

void QueueModel::measureSpeeds() {
    const qint64 elapsed = m_Clock.isValid() ? m_Clock.restart() : 0;
    if (!m_Clock.isValid())
        m_Clock.start();
    QHash<qint64, qint64> bytes;
    m_Speed.clear();
    m_TotalSpeed = 0;
    for (int row = 0; m_Queue && row < m_Queue->count(); ++row) {
        const QueueItem& item = m_Queue->at(row);
        if (item.state != QueueItem::State::Active)
            continue;
        bytes.insert(item.id, item.bytesDone);
        const auto last = m_LastBytes.constFind(item.id);
        if (elapsed > 0 && last != m_LastBytes.constEnd() && item.bytesDone >= *last) {
            const qint64 speed = (item.bytesDone - *last) * 1000 / elapsed;
            m_Speed.insert(item.id, speed);
            m_TotalSpeed += speed;
        }
    }
    m_LastBytes = bytes;
}

void QueueModel::refresh() {
    ++m_Refreshes;
    measureSpeeds();
    const QList<int> rows = filteredRows();
    if (rows != m_Rows) {
        // Rows leave for another tab as items finish: a layout change keeps
        // the user's selection on the items that stay.
        emit layoutAboutToBeChanged();
        const QModelIndexList old = persistentIndexList();
        QList<qint64> ids;
        for (const QModelIndex& index : old)
            ids << (index.row() < m_Rows.size() ? m_Queue->at(m_Rows[index.row()]).id : 0);
        m_Rows = rows;
        QModelIndexList now;
        for (qsizetype i = 0; i < old.size(); ++i) {
            const int row = m_Rows.indexOf(m_Queue->rowOf(ids[i]));
            now << (row >= 0 ? index(row, old[i].column()) : QModelIndex());
        }
        changePersistentIndexList(old, now);
        emit layoutChanged();
    } else if (!m_Rows.isEmpty()) {
        // The view repaints only the rows in sight.
        emit dataChanged(index(0, 0), index(int(m_Rows.size()) - 1, ColumnCount - 1));
    }
    emit refreshed();
}

const QueueItem* QueueModel::item(int row) const {
    if (!m_Queue || row < 0 || row >= m_Rows.size())
        return nullptr;
    return &m_Queue->at(m_Rows[row]);
}

int QueueModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_Rows.size());
}

int QueueModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString QueueModel::stateText(const QueueItem& item) {
    switch (item.state) {
    case QueueItem::State::Queued:
        return item.attempts > 0 ? tr("Waiting to retry") : tr("Queued");
    case QueueItem::State::Active:
        return tr("Active");
    case QueueItem::State::Done:
        return item.verifiedWith.isEmpty() ? tr("Done")
                                           : tr("Done, verified (%1)").arg(item.verifiedWith);
    case QueueItem::State::Failed:
        return tr("Failed: %1").arg(item.lastError);
    case QueueItem::State::Skipped:
        // The queue's reason says "Skipped" itself.
        return item.lastError.isEmpty() ? tr("Skipped") : item.lastError;
    }
    return {};
}

QVariant QueueModel::data(const QModelIndex& index, int role) const {
    const QueueItem* it = item(index.row());
    if (!it)
        return {};
    if (role == IdRole)
        return it->id;
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Size || index.column() == Progress || index.column() == Speed))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const QLocale locale;
    switch (index.column()) {
    case Direction:
        return it->direction == QueueItem::Direction::Download ? tr("Download") : tr("Upload");
    case LocalPath:
        return QDir::toNativeSeparators(it->localPath);
    case RemotePath:
        return it->remotePath;
    case Size:
        return it->folder || it->size < 0 ? QString() : locale.formattedDataSize(it->size);
    case Progress:
        if (it->folder)
            return it->finished() ? tr("Listed") : QString();
        if (it->state == QueueItem::State::Done)
            return tr("%1 %").arg(100);
        return it->size > 0 ? tr("%1 %").arg(it->bytesDone * 100 / it->size) : QString();
    case Speed: {
        const qint64 bytes = m_Speed.value(it->id);
        return bytes > 0 ? tr("%1/s").arg(locale.formattedDataSize(bytes)) : QString();
    }
    case State:
        return stateText(*it);
    default:
        return {};
    }
}

QVariant QueueModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Direction:
        return tr("Direction");
    case LocalPath:
        return tr("Local path");
    case RemotePath:
        return tr("Remote path");
    case Size:
        return tr("Size");
    case Progress:
        return tr("Progress");
    case Speed:
        return tr("Speed");
    case State:
        return tr("State");
    default:
        return {};
    }
}
