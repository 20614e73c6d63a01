// What the desktop program's offscreen tests share: readable failure output for Qt texts, the
// screenshots under build/screenshots/, a prompt that answers every question Yes, watches that
// answer modal windows, and a scratch site with the program started on it.
// User-interface thread.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <ctime>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "agent/BrevDoc.h"
#include "agent/UserPrompt.h"
#include "hive/HiveFile.h"
#include "log/LogTestUtil.h"
#include "support/TempDir.h"
#include "ui/BrevApp.h"
#include "ui/FileChooser.h"
#include "ui/MainFrame.h"
#include "ui/SiteView.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << list.join("|").toStdString();
}

// Saves what w shows as build/screenshots/NAME.png.
inline void Shot(QWidget* w, const QString& name) {
    const QString dir = TARVIK_SOURCE_DIR "/build/screenshots";
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + name + ".png");
}

class NoPrompt : public CUserPrompt {
  public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};

// Calls act on the first modal window of type T that opens (from the event loop) while the
// returned watch lives. A timer's slot is not re-entered: each watch has a timer of its own.
template <typename T>
std::unique_ptr<QTimer> OnModal(std::function<void(T*)> act) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [t = timer.get(), act] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            t->stop();
            act(w);
        }
    });
    timer->start(10);
    return timer;
}

// While the returned watch lives, every message box that opens is recorded in seen as
// "caption: text" and answered with answer where it offers it, else OK.
inline std::unique_ptr<QTimer> AnswerBoxes(QStringList& seen,
                                           QMessageBox::StandardButton answer = QMessageBox::No) {
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [&seen, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible())
            return;
        seen << box->windowTitle() + ": " + box->text();
        QAbstractButton* button = box->button(answer);
        (button != nullptr ? button : box->button(QMessageBox::Ok))->click();
    });
    timer->start(10);
    return timer;
}

// A scratch directory holding a two-page site (site/, with its agent directory site/tarvik, and
// dyn/ for a dynamic site's agent), a day-old access log visiting both pages, the applet files
// in work/ and the settings file tarvik.reg; and the program started on them.
class UiTest : public testing::Test {
  public:
    explicit UiTest(const char* name) : dir(name) {}
    void SetUp() override {
        ASSERT_TRUE(dir.WriteFile("site/index.html",
                                  "<html><body><a href=\"a.html\">A</a></body></html>\n"));
        ASSERT_TRUE(dir.WriteFile("site/a.html",
                                  "<html><body><a href=\"index.html\">home</a></body></html>\n"));
        ASSERT_TRUE(dir.MakeDir("site/tarvik"));
        ASSERT_TRUE(dir.MakeDir("dyn"));
        for (const char* name : {"qvan.zip", "qvan.cab", "qvan.jar", "quorvane.class", "a.class",
                                 "b.class", "quorvane.js"})
            ASSERT_TRUE(dir.WriteFile(std::string("work/") + name, "applet"));
        const time_t t0 = time(nullptr) - 86400;
        ASSERT_TRUE(
            dir.WriteFile("logs/access.log", logtest::Line(t0, "v1", "GET", "/index.html") +
                                                 logtest::Line(t0 + 20, "v1", "GET", "/a.html")));
        SetUserHivePath(Reg());
    }
    void TearDown() override {
        app.reset();
        SetFileChooser(nullptr);
        SetUserHivePath(dir / "unused.reg");
    }
    std::string Reg() const { return dir / "tarvik.reg"; }
    // An agent of the site: its log, the whole range, no backup.
    CAgentSettings SiteAgent(const std::string& description, const std::string& domain) const {
        CAgentSettings agent;
        agent.Description = description;
        agent.DomainName = domain;
        agent.RootDirectory = dir / "site";
        agent.LogFile = dir / "logs/access.log";
        agent.StatRange = kRangeAll;
        agent.IsBackup = false;
        return agent;
    }
    // Stores the agent as the program would, before it starts.
    void Store(const CAgentSettings& agent) {
        NoPrompt prompt;
        CBrevDoc doc(prompt);
        ASSERT_TRUE(doc.Open(dir / "work"));
        ASSERT_NE(doc.AddAgent(agent), nullptr);
        ASSERT_TRUE(doc.Close());
    }
    // Starts the program as tarvik-gui --registry REG --workdir DIR/WORK would ("": no
    // --workdir); unless splash, past the splash with the main window activated.
    CMainFrame* Start(bool splash = false, const std::string& work = "work") {
        app.reset();
        GuiOptions options;
        options.registry = Reg();
        options.workDir = work.empty() ? "" : dir / work;
        app = std::make_unique<CBrevApp>(options);
        EXPECT_TRUE(app->InitInstance(splash));
        if (!splash)
            Activate();  // an empty list's wizard may take the focus at once
        return app->MainFrame();
    }
    // Selects these rows of the agent list (and only these).
    void Select(const QList<int>& rows) {
        QTreeView* tree = app->MainFrame()->View()->DetailsView();
        tree->selectionModel()->clearSelection();
        for (int r : rows)
            tree->selectionModel()->select(tree->model()->index(r, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    bool Activate() {
        app->MainFrame()->activateWindow();
        return QTest::qWaitForWindowActive(app->MainFrame());
    }

    CTempDir dir;
    std::unique_ptr<CBrevApp> app;
};
