#include "ui/NewSiteDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"
#include "ui/SiteAlphaProp.h"
#include "ui/SiteBackupProp.h"
#include "ui/SiteDomainProp.h"
#include "ui/SiteDynLocProp.h"
#include "ui/SiteLimitProp.h"
#include "ui/SiteLocationProp.h"
#include "ui/SiteLogProp.h"
#include "ui/SiteRangeProp.h"
#include "ui/SiteSizeLimitProp.h"
#include "ui/SiteThanksProp.h"
#include "ui/SiteTypeProp.h"

CNewSiteDialog::CNewSiteDialog(int titleId, bool wizard, QWidget* parent)
    : CSiteSheet(ResText(titleId), parent),
      m_wizard(wizard),
      m_base(std::make_unique<CAgentSettings>()),
      m_domain(new CSiteDomainProp(this)),
      m_type(new CSiteTypeProp(this)),
      m_location(new CSiteLocationProp(this)),
      m_dynLoc(new CSiteDynLocProp(this)),
      m_log(new CSiteLogProp(this)),
      m_range(new CSiteRangeProp(this)),
      m_alpha(new CSiteAlphaProp(this)),
      m_limit(new CSiteLimitProp(this)),
      m_sizeLimit(new CSiteSizeLimitProp(this)),
      m_backup(new CSiteBackupProp(this)),
      m_thanks(new CSiteThanksProp(this)) {
    for (QWidget* page : findChildren<CSitePropPage*>(Qt::FindDirectChildrenOnly))
        page->hide();
    if (!m_wizard)
        return;
    SetWizardLook();
    m_back = Buttons()->addButton(ResText(IDS_WIZ_BACK), QDialogButtonBox::ActionRole);
    m_next = Buttons()->addButton(ResText(IDS_WIZ_NEXT), QDialogButtonBox::ActionRole);
    FinishButton()->setText(ResText(IDS_WIZ_FINISH));
    connect(m_back, &QPushButton::clicked, this, &CNewSiteDialog::Back);
    connect(m_next, &QPushButton::clicked, this, &CNewSiteDialog::Next);
}

CNewSiteDialog::~CNewSiteDialog() = default;

bool CNewSiteDialog::IsDynamic() const {
    return m_wizard ? m_type->IsDynamic() : m_agentDynamic;
}

void CNewSiteDialog::SettingsToPages(const CAgentSettings& agent) {
    m_base->AssignSettings(agent);
    m_agentDynamic = agent.IsDynamicSite;
    for (CSitePropPage* page : findChildren<CSitePropPage*>())
        page->SettingsToPage(agent);
}

void CNewSiteDialog::AddPages() {
    std::vector<CSitePropPage*> pages;
    if (m_wizard) {
        pages = {m_domain, m_type,  m_location,  m_dynLoc, m_log,   m_range,
                 m_alpha,  m_limit, m_sizeLimit, m_backup, m_thanks};
    } else {
        pages = {m_domain,   m_agentDynamic ? static_cast<CSitePropPage*>(m_dynLoc) : m_location,
                 m_log,      m_range,
                 m_alpha,    m_limit,
                 m_sizeLimit};
        // A dynamic site is not backed up: its pages are the server's.
        if (!m_agentDynamic)
            pages.push_back(m_backup);
    }
    for (CSitePropPage* page : pages)
        AddPage(page);
    if (m_wizard)
        ShowPage(m_domain);
}

bool CNewSiteDialog::IsPageStored(const CSitePropPage* page) const {
    if (!m_wizard)
        return true;
    if (IsDynamic())
        return page != m_location && page != m_backup;
    return page != m_dynLoc;
}

bool CNewSiteDialog::RunNow() const {
    return m_wizard && m_thanks->RunNow();
}

CSitePropPage* CNewSiteDialog::NextPage(const CSitePropPage* page) const {
    if (page == m_domain)
        return m_type;
    if (page == m_type)
        return IsDynamic() ? static_cast<CSitePropPage*>(m_dynLoc) : m_location;
    if (page == m_location || page == m_dynLoc)
        return m_log;
    if (page == m_log)
        return m_log->IsLogIgnored() ? static_cast<CSitePropPage*>(m_limit) : m_range;
    if (page == m_range)
        return m_alpha;
    if (page == m_alpha)
        return m_limit;
    if (page == m_limit)
        return m_sizeLimit;
    if (page == m_sizeLimit)
        return IsDynamic() ? static_cast<CSitePropPage*>(m_thanks) : m_backup;
    if (page == m_backup)
        return m_thanks;
    return nullptr;
}

void CNewSiteDialog::ShowPage(CSitePropPage* page) {
    if (m_history.empty() || m_history.back() != page)
        m_history.push_back(page);
    SetCurrentPage(page);
    const bool last = page == m_thanks;
    m_back->setEnabled(m_history.size() > 1);
    m_next->setVisible(!last);
    FinishButton()->setVisible(last);
    (last ? FinishButton() : m_next)->setDefault(true);
}

void CNewSiteDialog::Next() {
    CSitePropPage* page = CurrentPage();
    CSitePropPage* next = NextPage(page);
    if (next == nullptr || !page->CheckPage(Prompt()))
        return;
    ShowPage(next);
}

void CNewSiteDialog::Back() {
    if (m_history.size() < 2)
        return;
    m_history.pop_back();
    ShowPage(m_history.back());
}

void CNewSiteDialog::accept() {
    if (!m_wizard) {
        CSiteSheet::accept();
        return;
    }
    if (CurrentPage() != m_thanks)
        return;
    CAgentSettings agent;
    agent.AssignSettings(*m_base);
    PagesToSettings(agent);
    if (m_finish && !m_finish(agent))
        return;
    // Past CSiteSheet::accept on purpose: the wizard ends through m_finish, not the sheet's check.
    QDialog::accept();  // NOLINT(bugprone-parent-virtual-call)
}
