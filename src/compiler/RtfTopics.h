#pragma once
// Reads the topic files of a help project: topics separated by \page,
// their footnotes (# context, $ title, K keywords, + browse sequence,
// ! entry macros), paragraphs with their formats, hotspots (jumps, pop-ups,
// macros) and bitmap references.
#include "compiler/HlpParagraph.h"
#include "compiler/HlpPicture.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace Hlp {

struct TSourceTopic {
    QList<QByteArray> contexts;
    QByteArray title;
    QList<QByteArray> keywords;
    QList<QByteArray> aKeywords; // "A" footnotes
    QByteArray browse;
    QList<QByteArray> macros;
    QList<QByteArray> buildTags; // "*" footnotes, upper-case
    QByteArray window;           // ">" footnote: the window it opens in
    QList<TParagraph> nonScrolling; // \keepn paragraphs
    QList<TParagraph> scrolling;
    QByteArray sourceFile; // where it was read, for messages
    int page = 0;          // its place in that file, from 1
    bool isEmpty() const;
};

// Calls `f` on every paragraph of a topic, those in table cells included.
template <typename F>
void forEachParagraph(TSourceTopic &topic, F &&f)
{
    for (QList<TParagraph> *paragraphs : {&topic.nonScrolling, &topic.scrolling})
        for (TParagraph &p : *paragraphs) {
            if (!p.table) {
                f(p);
                continue;
            }
            for (auto &cell : p.table->paragraphs)
                f(cell.second);
        }
}

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

// A context string as the help file stores it: accented letters become
// their base letter, other characters outside [A-Za-z0-9._] are dropped,
// and it is cut at MaxContext characters (the viewers' limit).
constexpr int MaxContext = 255;
QByteArray normalizeContext(const QByteArray &context);

} // namespace Hlp
