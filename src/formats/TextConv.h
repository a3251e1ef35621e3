#pragma once
// Text conversions between what the user types and what the help compiler
// reads. Each takes and gives at most 255 characters.
#include <QString>

namespace TextConv {

enum TBackslashMode { Single, Quadruple };

// RTF text (already escaped) whose letters outside Windows-1252 become
// \uN? escapes, so that a file written in 1252 keeps them.
QString FRtfUnicode(const QString &rtf);
// Characters a topic name may not hold become blanks.
QString FCleanTopicName(const QString &name);
// Topic name to context string, as the help compiler keeps it: blanks
// become "_", accented letters their base letter, other characters that
// viewers hash differently (apostrophes, punctuation) are left out
// ("Mode d'emploi" → "Mode_demploi", "Réglages" → "Reglages").
QString FContextName(const QString &name);
// The spelling earlier versions wrote (blank to "_", apostrophe to "\'"),
// which the compiler reads as the same context: still found in command
// lines, and the label of markers.
QString FLegacyContextName(const QString &name);
QString FDoubleBackslash(const QString &text, TBackslashMode mode);
// Accented letters and a few signs to \'hh; backslash and braces escaped.
QString FRtfEscape(const QString &text);
// Drops a final line end (its last two characters when the last is a line
// feed); tells whether it did.
bool FStripLineEnd(QString &text);
// Why a topic or project name cannot name a file of the project, in
// French; empty when it can. Refused: an empty name, a leading blank, a
// control character, "/", "." and "..", characters that the project's
// files (Windows-1252) cannot hold, and a name too long for a file name.
QString FTopicNameProblem(const QString &name);
// The same for a project's name, which also must not be one of the names
// the program gives its own folders beside a project (N.OLD, N.COM,
// .N.kvnew, .N.kvstate).
QString FProjectNameProblem(const QString &name);
// The longest name, in bytes of the file system's encoding.
constexpr int MaxNameBytes = 240;
// The characters that FCleanTopicName replaces.
bool FIsForbiddenInTopicName(QChar c);

} // namespace TextConv
