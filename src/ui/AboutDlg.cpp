#include "ui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/DialogCaptions.h"
#include "ui/ResText.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(ResText(IDS_ABOUT_CAPTION));
    auto* picture = new QLabel;
    picture->setPixmap(QIcon(":/images/program.svg").pixmap(64, 64));
    auto* version = new QLabel(ResText(IDS_ABOUT_VERSION));
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(version, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    ApplyDialogCaptions(this);
}
