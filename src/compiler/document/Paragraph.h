#pragma once
// A paragraph of the help document: its format, and its text in runs with
// their character format, hotspots (jumps, pop-ups, macros) and pictures;
// a table row holds its cells' paragraphs.
#include "platform/CodePage.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>
#include <optional>

namespace Hlp {

// The style bits of a character format.
enum TFontAttr : quint8 { FontBold = 0x01, FontItalic = 0x02, FontUnderline = 0x04 };

struct TCharFormat {
    QByteArray face = "Arial";
    quint8 halfPoints = 24;
    quint8 family = 3;
    quint8 attributes = 0; // FontBold, FontItalic, FontUnderline
    quint8 colour[3] = {0, 0, 0};
    qint8 shift = 0; // 1 raised, -1 lowered (the help file only shrinks such text)
    bool operator==(const TCharFormat &o) const
    {
        return face == o.face && halfPoints == o.halfPoints && family == o.family && attributes == o.attributes
               && colour[0] == o.colour[0] && colour[1] == o.colour[1] && colour[2] == o.colour[2] && shift == o.shift;
    }
};

struct TInline {
    enum Kind { Text, LineBreak, Tab, NbSpace, NbHyphen, HotspotStart, HotspotEnd, Picture };
    // HotspotStart: what the link does.
    enum Link : quint8 { Jump, Popup, Macro };
    // Picture: in the line, or against the left or right margin with the
    // text flowing beside it.
    enum Placement : quint8 { InLine, Left, Right };
    Kind kind = Text;
    QString text;        // Text: its letters; a picture font's glyphs (Symbol, Wingdings) as U+F000 + their byte
    TCharFormat format;  // Text
    Link link = Jump;    // HotspotStart
    bool plain = false;  // HotspotStart: shown without colour or underline
    QByteArray macro;    // HotspotStart, Macro
    QByteArray context;  // HotspotStart, Jump and Popup: the target's name
    QByteArray window;   // a secondary window's name ("ctx>window"), as written
    int windowIndex = -1; // its place among the help file's windows
    QByteArray file;     // another help file ("ctx@file")
    Placement placement = InLine; // Picture
    quint16 picture = 0; // Picture: its number among the document's pictures
    quint16 hotspots = 0; // Picture: the hotspots it carries (hotspot graphics)
};

struct TParagraphFormat {
    enum Align { Left, Centre, Right };
    Align align = Left;
    qint16 spaceBefore = 0, spaceAfter = 0, lineSpacing = 0; // half-points
    qint16 leftIndent = 0, rightIndent = 0, firstIndent = 0;
    QList<quint16> tabs; // positions in half-points
    bool keepTogether = false;
    // Borders: TBorder bits (0 for none), and their width in half-points.
    quint8 borders = 0;
    qint16 borderWidth = 0;
};

enum TBorder : quint8 { BorderBox = 0x01, BorderTop = 0x02, BorderLeft = 0x04, BorderBottom = 0x08, BorderRight = 0x10,
                        BorderThick = 0x20, BorderDouble = 0x40 };

struct TTableRow;

// Whether a character of a text run is a picture font's glyph.
inline bool isGlyph(QChar c) { return c.unicode() >= 0xF000 && c.unicode() <= 0xF0FF; }
// A text run as the bytes of the code page `page`: glyphs as their byte,
// what the page cannot hold as '?' (added to `lost` when given).
QByteArray textBytes(const QString &text, const Platform::CodePage &page, QString *lost = nullptr);
// A text run's letters, a glyph as the letter its byte is in the code page
// `page` (the text a search takes, or an editor without the picture font).
QString glyphsAsLetters(const QString &text, const Platform::CodePage &page);

struct TParagraph {
    TParagraphFormat format;
    QList<TInline> items;
    // The font of a paragraph without text (its mark's), so that an empty
    // line is as tall as its own font, not the one before it.
    std::optional<TCharFormat> markFormat;
    // A table row instead of a paragraph: its cells' paragraphs.
    std::shared_ptr<TTableRow> table;
};

// One row of a table as RTF gives it: the cells' right edges, the space
// between cells and the row's left edge (twips), and the paragraphs of
// each cell in order.
struct TTableRow {
    QList<int> cellx;
    int gap = 0, left = 0;
    QList<QPair<int, TParagraph>> paragraphs; // cell number, paragraph
};

} // namespace Hlp
