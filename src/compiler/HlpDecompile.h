#pragma once
// A help file read back (readHelpFile) written out as a help project the
// compiler takes again: NAME.hpj, NAME.rtf (every page, with its footnotes,
// formats, tables, hotspots and pictures), the pictures as the help file
// stored them (bmN.mrb: the picture container, hotspots included, which
// the compiler takes as it is), and NAME.txt, the report of what could not
// be rebuilt.
#include "compiler/HlpFileRead.h"

#include <QString>
#include <QStringList>

namespace Hlp {

// Writes into `folder` (made if missing); the errors, if any. `report`
// receives the report's lines.
QStringList writeProject(const THelpFileRead &read, const QString &folder, const QString &name, QStringList *report = nullptr);

} // namespace Hlp
