// The FTP login dialog and its connection test against the real test FTP server, and the options
// sheet from F10 to the settings file, through real widgets (offscreen). Every dialog shown is
// saved under build/screenshots/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "site/FtpSiteAccess.h"
#include "support/FtpServer.h"
#include "support/TempDir.h"
#include "ui/AuthenticateDialog.h"
#include "ui/FtpTestDialog.h"
#include "ui/FtpTreeCtrl.h"

namespace {

void Shot(QWidget* w, const QString& name) {
    const QString dir = TARVIK_SOURCE_DIR "/build/screenshots";
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + name + ".png");
}

// Calls seen with the first modal window that opens from now on (from the event loop).
void OnModal(QTimer& timer, std::function<void(QWidget*)> seen) {
    QObject::connect(&timer, &QTimer::timeout, [&timer, seen] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer.stop();
            seen(modal);
        }
    });
    timer.start(20);
}

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
        QTimer timer;
        OnModal(timer, [&](QWidget* modal) {
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
    EXPECT_EQ(none.Tree()->topLevelItem(0)->data(0, CFtpTreeCtrl::kImageRole).toInt(),
              CFtpTreeCtrl::kImageMessage);
    EXPECT_FALSE(none.Tree()->rootIsDecorated());
    none.show();
    Shot(&none, "ftp-test-not-connected");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
