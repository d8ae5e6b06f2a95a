#include "FileListModel.h"

#include "Artwork.h"
#include "FtpDate.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// "###,##0": thousands grouped with the locale's separator, also in the C
// locale, which leaves the separator out by default.
QLocale sizeLocale() {
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale;
}

int compareText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive);
}

} // namespace

FileListModel::FileListModel(QObject* parent) : QAbstractTableModel(parent) {
    for (int i = 0; i < 3; ++i)
        m_Icons[i] = Artwork::listIcon(i + 1);
}

QString FileListModel::sizeText(qint64 size) {
    return sizeLocale().toString(size);
}

qint64 FileListModel::parseSize(const QString& text) {
    bool ok = false;
    const qint64 size = sizeLocale().toLongLong(text.trimmed(), &ok);
    return ok ? size : 0;
}

QString FileListModel::shortSizeText(qint64 size) {
    return QLocale().formattedDataSize(size, 1);
}

void FileListModel::setExactSizes(bool exact) {
    if (exact == m_ExactSizes)
        return;
    m_ExactSizes = exact;
    emit headerDataChanged(Qt::Horizontal, FileSize, FileSize);
    if (!m_Rows.empty())
        emit dataChanged(index(0, FileSize), index(rowCount() - 1, FileSize));
}

QString FileListModel::dateText(double value, bool seconds) {
    if (!std::isfinite(value) || value == FtpDate::Zero)
        return {};
    const QLocale locale;
    if (std::trunc(value) == 0)
        return locale.toString(FtpDate::ToTime(value), FtpDate::TimeFormat(locale, seconds));
    return FtpDate::ToText(value, locale, seconds);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_Rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileListModel::text(const Entry& entry, int column) const {
    switch (column) {
    case FileName:
        return entry.name;
    case FileSize:
        if (m_ExactSizes)
            return sizeText(entry.size);
        // A folder's size says nothing; at a glance it is left out.
        return entry.icon == 3 ? QString() : shortSizeText(entry.size);
    case LastWriteDate:
        return dateText(entry.lastWrite, entry.secondsKnown);
    case Permissions:
        return entry.permissions;
    case Owner:
        return entry.owner;
    case Group:
        return entry.group;
    default:
        return {};
    }
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Entry& e = m_Rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return text(e, index.column());
    case Qt::DecorationRole:
        if (index.column() == FileName && e.icon >= 1 && e.icon <= 3)
            return m_Icons[e.icon - 1];
        return {};
    case Qt::ToolTipRole:
        if (index.column() == FileSize && e.icon != 3)
            return tr("%1 bytes").arg(sizeText(e.size));
        return index.column() == FileName ? QVariant(e.name) : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == FileSize)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == FileSize)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const char* const headers[] = {
        QT_TR_NOOP("File Name"),       QT_TR_NOOP("File Size (Bytes)"),
        QT_TR_NOOP("Last Write Date"), QT_TR_NOOP("Permissions"),
        QT_TR_NOOP("Owner"),           QT_TR_NOOP("Group")};
    if (section < 0 || section >= ColumnCount)
        return {};
    if (section == FileSize && !m_ExactSizes)
        return tr("File Size");
    return tr(headers[section]);
}

bool FileListModel::lessThan(const Entry& a, const Entry& b) const {
    int c = 0;
    switch (m_SortColumn) {
    case FileSize:
        c = a.size < b.size ? -1 : (b.size < a.size ? 1 : 0);
        break;
    case LastWriteDate:
        c = a.lastWrite < b.lastWrite ? -1 : (b.lastWrite < a.lastWrite ? 1 : 0);
        break;
    case Permissions:
        c = compareText(a.permissions, b.permissions);
        break;
    case Owner:
        c = compareText(a.owner, b.owner);
        break;
    case Group:
        c = compareText(a.group, b.group);
        break;
    default:
        c = compareText(a.name, b.name);
        break;
    }
    return m_SortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

std::vector<int> FileListModel::sortedOrder() const {
    std::vector<int> order(m_Rows.size());
    std::iota(order.begin(), order.end(), 0);
    const bool ascending = m_SortOrder == Qt::AscendingOrder;
    auto sortBy = [&](auto less) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return ascending ? less(size_t(a), size_t(b)) : less(size_t(b), size_t(a));
        });
    };
    switch (m_SortColumn) {
    case FileSize:
        sortBy([this](size_t a, size_t b) { return m_Rows[a].size < m_Rows[b].size; });
        break;
    case LastWriteDate:
        sortBy([this](size_t a, size_t b) { return m_Rows[a].lastWrite < m_Rows[b].lastWrite; });
        break;
    default: {
        // Texts are folded once, not in every comparison: folding case
        // character by character made sorting 100,000 names take a second.
        std::vector<QString> keys;
        keys.reserve(m_Rows.size());
        QString previous;
        QString previousKey;
        for (const Entry& e : m_Rows) {
            const QString& text = m_SortColumn == Permissions ? e.permissions
                                  : m_SortColumn == Owner     ? e.owner
                                  : m_SortColumn == Group     ? e.group
                                                              : e.name;
            // Owner, group and permissions repeat: equal texts share a key.
            if (keys.empty() || !text.isSharedWith(previous)) {
                previous = text;
                previousKey = text.toCaseFolded();
            }
            keys.push_back(previousKey);
        }
        sortBy([&keys](size_t a, size_t b) {
            return QtPrivate::compareStrings(keys[a], keys[b], Qt::CaseSensitive) < 0;
        });
        break;
    }
    }
    return order;
}

void FileListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    m_SortColumn = column;
    m_SortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<int> permutation = sortedOrder();
    std::vector<Entry> sorted;
    sorted.reserve(m_Rows.size());
    std::vector<int> newRow(m_Rows.size());
    for (size_t i = 0; i < permutation.size(); ++i) {
        sorted.push_back(std::move(m_Rows[size_t(permutation[i])]));
        newRow[size_t(permutation[i])] = int(i);
    }
    m_Rows.swap(sorted);
    // Selection and current item follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after << this->index(newRow[size_t(index.row())], index.column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool FileListModel::add(const Entry& entry) {
    if (m_Names.contains(entry.name))
        return false;
    const auto at =
        std::upper_bound(m_Rows.begin(), m_Rows.end(), entry,
                         [this](const Entry& a, const Entry& b) { return lessThan(a, b); });
    const int row = int(at - m_Rows.begin());
    beginInsertRows({}, row, row);
    m_Rows.insert(at, entry);
    m_Names.insert(entry.name);
    endInsertRows();
    return true;
}

void FileListModel::reset(std::vector<Entry>&& entries) {
    beginResetModel();
    m_Rows.clear();
    m_Names.clear();
    m_Names.reserve(qsizetype(entries.size()));
    m_Rows.reserve(entries.size());
    for (Entry& e : entries) {
        if (m_Names.contains(e.name))
            continue;
        m_Names.insert(e.name);
        m_Rows.push_back(std::move(e));
    }
    const std::vector<int> permutation = sortedOrder();
    std::vector<Entry> sorted;
    sorted.reserve(m_Rows.size());
    for (int row : permutation)
        sorted.push_back(std::move(m_Rows[size_t(row)]));
    m_Rows.swap(sorted);
    endResetModel();
}

void FileListModel::clear() {
    if (m_Rows.empty())
        return;
    beginResetModel();
    // Swapped out, not cleared: a big folder's memory is given back.
    std::vector<Entry>().swap(m_Rows);
    m_Names = QSet<QString>();
    endResetModel();
}

int FileListModel::rowOf(const QString& name) const {
    if (!m_Names.contains(name))
        return -1;
    for (size_t row = 0; row < m_Rows.size(); ++row) {
        if (m_Rows[row].name == name)
            return int(row);
    }
    return -1;
}
