#pragma once
// Draws a Windows metafile (the 16-bit kind RTF pictures and OLE results
// carry: equations, drawings) into an image, so that a help viewer that
// cannot play metafiles still shows the picture. Text, lines, polygons,
// rectangles, ellipses and embedded bitmaps are drawn; other records are
// passed over. Any input gives an image (blank when nothing is drawable).
#include <QByteArray>
#include <QImage>
#include <QSize>

namespace Hlp {

// `wmf`: METAHEADER and records, with or without the placeable header.
// `size`: the image's size in pixels. `drawn` (optional): whether any
// record drew something.
QImage renderWmf(const QByteArray &wmf, QSize size, bool *drawn = nullptr);

// A packed device-independent bitmap (header, palette, pixels) as a .BMP
// file.
QByteArray dibFile(const QByteArray &dib);

// Whether a face is a picture font (Symbol, Wingdings...), whose bytes
// are glyphs rather than letters of a code page.
bool isPictureFont(const QString &face);
// The character a byte of the Symbol font stands for.
QChar symbolFontChar(unsigned char byte);
// The same for the Wingdings font (bullets, boxes, check marks, arrows).
QChar wingdingsChar(unsigned char byte);

} // namespace Hlp
