// Windows metafiles drawn into images.
#include "compiler/pictures/WmfRender.h"

#include "platform/Cp1252.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QtEndian>
#include <vector>

namespace Hlp {

namespace {

// Metafile record functions drawn or followed.
enum : quint16 {
    EofRecord = 0x0000, SaveDc = 0x001E, SetBkMode = 0x0102, SetPolyFillMode = 0x0106, RestoreDc = 0x0127,
    SelectObject = 0x012D, SetTextAlign = 0x012E, DeleteObject = 0x01F0, SetBkColor = 0x0201,
    SetTextColor = 0x0209, SetWindowOrg = 0x020B, SetWindowExt = 0x020C, LineTo = 0x0213, MoveTo = 0x0214,
    CreatePenIndirect = 0x02FA, CreateFontIndirect = 0x02FB, CreateBrushIndirect = 0x02FC, Polygon = 0x0324,
    Polyline = 0x0325, Ellipse = 0x0418, Rectangle = 0x041B, TextOut = 0x0521, PolyPolygon = 0x0538,
    RoundRect = 0x061C, ExtTextOut = 0x0A32, DibBitBlt = 0x0940, DibStretchBlt = 0x0B41, StretchDib = 0x0F43,
    // Records that only take a place in the object table.
    CreatePalette = 0x00F7, CreatePatternBrush = 0x01F9, DibCreatePatternBrush = 0x0142, CreateRegion = 0x06FF,
};

struct TObject {
    enum Kind { Free, Pen, Brush, Font, Other };
    Kind kind = Free;
    QPen pen;
    QBrush brush;
    QFont font;
    double height = 0; // logical units, the character height
    bool symbol = false;
    int escapement = 0; // tenths of a degree
};

struct TDc {
    QPointF org{0, 0};
    QSizeF ext{0, 0};
    QPen pen{Qt::black, 0};
    QBrush brush{Qt::white};
    TObject font;
    QColor text{Qt::black}, back{Qt::white};
    bool opaque = true;
    int align = 0;
    Qt::FillRule fill = Qt::OddEvenFill;
    QPointF at;
};

class Player {
public:
    Player(const QByteArray &wmf, QImage *image) : m_in(wmf), m_image(image), m_painter(image)
    {
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
    }
    bool play();

private:
    qint16 s16(qsizetype at) const
    {
        return at >= 0 && at + 2 <= m_end ? qFromLittleEndian<qint16>(m_in.constData() + at) : 0;
    }
    quint16 u16(qsizetype at) const { return quint16(s16(at)); }
    quint8 u8(qsizetype at) const { return at >= 0 && at < m_end ? quint8(m_in[at]) : 0; }
    QColor colour(qsizetype at) const
    {
        return at + 3 <= m_end ? QColor(quint8(m_in[at]), quint8(m_in[at + 1]), quint8(m_in[at + 2])) : QColor(Qt::black);
    }
    QPointF map(double x, double y) const;
    double scaleX() const { return m_dc.ext.width() ? m_image->width() / m_dc.ext.width() : 1; }
    double scaleY() const { return m_dc.ext.height() ? m_image->height() / m_dc.ext.height() : 1; }
    QPolygonF points(qsizetype at, int count) const;
    QRectF rect(qsizetype at) const; // bottom, right, top, left
    void addObject(const TObject &object);
    void record(quint16 function, qsizetype p, qsizetype size);
    void text(double x, double y, const QByteArray &bytes, qsizetype dxAt);
    void bitmap(qsizetype dib, const QRectF &dest);
    void shape(const QPainterPath &path, bool filled);

    const QByteArray &m_in;
    QImage *m_image;
    QPainter m_painter;
    qsizetype m_end = 0; // the current record's end
    TDc m_dc;
    std::vector<TDc> m_saved;
    std::vector<TObject> m_objects;
    bool m_drawn = false;
};

QPointF Player::map(double x, double y) const
{
    return {(x - m_dc.org.x()) * scaleX(), (y - m_dc.org.y()) * scaleY()};
}

QPolygonF Player::points(qsizetype at, int count) const
{
    QPolygonF out;
    for (int i = 0; i < count && at + 4 * i + 4 <= m_end; ++i)
        out << map(s16(at + 4 * i), s16(at + 4 * i + 2));
    return out;
}

QRectF Player::rect(qsizetype at) const
{
    return QRectF(map(s16(at + 6), s16(at + 4)), map(s16(at + 2), s16(at))).normalized();
}

void Player::addObject(const TObject &object)
{
    for (TObject &slot : m_objects)
        if (slot.kind == TObject::Free) {
            slot = object;
            return;
        }
    if (m_objects.size() < 65535)
        m_objects.push_back(object);
}

void Player::shape(const QPainterPath &path, bool filled)
{
    m_painter.setPen(m_dc.pen);
    m_painter.setBrush(filled ? m_dc.brush : Qt::NoBrush);
    m_painter.drawPath(path);
    m_drawn = true;
}

void Player::text(double x, double y, const QByteArray &bytes, qsizetype dxAt)
{
    const TObject &f = m_dc.font;
    QString s;
    if (f.symbol)
        for (const char c : bytes)
            s += symbolFontChar(quint8(c));
    else
        s = Platform::fromCp1252(bytes);
    QFont font = f.font;
    font.setPixelSize(qBound(1, qRound(qAbs(f.height * scaleY())), 2000));
    const QFontMetricsF metrics(font, m_image);
    QPointF origin = (m_dc.align & 1) ? m_dc.at : map(x, y); // TA_UPDATECP
    double width = 0;
    std::vector<double> advance;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const double a = dxAt >= 0 && dxAt + 2 * i + 2 <= m_end ? s16(dxAt + 2 * i) * scaleX()
                                                                : metrics.horizontalAdvance(s[i]);
        advance.push_back(a);
        width += a;
    }
    if ((m_dc.align & 6) == 6) // TA_CENTER
        origin.rx() -= width / 2;
    else if (m_dc.align & 2) // TA_RIGHT
        origin.rx() -= width;
    if ((m_dc.align & 24) == 0) // TA_TOP
        origin.ry() += metrics.ascent();
    else if ((m_dc.align & 24) == 8) // TA_BOTTOM
        origin.ry() -= metrics.descent();
    m_painter.save();
    m_painter.setFont(font);
    m_painter.setPen(m_dc.text);
    m_painter.translate(origin);
    if (f.escapement)
        m_painter.rotate(-f.escapement / 10.0);
    double pen = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        m_painter.drawText(QPointF(pen, 0), QString(s[i]));
        pen += advance[size_t(i)];
    }
    m_painter.restore();
    if (m_dc.align & 1)
        m_dc.at.rx() += width;
    m_drawn = m_drawn || !s.trimmed().isEmpty();
}

void Player::bitmap(qsizetype dib, const QRectF &dest)
{
    if (dib >= m_end)
        return;
    const QImage image = QImage::fromData(dibFile(m_in.mid(dib, m_end - dib)), "BMP");
    if (image.isNull())
        return;
    m_painter.drawImage(dest, image);
    m_drawn = true;
}

void Player::record(quint16 function, qsizetype p, qsizetype size)
{
    switch (function) {
    case SaveDc:
        if (m_saved.size() < 256)
            m_saved.push_back(m_dc);
        break;
    case RestoreDc:
        if (!m_saved.empty()) {
            m_dc = m_saved.back();
            m_saved.pop_back();
        }
        break;
    case SetWindowOrg: m_dc.org = QPointF(s16(p + 2), s16(p)); break;
    case SetWindowExt:
        if (s16(p) && s16(p + 2))
            m_dc.ext = QSizeF(s16(p + 2), s16(p));
        break;
    case SetBkMode: m_dc.opaque = u16(p) == 2; break;
    case SetBkColor: m_dc.back = colour(p); break;
    case SetTextColor: m_dc.text = colour(p); break;
    case SetTextAlign: m_dc.align = u16(p); break;
    case SetPolyFillMode: m_dc.fill = u16(p) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
    case CreatePenIndirect: {
        TObject o;
        o.kind = TObject::Pen;
        const int style = u16(p) & 0x0F;
        const double width = qAbs(s16(p + 2) * scaleX());
        o.pen = style == 5 ? QPen(Qt::NoPen) : QPen(colour(p + 6), qMax(1.0, width));
        if (style >= 1 && style <= 4)
            o.pen.setStyle(Qt::PenStyle(style + 1));
        addObject(o);
        break;
    }
    case CreateBrushIndirect: {
        TObject o;
        o.kind = TObject::Brush;
        const int style = u16(p);
        o.brush = style == 1 ? QBrush(Qt::NoBrush) : QBrush(colour(p + 2), style == 2 ? Qt::Dense5Pattern : Qt::SolidPattern);
        addObject(o);
        break;
    }
    case CreateFontIndirect: {
        TObject o;
        o.kind = TObject::Font;
        const int height = s16(p);
        // A positive height is the cell's, leading included.
        o.height = height < 0 ? -height : height * 0.87;
        o.escapement = s16(p + 4);
        QByteArray face = m_in.mid(p + 18, qMax<qsizetype>(0, qMin<qsizetype>(32, m_end - p - 18)));
        face.truncate(face.indexOf('\0') < 0 ? face.size() : face.indexOf('\0'));
        const int family = (u8(p + 17) >> 4) & 7;
        o.symbol = u8(p + 13) == 2 || face.compare("Symbol", Qt::CaseInsensitive) == 0;
        o.font = QFont(o.symbol ? QStringLiteral("DejaVu Serif") : Platform::fromCp1252(face));
        o.font.setStyleHint(family == 1 || o.symbol ? QFont::Serif : family == 3 ? QFont::Monospace : QFont::SansSerif);
        o.font.setWeight(s16(p + 8) >= 600 ? QFont::Bold : QFont::Normal);
        o.font.setItalic(u8(p + 10) != 0);
        o.font.setUnderline(u8(p + 11) != 0);
        addObject(o);
        break;
    }
    case CreatePalette:
    case CreatePatternBrush:
    case DibCreatePatternBrush:
    case CreateRegion: {
        TObject o;
        o.kind = function == DibCreatePatternBrush || function == CreatePatternBrush ? TObject::Brush : TObject::Other;
        o.brush = QBrush(Qt::gray);
        addObject(o);
        break;
    }
    case SelectObject: {
        const size_t i = u16(p);
        if (i >= m_objects.size())
            break;
        const TObject &o = m_objects[i];
        if (o.kind == TObject::Pen)
            m_dc.pen = o.pen;
        else if (o.kind == TObject::Brush)
            m_dc.brush = o.brush;
        else if (o.kind == TObject::Font)
            m_dc.font = o;
        break;
    }
    case DeleteObject:
        if (u16(p) < m_objects.size())
            m_objects[u16(p)] = TObject();
        break;
    case MoveTo: m_dc.at = map(s16(p + 2), s16(p)); break;
    case LineTo: {
        const QPointF to = map(s16(p + 2), s16(p));
        QPainterPath path(m_dc.at);
        path.lineTo(to);
        shape(path, false);
        m_dc.at = to;
        break;
    }
    case Polyline:
    case Polygon: {
        QPainterPath path;
        path.setFillRule(m_dc.fill);
        path.addPolygon(points(p + 2, u16(p)));
        if (function == Polygon)
            path.closeSubpath();
        shape(path, function == Polygon);
        break;
    }
    case PolyPolygon: {
        const int polygons = u16(p);
        qsizetype at = p + 2 + 2 * qsizetype(polygons);
        QPainterPath path;
        path.setFillRule(m_dc.fill);
        for (int i = 0; i < polygons && at < p + size; ++i) {
            const int count = u16(p + 2 + 2 * i);
            path.addPolygon(points(at, count));
            path.closeSubpath();
            at += 4 * qsizetype(count);
        }
        shape(path, true);
        break;
    }
    case Rectangle:
    case Ellipse:
    case RoundRect: {
        QPainterPath path;
        const QRectF r = rect(function == RoundRect ? p + 4 : p);
        if (function == Rectangle)
            path.addRect(r);
        else if (function == Ellipse)
            path.addEllipse(r);
        else
            path.addRoundedRect(r, qAbs(s16(p + 2) * scaleX()) / 2, qAbs(s16(p) * scaleY()) / 2);
        shape(path, true);
        break;
    }
    case TextOut: {
        const int count = qMax(0, int(s16(p)));
        const qsizetype after = p + 2 + ((count + 1) & ~1);
        text(s16(after + 2), s16(after), m_in.mid(p + 2, qMin<qsizetype>(count, m_end - p - 2)), -1);
        break;
    }
    case ExtTextOut: {
        const int count = qMax(0, int(s16(p + 4)));
        const int options = u16(p + 6);
        qsizetype at = p + 8;
        if (options & 0x06) { // ETO_OPAQUE, ETO_CLIPPED: a rectangle
            if ((options & 0x02) && m_dc.opaque) {
                const QRectF r = QRectF(map(s16(at), s16(at + 2)), map(s16(at + 4), s16(at + 6))).normalized();
                m_painter.fillRect(r, m_dc.back);
            }
            at += 8;
        }
        const QByteArray bytes = m_in.mid(at, qMax<qsizetype>(0, qMin<qsizetype>(count, m_end - at)));
        const qsizetype dx = at + ((count + 1) & ~1);
        text(s16(p + 2), s16(p), bytes, dx + 2 * qsizetype(count) <= m_end ? dx : -1);
        break;
    }
    case StretchDib: // rop, usage, source h w y x, destination h w y x, DIB
        bitmap(p + 22, QRectF(map(s16(p + 20), s16(p + 18)), map(s16(p + 20) + s16(p + 16), s16(p + 18) + s16(p + 14))).normalized());
        break;
    case DibStretchBlt: // rop, source h w y x, destination h w y x, DIB
        if (size > 20)
            bitmap(p + 20, QRectF(map(s16(p + 18), s16(p + 16)), map(s16(p + 18) + s16(p + 14), s16(p + 16) + s16(p + 12))).normalized());
        break;
    case DibBitBlt: // rop, source y x, height, width, destination y x, DIB
        if (size > 16)
            bitmap(p + 16, QRectF(map(s16(p + 14), s16(p + 12)), map(s16(p + 14) + s16(p + 10), s16(p + 12) + s16(p + 8))).normalized());
        break;
    default: break;
    }
}

bool Player::play()
{
    qsizetype at = 0;
    // The placeable header: bounding box and units per inch.
    if (m_in.startsWith("\xD7\xCD\xC6\x9A") && m_in.size() >= 22) {
        m_end = 22;
        const double left = s16(6), top = s16(8), right = s16(10), bottom = s16(12);
        m_dc.org = QPointF(left, top);
        if (right != left && bottom != top)
            m_dc.ext = QSizeF(right - left, bottom - top);
        at = 22;
    }
    if (m_dc.ext.isEmpty())
        m_dc.ext = m_image->size();
    m_end = m_in.size();
    const qsizetype headerWords = u16(at + 2);
    at += 2 * qMax<qsizetype>(9, headerWords);
    for (int n = 0; n < 1000000 && at + 6 <= m_in.size(); ++n) {
        const qsizetype size = 2 * qsizetype(qFromLittleEndian<quint32>(m_in.constData() + at));
        const quint16 function = qFromLittleEndian<quint16>(m_in.constData() + at + 4);
        if (size < 6 || size > m_in.size() - at || function == EofRecord)
            break;
        m_end = at + size;
        record(function, at + 6, size - 6);
        at += size;
    }
    return m_drawn;
}

} // namespace

QByteArray dibFile(const QByteArray &dib)
{
    const auto le = [&dib](qsizetype at, int bytes) -> quint32 {
        if (at + bytes > dib.size())
            return 0;
        return bytes == 2 ? qFromLittleEndian<quint16>(dib.constData() + at) : qFromLittleEndian<quint32>(dib.constData() + at);
    };
    const quint32 header = le(0, 4);
    const int bits = int(le(14, 2));
    const quint32 used = le(32, 4);
    const quint32 palette = bits <= 8 ? (used ? qMin<quint32>(used, 1u << bits) : (1u << bits)) : 0;
    const quint32 masks = header == 40 && le(16, 4) == 3 ? 12 : 0; // BI_BITFIELDS
    QByteArray bmp("BM");
    const auto put = [&bmp](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        bmp.append(b, 4);
    };
    put(quint32(14 + dib.size()));
    put(0);
    put(14 + qMin<quint32>(header, 0xFFFF) + palette * 4 + masks);
    return bmp + dib;
}

QImage renderWmf(const QByteArray &wmf, QSize size, bool *drawn)
{
    QImage image(size.boundedTo(QSize(4096, 4096)).expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(Qt::white);
    bool any = false;
    {
        Player player(wmf, &image);
        any = player.play();
    }
    if (drawn)
        *drawn = any;
    return image;
}

QChar symbolFontChar(unsigned char b)
{
    // Greek letters in the order of the Latin ones they replace.
    static const char16_t upper[] = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";
    static const char16_t lower[] = u"αβχδεφγηιϕκλμνοπθρστυϖωξψζ";
    if (b >= 'A' && b <= 'Z')
        return QChar(upper[b - 'A']);
    if (b >= 'a' && b <= 'z')
        return QChar(lower[b - 'a']);
    static const struct {
        unsigned char byte;
        char16_t ch;
    } others[] = {
        {0x22, u'∀'}, {0x24, u'∃'}, {0x27, u'∋'}, {0x2A, u'∗'}, {0x2D, u'−'}, {0x40, u'≅'}, {0x5C, u'∴'},
        {0x5E, u'⊥'}, {0x60, u'‾'}, {0x7E, u'∼'}, {0xA1, u'ϒ'}, {0xA2, u'′'}, {0xA3, u'≤'}, {0xA4, u'⁄'},
        {0xA5, u'∞'}, {0xA6, u'ƒ'}, {0xA7, u'♣'}, {0xA8, u'♦'}, {0xA9, u'♥'}, {0xAA, u'♠'}, {0xAB, u'↔'},
        {0xAC, u'←'}, {0xAD, u'↑'}, {0xAE, u'→'}, {0xAF, u'↓'}, {0xB0, u'°'}, {0xB1, u'±'}, {0xB2, u'″'},
        {0xB3, u'≥'}, {0xB4, u'×'}, {0xB5, u'∝'}, {0xB6, u'∂'}, {0xB7, u'•'}, {0xB8, u'÷'}, {0xB9, u'≠'},
        {0xBA, u'≡'}, {0xBB, u'≈'}, {0xBC, u'…'}, {0xBD, u'│'}, {0xBE, u'─'}, {0xBF, u'↵'}, {0xC0, u'ℵ'},
        {0xC1, u'ℑ'}, {0xC2, u'ℜ'}, {0xC3, u'℘'}, {0xC4, u'⊗'}, {0xC5, u'⊕'}, {0xC6, u'∅'}, {0xC7, u'∩'},
        {0xC8, u'∪'}, {0xC9, u'⊃'}, {0xCA, u'⊇'}, {0xCB, u'⊄'}, {0xCC, u'⊂'}, {0xCD, u'⊆'}, {0xCE, u'∈'},
        {0xCF, u'∉'}, {0xD0, u'∠'}, {0xD1, u'∇'}, {0xD2, u'®'}, {0xD3, u'©'}, {0xD4, u'™'}, {0xD5, u'∏'},
        {0xD6, u'√'}, {0xD7, u'⋅'}, {0xD8, u'¬'}, {0xD9, u'∧'}, {0xDA, u'∨'}, {0xDB, u'⇔'}, {0xDC, u'⇐'},
        {0xDD, u'⇑'}, {0xDE, u'⇒'}, {0xDF, u'⇓'}, {0xE0, u'◊'}, {0xE1, u'〈'}, {0xE2, u'®'}, {0xE3, u'©'},
        {0xE4, u'™'}, {0xE5, u'∑'}, {0xE6, u'⎛'}, {0xE7, u'⎜'}, {0xE8, u'⎝'}, {0xE9, u'⎡'}, {0xEA, u'⎢'},
        {0xEB, u'⎣'}, {0xEC, u'⎧'}, {0xED, u'⎨'}, {0xEE, u'⎩'}, {0xEF, u'⎪'}, {0xF1, u'〉'}, {0xF2, u'∫'},
        {0xF3, u'⌠'}, {0xF4, u'⎮'}, {0xF5, u'⌡'}, {0xF6, u'⎞'}, {0xF7, u'⎟'}, {0xF8, u'⎠'}, {0xF9, u'⎤'},
        {0xFA, u'⎥'}, {0xFB, u'⎦'}, {0xFC, u'⎫'}, {0xFD, u'⎬'}, {0xFE, u'⎭'},
    };
    for (const auto &o : others)
        if (o.byte == b)
            return QChar(o.ch);
    return QChar(b < 0x80 ? b : ' ');
}

QChar wingdingsChar(unsigned char b)
{
    // The glyphs help authors use: bullets, boxes, check marks, arrows.
    static const struct {
        unsigned char byte;
        char16_t ch;
    } glyphs[] = {
        {0x21, u'✏'}, {0x22, u'✂'}, {0x28, u'☎'}, {0x2A, u'✉'}, {0x46, u'☞'}, {0x4A, u'☺'}, {0x4C, u'☹'},
        {0x6C, u'●'}, {0x6E, u'■'}, {0x6F, u'□'}, {0x71, u'❑'}, {0x72, u'❒'}, {0x75, u'◆'}, {0x76, u'❖'},
        {0x9F, u'•'}, {0xA7, u'▪'}, {0xA8, u'◻'}, {0xAB, u'★'}, {0xD8, u'➢'}, {0xE8, u'➔'}, {0xF0, u'⇨'},
        {0xFB, u'✗'}, {0xFC, u'✓'}, {0xFD, u'☒'}, {0xFE, u'☑'},
    };
    for (const auto &g : glyphs)
        if (g.byte == b)
            return QChar(g.ch);
    return QChar(b == ' ' ? u' ' : u'•'); // a picture character of another kind: a bullet stands for it
}

bool isPictureFont(const QString &face)
{
    return face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0 || face.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive);
}

} // namespace Hlp
