#include "ui/MessagePrompt.h"

#include <QMessageBox>

#include "ui/ResText.h"

void ShowPlainMessage(QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void CMessagePrompt::ShowMessage(const std::string& text) {
    ShowPlainMessage(m_parent, QString::fromStdString(text), ResText(IDS_APP_TITLE));
}

bool CMessagePrompt::AskYesNo(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() != QMessageBox::No;
}
