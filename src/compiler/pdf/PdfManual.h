#pragma once
// A help project as one printable PDF: the topics in the order of the
// contents, a table of contents with page numbers, bookmarks that follow
// the outline, jumps and pop-up links as links inside the file, pop-ups
// and pages outside the contents in an appendix, pictures at their
// resolution, fonts embedded, the help's title and language in the file.
#include "compiler/document/HelpDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Hlp {

// The manual's bytes; `error` receives why there are none, `warnings`
// what a reader would miss (letters no installed font can draw).
QByteArray pdfManual(const THelpDocument &project, QString *error = nullptr, QStringList *warnings = nullptr);

// Writes the manual to `file` (durably); the errors, if any.
QStringList writePdf(const THelpDocument &project, const QString &file, QStringList *warnings = nullptr);

} // namespace Hlp
