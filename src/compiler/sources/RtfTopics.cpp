// Topic files (RTF) read into the help document's topics.
#include "compiler/sources/RtfTopics.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/sources/RtfTokenizer.h"

#include <QHash>
#include <QMap>
#include <vector>

namespace Hlp {

namespace {

enum class Dest { Text, FontTable, ColourTable, Footnote, Hidden, Picture, Skip };

struct State {
    int font = 0;
    int halfPoints = 24;
    bool bold = false, italic = false, underline = false, doubleUnderline = false, hidden = false;
    int colour = 0;
    Dest dest = Dest::Text;
    TParagraphFormat para;
    bool keepn = false;
    bool inTable = false; // \intbl: the paragraph is a table row's
    int shift = 0;        // \super, \sub, \up, \dn: text off the base line
    bool smaller = false; // \super, \sub: drawn smaller too (\upN, \dnN keep their size)
    int uc = 1;           // \ucN: the bytes that stand for a \uN character after it
};

bool skipped(const QByteArray &w)
{
    static const QByteArray words[] = {"stylesheet", "info", "objdata", "objclass", "header", "footer", "headerl", "headerr",
                                       "footerl", "footerr", "fldinst", "listtable", "listoverridetable",
                                       "revtbl", "rsidtbl", "generator", "themedata", "colorschememapping",
                                       "datastore", "latentstyles", "xmlnstbl", "annotation", "falt", "xe", "tc",
                                       "template", "pgdsctbl", "comment", "ftnsep", "ftnsepc", "ftncn", "aftnsep", "aftnsepc",
                                       "aftncn", "atnid", "atnauthor", "atndate", "atnref", "bkmkstart", "bkmkend", "private",
                                       "userprops", "docvar", "filetbl", "listtables", "pnseclvl", "xmlnstbl", "mmathPr",
                                       "fchars", "lchars", "revtim", "creatim", "printim", "buptim", "operator", "company",
                                       "title", "subject", "keywords", "doccomm", "hlinkbase", "category", "manager"};
    for (const QByteArray &x : words)
        if (w == x)
            return true;
    return false;
}

class Reader {
public:
    Reader(const QByteArray &rtf, QList<TPictureSource> *pictures, int codePage)
        : m_tokens(rtf), m_pictures(pictures), m_target(codePage), m_documentPage(codePage)
    {
    }
    TTopicFileRead run();

private:
    State &st() { return m_stack.back(); }
    void word(const QByteArray &w, bool hasParam, int param);
    // A byte of the text as the RTF gives it, in the code page of its
    // font (or of the document): written in the help's code page.
    void textByte(unsigned char b);
    // A character of the text (\uN, typographic words).
    void textChar(QChar c);
    // A byte already in the help's code page; of the text, a byte of its
    // UTF-8 (see putLetters).
    void put(unsigned char b);
    // Letters of the text (not hidden): held in UTF-8 until their run ends,
    // so that every letter stays, whatever the help's code page.
    void putLetters(const QString &letters);
    // The bytes of a command written in the text ({bmc name}, {button
    // label,macro}) in the help's code page, as file names and macros are.
    QByteArray inHelpPage(const QByteArray &utf8) { return m_target.encode(QString::fromUtf8(utf8), &m_lost); }
    // The code page the current text's bytes are in (0: a symbol font).
    int sourcePage() const;
    // sourcePage's answer for the font it was last asked about (asked at
    // every byte of text); forgotten when a font's character set or the
    // document's code page is read.
    mutable int m_pageOfFont = -1, m_pageFont = -1;
    void flushText();
    // Text that began a command ("{", "{bmc fi") in an earlier run, added
    // as plain text when no command follows.
    void emitCarry();
    void endHidden();
    void endParagraph();
    void endTopic();
    void endRow();
    // A finished paragraph or table row into the topic's regions.
    void place(const TParagraph &paragraph, bool keepn);
    void commitFootnote();
    void pictureWord(const QByteArray &w, int param);
    void endPicture();
    // The number of a picture among the project's, added if new.
    quint16 pictureNumber(const TPictureSource &source);
    TCharFormat charFormat() const;
    TCharFormat charFormatOf(const State &s) const;
    // An item of the paragraph with its hotspot mark (see m_marks).
    void addItem(const TInline &item, int mark = 0);
    void addText(const QByteArray &text, const TCharFormat &f, int mark);
    // A warning naming the topic (its place in the file) it arose in.
    void warn(const QString &text, int code = 4000)
    {
        m_out.warnings << QStringLiteral("page %1 : %2").arg(m_out.topics.size() + 1).arg(text);
        m_out.warningCodes << code;
    }

    RtfTokenizer m_tokens;
    QList<TPictureSource> *m_pictures;
    Platform::CodePage m_target;     // the help's code page
    int m_documentPage;              // \ansicpg, else the help's
    QHash<int, int> m_fontCharsets;  // font number -> \fcharset
    QHash<int, Platform::CodePage> m_sourcePages;
    int m_leadByte = -1;             // the first byte of a double-byte character
    QChar m_highSurrogate;           // the first half of a \uN pair
    int m_skip = 0;                  // fallback bytes of a \uN still to pass over
    QString m_lost;                  // characters the help's code page cannot hold, this page
    TTopicFileRead m_out;
    std::vector<State> m_stack{State{}};
    QMap<int, QPair<QByteArray, int>> m_fonts; // number -> face, family
    QList<QList<int>> m_colours;
    int m_fontNumber = -1, m_fontFamily = 3;
    QByteArray m_fontName;
    int m_red = 0, m_green = 0, m_blue = 0;

    TSourceTopic m_topic;
    TParagraph m_para;
    QList<int> m_marks;        // per item: 0 none, 1 pop-up (\ul), 2 jump (\uldb, \strike)
    QByteArray m_pending;      // text not yet added
    State m_pendingState;
    // A command split over runs ({\f4 \{}{\f4 bmc a.bmp}{\f4 \}}), so far.
    QByteArray m_carry;
    TCharFormat m_carryFormat;
    int m_carryMark = 0;
    QByteArray m_hidden;
    // The table row being read: its cells' paragraphs so far, the cell the
    // text is in, the row's geometry (twips).
    std::shared_ptr<TTableRow> m_row;
    int m_cell = 0;
    bool m_rowKeepn = false;
    QList<int> m_cellx;
    int m_rowGap = 0;
    bool m_tableWarned = false; // once per topic
    int m_flattened = 0, m_extraCloses = 0;
    int m_rowLeft = 0;
    QByteArray m_footnote;
    bool m_footnoteLoneMark = false; // the footnote's first character closed a group
    bool m_afterFootnote = false;    // a footnote ended, no text since
    QByteArray m_unknownMarks; // footnote marks of the page the compiler does not know
    int m_footnoteDepth = -1;
    bool m_paraHasContent = false;
    bool m_paraKeepn = false;
    bool m_lateKeepnWarned = false; // once per topic
    // A picture being read ({\pict ...}), its group's depth, and the
    // high half of a byte written in hex.
    TRtfPicture m_pict;
    int m_pictDepth = -1, m_hexHigh = -1;
    bool m_starred = false, m_afterStar = false; // the last token was \*
    int m_shpDepth = -1;          // inside {\*\shppict ...}
    bool m_shpTaken = false;      // its picture was kept: the {\nonshppict} twin is not
    QByteArray m_binary;          // the data of the last \binN
    int m_objectDepth = -1;       // inside {\object ...}
    bool m_objectPicture = false; // a picture of its \result was kept
};

TCharFormat Reader::charFormat() const
{
    return charFormatOf(m_pendingState);
}

TCharFormat Reader::charFormatOf(const State &s) const
{
    TCharFormat f;
    const auto font = m_fonts.value(s.font, {QByteArray("Arial"), 3});
    f.face = font.first.isEmpty() ? QByteArray("Arial") : font.first;
    f.family = quint8(font.second);
    // Raised and lowered text has no place in a help file's fonts:
    // superscripts and subscripts are kept at two thirds of their size, as
    // word processors draw them; text moved by \upN or \dnN keeps its own.
    f.halfPoints = quint8(qBound(2, s.shift && s.smaller ? (s.halfPoints * 2 + 1) / 3 : s.halfPoints, 255));
    f.shift = qint8(s.shift);
    f.attributes = (s.bold ? FontBold : 0) | (s.italic ? FontItalic : 0) | (s.underline ? FontUnderline : 0);
    if (s.colour > 0 && s.colour < m_colours.size()) {
        f.colour[0] = quint8(m_colours[s.colour][0]);
        f.colour[1] = quint8(m_colours[s.colour][1]);
        f.colour[2] = quint8(m_colours[s.colour][2]);
    }
    return f;
}

void Reader::addItem(const TInline &item, int mark)
{
    m_para.items.append(item);
    m_marks.append(mark);
    m_paraHasContent = true;
}

void Reader::addText(const QByteArray &text, const TCharFormat &f, int mark)
{
    TInline item;
    item.text = QString::fromUtf8(text);
    item.format = f;
    addItem(item, mark);
}

namespace {

const char *const kCommandKinds[] = {"bm", "button", "ew", "mci"};

// Where the first command written in the text starts ("{bmc", "{button"...).
qsizetype nextCommand(const QByteArray &t)
{
    for (qsizetype at = t.indexOf('{'); at >= 0; at = t.indexOf('{', at + 1))
        for (const char *kind : kCommandKinds)
            if (t.mid(at + 1).startsWith(kind))
                return at;
    return -1;
}

// Where a command that the text begins but does not close starts ("{",
// "{bm", "{bmc a.bmp"), or -1.
qsizetype openCommand(const QByteArray &t)
{
    const qsizetype at = t.lastIndexOf('{');
    if (at < 0 || t.indexOf('}', at) >= 0 || t.size() - at > 512)
        return -1;
    const QByteArray rest = t.mid(at + 1);
    const qsizetype blank = rest.indexOf(' ');
    const QByteArray name = blank < 0 ? rest : rest.left(blank);
    for (const char *k : kCommandKinds) {
        const QByteArray kind(k);
        if (name.startsWith(kind) || (blank < 0 && kind.startsWith(name)))
            return at;
    }
    return -1;
}

} // namespace

void Reader::emitCarry()
{
    if (m_carry.isEmpty())
        return;
    addText(m_carry, m_carryFormat, m_carryMark);
    m_carry.clear();
}

void Reader::flushText()
{
    if (m_pending.isEmpty())
        return;
    const TCharFormat f = charFormat();
    const int mark = m_pendingState.doubleUnderline ? 2 : m_pendingState.underline ? 1 : 0;
    // Commands written in the text: bitmaps {bmc name}, {bml name},
    // {bmr name} (their transparent forms ending in 't' drawn plain),
    // buttons {button label,macro}; embedded windows and media are dropped.
    // Word often splits one over several runs: what an earlier run began is
    // joined to this one while it can still be a command.
    QByteArray text = m_pending;
    m_pending.clear();
    if (!m_carry.isEmpty()) {
        const QByteArray joined = m_carry + text;
        if (openCommand(joined) == 0) {
            m_carry = joined;
            return;
        }
        if (nextCommand(joined) == 0 && joined.indexOf('}') > 0) {
            m_carry.clear();
            text = joined;
        } else {
            emitCarry();
        }
    }
    const auto next = nextCommand;
    for (qsizetype at = next(text); at >= 0; at = next(text)) {
        const qsizetype close = text.indexOf('}', at);
        const qsizetype blank = text.indexOf(' ', at);
        if (close < 0 || blank < 0 || blank > close)
            break;
        const QByteArray command = text.mid(at + 1, blank - at - 1);
        const QByteArray argument = text.mid(blank + 1, close - blank - 1).trimmed();
        if (at > 0)
            addText(text.left(at), f, mark);
        text = text.mid(close + 1);
        if (command.startsWith("bm")) {
            const char side = command.size() > 2 ? command[2] : 'c';
            TInline picture;
            picture.kind = TInline::Picture;
            picture.placement = side == 'l' ? TInline::Left : side == 'r' ? TInline::Right : TInline::InLine;
            TPictureSource source;
            source.file = inHelpPage(argument);
            source.page = int(m_out.topics.size() + 1);
            picture.picture = pictureNumber(source);
            addItem(picture, mark); // a picture can be a hotspot
        } else if (command == "button") {
            // Drawn as a macro hotspot on its label.
            const qsizetype comma = argument.indexOf(',');
            QByteArray label = (comma < 0 ? argument : argument.left(comma)).trimmed();
            const QByteArray macro = comma < 0 ? QByteArray() : argument.mid(comma + 1).trimmed();
            TInline start, end;
            start.kind = TInline::HotspotStart;
            start.link = TInline::Macro;
            start.macro = inHelpPage(macro);
            end.kind = TInline::HotspotEnd;
            addItem(start);
            addText("[" + (label.isEmpty() ? QByteArray("\xc2\xbb") : label) + "]", f, 0); // "[»]"
            addItem(end);
            if (macro.isEmpty())
                warn(QStringLiteral("bouton sans macro : {button %1}").arg(QString::fromUtf8(argument)));
        } else {
            warn(QStringLiteral("élément non pris en charge ignoré : {%1 %2}").arg(QString::fromUtf8(command), QString::fromUtf8(argument)));
        }
    }
    // A command begun here and not closed yet waits for the next run.
    const qsizetype open = openCommand(text);
    if (open >= 0) {
        m_carry = text.mid(open);
        m_carryFormat = f;
        m_carryMark = mark;
        text.truncate(open);
    }
    if (!text.isEmpty())
        addText(text, f, mark);
}

quint16 Reader::pictureNumber(const TPictureSource &source)
{
    for (qsizetype i = 0; i < m_pictures->size(); ++i) {
        const TPictureSource &known = (*m_pictures)[i];
        if (source.file.isEmpty() ? known.file.isEmpty() && known.embedded == source.embedded
                                  : known.file.compare(source.file, Qt::CaseInsensitive) == 0)
            return quint16(i);
    }
    m_pictures->append(source);
    return quint16(m_pictures->size() - 1);
}

void Reader::pictureWord(const QByteArray &w, int param)
{
    TRtfPicture &p = m_pict;
    if (w == "wmetafile") { p.format = TRtfPicture::Wmf; p.mapMode = param; }
    else if (w == "dibitmap") p.format = TRtfPicture::Dib;
    else if (w == "wbitmap") p.format = TRtfPicture::Ddb;
    else if (w == "pngblip") p.format = TRtfPicture::Png;
    else if (w == "jpegblip") p.format = TRtfPicture::Jpeg;
    else if (w == "emfblip") p.format = TRtfPicture::Emf;
    else if (w == "macpict" || w == "pmmetafile") p.format = TRtfPicture::Unknown;
    // Sizes within what a picture can be (a metre in hundredths of a
    // millimetre, a million pixels a side), so that no product overflows.
    const int size = qBound(0, param, 1 << 20);
    if (w == "picw") p.picw = size;
    else if (w == "pich") p.pich = size;
    else if (w == "picwgoal") p.goalw = size;
    else if (w == "pichgoal") p.goalh = size;
    else if (w == "picscalex") p.scalex = qBound(1, param, 10000);
    else if (w == "picscaley") p.scaley = qBound(1, param, 10000);
    else if (w == "wbmbitspixel") p.bitsPixel = qBound(1, param, 32);
    else if (w == "wbmplanes") p.planes = qBound(1, param, 4);
    else if (w == "wbmwidthbytes") p.widthBytes = size;
}

void Reader::endPicture()
{
    m_pictDepth = -1;
    const bool alternative = m_shpDepth > 0; // {\nonshppict} may follow
    const bool kept = m_pict.format != TRtfPicture::Unknown && m_pict.format != TRtfPicture::Emf && !m_pict.data.isEmpty();
    if (!kept) {
        if (!alternative)
            warn(m_pict.data.isEmpty() ? QStringLiteral("image vide ignorée.")
                                       : QString::fromUtf8("image intégrée d'un format sans équivalent dans un fichier d'aide (EMF, PICT...), ignorée."),
                 4115);
        return;
    }
    m_shpTaken = alternative;
    if (m_objectDepth > 0)
        m_objectPicture = true;
    TPictureSource source;
    source.embedded = m_pict;
    source.page = int(m_out.topics.size() + 1);
    m_pict = TRtfPicture();
    TInline picture;
    picture.kind = TInline::Picture;
    picture.picture = pictureNumber(source);
    const State &s = st();
    if (!m_paraHasContent)
        m_paraKeepn = s.keepn;
    addItem(picture, s.doubleUnderline ? 2 : s.underline ? 1 : 0);
}

void Reader::endHidden()
{
    QByteArray target = m_hidden.trimmed();
    m_hidden.clear();
    if (target.isEmpty())
        return;
    // The marked text just before the hidden target is the hotspot.
    qsizetype first = m_para.items.size();
    int kind = 0;
    while (first > 0 && m_marks[first - 1] != 0) {
        kind = m_marks[first - 1];
        --first;
    }
    if (first == m_para.items.size()) {
        warn(QStringLiteral("texte caché sans point chaud : %1").arg(QString::fromLatin1(target)));
        return;
    }
    for (qsizetype i = first; i < m_para.items.size(); ++i) {
        m_para.items[i].format.attributes &= quint8(~FontUnderline);
        m_marks[i] = 0;
    }
    TInline start;
    start.kind = TInline::HotspotStart;
    // "%" keeps the text as it is (no colour, no underline); "*" keeps the
    // colour only, which the help file cannot express.
    const bool plain = target.startsWith('%');
    if (plain || target.startsWith('*'))
        target = target.mid(1).trimmed();
    if (target.startsWith('!')) {
        start.link = TInline::Macro;
        start.plain = plain;
        start.macro = target.mid(1).trimmed();
        if (start.macro.isEmpty())
            warn(QStringLiteral("macro vide dans un point chaud."));
    } else {
        // "context", "context>window", "context@file", in either order.
        const auto cut = [&target](char mark) {
            const qsizetype at = target.indexOf(mark);
            if (at < 0)
                return QByteArray();
            qsizetype end = target.indexOf(mark == '>' ? '@' : '>', at);
            if (end < 0)
                end = target.size();
            return target.mid(at + 1, end - at - 1).trimmed();
        };
        start.window = cut('>');
        start.file = cut('@');
        qsizetype end = target.size();
        for (char mark : {'>', '@'})
            if (target.indexOf(mark) >= 0)
                end = qMin(end, target.indexOf(mark));
        start.context = normalizeContext(target.left(end));
        start.link = kind == 2 ? TInline::Jump : TInline::Popup;
        start.plain = plain;
        if (start.context.isEmpty())
            warn(QStringLiteral("point chaud sans chaîne de contexte : %1").arg(QString::fromLatin1(target)));
    }
    m_para.items.insert(first, start);
    m_marks.insert(first, 0);
    TInline end;
    end.kind = TInline::HotspotEnd;
    addItem(end);
}

void Reader::endParagraph()
{
    flushText();
    emitCarry();
    if (!m_hidden.isEmpty())
        endHidden();
    m_para.format = st().para;
    bool hasText = false, hasTab = false;
    for (const TInline &i : std::as_const(m_para.items)) {
        hasText = hasText || i.kind == TInline::Text;
        hasTab = hasTab || i.kind == TInline::Tab;
    }
    // A paragraph without text is as tall as its own font.
    if (!hasText)
        m_para.markFormat = charFormatOf(st());
    // A tab without stops goes to the stop the classic compiler stores
    // for it (a quarter inch), not to the viewer's own further one.
    if (hasTab && m_para.format.tabs.isEmpty())
        m_para.format.tabs.append(36);
    if (st().inTable) { // a paragraph of the current cell
        if (!m_row) {
            m_row = std::make_shared<TTableRow>();
            m_rowKeepn = m_paraKeepn;
        }
        m_row->paragraphs.append({m_cell, m_para});
    } else {
        place(m_para, m_paraKeepn);
    }
    m_para = TParagraph();
    m_marks.clear();
    m_paraHasContent = false;
    m_paraKeepn = st().keepn;
}

void Reader::place(const TParagraph &paragraph, bool keepn)
{
    // The non-scrolling region is the run of \keepn paragraphs that opens
    // the topic; a later one stays where it is.
    if (keepn && !m_topic.scrolling.isEmpty() && !m_lateKeepnWarned) {
        warn(QString::fromUtf8("paragraphe \\keepn après le texte qui défile : laissé à sa place "
                               "(la zone fixe ne compte que les paragraphes \\keepn du début de la page)."),
             3048);
        m_lateKeepnWarned = true;
    }
    (keepn && m_topic.scrolling.isEmpty() ? m_topic.nonScrolling : m_topic.scrolling).append(paragraph);
}

void Reader::endRow()
{
    if (m_paraHasContent || !m_pending.isEmpty() || !m_carry.isEmpty())
        endParagraph();
    const std::shared_ptr<TTableRow> row = std::exchange(m_row, nullptr);
    m_cell = 0;
    if (!row)
        return;
    row->cellx = m_cellx;
    row->gap = m_rowGap;
    row->left = m_rowLeft;
    int columns = 0;
    for (const auto &[cell, paragraph] : std::as_const(row->paragraphs))
        columns = qMax(columns, cell + 1);
    // A help file's table has 32 columns at most, each with its edge.
    if (columns <= 32 && columns <= row->cellx.size()) {
        row->cellx = row->cellx.first(columns);
        TParagraph paragraph;
        paragraph.table = row;
        place(paragraph, m_rowKeepn);
        return;
    }
    if (!m_tableWarned) {
        warn(QString::fromUtf8("tableau de plus de 32 colonnes ou sans bords de cellules : ses cellules sont écrites en paragraphes."), 4671);
        m_tableWarned = true;
    }
    for (const auto &[cell, paragraph] : std::as_const(row->paragraphs))
        place(paragraph, m_rowKeepn);
}

void Reader::endTopic()
{
    if (m_paraHasContent || !m_pending.isEmpty() || !m_carry.isEmpty())
        endParagraph();
    if (!m_lost.isEmpty()) {
        warn(QString::fromUtf8("caractère(s) que la page de code %1 du projet ne peut pas écrire, remplacé(s) par « ? » : %2")
                 .arg(m_target.number())
                 .arg(m_lost));
        m_lost.clear();
    }
    if (!m_unknownMarks.isEmpty()) {
        QStringList marks;
        for (const char c : std::as_const(m_unknownMarks))
            marks << QString::fromUtf8("« %1 »").arg(Platform::fromCp1252(QByteArray(1, c)));
        warn(QString::fromUtf8("marque(s) de note de bas de page inconnue(s) %1 : note(s) ignorée(s).").arg(marks.join(QStringLiteral(", "))));
        m_unknownMarks.clear();
    }
    endRow();
    m_tableWarned = false;
    if (!m_topic.isEmpty())
        m_out.topics.append(m_topic);
    m_topic = TSourceTopic();
    m_lateKeepnWarned = false;
}

void Reader::commitFootnote()
{
    QByteArray text = m_footnote.trimmed();
    m_footnote.clear();
    flushText();
    emitCarry();
    // The marks the compiler knows; index keywords in either case.
    const auto known = [](char c) { return c && QByteArrayView("#$KkA+!*>@").contains(c); };
    const auto sameMark = [](char a, char b) { return QChar::toUpper(uchar(a)) == QChar::toUpper(uchar(b)); };
    // The mark stands in the text just before the footnote (how Word and
    // the compiler's guide write it), in the footnote's text (as Word
    // repeats it there), or in both.
    TInline *last = !m_para.items.isEmpty() && m_para.items.last().kind == TInline::Text ? &m_para.items.last() : nullptr;
    const char before = last && !last->text.isEmpty() && last->text.back().unicode() < 0x80 ? char(last->text.back().unicode()) : 0;
    const char inside = text.isEmpty() ? 0 : text[0];
    char mark = 0;
    bool markBefore = false;
    if (known(before)) {
        mark = before;
        markBefore = true;
        // The mark repeated in the text is left out: a sign at once, a
        // letter alone in its group or before a blank ("{K}Kernel",
        // "K Kernel", not "Kernel").
        const bool letter = QChar::isLetter(uchar(inside));
        if (inside && sameMark(inside, mark) && (!letter || m_footnoteLoneMark || text.size() == 1 || text[1] == ' '))
            text = text.mid(1);
    } else if (known(inside)) {
        mark = inside;
        text = text.mid(1);
    } else {
        // A mark the compiler does not know: said once for the page, the
        // note left out; a mark standing alone before it leaves the text.
        const char unknown = last && last->text.size() == 1 ? before : inside;
        if (unknown && !m_unknownMarks.contains(unknown))
            m_unknownMarks.append(unknown);
        if (last && last->text.size() == 1)
            markBefore = true;
    }
    if (markBefore) {
        last->text.chop(1);
        if (last->text.isEmpty()) {
            m_para.items.removeLast();
            m_marks.removeLast();
        }
        // Blanks before the marks (" #", as LibreOffice writes them) are
        // no more text than the marks.
        bool blanks = true;
        for (const TInline &i : std::as_const(m_para.items))
            blanks = blanks && i.kind == TInline::Text && i.text.trimmed().isEmpty();
        if (blanks) {
            m_para.items.clear();
            m_marks.clear();
        }
        m_paraHasContent = !m_para.items.isEmpty();
    }
    const QByteArray value = text.trimmed();
    m_afterFootnote = !m_paraHasContent;
    switch (mark) {
    case '#':
        if (!value.isEmpty())
            m_topic.contexts.append(value);
        break;
    case '$': m_topic.title = value; break;
    case 'K':
    case 'k':
    case 'A': // keywords of the index, and those only ALink macros look up
        for (const QByteArray &k : value.split(';'))
            if (!k.trimmed().isEmpty())
                (sameMark(mark, 'K') ? m_topic.keywords : m_topic.aKeywords).append(k.trimmed());
        break;
    case '+': m_topic.browse = value.isEmpty() ? QByteArray("auto") : value; break;
    case '!':
        for (const QByteArray &m : value.split(';'))
            if (!m.trimmed().isEmpty())
                m_topic.macros.append(m.trimmed());
        break;
    case '*':
        for (const QByteArray &tag : value.split(';'))
            if (!tag.trimmed().isEmpty())
                m_topic.buildTags.append(tag.trimmed().toUpper());
        break;
    case '>': m_topic.window = value; break;
    default: break; // @ comments
    }
}

int Reader::sourcePage() const
{
    const int font = m_stack.back().font;
    if (font == m_pageFont && font >= 0)
        return m_pageOfFont;
    int page = m_documentPage;
    if (const auto it = m_fontCharsets.constFind(font); it != m_fontCharsets.constEnd() && Platform::codePageOfCharset(*it) >= 0)
        page = Platform::codePageOfCharset(*it);
    m_pageFont = font;
    m_pageOfFont = page;
    return page;
}

void Reader::textByte(unsigned char b)
{
    const Dest dest = st().dest;
    const int page = dest == Dest::Text || dest == Dest::Footnote || dest == Dest::Hidden ? sourcePage() : 0;
    // The text keeps every letter (see putLetters); the footnotes and the
    // hidden text are written in the help's code page.
    const bool letters = dest == Dest::Text && !st().hidden;
    // A symbol font's byte is its glyph.
    if (page == 0) {
        m_leadByte = -1;
        return letters ? putLetters(QString(QChar(0xF000 | b))) : put(b);
    }
    // Plain ASCII, and outside the text bytes already in the help's page:
    // as they are.
    if ((b < 0x80 && m_leadByte < 0) || (!letters && page == m_target.number())) {
        m_leadByte = -1;
        return put(b);
    }
    auto it = m_sourcePages.find(page);
    if (it == m_sourcePages.end())
        it = m_sourcePages.insert(page, Platform::CodePage(page));
    QByteArray bytes(1, char(b));
    if (m_leadByte >= 0) {
        bytes.prepend(char(m_leadByte));
        m_leadByte = -1;
    } else if (it->isLeadByte(b)) {
        m_leadByte = b;
        return;
    }
    if (letters)
        return putLetters(it->decode(bytes));
    for (const char c : m_target.encode(it->decode(bytes), &m_lost))
        put(uchar(c));
}

void Reader::putLetters(const QString &letters)
{
    for (const char b : letters.toUtf8())
        put(uchar(b));
}

void Reader::textChar(QChar c)
{
    if (st().dest == Dest::Text && !st().hidden) {
        // Every letter as it is; a \uN pair (a letter beyond U+FFFF) whole.
        if (c.isHighSurrogate()) {
            m_highSurrogate = c;
            return;
        }
        const QString letters = c.isLowSurrogate() && !m_highSurrogate.isNull() ? QString(m_highSurrogate) + c : QString(c);
        m_highSurrogate = QChar();
        return putLetters(letters);
    }
    // A symbol font's glyph as Word writes it (U+F0xx): its byte.
    if (sourcePage() == 0 && c.unicode() >= 0xF000 && c.unicode() <= 0xF0FF)
        return put(uchar(c.unicode() & 0xFF));
    if (c.unicode() < 0x80)
        return put(uchar(c.unicode()));
    for (const char b : m_target.encode(QString(c), &m_lost))
        put(uchar(b));
}

void Reader::put(unsigned char b)
{
    State &s = st();
    switch (s.dest) {
    case Dest::Skip: return;
    case Dest::FontTable:
        if (b == ';') {
            if (m_fontNumber >= 0)
                m_fonts.insert(m_fontNumber, {m_fontName.trimmed(), m_fontFamily});
            m_fontNumber = -1;
            m_fontName.clear();
        } else {
            m_fontName.append(char(b));
        }
        return;
    case Dest::ColourTable:
        if (b == ';') {
            m_colours.append({m_red, m_green, m_blue});
            m_red = m_green = m_blue = 0;
        }
        return;
    case Dest::Footnote: m_footnote.append(char(b)); return;
    case Dest::Hidden: m_hidden.append(char(b)); return;
    case Dest::Picture: {
        const int v = b >= '0' && b <= '9' ? b - '0' : b >= 'a' && b <= 'f' ? b - 'a' + 10 : b >= 'A' && b <= 'F' ? b - 'A' + 10 : -1;
        if (v < 0)
            return;
        if (m_hexHigh < 0) {
            m_hexHigh = v;
        } else {
            m_pict.data.append(char(m_hexHigh * 16 + v));
            m_hexHigh = -1;
        }
        return;
    }
    case Dest::Text: break;
    }
    m_shpTaken = false;
    if (s.hidden) {
        flushText();
        emitCarry();
        m_hidden.append(char(b));
        return;
    }
    if (!m_hidden.isEmpty())
        endHidden();
    // Blanks between the footnotes and a page's first words are not text
    // (they would indent the title).
    if (m_afterFootnote && !m_paraHasContent && m_pending.isEmpty() && (b == ' ' || b == '\t'))
        return;
    m_afterFootnote = false;
    const bool same = m_pendingState.font == s.font && m_pendingState.halfPoints == s.halfPoints
                      && m_pendingState.bold == s.bold && m_pendingState.italic == s.italic
                      && m_pendingState.underline == s.underline && m_pendingState.doubleUnderline == s.doubleUnderline
                      && m_pendingState.colour == s.colour && m_pendingState.shift == s.shift
                      && m_pendingState.smaller == s.smaller;
    if (!same)
        flushText();
    if (m_pending.isEmpty())
        m_pendingState = s;
    m_pending.append(char(b));
    if (!m_paraHasContent)
        m_paraKeepn = s.keepn;
    m_paraHasContent = true;
}

void Reader::word(const QByteArray &w, bool hasParam, int param)
{
    State &s = st();
    // No measure of a document comes near this: what is beyond is a
    // mistake or a trap, and would overflow the sums made with it.
    param = qBound(-(1 << 26), param, 1 << 26);
    if (w == "fonttbl") { s.dest = Dest::FontTable; return; }
    if (w == "colortbl") { s.dest = Dest::ColourTable; return; }
    // A footnote outside the groups a reader skips; LibreOffice writes
    // it as a starred group ({\*\footnote ...}).
    const bool skippedOutside = m_afterStar ? m_stack.size() >= 2 && m_stack[m_stack.size() - 2].dest == Dest::Skip
                                            : s.dest == Dest::Skip;
    if (w == "footnote" && !skippedOutside) { s.dest = Dest::Footnote; m_footnote.clear(); m_footnoteLoneMark = false; m_footnoteDepth = int(m_stack.size()); return; }
    if (skipped(w)) { s.dest = Dest::Skip; return; }
    // {\*\shppict {\pict ...}}: a picture a reader may take, and
    // {\nonshppict {\pict ...}} its twin for readers that do not; one of
    // the two is kept.
    if (w == "shppict" && m_afterStar && s.dest == Dest::Skip && m_stack.size() >= 2
        && m_stack[m_stack.size() - 2].dest == Dest::Text) {
        s.dest = Dest::Text;
        m_shpDepth = int(m_stack.size());
        m_shpTaken = false;
        return;
    }
    if (s.dest == Dest::Skip)
        return;
    if (s.dest == Dest::Picture) {
        if (w == "bin")
            m_pict.data += m_binary;
        else
            pictureWord(w, param);
        return;
    }
    if (w == "nonshppict") {
        if (m_shpTaken)
            s.dest = Dest::Skip;
        return;
    }
    if (s.dest == Dest::Text && w == "pict") {
        flushText();
        emitCarry();
        s.dest = Dest::Picture;
        m_pict = TRtfPicture();
        m_pictDepth = int(m_stack.size());
        m_hexHigh = -1;
        return;
    }
    // An OLE object is shown by the picture of its \result.
    if (s.dest == Dest::Text && w == "object") {
        m_objectDepth = int(m_stack.size());
        m_objectPicture = false;
        return;
    }
    // Typographic characters written as words.
    static const struct {
        const char *word;
        char16_t character;
    } characters[] = {{"endash", 0x2013}, {"emdash", 0x2014}, {"bullet", 0x2022}, {"lquote", 0x2018},
                      {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}};
    const bool inText = s.dest == Dest::Text || s.dest == Dest::Footnote || s.dest == Dest::Hidden;
    for (const auto &c : characters)
        if (w == c.word && inText) {
            textChar(QChar(c.character));
            return;
        }
    // A character by its Unicode number; the \ucN bytes after it stand
    // for it in readers without Unicode, and are passed over.
    if (w == "u" && hasParam) {
        if (inText)
            textChar(QChar(char16_t(param < 0 ? param + 65536 : param)));
        m_skip = s.uc;
        return;
    }
    if (w == "uc") { s.uc = qBound(0, param, 8); return; }
    if (w == "ansicpg" && hasParam && param > 0) {
        // The document's code page, where the system has it.
        if (Platform::CodePage(param).number() == param) {
            m_documentPage = param;
            m_pageFont = -1;
        }
        return;
    }
    if (s.dest == Dest::FontTable) {
        if (w == "f") { m_fontNumber = param; m_fontName.clear(); m_fontFamily = 3; }
        else if (w == "fcharset" && m_fontNumber >= 0) { m_fontCharsets.insert(m_fontNumber, param); m_pageFont = -1; }
        else if (w == "froman") m_fontFamily = 2;
        else if (w == "fswiss" || w == "fnil") m_fontFamily = 3;
        else if (w == "fmodern") m_fontFamily = 1;
        else if (w == "fscript") m_fontFamily = 4;
        else if (w == "fdecor") m_fontFamily = 5;
        return;
    }
    if (s.dest == Dest::ColourTable) {
        if (w == "red") m_red = param;
        else if (w == "green") m_green = param;
        else if (w == "blue") m_blue = param;
        return;
    }
    if (s.dest == Dest::Footnote) {
        if (w == "tab") m_footnote.append(' ');
        return;
    }
    const bool on = !hasParam || param != 0;
    const auto halfPts = [](int twips) { return qint16(qBound(-16384, (twips + (twips >= 0 ? 5 : -5)) / 10, 16383)); };
    if (w == "par") { endParagraph(); return; }
    if (w == "page") { endTopic(); return; }
    if (w == "trowd") { m_cellx.clear(); m_rowLeft = 0; m_rowGap = 0; return; }
    if (w == "trleft") { m_rowLeft = param; return; }
    if (w == "trgaph") { m_rowGap = param; return; }
    if (w == "cellx") {
        if (m_cellx.size() < 64)
            m_cellx.append(param);
        return;
    }
    if (w == "intbl") { s.inTable = true; return; }
    if (w == "row") { endRow(); return; }
    if (w == "cell") {
        if (!s.inTable) // a cell mark outside a table: a tab
            return word("tab", false, 0);
        // Every cell has a paragraph, even an empty one.
        bool cellStarted = false;
        if (m_row)
            for (const auto &[cell, paragraph] : std::as_const(m_row->paragraphs))
                cellStarted = cellStarted || cell == m_cell;
        if (m_paraHasContent || !m_pending.isEmpty() || !m_carry.isEmpty() || !cellStarted)
            endParagraph();
        ++m_cell;
        return;
    }
    if (w == "line" || w == "tab") {
        flushText();
        emitCarry();
        if (!m_hidden.isEmpty())
            endHidden();
        TInline item;
        item.kind = w == "line" ? TInline::LineBreak : TInline::Tab;
        addItem(item);
        return;
    }
    if (w == "v") {
        if (on) flushText();
        s.hidden = on; // the target ends with the next visible text
        return;
    }
    flushText();
    if (w == "plain") { s.font = 0; s.halfPoints = 24; s.bold = s.italic = s.underline = s.doubleUnderline = s.hidden = false; s.colour = 0; s.shift = 0; s.smaller = false; }
    else if (w == "super" || w == "up") { s.shift = on ? 1 : 0; s.smaller = on && w == "super"; }
    else if (w == "sub" || w == "dn") { s.shift = on ? -1 : 0; s.smaller = on && w == "sub"; }
    else if (w == "nosupersub") { s.shift = 0; s.smaller = false; }
    else if (w == "pard") { s.para = TParagraphFormat(); s.keepn = false; s.inTable = false; }
    else if (w == "f") s.font = param;
    else if (w == "fs") s.halfPoints = hasParam && param > 0 ? param : 24;
    else if (w == "b") s.bold = on;
    else if (w == "i") s.italic = on;
    else if (w == "ul" || w == "uld" || w == "ulw" || w == "uldash" || w == "ulth") s.underline = on;
    else if (w == "uldb" || w == "strike") s.doubleUnderline = on;
    else if (w == "ulnone") s.underline = s.doubleUnderline = false;
    else if (w == "cf") s.colour = qMax(0, param);
    else if (w == "qc") s.para.align = TParagraphFormat::Centre;
    else if (w == "qr") s.para.align = TParagraphFormat::Right;
    else if (w == "ql" || w == "qj") s.para.align = TParagraphFormat::Left;
    else if (w == "li") s.para.leftIndent = halfPts(param);
    else if (w == "ri") s.para.rightIndent = halfPts(param);
    else if (w == "fi") s.para.firstIndent = halfPts(param);
    else if (w == "sb") s.para.spaceBefore = halfPts(param);
    else if (w == "sa") s.para.spaceAfter = halfPts(param);
    else if (w == "sl") s.para.lineSpacing = halfPts(qAbs(param));
    else if (w == "tx") { if (s.para.tabs.size() < 32) s.para.tabs.append(quint16(qBound(0, halfPts(param), 0x3FFF))); }
    else if (w == "keepn") { s.keepn = true; if (!m_paraHasContent) m_paraKeepn = true; }
    else if (w == "keep") s.para.keepTogether = true;
    // Paragraph borders: the sides, then their style and width.
    else if (w == "box") s.para.borders |= BorderBox;
    else if (w == "brdrt") s.para.borders |= BorderTop;
    else if (w == "brdrl") s.para.borders |= BorderLeft;
    else if (w == "brdrb") s.para.borders |= BorderBottom;
    else if (w == "brdrr") s.para.borders |= BorderRight;
    else if (w == "brdrth" && s.para.borders) s.para.borders |= BorderThick;
    else if (w == "brdrdb" && s.para.borders) s.para.borders |= BorderDouble;
}

TTopicFileRead Reader::run()
{
    for (RtfTokenizer::Token t = m_tokens.next(); t.kind != RtfTokenizer::End; t = m_tokens.next()) {
        m_afterStar = std::exchange(m_starred, false);
        switch (t.kind) {
        case RtfTokenizer::GroupOpen:
            m_skip = 0;
            if (m_stack.size() < 4096) {
                flushText();
                m_stack.push_back(m_stack.back());
            } else {
                ++m_flattened; // nesting this deep is read flat
            }
            break;
        case RtfTokenizer::GroupClose:
            m_skip = 0;
            if (m_flattened > 0) {
                --m_flattened;
            } else if (m_stack.size() <= 1) {
                ++m_extraCloses;
            } else {
                const State closing = m_stack.back();
                if (closing.dest == Dest::Text)
                    flushText();
                if (closing.dest == Dest::FontTable && m_fontNumber >= 0 && !m_fontName.isEmpty()) {
                    m_fonts.insert(m_fontNumber, {m_fontName.trimmed(), m_fontFamily});
                    m_fontNumber = -1;
                }
                const bool footnoteEnds = closing.dest == Dest::Footnote && int(m_stack.size()) == m_footnoteDepth;
                // "{\footnote {K}Kernel}": the mark in a group of its own.
                if (closing.dest == Dest::Footnote && int(m_stack.size()) > m_footnoteDepth && m_footnote.trimmed().size() == 1)
                    m_footnoteLoneMark = true;
                if (int(m_stack.size()) == m_pictDepth)
                    endPicture();
                if (int(m_stack.size()) == m_shpDepth)
                    m_shpDepth = -1;
                if (int(m_stack.size()) == m_objectDepth) {
                    m_objectDepth = -1;
                    if (!m_objectPicture)
                        warn(QString::fromUtf8("objet OLE sans image de résultat, ignoré."), 4115);
                }
                m_stack.pop_back();
                if (footnoteEnds) {
                    m_footnoteDepth = -1;
                    commitFootnote();
                }
            }
            break;
        case RtfTokenizer::Word:
            if (t.word == "bin")
                m_binary = t.binary;
            if (t.word != "bin" || st().dest == Dest::Picture)
                word(t.word, t.hasParam, t.param);
            break;
        case RtfTokenizer::HexByte:
            if (m_skip > 0)
                --m_skip;
            else
                textByte(t.byte);
            break;
        case RtfTokenizer::Symbol:
            if (t.symbol == '*') { // {\* ...}: a destination a reader may skip
                st().dest = Dest::Skip;
                m_starred = true;
            }
            else if (t.symbol == '\\' || t.symbol == '{' || t.symbol == '}')
                textByte(static_cast<unsigned char>(t.symbol));
            else if (t.symbol == '~' && st().dest == Dest::Text)
                textChar(QChar(0xA0));
            else if (t.symbol == '\'' )
                textByte('\''); // a lone \' is an apostrophe (context strings)
            else if ((t.symbol == '\r' || t.symbol == '\n') && st().dest == Dest::Text)
                endParagraph();
            break;
        case RtfTokenizer::Text:
            if (m_skip > 0)
                --m_skip;
            else if (t.byte >= 0x20 || t.byte == '\t')
                textByte(t.byte == '\t' ? ' ' : t.byte);
            break;
        case RtfTokenizer::End: break;
        }
    }
    endTopic();
    const qsizetype open = qsizetype(m_stack.size()) - 1 + m_flattened;
    if (open > 0 || m_extraCloses > 0)
        m_out.warnings << QStringLiteral("RTF mal formé : %1 groupe(s) non fermé(s), %2 accolade(s) fermante(s) en trop.")
                              .arg(open)
                              .arg(m_extraCloses);
    return m_out;
}

} // namespace

TTopicFileRead readTopicFile(const QByteArray &rtf, QList<TPictureSource> *pictures, int codePage)
{
    if (!rtf.trimmed().startsWith("{\\rtf")) {
        TTopicFileRead notRtf;
        notRtf.isRtf = false;
        return notRtf;
    }
    Reader reader(rtf, pictures, codePage);
    return reader.run();
}

} // namespace Hlp
