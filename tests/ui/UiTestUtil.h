// What the desktop program's offscreen tests share: readable failure output for Qt texts, the
// screenshots under build/screenshots/, and a prompt that answers every question Yes.
// User-interface thread.
#pragma once

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <ostream>
#include <string>

#include "agent/UserPrompt.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << list.join("|").toStdString();
}

// Saves what w shows as build/screenshots/NAME.png.
inline void Shot(QWidget* w, const QString& name) {
    const QString dir = TARVIK_SOURCE_DIR "/build/screenshots";
    QDir().mkpath(dir);
    w->grab().save(dir + "/" + name + ".png");
}

class NoPrompt : public CUserPrompt {
  public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
};
