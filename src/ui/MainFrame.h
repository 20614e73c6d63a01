// The main window: the agent list view, the menus with their accelerators, the toolbar of seven
// buttons, the one-pane status bar, and the agent commands, which it carries out through the
// document and the core run (RunAgentWith) exactly as the tarvik command does. While a run, a
// question or a dialog is open the document is busy: agent commands and closing are refused, and
// a command posted earlier looks for the current agent again when it runs. User-interface thread.
#pragma once

#include <QMainWindow>
#include <QMap>

class CAgentSettings;
class CBrevDoc;
class CPSiteView;
class CProgressDialog;
class QAction;

// Commands of the frame and the application besides the agent commands of the document.
enum FrameCommand : int {
    kCmdAbout = 57664,
    kCmdExit = 57665,
    kCmdHelpFinder = 57667,
    kCmdHelpContents = 57670,
    kCmdFaq = 32790,
    kCmdHomePage = 32791,
};

class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kMinWidth = 510;
    static constexpr int kMinHeight = 250;

    // doc: borrowed, open; it must outlive the window.
    explicit CMainFrame(CBrevDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    CPSiteView* View() const { return m_view; }
    // The action of a command (menu item, toolbar button, accelerator), or nullptr.
    QAction* Action(int command) const { return m_actions.value(command, nullptr); }

    // Carries out the command now when it is enabled (the current agent taken at this moment).
    void OnCommand(int command);
    // Carries the command out later, from the event loop (a double click, the start-up command).
    void PostCommand(int command);
    // Whether the command is enabled now: never while the document is busy; agent commands by
    // the selection.
    bool IsCommandEnabled(int command) const;

    // Rebuilds the list from the document, keeping the selection, and updates the commands.
    void RefreshView();
    // The progress dialog of the run in progress, or nullptr.
    CProgressDialog* RunningProgress() const { return m_progress; }
    // The program is asked to end (SIGTERM, end of the desktop session): stops a run in progress
    // and closes the window the normal way as soon as nothing is busy.
    void RequestClose();

  signals:
    // The window accepted closing: the document may be closed and the program end.
    void closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class BusyScope;

    QAction* MakeAction(int command, int textId, int promptId, int labelId = 0);
    void BuildMenus();
    void BuildToolBar();
    void UpdateCommands();
    void UpdateTitle();
    void ShowContextMenu(const QPoint& globalPos);
    void RemoveAgent();
    // agent: the one to run (an entry of the list), or nullptr for the current one.
    void RunAgent(CAgentSettings* agent = nullptr);
    void AddAgent();
    void EditProperties();
    void OpenHelp();

    CBrevDoc& m_doc;
    CPSiteView* m_view;
    QMap<int, QAction*> m_actions;
    CProgressDialog* m_progress = nullptr;
    bool m_closePending = false;
};
