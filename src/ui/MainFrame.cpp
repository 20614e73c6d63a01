#include "ui/MainFrame.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>
#include <set>

#include "agent/BrevDoc.h"
#include "base/LastMessage.h"
#include "hive/HiveFile.h"
#include "processing/AgentRunTask.h"
#include "processing/AgentStep.h"
#include "res/StringTable.h"
#include "ui/AboutDlg.h"
#include "ui/AgentListModel.h"
#include "ui/AnalyzeDialog.h"
#include "ui/CompletionDialog.h"
#include "ui/HelpLinks.h"
#include "ui/MessagePrompt.h"
#include "ui/NewSiteDialog.h"
#include "ui/OptionsDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/ResText.h"
#include "ui/SiteView.h"

namespace {

bool IsAgentCommand(int command) {
    return command == kCmdAddAgent || command == kCmdRemoveAgent || command == kCmdRunAgent ||
           command == kCmdOptions || command == kCmdAddIfEmpty || command == kCmdAnalyzeAndEmbed ||
           command == kCmdProperties;
}

}  // namespace

// Marks the document busy for the life of a command's run, question or dialog.
class CMainFrame::BusyScope {
  public:
    explicit BusyScope(CMainFrame* frame) : m_frame(frame) {
        m_frame->m_doc.SetBusy(true);
        m_frame->UpdateCommands();
    }
    ~BusyScope() {
        m_frame->m_doc.SetBusy(false);
        m_frame->UpdateCommands();
        if (m_frame->m_closePending)
            QTimer::singleShot(0, m_frame, &QWidget::close);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    CMainFrame* m_frame;
};

CMainFrame::CMainFrame(CBrevDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_view(new CPSiteView(this)) {
    setWindowIcon(QIcon(":/images/program.svg"));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(kMinWidth, kMinHeight);
    setCentralWidget(m_view);
    BuildMenus();
    BuildToolBar();

    // One pane; "Ready" whenever no prompt is shown.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            statusBar()->showMessage(ResText(IDS_READY));
    });
    statusBar()->showMessage(ResText(IDS_READY));

    connect(m_view, &CPSiteView::selectionChanged, this, [this] {
        UpdateCommands();
        UpdateTitle();
    });
    connect(m_view, &CPSiteView::rowActivated, this, [this] { PostCommand(kCmdProperties); });
    connect(m_view, &CPSiteView::contextMenuRequested, this, &CMainFrame::ShowContextMenu);
    qApp->installEventFilter(this);
    RefreshView();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
}

QAction* CMainFrame::MakeAction(int command, int textId, int promptId, int labelId) {
    auto* action = new QAction(ResText(textId), this);
    const QString status = PromptLine(promptId);
    const QString tip = PromptTip(promptId);
    action->setStatusTip(status);
    action->setToolTip(tip);
    if (labelId != 0)
        action->setIconText(ResText(labelId));
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    m_actions.insert(command, action);
    addAction(action);  // accelerators work while the menus are closed
    return action;
}

void CMainFrame::BuildMenus() {
    QMenu* agent = menuBar()->addMenu(ResText(IDS_MENU_AGENT));
    agent->addAction(MakeAction(kCmdAddAgent, IDS_ITEM_ADD, IDS_CMD_ADD_AGENT, IDS_TB_ADD));
    Action(kCmdAddAgent)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    agent->addAction(
        MakeAction(kCmdRemoveAgent, IDS_ITEM_REMOVE, IDS_CMD_REMOVE_AGENT, IDS_TB_REMOVE));
    Action(kCmdRemoveAgent)->setShortcut(QKeySequence(Qt::Key_Delete));
    agent->addAction(
        MakeAction(kCmdProperties, IDS_ITEM_PROPERTIES, IDS_CMD_PROPERTIES, IDS_TB_PROPERTIES));
    Action(kCmdProperties)
        ->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    agent->addAction(MakeAction(kCmdRunAgent, IDS_ITEM_RUN, IDS_CMD_RUN_AGENT, IDS_TB_RUN));
    agent->addAction(
        MakeAction(kCmdAnalyzeAndEmbed, IDS_ITEM_ANALYZE, IDS_CMD_ANALYZE, IDS_TB_EMBED));
    agent->addSeparator();
    agent->addAction(MakeAction(kCmdExit, IDS_ITEM_EXIT, IDS_PROMPT_EXIT));

    QMenu* view = menuBar()->addMenu(ResText(IDS_MENU_VIEW));
    auto* modes = new QActionGroup(this);
    const int modeItems[][3] = {
        {CPSiteView::kLargeIcons, IDS_ITEM_LARGE_ICONS, IDS_PROMPT_LARGE_ICONS},
        {CPSiteView::kSmallIcons, IDS_ITEM_SMALL_ICONS, IDS_PROMPT_SMALL_ICONS},
        {CPSiteView::kList, IDS_ITEM_LIST, IDS_PROMPT_LIST},
        {CPSiteView::kDetails, IDS_ITEM_DETAILS, IDS_PROMPT_DETAILS}};
    for (const auto& item : modeItems) {
        QAction* action = MakeAction(item[0], item[1], item[2]);
        action->setCheckable(true);
        action->setChecked(item[0] == m_view->GetMode());
        modes->addAction(action);
        view->addAction(action);
    }
    view->addSeparator();
    view->addAction(MakeAction(kCmdOptions, IDS_ITEM_OPTIONS, IDS_CMD_OPTIONS, IDS_TB_OPTIONS));
    Action(kCmdOptions)->setShortcut(QKeySequence(Qt::Key_F10));

    QMenu* quorvane = menuBar()->addMenu(ResText(IDS_MENU_QUORVANE));
    quorvane->addAction(MakeAction(kCmdHomePage, IDS_ITEM_HOME, IDS_CMD_HOME, IDS_TB_HOME));
    quorvane->addAction(MakeAction(kCmdFaq, IDS_ITEM_FAQ, IDS_CMD_FAQ));

    QMenu* help = menuBar()->addMenu(ResText(IDS_MENU_HELP));
    help->addAction(
        MakeAction(kCmdHelpContents, IDS_ITEM_CONTENTS, IDS_PROMPT_CONTENTS, IDS_TB_HELP));
    Action(kCmdHelpContents)->setShortcut(QKeySequence(Qt::Key_F1));
    help->addAction(MakeAction(kCmdHelpFinder, IDS_ITEM_SEARCH, IDS_PROMPT_SEARCH));
    help->addSeparator();
    help->addAction(MakeAction(kCmdAbout, IDS_ITEM_ABOUT, IDS_PROMPT_ABOUT));

    // Alt+F1: context help; the next click on any window opens the manual.
    auto* contextHelp = new QAction(this);
    contextHelp->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F1));
    contextHelp->setStatusTip(PromptLine(IDS_PROMPT_CONTEXT_HELP));
    connect(contextHelp, &QAction::triggered, this, [] { QWhatsThis::enterWhatsThisMode(); });
    addAction(contextHelp);
}

void CMainFrame::BuildToolBar() {
    QToolBar* bar = addToolBar(ResText(IDS_DOC_TITLE));
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 22));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const std::pair<int, const char*> buttons[] = {
        {kCmdAddAgent, "add"},     {kCmdRemoveAgent, "remove"},    {kCmdProperties, "properties"},
        {kCmdRunAgent, "run"},     {kCmdAnalyzeAndEmbed, "embed"}, {kCmdHomePage, "home"},
        {kCmdHelpContents, "help"}};
    for (const auto& [command, image] : buttons) {
        QAction* action = Action(command);
        action->setIcon(QIcon(QString(":/images/tb_%1.svg").arg(image)));
        bar->addAction(action);
        if (QWidget* button = bar->widgetForAction(action))
            button->setMinimumSize(55, 47);
    }
}

bool CMainFrame::IsCommandEnabled(int command) const {
    if (IsAgentCommand(command)) {
        if (m_doc.IsBusy() || !m_doc.IsOpen())
            return false;
        return IsAgentCommandEnabled(command, m_view->SelectedAgent(), m_view->SelectedCount());
    }
    return m_actions.contains(command) ? m_actions.value(command)->isEnabled() : false;
}

void CMainFrame::UpdateCommands() {
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        if (IsAgentCommand(it.key()))
            it.value()->setEnabled(IsCommandEnabled(it.key()));
    }
}

void CMainFrame::UpdateTitle() {
    const QString app = ResText(IDS_DOC_TEMPLATE).section(QLatin1Char('\n'), 0, 0);
    setWindowTitle(QString::fromStdString(CBrevDoc::Title(m_view->SelectedAgent())) +
                   QStringLiteral(" - ") + app);
}

void CMainFrame::RefreshView() {
    m_view->Refill(m_doc.IsOpen() ? &m_doc.Agents() : nullptr);
    UpdateCommands();
    UpdateTitle();
}

void CMainFrame::PostCommand(int command) {
    QMetaObject::invokeMethod(
        this, [this, command] { OnCommand(command); }, Qt::QueuedConnection);
}

void CMainFrame::OnCommand(int command) {
    switch (command) {
        case CPSiteView::kLargeIcons:
        case CPSiteView::kSmallIcons:
        case CPSiteView::kList:
        case CPSiteView::kDetails:
            m_view->SetMode(static_cast<CPSiteView::Mode>(command));
            Action(command)->setChecked(true);
            return;
        case kCmdExit:
            close();
            return;
        case kCmdHomePage:
            OpenInBrowser(this, HomePageUrl());
            return;
        case kCmdFaq:
            OpenInBrowser(this, FaqUrl());
            return;
        case kCmdHelpContents:
        case kCmdHelpFinder:
            OpenHelp();
            return;
        case kCmdAbout: {
            CAboutDlg about(this);
            about.exec();
            return;
        }
        default:
            break;
    }
    if (!IsCommandEnabled(command))
        return;
    switch (command) {
        case kCmdRemoveAgent:
            RemoveAgent();
            break;
        case kCmdRunAgent:
            RunAgent();
            break;
        case kCmdAnalyzeAndEmbed:
            if (CAgentSettings* agent = m_view->SelectedAgent()) {
                BusyScope busy(this);
                CAnalyzeDialog::Open(m_doc, *agent, this);
                RefreshView();
            }
            break;
        case kCmdAddAgent:
            AddAgent();
            break;
        case kCmdOptions: {
            BusyScope busy(this);
            CPOptionsDialog options(m_doc.Agents(), this);
            if (options.exec() == QDialog::Accepted &&
                !m_doc.ApplyOptions(options.WorkDir(), options.SuffixLists())) {
                ShowPlainMessage(this, QString::fromStdString(UserHive().LastError()),
                                 ResText(IDS_APP_TITLE));
            }
            break;
        }
        case kCmdAddIfEmpty:
            if (m_doc.WantsFirstAgent())
                AddAgent();
            break;
        case kCmdProperties:
            EditProperties();
            break;
        default:
            break;
    }
}

void CMainFrame::RemoveAgent() {
    const CAgentSettings* current = m_view->SelectedAgent();
    if (current == nullptr)
        return;
    std::set<const CAgentSettings*> selected;
    for (int i = 0; i < m_doc.Agents().GetCount(); ++i) {
        if (m_view->IsSelected(m_doc.Agents().GetAt(i)))
            selected.insert(m_doc.Agents().GetAt(i));
    }
    bool stored = true;
    int removed = 0;
    {
        BusyScope busy(this);
        removed = m_doc.RemoveAgents(
            current, [&selected](const CAgentSettings& a) { return selected.count(&a) > 0; },
            &stored);
        if (removed > 0)
            RefreshView();
    }
    if (!stored)
        ShowPlainMessage(this, QString::fromStdString(UserHive().LastError()),
                         ResText(IDS_APP_TITLE));
}

void CMainFrame::AddAgent() {
    CAgentSettings* added = nullptr;
    bool runNow = false;
    {
        BusyScope busy(this);
        // Agents made here start with the script loader and clean URLs on.
        CAgentSettings agent;
        agent.IsScriptPrefetch = true;
        agent.CleanUrls = true;
        CNewSiteDialog wizard(IDS_NEW_SITE_WIZARD, true, this);
        wizard.SettingsToPages(agent);
        wizard.AddPages();
        // The key and the save happen inside Finish: a failure keeps the wizard open.
        wizard.SetFinishHandler([&](CAgentSettings& made) {
            added = m_doc.AddAgent(made);
            if (added == nullptr) {
                const std::string why = UserHive().LastError();
                ShowPlainMessage(&wizard,
                                 QString::fromStdString(why.empty() ? GetLastMessage() : why),
                                 ResText(IDS_APP_TITLE));
            }
            return added != nullptr;
        });
        if (wizard.exec() != QDialog::Accepted || added == nullptr)
            return;
        runNow = wizard.RunNow();
        RefreshView();
        const int row = m_view->FindRow(added);
        if (row >= 0) {
            m_view->ActiveView()->selectionModel()->setCurrentIndex(
                m_view->Model()->index(row, 0),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
    if (runNow)
        RunAgent(added);
    RefreshView();
}

void CMainFrame::EditProperties() {
    CAgentSettings* agent = m_view->SelectedAgent();
    if (agent == nullptr)
        return;
    bool runNow = false;
    {
        BusyScope busy(this);
        CNewSiteDialog sheet(IDS_SITE_PROPERTIES, false, this);
        sheet.SettingsToPages(*agent);
        sheet.AddPages();
        if (sheet.exec() != QDialog::Accepted)
            return;
        CAgentSettings edited;
        edited.AssignSettings(*agent);
        sheet.PagesToSettings(edited);
        if (!m_doc.ApplyProperties(*agent, edited)) {
            ShowPlainMessage(this, QString::fromStdString(UserHive().LastError()),
                             ResText(IDS_APP_TITLE));
        }
        RefreshView();
        // Asked after every OK, changed or not.
        runNow = CMessagePrompt(this).AskYesNo(ResString(IDS_PROPERTIES_CHANGED),
                                               ResString(IDS_PROCESS_SITE));
    }
    if (runNow)
        RunAgent(agent);
    RefreshView();
}

void CMainFrame::RunAgent(CAgentSettings* agent) {
    if (agent == nullptr)
        agent = m_view->SelectedAgent();
    if (agent == nullptr)
        return;
    BusyScope busy(this);
    // The same step as the command line's: the agent's run lock, the run under the progress
    // dialog, and the outcome and what the run learnt saved now, not only when the program ends.
    const StepResult step = RunAgentStep(
        m_doc, *agent,
        [this](CProcessingTask& task) { return CProgressDialog::RunTask(task, this, m_progress); },
        kFullRun);
    if (step.save == StepSave::kNotRun) {
        ShowPlainMessage(this, QString::fromStdString(ShownText(step.message)),
                         ResText(IDS_APP_TITLE));
        return;
    }
    if (step.save != StepSave::kSaved) {
        ShowPlainMessage(
            this, ResFormat(IDS_RUN_NOT_SAVED, QString::fromStdString(ShownText(step.message))),
            ResText(IDS_APP_TITLE));
    }
    const bool succeeded = step.succeeded;
    RefreshView();
    if (succeeded && !m_closePending) {
        CCompletionDialog done(this);
        done.exec();
    }
}

void CMainFrame::OpenHelp() {
    OpenInBrowser(this, HelpUrl(kHelpContents));
}

void CMainFrame::ShowContextMenu(const QPoint& globalPos) {
    if (m_doc.IsBusy())
        return;
    QMenu menu(ResText(IDS_MENU_SITE), this);
    const std::pair<int, int> items[] = {{kCmdRemoveAgent, IDS_ITEM_REMOVE_CONTEXT},
                                         {kCmdProperties, IDS_ITEM_PROPERTIES_CONTEXT},
                                         {0, 0},
                                         {kCmdRunAgent, IDS_ITEM_RUN},
                                         {kCmdAnalyzeAndEmbed, IDS_ITEM_ANALYZE}};
    for (const auto& [command, textId] : items) {
        if (command == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* item = menu.addAction(ResText(textId));
        item->setEnabled(IsCommandEnabled(command));
        item->setStatusTip(Action(command)->statusTip());
        connect(item, &QAction::triggered, this, [this, id = command] { PostCommand(id); });
    }
    menu.exec(globalPos);
}

void CMainFrame::RequestClose() {
    m_closePending = true;
    if (m_progress != nullptr)
        m_progress->RequestStop();
    // An agent sheet or the wizard is cancelled: nothing typed there is stored.
    if (auto* sheet = qobject_cast<CSiteSheet*>(QApplication::activeModalWidget()))
        sheet->reject();
    for (CAnalyzeDialog* steps : findChildren<CAnalyzeDialog*>())
        steps->RequestClose();
    if (!m_doc.IsBusy())
        close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_doc.IsBusy()) {
        event->ignore();
        return;
    }
    event->accept();
    // The rows let go of the agents before the document is closed and its list destroyed: the
    // window still lays its children out while it hides.
    m_view->Refill(nullptr);
    emit closed();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // Context help: whatever was clicked, the answer is the manual.
    if (event->type() == QEvent::WhatsThis && QWhatsThis::inWhatsThisMode()) {
        event->accept();
        QTimer::singleShot(0, this, [this] {
            QWhatsThis::leaveWhatsThisMode();
            OpenHelp();
        });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
