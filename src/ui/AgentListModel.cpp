#include "ui/AgentListModel.h"

#include "agent/AgentList.h"
#include "ui/ResText.h"

CAgentListModel::CAgentListModel(QObject* parent)
    : QAbstractTableModel(parent), m_icon(":/images/agent.svg") {}

void CAgentListModel::Refill(const CAgentList* list) {
    beginResetModel();
    m_list = list;
    endResetModel();
}

CAgentSettings* CAgentListModel::AgentAt(int row) const {
    if (m_list == nullptr || row < 0 || row >= m_list->GetCount())
        return nullptr;
    // Each agent is inserted at the top in list order: the last agent comes first.
    return m_list->GetAt(m_list->GetCount() - 1 - row);
}

int CAgentListModel::FindRow(const CAgentSettings* agent) const {
    if (m_list == nullptr || agent == nullptr)
        return -1;
    const int index = m_list->IndexOf(agent);
    return index < 0 ? -1 : m_list->GetCount() - 1 - index;
}

int CAgentListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || m_list == nullptr ? 0 : m_list->GetCount();
}

int CAgentListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CAgentListModel::data(const QModelIndex& index, int role) const {
    const CAgentSettings* agent = AgentAt(index.row());
    if (agent == nullptr)
        return QVariant();
    if (role == Qt::DecorationRole && index.column() == kDescription)
        return m_icon;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
        case kDescription:
            return agent->Description.empty() ? ResText(IDS_NO_DESCRIPTION)
                                              : QString::fromStdString(agent->Description);
        case kDomain:
            return QString::fromStdString(agent->DomainName);
        case kLastRun:
            return QString::fromStdString(agent->ProcessTime);
        case kSucceeded:
            return ResText(agent->IsProcessed ? IDS_YES : IDS_NO);
        default:
            return QVariant();
    }
}

QVariant CAgentListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const int kHeadings[kColumnCount] = {IDS_COL_DESCRIPTION, IDS_COL_DOMAIN,
                                                IDS_COL_LAST_RUN, IDS_COL_SUCCEEDED};
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return QVariant();
    if (role == Qt::DisplayRole)
        return ResText(kHeadings[section]);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return QVariant();
}
