// The main window's list of agents in one of four modes (large icons, small icons, list, details
// with four columns), over one CAgentListModel and one selection shared by every mode. It tells
// which agent is current (exactly one row selected) and which are selected, keeps the selection
// across refills, and reports double clicks and context-menu requests on a row with an agent.
// User-interface thread only.
#pragma once

#include <QItemSelectionModel>
#include <QStackedWidget>

class CAgentList;
class CAgentListModel;
class CAgentSettings;
class QAbstractItemView;
class QListView;
class QTreeView;

class CPSiteView : public QStackedWidget {
    Q_OBJECT

  public:
    // The view modes by the identifiers of their commands.
    enum Mode : int { kLargeIcons = 32783, kSmallIcons = 32780, kList = 32781, kDetails = 32782 };

    explicit CPSiteView(QWidget* parent = nullptr);

    // Rebuilds every row from list (borrowed; may be null), keeping the agent that was selected
    // before the list changed selected; when it is gone, the first row is selected.
    void Refill(const CAgentList* list);

    // The agent of the selected row when exactly one row is selected, else nullptr.
    CAgentSettings* SelectedAgent() const;
    bool IsSelected(const CAgentSettings* agent) const;
    int SelectedCount() const;
    int FindRow(const CAgentSettings* agent) const;

    Mode GetMode() const { return m_mode; }
    // Changes the mode only when it differs from the current one.
    void SetMode(Mode mode);

    // The widget showing the rows in the current mode, and the list widgets of the modes.
    QAbstractItemView* ActiveView() const;
    QListView* IconView() const { return m_icons; }
    QTreeView* DetailsView() const { return m_details; }
    CAgentListModel* Model() const { return m_model; }

  signals:
    // The selection changed (the current agent may have changed).
    void selectionChanged();
    // A row with an agent was double clicked while it was the current agent.
    void rowActivated();
    // The context menu was asked for on a row with the current agent, at a global position.
    void contextMenuRequested(const QPoint& globalPos);

  private:
    void OnContextMenu(QAbstractItemView* view, const QPoint& pos);
    void OnDoubleClick(const QModelIndex& index);

    CAgentListModel* m_model;
    QItemSelectionModel* m_selection;
    QListView* m_icons;
    QTreeView* m_details;
    Mode m_mode = kDetails;
    // The agent selected when the selection last changed: the rows may no longer match the list
    // when a refill comes, so the agent is remembered, not its row.
    const CAgentSettings* m_remembered = nullptr;
};
