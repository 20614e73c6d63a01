#include "ui/OptionsDialog.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/DialogCaptions.h"
#include "ui/FileChooser.h"
#include "ui/HelpLinks.h"
#include "ui/ResText.h"

namespace {

// The page's picture beside its note.
QHBoxLayout* NoteRow(int noteId) {
    auto* picture = new QLabel;
    picture->setPixmap(QIcon(":/images/picture164.svg").pixmap(48, 48));
    auto* note = new QLabel(ResText(noteId));
    note->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addWidget(note, 1);
    return row;
}

// "htm\r\nhtml\r\n" shown as the lines "htm" and "html".
QString ShownList(const std::string& stored) {
    QString text = QString::fromStdString(stored);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

// Every line of the edit followed by CR LF; the empty line after a last line break is none.
std::string StoredList(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    std::string stored;
    for (QString& line : lines) {
        line.remove(QLatin1Char('\r'));
        stored += line.toStdString();
        stored += "\r\n";
    }
    return stored;
}

}  // namespace

CPOptionDir::CPOptionDir(const QString& workDir)
    : m_edit(new QLineEdit(workDir)), m_browse(new QPushButton(ResText(IDS_OPT_BROWSE))) {
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString chosen =
            FileChooser().ChooseFolder(this, ResText(IDS_CHOOSE_WORKDIR), m_edit->text());
        if (!chosen.isEmpty())
            m_edit->setText(chosen);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_edit, 1);
    row->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(NoteRow(IDS_OPT_WORKDIR_NOTE));
    layout->addLayout(row);
    layout->addStretch(1);
}

CPOptionSuffix::CPOptionSuffix(const std::array<std::string, kSuffixTypeCount>& lists)
    : m_lists(lists), m_types(new QListWidget), m_edit(new QPlainTextEdit) {
    static_assert(IDS_OPT_TYPE_SHOCKWAVE - IDS_OPT_TYPE_HTML == kSuffixTypeCount - 1);
    for (int type = 0; type < kSuffixTypeCount; ++type)
        m_types->addItem(ResText(IDS_OPT_TYPE_HTML + type));
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->installEventFilter(this);
    connect(m_types, &QListWidget::currentRowChanged, this, [this](int type) {
        Store();
        Show(type);
    });
    auto* row = new QHBoxLayout;
    row->addWidget(m_types, 3);
    row->addWidget(m_edit, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(NoteRow(IDS_OPT_SUFFIX_NOTE));
    layout->addLayout(row, 1);
    m_types->setCurrentRow(0);
}

void CPOptionSuffix::Show(int type) {
    m_shown = type;
    m_edit->setPlainText(type >= 0 ? ShownList(m_lists[static_cast<std::size_t>(type)])
                                   : QString());
    m_edit->document()->setModified(false);
}

void CPOptionSuffix::Store() {
    if (m_shown < 0 || !m_edit->document()->isModified())
        return;
    m_lists[static_cast<std::size_t>(m_shown)] = StoredList(m_edit->toPlainText());
    m_edit->document()->setModified(false);
}

bool CPOptionSuffix::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::FocusOut)
        Store();
    return QWidget::eventFilter(watched, event);
}

CPOptionsDialog::CPOptionsDialog(const CAgentList& list, QWidget* parent)
    : QDialog(parent), m_tabs(new QTabWidget) {
    std::array<std::string, kSuffixTypeCount> lists;
    for (int type = 0; type < kSuffixTypeCount; ++type)
        lists[static_cast<std::size_t>(type)] = list.GetSuffixList(type);
    m_dir = new CPOptionDir(QString::fromStdString(list.GetWorkDir()));
    m_suffix = new CPOptionSuffix(lists);
    m_tabs->addTab(m_dir, ResText(IDS_OPT_WORKDIR_PAGE));
    m_tabs->addTab(m_suffix, ResText(IDS_OPT_SUFFIX_PAGE));
    setWindowTitle(ResText(IDS_OPTIONS));

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(ResText(IDS_OK), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(ResText(IDS_DLG_CANCEL), QDialogButtonBox::RejectRole);
    buttons->addButton(ResText(IDS_DLG_HELP), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CPOptionsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { OpenInBrowser(this, HelpUrl(kHelpContents)); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(buttons);
    ApplyDialogCaptions(this);
    resize(440, 300);
}

std::string CPOptionsDialog::WorkDir() const {
    return m_dir->Edit()->text().toStdString();
}

void CPOptionsDialog::accept() {
    m_suffix->Store();
    QDialog::accept();
}
