// The "Analyze and Embed Java" dialog: one agent processed a phase at a time (site map, logs,
// embedding), each phase under the progress dialog, with the site's pages in a tree and, for the
// selected page, four tabs: the site's estimated click acceleration, the page's timing
// estimates, its links with their weights, and the prefetch order forced by hand, which is
// edited here (in memory: it reaches the statistics file with the next step or when the program
// closes). The estimates are those of processing/Estimates.h, the same the tarvik command prints.
// Lists and tree hold page names, never page records, and are emptied while a step runs.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QMap>
#include <string>

class CBarListCtrl;
class CBrevDoc;
class CAgentSettings;
class CProgressDialog;
class CSitePage;
class CSiteTreeCtrl;
class QCheckBox;
class QLabel;
class QPushButton;
class QTabBar;

class CAnalyzeDialog : public QDialog {
    Q_OBJECT

  public:
    // The controls, by the numbers the rest of the program and its manual use.
    enum Control : int {
        kClose = 1,
        kAdd = 1001,
        kTree = 1034,
        kOrderList = 1035,
        kLinksList = 1036,
        kRemove = 1039,
        kStepMap = 1045,
        kStepLog = 1046,
        kStepEmbed = 1047,
        kOrder = 1049,
        kTabs = 1050,
        kHyperLinkLabel = 1051,
        kStatisticsLabel = 1052,
        kExpectedGroup = 1057,
        kPicture = 1070,
        kLoadTime = 1073,
        kIdleTime = 1074,
        kWithout = 1075,
        kWith = 1076,
        kLoadTimeLabel = 1081,
        kPageAcceleration = 1083,
        kIdleTimeLabel = 1084,
        kWithoutLabel = 1086,
        kWithLabel = 1088,
        kPageAccelerationLabel = 1090,
        kSiteAcceleration = 1092,
        kSiteAccelerationLabel = 1093,
        kNotice = 1094,
        kAddLinks = 1104,
    };
    enum Tab : int { kSiteTab = 0, kPageTab = 1, kLinksTab = 2, kOrderTab = 3 };

    // doc: the open document (its agent list, the run lock and the saving of the agent's
    // state); agent: an agent of its list with a page graph. Both borrowed.
    CAnalyzeDialog(CBrevDoc& doc, CAgentSettings& agent, QWidget* parent = nullptr);
    ~CAnalyzeDialog() override;

    // Command 32778 on the agent: gives it a page graph when it has none, then shows the dialog
    // modally. Borrows all three.
    static void Open(CBrevDoc& doc, CAgentSettings& agent, QWidget* parent);

    QWidget* Control(int id) const { return m_controls.value(id, nullptr); }
    CSiteTreeCtrl* Tree() const { return m_tree; }
    CBarListCtrl* OrderList() const { return m_orderList; }
    CBarListCtrl* LinksList() const { return m_linksList; }
    QTabBar* Tabs() const { return m_tabs; }
    // The progress dialog of the step in progress, or nullptr.
    CProgressDialog* RunningProgress() const { return m_progress; }

    // Runs one phase (kRunMap, kRunLog or kRunEmbed), as its button does.
    void RunStep(unsigned phase);
    // The program is asked to end: a step in progress is stopped, and the dialog closes as soon
    // as no step runs.
    void RequestClose();

  private:
    QLabel* AddLabel(int id, int textId, QWidget* parent);
    void BuildControls();

    // Stores the page's forced order from the forced-order list and shows the estimates it gives.
    void StoreForcedOrder(CSitePage& page);
    void ClearLists();
    void ShowPage();
    void RefreshEstimates();
    void ShowTabControls();
    void RecomputeSiteStatistics();
    void UpdateButtons();
    // The tree refilled from the graph, the page of that name selected again when it is there.
    void RefillTree(const std::string& selectedName);

    void OnOrder();
    void OnAdd();
    void OnRemove();
    void OnAddLinks();
    void OnOrderChanged();

    CBrevDoc& m_doc;
    CAgentSettings& m_agent;
    QMap<int, QWidget*> m_controls;
    CSiteTreeCtrl* m_tree = nullptr;
    CBarListCtrl* m_orderList = nullptr;
    CBarListCtrl* m_linksList = nullptr;
    QTabBar* m_tabs = nullptr;
    QCheckBox* m_order = nullptr;
    QLabel* m_notice = nullptr;
    CProgressDialog* m_progress = nullptr;
    bool m_statisticsAvailable = false;
    double m_siteAcceleration = 0.0;
    bool m_initialised = false;
    bool m_running = false;
    bool m_closeAfterStep = false;
};
