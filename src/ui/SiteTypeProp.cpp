#include "ui/SiteTypeProp.h"

#include <QRadioButton>
#include <QVBoxLayout>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"

CSiteTypeProp::CSiteTypeProp(QWidget* parent) : CSitePropPage(IDS_PAGE_STATISTICS, parent) {
    AddText(IDS_TYPE_INTRO);
    m_static = new QRadioButton(ResText(IDS_TYPE_STATIC), this);
    m_dynamic = new QRadioButton(ResText(IDS_TYPE_DYNAMIC), this);
    Body()->addWidget(m_static);
    Body()->addWidget(m_dynamic);
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
