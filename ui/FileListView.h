#pragma once

#include "FileListModel.h"

#include <QList>
#include <QStringList>
#include <QWidget>
#include <vector>

class QListView;
class QStackedWidget;
class QTreeView;

// The remote file list: one model shown by a list view (large icons, small
// icons, list) or a tree view (details with six columns), switched by the
// view mode. Items are found by key ("F" + name); the list is always sorted,
// by the column last clicked. Several items may be selected at once.
class FileListView : public QWidget {
    Q_OBJECT
public:
    enum ViewMode { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };
    enum Column {
        FileName = FileListModel::FileName,
        FileSize = FileListModel::FileSize,
        LastWriteDate = FileListModel::LastWriteDate,
        Permissions = FileListModel::Permissions,
        Owner = FileListModel::Owner,
        Group = FileListModel::Group,
        ColumnCount = FileListModel::ColumnCount
    };
    using Item = FileListModel::Entry;

    explicit FileListView(QWidget* parent = nullptr);

    // False, and nothing added, when an item with the same name exists.
    bool addItem(const Item& item);
    // Replaces the whole list in one step (a folder's listing).
    void setItems(std::vector<Item>&& items);
    void clear();
    int count() const;
    bool containsKey(const QString& key) const;

    // Items in the order shown (row 0 is the top).
    QString text(int row, int column = FileName) const;
    int icon(int row) const;
    QString key(int row) const;
    qint64 size(int row) const;

    // The selected item the user acted on last (the current one when it is
    // selected), or -1.
    int selectedRow() const;
    // Every selected row, top to bottom.
    QList<int> selectedRows() const;
    // Selects the item of a key; with add, the selection keeps the others.
    bool selectKey(const QString& key, bool add = false);
    int rowOfName(const QString& name) const { return m_Model->rowOf(name); }

    int viewMode() const { return m_ViewMode; }
    void setViewMode(int mode);

    bool exactSizes() const { return m_Model->exactSizes(); }
    void setExactSizes(bool exact) { m_Model->setExactSizes(exact); }

    int sortKey() const { return m_Model->sortColumn(); }
    Qt::SortOrder sortOrder() const { return m_Model->sortOrder(); }

    // Column widths, order and the sort, to keep between runs; a state that
    // does not read back leaves the list as it is.
    QByteArray saveState() const;
    bool restoreState(const QByteArray& state);

    // Header click: sorts by the column; the same column again reverses.
    void ColumnClick(int column);

    FileListModel* model() const { return m_Model; }
    QTreeView* detailsView() const { return m_Details; }
    QListView* iconView() const { return m_Icons; }
    QWidget* currentView() const;

signals:
    void viewModeChanged(int mode);
    void itemDoubleClicked();
    void itemClicked();

private:
    FileListModel* m_Model;
    QStackedWidget* m_Stack;
    QListView* m_Icons;
    QTreeView* m_Details;
    int m_ViewMode = Details;
};
