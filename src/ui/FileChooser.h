// The folder and file choosers behind the pages' Browse buttons: one small interface, answered by
// QFileDialog in the program and by the tests' own answers in the tests. User-interface thread.
#pragma once

#include <QString>

class QWidget;

class CFileChooser {
  public:
    virtual ~CFileChooser() = default;

    // An existing folder, or "" when the user cancelled. parent: borrowed, may be null.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) = 0;
    // An existing file (open) or any file name (save), or "" when the user cancelled. filter is
    // in the string table's form "Text (*.a;*.b)|*.a;*.b|All Files (*.*)|*.*||".
    virtual QString ChooseFile(QWidget* parent, bool save, const QString& title,
                               const QString& start, const QString& filter) = 0;
};

// The chooser the pages use: the one set, else the QFileDialog one.
CFileChooser& FileChooser();
// Replaces the chooser (borrowed; nullptr restores the QFileDialog one).
void SetFileChooser(CFileChooser* chooser);

// The string table's filter form as QFileDialog takes it: "Text (*.a *.b);;All Files (*)", where
// "*.*" means every file.
QString QtFileFilter(const QString& filter);
