// A compiled help file (.HLP) read into the help document.
#include "compiler/hlp/HlpDocumentRead.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpStructure.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/pictures/WmfRender.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

namespace Hlp {

using HlpRead::u16;
using HlpRead::u32;

namespace {

// A byte of LinkData1, 0 past its end (a damaged record reads as its end).
quint8 byteAt(const QByteArray &b, qsizetype at) { return at >= 0 && at < b.size() ? quint8(b[at]) : 0; }

// The compressed integers, checked against the record's end.
bool fits(const QByteArray &b, qsizetype at, int size) { return at >= 0 && at + size <= b.size(); }
quint16 readCUS(const QByteArray &b, qsizetype &at, bool *ok)
{
    const int size = byteAt(b, at) & 1 ? 2 : 1;
    if (!fits(b, at, size))
        return *ok = false, 0;
    return HlpRead::cUS(b, at);
}
qint16 readCSS(const QByteArray &b, qsizetype &at, bool *ok)
{
    const int size = byteAt(b, at) & 1 ? 2 : 1;
    if (!fits(b, at, size))
        return *ok = false, 0;
    return HlpRead::cSS(b, at);
}
qint32 readCSL(const QByteArray &b, qsizetype &at, bool *ok)
{
    const int size = byteAt(b, at) & 1 ? 4 : 2;
    if (!fits(b, at, size))
        return *ok = false, 0;
    return HlpRead::cSL(b, at);
}

// The help's fonts (|FONT): face, size, family, style and colour by
// descriptor number.
// A jump or pop-up from its command (0xE2 pop-up, 0xE3 jump, 0xE6/0xE7
// the same shown plain) and its target's hash, named by a name of that
// hash until a better one is known.
void setLink(TInline &item, quint8 command, qint32 hash)
{
    item.kind = TInline::HotspotStart;
    item.link = command & 0x01 ? TInline::Jump : TInline::Popup;
    item.plain = command & 0x04;
    item.context = contextForHash(hash);
}

QList<TCharFormat> readFonts(const QByteArray &font)
{
    QList<TCharFormat> out;
    const int faces = u16(font, 0), count = u16(font, 2), facesAt = u16(font, 4), descriptorsAt = u16(font, 6);
    if (faces <= 0 || descriptorsAt <= facesAt || descriptorsAt > font.size())
        return out;
    const int slot = (descriptorsAt - facesAt) / faces;
    for (int i = 0; i < count && descriptorsAt + 11 * (i + 1) <= font.size(); ++i) {
        const qsizetype at = descriptorsAt + 11 * qsizetype(i);
        TCharFormat f;
        f.attributes = quint8(byteAt(font, at) & (FontBold | FontItalic | FontUnderline));
        f.halfPoints = qMax<quint8>(2, byteAt(font, at + 1));
        f.family = byteAt(font, at + 2);
        const int face = u16(font, at + 3);
        if (face < faces && slot > 0) {
            QByteArray name = font.mid(facesAt + qsizetype(face) * slot, slot);
            name.truncate(name.indexOf('\0') < 0 ? name.size() : name.indexOf('\0'));
            if (!name.isEmpty())
                f.face = name;
        }
        for (int c = 0; c < 3; ++c)
            f.colour[c] = byteAt(font, at + 5 + c);
        out << f;
    }
    return out;
}

// A window record of |SYSTEM (type 6).
TWindowDef readWindow(const QByteArray &r)
{
    TWindowDef w;
    const quint16 flags = u16(r, 0);
    const auto text = [&](qsizetype at, int size) {
        QByteArray s = r.mid(at, size);
        return s.left(s.indexOf('\0') < 0 ? s.size() : s.indexOf('\0'));
    };
    w.name = text(12, 9);
    w.caption = text(21, 51);
    for (int i = 0; i < 4; ++i) {
        w.hasPlace[i] = flags & (0x008 << i);
        w.place[i] = qint16(u16(r, 72 + 2 * i));
    }
    w.hasState = flags & 0x080;
    w.state = u16(r, 80);
    w.hasScroll = flags & 0x100;
    w.hasTitle = flags & 0x200;
    for (int c = 0; c < 3; ++c) {
        w.scroll[c] = byteAt(r, 82 + c);
        w.title[c] = byteAt(r, 86 + c);
    }
    w.onTop = flags & 0x400;
    w.autoHeight = flags & 0x800;
    return w;
}

// Reads the paragraphs of a text record (or of one cell of a table row)
// from LinkData1 at `at`, the texts coming from LinkData2 at `text`; stops
// after the 0xFF that ends them. False when the record does not hold
// together.
class TParagraphReader {
public:
    TParagraphReader(const QByteArray &ld1, const QByteArray &ld2, const QList<TCharFormat> &fonts)
        : m_ld1(ld1), m_ld2(ld2), m_fonts(fonts)
    {
    }
    qsizetype at = 0;   // in LinkData1
    qsizetype text = 0; // in LinkData2
    QList<TParagraph> paragraphs;

    bool read()
    {
        bool ok = true;
        // The fixed bytes and id, then the paragraph's format.
        if (!fits(m_ld1, at, 6))
            return false;
        at += 4;
        const quint16 bits = u16(m_ld1, at);
        at += 2;
        TParagraphFormat f;
        if (bits & 0x0001)
            readCSL(m_ld1, at, &ok);
        if (bits & 0x0002) f.spaceBefore = readCSS(m_ld1, at, &ok);
        if (bits & 0x0004) f.spaceAfter = readCSS(m_ld1, at, &ok);
        if (bits & 0x0008) f.lineSpacing = readCSS(m_ld1, at, &ok);
        if (bits & 0x0010) f.leftIndent = readCSS(m_ld1, at, &ok);
        if (bits & 0x0020) f.rightIndent = readCSS(m_ld1, at, &ok);
        if (bits & 0x0040) f.firstIndent = readCSS(m_ld1, at, &ok);
        if (bits & 0x0100) {
            if (!fits(m_ld1, at, 3))
                return false;
            f.borders = byteAt(m_ld1, at);
            f.borderWidth = qint16(u16(m_ld1, at + 1));
            at += 3;
        }
        if (bits & 0x0200) {
            const int count = readCSS(m_ld1, at, &ok);
            for (int i = 0; ok && i < count && i < 64; ++i) {
                const quint16 stop = readCUS(m_ld1, at, &ok);
                if (stop & 0x4000)
                    readCUS(m_ld1, at, &ok); // its kind (right, centre): the model keeps positions
                f.tabs << quint16(stop & 0x3FFF);
            }
        }
        if (bits & 0x0400) f.align = TParagraphFormat::Right;
        if (bits & 0x0800) f.align = TParagraphFormat::Centre;
        f.keepTogether = bits & 0x1000;
        if (!ok)
            return false;
        TParagraph p;
        p.format = f;
        bool inHotspot = false;
        // A piece of text, then a command, until 0xFF.
        for (int guard = 0; guard < 100000; ++guard) {
            const qsizetype nul = m_ld2.indexOf('\0', text);
            const QByteArray piece = m_ld2.mid(text, nul < 0 ? -1 : nul - text);
            text = nul < 0 ? m_ld2.size() : nul + 1;
            if (!piece.isEmpty()) {
                TInline i;
                i.text = QString::fromLatin1(piece); // its bytes until the code page is known (see readHelpFile)
                i.format = m_font;
                p.items << i;
            }
            if (!fits(m_ld1, at, 1))
                return false;
            const quint8 c = byteAt(m_ld1, at++);
            TInline item;
            switch (c) {
            case 0x80:
                if (!fits(m_ld1, at, 2))
                    return false;
                m_font = m_fonts.value(u16(m_ld1, at), TCharFormat());
                at += 2;
                continue;
            case 0x81: item.kind = TInline::LineBreak; break;
            case 0x82:
                if (inHotspot) { // a hotspot does not run over a paragraph's end
                    TInline end;
                    end.kind = TInline::HotspotEnd;
                    p.items << end;
                    inHotspot = false;
                }
                paragraphs << p;
                p.items.clear();
                continue; // the 0xFF that may follow has its own (empty) piece
            case 0x83: item.kind = TInline::Tab; break;
            case 0x86:
            case 0x87:
            case 0x88: {
                const quint8 type = byteAt(m_ld1, at++);
                const qint32 size = readCSL(m_ld1, at, &ok);
                quint16 hotspots = 0;
                if (type == 0x22)
                    hotspots = readCUS(m_ld1, at, &ok);
                if (!ok || size < 0 || !fits(m_ld1, at, size))
                    return false;
                if (type == 0x22 || type == 0x03) {
                    item.kind = TInline::Picture;
                    item.placement = c == 0x87 ? TInline::Left : c == 0x88 ? TInline::Right : TInline::InLine;
                    item.picture = u16(m_ld1, at + 2);
                    item.hotspots = hotspots;
                    m_pictures.insert(item.picture);
                } else {
                    ++embedded; // an embedded window: nothing to show here
                }
                at += size;
                if (item.kind != TInline::Picture)
                    continue;
                break;
            }
            case 0x89:
                item.kind = TInline::HotspotEnd;
                inHotspot = false;
                break;
            case 0x8B: item.kind = TInline::NbSpace; break;
            case 0x8C: item.kind = TInline::NbHyphen; break;
            case 0xC8:
            case 0xCC: {
                if (!fits(m_ld1, at, 2))
                    return false;
                const int n = u16(m_ld1, at);
                if (!fits(m_ld1, at + 2, n))
                    return false;
                item.kind = TInline::HotspotStart;
                item.link = TInline::Macro;
                item.plain = c == 0xCC;
                item.macro = m_ld1.mid(at + 2, n);
                item.macro.truncate(item.macro.indexOf('\0') < 0 ? item.macro.size() : item.macro.indexOf('\0'));
                at += 2 + n;
                inHotspot = true;
                break;
            }
            case 0xE0:
            case 0xE1:
            case 0xE2:
            case 0xE3:
            case 0xE6:
            case 0xE7:
                if (!fits(m_ld1, at, 4))
                    return false;
                setLink(item, c < 0xE2 ? quint8(c + 2) : c, qint32(u32(m_ld1, at))); // the 3.0 forms as their 3.1 twins
                at += 4;
                inHotspot = true;
                break;
            case 0xEA:
            case 0xEB:
            case 0xEE:
            case 0xEF: {
                if (!fits(m_ld1, at, 2))
                    return false;
                const int n = u16(m_ld1, at);
                if (n < 5 || !fits(m_ld1, at + 2, n))
                    return false;
                const QByteArray target = m_ld1.mid(at + 2, n);
                at += 2 + n;
                setLink(item, quint8(c & ~0x08), qint32(u32(target, 1)));
                const quint8 kind = byteAt(target, 0);
                const auto zString = [&](qsizetype from) {
                    const qsizetype end = target.indexOf('\0', from);
                    return target.mid(from, end < 0 ? -1 : end - from);
                };
                if (kind == 1)
                    item.windowIndex = byteAt(target, 5);
                else if (kind == 4)
                    item.file = zString(5);
                else if (kind == 6) {
                    item.window = zString(5);
                    item.file = zString(5 + item.window.size() + 1);
                }
                inHotspot = true;
                break;
            }
            case 0xFF:
                if (!p.items.isEmpty())
                    paragraphs << p;
                return true;
            default:
                return false; // a command this reader does not know: the rest of the record is lost
            }
            p.items << item;
        }
        return false;
    }
    int embedded = 0;
    const QSet<quint16> &pictures() const { return m_pictures; }

private:
    const QByteArray &m_ld1, &m_ld2;
    const QList<TCharFormat> &m_fonts;
    TCharFormat m_font;
    QSet<quint16> m_pictures;
};

// A table row (record 0x23): its columns, then each cell's paragraphs.
bool readTableRow(const QByteArray &ld1, const QByteArray &ld2, const QList<TCharFormat> &fonts, qsizetype at,
                  TParagraph *row, QSet<quint16> *pictures)
{
    const int columns = byteAt(ld1, at);
    const int type = byteAt(ld1, at + 1);
    at += 2;
    if (type == 0 || type == 2)
        at += 2; // the least width of a table that fills the window
    if (columns < 1 || columns > 32 || !fits(ld1, at, 4 * columns))
        return false;
    auto table = std::make_shared<TTableRow>();
    // Back to twips as the help compilers convert them.
    int edge = 0;
    for (int k = 0; k < columns; ++k) {
        const int width = qint16(u16(ld1, at + 4 * k)), gap = qint16(u16(ld1, at + 4 * k + 2));
        if (k == 0) {
            table->gap = gap * 10;
            table->left = 0;
        } else if (k == 1) {
            table->left = (qint16(u16(ld1, at + 2)) - gap) * 10;
            table->gap = gap * 10;
        }
        edge += width + gap;
        table->cellx << edge * 10;
    }
    at += 4 * columns;
    TParagraphReader reader(ld1, ld2, fonts);
    reader.at = at;
    for (int guard = 0; guard < 1024; ++guard) {
        if (!fits(ld1, reader.at, 2))
            return false;
        const int column = qint16(u16(ld1, reader.at));
        reader.at += 2;
        if (column < 0)
            break;
        reader.at += 3; // opaque bytes
        reader.paragraphs.clear();
        if (column >= columns || !reader.read())
            return false;
        for (const TParagraph &p : std::as_const(reader.paragraphs))
            table->paragraphs.append({column, p});
    }
    *pictures += reader.pictures();
    row->table = table;
    return true;
}

// Context names a help file gives away: strings of its macros (JumpId,
// PopupId...) and its topics' titles written as context strings.
QList<QByteArray> candidateNames(const THelpDocument &p)
{
    QList<QByteArray> out;
    static const QRegularExpression quoted(QStringLiteral("[`'\"]([A-Za-z0-9._]+)['\"]"));
    const auto fromMacro = [&](const QByteArray &macro) {
        for (auto it = quoted.globalMatch(QString::fromLatin1(macro)); it.hasNext();)
            out << it.next().captured(1).toLatin1();
    };
    for (const QByteArray &m : p.hpj.config)
        fromMacro(m);
    for (const TSourceTopic &t : p.topics) {
        for (const QByteArray &m : t.macros)
            fromMacro(m);
        QByteArray title = t.title;
        title.replace(' ', '_');
        out << normalizeContext(title) << "IDH_" + normalizeContext(title);
        for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
            for (const TParagraph &para : *list)
                for (const TInline &i : para.items)
                    if (!i.macro.isEmpty())
                        fromMacro(i.macro);
    }
    return out;
}

} // namespace

int nameContexts(THelpDocument &p, const QByteArray &text)
{
    QHash<qint32, QByteArray> names; // hash -> the name found
    QSet<qint32> made;
    for (const TContext &c : std::as_const(p.contexts))
        if (c.name.startsWith("CTX_"))
            made.insert(contextHash(c.name));
    for (TSourceTopic &t : p.topics)
        forEachParagraph(t, [&](TParagraph &para) {
            for (const TInline &i : para.items)
                if (i.kind == TInline::HotspotStart && i.context.startsWith("CTX_"))
                    made.insert(contextHash(i.context));
        });
    if (made.isEmpty())
        return 0;
    // Words of letters, digits, '_' and '.', as context strings are.
    for (qsizetype at = 0; at < text.size();) {
        const auto inWord = [&](qsizetype k) {
            const char c = text[k];
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
        };
        qsizetype end = at;
        while (end < text.size() && inWord(end))
            ++end;
        if (end > at && end - at <= 255) {
            const QByteArray word = text.mid(at, end - at);
            const qint32 hash = contextHash(normalizeContext(word));
            if (made.contains(hash) && !names.contains(hash))
                names.insert(hash, word);
        }
        at = end + 1;
    }
    QHash<QByteArray, QByteArray> renamed; // made name -> name found
    for (TContext &c : p.contexts)
        if (c.name.startsWith("CTX_") && names.contains(contextHash(c.name))) {
            const QByteArray found = names.value(contextHash(c.name));
            renamed.insert(c.name, found);
            p.contextTopic.remove(c.name.toUpper());
            p.contextTopic.insert(found.toUpper(), c.topic);
            c.name = found;
        }
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        if (const QByteArray made = contextForHash(it.key()); !renamed.contains(made))
            renamed.insert(made, it.value());
    for (TSourceTopic &t : p.topics) {
        for (QByteArray &c : t.contexts)
            c = renamed.value(c, c);
        forEachParagraph(t, [&](TParagraph &para) {
            for (TInline &i : para.items)
                if (i.kind == TInline::HotspotStart)
                    i.context = renamed.value(i.context, i.context);
        });
    }
    for (TMapEntry &m : p.map)
        m.context = renamed.value(m.context, m.context);
    if (p.hpj.options.contains("CONTENTS"))
        p.hpj.options.insert("CONTENTS", renamed.value(p.hpj.options.value("CONTENTS"), p.hpj.options.value("CONTENTS")));
    return int(names.size());
}

QByteArray contextForHash(qint32 hash, const QList<QByteArray> &preferred)
{
    for (const QByteArray &name : preferred)
        if (!name.isEmpty() && contextHash(name) == hash)
            return name;
    // "CTX_" and seven characters whose values, as base-43 digits, make up
    // what the hash lacks: the digits 1-9, 0, '.', '_' and the letters
    // stand for 1-10, 12, 13 and 17-42 (0, 11 and 14-16 stand for none).
    const QByteArray prefix = "CTX_";
    constexpr int Digits = 7;
    quint64 power = 1;
    for (int i = 0; i < Digits; ++i)
        power *= 43;
    const quint32 lacking = quint32(hash) - quint32(contextHash(prefix)) * quint32(power);
    static const QByteArray byValue = QByteArray(" 1234567890 ._   ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    for (quint64 n = lacking; n < power * 43; n += (quint64(1) << 32)) {
        if (n < power / 43)
            continue;
        QByteArray digits;
        quint64 rest = n;
        for (int i = 0; i < Digits; ++i) {
            const int v = int(rest % 43);
            rest /= 43;
            if (v == 0 || v == 11 || (v >= 14 && v <= 16))
                break;
            digits.prepend(byValue[v]);
        }
        if (digits.size() == Digits && rest == 0 && contextHash(prefix + digits) == hash)
            return prefix + digits;
    }
    // Practically never: a name that hashes otherwise, so still unique.
    return prefix + QByteArray::number(quint32(hash), 16).toUpper();
}

THelpFileRead readHelpFile(const QByteArray &bytes, const QString &fileName)
{
    THelpFileRead out;
    THelpDocument &p = out.project;
    HlpRead::Container c;
    if (!c.parse(bytes)) {
        out.error = QString::fromUtf8("ce n'est pas un fichier d'aide lisible (%1).").arg(c.error);
        return out;
    }
    const auto system = c.internalFile("|SYSTEM");
    if (!system || system->size() < 12 || u16(*system, 0) != 0x036C) {
        out.error = QString::fromUtf8("fichier d'aide sans en-tête |SYSTEM lisible.");
        return out;
    }
    p.hpjName = fileName;
    p.hpj.options.insert("HLP", fileName.toLocal8Bit());
    const quint16 minor = u16(*system, 2);
    p.compressed = u16(*system, 10) != 0;
    qint64 contentsOffset = -1;
    int charset = 0, lcid = 0;
    if (minor <= 16) {
        QByteArray title = system->mid(12);
        p.hpj.options.insert("TITLE", title.left(title.indexOf('\0') < 0 ? title.size() : title.indexOf('\0')));
    } else {
        for (qsizetype at = 12; at + 4 <= system->size();) {
            const int type = u16(*system, at), size = u16(*system, at + 2);
            QByteArray data = system->mid(at + 4, size);
            at += 4 + size;
            const QByteArray string = data.left(data.indexOf('\0') < 0 ? data.size() : data.indexOf('\0'));
            switch (type) {
            case 1: p.hpj.options.insert("TITLE", string); break;
            case 2: p.hpj.options.insert("COPYRIGHT", string); break;
            case 3: contentsOffset = u32(data, 0); break;
            case 4: p.hpj.config << string; break;
            case 6: p.hpj.windows << readWindow(data); break;
            case 8: p.hpj.options.insert("CITATION", string); break;
            case 9:
                lcid = u16(data, 8);
                p.hpj.options.insert("LCID", "0x" + QByteArray::number(lcid, 16));
                break;
            case 10: p.hpj.options.insert("CNT", string); break;
            case 11: charset = byteAt(data, 0); break;
            default: break;
            }
        }
    }
    // The code page: the character set's, else the language's; else (a
    // 3.1 help names neither) the text says, once read.
    int page = Platform::codePageOfCharset(charset);
    if (page > 0) {
        p.hpj.options.insert("CHARSET", QByteArray::number(charset));
    } else if (const Platform::TLanguage language = Platform::languageOfLcid(lcid); lcid > 0 && !language.tag.isEmpty()) {
        page = language.codePage;
    }
    if (page > 0)
        p.codePage = page;
    const QList<TCharFormat> fonts = readFonts(c.internalFile("|FONT").value_or(QByteArray()));

    // The pages, in the order of their records.
    QHash<quint32, int> topicAtOffset; // a page's TOPICOFFSET -> its number
    QHash<int, QPair<quint32, quint32>> browseLinks;
    int broken = 0;
    QSet<quint16> pictures;
    int embedded = 0;
    quint32 scrollFrom = 0xFFFFFFFF;
    const QList<HlpRead::TopicFile::Record> records = HlpRead::TopicFile::of(c).walk();
    for (const HlpRead::TopicFile::Record &r : records) {
        if (r.type == 0x02) {
            TSourceTopic t;
            const QList<QByteArray> strings = r.ld2.split('\0');
            t.title = strings.value(0);
            for (qsizetype i = 1; i < strings.size(); ++i)
                if (!strings[i].isEmpty())
                    t.macros << strings[i];
            t.page = int(p.topics.size() + 1);
            topicAtOffset.insert(r.offset, int(p.topics.size()));
            browseLinks.insert(int(p.topics.size()), {u32(r.ld1, 4), u32(r.ld1, 8)});
            scrollFrom = u32(r.ld1, 20);
            p.topics << t;
            continue;
        }
        if (p.topics.isEmpty() || (r.type != 0x20 && r.type != 0x23))
            continue;
        TSourceTopic &t = p.topics.last();
        // Records before the scrolling region's first belong to the region that stays.
        QList<TParagraph> &region = scrollFrom != 0xFFFFFFFF && r.pos < scrollFrom ? t.nonScrolling : t.scrolling;
        bool ok = true;
        qsizetype at = 0;
        readCSL(r.ld1, at, &ok);
        readCUS(r.ld1, at, &ok);
        if (r.type == 0x20) {
            TParagraphReader reader(r.ld1, r.ld2, fonts);
            reader.at = at;
            ok = ok && reader.read();
            region += reader.paragraphs;
            pictures += reader.pictures();
            embedded += reader.embedded;
        } else {
            TParagraph row;
            ok = ok && readTableRow(r.ld1, r.ld2, fonts, at, &row, &pictures);
            if (ok)
                region << row;
        }
        if (!ok)
            ++broken;
    }
    // The closing header every compiler writes is no page.
    if (!p.topics.isEmpty() && p.topics.last().title.isEmpty() && p.topics.last().scrolling.isEmpty()
        && p.topics.last().nonScrolling.isEmpty() && p.topics.last().macros.isEmpty())
        p.topics.removeLast();
    if (p.topics.isEmpty()) {
        out.error = QString::fromUtf8("fichier d'aide sans page lisible.");
        return out;
    }
    if (broken)
        out.losses << QString::fromUtf8("%1 enregistrement(s) de texte endommagé(s) ou d'une forme inconnue, lu(s) en partie.").arg(broken);
    if (embedded)
        out.losses << QString::fromUtf8("%1 fenêtre(s) intégrée(s) ({ewc}) laissée(s) de côté.").arg(embedded);

    // The page a TOPICOFFSET falls in: a context may lead into a page, past
    // its header (a "#" footnote in its middle).
    QMap<quint32, int> pagesByOffset;
    for (auto it = topicAtOffset.cbegin(); it != topicAtOffset.cend(); ++it)
        if (it.value() < p.topics.size())
            pagesByOffset.insert(it.key(), it.value());
    const auto topicOf = [&](quint32 offset) {
        auto it = pagesByOffset.upperBound(offset);
        return it == pagesByOffset.cbegin() ? -1 : std::prev(it).value();
    };
    // Contexts: the hashes that lead to each page, named as the file lets.
    QMap<int, QList<qint32>> hashesOf;
    HlpRead::Tree tree;
    if (const auto file = c.internalFile("|CONTEXT"); file && tree.parse(*file))
        for (const auto &[key, data] : HlpRead::walkLeaves(tree, HlpRead::hashKey(), 4)) {
            const int n = topicOf(u32(data, 0));
            if (n >= 0)
                hashesOf[n] << qint32(u32(key, 0));
        }
    // The names the file suggests, by their hash (the first of a hash
    // wins): each hash is then named in constant time.
    QHash<qint32, QByteArray> suggested;
    QList<QByteArray> candidates = candidateNames(p);
    // The targets of hotspot graphics name contexts too (the pictures
    // lead there by these names).
    for (const quint16 k : std::as_const(pictures))
        if (const auto picture = c.internalFile("|bm" + QByteArray::number(k)))
            for (const TPictureHotspot &h : pictureHotspots(*picture))
                if ((h.kind & 0xF0) == 0xE0 && !h.target.contains('@'))
                    candidates << h.target.left(h.target.indexOf('>') < 0 ? h.target.size() : h.target.indexOf('>')).trimmed();
    for (const QByteArray &name : std::as_const(candidates))
        if (!name.isEmpty())
            suggested.insert(contextHash(name), suggested.value(contextHash(name), name));
    const auto nameFor = [&](qint32 h) { return suggested.contains(h) ? suggested.value(h) : contextForHash(h); };
    QHash<qint32, QByteArray> nameOf;
    for (auto it = hashesOf.cbegin(); it != hashesOf.cend(); ++it)
        for (const qint32 h : it.value()) {
            const QByteArray name = nameFor(h);
            nameOf.insert(h, name);
            p.topics[it.key()].contexts << name;
            p.contexts.append({name, it.key(), false, {}});
            p.contextTopic.insert(name.toUpper(), it.key());
        }
    // Jumps to pages: the target's name (one this file does not define
    // keeps a made name, reported as a jump to nothing).
    for (TSourceTopic &t : p.topics)
        forEachParagraph(t, [&](TParagraph &para) {
            for (TInline &i : para.items)
                if (i.kind == TInline::HotspotStart && i.link != TInline::Macro) {
                    const qint32 h = contextHash(i.context); // a name made of the hash read
                    if (!nameOf.contains(h))
                        nameOf.insert(h, nameFor(h));
                    i.context = nameOf.value(h);
                }
        });
    if (contentsOffset >= 0) {
        const int n = topicAtOffset.value(quint32(contentsOffset), -1);
        if (n >= 0 && !p.topics[n].contexts.isEmpty())
            p.hpj.options.insert("CONTENTS", p.topics[n].contexts.first());
    }

    // Keywords (K) and A-keywords, in the file's order.
    for (const auto &[treeName, dataName, list] : {std::tuple{"|KWBTREE", "|KWDATA", &p.index}, std::tuple{"|AWBTREE", "|AWDATA", &p.aIndex}}) {
        HlpRead::Tree keywords;
        const auto data = c.internalFile(dataName);
        const auto file = c.internalFile(treeName);
        if (!file || !data || !keywords.parse(*file))
            continue;
        // Each keyword's list of pages lies in the data file; a file whose
        // keywords all name the same long list (a hostile one) would be read
        // once per keyword: no more than twice the data file is read.
        qint64 budget = 2 * (data->size() / 4) + 1024;
        bool cut = false;
        for (const auto &[key, entry] : HlpRead::walkLeaves(keywords, HlpRead::stringKey(), 6)) {
            TIndexEntry e;
            e.keyword = key.left(key.indexOf('\0') < 0 ? key.size() : key.indexOf('\0'));
            const int count = u16(entry, 0);
            const quint32 from = u32(entry, 2);
            QSet<int> seen;
            for (int k = 0; k < count && qint64(from) + 4 * (k + 1) <= data->size(); ++k) {
                if (--budget < 0) {
                    cut = true;
                    break;
                }
                const int n = topicOf(u32(*data, from + 4 * k));
                if (n >= 0 && !seen.contains(n)) {
                    seen.insert(n);
                    e.topics << n;
                    (list == &p.index ? p.topics[n].keywords : p.topics[n].aKeywords) << e.keyword;
                }
            }
            if (!e.topics.isEmpty())
                *list << e;
            if (cut)
                break;
        }
        if (cut)
            out.losses << QString::fromUtf8("index (%1) incohérent : ses mots-clés renvoient plusieurs fois aux mêmes pages ; lu en partie.")
                              .arg(QString::fromLatin1(treeName));
    }

    // The window each page opens in (">" footnotes).
    HlpRead::Tree viola;
    if (const auto file = c.internalFile("|VIOLA"); file && viola.parse(*file))
        for (const auto &[key, data] : HlpRead::walkLeaves(viola, HlpRead::hashKey(), 4)) {
            const int n = topicOf(u32(key, 0)), window = qint32(u32(data, 0));
            if (n >= 0 && window >= 0 && window < p.hpj.windows.size())
                p.topics[n].window = p.hpj.windows[window].name;
        }
    // A secondary window's macros (|CFn: macros back to back), by the
    // window's name.
    for (int k = 0; k < 256; ++k)
        if (const auto macros = c.internalFile("|CF" + QByteArray::number(k))) {
            const QByteArray window = k < p.hpj.windows.size() ? p.hpj.windows[k].name : QByteArray::number(k);
            for (const QByteArray &m : macros->split('\0'))
                if (!m.trimmed().isEmpty())
                    p.hpj.windowConfig[window] << m;
        }
    // What this model has no place for: said.
    if (c.internalFile("|Rose"))
        out.losses << QString::fromUtf8("mots-clés qui lancent une macro ([MACROS]) non repris.");

    // Browse sequences: from each page that has a next one and no previous.
    // A page belongs to one sequence: a file whose every page says it
    // starts one (a hostile one) is still walked once in all.
    QSet<int> placed;
    for (int n = 0; n < p.topics.size(); ++n) {
        const auto [back, forward] = browseLinks.value(n);
        if (back != 0xFFFFFFFF || forward == 0xFFFFFFFF || placed.contains(n))
            continue;
        QList<int> sequence{n};
        placed.insert(n);
        for (quint32 next = forward; next != 0xFFFFFFFF;) {
            const int m = topicAtOffset.value(next, -1);
            if (m < 0 || placed.contains(m))
                break;
            placed.insert(m);
            sequence << m;
            next = browseLinks.value(m).second;
        }
        for (qsizetype i = 0; i < sequence.size(); ++i)
            // "B1:0001": a named group (a number alone would join the common sequence).
            p.topics[sequence[i]].browse = "B" + QByteArray::number(p.browse.size() + 1) + ':' + QByteArray::number(i + 1).rightJustified(4, '0');
        p.browse << sequence;
    }

    if (page <= 0) {
        QByteArray sample;
        for (TSourceTopic &t : p.topics) {
            sample += t.title;
            forEachParagraph(t, [&](TParagraph &para) {
                for (const TInline &i : para.items)
                    if (i.kind == TInline::Text && sample.size() < 65536)
                        sample += i.text.toLatin1();
            });
            if (sample.size() >= 65536)
                break;
        }
        if (const int guessed = Platform::guessDoubleBytePage(sample)) {
            p.codePage = guessed;
            out.notes << QString::fromUtf8("page de codes %1 déduite du texte (le fichier ne la nomme pas).").arg(guessed);
        }
    }
    // The text's bytes as letters of that page; a picture font's as its
    // glyphs.
    {
        const Platform::CodePage letters(p.codePage);
        QHash<QByteArray, bool> pictureFace;
        for (TSourceTopic &t : p.topics)
            forEachParagraph(t, [&](TParagraph &para) {
                for (TInline &i : para.items) {
                    if (i.kind != TInline::Text)
                        continue;
                    const QByteArray bytes = i.text.toLatin1();
                    auto face = pictureFace.find(i.format.face);
                    if (face == pictureFace.end())
                        face = pictureFace.insert(i.format.face, isPictureFont(QString::fromLatin1(i.format.face)));
                    if (!*face) {
                        i.text = letters.decode(bytes);
                        continue;
                    }
                    i.text.clear();
                    for (const char b : bytes)
                        i.text += QChar(0xF000 | uchar(b));
                }
            });
    }

    // [MAP] numbers.
    if (const auto map = c.internalFile("|CTXOMAP")) {
        const int count = u16(*map, 0);
        for (int k = 0; k < count && 2 + 8 * qint64(k + 1) <= map->size(); ++k) {
            const int n = topicOf(u32(*map, 2 + 8 * k + 4));
            if (n >= 0 && !p.topics[n].contexts.isEmpty())
                p.map << TMapEntry{p.topics[n].contexts.first(), qint64(u32(*map, 2 + 8 * k)), n};
        }
    }

    // Pictures, as the file stores them; the same bytes under several
    // names held once. What they expand to has a limit: a small file can
    // describe gigabytes of pixels (a hostile one, or one picture named a
    // thousand times).
    constexpr qint64 kMaxExpandedPictures = qint64(256) << 20;
    int missing = 0, refused = 0;
    qint64 expanded = 0;
    QHash<size_t, int> byContent; // the hash of a picture's bytes -> its number
    for (const quint16 k : std::as_const(pictures)) {
        if (p.pictureData.size() <= k)
            p.pictureData.resize(k + 1);
        const auto picture = c.internalFile("|bm" + QByteArray::number(k));
        if (!picture) {
            ++missing;
            continue;
        }
        const qint64 size = pictureExpandedSize(*picture);
        if (expanded + size > kMaxExpandedPictures) {
            ++refused;
            continue;
        }
        expanded += size;
        const size_t key = qHash(*picture);
        const auto same = byContent.constFind(key);
        if (same != byContent.constEnd() && p.pictureData[*same] == *picture)
            p.pictureData[k] = p.pictureData[*same];
        else
            p.pictureData[k] = *picture;
        byContent.insert(key, k);
    }
    if (missing)
        out.losses << QString::fromUtf8("%1 image(s) absente(s) du fichier.").arg(missing);
    if (refused)
        out.losses << QString::fromUtf8("%1 image(s) de %2 laissée(s) de côté : une fois décompressées, les images dépasseraient %3 Mo.")
                          .arg(refused)
                          .arg(fileName)
                          .arg(kMaxExpandedPictures >> 20);
    // [BAGGAGE]: the internal files whose names are not the help's own
    // (those start with '|'), under their plain names.
    for (const auto &[key, data] : HlpRead::walkLeaves(c.directory, HlpRead::stringKey(), 4)) {
        const QByteArray name = key.left(key.indexOf('\0') < 0 ? key.size() : key.indexOf('\0'));
        if (name.isEmpty() || name.startsWith('|'))
            continue;
        if (const auto file = c.internalFile(name))
            p.baggage.append({name, *file});
    }
    out.ok = true;
    return out;
}

} // namespace Hlp
