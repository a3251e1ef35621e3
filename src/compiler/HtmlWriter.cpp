#include "compiler/HtmlWriter.h"

#include "compiler/HlpEncode.h"
#include "compiler/HlpPicture.h"
#include "compiler/WmfRender.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QDir>
#include <QHash>
#include <QMap>
#include <QRegularExpression>

#include <functional>
#include <optional>

namespace Hlp {

namespace {

// The help's text, in its code page.
QString text(const TProjectRead &project, const QByteArray &bytes)
{
    if (project.codePage == 1252)
        return Platform::fromCp1252(bytes);
    thread_local QHash<int, Platform::CodePage> pages;
    auto it = pages.find(project.codePage);
    if (it == pages.end())
        it = pages.insert(project.codePage, Platform::CodePage(project.codePage));
    return it->decode(bytes);
}

QString escaped(const QString &s) { return s.toHtmlEscaped(); }

// The page and anchor of every context string, found without regard to case.
struct TTargets {
    QHash<QString, QPair<int, QString>> byContext; // upper-case context -> topic, context
    QString helpFile;                              // this help file's name, in lower case

    // The page and anchor of a context of this help file, named alone or
    // with a help file (`file`): empty for another help file's or an
    // unknown context. `topic` receives the topic, or -1.
    QString href(const QByteArray &context, const QList<QString> &pages, const QByteArray &file = {}, int *topic = nullptr) const
    {
        if (topic)
            *topic = -1;
        const QString named = QString::fromLatin1(file.trimmed()).replace(u'\\', u'/');
        if (!named.isEmpty() && !named.startsWith(u'>') && QFileInfo(named).fileName().toLower() != helpFile)
            return {};
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

const char kStyle[] = R"(body { font-family: sans-serif; margin: 0; }
.nsr { position: sticky; top: 0; background: #eee; border-bottom: 1px solid #ccc; padding: 4px 8px; }
.text { padding: 4px 8px; }
.nav { padding: 4px 8px; font-size: small; border-bottom: 1px solid #ccc; }
.nav a { margin-right: 1em; }
p { margin: 0; }
a.popup { color: green; border-bottom: 1px dashed green; text-decoration: none; cursor: pointer; }
a.jump { color: green; }
.macro { color: gray; }
.box { display: none; position: absolute; max-width: 30em; background: #ffffe0; border: 1px solid #888;
       padding: 6px; box-shadow: 2px 2px 6px #888; z-index: 10; }
table.cells { border-collapse: collapse; }
table.cells td { border: 1px solid #ccc; vertical-align: top; padding: 2px 6px; }
#hits li { margin: 2px 0; }
.tab { display: inline-block; width: 3em; }
)";

// ES5 only: compiled help files are read in viewers built on old browser
// engines, where one newer construct would stop the whole script.
const char kScript[] = R"(function each(list, f) {
  for (var i = 0; i < list.length; ++i) f(list[i]);
}
// The pop-up open, and the link that opened it (focus goes back there).
var openBox = null, openLink = null;
function closePopup(refocus) {
  if (!openBox) return;
  openBox.style.display = 'none';
  if (openLink.setAttribute) openLink.setAttribute('aria-expanded', 'false');
  if (refocus && openLink.focus) openLink.focus();
  openBox = openLink = null;
}
function popup(link, id) {
  var box = document.getElementById('box-' + id);
  if (!box) return false;
  var again = box === openBox;
  closePopup(false);
  if (!again) {
    var r = link.nodeName === 'AREA' ? areaRect(link) : link.getBoundingClientRect();
    box.style.left = (window.pageXOffset + r.left) + 'px';
    box.style.top = (window.pageYOffset + r.bottom + 4) + 'px';
    box.style.display = 'block';
    layTabs(box);
    openBox = box; openLink = link;
    link.setAttribute('aria-expanded', 'true');
    box.focus();
  }
  return false;
}
// Escape closes the pop-up (the keyboard back on its link); so does a
// click anywhere outside it.
document.addEventListener('keydown', function (e) {
  if (openBox && (e.key === 'Escape' || e.key === 'Esc' || e.keyCode === 27)) closePopup(true);
});
document.addEventListener('mousedown', function (e) {
  if (!openBox) return;
  for (var n = e.target; n; n = n.parentNode)
    if (n === openBox || n === openLink) return;
  closePopup(false);
});
// Where an area of an image map is on the screen.
function areaRect(area) {
  var image = document.querySelector('img[usemap="#' + area.parentNode.name + '"]');
  var r = image.getBoundingClientRect(), c = area.coords.split(',');
  return { left: r.left + parseFloat(c[0]), bottom: r.top + parseFloat(c[3]) };
}
// Tabs reach the paragraph's next tab stop (data-tabs, in points from the
// left margin), else the next half inch, as in the help viewer. Laid out in
// order, each measured once those before it are placed.
function layTabs(root) {
  var tabs = root.querySelectorAll('span.tab');
  each(tabs, function (t) { t.style.width = '0px'; });
  each(tabs, function (t) {
    var p = t.parentNode;
    while (p && p.nodeName !== 'P') p = p.parentNode;
    if (!p || p.offsetParent === null) return;
    var stops = (p.getAttribute('data-tabs') || '').split(',');
    var origin = p.getBoundingClientRect().left - parseFloat(window.getComputedStyle(p).marginLeft);
    var x = t.getBoundingClientRect().left - origin, next = null;
    for (var i = 0; i < stops.length && next === null; ++i)
      if (stops[i] !== '' && parseFloat(stops[i]) * 4 / 3 > x + 0.5) next = parseFloat(stops[i]) * 4 / 3;
    if (next === null) next = (Math.floor(x / 48 + 0.01) + 1) * 48;
    t.style.width = (next - x) + 'px';
  });
}
window.addEventListener('load', function () { layTabs(document); });
window.addEventListener('resize', function () { layTabs(document); });
// Words as the index has them: runs of letters and digits. Engines that
// know Unicode classes use them; others split at blanks and punctuation.
var WORD_BREAK;
try { WORD_BREAK = new RegExp('[^\\p{L}\\p{N}]+', 'u'); }
catch (e) { WORD_BREAK = /[\s!-\/:-@\[-\x60{-~\u00a0-\u00bf\u00d7\u00f7\u2000-\u206f\u3000-\u303f]+/; }
function search(form) {
  var words = form.q.value.toLowerCase().split(WORD_BREAK);
  var hits = null;
  each(words, function (w) {
    if (w.length === 0) return;
    var pages = SEARCH_INDEX.words.hasOwnProperty(w) ? SEARCH_INDEX.words[w] : [];
    hits = hits === null ? pages : hits.filter(function (p) { return pages.indexOf(p) >= 0; });
  });
  var list = document.getElementById('hits');
  list.innerHTML = '';
  each(hits || [], function (p) {
    var li = document.createElement('li'), a = document.createElement('a');
    a.href = SEARCH_INDEX.pages[p][0]; a.textContent = SEARCH_INDEX.pages[p][1];
    li.appendChild(a); list.appendChild(li);
  });
  if (hits !== null && hits.length === 0) list.innerHTML = '<li>Aucune page ne contient ces mots.</li>';
  return false;
}
// A value of the page's address (page.html?name=value).
function parameter(name) {
  var pairs = window.location.search.replace(/^\?/, '').split('&');
  for (var i = 0; i < pairs.length; ++i) {
    var eq = pairs[i].indexOf('=');
    if (eq > 0 && decodeURIComponent(pairs[i].slice(0, eq)) === name)
      return decodeURIComponent(pairs[i].slice(eq + 1).replace(/\+/g, ' '));
  }
  return null;
}
// A search given in the address (search.html?q=words) runs at once.
// A pop-up named in the address (page.html?popup=N) opens at once.
window.addEventListener('DOMContentLoaded', function () {
  var form = document.querySelector('form');
  var q = parameter('q');
  if (form && q) { form.q.value = q; search(form); }
  var p = parameter('popup');
  var link = p && /^[0-9]+$/.test(p) && document.querySelector('a.popup[data-popup="' + p + '"]');
  if (link) popup(link, p);
});
)";

// One line of the contents: its level (1 on), its text, and its page
// (with the anchor) or none for a heading.
struct TContentsEntry {
    int level = 1;
    QString text;
    QString page;
};

// The pages' own words (the links to the contents, index and search), in
// the program's language whatever the help's.
const char kNavLinks[] = "<div class=\"nav\" lang=\"fr\"><a href=\"index.html\">Sommaire</a><a href=\"keywords.html\">Index</a>"
                         "<a href=\"search.html\">Rechercher</a>";

// The language of the help's text, from LCID= (its first number): French,
// the program's language, when the project does not say.
QString languageOf(const THpj &hpj)
{
    bool ok = false;
    const uint lcid = hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&ok, 0);
    const QString tag = ok ? Platform::languageOfLcid(int(lcid)).tag : QString();
    return tag.isEmpty() ? QStringLiteral("fr") : tag;
}

// A string literal of the page script: quotes, backslashes, control
// characters and the two characters that end a line in a script escaped.
QString jsString(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\' + QString(c);
        else if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029 || c == u'<')
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + u'"';
}

// A colour (red, green, blue) as the style sheet writes it.
QString cssColour(const quint8 *rgb)
{
    return QStringLiteral("#%1%2%3")
        .arg(rgb[0], 2, 16, QLatin1Char('0'))
        .arg(rgb[1], 2, 16, QLatin1Char('0'))
        .arg(rgb[2], 2, 16, QLatin1Char('0'));
}

// The contents: those the caller gave (an outline), else the tree of the
// project's .CNT file (CNT=) when it can be read, else the titled topics in
// order.
QList<TContentsEntry> contentsOf(const TProjectRead &project, const QStringList &pages, const TTargets &targets)
{
    QList<TContentsEntry> out;
    for (const TContentsLine &line : project.contents)
        out.append({qBound(1, line.level, 9), line.text, line.context.isEmpty() ? QString() : targets.href(line.context, pages)});
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
            e.level = qBound(1, line.left(blank).toInt(), 9);
            QByteArray rest = line.mid(blank + 1);
            const qsizetype eq = rest.indexOf('=');
            if (eq >= 0) {
                e.page = targets.hrefOfTarget(rest.mid(eq + 1).trimmed(), pages);
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
            out.append({1, text(project, project.topics[n].title), pages[n]});
    return out;
}

// The contents as nested lists; `item` writes one entry.
QString nestedList(const QList<TContentsEntry> &entries, const std::function<QString(const TContentsEntry &)> &item,
                   const QString &open = QStringLiteral("<ul>"), const QString &close = QStringLiteral("</ul>"))
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

// An entry of compiled HTML Help's contents or index; a heading when it
// has no page.
// A value for the compiled-help compiler's files, whose lines and
// quoted values a line break or control character would cut: those go.
QString plainValue(QString value)
{
    static const QRegularExpression controls(QStringLiteral("[\\x00-\\x1f\\x7f]+"));
    return value.replace(controls, QStringLiteral(" ")).trimmed();
}

QString sitemapItem(const QString &name, const QString &page)
{
    const QString local = page.isEmpty() ? QString() : QStringLiteral("<param name=\"Local\" value=\"%1\">").arg(page);
    return QStringLiteral("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"%1\">%2</OBJECT>\n")
        .arg(plainValue(name).toHtmlEscaped(), local);
}

// What a topic is called in lists: its title, else its page's name.
QString shownTitle(const TProjectRead &project, const TSourceTopic &t, const QString &page)
{
    return t.title.isEmpty() ? page.chopped(5) : text(project, t.title);
}

class Writer {
public:
    Writer(const TProjectRead &project, const QString &folder) : m_p(project), m_dir(folder) {}
    QStringList run();
    // One topic's page for the program's preview (see previewPage).
    TPagePreview preview(int topic);
    const QStringList &pages() const { return m_pages; }
    const TTargets &targets() const { return m_targets; }

private:
    // The class of the site's style sheet that gives elements of this kind
    // (p, span) these declarations: formats are shared by many runs and
    // pages, so each is written once.
    QString styleClass(const QString &element, const QString &declarations);
    // Where a macro leads on the web (JumpId, PopupId: a page; ExecFile,
    // ExecProgram: the file); empty for the others.
    QString macroHref(const QString &macro) const;
    QString paragraphs(const QList<TParagraph> &list, int topic);
    QString paragraph(const TParagraph &p, int topic);
    QString runs(const QList<TInline> &items, int topic);
    QString picture(const TInline &item, int topic);
    QString pageFor(int topic, const QString &body);
    // Page names, link targets, aliases and browse sequences: what every
    // page's links need.
    void prepare();
    // The page's text: the non-scrolling region, then the rest.
    QString topicBody(int topic);
    // The style rules of the main window's colours.
    QString windowRules() const;
    // A pop-up link's address: the target page, or "popup:N" in a preview.
    QString popupHref(const QString &href, int topic) const
    {
        return m_previewImages ? QStringLiteral("popup:%1").arg(topic) : href;
    }
    // The start of every page, up to <body>: its language, title, style
    // sheet and script, and `extra` in its head.
    QString pageHead(const QString &title, const QString &extra = {}) const;
    void write(const QString &name, const QByteArray &bytes);

    const TProjectRead &m_p;
    QString m_dir;
    QStringList m_pages, m_errors;
    TTargets m_targets;
    QMap<int, QString> m_pictureFiles;
    QSet<int> m_popups; // topics shown as pop-ups in the current page
    QSet<int> m_maps;   // pictures whose image map the current page has
    QHash<QString, QString> m_classes; // element and declarations -> class
    QString m_classRules;              // their rules, for the style sheet
    QHash<int, QPair<int, int>> m_browse; // topic -> previous, next
    QHash<int, QStringList> m_aliases;    // topic -> its [ALIAS] names
    QString m_title;
    QString m_language;
    QHash<QString, QImage> *m_previewImages = nullptr; // set while a preview is made: pictures go there
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
    return webAddress(e.captured(1));
}

QString Writer::styleClass(const QString &element, const QString &declarations)
{
    const QString key = element + u'{' + declarations;
    auto it = m_classes.constFind(key);
    if (it == m_classes.constEnd()) {
        it = m_classes.insert(key, element.left(1) + QString::number(m_classes.size() + 1));
        m_classRules += QStringLiteral("%1.%2 { %3 }\n").arg(element, *it, declarations);
    }
    return *it;
}

void Writer::write(const QString &name, const QByteArray &bytes)
{
    // Once a write has failed (a full disk), nothing of this build will be
    // published: the others are not tried, so the error is said once.
    QString error;
    if (m_errors.isEmpty() && !Platform::writeFileAtomic(m_dir + u'/' + name, bytes, &error))
        m_errors << name + QStringLiteral(" : ") + error;
}

QString Writer::picture(const TInline &item, int topic)
{
    if (!m_pictureFiles.contains(item.picture)) {
        QString file;
        const QImage image = item.picture < m_p.pictureData.size() ? pictureImage(m_p.pictureData[item.picture]) : QImage();
        if (!image.isNull() && m_previewImages) {
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
        m_pictureFiles.insert(item.picture, file);
    }
    const QString file = m_pictureFiles.value(item.picture);
    if (file.isEmpty())
        return QStringLiteral("<span class=\"macro\">[image]</span>");
    const QString side = item.command == 0x87 ? QStringLiteral(" style=\"float:left\"")
                         : item.command == 0x88 ? QStringLiteral(" style=\"float:right\"")
                                                : QString();
    // A hotspot graphic's hotspots: the areas of an image map, leading where
    // the help file's do (pop-ups open in the page).
    // Its text for readers who do not see it: the name of its file.
    const QString alt = escaped(m_p.pictureNames.value(item.picture));
    const QList<TPictureHotspot> hotspots = pictureHotspots(m_p.pictureData[item.picture]);
    if (hotspots.isEmpty())
        return QStringLiteral("<img src=\"%1\" alt=\"%2\"%3>").arg(file, alt, side);
    const QString map = QStringLiteral("map%1").arg(item.picture);
    QString out = QStringLiteral("<img src=\"%1\" alt=\"%2\" usemap=\"#%3\"%4>").arg(file, alt, map, side);
    if (m_maps.contains(item.picture))
        return out;
    m_maps.insert(item.picture);
    out += QStringLiteral("<map name=\"%1\">").arg(map);
    for (const TPictureHotspot &h : hotspots) {
        const QString coords = QStringLiteral("%1,%2,%3,%4").arg(h.x).arg(h.y).arg(h.x + h.width).arg(h.y + h.height);
        int popupTopic = -1;
        const QString href = (h.kind & ~0x04) == 0xC8 ? macroHref(text(m_p, h.target)) : m_targets.hrefOfTarget(h.target, m_pages, &popupTopic);
        // Named after the topic it leads to, when that has a title (the
        // drawing tool names hotspots "Hotspot 1", "Hotspot 2"...).
        const QString title = popupTopic >= 0 && !m_p.topics[popupTopic].title.isEmpty() ? text(m_p, m_p.topics[popupTopic].title)
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
            const bool symbol = face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
            const bool wingdings = face.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive);
            QString shown;
            if (symbol || wingdings)
                for (const char c : i.text)
                    shown += symbol ? symbolFontChar(uchar(c)) : wingdingsChar(uchar(c));
            else
                shown = text(m_p, i.text);
            QString style = symbol || wingdings ? QStringLiteral("font-size:%1pt;").arg(f.halfPoints / 2.0)
                                                : QStringLiteral("font-family:'%1';font-size:%2pt;").arg(face).arg(f.halfPoints / 2.0);
            if (f.attributes & FontBold)
                style += QStringLiteral("font-weight:bold;");
            if (f.attributes & FontItalic)
                style += QStringLiteral("font-style:italic;");
            if (f.attributes & FontUnderline)
                style += QStringLiteral("text-decoration:underline;");
            if (f.shift)
                style += f.shift > 0 ? QStringLiteral("vertical-align:super;") : QStringLiteral("vertical-align:sub;");
            if (f.colour[0] || f.colour[1] || f.colour[2])
                style += QStringLiteral("color:%1;").arg(cssColour(f.colour));
            out += QStringLiteral("<span class=\"%1\">%2</span>").arg(styleClass(QStringLiteral("span"), style), escaped(shown));
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
            if (!i.macro.isEmpty()) {
                // Macros with a meaning on the web become links; others stay
                // inert, named in their title.
                const QString macro = text(m_p, i.macro);
                const QString target = macroHref(macro);
                if (!target.isEmpty())
                    out += QStringLiteral("<a class=\"jump\" href=\"%1\">").arg(escaped(target));
                else {
                    out += QStringLiteral("<span class=\"macro\" title=\"%1\">").arg(escaped(macro));
                    closing = QStringLiteral("</span>");
                }
                break;
            }
            int target = -1;
            const QString href = m_targets.href(i.context, m_pages, i.file, &target);
            const bool isPopup = (i.command & 0xF3) == 0xE2 || (i.command & 0xF3) == 0xE6;
            if (isPopup && target >= 0 && target != topic) {
                m_popups.insert(target);
                out += QStringLiteral("<a class=\"popup\" href=\"%1\" data-popup=\"%2\" onclick=\"return popup(this, %2)\">")
                           .arg(escaped(popupHref(href, target)))
                           .arg(target);
            } else if (!href.isEmpty()) {
                out += QStringLiteral("<a class=\"jump\" href=\"%1\">").arg(escaped(href));
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

QString Writer::paragraph(const TParagraph &p, int topic)
{
    if (p.table) {
        QMap<int, QString> cells;
        for (const auto &[cell, inner] : p.table->paragraphs)
            cells[cell] += paragraph(inner, topic);
        QString row = QStringLiteral("<table class=\"cells\"><tr>");
        int left = p.table->left + p.table->gap;
        for (qsizetype c = 0; c < p.table->cellx.size(); ++c) {
            const int width = qMax(1, p.table->cellx[c] - left);
            left = p.table->cellx[c];
            row += QStringLiteral("<td style=\"width:%1pt\">%2</td>").arg(width / 20).arg(cells.value(int(c)));
        }
        return row + QStringLiteral("</tr></table>");
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
    return QStringLiteral("<p%1%2>%3</p>\n")
        .arg(style.isEmpty() ? QString() : QStringLiteral(" class=\"%1\"").arg(styleClass(QStringLiteral("p"), style)),
             tabs.isEmpty() || !inner.contains(QLatin1String("class=\"tab\"")) ? QString() : QStringLiteral(" data-tabs=\"%1\"").arg(tabs.join(u',')),
             inner.isEmpty() ? QStringLiteral("&nbsp;") : inner);
}

QString Writer::paragraphs(const QList<TParagraph> &list, int topic)
{
    QString out;
    for (const TParagraph &p : list)
        out += paragraph(p, topic);
    return out;
}

QString Writer::pageFor(int n, const QString &body)
{
    const TSourceTopic &t = m_p.topics[n];
    QString anchors;
    for (const QByteArray &c : t.contexts)
        anchors += QStringLiteral("<a id=\"%1\"></a>").arg(escaped(QString::fromLatin1(normalizeContext(c))));
    for (const QString &alias : m_aliases.value(n))
        anchors += QStringLiteral("<a id=\"%1\"></a>").arg(escaped(alias));
    QString nav = QString::fromUtf8(kNavLinks);
    if (m_browse.contains(n)) {
        const auto [previous, next] = m_browse.value(n);
        if (previous >= 0)
            nav += QStringLiteral("<a href=\"%1\">&lt;&lt; Précédent</a>").arg(m_pages[previous]);
        if (next >= 0)
            nav += QStringLiteral("<a href=\"%1\">Suivant &gt;&gt;</a>").arg(m_pages[next]);
    }
    nav += QStringLiteral("</div>");
    return pageHead(t.title.isEmpty() ? m_title : text(m_p, t.title)) + anchors + nav + body + QStringLiteral("</body></html>\n");
}

QString Writer::pageHead(const QString &title, const QString &extra) const
{
    // The character set in the older form, which compiled-help viewers
    // honour too (HTML takes either, not both).
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\"><head>"
                          "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">"
                          "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
                          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>%2</title>"
                          "<link rel=\"stylesheet\" href=\"help.css\"><script src=\"help.js\"></script>%3</head>\n<body>")
        .arg(m_language, escaped(title), extra);
}

void Writer::prepare()
{
    m_title = text(m_p, m_p.hpj.options.value("TITLE"));
    m_language = languageOf(m_p.hpj);
    const QByteArray hlp = m_p.hpj.options.value("HLP").trimmed();
    m_targets.helpFile = QFileInfo(hlp.isEmpty() ? QFileInfo(m_p.hpjName).completeBaseName() + QStringLiteral(".hlp")
                                                 : text(m_p, hlp).replace(u'\\', u'/'))
                             .fileName()
                             .toLower();
    // Page names first: links need every page.
    // The contents, index and search pages keep their names.
    QSet<QString> taken{QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("search.html")};
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
    // Browse sequences, as the help file has them.
    for (const QList<int> &group : m_p.browse)
        for (qsizetype i = 0; i < group.size(); ++i)
            m_browse.insert(group[i], {i > 0 ? group[i - 1] : -1, i + 1 < group.size() ? group[i + 1] : -1});
}

QString Writer::topicBody(int n)
{
    const TSourceTopic &t = m_p.topics[n];
    m_popups.clear();
    m_maps.clear();
    QString body;
    if (!t.nonScrolling.isEmpty())
        body += QStringLiteral("<div class=\"nsr\">") + paragraphs(t.nonScrolling, n) + QStringLiteral("</div>");
    return body + QStringLiteral("<div class=\"text\">") + paragraphs(t.scrolling, n) + QStringLiteral("</div>");
}

QString Writer::windowRules() const
{
    QString rules;
    for (const TWindowLine &w : m_p.hpj.windows)
        if (w.name.compare("main", Qt::CaseInsensitive) == 0) {
            if (w.hasScroll)
                rules += QStringLiteral("body { background: %1; }\n").arg(cssColour(w.scroll));
            if (w.hasTitle)
                rules += QStringLiteral(".nsr { background: %1; }\n").arg(cssColour(w.title));
        }
    return rules;
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
    out.style = QString::fromUtf8(kStyle) + windowRules() + m_classRules;
    out.html = QStringLiteral("<html lang=\"%1\"><head><style>\n%2</style></head><body>%3</body></html>").arg(m_language, out.style, body);
    out.pages = m_pages;
    m_previewImages = nullptr;
    return out;
}

QStringList Writer::run()
{
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

    QHash<QString, QSet<int>> words;
    static const QRegularExpression wordPattern(QStringLiteral("[\\p{L}\\p{N}]+"));
    for (int n = 0; n < m_p.topics.size(); ++n) {
        const TSourceTopic &t = m_p.topics[n];
        QString body = topicBody(n);
        // The pop-ups of this page, each once, hidden until asked for.
        // In topic order, so that the same project makes the same page.
        QList<int> popups(m_popups.cbegin(), m_popups.cend());
        std::sort(popups.begin(), popups.end());
        for (const int popup : std::as_const(popups)) {
            const TSourceTopic &target = m_p.topics[popup];
            body += QStringLiteral("<div class=\"box\" id=\"box-%1\" role=\"dialog\" tabindex=\"-1\" aria-label=\"%2\">")
                        .arg(popup)
                        .arg(escaped(plainValue(shownTitle(m_p, target, m_pages.value(popup)))))
                    + paragraphs(target.nonScrolling, popup)
                    + paragraphs(target.scrolling, popup) + QStringLiteral("</div>");
        }
        write(m_pages[n], pageFor(n, body).toUtf8());
        QString plain = text(m_p, t.title);
        for (const QList<TParagraph> *list : {&t.nonScrolling, &t.scrolling})
            for (const TParagraph &p : *list)
                for (const TInline &i : p.items)
                    if (i.kind == TInline::Text)
                        plain += u' ' + text(m_p, i.text);
        for (auto it = wordPattern.globalMatch(plain); it.hasNext();)
            words[it.next().captured().toLower()].insert(n);
    }
    // The contents: the topics in order (those with a title).
    const QString contents = QStringLiteral("<h1>%1</h1>").arg(escaped(m_title))
                             + nestedList(contentsOf(m_p, m_pages, m_targets), [](const TContentsEntry &e) {
                                   // No </li>: a deeper list that follows belongs to the item.
                                   return e.page.isEmpty() ? QStringLiteral("<li><b>%1</b>").arg(escaped(e.text))
                                                           : QStringLiteral("<li><a href=\"%1\">%2</a>").arg(escaped(e.page), escaped(e.text));
                               });
    const auto shell = [this](const QString &title, const QString &body) {
        return (pageHead(title, title == QStringLiteral("Rechercher") ? QStringLiteral("<script src=\"search-index.js\"></script>") : QString())
                + QString::fromUtf8(kNavLinks) + QStringLiteral("</div><div class=\"text\">") + body + QStringLiteral("</div></body></html>\n"))
            .toUtf8();
    };
    write(QStringLiteral("index.html"), shell(m_title, contents));
    QString index = QStringLiteral("<h1>Index</h1><ul>");
    for (const TIndexEntry &entry : m_p.index) {
        index += QStringLiteral("<li>%1").arg(escaped(text(m_p, entry.keyword)));
        for (const int n : entry.topics)
            index += QStringLiteral(" <a href=\"%1\">%2</a>").arg(m_pages[n], escaped(shownTitle(m_p, m_p.topics[n], m_pages[n])));
        index += QStringLiteral("</li>");
    }
    write(QStringLiteral("keywords.html"), shell(QStringLiteral("Index"), index + QStringLiteral("</ul>")));
    write(QStringLiteral("search.html"),
          shell(QStringLiteral("Rechercher"),
                QStringLiteral("<h1>Rechercher</h1><form onsubmit=\"return search(this)\"><input name=\"q\" id=\"q\">"
                               " <button type=\"submit\">Rechercher</button></form><ul id=\"hits\"></ul>")));
    // The search index: a script, so that the pages also work from disk.
    QString js = QStringLiteral("var SEARCH_INDEX = {\"pages\": [");
    for (int n = 0; n < m_p.topics.size(); ++n)
        js += QStringLiteral("%1[%2, %3]").arg(n ? QStringLiteral(",") : QString(), jsString(m_pages[n]), jsString(shownTitle(m_p, m_p.topics[n], m_pages[n])));
    js += QStringLiteral("], \"words\": {");
    bool first = true;
    QStringList allWords = words.keys();
    allWords.sort();
    for (const QString &w : std::as_const(allWords)) {
        QList<int> pages = words[w].values();
        std::sort(pages.begin(), pages.end());
        QStringList numbers;
        for (int p : pages)
            numbers << QString::number(p);
        js += QStringLiteral("%1\"%2\": [%3]").arg(first ? QString() : QStringLiteral(","), w, numbers.join(u','));
        first = false;
    }
    js += QStringLiteral("}};\n");
    write(QStringLiteral("search-index.js"), js.toUtf8());
    // The main window's colours: the text's background, and the
    // non-scrolling region's.
    write(QStringLiteral("help.css"), QByteArray(kStyle) + windowRules().toUtf8() + m_classRules.toUtf8());
    write(QStringLiteral("help.js"), kScript);
    QString error;
    if (m_errors.isEmpty() && !batch.commit(&error))
        m_errors << error;
    return m_errors;
}

} // namespace

namespace {

// The file named after a context: the name itself, or, past 100
// characters (a context may have 255, more than a file name may), its
// start and a stable mark of the whole.
QString contextFileName(const QByteArray &context)
{
    const QString name = QString::fromLatin1(context);
    if (name.size() <= 100)
        return name + QStringLiteral(".html");
    return name.left(90) + u'_' + QString::number(quint32(contextHash(context)), 16).rightJustified(8, u'0') + QStringLiteral(".html");
}

} // namespace

QString htmlPageName(const TSourceTopic &topic, int number)
{
    for (const QByteArray &c : topic.contexts) {
        const QByteArray name = normalizeContext(c);
        if (!name.isEmpty())
            return contextFileName(name);
    }
    return QStringLiteral("page%1.html").arg(number);
}

TPagePreview previewPage(const TProjectRead &project, int topic)
{
    if (topic < 0 || topic >= project.topics.size())
        return {};
    return Writer(project, QString()).preview(topic);
}

QStringList writeHtml(const TProjectRead &project, const QString &folder, QStringList *pages, QString *toc)
{
    Writer writer(project, folder);
    const QStringList errors = writer.run();
    if (pages)
        *pages = writer.pages();
    if (toc) // the contents in the sitemap form of compiled HTML Help
        *toc = nestedList(contentsOf(project, writer.pages(), writer.targets()),
                          [](const TContentsEntry &e) { return sitemapItem(e.text, e.page); },
                          QStringLiteral("<UL>\n"), QStringLiteral("</UL>\n"));
    return errors;
}

// chmcmd names chunk 1 as the first listing chunk of a directory that has
// several, where the chain of chunks starts at chunk 0: readers that walk the
// listing from its head (libchm's enumeration, hence the Linux viewers'
// file lists and full-text search) miss every file of chunk 0. The head and
// tail are set again from the chain itself; a file that does not read as
// expected is left as it is.
void mendChmDirectory(QByteArray &chm)
{
    const auto at = [&](qint64 offset, qint64 size) { return offset >= 0 && offset + size <= chm.size(); };
    if (!at(0, 0x58) || !chm.startsWith("ITSF"))
        return;
    const quint64 directory = qFromLittleEndian<quint64>(chm.constData() + 0x48);
    if (directory > quint64(chm.size()) || !at(qint64(directory), 0x30) || chm.mid(qint64(directory), 4) != "ITSP")
        return;
    const qint64 dir = qint64(directory);
    const qint64 chunkSize = le32(chm, dir + 0x10), chunks = le32(chm, dir + 0x2C), base = dir + le32(chm, dir + 8);
    if (chunkSize < 20 || chunks > 0xFFFFFF || !at(base, chunkSize * chunks))
        return;
    qint32 first = -1, last = -1;
    for (qint64 n = 0; n < chunks; ++n) {
        const qint64 chunk = base + n * chunkSize;
        if (chm.mid(chunk, 4) != "PMGL")
            continue;
        if (qint32(le32(chm, chunk + 12)) == -1) {
            if (first >= 0)
                return;
            first = qint32(n);
        }
        if (qint32(le32(chm, chunk + 16)) == -1) {
            if (last >= 0)
                return;
            last = qint32(n);
        }
    }
    if (first < 0 || last < 0)
        return;
    qToLittleEndian<qint32>(first, chm.data() + dir + 0x20);
    qToLittleEndian<qint32>(last, chm.data() + dir + 0x24);
}

QStringList writeChm(const TProjectRead &project, const QString &pagesFolder, const QString &chmFile)
{
    // The pages are a step on the way: without a folder for them, they are
    // made in a temporary one, removed with them.
    std::optional<QTemporaryDir> temporary;
    QString folder = pagesFolder;
    if (folder.isEmpty()) {
        // Named after this process: the folders of builds that were killed
        // (their process gone) are removed.
        const QString prefix = QStringLiteral("kivhelp-chm-");
        for (const QFileInfo &left : QDir(QDir::tempPath()).entryInfoList({prefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
            bool ok = false;
            const qint64 pid = left.fileName().mid(prefix.size()).section(u'-', 0, 0).toLongLong(&ok);
            if (ok && !left.isSymLink() && pid != QCoreApplication::applicationPid() && !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
                QDir(left.filePath()).removeRecursively();
        }
        temporary.emplace(QDir::tempPath() + u'/' + prefix + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX"));
        if (!temporary->isValid())
            return {QString::fromUtf8("dossier temporaire impossible à créer : ") + temporary->errorString()};
        folder = temporary->path();
    }
    QStringList pages;
    QString tree;
    QStringList errors = writeHtml(project, folder, &pages, &tree);
    if (!errors.isEmpty())
        return errors;
    const QString chmcmd = QStandardPaths::findExecutable(QStringLiteral("chmcmd"));
    if (chmcmd.isEmpty())
        return {QString::fromUtf8("chmcmd introuvable : installez le paquet fp-utils pour écrire des fichiers .CHM.")};
    const QString head = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n"
                                        "<OBJECT type=\"text/site properties\"></OBJECT>\n<UL>\n");
    const QString head2 = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n"
                                         "<OBJECT type=\"text/site properties\"></OBJECT>\n");
    QString toc = head2 + tree, index = head;
    // One line per keyword, its topics under it, as the viewer lists them.
    for (const TIndexEntry &entry : project.index) {
        QString params = QStringLiteral("<param name=\"Name\" value=\"%1\">").arg(plainValue(text(project, entry.keyword)).toHtmlEscaped());
        for (const int n : entry.topics)
            params += QStringLiteral("<param name=\"Name\" value=\"%1\"><param name=\"Local\" value=\"%2\">")
                          .arg(plainValue(shownTitle(project, project.topics[n], pages[n])).toHtmlEscaped(), pages[n]);
        index += QStringLiteral("<LI><OBJECT type=\"text/sitemap\">%1</OBJECT>\n").arg(params);
    }
    toc += QStringLiteral("</BODY></HTML>\n");
    index += QStringLiteral("</UL>\n</BODY></HTML>\n");
    // The project: its pages, and the [MAP] numbers as context ids.
    QString aliases, map, redirects;
    QSet<QString> mapped, aliasedPages, files{QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("search.html")};
    for (const QString &page : std::as_const(pages))
        files.insert(page.toLower());
    for (const auto &[context, number, n] : project.map) {
        const QString name = QString::fromLatin1(normalizeContext(context));
        if (name.isEmpty() || mapped.contains(name.toUpper()))
            continue;
        mapped.insert(name.toUpper());
        // The CHM compiler keeps one alias per file: a second name of a
        // page gets a page of its own that leads to it.
        QString target = pages[n];
        if (aliasedPages.contains(target.toLower())) {
            // Never one of the site's own pages (a context named "index").
            QString own = contextFileName(name.toLatin1());
            while (files.contains(own.toLower()))
                own.insert(own.size() - 5, u'_');
            files.insert(own.toLower());
            QString error;
            if (!Platform::writeFileAtomic(folder + u'/' + own,
                                      QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                                     "<meta http-equiv=\"refresh\" content=\"0; url=%1#%2\"></head>"
                                                     "<body><a href=\"%1#%2\">%1</a></body></html>\n")
                                          .arg(target, name)
                                          .toUtf8(),
                                      &error))
                return {own + QStringLiteral(" : ") + error};
            redirects += own + u'\n';
            target = own;
        }
        aliasedPages.insert(target.toLower());
        aliases += QStringLiteral("%1=%2\n").arg(name, target);
        // In upper-case hex: the CHM compiler takes ids above 2^31 (a
        // program's control ids) only so.
        map += QStringLiteral("#define %1 0x%2\n").arg(name, QString::number(quint32(number), 16).toUpper());
    }
    QString fileList;
    for (const QString &page : std::as_const(pages))
        fileList += page + u'\n';
    for (const QString &extra : {QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("search.html"),
                                 QStringLiteral("search-index.js"), QStringLiteral("help.css"), QStringLiteral("help.js")})
        fileList += extra + u'\n';
    for (const QFileInfo &image : QDir(folder + QStringLiteral("/images")).entryInfoList(QDir::Files))
        fileList += QStringLiteral("images/") + image.fileName() + u'\n';
    fileList += redirects;
    const QString title = plainValue(text(project, project.hpj.options.value("TITLE")));
    QString contents = pages.value(0);
    if (project.hpj.options.contains("CONTENTS")) {
        const int n = project.contextTopic.value(normalizeContext(project.hpj.options.value("CONTENTS")).toUpper(), -1);
        if (n >= 0)
            contents = pages[n];
    }
    // The language (LCID=, else that of the code page; French, the
    // program's, for Windows-1252), which the viewer reads the contents,
    // the index and the search in.
    bool lcidOk = false;
    uint lcid = project.hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&lcidOk, 0);
    if (!lcidOk || lcid == 0 || lcid > 0xFFFF) {
        static const QHash<int, uint> languageOfPage{{1250, 0x415}, {1251, 0x419}, {1253, 0x408}, {1254, 0x41F}, {1255, 0x40D},
                                                     {1256, 0x401}, {1257, 0x427}, {1258, 0x42A}, {874, 0x41E},  {932, 0x411},
                                                     {936, 0x804},  {949, 0x412},  {950, 0x404}};
        lcid = languageOfPage.value(project.codePage, 0x40C);
    }
    const QString hhp = QStringLiteral("[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=%1\nContents file=toc.hhc\n"
                                       "Index file=index.hhk\nDefault topic=%2\nDisplay compile progress=No\nFull-text search=Yes\nTitle=%3\n"
                                       "Language=0x%7\n\n"
                                       "[FILES]\n%4\n[ALIAS]\n%5\n[MAP]\n%6")
                            .arg(QStringLiteral("compiled.chm"), contents, title, fileList, aliases, map,
                                 QString::number(lcid, 16).rightJustified(4, u'0'));
    // The project, contents and index in the help's code page, as the
    // viewer of its language reads them.
    const Platform::CodePage page(project.codePage);
    for (const auto &[name, content] : {QPair<QString, QString>{QStringLiteral("project.hhp"), hhp},
                                        {QStringLiteral("toc.hhc"), toc}, {QStringLiteral("index.hhk"), index}}) {
        QString error;
        const QByteArray bytes = project.codePage == 1252 ? Platform::toCp1252OrUtf8(content) : page.encode(content);
        if (!Platform::writeFileAtomic(folder + u'/' + name, bytes, &error))
            return {name + QStringLiteral(" : ") + error};
    }
    QProcess run;
    run.setWorkingDirectory(folder);
    // Every file is listed in the project: chmcmd need not read the pages
    // again to look for others (a third of its time).
    run.start(chmcmd, {QStringLiteral("--no-html-scan"), QStringLiteral("project.hhp")});
    if (!run.waitForFinished(600000) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        return {QStringLiteral("chmcmd a échoué : ") + QString::fromLocal8Bit(run.readAllStandardError() + run.readAllStandardOutput()).trimmed()};
    // Built under a plain name (the compiler names files in the project's
    // own encoding), then published under the one asked for.
    const QString built = folder + QStringLiteral("/compiled.chm");
    QByteArray bytes;
    QString error;
    if (!Platform::readWholeFile(built, &bytes))
        return {QStringLiteral("fichier .CHM illisible : ") + built};
    mendChmDirectory(bytes);
    if (!Platform::writeFileAtomic(chmFile, bytes, &error))
        return {QStringLiteral("fichier .CHM impossible à écrire : ") + chmFile + u' ' + error};
    if (QFileInfo(built).absoluteFilePath() != QFileInfo(chmFile).absoluteFilePath())
        QFile::remove(built);
    return {};
}

} // namespace Hlp
