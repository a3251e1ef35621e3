#pragma once
// A project's own files besides its topics: settings (.CFG), title fonts
// (.FNT) and command lines (.CDE), and the list of bitmaps the commands name.
#include "errors/ErrorContext.h"

#include <QStringList>

class QPlainTextEdit;
class TCConfFile;

namespace KIVHelpTools {

TErrorContext &FLoadPrjConf(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FSavePrjConf(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FLoadPrjFonts(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FSavePrjFonts(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FLoadPrjCmds(const QString &fileName, QPlainTextEdit *memo);
TErrorContext &FSavePrjCmds(const QString &fileName, QPlainTextEdit *memo, bool overwrite);
// Adds the bitmap names of the command file to `list`, kept sorted and free
// of duplicates, both without regard to letter case.
TErrorContext &FGetBmpNames(const QString &fileName, QStringList &list);
// The same from the command lines themselves.
void PAddBmpNames(const QStringList &lines, QStringList &list);

// The lines of a command file (CR, LF or CR LF ends; Windows-1252).
QStringList FSplitCmdLines(const QByteArray &bytes);
QByteArray FJoinCmdLines(const QStringList &lines);

} // namespace KIVHelpTools
