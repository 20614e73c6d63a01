#include "ui/SiteLogProp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "agent/AgentChecks.h"
#include "ui/ResText.h"

CSiteLogProp::CSiteLogProp(QWidget* parent) : CSitePropPage(IDS_PAGE_LOG, parent) {
    m_logFile = AddEdit(IDS_LOG_LOCATION, nullptr, &m_browse);
    AddNote(IDS_LOG_WILDCARDS);
    m_format = AddList(IDS_LOG_FORMAT);
    for (int id = IDS_LOG_FORMAT_0; id <= IDS_LOG_FORMAT_8; ++id)
        m_format->addItem(ResText(id));
    m_locationType = new QComboBox(this);
    m_locationType->addItems({"File://", "ftp://", "http:://"});
    m_locationType->hide();
    m_ignore = AddCheck(IDS_LOG_IGNORE);
    m_purpose = AddEdit(IDS_LOG_PURPOSE);
    AddNote(IDS_LOG_PURPOSE_NOTE);
    connect(m_ignore, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    BrowseFileInto(m_browse, m_logFile, false, IDS_CHOOSE_LOG, IDS_LOG_FILTER);
    UpdateControls();
}

bool CSiteLogProp::IsLogIgnored() const {
    return m_ignore->isChecked();
}

void CSiteLogProp::UpdateControls() {
    const bool on = !m_ignore->isChecked();
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_logFile, m_browse, m_format, m_locationType, m_purpose})
        w->setEnabled(on);
}

void CSiteLogProp::SettingsToPage(const CAgentSettings& agent) {
    m_logFile->setText(QString::fromStdString(agent.LogFile));
    m_format->setCurrentIndex(
        agent.LogFromat >= 0 && agent.LogFromat < m_format->count() ? agent.LogFromat : 0);
    m_ignore->setChecked(agent.ignoreLogFile);
    m_purpose->setText(QString::fromStdString(agent.PurposeField));
    UpdateControls();
}

void CSiteLogProp::PageToSettings(CAgentSettings& agent) const {
    agent.LogFile = m_logFile->text().toStdString();
    agent.LogFromat = m_format->currentIndex();
    agent.ignoreLogFile = m_ignore->isChecked();
    agent.PurposeField = m_purpose->text().trimmed().toStdString();
}

bool CSiteLogProp::CheckPage(CUserPrompt& prompt) {
    return CheckLogPage(m_ignore->isChecked(), m_logFile->text().toStdString(), prompt);
}
