#include "ui/DialogCaptions.h"

#include <QFont>
#include <QLabel>
#include <optional>

void ApplyDialogCaptions(QWidget* dialog) {
    std::optional<QFont> bold;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        const QString text = label->text();
        if (!text.startsWith(QLatin1Char('_')))
            continue;
        if (!bold) {
            bold = label->font();
            bold->setWeight(QFont::Bold);
        }
        label->setText(text.mid(1));
        label->setFont(*bold);
    }
}
