#include "ui/BrevApp.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <csignal>

#include "agent/BrevDoc.h"
#include "hive/HiveFile.h"
#include "site/SiteAccess.h"
#include "ui/MainFrame.h"
#include "ui/MessagePrompt.h"
#include "ui/ResText.h"
#include "ui/SplashWnd.h"

namespace {

// SIGTERM reaches the event loop through a socket pair: the handler only writes a byte.
int g_termFds[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_termFds[0], &byte, 1);
}

}  // namespace

bool ParseGuiArguments(const QStringList& args, GuiOptions& options, std::string& error) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        std::string* target = nullptr;
        QString name = arg.section('=', 0, 0);
        if (name == "--registry")
            target = &options.registry;
        else if (name == "--workdir")
            target = &options.workDir;
        if (target == nullptr) {
            error = arg.startsWith('-') && arg.size() > 1
                        ? FormatString(IDS_GUI_UNKNOWN_OPTION, arg.toUtf8().constData())
                        : FormatString(IDS_GUI_POSITIONAL, arg.toUtf8().constData());
            return false;
        }
        QString value;
        if (arg.contains('=')) {
            value = arg.section('=', 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        if (value.isEmpty()) {
            error = FormatString(IDS_GUI_NEEDS_VALUE, name.toUtf8().constData());
            return false;
        }
        *target = value.toStdString();
    }
    return true;
}

CBrevApp::CBrevApp(GuiOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_prompt(new CMessagePrompt) {}

CBrevApp::~CBrevApp() {
    RemoveTerminationHandler();
    m_splash.reset();
    m_frame.reset();
    if (m_doc && m_doc->IsOpen())
        m_doc->Close();
}

bool CBrevApp::InitInstance(bool showSplash) {
    // Qt took the locale from the environment; numbers and times the program stores keep their
    // fixed forms ("." and "AM"/"PM") whatever it is.
    std::setlocale(LC_NUMERIC, "C");
    std::setlocale(LC_TIME, "C");

    if (!InitNetworkAccess()) {
        ShowPlainMessage(nullptr, ResText(IDS_SOCKETS_INIT_FAILED), ResText(IDS_APP_TITLE));
        return false;
    }
    if (!m_options.registry.empty())
        SetUserHivePath(m_options.registry);
    m_doc = std::make_unique<CBrevDoc>(*m_prompt);
    if (!m_doc->Open(m_options.workDir)) {
        ShowPlainMessage(nullptr, QString::fromStdString(UserHive().LastError()),
                         ResText(IDS_APP_TITLE));
        m_doc.reset();
        return false;
    }
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    m_prompt->SetParent(m_frame.get());
    connect(m_frame.get(), &CMainFrame::closed, this, &CBrevApp::ExitInstance,
            Qt::QueuedConnection);
    connect(qApp, &QGuiApplication::commitDataRequest, m_frame.get(),
            [this] { m_frame->RequestClose(); });
    InstallTerminationHandler();

    if (showSplash) {
        m_splash = std::make_unique<CSplashWnd>([this] {
            // Leave the splash's own call stack before it is destroyed.
            QTimer::singleShot(0, this, &CBrevApp::OnSplashClosed);
        });
        m_splash->ShowSplash();
    } else {
        OnSplashClosed();
    }
    return true;
}

CSplashWnd* CBrevApp::Splash() const {
    return m_splash && m_splash->IsShown() ? m_splash.get() : nullptr;
}

void CBrevApp::OnSplashClosed() {
    m_splash.reset();
    m_frame->show();
    m_frame->PostCommand(kCmdAddIfEmpty);
}

void CBrevApp::ExitInstance() {
    RemoveTerminationHandler();
    if (m_doc && m_doc->IsOpen())
        m_doc->Close();
    QCoreApplication::quit();
}

void CBrevApp::InstallTerminationHandler() {
    if (g_termFds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_termFds) != 0)
        return;
    m_termNotifier = new QSocketNotifier(g_termFds[1], QSocketNotifier::Read, this);
    connect(m_termNotifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_termFds[1], &byte, 1);
        if (m_frame)
            m_frame->RequestClose();
    });
    struct sigaction action = {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
}

void CBrevApp::RemoveTerminationHandler() {
    if (m_termNotifier == nullptr)
        return;
    std::signal(SIGTERM, SIG_DFL);
    delete m_termNotifier;
    m_termNotifier = nullptr;
    ::close(g_termFds[0]);
    ::close(g_termFds[1]);
    g_termFds[0] = g_termFds[1] = -1;
}
