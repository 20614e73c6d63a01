#include "ui/AnalyzeDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

#include "agent/BrevDoc.h"
#include "processing/AgentStep.h"
#include "processing/Estimates.h"
#include "ui/BarListCtrl.h"
#include "ui/DialogCaptions.h"
#include "ui/MessagePrompt.h"
#include "ui/PageGraph.h"
#include "ui/ProgressDialog.h"
#include "ui/ResText.h"
#include "ui/SiteMapDialog.h"
#include "ui/SiteTreeCtrl.h"
#include "ui/StepSheets.h"

namespace {

QString Seconds(int value) {
    return QString::fromStdString(FormatString(IDS_SECONDS, value));
}

QString Percent(int value) {
    return QString::fromStdString(FormatString(IDS_PERCENT, value));
}

void SetText(QWidget* label, const QString& text) {
    static_cast<QLabel*>(label)->setText(text);
}

// The bar value of a forced target: the weight of the page's link to it over the page's total.
double ForcedShare(CSitePage& page, CSitePage* target) {
    const double sum = page.WeightSum();
    CPageLink* link = target != nullptr ? page.FindLink(target) : nullptr;
    return link != nullptr && sum > 0.0 ? link->Weight / sum : 0.0;
}

}  // namespace

CAnalyzeDialog::CAnalyzeDialog(CBrevDoc& doc, CAgentSettings& agent, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_agent(agent) {
    setWindowTitle(ResText(IDS_ANALYZE_CAPTION));
    BuildControls();
    ApplyDialogCaptions(this);
    // Initialisation: the tree from the graph, the site statistics, tab 0, the buttons.
    RefillTree(std::string());
    RecomputeSiteStatistics();
    ShowPage();
    m_initialised = true;
}

CAnalyzeDialog::~CAnalyzeDialog() = default;

void CAnalyzeDialog::Open(CBrevDoc& doc, CAgentSettings& agent, QWidget* parent) {
    EnsureSiteMap(agent);
    CAnalyzeDialog dialog(doc, agent, parent);
    dialog.exec();
}

QLabel* CAnalyzeDialog::AddLabel(int id, int textId, QWidget* parent) {
    auto* label = new QLabel(textId != 0 ? ResText(textId) : QString(), parent);
    label->setTextFormat(Qt::PlainText);
    m_controls.insert(id, label);
    return label;
}

void CAnalyzeDialog::BuildControls() {
    m_tree = new CSiteTreeCtrl(this);
    m_tree->setMinimumWidth(220);
    m_controls.insert(kTree, m_tree);

    m_tabs = new QTabBar(this);
    for (int text : {IDS_TAB_SITE, IDS_TAB_PAGE, IDS_TAB_LINKS, IDS_TAB_ORDER})
        m_tabs->addTab(ResText(text));
    m_controls.insert(kTabs, m_tabs);

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setMinimumSize(380, 260);
    auto* panelLayout = new QVBoxLayout(panel);
    m_notice = AddLabel(kNotice, IDS_NOTICE_NO_PAGE, panel);
    panelLayout->addWidget(m_notice);

    // Tab 0: the site.
    auto* site = new QWidget(panel);
    auto* siteGrid = new QGridLayout(site);
    siteGrid->addWidget(AddLabel(kSiteAccelerationLabel, IDS_SITE_ACCELERATION_LABEL, site), 0, 0);
    siteGrid->addWidget(AddLabel(kSiteAcceleration, 0, site), 0, 1);
    siteGrid->setRowStretch(1, 1);

    // Tab 1: the page's estimates.
    auto* pageTab = new QWidget(panel);
    auto* pageGrid = new QGridLayout(pageTab);
    const int rows[][3] = {
        {kLoadTimeLabel, IDS_LOAD_TIME_LABEL, kLoadTime},
        {kIdleTimeLabel, IDS_IDLE_TIME_LABEL, kIdleTime},
        {kWithoutLabel, IDS_WITHOUT_PREFETCH_LABEL, kWithout},
        {kWithLabel, IDS_WITH_PREFETCH_LABEL, kWith},
        {kPageAccelerationLabel, IDS_PAGE_ACCELERATION_LABEL, kPageAcceleration}};
    for (int r = 0; r < 5; ++r) {
        pageGrid->addWidget(AddLabel(rows[r][0], rows[r][1], pageTab), r, 0);
        pageGrid->addWidget(AddLabel(rows[r][2], 0, pageTab), r, 1);
    }
    auto* group = new QGroupBox(ResText(IDS_PAGE_EXPECTED_GROUP), pageTab);
    group->hide();  // kept for the layout of older versions; never shown
    m_controls.insert(kExpectedGroup, group);
    pageGrid->setRowStretch(5, 1);

    // Tab 2: the links.
    auto* links = new QWidget(panel);
    auto* linksGrid = new QGridLayout(links);
    linksGrid->addWidget(AddLabel(kHyperLinkLabel, IDS_HYPER_LINK, links), 0, 0);
    linksGrid->addWidget(AddLabel(kStatisticsLabel, IDS_STATISTICS_COLUMN, links), 0, 1);
    m_linksList = new CBarListCtrl(links);
    m_controls.insert(kLinksList, m_linksList);
    linksGrid->addWidget(m_linksList, 1, 0, 1, 2);
    linksGrid->setColumnStretch(0, 3);
    linksGrid->setColumnStretch(1, 2);

    // Tab 3: the forced order.
    auto* order = new QWidget(panel);
    auto* orderGrid = new QGridLayout(order);
    m_order = new QCheckBox(ResText(IDS_ORDER_CHECK), order);
    m_controls.insert(kOrder, m_order);
    orderGrid->addWidget(m_order, 0, 0);
    m_orderList = new CBarListCtrl(order);
    m_controls.insert(kOrderList, m_orderList);
    orderGrid->addWidget(m_orderList, 1, 0, 4, 1);
    const std::pair<int, int> buttons[] = {
        {kAdd, IDS_ORDER_ADD}, {kRemove, IDS_ORDER_REMOVE}, {kAddLinks, IDS_ADD_LINKS}};
    int row = 1;
    for (const auto& [id, text] : buttons) {
        auto* button = new QPushButton(ResText(text), order);
        button->setAutoDefault(false);
        m_controls.insert(id, button);
        orderGrid->addWidget(button, row++, 1);
    }
    orderGrid->setRowStretch(4, 1);

    for (QWidget* g : {site, pageTab, links, order})
        panelLayout->addWidget(g, 1);

    auto* picture = new QLabel(this);
    picture->setPixmap(QIcon(":/images/picture164.svg").pixmap(48, 48));
    m_controls.insert(kPicture, picture);

    auto* steps = new QHBoxLayout;
    steps->addWidget(picture);
    steps->addStretch(1);
    const std::pair<int, int> stepButtons[] = {
        {kStepMap, IDS_STEP_MAP}, {kStepLog, IDS_STEP_LOG}, {kStepEmbed, IDS_STEP_EMBED}};
    for (const auto& [id, text] : stepButtons) {
        auto* button = new QPushButton(ResText(text), this);
        button->setAutoDefault(false);
        m_controls.insert(id, button);
        steps->addWidget(button);
    }
    auto* close = new QPushButton(ResText(IDS_ANALYZE_CLOSE), this);
    close->setDefault(true);
    m_controls.insert(kClose, close);
    steps->addWidget(close);

    auto* right = new QVBoxLayout;
    right->setSpacing(0);
    right->addWidget(m_tabs);
    right->addWidget(panel, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_tree, 1);
    top->addLayout(right, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(steps);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(static_cast<QPushButton*>(Control(kStepMap)), &QPushButton::clicked, this,
            [this] { RunStep(kRunMap); });
    connect(static_cast<QPushButton*>(Control(kStepLog)), &QPushButton::clicked, this,
            [this] { RunStep(kRunLog); });
    connect(static_cast<QPushButton*>(Control(kStepEmbed)), &QPushButton::clicked, this,
            [this] { RunStep(kRunEmbed); });
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { ShowTabControls(); });
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this] {
        if (m_initialised)
            ShowPage();
    });
    connect(m_order, &QCheckBox::clicked, this, &CAnalyzeDialog::OnOrder);
    connect(static_cast<QPushButton*>(Control(kAdd)), &QPushButton::clicked, this,
            &CAnalyzeDialog::OnAdd);
    connect(static_cast<QPushButton*>(Control(kRemove)), &QPushButton::clicked, this,
            &CAnalyzeDialog::OnRemove);
    connect(static_cast<QPushButton*>(Control(kAddLinks)), &QPushButton::clicked, this,
            &CAnalyzeDialog::OnAddLinks);
    connect(m_orderList, &CBarListCtrl::orderChanged, this, &CAnalyzeDialog::OnOrderChanged);
    connect(m_orderList, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    resize(820, 440);
}

void CAnalyzeDialog::RefillTree(const std::string& selectedName) {
    const bool was = m_initialised;
    m_initialised = false;  // no page shown for the items the refill passes through
    m_tree->Fill(m_agent.SiteMap.get(), QString::fromUtf8(ShownText(m_agent.DomainName)));
    if (!selectedName.empty())
        m_tree->SelectPage(selectedName);
    m_initialised = was;
}

void CAnalyzeDialog::ClearLists() {
    m_orderList->clear();
    m_linksList->clear();
}

void CAnalyzeDialog::RecomputeSiteStatistics() {
    const SiteEstimates site = m_agent.SiteMap ? EstimateSite(*m_agent.SiteMap) : SiteEstimates();
    m_statisticsAvailable = site.available;
    m_siteAcceleration = site.acceleration;
}

void CAnalyzeDialog::ShowTabControls() {
    const int tab = m_tabs->currentIndex();
    const CSitePage* page = m_tree->SelectedPage();
    const bool pageStatistics = page != nullptr && page->WeightSum() > 0.0;
    const struct {
        int tab;
        bool shown;
        std::initializer_list<int> ids;
    } groups[] = {{kSiteTab, m_statisticsAvailable, {kSiteAcceleration, kSiteAccelerationLabel}},
                  {kPageTab,
                   pageStatistics,
                   {kLoadTime, kIdleTime, kWithout, kWith, kPageAcceleration, kLoadTimeLabel,
                    kIdleTimeLabel, kWithoutLabel, kWithLabel, kPageAccelerationLabel}},
                  {kLinksTab, page != nullptr, {kLinksList, kHyperLinkLabel, kStatisticsLabel}},
                  {kOrderTab, page != nullptr, {kOrderList, kAdd, kAddLinks, kRemove, kOrder}}};
    for (const auto& group : groups) {
        for (int id : group.ids)
            Control(id)->setVisible(group.tab == tab && group.shown);
        Control(group.ids.begin()[0])->parentWidget()->setVisible(group.tab == tab);
    }
    if (tab == kSiteTab) {
        m_notice->setText(ResText(IDS_NO_SITE_STATISTICS));
        m_notice->setVisible(!m_statisticsAvailable);
    } else if (tab == kPageTab && page != nullptr) {
        m_notice->setText(ResText(IDS_NO_PAGE_STATISTICS));
        m_notice->setVisible(!pageStatistics);
    } else {
        m_notice->setText(ResText(IDS_NO_PAGE_SELECTED));
        m_notice->setVisible(page == nullptr);
    }
}

void CAnalyzeDialog::ShowPage() {
    ShowTabControls();
    ClearLists();
    if (CSitePage* page = m_tree->SelectedPage()) {
        m_order->setChecked(page->ForcePrefetchOrder);
        m_orderList->SetReorderable(page->ForcePrefetchOrder);
        m_orderList->SetBarScale(1.0);
        for (CSitePage* forced : page->ForcedPrefetchPages)
            m_orderList->AddLine(forced->Name, ForcedShare(*page, forced));
        const double sum = page->WeightSum();
        m_linksList->SetBarScale(sum > 1.0 ? sum : 1.0);
        for (const auto& link : page->Links)
            m_linksList->AddLine(link->Target->Name, link->Weight);
    }
    RefreshEstimates();
}

void CAnalyzeDialog::RefreshEstimates() {
    SetText(Control(kSiteAcceleration), Percent(ShownSiteAcceleration(m_siteAcceleration)));
    CSitePage* page = m_tree->SelectedPage();
    if (page != nullptr) {
        const PageEstimates e = EstimatePage(*page);
        SetText(Control(kLoadTime), Seconds(e.load));
        SetText(Control(kIdleTime), Seconds(e.idle));
        for (int id : {kWithout, kWith, kPageAcceleration, kWithoutLabel, kWithLabel,
                       kPageAccelerationLabel})
            Control(id)->setEnabled(e.direct);
        if (e.direct) {
            SetText(Control(kWithout), Seconds(ShownSeconds(e.next.w0 - 0.5)));
            SetText(Control(kWith), Seconds(ShownSeconds(e.next.w1 - 0.5)));
            SetText(Control(kPageAcceleration), Percent(ShownPageAcceleration(e.next)));
        } else {
            for (int id : {kWithout, kWith, kPageAcceleration})
                SetText(Control(id), ResText(IDS_NO_DIRECT_LINKS));
        }
    }
    UpdateButtons();
}

void CAnalyzeDialog::UpdateButtons() {
    const bool editable = m_order->isChecked() && m_tree->SelectedPage() != nullptr;
    Control(kAdd)->setEnabled(editable);
    Control(kAddLinks)->setEnabled(editable);
    Control(kRemove)->setEnabled(editable && m_orderList->currentRow() >= 0);
}

void CAnalyzeDialog::StoreForcedOrder(CSitePage& page) {
    page.ForcedPrefetchPages.clear();
    for (int row = 0; row < m_orderList->count(); ++row) {
        if (CSitePage* forced = m_agent.SiteMap->FindPage(m_orderList->PageNameAt(row)))
            page.ForcedPrefetchPages.push_back(forced);
    }
    RecomputeSiteStatistics();
    RefreshEstimates();
}

void CAnalyzeDialog::OnOrder() {
    CSitePage* page = m_tree->SelectedPage();
    if (page == nullptr)
        return;
    page->ForcePrefetchOrder = m_order->isChecked();
    m_orderList->SetReorderable(page->ForcePrefetchOrder);
    RecomputeSiteStatistics();
    RefreshEstimates();
}

void CAnalyzeDialog::OnAdd() {
    CSitePage* page = m_tree->SelectedPage();
    if (page == nullptr)
        return;
    CSiteMapDialog chooser(m_agent, this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    for (CSitePage* chosen : chooser.Chosen()) {
        if (std::find(page->ForcedPrefetchPages.begin(), page->ForcedPrefetchPages.end(), chosen) ==
            page->ForcedPrefetchPages.end())
            m_orderList->AddLine(chosen->Name, ForcedShare(*page, chosen));
    }
    StoreForcedOrder(*page);
}

void CAnalyzeDialog::OnRemove() {
    CSitePage* page = m_tree->SelectedPage();
    const int row = m_orderList->currentRow();
    if (page == nullptr || row < 0)
        return;
    delete m_orderList->takeItem(row);
    StoreForcedOrder(*page);
}

void CAnalyzeDialog::OnAddLinks() {
    CSitePage* page = m_tree->SelectedPage();
    if (page == nullptr)
        return;
    page->ForcedPrefetchPages.clear();
    for (const auto& link : page->Links) {
        if (link->IsStatic)
            page->ForcedPrefetchPages.push_back(link->Target);
    }
    RecomputeSiteStatistics();
    ShowPage();
}

void CAnalyzeDialog::OnOrderChanged() {
    CSitePage* page = m_tree->SelectedPage();
    if (page == nullptr)
        return;
    StoreForcedOrder(*page);
}

void CAnalyzeDialog::RunStep(unsigned phase) {
    // The step's own settings first; on OK they go into the agent and the step runs.
    {
        std::unique_ptr<CSiteSheet> sheet;
        if (phase == kRunMap)
            sheet = std::make_unique<CPProcessMapDialog>(m_agent, this);
        else if (phase == kRunLog)
            sheet = std::make_unique<CPProcessLogDialog>(m_agent, this);
        else
            sheet = std::make_unique<CPSynthesizeSiteDialog>(m_agent, this);
        if (sheet->exec() != QDialog::Accepted)
            return;
        sheet->PagesToSettings(m_agent);
    }
    CSitePage* selected = m_tree->SelectedPage();
    const std::string selectedName = selected != nullptr ? selected->Name : std::string();
    // Nothing the step may purge stays referred to while it runs: lists and tree let go.
    m_initialised = false;
    ClearLists();
    m_tree->Fill(nullptr, QString::fromUtf8(ShownText(m_agent.DomainName)));
    m_initialised = true;

    m_running = true;
    const StepResult result = RunAgentStep(
        m_doc, m_agent,
        [this](CProcessingTask& task) { return CProgressDialog::RunTask(task, this, m_progress); },
        phase);
    m_running = false;
    // A step that did not run, or whose outcome could not be saved, says so.
    if (result.save != StepSave::kSaved)
        ShowPlainMessage(this, QString::fromStdString(ShownText(result.message)),
                         ResText(IDS_APP_TITLE));

    RefillTree(selectedName);
    RecomputeSiteStatistics();
    ShowPage();
    if (m_closeAfterStep)
        reject();
}

void CAnalyzeDialog::RequestClose() {
    if (m_progress != nullptr)
        m_progress->RequestStop();
    if (m_running)
        m_closeAfterStep = true;
    else
        reject();
}
