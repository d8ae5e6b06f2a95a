#include "QueuePane.h"

#include "QueueModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>

QueuePane::QueuePane(QueueModel* model, QWidget* parent)
    : QWidget(parent), m_Model(model), m_Tabs(new QTabBar(this)), m_View(new QTableView(this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_Tabs->addTab(tr("Queued"));
    m_Tabs->addTab(tr("Failed"));
    m_Tabs->addTab(tr("Done"));
    m_Tabs->setDrawBase(false);
    layout->addWidget(m_Tabs);
    layout->addWidget(m_View);
    m_View->setModel(model);
    m_View->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_View->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_View->setShowGrid(false);
    m_View->setWordWrap(false);
    m_View->verticalHeader()->hide();
    // Fixed row heights: the view never measures 100,000 rows.
    m_View->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_View->verticalHeader()->setDefaultSectionSize(m_View->fontMetrics().height() + 4);
    m_View->horizontalHeader()->setStretchLastSection(true);
    m_View->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_View->setColumnWidth(QueueModel::Direction, 75);
    m_View->setColumnWidth(QueueModel::LocalPath, 140);
    m_View->setColumnWidth(QueueModel::RemotePath, 140);
    m_View->setColumnWidth(QueueModel::Size, 70);
    m_View->setColumnWidth(QueueModel::Progress, 60);
    m_View->setColumnWidth(QueueModel::Speed, 80);
    m_View->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_Tabs, &QTabBar::currentChanged, this,
            [this](int tab) { m_Model->setTab(QueueModel::Tab(tab)); });
    connect(m_View, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        emit contextMenuAsked(m_View->viewport()->mapToGlobal(pos));
    });
}

QList<qint64> QueuePane::selectedIds() const {
    QList<qint64> ids;
    for (const QModelIndex& index : m_View->selectionModel()->selectedRows())
        ids << index.data(QueueModel::IdRole).toLongLong();
    return ids;
}
