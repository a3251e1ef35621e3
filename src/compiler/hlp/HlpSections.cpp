// The |SYSTEM and |FONT internal files of a .HLP.
#include "compiler/hlp/HlpSections.h"

#include "compiler/hlp/HlpEncode.h"

namespace Hlp {

namespace {

void record(QByteArray &out, quint16 type, const QByteArray &data)
{
    putU16(out, type);
    putU16(out, quint16(data.size()));
    out += data;
}

QByteArray stringZ(const QByteArray &s)
{
    QByteArray out = s;
    out.append('\0');
    return out;
}

QByteArray fixed(const QByteArray &s, int size)
{
    QByteArray out = s.left(size - 1);
    out.append(QByteArray(size - out.size(), '\0'));
    return out;
}

QByteArray windowRecord(const TWindowDef &w)
{
    // Type (left empty, as Help Workshop does), name and caption.
    quint16 flags = 0x001 | 0x002 | 0x004;
    for (int i = 0; i < 4; ++i)
        if (w.hasPlace[i])
            flags |= quint16(0x008 << i);
    // A state above 255 holds the 4.0 window's buttons, not a way to show
    // the window: the viewer is not told to use it (as Help Workshop does).
    if (w.hasState && w.state <= 0xFF)
        flags |= 0x080;
    if (w.hasScroll)
        flags |= 0x100;
    if (w.hasTitle)
        flags |= 0x200;
    if (w.onTop)
        flags |= 0x400;
    if (w.autoHeight)
        flags |= 0x800;
    QByteArray out;
    putU16(out, flags);
    out += fixed(QByteArray(), 10);
    out += fixed(w.name.compare("main", Qt::CaseInsensitive) == 0 ? QByteArray("main") : w.name, 9);
    out += fixed(w.caption, 51);
    for (int i = 0; i < 4; ++i)
        putU16(out, quint16(w.place[i]));
    putU16(out, w.state);
    for (const quint8 *c : {w.scroll, w.title}) {
        putU8(out, c[0]);
        putU8(out, c[1]);
        putU8(out, c[2]);
        putU8(out, 0);
    }
    return out;
}

} // namespace

QByteArray systemFile(const TSystemInfo &info)
{
    QByteArray out;
    putU16(out, 0x036C);
    putU16(out, info.minor);
    putU16(out, 1);
    putU32(out, info.buildTime);
    putU16(out, info.lz77 ? 4 : 0); // 4096-byte topic blocks, LZ77 or not
    // No title record for a help without a title, as the classic compiler.
    if (!info.title.isEmpty())
        record(out, 1, stringZ(info.title));
    if (!info.copyright.isEmpty())
        record(out, 2, stringZ(info.copyright));
    if (!info.citation.isEmpty())
        record(out, 8, stringZ(info.citation));
    if (info.hasContents) {
        QByteArray offset;
        putU32(offset, info.contentsOffset);
        record(out, 3, offset);
    }
    for (const QByteArray &macro : info.configMacros)
        record(out, 4, stringZ(macro));
    for (const TWindowDef &w : info.windows)
        record(out, 6, windowRecord(w));
    if (info.minor >= 33) {
        QByteArray lcid(8, '\0');
        putU16(lcid, info.lcid);
        record(out, 9, lcid);
        QByteArray charset = QByteArray::fromHex("0000000200");
        charset[0] = char(info.charset);
        record(out, 11, charset);
        if (!info.cntFile.isEmpty())
            record(out, 10, stringZ(info.cntFile));
        if (!info.defaultFont.isEmpty()) {
            QByteArray font;
            putU8(font, info.defaultFontSize);
            putU8(font, info.defaultFontCharset);
            font += stringZ(info.defaultFont);
            record(out, 12, font);
        }
    }
    return out;
}

bool TFontDescriptor::operator==(const TFontDescriptor &o) const
{
    return attributes == o.attributes && halfPoints == o.halfPoints && family == o.family && face == o.face
           && colour[0] == o.colour[0] && colour[1] == o.colour[1] && colour[2] == o.colour[2];
}

int TFontTable::face(const QByteArray &name)
{
    const QByteArray key = name.left(31);
    for (int i = 0; i < m_faces.size(); ++i)
        if (m_faces[i].compare(key, Qt::CaseInsensitive) == 0)
            return i;
    m_faces.append(key);
    return int(m_faces.size() - 1);
}

int TFontTable::descriptor(const TFontDescriptor &d)
{
    const qsizetype i = m_descriptors.indexOf(d);
    if (i >= 0)
        return int(i);
    m_descriptors.append(d);
    return int(m_descriptors.size() - 1);
}

QByteArray TFontTable::build() const
{
    // A file needs one face at least: the viewer divides by their number.
    QList<QByteArray> faces = m_faces;
    if (faces.isEmpty())
        faces.append("Arial");
    QByteArray out;
    putU16(out, quint16(faces.size()));
    putU16(out, quint16(m_descriptors.size()));
    putU16(out, 8);
    putU16(out, quint16(8 + 32 * faces.size()));
    for (const QByteArray &f : faces)
        out += fixed(f, 32);
    for (const TFontDescriptor &d : m_descriptors) {
        putU8(out, d.attributes);
        putU8(out, d.halfPoints);
        putU8(out, d.family);
        putU16(out, d.face);
        putU8(out, d.colour[0]);
        putU8(out, d.colour[1]);
        putU8(out, d.colour[2]);
        putU8(out, 0);
        putU8(out, 0);
        putU8(out, 0);
    }
    return out;
}

} // namespace Hlp
