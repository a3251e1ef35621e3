#pragma once
// Existing help brought into a KivHelp project: a compiled help file
// (.HLP), or a help project (.HPJ, compiled here first in safe mode), read
// back and written as a new project of the projects folder: one topic per
// page (the contents page first, named as the project; then the tree of
// the contents file beside the help (.CNT), its headings as pages of their
// own; then the other pages in file order, named by their titles), the
// text with its fonts, sizes, styles,
// colours and alignment, jumps, pop-ups, pictures and macros as command
// lines with their markers, the keywords, the title and copyright. What a
// KivHelp project cannot hold is listed in a French report. The files are
// written together or not at all.
#include "config/Globale.h"

#include <QString>
#include <QStringList>

namespace Build {

struct TImportResult {
    // 0 imported whole, 1 imported with losses (listed in `report`),
    // 2 nothing imported (`report` says why).
    int code = 2;
    QStringList report;
    QString projectFile; // the new project's .PRJ
};

// `name`: the new project's name, a folder of `projectsDir`; `bmpDir`: the
// program's bitmap folder, where the pictures go.
TImportResult FImportHelp(const QString &file, const QString &name, const QString &projectsDir, const QString &bmpDir);
// Removes what an import that was killed left: its staging folder in the
// projects' folder and the pictures it had added to the picture folder.
// Imports still running (their process alive) are left alone.
void PCleanKilledImports(const QString &projectsDir, const QString &bmpDir);

} // namespace Build
