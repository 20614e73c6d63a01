#include "ui/SitePropPage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/DialogCaptions.h"
#include "ui/FileChooser.h"
#include "ui/ResText.h"

CSitePropPage::CSitePropPage(int titleId, QWidget* parent)
    : QWidget(parent), m_title(ResText(titleId)), m_body(new QVBoxLayout) {
    auto* row = new QHBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(QIcon(QStringLiteral(":/images/wizard.svg")).pixmap(QSize(120, 240)));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addLayout(m_body, 1);
}

bool CSitePropPage::CheckPage(CUserPrompt&) {
    return true;
}

void CSitePropPage::ApplyCaptions() {
    m_body->addStretch(1);
    ApplyDialogCaptions(this);
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (!button->text().startsWith(QLatin1Char('_')))
            continue;
        QFont bold = button->font();
        bold.setWeight(QFont::Bold);
        button->setText(button->text().mid(1));
        button->setFont(bold);
    }
}

QLabel* CSitePropPage::AddText(int textId) {
    auto* label = new QLabel(ResText(textId), this);
    label->setWordWrap(true);
    m_body->addWidget(label);
    return label;
}

QLabel* CSitePropPage::AddNote(int textId) {
    QLabel* note = AddText(textId);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    note->setFont(small);
    note->setForegroundRole(QPalette::PlaceholderText);
    return note;
}

QLineEdit* CSitePropPage::AddEdit(int labelId, QLabel** label, QPushButton** browse) {
    QLabel* text = AddText(labelId);
    auto* edit = new QLineEdit(this);
    text->setBuddy(edit);
    if (browse != nullptr) {
        *browse = MakeBrowse();
        AddRow({edit, *browse});
    } else {
        m_body->addWidget(edit);
    }
    if (label != nullptr)
        *label = text;
    return edit;
}

QCheckBox* CSitePropPage::AddCheck(int textId) {
    auto* check = new QCheckBox(ResText(textId), this);
    m_body->addWidget(check);
    return check;
}

QRadioButton* CSitePropPage::AddRadio(int textId) {
    auto* radio = new QRadioButton(ResText(textId), this);
    m_body->addWidget(radio);
    return radio;
}

QComboBox* CSitePropPage::AddList(int labelId) {
    QLabel* text = AddText(labelId);
    auto* list = new QComboBox(this);
    text->setBuddy(list);
    m_body->addWidget(list);
    return list;
}

void CSitePropPage::AddRow(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets)
        row->addWidget(w, qobject_cast<QLineEdit*>(w) != nullptr ? 1 : 0);
    m_body->addLayout(row);
}

QPushButton* CSitePropPage::MakeBrowse() {
    return new QPushButton(ResText(IDS_BROWSE), this);
}

void CSitePropPage::BrowseFileInto(QPushButton* browse, QLineEdit* edit, bool save, int titleId,
                                   int filterId) {
    connect(browse, &QPushButton::clicked, this, [this, edit, save, titleId, filterId] {
        const QString file =
            FileChooser().ChooseFile(this, save, ResText(titleId), edit->text(),
                                     filterId != 0 ? ResText(filterId) : QString());
        if (!file.isEmpty())
            edit->setText(file);
    });
}

void CSitePropPage::BrowseFolderInto(QPushButton* browse, QLineEdit* edit, int titleId) {
    connect(browse, &QPushButton::clicked, this, [this, edit, titleId] {
        const QString dir = FileChooser().ChooseFolder(this, ResText(titleId), edit->text());
        if (!dir.isEmpty())
            edit->setText(dir);
    });
}
