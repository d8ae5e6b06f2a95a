#include "FileListView.h"

#include "Artwork.h"

#include <QHeaderView>
#include <QListView>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int KeyRole = Qt::UserRole + 1;
constexpr int IconRole = Qt::UserRole + 2;
constexpr int SortRole = Qt::UserRole + 3;

} // namespace

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), m_Model(new QStandardItemModel(0, ColumnCount, this)),
      m_Proxy(new QSortFilterProxyModel(this)), m_Stack(new QStackedWidget(this)),
      m_Icons(new QListView), m_Details(new QTreeView) {
    m_Model->setHorizontalHeaderLabels({tr("File Name"), tr("File Size (Bytes)"),
                                        tr("Last Write Date"), tr("Permissions"), tr("Owner"),
                                        tr("Group")});
    m_Model->horizontalHeaderItem(FileSize)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_Proxy->setSourceModel(m_Model);
    m_Proxy->setSortRole(SortRole);
    m_Proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_Proxy->setSortLocaleAware(false); // the same order on every machine
    m_Proxy->setDynamicSortFilter(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_Stack);

    m_Icons->setModel(m_Proxy);
    m_Icons->setModelColumn(FileName);
    m_Icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Icons->setResizeMode(QListView::Adjust);
    m_Icons->setUniformItemSizes(true);
    m_Icons->setWordWrap(true);

    m_Details->setModel(m_Proxy);
    m_Details->setSelectionModel(m_Icons->selectionModel());
    m_Details->setRootIsDecorated(false);
    m_Details->setItemsExpandable(false);
    m_Details->setUniformRowHeights(true);
    m_Details->setAllColumnsShowFocus(true);
    m_Details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Details->setIconSize(QSize(16, 16));
    QHeaderView* header = m_Details->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    header->setDefaultSectionSize(96); // 1440 twips at 96 dpi
    // Wider where the desktop's font needs it to show a whole header text.
    for (int column = 0; column < ColumnCount; ++column)
        header->resizeSection(column, std::max(96, header->sectionSizeHint(column) + 8));
    // Names are the longest texts of a listing.
    header->resizeSection(FileName, 2 * header->sectionSize(FileName));
    header->setSortIndicator(m_SortKey, m_SortOrder);
    connect(header, &QHeaderView::sectionClicked, this, &FileListView::ColumnClick);

    m_Stack->addWidget(m_Icons);
    m_Stack->addWidget(m_Details);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_Icons), static_cast<QAbstractItemView*>(m_Details)}) {
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex&) { emit itemDoubleClicked(); });
        connect(view, &QAbstractItemView::clicked, this,
                [this](const QModelIndex&) { emit itemClicked(); });
    }
    m_Proxy->sort(m_SortKey, m_SortOrder);
    setViewMode(Details);
}

bool FileListView::addItem(const Item& item) {
    if (containsKey(item.key))
        return false;
    QList<QStandardItem*> row;
    auto* name = new QStandardItem(Artwork::listIcon(item.icon), item.text);
    name->setData(item.key, KeyRole);
    name->setData(item.icon, IconRole);
    name->setData(item.text, SortRole);
    name->setToolTip(item.text);
    row << name;
    for (int column = FileSize; column < ColumnCount; ++column) {
        const QString text = item.subItems.value(column - 1);
        auto* cell = new QStandardItem(text);
        if (column == FileSize) {
            cell->setData(item.size, SortRole);
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        } else if (column == LastWriteDate) {
            cell->setData(item.lastWrite, SortRole);
        } else {
            cell->setData(text, SortRole);
        }
        row << cell;
    }
    m_Model->appendRow(row);
    return true;
}

void FileListView::clear() {
    m_Model->removeRows(0, m_Model->rowCount());
}

int FileListView::count() const {
    return m_Model->rowCount();
}

bool FileListView::containsKey(const QString& key) const {
    const QModelIndexList found = m_Model->match(m_Model->index(0, FileName), KeyRole, key, 1,
                                                 Qt::MatchExactly | Qt::MatchCaseSensitive);
    return !found.isEmpty();
}

QString FileListView::text(int row, int column) const {
    return m_Proxy->index(row, column).data(Qt::DisplayRole).toString();
}

int FileListView::icon(int row) const {
    return m_Proxy->index(row, FileName).data(IconRole).toInt();
}

QString FileListView::key(int row) const {
    return m_Proxy->index(row, FileName).data(KeyRole).toString();
}

int FileListView::selectedRow() const {
    const QModelIndexList rows = m_Icons->selectionModel()->selectedRows(FileName);
    if (rows.isEmpty())
        return -1;
    return rows.first().row();
}

bool FileListView::selectKey(const QString& key) {
    const QModelIndexList found = m_Proxy->match(m_Proxy->index(0, FileName), KeyRole, key, 1,
                                                 Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found.isEmpty())
        return false;
    m_Icons->selectionModel()->setCurrentIndex(found.first(), QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows);
    return true;
}

void FileListView::setViewMode(int mode) {
    if (mode < LargeIcons || mode > Details)
        return;
    m_ViewMode = mode;
    switch (mode) {
    case LargeIcons:
        m_Icons->setViewMode(QListView::IconMode);
        m_Icons->setFlow(QListView::LeftToRight);
        m_Icons->setIconSize(QSize(32, 32));
        m_Icons->setGridSize(QSize(88, 64));
        m_Icons->setMovement(QListView::Static);
        break;
    case SmallIcons:
        m_Icons->setViewMode(QListView::ListMode);
        m_Icons->setFlow(QListView::LeftToRight);
        m_Icons->setWrapping(true);
        m_Icons->setIconSize(QSize(16, 16));
        m_Icons->setGridSize(QSize(150, 20));
        break;
    case List:
        m_Icons->setViewMode(QListView::ListMode);
        m_Icons->setFlow(QListView::TopToBottom);
        m_Icons->setWrapping(true);
        m_Icons->setIconSize(QSize(16, 16));
        m_Icons->setGridSize(QSize(150, 20));
        break;
    default:
        break;
    }
    m_Stack->setCurrentWidget(mode == Details ? static_cast<QWidget*>(m_Details)
                                              : static_cast<QWidget*>(m_Icons));
    emit viewModeChanged(mode);
}

void FileListView::ColumnClick(int column) {
    if (column < 0 || column >= ColumnCount)
        return;
    if (column == m_SortKey) {
        m_SortOrder = m_SortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        m_SortKey = column;
        m_SortOrder = Qt::AscendingOrder;
    }
    m_Details->header()->setSortIndicator(m_SortKey, m_SortOrder);
    m_Proxy->sort(m_SortKey, m_SortOrder);
}

QWidget* FileListView::currentView() const {
    return m_Stack->currentWidget();
}
