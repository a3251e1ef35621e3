#pragma once
// The help compiler's sources: one RTF file per topic (T<n>.rtf) with its
// footnotes and optional title line and the markers replaced by their
// command lines, the help project file (.HPJ) and the contents file (.CNT).
#include "config/Globale.h"
#include "errors/ErrorContext.h"
#include "fileops/PrjFolder.h"

#include <QStringList>

namespace KIVHelpTools {

struct TConvertResult {
    bool ok = true;
    int badLine = -1; // the line of a marker without its end
};

// Works on the lines of a topic file: drops "\fcharset1" from line 0,
// replaces the markers of lines 1 on (nested ones too), then inserts the
// footnotes and the title line after line 1.
// `titleFont`, when given, is the face the title is written in: the title
// refers to it in the topic's font table, where it is added if missing.
// The text of one RTF paragraph line (control words and groups left out).
QString FParagraphText(const QString &line);
// `keywords` (the topic's own, ';'-separated) join its name in the K
// footnote.
TConvertResult FConvertTopicLines(QStringList &lines, const QStringList &commands, const QString &topicName,
                                  int number, bool addTitle, const QString &titlePrefix, const QString &titleFont = {},
                                  const QString &keywords = {});
// The title format of topic `n`: font reference, size and style words.
QString FTitlePrefix(const TFontsRec *fonts, int n, bool sameTitleFont);
// The title font entry of topic `n`.
const TFontEntry &FTitleFont(const TFontsRec *fonts, int n, bool sameTitleFont);
// The number of `face` in the font table of an RTF header line, the face
// added to the table (under the next free number) when it is not there.
int FFontNumberAdding(QString &header, const QString &face);

// A topic's help source (T<n>.rtf) from its topic file's bytes; empty when
// a marker has no end (`result` says on which line).
QByteArray FTopicSource(const QByteArray &topic, const QStringList &commands, const QString &topicName, int number,
                       bool addTitle, const QString &titlePrefix, const QString &titleFont, TConvertResult *result,
                       const QString &keywords = {});
// "Macro Corrupted !  TOPIC :  ..." for a marker without its end.
QString FMacroCorruptedText(const QString &topicName, int badLine);

TErrorContext &FTopic2RTF(const QString &prjDir, const QString &topicName, const QString &outName, int number,
                          bool addTitle, const QString &titlePrefix, QStringList *workText,
                          const QStringList &commands, const QString &titleFont = {});

// The project's language (a Windows language identifier), 0 for none or
// one that is not known.
int FProjectLcid(const TPrjRec *prj);
QStringList FHpjLines(const TIniRec *ini, const TPrjRec *prj, const QString &hpjPath, const QStringList &bitmaps,
                      int topicCount, int screenWidth, int screenHeight);
QStringList FCntLines(const QString &cntPath, const QStringList &topicFiles);

TErrorContext &FCreateHpjFile(const QString &hpjPath, const TIniRec *ini, const TPrjRec *prj,
                              const QStringList &bitmaps, const QStringList &topicFiles);
TErrorContext &FCreateCntFile(const QString &cntPath, const QStringList &topicFiles);

} // namespace KIVHelpTools
