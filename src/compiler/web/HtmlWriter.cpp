// The help document as web pages (and the pages of a .CHM).
#include "compiler/web/HtmlWriter.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/web/HtmlSearch.h"
#include "compiler/web/HtmlSite.h"
#include "compiler/pictures/WmfRender.h"
#include "platform/ChildProcess.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QLockFile>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <QDir>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include <functional>
#include <memory>
#include <optional>

namespace Hlp {

QString plainValue(QString value)
{
    static const QRegularExpression controls(QStringLiteral("[\\x00-\\x1f\\x7f]+"));
    return value.replace(controls, QStringLiteral(" ")).trimmed();
}

namespace {

// The help's text, in its code page.
const Platform::CodePage &pageOf(const THelpDocument &project)
{
    thread_local QHash<int, Platform::CodePage> pages;
    auto it = pages.find(project.codePage);
    if (it == pages.end())
        it = pages.insert(project.codePage, Platform::CodePage(project.codePage));
    return *it;
}

QString text(const THelpDocument &project, const QByteArray &bytes)
{
    if (project.codePage == 1252)
        return Platform::fromCp1252(bytes);
    return pageOf(project).decode(bytes);
}

QString letters(const THelpDocument &project, const QString &run) { return glyphsAsLetters(run, pageOf(project)); }

QString escaped(const QString &s) { return s.toHtmlEscaped(); }

// The name browsers know a Windows code page by.
QString charsetName(int codePage)
{
    switch (codePage) {
    case 874: return QStringLiteral("windows-874");
    case 932: return QStringLiteral("shift_jis");
    case 936: return QStringLiteral("gb2312");
    case 949: return QStringLiteral("ks_c_5601-1987");
    case 950: return QStringLiteral("big5");
    default: return QStringLiteral("windows-%1").arg(codePage);
    }
}

// The keyword index as readers see it: a keyword "main, sub" or "main:
// sub" is the second level "sub" under "main" when the index has "main"
// or another "main, ..." (a line for "main" without pages is made when
// it has none).
struct TKeywordLine {
    int level = 1;
    QString text;
    QList<int> topics;
    QString whole;            // the keyword as written ("main, sub")
    bool hasSub = false;      // level 1: second levels follow
    bool first = false, last = false; // level 2: the first and the last under their main entry
};
QList<TKeywordLine> keywordLines(const THelpDocument &project)
{
    const Platform::CodePage page(project.codePage);
    static const QRegularExpression split(QStringLiteral("^(.+?)\\s*[,:]\\s*(.+)$"));
    QList<QString> keywords;
    QHash<QString, int> heads; // main entry (lower case) -> how many entries name it
    for (const TIndexEntry &e : project.index) {
        keywords << page.decode(e.keyword).simplified();
        const QRegularExpressionMatch m = split.match(keywords.last());
        heads[(m.hasMatch() ? m.captured(1) : keywords.last()).toLower()] += 1;
    }
    QList<TKeywordLine> out;
    QString open; // the main entry whose second levels are being listed
    for (qsizetype k = 0; k < keywords.size(); ++k) {
        const QRegularExpressionMatch m = split.match(keywords[k]);
        const QString head = m.hasMatch() ? m.captured(1) : QString();
        const bool second = m.hasMatch() && heads.value(head.toLower()) > 1;
        if (!open.isEmpty() && (!second || head.compare(open, Qt::CaseInsensitive) != 0)) {
            out.last().last = true;
            open.clear();
        }
        if (second && open.isEmpty()) {
            if (out.isEmpty() || out.last().level != 1 || out.last().text.compare(head, Qt::CaseInsensitive) != 0)
                out.append({1, head, {}, head, false, false, false});
            out.last().hasSub = true;
            open = head;
            out.append({2, m.captured(2), project.index[k].topics, keywords[k], false, true, false});
            continue;
        }
        out.append({second ? 2 : 1, second ? m.captured(2) : keywords[k], project.index[k].topics, keywords[k], false, false, false});
    }
    if (!open.isEmpty())
        out.last().last = true;
    return out;
}

} // namespace

QStringList fontFamilies(const QString &face, int family)
{
    static const QHash<QString, QString> older{{QStringLiteral("ms sans serif"), QStringLiteral("Arial")},
                                               {QStringLiteral("helv"), QStringLiteral("Arial")},
                                               {QStringLiteral("system"), QStringLiteral("Arial")},
                                               {QStringLiteral("ms serif"), QStringLiteral("Times New Roman")},
                                               {QStringLiteral("tms rmn"), QStringLiteral("Times New Roman")},
                                               {QStringLiteral("courier"), QStringLiteral("Courier New")}};
    QStringList out{face};
    if (const QString other = older.value(face.toLower()); !other.isEmpty())
        out << other;
    return out << (family == 1 ? QStringLiteral("monospace") : family == 2 ? QStringLiteral("serif")
                   : family == 4 ? QStringLiteral("cursive") : QStringLiteral("sans-serif"));
}

QString shownLetters(const THelpDocument &project, const TInline &run)
{
    const QString face = text(project, run.format.face);
    if (!isPictureFont(face))
        return letters(project, run.text);
    const bool symbol = face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
    QString shown;
    for (const char c : textBytes(run.text, pageOf(project)))
        shown += symbol ? symbolFontChar(uchar(c)) : wingdingsChar(uchar(c));
    return shown;
}

namespace {

// The faces for the style sheet, quoted, so that a reader without the
// author's gets one of the same kind, never the browser's serif default.
QString fontFamily(const QString &face, int family)
{
    QStringList faces = fontFamilies(face, family);
    for (qsizetype k = 0; k + 1 < faces.size(); ++k)
        if (k == 0 || faces[k].contains(u' '))
            faces[k] = u'\'' + faces[k] + u'\'';
    return faces.join(QStringLiteral(", "));
}

// The page and anchor of every context string, found without regard to case.
struct TTargets {
    QHash<QString, QPair<int, QString>> byContext; // upper-case context -> topic, context
    QString helpFile;                              // this help file's name, in lower case
    // Web pages: a link into another help file leads to that help's web
    // pages, published beside these as kivhc names them (OTHER.HLP:
    // ../OTHER_html/), through their context.html?name=.
    bool otherHelps = false;

    // The page and anchor of a context of this help file, named alone or
    // with a help file (`file`): empty for another help file's or an
    // unknown context. `topic` receives the topic, or -1.
    QString href(const QByteArray &context, const QList<QString> &pages, const QByteArray &file = {}, int *topic = nullptr) const
    {
        if (topic)
            *topic = -1;
        const QString named = QString::fromLatin1(file.trimmed()).replace(u'\\', u'/');
        if (!named.isEmpty() && !named.startsWith(u'>') && QFileInfo(named).fileName().toLower() != helpFile) {
            const QByteArray name = normalizeContext(context);
            if (!otherHelps || name.isEmpty() || QFileInfo(named).completeBaseName().isEmpty())
                return {};
            return QStringLiteral("../%1_html/context.html?name=%2")
                .arg(QString::fromLatin1(QUrl::toPercentEncoding(QFileInfo(named).completeBaseName())), QString::fromLatin1(name));
        }
        const auto it = byContext.constFind(QString::fromLatin1(normalizeContext(context)).toUpper());
        if (it == byContext.constEnd())
            return {};
        if (topic)
            *topic = it->first;
        return pages[it->first] + u'#' + it->second;
    }
    // The same for a target as contents files and hotspot graphics write
    // it: "context", with "@file" and ">window" after it if need be.
    QString hrefOfTarget(const QByteArray &target, const QList<QString> &pages, int *topic = nullptr) const
    {
        QByteArray context = target, file;
        if (context.indexOf('>') >= 0)
            context.truncate(context.indexOf('>'));
        if (context.indexOf('@') >= 0) {
            file = context.mid(context.indexOf('@') + 1);
            context.truncate(context.indexOf('@'));
        }
        return href(context.trimmed(), pages, file, topic);
    }
};

// One line of the contents: its level (1 on), its text, and its page
// (with the anchor) or none for a heading.

// The language of the help's text, from LCID= (its first number): French,
// the program's language, when the project does not say.
// The help's language: its LCID's, else its code page's (a help that
// names only its character set), else French.
QString languageOf(const THelpDocument &project)
{
    bool ok = false;
    const uint lcid = project.hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&ok, 0);
    QString tag = ok ? Platform::languageOfLcid(int(lcid)).tag : QString();
    if (tag.isEmpty() && Platform::lcidOfCodePage(project.codePage))
        tag = Platform::languageOfLcid(Platform::lcidOfCodePage(project.codePage)).tag;
    return tag.isEmpty() ? QStringLiteral("fr") : tag;
}

// Languages written from right to left.
bool rightToLeft(const QString &language) { return language == QLatin1String("ar") || language == QLatin1String("he"); }

// The contents: those the caller gave (an outline), else the tree of the
// project's .CNT file (CNT=) when it can be read, else the titled topics in
// order.
QList<TContentsEntry> contentsOf(const THelpDocument &project, const QStringList &pages, const TTargets &targets)
{
    QList<TContentsEntry> out;
    // A level is at most one below the line before it (a book followed by
    // entries two levels down would leave a list without its item, and
    // pages no reader of the contents reaches).
    const auto clamp = [&out](int level) { return qBound(1, level, out.isEmpty() ? 1 : out.last().level + 1); };
    for (const TContentsLine &line : project.contents)
    {
        TContentsEntry e{clamp(qBound(1, line.level, 9)), line.text, QString(), -1};
        if (!line.context.isEmpty())
            e.page = targets.href(line.context, pages, {}, &e.topic);
        out.append(e);
    }
    if (!out.isEmpty())
        return out;
    QByteArray cnt;
    QString name = Platform::fromCp1252OrUtf8(project.hpj.options.value("CNT").trimmed().constData(),
                                              project.hpj.options.value("CNT").trimmed().size());
    name.replace(u'\\', u'/');
    if (!name.isEmpty() && Platform::readWholeFile(Platform::resolveCase(QDir(project.hpjDir).absoluteFilePath(name)), &cnt)) {
        for (QByteArray line : cnt.split('\n')) {
            line = line.trimmed();
            if (line.isEmpty() || !(line[0] >= '1' && line[0] <= '9'))
                continue; // :Base, :Title, :Link...
            const qsizetype blank = line.indexOf(' ');
            if (blank < 0)
                continue;
            TContentsEntry e;
            e.level = clamp(qBound(1, line.left(blank).toInt(), 9));
            QByteArray rest = line.mid(blank + 1);
            const qsizetype eq = rest.indexOf('=');
            if (eq >= 0) {
                e.page = targets.hrefOfTarget(rest.mid(eq + 1).trimmed(), pages, &e.topic);
                rest.truncate(eq);
            }
            e.text = Platform::fromCp1252(rest.trimmed());
            out.append(e);
        }
        if (!out.isEmpty())
            return out;
    }
    for (int n = 0; n < project.topics.size(); ++n)
        if (!project.topics[n].title.isEmpty())
            out.append({1, text(project, project.topics[n].title), pages[n], n});
    return out;
}



// The text of a paragraph, without its formats (a table row: its cells').
QString plainText(const THelpDocument &project, const TParagraph &p)
{
    QString out;
    if (p.table) {
        for (const auto &[cell, inner] : p.table->paragraphs)
            out += plainText(project, inner) + u' ';
        return out;
    }
    for (const TInline &i : p.items)
        if (i.kind == TInline::Text)
            out += letters(project, i.text);
        else if (i.kind == TInline::Tab || i.kind == TInline::LineBreak || i.kind == TInline::NbSpace)
            out += u' ';
    return out;
}

// What a topic is called in lists: its title, else its first line of text
// (cut at 80 characters), else its page's name.
QString shownTitle(const THelpDocument &project, const TSourceTopic &t, const QString &page)
{
    if (!t.title.isEmpty())
        return text(project, t.title);
    for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
        for (const TParagraph &p : *list) {
            const QString line = plainText(project, p).simplified();
            if (!line.isEmpty())
                return line.size() > 80 ? line.left(79).trimmed() + QChar(0x2026) : line;
        }
    return page.chopped(5);
}

class Writer {
public:
    // `chm`: pages for a compiled help file, whose viewer has its own
    // contents, index and search: no navigation pane, search page or
    // search index.
    Writer(const THelpDocument &project, const QString &folder, bool chm = false) : m_p(project), m_dir(folder), m_chm(chm) {}
    QStringList run();
    // One topic's page for the program's preview (see previewPage).
    TPagePreview preview(int topic);
    const QStringList &pages() const { return m_pages; }
    const QList<TContentsEntry> &contents() const { return m_contents; }
    // The pictures' files the pages show ("images/imageN.png").
    QStringList pictures() const
    {
        QStringList out;
        for (const QString &file : m_pictureFiles)
            if (!file.isEmpty())
                out << file;
        return out;
    }
    const QStringList &warnings() const { return m_warnings; }
    // The table of contexts and [MAP] numbers (see contextMap).
    QJsonObject contextTable();
    // The whole help for the printable manual (see manualPlan).
    TManualPlan manual();
    // Where a hotspot leads in the manual (see TManualPlan::link).
    TManualLink manualLink(const TInline &hotspot, int topic) const;

private:
    // The class of the site's style sheet that gives elements of this kind
    // (p, span) these declarations: formats are shared by many runs and
    // pages, so each is written once. `colour`: the text's colour, which
    // the dark scheme lightens.
    QString styleClass(const QString &element, const QString &declarations, const QColor &colour = {});
    // Where a macro leads on the web (JumpId, PopupId: a page; ExecFile,
    // ExecProgram: the file); empty for the others.
    QString macroHref(const QString &macro) const;
    // The topics an ALink or KLink macro lists: those that share one of its
    // keywords, in topic order, `topic` left out; nullopt for other macros.
    std::optional<QList<int>> relatedTopics(const QString &macro, int topic) const;
    // The link of an ALink or KLink macro: its topics listed in a box as the
    // viewer lists them (a jump when there is one); empty for other macros.
    QString relatedLink(const QString &macro, int topic);
    QString paragraphs(const QList<TParagraph> &list, int topic, const TParagraph *heading = nullptr);
    QString paragraph(const TParagraph &p, int topic, bool heading = false);
    QString runs(const QList<TInline> &items, int topic);
    QString picture(const TInline &item, int topic);
    // A topic's whole page; `boxes`: its pop-ups.
    QString topicPage(int topic, const QString &body, const QString &boxes);
    // Page names, link targets, aliases, browse sequences and contents:
    // what every page's links need.
    void prepare();
    // The page's text: the non-scrolling region, then the rest; the
    // paragraph that says the topic's title is its heading.
    QString topicBody(int topic, bool *hasHeading = nullptr);
    // That paragraph: the first with text, when it says the title.
    const TParagraph *titleParagraph(int topic) const;
    // The first paragraph with text when it looks like a heading: short,
    // each word bold or larger than the text.
    const TParagraph *headingParagraph(int topic) const;
    // The main window's colours: the text's background and the
    // non-scrolling region's, each with the style rule it sets and its
    // names in messages.
    struct TWindowColour {
        QString selector;
        QColor colour;
        QString window, where;
    };
    QList<TWindowColour> mainColours() const;
    // The style rules of the main window's colours, and those of the dark
    // scheme for them and the text's colours.
    QString windowRules() const;
    // A file of a compiled help's pages as it is written (see write).
    QByteArray inChmCodePage(const QString &name, const QByteArray &utf8) const;
    QString darkRules() const;
    // Readers need a contrast of 4.5 between text and background: the
    // main window's colours that give less with the text's are said.
    void checkContrast();
    // A pop-up link's address: the target page, or "popup:N" in a preview.
    QString popupHref(const QString &href, int topic) const
    {
        return m_previewImages ? QStringLiteral("popup:%1").arg(topic) : href;
    }
    // A whole page: its head (language, title with the help's, style
    // sheet, scripts and `extra`), the skip link, the header with the
    // search field and the contents pane, `main`, then `after`.
    QString page(const QString &file, const QString &title, const QString &main, const QString &extra = {}, const QString &after = {}) const;
    void write(const QString &name, const QByteArray &bytes);

    const THelpDocument &m_p;
    QString m_dir;
    bool m_chm = false;
    QStringList m_pages, m_errors, m_warnings;
    TTargets m_targets;
    TWebLabels m_labels;
    QMap<int, QString> m_pictureFiles;
    QSet<int> m_popups; // topics shown as pop-ups in the current page
    QSet<int> m_maps;   // pictures whose image map the current page has
    QSet<int> m_bitmaps; // pictures made from the help's bitmaps
    QStringList m_relatedBoxes; // the current page's lists of related topics
    QHash<QString, QString> m_classes; // element and declarations -> class
    QString m_classRules;              // their rules, for the style sheet
    QMap<QString, QColor> m_textColours; // class -> the colour of its text
    QHash<int, QPair<int, int>> m_pager;  // topic -> previous, next (browse sequence, else contents)
    QHash<int, int> m_entryOf;            // topic -> its first line of the contents
    QList<TContentsEntry> m_contents;
    // The contents beside the pages, in parts a page loads as it needs
    // them: each top-level book's lines (and, in a long flat list, each run
    // of a hundred lines) in toc/N.js; m_tocPart: the part of each line
    // (0: toc.js).
    QList<int> m_tocPart;
    QHash<int, QStringList> m_aliases;    // topic -> its [ALIAS] names
    QString m_title;
    QString m_language;
    QHash<QString, QImage> *m_previewImages = nullptr; // set while a preview is made: pictures go there
    // The size of most of the help's text (half-points): on the web it is
    // the reader's own size (16 px unless they chose another), the other
    // sizes in proportion.
    int m_bodySize = 20;
    // A run's size: in proportion to the body's on the web; in points in
    // the manual and in a compiled help file (their engines take no rem).
    QString fontSize(int halfPoints) const
    {
        if (m_chm)
            return QStringLiteral("font-size:%1pt;").arg(halfPoints / 2.0);
        return QStringLiteral("font-size:%1rem;").arg(QString::number(double(halfPoints) / m_bodySize, 'g', 4));
    }
};

} // namespace

QString webAddress(const QString &raw)
{
    QString url = raw;
    qsizetype from = 0, to = url.size();
    while (from < to && url[from].unicode() <= 0x20)
        ++from;
    while (to > from && url[to - 1].unicode() <= 0x20)
        --to;
    url = url.mid(from, to - from);
    url.remove(u'\t').remove(u'\n').remove(u'\r');
    // Its scheme: a letter, then letters, digits, '+', '-' or '.', up to ':'
    // (a drive letter, "c:", is one too: not a page beside these).
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const QRegularExpressionMatch s = scheme.match(url);
    static const QStringList safe{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"), QStringLiteral("ftp")};
    if (url.isEmpty() || (s.hasMatch() && !safe.contains(s.captured(1).toLower())))
        return {};
    return url;
}

namespace {

// The program a program-call macro (ExecProgram, EP) names, as written;
// a null string for any other macro.
QString programCalled(const QString &macro)
{
    static const QRegularExpression program(QStringLiteral("^\\s*(?:ExecProgram|EP)\\(\\s*[`\"]([^'\"]*)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = program.match(macro);
    return m.hasMatch() ? m.captured(1) : QString();
}

QString Writer::macroHref(const QString &macro) const
{
    static const QRegularExpression jump(QStringLiteral("^\\s*(?:JumpId|JI|PopupId|PI)\\(\\s*[`\"]([^'\"]*)['\"]\\s*,\\s*[`\"]([^'\"]*)['\"]"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression exec(QStringLiteral("^\\s*(?:ExecFile|EF|ExecProgram|EP)\\(\\s*[`\"]([^'\"]*)['\"]"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch j = jump.match(macro);
    if (j.hasMatch())
        return m_targets.href(j.captured(2).toLatin1(), m_pages, j.captured(1).toLatin1());
    const QRegularExpressionMatch e = exec.match(macro);
    if (!e.hasMatch())
        return {};
    const QString address = webAddress(e.captured(1));
    // A program runs on the reader's computer, never from a page: only an
    // address a browser opens itself (a site, a mail) is a link.
    static const QRegularExpression browsable(QStringLiteral("^(?:https?|mailto|ftp):"), QRegularExpression::CaseInsensitiveOption);
    if (!programCalled(macro).isNull() && !browsable.match(address).hasMatch())
        return {};
    return address;
}

std::optional<QList<int>> Writer::relatedTopics(const QString &macro, int topic) const
{
    // The keywords quoted or bare (the compiler takes both).
    static const QRegularExpression related(QStringLiteral("^\\s*(ALink|AL|KLink|KL)\\(\\s*(?:[`\"]([^'\"]*)['\"]|([^,)]*))"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = related.match(macro);
    if (!m.hasMatch())
        return std::nullopt;
    const QString list = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
    // The topics of any of its keywords (A keywords for ALink, K for KLink).
    const bool a = m.captured(1).startsWith(u'A', Qt::CaseInsensitive);
    QSet<QString> keywords;
    for (const QString &k : list.split(u';'))
        if (!k.trimmed().isEmpty())
            keywords.insert(k.trimmed().toUpper());
    QSet<int> found;
    for (const TIndexEntry &entry : a ? m_p.aIndex : m_p.index)
        if (keywords.contains(text(m_p, entry.keyword).trimmed().toUpper()))
            for (const int n : entry.topics)
                if (n != topic)
                    found.insert(n);
    QList<int> topics(found.cbegin(), found.cend());
    std::sort(topics.begin(), topics.end());
    return topics;
}

QString Writer::relatedLink(const QString &macro, int topic)
{
    const std::optional<QList<int>> related = relatedTopics(macro, topic);
    if (!related)
        return {};
    const QList<int> &topics = *related;
    if (topics.size() == 1 || (m_previewImages && !topics.isEmpty()))
        return QStringLiteral("<a class=\"jump\" href=\"%1\">").arg(escaped(m_pages[topics[0]]));
    const QString id = QStringLiteral("r%1").arg(m_relatedBoxes.size() + 1);
    QString box = QStringLiteral("<div class=\"box\" id=\"box-%1\" role=\"dialog\" tabindex=\"-1\" aria-label=\"%2\"><p>%2</p>")
                      .arg(id, escaped(topics.isEmpty() ? m_labels.noTopic : m_labels.found));
    if (!topics.isEmpty()) {
        box += QStringLiteral("<ul>");
        for (const int n : std::as_const(topics))
            box += QStringLiteral("<li><a href=\"%1\">%2</a></li>").arg(escaped(m_pages[n]), escaped(shownTitle(m_p, m_p.topics[n], m_pages[n])));
        box += QStringLiteral("</ul>");
    }
    m_relatedBoxes << box + QStringLiteral("</div>");
    return QStringLiteral("<a class=\"popup\" href=\"#\" role=\"button\" aria-expanded=\"false\" onclick=\"return popup(this, '%1')\">").arg(id);
}

QString Writer::styleClass(const QString &element, const QString &declarations, const QColor &colour)
{
    const QString key = element + u'{' + declarations;
    auto it = m_classes.constFind(key);
    if (it == m_classes.constEnd()) {
        it = m_classes.insert(key, element.left(1) + QString::number(m_classes.size() + 1));
        m_classRules += QStringLiteral("%1.%2 { %3 }\n").arg(element, *it, declarations);
        if (colour.isValid())
            m_textColours.insert(*it, colour);
    }
    return *it;
}

void Writer::write(const QString &name, const QByteArray &bytes)
{
    // Once a write has failed (a full disk), nothing of this build will be
    // published: the others are not tried, so the error is said once.
    QString error;
    if (m_errors.isEmpty() && !Platform::writeFileAtomic(m_dir + u'/' + name, m_chm ? inChmCodePage(name, bytes) : bytes, &error))
        m_errors << name + QStringLiteral(" : ") + error;
}

QByteArray Writer::inChmCodePage(const QString &name, const QByteArray &utf8) const
{
    // A compiled help file is read in its code page: its full-text search
    // takes the pages' titles and words as bytes of it (UTF-8 pages read as
    // garbage there). Pages in the help's code page, each letter it lacks
    // as a character reference; the script and the style sheet in ASCII
    // alone, with escapes, which read the same in any code page.
    const bool page = name.endsWith(QLatin1String(".html"));
    if (!page && !name.endsWith(QLatin1String(".js")) && !name.endsWith(QLatin1String(".css")))
        return utf8;
    QString text = QString::fromUtf8(utf8);
    const Platform::CodePage &cp = pageOf(m_p);
    if (const qsizetype at = page ? text.indexOf(QLatin1String("charset=utf-8")) : -1; at >= 0) // the page's head, not its text
        text.replace(at, 13, QStringLiteral("charset=") + charsetName(m_p.codePage));
    QString lost;
    QByteArray out = page ? cp.encode(text, &lost) : QByteArray();
    if (page && lost.isEmpty())
        return out;
    out.clear();
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char32_t c = text[k].isHighSurrogate() && k + 1 < text.size() ? QChar::surrogateToUcs4(text[k], text[k + 1]) : text[k].unicode();
        const QString one = text.mid(k, c > 0xFFFF ? 2 : 1);
        k += c > 0xFFFF ? 1 : 0;
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (page) {
            QString missing;
            const QByteArray bytes = cp.encode(one, &missing);
            out += missing.isEmpty() ? bytes : "&#" + QByteArray::number(quint32(c)) + ';';
        } else if (name.endsWith(QLatin1String(".js"))) {
            for (const QChar half : one)
                out += "\\u" + QByteArray::number(half.unicode(), 16).rightJustified(4, '0');
        } else {
            out += '\\' + QByteArray::number(quint32(c), 16) + ' ';
        }
    }
    return out;
}

QString Writer::picture(const TInline &item, int topic)
{
    if (!m_pictureFiles.contains(item.picture)) {
        QString file;
        // A PNG, JPEG or GIF file is shown as the author made it.
        const QByteArray original = m_p.pictureFiles.value(item.picture);
        const QByteArray format = rasterFormat(original);
        const QImage image = !format.isEmpty() ? QImage::fromData(original)
                             : item.picture < m_p.pictureData.size() ? pictureImage(m_p.pictureData[item.picture])
                                                                     : QImage();
        if (!format.isEmpty() && !m_previewImages && !image.isNull()) {
            file = QStringLiteral("images/image%1.%2").arg(item.picture).arg(QString::fromLatin1(format == "jpeg" ? "jpg" : format));
            write(file, original);
        } else if (!image.isNull() && m_previewImages) {
            file = QStringLiteral("images/image%1.png").arg(item.picture);
            m_previewImages->insert(file, image);
        } else if (!image.isNull()) {
            file = QStringLiteral("images/image%1.png").arg(item.picture);
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            write(file, png);
        }
        // A bitmap of the help's own (an icon, a screenshot: 96 dots to the
        // inch, with no finer version) is marked so that fine screens
        // enlarge it pixel for pixel: smoothed, its letters would blur.
        if (format.isEmpty() && !image.isNull())
            m_bitmaps.insert(item.picture);
        m_pictureFiles.insert(item.picture, file);
    }
    const QString file = m_pictureFiles.value(item.picture);
    if (file.isEmpty())
        return QStringLiteral("<span class=\"macro\">[image]</span>");
    // Its side (a picture beside the text) and its kind.
    QString attributes = item.placement == TInline::Left ? QStringLiteral(" style=\"float:left\"")
                         : item.placement == TInline::Right ? QStringLiteral(" style=\"float:right\"")
                                                : QString();
    if (m_bitmaps.contains(item.picture))
        attributes += QStringLiteral(" class=\"bitmap\"");
    // A hotspot graphic's hotspots: the areas of an image map, leading where
    // the help file's do (pop-ups open in the page).
    // Its text for readers who do not see it: the name of its file.
    const QString alt = escaped(m_p.pictureNames.value(item.picture));
    const QList<TPictureHotspot> hotspots = pictureHotspots(m_p.pictureData[item.picture]);
    if (hotspots.isEmpty())
        return QStringLiteral("<img src=\"%1\" alt=\"%2\"%3>").arg(file, alt, attributes);
    const QString map = QStringLiteral("map%1").arg(item.picture);
    QString out = QStringLiteral("<img src=\"%1\" alt=\"%2\" usemap=\"#%3\"%4>").arg(file, alt, map, attributes);
    if (m_maps.contains(item.picture))
        return out;
    m_maps.insert(item.picture);
    out += QStringLiteral("<map name=\"%1\">").arg(map);
    for (const TPictureHotspot &h : hotspots) {
        const QString coords = QStringLiteral("%1,%2,%3,%4").arg(h.x).arg(h.y).arg(h.x + h.width).arg(h.y + h.height);
        int popupTopic = -1;
        const QString href = (h.kind & ~0x04) == 0xC8 ? macroHref(text(m_p, h.target)) : m_targets.hrefOfTarget(h.target, m_pages, &popupTopic);
        // Named after the topic it leads to: its title, else its first
        // line (the drawing tool names hotspots "Hotspot 1", "Hotspot 2"...).
        const QString title = popupTopic >= 0 ? shownTitle(m_p, m_p.topics[popupTopic], m_pages[popupTopic])
                                              : text(m_p, h.name.isEmpty() ? h.target : h.name);
        QString area = QStringLiteral("<area shape=\"rect\" coords=\"%1\" title=\"%2\" alt=\"%2\"").arg(coords, escaped(title));
        if ((h.kind & ~0x04) == 0xE2 && popupTopic >= 0 && popupTopic != topic) {
            m_popups.insert(popupTopic);
            area += QStringLiteral(" href=\"%1\" data-popup=\"%2\" onclick=\"return popup(this, %2)\"")
                        .arg(escaped(popupHref(href, popupTopic)))
                        .arg(popupTopic);
        } else if (!href.isEmpty()) {
            area += QStringLiteral(" href=\"%1\"").arg(escaped(href));
        }
        out += area + u'>';
    }
    return out + QStringLiteral("</map>");
}

QString Writer::runs(const QList<TInline> &items, int topic)
{
    QString out;
    QString closing; // the open hotspot's end tag
    for (const TInline &i : items) {
        switch (i.kind) {
        case TInline::Text: {
            const TCharFormat &f = i.format;
            // The face as a quoted name of the style sheet: characters that
            // would end the name or the rule are left out.
            static const QRegularExpression unsafe(QStringLiteral("['\"\\\\;{}<>\\x00-\\x1f]"));
            const QString face = text(m_p, f.face).remove(unsafe);
            // Picture fonts: their bytes are glyphs, written as the
            // characters they show, in the page's own font.
            const bool picture = isPictureFont(face);
            const QString shown = shownLetters(m_p, i);
            QString style = picture ? fontSize(f.halfPoints) : QStringLiteral("font-family:%1;").arg(fontFamily(face, f.family)) + fontSize(f.halfPoints);
            if (f.attributes & FontBold)
                style += QStringLiteral("font-weight:bold;");
            if (f.attributes & FontItalic)
                style += QStringLiteral("font-style:italic;");
            if (f.attributes & FontUnderline)
                style += QStringLiteral("text-decoration:underline;");
            if (f.shift)
                style += f.shift > 0 ? QStringLiteral("vertical-align:super;") : QStringLiteral("vertical-align:sub;");
            QColor colour;
            if (f.colour[0] || f.colour[1] || f.colour[2]) {
                colour = QColor(f.colour[0], f.colour[1], f.colour[2]);
                style += QStringLiteral("color:%1;").arg(colour.name());
            }
            out += QStringLiteral("<span class=\"%1\">%2</span>").arg(styleClass(QStringLiteral("span"), style, colour), escaped(shown));
            break;
        }
        case TInline::LineBreak: out += QStringLiteral("<br>"); break;
        case TInline::Tab:
            // The pages' script lays tabs at their stops; a preview has no script.
            out += m_previewImages ? QStringLiteral("<span style=\"white-space:pre\">\t</span>") : QStringLiteral("<span class=\"tab\"></span>");
            break;
        case TInline::NbSpace: out += QStringLiteral("&nbsp;"); break;
        case TInline::NbHyphen: out += QStringLiteral("&#8209;"); break;
        case TInline::Picture: out += picture(i, topic); break;
        case TInline::HotspotEnd:
            out += closing;
            closing.clear();
            break;
        case TInline::HotspotStart: {
            closing = QStringLiteral("</a>");
            if (i.link == TInline::Macro) {
                // Macros with a meaning on the web become links; others stay
                // inert, named in their title.
                const QString macro = text(m_p, i.macro);
                const QString target = macroHref(macro);
                const QString related = target.isEmpty() ? relatedLink(macro, topic) : QString();
                if (!related.isEmpty())
                    out += related;
                else if (!target.isEmpty())
                    out += QStringLiteral("<a class=\"jump\" href=\"%1\">").arg(escaped(target));
                else {
                    out += QStringLiteral("<span class=\"macro\" title=\"%1\">").arg(escaped(macro));
                    closing = QStringLiteral("</span>");
                    if (const QString program = programCalled(macro); !program.isNull() && !m_previewImages)
                        m_warnings << QString::fromUtf8("page « %1 » : l'appel du programme « %2 » ne peut pas se faire depuis "
                                                        "une page web (seule une adresse http, https, ftp ou mailto s'ouvre "
                                                        "dans un navigateur) ; son texte reste, sans lien")
                                          .arg(shownTitle(m_p, m_p.topics[topic], m_pages[topic]), program);
                }
                break;
            }
            int target = -1;
            const QString href = m_targets.href(i.context, m_pages, i.file, &target);
            const bool isPopup = i.link == TInline::Popup;
            if (isPopup && target >= 0 && target != topic) {
                m_popups.insert(target);
                out += QStringLiteral("<a class=\"popup\" href=\"%1\" data-popup=\"%2\" onclick=\"return popup(this, %2)\">")
                           .arg(escaped(popupHref(href, target)))
                           .arg(target);
            } else if (!href.isEmpty()) {
                out += QStringLiteral("<a class=\"jump\" href=\"%1\">").arg(escaped(href));
            } else if (m_previewImages && i.file.isEmpty()) {
                // A link to a page that does not exist: the preview draws it
                // as broken.
                out += QStringLiteral("<a href=\"broken:%1\">").arg(escaped(text(m_p, i.context)));
            } else {
                out += QStringLiteral("<span class=\"macro\" title=\"%1\">").arg(escaped(text(m_p, i.context + (i.file.isEmpty() ? QByteArray() : '@' + i.file))));
                closing = QStringLiteral("</span>");
            }
            break;
        }
        }
    }
    return out + closing;
}

QString Writer::paragraph(const TParagraph &p, int topic, bool heading)
{
    if (p.table) {
        QMap<int, QString> cells;
        for (const auto &[cell, inner] : p.table->paragraphs)
            cells[cell] += paragraph(inner, topic);
        QString row = QStringLiteral("<tr>");
        int left = p.table->left + p.table->gap;
        for (qsizetype c = 0; c < p.table->cellx.size(); ++c) {
            const int width = qMax(1, p.table->cellx[c] - left);
            left = p.table->cellx[c];
            row += QStringLiteral("<td style=\"width:%1pt\">%2</td>").arg(width / 20).arg(cells.value(int(c)));
        }
        return row + QStringLiteral("</tr>\n");
    }
    const TParagraphFormat &f = p.format;
    QString style;
    if (f.align == TParagraphFormat::Centre)
        style += QStringLiteral("text-align:center;");
    else if (f.align == TParagraphFormat::Right)
        style += QStringLiteral("text-align:right;");
    if (f.leftIndent)
        style += QStringLiteral("margin-left:%1pt;").arg(f.leftIndent / 2.0);
    if (f.rightIndent)
        style += QStringLiteral("margin-right:%1pt;").arg(f.rightIndent / 2.0);
    if (f.firstIndent)
        style += QStringLiteral("text-indent:%1pt;").arg(f.firstIndent / 2.0);
    if (f.spaceBefore)
        style += QStringLiteral("margin-top:%1pt;").arg(f.spaceBefore / 2.0);
    if (f.spaceAfter)
        style += QStringLiteral("margin-bottom:%1pt;").arg(f.spaceAfter / 2.0);
    if (f.borders) {
        // The rule under a heading, or a box: as the help viewer draws them.
        const QString line = (f.borders & BorderDouble) ? QStringLiteral("3px double")
                             : (f.borders & BorderThick) ? QStringLiteral("2px solid")
                                                          : QStringLiteral("1px solid");
        if (f.borders & BorderBox)
            style += QStringLiteral("border:%1;").arg(line);
        for (const auto &[bit, side] : {std::pair{BorderTop, "top"}, std::pair{BorderLeft, "left"}, std::pair{BorderBottom, "bottom"},
                                        std::pair{BorderRight, "right"}})
            if ((f.borders & bit) && !(f.borders & BorderBox))
                style += QStringLiteral("border-%1:%2;").arg(QLatin1String(side), line);
    }
    // Tab stops, in points from the left margin; a hanging indent makes
    // the left indent one, as word processors do.
    QList<double> stops;
    for (const quint16 tab : f.tabs)
        stops << (tab & 0x3FFF) / 2.0;
    if (f.firstIndent < 0 && f.leftIndent > 0)
        stops << f.leftIndent / 2.0;
    std::sort(stops.begin(), stops.end());
    stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
    QStringList tabs;
    for (const double stop : std::as_const(stops))
        tabs << QString::number(stop);
    QString inner = runs(p.items, topic);
    // An empty line as tall as its own font.
    if (inner.isEmpty() && p.markFormat)
        inner = QStringLiteral("<span class=\"%1\">&nbsp;</span>")
                    .arg(styleClass(QStringLiteral("span"), QStringLiteral("font-size:%1pt;").arg(p.markFormat->halfPoints / 2.0)));
    // A line that is only links (a list of topics, a glossary): each link
    // is a target at least as tall as a finger needs, as on a phone.
    bool links = false, text = false, inLink = false;
    for (const TInline &i : p.items) {
        if (i.kind == TInline::HotspotStart)
            links = inLink = true;
        else if (i.kind == TInline::HotspotEnd)
            inLink = false;
        else if (i.kind == TInline::Text && !inLink && !i.text.trimmed().isEmpty())
            text = true;
    }
    QStringList classes;
    if (!style.isEmpty())
        classes << styleClass(heading ? QStringLiteral("h1") : QStringLiteral("p"), style);
    if (links && !text && !m_previewImages)
        classes << QStringLiteral("links");
    return QStringLiteral("<%4%1%2>%3</%4>\n")
        .arg(classes.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(classes.join(u' ')),
             tabs.isEmpty() || !inner.contains(QLatin1String("class=\"tab\"")) ? QString() : QStringLiteral(" data-tabs=\"%1\"").arg(tabs.join(u',')),
             inner.isEmpty() ? QStringLiteral("&nbsp;") : inner, heading ? QStringLiteral("h1") : QStringLiteral("p"));
}

QString Writer::paragraphs(const QList<TParagraph> &list, int topic, const TParagraph *heading)
{
    // Rows that follow each other are one table.
    QString out;
    bool inTable = false;
    for (const TParagraph &p : list) {
        if (bool(p.table) != inTable)
            out += inTable ? QStringLiteral("</table>\n") : QStringLiteral("<table class=\"cells\">");
        inTable = bool(p.table);
        out += paragraph(p, topic, &p == heading);
    }
    return out + (inTable ? QStringLiteral("</table>\n") : QString());
}

QString Writer::topicPage(int n, const QString &body, const QString &boxes)
{
    const TSourceTopic &t = m_p.topics[n];
    const QString name = shownTitle(m_p, t, m_pages[n]);
    QString anchors;
    for (const QByteArray &c : t.contexts)
        anchors += QStringLiteral("<a id=\"%1\"></a>").arg(escaped(QString::fromLatin1(normalizeContext(c))));
    for (const QString &alias : m_aliases.value(n))
        anchors += QStringLiteral("<a id=\"%1\"></a>").arg(escaped(alias));
    // Where the page is in the contents: the books that hold it. A compiled
    // help file's viewer shows it in its own tree (viewers without style
    // sheets would show the path as a list).
    QString crumbs;
    if (!m_chm) {
        crumbs = QStringLiteral("<nav class=\"crumbs\" aria-label=\"%1\" lang=\"%2\"><ol>").arg(escaped(m_labels.path), m_labels.lang);
        crumbs += QStringLiteral("<li><a href=\"index.html\">%1</a></li>").arg(escaped(m_title.isEmpty() ? m_labels.contents : m_title));
        QStringList books;
        if (m_entryOf.contains(n)) {
            int level = m_contents[m_entryOf[n]].level;
            for (int i = m_entryOf[n] - 1; i >= 0 && level > 1; --i)
                if (m_contents[i].level < level) {
                    level = m_contents[i].level;
                    const TContentsEntry &e = m_contents[i];
                    books.prepend(e.page.isEmpty() ? QStringLiteral("<li>%1</li>").arg(escaped(e.text))
                                                   : QStringLiteral("<li><a href=\"%1\">%2</a></li>").arg(escaped(e.page), escaped(e.text)));
                }
        }
        crumbs += books.join(QString()) + QStringLiteral("<li aria-current=\"page\">%1</li></ol></nav>").arg(escaped(name));
    }
    // The pages before and after it: its browse sequence, else the contents.
    QString pager;
    if (m_pager.contains(n)) {
        const auto [previous, next] = m_pager.value(n);
        pager = QStringLiteral("<nav class=\"pager\" aria-label=\"%1\" lang=\"%2\">").arg(escaped(m_labels.browse), m_labels.lang);
        if (previous >= 0)
            pager += QStringLiteral("<a rel=\"prev\" href=\"%1\"><small>%2</small>%3</a>")
                         .arg(escaped(m_pages[previous]), escaped(m_labels.previous), escaped(shownTitle(m_p, m_p.topics[previous], m_pages[previous])));
        if (next >= 0)
            pager += QStringLiteral("<a rel=\"next\" href=\"%1\"><small>%2</small>%3</a>")
                         .arg(escaped(m_pages[next]), escaped(m_labels.next), escaped(shownTitle(m_p, m_p.topics[next], m_pages[next])));
        pager += QStringLiteral("</nav>");
    }
    return page(m_pages[n], name, crumbs + anchors + body + pager, {}, boxes);
}

QString Writer::page(const QString &file, const QString &title, const QString &main, const QString &extra, const QString &after) const
{
    // The character set in the older form, which compiled-help viewers
    // honour too (HTML takes either, not both).
    QString full = title.isEmpty() || title == m_title || m_title.isEmpty() ? (title.isEmpty() ? m_title : title)
                                                                           : title + QStringLiteral(" - ") + m_title;
    if (full.trimmed().isEmpty()) // a help without a title: the page still has one
        full = file == QLatin1String("index.html") ? m_labels.contents : file.chopped(5);
    // What a search engine or a link preview shows: the first words of the
    // page's own text (its markup already escaped), else of the page.
    QString description;
    if (!m_chm) {
        static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
        qsizetype from = main.indexOf(QLatin1String("<div class=\"nsr\">"));
        if (from < 0)
            from = main.indexOf(QLatin1String("<div class=\"text\">"));
        description = main.mid(qMax<qsizetype>(0, from), 4000).remove(tags).simplified();
        if (description.size() > 155) {
            description.truncate(155);
            const qsizetype blank = description.lastIndexOf(u' ');
            description.truncate(blank > 80 ? blank : 155);
            if (const qsizetype amp = description.lastIndexOf(u'&'); amp >= 0 && description.indexOf(u';', amp) < 0)
                description.truncate(amp); // not half an entity
            description += QStringLiteral("\u2026");
        }
        if (description.isEmpty())
            description = escaped(plainValue(full));
    }
    // The class of a compiled help file's pages is on <html>: chmcmd's
    // full-text indexer reads no word of a <body> with attributes.
    QString out = QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\"%5%6><head>"
                                 "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                                 "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
                                 "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>%2</title>"
                                 "<link rel=\"stylesheet\" href=\"help.css\"><script src=\"help.js\"></script>%3%4</head>\n")
                      .arg(m_language, escaped(plainValue(full)),
                           m_chm ? QString()
                                 : QStringLiteral("<meta name=\"description\" content=\"%1\"><link rel=\"icon\" href=\"favicon.svg\" type=\"image/svg+xml\">"
                                                  "<script src=\"toc.js\"></script>")
                                       .arg(description),
                           extra,
                           m_chm ? QStringLiteral(" class=\"chm\"") : QString(),
                           rightToLeft(m_language) ? QStringLiteral(" dir=\"rtl\"") : QString());
    if (m_chm) {
        // chmcmd's full-text indexer fails on a page without a word it
        // knows (a letter of ASCII or a digit; a page all in Cyrillic or
        // Greek): such a page carries its file's name, unseen and unread.
        static const QRegularExpression tags(QStringLiteral("<[^>]*>|&[a-z]+;|&#[0-9]+;")), latin(QStringLiteral("[A-Za-z0-9]"));
        const QString hidden = QString(title + main).remove(tags).contains(latin)
                                   ? QString()
                                   : QStringLiteral("<span style=\"display:none\">%1</span>").arg(escaped(file.chopped(5)));
        return out + QStringLiteral("<body><main id=\"main\">") + main + hidden + QStringLiteral("</main>") + after
               + QStringLiteral("</body></html>\n");
    }
    const TWebLabels &l = m_labels;
    out += QStringLiteral("<body><a class=\"skip\" href=\"#main\" lang=\"%1\">%2</a>\n").arg(l.lang, escaped(l.skip));
    out += QStringLiteral("<header class=\"top\" lang=\"%1\">"
                          "<button type=\"button\" class=\"menu\" aria-controls=\"pane\" aria-expanded=\"false\" onclick=\"toggleMenu(this)\">"
                          "<span aria-hidden=\"true\">&#9776;</span><span class=\"sr\">%2</span></button>"
                          "<a class=\"home\" href=\"index.html\">%3</a>"
                          "<form class=\"find\" role=\"search\" action=\"search.html\" onsubmit=\"return find(this)\">"
                          "<input type=\"search\" name=\"q\" aria-label=\"%4\" placeholder=\"%4\" autocomplete=\"off\">"
                          "<ul class=\"found\" id=\"found\" style=\"display:none\"></ul></form>"
                          "<a class=\"kw\" href=\"keywords.html\">%5</a>"
                          "<button type=\"button\" class=\"theme\" onclick=\"cycleTheme(this)\"><svg aria-hidden=\"true\" width=\"16\" height=\"16\" "
                          "viewBox=\"0 0 16 16\"><circle cx=\"8\" cy=\"8\" r=\"6.5\" fill=\"none\" stroke=\"currentColor\" stroke-width=\"1.5\"/>"
                          "<path d=\"M8 1.5a6.5 6.5 0 0 1 0 13z\" fill=\"currentColor\"/></svg>"
                          "<span class=\"sr\">%6</span></button></header>\n")
               .arg(l.lang, escaped(l.menu), escaped(m_title.isEmpty() ? l.contents : m_title), escaped(l.search), escaped(l.index),
                    escaped(QString(l.theme).replace(QLatin1String("%1"), l.themeAuto)));
    // The contents, and in the drawer of a narrow screen the keyword index
    // too (the header has no room for it there).
    // The part of the contents that holds the page, loaded with it.
    const int topic = int(m_pages.indexOf(file));
    const int part = topic >= 0 && m_entryOf.contains(topic) ? m_tocPart.value(m_entryOf[topic]) : 0;
    out += QStringLiteral("<div class=\"frame\"><nav id=\"pane\" class=\"pane\" aria-label=\"%1\" lang=\"%2\"%4>"
                          "<p class=\"kwlink\"><a href=\"keywords.html\">%3</a></p></nav>\n")
               .arg(escaped(l.contents), l.lang, escaped(l.index), part ? QStringLiteral(" data-toc=\"%1\"").arg(part) : QString());
    return out + QStringLiteral("<main id=\"main\" tabindex=\"-1\">") + main + QStringLiteral("</main></div>\n") + after
           + QStringLiteral("</body></html>\n");
}

void Writer::prepare()
{
    // The body's size: the one most of the text has.
    QHash<int, qsizetype> sizes;
    for (const TSourceTopic &t : m_p.topics)
        for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
            for (const TParagraph &p : *list)
                for (const TInline &i : p.items)
                    if (i.kind == TInline::Text)
                        sizes[i.format.halfPoints] += i.text.size();
    qsizetype most = 0;
    for (auto it = sizes.cbegin(); it != sizes.cend(); ++it)
        if (it.value() > most || (it.value() == most && it.key() < m_bodySize)) {
            most = it.value();
            m_bodySize = qMax(2, it.key());
        }
    m_title = text(m_p, m_p.hpj.options.value("TITLE"));
    m_language = languageOf(m_p);
    // The navigation in the help's language, French when it does not say.
    // (or the language of its code page, when that is not Windows-1252).
    m_labels = webLabels(m_p.hpj.options.contains("LCID") || m_p.codePage != 1252 ? m_language : QString());
    const QByteArray hlp = m_p.hpj.options.value("HLP").trimmed();
    m_targets.helpFile = QFileInfo(hlp.isEmpty() ? QFileInfo(m_p.hpjName).completeBaseName() + QStringLiteral(".hlp")
                                                 : text(m_p, hlp).replace(u'\\', u'/'))
                             .fileName()
                             .toLower();
    // Page names first: links need every page.
    // The site's own pages keep their names.
    QSet<QString> taken{QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("search.html"),
                        QStringLiteral("context.html")};
    for (int n = 0; n < m_p.topics.size(); ++n) {
        QString name = htmlPageName(m_p.topics[n], n + 1);
        while (taken.contains(name.toLower()))
            name.insert(name.size() - 5, u'_');
        taken.insert(name.toLower());
        m_pages << name;
        for (const QByteArray &c : m_p.topics[n].contexts) {
            const QString context = QString::fromLatin1(normalizeContext(c));
            if (!context.isEmpty() && !m_targets.byContext.contains(context.toUpper()))
                m_targets.byContext.insert(context.toUpper(), {n, context});
        }
    }
    for (auto it = m_p.hpj.alias.cbegin(); it != m_p.hpj.alias.cend(); ++it) {
        const auto target = m_targets.byContext.value(QString::fromLatin1(normalizeContext(it.value())).toUpper(), {-1, QString()});
        const QString alias = QString::fromLatin1(normalizeContext(it.key()));
        if (target.first >= 0 && !alias.isEmpty() && !m_targets.byContext.contains(alias.toUpper())) {
            // An alias is an anchor of its topic's page too.
            m_targets.byContext.insert(alias.toUpper(), {target.first, alias});
            m_aliases[target.first] << alias;
        }
    }
    m_contents = contentsOf(m_p, m_pages, m_targets);
    m_tocPart = QList<int>(m_contents.size(), 0);
    int parts = 0, topLines = 0;
    for (const TContentsEntry &e : std::as_const(m_contents))
        topLines += e.level == 1;
    const bool runs = topLines > 300; // a long flat list: in runs of a hundred
    for (int i = 0, top = 0; i < m_contents.size(); ++i) {
        if (m_contents[i].level == 1) {
            if (runs ? top % 100 == 0 : i + 1 < m_contents.size() && m_contents[i + 1].level > 1)
                ++parts;
            ++top;
        }
        const bool inPart = runs || m_contents[i].level > 1;
        m_tocPart[i] = inPart ? parts : 0;
    }
    // Previous and next: the contents' order, each page once...
    QList<int> order;
    for (int i = 0; i < m_contents.size(); ++i)
        if (m_contents[i].topic >= 0 && !m_entryOf.contains(m_contents[i].topic)) {
            m_entryOf.insert(m_contents[i].topic, i);
            order << m_contents[i].topic;
        }
    for (qsizetype i = 0; i < order.size(); ++i)
        m_pager.insert(order[i], {i > 0 ? order[i - 1] : -1, i + 1 < order.size() ? order[i + 1] : -1});
    // ...but a browse sequence, where the author made one, as the help file has it.
    for (const QList<int> &group : m_p.browse)
        for (qsizetype i = 0; i < group.size(); ++i)
            m_pager.insert(group[i], {i > 0 ? group[i - 1] : -1, i + 1 < group.size() ? group[i + 1] : -1});
}

const TParagraph *Writer::titleParagraph(int n) const
{
    const TSourceTopic &t = m_p.topics[n];
    const QString title = shownTitle(m_p, t, m_pages[n]).simplified();
    for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling}) {
        for (const TParagraph &p : *list) {
            const QString line = p.table ? QString() : plainText(m_p, p).simplified();
            if (line.isEmpty() && !p.table)
                continue;
            return line.compare(title, Qt::CaseInsensitive) == 0 ? &p : nullptr;
        }
    }
    return nullptr;
}

const TParagraph *Writer::headingParagraph(int n) const
{
    const TSourceTopic &t = m_p.topics[n];
    for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
        for (const TParagraph &p : *list) {
            if (p.table)
                return nullptr;
            const QString line = plainText(m_p, p).simplified();
            if (line.isEmpty())
                continue;
            if (line.size() > 120)
                return nullptr;
            for (const TInline &i : p.items)
                if (i.kind == TInline::Picture
                    || (i.kind == TInline::Text && !i.text.trimmed().isEmpty() && !(i.format.attributes & FontBold)
                        && i.format.halfPoints <= m_bodySize))
                    return nullptr;
            return &p;
        }
    return nullptr;
}

QString Writer::topicBody(int n, bool *hasHeading)
{
    const TSourceTopic &t = m_p.topics[n];
    m_popups.clear();
    m_maps.clear();
    m_relatedBoxes.clear();
    // The heading: the first paragraph with text, when it says the title
    // (help topics start so; an untitled topic is named by it). The
    // program's preview has none.
    const TParagraph *heading = m_previewImages ? nullptr : titleParagraph(n);
    if (hasHeading)
        *hasHeading = heading;
    QString body;
    if (!t.nonScrolling.isEmpty())
        body += QStringLiteral("<div class=\"nsr\">") + paragraphs(t.nonScrolling, n, heading) + QStringLiteral("</div>");
    return body + QStringLiteral("<div class=\"text\">") + paragraphs(t.scrolling, n, heading) + QStringLiteral("</div>");
}

QList<Writer::TWindowColour> Writer::mainColours() const
{
    QList<TWindowColour> out;
    for (const TWindowDef &w : m_p.hpj.windows)
        if (w.name.compare("main", Qt::CaseInsensitive) == 0) {
            if (w.hasScroll)
                out.append({QStringLiteral("body, .pane"), QColor(w.scroll[0], w.scroll[1], w.scroll[2]), QString::fromLatin1(w.name),
                            QStringLiteral("texte")});
            if (w.hasTitle)
                out.append({QStringLiteral(".nsr"), QColor(w.title[0], w.title[1], w.title[2]), QString::fromLatin1(w.name),
                            QStringLiteral("zone fixe")});
        }
    return out;
}

QString Writer::windowRules() const
{
    QString rules;
    for (const TWindowColour &c : mainColours())
        rules += QStringLiteral("%1 { background: %2; }\n").arg(c.selector, c.colour.name());
    return rules;
}

QString Writer::darkRules() const
{
    QString rules = QString::fromUtf8(kWebDark);
    for (const TWindowColour &c : mainColours())
        rules += QStringLiteral("%1 { background: %2; }\n").arg(c.selector, darkBackground(c.colour).name());
    for (auto it = m_textColours.cbegin(); it != m_textColours.cend(); ++it)
        rules += QStringLiteral("span.%1 { color: %2; }\n").arg(it.key(), darkTextColour(*it).name());
    // Each rule under the system's dark scheme unless the reader chose the
    // light one, and under the reader's choice of the dark one.
    static const QRegularExpression comments(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption);
    rules.remove(comments);
    QString system, chosen;
    for (const QString &rule : rules.split(u'}', Qt::SkipEmptyParts)) {
        const qsizetype open = rule.indexOf(u'{');
        if (open < 0)
            continue;
        QStringList selectors = rule.left(open).split(u',');
        QStringList mine = selectors;
        for (qsizetype k = 0; k < selectors.size(); ++k) {
            selectors[k] = QStringLiteral("html:not(.light) ") + selectors[k].trimmed();
            mine[k] = QStringLiteral("html.dark ") + mine[k].trimmed();
        }
        const QString body = rule.mid(open).trimmed() + QStringLiteral(" }\n");
        system += QStringLiteral("  ") + selectors.join(QStringLiteral(", ")) + u' ' + body;
        chosen += mine.join(QStringLiteral(", ")) + u' ' + body;
    }
    return QStringLiteral("@media (prefers-color-scheme: dark) {\n") + system + QStringLiteral("}\n") + (m_chm ? QString() : chosen);
}

void Writer::checkContrast()
{
    QList<QColor> inks{Qt::black};
    for (const QColor &c : std::as_const(m_textColours))
        if (!inks.contains(c))
            inks << c;
    for (const TWindowColour &c : mainColours())
        for (const QColor &ink : std::as_const(inks)) {
            const double ratio = contrastRatio(ink, c.colour);
            if (ratio < 4.5)
                m_warnings << QString::fromUtf8("contraste insuffisant (%1:1, 4,5:1 au moins) entre le texte %2 et le fond %3 "
                                                "de la fenêtre %4 (%5)")
                                  .arg(QLocale(QLocale::French).toString(ratio, 'f', 1), ink.name(), c.colour.name(), c.window, c.where);
        }
}

QJsonObject Writer::contextTable()
{
    if (m_pages.isEmpty())
        prepare();
    QJsonArray contexts;
    QSet<QString> named;
    const auto entry = [&](const QString &name, int topic, const QString &anchor) {
        QJsonObject e{{QStringLiteral("name"), name}, {QStringLiteral("page"), m_pages[topic] + u'#' + anchor},
                      {QStringLiteral("title"), shownTitle(m_p, m_p.topics[topic], m_pages[topic])}};
        return e;
    };
    // The numbers first, each with its context.
    for (const auto &[context, number, n] : m_p.map) {
        const QString name = QString::fromLatin1(normalizeContext(context));
        const auto target = m_targets.byContext.value(name.toUpper(), {n, name});
        if (n < 0 || n >= m_pages.size())
            continue;
        QJsonObject e = entry(name, n, target.first == n ? target.second : name);
        e.insert(QStringLiteral("number"), double(quint32(number)));
        contexts.append(e);
        named.insert(name.toUpper());
    }
    QStringList names = m_targets.byContext.keys();
    std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) {
        const auto ta = m_targets.byContext[a], tb = m_targets.byContext[b];
        return ta.first != tb.first ? ta.first < tb.first : a < b;
    });
    for (const QString &upper : std::as_const(names))
        if (!named.contains(upper)) {
            const auto [topic, name] = m_targets.byContext[upper];
            contexts.append(entry(name, topic, name));
        }
    return {{QStringLiteral("help"), m_title}, {QStringLiteral("contexts"), contexts}};
}

TManualPlan Writer::manual()
{
    TManualPlan out;
    prepare();
    out.title = m_title;
    out.language = m_language;
    out.contents = m_labels.contents;
    out.appendix = m_labels.appendix;
    // The contents in order, each topic's heading once; then the others.
    // A help whose contents are its home page with every other entry under
    // it (as a KivHelp project's) has its chapters one level down.
    const bool oneRoot = m_contents.size() > 1 && std::count_if(m_contents.cbegin(), m_contents.cend(), [](const TContentsEntry &e) {
                                                       return e.level == 1;
                                                   }) == 1;
    out.chapterLevel = oneRoot ? 2 : 1;
    QSet<int> shown;
    for (int i = 0; i < m_contents.size(); ++i) {
        const TContentsEntry &e = m_contents[i];
        const bool repeat = e.topic >= 0 && shown.contains(e.topic);
        const bool chapter = i == 0 || (e.level == out.chapterLevel && i + 1 < m_contents.size() && m_contents[i + 1].level > e.level);
        out.entries.append({e.level, e.text, e.topic, repeat, chapter, {}});
        if (e.topic >= 0)
            shown.insert(e.topic);
    }
    bool appendix = false;
    for (int n = 0; n < m_p.topics.size(); ++n)
        if (!shown.contains(n) && (!m_p.topics[n].scrolling.isEmpty() || !m_p.topics[n].nonScrolling.isEmpty())) {
            if (!appendix)
                out.entries.append({1, m_labels.appendix, -1, false, true, {}});
            appendix = true;
            out.entries.append({2, shownTitle(m_p, m_p.topics[n], m_pages[n]), n, false, false, {}});
            shown.insert(n);
        }
    // A topic's own heading (its title, or a first line set apart: bold or
    // larger than the text, short) is the manual's heading for it, not a
    // second one under it.
    for (const int n : std::as_const(shown)) {
        const TParagraph *p = titleParagraph(n);
        if (!p)
            p = headingParagraph(n);
        if (p)
            out.titleParagraphs.insert(n, p);
    }
    for (TManualPlan::Entry &e : out.entries)
        if (e.topic >= 0 && out.titleParagraphs.contains(e.topic))
            e.heading = plainText(m_p, *out.titleParagraphs[e.topic]).simplified();
    return out;
}

TManualLink Writer::manualLink(const TInline &i, int topic) const
{
    TManualLink out;
    if (i.link != TInline::Macro) {
        m_targets.href(i.context, m_pages, i.file, &out.topic);
        return out;
    }
    const QString macro = text(m_p, i.macro);
    const QString href = macroHref(macro);
    if (href.isEmpty()) {
        // ALink, KLink: the first topic they list.
        const QList<int> related = relatedTopics(macro, topic).value_or(QList<int>());
        out.topic = related.value(0, -1);
        return out;
    }
    out.topic = int(m_pages.indexOf(href.section(u'#', 0, 0)));
    static const QRegularExpression address(QStringLiteral("^(?:https?|mailto|ftp):"), QRegularExpression::CaseInsensitiveOption);
    if (out.topic < 0 && address.match(href).hasMatch())
        out.address = href;
    return out;
}

TPagePreview Writer::preview(int n)
{
    TPagePreview out;
    m_previewImages = &out.images;
    prepare();
    const QString body = topicBody(n);
    // The pop-ups it opens, and those that these open in turn.
    QList<int> todo(m_popups.cbegin(), m_popups.cend());
    while (!todo.isEmpty()) {
        const int popup = todo.takeFirst();
        if (out.popups.contains(popup))
            continue;
        m_popups.clear();
        const TSourceTopic &target = m_p.topics[popup];
        out.popups.insert(popup, paragraphs(target.nonScrolling, popup) + paragraphs(target.scrolling, popup));
        todo += QList<int>(m_popups.cbegin(), m_popups.cend());
    }
    // The site's style sheet, less what the program's text view does not
    // draw (sticky regions, hidden pop-up boxes, script-laid tabs).
    out.style = QString::fromUtf8(kWebStyle) + windowRules() + m_classRules;
    out.html = QStringLiteral("<html lang=\"%1\"><head><style>\n%2</style></head><body%4>%3</body></html>")
                   .arg(m_language, out.style, body, rightToLeft(m_language) ? QStringLiteral(" dir=\"rtl\"") : QString());
    out.pages = m_pages;
    m_previewImages = nullptr;
    return out;
}

QStringList Writer::run()
{
    m_targets.otherHelps = !m_chm;
    if (!QDir().mkpath(m_dir + QStringLiteral("/images")))
        return {QStringLiteral("dossier impossible à créer : ") + m_dir};
    // The pages are staged and published together: one sync for all of
    // them, pages left unchanged are not rewritten, and a build that fails
    // or is killed before the end leaves the previous pages as they were.
    Platform::WriteBatch batch;
    // Temporary files of a build that was killed are removed.
    Platform::removeStaleTemps(m_dir);
    Platform::removeStaleTemps(m_dir + QStringLiteral("/images"));
    prepare();

    SearchIndex search(m_language);
    QHash<int, QStringList> keywords;
    for (const TIndexEntry &entry : m_p.index)
        for (const int n : entry.topics)
            keywords[n] << text(m_p, entry.keyword);
    for (int n = 0; n < m_p.topics.size(); ++n) {
        const TSourceTopic &t = m_p.topics[n];
        bool hasHeading = false;
        QString body = topicBody(n, &hasHeading);
        // A page whose text does not say its title has it as a heading for
        // screen readers alone.
        if (!hasHeading && !m_chm) // (viewers of compiled help without style sheets would show it)
            body.prepend(QStringLiteral("<h1 class=\"sr\">%1</h1>").arg(escaped(shownTitle(m_p, t, m_pages[n]))));
        // The pop-ups of this page, each once, hidden until asked for.
        // In topic order, so that the same project makes the same page.
        QList<int> popups(m_popups.cbegin(), m_popups.cend());
        std::sort(popups.begin(), popups.end());
        QString boxes = m_relatedBoxes.join(QString());
        for (const int popup : std::as_const(popups)) {
            const TSourceTopic &target = m_p.topics[popup];
            boxes += QStringLiteral("<div class=\"box\" id=\"box-%1\" role=\"dialog\" tabindex=\"-1\" aria-label=\"%2\">")
                         .arg(popup)
                         .arg(escaped(plainValue(shownTitle(m_p, target, m_pages.value(popup)))))
                     + paragraphs(target.nonScrolling, popup) + paragraphs(target.scrolling, popup) + QStringLiteral("</div>");
        }
        write(m_pages[n], topicPage(n, body, boxes).toUtf8());
        if (!m_chm) {
            QString plain;
            for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
                for (const TParagraph &p : *list)
                    plain += plainText(m_p, p) + u' ';
            search.addPage(m_pages[n], shownTitle(m_p, t, m_pages[n]), keywords.value(n), plain);
        }
    }
    // The contents, as a page and as the pane's tree.
    const QString contents = QStringLiteral("<h1 class=\"title\">%1</h1>").arg(escaped(m_title.isEmpty() ? m_labels.contents : m_title))
                             + nestedList(m_contents, [](const TContentsEntry &e) {
                                   // No </li>: a deeper list that follows belongs to the item.
                                   return e.page.isEmpty() ? QStringLiteral("<li><b>%1</b>").arg(escaped(e.text))
                                                           : QStringLiteral("<li><a href=\"%1\">%2</a>").arg(escaped(e.page), escaped(e.text));
                               });
    const auto wrapped = [](const QString &html) { return QStringLiteral("<div class=\"text\">") + html + QStringLiteral("</div>"); };
    write(QStringLiteral("index.html"), page(QStringLiteral("index.html"), m_title, wrapped(QStringLiteral("<div class=\"toc\">") + contents + QStringLiteral("</div>"))).toUtf8());
    if (!m_chm) {
        // Context help: context.html?id=NUMBER or ?name=CONTEXT leads to the
        // page a program asks for.
        QString ids, names;
        for (const QJsonValue &v : contextTable().value(QStringLiteral("contexts")).toArray()) {
            const QJsonObject e = v.toObject();
            if (e.contains(QStringLiteral("number")))
                ids += QStringLiteral("%1\"%2\":%3").arg(ids.isEmpty() ? QString() : QStringLiteral(",\n"))
                           .arg(quint32(e.value(QStringLiteral("number")).toDouble())).arg(jsString(e.value(QStringLiteral("page")).toString()));
            names += QStringLiteral("%1%2:%3").arg(names.isEmpty() ? QString() : QStringLiteral(",\n"),
                                                   jsString(e.value(QStringLiteral("name")).toString().toUpper()), jsString(e.value(QStringLiteral("page")).toString()));
        }
        write(QStringLiteral("context.js"), QStringLiteral("var CONTEXTS = {ids: {%1},\nnames: {%2}};\n").arg(ids, names).toUtf8());
        write(QStringLiteral("context.html"),
              page(QStringLiteral("context.html"), m_labels.contents,
                   wrapped(QStringLiteral("<p id=\"context\"></p><p><a href=\"index.html\">%1</a></p>").arg(escaped(m_labels.contents))),
                   QStringLiteral("<script src=\"context.js\"></script>"))
                  .toUtf8());
        // The top level: each line with the part its book's lines are in,
        // a run of a long list as a book named by its first and last lines.
        QString toc;
        QMap<int, QString> partLines;
        QMap<int, int> partBase;
        for (qsizetype i = 0; i < m_contents.size(); ++i) {
            const TContentsEntry &e = m_contents[i];
            const int part = m_tocPart[i];
            const QString line = QStringLiteral("[%1,%2,%3]").arg(e.level).arg(jsString(e.text), jsString(e.page));
            if (part) { // a book's line, or a line of a run of a long list
                if (!partBase.contains(part)) {
                    // A run of the flat list: its lines all go under a book of its own.
                    qsizetype last = i;
                    while (last + 1 < m_contents.size() && m_tocPart[last + 1] == part)
                        ++last;
                    partBase.insert(part, 0);
                    toc += QStringLiteral("%1[1,%2,\"\",%3]\n").arg(toc.isEmpty() ? QString() : QStringLiteral(","))
                               .arg(jsString(e.text + QStringLiteral(" \u2013 ") + m_contents[last].text)).arg(part);
                }
                partLines[part] += (partLines[part].isEmpty() ? QString() : QStringLiteral(",\n")) + line;
                continue;
            }
            // A book's own line stays at the top; its lines are its part.
            const bool book = i + 1 < m_contents.size() && m_tocPart[i + 1] && m_contents[i + 1].level > 1 && e.level == 1;
            if (book)
                partBase.insert(m_tocPart[i + 1], 1);
            toc += QStringLiteral("%1[%2,%3,%4,%5]\n").arg(toc.isEmpty() ? QString() : QStringLiteral(",")).arg(e.level)
                       .arg(jsString(e.text), jsString(e.page)).arg(book ? m_tocPart[i + 1] : 0);
        }
        write(QStringLiteral("toc.js"), (QStringLiteral("var TOC = [") + toc + QStringLiteral("];\n")).toUtf8());
        if (!partLines.isEmpty() && !QDir().mkpath(m_dir + QStringLiteral("/toc")))
            m_errors << QStringLiteral("dossier impossible à créer : ") + m_dir + QStringLiteral("/toc");
        if (!partLines.isEmpty())
            Platform::removeStaleTemps(m_dir + QStringLiteral("/toc"));
        for (auto it = partLines.cbegin(); it != partLines.cend(); ++it)
            write(QStringLiteral("toc/%1.js").arg(it.key()),
                  QStringLiteral("tocPart(%1,%2,[%3]);\n").arg(it.key()).arg(partBase.value(it.key())).arg(*it).toUtf8());
    }
    // The keyword index, with a box that keeps the entries holding what is
    // typed; a keyword "main, sub" or "main: sub" is a second level under
    // "main" when the index has "main" or another "main, ..." entry.
    QString index = QStringLiteral("<h1 class=\"title\">%1</h1>").arg(escaped(m_labels.index));
    if (!m_chm)
        index += QStringLiteral("<p><input type=\"search\" id=\"kwfilter\" aria-label=\"%1\" placeholder=\"%1\" autocomplete=\"off\"></p>")
                     .arg(escaped(m_labels.search));
    index += QStringLiteral("<ul class=\"index\" id=\"kwlist\">");
    for (const TKeywordLine &line : keywordLines(m_p)) {
        if (line.level == 2 && line.first)
            index += QStringLiteral("<ul>");
        index += QStringLiteral("<li>%1").arg(escaped(line.text));
        for (const int n : line.topics)
            index += QStringLiteral(" <a href=\"%1\">%2</a>").arg(m_pages[n], escaped(shownTitle(m_p, m_p.topics[n], m_pages[n])));
        index += line.level == 2 ? QStringLiteral("</li>") + (line.last ? QStringLiteral("</ul></li>") : QString())
                 : line.hasSub ? QString() : QStringLiteral("</li>");
    }
    write(QStringLiteral("keywords.html"), page(QStringLiteral("keywords.html"), m_labels.index, wrapped(index + QStringLiteral("</ul>"))).toUtf8());
    if (!m_chm) {
        write(QStringLiteral("search.html"),
              page(QStringLiteral("search.html"), m_labels.search,
                   wrapped(QStringLiteral("<h1 class=\"title\">%1</h1><form onsubmit=\"return search(this)\"><input name=\"q\" id=\"q\" aria-label=\"%1\">"
                                          " <button type=\"submit\">%1</button></form><p id=\"said\" role=\"status\"></p><ul id=\"hits\"></ul>")
                               .arg(escaped(m_labels.search))),
                   QStringLiteral("<script src=\"search/meta.js\"></script>"))
                  .toUtf8());
        // The search index: scripts, so that the pages also work from disk.
        if (!QDir().mkpath(m_dir + QStringLiteral("/search")))
            m_errors << QStringLiteral("dossier impossible à créer : ") + m_dir + QStringLiteral("/search");
        Platform::removeStaleTemps(m_dir + QStringLiteral("/search"));
        for (const auto &[name, bytes] : search.files())
            write(name, bytes);
    }
    // The main window's colours: the text's background, and the
    // non-scrolling region's; the dark scheme's last.
    if (!m_chm)
        write(QStringLiteral("favicon.svg"), kFavicon);
    write(QStringLiteral("help.css"), QByteArray(kWebStyle) + windowRules().toUtf8() + m_classRules.toUtf8() + darkRules().toUtf8());
    write(QStringLiteral("help.js"), (QStringLiteral("var LABELS = {noHit: ") + jsString(m_labels.noHit) + QStringLiteral(", search: ") + jsString(m_labels.search)
                                          + QStringLiteral(", noContext: ") + jsString(m_labels.noContext) + QStringLiteral(", hitCount: ")
                                          + jsString(m_labels.hitCount) + QStringLiteral(", resultsFor: ") + jsString(m_labels.resultsFor)
                                          + QStringLiteral(", allPages: ") + jsString(m_labels.allPages) + QStringLiteral(", theme: ")
                                          + jsString(m_labels.theme) + QStringLiteral(", themes: [") + jsString(m_labels.themeAuto) + u','
                                          + jsString(m_labels.themeLight) + u',' + jsString(m_labels.themeDark) + QStringLiteral("]};\n"))
                                         .toUtf8()
                                         + kWebScript);
    checkContrast();
    QString error;
    if (m_errors.isEmpty() && !batch.commit(&error))
        m_errors << error;
    return m_errors;
}

} // namespace

QString contextFileName(const QByteArray &context)
{
    const QString name = QString::fromLatin1(context);
    if (name.size() <= 100)
        return name + QStringLiteral(".html");
    return name.left(90) + u'_' + QString::number(quint32(contextHash(context)), 16).rightJustified(8, u'0') + QStringLiteral(".html");
}

QString htmlPageName(const TSourceTopic &topic, int number)
{
    for (const QByteArray &c : topic.contexts) {
        const QByteArray name = normalizeContext(c);
        if (!name.isEmpty())
            return contextFileName(name);
    }
    return QStringLiteral("page%1.html").arg(number);
}

TPagePreview previewPage(const THelpDocument &project, int topic)
{
    if (topic < 0 || topic >= project.topics.size())
        return {};
    return Writer(project, QString()).preview(topic);
}

TManualPlan manualPlan(const THelpDocument &project)
{
    const auto writer = std::make_shared<Writer>(project, QString());
    TManualPlan plan = writer->manual();
    plan.link = [writer](const TInline &hotspot, int topic) { return writer->manualLink(hotspot, topic); };
    return plan;
}

QByteArray contextMap(const THelpDocument &project)
{
    return QJsonDocument(Writer(project, QString()).contextTable()).toJson();
}

QStringList contextMapChanges(const QByteArray &previous, const QByteArray &current, QString *error)
{
    QJsonParseError parse;
    const QJsonDocument before = QJsonDocument::fromJson(previous, &parse);
    if (before.isNull() || !before.object().value(QStringLiteral("contexts")).isArray()) {
        if (error)
            *error = before.isNull() ? parse.errorString() : QStringLiteral("pas de liste « contexts »");
        return {};
    }
    // The page of each number and name now, without the anchor: the same
    // page is the same topic.
    QHash<qint64, QString> numbers;
    QHash<QString, QString> names;
    const auto pageOf = [](const QJsonObject &e) { return e.value(QStringLiteral("page")).toString().section(u'#', 0, 0); };
    for (const QJsonValue &v : QJsonDocument::fromJson(current).object().value(QStringLiteral("contexts")).toArray()) {
        const QJsonObject e = v.toObject();
        if (e.contains(QStringLiteral("number")))
            numbers.insert(qint64(e.value(QStringLiteral("number")).toDouble()), pageOf(e));
        names.insert(e.value(QStringLiteral("name")).toString().toUpper(), pageOf(e));
    }
    QStringList out;
    for (const QJsonValue &v : before.object().value(QStringLiteral("contexts")).toArray()) {
        const QJsonObject e = v.toObject();
        const QString name = e.value(QStringLiteral("name")).toString(), page = pageOf(e);
        if (e.value(QStringLiteral("number")).isDouble()) {
            const qint64 number = qint64(e.value(QStringLiteral("number")).toDouble());
            if (!numbers.contains(number))
                out << QString::fromUtf8("le numéro %1 (%2) a disparu").arg(number).arg(name);
            else if (numbers[number] != page)
                out << QString::fromUtf8("le numéro %1 (%2) mène maintenant à %3, non plus à %4").arg(number).arg(name, numbers[number], page);
        }
        if (name.isEmpty())
            continue;
        if (!names.contains(name.toUpper()))
            out << QString::fromUtf8("le contexte %1 a disparu").arg(name);
        else if (names[name.toUpper()] != page)
            out << QString::fromUtf8("le contexte %1 mène maintenant à %2, non plus à %3").arg(name, names[name.toUpper()], page);
    }
    return out;
}

QStringList writeHtml(const THelpDocument &project, const QString &folder, QStringList *warnings)
{
    Writer writer(project, folder);
    const QStringList errors = writer.run();
    if (warnings)
        *warnings = writer.warnings();
    return errors;
}

QString nestedList(const QList<TContentsEntry> &entries, const std::function<QString(const TContentsEntry &)> &item,
                   const QString &open, const QString &close)
{
    QString out = open;
    int level = 1;
    for (const TContentsEntry &e : entries) {
        for (; level < e.level; ++level)
            out += open;
        for (; level > e.level; --level)
            out += close;
        out += item(e);
    }
    for (; level > 1; --level)
        out += close;
    return out + close;
}

TChmPages writeChmPages(const THelpDocument &project, const QString &folder)
{
    TChmPages out;
    Writer writer(project, folder, true);
    out.errors = writer.run();
    if (!out.errors.isEmpty())
        return out;
    out.pages = writer.pages();
    out.pictures = writer.pictures();
    out.contents = writer.contents();
    for (const TKeywordLine &line : keywordLines(project)) {
        // A second level keeps its whole keyword: some viewers list the
        // index flat and sorted, where "de estado" alone would say nothing.
        TChmPages::Keyword keyword{line.whole, {}, line.level};
        for (const int n : line.topics)
            keyword.pages.append({shownTitle(project, project.topics[n], out.pages[n]), out.pages[n]});
        out.index.append(keyword);
    }
    out.title = text(project, project.hpj.options.value("TITLE"));
    return out;
}

} // namespace Hlp
