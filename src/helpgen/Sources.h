#pragma once
// The help compiler's sources from the project model: the help project
// (N.HPJ), the contents (N.CNT) when the settings ask for it, and one RTF
// file per topic (T<n>.rtf). A topic's source is made again only when what
// goes into it changed (its text, the command lines it names, its number,
// name and title format); a list in the project's state folder remembers
// what each source was made from. Sources of topics that no longer exist
// are removed. The project's own files are only read.
#include "config/Globale.h"
#include "model/Project.h"

#include <QString>

namespace Build {

struct TSourcesResult {
    bool ok = true;
    // A topic whose marker has no end, and the line (as the file counts).
    QString badTopic;
    int badLine = -1;
    QString error; // a write that failed
    int written = 0; // topic sources made
    int kept = 0;    // topic sources already up to date
};

TSourcesResult FWriteSources(TCProject &project, const TConfBlock *conf, const QString &projectFile, bool addTitle,
                             bool sameTitleFont);

} // namespace Build
