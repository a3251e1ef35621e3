#include "editing/RtfText.h"

#include "editing/MarkerObjects.h"
#include <QTextList>
#include <QTextTable>

#include "compiler/sources/RtfTokenizer.h"
#include "platform/Cp1252.h"

#include <QColor>
#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace RtfText {

// ===================================================================
// Writer
// ===================================================================

namespace {

// "Nimbus Roman [urw]": the family without the foundry this system adds
// to tell two of the same name apart; no reader has the bracketed name.
QString withoutFoundry(const QString &family)
{
    const qsizetype bracket = family.lastIndexOf(QLatin1String(" ["));
    return bracket > 0 && family.endsWith(u']') ? family.left(bracket) : family;
}

QString familyOf(const QTextCharFormat &f, const QString &fallback)
{
    const QStringList families = f.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return withoutFoundry(families.first());
    return withoutFoundry(fallback);
}

int halfPoints(const QTextCharFormat &f, const QFont &fallback)
{
    qreal pt = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize() : fallback.pointSizeF();
    if (pt <= 0)
        pt = 12;
    return qBound(1, int(std::lround(pt * 2)), 3276);
}

bool isBold(const QTextCharFormat &f) { return f.fontWeight() >= QFont::DemiBold; }

// The colour of a run, or an invalid colour for "automatic".
QColor colourOf(const QTextCharFormat &f)
{
    if (!f.hasProperty(QTextFormat::ForegroundBrush))
        return {};
    const QBrush brush = f.foreground();
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

void appendEscaped(QByteArray &out, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        switch (u) {
        case u'\\': out += "\\\\"; continue;
        case u'{': out += "\\{"; continue;
        case u'}': out += "\\}"; continue;
        case u'\t': out += "\\tab "; continue;
        case 0x2028: out += "\\line "; continue;
        case 0xFFFC: continue; // embedded object: no text
        default: break;
        }
        if (u >= 0x20 && u < 0x7F) {
            out += char(u);
            continue;
        }
        const int b = Platform::cp1252Byte(c);
        if (b >= 0) {
            out += "\\'";
            out += QByteArray::number(b, 16).rightJustified(2, '0');
        } else {
            out += "\\u";
            out += QByteArray::number(int(qint16(u)));
            out += '?';
        }
    }
}

// A paragraph's indents and spacing as the file gives them (twips), kept in
// its format so that they are written back as they were, and shown.
constexpr const char *kIndentWords[5] = {"li", "ri", "fi", "sb", "sa"};
constexpr int kIndentProperty = QTextFormat::UserProperty + 20; // + the word's index

void setIndents(QTextBlockFormat &bf, const int (&twips)[5])
{
    for (int k = 0; k < 5; ++k)
        if (twips[k])
            bf.setProperty(kIndentProperty + k, twips[k]);
        else
            bf.clearProperty(kIndentProperty + k);
    // 15 twips to a pixel at 96 dots to the inch.
    bf.setLeftMargin(twips[0] / 15.0);
    bf.setRightMargin(twips[1] / 15.0);
    bf.setTextIndent(twips[2] / 15.0);
    bf.setTopMargin(twips[3] / 15.0);
    bf.setBottomMargin(twips[4] / 15.0);
}

int alignmentCode(Qt::Alignment a)
{
    if (a & Qt::AlignHCenter)
        return 1;
    if (a & Qt::AlignRight)
        return 2;
    if (a & Qt::AlignJustify)
        return 3;
    return 0;
}

} // namespace

QByteArray FWriteRtf(const QTextDocument &doc)
{
    const QFont defFont = doc.defaultFont();
    const QString defFamily = defFont.family();
    QStringList fonts{defFamily};
    QList<QColor> colours; // entry 0 is "automatic"

    auto fontIndex = [&](const QString &family) {
        qsizetype i = fonts.indexOf(family);
        if (i < 0) {
            fonts << family;
            i = fonts.size() - 1;
        }
        return int(i);
    };
    auto colourIndex = [&](const QColor &c) {
        if (!c.isValid())
            return 0;
        const QRgb rgb = c.rgb();
        for (int i = 0; i < colours.size(); ++i)
            if (colours[i].rgb() == rgb)
                return i + 1;
        colours << c;
        return int(colours.size());
    };
    auto runPrefix = [&](const QTextCharFormat &f) {
        QByteArray p = "\\plain\\f" + QByteArray::number(fontIndex(familyOf(f, defFamily)));
        p += "\\fs" + QByteArray::number(halfPoints(f, defFont));
        if (isBold(f))
            p += "\\b";
        if (f.fontItalic())
            p += "\\i";
        if (f.fontUnderline())
            p += "\\ul";
        if (const int ci = colourIndex(colourOf(f)))
            p += "\\cf" + QByteArray::number(ci);
        return p + ' ';
    };

    // The body first: it decides which fonts and colours the tables hold.
    QByteArray body;
    bool first = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (first)
            body += "\\deflang1036";
        first = false;
        body += "\\pard";
        switch (alignmentCode(block.blockFormat().alignment())) {
        case 1: body += "\\qc"; break;
        case 2: body += "\\qr"; break;
        case 3: body += "\\qj"; break;
        default: break;
        }
        for (int k = 0; k < 5; ++k)
            if (const int twips = block.blockFormat().intProperty(kIndentProperty + k))
                body += '\\' + QByteArray(kIndentWords[k]) + QByteArray::number(twips);
        bool any = false;
        // A marker shown as an object is written as its text, in the run
        // it came from: it joins the text written in the same run beside it.
        QByteArray runStart;
        QString run;
        bool runHasMarker = false;
        const auto flush = [&] {
            if (run.isEmpty())
                return;
            body += runStart;
            appendEscaped(body, run);
            run.clear();
            runHasMarker = false;
            any = true;
        };
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid() || frag.text().isEmpty())
                continue;
            const QString marker = Markers::FMarkerOf(frag.charFormat());
            const QByteArray start = runPrefix(marker.isEmpty() ? frag.charFormat() : Markers::FTextFormat(frag.charFormat()));
            if (!run.isEmpty() && (start != runStart || (marker.isEmpty() && !runHasMarker)))
                flush();
            runStart = start;
            runHasMarker = runHasMarker || !marker.isEmpty();
            run += marker.isEmpty() ? frag.text() : marker.repeated(frag.length());
        }
        flush();
        if (!any)
            body += runPrefix(block.charFormat());
        body += "\\par\r\n";
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720{\\fonttbl";
    for (int i = 0; i < fonts.size(); ++i) {
        out += "{\\f" + QByteArray::number(i) + "\\fnil\\fcharset0 ";
        QByteArray name;
        appendEscaped(name, fonts[i]);
        name.replace(";", "\\'3b");
        out += name + ";}";
    }
    out += "}\r\n{\\colortbl ;";
    for (const QColor &c : colours)
        out += "\\red" + QByteArray::number(c.red()) + "\\green" + QByteArray::number(c.green())
               + "\\blue" + QByteArray::number(c.blue()) + ';';
    out += "}\r\n";
    out += body;
    out += "}\r\n";
    return out;
}

// ===================================================================
// Reader
// ===================================================================

namespace {

enum class Dest { Text, FontTable, ColourTable, Skip };

struct State {
    int font = -1;      // -1: the document's default font (\deff)
    int sizeHalf = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int colour = 0;
    int uc = 1;
    int align = 0;
    int indents[5] = {}; // twips, in the order of kIndentWords
    Dest dest = Dest::Text;
};

struct FontDef {
    QString name;
    int charset = 0;
};

bool isSkippedDestination(const QByteArray &w)
{
    static const QByteArray words[] = {
        "stylesheet", "info", "pict", "header", "headerl", "headerr", "headerf", "footer",
        "footerl", "footerr", "footerf", "footnote", "annotation", "object", "fldinst", "xe",
        "tc", "listtable", "listoverridetable", "revtbl", "rsidtbl", "generator", "themedata",
        "colorschememapping", "datastore", "latentstyles", "pgdsctbl", "filetbl", "atnid",
        "atnauthor", "bkmkstart", "bkmkend", "shp", "shpinst", "nonshppict", "mmathPr",
        "xmlnstbl", "userprops", "docvar", "template", "comment", "title", "subject", "author",
        "operator", "keywords", "doccomm", "company", "buptim", "creatim", "revtim", "printim",
        "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "private"};
    for (const QByteArray &x : words)
        if (w == x)
            return true;
    return false;
}

QString codePageName(int charset, int ansiCpg)
{
    switch (charset) {
    case 0:
    case 1:
    case 2: return ansiCpg == 1252 || ansiCpg <= 0 ? QString() : QStringLiteral("windows-%1").arg(ansiCpg);
    case 77: return QStringLiteral("macintosh");
    case 128: return QStringLiteral("Shift_JIS");
    case 129: return QStringLiteral("windows-949");
    case 134: return QStringLiteral("GBK");
    case 136: return QStringLiteral("Big5");
    case 161: return QStringLiteral("windows-1253");
    case 162: return QStringLiteral("windows-1254");
    case 163: return QStringLiteral("windows-1258");
    case 177: return QStringLiteral("windows-1255");
    case 178: return QStringLiteral("windows-1256");
    case 186: return QStringLiteral("windows-1257");
    case 204: return QStringLiteral("windows-1251");
    case 222: return QStringLiteral("windows-874");
    case 238: return QStringLiteral("windows-1250");
    default: return QString();
    }
}

class Reader {
public:
    Reader(QTextDocument &doc, const QByteArray &bytes) : m_doc(doc), m_in(bytes), m_cursor(&doc) {}
    TReadInfo run();

private:
    void controlWord(const QByteArray &word, bool hasParam, int param);
    void textByte(unsigned char b, bool escaped = false);
    void appendText(const QString &text);
    void flushBytes();
    void flushText();
    void paragraph();
    // The current paragraph's alignment, indents and spacing, set in `bf`.
    void paragraphFormat(QTextBlockFormat &bf);
    void commitFont();
    QTextCharFormat charFormat() const;
    QStringDecoder *decoder();
    State &st() { return m_stack.back(); }

    QTextDocument &m_doc;
    const QByteArray &m_in;
    QTextCursor m_cursor;
    TReadInfo m_info;

    std::vector<State> m_stack{State{}};
    int m_overflowDepth = 0; // groups beyond the depth limit
    QHash<int, FontDef> m_fonts;
    QList<QColor> m_colours;
    int m_deff = 0;
    int m_ansiCpg = 1252;
    int m_ucSkip = 0;
    bool m_groupStart = false; // the last token opened a group
    bool m_starred = false;    // "{\*" seen

    // font table entry being read
    int m_fontNumber = -1;
    int m_fontCharset = 0;
    QByteArray m_fontName;
    // colour table entry being read
    int m_red = -1, m_green = -1, m_blue = -1;

    QByteArray m_bytes;   // text bytes not yet decoded
    QString m_text;       // decoded text not yet inserted
    int m_paragraphs = 0;
    QHash<QString, std::shared_ptr<QStringDecoder>> m_decoders;
};

QStringDecoder *Reader::decoder()
{
    const int fontNo = st().font < 0 ? m_deff : st().font;
    const auto it = m_fonts.constFind(fontNo);
    const QString name = codePageName(it == m_fonts.constEnd() ? 0 : it->charset, m_ansiCpg);
    if (name.isEmpty())
        return nullptr;
    auto &slot = m_decoders[name];
    if (!slot)
        slot = std::make_shared<QStringDecoder>(name.toLatin1().constData());
    return slot->isValid() ? slot.get() : nullptr;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    if (QStringDecoder *d = decoder())
        m_text += d->decode(m_bytes);
    else
        m_text += Platform::fromCp1252(m_bytes);
    m_bytes.clear();
}

QTextCharFormat Reader::charFormat() const
{
    const State &s = m_stack.back();
    QTextCharFormat f;
    const int fontNo = s.font < 0 ? m_deff : s.font;
    const auto it = m_fonts.constFind(fontNo);
    const QString family = (it != m_fonts.constEnd() && !it->name.isEmpty()) ? it->name
                                                                             : m_doc.defaultFont().family();
    f.setFontFamilies({family});
    f.setFontPointSize(s.sizeHalf / 2.0);
    f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(s.italic);
    f.setFontUnderline(s.underline);
    // Colour 0 is "automatic", whatever the table holds there.
    if (s.colour > 0 && s.colour < m_colours.size() && m_colours[s.colour].isValid())
        f.setForeground(m_colours[s.colour]);
    return f;
}

void Reader::flushText()
{
    flushBytes();
    if (m_text.isEmpty())
        return;
    m_cursor.insertText(m_text, charFormat());
    m_text.clear();
}

void Reader::appendText(const QString &text)
{
    if (st().dest == Dest::FontTable) {
        m_fontName += Platform::toCp1252(text);
        return;
    }
    if (st().dest != Dest::Text)
        return;
    flushBytes();
    m_text += text;
}

void Reader::textByte(unsigned char b, bool escaped)
{
    switch (st().dest) {
    case Dest::Skip:
        return;
    case Dest::ColourTable:
        if (b == ';' && !escaped) {
            if (m_red < 0 && m_green < 0 && m_blue < 0)
                m_colours << QColor();
            else
                m_colours << QColor(qBound(0, m_red, 255), qBound(0, m_green, 255), qBound(0, m_blue, 255));
            m_red = m_green = m_blue = -1;
        }
        return;
    case Dest::FontTable:
        if (b == ';' && !escaped)
            commitFont();
        else
            m_fontName += char(b);
        return;
    case Dest::Text:
        break;
    }
    if (m_ucSkip > 0) {
        --m_ucSkip;
        return;
    }
    m_bytes += char(b);
}

void Reader::commitFont()
{
    if (m_fontNumber >= 0 || !m_fontName.trimmed().isEmpty()) {
        const int no = m_fontNumber >= 0 ? m_fontNumber : int(m_fonts.size());
        if (!m_fonts.contains(no)) {
            QString name = Platform::fromCp1252(m_fontName).trimmed();
            m_fonts.insert(no, FontDef{name.left(255), m_fontCharset});
        }
    }
    m_fontNumber = -1;
    m_fontCharset = 0;
    m_fontName.clear();
}

void Reader::paragraphFormat(QTextBlockFormat &bf)
{
    switch (st().align) {
    case 1: bf.setAlignment(Qt::AlignHCenter); break;
    case 2: bf.setAlignment(Qt::AlignRight); break;
    case 3: bf.setAlignment(Qt::AlignJustify); break;
    default: bf.setAlignment(Qt::AlignLeft); break;
    }
    setIndents(bf, st().indents);
}

void Reader::paragraph()
{
    flushText();
    QTextBlockFormat bf = m_cursor.blockFormat();
    paragraphFormat(bf);
    m_cursor.setBlockFormat(bf);
    m_cursor.setBlockCharFormat(charFormat());
    // The new paragraph starts with the same format, so that dropping an
    // empty last paragraph leaves the one before it as it was.
    m_cursor.insertBlock(bf, charFormat());
    ++m_paragraphs;
}

void Reader::controlWord(const QByteArray &w, bool hasParam, int param)
{
    State &s = st();
    const bool destinationWord = m_groupStart || m_starred;
    m_groupStart = false;

    if (w == "fonttbl") { s.dest = Dest::FontTable; return; }
    if (w == "colortbl") { s.dest = Dest::ColourTable; m_red = m_green = m_blue = -1; return; }
    if (isSkippedDestination(w) || (m_starred && s.dest != Dest::Skip && w != "fldinst" && destinationWord)) {
        if (s.dest != Dest::Skip)
            ++m_info.skippedGroups;
        flushText();
        s.dest = Dest::Skip;
        m_starred = false;
        return;
    }
    m_starred = false;
    if (s.dest == Dest::Skip)
        return;

    if (s.dest == Dest::ColourTable) {
        if (w == "red") m_red = param;
        else if (w == "green") m_green = param;
        else if (w == "blue") m_blue = param;
        return;
    }
    if (s.dest == Dest::FontTable) {
        if (w == "f") { m_fontNumber = param; m_fontName.clear(); m_fontCharset = 0; }
        else if (w == "fcharset") m_fontCharset = param;
        return;
    }

    // Characters and breaks.
    if (w == "par" || w == "sect" || w == "page" || w == "row") { m_ucSkip = 0; paragraph(); return; }
    if (w == "line") { appendText(QString(QChar(0x2028))); return; }
    if (w == "tab" || w == "cell") { appendText(QStringLiteral("\t")); return; }
    if (w == "u") {
        int v = param;
        if (v < 0)
            v += 65536;
        appendText(QString(QChar(char16_t(v & 0xFFFF))));
        m_ucSkip = s.uc;
        return;
    }
    if (w == "emdash") { appendText(QString(QChar(0x2014))); return; }
    if (w == "endash") { appendText(QString(QChar(0x2013))); return; }
    if (w == "bullet") { appendText(QString(QChar(0x2022))); return; }
    if (w == "lquote") { appendText(QString(QChar(0x2018))); return; }
    if (w == "rquote") { appendText(QString(QChar(0x2019))); return; }
    if (w == "ldblquote") { appendText(QString(QChar(0x201C))); return; }
    if (w == "rdblquote") { appendText(QString(QChar(0x201D))); return; }
    if (w == "emspace" || w == "enspace" || w == "qmspace") { appendText(QStringLiteral(" ")); return; }

    m_ucSkip = 0;
    // Document settings.
    if (w == "deff") { m_deff = param; return; }
    if (w == "ansicpg") { if (hasParam) m_ansiCpg = param; return; }
    if (w == "uc") { s.uc = qBound(0, param, 16); return; }

    // Formatting: the text so far keeps the formatting it had.
    flushText();
    const bool on = !hasParam || param != 0;
    if (w == "plain") {
        s.font = -1; s.sizeHalf = 24; s.bold = s.italic = s.underline = false; s.colour = 0;
    } else if (w == "pard") {
        s.align = 0;
        std::fill(std::begin(s.indents), std::end(s.indents), 0);
    } else if (w == "f") {
        s.font = param;
    } else if (w == "fs") {
        s.sizeHalf = hasParam && param > 0 ? qMin(param, 3276) : 24;
    } else if (w == "b") {
        s.bold = on;
    } else if (w == "i") {
        s.italic = on;
    } else if (w == "ul" || w == "uld" || w == "uldb" || w == "uldash" || w == "uldashd"
               || w == "uldashdd" || w == "ulth" || w == "ulw" || w == "ulwave" || w == "uldbwave"
               || w == "ulhwave" || w == "ulthd" || w == "ulthdash") {
        s.underline = on;
    } else if (w == "ulnone") {
        s.underline = false;
    } else if (w == "cf") {
        s.colour = qMax(0, param);
    } else if (w == "ql") {
        s.align = 0;
    } else if (w == "qc") {
        s.align = 1;
    } else if (w == "qr") {
        s.align = 2;
    } else if (w == "qj") {
        s.align = 3;
    } else if (const auto at = std::find_if(std::begin(kIndentWords), std::end(kIndentWords), [&](const char *k) { return w == k; });
               at != std::end(kIndentWords)) {
        s.indents[at - std::begin(kIndentWords)] = qBound(-31680, hasParam ? param : 0, 31680); // at most 22 inches
    } else {
        ++m_info.unknownWords;
    }
}

TReadInfo Reader::run()
{
    RtfTokenizer tokens(m_in);
    int depth = 0;
    for (RtfTokenizer::Token t = tokens.next(); t.kind != RtfTokenizer::End; t = tokens.next()) {
        switch (t.kind) {
        case RtfTokenizer::GroupOpen:
            flushText();
            if (m_stack.size() < 4096)
                m_stack.push_back(m_stack.back());
            else
                ++m_overflowDepth;
            ++depth;
            m_groupStart = true;
            m_starred = false;
            m_ucSkip = 0;
            break;
        case RtfTokenizer::GroupClose:
            if (depth == 0)
                break; // unbalanced: ignored
            --depth;
            flushText();
            if (st().dest == Dest::FontTable && (m_fontNumber >= 0 || !m_fontName.isEmpty()))
                commitFont();
            if (m_overflowDepth > 0)
                --m_overflowDepth;
            else if (m_stack.size() > 1)
                m_stack.pop_back();
            m_groupStart = false;
            m_starred = false;
            m_ucSkip = 0;
            break;
        case RtfTokenizer::Word:
            if (t.word == "bin") {
                m_groupStart = false;
                break;
            }
            controlWord(t.word, t.hasParam, t.param);
            break;
        case RtfTokenizer::HexByte:
            m_groupStart = false;
            textByte(t.byte, true);
            break;
        case RtfTokenizer::Symbol:
            m_groupStart = false;
            switch (t.symbol) {
            case '*': m_starred = true; m_groupStart = true; break;
            case '\\': case '{': case '}':
                m_ucSkip = 0;
                if (st().dest == Dest::Text || st().dest == Dest::FontTable)
                    textByte(static_cast<unsigned char>(t.symbol), true);
                break;
            case '~': appendText(QString(QChar(0x00A0))); break;
            case '_': appendText(QString(QChar(0x2011))); break;
            case '-': break; // optional hyphen
            case '\r': case '\n':
                if (st().dest == Dest::Text)
                    paragraph();
                break;
            default: break;
            }
            break;
        case RtfTokenizer::Text: {
            m_groupStart = false;
            const unsigned char c = t.byte;
            if (c == '\r' || c == '\n' || c == 0)
                break;
            if (c == '\t')
                appendText(QStringLiteral("\t"));
            else if (c >= 0x20)
                textByte(c);
            break;
        }
        case RtfTokenizer::End: break;
        }
    }
    m_info.truncated = depth > 0;
    flushText();
    // The final \par closes the last paragraph: no empty one follows it.
    if (m_paragraphs > 0 && m_cursor.block().length() <= 1 && m_cursor.block().previous().isValid()) {
        m_cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
        m_cursor.removeSelectedText();
    } else {
        QTextBlockFormat bf = m_cursor.blockFormat();
        paragraphFormat(bf);
        m_cursor.setBlockFormat(bf);
    }
    return m_info;
}

TReadInfo readPlain(QTextDocument &doc, const QByteArray &bytes)
{
    TReadInfo info;
    info.wasRtf = false;
    QTextCursor cursor(&doc);
    QByteArray text = bytes;
    const qsizetype eof = text.indexOf('\x1a');
    if (eof >= 0)
        text.truncate(eof);
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    if (text.endsWith('\n'))
        text.chop(1);
    const QList<QByteArray> lines = text.split('\n');
    QTextCharFormat format;
    format.setFontFamilies({doc.defaultFont().family()});
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            cursor.insertBlock();
        cursor.insertText(Platform::fromCp1252(lines[i]), format);
    }
    return info;
}

} // namespace

TReadInfo FReadRtf(QTextDocument &doc, const QByteArray &bytes)
{
    // A document read whole has no history to undo (the load itself is not
    // an edit), and its layout is done once, at the end, not per insertion.
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    doc.clear();
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\r' || bytes[start] == '\n'
                                    || bytes[start] == '\t'))
        ++start;
    TReadInfo info;
    {
        QTextCursor batch(&doc);
        batch.beginEditBlock();
        if (bytes.mid(start, 5) != "{\\rtf") {
            info = readPlain(doc, bytes);
        } else {
            Reader reader(doc, bytes);
            info = reader.run();
        }
        batch.endEditBlock();
    }
    doc.setUndoRedoEnabled(undo);
    return info;
}

QStringList FKeepWhatATopicHolds(const QTextDocument &in, QTextDocument &out)
{
    QStringList dropped;
    const auto drop = [&dropped](const char *what) {
        if (!dropped.contains(QString::fromUtf8(what)))
            dropped << QString::fromUtf8(what);
    };
    const qreal basePt = in.defaultFont().pointSizeF() > 0 ? in.defaultFont().pointSizeF() : 10.0;
    out.clear();
    QTextCursor to(&out);
    bool first = true;
    for (QTextBlock b = in.begin(); b.isValid(); b = b.next()) {
        QTextCursor at(b);
        // A table's cells: a row is one paragraph, its cells apart by tabs.
        bool sameRow = false;
        if (const QTextTable *table = at.currentTable()) {
            drop("tableaux");
            const QTextTableCell cell = table->cellAt(b.position());
            sameRow = cell.isValid() && cell.column() > 0 && cell.firstPosition() == b.position();
        }
        if (sameRow) {
            to.insertText(QStringLiteral("\t"));
        } else {
            QTextBlockFormat paragraph;
            paragraph.setAlignment(b.blockFormat().alignment());
            // Indents and spacing a page had (copied from another page).
            int twips[5];
            for (int k = 0; k < 5; ++k)
                twips[k] = b.blockFormat().intProperty(kIndentProperty + k);
            setIndents(paragraph, twips);
            if (first)
                to.setBlockFormat(paragraph);
            else
                to.insertBlock(paragraph);
            first = false;
            if (const QTextList *list = b.textList()) {
                const QTextListFormat::Style style = list->format().style();
                const bool bullet = style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
                                    || style == QTextListFormat::ListSquare;
                to.insertText((bullet ? QString::fromUtf8("•") : list->itemText(b)) + u' ');
            }
        }
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat f = fragment.charFormat();
            QTextCharFormat kept;
            const QStringList families = f.fontFamilies().toStringList();
            if (!families.isEmpty())
                kept.setFontFamilies({families.first()});
            if (f.hasProperty(QTextFormat::FontPointSize))
                kept.setFontPointSize(f.fontPointSize());
            else if (f.hasProperty(QTextFormat::FontSizeAdjustment)) // headings
                kept.setFontPointSize(qRound(basePt * std::pow(1.2, f.intProperty(QTextFormat::FontSizeAdjustment))));
            if (f.hasProperty(QTextFormat::FontWeight))
                kept.setFontWeight(f.fontWeight() >= QFont::DemiBold ? QFont::Bold : QFont::Normal);
            if (f.hasProperty(QTextFormat::FontItalic))
                kept.setFontItalic(f.fontItalic());
            if (f.hasProperty(QTextFormat::TextUnderlineStyle) || f.hasProperty(QTextFormat::FontUnderline))
                kept.setFontUnderline(f.fontUnderline());
            if (f.hasProperty(QTextFormat::ForegroundBrush))
                kept.setForeground(f.foreground().color());
            if (f.isAnchor() || !f.anchorHref().isEmpty())
                drop("liens");
            QString text = fragment.text();
            if (text.contains(QChar::ObjectReplacementCharacter)) {
                drop("images");
                text.remove(QChar::ObjectReplacementCharacter);
            }
            to.insertText(text, kept);
        }
    }
    // Said in one order, whatever came first.
    QStringList ordered;
    for (const char *what : {"tableaux", "liens", "images"})
        if (dropped.contains(QString::fromUtf8(what)))
            ordered << QString::fromUtf8(what);
    return ordered;
}

qint64 FTextLength(const QByteArray &rtf)
{
    if (!rtf.startsWith("{\\rtf"))
        return rtf.size();
    qint64 length = 0;
    bool lastIsBreak = false; // the last paragraph's mark ends the text, it joins none
    int depth = 0, skipFrom = -1; // skipping a destination opened at that depth
    const char *p = rtf.constData(), *end = p + rtf.size();
    while (p < end) {
        const char c = *p++;
        if (c == '{') {
            ++depth;
            if (skipFrom < 0 && p < end && *p == '\\') {
                static const char *const kSkipped[] = {"\\*", "\\fonttbl", "\\colortbl", "\\stylesheet", "\\info", "\\pict", "\\header", "\\footer"};
                for (const char *k : kSkipped)
                    if (qstrncmp(p, k, qstrlen(k)) == 0)
                        skipFrom = depth;
            }
        } else if (c == '}') {
            if (depth == skipFrom)
                skipFrom = -1;
            --depth;
        } else if (c == '\\') {
            if (p >= end)
                break;
            const char w = *p;
            if ((w >= 'a' && w <= 'z') || (w >= 'A' && w <= 'Z')) {
                const char *word = p;
                while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
                    ++p;
                const QByteArrayView name(word, p - word);
                while (p < end && (*p == '-' || (*p >= '0' && *p <= '9')))
                    ++p;
                if (p < end && *p == ' ')
                    ++p;
                if (skipFrom < 0 && (name == "par" || name == "line" || name == "tab")) {
                    ++length;
                    lastIsBreak = name == "par";
                }
            } else if (w == '\'') {
                p = qMin(end, p + 3);
                if (skipFrom < 0) {
                    ++length;
                    lastIsBreak = false;
                }
            } else {
                ++p;
                if (skipFrom < 0 && (w == '\\' || w == '{' || w == '}' || w == '~')) {
                    ++length;
                    lastIsBreak = false;
                }
            }
        } else if (c != '\r' && c != '\n' && skipFrom < 0 && depth > 0) {
            ++length;
            lastIsBreak = false;
        }
    }
    return lastIsBreak ? length - 1 : length;
}

} // namespace RtfText
