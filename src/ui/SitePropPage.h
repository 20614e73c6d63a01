// One page of the agent's property sheet and new-agent wizard: a group of an agent's settings
// with the wizard picture beside them, and the check that runs when the user moves on (the
// wizard's Next, or OK of a sheet). Pages never write settings themselves: the sheet copies
// values in (SettingsToPage) and out (PageToSettings). User-interface thread.
#pragma once

#include <QString>
#include <QWidget>

class CAgentSettings;
class CUserPrompt;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

class CSitePropPage : public QWidget {
    Q_OBJECT

  public:
    // titleId: the string-table id of the page's title.
    explicit CSitePropPage(int titleId, QWidget* parent = nullptr);

    QString Title() const { return m_title; }

    // Shows the agent's settings in the controls.
    virtual void SettingsToPage(const CAgentSettings& agent) = 0;
    // Writes the controls' values into the agent (a value the controls do not hold, such as a
    // number that is not one, leaves the agent's own).
    virtual void PageToSettings(CAgentSettings& agent) const = 0;
    // The check of Next and of OK: false after its message (through prompt), the page staying
    // open. Pages without a check pass.
    virtual bool CheckPage(CUserPrompt& prompt);
    // Whether OK of a sheet holding the page runs CheckPage.
    virtual bool ChecksOnOk() const { return false; }
    // The page has become the current one.
    virtual void OnSetActive() {}

    // The "_" captions rule for the page's labels and buttons; the sheet calls it once the page
    // is complete.
    void ApplyCaptions();

  protected:
    // The column beside the picture that the page fills.
    QVBoxLayout* Body() const { return m_body; }
    // Helpers that add one control (with its label) to the body.
    QLabel* AddText(int textId);
    QLabel* AddNote(int textId);
    // With browse given, a "Browse ..." button goes beside the edit.
    QLineEdit* AddEdit(int labelId, QLabel** label = nullptr, QPushButton** browse = nullptr);
    QCheckBox* AddCheck(int textId);
    QRadioButton* AddRadio(int textId);
    QComboBox* AddList(int labelId);
    // A line of the body: the widgets side by side.
    void AddRow(std::initializer_list<QWidget*> widgets);
    QPushButton* MakeBrowse();
    // Makes browse fill edit with the file the user chooses (save: any name, else an existing
    // file; filterId: the string-table filter, 0 for every file), or with the folder; a
    // cancelled chooser leaves the edit as it is.
    void BrowseFileInto(QPushButton* browse, QLineEdit* edit, bool save, int titleId, int filterId);
    void BrowseFolderInto(QPushButton* browse, QLineEdit* edit, int titleId);

  private:
    QString m_title;
    QVBoxLayout* m_body;
};
