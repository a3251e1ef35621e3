#pragma once
// Reads the topic files of a help project: topics separated by \page,
// their footnotes (# context, $ title, K keywords, + browse sequence,
// ! entry macros), paragraphs with their formats, hotspots (jumps, pop-ups,
// macros) and bitmap references.
#include "compiler/document/Pictures.h"
#include "compiler/document/Topic.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace Hlp {

struct TTopicFileRead {
    bool isRtf = true; // false: the file does not start with "{\rtf", nothing read
    QList<TSourceTopic> topics;
    QStringList warnings;
    // The message number of each warning (4000 when none more precise).
    QList<int> warningCodes;
};

// `pictures` collects the bitmap files referenced and the pictures written
// in the RTF, shared by every topic file of a project (each once); a
// Picture item's number is its index there.
// `codePage`: the help's code page, which the text is written in; each
// run is read in its font's code page (\fcharset) or the document's
// (\ansicpg, else the help's), \uN characters as they are, and what the
// help's page cannot hold is said once per page.
TTopicFileRead readTopicFile(const QByteArray &rtf, QList<TPictureSource> *pictures, int codePage = 1252);


} // namespace Hlp
