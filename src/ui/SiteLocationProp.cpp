#include "ui/SiteLocationProp.h"

#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "agent/AgentChecks.h"
#include "base/PathRules.h"
#include "ui/AuthenticateDialog.h"
#include "ui/FileChooser.h"
#include "ui/MessagePrompt.h"
#include "ui/ResText.h"

namespace {

// The list shows these exactly so; "https://" and "sftp://" are written into the root.
const char* const kLocationTexts[] = {"File://", "ftp://", "http:://", "https://", "sftp://"};

}  // namespace

CSiteLocationProp::CSiteLocationProp(QWidget* parent) : CSitePropPage(IDS_SITE_PROPERTIES, parent) {
    m_location = AddList(IDS_LOCATION_TYPE);
    for (const char* text : kLocationTexts)
        m_location->addItem(QString::fromLatin1(text));
    m_root = AddEdit(IDS_LOCATION_ROOT, nullptr, &m_rootButton);
    m_home = AddEdit(IDS_HOME_PAGE_LABEL, &m_homeLabel, &m_homeBrowse);
    m_agentDir = AddEdit(IDS_AGENT_DIR_LABEL, &m_agentDirLabel, &m_agentDirBrowse);
    m_ftpTls = AddCheck(IDS_LOCATION_FTP_TLS);
    AddNote(IDS_LOCATION_FTP_TLS_NOTE);
    m_caFile = AddEdit(IDS_LOCATION_CA_FILE, nullptr, &m_caBrowse);
    AddNote(IDS_LOCATION_CA_FILE_NOTE);
    m_sshKey = AddEdit(IDS_LOCATION_SSH_KEY, nullptr, &m_sshBrowse);
    AddNote(IDS_LOCATION_SSH_KEY_NOTE);

    connect(m_location, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
    connect(m_root, &QLineEdit::textChanged, this, [this] { UpdateControls(); });
    connect(m_rootButton, &QPushButton::clicked, this, [this] { OnRootButton(); });
    connect(m_homeBrowse, &QPushButton::clicked, this, [this] { BrowseHomePage(); });
    connect(m_agentDirBrowse, &QPushButton::clicked, this, [this] { BrowseAgentDir(); });
    BrowseFileInto(m_caBrowse, m_caFile, false, IDS_CHOOSE_CA_FILE, IDS_CA_FILTER);
    BrowseFileInto(m_sshBrowse, m_sshKey, false, IDS_CHOOSE_SSH_KEY, 0);
    UpdateControls();
}

void CSiteLocationProp::SetCredentials(const std::string& username, const std::string& password) {
    m_username = username;
    m_password = password;
}

void CSiteLocationProp::SettingsToPage(const CAgentSettings& agent) {
    int location = agent.SiteFileType >= kSiteLocal && agent.SiteFileType <= kSiteHttp
                       ? agent.SiteFileType
                       : kLocal;
    QString root = QString::fromStdString(agent.RootDirectory);
    const std::pair<int, int> schemes[] = {{kHttp, kHttps}, {kFtp, kSftp}};
    for (const auto& [type, entry] : schemes) {
        const QString scheme = QString::fromLatin1(kLocationTexts[entry]);
        if (location == type && root.startsWith(scheme, Qt::CaseInsensitive)) {
            location = entry;
            root = root.mid(scheme.size());
        }
    }
    m_location->setCurrentIndex(location);
    m_root->setText(root);
    m_home->setText(QString::fromStdString(agent.HomePage));
    m_agentDir->setText(QString::fromStdString(agent.FilesDirectory));
    m_ftpTls->setChecked(agent.FtpTls);
    m_caFile->setText(QString::fromStdString(agent.CaFile));
    m_sshKey->setText(QString::fromStdString(agent.SshKey));
    SetCredentials(agent.Username, agent.Password);
    UpdateControls();
}

void CSiteLocationProp::PageToSettings(CAgentSettings& agent) const {
    const int location = m_location->currentIndex();
    const int32_t types[] = {kSiteLocal, kSiteFtp, kSiteHttp, kSiteHttp, kSiteFtp};
    agent.SiteFileType = types[location];
    std::string root = m_root->text().trimmed().toStdString();
    if (location == kHttps || location == kSftp) {
        const std::string scheme = kLocationTexts[location];
        if (!StartsWithNoCase(root, scheme))
            root = scheme + root;
    }
    agent.RootDirectory = root;
    agent.HomePage = m_home->text().toStdString();
    agent.FilesDirectory = m_agentDir->text().toStdString();
    agent.FtpTls = m_ftpTls->isChecked();
    agent.CaFile = m_caFile->text().toStdString();
    agent.SshKey = m_sshKey->text().trimmed().toStdString();
    agent.Username = m_username;
    agent.Password = m_password;
}

std::string CSiteLocationProp::Root() const {
    std::string root = m_root->text().toStdString();
    NormalizeLocalPath(root, false);
    return root;
}

bool CSiteLocationProp::CheckPage(CUserPrompt& prompt) {
    const int location = m_location->currentIndex();
    if (location != kLocal) {
        std::string caFile = m_caFile->text().toStdString();
        NormalizeLocalPath(caFile, false);
        const std::string sshKey = m_sshKey->text().trimmed().toStdString();
        if (location == kSftp && !sshKey.empty() && ::access(sshKey.c_str(), R_OK) != 0) {
            prompt.ShowMessage(FormatString(IDS_SSH_KEY_NOT_FOUND, sshKey.c_str()));
            return false;
        }
        return CheckCaFile(caFile, prompt);
    }
    return CheckLocationPage(kSiteLocal, m_root->text().toStdString(), m_home->text().toStdString(),
                             m_agentDir->text().toStdString(), prompt);
}

void CSiteLocationProp::UpdateControls() {
    const bool local = m_location->currentIndex() == kLocal;
    const bool ftp = m_location->currentIndex() == kFtp || m_location->currentIndex() == kSftp;
    m_rootButton->setText(ResText(local ? IDS_BROWSE : IDS_AUTHENTICATE));
    // Choosing files needs the files on this machine.
    m_homeBrowse->setEnabled(local);
    m_agentDirBrowse->setEnabled(local);
    m_ftpTls->setEnabled(ftp);
    m_caFile->setEnabled(!local);
    m_caBrowse->setEnabled(!local);
    m_sshKey->setEnabled(m_location->currentIndex() == kSftp);
    m_sshBrowse->setEnabled(m_location->currentIndex() == kSftp);
    const QString root = m_root->text().trimmed();
    const QString under = root.isEmpty() ? QString()
                                         : QStringLiteral(" (") + ResText(IDS_UNDER) +
                                               QLatin1Char(' ') + root + QLatin1Char(')');
    m_homeLabel->setText(ResText(IDS_HOME_PAGE_LABEL) + under);
    m_agentDirLabel->setText(ResText(IDS_AGENT_DIR_LABEL) + under);
}

void CSiteLocationProp::OnRootButton() {
    if (m_location->currentIndex() == kLocal) {
        const QString dir =
            FileChooser().ChooseFolder(this, ResText(IDS_CHOOSE_WORKDIR), m_root->text());
        if (!dir.isEmpty())
            m_root->setText(dir);
        return;
    }
    CAgentSettings site;
    PageToSettings(site);
    NormalizeAgentPaths(site);
    CAuthenticateDialog login(site.RootDirectory, m_username, m_password, this);
    login.SetTls(site.CaFile, site.FtpTls);
    if (login.exec() == QDialog::Accepted)
        SetCredentials(login.UserName(), login.Password());
}

void CSiteLocationProp::BrowseHomePage() {
    SetUnderRoot(
        m_home, FileChooser().ChooseFile(this, false, ResText(IDS_CHOOSE_HOME_PAGE),
                                         QString::fromStdString(Root()), ResText(IDS_HOME_FILTER)));
}

void CSiteLocationProp::BrowseAgentDir() {
    SetUnderRoot(m_agentDir, FileChooser().ChooseFolder(this, ResText(IDS_CHOOSE_WORKDIR),
                                                        QString::fromStdString(Root())));
}

void CSiteLocationProp::SetUnderRoot(QLineEdit* edit, const QString& chosen) {
    if (chosen.isEmpty())
        return;
    std::string relative;
    if (!RelativeUnderRoot(Root(), chosen.toStdString(), false, relative)) {
        CMessagePrompt(this).ShowMessage(FormatString(IDS_MUST_BE_UNDER, Root().c_str()));
        return;
    }
    edit->setText(QString::fromStdString(relative));
}
