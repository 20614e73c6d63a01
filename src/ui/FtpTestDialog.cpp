#include "ui/FtpTestDialog.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogCaptions.h"
#include "ui/FtpTreeCtrl.h"
#include "ui/ResText.h"

CFtpTestDialog::CFtpTestDialog(CFtpSiteAccess* connection, QWidget* parent)
    : QDialog(parent), m_tree(new CFtpTreeCtrl) {
    setWindowTitle(ResText(IDS_FTP_TEST_CAPTION));
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(ResText(IDS_DLG_CLOSE), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree, 1);
    layout->addWidget(buttons);
    ApplyDialogCaptions(this);
    resize(320, 360);
    m_tree->Populate(connection);
}
