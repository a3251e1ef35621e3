#pragma once
// Pictures of a help file: a .BMP file (1, 4, 8 or 24 bits per pixel,
// RLE data expanded) turned into the |bm<n> picture container; .SHG and
// .MRB files, already in that container, taken as they are.
#include <QByteArray>
#include <QString>

namespace Hlp {

// False with a reason when the file is not a bitmap this writer takes.
// `compress`: the pixels are LZ77-packed when that makes them smaller.
bool bmpToPicture(const QByteArray &bmp, QByteArray *picture, QString *error, bool compress = false);

// The number of hotspots of a picture container's first picture (0 when
// it has none or its header does not hold together).
int pictureHotspotCount(const QByteArray &picture);

} // namespace Hlp
