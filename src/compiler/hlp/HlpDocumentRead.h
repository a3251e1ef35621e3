#pragma once
// A compiled help file (.HLP) read back into the project model every output
// is written from: its pages with their titles, entry macros, contexts,
// keywords and browse sequences, their paragraphs (fonts, formats, tabs,
// borders), jumps, pop-ups, macros and pictures, and the help's settings
// (title, copyright, contents, language, character set, windows, [CONFIG]
// macros, [MAP] numbers). The file may come from anywhere: every offset,
// count and size is checked, and what cannot be read is said.
#include "compiler/document/HelpDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Hlp {

struct THelpFileRead {
    bool ok = false;
    QString error;        // why the file could not be read (French)
    THelpDocument project; // the help as a read project
    QStringList losses;   // what was read only in part (French)
    QStringList notes;    // what the file does not say and was inferred (French)
};

// `fileName`: the help file's name, which jumps naming this file use.
THelpFileRead readHelpFile(const QByteArray &bytes, const QString &fileName);

// A context string whose hash is `hash`: `preferred` when it hashes so,
// else a name made of letters and digits after "CTX_".
QByteArray contextForHash(qint32 hash, const QList<QByteArray> &preferred = {});

// Names found in other files (a contents file, a map header) given to the
// contexts the help file kept only as hashes: a made name (CTX_...) takes
// the first word of `text` that hashes as it does, wherever it is used
// (the page, its jumps, [MAP], the contents page). The count of names given.
int nameContexts(THelpDocument &p, const QByteArray &text);

} // namespace Hlp
