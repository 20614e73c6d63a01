// The dialogs' caption rule: a label whose text starts with "_" is shown without the "_" in a bold
// version of its font (weight 700), one bold font per dialog. Every dialog and page of the program
// passes its labels through ApplyDialogCaptions once its controls exist. User-interface thread.
#pragma once

class QWidget;

// Applies the rule to every label below dialog (borrowed).
void ApplyDialogCaptions(QWidget* dialog);
