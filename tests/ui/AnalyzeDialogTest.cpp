// The step-by-step dialog and the site-map dialog through their real widgets (offscreen): the
// estimates as the tabs show them, the notices, the forced order edited by its buttons, by
// dragging and through the site-map dialog, and the steps run under the progress dialog. Every
// window shown is saved under build/screenshots/.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <filesystem>
#include <map>

#include "agent/SettingsStore.h"
#include "processing/AgentRunTask.h"
#include "ui/AnalyzeDialog.h"
#include "ui/BarListCtrl.h"
#include "ui/PageGraph.h"
#include "ui/ProgressDialog.h"
#include "ui/SiteMapDialog.h"
#include "ui/SitePropPage.h"
#include "ui/SiteSheet.h"
#include "ui/SiteTreeCtrl.h"
#include "ui/SiteView.h"
#include "ui/UiTestUtil.h"

namespace {

QString Text(const CAnalyzeDialog& d, int id) {
    return static_cast<QLabel*>(d.Control(id))->text();
}

std::vector<std::string> Names(const std::vector<CSitePage*>& pages) {
    std::vector<std::string> names;
    for (const CSitePage* p : pages)
        names.push_back(p->Name);
    return names;
}

// Every file below a directory with its contents.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
        if (e.is_regular_file())
            files[e.path().string()] = ReadWholeFile(e.path().string());
    }
    return files;
}

// A linked page of the hand-made graphs: its name, its link's weight, whether planning chose
// it, and its average load time.
struct Target {
    const char* name;
    double weight;
    bool prefetched;
    int load;
};

class AnalyzeDialogTest : public UiTest {
  public:
    AnalyzeDialogTest() : UiTest("analyze") {}
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(doc.Open(dir / "work"));
        agent = doc.AddAgent(SiteAgent("site", "www.example.com"));
        ASSERT_NE(agent, nullptr);
        ASSERT_TRUE(doc.SaveAgentState(*agent));
    }
    void TearDown() override {
        if (doc.IsOpen())
            doc.Close();
        UiTest::TearDown();
    }
    std::string StatisticsFile() const { return StatisticsFileName(dir / "work", agent->AgentKey); }

    // A graph of its own: /p.html (load 2 s, idle as given) linking statically to the targets.
    CSitePage* HandMadeGraph(int idle, const std::vector<Target>& targets) {
        agent->SiteMap = std::make_unique<CSiteMap>("/index.html");
        CSitePage* page = AddTimedPage("/p.html", 2, idle);
        for (const Target& t : targets) {
            CPageLink* link = page->GetOrAddLink(AddTimedPage(t.name, t.load, 0));
            link->Weight = t.weight;
            link->IsStatic = true;
            link->IsPrefetched = t.prefetched;
        }
        return page;
    }
    CSitePage* AddTimedPage(const char* name, int load, int idle) {
        CSitePage* page = agent->SiteMap->AddPage(name);
        page->Size = 100;
        page->ViewSamples = 1;
        page->LoadTimeSum = load;
        page->ViewTimeSum = load + idle;
        return page;
    }
    CSitePage* Page(const char* name) { return agent->SiteMap->FindPage(name); }

    NoPrompt prompt;
    CBrevDoc doc{prompt};
    CAgentSettings* agent = nullptr;
};

// Each figure in its field: W0 = 2, W1 = (1 - 0.84^2) * 0.5 * 4 = 0.5888 (base 0.84 at 5 s idle).
TEST_F(AnalyzeDialogTest, TabsShowTheEstimatesOfThePage) {
    HandMadeGraph(5, {{"/b.html", 0.5, true, 4}});
    CAnalyzeDialog d(doc, *agent);
    d.show();
    ASSERT_TRUE(d.Tree()->SelectPage("/p.html"));
    d.Tabs()->setCurrentIndex(CAnalyzeDialog::kPageTab);
    EXPECT_EQ(
        QStringList({Text(d, 1073), Text(d, 1074), Text(d, 1075), Text(d, 1076), Text(d, 1083)}),
        QStringList({"2 Seconds", "5 Seconds", "1 Seconds", "0 Seconds", "240%"}));
    EXPECT_TRUE(d.Control(1083)->isVisible());
    EXPECT_FALSE(d.Control(1094)->isVisible());
    EXPECT_FALSE(d.Control(1057)->isVisible());
    EXPECT_EQ(d.LinksList()->count(), 1);
    EXPECT_EQ(d.OrderList()->count(), 0);
    EXPECT_EQ(Text(d, 1092), "120%");
    for (int tab = 0; tab < 4; ++tab) {
        d.Tabs()->setCurrentIndex(tab);
        Shot(&d, QString("analyze-tab%1").arg(tab));
    }
}

TEST_F(AnalyzeDialogTest, NoticesWithoutStatisticsOrPage) {
    // Static links of weight 0 only: nothing learnt yet.
    CSitePage* page = HandMadeGraph(5, {{"/b.html", 0, true, 4}});
    page->Links.push_back(std::make_unique<CPageLink>(page));  // a learnt link, no weight
    AddTimedPage("/solo.html", 3, 4);
    CAnalyzeDialog d(doc, *agent);
    d.show();
    const struct {
        int tab;
        const char* page;  // selected, or null
        const char* notice;
        bool shown;
        int control;  // shown exactly when the notice is not
    } rows[] = {
        {0, nullptr, "Site statistics not available", true, 1092},
        {1, "/p.html", "Page statistics not available", true, 1073},
        {2, nullptr, "No page selected", true, 1036},
        {3, "/p.html", "No page selected", false, 1035},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.tab);
        if (row.page != nullptr)
            ASSERT_TRUE(d.Tree()->SelectPage(row.page));
        else
            d.Tree()->setCurrentItem(d.Tree()->topLevelItem(0));
        d.Tabs()->setCurrentIndex(row.tab);
        EXPECT_EQ(Text(d, 1094), row.notice);
        EXPECT_EQ(d.Control(1094)->isVisible(), row.shown);
        EXPECT_EQ(d.Control(row.control)->isVisible(), !row.shown);
    }
    EXPECT_EQ(Text(d, 1092), "0%");
    // A page without direct links.
    ASSERT_TRUE(d.Tree()->SelectPage("/solo.html"));
    EXPECT_EQ(QStringList({Text(d, 1075), Text(d, 1076), Text(d, 1083)}),
              QStringList({"no direct links", "no direct links", "no direct links"}));
    EXPECT_FALSE(d.Control(1088)->isEnabled());
}

TEST_F(AnalyzeDialogTest, ForcedOrderEditedByOrderDragRemoveAndAddLinks) {
    CSitePage* page = HandMadeGraph(
        5, {{"/b.html", 1, false, 2}, {"/c.html", 1, true, 4}, {"/d.html", 1, false, 6}});
    page->ForcedPrefetchPages = {Page("/d.html"), Page("/b.html")};
    CAnalyzeDialog d(doc, *agent);
    d.show();
    ASSERT_TRUE(d.Tree()->SelectPage("/p.html"));
    d.Tabs()->setCurrentIndex(CAnalyzeDialog::kOrderTab);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    QCoreApplication::processEvents();
    CBarListCtrl* list = d.OrderList();
    auto dragRow = [&](int from, int to) {
        QWidget* v = list->viewport();
        QTest::mousePress(v, Qt::LeftButton, {}, list->visualItemRect(list->item(from)).center());
        QTest::mouseMove(v, list->visualItemRect(list->item(to)).center());
        QTest::mouseRelease(v, Qt::LeftButton, {}, list->visualItemRect(list->item(to)).center());
    };
    auto buttons = [&] {
        return std::vector<bool>{d.Control(1001)->isEnabled(), d.Control(1104)->isEnabled(),
                                 d.Control(1039)->isEnabled()};
    };
    // Order off: planning's choice (c) counts, the buttons are off and dragging moves nothing.
    EXPECT_EQ(buttons(), std::vector<bool>({false, false, false}));
    dragRow(1, 0);
    EXPECT_EQ(Names(page->ForcedPrefetchPages), std::vector<std::string>({"/d.html", "/b.html"}));
    EXPECT_EQ(Text(d, 1083), "20%");

    static_cast<QCheckBox*>(d.Control(1049))->click();
    EXPECT_TRUE(page->ForcePrefetchOrder);
    EXPECT_EQ(Text(d, 1083), "53%");
    list->setCurrentRow(-1);
    EXPECT_EQ(buttons(), std::vector<bool>({true, true, false}));
    dragRow(1, 0);
    EXPECT_EQ(Names(page->ForcedPrefetchPages), std::vector<std::string>({"/b.html", "/d.html"}));
    EXPECT_EQ(Text(d, 1083), "54%");
    EXPECT_EQ(Text(d, 1092), "54%");
    EXPECT_EQ(buttons(), std::vector<bool>({true, true, true}));
    Shot(&d, "analyze-order-dragged");
    // Bars: each target's share of the page's weight.
    EXPECT_NEAR(list->ValueAt(0), 1.0 / 3, 1e-9);

    static_cast<QPushButton*>(d.Control(1039))->click();
    EXPECT_EQ(Names(page->ForcedPrefetchPages), std::vector<std::string>({"/d.html"}));
    static_cast<QPushButton*>(d.Control(1104))->click();
    EXPECT_EQ(Names(page->ForcedPrefetchPages),
              std::vector<std::string>({"/b.html", "/c.html", "/d.html"}));
    EXPECT_EQ(list->count(), 3);
}

TEST_F(AnalyzeDialogTest, AddChoosesAPageThroughTheSiteMapDialog) {
    CSitePage* page = HandMadeGraph(5, {{"/a.html", 1, false, 2}});
    for (const char* name : {"/docs/b.html", "/Docs/c.html", "/e\x1b.html", "/empty.html"})
        AddTimedPage(name, 1, 0);
    Page("/empty.html")->Size = 0;  // an empty file is no page to choose
    page->ForcePrefetchOrder = true;
    CAnalyzeDialog d(doc, *agent);
    d.show();
    ASSERT_TRUE(d.Tree()->SelectPage("/p.html"));
    d.Tabs()->setCurrentIndex(CAnalyzeDialog::kOrderTab);

    const struct {
        const char* what;
        std::function<void(CSiteTreeCtrl*)> select;
        std::vector<std::string> forced;
    } rows[] = {
        {"a directory chooses nothing",
         [](CSiteTreeCtrl* t) { t->setCurrentItem(t->topLevelItem(0)->child(0)); },
         {}},
        {"a page",
         [](CSiteTreeCtrl* t) { t->setCurrentItem(t->topLevelItem(0)->child(2)); },
         {"/a.html"}},
        {"a page below a directory",
         [](CSiteTreeCtrl* t) {
             QTreeWidgetItem* docs = t->topLevelItem(0)->child(1);
             docs->setExpanded(true);
             docs->setExpanded(false);
             docs->setExpanded(true);  // expanding twice adds nothing
             ASSERT_EQ(docs->childCount(), 2);
             EXPECT_EQ(docs->child(1)->text(0), "c.html");
             t->setCurrentItem(docs->child(1));
         },
         {"/a.html", "/Docs/c.html"}},
        {"a page already there is not added again",
         [](CSiteTreeCtrl* t) { t->setCurrentItem(t->topLevelItem(0)->child(2)); },
         {"/a.html", "/Docs/c.html"}},
        {"a name shown escaped is chosen by its raw name",
         [](CSiteTreeCtrl* t) { t->setCurrentItem(t->topLevelItem(0)->child(3)); },
         {"/a.html", "/Docs/c.html", "/e\x1b.html"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QStringList shown;
        auto watch = OnModal<CSiteMapDialog>([&](CSiteMapDialog* map) {
            CSiteTreeCtrl* t = map->Tree();
            QTreeWidgetItem* root = t->topLevelItem(0);
            shown << root->text(0);
            for (int i = 0; i < root->childCount(); ++i)
                shown << root->child(i)->text(0);
            row.select(t);
            Shot(map, "site-map");
            map->ChooseButton()->click();
        });
        static_cast<QPushButton*>(d.Control(1001))->click();
        EXPECT_EQ(shown, QStringList({"www.example.com", "docs", "Docs", "a.html", "e\\x1b.html",
                                      "p.html"}));
        EXPECT_EQ(Names(page->ForcedPrefetchPages), row.forced);
    }
}

// The agent after a full run, its statistics saved.
class AnalyzeStepTest : public AnalyzeDialogTest {
  public:
    void SetUp() override {
        AnalyzeDialogTest::SetUp();
        ASSERT_TRUE(RunAgent(doc.Agents(), *agent, nullptr, kRunMap | kRunLog));
        ASSERT_TRUE(doc.SaveAgentState(*agent));
    }
};

// Stops every progress dialog as it is shown, before its task starts.
struct StopAtShow : QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* p = qobject_cast<CProgressDialog*>(watched))
                p->RequestStop();
        return false;
    }
};

TEST_F(AnalyzeStepTest, AStoppedMapStepLeavesTheGraphAsItWas) {
    const std::string before = ReadWholeFile(StatisticsFile());
    ASSERT_FALSE(before.empty());
    CAnalyzeDialog d(doc, *agent);
    d.show();
    ASSERT_TRUE(d.Tree()->SelectPage("/index.html"));
    auto sheet = OnModal<CSiteSheet>([](CSiteSheet* s) { s->OkButton()->click(); });
    StopAtShow stop;
    qApp->installEventFilter(&stop);
    d.RunStep(kRunMap);
    qApp->removeEventFilter(&stop);
    EXPECT_FALSE(agent->IsProcessed);
    EXPECT_EQ(ReadWholeFile(StatisticsFile()), before);
    ASSERT_NE(agent->SiteMap->FindPage("/a.html"), nullptr);
    EXPECT_TRUE(agent->SiteMap->FindPage("/index.html")->HasStaticLink());
    // Tree and lists found again by name.
    EXPECT_EQ(d.Tree()->SelectedPage(), agent->SiteMap->FindPage("/index.html"));
    EXPECT_EQ(d.LinksList()->PageNameAt(0), "/a.html");
}

TEST_F(AnalyzeStepTest, EmbedStepWritesIntoTheRootSetSinceTheGraphWasMade) {
    std::filesystem::copy(dir / "site", dir / "moved");
    agent->RootDirectory = dir / "moved";
    // An edit of the graph in this program: the step goes on from this graph, not the file's.
    agent->SiteMap->FindPage("/index.html")->ForcePrefetchOrder = true;
    CAnalyzeDialog d(doc, *agent);
    auto sheet = OnModal<CSiteSheet>([](CSiteSheet* s) { s->OkButton()->click(); });
    d.RunStep(kRunEmbed);
    EXPECT_TRUE(agent->IsProcessed);
    EXPECT_NE(ReadWholeFile(dir / "moved/index.html").find("startQuorvane"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(dir / "site/index.html").find("startQuorvane"), std::string::npos);
    // Saved at once: the outcome in the settings file.
    EXPECT_NE(ReadWholeFile(dir / "tarvik.reg").find("\"IsProcessed\"=\"true\""),
              std::string::npos);
}

TEST_F(AnalyzeStepTest, AStatisticsFileThatCannotBeWrittenIsShown) {
    // A directory where the file should be, and one where it would be set aside.
    ASSERT_TRUE(std::filesystem::remove(StatisticsFile()));
    ASSERT_TRUE(dir.WriteFile(StatisticsFile().substr(dir.Path().size() + 1) + "/x", ""));
    ASSERT_TRUE(dir.WriteFile(StatisticsFile().substr(dir.Path().size() + 1) + ".damaged/x", ""));
    agent->SiteMap->FindPage("/index.html")->ForcePrefetchOrder = true;  // a change to save
    CAnalyzeDialog d(doc, *agent);
    QString said;
    auto watch = OnModal<QMessageBox>([&](QMessageBox* box) {
        said = box->text();
        Shot(box, "analyze-not-saved");
        box->accept();
    });
    auto sheet = OnModal<CSiteSheet>([](CSiteSheet* s) { s->OkButton()->click(); });
    d.RunStep(kRunLog);
    EXPECT_TRUE(agent->IsProcessed);
    EXPECT_EQ(said.toStdString(), "Could not keep the unreadable statistics file " +
                                      StatisticsFile() + " as " + StatisticsFile() +
                                      ".damaged (Directory not empty)");
}

TEST_F(AnalyzeStepTest, EachStepAsksForItsOwnSettingsFirstAndCancelRunsNothing) {
    const struct {
        unsigned phase;
        bool dynamic;
        QString sheet;  // caption, OK text, pages
    } rows[] = {
        {kRunMap, false, "Process Site Map|Process Map|CSiteDomainProp|CSiteLocationProp"},
        {kRunMap, true, "Process Site Map|Process Map|CSiteDomainProp|CSiteDynLocProp"},
        {kRunLog, false, "Process Site Log|Process Log|CSiteLogProp|CSiteRangeProp|CSiteAlphaProp"},
        {kRunEmbed, false,
         "Embed Java|Embed Java|CSiteLimitProp|CSiteSizeLimitProp|CSiteBackupProp"},
        {kRunEmbed, true, "Embed Java|Embed Java|CSiteLimitProp|CSiteSizeLimitProp"},
    };
    CAnalyzeDialog d(doc, *agent);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sheet.toStdString());
        agent->IsDynamicSite = row.dynamic;
        agent->ProcessTime.clear();
        QStringList seen;
        auto watch = OnModal<CSiteSheet>([&](CSiteSheet* s) {
            seen << s->windowTitle() << s->OkButton()->text();
            for (int i = 0; i < s->PageCount(); ++i)
                seen << s->Page(i)->metaObject()->className();
            if (row.phase == kRunEmbed && !row.dynamic)
                Shot(s, "analyze-embed-sheet");
            s->CancelButton()->click();
        });
        d.RunStep(row.phase);
        EXPECT_EQ(seen.join("|"), row.sheet);
        EXPECT_EQ(agent->ProcessTime, "");
    }
}

TEST_F(AnalyzeStepTest, CommandOpensTheDialogAndClosingItWithoutAStepChangesNoFile) {
    ASSERT_TRUE(doc.Close());
    const auto before = Snapshot(dir.Path());
    const struct {
        const char* how;
        std::function<void(CMainFrame*, CAnalyzeDialog*)> close;
    } rows[] = {
        {"Close",
         [](CMainFrame*, CAnalyzeDialog* d) {
             static_cast<QPushButton*>(d->Control(CAnalyzeDialog::kClose))->click();
         }},
        {"the program asked to end", [](CMainFrame* f, CAnalyzeDialog*) { f->RequestClose(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        CMainFrame* frame = Start();
        Select({0});
        QString title, shown;
        bool closedAtOnce = false;
        auto watch = OnModal<CAnalyzeDialog>([&](CAnalyzeDialog* d) {
            title = d->windowTitle();
            // Estimates shown for a page with learnt weights.
            d->Tree()->SelectPage("/index.html");
            d->Tabs()->setCurrentIndex(CAnalyzeDialog::kPageTab);
            shown = Text(*d, 1083);
            Shot(d, "analyze-opened");
            row.close(frame, d);
            closedAtOnce = !d->isVisible();
            if (!closedAtOnce)
                d->reject();
        });
        frame->Action(kCmdAnalyzeAndEmbed)->trigger();
        EXPECT_EQ(title, "Analyze and Embed Java");
        EXPECT_EQ(shown, "0%");
        EXPECT_TRUE(closedAtOnce);
        if (std::string(row.how) == "Close")
            frame->close();
        QTRY_VERIFY(!frame->isVisible());  // asked to end: the program closes by itself
        EXPECT_EQ(Snapshot(dir.Path()), before);
    }
}

}  // namespace
