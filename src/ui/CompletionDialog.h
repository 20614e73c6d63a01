// The dialog shown after a successful run of an agent: what to do next, with a button per step
// that opens its page of the manual. User-interface thread only.
#pragma once

#include <QDialog>

class QPushButton;

class CCompletionDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CCompletionDialog(QWidget* parent = nullptr);

    // The buttons of the two steps (upload the site; check that prefetching works).
    QPushButton* UploadButton() const { return m_upload; }
    QPushButton* CheckButton() const { return m_check; }

  private:
    QPushButton* m_upload;
    QPushButton* m_check;
};
