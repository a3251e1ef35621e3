#pragma once
// The help project file (.HPJ) as a help compiler reads it.
#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Hlp {

struct TWindowLine {
    QByteArray name;
    QByteArray caption;
    bool hasScroll = false, hasTitle = false;
    quint8 scroll[3] = {255, 255, 255};
    quint8 title[3] = {255, 255, 255};
};

struct TDiagnostic {
    int line = 0; // 1-based, 0 when the whole file
    QString text;
};

struct THpj {
    QMap<QByteArray, QByteArray> options; // upper-case keys: TITLE, ROOT ...
    QList<QByteArray> files;              // [FILES], in order
    QList<TWindowLine> windows;
    QList<QByteArray> bitmaps;            // [BITMAPS]
    QList<QByteArray> config;             // [CONFIG] macros, in order
    QList<QPair<QByteArray, qint64>> map; // [MAP] context, number
    QList<QPair<int, QByteArray>> mapIncludes; // [MAP] #include: line, file
    QMap<QByteArray, QByteArray> alias;   // [ALIAS] from -> to
    QList<QByteArray> unknownSections;    // upper-case, each once
    QList<TDiagnostic> warnings;
    QList<TDiagnostic> errors;

    // COMPRESS: the topic blocks are LZ77-compressed or not; a value not
    // understood leaves them plain.
    enum class Compression { None, Lz77, Unknown };
    Compression compression() const;
};

// Reads the text of a .HPJ (Windows-1252 bytes): any input gives a result,
// with warnings for what is not understood.
// One [MAP] line, from the project or a file it includes; false if it
// names no context and number.
bool parseMapLine(const QByteArray &line, QList<QPair<QByteArray, qint64>> *map);

THpj parseHpj(const QByteArray &bytes);
// One [WINDOWS] definition: name = "caption", (x, y, w, h), state, (r, g, b), (r, g, b), on-top.
bool parseWindowLine(const QByteArray &line, TWindowLine *window);

} // namespace Hlp
