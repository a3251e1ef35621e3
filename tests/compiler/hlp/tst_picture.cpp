#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "platform/SafeFile.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/sources/RtfTopics.h"
#include "compiler/pictures/WmfRender.h"
#include "compiler/HelpCompiler.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>

#include <QDir>

namespace {

// A .BMP with a BITMAPINFOHEADER; `rows` bottom-up unless height < 0.
QByteArray bmp(int width, int height, int bits, const QList<QByteArray> &palette, const QByteArray &data,
               quint32 compression = 0)
{
    QByteArray info;
    Hlp::putU32(info, 40);
    Hlp::putU32(info, quint32(width));
    Hlp::putU32(info, quint32(height));
    Hlp::putU16(info, 1);
    Hlp::putU16(info, quint16(bits));
    Hlp::putU32(info, compression);
    Hlp::putU32(info, quint32(data.size()));
    Hlp::putU32(info, 3780); // 96 dpi
    Hlp::putU32(info, 3780);
    Hlp::putU32(info, quint32(palette.size()));
    Hlp::putU32(info, 0);
    QByteArray pal;
    for (const QByteArray &c : palette)
        pal += c;
    QByteArray out = "BM";
    Hlp::putU32(out, quint32(14 + info.size() + pal.size() + data.size()));
    Hlp::putU32(out, 0);
    Hlp::putU32(out, quint32(14 + info.size() + pal.size()));
    return out + info + pal + data;
}

struct Picture {
    int type, packing, bits, width, height, colours;
    quint32 dataSize, dataOffset;
    QByteArray palette, pixels;
};

Picture decode(const QByteArray &container)
{
    Picture p{};
    const QByteArray pic = container.mid(HlpRead::u32(container, 4));
    qsizetype at = 2;
    p.type = quint8(pic[0]);
    p.packing = quint8(pic[1]);
    HlpRead::cUL(pic, at);
    HlpRead::cUL(pic, at);
    HlpRead::cUS(pic, at);
    p.bits = HlpRead::cUS(pic, at);
    p.width = int(HlpRead::cUL(pic, at));
    p.height = int(HlpRead::cUL(pic, at));
    p.colours = int(HlpRead::cUL(pic, at));
    HlpRead::cUL(pic, at);
    p.dataSize = HlpRead::cUL(pic, at);
    HlpRead::cUL(pic, at);
    p.dataOffset = HlpRead::u32(pic, at);
    p.palette = pic.mid(at + 8, p.colours * 4);
    p.pixels = pic.mid(p.dataOffset, p.dataSize);
    if (p.packing >= 2)
        p.pixels = HlpRead::lz77Expand(p.pixels);
    if (p.packing == 1 || p.packing == 3) { // n & 0x80: n & 0x7F bytes as they are; else the next byte n times
        QByteArray out;
        for (qsizetype i = 0; i < p.pixels.size();) {
            const quint8 n = quint8(p.pixels[i++]);
            if (n & 0x80) {
                out += p.pixels.mid(i, n & 0x7F);
                i += n & 0x7F;
            } else {
                out += QByteArray(n, p.pixels[i++]);
            }
        }
        p.pixels = out;
    }
    return p;
}

QByteArray png(const QImage &image)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return out;
}

// A metafile: a window of 100 x 100 units, a black brush selected from the
// object table, a filled rectangle from (10, 10) to (90, 90).
QByteArray metafile()
{
    QByteArray records;
    const auto record = [&records](quint16 function, const QList<quint16> &params) {
        Hlp::putU32(records, quint32(3 + params.size()));
        Hlp::putU16(records, function);
        for (quint16 v : params)
            Hlp::putU16(records, v);
    };
    record(0x020C, {100, 100});      // SetWindowExt
    record(0x02FC, {0, 0, 0, 0});    // CreateBrushIndirect: solid, black
    record(0x012D, {0});             // SelectObject 0
    record(0x041B, {90, 90, 10, 10}); // Rectangle
    record(0x0000, {});
    QByteArray header;
    Hlp::putU16(header, 1);
    Hlp::putU16(header, 9);
    Hlp::putU16(header, 0x300);
    Hlp::putU32(header, quint32((18 + records.size()) / 2));
    Hlp::putU16(header, 1);
    Hlp::putU32(header, 7);
    Hlp::putU16(header, 0);
    return header + records;
}

} // namespace

class TestPicture : public QObject {
    Q_OBJECT
private slots:
    void bitmapsOfEveryDepth();
    void refused();
    void metafileFiles();
    void hotspotGraphics();
    void picturesWrittenInTheText();
    void picturesAsAuthorsKeepThem();
};

void TestPicture::bitmapsOfEveryDepth()
{
    const QList<QByteArray> pal3{QByteArray("\x00\x00\xff\x00", 4), QByteArray("\x00\xff\x00\x00", 4), QByteArray("\xff\x00\x00\x00", 4)};
    struct Case {
        QByteArray file;
        int bits, width, height, colours;
        QByteArray pixels;
    };
    const QByteArray rows8("\x00\x01\x02\x00\x02\x01\x00\x00", 8); // 3x2, rows padded to 4
    const QByteArray runs = QByteArray(100, '\0') + QByteArray(100, '\1') + QByteArray(100, '\2') + QByteArray(100, '\0');
    const QList<Case> cases{
        {bmp(3, 2, 8, pal3, rows8), 8, 3, 2, 3, rows8},
        // Top-down rows come out bottom-up.
        {bmp(3, -2, 8, pal3, rows8), 8, 3, 2, 3, rows8.mid(4) + rows8.left(4)},
        {bmp(2, 1, 24, {}, QByteArray("\x01\x02\x03\x04\x05\x06\x00\x00", 8)), 24, 2, 1, 0,
         QByteArray("\x01\x02\x03\x04\x05\x06\x00\x00", 8)},
        {bmp(9, 1, 1, {QByteArray(4, '\0'), QByteArray("\xff\xff\xff\x00", 4)}, QByteArray("\xa5\x80\x00\x00", 4)), 1, 9, 1, 2,
         QByteArray("\xa5\x80\x00\x00", 4)},
        {bmp(3, 1, 4, pal3, QByteArray("\x12\x00\x00\x00", 4)), 4, 3, 1, 3, QByteArray("\x12\x00\x00\x00", 4)},
        // RLE8: a run of 3 twos, end of line, an absolute run (1, 0, 2) padded
        // to 16 bits, end of bitmap.
        {bmp(3, 2, 8, pal3, QByteArray("\x03\x02\x00\x00\x00\x03\x01\x00\x02\x00\x00\x01", 12), 1), 8, 3, 2, 3,
         QByteArray("\x02\x02\x02\x00\x01\x00\x02\x00", 8)},
        // Large enough for LZ77 to pay: packed when compression is asked.
        {bmp(64, 64, 8, pal3, QByteArray(64 * 64, '\x01')), 8, 64, 64, 3, QByteArray(64 * 64, '\x01')},
        // Long runs of different bytes: run-length packing alone pays best.
        {bmp(400, 1, 8, pal3, runs), 8, 400, 1, 3, runs},
    };
    for (const bool compress : {false, true})
    for (const Case &c : cases) {
        QByteArray out;
        QString why;
        QVERIFY2(Hlp::bmpToPicture(c.file, &out, &why, compress), qPrintable(why));
        QCOMPARE(HlpRead::u16(out, 0), quint16(0x506C));
        QCOMPARE(HlpRead::u16(out, 2), quint16(1));
        QCOMPARE(HlpRead::u32(out, 4), 8u);
        const Picture p = decode(out);
        QCOMPARE(p.type, 6);
        QCOMPARE(p.packing, !compress ? 0 : c.width == 64 ? 3 : c.width == 400 ? 1 : 0);
        QCOMPARE(p.bits, c.bits);
        QCOMPARE(p.width, c.width);
        QCOMPARE(p.height, c.height);
        QCOMPARE(p.colours, c.colours);
        QCOMPARE(p.pixels, c.pixels);
        if (p.packing == 0)
            QCOMPARE(int(p.dataSize), c.pixels.size());
        if (c.colours == 3)
            QCOMPARE(p.palette, pal3[0] + pal3[1] + pal3[2]);
    }
}

void TestPicture::refused()
{
    QByteArray out;
    QString why;
    QVERIFY(!Hlp::bmpToPicture("GIF89a", &out, &why));
    QVERIFY(!Hlp::bmpToPicture(bmp(2, 2, 32, {}, QByteArray(16, 'x')), &out, &why));
    QVERIFY(!Hlp::bmpToPicture(bmp(2, 2, 24, {}, QByteArray(3, 'x')), &out, &why)); // truncated
    QVERIFY(!Hlp::bmpToPicture(bmp(0, 2, 8, {}, QByteArray()), &out, &why));
    const QList<QByteArray> two{QByteArray(4, '\0'), QByteArray(4, '\x7f')};
    QVERIFY(!Hlp::bmpToPicture(bmp(32000, 32000, 8, two, QByteArray("\x00\x01", 2), 1), &out, &why)); // huge RLE claim
    QCOMPARE(why, QStringLiteral("bitmap trop grande"));
    const QList<QByteArray> pal{QByteArray(4, '\0'), QByteArray(4, '\x7f')};
    QByteArray garbage = bmp(3, 2, 8, pal, QByteArray(200, '\xff'), 1); // RLE that never ends
    QVERIFY(Hlp::bmpToPicture(garbage, &out, &why));
    // A hotspot graphic whose bitmap lacks points (a file cut short) is
    // refused, not copied for the viewer to draw stripes.
    QVERIFY(Hlp::bmpToPicture(bmp(16, 8, 8, pal, QByteArray(128, '\x01')), &out, &why));
    QVERIFY(Hlp::bmpToPicture(out, &out, &why)); // whole: taken
    QVERIFY(!Hlp::bmpToPicture(out.chopped(20), &out, &why));
    QVERIFY2(why.contains(QString::fromUtf8("endommagée")), qPrintable(why));
}

void TestPicture::metafileFiles()
{
    // A help file's metafile comes out as a placeable .WMF (its box one inch
    // square), which the compiler takes back drawn, as a plain metafile too.
    const QByteArray records = metafile();
    QByteArray picture("\x08\x00\x10", 3);
    for (const quint16 v : {quint16(2540), quint16(2540), quint16(records.size() * 2), quint16(records.size() * 2), quint16(0)})
        Hlp::putU16(picture, v);
    Hlp::putU32(picture, 21);
    Hlp::putU32(picture, 0);
    QByteArray container("lP\x01\x00", 4);
    Hlp::putU32(container, 8);
    container += picture + records;
    QByteArray extension;
    const QByteArray wmf = Hlp::pictureAsFile(container, &extension);
    QCOMPARE(extension, QByteArray("wmf"));
    QVERIFY(wmf.startsWith("\xD7\xCD\xC6\x9A") && wmf.mid(22) == records);
    quint16 sum = 0;
    for (int k = 0; k < 22; k += 2)
        sum ^= HlpRead::u16(wmf, k);
    QCOMPARE(sum, quint16(0)); // the checksum holds
    // The help file's metafile itself is drawn for the web pages and the
    // PDF, at its box's size.
    const QImage fromHelp = Hlp::pictureImage(container);
    QCOMPARE(fromHelp.size(), QSize(96, 96));
    QCOMPARE(fromHelp.pixelColor(48, 48), QColor(Qt::black));
    for (const QByteArray &file : {wmf, records}) {
        QByteArray out;
        QString why;
        QVERIFY2(Hlp::bmpToPicture(file, &out, &why), qPrintable(why));
        const QImage drawn = Hlp::pictureImage(out);
        QCOMPARE(drawn.size(), QSize(96, 96));
        QCOMPARE(drawn.pixelColor(48, 48), QColor(Qt::black));
        QCOMPARE(drawn.pixelColor(2, 2), QColor(Qt::white));
    }
    for (int cut = 0; cut < container.size(); cut += 7) // cut short: the container as it is
        Hlp::pictureAsFile(container.left(cut), &extension);
}

void TestPicture::hotspotGraphics()
{
    // Hotspot graphics from a real project are taken whole and their
    // hotspots counted; a converted bitmap has none; damage is refused.
    const QString dir = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/andes-fbd/hlp");
    if (!QFileInfo(dir).isDir())
        QSKIP("the corpus is not beside the project");
    int graphics = 0, renamed = 0;
    for (const QString &name : QDir(dir).entryList({"*.shg", "*.SHG"})) {
        const QByteArray shg = TestSupport::readFile(dir + u'/' + name);
        QByteArray picture;
        QString why;
        QVERIFY2(Hlp::bmpToPicture(shg, &picture, &why), qPrintable(name + why));
        QCOMPARE(picture, shg);
        QVERIFY2(Hlp::pictureHotspotCount(picture) > 0, qPrintable(name));
        // Packed again when compression is asked: the same pixels and
        // hotspots in fewer bytes.
        QByteArray packed;
        QVERIFY(Hlp::bmpToPicture(shg, &packed, &why, true));
        QVERIFY(packed.size() <= shg.size());
        QCOMPARE(Hlp::pictureHotspotCount(packed), Hlp::pictureHotspotCount(shg));
        QCOMPARE(decode(packed).pixels, decode(shg).pixels);
        const QList<Hlp::TPictureHotspot> targets = Hlp::pictureHotspots(packed);
        QCOMPARE(targets.size(), Hlp::pictureHotspotCount(shg));
        QVERIFY(!targets.first().target.isEmpty());
        ++graphics;
        // Its jumps led to other names (the pages of an imported help take
        // new ones): the same hotspots, pixels and other targets.
        const auto rename = [](const QByteArray &c) { return c.size() % 2 ? "Page_" + c.toLower() + "_nouvelle" : QByteArray(); };
        const QByteArray moved = Hlp::retargetHotspots(shg, rename);
        QVERIFY(Hlp::bmpToPicture(moved, &picture, &why));
        QCOMPARE(decode(moved).pixels, decode(shg).pixels);
        const QList<Hlp::TPictureHotspot> after = Hlp::pictureHotspots(moved);
        QCOMPARE(after.size(), targets.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            const bool jump = (targets[i].kind & 0xF0) == 0xE0;
            QCOMPARE(after[i].target, jump && !rename(targets[i].target).isEmpty() ? rename(targets[i].target) : targets[i].target);
            renamed += after[i].target != targets[i].target ? 1 : 0;
            QCOMPARE(after[i].name, targets[i].name);
        }
        QVERIFY(!Hlp::bmpToPicture(shg.left(6), &picture, &why));
        for (int cut = 0; cut < shg.size(); cut += 97) // truncated: never read past the end
            Hlp::pictureHotspotCount(shg.left(cut)), Hlp::pictureHotspots(shg.left(cut)), Hlp::retargetHotspots(shg.left(cut), rename);
    }
    QCOMPARE(graphics, 7);
    QVERIFY(renamed > 5);
    QByteArray bmp = TestSupport::readFile(QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/pjabout/AboutDlg.bmp"));
    QByteArray picture;
    QString why;
    QVERIFY(Hlp::bmpToPicture(bmp, &picture, &why));
    QCOMPARE(Hlp::pictureHotspotCount(picture), 0);
}

void TestPicture::picturesWrittenInTheText()
{
    // Pictures inside the RTF (Word's PNG with its metafile twin, an OLE
    // equation's result, bitmaps, binary data) become pictures of the help
    // file; identical ones share a number; what cannot be kept is named.
    QImage red(2, 2, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    const QByteArray redPng = png(red), wmf = metafile();
    QByteArray dib = bmp(1, 1, 24, {}, QByteArray("\x00\xFF\x00\x00", 4)).mid(14); // green
    QByteArray rtf = "{\\rtf1 {\\pict\\pngblip\\picw2\\pich2 " + redPng.toHex() + "}\\par\n"
                     "{\\*\\shppict{\\pict\\pngblip\\picw2\\pich2 " + redPng.toHex() + "}}{\\nonshppict{\\pict\\wmetafile8 " + wmf.toHex() + "}}\\par\n"
                     "{\\object\\objemb{\\*\\objclass Equation.3}{\\*\\objdata 01050000}{\\result{\\pict\\wmetafile8\\picw1058\\pich1058"
                     "\\picwgoal600\\pichgoal600 " + wmf.toHex() + "}}}\\par\n"
                     "{\\pict\\dibitmap0 " + dib.toHex() + "}{\\pict\\wbitmap0\\picw8\\pich1\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2 0f00}\\par\n"
                     "{\\pict\\pngblip\\picwgoal60\\pichgoal60\\bin" + QByteArray::number(redPng.size()) + " " + redPng + "}\\par\n"
                     "{\\pict\\emfblip 0100}{\\object{\\*\\objdata 00}}\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.warningCodes, (QList<int>{4115, 4115})); // the EMF and the object without a picture
    QList<int> numbers;
    for (const Hlp::TParagraph &p : read.topics.value(0).scrolling)
        for (const Hlp::TInline &i : p.items)
            if (i.kind == Hlp::TInline::Picture)
                numbers << i.picture;
    QCOMPARE(numbers, (QList<int>{0, 0, 1, 2, 3, 4})); // the PNG's twin and the same PNG again share 0
    QCOMPARE(pictures.size(), 5);
    QVERIFY(pictures[4].embedded.goalw == 60);

    const auto image = [](const Hlp::TPictureSource &source) {
        QByteArray picture;
        QString why;
        if (!Hlp::rtfPictureToPicture(source.embedded, &picture, &why, true))
            return Picture{};
        return decode(picture);
    };
    const Picture fromPng = image(pictures[0]);
    QCOMPARE(fromPng.type, 6);
    QCOMPARE(fromPng.width, 2);
    QCOMPARE(fromPng.pixels.left(3), QByteArray("\x00\x00\xFF", 3)); // blue, green, red
    // The equation is drawn into a bitmap of the size asked (600 twips: 40
    // pixels), its black rectangle in the middle.
    const Picture equation = image(pictures[1]);
    QCOMPARE(equation.type, 6);
    QCOMPARE(equation.width, 40);
    const int stride = (equation.width * equation.bits + 31) / 32 * 4;
    QCOMPARE(equation.pixels.mid(20 * stride + 20 * 3, 3), QByteArray(3, '\0'));
    QCOMPARE(equation.pixels.mid(1 * stride + 1 * 3, 3), QByteArray(3, '\xFF'));
    QCOMPARE(image(pictures[2]).pixels.left(3), QByteArray("\x00\xFF\x00", 3));
    const Picture mono = image(pictures[3]);
    QCOMPARE(mono.width, 8);
    QCOMPARE(mono.bits, 1);
    QCOMPARE(quint8(mono.pixels[0]), quint8(0x0F));
    QCOMPARE(image(pictures[4]).width, 4); // 60 twips at 96 pixels an inch

    // Damaged pictures of every kind give a reason, never a crash.
    QByteArray picture;
    QString why;
    for (auto format : {Hlp::TRtfPicture::Dib, Hlp::TRtfPicture::Ddb, Hlp::TRtfPicture::Png, Hlp::TRtfPicture::Wmf}) {
        Hlp::TRtfPicture broken;
        broken.format = format;
        broken.picw = broken.pich = 30000;
        broken.bitsPixel = 1;
        broken.data = QByteArray("\x01\x00\x09\x00\x00\x03", 6) + QByteArray(40, '\xFF');
        QVERIFY(!Hlp::rtfPictureToPicture(broken, &picture, &why));
        QVERIFY(!why.isEmpty());
    }
    QCOMPARE(Hlp::symbolFontChar('D'), QChar(0x0394));

    // Metafiles from elsewhere: any bytes are drawn or refused, never a
    // crash or a hang (records claiming more than the file holds, objects
    // selected that were never made, text past the end).
    QRandomGenerator random(11);
    for (int n = 0; n < 3000; ++n) {
        QByteArray bytes = wmf;
        for (int e = 0; e < 1 + int(random.bounded(6)); ++e)
            bytes[random.bounded(int(bytes.size()))] = char(random.bounded(256));
        if (n % 3 == 0)
            bytes += QByteArray::fromHex("0c000000320a0a000a00ff00") + bytes.mid(18, int(random.bounded(40)));
        Hlp::renderWmf(bytes, QSize(24, 16));
    }
}

void TestPicture::picturesAsAuthorsKeepThem()
{
    // A PNG of three colours becomes an 8-bit bitmap with those colours and
    // the same pixels; a photograph (JPEG), a 24-bit one; a transparent PNG
    // is laid on white. The web pages get each file as the author made it.
    QImage three(5, 2, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(10, 20, 30)};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 5; ++x)
            three.setPixel(x, y, colours[(x + y) % 3]);
    QImage photo(40, 30, QImage::Format_RGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            photo.setPixel(x, y, qRgb(x * 6, y * 8, (x * y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(photo.save(&buffer, "JPEG"));
    QImage clear(3, 3, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(1, 1, qRgb(0, 0, 0));

    QByteArray out;
    QString why;
    QVERIFY2(Hlp::bmpToPicture(png(three), &out, &why), qPrintable(why));
    Picture p = decode(out);
    QVERIFY(p.bits <= 8); // a palette
    QVERIFY(p.colours >= 3 && p.colours <= 16);
    QImage back = Hlp::pictureImage(out).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(back, three);
    QVERIFY2(Hlp::bmpToPicture(jpeg, &out, &why), qPrintable(why));
    QCOMPARE(decode(out).bits, 24);
    QCOMPARE(Hlp::pictureImage(out).size(), QSize(40, 30));
    QVERIFY2(Hlp::bmpToPicture(png(clear), &out, &why), qPrintable(why));
    back = Hlp::pictureImage(out);
    QCOMPARE(back.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(back.pixelColor(1, 1), QColor(Qt::black));

    // A file that claims more points than any screen holds is refused from
    // its header, before a byte of it is decoded.
    QByteArray bomb = png(three);
    bomb.replace(16, 8, QByteArray("\x00\x00\xea\x60\x00\x00\xea\x60", 8)); // 60000 × 60000
    quint32 crc = 0xFFFFFFFF; // the header's check sum, made again
    for (const char byte : bomb.mid(12, 17)) {
        crc ^= quint8(byte);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFF;
    for (int k = 0; k < 4; ++k)
        bomb[29 + k] = char(crc >> (24 - 8 * k));
    QVERIFY(!Hlp::bmpToPicture(bomb, &out, &why));
    QVERIFY2(why.contains(QStringLiteral("trop grande")), qPrintable(why));
    QVERIFY(!Hlp::bmpToPicture(png(three).left(40), &out, &why)); // cut short

    // Through the compiler: the .HLP holds bitmaps, the web pages the files.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("trois.png"), png(three)));
    QVERIFY(TestSupport::writeFile(box.path("photo.jpg"), jpeg));
    QVERIFY(TestSupport::writeFile(box.path("a.hpj"), "[OPTIONS]\r\nTITLE=Images\r\n[FILES]\r\na.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("a.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}\\{bmc trois.png\\} et "
                                                      "\\{bml photo.jpg\\}\\par}"));
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("a.hpj"));
    QVERIFY2(r.ok && r.warnings == 0, qPrintable(r.messages.join(u'\n')));
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("web");
    const Hlp::TCompileResult html = Hlp::compileProject(box.path("a.hpj"), web);
    QVERIFY2(html.ok, qPrintable(html.messages.join(u'\n')));
    QCOMPARE(TestSupport::readFile(box.path("web/images/image0.png")), png(three));
    QCOMPARE(TestSupport::readFile(box.path("web/images/image1.jpg")), jpeg);
}

KIV_TEST(TestPicture)
#include "tst_picture.moc"
