// The help as web pages: layout, links, search, context maps, pictures.
#include "TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "compiler/HelpCompiler.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/sources/DecompiledProject.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/web/HtmlSearch.h"
#include "compiler/web/HtmlWriter.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/sources/RtfTopics.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QScopeGuard>
#include <QThread>
#include <QDeadlineTimer>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The values of one sitemap parameter (Name or Local) in order, entities
// read back, in the file's own bytes (Windows-1252).
QList<QByteArray> sitemapValues(const QByteArray &sitemap, const char *param)
{
    QList<QByteArray> values;
    const QByteArray marker = QByteArray("<param name=\"") + param + "\" value=\"";
    for (qsizetype at = sitemap.indexOf(marker); at >= 0; at = sitemap.indexOf(marker, at + 1)) {
        const qsizetype from = at + marker.size();
        QByteArray v = sitemap.mid(from, sitemap.indexOf('"', from) - from);
        v.replace("&quot;", "\"").replace("&lt;", "<").replace("&gt;", ">").replace("&amp;", "&");
        values << v;
    }
    return values;
}

// A .CHM read back with libchm's extract (which walks its directory):
// every page is in it, its contents list the help file's titled topics (or
// the entries of its contents file) and its index the help file's keywords,
// each with as many topics.
void compareChmWithHelpFile(const QString &chmFile, const QString &pagesDir, const HlpRead::Container &hlp,
                            const QString &cntName, const QString &hpj)
{
    const QString out = pagesDir + QStringLiteral("_extracted");
    QProcess extract;
    extract.start(QStandardPaths::findExecutable(QStringLiteral("extract_chmLib")), {chmFile, out});
    QVERIFY(extract.waitForFinished(60000));
    QDirIterator pages(pagesDir, {"*.html"}, QDir::Files);
    while (pages.hasNext())
        QVERIFY2(QFileInfo::exists(out + u'/' + QFileInfo(pages.next()).fileName()), qPrintable(hpj + u' ' + pages.fileName()));

    QList<QByteArray> expected;
    if (cntName.isEmpty()) {
        for (const auto &r : HlpRead::TopicFile::of(hlp).walk())
            if (r.type == 0x02 && !r.ld2.isEmpty() && r.ld2[0] != '\0')
                expected << QByteArray(r.ld2.constData()); // up to its NUL, if any
    } else {
        QString path = QFileInfo(hpj).absolutePath() + u'/' + cntName;
        const QByteArray cnt = TestSupport::readFile(Platform::resolveCase(path.replace(u'\\', u'/')));
        static const QRegularExpression entry(QStringLiteral("^[1-9]\\s+([^=]*?)\\s*(=|$)"));
        for (const QByteArray &line : cnt.split('\n')) {
            const QRegularExpressionMatch m = entry.match(QString::fromLatin1(line.trimmed()));
            if (m.hasMatch())
                expected << m.captured(1).toLatin1();
        }
    }
    QCOMPARE(sitemapValues(TestSupport::readFile(out + QStringLiteral("/toc.hhc")), "Name"), expected);

    // The index: one line per keyword, as many topics under it; a second
    // level ("main, sub", "main: sub") under its main entry, which is a
    // name alone when the help has no such keyword.
    QList<QByteArray> keywords, listed;
    HlpRead::Tree kw;
    if (const auto tree = hlp.internalFile("|KWBTREE"); tree && kw.parse(*tree))
        for (const auto &[key, data] : HlpRead::walkLeaves(kw, HlpRead::stringKey(), 6))
            keywords << QByteArray(key.constData()) + ' ' + QByteArray::number(HlpRead::u16(data, 0));
    int depth = 0;
    QByteArray main;
    for (const QByteArray &item : TestSupport::readFile(out + QStringLiteral("/index.hhk")).split('\n')) {
        depth += item.startsWith("<UL>") ? 1 : item.startsWith("</UL>") ? -1 : 0;
        if (!item.startsWith("<LI>"))
            continue;
        const QByteArray name = sitemapValues(item, "Name").value(0);
        const qsizetype pages = sitemapValues(item, "Local").size();
        if (depth == 1)
            main = name;
        if (pages)
            listed << (depth == 2 ? main + '|' : QByteArray()) + name + ' ' + QByteArray::number(pages);
    }
    QCOMPARE(listed.size(), keywords.size());
    for (qsizetype k = 0; k < listed.size(); ++k) {
        const QList<QByteArray> parts = listed[k].split('|');
        const bool same = parts.size() == 1 ? parts[0] == keywords[k]
                                            : keywords[k] == parts[1] && keywords[k].startsWith(parts[0])
                                                  && QByteArray(",:").contains(keywords[k].mid(parts[0].size()).trimmed().left(1));
        QVERIFY2(same, listed[k] + " / " + keywords[k]);
    }
}

} // namespace

class TestWeb : public QObject {
    Q_OBJECT
private slots:
    void webPages();
    void webLayout();
    void contextMaps();
    void symbolFontsOnTheWeb();
    void embeddedPhotosStayPhotos();
    void contentsInParts();
};

void TestWeb::webPages()
{
    // The same project as web pages: a page per topic named after its first
    // context, every context an anchor, jumps as links, pop-ups in the page,
    // pictures as PNG files, the index and the search index.
    TestSupport::Sandbox box;
    QImage bmp(9, 7, QImage::Format_RGB32);
    bmp.fill(qRgb(0, 128, 0));
    QVERIFY(bmp.save(box.path("logo.bmp"), "BMP"));
    TestSupport::writeFile(box.path("w.hpj"), "[OPTIONS]\r\nTITLE=Aide web\r\n[WINDOWS]\r\nmain=\"Aide\",,,(r14876671),(192,192,192)\r\n"
                                              "[FILES]\r\nw.rtf\r\n");
    TestSupport::writeFile(box.path("w.rtf"),
                           "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Bad face' \\}body\\{display:none;}}#{\\footnote # first}#{\\footnote # HID_FILE_OPEN}${\\footnote $ Premi\\'e8re}K{\\footnote K ouvrir}+{\\footnote + 2}"
                           "{\\f1 x}\\{bmc logo.bmp\\} {\\uldb suite}{\\v second} {\\ul mot}{\\v def} {\\uldb x}{\\v !ExecFile(`notes.txt')} {\\uldb y}{\\v !ExecFile(`javascript:alert(1)')}"
                           " {\\uldb y1}{\\v !ExecFile(`\\'01javascript:alert(1)')} {\\uldb y2}{\\v !EF(`java\\'0ascript:alert(2)')} {\\uldb y3}{\\v !EF(`javas\\'0dcript:alert(3)')}"
                           " {\\uldb autre}{\\v second@other.hlp} {\\uldb soi}{\\v second@W.HLP} {\\uldb m}{\\v !JumpId(`other.hlp', `second')}"
                           " {\\uldb bloc}{\\v !ExecProgram(\"notepad.exe\",0)} {\\uldb site}{\\v !ExecProgram(\"https://exemple.fr/\",0)}\\par\\page"
                           "#{\\footnote # second}${\\footnote $ Seconde}+{\\footnote + 1}K{\\footnote K Ouvrir}Texte final zygomatique m{\\super 2}\\par\\page"
                           "#{\\footnote # def}${\\footnote $ D\\'e9finition \"\\\\\" </script>}Le sens du mot\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Html;
    options.outputDir = box.path("web");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("w.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const QString first = QString::fromUtf8(TestSupport::readFile(box.path("web/first.html")));
    QVERIFY(first.contains(QStringLiteral("<a id=\"HID_FILE_OPEN\"></a>")));
    QVERIFY(first.contains(QStringLiteral("<title>Première - Aide web</title>")));
    QVERIFY(first.contains(QStringLiteral("href=\"second.html#second\"")));
    QVERIFY(first.contains(QStringLiteral("onclick=\"return popup(this, 2)\"")));
    // A pop-up is a dialog named after its page, which takes the keyboard.
    QVERIFY(first.contains(QString::fromUtf8("<div class=\"box\" id=\"box-2\" role=\"dialog\" tabindex=\"-1\" aria-label=\"Définition &quot;\\&quot; &lt;/script&gt;\">")));
    QVERIFY(first.contains(QStringLiteral("Le sens du mot")));
    QVERIFY(first.contains(QStringLiteral("href=\"notes.txt\"")));
    // Browse order as in the help file: "+ 1" (the second topic) before "+ 2".
    QVERIFY(first.contains(QString::fromUtf8("<a rel=\"prev\" href=\"second.html\"><small>Précédent</small>Seconde</a>")));
    // A script is never made a link, however its scheme is hidden (a control
    // character before it, a line break inside).
    QVERIFY(!first.contains(QRegularExpression(QStringLiteral("href=\"[^\"]*s\\s*c\\s*r\\s*i\\s*p\\s*t"), QRegularExpression::CaseInsensitiveOption)));
    QCOMPARE(first.count(QStringLiteral("class=\"macro\"")), 5); // the four scripts, a program
    // Jumps into another help lead to its pages published beside these.
    QCOMPARE(first.count(QStringLiteral("href=\"../other_html/context.html?name=second\"")), 2);
    // A program call runs nothing from a page: its text stays, without a
    // link, and the build says where; an address opens in the browser.
    QVERIFY(!first.contains(QStringLiteral("href=\"notepad.exe\"")));
    QVERIFY(first.contains(QStringLiteral("href=\"https://exemple.fr/\"")));
    QCOMPARE(r.messages.filter(QString::fromUtf8("page « Première » : l'appel du programme « notepad.exe »")).size(), 1);
    QCOMPARE(Hlp::webAddress(QStringLiteral(" \x01https://exemple.fr/a\tide \n")), QStringLiteral("https://exemple.fr/aide"));
    for (const char *refused : {"JavaScript:x", "\x01javascript:x", "java\nscript:x", "javas\rcript:x", "\x1f data:text/html,x", "vbscript:x", "c:\\x.exe", ""})
        QVERIFY2(Hlp::webAddress(QString::fromLatin1(refused)).isEmpty(), refused);
    QCOMPARE(Hlp::webAddress(QStringLiteral("notes.txt")), QStringLiteral("notes.txt"));
    // Jumps into this help file, named, are links within the pages.
    QCOMPARE(first.count(QStringLiteral("href=\"second.html#second\"")), 2); // "suite" and "soi"
    // A picture is named by its file for those who do not see it; the help's
    // bitmaps are enlarged pixel for pixel on fine screens (not a photo:
    // below); phones lay the page out at their own width.
    QVERIFY(first.contains(QStringLiteral("<img src=\"images/image0.png\" alt=\"logo\" class=\"bitmap\">")));
    QVERIFY(first.contains(QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">")));
    QCOMPARE(QImage(box.path("web/images/image0.png")).size(), QSize(9, 7));
    // A keyword in two spellings is one entry with both topics, as in the help file.
    QVERIFY(TestSupport::readFile(box.path("web/keywords.html"))
                .contains("<li>ouvrir <a href=\"first.html\">Première</a> <a href=\"second.html\">Seconde</a></li>"));
    // A title is a safe string of the script, whatever it holds.
    QVERIFY(TestSupport::readFile(box.path("web/search/p0.js")).contains(QString::fromUtf8("\"Définition \\\"\\\\\\\" \\u003c/script>\"").toUtf8()));
    QVERIFY(TestSupport::readFile(box.path("web/index.html")).contains("second.html"));
    // The script stays within ES5, which compiled-help viewers built on old
    // browser engines read: one newer construct would stop all of it.
    const QByteArray script = TestSupport::readFile(box.path("web/help.js"));
    for (const char *newer : {"=>", "Array.from", ".closest(", ".find(", "URLSearchParams", "let ", "const ", "`", "/u", ".forEach", "dataset"})
        QVERIFY2(!script.contains(newer), newer);
    // The main window's colours.
    const QByteArray css = TestSupport::readFile(box.path("web/help.css"));
    QVERIFY(css.contains("body, .pane { background: #ffffe2; }") && css.contains(".nsr { background: #c0c0c0; }"));
    QVERIFY(css.contains("vertical-align:super;")); // raised text is raised on the web
    QVERIFY(css.contains("font-family:'Bad face bodydisplay:none', sans-serif;")); // a face name cannot end its rule
    // The author's faces end in a generic family; sizes follow the reader's.
    QVERIFY(css.contains("font-family:'Arial', sans-serif;font-size:1rem;"));

    // A disk that fills during a rebuild: one error, a failure, and the
    // pages published before are all still there as they were.
    const QByteArray before = TestSupport::readFile(box.path("web/second.html"));
    TestSupport::writeFile(box.path("w.rtf"), TestSupport::readFile(box.path("w.rtf")).replace("zygomatique", "changé"));
    Platform::setWriteBudgetForTest(100);
    const Hlp::TCompileResult full = Hlp::compileProject(box.path("w.hpj"), options);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!full.ok);
    QCOMPARE(full.messages.filter(QStringLiteral("HC5003")).size(), 1);
    QCOMPARE(TestSupport::readFile(box.path("web/second.html")), before);
    for (const QString &file : QDir(box.path("web")).entryList(QDir::Files))
        QVERIFY2(!Platform::isTempName(file), qPrintable(file));

    // Every corpus project converts, every context of its topics an anchor.
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp");
    if (!QFileInfo(corpus).isDir())
        return;
    QVERIFY(Platform::copyTree(corpus, box.path("c")));
    QDirIterator it(box.path("c"), {"*.hpj", "*.HPJ"}, QDir::Files, QDirIterator::Subdirectories);
    const bool chm = !QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty();
    const QString extract = QStandardPaths::findExecutable(QStringLiteral("extract_chmLib"));
    int projects = 0;
    while (it.hasNext()) {
        const QString hpj = it.next();
        Hlp::TCompileOptions web;
        web.output = Hlp::TOutput::Html;
        web.outputDir = box.path("out/") + QFileInfo(hpj).completeBaseName();
        web.missingFilesAreWarnings = true;
        const Hlp::TCompileResult converted = Hlp::compileProject(hpj, web);
        QVERIFY2(converted.ok, qPrintable(hpj + u'\n' + converted.messages.join(u'\n')));
        // A project with a contents file (nmr-es) gets its tree; its pages
        // say they are in Spanish (LCID=0xc0a), their links in French.
        if (QFileInfo(hpj).fileName() == QLatin1String("Proyecto.hpj"))
            QVERIFY(TestSupport::readFile(web.outputDir + QStringLiteral("/index.html")).contains("<html lang=\"es\">"));
        if (QFileInfo(hpj).fileName() == QLatin1String("Proyecto.hpj"))
            QVERIFY(TestSupport::readFile(web.outputDir + QStringLiteral("/index.html")).contains(QString::fromUtf8("<li><b>Menús</b><ul>").toUtf8()));
        // Every context of the help file is an anchor of the pages.
        QSet<quint32> anchors;
        QDirIterator pages(web.outputDir, {"*.html"}, QDir::Files);
        static const QRegularExpression id(QStringLiteral("<a id=\"([^\"]+)\"></a>"));
        while (pages.hasNext())
            for (auto m = id.globalMatch(QString::fromUtf8(TestSupport::readFile(pages.next()))); m.hasNext();)
                anchors.insert(quint32(Hlp::contextHash(m.next().captured(1).toLatin1())));
        const Hlp::TCompileResult help = Hlp::compileProject(hpj, {.missingFilesAreWarnings = true});
        HlpRead::Container hlp;
        QVERIFY(hlp.parse(help.hlp));
        HlpRead::Tree contexts;
        QVERIFY(contexts.parse(*hlp.internalFile("|CONTEXT")));
        for (const auto &[key, data] : HlpRead::walkLeaves(contexts, HlpRead::hashKey(), 4))
            QVERIFY2(anchors.contains(HlpRead::u32(key, 0)), qPrintable(hpj));
        // The .CHM's contents list the topics of the help file that have a title.
        if (chm) {
            Hlp::TCompileOptions compiled = web;
            compiled.output = Hlp::TOutput::Chm;
            compiled.outputDir += QStringLiteral("_chm");
            compiled.chmFile = compiled.outputDir + QStringLiteral(".chm");
            QVERIFY2(Hlp::compileProject(hpj, compiled).ok, qPrintable(hpj));
            const QByteArray toc = TestSupport::readFile(compiled.outputDir + QStringLiteral("/toc.hhc"));
            // Every page the contents name exists; without a contents file
            // (CNT=) they are the help file's titled topics.
            static const QRegularExpression local(QStringLiteral("name=\"Local\" value=\"([^\"#]+)"));
            for (auto m = local.globalMatch(QString::fromUtf8(toc)); m.hasNext();)
                QVERIFY(QFileInfo::exists(compiled.outputDir + u'/' + m.next().captured(1)));
            const QRegularExpressionMatch cnt = QRegularExpression(QStringLiteral("(?im)^CNT=\\s*(\\S+)"))
                                                    .match(QString::fromLatin1(TestSupport::readFile(hpj)));
            const bool hasCnt = cnt.hasMatch()
                                && QFileInfo::exists(Platform::resolveCase(QFileInfo(hpj).absolutePath() + u'/' + cnt.captured(1).replace(u'\\', u'/')));
            int titled = 0;
            for (const auto &r : HlpRead::TopicFile::of(hlp).walk())
                titled += r.type == 0x02 && !r.ld2.isEmpty() && r.ld2[0] != '\0';
            if (!hasCnt)
                QCOMPARE(int(toc.count("text/sitemap")), titled);
            QVERIFY(QFileInfo(compiled.chmFile).size() > 0);
            if (!extract.isEmpty())
                compareChmWithHelpFile(compiled.chmFile, compiled.outputDir, hlp, hasCnt ? cnt.captured(1) : QString(), hpj);
        }
        ++projects;
    }
    QCOMPARE(projects, 9);
}

void TestWeb::webLayout()
{
    // An English help whose window colours read badly: English navigation,
    // a warning; an untitled page named by its first line; a table of two
    // rows as one table; "Related topics" listed as the viewer lists them.
    TestSupport::Sandbox box;
    TestSupport::writeFile(box.path("e.hpj"), "[OPTIONS]\r\nTITLE=Guide\r\nLCID=0x409 0x0 0x0\r\n[WINDOWS]\r\nmain=\"Guide\",,,,(96,96,96)\r\n"
                                              "[FILES]\r\ne.rtf\r\n");
    TestSupport::writeFile(box.path("e.rtf"),
                           "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote # a}${\\footnote $ Printing}A{\\footnote A print}Printing\\par"
                           "\\trowd\\cellx1000\\cellx2000\\pard\\intbl x\\cell y\\cell\\row\\trowd\\cellx1000\\cellx2000\\pard\\intbl z\\cell w\\cell\\row\\pard "
                           "{\\uldb Related}{\\v !ALink(`print', 0)} {\\uldb One}{\\v !KL(solo)}\\par\\page"
                           "#{\\footnote # b}A{\\footnote A print}K{\\footnote K solo}Printers you may use\\par\\page"
                           "#{\\footnote # c}${\\footnote $ Queues}A{\\footnote A PRINT}Queues\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Html;
    options.outputDir = box.path("web");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("e.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    QCOMPARE(r.messages.filter(QStringLiteral("contraste insuffisant (3,3:1")).size(), 1);
    const QString a = QString::fromUtf8(TestSupport::readFile(box.path("web/a.html")));
    QVERIFY(a.contains(QStringLiteral("<header class=\"top\" lang=\"en\">")) && a.contains(QStringLiteral("placeholder=\"Search\"")));
    QVERIFY(a.contains(QStringLiteral("<h1><span")));
    QCOMPARE(a.count(QStringLiteral("<table")), 1);
    QCOMPARE(a.count(QStringLiteral("<tr>")), 2);
    QVERIFY(a.contains(QStringLiteral("<ul><li><a href=\"b.html\">Printers you may use</a></li><li><a href=\"c.html\">Queues</a></li></ul>")));
    QVERIFY(a.contains(QStringLiteral("<a class=\"jump\" href=\"b.html\">")));
    const QString b = QString::fromUtf8(TestSupport::readFile(box.path("web/b.html")));
    QVERIFY(b.contains(QStringLiteral("<title>Printers you may use - Guide</title>")));
    // The window's colours darkened under the system's dark scheme (unless
    // the reader chose light) and under the reader's choice of dark.
    const QByteArray css = TestSupport::readFile(box.path("web/help.css"));
    QVERIFY(css.contains("@media (prefers-color-scheme: dark) {\n") && css.contains("  html:not(.light) .nsr { background: "));
    QVERIFY(css.contains("\nhtml.dark .nsr { background: "));

    // The index's terms: stems in the help's language without case or
    // accents; Japanese by pairs of characters.
    const Hlp::SearchTerms french(QStringLiteral("fr"));
    QCOMPARE(french(QStringLiteral("Imprimantes")), french(QStringLiteral("imprimante")));
    QCOMPARE(french(QString::fromUtf8("Élément")), QStringList{QStringLiteral("element")});
    QCOMPARE(french(QString::fromUtf8("Créer")), french(QStringLiteral("creer")));
    QCOMPARE(Hlp::SearchTerms(QStringLiteral("ja"))(QString::fromUtf8("印刷機 OK")), (QStringList{QString::fromUtf8("印刷"), QString::fromUtf8("刷機"), QStringLiteral("ok")}));
}

void TestWeb::contentsInParts()
{
    // What a page loads of the contents: the top level, and the book it is
    // in; a long flat list in runs of a hundred lines, each a book named by
    // its first and last lines.
    TestSupport::Sandbox box;
    QByteArray rtf = "{\\rtf1{\\fonttbl{\\f0 Arial;}}";
    for (int n = 1; n <= 320; ++n)
        rtf += "#{\\footnote # p" + QByteArray::number(n) + "}${\\footnote $ Page " + QByteArray::number(n) + "}Texte\\par\\page";
    TestSupport::writeFile(box.path("f.hpj"), "[OPTIONS]\r\nTITLE=Plat\r\n[FILES]\r\nf.rtf\r\n");
    TestSupport::writeFile(box.path("f.rtf"), rtf + "}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Html;
    options.outputDir = box.path("flat");
    QVERIFY(Hlp::compileProject(box.path("f.hpj"), options).ok);
    const QString toc = QString::fromUtf8(TestSupport::readFile(box.path("flat/toc.js")));
    QCOMPARE(toc.count(QStringLiteral("[1,")), 4);
    QVERIFY2(toc.contains(QString::fromUtf8("[1,\"Page 301 – Page 320\",\"\",4]")), qPrintable(toc));
    const QString part = QString::fromUtf8(TestSupport::readFile(box.path("flat/toc/4.js")));
    QVERIFY(part.startsWith(QStringLiteral("tocPart(4,0,[[1,\"Page 301\",\"p301.html\"]")) && part.count(QStringLiteral("\n[")) == 19);
    QVERIFY(TestSupport::readFile(box.path("flat/p305.html")).contains("<nav id=\"pane\" class=\"pane\" aria-label=\"Sommaire\" lang=\"fr\" data-toc=\"4\">"));
    // A contents with books: their lines apart, the pages outside them with
    // nothing more to load.
    TestSupport::writeFile(box.path("f.cnt"), ":Base f.hlp\r\n1 Livre\r\n2 Page 1=p1\r\n2 Page 2=p2\r\n1 Page 3=p3\r\n");
    TestSupport::writeFile(box.path("f.hpj"), "[OPTIONS]\r\nTITLE=Plat\r\nCNT=f.cnt\r\n[FILES]\r\nf.rtf\r\n");
    options.outputDir = box.path("books");
    QVERIFY(Hlp::compileProject(box.path("f.hpj"), options).ok);
    QCOMPARE(TestSupport::readFile(box.path("books/toc.js")), QByteArray("var TOC = [[1,\"Livre\",\"\",1]\n,[1,\"Page 3\",\"p3.html#p3\",0]\n];\n"));
    QCOMPARE(TestSupport::readFile(box.path("books/toc/1.js")),
             QByteArray("tocPart(1,1,[[2,\"Page 1\",\"p1.html#p1\"],\n[2,\"Page 2\",\"p2.html#p2\"]]);\n"));
    QVERIFY(TestSupport::readFile(box.path("books/p2.html")).contains("data-toc=\"1\""));
    QVERIFY(!TestSupport::readFile(box.path("books/p3.html")).contains("data-toc"));
}

void TestWeb::contextMaps()
{
    // A program relies on [MAP] numbers and context names: a release that
    // loses one or leads it elsewhere is caught against the previous map.
    TestSupport::Sandbox box;
    const auto project = [&](const QByteArray &rtf) {
        TestSupport::writeFile(box.path("m.hpj"), "[OPTIONS]\r\nTITLE=Carte\r\n[FILES]\r\nm.rtf\r\n[MAP]\r\nidh_a 10\r\nidh_b 0x14\r\nidh_c 30\r\n");
        TestSupport::writeFile(box.path("m.rtf"), "{\\rtf1{\\fonttbl{\\f0 Arial;}}" + rtf + "}");
    };
    project("#{\\footnote # idh_a}${\\footnote $ A}A\\par\\page#{\\footnote # idh_b}#{\\footnote # idh_c}${\\footnote $ B}B\\par\\page"
            "#{\\footnote # idh_d}${\\footnote $ D}D\\par");
    Hlp::TCompileOptions options;
    options.mapOut = box.path("v1.json");
    Hlp::TCompileResult r = Hlp::compileProject(box.path("m.hpj"), options);
    Hlp::writeCompiled(box.path("m.hpj"), options, r);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const QJsonArray contexts = QJsonDocument::fromJson(TestSupport::readFile(box.path("v1.json"))).object().value("contexts").toArray();
    QCOMPARE(contexts.size(), 4);
    QCOMPARE(contexts[1].toObject().value("number").toInt(), 20);
    QCOMPARE(contexts[1].toObject().value("page").toString(), QStringLiteral("idh_b.html#idh_b"));
    QCOMPARE(contexts[2].toObject().value("page").toString(), QStringLiteral("idh_b.html#idh_c"));

    // The next release: idh_a gone, idh_c moved to the last page.
    project("#{\\footnote # idh_b}${\\footnote $ B}B\\par\\page#{\\footnote # idh_d}#{\\footnote # idh_c}${\\footnote $ D}D\\par");
    options = {};
    options.mapCheck = box.path("v1.json");
    r = Hlp::compileProject(box.path("m.hpj"), options);
    QVERIFY(r.ok);
    const QStringList expected{QString::fromUtf8("le numéro 10 (idh_a) a disparu"), QStringLiteral("le contexte idh_a a disparu"),
                               QString::fromUtf8("le numéro 30 (idh_c) mène maintenant à idh_d.html, non plus à idh_b.html"),
                               QString::fromUtf8("le contexte idh_c mène maintenant à idh_d.html, non plus à idh_b.html")};
    for (const QString &change : expected)
        QVERIFY2(r.messages.filter(QStringLiteral("HC5006: Warning")).filter(change).size() == 1, qPrintable(change + u'\n' + r.messages.join(u'\n')));
    QCOMPARE(r.messages.filter(QStringLiteral("HC5006")).size(), 4);
    options.mapStrict = true;
    r = Hlp::compileProject(box.path("m.hpj"), options);
    QVERIFY(!r.ok);
    QCOMPARE(r.messages.filter(QStringLiteral("HC5006: Error")).size(), 4);
    // A map that the disk cannot hold is a failure, and no half file.
    options = {};
    options.mapOut = box.path("full.json");
    r = Hlp::compileProject(box.path("m.hpj"), options);
    Platform::setWriteBudgetForTest(r.hlp.size() + 50); // the help file fits, the map does not
    const QStringList log = Hlp::writeCompiled(box.path("m.hpj"), options, r);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!r.ok && !QFileInfo::exists(box.path("full.json")));
    QCOMPARE(log.filter(QStringLiteral("full.json : écriture impossible")).size(), 1);
    options.mapOut.clear();
    options.mapStrict = true;
    TestSupport::writeFile(box.path("bad.json"), "{\"contexts\": 3");
    options.mapCheck = box.path("bad.json");
    QVERIFY(!Hlp::compileProject(box.path("m.hpj"), options).ok);
}

void TestWeb::symbolFontsOnTheWeb()
{
    // Bullets and check marks of picture fonts are the characters they
    // show on the web, not the Latin letters of their bytes ("§", "ü").
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("s.hpj"), "[FILES]\r\ns.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("s.rtf"), "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Wingdings;}{\\f2\\fcharset2 Symbol;}}"
                                                    "#{\\footnote a}{\\f1 \\'a7}\\tab Un {\\f1 \\'fc} {\\f2 \\'b7 a}\\par}"));
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("html");
    QVERIFY(Hlp::compileProject(box.path("s.hpj"), web).ok);
    const QString page = QString::fromUtf8(TestSupport::readFile(box.path("html/a.html")));
    QVERIFY2(page.contains(QString::fromUtf8(">▪<")) && page.contains(QString::fromUtf8(">✓<")) && page.contains(QString::fromUtf8(">• α<")),
             qPrintable(page));
    QVERIFY(!page.contains(QStringLiteral("Wingdings")));
}

void TestWeb::embeddedPhotosStayPhotos()
{
    // A photo pasted into a topic as JPEG: the web pages get its bytes, not
    // a PNG made from the help file's bitmap (several times larger).
    TestSupport::Sandbox box;
    QImage photo(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            photo.setPixel(x, y, qRgb(x * 2, y * 3, (x * y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    QVERIFY(buffer.open(QIODevice::WriteOnly) && photo.save(&buffer, "JPEG", 80));
    QVERIFY(TestSupport::writeFile(box.path("j.hpj"), "[FILES]\r\nj.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("j.rtf"), "{\\rtf1 #{\\footnote photo}${\\footnote Photo}{\\pict\\jpegblip\\picw120\\pich80 "
                                                    + jpeg.toHex() + "}\\par}"));
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("html");
    const Hlp::TCompileResult pages = Hlp::compileProject(box.path("j.hpj"), web);
    QVERIFY2(pages.ok, qPrintable(pages.messages.join(u'\n')));
    QCOMPARE(TestSupport::readFile(box.path("html/images/image0.jpg")), jpeg);
    QVERIFY(TestSupport::readFile(box.path("html/photo.html")).contains("images/image0.jpg\" alt=\"\">"));
}

KIV_TEST(TestWeb)
#include "tst_web.moc"
