// Pictures in the .HLP's picture container: made from files and RTF pictures,
// read back.
#include "compiler/hlp/HlpPicture.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpLz77.h"
#include "compiler/pictures/WmfRender.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

namespace Hlp {

namespace {

// Reads the compressed integers of a picture header, bounds checked:
// `ok` turns false on the first one that runs past the end.
struct TFieldReader {
    const QByteArray &bytes;
    qsizetype at;
    bool ok = true;
    quint32 next(bool wide)
    {
        if (at >= bytes.size()) {
            ok = false;
            return 0;
        }
        const bool longForm = quint8(bytes[at]) & 1;
        const int size = wide ? (longForm ? 4 : 2) : (longForm ? 2 : 1);
        if (at + size > bytes.size()) {
            ok = false;
            return 0;
        }
        const quint32 v = size == 4 ? le32(bytes, at) : size == 2 ? le16(bytes, at) : quint8(bytes[at]);
        at += size;
        return v >> 1;
    }
};

// Expands RLE8 or RLE4 data into bottom-up rows of `stride` bytes.
QByteArray expandRle(const QByteArray &in, int width, int height, int bits, int stride)
{
    QByteArray out(qsizetype(stride) * height, '\0');
    int x = 0, y = 0;
    qsizetype i = 0;
    auto put = [&](int value) {
        if (y >= height || x >= width) {
            ++x;
            return;
        }
        char *row = out.data() + qsizetype(y) * stride;
        if (bits == 8) {
            row[x] = char(value);
        } else {
            char &byte = row[x / 2];
            byte = char(x % 2 == 0 ? ((byte & 0x0F) | (value << 4)) : ((byte & 0xF0) | (value & 0x0F)));
        }
        ++x;
    };
    while (i + 1 < in.size() && y < height) {
        const int count = quint8(in[i]), value = quint8(in[i + 1]);
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(bits == 8 ? value : (k % 2 == 0 ? value >> 4 : value & 0x0F));
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (i + 1 >= in.size())
                break;
            x += quint8(in[i]);
            y += quint8(in[i + 1]);
            i += 2;
        } else { // absolute run of `value` pixels
            const int n = value;
            const int bytes = bits == 8 ? n : (n + 1) / 2;
            for (int k = 0; k < n && i + (bits == 8 ? k : k / 2) < in.size(); ++k) {
                const int b = quint8(in[i + (bits == 8 ? k : k / 2)]);
                put(bits == 8 ? b : (k % 2 == 0 ? b >> 4 : b & 0x0F));
            }
            i += bytes + (bytes % 2); // runs are padded to 16 bits
        }
    }
    return out;
}

// Run-length packing as the viewers expand it: a byte n with the high bit
// set is followed by n & 0x7F bytes taken as they are; otherwise the next
// byte stands for n of itself.
QByteArray rlePack(const QByteArray &in)
{
    QByteArray out;
    qsizetype i = 0;
    const qsizetype n = in.size();
    while (i < n) {
        qsizetype run = 1;
        while (i + run < n && run < 127 && in[i + run] == in[i])
            ++run;
        if (run >= 3) {
            out.append(char(run));
            out.append(in[i]);
            i += run;
            continue;
        }
        // Literal bytes up to the next run of three.
        qsizetype end = i;
        while (end < n && end - i < 127 && !(end + 2 < n && in[end] == in[end + 1] && in[end] == in[end + 2]))
            ++end;
        out.append(char(0x80 | (end - i)));
        out.append(in.constData() + i, end - i);
        i = end;
    }
    return out;
}

QByteArray rleUnpack(const QByteArray &in, qsizetype limit)
{
    QByteArray out;
    for (qsizetype i = 0; i < in.size() && out.size() < limit;) {
        const quint8 n = quint8(in[i++]);
        if (n & 0x80) {
            const qsizetype count = qMin<qsizetype>(n & 0x7F, in.size() - i);
            out.append(in.constData() + i, count);
            i += count;
        } else if (i < in.size()) {
            out.append(QByteArray(n, in[i++]));
        }
    }
    return out.left(limit);
}

struct TPacked {
    quint8 packing = 0; // 0 none, 1 run-length, 2 LZ77, 3 run-length then LZ77
    QByteArray data;
};

// The smallest of the four packings (none when `compress` is off).
TPacked packPixels(const QByteArray &pixels, bool compress)
{
    TPacked best{0, pixels};
    if (!compress)
        return best;
    const QByteArray rle = rlePack(pixels);
    for (const TPacked &other : {TPacked{1, rle}, TPacked{2, lz77Compress(pixels)}, TPacked{3, lz77Compress(rle)}})
        if (other.data.size() < best.data.size())
            best = other;
    return best;
}

QByteArray unpackPixels(quint8 packing, const QByteArray &data, qsizetype limit)
{
    switch (packing) {
    case 0: return data.left(limit);
    case 1: return rleUnpack(data, limit);
    case 2: return lz77Expand(data, limit);
    case 3: return rleUnpack(lz77Expand(data, qsizetype(64) << 20), limit);
    default: return {};
    }
}

// A bitmap picture (type 6) of the container format, its pixels expanded.
struct TBitmapPicture {
    bool ok = false;
    quint32 xdpi = 0, ydpi = 0, planes = 0, bits = 0, width = 0, height = 0, used = 0, important = 0;
    quint32 storedSize = 0; // the pixels' bytes as stored
    QByteArray palette, pixels, hotspots;
};

TBitmapPicture readBitmap(const QByteArray &pic)
{
    TBitmapPicture b;
    if (pic.size() < 2 || quint8(pic[0]) != 6)
        return b;
    TFieldReader field{pic, 2};
    b.xdpi = field.next(true);
    b.ydpi = field.next(true);
    b.planes = field.next(false);
    b.bits = field.next(false);
    b.width = field.next(true);
    b.height = field.next(true);
    b.used = field.next(true);
    b.important = field.next(true);
    b.storedSize = field.next(true);
    const quint32 hotspotSize = field.next(true);
    const quint32 dataAt = le32(pic, field.at), hotspotAt = le32(pic, field.at + 4);
    const qsizetype at = field.at + 8;
    const qint64 expected = ((qint64(b.width) * b.bits + 31) / 32) * 4 * b.height;
    if (!field.ok || b.planes != 1 || expected <= 0 || expected > (qint64(64) << 20) || dataAt < at
        || qint64(dataAt) + b.storedSize > pic.size() || (hotspotSize && qint64(hotspotAt) + hotspotSize > pic.size()))
        return b;
    b.pixels = unpackPixels(quint8(pic[1]), pic.mid(dataAt, b.storedSize), expected);
    if (b.pixels.size() != expected)
        return b;
    b.palette = pic.mid(at, dataAt - at);
    b.hotspots = hotspotSize ? pic.mid(hotspotAt, hotspotSize) : QByteArray();
    b.ok = true;
    return b;
}

// A bitmap picture of a hotspot graphic packed again in the smallest way;
// anything not understood is kept as it was.
QByteArray repackBitmap(const QByteArray &pic)
{
    const TBitmapPicture b = readBitmap(pic);
    if (!b.ok)
        return pic;
    const TPacked packed = packPixels(b.pixels, true);
    if (packed.data.size() >= qsizetype(b.storedSize))
        return pic;
    QByteArray fields;
    putU8(fields, 6);
    putU8(fields, packed.packing);
    fields += cUL(b.xdpi) + cUL(b.ydpi) + cUS(quint16(b.planes)) + cUS(quint16(b.bits)) + cUL(b.width) + cUL(b.height)
              + cUL(b.used) + cUL(b.important) + cUL(quint32(packed.data.size())) + cUL(quint32(b.hotspots.size()));
    const quint32 newDataAt = quint32(fields.size() + 8 + b.palette.size());
    putU32(fields, newDataAt);
    putU32(fields, b.hotspots.isEmpty() ? 0 : newDataAt + quint32(packed.data.size()));
    return fields + b.palette + packed.data + b.hotspots;
}

bool decodeRaster(const QByteArray &bytes, const QByteArray &format, QImage *image, QString *error);
QImage withPalette(const QImage &image);
QByteArray imageToBmp(QImage image);

} // namespace

QByteArray rasterFormat(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return "gif";
    return {};
}

bool bmpToPicture(const QByteArray &bmp, QByteArray *picture, QString *error, bool compress)
{
    // Hotspot graphics (.SHG) and multi-resolution pictures (.MRB) are
    // already in the help file's picture container: taken as they are
    // once their picture table is checked.
    if (bmp.startsWith("lp") || bmp.startsWith("lP")) {
        const int count = bmp.size() >= 4 ? le16(bmp, 2) : 0;
        bool ok = count >= 1 && count <= 64 && bmp.size() >= 4 + 4 * qsizetype(count);
        for (int i = 0; ok && i < count; ++i) {
            const quint32 at = le32(bmp, 4 + 4 * i);
            ok = at >= quint32(4 + 4 * count) && at < quint32(bmp.size());
        }
        if (!ok) {
            *error = QStringLiteral("fichier d'images segmentées endommagé");
            return false;
        }
        // Each bitmap's points must fill it: a viewer draws stripes for
        // those that are missing.
        for (int i = 0; i < count; ++i) {
            const quint32 from = le32(bmp, 4 + 4 * i);
            quint32 to = quint32(bmp.size());
            for (int j = 0; j < count; ++j)
                if (le32(bmp, 4 + 4 * j) > from)
                    to = qMin(to, le32(bmp, 4 + 4 * j));
            const QByteArray part = bmp.mid(from, to - from);
            if (!part.isEmpty() && quint8(part[0]) == 6 && !readBitmap(part).ok) {
                *error = QString::fromUtf8("image %1 du fichier endommagée : ses points ne remplissent pas sa taille").arg(i + 1);
                return false;
            }
        }
        *picture = bmp;
        if (!compress)
            return true;
        // Each bitmap packed again in the smallest way.
        QList<QByteArray> parts;
        for (int i = 0; i < count; ++i) {
            const quint32 from = le32(bmp, 4 + 4 * i);
            quint32 to = quint32(bmp.size());
            for (int j = 0; j < count; ++j) // the next picture in the file
                if (le32(bmp, 4 + 4 * j) > from)
                    to = qMin(to, le32(bmp, 4 + 4 * j));
            parts << repackBitmap(bmp.mid(from, to - from));
        }
        QByteArray out = bmp.left(4);
        quint32 offset = quint32(4 + 4 * count);
        for (const QByteArray &part : parts) {
            putU32(out, offset);
            offset += quint32(part.size());
        }
        for (const QByteArray &part : parts)
            out += part;
        if (out.size() < bmp.size())
            *picture = out;
        return true;
    }
    // A metafile (.WMF, placeable or not) is drawn into a bitmap, as one
    // written in the RTF is.
    if (bmp.startsWith("\xD7\xCD\xC6\x9A") || bmp.startsWith(QByteArray("\x01\x00\x09\x00", 4)) || bmp.startsWith(QByteArray("\x02\x00\x09\x00", 4))) {
        TRtfPicture metafile;
        metafile.format = TRtfPicture::Wmf;
        metafile.data = bmp;
        return rtfPictureToPicture(metafile, picture, error, compress);
    }
    // Pictures as authors keep them today: their pixels in a bitmap, with a
    // palette when they have 256 colours or fewer.
    if (const QByteArray format = rasterFormat(bmp); !format.isEmpty()) {
        QImage image;
        if (!decodeRaster(bmp, format, &image, error))
            return false;
        return bmpToPicture(imageToBmp(withPalette(image)), picture, error, compress);
    }
    if (bmp.size() < 54 || !bmp.startsWith("BM")) {
        *error = QStringLiteral("ce n'est pas une image que l'aide peut montrer (BMP, PNG, JPEG, GIF, SHG, MRB ou WMF)");
        return false;
    }
    const quint32 bitsAt = le32(bmp, 10);
    const quint32 headerSize = le32(bmp, 14);
    if (headerSize < 40 || 14 + qsizetype(headerSize) > bmp.size()) {
        *error = QStringLiteral("en-tête de bitmap non pris en charge");
        return false;
    }
    const qint32 width = qint32(le32(bmp, 18));
    const qint32 rawHeight = qint32(le32(bmp, 22));
    const int bits = le16(bmp, 28);
    const quint32 compression = le32(bmp, 30);
    const quint32 xppm = le32(bmp, 38), yppm = le32(bmp, 42);
    quint32 coloursUsed = le32(bmp, 46);
    const bool topDown = rawHeight < 0;
    const qint64 height = topDown ? -qint64(rawHeight) : rawHeight;
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        *error = QStringLiteral("dimensions de bitmap incorrectes");
        return false;
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        *error = QStringLiteral("%1 bits par point non pris en charge").arg(bits);
        return false;
    }
    const bool rle = (compression == 1 && bits == 8) || (compression == 2 && bits == 4);
    if (compression != 0 && !rle) {
        *error = QStringLiteral("compression de bitmap non prise en charge");
        return false;
    }
    const int paletteSize = bits <= 8 ? int(coloursUsed ? qMin<quint32>(coloursUsed, 1u << bits) : (1u << bits)) : 0;
    const qsizetype paletteAt = 14 + headerSize;
    if (paletteAt + qsizetype(paletteSize) * 4 > bmp.size()) {
        *error = QStringLiteral("palette tronquée");
        return false;
    }
    const int stride = int(((qint64(width) * bits + 31) / 32) * 4);
    const qsizetype dataSize = qsizetype(stride) * height;
    // An RLE header may claim any size: keep to what a help file can hold.
    if (dataSize > (qsizetype(64) << 20)) {
        *error = QStringLiteral("bitmap trop grande");
        return false;
    }
    QByteArray pixels;
    if (rle) {
        pixels = expandRle(bmp.mid(bitsAt), width, int(height), bits, stride);
    } else {
        if (qsizetype(bitsAt) + dataSize > bmp.size()) {
            *error = QStringLiteral("données de bitmap tronquées");
            return false;
        }
        pixels = bmp.mid(bitsAt, dataSize);
    }
    if (topDown) { // stored bottom-up
        QByteArray flipped;
        flipped.reserve(dataSize);
        for (qint64 row = height - 1; row >= 0; --row)
            flipped += pixels.mid(row * stride, stride);
        pixels = flipped;
    }
    auto dpi = [](quint32 ppm) { return ppm ? quint32((ppm * 254 + 5000) / 10000) : 96u; };
    // Packed when asked, in the way that saves the most room.
    const TPacked packed = packPixels(pixels, compress);
    pixels = packed.data;
    const qint64 storedSize = pixels.size();

    QByteArray fields;
    putU8(fields, 6); // DIB
    putU8(fields, packed.packing);
    fields += cUL(qBound(1u, dpi(xppm), 32767u));
    fields += cUL(qBound(1u, dpi(yppm), 32767u));
    fields += cUS(1);
    fields += cUS(quint16(bits));
    fields += cUL(quint32(width));
    fields += cUL(quint32(height));
    fields += cUL(quint32(paletteSize));
    fields += cUL(0);
    fields += cUL(quint32(storedSize));
    fields += cUL(0); // no hotspots
    const quint32 dataOffset = quint32(fields.size() + 8 + paletteSize * 4);
    putU32(fields, dataOffset);
    putU32(fields, 0);
    for (int i = 0; i < paletteSize; ++i) {
        fields += bmp.mid(paletteAt + i * 4, 3);
        putU8(fields, 0);
    }
    fields += pixels;

    QByteArray out;
    putU16(out, 0x506C);
    putU16(out, 1);
    putU32(out, 8);
    *picture = out + fields;
    return true;
}

namespace {

// A picture as a 24-bit (or 1-bit, 8-bit when indexed) .BMP file, any
// transparency laid on white, as the help page's background is.
// The biggest picture taken from a file: a viewer shows nothing larger, and
// a few bytes of a hostile file must not cost gigabytes.
constexpr qint64 kMaxPicturePixels = 16 * 1024 * 1024;
constexpr int kMaxPictureSide = 16384;

bool decodeRaster(const QByteArray &bytes, const QByteArray &format, QImage *image, QString *error)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    const QSize size = reader.size();
    if (size.isValid()
        && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide
            || qint64(size.width()) * size.height() > kMaxPicturePixels)) {
        *error = QString::fromUtf8("image trop grande (%1 × %2 points)").arg(size.width()).arg(size.height());
        return false;
    }
    if (!reader.read(image) || image->isNull()) {
        *error = QString::fromUtf8("image %1 illisible (%2)").arg(QString::fromLatin1(format.toUpper()), reader.errorString());
        return false;
    }
    if (qint64(image->width()) * image->height() > kMaxPicturePixels) {
        *error = QString::fromUtf8("image trop grande (%1 × %2 points)").arg(image->width()).arg(image->height());
        return false;
    }
    return true;
}

// The image with a palette when it has 256 colours or fewer (its pixels
// unchanged), else as it is.
QImage withPalette(const QImage &image)
{
    if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono)
        return image;
    QImage rgb(image.size(), QImage::Format_RGB32);
    if (image.hasAlphaChannel()) { // laid on white, as the viewer's page is
        rgb.fill(Qt::white);
        QPainter(&rgb).drawImage(0, 0, image);
    } else {
        rgb = image.convertToFormat(QImage::Format_RGB32);
    }
    rgb.setDotsPerMeterX(image.dotsPerMeterX());
    rgb.setDotsPerMeterY(image.dotsPerMeterY());
    QHash<QRgb, int> seen;
    QList<QRgb> table;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            if (!seen.contains(row[x])) {
                if (table.size() == 256)
                    return rgb;
                seen.insert(row[x], int(table.size()));
                table << row[x];
            }
    }
    QImage indexed(rgb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(table);
    indexed.setDotsPerMeterX(rgb.dotsPerMeterX());
    indexed.setDotsPerMeterY(rgb.dotsPerMeterY());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb *row = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        uchar *out = indexed.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = uchar(seen.value(row[x]));
    }
    return indexed;
}

QByteArray imageToBmp(QImage image)
{
    if (image.hasAlphaChannel()) {
        QImage flat(image.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, image);
        image = flat;
    } else if (image.format() != QImage::Format_Mono && image.format() != QImage::Format_Indexed8) {
        image = image.convertToFormat(QImage::Format_RGB32);
    }
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "BMP") ? bmp : QByteArray();
}

// A device-dependent bitmap: rows of `widthBytes`, top first, no palette.
QImage ddbImage(const TRtfPicture &p)
{
    const int w = p.picw, h = p.pich, bits = p.bitsPixel * qMax(1, p.planes);
    if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || (bits != 1 && bits != 24 && bits != 32))
        return {};
    const qsizetype stride = p.widthBytes > 0 ? p.widthBytes : ((qsizetype(w) * bits + 15) / 16) * 2;
    if (stride * 8 < qsizetype(w) * bits || stride * h > p.data.size())
        return {};
    QImage image(w, h, bits == 1 ? QImage::Format_Mono : QImage::Format_RGB32);
    if (bits == 1)
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < h; ++y) {
        const uchar *row = reinterpret_cast<const uchar *>(p.data.constData()) + y * stride;
        if (bits == 1) {
            memcpy(image.scanLine(y), row, size_t((w + 7) / 8));
            continue;
        }
        QRgb *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const uchar *px = row + x * (bits / 8);
            out[x] = qRgb(px[2], px[1], px[0]);
        }
    }
    return image;
}

// The size in pixels (at 96 per inch) a picture is shown at, when the RTF
// asks for another than its own.
QSize shownSize(const TRtfPicture &p, QSize natural)
{
    const auto side = [](int goal, int scale, int own) {
        const qint64 twips = goal > 0 ? goal : qint64(own) * 15;
        const qint64 px = (twips * qBound(1, scale, 1000) / 100 + 7) / 15;
        return int(qBound(qint64(1), px, qint64(4096)));
    };
    return {side(p.goalw, p.scalex, natural.width()), side(p.goalh, p.scaley, natural.height())};
}

// The size in pixels of a metafile of `himetric` hundredths of a
// millimetre, or of the box its placeable header gives.
QSize metafileSize(const TRtfPicture &p)
{
    if (p.data.startsWith("\xD7\xCD\xC6\x9A") && p.data.size() >= 22) {
        const int inch = qMax(1, int(le16(p.data, 14)));
        const int w = qAbs(qint16(le16(p.data, 10)) - qint16(le16(p.data, 6)));
        const int h = qAbs(qint16(le16(p.data, 12)) - qint16(le16(p.data, 8)));
        if (w && h)
            return {qMax(1, w * 96 / inch), qMax(1, h * 96 / inch)};
    }
    if (p.picw > 0 && p.pich > 0)
        return {qMax(1, p.picw * 96 / 2540), qMax(1, p.pich * 96 / 2540)};
    return {96, 96};
}

} // namespace

bool rtfPictureToPicture(const TRtfPicture &rtf, QByteArray *picture, QString *error, bool compress)
{
    if (rtf.data.isEmpty()) {
        *error = QStringLiteral("image vide");
        return false;
    }
    QImage image;
    switch (rtf.format) {
    case TRtfPicture::Wmf: {
        // Drawn here into a bitmap: viewers that cannot play metafiles
        // (Wine's among them) leave their place blank.
        bool drawn = false;
        image = renderWmf(rtf.data, shownSize(rtf, metafileSize(rtf)), &drawn);
        if (!drawn) {
            *error = QStringLiteral("métafichier sans rien de dessinable");
            return false;
        }
        return bmpToPicture(imageToBmp(image), picture, error, compress);
    }
    case TRtfPicture::Dib: {
        const QByteArray bmp = dibFile(rtf.data);
        if (bmpToPicture(bmp, picture, error, compress))
            return true;
        image = QImage::fromData(bmp, "BMP"); // 16 and 32 bits per pixel
        break;
    }
    case TRtfPicture::Ddb: image = ddbImage(rtf); break;
    case TRtfPicture::Png: image = QImage::fromData(rtf.data, "PNG"); break;
    case TRtfPicture::Jpeg: image = QImage::fromData(rtf.data, "JPEG"); break;
    case TRtfPicture::Emf:
    case TRtfPicture::Unknown:
        *error = QStringLiteral("format d'image sans équivalent dans un fichier d'aide");
        return false;
    }
    if (image.isNull()) {
        *error = QStringLiteral("image illisible");
        return false;
    }
    const QSize size = shownSize(rtf, image.size());
    if (size != image.size())
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return bmpToPicture(imageToBmp(image), picture, error, compress);
}

namespace {

// Where the hotspot block of a picture container's first picture starts,
// or -1 when it has none or its header does not hold together.
qsizetype hotspotBlock(const QByteArray &picture, quint32 *size, qsizetype *sizeField = nullptr)
{
    if (picture.size() < 8)
        return -1;
    const qsizetype start = le32(picture, 4);
    if (start < 8 || start + 2 > picture.size())
        return -1;
    TFieldReader field{picture, start + 2}; // past the picture type and packing
    const quint8 type = quint8(picture[start]);
    if (type == 5 || type == 6) {
        for (const bool wide : {true, true, false, false, true, true, true, true}) // dpi, planes, bits, size, colours
            field.next(wide);
    } else if (type == 8) {
        field.next(false); // mapping mode
        field.at += 4;     // width, height
        field.next(true);  // size once expanded
    } else {
        return -1;
    }
    field.next(true); // data size
    if (sizeField)
        *sizeField = field.at;
    *size = field.next(true);
    const qsizetype at = field.at + 4; // past the data offset
    if (!field.ok || *size == 0 || at + 4 > picture.size())
        return -1;
    const qsizetype block = start + qsizetype(le32(picture, at));
    if (block < 0 || block + 7 > picture.size() || picture[block] != 1)
        return -1;
    return block;
}

} // namespace

int pictureHotspotCount(const QByteArray &picture)
{
    quint32 size = 0;
    const qsizetype block = hotspotBlock(picture, &size);
    return block < 0 ? 0 : qMin(int(le16(picture, block + 1)), 0x7FFF);
}

QList<TPictureHotspot> pictureHotspots(const QByteArray &picture)
{
    quint32 size = 0;
    const qsizetype block = hotspotBlock(picture, &size);
    if (block < 0)
        return {};
    // Count, macro data size, 15 bytes per hotspot, the macro data, then
    // a name and a target (context or macro) per hotspot.
    const int count = qMin(int(le16(picture, block + 1)), 0x7FFF);
    const qsizetype strings = block + 7 + 15 * qsizetype(count) + le32(picture, block + 3);
    QList<TPictureHotspot> out;
    qsizetype at = strings;
    for (int i = 0; i < count && at < picture.size(); ++i) {
        TPictureHotspot h;
        const qsizetype record = block + 7 + 15 * qsizetype(i); // id bytes, then x, y, width, height
        h.kind = quint8(picture[record]);
        h.x = le16(picture, record + 3);
        h.y = le16(picture, record + 5);
        h.width = le16(picture, record + 7);
        h.height = le16(picture, record + 9);
        for (QByteArray *text : {&h.name, &h.target}) {
            const qsizetype end = picture.indexOf('\0', at);
            if (end < 0)
                return out;
            *text = picture.mid(at, end - at);
            at = end + 1;
        }
        out.append(h);
    }
    return out;
}

QByteArray retargetHotspots(const QByteArray &picture, const std::function<QByteArray(const QByteArray &)> &rename)
{
    quint32 size = 0;
    qsizetype sizeField = 0;
    const qsizetype block = hotspotBlock(picture, &size, &sizeField);
    if (block < 0 || qint64(block) + size > picture.size())
        return picture;
    const int count = qMin(int(le16(picture, block + 1)), 0x7FFF);
    const qsizetype strings = block + 7 + 15 * qsizetype(count) + le32(picture, block + 3);
    if (strings > block + qsizetype(size))
        return picture;
    QByteArray head = picture.mid(block, strings - block), texts;
    qsizetype at = strings;
    for (int i = 0; i < count; ++i) {
        const qsizetype nameEnd = picture.indexOf('\0', at);
        const qsizetype targetEnd = nameEnd < 0 ? -1 : picture.indexOf('\0', nameEnd + 1);
        if (targetEnd < 0 || targetEnd >= block + qsizetype(size))
            return picture;
        QByteArray target = picture.mid(nameEnd + 1, targetEnd - nameEnd - 1);
        const quint8 kind = quint8(picture[block + 7 + 15 * i]);
        if ((kind & 0xF0) == 0xE0) { // a jump or a pop-up: context[>window]
            const qsizetype cut = target.indexOf('>');
            const QByteArray renamed = target.contains('@') ? QByteArray() : rename(target.left(cut < 0 ? target.size() : cut));
            if (!renamed.isEmpty()) {
                target = renamed + (cut < 0 ? QByteArray() : target.mid(cut));
                const quint32 hash = quint32(contextHash(renamed));
                for (int b = 0; b < 4; ++b)
                    head[7 + 15 * i + 11 + b] = char(hash >> (8 * b));
            }
        }
        texts += picture.mid(at, nameEnd + 1 - at) + target + '\0';
        at = targetEnd + 1;
    }
    texts += picture.mid(at, block + size - at);
    // The block's size is written in the short or the long form: a new size
    // that needs the other form is not written (the hotspots stay as they were).
    const quint32 newSize = quint32(head.size() + texts.size());
    const bool longForm = quint8(picture[sizeField]) & 1;
    if ((newSize >= 0x8000) != longForm)
        return picture;
    QByteArray out = picture.left(block) + head + texts + picture.mid(block + size);
    if (longForm)
        qToLittleEndian<quint32>(newSize * 2 + 1, out.data() + sizeField);
    else
        qToLittleEndian<quint16>(quint16(newSize * 2), out.data() + sizeField);
    // Pictures after this one move.
    const qsizetype shift = out.size() - picture.size();
    for (int i = 0, pictures = le16(out, 2); i < pictures && 8 + 4 * i <= out.size(); ++i)
        if (const quint32 offset = le32(out, 4 + 4 * i); offset > quint32(block))
            qToLittleEndian<quint32>(quint32(offset + shift), out.data() + 4 + 4 * i);
    return out;
}

namespace {

// A bitmap picture as a .BMP file, pixels and palette as they are.
QByteArray bitmapFile(const TBitmapPicture &b)
{
    const auto ppm = [](quint32 dpi) { return (dpi * 10000 + 127) / 254; }; // read back as the same dpi
    QByteArray info;
    putU32(info, 40);
    putU32(info, b.width);
    putU32(info, b.height);
    putU16(info, 1);
    putU16(info, quint16(b.bits));
    putU32(info, 0);
    putU32(info, quint32(b.pixels.size()));
    putU32(info, ppm(qBound(1u, b.xdpi, 32767u)));
    putU32(info, ppm(qBound(1u, b.ydpi, 32767u)));
    putU32(info, b.bits <= 8 ? quint32(b.palette.size() / 4) : 0);
    putU32(info, 0);
    QByteArray bmp("BM");
    putU32(bmp, quint32(14 + info.size() + b.palette.size() + b.pixels.size()));
    putU32(bmp, 0);
    putU32(bmp, quint32(14 + info.size() + b.palette.size()));
    return bmp + info + b.palette + b.pixels;
}

} // namespace

qint64 pictureExpandedSize(const QByteArray &container)
{
    if (container.size() < 8)
        return 0;
    qint64 total = 0;
    const int count = qMin(int(le16(container, 2)), int((container.size() - 4) / 4));
    for (int k = 0; k < count; ++k) {
        const qsizetype start = le32(container, 4 + 4 * qsizetype(k));
        if (start < 0 || start + 2 >= container.size())
            continue;
        const quint8 type = quint8(container[start]);
        TFieldReader field{container, start + 2};
        if (type == 5 || type == 6) {
            field.next(true); // resolution
            field.next(true);
            const qint64 planes = field.next(false), bits = field.next(false), width = field.next(true), height = field.next(true);
            if (field.ok)
                total += ((width * bits * qMax<qint64>(planes, 1) + 31) / 32) * 4 * height;
        } else if (type == 8) {
            field.next(false); // mapping mode
            field.at += 4;
            const qint64 expanded = field.next(true);
            if (field.ok)
                total += expanded;
        }
    }
    return total;
}

QImage pictureImage(const QByteArray &container)
{
    if (container.size() < 8)
        return {};
    const TBitmapPicture b = readBitmap(container.mid(le32(container, 4)));
    if (b.ok)
        return QImage::fromData(bitmapFile(b), "BMP");
    // A metafile: drawn at the size its header gives (HIMETRIC, shown at 96
    // points to the inch), as metafiles of the sources are.
    QByteArray extension;
    const QByteArray wmf = pictureAsFile(container, &extension);
    if (extension != "wmf" || wmf.size() < 22)
        return {};
    const int inch = qMax(1, int(le16(wmf, 14)));
    const QSize size(qBound(1, int(le16(wmf, 10)) * 96 / inch, 4096), qBound(1, int(le16(wmf, 12)) * 96 / inch, 4096));
    bool drawn = false;
    const QImage image = renderWmf(wmf, size, &drawn);
    return drawn ? image : QImage();
}

QByteArray pictureAsFile(const QByteArray &container, QByteArray *extension)
{
    *extension = "mrb";
    if (container.size() < 8 || le16(container, 2) != 1)
        return container;
    const TBitmapPicture b = readBitmap(container.mid(le32(container, 4)));
    if (b.ok && b.hotspots.isEmpty() && b.palette.size() % 4 == 0) {
        *extension = "bmp";
        return bitmapFile(b);
    }
    if (pictureHotspotCount(container) > 0) {
        *extension = "shg";
        return container;
    }
    // A metafile: its records behind a placeable header (HIMETRIC box).
    const qsizetype start = le32(container, 4);
    if (start + 2 < container.size() && quint8(container[start]) == 8) {
        TFieldReader field{container, start + 2};
        field.next(false); // mapping mode
        const qsizetype sizes = field.at;
        field.at += 4;
        const quint32 expanded = field.next(true), stored = field.next(true);
        field.next(true); // hotspots
        const qsizetype dataAt = start + qsizetype(field.ok && field.at + 4 <= container.size() ? le32(container, field.at) : 0);
        if (!field.ok || sizes + 4 > container.size() || dataAt <= start || dataAt + qint64(stored) > container.size()
            || expanded > (quint32(64) << 20))
            return container;
        const QByteArray records = unpackPixels(quint8(container[start + 1]), container.mid(dataAt, stored), expanded);
        if (records.size() != qsizetype(expanded) || records.size() < 18)
            return container;
        QByteArray head;
        putU32(head, 0x9AC6CDD7);
        for (const quint16 word : {quint16(0), quint16(0), quint16(0), quint16(le16(container, sizes)), quint16(le16(container, sizes + 2)),
                                   quint16(2540)})
            putU16(head, word);
        putU32(head, 0);
        quint16 checksum = 0;
        for (int k = 0; k < 20; k += 2)
            checksum ^= le16(head, k);
        putU16(head, checksum);
        *extension = "wmf";
        return head + records;
    }
    return container;
}

} // namespace Hlp
