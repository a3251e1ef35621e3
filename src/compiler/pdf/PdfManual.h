#pragma once
// A help project as one printable PDF: a cover with the table of contents
// (pages numbered i, ii...), then the topics in the order of the contents,
// one heading each, then pop-ups and pages outside the contents in an
// appendix. Tagged for screen readers (headings, paragraphs, lists,
// tables, figures with their text, links), bookmarks that follow the
// outline, links inside the file, pictures in their own format, fonts
// embedded as subsets, the help's title and language in the file, a
// running header with the help's title and the chapter.
#include "compiler/document/HelpDocument.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <QStringList>

namespace Hlp {

// The sheet, in points: "a4" or "letter" (any letter case); empty for the
// system's paper (LC_PAPER; A4 when it says nothing). Invalid for any
// other name.
QSizeF paperSize(const QString &name);

// The manual's bytes; `error` receives why there are none, `warnings`
// what a reader would miss (letters no installed font can draw).
QByteArray pdfManual(const THelpDocument &project, const QSizeF &paper, QString *error = nullptr, QStringList *warnings = nullptr);

// Writes the manual to `file` (durably) on the paper named `paper` (see
// paperSize); the errors, if any.
QStringList writePdf(const THelpDocument &project, const QString &file, const QString &paper = {}, QStringList *warnings = nullptr);

} // namespace Hlp
