// The agents of the document as one Qt model for every mode of the list view: one row per agent,
// in the reverse of the document's order, and the four columns Description, Domain Name, Last Run
// Time and Succeded. Texts are read from the agent records on request, so a changed record shows
// its new values when its row is drawn again. User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>

class CAgentList;
class CAgentSettings;

class CAgentListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kDescription = 0, kDomain = 1, kLastRun = 2, kSucceeded = 3, kColumnCount = 4 };

    explicit CAgentListModel(QObject* parent = nullptr);

    // Shows list (borrowed; nullptr shows nothing) from scratch. Selections on the model are lost.
    void Refill(const CAgentList* list);
    // The agent of a row, or nullptr.
    CAgentSettings* AgentAt(int row) const;
    // The row of the agent, or -1.
    int FindRow(const CAgentSettings* agent) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const CAgentList* m_list = nullptr;
    QIcon m_icon;
};
