// The desktop program's application object: the start-up in its order (network library, the
// settings file and working directory chosen on the command line, the document with every agent,
// the main window kept hidden behind the splash), the hand-over when the splash closes, and the
// end (the document writes what this process changed when the main window has closed; SIGTERM
// and the end of the desktop session close that window the normal way). User-interface thread.
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>

class CBrevDoc;
class CMainFrame;
class CMessagePrompt;
class CSplashWnd;
class QSocketNotifier;

// What the command line of tarvik-gui asks for.
struct GuiOptions {
    std::string registry;  // --registry FILE: the settings file instead of the user's own
    std::string workDir;   // --workdir DIR: the working directory for this run (not stored)
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name (Qt's own options already taken out). False with
// the message in error for an unknown option, an option without its value, or any positional
// argument (the program takes no file or agent names).
bool ParseGuiArguments(const QStringList& args, GuiOptions& options, std::string& error);

class CBrevApp : public QObject {
    Q_OBJECT

  public:
    explicit CBrevApp(GuiOptions options, QObject* parent = nullptr);
    ~CBrevApp() override;

    // Start-up: the network library (message 104 when it fails), the settings file, the document
    // with every agent, the main window (hidden) and, when showSplash is set, the splash; without
    // it the main window shows at once. False when the program must end (the reason was shown).
    bool InitInstance(bool showSplash = true);
    // The splash has gone: the main window shows and the start-up command is posted.
    void OnSplashClosed();
    // The main window has closed: the document writes what changed, and the event loop ends.
    void ExitInstance();

    CBrevDoc& Doc() { return *m_doc; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    // The splash while it is shown, else nullptr.
    CSplashWnd* Splash() const;

  private:
    void InstallTerminationHandler();
    void RemoveTerminationHandler();

    GuiOptions m_options;
    std::unique_ptr<CMessagePrompt> m_prompt;
    std::unique_ptr<CBrevDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CSplashWnd> m_splash;
    QSocketNotifier* m_termNotifier = nullptr;
};
