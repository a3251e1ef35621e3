#pragma once
// The help project file (.HPJ) as a help compiler reads it.
#include "compiler/HlpSections.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Hlp {

// A [WINDOWS] line is the window the help file stores.
using TWindowLine = TWindowDef;

// A [FONTS] line: a face (at one size, or any when 0) drawn as another.
struct TFontMapping {
    QByteArray face;
    int size = 0; // points
    QByteArray toFace;
    int toSize = 0;
};

struct TDiagnostic {
    int line = 0; // 1-based, 0 when the whole file
    QString text;
};

// A line of a help project's contents (a .CNT, or an author's outline):
// a heading when it names no context.
struct TContentsLine {
    int level = 1; // 1 for the top level
    QString text;
    QByteArray context;
};

struct THpj {
    QMap<QByteArray, QByteArray> options; // upper-case keys: TITLE, ROOT ...
    QList<QByteArray> files;              // [FILES], in order
    QList<TWindowLine> windows;
    QList<QByteArray> bitmaps;            // [BITMAPS]
    QList<QByteArray> config;             // [CONFIG] macros, in order
    // [CONFIG-name] and [CONFIG:n]: a secondary window's macros, by the
    // window's name or number as written.
    QMap<QByteArray, QList<QByteArray>> windowConfig;
    QList<QPair<QByteArray, qint64>> map; // [MAP] context, number
    QList<QPair<int, QByteArray>> mapIncludes; // [MAP] #include: line, file
    QMap<QByteArray, QByteArray> alias;   // [ALIAS] from -> to
    QList<QByteArray> baggage;            // [BAGGAGE] files
    QList<TFontMapping> fonts;            // [FONTS]
    QList<QByteArray> buildTags;          // [BUILDTAGS], upper-case
    QList<QByteArray> unknownSections;    // upper-case, each once
    QList<TDiagnostic> warnings;
    QList<TDiagnostic> errors;

    // COMPRESS: the topic blocks are LZ77-compressed or not; a value not
    // understood leaves them plain.
    enum class Compression { None, Lz77, Unknown };
    Compression compression() const;
    // COMPRESS also asks for phrase compression ("12 Hall Zeck", HIGH ...).
    bool phrases() const;
};

// Reads the text of a .HPJ (Windows-1252 bytes): any input gives a result,
// with warnings for what is not understood.
// One [MAP] line, from the project or a file it includes; false if it
// names no context and number.
bool parseMapLine(const QByteArray &line, QList<QPair<QByteArray, qint64>> *map);
// A [MAP] line's words once its comment and "#define" are left out: two
// (name and number) for an entry.
QList<QByteArray> mapLineParts(const QByteArray &line);

THpj parseHpj(const QByteArray &bytes);

// Whether a topic carrying `tags` (upper-case) is built under the BUILD=
// expression: tags joined by ~ (not), & (and), | (or) and parentheses.
// `valid` is false, and the result true, when the expression is not one.
bool buildSelects(const QByteArray &expression, const QList<QByteArray> &tags, bool *valid);
// One [WINDOWS] definition: name = "caption", (x, y, w, h), state, (r, g, b)
// or (rCOLORREF), the same for the non-scrolling region, flags (1 or fN).
bool parseWindowLine(const QByteArray &line, TWindowLine *window);

} // namespace Hlp
