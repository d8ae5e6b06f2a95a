#pragma once

#include "QueueItem.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>

class TransferQueue;

// The rows of one tab of the queue pane (Queued, Failed or Done) over a
// TransferQueue, read by row as the view asks: nothing is copied per item,
// so 100,000 items cost one int each. The queue's signals only mark the
// model stale; it catches up at most RefreshMs apart, so a busy queue never
// floods the window with repaints.
class QueueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Tab { Queued = 0, Failed = 1, Done = 2 };
    enum Column { Direction, LocalPath, RemotePath, Size, Progress, Speed, State, ColumnCount };
    static constexpr int RefreshMs = 300;
    // The item's id, for the pane's commands.
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit QueueModel(QObject* parent = nullptr);

    // The queue shown (null: none); removed ids are left out.
    void setQueue(TransferQueue* queue, const QSet<qint64>* removed);
    void setTab(Tab tab);
    Tab tab() const { return m_Tab; }
    static Tab tabOf(QueueItem::State state);
    // Catches up with the queue now (tests; the timer does it otherwise).
    void refresh();
    // The item's bytes per second over the last refreshes; 0 when idle.
    qint64 speed(qint64 id) const { return m_Speed.value(id); }
    qint64 totalSpeed() const { return m_TotalSpeed; }
    int refreshes() const { return m_Refreshes; }
    const QueueItem* item(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    static QString stateText(const QueueItem& item);

signals:
    // After each catch-up: the status bar's totals follow.
    void refreshed();

private:
    void markStale();
    QList<int> filteredRows() const;
    void measureSpeeds();

    TransferQueue* m_Queue = nullptr;
    const QSet<qint64>* m_Removed = nullptr;
    Tab m_Tab = Queued;
    QList<int> m_Rows; // the queue's rows in this tab
    QTimer m_Timer;
    // Bytes of the active items at the last measurement.
    QHash<qint64, qint64> m_LastBytes;
    QHash<qint64, qint64> m_Speed;
    qint64 m_TotalSpeed = 0;
    QElapsedTimer m_Clock;
    int m_Refreshes = 0;
};
