#pragma once
// The help document as a compiled HTML Help file (.CHM): the web writer's
// pages for it, a project with the [MAP] numbers as context ids, contents
// and index, compiled by chmcmd.
#include "compiler/document/HelpDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Hlp {

// The pages as a compiled HTML Help file: the pages, a project (.hhp) with
// the [MAP] numbers as context ids, contents (.hhc) and index (.hhk) are
// written into `pagesFolder` (a temporary folder when empty), then
// compiled into `chmFile` by chmcmd.
QStringList writeChm(const THelpDocument &project, const QString &pagesFolder, const QString &chmFile);

// Sets the head and tail of a compiled help file's directory listing from
// its chain of chunks (chmcmd records a wrong head when there are several).
void mendChmDirectory(QByteArray &chm);

} // namespace Hlp
