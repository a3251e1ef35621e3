// Paragraphs of the help document encoded as the .HLP stores them.
#include "compiler/hlp/HlpParagraph.h"

#include "compiler/hlp/HlpEncode.h"

namespace Hlp {

namespace {

TFontDescriptor descriptorOf(const TCharFormat &f, TFontTable &fonts)
{
    TFontDescriptor d;
    d.attributes = f.attributes;
    d.halfPoints = f.halfPoints;
    d.family = f.family;
    d.face = quint16(fonts.face(f.face));
    d.colour[0] = f.colour[0];
    d.colour[1] = f.colour[1];
    d.colour[2] = f.colour[2];
    return d;
}

} // namespace

TEncodedParagraph encodeParagraph(const TParagraph &p, TFontTable &fonts, const Platform::CodePage &page, QString *lost)
{
    TEncodedParagraph out;
    QByteArray &ld1 = out.linkData1;
    QByteArray &ld2 = out.linkData2;
    putU8(ld1, 0x00);
    putU8(ld1, 0x80);
    putU16(ld1, 0); // id
    const TParagraphFormat &f = p.format;
    quint16 bits = 0;
    if (f.spaceBefore) bits |= 0x0002;
    if (f.spaceAfter) bits |= 0x0004;
    if (f.lineSpacing) bits |= 0x0008;
    if (f.leftIndent) bits |= 0x0010;
    if (f.rightIndent) bits |= 0x0020;
    if (f.firstIndent) bits |= 0x0040;
    if (f.borders) bits |= 0x0100;
    if (!f.tabs.isEmpty()) bits |= 0x0200;
    if (f.align == TParagraphFormat::Right) bits |= 0x0400;
    if (f.align == TParagraphFormat::Centre) bits |= 0x0800;
    if (f.keepTogether) bits |= 0x1000;
    putU16(ld1, bits);
    if (f.spaceBefore) ld1 += cSS(f.spaceBefore);
    if (f.spaceAfter) ld1 += cSS(f.spaceAfter);
    if (f.lineSpacing) ld1 += cSS(f.lineSpacing);
    if (f.leftIndent) ld1 += cSS(f.leftIndent);
    if (f.rightIndent) ld1 += cSS(f.rightIndent);
    if (f.firstIndent) ld1 += cSS(f.firstIndent);
    if (f.borders) {
        putU8(ld1, f.borders);
        putU16(ld1, quint16(f.borderWidth));
    }
    if (!f.tabs.isEmpty()) {
        ld1 += cSS(qint16(f.tabs.size()));
        for (quint16 t : f.tabs)
            ld1 += cUS(quint16(t & 0x3FFF));
    }

    // Each command ends the text piece before it with a NUL.
    int current = -1;
    auto command = [&](quint8 c) {
        ld2.append('\0');
        putU8(ld1, c);
    };
    int pictureHotspots = 0;
    bool hasText = false;
    for (const TInline &item : p.items)
        hasText = hasText || item.kind == TInline::Text;
    if (!hasText && p.markFormat) {
        current = fonts.descriptor(descriptorOf(*p.markFormat, fonts));
        command(0x80);
        putU16(ld1, quint16(current));
    }
    for (const TInline &item : p.items) {
        switch (item.kind) {
        case TInline::Text: {
            const int d = fonts.descriptor(descriptorOf(item.format, fonts));
            if (d != current) {
                command(0x80);
                putU16(ld1, quint16(d));
                current = d;
            }
            ld2 += textBytes(item.text, page, lost);
            break;
        }
        case TInline::LineBreak: command(0x81); break;
        case TInline::Tab: command(0x83); break;
        case TInline::NbSpace: command(0x8B); break;
        case TInline::NbHyphen: command(0x8C); break;
        case TInline::HotspotStart:
            if (item.link == TInline::Macro) {
                command(item.plain ? 0xCC : 0xC8);
                putU16(ld1, quint16(item.macro.size() + 1));
                putStringZ(ld1, item.macro);
            } else {
                // 0xE2 pop-up, 0xE3 jump; 0xE6, 0xE7 without colour or underline.
                const quint8 op = quint8(0xE2 | (item.link == TInline::Jump ? 0x01 : 0) | (item.plain ? 0x04 : 0));
                const qint32 hash = contextHash(item.context);
                if (!item.file.isEmpty() || item.windowIndex >= 0) {
                    // Into another file (kind 4) or a secondary window (kind 1).
                    command(quint8(op | 0x08));
                    QByteArray target;
                    putU8(target, item.file.isEmpty() ? 1 : 4);
                    putU32(target, quint32(hash));
                    if (item.file.isEmpty())
                        putU8(target, quint8(item.windowIndex));
                    else
                        putStringZ(target, item.file);
                    putU16(ld1, quint16(target.size()));
                    ld1 += target;
                } else {
                    command(op);
                    putU32(ld1, quint32(hash));
                }
            }
            break;
        case TInline::HotspotEnd: command(0x89); break;
        case TInline::Picture: {
            command(item.placement == TInline::Left ? 0x87 : item.placement == TInline::Right ? 0x88 : 0x86);
            putU8(ld1, 0x22);
            ld1 += cSL(4);
            ld1 += cUS(item.hotspots); // those of a hotspot graphic
            pictureHotspots += item.hotspots;
            putU16(ld1, 0);
            putU16(ld1, item.picture);
            break;
        }
        }
    }
    command(0x82);
    command(0xFF);
    // The characters the record adds: its text (a picture's NUL counts as
    // the picture's one character) and the hotspots of its pictures.
    out.topicLength = quint16(qMin<qsizetype>(ld2.size() + pictureHotspots, 0x7FFF));
    return out;
}

TEncodedParagraph encodeTableRow(const TTableRow &row, TFontTable &fonts, const Platform::CodePage &page, QString *lost)
{
    // Twips to half-points as the help compilers round them.
    const auto h = [](int twips) { return (twips + 5) / 10; };
    const int g = h(row.gap), l = h(row.left);
    TEncodedParagraph out;
    QByteArray &ld1 = out.linkData1;
    putU8(ld1, quint8(row.cellx.size()));
    putU8(ld1, 1); // fixed widths
    for (qsizetype k = 0; k < row.cellx.size(); ++k) {
        const int x = h(row.cellx[k]);
        int gap = g, width = 0;
        if (k == 0) {
            gap = l + g;
            width = x - gap - (row.cellx.size() > 1 ? g / 2 : 0);
        } else {
            width = x - h(row.cellx[k - 1]) - g;
        }
        putU16(ld1, quint16(qint16(qBound(1, width, 0x7FFF))));
        putU16(ld1, quint16(qint16(qBound(-0x8000, gap, 0x7FFF))));
    }
    int characters = 0;
    for (const auto &[column, paragraph] : row.paragraphs) {
        putU16(ld1, quint16(column));
        ld1 += QByteArray("\x01\x00\x80", 3); // as other compilers write them; readers skip them
        const TEncodedParagraph cell = encodeParagraph(paragraph, fonts, page, lost);
        ld1 += cell.linkData1;
        out.linkData2 += cell.linkData2;
        characters += cell.topicLength;
    }
    putU16(ld1, 0xFFFF);
    out.topicLength = quint16(qMin(characters, 0x7FFF));
    return out;
}

} // namespace Hlp
