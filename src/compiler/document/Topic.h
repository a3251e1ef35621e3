#pragma once
// A topic of the help document (its names, title, keywords, browse place,
// macros and paragraphs), and the index and map entries that lead to
// topics.
#include "compiler/document/Paragraph.h"

#include <QByteArray>
#include <QList>

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

// An index entry: a keyword and its topics (by number), each once.
struct TIndexEntry {
    QByteArray keyword;
    QList<int> topics;
};

// A [MAP] name that a topic defines, its number and its topic.
struct TMapEntry {
    QByteArray context;
    qint64 number = 0;
    int topic = -1;
};

} // namespace Hlp
