#pragma once
// Recovery copies: the topics changed since the last save are written, a few
// seconds after typing stops and at every change of topic, into the
// project's state folder beside it (never inside the project folder, which
// a backup carries), so that a crash, a kill or a power cut loses at most
// the last few seconds of typing. The next opening of the project offers
// them back; a save removes them.
//   D/.P.kvstate/recovery/manifest   one line per topic: file TAB name
//   D/.P.kvstate/recovery/rN.rtf     the topic's text as RTF
// While the outline or the command lines have unsaved changes, the command
// lines (which the topics' pictures and links name) and the index keywords
// go with them:
//   D/.P.kvstate/recovery/commands   as the project's .CDE holds them
//   D/.P.kvstate/recovery/keywords   as its N.KEY holds them
// each named in the manifest by a line "+commands", "+keywords".
#include "config/Globale.h"

#include <QDateTime>
#include <QString>

class TCProject;
struct TTopic;

namespace KIVHelpTools {

// True when the topic changed since it was last loaded or saved (a topic
// never saved counts as changed).
bool FChangedSinceSave(const TTopic *topic);

// Writes the recovery copy of the open project (what changed since the last
// save), or removes it when nothing did. False when a write failed.
bool FWriteRecovery(const TConfBlock *conf, TCProject *project);
// Removes the project's recovery copy.
void PRemoveRecovery(const QString &projectDir, const QString &name);

struct TRecovered {
    QString name;
    QByteArray rtf;
    QDateTime copied;     // when this page's copy was written
    bool isRtf = true;    // a copy that is not RTF text is not taken back
};
// The project-wide part of a recovery copy.
struct TRecoveredProject {
    bool hasCommands = false;
    QStringList commands;
    bool hasKeywords = false;
    QByteArray keywords; // as N.KEY holds them
    bool isEmpty() const { return !hasCommands && !hasKeywords; }
};
// The recovery copy left for a project (empty when none), and when it was
// written; `project` receives its command lines and keywords, if kept. A
// recovery folder that is not a real folder (a link) holds no copy.
QList<TRecovered> FReadRecovery(const QString &projectDir, const QString &name, QDateTime *when = nullptr,
                                TRecoveredProject *project = nullptr);

} // namespace KIVHelpTools
