#pragma once
// The lines of a plain-text memo (the command list, the working text): an
// empty memo has no lines.
#include <QPlainTextEdit>
#include <QStringList>

namespace Memo {

QStringList FLines(const QPlainTextEdit *memo);
int FLineCount(const QPlainTextEdit *memo);
void PSetLines(QPlainTextEdit *memo, const QStringList &lines);
// Appends one line; returns its index.
int FAppend(QPlainTextEdit *memo, const QString &line);

} // namespace Memo
