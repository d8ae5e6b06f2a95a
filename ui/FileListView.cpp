#include "FileListView.h"

#include "FtpDate.h"

#include <QHeaderView>
#include <QListView>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Texts wider than a cell are cut in the middle, where names differ least.
constexpr int SmallCellWidth = 240;
constexpr int LargeCellWidth = 124;
// Big folders are laid out in batches so the window keeps drawing.
constexpr int LayoutBatch = 2000;

} // namespace

FileListView::FileListView(QWidget* parent)
    : QWidget(parent), m_Model(new FileListModel(this)), m_Stack(new QStackedWidget(this)),
      m_Icons(new QListView), m_Details(new QTreeView) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_Stack);

    m_Icons->setModel(m_Model);
    m_Icons->setModelColumn(FileName);
    m_Icons->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Icons->setResizeMode(QListView::Adjust);
    m_Icons->setUniformItemSizes(true);
    m_Icons->setLayoutMode(QListView::Batched);
    m_Icons->setBatchSize(LayoutBatch);
    m_Icons->setTextElideMode(Qt::ElideMiddle);

    m_Details->setModel(m_Model);
    m_Details->setSelectionModel(m_Icons->selectionModel());
    m_Details->setRootIsDecorated(false);
    m_Details->setItemsExpandable(false);
    m_Details->setUniformRowHeights(true);
    m_Details->setAllColumnsShowFocus(true);
    m_Details->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_Details->setIconSize(QSize(16, 16));
    m_Details->setTextElideMode(Qt::ElideMiddle);
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
    // A date is never cut: room for the widest the locale writes, seconds included.
    const QFontMetrics metrics = m_Details->fontMetrics();
    int dateWidth = 0;
    for (int month = 1; month <= 12; ++month) {
        const QDateTime sample(QDate(2026, month, 28), QTime(23, 58, 58));
        dateWidth = std::max(dateWidth, metrics.horizontalAdvance(FileListModel::dateText(
                                            FtpDate::FromDateTime(sample), true)));
    }
    header->resizeSection(LastWriteDate,
                          std::max(header->sectionSize(LastWriteDate), dateWidth + 16));
    header->setSortIndicator(sortKey(), sortOrder());
    connect(header, &QHeaderView::sectionClicked, this, &FileListView::ColumnClick);

    m_Stack->addWidget(m_Icons);
    m_Stack->addWidget(m_Details);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_Icons), static_cast<QAbstractItemView*>(m_Details)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex&) { emit itemDoubleClicked(); });
        connect(view, &QAbstractItemView::clicked, this,
                [this](const QModelIndex&) { emit itemClicked(); });
    }
    setViewMode(Details);
}

bool FileListView::addItem(const Item& item) {
    return m_Model->add(item);
}

void FileListView::setItems(std::vector<Item>&& items) {
    m_Model->reset(std::move(items));
}

void FileListView::clear() {
    m_Model->clear();
}

int FileListView::count() const {
    return m_Model->rowCount();
}

bool FileListView::containsKey(const QString& key) const {
    return key.startsWith(QLatin1Char('F')) && m_Model->contains(key.mid(1));
}

QString FileListView::text(int row, int column) const {
    return m_Model->index(row, column).data(Qt::DisplayRole).toString();
}

int FileListView::icon(int row) const {
    return row >= 0 && row < count() ? m_Model->entry(row).icon : 0;
}

QString FileListView::key(int row) const {
    return row >= 0 && row < count() ? QLatin1Char('F') + m_Model->entry(row).name : QString();
}

qint64 FileListView::size(int row) const {
    return row >= 0 && row < count() ? m_Model->entry(row).size : 0;
}

int FileListView::selectedRow() const {
    const QItemSelectionModel* selection = m_Icons->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row()))
        return current.row();
    const QList<int> rows = selectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

QList<int> FileListView::selectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : m_Icons->selectionModel()->selectedRows(FileName))
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool FileListView::selectKey(const QString& key, bool add) {
    if (!key.startsWith(QLatin1Char('F')))
        return false;
    const int row = m_Model->rowOf(key.mid(1));
    if (row < 0)
        return false;
    const QItemSelectionModel::SelectionFlags flags =
        (add ? QItemSelectionModel::Select : QItemSelectionModel::ClearAndSelect) |
        QItemSelectionModel::Rows;
    m_Icons->selectionModel()->setCurrentIndex(m_Model->index(row, FileName), flags);
    return true;
}

void FileListView::setViewMode(int mode) {
    if (mode < LargeIcons || mode > Details)
        return;
    m_ViewMode = mode;
    const int line = m_Icons->fontMetrics().height();
    switch (mode) {
    case LargeIcons:
        // Room for three lines of a wrapped name under the icon.
        m_Icons->setViewMode(QListView::IconMode);
        m_Icons->setFlow(QListView::LeftToRight);
        m_Icons->setWrapping(true);
        m_Icons->setWordWrap(true);
        m_Icons->setIconSize(QSize(32, 32));
        m_Icons->setGridSize(QSize(LargeCellWidth, 32 + 3 * line + 12));
        m_Icons->setMovement(QListView::Static);
        break;
    case SmallIcons:
    case List:
        m_Icons->setViewMode(QListView::ListMode);
        m_Icons->setFlow(mode == SmallIcons ? QListView::LeftToRight : QListView::TopToBottom);
        m_Icons->setWrapping(true);
        m_Icons->setWordWrap(false);
        m_Icons->setIconSize(QSize(16, 16));
        m_Icons->setGridSize(QSize(SmallCellWidth, std::max(20, line + 4)));
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
    Qt::SortOrder order = Qt::AscendingOrder;
    if (column == sortKey())
        order = sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    m_Model->sort(column, order);
    m_Details->header()->setSortIndicator(column, order);
}

QByteArray FileListView::saveState() const {
    return m_Details->header()->saveState();
}

bool FileListView::restoreState(const QByteArray& state) {
    QHeaderView* header = m_Details->header();
    if (state.isEmpty() || !header->restoreState(state))
        return false;
    const int column = header->sortIndicatorSection();
    if (column >= 0 && column < ColumnCount)
        m_Model->sort(column, header->sortIndicatorOrder());
    else
        header->setSortIndicator(sortKey(), sortOrder());
    return true;
}

QWidget* FileListView::currentView() const {
    return m_Stack->currentWidget();
}
