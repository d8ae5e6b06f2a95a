#pragma once

#include <QList>
#include <QWidget>

class QTabBar;
class QTableView;
class QueueModel;

// The queue pane beside the log: tabs Queued / Failed / Done over one
// virtual table. Its context menu comes from the window's table of commands.
class QueuePane : public QWidget {
    Q_OBJECT
public:
    QueuePane(QueueModel* model, QWidget* parent = nullptr);

    QTabBar* tabs() const { return m_Tabs; }
    QTableView* view() const { return m_View; }
    // The ids of the selected items, in row order.
    QList<qint64> selectedIds() const;

signals:
    void contextMenuAsked(const QPoint& globalPos);

private:
    QueueModel* m_Model;
    QTabBar* m_Tabs;
    QTableView* m_View;
};
