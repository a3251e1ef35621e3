#pragma once
// The lines of a plain-text memo (the command list, the working text): an
// empty memo has no lines.
#include <QPlainTextEdit>
#include <QStringList>

namespace Memo {

QStringList FLines(const QPlainTextEdit *memo);
void PSetLines(QPlainTextEdit *memo, const QStringList &lines);

} // namespace Memo
