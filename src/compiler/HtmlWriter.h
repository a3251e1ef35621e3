#pragma once
// A help project as web pages: one page per topic (named after its first
// context string, every context an anchor in it), its pictures as PNG
// files, jumps as links, pop-ups shown in the page, a contents page, a
// keyword index and a search that runs in the browser (no server).
#include "compiler/HelpProject.h"

#include <QString>
#include <QStringList>

namespace Hlp {

// The page a topic is written to ("HID_FILE_OPEN.html").
QString htmlPageName(const TSourceTopic &topic, int number);

// Writes the pages into `folder` (made if missing); the errors, if any.
// `pages` receives each topic's page name, `toc` the contents in the
// sitemap form of compiled HTML Help.
QStringList writeHtml(const TProjectRead &project, const QString &folder, QStringList *pages = nullptr,
                      QString *toc = nullptr);

// The pages as a compiled HTML Help file: the pages, a project (.hhp) with
// the [MAP] numbers as context ids, contents (.hhc) and index (.hhk) are
// written into `pagesFolder` (a temporary folder when empty), then
// compiled into `chmFile` by chmcmd.
QStringList writeChm(const TProjectRead &project, const QString &pagesFolder, const QString &chmFile);

// Sets the head and tail of a compiled help file's directory listing from
// its chain of chunks (chmcmd records a wrong head when there are several).
void mendChmDirectory(QByteArray &chm);

} // namespace Hlp
