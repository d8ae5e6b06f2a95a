#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QSet>
#include <QString>
#include <vector>

// The rows of the remote file list, kept in the order shown. Built for big
// folders: a whole listing goes in with one reset, names are checked for
// duplicates through a hash, sorting permutes a vector of plain values, and
// the size and date texts are made only for the rows a view asks about.
class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileName = 0, FileSize, LastWriteDate, Permissions, Owner, Group, ColumnCount };

    struct Entry {
        QString name;
        int icon = 2; // 1 text page, 2 binary page, 3 folder
        qint64 size = 0;
        double lastWrite = 0;
        bool secondsKnown = false; // the listing gave seconds
        QString permissions;
        QString owner;
        QString group;
    };

    explicit FileListModel(QObject* parent = nullptr);

    // "###,##0" in the locale's grouping, and the date with its time of day
    // unless midnight; the size text reads back with parseSize.
    static QString sizeText(qint64 size);
    static qint64 parseSize(const QString& text);
    // For reading at a glance: "1.5 MiB", "512 bytes".
    static QString shortSizeText(qint64 size);
    static QString dateText(double value, bool seconds = false);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    // One entry in its sorted place; false when the name is already listed.
    bool add(const Entry& entry);
    // Replaces every row; of entries sharing a name the first one stays.
    void reset(std::vector<Entry>&& entries);
    void clear();

    const Entry& entry(int row) const { return m_Rows.at(size_t(row)); }
    bool contains(const QString& name) const { return m_Names.contains(name); }
    // Row of a name in the order shown, or -1.
    int rowOf(const QString& name) const;

    // The size column in exact bytes ("File Size (Bytes)") or at a glance
    // with the exact bytes in its tooltip.
    bool exactSizes() const { return m_ExactSizes; }
    void setExactSizes(bool exact);

    int sortColumn() const { return m_SortColumn; }
    Qt::SortOrder sortOrder() const { return m_SortOrder; }

private:
    bool lessThan(const Entry& a, const Entry& b) const;
    // Rows in the order of the sort column (stable).
    std::vector<int> sortedOrder() const;
    QString text(const Entry& entry, int column) const;

    std::vector<Entry> m_Rows;
    QSet<QString> m_Names;
    int m_SortColumn = FileName;
    Qt::SortOrder m_SortOrder = Qt::AscendingOrder;
    bool m_ExactSizes = false;
    QIcon m_Icons[3];
};
