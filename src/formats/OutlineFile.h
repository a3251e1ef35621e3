#pragma once
// The outline file (N.PRJ): one line per topic, depth-first, the level given
// by leading tabs, Windows-1252, CR LF.
#include "model/Project.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace Outline {

struct TParse {
    bool ok = true;
    int errorLine = 0; // 1-based line of the failure
    QString error;
    QList<TLine> lines;
};

constexpr int MaxLineBytes = 4096;

// Reads an outline file. A line's indent is its count of leading tabs or
// blanks; its text ends at CR, LF or character 26 (which ends the file).
// Fails on a level jump of two or more, on a climb above the first line's
// level, and on a line of 4096 bytes or more. Blank lines are skipped.
TParse FParse(const QByteArray &bytes);
// (level - 1) tabs, the text, CR LF; Windows-1252.
QByteArray FFormat(const QList<TLine> &lines);

} // namespace Outline
