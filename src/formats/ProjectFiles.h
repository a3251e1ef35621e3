#pragma once
// The project's topics on disk, read into the model: the outline file
// (N.PRJ) and one RTF file per topic, "DIR/NAME.n" for the topic NAME at
// position n. Only bytes are read; nothing is parsed beyond the outline.
#include "model/Project.h"

#include <QString>

namespace ProjectFiles {

// "DIR/NAME.n"
QString FTopicFileName(const QString &dir, const QString &topicName, int position);

// Why a project could not be read: what the author is told (French), and
// the report's message, category and code.
struct TReadFailure {
    QString shown;
    QString msg;
    quint8 category = 7;
    quint16 code = 4;
};

// Reads the outline file and the bytes of every topic file into `project`
// (which it replaces), each topic marked as saved in its file. Refuses an
// outline that does not parse, names a topic no file of the folder can
// hold, has more than 500 topics or none, and a topic file that cannot be
// read.
bool FReadTopics(const QString &projectFile, TCProject &project, TReadFailure *failure);

// The command lines of a .CDE file (CR, LF or CR LF ends; Windows-1252);
// false when it cannot be read.
bool FReadCommands(const QString &file, QStringList *commands);

// The topics' index keywords (N.KEY): one line per topic that has some,
// its name, a tab, its keywords (UTF-8, so that keywords in any script are
// kept; CR LF). A project without
// the file has none. Lines naming no topic are passed over.
void PReadKeywords(const QString &file, TCProject &project);
// The same from the file's bytes.
void PSetKeywords(const QByteArray &bytes, TCProject &project);
// The file's bytes for the project; empty when no topic has keywords.
QByteArray FKeywordsBytes(const TCProject &project);

} // namespace ProjectFiles
