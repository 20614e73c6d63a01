// The "Log File Analysis" page: where the access logs are (patterns with "*", several separated
// by ";" or ","), their format, the purpose field of combined lines, or no log at all.
// User-interface thread.
#pragma once

#include "ui/SitePropPage.h"

class CSiteLogProp : public CSitePropPage {
    Q_OBJECT

  public:
    explicit CSiteLogProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    bool IsLogIgnored() const;
    QLineEdit* LogFileEdit() const { return m_logFile; }
    QComboBox* FormatList() const { return m_format; }
    QCheckBox* IgnoreCheck() const { return m_ignore; }
    QPushButton* LogBrowse() const { return m_browse; }
    QLineEdit* PurposeEdit() const { return m_purpose; }

  private:
    void UpdateControls();

    QLineEdit* m_logFile;
    QPushButton* m_browse;
    QComboBox* m_format;
    QComboBox* m_locationType;  // kept hidden: log files are local
    QCheckBox* m_ignore;
    QLineEdit* m_purpose;
};
