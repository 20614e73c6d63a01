// The "Site Properties" page of a static site: how the files are reached ("File://", "ftp://",
// "http:://", and "https://" and "sftp://" beside them), the root, the home page and the agent
// directory below it, with their choosers; the FTP user name and password kept through the page;
// TLS for FTP, the trusted certificates and an SFTP login's key. User-interface thread.
#pragma once

#include <string>

#include "ui/SitePropPage.h"

class CSiteLocationProp : public CSitePropPage {
    Q_OBJECT

  public:
    // Entries of the location list, in list order.
    enum Location { kLocal, kFtp, kHttp, kHttps, kSftp };

    explicit CSiteLocationProp(QWidget* parent = nullptr);
    void SettingsToPage(const CAgentSettings& agent) override;
    void PageToSettings(CAgentSettings& agent) const override;
    // Only a local site is checked (an FTP or HTTP site is reached when the agent runs); a
    // certificates file that is named must be readable.
    bool CheckPage(CUserPrompt& prompt) override;
    bool ChecksOnOk() const override { return true; }

    QComboBox* LocationList() const { return m_location; }
    QLineEdit* RootEdit() const { return m_root; }
    QLineEdit* HomePageEdit() const { return m_home; }
    QLineEdit* AgentDirEdit() const { return m_agentDir; }
    QLineEdit* CaFileEdit() const { return m_caFile; }
    QCheckBox* FtpTlsCheck() const { return m_ftpTls; }
    QLineEdit* SshKeyEdit() const { return m_sshKey; }
    // 1032: "Browse ..." for a local root (the folder chooser), "Authenticate" for the others
    // (the login dialog, whose OK replaces the user name and password the page keeps).
    QPushButton* RootButton() const { return m_rootButton; }
    QPushButton* HomePageBrowse() const { return m_homeBrowse; }
    QPushButton* AgentDirBrowse() const { return m_agentDirBrowse; }
    QLabel* HomePageLabel() const { return m_homeLabel; }
    QLabel* AgentDirLabel() const { return m_agentDirLabel; }

    // The FTP user name and password the page keeps.
    const std::string& UserName() const { return m_username; }
    const std::string& Password() const { return m_password; }
    void SetCredentials(const std::string& username, const std::string& password);

  private:
    void UpdateControls();
    void OnRootButton();
    void BrowseHomePage();
    void BrowseAgentDir();
    // A chosen name ("" when cancelled) goes into edit relative to the root, or is refused with
    // a message when it is not below the root.
    void SetUnderRoot(QLineEdit* edit, const QString& chosen);
    // The root as checked and stored: normalised, local paths with their leading "/".
    std::string Root() const;

    QComboBox* m_location;
    QLineEdit* m_root;
    QPushButton* m_rootButton;
    QLabel* m_homeLabel;
    QLineEdit* m_home;
    QPushButton* m_homeBrowse;
    QLabel* m_agentDirLabel;
    QLineEdit* m_agentDir;
    QPushButton* m_agentDirBrowse;
    QCheckBox* m_ftpTls;
    QLineEdit* m_caFile;
    QPushButton* m_caBrowse;
    QLineEdit* m_sshKey;
    QPushButton* m_sshBrowse;
    std::string m_username;
    std::string m_password;
};
