// The directory tree of an FTP server, listed lazily: an item is listed from the server when it
// is expanded, and a directory with entries shows an expand button before it has been listed.
// Browses an open connection it borrows; without one it says so. User-interface thread.
#pragma once

#include <QString>
#include <QTreeWidget>

class CFtpSiteAccess;

class CFtpTreeCtrl : public QTreeWidget {
    Q_OBJECT

  public:
    // The picture of an item, also kept as the item's data under kImageRole.
    enum Image : int { kImageMessage = 0, kImageDirectory = 1, kImageFile = 2 };
    static constexpr int kImageRole = Qt::UserRole;

    explicit CFtpTreeCtrl(QWidget* parent = nullptr);

    // Shows the server's root "/" listed, or, without a connection, the one line "An FTP
    // connection has not been established.". initialPath ("/dir/sub/file"), when given, is
    // opened component by component as far as it matches (exact text); an item without
    // children reached that way is selected and shown bold. connection: borrowed, logged in or
    // not, or nullptr; it must outlive the tree or the next Populate. Directories that cannot
    // be listed show no children; nothing is reported.
    void Populate(CFtpSiteAccess* connection, const QString& initialPath = QString());

    // The server path an item stands for: "/" for the root, else the names from below the
    // root down to the item, each after a "/".
    static QString ItemPath(const QTreeWidgetItem* item);

  private:
    // Lists the item's directory afresh in place of its children.
    void Expanding(QTreeWidgetItem* item);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, Image image);

    CFtpSiteAccess* m_connection = nullptr;
};
