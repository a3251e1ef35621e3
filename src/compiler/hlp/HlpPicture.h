#pragma once
// Pictures of a help file: a .BMP file (1, 4, 8 or 24 bits per pixel,
// RLE data expanded) turned into the |bm<n> picture container; .SHG and
// .MRB files, already in that container, taken as they are.
#include "compiler/document/Pictures.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <functional>

namespace Hlp {

// "png", "jpeg" or "gif" for a picture file in one of those formats (which
// the compiler turns into a bitmap, and the web pages take as it is);
// empty for any other.
QByteArray rasterFormat(const QByteArray &bytes);

// A picture file (.BMP; PNG, JPEG and GIF, their pixels kept in a bitmap; .SHG or .MRB, taken as they are; .WMF, drawn into
// a bitmap) as a picture container. False with a reason when the file is
// not one this writer takes.
// `compress`: the pixels are LZ77-packed when that makes them smaller.
bool bmpToPicture(const QByteArray &bmp, QByteArray *picture, QString *error, bool compress = false);

// A picture written in the RTF turned into the picture container: bitmaps
// as device-independent bitmaps (PNG and JPEG decoded, drawn at the size
// the RTF asks), metafiles drawn into bitmaps. False with a reason when
// it cannot be kept.
bool rtfPictureToPicture(const TRtfPicture &rtf, QByteArray *picture, QString *error, bool compress = false);

// A hotspot of a hotspot graphic: its kind (0xE2 pop-up, 0xE3 jump, 0xC8
// macro, and the same with 0x04 for no outline), its name and its target
// (a context string, or a macro).
struct TPictureHotspot {
    quint8 kind = 0;
    QByteArray name;
    QByteArray target;
    int x = 0, y = 0, width = 0, height = 0; // in the picture's pixels
};
QList<TPictureHotspot> pictureHotspots(const QByteArray &picture);

// The picture with its hotspots' jumps and pop-ups led to other contexts:
// `rename` gives the new context for an old one (empty: kept). The
// picture as it was when its hotspots do not hold together.
QByteArray retargetHotspots(const QByteArray &picture, const std::function<QByteArray(const QByteArray &)> &rename);

// The first bitmap of a picture container as an image (null when it is
// not one this reader knows).
QImage pictureImage(const QByteArray &container);
// What the pictures of a container take once expanded (their pixels and
// metafile records), read from their headers alone.
qint64 pictureExpandedSize(const QByteArray &container);

// A picture container as the file an author keeps: a lone bitmap without
// hotspots as a .BMP file (its pixels, palette and resolution as stored),
// a lone picture with hotspots as the container itself (.SHG), a lone
// metafile as a placeable .WMF file, anything else (several resolutions)
// as the container (.MRB). The compiler takes each of them back (a
// metafile drawn into a bitmap).
QByteArray pictureAsFile(const QByteArray &container, QByteArray *extension);

// The number of hotspots of a picture container's first picture (0 when
// it has none or its header does not hold together).
int pictureHotspotCount(const QByteArray &picture);

} // namespace Hlp
