// The FTP login of an agent's site: user name and password, and a Test button that logs in to
// the server (off the user-interface thread, under the wait cursor) and shows the server's
// directory tree, or says why it could not. An empty user name logs in anonymously.
// User-interface thread.
#pragma once

#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

class CAuthenticateDialog : public QDialog {
    Q_OBJECT

  public:
    // server: the FTP address as the agent holds it ("host", "host:port" or
    // "ftp://host[:port][/dir]"); userName and password: shown for editing.
    CAuthenticateDialog(std::string server, const std::string& userName,
                        const std::string& password, QWidget* parent = nullptr);

    // The trusted certificates and the TLS requirement of the test login (as the agent's
    // CaFile and FtpTls); by default TLS is used when the server offers it, against the
    // system's store.
    void SetTls(std::string caFile, bool required) {
        m_caFile = std::move(caFile);
        m_tlsRequired = required;
    }

    // What the fields hold (after OK: what to store).
    std::string UserName() const;
    std::string Password() const;

    QLineEdit* UserNameEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QPushButton* TestButton() const { return m_test; }

  private:
    // Logs in with the fields' values; on success shows the connection test dialog, else
    // "Could not connect to the FTP server" with the reason the site access gave.
    void Test();

    std::string m_server;
    std::string m_caFile;
    bool m_tlsRequired = false;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QPushButton* m_test;
};
