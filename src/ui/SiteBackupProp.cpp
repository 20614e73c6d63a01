#include "ui/SiteBackupProp.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "agent/AgentChecks.h"
#include "ui/ResText.h"

CSiteBackupProp::CSiteBackupProp(QWidget* parent) : CSitePropPage(IDS_PAGE_BACKUP, parent) {
    m_backup = AddCheck(IDS_BACKUP_ON);
    m_modified = AddRadio(IDS_BACKUP_MODIFIED);
    m_all = AddRadio(IDS_BACKUP_ALL);
    m_file = AddEdit(IDS_BACKUP_FILE, nullptr, &m_browse);
    connect(m_backup, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    BrowseFileInto(m_browse, m_file, true, IDS_CHOOSE_BACKUP, IDS_BACKUP_FILTER);
    m_modified->setChecked(true);
    UpdateControls();
}

void CSiteBackupProp::UpdateControls() {
    for (QWidget* w : std::initializer_list<QWidget*>{m_modified, m_all, m_file, m_browse})
        w->setEnabled(m_backup->isChecked());
}

void CSiteBackupProp::SettingsToPage(const CAgentSettings& agent) {
    m_backup->setChecked(agent.IsBackup);
    (agent.IsBackupModified ? m_modified : m_all)->setChecked(true);
    m_file->setText(QString::fromStdString(agent.BackupDir));
    UpdateControls();
}

void CSiteBackupProp::PageToSettings(CAgentSettings& agent) const {
    agent.IsBackup = m_backup->isChecked();
    agent.IsBackupModified = m_modified->isChecked();
    agent.BackupDir = m_file->text().toStdString();
}

bool CSiteBackupProp::CheckPage(CUserPrompt& prompt) {
    return CheckBackupPage(m_backup->isChecked(), m_file->text().toStdString(), prompt);
}
