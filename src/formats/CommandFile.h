#pragma once
// The command file (.CDE): one command line per line, Windows-1252, CR LF;
// and the bitmaps its lines name ("\\{bmc NAME\\}").
#include <QByteArray>
#include <QStringList>

namespace CommandFile {

// The lines of a command file (CR, LF or CR LF ends; Windows-1252).
QStringList FSplitCmdLines(const QByteArray &bytes);
QByteArray FJoinCmdLines(const QStringList &lines);
// One command is one line: line breaks inside it become blanks.
QString FOneLine(QString line);
// Adds the bitmap names the lines give (\\{bmc name\\}, bml, bmr) to `list`, kept sorted and free of
// duplicates, both without regard to letter case; no lines empty the list.
void PAddBmpNames(const QStringList &lines, QStringList &list);

} // namespace CommandFile
