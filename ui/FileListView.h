#pragma once

#include <QStringList>
#include <QWidget>

class QListView;
class QModelIndex;
class QSortFilterProxyModel;
class QStackedWidget;
class QStandardItemModel;
class QTreeView;

// The remote file list: one model shown by a list view (large icons, small
// icons, list) or a tree view (details with six columns), switched by the
// view mode. Items are found by key; a header click sorts by that column.
class FileListView : public QWidget {
    Q_OBJECT
public:
    enum ViewMode { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };
    enum Column { FileName = 0, FileSize, LastWriteDate, Permissions, Owner, Group, ColumnCount };

    struct Item {
        QString key;
        QString text;
        int icon = 2;         // 1 text page, 2 binary page, 3 folder
        QStringList subItems; // the texts of columns 2 to 6
        qint64 size = 0;      // what column 2 sorts by
        double lastWrite = 0; // what column 3 sorts by
    };

    explicit FileListView(QWidget* parent = nullptr);

    // False, and nothing added, when an item with the same key exists.
    bool addItem(const Item& item);
    void clear();
    int count() const;
    bool containsKey(const QString& key) const;

    // Items in the order shown (row 0 is the top).
    QString text(int row, int column = FileName) const;
    int icon(int row) const;
    QString key(int row) const;

    // The selected item's row in the order shown, or -1.
    int selectedRow() const;
    bool selectKey(const QString& key);

    int viewMode() const { return m_ViewMode; }
    void setViewMode(int mode);

    int sortKey() const { return m_SortKey; }
    Qt::SortOrder sortOrder() const { return m_SortOrder; }

    // Header click: sorts by the column; the same column again reverses.
    void ColumnClick(int column);

    QTreeView* detailsView() const { return m_Details; }
    QListView* iconView() const { return m_Icons; }
    QWidget* currentView() const;

signals:
    void viewModeChanged(int mode);
    void itemDoubleClicked();
    void itemClicked();

private:
    QStandardItemModel* m_Model;
    QSortFilterProxyModel* m_Proxy;
    QStackedWidget* m_Stack;
    QListView* m_Icons;
    QTreeView* m_Details;
    int m_ViewMode = Details;
    int m_SortKey = FileName;
    Qt::SortOrder m_SortOrder = Qt::AscendingOrder;
};
