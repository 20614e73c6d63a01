// The "Backup" page: whether the site is backed up before its pages change, which files, and the
// ZIP file. Checked on Next and on OK of every sheet holding it, so that no sheet stores the
// backup switched on without a usable archive name. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class QRadioButton;

class CSiteBackupProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteBackupProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QCheckBox* BackupCheck() const { return m_backup; }
    QRadioButton* ModifiedRadio() const { return m_modified; }
    QRadioButton* AllRadio() const { return m_all; }
    QLineEdit* FileEdit() const { return m_file; }
    QPushButton* FileBrowse() const { return m_browse; }

  private:
    void UpdateControls();

    QCheckBox* m_backup;
    QRadioButton* m_modified;
    QRadioButton* m_all;
    QLineEdit* m_file;
    QPushButton* m_browse;
};
