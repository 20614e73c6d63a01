// The "Pre-cache - Advanced" page: the page and size limits (whole numbers from 0 to 999999,
// each switched on by its check), the status-bar switch, and the script loader, clean URLs and
// the loader's working time. User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class CSiteSizeLimitProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteSizeLimitProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    // Each number a whole number from 0 to 999999 (the edits take any text).
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QCheckBox* ShowPrefetchCheck() const { return m_show; }
    QCheckBox* PageLimitCheck() const { return m_pageCheck; }
    QLineEdit* PageLimitEdit() const { return m_pageEdit; }
    QCheckBox* KBLimitCheck() const { return m_kbCheck; }
    QLineEdit* KBLimitEdit() const { return m_kbEdit; }
    QCheckBox* ScriptPrefetchCheck() const { return m_script; }
    QCheckBox* CleanUrlsCheck() const { return m_clean; }
    QLineEdit* WorkingTimeEdit() const { return m_working; }

  private:
    QCheckBox* m_show;
    QCheckBox* m_pageCheck;
    QLineEdit* m_pageEdit;
    QCheckBox* m_kbCheck;
    QLineEdit* m_kbEdit;
    QCheckBox* m_script;
    QCheckBox* m_clean;
    QLineEdit* m_working;
};
