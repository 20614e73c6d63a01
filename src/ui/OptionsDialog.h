// The options sheet: the working directory and the extension lists of the seven file types,
// copied from the agent list when the sheet is made and read back by the caller after OK. It
// has a Help button and no Apply button; Cancel keeps nothing. User-interface thread.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "agent/AgentList.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

// Page "Working Directory": the folder edit and its Browse button (the pages' folder chooser).
class CPOptionDir : public QWidget {
    Q_OBJECT

  public:
    explicit CPOptionDir(const QString& workDir);
    QLineEdit* Edit() const { return m_edit; }
    QPushButton* BrowseButton() const { return m_browse; }

  private:
    QLineEdit* m_edit;
    QPushButton* m_browse;
};

// Page "Suffix Types": the type names and the extension list of the selected type, one
// extension a line. The edit's text goes into its type's list when the edit loses the focus and
// when Store is called (OK).
class CPOptionSuffix : public QWidget {
    Q_OBJECT

  public:
    explicit CPOptionSuffix(const std::array<std::string, kSuffixTypeCount>& lists);
    // Takes the edit's text into the list of the selected type, when it was edited.
    void Store();
    const std::array<std::string, kSuffixTypeCount>& Lists() const { return m_lists; }
    QListWidget* Types() const { return m_types; }
    QPlainTextEdit* Edit() const { return m_edit; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Show(int type);

    std::array<std::string, kSuffixTypeCount> m_lists;
    QListWidget* m_types;
    QPlainTextEdit* m_edit;
    int m_shown = -1;  // the type whose list the edit holds
};

class CPOptionsDialog : public QDialog {
    Q_OBJECT

  public:
    // list: read now, not kept.
    explicit CPOptionsDialog(const CAgentList& list, QWidget* parent = nullptr);

    // After OK: the working directory as typed and the seven lists in stored form (each
    // extension followed by CR LF).
    std::string WorkDir() const;
    const std::array<std::string, kSuffixTypeCount>& SuffixLists() const {
        return m_suffix->Lists();
    }

    QTabWidget* Tabs() const { return m_tabs; }
    CPOptionDir* DirPage() const { return m_dir; }
    CPOptionSuffix* SuffixPage() const { return m_suffix; }

  public slots:
    void accept() override;

  private:
    QTabWidget* m_tabs;
    CPOptionDir* m_dir;
    CPOptionSuffix* m_suffix;
};
