#pragma once
// Topic text as RTF: the writer lays a document out as the classic rich-edit
// control did (line 0 the header with the font table, line 1 the colour
// table, then one paragraph per line, CR LF line ends), which the help source
// writer relies on; the reader takes that and the RTF of other rich-edit
// controls and word processors.
//
// The reader never fails: what it does not know it skips (unknown control
// words, destinations such as pictures, style sheets, headers, footnotes and
// document information, \bin data). Input that is not RTF at all is taken as
// plain Windows-1252 text, one paragraph per line.
#include <QByteArray>
#include <QString>

class QTextDocument;

namespace RtfText {

// The whole document as RTF bytes.
QByteArray FWriteRtf(const QTextDocument &doc);

struct TReadInfo {
    bool wasRtf = true;       // false: the bytes were taken as plain text
    int skippedGroups = 0;    // destinations skipped (pictures, info ...)
    int unknownWords = 0;     // control words ignored
    bool truncated = false;   // the input ended inside a group
};

// Replaces the document's content by the RTF text. The document's default
// font stands for text without an explicit font.
TReadInfo FReadRtf(QTextDocument &doc, const QByteArray &bytes);

// About how many characters of text the RTF holds (paragraph marks count
// one), without parsing it into a document: tables, pictures and other
// destinations are skipped. For gauges; 0 for empty input.
qint64 FTextLength(const QByteArray &rtf);

// Copies `in` (rich text from elsewhere: a web page, a word processor) into
// `out` as a topic holds it: fonts, sizes (headings keep theirs), bold,
// italic, underline, colours, alignment and line breaks; list items become
// paragraphs that begin with their bullet or number, a table's rows
// paragraphs with the cells separated by tabs, links their text. Returns
// what was dropped, in French ("tableaux", "liens", "images"), each once.
QStringList FKeepWhatATopicHolds(const QTextDocument &in, QTextDocument &out);

} // namespace RtfText
