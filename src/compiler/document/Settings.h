#pragma once
// The help's settings as its project gives them: options, windows, the
// [MAP], [ALIAS], [BAGGAGE], [FONTS] and [CONFIG] sections, and the
// contents' lines.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace Hlp {

// A window of the help file ([WINDOWS]): what is not given is left to
// the viewer.
struct TWindowDef {
    QByteArray name;    // "main", at most 8 characters
    QByteArray caption; // at most 50 characters
    bool hasScroll = false, hasTitle = false; // the colours of the two regions
    quint8 scroll[3] = {255, 255, 255};
    quint8 title[3] = {255, 255, 255};
    // Position and size in the viewer's units (a 1024 x 1024 screen), each
    // given or not; the state (maximised, the 4.0 buttons) as written.
    bool hasPlace[4] = {false, false, false, false};
    qint16 place[4] = {0, 0, 0, 0}; // x, y, width, height
    bool hasState = false;
    quint16 state = 0;
    bool onTop = false, autoHeight = false;
};

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
    QList<TWindowDef> windows;
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

} // namespace Hlp
