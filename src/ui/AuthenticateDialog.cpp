#include "ui/AuthenticateDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "site/FtpSiteAccess.h"
#include "ui/BackgroundWork.h"
#include "ui/DialogCaptions.h"
#include "ui/FtpTestDialog.h"
#include "ui/ResText.h"

CAuthenticateDialog::CAuthenticateDialog(std::string server, const std::string& userName,
                                         const std::string& password, QWidget* parent)
    : QDialog(parent),
      m_server(std::move(server)),
      m_user(new QLineEdit(QString::fromStdString(userName))),
      m_password(new QLineEdit(QString::fromStdString(password))),
      m_test(new QPushButton(ResText(IDS_AUTH_TEST))) {
    setWindowTitle(ResText(IDS_AUTH_CAPTION));
    m_password->setEchoMode(QLineEdit::Password);
    auto* note = new QLabel(ResText(IDS_AUTH_NOTE));
    note->setWordWrap(true);
    auto* fields = new QFormLayout;
    auto* userLabel = new QLabel(ResText(IDS_AUTH_USER));
    userLabel->setBuddy(m_user);
    auto* passwordLabel = new QLabel(ResText(IDS_AUTH_PASSWORD));
    passwordLabel->setBuddy(m_password);
    fields->addRow(userLabel, m_user);
    fields->addRow(passwordLabel, m_password);

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(ResText(IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(ResText(IDS_DLG_CANCEL), QDialogButtonBox::RejectRole);
    buttons->addButton(m_test, QDialogButtonBox::ActionRole);
    m_test->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_test, &QPushButton::clicked, this, &CAuthenticateDialog::Test);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    ApplyDialogCaptions(this);
    setMinimumWidth(380);
}

std::string CAuthenticateDialog::UserName() const {
    return m_user->text().toStdString();
}

std::string CAuthenticateDialog::Password() const {
    return m_password->text().toStdString();
}

void CAuthenticateDialog::Test() {
    CFtpSiteAccess access(m_server, 0, UserName(), Password());
    access.SetTls(m_caFile, m_tlsRequired);
    bool connected = false;
    m_test->setEnabled(false);
    RunWithWaitCursor([&access, &connected] { connected = access.Connect(); });
    m_test->setEnabled(true);
    if (!connected) {
        QMessageBox box(QMessageBox::Warning, ResText(IDS_APP_TITLE),
                        ResText(IDS_FTP_CONNECT_FAILED), QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(QString::fromStdString(ShownText(access.LastError())));
        // The reason names the server as typed: shown as it is, never as markup.
        if (auto* reason = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
            reason->setTextFormat(Qt::PlainText);
        box.exec();
        return;
    }
    CFtpTestDialog test(&access, this);
    test.exec();
}
