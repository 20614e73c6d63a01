// The new-agent wizard and the agent property sheet through their real widgets (offscreen): the
// wizard's branches end to end from the main window, each page's refusals, the browse
// buttons' under-the-root rule, and the question after OK. Every page shown is saved under
// build/screenshots/.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <unistd.h>

#include "res/StringTable.h"
#include "ui/AuthenticateDialog.h"
#include "ui/CompletionDialog.h"
#include "ui/NewSiteDialog.h"
#include "ui/SiteBackupProp.h"
#include "ui/SiteDomainProp.h"
#include "ui/SiteDynLocProp.h"
#include "ui/SiteLimitProp.h"
#include "ui/SiteLocationProp.h"
#include "ui/SiteLogProp.h"
#include "ui/SiteRangeProp.h"
#include "ui/SiteSizeLimitProp.h"
#include "ui/SiteThanksProp.h"
#include "ui/SiteTypeProp.h"
#include "ui/SiteView.h"
#include "ui/UiTestUtil.h"

namespace {

// Answers the choosers with a fixed name and records what they were asked.
struct Chooser : CFileChooser {
    QString answer, title, filter;
    QString ChooseFolder(QWidget*, const QString& t, const QString&) override {
        title = t;
        return answer;
    }
    QString ChooseFile(QWidget*, bool, const QString& t, const QString&,
                       const QString& f) override {
        title = t;
        filter = QtFileFilter(f);
        return answer;
    }
};

class WizardTest : public UiTest {
  public:
    WizardTest() : UiTest("wizard") {}
    // A valid agent of the fixture's site.
    void Valid(CAgentSettings& agent, bool dynamic) {
        agent.Description = "shop";
        agent.DomainName = "shop.example.com";
        agent.IsDynamicSite = dynamic;
        agent.RootDirectory = dir / "site";
        agent.FilesDirectory = dynamic ? dir / "dyn" : "/tarvik";
        agent.LogFile = dir / "logs/access.log";
        agent.BackupDir = dir / "shop.zip";
    }
    const CAgentSettings* Agent(const std::string& description) {
        const CAgentList& list = app->Doc().Agents();
        for (int i = 0; i < list.GetCount(); ++i) {
            if (list.GetAt(i)->Description == description)
                return list.GetAt(i);
        }
        return nullptr;
    }
};

// The start-up command on an empty list, then Ctrl+N: each branch's pages in order, the agent in
// the list and the settings file, stored as the pages showed it; Cancel writes nothing.
TEST_F(WizardTest, BranchesEndToEndFromTheMainWindow) {
    const QString start = "Domain Name|Statistics|", log = "Log File Analysis|",
                  end = "File Types|Pre-cache - Advanced|";
    const struct {
        const char* name;
        bool dynamic, noLog, runNow, cancel;
        QString pages;
    } rows[] = {
        {"nolog", false, true, false, false,
         start + "Site Properties|" + log + end + "Backup|Quorvane - Thank You"},
        {"static", false, false, true, false,
         start + "Site Properties|" + log + "Log Range|Statistics|" + end +
             "Backup|Quorvane - Thank You"},
        {"dynamic", true, false, false, false,
         start + "Site Directories|" + log + "Log Range|Statistics|" + end +
             "Quorvane - Thank You"},
        {"cancel", false, true, false, true, "Domain Name"},
    };
    const auto* row = &rows[0];
    QStringList pages, failures;
    bool completed = false;
    auto boxes = AnswerBoxes(failures);
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* w = qobject_cast<CNewSiteDialog*>(QApplication::activeModalWidget());
        if (w == nullptr || !pages.isEmpty())
            return;
        EXPECT_EQ(w->windowTitle(), "New Site Wizard");
        w->DomainPage()->DescriptionEdit()->setText(row->name);
        w->DomainPage()->DomainEdit()->setText(QString(row->name) + ".example.com");
        (row->dynamic ? w->TypePage()->DynamicRadio() : w->TypePage()->StaticRadio())
            ->setChecked(true);
        w->LocationPage()->RootEdit()->setText(QString::fromStdString(dir / "site"));
        w->DynLocPage()->AgentDirEdit()->setText(QString::fromStdString(dir / "dyn"));
        w->LogPage()->LogFileEdit()->setText(QString::fromStdString(dir / "logs/access.log"));
        w->LogPage()->IgnoreCheck()->setChecked(row->noLog);
        w->RangePage()->RangeList()->setCurrentIndex(kRangeAll);
        w->BackupPage()->FileEdit()->setText(QString::fromStdString(dir / "backup.zip"));
        (row->runNow ? w->ThanksPage()->YesRadio() : w->ThanksPage()->NoRadio())->setChecked(true);
        for (CSitePropPage* page = w->CurrentPage();;) {
            pages << page->Title();
            Shot(w, QString("wizard-%1-%2").arg(row->name).arg(pages.size()));
            if (row->cancel || w->NextPage(page) == nullptr)
                break;
            w->Next();
            if (w->CurrentPage() == page) {
                ADD_FAILURE() << "stuck on " << page->Title().toStdString();
                w->CancelButton()->click();
                return;
            }
            page = w->CurrentPage();
        }
        if (row->cancel) {
            w->CancelButton()->click();
            return;
        }
        EXPECT_FALSE(w->NextButton()->isVisible());
        EXPECT_TRUE(w->BackButton()->isEnabled());
        w->Back();
        EXPECT_EQ(w->CurrentPage()->Title(), row->dynamic ? "Pre-cache - Advanced" : "Backup");
        w->Next();
        w->FinishButton()->click();
    });
    driver.start(20);
    CMainFrame* frame = nullptr;
    for (const auto& r : rows) {
        row = &r;
        pages.clear();
        const std::string before = ReadWholeFile(Reg());
        auto done = OnModal<CCompletionDialog>([&](CCompletionDialog* d) {
            completed = true;
            d->accept();
        });
        if (frame == nullptr) {
            frame = Start();  // an empty list: the wizard opens by itself
        } else {
            ASSERT_TRUE(Activate());
            QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
        }
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QApplication::activeModalWidget() == nullptr && !pages.isEmpty(); },
            30000));
        EXPECT_EQ(pages.join("|"), r.pages) << r.name;
        const CAgentSettings* agent = Agent(r.name);
        if (r.cancel) {
            EXPECT_EQ(agent, nullptr);
            EXPECT_EQ(ReadWholeFile(Reg()), before);
            continue;
        }
        EXPECT_NE(ReadWholeFile(Reg()).find(std::string(r.name) + ".example.com"),
                  std::string::npos);
        ASSERT_NE(agent, nullptr) << r.name;
        EXPECT_EQ(frame->View()->SelectedAgent(), agent);
        EXPECT_TRUE(agent->IsScriptPrefetch && agent->CleanUrls && !agent->StatAccumulate);
        EXPECT_EQ(agent->ignoreLogFile, r.noLog);
        EXPECT_EQ(agent->IsDynamicSite, r.dynamic);
        EXPECT_EQ(agent->FilesDirectory, r.dynamic ? dir / "dyn" : "/tarvik");
        EXPECT_EQ(agent->IsProcessed, r.runNow);
        EXPECT_EQ(completed, r.runNow);
        completed = false;
    }
    EXPECT_EQ(failures, QStringList());
}

// The key and the save happen inside Finish: a settings file that cannot be written keeps the
// wizard open with what was typed, and the next Finish stores it.
TEST_F(WizardTest, FinishThatCannotSaveKeepsTheWizardOpen) {
    const std::string lock = dir / "tarvik.reg.lock";
    QStringList boxes;
    bool stayed = false, done = false;
    auto answer = AnswerBoxes(boxes);
    auto driver = OnModal<CNewSiteDialog>([&](CNewSiteDialog* w) {
        done = true;
        w->DomainPage()->DescriptionEdit()->setText("late");
        w->DomainPage()->DomainEdit()->setText("late.example.com");
        w->LocationPage()->RootEdit()->setText(QString::fromStdString(dir / "site"));
        w->LogPage()->IgnoreCheck()->setChecked(true);
        w->BackupPage()->BackupCheck()->setChecked(false);
        w->ThanksPage()->NoRadio()->setChecked(true);
        while (w->NextPage(w->CurrentPage()) != nullptr)
            w->Next();
        ::unlink(lock.c_str());
        ASSERT_TRUE(dir.MakeDir("tarvik.reg.lock"));
        w->FinishButton()->click();
        stayed = w->isVisible() && w->DomainPage()->DescriptionEdit()->text() == "late";
        ::rmdir(lock.c_str());
        w->FinishButton()->click();
    });
    Start();  // an empty list: the wizard opens by itself
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return done && QApplication::activeModalWidget() == nullptr; }));
    EXPECT_EQ(boxes, QStringList("Quorvane Tarvik: Could not write settings file " +
                                 QString::fromStdString(Reg()) + " (Is a directory)"));
    EXPECT_TRUE(stayed);
    EXPECT_NE(Agent("late"), nullptr);
    EXPECT_NE(ReadWholeFile(Reg()).find("late.example.com"), std::string::npos);
}

// Each refusal of the pages on OK of the sheet holding them (and one on the wizard's Next): the
// message, the failing page current, the sheet still open; the rows that pass close it.
TEST_F(WizardTest, PagesRefuseWithTheirMessageAndStayCurrent) {
    const std::string site = dir / "site";
    enum Sheet { kStatic, kDynamic, kWizard, kEmbedStep };
    const struct {
        Sheet sheet;
        std::function<void(CNewSiteDialog&)> edit;
        QString page;
        std::string message;  // "" when the sheet passes
    } rows[] = {
        {kStatic, [](auto& s) { s.DomainPage()->DescriptionEdit()->clear(); }, "Domain Name",
         "Please specify your site description"},
        {kWizard, [](auto& s) { s.DomainPage()->DomainEdit()->clear(); }, "Domain Name",
         "Please specify your domain name"},
        {kStatic, [](auto& s) { s.LocationPage()->RootEdit()->clear(); }, "Site Properties",
         "Please specify your site's root directory"},
        {kStatic, [](auto& s) { s.LocationPage()->HomePageEdit()->setText("missing.html"); },
         "Site Properties", "Home page file \"" + site + "/missing.html\" not found"},
        {kStatic, [](auto& s) { s.LocationPage()->AgentDirEdit()->setText("../out"); },
         "Site Properties", "Selected file/directory must be under directory " + site},
        {kStatic, [](auto& s) { s.LocationPage()->AgentDirEdit()->setText("new"); },
         "Site Properties",
         "Directory not found: Agent directory \"" + site +
             "/new\" does not exist. Create "
             "directory?"},
        {kStatic,
         [](auto& s) {
             s.LocationPage()->LocationList()->setCurrentIndex(CSiteLocationProp::kFtp);
             s.LocationPage()->RootEdit()->clear();
         },
         "", ""},
        {kDynamic, [](auto& s) { s.DynLocPage()->HomePageEdit()->clear(); }, "Site Directories",
         "Please specify your home page file name"},
        {kStatic,
         [&](auto& s) {
             s.LogPage()->LogFileEdit()->setText(
                 QString::fromStdString(dir / "a.log; " + dir / "b.log"));
         },
         "Log File Analysis", "Log file(s) \"" + dir / "a.log; " + dir / "b.log" + "\" not found"},
        {kStatic,
         [](auto& s) {
             s.RangePage()->RangeList()->setCurrentIndex(kRangeSpecify);
             for (int part = 0; part < 3; ++part) {
                 s.RangePage()->StartList(part)->setCurrentIndex(0);
                 s.RangePage()->EndList(part)->setCurrentIndex(0);
             }
             s.RangePage()->StartList(3)->setCurrentText("2020");
             s.RangePage()->EndList(3)->setCurrentText("2019");
         },
         "Log Range",
         "The range ends (2019-01-01 00:00:00) before it starts (2020-01-01 00:00:00)"},
        {kStatic, [](auto& s) { s.SizeLimitPage()->PageLimitEdit()->setText("1000000"); },
         "Pre-cache - Advanced", "CachePageLimit: please enter an integer between 0 and 999999."},
        {kStatic,
         [&](auto& s) {
             s.BackupPage()->FileEdit()->setText(QString::fromStdString(dir / "site.ZIP"));
         },
         "", ""},
        {kStatic,
         [&](auto& s) {
             s.BackupPage()->FileEdit()->setText(QString::fromStdString(dir / "site.rar"));
         },
         "Backup", "File (" + dir / "site.rar" + ") extension must be .ZIP"},
        {kEmbedStep, [](auto& s) { s.BackupPage()->FileEdit()->clear(); }, "Backup",
         "Please specify backup (.zip) file name"},
    };
    for (const auto& row : rows) {
        CAgentSettings agent;
        Valid(agent, row.sheet == kDynamic);
        CNewSiteDialog full(row.sheet == kWizard ? IDS_NEW_SITE_WIZARD : IDS_SITE_PROPERTIES,
                            row.sheet == kWizard);
        full.SettingsToPages(agent);
        full.AddPages();
        row.edit(full);
        // The "Embed Java" step: a sheet of three of the pages.
        CSiteSheet step("Embed Java");
        if (row.sheet == kEmbedStep) {
            step.AddPage(full.LimitPage());
            step.AddPage(full.SizeLimitPage());
            step.AddPage(full.BackupPage());
        }
        CSiteSheet& sheet = row.sheet == kEmbedStep ? step : full;
        sheet.show();
        QStringList boxes;
        auto watch = AnswerBoxes(boxes);
        if (row.sheet == kWizard)
            full.Next();
        else
            sheet.OkButton()->click();
        const QString caption = row.message.find("Create directory") == std::string::npos
                                    ? QString("Quorvane Tarvik: ")
                                    : QString();
        if (row.message.empty()) {
            EXPECT_EQ(boxes, QStringList());
            EXPECT_EQ(sheet.result(), QDialog::Accepted);
            continue;
        }
        EXPECT_EQ(boxes, QStringList(caption + QString::fromStdString(row.message)));
        EXPECT_EQ(sheet.CurrentPage()->Title(), row.page) << row.message;
        EXPECT_TRUE(sheet.isVisible());
        EXPECT_NE(sheet.result(), QDialog::Accepted);
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(site + "/new")));
}

// Browse buttons: what the chooser gives goes into the edit relative to the root, or is refused
// when it is not below the root by whole names.
TEST_F(WizardTest, BrowsedNamesMustLieUnderTheRoot) {
    Chooser chooser;
    SetFileChooser(&chooser);
    const std::string site = dir / "site";
    const struct {
        bool home;
        std::string answer;
        QString edit;
        QString message;
    } rows[] = {
        {true, site + "/a.html", "a.html", ""},
        {false, site + "/tarvik/sub", "tarvik/sub", ""},
        {false, site + "2/tarvik", "/tarvik", "Selected file/directory must be under directory "},
        {true, dir / "a.html", "index.html", "Selected file/directory must be under directory "},
    };
    CAgentSettings agent;
    Valid(agent, false);
    for (const auto& row : rows) {
        CNewSiteDialog sheet(IDS_SITE_PROPERTIES, false);
        sheet.SettingsToPages(agent);
        sheet.AddPages();
        CSiteLocationProp* page = sheet.LocationPage();
        chooser.answer = QString::fromStdString(row.answer);
        QStringList boxes;
        auto watch = AnswerBoxes(boxes);
        (row.home ? page->HomePageBrowse() : page->AgentDirBrowse())->click();
        EXPECT_EQ(row.home ? page->HomePageEdit()->text() : page->AgentDirEdit()->text(), row.edit);
        EXPECT_EQ(boxes, row.message.isEmpty() ? QStringList()
                                               : QStringList("Quorvane Tarvik: " + row.message +
                                                             QString::fromStdString(site)));
        EXPECT_EQ(chooser.title, row.home ? "Home page" : "Choose a Working Directory");
    }
    EXPECT_EQ(chooser.filter, "HTML Files (*.htm *.html);;ASP Files (*.asp);;All Files (*)");

    // An FTP site's button logs in instead: what its dialog holds on OK is what the agent keeps.
    agent.SiteFileType = kSiteFtp;
    agent.RootDirectory = "127.0.0.1:2121/www";
    agent.Username = "old";
    CNewSiteDialog sheet(IDS_SITE_PROPERTIES, false);
    sheet.SettingsToPages(agent);
    sheet.AddPages();
    QString shown;
    QTimer::singleShot(50, [&] {
        auto* login = qobject_cast<CAuthenticateDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(login, nullptr);
        shown = login->UserNameEdit()->text();
        login->UserNameEdit()->setText("webmaster");
        login->PasswordEdit()->setText("secret");
        login->accept();
    });
    ASSERT_EQ(sheet.LocationPage()->RootButton()->text(), "Authenticate");
    sheet.LocationPage()->RootButton()->click();
    EXPECT_EQ(shown, "old");
    sheet.PagesToSettings(agent);
    EXPECT_EQ(agent.Username + ":" + agent.Password, "webmaster:secret");
}

// Enter on the selected agent opens its properties; OK without a change asks to run the agent and
// writes nothing (a stored "Auto" weighting and accumulating statistics stay as they are).
TEST_F(WizardTest, PropertiesAskToRunAfterAnUnchangedOk) {
    CAgentSettings agent;
    Valid(agent, false);
    agent.StatWeight = 3;
    agent.StatAccumulate = true;
    Store(agent);
    const std::string before = ReadWholeFile(Reg());
    CMainFrame* frame = Start();
    Select({0});
    QStringList titles, question;
    auto boxes = AnswerBoxes(question);
    auto driver = OnModal<CNewSiteDialog>([&](CNewSiteDialog* sheet) {
        titles << sheet->windowTitle();
        for (int i = 0; i < sheet->PageCount(); ++i) {
            sheet->SetCurrentPage(sheet->Page(i));
            titles << sheet->Page(i)->Title();
            Shot(sheet, QString("properties-%1").arg(i + 1));
        }
        sheet->OkButton()->click();
    });
    QTest::keyClick(frame->View()->DetailsView(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !question.isEmpty(); }));
    EXPECT_EQ(titles, QStringList({"Site Properties", "Domain Name", "Site Properties",
                                   "Log File Analysis", "Log Range", "Statistics", "File Types",
                                   "Pre-cache - Advanced", "Backup"}));
    ASSERT_EQ(question.size(), 1);
    EXPECT_TRUE(question[0].startsWith("Process site: Agent properties have beed modified."));
    EXPECT_EQ(ReadWholeFile(Reg()), before);
}

}  // namespace
