// String-table texts as Qt strings, and the two halves of a command's prompt (the status-bar line
// and the tooltip, separated by a line break in the table). Any thread.
#pragma once

#include <QString>

#include "res/StringTable.h"

inline QString ResText(int id) {
    return QString::fromUtf8(ResString(id));
}

// The status-bar line of a command's prompt (the text before the first line break).
inline QString PromptLine(int id) {
    return ResText(id).section(QLatin1Char('\n'), 0, 0);
}

// The tooltip of a command's prompt (after the line break; the whole text when there is none).
inline QString PromptTip(int id) {
    const QString text = ResText(id);
    const int nl = text.indexOf(QLatin1Char('\n'));
    return nl < 0 ? text : text.mid(nl + 1);
}

// The text of id formatted printf-style with one string argument.
inline QString ResFormat(int id, const QString& arg) {
    return QString::fromStdString(FormatString(id, arg.toUtf8().constData()));
}
