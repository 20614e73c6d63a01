#include "ui/SiteAlphaProp.h"

#include <QButtonGroup>
#include <QRadioButton>

#include "agent/AgentSettings.h"
#include "ui/ResText.h"

CSiteAlphaProp::CSiteAlphaProp(QWidget* parent)
    : CSitePropPage(IDS_PAGE_STATISTICS, parent), m_weights(new QButtonGroup(this)) {
    AddText(IDS_WEIGHT_INTRO);
    for (int i = 0; i < 3; ++i)
        m_weights->addButton(AddRadio(IDS_WEIGHT_0 + i), i);
}

QRadioButton* CSiteAlphaProp::WeightRadio(int index) const {
    return qobject_cast<QRadioButton*>(m_weights->button(index));
}

void CSiteAlphaProp::SettingsToPage(const CAgentSettings& agent) {
    m_weights->setExclusive(false);
    for (QAbstractButton* button : m_weights->buttons())
        button->setChecked(m_weights->id(button) == agent.StatWeight);
    m_weights->setExclusive(true);
}

void CSiteAlphaProp::PageToSettings(CAgentSettings& agent) const {
    if (m_weights->checkedId() >= 0)
        agent.StatWeight = m_weights->checkedId();
}
