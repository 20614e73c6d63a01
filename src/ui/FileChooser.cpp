#include "ui/FileChooser.h"

#include <QFileDialog>
#include <QStringList>

namespace {

class CDialogChooser : public CFileChooser {
  public:
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& start) override {
        return QFileDialog::getExistingDirectory(parent, title, start);
    }
    QString ChooseFile(QWidget* parent, bool save, const QString& title, const QString& start,
                       const QString& filter) override {
        return save ? QFileDialog::getSaveFileName(parent, title, start, QtFileFilter(filter))
                    : QFileDialog::getOpenFileName(parent, title, start, QtFileFilter(filter));
    }
};

CFileChooser* g_chooser = nullptr;

}  // namespace

CFileChooser& FileChooser() {
    static CDialogChooser dialogs;
    return g_chooser != nullptr ? *g_chooser : dialogs;
}

void SetFileChooser(CFileChooser* chooser) {
    g_chooser = chooser;
}

QString QtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = pattern.trimmed();
            patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        }
        QString text = parts[i];
        const int paren = text.indexOf(QLatin1String(" ("));
        if (paren >= 0)
            text.truncate(paren);
        filters << text + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
