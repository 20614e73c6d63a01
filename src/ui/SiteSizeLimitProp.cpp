#include "ui/SiteSizeLimitProp.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "agent/AgentChecks.h"
#include "ui/ResText.h"

namespace {

// The edit's number, or -1 when its text is no whole number (refused by the range check).
int32_t Number(const QLineEdit* edit) {
    bool ok = false;
    const qlonglong n = edit->text().trimmed().toLongLong(&ok);
    return ok && n >= kLimitMin && n <= kLimitMax ? static_cast<int32_t>(n) : -1;
}

}  // namespace

CSiteSizeLimitProp::CSiteSizeLimitProp(QWidget* parent) : CSitePropPage(IDS_PAGE_ADVANCED, parent) {
    m_show = AddCheck(IDS_ADV_SHOW);
    const std::tuple<QCheckBox**, QLineEdit**, int, int> limits[] = {
        {&m_pageCheck, &m_pageEdit, IDS_ADV_PAGES, IDS_ADV_PAGES_UNIT},
        {&m_kbCheck, &m_kbEdit, IDS_ADV_KB, IDS_ADV_KB_UNIT}};
    for (const auto& [check, edit, textId, unitId] : limits) {
        *check = new QCheckBox(ResText(textId), this);
        *edit = new QLineEdit(this);
        AddRow({*check, *edit, new QLabel(ResText(unitId), this)});
        QLineEdit* e = *edit;
        connect(*check, &QCheckBox::toggled, e, &QWidget::setEnabled);
    }
    m_script = AddCheck(IDS_ADV_SCRIPT);
    AddNote(IDS_ADV_SCRIPT_NOTE);
    m_clean = AddCheck(IDS_ADV_CLEAN);
    AddNote(IDS_ADV_CLEAN_NOTE);
    m_working = AddEdit(IDS_ADV_WORKING);
    AddNote(IDS_ADV_WORKING_NOTE);
}

void CSiteSizeLimitProp::SettingsToPage(const CAgentSettings& agent) {
    m_show->setChecked(agent.IsShowPrefetch);
    m_pageCheck->setChecked(agent.isPageLimit);
    m_pageEdit->setText(QString::number(agent.CachePageLimit));
    m_pageEdit->setEnabled(agent.isPageLimit);
    m_kbCheck->setChecked(agent.isKBLimit);
    m_kbEdit->setText(QString::number(agent.CacheKBLimit));
    m_kbEdit->setEnabled(agent.isKBLimit);
    m_script->setChecked(agent.IsScriptPrefetch);
    m_clean->setChecked(agent.CleanUrls);
    m_working->setText(QString::number(agent.LoaderWorkingTime));
}

void CSiteSizeLimitProp::PageToSettings(CAgentSettings& agent) const {
    agent.IsShowPrefetch = m_show->isChecked();
    agent.isPageLimit = m_pageCheck->isChecked();
    agent.isKBLimit = m_kbCheck->isChecked();
    agent.IsScriptPrefetch = m_script->isChecked();
    agent.CleanUrls = m_clean->isChecked();
    const std::pair<const QLineEdit*, int32_t CAgentSettings::*> numbers[] = {
        {m_pageEdit, &CAgentSettings::CachePageLimit},
        {m_kbEdit, &CAgentSettings::CacheKBLimit},
        {m_working, &CAgentSettings::LoaderWorkingTime}};
    for (const auto& [edit, field] : numbers) {
        const int32_t n = Number(edit);
        if (n >= 0)
            agent.*field = n;
    }
}

bool CSiteSizeLimitProp::CheckPage(CUserPrompt& prompt) {
    return CheckSizeLimitPage(Number(m_pageEdit), Number(m_kbEdit), prompt) &&
           CheckLimit("LoaderWorkingTime", Number(m_working), prompt);
}
