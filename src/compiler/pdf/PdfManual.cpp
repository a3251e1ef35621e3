// The help document as a printable manual (PDF).
#include "compiler/pdf/PdfManual.h"

#include "compiler/web/HtmlSite.h"
#include "compiler/web/HtmlWriter.h"
#include "platform/SafeFile.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QSet>
#include <QGlyphRun>
#include <QTextLayout>
#include <QFont>
#include <QHash>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

namespace Hlp {

namespace {

// A4, 2 cm margins, in points (the writer works at 72 dots per inch).
const QSizeF kPaper(595.28, 841.89);
constexpr double kMargin = 56.69;
constexpr double kFooter = 28;
const QSizeF kText(kPaper.width() - 2 * kMargin, kPaper.height() - 2 * kMargin - kFooter);

// Where each anchor "tN" is once laid out: page (0 on) and height from the
// top of the page's text.
QHash<QString, QPair<int, double>> anchorsOf(const QTextDocument &doc)
{
    QHash<QString, QPair<int, double>> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            for (const QString &name : it.fragment().charFormat().anchorNames())
                if (!out.contains(name)) {
                    // Its first line: a block pushed to the next page by a
                    // page break keeps its box where it was.
                    const QTextLayout *layout = b.layout();
                    const double y = layout && layout->lineCount() ? layout->position().y() + layout->lineAt(0).y()
                                                                   : doc.documentLayout()->blockBoundingRect(b).top();
                    // (A block a page break moved sits a hair above the new page.)
                    const int page = int((y + 1) / kText.height());
                    out.insert(name, {page, qMax(0.0, y - page * kText.height())});
                }
    return out;
}

// The manual as one document: its title, the table of contents (page
// numbers from `pages`, a topic's page; "" before they are known), then
// the topics.
QString documentHtml(const TManualText &m, const QHash<int, int> &pages, const QString &contentsLabel)
{
    QString toc;
    for (const TManualText::Entry &e : m.outline) {
        const QString indent = QStringLiteral(" style=\"padding-left:%1pt\"").arg((qBound(1, e.level, 6) - 1) * 14);
        if (e.topic < 0)
            toc += QStringLiteral("<tr><td%1><b>%2</b></td><td></td></tr>\n").arg(indent, e.text.toHtmlEscaped());
        else
            toc += QStringLiteral("<tr><td%1><a href=\"kivpdf:t%2\">%3</a></td><td align=\"right\">%4</td></tr>\n")
                       .arg(indent)
                       .arg(e.topic)
                       .arg(e.text.toHtmlEscaped(), pages.contains(e.topic) ? QString::number(pages[e.topic] + 1) : QStringLiteral("000"));
    }
    return QStringLiteral("<html><head><style>\n"
                          "h1 { font-size: 17pt; margin-top: 14pt; margin-bottom: 6pt; }\n"
                          ".chapter { page-break-before: always; }\n"
                          "h2 { font-size: 14pt; margin-top: 12pt; margin-bottom: 4pt; }\n"
                          "h3 { font-size: 12pt; margin-top: 10pt; margin-bottom: 4pt; }\n"
                          "p { margin: 0; }\n"
                          "a { color: #006e1e; text-decoration: none; }\n"
                          "table.cells { border-collapse: collapse; }\n"
                          "table.cells td { border: 1px solid #999999; padding: 2px 4px; }\n"
                          "%1</style></head><body>\n"
                          "<p class=\"cover\" style=\"font-size:24pt; font-weight:bold; margin-bottom:18pt\">%2</p>\n"
                          "<p style=\"font-size:15pt; font-weight:bold; margin-bottom:8pt\">%3</p>\n"
                          "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">\n%4</table>\n"
                          "%5</body></html>")
        .arg(m.style, m.title.toHtmlEscaped(), contentsLabel.toHtmlEscaped(), toc, m.body);
}

// A string of the PDF file for any text: UTF-16 with its byte order mark.
QByteArray pdfText(const QString &text)
{
    QByteArray out = "<FEFF";
    for (const QChar c : text)
        out += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return out + '>';
}

// The file Qt wrote, made a manual: its links into the help lead to named
// destinations (the link's "kivpdf:tN" rewritten in place, padded to its
// length, so no offset moves); then an update appended to the file adds
// the destinations, the bookmarks and the language to the catalogue.
bool finish(QByteArray &pdf, const QHash<QString, QPair<int, double>> &anchors, const TManualText &m, QString *error)
{
    const auto fail = [&](const char *why) {
        if (error)
            *error = QString::fromUtf8("structure PDF inattendue (%1)").arg(QLatin1String(why));
        return false;
    };
    static const QRegularExpression startxrefPattern(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$"));
    const QRegularExpressionMatch sx = startxrefPattern.match(QString::fromLatin1(pdf.right(64)));
    const qsizetype trailerAt = pdf.lastIndexOf("trailer");
    if (!sx.hasMatch() || trailerAt < 0)
        return fail("fin du fichier");
    const QString trailer = QString::fromLatin1(pdf.mid(trailerAt, 200));
    static const QRegularExpression sizeKey(QStringLiteral("/Size\\s+(\\d+)")), rootKey(QStringLiteral("/Root\\s+(\\d+)\\s+0\\s+R")),
        infoKey(QStringLiteral("/Info\\s+(\\d+)\\s+0\\s+R"));
    const int size = sizeKey.match(trailer).captured(1).toInt(), root = rootKey.match(trailer).captured(1).toInt();
    const QString info = infoKey.match(trailer).captured(1);
    if (size <= 0 || root <= 0)
        return fail("trailer");
    // An object's text, from the cross-reference table.
    const qint64 xref = sx.captured(1).toLongLong();
    const auto object = [&](int number) -> QByteArray {
        // "xref", "0 SIZE", then one line of 20 bytes per object.
        const qsizetype header = pdf.indexOf('\n', xref + 5);
        if (header < 0)
            return {};
        const qsizetype line = header + 1 + qsizetype(number) * 20;
        if (line + 20 > pdf.size())
            return {};
        const qint64 offset = pdf.mid(line, 10).toLongLong();
        const qsizetype end = pdf.indexOf("endobj", offset);
        return offset > 0 && end > offset ? pdf.mid(offset, end - offset) : QByteArray();
    };
    QByteArray catalog = object(root);
    static const QRegularExpression pagesKey(QStringLiteral("/Pages\\s+(\\d+)\\s+0\\s+R")), ref(QStringLiteral("(\\d+)\\s+0\\s+R"));
    const int pagesObject = pagesKey.match(QString::fromLatin1(catalog)).captured(1).toInt();
    const QByteArray pagesText = object(pagesObject);
    const qsizetype kids = pagesText.indexOf("/Kids");
    if (catalog.isEmpty() || pagesObject <= 0 || kids < 0)
        return fail("pages");
    QList<int> pageObjects;
    const QString kidsText = QString::fromLatin1(pagesText.mid(kids, pagesText.indexOf(']', kids) - kids));
    for (auto it = ref.globalMatch(kidsText); it.hasNext();)
        pageObjects << it.next().captured(1).toInt();
    // Links inside the help: GoTo a named destination.
    static const QRegularExpression uri(QStringLiteral("/S\\s*/URI\\s*/URI\\s*\\(kivpdf:(t\\d+)\\)"));
    const QString latin = QString::fromLatin1(pdf);
    for (auto it = uri.globalMatch(latin); it.hasNext();) {
        const QRegularExpressionMatch u = it.next();
        if (!anchors.contains(u.captured(1)))
            continue;
        const QByteArray goTo = "/S /GoTo /D /" + u.captured(1).toLatin1();
        pdf.replace(u.capturedStart(), u.capturedLength(), goTo + QByteArray(u.capturedLength() - goTo.size(), ' '));
    }
    // The update: destinations, bookmarks, catalogue.
    QMap<int, QByteArray> objects;
    int next = size;
    const auto destination = [&](const QString &anchor) -> QByteArray {
        const auto [page, y] = anchors.value(anchor);
        if (page < 0 || page >= pageObjects.size())
            return {};
        return QByteArray::number(pageObjects[page]) + " 0 R /XYZ " + QByteArray::number(kMargin, 'f', 2) + ' '
               + QByteArray::number(kPaper.height() - kMargin - y, 'f', 2) + " null";
    };
    QByteArray dests = "<<\n";
    QStringList names = anchors.keys();
    names.sort();
    for (const QString &name : std::as_const(names))
        if (const QByteArray d = destination(name); !d.isEmpty())
            dests += '/' + name.toLatin1() + " [" + d + "]\n";
    const int destsObject = next++;
    objects.insert(destsObject, dests + ">>");
    // Bookmarks: the outline's tree, each leading to its topic (a book
    // without a page to its first topic).
    struct TItem {
        int object, parent, level, topic;
        QString text;
        QList<int> children;
    };
    const int outlinesObject = next++;
    QList<TItem> items;
    QList<int> stack; // indexes into items of the open levels
    QList<int> top;
    for (const TManualText::Entry &e : m.outline) {
        while (!stack.isEmpty() && items[stack.last()].level >= e.level)
            stack.removeLast();
        TItem item{next++, stack.isEmpty() ? outlinesObject : items[stack.last()].object, e.level, e.topic, e.text, {}};
        items.append(item);
        (stack.isEmpty() ? top : items[stack.last()].children) << int(items.size() - 1);
        stack << int(items.size() - 1);
    }
    const auto targetOf = [&](int i) {
        for (int j = i; j < items.size(); ++j)
            if (items[j].topic >= 0)
                return QStringLiteral("t%1").arg(items[j].topic);
        return QString();
    };
    const auto link = [&](const QList<int> &siblings) {
        for (qsizetype k = 0; k < siblings.size(); ++k) {
            const TItem &it = items[siblings[k]];
            QByteArray dict = "<<\n/Title " + pdfText(it.text) + "\n/Parent " + QByteArray::number(it.parent) + " 0 R\n";
            if (k > 0)
                dict += "/Prev " + QByteArray::number(items[siblings[k - 1]].object) + " 0 R\n";
            if (k + 1 < siblings.size())
                dict += "/Next " + QByteArray::number(items[siblings[k + 1]].object) + " 0 R\n";
            if (!it.children.isEmpty())
                dict += "/First " + QByteArray::number(items[it.children.first()].object) + " 0 R\n/Last "
                        + QByteArray::number(items[it.children.last()].object) + " 0 R\n/Count -"
                        + QByteArray::number(it.children.size()) + '\n';
            if (const QByteArray d = destination(targetOf(int(siblings[k]))); !d.isEmpty())
                dict += "/Dest [" + d + "]\n";
            objects.insert(it.object, dict + ">>");
        }
    };
    link(top);
    for (const TItem &it : std::as_const(items))
        if (!it.children.isEmpty())
            link(it.children);
    QByteArray outlines = "<<\n/Type /Outlines\n/Count " + QByteArray::number(top.size()) + '\n';
    if (!top.isEmpty())
        outlines += "/First " + QByteArray::number(items[top.first()].object) + " 0 R\n/Last " + QByteArray::number(items[top.last()].object) + " 0 R\n";
    objects.insert(outlinesObject, outlines + ">>");
    const qsizetype open = catalog.indexOf("<<"), close = catalog.lastIndexOf(">>");
    if (open < 0 || close < open)
        return fail("catalogue");
    objects.insert(root, "<<" + catalog.mid(open + 2, close - open - 2) + "/Outlines " + QByteArray::number(outlinesObject) + " 0 R\n/Dests "
                             + QByteArray::number(destsObject) + " 0 R\n/PageMode /UseOutlines\n/Lang (" + m.language.toLatin1() + ")\n>>");
    // Appended: the objects, their cross-reference section, the trailer.
    if (!pdf.endsWith('\n'))
        pdf += '\n';
    QByteArray table = "xref\n0 1\n0000000000 65535 f \n";
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        table += QByteArray::number(it.key()) + " 1\n" + QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(it.key()) + " 0 obj\n" + *it + "\nendobj\n";
    }
    const qsizetype tableAt = pdf.size();
    pdf += table + "trailer\n<<\n/Size " + QByteArray::number(next) + "\n/Root " + QByteArray::number(root) + " 0 R\n"
           + (info.isEmpty() ? QByteArray() : "/Info " + info.toLatin1() + " 0 R\n") + "/Prev " + QByteArray::number(xref) + "\n>>\nstartxref\n"
           + QByteArray::number(tableAt) + "\n%%EOF\n";
    return true;
}

} // namespace

namespace {

// The letters of the manual that no installed font can draw (a help in a
// script the machine has no font for): each distinct letter laid out once,
// with the fonts Qt falls back on.
QString undrawableLetters(const QString &text, const QFont &font)
{
    QSet<char32_t> seen;
    QString missing;
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80 || seen.contains(c) || !QChar::isPrint(c) || QChar::category(c) == QChar::Separator_Space)
            continue;
        seen.insert(c);
        const QString letter = QString::fromUcs4(&c, 1);
        QTextLayout layout(letter, font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1000);
        layout.endLayout();
        for (const QGlyphRun &run : layout.glyphRuns())
            if (run.glyphIndexes().contains(0)) {
                missing += letter;
                break;
            }
    }
    return missing;
}

} // namespace

QByteArray pdfManual(const THelpDocument &project, QString *error, QStringList *warnings)
{
    TManualText manual = manualText(project);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(manual.title);
    writer.setCreator(QStringLiteral("KivHelp"));
    QTextDocument doc;
    doc.documentLayout()->setPaintDevice(&writer);
    doc.setDocumentMargin(0);
    // No ligatures ("fi" drawn as one glyph): a reader copying or searching
    // the text would get the ligature's character. Scripts that need
    // shaping (Arabic, Indic...) are still shaped.
    QFont font = doc.defaultFont();
    font.setStyleStrategy(QFont::PreferNoShaping);
    doc.setDefaultFont(font);
    doc.setPageSize(kText);
    for (auto it = manual.images.cbegin(); it != manual.images.cend(); ++it)
        doc.addResource(QTextDocument::ImageResource, QUrl(it.key()), *it);
    // Pictures with all their pixels, at their resolution (a screen's when
    // the file says none, or one no screen or printer had: drawing tools
    // leave odd values), never wider than the page.
    for (auto it = manual.images.cbegin(); it != manual.images.cend(); ++it) {
        double dpi = it->dotsPerMeterX() * 0.0254;
        if (dpi < 48 || dpi > 300)
            dpi = 96;
        double width = it->width() * 96 / dpi, height = it->height() * 96 / dpi;
        const double widest = kText.width() * 96 / 72;
        if (width > widest) {
            height *= widest / width;
            width = widest;
        }
        manual.body.replace(QStringLiteral("<img src=\"%1\"").arg(it.key()),
                     QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\"").arg(it.key()).arg(qRound(width)).arg(qRound(height)));
    }
    const QString contentsLabel =
        webLabels(project.hpj.options.contains("LCID") || project.codePage != 1252 ? manual.language : QString()).contents;
    // The table of contents needs the pages, which it moves: laid out
    // until its numbers agree with where the topics fall.
    QHash<int, int> pages;
    QHash<QString, QPair<int, double>> anchors;
    for (int pass = 0; pass < 4; ++pass) {
        doc.setHtml(documentHtml(manual, pages, contentsLabel));
        anchors = anchorsOf(doc);
        QHash<int, int> found;
        for (auto it = anchors.cbegin(); it != anchors.cend(); ++it)
            found.insert(it.key().mid(1).toInt(), it->first);
        if (found == pages)
            break;
        pages = found;
    }
    if (warnings) {
        const QString missing = undrawableLetters(doc.toPlainText() + manual.title, font);
        if (!missing.isEmpty())
            *warnings << QString::fromUtf8("%1 lettre(s) qu'aucune police installée ne dessine (p. ex. %2) : elles manquent au "
                                           "manuel PDF ; installez une police qui les a (paquet fonts-wqy-microhei pour le chinois, "
                                           "le japonais et le coréen).")
                             .arg(missing.size())
                             .arg(missing.left(10));
    }
    QPainter painter(&writer);
    QFont footer(QStringLiteral("Liberation Sans"));
    footer.setPointSizeF(8.5);
    const int count = doc.pageCount();
    for (int page = 0; page < count; ++page) {
        if (page > 0)
            writer.newPage();
        painter.save();
        painter.translate(kMargin, kMargin - page * kText.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, page * kText.height(), kText.width(), kText.height());
        painter.setClipRect(context.clip);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footer);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        painter.drawText(QRectF(kMargin, kPaper.height() - kMargin - 14, kText.width(), 14), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1 \u2013 %2").arg(manual.title).arg(page + 1));
    }
    if (!painter.end()) {
        if (error)
            *error = QString::fromUtf8("le manuel n'a pas pu être dessiné");
        return {};
    }
    if (!finish(bytes, anchors, manual, error))
        return {};
    return bytes;
}

QStringList writePdf(const THelpDocument &project, const QString &file, QStringList *warnings)
{
    QString error;
    const QByteArray pdf = pdfManual(project, &error, warnings);
    if (pdf.isEmpty())
        return {QString::fromUtf8("manuel PDF impossible à faire : ") + error};
    if (!Platform::writeFileAtomic(file, pdf, &error))
        return {QString::fromUtf8("manuel PDF impossible à écrire : ") + file + u' ' + error};
    return {};
}

} // namespace Hlp
