// The FTP login dialog and its connection test against the real test FTP server, and the options
// sheet from F10 to the settings file, through real widgets (offscreen). Every dialog shown is
// saved under build/screenshots/.
#include <gtest/gtest.h>

// Before Qt, whose "slots" keyword the page graph's headers use as a name.
#include "sitemap/SiteMap.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "agent/SettingsStore.h"
#include "site/FtpSiteAccess.h"
#include "support/FtpServer.h"
#include "ui/AuthenticateDialog.h"
#include "ui/FtpTestDialog.h"
#include "ui/FtpTreeCtrl.h"
#include "ui/OptionsDialog.h"
#include "ui/UiTestUtil.h"

namespace {

// The tree as text: "name" for a file, "name/" for a directory, "{...}" around its children
// (sorted: the server lists in an order of its own).
QString Dump(const QTreeWidgetItem* item) {
    QString text = item->text(0);
    if (item->data(0, CFtpTreeCtrl::kImageRole).toInt() == CFtpTreeCtrl::kImageDirectory &&
        text != "/")
        text += "/";
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << Dump(item->child(i));
    children.sort();
    return children.isEmpty() ? text : text + "{" + children.join(",") + "}";
}

TEST(FtpDialogs, TestLogsInAndBrowsesTheServerOrSaysWhyNot) {
    CFtpServer server;
    ASSERT_TRUE(server.Start());
    for (const char* file : {"index.html", "docs/b.html", "docs/deep/c.gif"})
        ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), file, "x"));
    ASSERT_TRUE(CTempDir::MakeDirAt(server.Root(), "empty"));
    const std::string denied = "FTP server '" + server.Address() + "': Access denied: 530";
    const struct {
        const char* user;
        const char* password;
        const char* tree;    // the tree after docs was expanded, or "" for the message
        std::string reason;  // the site access's reason under message 202
    } rows[] = {
        {"webmaster", "s3cret pass", "/{docs/{b.html,deep/{1/}},empty/,index.html}", ""},
        {"", "", "/{docs/{b.html,deep/{1/}},empty/,index.html}", ""},  // anonymous
        {"webmaster", "wrong", "", denied},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.user + std::string("/") + row.password);
        CAuthenticateDialog dialog(server.Address(), "old", "old");
        dialog.UserNameEdit()->setText(row.user);
        dialog.PasswordEdit()->setText(row.password);
        dialog.show();
        QString tree, text, reason;
        auto watch = OnModal<QWidget>([&](QWidget* modal) {
            if (auto* test = qobject_cast<CFtpTestDialog*>(modal)) {
                QTreeWidgetItem* root = test->Tree()->topLevelItem(0);
                EXPECT_EQ(Dump(root).toStdString(), "/{docs/{1/},empty/,index.html}");
                root->child(0)->setExpanded(true);
                tree = Dump(root);
                Shot(test, "ftp-test");
                test->reject();
            } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                text = box->text();
                reason = box->informativeText();
                Shot(box, "ftp-test-refused");
                box->accept();
            }
        });
        dialog.TestButton()->click();
        EXPECT_EQ(tree.toStdString(), row.tree);
        EXPECT_EQ(text.toStdString(), *row.tree ? "" : "Could not connect to the FTP server");
        EXPECT_EQ(reason.toStdString(), row.reason);
        EXPECT_TRUE(dialog.isVisible());  // the test never ends the login dialog
        EXPECT_EQ(dialog.UserName(), row.user);
        EXPECT_EQ(dialog.Password(), row.password);
        if (*row.user != '\0' && *row.tree)
            Shot(&dialog, "authenticate");
    }
}

TEST(FtpDialogs, TreeOfARootWithOnlyFilesAndWithoutAConnection) {
    CFtpServer server;
    ASSERT_TRUE(server.Start());
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "a.html", "x"));
    ASSERT_TRUE(CTempDir::WriteFileAt(server.Root(), "b.gif", "x"));
    CFtpSiteAccess access(server.Address(), 0, server.User(), server.Password());
    ASSERT_TRUE(access.Connect()) << access.LastError();
    CFtpTreeCtrl tree;
    tree.Populate(&access, "/b.gif");
    EXPECT_EQ(Dump(tree.topLevelItem(0)).toStdString(), "/{a.html,b.gif}");
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(CFtpTreeCtrl::ItemPath(tree.currentItem()).toStdString(), "/b.gif");
    EXPECT_TRUE(tree.currentItem()->font(0).bold());

    CFtpTestDialog none(nullptr);
    ASSERT_EQ(none.Tree()->topLevelItemCount(), 1);
    EXPECT_EQ(none.Tree()->topLevelItem(0)->text(0).toStdString(),
              "An FTP connection has not been established.");
    none.show();
    Shot(&none, "ftp-test-not-connected");
}

// The application values the settings file holds (the product key's), by name.
std::map<std::string, std::string> StoredAppValues(const std::string& reg) {
    const std::string bytes = ReadWholeFile(reg);
    CHive hive;
    hive.Parse(bytes.data(), bytes.size());
    std::map<std::string, std::string> values;
    if (const CHiveKey* key =
            hive.FindKey({kUserRootKey, "Software", "Quorvane", "Tarvik", "1.0B"})) {
        for (const HiveValue& value : key->Values())
            values[value.name] = value.data;
    }
    return values;
}

void Type(QPlainTextEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

QPushButton* Button(QDialog* dialog, QDialogButtonBox::ButtonRole role) {
    auto* box = dialog->findChild<QDialogButtonBox*>();
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == role)
            return qobject_cast<QPushButton*>(button);
    }
    return nullptr;
}

class OptionsSheet : public UiTest {
  public:
    OptionsSheet() : UiTest("options") {}
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(dir.MakeDir("other"));
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);  // the default working directory
    }
    // F10, then work on the sheet it opens; the sheet must have ended when work returns.
    void WithOptions(std::function<void(CPOptionsDialog*)> work) {
        bool seen = false;
        auto watch = OnModal<QWidget>([&](QWidget* modal) {
            auto* sheet = qobject_cast<CPOptionsDialog*>(modal);
            ASSERT_NE(sheet, nullptr);
            seen = true;
            work(sheet);
            EXPECT_FALSE(sheet->isVisible());
        });
        ASSERT_TRUE(Activate());
        QTest::keyClick(app->MainFrame(), Qt::Key_F10);
        EXPECT_TRUE(seen);
    }
};

TEST_F(OptionsSheet, F10EditsReachTheSettingsFileAndTheWorkingDirectoryTakesTheStatistics) {
    {
        NoPrompt prompt;
        CBrevDoc doc(prompt);
        ASSERT_TRUE(doc.Open(dir / "work"));
        CAgentSettings agent;
        agent.DomainName = "shop.example";
        CAgentSettings* added = doc.AddAgent(agent);
        ASSERT_NE(added, nullptr);
        LoadStatistics(*added, dir / "work");
        added->SiteMap->AddPage("/index.html");
        ASSERT_TRUE(doc.Close());
    }
    Start();
    const CAgentList& list = app->Doc().Agents();
    // Typed, then OK without leaving the edit: only that list is written (the working directory
    // given for this run is not), each extension ended by CR LF.
    WithOptions([&](CPOptionsDialog* sheet) {
        EXPECT_EQ(sheet->windowTitle().toStdString(), "Options");
        EXPECT_EQ(sheet->DirPage()->Edit()->text().toStdString(), dir / "work");
        sheet->Tabs()->setCurrentIndex(1);
        EXPECT_EQ(sheet->SuffixPage()->Types()->currentItem()->text().toStdString(), "HTML Files");
        sheet->SuffixPage()->Types()->setCurrentRow(2);
        Type(sheet->SuffixPage()->Edit(), "png\rgif");
        Shot(sheet, "options-suffix");
        Button(sheet, QDialogButtonBox::AcceptRole)->click();
    });
    std::map<std::string, std::string> stored = StoredAppValues(Reg());
    EXPECT_EQ(stored["Image Files"], "png\r\ngif\r\n");
    EXPECT_EQ(stored.count("HTML Files") + stored.count(kWorkDirValue), 0u);
    EXPECT_EQ(list.GetSuffixList(kSuffixImage), "png\r\ngif\r\n");

    // Cancel keeps nothing; OK keeps a list left for another type and the new directory.
    for (auto role : {QDialogButtonBox::RejectRole, QDialogButtonBox::AcceptRole}) {
        const std::string before = ReadWholeFile(Reg());
        WithOptions([&](CPOptionsDialog* sheet) {
            CPOptionSuffix* page = sheet->SuffixPage();
            page->Types()->setCurrentRow(2);
            EXPECT_EQ(page->Edit()->toPlainText().toStdString(), "png\ngif");
            page->Types()->setCurrentRow(0);
            Type(page->Edit(), "htm\r");
            page->Types()->setCurrentRow(1);
            sheet->DirPage()->Edit()->setText(QString::fromStdString(dir / "other"));
            Shot(sheet, "options-workdir");
            Button(sheet, role)->click();
        });
        if (role == QDialogButtonBox::RejectRole) {
            EXPECT_EQ(ReadWholeFile(Reg()), before);
            EXPECT_EQ(list.GetWorkDir(), dir / "work");
        }
    }
    stored = StoredAppValues(Reg());
    EXPECT_EQ(stored["HTML Files"], "htm\r\n");
    EXPECT_EQ(stored[kWorkDirValue], dir / "other");
    EXPECT_EQ(list.GetWorkDir(), dir / "other");

    // The next start, without --workdir, finds the agent's statistics in the new directory.
    Start(false, "");
    ASSERT_EQ(app->Doc().Agents().GetCount(), 1);
    EXPECT_EQ(app->Doc().Agents().GetWorkDir(), dir / "other");
    ASSERT_NE(app->Doc().Agents().GetAt(0)->SiteMap, nullptr);
    EXPECT_EQ(app->Doc().Agents().GetAt(0)->SiteMap->PageCount(), 1);
}

TEST_F(OptionsSheet, BrowseAsksForTheWorkingDirectory) {
    CAgentList list;
    list.SetWorkDir("/srv/work");
    struct Folder : CFileChooser {
        QString answer, title, start;
        QString ChooseFolder(QWidget*, const QString& t, const QString& s) override {
            title = t;
            start = s;
            return answer;
        }
        QString ChooseFile(QWidget*, bool, const QString&, const QString&,
                           const QString&) override {
            return {};
        }
    };
    for (const char* chosen : {"/srv/chosen", ""}) {
        Folder chooser;
        chooser.answer = chosen;
        SetFileChooser(&chooser);
        QString& title = chooser.title;
        QString& start = chooser.start;
        CPOptionsDialog sheet(list, nullptr);
        sheet.show();
        sheet.DirPage()->BrowseButton()->click();
        EXPECT_EQ(title.toStdString(), "Choose a Working Directory");
        EXPECT_EQ(start.toStdString(), "/srv/work");
        EXPECT_EQ(sheet.WorkDir(), *chosen ? chosen : "/srv/work");
        if (*chosen)
            Shot(&sheet, "options");
    }
}

}  // namespace
