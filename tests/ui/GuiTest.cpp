// The desktop program through its real widgets (offscreen): start-up and splash, the list view's
// modes, selection rules and removal, runs through the progress dialog, and the close that keeps
// what another process wrote. Every window shown is saved under build/screenshots/.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <atomic>
#include <csignal>
#include <thread>

#include "processing/ProcessingTask.h"
#include "ui/AgentListModel.h"
#include "ui/CompletionDialog.h"
#include "ui/ProgressDialog.h"
#include "ui/SiteView.h"
#include "ui/SplashWnd.h"
#include "ui/UiTestUtil.h"

namespace {

// Records the pages the program asks the browser to open.
class UrlSink : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

class GuiTest : public UiTest {
  public:
    GuiTest() : UiTest("gui") {}
    void SetUp() override {
        UiTest::SetUp();
        QDesktopServices::setUrlHandler("file", &browser, "Open");
    }
    void TearDown() override {
        UiTest::TearDown();
        QDesktopServices::unsetUrlHandler("file");
    }
    // Stores agents with these descriptions; keys follow the domain names, listed in name order.
    void AddAgents(const std::vector<std::string>& descriptions) {
        for (std::size_t i = 0; i < descriptions.size(); ++i)
            Store(SiteAgent(descriptions[i], std::to_string(i) + descriptions[i] + ".example.com"));
    }
    QStringList Column(int column) {
        QStringList texts;
        const auto* model = app->MainFrame()->View()->Model();
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->index(r, column).data().toString();
        return texts;
    }

    UrlSink browser;
};

TEST_F(GuiTest, StartsBehindTheSplashWhichAClickClosesWithoutPassingItOn) {
    AddAgents({"first", "second", ""});
    QPushButton below("below");
    below.show();
    int clicks = 0;
    QObject::connect(&below, &QPushButton::clicked, [&] { ++clicks; });
    CMainFrame* frame = Start(true);
    ASSERT_NE(app->Splash(), nullptr);
    EXPECT_FALSE(frame->isVisible());
    Shot(app->Splash(), "splash");
    QTest::mouseClick(&below, Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    QTRY_VERIFY(frame->isVisible());
    EXPECT_EQ(app->Splash(), nullptr);
    // Shown in reverse order, the first row selected, the title from it.
    EXPECT_EQ(Column(0), QStringList({"<No Description>", "second", "first"}));
    EXPECT_EQ(frame->windowTitle(), "Tarvik - Quorvane");
    Select({1});
    EXPECT_EQ(frame->windowTitle(), "second - Quorvane");
    QTest::qWait(50);  // the start-up command on a non-empty list opens nothing
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(GuiTest, ViewModesKeepTheDetailsColumns) {
    AddAgents({"one", "two"});
    CMainFrame* frame = Start();
    CPSiteView* view = frame->View();
    const struct {
        int mode;
        const char* name;
    } modes[] = {{CPSiteView::kLargeIcons, "large-icons"},
                 {CPSiteView::kSmallIcons, "small-icons"},
                 {CPSiteView::kList, "list"},
                 {CPSiteView::kDetails, "details"}};
    for (const auto& m : modes) {
        frame->Action(m.mode)->trigger();
        EXPECT_EQ(view->GetMode(), m.mode);
        for (const auto& other : modes)
            EXPECT_EQ(frame->Action(other.mode)->isChecked(), other.mode == m.mode);
        if (m.mode == CPSiteView::kLargeIcons) {
            EXPECT_EQ(view->IconView()->viewMode(), QListView::IconMode);
        }
        Shot(frame, QString("main-") + m.name);
    }

    QString aboutTitle;
    QTimer::singleShot(0, [&] {
        QWidget* about = QApplication::activeModalWidget();
        aboutTitle = about->windowTitle();
        Shot(about, "about");
        about->close();
    });
    frame->Action(kCmdAbout)->trigger();
    EXPECT_EQ(aboutTitle, "About Quorvane Tarvik");
    ASSERT_TRUE(Activate());
    QTest::keyClick(frame, Qt::Key_F1);
    ASSERT_EQ(browser.urls.size(), 1);
    EXPECT_TRUE(QFileInfo(browser.urls[0].toLocalFile()).exists());
}

TEST_F(GuiTest, SelectionRulesAndRemovalWithItsQuestion) {
    AddAgents({"a", "b", "c"});
    CMainFrame* frame = Start();
    const struct {
        QList<int> rows;
        bool remove, run;
    } rules[] = {{{}, false, false}, {{1}, true, true}, {{0, 2}, true, false}};
    for (const auto& rule : rules) {
        Select(rule.rows);
        EXPECT_EQ(frame->Action(kCmdRemoveAgent)->isEnabled(), rule.remove);
        EXPECT_EQ(frame->Action(kCmdRunAgent)->isEnabled(), rule.run);
    }
    // Two rows: Del asks nothing and removes nothing.
    QTest::keyClick(frame->View()->DetailsView(), Qt::Key_Delete);
    EXPECT_EQ(Column(0), QStringList({"c", "b", "a"}));

    Select({1});
    QString asked;
    auto no = OnModal<QMessageBox>([&](QMessageBox* box) {
        asked = box->windowTitle() + ": " + box->text();
        Shot(box, "remove-question");
        box->button(QMessageBox::No)->click();
    });
    QTest::keyClick(frame->View()->DetailsView(), Qt::Key_Delete);
    EXPECT_EQ(asked,
              "Quorvane Tarvik: Are you sure you want to remove the agent 'b' from the list?");
    EXPECT_EQ(Column(0), QStringList({"c", "b", "a"}));
    QStringList yes;
    auto watch = AnswerBoxes(yes, QMessageBox::Yes);
    ASSERT_TRUE(Activate());
    QTest::keyClick(frame->View()->DetailsView(), Qt::Key_Delete);
    EXPECT_EQ(Column(0), QStringList({"c", "a"}));
    EXPECT_EQ(frame->View()->SelectedAgent()->Description, "c");
    EXPECT_EQ(ReadWholeFile(Reg()).find("1b.example.com"), std::string::npos);
}

TEST_F(GuiTest, RunShowsProgressSavesAtOnceAndOffersTheManual) {
    AddAgents({"site"});
    CMainFrame* frame = Start();
    bool sawProgress = false;
    QStringList failures;
    auto boxes = AnswerBoxes(failures);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (frame->RunningProgress() != nullptr && !sawProgress) {
            sawProgress = true;
            Shot(frame->RunningProgress(), "progress");
        }
        if (auto* done = qobject_cast<CCompletionDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            Shot(done, "completion");
            done->UploadButton()->click();
            done->CheckButton()->click();
            done->accept();
        }
    });
    poll.start(5);
    frame->Action(kCmdRunAgent)->trigger();
    EXPECT_TRUE(sawProgress);
    EXPECT_EQ(failures, QStringList());
    EXPECT_EQ(Column(3), QStringList({"Yes"}));
    ASSERT_EQ(browser.urls.size(), 2);
    EXPECT_EQ(browser.urls[0].fragment(), "upload");
    EXPECT_EQ(browser.urls[1].fragment(), "check");
    EXPECT_TRUE(QFileInfo(browser.urls[1].toLocalFile()).exists());
    // Saved before the program ends: outcome in the settings file, the statistics file written.
    EXPECT_NE(ReadWholeFile(Reg()).find("\"IsProcessed\"=\"true\""), std::string::npos);
    EXPECT_EQ(QDir(QString::fromStdString(dir / "work")).entryList({"*.qvs"}).size(), 1);
    EXPECT_NE(ReadWholeFile(dir / "site/index.html").find("tarvik/"), std::string::npos);
}

// A task that reports, then waits for Stop (or stops itself after a while when Stop is off), and
// keeps using the task for a moment after Close.
class WaitingTask : public CProcessingTask {
  public:
    bool stoppable = true;
    std::atomic<bool> finished{false};
    std::atomic<bool> sawStop{false};
    void Run() override {
        SinkEnableStop(m_sink, stoppable);
        SinkSetTitle(m_sink, "Waiting");
        SinkSetProgress(m_sink, 50);
        SinkSetStatus(m_sink, "<b>page</b>");
        for (int i = 0; i < 300 && !sawStop; ++i) {
            sawStop = SinkIsStopped(m_sink);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SinkClose(m_sink);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        finished = true;
    }
};

TEST_F(GuiTest, StopEscapeAndCloseBoxStopOnlyWhileStopIsEnabled) {
    const struct {
        const char* how;
        bool stoppable;
        std::function<void(CProgressDialog*)> act;
    } rows[] = {
        {"stop", true,
         [](CProgressDialog* d) { QTest::mouseClick(d->StopButton(), Qt::LeftButton); }},
        {"escape", true, [](CProgressDialog* d) { QTest::keyClick(d, Qt::Key_Escape); }},
        {"close box", true, [](CProgressDialog* d) { d->close(); }},
        {"stop off", false, [](CProgressDialog* d) {
             d->StopButton()->setEnabled(true);  // the look does not decide; the worker does
             QTest::mouseClick(d->StopButton(), Qt::LeftButton);
             QTest::keyClick(d, Qt::Key_Escape);
             d->close();
         }}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        WaitingTask task;
        task.stoppable = row.stoppable;
        CProgressDialog dialog(&task);
        QTimer::singleShot(100, &dialog, [&] {
            EXPECT_TRUE(dialog.isVisible());
            row.act(&dialog);
        });
        EXPECT_TRUE(dialog.RunModal());
        EXPECT_TRUE(task.finished);  // never returns while the worker still uses the task
        EXPECT_EQ(task.sawStop.load(), row.stoppable);
        EXPECT_EQ(dialog.StatusLine()->text(), "<b>page</b>");
        EXPECT_EQ(dialog.StatusLine()->textFormat(), Qt::PlainText);
    }
}

// A task that reports a value and then shows a message, waiting for it to be closed.
class MessageTask : public CProcessingTask {
  public:
    int report = 0;
    std::atomic<bool> returned{false};
    void Run() override {
        SinkSetProgress(m_sink, report);
        SinkShowMessage(m_sink, "Expected <i>5</i> minutes");
        returned = true;
        SinkClose(m_sink);
    }
};

TEST_F(GuiTest, BarShowsZeroToNinetyNineAndShowMessageWaitsForOk) {
    for (const auto& [report, shown] : {std::pair{100, 99}, {-5, 0}, {42, 42}}) {
        MessageTask task;
        task.report = report;
        CProgressDialog dialog(&task);
        QString text;
        int barWhileShown = -1;
        bool returnedWhileShown = true;
        auto watch = OnModal<QMessageBox>([&](QMessageBox* box) {
            text = box->windowTitle() + ": " + box->text();
            barWhileShown = dialog.Bar()->value();
            returnedWhileShown = task.returned;
            if (report == 100)
                Shot(box, "progress-message");
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_TRUE(dialog.RunModal());
        EXPECT_EQ(barWhileShown, shown);
        EXPECT_FALSE(returnedWhileShown);
        EXPECT_EQ(text, ": Expected <i>5</i> minutes");
    }
}

TEST_F(GuiTest, SigtermClosesKeepingWhatAnotherProcessWroteMeanwhile) {
    AddAgents({"mine"});
    CMainFrame* frame = Start();
    Shot(frame, "main");
    const std::string tarvik = std::string(TARVIK_EXE) + " --registry " + Reg() + " --workdir " +
                               (dir / "work") + " >/dev/null ";
    ASSERT_EQ(
        std::system((tarvik + "add Description=theirs DomainName=theirs.example RootDirectory=" +
                     (dir / "site") + " LogFile=" + (dir / "logs/access.log") +
                     " IsBackup=false --create-dirs")
                        .c_str()),
        0);
    // A value of an agent this program holds too, changed by another process meanwhile.
    ASSERT_EQ(std::system((tarvik + "set mine Description=renamed").c_str()), 0);
    std::raise(SIGTERM);
    // The document closes a moment after the window, in a call of its own.
    QTRY_VERIFY(!frame->isVisible() && !app->Doc().IsOpen());
    const std::string reg = ReadWholeFile(Reg());
    EXPECT_NE(reg.find("theirs.example"), std::string::npos);
    EXPECT_NE(reg.find("0mine.example.com"), std::string::npos);
    EXPECT_NE(reg.find("\"Description\"=\"renamed\""), std::string::npos) << reg;
    EXPECT_EQ(reg.find("\"Description\"=\"mine\""), std::string::npos) << reg;
}

TEST(GuiArguments, PositionalArgumentsAndBadOptionsAreRefused) {
    const struct {
        QStringList args;
        const char* error;
    } rows[] = {
        {{"site.reg"},
         "tarvik-gui: unexpected argument 'site.reg': the program takes no file or agent names"},
        {{"--bogus"}, "tarvik-gui: unknown option '--bogus'"},
        {{"--workdir"}, "tarvik-gui: option '--workdir' needs a value"},
        {{"--registry=/r.reg", "--workdir", "/w"}, ""}};
    for (const auto& row : rows) {
        GuiOptions options;
        std::string error;
        EXPECT_EQ(ParseGuiArguments(row.args, options, error), *row.error == '\0');
        EXPECT_EQ(error, row.error);
    }
}

}  // namespace

// The one main of the ui test program (this file and the wizard, analyze and options tests).
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "GuiTest.moc"
