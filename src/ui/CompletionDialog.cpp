#include "ui/CompletionDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogCaptions.h"
#include "ui/HelpLinks.h"
#include "ui/ResText.h"

namespace {

QPushButton* AddStep(QGridLayout* grid, int row, int textId, int topic, QWidget* dialog) {
    grid->addWidget(new QLabel(ResText(textId)), row, 0);
    auto* button = new QPushButton(ResText(IDS_DONE_BUTTON));
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, dialog,
                     [dialog, topic] { OpenInBrowser(dialog, HelpUrl(topic)); });
    grid->addWidget(button, row, 1);
    grid->addWidget(new QLabel(ResText(IDS_DONE_FOR_INSTRUCTIONS)), row, 2);
    return button;
}

}  // namespace

CCompletionDialog::CCompletionDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(ResText(IDS_DONE_CAPTION));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(ResText(IDS_DONE_HEADING)));
    auto* group = new QGroupBox(ResText(IDS_DONE_GROUP));
    auto* grid = new QGridLayout(group);
    m_upload = AddStep(grid, 0, IDS_DONE_UPLOAD, kHelpUpload, this);
    m_check = AddStep(grid, 1, IDS_DONE_CHECK, kHelpCheck, this);
    layout->addWidget(group);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    ApplyDialogCaptions(this);
}
