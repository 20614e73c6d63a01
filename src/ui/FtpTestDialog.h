// The FTP connection test: the server's directory tree, browsed over an open connection, and a
// Close button. User-interface thread.
#pragma once

#include <QDialog>

class CFtpSiteAccess;
class CFtpTreeCtrl;

class CFtpTestDialog : public QDialog {
    Q_OBJECT

  public:
    // connection: borrowed, logged in (or nullptr, which the tree says); it must outlive the
    // dialog. The tree is listed from the server when the dialog is made.
    explicit CFtpTestDialog(CFtpSiteAccess* connection, QWidget* parent = nullptr);

    CFtpTreeCtrl* Tree() const { return m_tree; }

  private:
    CFtpTreeCtrl* m_tree;
};
