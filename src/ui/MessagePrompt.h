// The document's messages and questions as message boxes of the desktop program, captioned with
// the application title. Texts are shown as plain text (they may come from sites, logs or the
// settings file). User-interface thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include "agent/UserPrompt.h"

class CMessagePrompt : public CUserPrompt {
  public:
    // parent: the window that owns the boxes (borrowed; may be null or go away).
    explicit CMessagePrompt(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

  private:
    QPointer<QWidget> m_parent;
};

// A message box with plain text and an OK button, owned by parent (borrowed; may be null), under
// the caption. Returns when it is closed.
void ShowPlainMessage(QWidget* parent, const QString& text, const QString& caption);
