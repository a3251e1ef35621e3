#pragma once
// A project's own files besides its topics: settings (.CFG), title fonts
// (.FNT) and command lines (.CDE), and the list of bitmaps the commands name.
#include "errors/ErrorContext.h"
#include "formats/CommandFile.h"

#include <QStringList>

class TCConfFile;

namespace KIVHelpTools {

TErrorContext &FLoadPrjConf(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FSavePrjConf(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FLoadPrjFonts(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FSavePrjFonts(const QString &fileName, int index, TCConfFile *conf);
TErrorContext &FLoadPrjCmds(const QString &fileName, QStringList *commands);
TErrorContext &FSavePrjCmds(const QString &fileName, const QStringList &commands, bool overwrite);
// Adds the bitmap names of the command file to `list`, kept sorted and free
// of duplicates, both without regard to letter case.
TErrorContext &FGetBmpNames(const QString &fileName, QStringList &list);


// The command file's lines as bytes (formats/CommandFile), by the names
// the project routines have always used.
using CommandFile::FSplitCmdLines;
using CommandFile::FJoinCmdLines;
using CommandFile::PAddBmpNames;

} // namespace KIVHelpTools
