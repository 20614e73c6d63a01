#include "ui/SiteView.h"

#include <QHeaderView>
#include <QListView>
#include <QTreeView>

#include "ui/AgentListModel.h"

namespace {
constexpr int kColumnWidths[CAgentListModel::kColumnCount] = {160, 120, 120, 70};
}

CPSiteView::CPSiteView(QWidget* parent)
    : QStackedWidget(parent),
      m_model(new CAgentListModel(this)),
      m_selection(new QItemSelectionModel(m_model, this)),
      m_icons(new QListView(this)),
      m_details(new QTreeView(this)) {
    m_details->setModel(m_model);
    m_details->setSelectionModel(m_selection);
    m_details->setRootIsDecorated(false);
    m_details->setItemsExpandable(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_details->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_details->setIconSize(QSize(16, 16));
    m_details->header()->setStretchLastSection(false);
    m_details->header()->setSectionsMovable(false);
    m_details->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < CAgentListModel::kColumnCount; ++c)
        m_details->setColumnWidth(c, kColumnWidths[c]);

    m_icons->setModel(m_model);
    m_icons->setSelectionModel(m_selection);
    m_icons->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setWrapping(true);
    m_icons->setUniformItemSizes(true);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& pos) { OnContextMenu(view, pos); });
        connect(view, &QAbstractItemView::doubleClicked, this, &CPSiteView::OnDoubleClick);
        addWidget(view);
    }
    connect(m_selection, &QItemSelectionModel::selectionChanged, this, [this] {
        m_remembered = SelectedAgent();
        emit selectionChanged();
    });
    setCurrentWidget(m_details);
}

void CPSiteView::Refill(const CAgentList* list) {
    const CAgentSettings* remembered = m_remembered;
    m_model->Refill(list);
    int row = m_model->FindRow(remembered);
    if (row < 0 && m_model->rowCount() > 0)
        row = 0;
    if (row >= 0) {
        const QModelIndex index = m_model->index(row, 0);
        m_selection->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_remembered = SelectedAgent();
    emit selectionChanged();
}

CAgentSettings* CPSiteView::SelectedAgent() const {
    const QModelIndexList rows = m_selection->selectedRows();
    return rows.size() == 1 ? m_model->AgentAt(rows.first().row()) : nullptr;
}

bool CPSiteView::IsSelected(const CAgentSettings* agent) const {
    const int row = m_model->FindRow(agent);
    return row >= 0 && m_selection->isRowSelected(row);
}

int CPSiteView::SelectedCount() const {
    return static_cast<int>(m_selection->selectedRows().size());
}

int CPSiteView::FindRow(const CAgentSettings* agent) const {
    return m_model->FindRow(agent);
}

void CPSiteView::SetMode(Mode mode) {
    if (mode == m_mode)
        return;
    m_mode = mode;
    if (mode == kDetails) {
        setCurrentWidget(m_details);
        return;
    }
    m_icons->setViewMode(mode == kLargeIcons ? QListView::IconMode : QListView::ListMode);
    m_icons->setIconSize(mode == kLargeIcons ? QSize(32, 32) : QSize(16, 16));
    m_icons->setFlow(mode == kList ? QListView::TopToBottom : QListView::LeftToRight);
    m_icons->setGridSize(mode == kLargeIcons ? QSize(96, 64) : QSize());
    m_icons->setMovement(QListView::Static);
    m_icons->setWordWrap(mode == kLargeIcons);
    setCurrentWidget(m_icons);
}

QAbstractItemView* CPSiteView::ActiveView() const {
    return static_cast<QAbstractItemView*>(currentWidget());
}

void CPSiteView::OnContextMenu(QAbstractItemView* view, const QPoint& pos) {
    const QModelIndex index = view->indexAt(pos);
    if (!index.isValid() || SelectedAgent() == nullptr)
        return;
    emit contextMenuRequested(view->viewport()->mapToGlobal(pos));
}

void CPSiteView::OnDoubleClick(const QModelIndex& index) {
    if (index.isValid() && SelectedAgent() != nullptr)
        emit rowActivated();
}
