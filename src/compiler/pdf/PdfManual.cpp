// The help document as a printable manual: laid out with Pango, drawn
// with Cairo's PDF surface (structure tags, links, destinations, outline,
// page labels), then given its language and its figures' texts.
#define POINTERHOLDER_TRANSITION 4 // qpdf: its own smart pointers are std::shared_ptr
#include <cairo-pdf.h>
#include <cairo.h>
#include <hb.h>
#include <pango/pangocairo.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include "compiler/pdf/PdfManual.h"

#include "compiler/hlp/HlpPicture.h"
#include "compiler/web/HtmlWriter.h"
#include "platform/SafeFile.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QSet>

#include <langinfo.h>

#include <functional>
#include <memory>
#include <vector>

namespace Hlp {

namespace {

constexpr double kMargin = 56.69; // 2 cm
constexpr double kHeader = 16;    // the running header's band above the text, the page number's below
constexpr double kCellPadding = 3;
const QColor kLinkColour(0x00, 0x6e, 0x1e);

template <typename T>
using GPtr = std::shared_ptr<T>;

GPtr<PangoLayout> owned(PangoLayout *layout) { return GPtr<PangoLayout>(layout, g_object_unref); }

// The manual's own words (headings, contents, running header): the face
// most helps are written in, else the system's sans-serif.
PangoFontDescription *ownFont(double points, bool bold = false)
{
    PangoFontDescription *font = pango_font_description_new();
    pango_font_description_set_family(font, "Arial,Liberation Sans,sans-serif");
    pango_font_description_set_size(font, int(points * PANGO_SCALE));
    if (bold)
        pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    return font;
}

// A string value of a Cairo tag's attributes.
QByteArray tagValue(const QString &value)
{
    QByteArray out = value.toUtf8();
    out.replace('\\', "\\\\").replace('\'', "\\'");
    return '\'' + out + '\'';
}

QString roman(int n)
{
    static const std::pair<int, const char *> digits[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
                                                          {50, "l"},   {40, "xl"},  {10, "x"},  {9, "ix"},   {5, "v"},   {4, "iv"}, {1, "i"}};
    QString out;
    for (const auto &[value, letters] : digits)
        for (; n >= value; n -= value)
            out += QLatin1String(letters);
    return out;
}

// French typography: the space before : ; ! ? and » and after « does not
// break (a narrow one before ; ! ?). Same length: offsets stay.
void frenchSpacing(QString &text)
{
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k] != u' ')
            continue;
        const QChar next = k + 1 < text.size() ? text[k + 1] : QChar();
        const QChar previous = k > 0 ? text[k - 1] : QChar();
        if (next == u';' || next == u'!' || next == u'?')
            text[k] = QChar(0x202F);
        else if (next == u':' || next == QChar(0xBB) || previous == QChar(0xAB))
            text[k] = QChar(0xA0);
    }
}

// A picture as the manual draws it.
struct TPicture {
    QImage image; // the pixels Cairo reads (kept alive with the surface)
    std::shared_ptr<cairo_surface_t> surface;
    double width = 0, height = 0; // points
    QString alt;
};

// A span of a paragraph's text with one look and one link.
struct TRun {
    int from = 0; // UTF-8 offset
    QColor colour;
    bool underline = false;
    int link = -1;       // into TBlock::links
    int picture = -1;    // an inline picture (its U+FFFC)
};

struct TLine {
    double top = 0, height = 0, baseline = 0; // from the layout's top
};

// Where a block, or part of it, falls: a page (0 on), the height of its
// top on it, and the lines it holds there.
struct TPiece {
    int page = 0;
    double y = 0;
    int first = 0, last = 0;
};

struct TBlock {
    enum Kind { Text, Figure, Row, Break };
    Kind kind = Text;
    QByteArrayList open, close; // containers begun before it, ended after it (L, Table, TOC)
    QByteArray tag = "P";
    QByteArray dest;        // a destination at its top
    QString chapter;        // a chapter's heading: the running header's text from its page on
    double x = 0, width = 0; // from the text area's left edge
    double before = 0, after = 0;
    bool keepWithNext = false;
    quint8 borders = 0;
    double borderWidth = 0.6;
    // Text
    GPtr<PangoLayout> layout;
    QByteArray text;
    QByteArray drawn; // its text as drawn: tabs as spaces
    QList<TRun> runs;
    struct TLink {
        QByteArray attributes; // Cairo's
        bool plain = false;    // shown as the text around it
    };
    QList<TLink> links;
    int labelEnd = -1;       // a list item: its label's end (its first tab)
    QList<TLine> lines;
    // Figure: a picture standing in its line, on the left or the right
    int picture = -1;
    Qt::Alignment align = Qt::AlignLeft;
    // Row: its cells' paragraphs, each cell's left edge and width
    struct TCell {
        double x = 0, width = 0;
        std::vector<TBlock> blocks;
    };
    std::vector<TCell> cells;
    double height = 0; // Figure, Row; Text: its lines'
    QList<TPiece> pieces;
    // Drawn: what only drawing needed (the layout, its text) let go.
    void release()
    {
        layout.reset();
        text.clear();
        drawn.clear();
        runs.clear();
        lines.clear();
        for (TCell &cell : cells)
            for (TBlock &b : cell.blocks)
                b.release();
    }
};

class Manual {
public:
    Manual(const THelpDocument &project, const QSizeF &paper);
    ~Manual();
    QByteArray run(QString *error, QStringList *warnings);
    // Cairo's file with the document's language and the figures' texts.
    QByteArray withLanguageAndAlts(const QByteArray &bytes) const;

private:
    double textWidth() const { return m_paper.width() - 2 * kMargin; }
    double textTop() const { return kMargin + kHeader; }
    double textBottom() const { return m_paper.height() - kMargin - kHeader; }
    const TPicture *picture(int number);
    PangoFontDescription *fontOf(const TCharFormat &f) const;
    // The blocks of a paragraph (pictures on a side come before it).
    void addParagraph(std::vector<TBlock> &out, const TParagraph &p, int topic, double width);
    void addParagraphs(std::vector<TBlock> &out, const QList<TParagraph> &list, int topic, double width);
    TBlock plainBlock(const QString &text, double points, bool bold, const QByteArray &tag, double width);
    // Lays out `text` (its runs' positions rewritten from UTF-16 to UTF-8)
    // in `b.width`; `setUp` sets the paragraph's indents, alignment, stops.
    void layOut(TBlock &b, const QString &text, PangoAttrList *attributes, const std::function<void(PangoLayout *)> &setUp = {});
    // Pages: each block's pieces from `page` on; the next free page.
    int paginate(std::vector<TBlock> &blocks, int page);
    void draw(std::vector<TBlock> &blocks, int pageOffset);
    void drawBlock(TBlock &b, double left, double top, const TPiece &piece);
    void drawLines(TBlock &b, double left, double top, int first, int last);
    void drawPicture(const TPicture &pic, double x, double y);
    void startPage(int page);
    void endPage();
    // The manual's own lines with the language's spacing.
    QString spaced(const QString &text) const;

    const THelpDocument &m_p;
    QSizeF m_paper;
    TManualPlan m_plan;
    cairo_surface_t *m_surface = nullptr;
    cairo_t *m_cr = nullptr;
    PangoContext *m_context = nullptr;
    QHash<int, TPicture> m_pictures;
    QSet<int> m_headed; // topics with a heading (a destination)
    bool m_french = false;
    QStringList m_alts; // the figures' texts, in the order drawn
    QSet<char32_t> m_missing;
    // Pages: their labels and running headers; the one being drawn.
    QStringList m_labels, m_chapters;
    int m_page = -1;
    int m_front = 0; // pages before the first topic (cover and contents)
};

Manual::Manual(const THelpDocument &project, const QSizeF &paper) : m_p(project), m_paper(paper), m_plan(manualPlan(project))
{
    m_french = m_plan.language.startsWith(QLatin1String("fr"));
}

Manual::~Manual()
{
    if (m_context)
        g_object_unref(m_context);
    if (m_cr)
        cairo_destroy(m_cr);
    if (m_surface)
        cairo_surface_destroy(m_surface);
}

const TPicture *Manual::picture(int number)
{
    auto it = m_pictures.find(number);
    if (it != m_pictures.end())
        return it->surface ? &*it : nullptr;
    it = m_pictures.insert(number, {});
    const QByteArray original = m_p.pictureFiles.value(number);
    const QByteArray format = rasterFormat(original);
    QImage image = !format.isEmpty() ? QImage::fromData(original)
                   : number < m_p.pictureData.size() ? pictureImage(m_p.pictureData[number])
                                                     : QImage();
    if (image.isNull())
        return nullptr;
    // Its size at its resolution (a screen's when the file says none, or
    // one no screen or printer had: drawing tools leave odd values),
    // never wider than the text nor taller than the page.
    double dpi = image.dotsPerMeterX() * 0.0254;
    if (dpi < 48 || dpi > 300)
        dpi = 96;
    double width = image.width() * 72 / dpi, height = image.height() * 72 / dpi;
    const double scale = qMin(1.0, qMin(textWidth() / width, (textBottom() - textTop()) * 0.9 / height));
    it->width = width * scale;
    it->height = height * scale;
    const bool alpha = image.hasAlphaChannel();
    it->image = image.convertToFormat(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    cairo_surface_t *s = cairo_image_surface_create_for_data(it->image.bits(), alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24,
                                                             it->image.width(), it->image.height(), int(it->image.bytesPerLine()));
    // A photograph stays the JPEG the author gave; every other picture is
    // kept whole (Cairo compresses its pixels without loss).
    if (format == "jpeg") {
        auto *copy = new QByteArray(original);
        cairo_surface_set_mime_data(s, CAIRO_MIME_TYPE_JPEG, reinterpret_cast<const unsigned char *>(copy->constData()),
                                    ulong(copy->size()), [](void *data) { delete static_cast<QByteArray *>(data); }, copy);
    }
    it->surface.reset(s, cairo_surface_destroy);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) { // larger than Cairo draws (32,767 pixels)
        it->surface.reset();
        return nullptr;
    }
    const QString name = m_p.pictureNames.value(number);
    it->alt = name.isEmpty() ? QStringLiteral("image %1").arg(number + 1) : name;
    return &*it;
}

PangoFontDescription *Manual::fontOf(const TCharFormat &f) const
{
    PangoFontDescription *font = pango_font_description_new();
    const QString face = Platform::CodePage(m_p.codePage).decode(f.face);
    pango_font_description_set_family(font, fontFamilies(face, f.family).join(u',').toUtf8().constData());
    pango_font_description_set_size(font, int(qMax(2, int(f.halfPoints)) / 2.0 * (f.shift ? 0.7 : 1.0) * PANGO_SCALE));
    if (f.attributes & FontBold)
        pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    if (f.attributes & FontItalic)
        pango_font_description_set_style(font, PANGO_STYLE_ITALIC);
    return font;
}

void Manual::layOut(TBlock &b, const QString &text, PangoAttrList *attributes, const std::function<void(PangoLayout *)> &setUp)
{
    b.layout = owned(pango_layout_new(m_context));
    PangoLayout *l = b.layout.get();
    b.text = text.toUtf8();
    b.drawn = QByteArray(b.text).replace('\t', ' ');
    pango_layout_set_text(l, b.text.constData(), int(b.text.size()));
    pango_layout_set_attributes(l, attributes);
    pango_attr_list_unref(attributes);
    pango_layout_set_width(l, int(b.width * PANGO_SCALE));
    pango_layout_set_wrap(l, PANGO_WRAP_WORD_CHAR);
    if (setUp)
        setUp(l);
    PangoLayoutIter *it = pango_layout_get_iter(l);
    do {
        int y0 = 0, y1 = 0;
        pango_layout_iter_get_line_yrange(it, &y0, &y1);
        b.lines.append({double(y0) / PANGO_SCALE, double(y1 - y0) / PANGO_SCALE, double(pango_layout_iter_get_baseline(it)) / PANGO_SCALE});
    } while (pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    b.height = b.lines.isEmpty() ? 0 : b.lines.last().top + b.lines.last().height;
    // Letters no installed font draws: Pango gives them an unknown glyph
    // that carries the letter.
    if (pango_layout_get_unknown_glyphs_count(l) > 0)
        for (GSList *line = pango_layout_get_lines_readonly(l); line; line = line->next)
            for (GSList *r = static_cast<PangoLayoutLine *>(line->data)->runs; r; r = r->next) {
                const PangoGlyphString *glyphs = static_cast<PangoGlyphItem *>(r->data)->glyphs;
                for (int g = 0; g < glyphs->num_glyphs; ++g)
                    if (glyphs->glyphs[g].glyph & PANGO_GLYPH_UNKNOWN_FLAG) {
                        const char32_t c = glyphs->glyphs[g].glyph & ~PANGO_GLYPH_UNKNOWN_FLAG;
                        if (c > 0x20 && QChar::isPrint(c) && !isGlyph(QChar(c)))
                            m_missing.insert(c);
                    }
            }
}

// Offsets in UTF-8 of each UTF-16 position of `text` (one more at its end).
QList<int> utf8Offsets(const QString &text)
{
    QList<int> out;
    out.reserve(text.size() + 1);
    int at = 0;
    for (qsizetype k = 0; k < text.size(); ++k) {
        out << at;
        const char16_t c = text[k].unicode();
        at += c < 0x80 ? 1 : c < 0x800 ? 2 : QChar::isHighSurrogate(c) ? 4 : QChar::isLowSurrogate(c) ? 0 : 3;
    }
    return out << at;
}

TBlock Manual::plainBlock(const QString &text, double points, bool bold, const QByteArray &tag, double width)
{
    TBlock b;
    b.tag = tag;
    b.width = width;
    PangoAttrList *attributes = pango_attr_list_new();
    PangoFontDescription *font = ownFont(points, bold);
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(font));
    pango_attr_list_insert(attributes, pango_attr_font_features_new("liga 0, clig 0"));
    pango_font_description_free(font);
    b.runs.append(TRun());
    layOut(b, spaced(text), attributes);
    return b;
}

void Manual::addParagraphs(std::vector<TBlock> &out, const QList<TParagraph> &list, int topic, double width)
{
    const size_t start = out.size();
    for (const TParagraph &p : list)
        if (&p != m_plan.titleParagraphs.value(topic))
            addParagraph(out, p, topic, width);
    // Containers: a list around its items, a table around the rows that
    // follow each other.
    for (size_t k = start; k < out.size(); ++k) {
        TBlock &b = out[k];
        const bool item = b.kind == TBlock::Text && b.labelEnd >= 0;
        const QByteArray container = item ? "L" : b.kind == TBlock::Row ? "Table" : "";
        if (container.isEmpty())
            continue;
        const auto same = [&](size_t j) {
            return j < out.size() && j >= start && ((container == "L" && out[j].kind == TBlock::Text && out[j].labelEnd >= 0)
                                                    || (container == "Table" && out[j].kind == TBlock::Row));
        };
        if (k == start || !same(k - 1))
            b.open << container;
        if (!same(k + 1))
            b.close << container;
    }
}

void Manual::addParagraph(std::vector<TBlock> &out, const TParagraph &p, int topic, double width)
{
    if (p.table) {
        // A row: each cell's paragraphs beside the others, at the author's
        // edges (twips from the row's left), squeezed into the text's width.
        TBlock row;
        row.kind = TBlock::Row;
        row.tag = "TR";
        const QList<int> &edges = p.table->cellx;
        if (edges.isEmpty())
            return;
        const double left = qMax(0, p.table->left) / 20.0, right = edges.last() / 20.0;
        const double scale = right > 0 && right > width ? (width - left) / (right - left) : 1.0;
        double x = left;
        for (qsizetype c = 0; c < edges.size(); ++c) {
            TBlock::TCell cell;
            cell.x = x;
            cell.width = qMax(12.0, (edges[c] / 20.0 - (c ? edges[c - 1] / 20.0 : left)) * scale);
            x += cell.width;
            QList<TParagraph> paragraphs;
            for (const auto &[number, paragraph] : p.table->paragraphs)
                if (number == c)
                    paragraphs << paragraph;
            addParagraphs(cell.blocks, paragraphs, topic, cell.width - 2 * kCellPadding);
            double height = 2 * kCellPadding;
            for (const TBlock &b : cell.blocks)
                height += b.before + b.height + b.after;
            row.height = qMax(row.height, height);
            row.cells.push_back(std::move(cell));
        }
        // A row taller than a page is read as paragraphs: a page cannot hold it.
        if (row.height > (textBottom() - textTop()) * 0.9) {
            for (TBlock::TCell &cell : row.cells)
                for (TBlock &b : cell.blocks)
                    out.push_back(std::move(b));
            return;
        }
        out.push_back(std::move(row));
        return;
    }
    const TParagraphFormat &f = p.format;
    TBlock b;
    QString text;
    PangoAttrList *attributes = pango_attr_list_new();
    struct TSpan {
        int from, to;
        PangoAttribute *attribute;
    };
    QList<TSpan> spans; // UTF-16 positions until the text is whole
    int link = -1;
    TCharFormat format = p.markFormat.value_or(TCharFormat());
    for (const TInline &i : p.items) {
        const int from = int(text.size());
        switch (i.kind) {
        case TInline::Text: {
            text += shownLetters(m_p, i);
            format = i.format;
            TRun run{from, QColor(i.format.colour[0], i.format.colour[1], i.format.colour[2]), bool(i.format.attributes & FontUnderline), link};
            if (link >= 0 && run.colour == Qt::black && !b.links[link].plain)
                run.colour = kLinkColour;
            b.runs.append(run);
            PangoFontDescription *font = fontOf(i.format);
            spans.append({from, int(text.size()), pango_attr_font_desc_new(font)});
            pango_font_description_free(font);
            if (i.format.shift)
                spans.append({from, int(text.size()), pango_attr_rise_new(int(i.format.shift * i.format.halfPoints * PANGO_SCALE / 6))});
            break;
        }
        case TInline::LineBreak: text += QChar(0x2028); break;
        case TInline::Tab: text += u'\t'; break;
        case TInline::NbSpace: text += QChar(0xA0); break;
        case TInline::NbHyphen: text += QChar(0x2011); break;
        case TInline::HotspotStart: {
            // Where it leads in the manual; one that leads nowhere a reader
            // can follow stays text.
            const TManualLink target = m_plan.link(i, topic);
            QByteArray attributes;
            if (target.topic >= 0 && m_headed.contains(target.topic))
                attributes = "dest='t" + QByteArray::number(target.topic) + '\'';
            else if (!target.address.isEmpty())
                attributes = "uri=" + tagValue(target.address);
            b.links.append({attributes, i.plain});
            link = attributes.isEmpty() ? -1 : int(b.links.size() - 1);
            break;
        }
        case TInline::HotspotEnd: link = -1; break;
        case TInline::Picture: {
            const TPicture *pic = picture(i.picture);
            if (!pic) {
                text += QStringLiteral("[image]"); // as the web pages say a picture they cannot show
                break;
            }
            if (i.placement != TInline::InLine) {
                TBlock figure;
                figure.kind = TBlock::Figure;
                figure.tag = "Figure";
                figure.picture = i.picture;
                figure.height = pic->height;
                figure.width = width;
                figure.align = i.placement == TInline::Right ? Qt::AlignRight : Qt::AlignLeft;
                figure.after = 4;
                out.push_back(std::move(figure));
                break;
            }
            text += QChar(0xFFFC);
            b.runs.append({from, QColor(), false, link, i.picture});
            const PangoRectangle box{0, int(-pic->height * PANGO_SCALE), int(pic->width * PANGO_SCALE), int(pic->height * PANGO_SCALE)};
            spans.append({from, from + 1, pango_attr_shape_new(&box, &box)});
            break;
        }
        }
        // Every span its own run (a new look, a link's edge).
        if (i.kind != TInline::Text && i.kind != TInline::Picture && from < text.size() && (b.runs.isEmpty() || b.runs.last().from != from))
            b.runs.append({from, QColor(format.colour[0], format.colour[1], format.colour[2]), false, link});
    }
    if (m_french)
        frenchSpacing(text);
    const QList<int> at = utf8Offsets(text);
    for (TRun &r : b.runs)
        r.from = at[r.from];
    // No ligatures ("fi" as one glyph): a reader of the text or of its
    // structure would meet the ligature's letter, or lose what follows it.
    pango_attr_list_insert(attributes, pango_attr_font_features_new("liga 0, clig 0"));
    // The paragraph's own font for its empty lines and its marks.
    PangoFontDescription *markFont = fontOf(format);
    pango_attr_list_insert(attributes, pango_attr_font_desc_new(markFont));
    pango_font_description_free(markFont);
    for (TSpan &s : spans) {
        s.attribute->start_index = uint(at[s.from]);
        s.attribute->end_index = uint(at[s.to]);
        pango_attr_list_insert(attributes, s.attribute);
    }
    // A run per look: Pango splits its runs where a colour changes.
    for (qsizetype k = 0; k < b.runs.size(); ++k) {
        PangoAttribute *mark = pango_attr_foreground_alpha_new(quint16(0xFFFF - (k % 2)));
        mark->start_index = uint(b.runs[k].from);
        mark->end_index = uint(k + 1 < b.runs.size() ? b.runs[k + 1].from : at.last());
        pango_attr_list_insert(attributes, mark);
    }
    // Indents (a hanging one starts the first line left of the others:
    // Pango indents the lines after it), spacing, tab stops from the left
    // margin, borders.
    const double leftIndent = f.leftIndent / 2.0, firstIndent = f.firstIndent / 2.0, rightIndent = f.rightIndent / 2.0;
    const double origin = qBound(0.0, leftIndent + qMin(0.0, firstIndent), width - 24);
    b.x = origin;
    b.width = qMax(24.0, width - origin - qMax(0.0, rightIndent));
    b.before = f.spaceBefore / 2.0;
    b.after = f.spaceAfter / 2.0;
    b.borders = f.borders;
    b.borderWidth = f.borderWidth > 0 ? qBound(0.5, f.borderWidth / 2.0, 3.0) : (f.borders & BorderThick) ? 1.5 : 0.6;
    QList<double> stops;
    for (const quint16 tab : f.tabs)
        stops << (tab & 0x3FFF) / 2.0 - origin;
    if (firstIndent < 0 && leftIndent > 0)
        stops << leftIndent - origin;
    std::sort(stops.begin(), stops.end());
    stops.removeIf([](double s) { return s <= 0; });
    // Past the author's stops, one every half inch, as word processors do.
    for (double s = stops.isEmpty() ? 36 : stops.last() + 36; s < b.width; s += 36)
        stops << s;
    layOut(b, text, attributes, [&](PangoLayout *l) {
        pango_layout_set_indent(l, int(firstIndent * PANGO_SCALE));
        pango_layout_set_alignment(l, f.align == TParagraphFormat::Centre ? PANGO_ALIGN_CENTER
                                      : f.align == TParagraphFormat::Right ? PANGO_ALIGN_RIGHT
                                                                           : PANGO_ALIGN_LEFT);
        PangoTabArray *tabs = pango_tab_array_new(int(stops.size()), FALSE);
        for (qsizetype k = 0; k < stops.size(); ++k)
            pango_tab_array_set_tab(tabs, int(k), PANGO_TAB_LEFT, int(stops[k] * PANGO_SCALE));
        pango_layout_set_tabs(l, tabs);
        pango_tab_array_free(tabs);
    });
    // A list item: a bullet or a number before a tab, with a hanging indent.
    if (firstIndent < 0) {
        const qsizetype tab = text.indexOf(u'\t');
        if (tab > 0 && tab <= 4)
            b.labelEnd = at[tab + 1]; // the tab with the label
    }
    out.push_back(std::move(b));
}

int Manual::paginate(std::vector<TBlock> &blocks, int page)
{
    const double top = textTop(), bottom = textBottom();
    double y = top;
    const auto newPage = [&] {
        ++page;
        y = top;
    };
    for (size_t k = 0; k < blocks.size(); ++k) {
        TBlock &b = blocks[k];
        if (b.kind == TBlock::Break) {
            if (y > top)
                newPage();
            continue;
        }
        if (y > top)
            y += b.before;
        // A heading stays with the first lines of what follows it.
        double needed = b.kind == TBlock::Text ? (b.lines.isEmpty() ? 0 : b.lines.first().height) : b.height;
        if (b.keepWithNext) {
            needed = b.height;
            for (size_t j = k + 1; j < blocks.size() && j <= k + 2; ++j) {
                const TBlock &next = blocks[j];
                needed += next.before + (next.kind == TBlock::Text ? (next.lines.isEmpty() ? 0 : next.lines.first().height * qMin<qsizetype>(2, next.lines.size()))
                                                                     : next.height);
                if (!next.keepWithNext)
                    break;
            }
        }
        if (y > top && y + qMin(needed, bottom - top) > bottom)
            newPage();
        if (!b.chapter.isEmpty()) {
            while (m_chapters.size() <= page)
                m_chapters << QString();
            if (m_chapters[page].isEmpty())
                m_chapters[page] = b.chapter;
        }
        if (b.kind != TBlock::Text) {
            b.pieces = {{page, y, 0, 0}};
            y += b.height + b.after;
            continue;
        }
        // Lines, each where it fits.
        TPiece piece{page, y, 0, 0};
        double pieceTop = 0;
        for (qsizetype l = 0; l < b.lines.size(); ++l) {
            const TLine &line = b.lines[l];
            if (y + (line.top + line.height - pieceTop) > bottom && l > piece.first) {
                piece.last = int(l);
                b.pieces << piece;
                newPage();
                piece = {page, y, int(l), 0};
                pieceTop = line.top;
            }
        }
        piece.last = int(b.lines.size());
        b.pieces << piece;
        y = piece.y + (b.lines.isEmpty() ? 0 : b.lines.last().top + b.lines.last().height - pieceTop) + b.after;
    }
    return page + 1;
}

void Manual::startPage(int page)
{
    m_page = page;
    cairo_pdf_surface_set_page_label(m_surface, m_labels.value(page).toUtf8().constData());
}

void Manual::endPage()
{
    // The running header (the help's title, the chapter) and the page's
    // number: drawn as shapes, not text, so that a reader of the text or of
    // its structure does not meet them between two words of a paragraph.
    cairo_t *cr = m_cr;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.33, 0.33, 0.33);
    const auto shape = [&](const QString &text, double x, double y, bool right) {
        if (text.isEmpty())
            return;
        GPtr<PangoLayout> l = owned(pango_layout_new(m_context));
        PangoFontDescription *font = ownFont(8.5);
        pango_layout_set_font_description(l.get(), font);
        pango_font_description_free(font);
        const QByteArray utf8 = text.toUtf8();
        pango_layout_set_text(l.get(), utf8.constData(), int(utf8.size()));
        pango_layout_set_width(l.get(), int(textWidth() / 2 * PANGO_SCALE));
        pango_layout_set_ellipsize(l.get(), PANGO_ELLIPSIZE_END);
        pango_layout_set_alignment(l.get(), right ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_LEFT);
        cairo_move_to(cr, right ? x - textWidth() / 2 : x, y);
        pango_cairo_layout_path(cr, l.get());
        cairo_fill(cr);
    };
    const bool front = m_page < m_front;
    if (!front) {
        shape(m_plan.title, kMargin, kMargin, false);
        QString chapter;
        for (int p = m_page; p >= 0 && chapter.isEmpty(); --p)
            chapter = m_chapters.value(p);
        shape(chapter, m_paper.width() - kMargin, kMargin, true);
        cairo_set_line_width(cr, 0.4);
        cairo_move_to(cr, kMargin, kMargin + 12);
        cairo_line_to(cr, m_paper.width() - kMargin, kMargin + 12);
        cairo_stroke(cr);
    }
    if (m_page > 0)
        shape(m_labels.value(m_page), m_paper.width() - kMargin, m_paper.height() - kMargin - 10, true);
    cairo_restore(cr);
    cairo_show_page(cr);
}

void Manual::drawPicture(const TPicture &pic, double x, double y)
{
    cairo_save(m_cr);
    cairo_tag_begin(m_cr, "Figure", "");
    m_alts << pic.alt;
    cairo_translate(m_cr, x, y);
    cairo_scale(m_cr, pic.width / pic.image.width(), pic.height / pic.image.height());
    cairo_set_source_surface(m_cr, pic.surface.get(), 0, 0);
    // Its rectangle filled, not the page painted: Cairo's structure tags
    // take only drawings with bounds.
    cairo_rectangle(m_cr, 0, 0, pic.image.width(), pic.image.height());
    cairo_fill(m_cr);
    cairo_tag_end(m_cr, "Figure");
    cairo_restore(m_cr);
}

void Manual::drawLines(TBlock &b, double left, double top, int first, int last)
{
    cairo_t *cr = m_cr;
    PangoLayout *l = b.layout.get();
    const double origin = top - b.lines.value(first).top; // the layout's top on the page
    // Runs in the order drawn, each in its structure: a list item's label
    // and body, a link (one per line), and the text around links in spans
    // (a paragraph's own text beside a link would not be read).
    const bool spans = std::any_of(b.runs.cbegin(), b.runs.cend(), [](const TRun &r) { return r.link >= 0; });
    QByteArray part; // Lbl or LBody, open
    int openLink = -1;
    bool openSpan = false;
    const auto closeInner = [&] {
        if (openLink >= 0)
            cairo_tag_end(cr, CAIRO_TAG_LINK);
        if (openSpan)
            cairo_tag_end(cr, "Span");
        openLink = -1;
        openSpan = false;
    };
    PangoLayoutIter *it = pango_layout_get_iter(l);
    for (int k = 0; k < first; ++k)
        pango_layout_iter_next_line(it);
    for (int k = first; k < last; ++k) {
        PangoRectangle lineBox;
        pango_layout_iter_get_line_extents(it, nullptr, &lineBox);
        const double baseline = origin + double(pango_layout_iter_get_baseline(it)) / PANGO_SCALE;
        double x = left + double(lineBox.x) / PANGO_SCALE;
        PangoLayoutLine *line = pango_layout_iter_get_line_readonly(it);
        for (GSList *r = line->runs; r; r = r->next) {
            auto *run = static_cast<PangoGlyphItem *>(r->data);
            const double width = double(pango_glyph_string_get_width(run->glyphs)) / PANGO_SCALE;
            const int offset = run->item->offset;
            auto found = std::upper_bound(b.runs.cbegin(), b.runs.cend(), offset, [](int o, const TRun &t) { return o < t.from; });
            const TRun look = found == b.runs.cbegin() ? TRun() : *(found - 1);
            if (b.labelEnd >= 0) {
                const QByteArray wanted = offset < b.labelEnd ? "Lbl" : "LBody";
                if (wanted != part) {
                    closeInner();
                    if (!part.isEmpty())
                        cairo_tag_end(cr, part.constData());
                    part = wanted;
                    cairo_tag_begin(cr, part.constData(), "");
                }
            }
            if (look.link != openLink || (spans && look.link < 0 && !openSpan)) {
                closeInner();
                if (look.link >= 0) {
                    openLink = look.link;
                    cairo_tag_begin(cr, CAIRO_TAG_LINK, b.links[look.link].attributes.constData());
                } else if (spans) {
                    openSpan = true;
                    cairo_tag_begin(cr, "Span", "");
                }
            }
            const double y = baseline - double(run->y_offset) / PANGO_SCALE;
            if (look.picture >= 0) {
                if (const TPicture *pic = picture(look.picture))
                    drawPicture(*pic, x, y - pic->height);
            } else {
                const QColor colour = look.colour.isValid() ? look.colour : QColor(Qt::black);
                cairo_set_source_rgb(cr, colour.redF(), colour.greenF(), colour.blueF());
                cairo_move_to(cr, x, y);
                // Blanks Pango leaves without a glyph (a tab, the space that
                // ends a line) drawn as a space of their width: the text read
                // back keeps its word breaks, and Cairo writes no empty
                // replacement text, which ends the paragraph for readers of
                // its structure.
                PangoGlyphItem shown = *run;
                PangoGlyphString *copy = nullptr;
                for (int g = 0; g < run->glyphs->num_glyphs; ++g) {
                    if (run->glyphs->glyphs[g].glyph != PANGO_GLYPH_EMPTY)
                        continue;
                    const char c = b.text.at(offset + run->glyphs->log_clusters[g]);
                    hb_codepoint_t space = 0;
                    if ((c != ' ' && c != '\t')
                        || !hb_font_get_nominal_glyph(pango_font_get_hb_font(run->item->analysis.font), ' ', &space))
                        continue;
                    if (!copy)
                        copy = shown.glyphs = pango_glyph_string_copy(run->glyphs);
                    copy->glyphs[g].glyph = space;
                }
                pango_cairo_show_glyph_item(cr, b.drawn.constData(), &shown);
                if (copy)
                    pango_glyph_string_free(copy);
                if (look.underline) {
                    cairo_set_line_width(cr, 0.6);
                    cairo_move_to(cr, x, y + 1.6);
                    cairo_line_to(cr, x + width, y + 1.6);
                    cairo_stroke(cr);
                }
            }
            x += width;
        }
        // A link ends with its line: each line its own area.
        if (openLink >= 0)
            closeInner();
        pango_layout_iter_next_line(it);
    }
    pango_layout_iter_free(it);
    closeInner();
    if (!part.isEmpty())
        cairo_tag_end(cr, part.constData());
}

void Manual::drawBlock(TBlock &b, double left, double top, const TPiece &piece)
{
    cairo_t *cr = m_cr;
    const double x = left + b.x;
    if (b.kind == TBlock::Figure) {
        if (const TPicture *pic = picture(b.picture))
            drawPicture(*pic, b.align == Qt::AlignRight ? x + b.width - pic->width : x, top);
        return;
    }
    if (b.kind == TBlock::Row) {
        for (TBlock::TCell &cell : b.cells) {
            cairo_tag_begin(cr, "TD", "");
            double y = top + kCellPadding;
            for (TBlock &inner : cell.blocks) {
                y += inner.before;
                if (inner.kind == TBlock::Text)
                    cairo_tag_begin(cr, inner.tag.constData(), "");
                drawBlock(inner, left + cell.x + kCellPadding, y, {m_page, y, 0, int(inner.lines.size())});
                if (inner.kind == TBlock::Text)
                    cairo_tag_end(cr, inner.tag.constData());
                y += inner.height + inner.after;
            }
            cairo_tag_end(cr, "TD");
            cairo_save(cr);
            cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
            cairo_set_line_width(cr, 0.5);
            cairo_rectangle(cr, left + cell.x, top, cell.width, b.height);
            cairo_stroke(cr);
            cairo_restore(cr);
        }
        return;
    }
    drawLines(b, x, top, piece.first, piece.last);
    if (b.borders) {
        const double height = b.lines.isEmpty() ? 0 : b.lines[piece.last - 1].top + b.lines[piece.last - 1].height - b.lines[piece.first].top;
        const double x0 = x - 2, x1 = x + b.width + 2, y0 = top - 2, y1 = top + height + 2;
        // (A cell's paragraph has no pieces: it is drawn whole.)
        const bool firstPiece = b.pieces.isEmpty() || &piece == &b.pieces.first();
        const bool lastPiece = b.pieces.isEmpty() || &piece == &b.pieces.last();
        cairo_save(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        cairo_set_line_width(cr, b.borderWidth);
        const bool box = b.borders & BorderBox;
        if ((box || (b.borders & BorderTop)) && firstPiece)
            cairo_move_to(cr, x0, y0), cairo_line_to(cr, x1, y0);
        if ((box || (b.borders & BorderBottom)) && lastPiece)
            cairo_move_to(cr, x0, y1), cairo_line_to(cr, x1, y1);
        if (box || (b.borders & BorderLeft))
            cairo_move_to(cr, x0, y0), cairo_line_to(cr, x0, y1);
        if (box || (b.borders & BorderRight))
            cairo_move_to(cr, x1, y0), cairo_line_to(cr, x1, y1);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}

void Manual::draw(std::vector<TBlock> &blocks, int pageOffset)
{
    cairo_t *cr = m_cr;
    for (TBlock &b : blocks) {
        if (b.kind == TBlock::Break)
            continue;
        for (const QByteArray &container : std::as_const(b.open))
            cairo_tag_begin(cr, container.constData(), "");
        const bool item = b.labelEnd >= 0;
        const QByteArray tag = item ? QByteArray("LI") : b.tag;
        bool begun = false;
        for (const TPiece &piece : b.pieces) {
            while (m_page < piece.page + pageOffset) {
                if (m_page >= 0)
                    endPage();
                startPage(m_page + 1);
            }
            // The structure element opens on the page its first piece is on.
            if (!begun && b.kind != TBlock::Figure && !(b.kind == TBlock::Text && b.text.trimmed().isEmpty())) {
                cairo_tag_begin(cr, tag.constData(), "");
                begun = true;
            }
            if (!b.dest.isEmpty() && &piece == &b.pieces.first()) {
                cairo_tag_begin(cr, CAIRO_TAG_DEST, ("name='" + b.dest + "' x=" + QByteArray::number(kMargin) + " y=" + QByteArray::number(piece.y - 4)).constData());
                cairo_tag_end(cr, CAIRO_TAG_DEST);
            }
            drawBlock(b, kMargin, piece.y, piece);
        }
        if (begun)
            cairo_tag_end(cr, tag.constData());
        for (qsizetype k = b.close.size() - 1; k >= 0; --k)
            cairo_tag_end(cr, b.close[k].constData());
        b.release();
    }
}

QString Manual::spaced(const QString &text) const
{
    QString out = text;
    if (m_french)
        frenchSpacing(out);
    return out;
}

QByteArray Manual::run(QString *error, QStringList *warnings)
{
    // The page is measured in points: Pango's sizes are the author's.
    QByteArray bytes;
    m_surface = cairo_pdf_surface_create_for_stream(
        [](void *closure, const unsigned char *data, unsigned int length) {
            static_cast<QByteArray *>(closure)->append(reinterpret_cast<const char *>(data), qsizetype(length));
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes, m_paper.width(), m_paper.height());
    m_cr = cairo_create(m_surface);
    m_context = pango_cairo_create_context(m_cr);
    pango_cairo_context_set_resolution(m_context, 72);
    // Letters where their widths put them, not moved to whole points (which
    // spaces them unevenly, and makes Cairo write a shift for each one).
    pango_context_set_round_glyph_positions(m_context, FALSE);
    cairo_pdf_surface_set_metadata(m_surface, CAIRO_PDF_METADATA_TITLE, m_plan.title.toUtf8().constData());
    cairo_pdf_surface_set_metadata(m_surface, CAIRO_PDF_METADATA_CREATOR, "KivHelp");
    const double width = textWidth();
    // The topics, each under its heading.
    for (const TManualPlan::Entry &e : std::as_const(m_plan.entries))
        if (e.topic >= 0)
            m_headed.insert(e.topic);
    std::vector<TBlock> body;
    for (qsizetype i = 0; i < m_plan.entries.size(); ++i) {
        const TManualPlan::Entry &e = m_plan.entries[i];
        if (e.repeat)
            continue;
        if (e.chapter) {
            TBlock pageBreak;
            pageBreak.kind = TBlock::Break;
            body.push_back(std::move(pageBreak));
        }
        const int level = qBound(1, e.level, 6);
        TBlock heading = plainBlock(e.heading.isEmpty() ? e.text : e.heading, level == 1 ? 17 : level == 2 ? 14 : 12, true, "H" + QByteArray::number(level), width);
        heading.before = level == 1 ? 14 : 10;
        heading.after = level == 1 ? 8 : 5;
        heading.keepWithNext = true;
        heading.dest = e.topic >= 0 ? "t" + QByteArray::number(e.topic) : "e" + QByteArray::number(i);
        if (e.level <= m_plan.chapterLevel)
            heading.chapter = e.text;
        body.push_back(std::move(heading));
        if (e.topic >= 0) {
            const TSourceTopic &t = m_p.topics[e.topic];
            addParagraphs(body, t.nonScrolling, e.topic, width);
            addParagraphs(body, t.scrolling, e.topic, width);
        }
    }
    const int bodyPages = paginate(body, 0);
    // The cover and the contents, their pages numbered apart (i, ii...):
    // the topics' numbers do not move with them.
    std::vector<TBlock> front;
    QList<QByteArray> topicPages(m_p.topics.size());
    for (const TBlock &b : body)
        if (b.dest.startsWith('t') && !b.pieces.isEmpty())
            topicPages[b.dest.mid(1).toInt()] = QByteArray::number(b.pieces.first().page + 1);
    TBlock cover = plainBlock(m_plan.title, 24, true, "H1", width);
    cover.after = 18;
    front.push_back(std::move(cover));
    TBlock contents = plainBlock(m_plan.contents, 15, true, "H1", width);
    contents.after = 8;
    front.push_back(std::move(contents));
    for (qsizetype i = 0; i < m_plan.entries.size(); ++i) {
        const TManualPlan::Entry &e = m_plan.entries[i];
        if (e.repeat)
            continue;
        const double indent = (qBound(1, e.level, 6) - 1) * 14;
        QString line = spaced(e.text);
        const QByteArray dest = e.topic >= 0 ? "t" + QByteArray::number(e.topic) : "e" + QByteArray::number(i);
        if (e.topic >= 0)
            line += QStringLiteral(" \t") + QString::fromLatin1(topicPages.value(e.topic));
        TBlock b;
        b.tag = "TOCI";
        b.x = indent;
        b.width = width - indent;
        b.before = e.level == 1 ? 3 : 0;
        b.links.append({"dest='" + dest + '\'', true});
        b.runs.append({0, QColor(), false, 0});
        PangoAttrList *attributes = pango_attr_list_new();
        PangoFontDescription *font = ownFont(10.5, e.topic < 0);
        pango_attr_list_insert(attributes, pango_attr_font_desc_new(font));
        pango_font_description_free(font);
        const double right = b.width;
        layOut(b, line, attributes, [right](PangoLayout *l) {
            PangoTabArray *tabs = pango_tab_array_new(1, FALSE);
            pango_tab_array_set_tab(tabs, 0, PANGO_TAB_RIGHT, int(right * PANGO_SCALE));
            pango_layout_set_tabs(l, tabs);
            pango_tab_array_free(tabs);
        });
        front.push_back(std::move(b));
    }
    if (front.size() > 2) {
        front[2].open << "TOC";
        front.back().close << "TOC";
    }
    const int frontPages = paginate(front, 0);
    m_front = frontPages;
    for (int p = 0; p < frontPages; ++p)
        m_labels << roman(p + 1);
    for (int p = 0; p < bodyPages; ++p)
        m_labels << QString::number(p + 1);
    m_chapters = QStringList(frontPages) + m_chapters;
    // Drawn in the reading order: the document, its contents, its topics.
    cairo_tag_begin(m_cr, "Document", "");
    draw(front, 0);
    draw(body, frontPages);
    cairo_tag_end(m_cr, "Document");
    if (m_page >= 0)
        endPage();
    // Bookmarks: the outline's tree, each leading to its heading.
    QList<QPair<int, int>> open; // level, outline item
    for (qsizetype i = 0; i < m_plan.entries.size(); ++i) {
        const TManualPlan::Entry &e = m_plan.entries[i];
        while (!open.isEmpty() && open.last().first >= e.level)
            open.removeLast();
        const QByteArray dest = e.topic >= 0 ? "t" + QByteArray::number(e.topic) : "e" + QByteArray::number(i);
        const int id = cairo_pdf_surface_add_outline(m_surface, open.isEmpty() ? CAIRO_PDF_OUTLINE_ROOT : open.last().second,
                                                     e.text.toUtf8().constData(), ("dest='" + dest + '\'').constData(), cairo_pdf_outline_flags_t(0));
        open.append({e.level, id});
    }
    cairo_surface_finish(m_surface);
    if (const cairo_status_t status = cairo_surface_status(m_surface); status != CAIRO_STATUS_SUCCESS) {
        if (error)
            *error = QString::fromUtf8(cairo_status_to_string(status));
        return {};
    }
    if (warnings && !m_missing.isEmpty()) {
        QString some;
        for (const char32_t c : std::as_const(m_missing))
            if (some.size() < 10)
                some += QString::fromUcs4(&c, 1);
        *warnings << QString::fromUtf8("%1 lettre(s) qu'aucune police installée ne dessine (p. ex. %2) : elles manquent au "
                                       "manuel PDF ; installez une police qui les a (paquet fonts-wqy-microhei pour le chinois, "
                                       "le japonais et le coréen).")
                         .arg(m_missing.size())
                         .arg(some);
    }
    // What Cairo does not write: the document's language, its title shown
    // by viewers, and the figures' texts.
    try {
        return withLanguageAndAlts(bytes);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return {};
    }
}

QByteArray Manual::withLanguageAndAlts(const QByteArray &bytes) const
{
    QPDF pdf;
    pdf.setSuppressWarnings(true); // Cairo names an image twice in a page's resources when it is drawn twice
    pdf.processMemoryFile("manual", bytes.constData(), size_t(bytes.size()));
    QPDFObjectHandle root = pdf.getRoot();
    root.replaceKey("/Lang", QPDFObjectHandle::newUnicodeString(m_plan.language.toStdString()));
    QPDFObjectHandle viewer = QPDFObjectHandle::newDictionary();
    viewer.replaceKey("/DisplayDocTitle", QPDFObjectHandle::newBool(true));
    root.replaceKey("/ViewerPreferences", viewer);
    // The figures in the order drawn; the walk ends at the last one.
    qsizetype figure = 0;
    std::function<void(QPDFObjectHandle, int)> walk = [&](QPDFObjectHandle node, int depth) {
        if (depth > 64 || figure >= m_alts.size())
            return;
        if (node.isArray()) {
            for (int k = 0; k < node.getArrayNItems() && figure < m_alts.size(); ++k)
                walk(node.getArrayItem(k), depth + 1);
            return;
        }
        if (!node.isDictionary())
            return;
        if (node.getKey("/S").isName() && node.getKey("/S").getName() == "/Figure")
            node.replaceKey("/Alt", QPDFObjectHandle::newUnicodeString(m_alts[figure++].toStdString()));
        if (node.hasKey("/K"))
            walk(node.getKey("/K"), depth + 1);
    };
    walk(root.getKey("/StructTreeRoot").getKey("/K"), 0);
    // Written again whole: Cairo's streams kept as they are, the other
    // objects packed into compressed object streams (a third to almost half
    // smaller than Cairo's file, which also holds objects nothing uses).
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setObjectStreamMode(qpdf_o_generate);
    writer.setDeterministicID(true);
    writer.write();
    const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char *>(out->getBuffer()), qsizetype(out->getSize()));
}

} // namespace

QSizeF paperSize(const QString &name)
{
    if (name.compare(QLatin1String("a4"), Qt::CaseInsensitive) == 0)
        return {595.28, 841.89};
    if (name.compare(QLatin1String("letter"), Qt::CaseInsensitive) == 0)
        return {612, 792};
    if (!name.isEmpty())
        return {};
    // The system's paper (in millimetres): Letter where it is the rule.
    const int height = int(reinterpret_cast<intptr_t>(nl_langinfo(_NL_PAPER_HEIGHT)));
    const int width = int(reinterpret_cast<intptr_t>(nl_langinfo(_NL_PAPER_WIDTH)));
    return qAbs(height - 279) <= 1 && qAbs(width - 216) <= 1 ? QSizeF(612, 792) : QSizeF(595.28, 841.89);
}

QByteArray pdfManual(const THelpDocument &project, const QSizeF &paper, QString *error, QStringList *warnings)
{
    return Manual(project, paper).run(error, warnings);
}

QStringList writePdf(const THelpDocument &project, const QString &file, const QString &paper, QStringList *warnings)
{
    const QSizeF sheet = paperSize(paper);
    if (!sheet.isValid())
        return {QString::fromUtf8("format de papier inconnu : %1 (a4 ou letter)").arg(paper)};
    QString error;
    const QByteArray pdf = pdfManual(project, sheet, &error, warnings);
    if (pdf.isEmpty())
        return {QString::fromUtf8("manuel PDF impossible à faire : ") + error};
    if (!Platform::writeFileAtomic(file, pdf, &error))
        return {QString::fromUtf8("manuel PDF impossible à écrire : ") + file + u' ' + error};
    return {};
}

} // namespace Hlp
