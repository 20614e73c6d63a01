#include "ui/SiteTypeProp.h"

#include <QRadioButton>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"

CSiteTypeProp::CSiteTypeProp(QWidget* parent) : CSitePropPage(IDS_PAGE_STATISTICS, parent) {
    AddText(IDS_TYPE_INTRO);
    m_static = AddRadio(IDS_TYPE_STATIC);
    m_dynamic = AddRadio(IDS_TYPE_DYNAMIC);
    m_static->setChecked(true);
}

void CSiteTypeProp::SettingsToPage(const CAgentSettings& agent) {
    (agent.IsDynamicSite ? m_dynamic : m_static)->setChecked(true);
}

void CSiteTypeProp::PageToSettings(CAgentSettings& agent) const {
    agent.IsDynamicSite = IsDynamic();
}

bool CSiteTypeProp::IsDynamic() const {
    return m_dynamic->isChecked();
}
