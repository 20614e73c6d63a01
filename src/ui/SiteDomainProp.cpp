#include "ui/SiteDomainProp.h"

#include <QLineEdit>

#include "agent/AgentChecks.h"
#include "ui/ResText.h"

CSiteDomainProp::CSiteDomainProp(QWidget* parent) : CSitePropPage(IDS_PAGE_DOMAIN, parent) {
    AddText(IDS_DOMAIN_INTRO);
    m_description = AddEdit(IDS_DOMAIN_DESCRIPTION);
    m_domain = AddEdit(IDS_DOMAIN_NAME);
}

void CSiteDomainProp::SettingsToPage(const CAgentSettings& agent) {
    m_description->setText(QString::fromStdString(agent.Description));
    m_domain->setText(QString::fromStdString(agent.DomainName));
}

void CSiteDomainProp::PageToSettings(CAgentSettings& agent) const {
    agent.Description = m_description->text().toStdString();
    agent.DomainName = m_domain->text().toStdString();
}

bool CSiteDomainProp::CheckPage(CUserPrompt& prompt) {
    return CheckDomainPage(m_description->text().toStdString(), m_domain->text().toStdString(),
                           prompt);
}
