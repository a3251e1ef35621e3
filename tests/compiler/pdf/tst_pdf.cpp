// The help as a printable manual (PDF).
#include "TestSupport.h"

#define POINTERHOLDER_TRANSITION 4
#include <cmath>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <QFontDatabase>
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

#include <functional>

namespace {

// A poppler tool's output for a PDF file; empty when it is not installed.
QString poppler(const QString &tool, const QStringList &args)
{
    QProcess run;
    run.start(tool, args);
    if (!run.waitForFinished(60000) || run.exitCode() != 0)
        return {};
    return QString::fromUtf8(run.readAllStandardOutput());
}

// The manual's objects as another PDF library reads them.
struct TPdfRead {
    QStringList figureAlts, linkTargets; // each Figure's /Alt; each link's destination name or address
    QString lang;
    bool pageLabels = false;
    bool sound = false; // its table of objects read without repair
};

TPdfRead readPdf(const QString &file)
{
    TPdfRead out;
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.processFile(file.toLocal8Bit().constData());
    out.sound = !pdf.anyWarnings();
    QPDFObjectHandle root = pdf.getRoot();
    out.lang = QString::fromStdString(root.getKey("/Lang").getUTF8Value());
    out.pageLabels = root.hasKey("/PageLabels");
    std::function<void(QPDFObjectHandle)> walk = [&](QPDFObjectHandle node) {
        if (node.isArray())
            for (int k = 0; k < node.getArrayNItems(); ++k)
                walk(node.getArrayItem(k));
        if (!node.isDictionary())
            return;
        if (node.getKey("/S").isName() && node.getKey("/S").getName() == "/Figure")
            out.figureAlts << QString::fromStdString(node.getKey("/Alt").getUTF8Value());
        if (node.hasKey("/K"))
            walk(node.getKey("/K"));
    };
    walk(root.getKey("/StructTreeRoot").getKey("/K"));
    for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages())
        for (QPDFAnnotationObjectHelper &a : page.getAnnotations("/Link")) {
            QPDFObjectHandle action = a.getObjectHandle().getKey("/A");
            QPDFObjectHandle dest = a.getObjectHandle().hasKey("/Dest") ? a.getObjectHandle().getKey("/Dest") : action.getKey("/D");
            out.linkTargets << QString::fromStdString(dest.isString() ? dest.getUTF8Value() : dest.isName() ? dest.getName()
                                                      : action.getKey("/URI").isString() ? action.getKey("/URI").getStringValue()
                                                                                         : std::string("?"));
        }
    return out;
}

} // namespace

class TestPdf : public QObject {
    Q_OBJECT
private slots:
    void printableManual();
    void chaptersUnderAHomePage();
    void everyCorpusHelp();
    void lettersWithoutAFontAreSaid();
};

void TestPdf::printableManual()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils is not installed");
    // A help with a book, jumps, a pop-up, a web link, a link to nothing, a
    // list, a table and pictures, as one PDF: read back by other programs.
    TestSupport::Sandbox box;
    QImage bmp(90, 70, QImage::Format_RGB32);
    bmp.fill(qRgb(200, 20, 20));
    QVERIFY(bmp.save(box.path("logo.bmp"), "BMP"));
    QImage shot(426, 264, QImage::Format_RGB32);
    shot.fill(Qt::white);
    for (int y = 10; y < 250; y += 12)
        for (int x = 10; x < 400; ++x)
            shot.setPixel(x, y, qRgb(0, 0, 0));
    QVERIFY(shot.save(box.path("shot.png"), "PNG"));
    QVERIFY(shot.save(box.path("photo.jpg"), "JPEG"));
    TestSupport::writeFile(box.path("p.hpj"), "[OPTIONS]\r\nTITLE=Aide \xe0 imprimer\r\nCNT=p.cnt\r\n[FILES]\r\np.rtf\r\n");
    TestSupport::writeFile(box.path("p.cnt"), ":Base p.hlp\r\n1 Chapitre\r\n2 Premier=un\r\n2 Second=deux\r\n");
    TestSupport::writeFile(box.path("p.rtf"),
                           "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Symbol;}}#{\\footnote # un}${\\footnote $ Premier}Premier\\par Voir {\\uldb la suite}{\\v deux} "
                           "et le {\\ul mot}{\\v def} ; le {\\uldb site}{\\v !ExecFile(`https://example.org/x')} et {\\uldb rien}{\\v !ALink(`nulle')}.\\par"
                           + QByteArray("mot ; \\'ab oui \\'bb ! ").repeated(60) + "\\par"
                           "\\{bmc logo.bmp\\}\\par\\pard\\fi-360\\li360 {\\f1\\'b7}\\tab Point un\\par {\\f1\\'b7}\\tab Point deux\\par\\pard"
                           "\\trowd\\cellx2000\\cellx4000\\intbl Case A\\cell Case B\\cell\\row\\pard \\{bmc shot.png\\}\\{bmc photo.jpg\\}\\par\\page"
                           "#{\\footnote # deux}${\\footnote $ Second}Second\\par Texte second zygomatique.\\par\\page"
                           "#{\\footnote # def}Un mot d\\'e9fini ici.\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Pdf;
    options.pdfFile = box.path(QString::fromUtf8("Manuel été ŝ.pdf"));
    options.paper = QStringLiteral("a4");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("p.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const QString file = options.pdfFile;
    const QString info = poppler(QStringLiteral("pdfinfo"), {file});
    QVERIFY2(info.contains(QString::fromUtf8("Title:           Aide à imprimer")), qPrintable(info));
    QVERIFY2(info.contains(QStringLiteral("Tagged:          yes")) && info.contains(QStringLiteral("(A4)")), qPrintable(info));
    // Every topic's title and text, the pop-up in the appendix; one heading
    // per topic; French spacing: no line starts with ";" ":" "!" "?" "»" nor
    // ends with "«" (the first topic says "mot ; « oui » !" sixty times).
    const QString text = poppler(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    static const QRegularExpression badBreak(QString::fromUtf8("^\\s*[;:!?»]|«\\s*$"), QRegularExpression::MultilineOption);
    QVERIFY2(!text.contains(badBreak), qPrintable(text));
    for (const char *expected : {"Sommaire", "Chapitre", "Premier", "la suite", "Second", "zygomatique", "Annexe : autres pages",
                                 "Un mot défini ici.", "mot ; le site et rien.", "Case A", "Point deux"})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(QString::fromUtf8(expected) + u'\n' + text));
    QCOMPARE(text.count(QStringLiteral("zygomatique")), 1);
    // Letters stand where their widths put them: words do not start a whole
    // number of points after the word before them (as they do when each
    // letter is moved to a whole point, which spaces them unevenly).
    const QString boxes = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    static const QRegularExpression word(QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\""));
    QMap<QString, QList<double>> lines; // yMin -> the words' left edges
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        lines[m.captured(2)] << m.captured(1).toDouble();
    }
    int pairs = 0, between = 0;
    for (const QList<double> &starts : std::as_const(lines))
        for (qsizetype k = 1; k < starts.size(); ++k) {
            const double offset = starts[k] - starts[k - 1];
            ++pairs;
            between += std::abs(offset - std::round(offset)) > 0.1;
        }
    QVERIFY2(pairs > 50 && between > pairs / 2, qPrintable(QStringLiteral("%1 of %2").arg(between).arg(pairs)));
    QCOMPARE(text.count(QStringLiteral("Second\n")), 2); // its line in the contents, its heading
    // The structure a screen reader follows.
    const QString structure = poppler(QStringLiteral("pdfinfo"), {QStringLiteral("-struct-text"), file});
    for (const char *element : {"Document", "TOC", "TOCI", "H1", "H2 (block)", "P (block)", "Link", "Figure", "L (block)", "LI", "Lbl", "LBody",
                                "Table", "TR", "TD"})
        QVERIFY2(structure.contains(QLatin1String(element)), qPrintable(QLatin1String(element) + u'\n' + structure));
    QVERIFY2(structure.contains(QStringLiteral("\"Point un\"")), qPrintable(structure));
    // Bookmarks as the contents, the appendix after them.
    const QString xml = poppler(QStringLiteral("pdftohtml"), {QStringLiteral("-xml"), QStringLiteral("-stdout"), QStringLiteral("-i"), QStringLiteral("-q"), file});
    QRegularExpression item(QStringLiteral("<item page=\"\\d+\">([^<]*)</item>"));
    QStringList bookmarks;
    for (auto it = item.globalMatch(xml); it.hasNext();)
        bookmarks << it.next().captured(1);
    QCOMPARE(bookmarks, (QStringList{QStringLiteral("Chapitre"), QStringLiteral("Premier"), QStringLiteral("Second"),
                                     QString::fromUtf8("Annexe : autres pages"), QString::fromUtf8("Un mot défini ici.")}));
    // Jumps and the pop-up lead to destinations inside the file, the web
    // link to its address; the link to nothing is text; the contents lead
    // to each topic. The language, the pages' labels, the figures' texts.
    const QString dests = poppler(QStringLiteral("pdfinfo"), {QStringLiteral("-dests"), file});
    for (const char *name : {"\"t0\"", "\"t1\"", "\"t2\""})
        QVERIFY2(dests.contains(QLatin1String(name)), qPrintable(dests));
    const TPdfRead read = readPdf(file);
    QVERIFY(read.sound); // the language and the figures' texts added as a sound update
    QVERIFY2(read.linkTargets.contains(QStringLiteral("t1")) && read.linkTargets.contains(QStringLiteral("t2"))
                 && read.linkTargets.contains(QStringLiteral("https://example.org/x")),
             qPrintable(read.linkTargets.join(u' ')));
    QCOMPARE(read.linkTargets.size(), 3 /* contents */ + 1 /* appendix book */ + 1 /* its topic */ + 3 /* jump, pop-up, site */);
    QCOMPARE(read.lang, QStringLiteral("fr"));
    QVERIFY(read.pageLabels);
    QCOMPARE(read.figureAlts, (QStringList{QStringLiteral("logo"), QStringLiteral("shot"), QStringLiteral("photo")}));
    // Fonts embedded as subsets; pictures with all their pixels, the PNG
    // without loss, the JPEG as the author gave it.
    for (const QString &line : poppler(QStringLiteral("pdffonts"), {file}).split(u'\n').mid(2))
        if (!line.trimmed().isEmpty()) {
            const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
            QVERIFY2(f.value(f.size() - 5) == QLatin1String("yes") && f.value(f.size() - 4) == QLatin1String("yes"), qPrintable(line));
        }
    const QString images = poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file});
    QVERIFY2(images.contains(QRegularExpression(QStringLiteral("\\s90\\s+70\\s+rgb\\s+3\\s+8\\s+image"))), qPrintable(images));
    QVERIFY2(images.contains(QRegularExpression(QStringLiteral("\\s426\\s+264\\s+\\w+\\s+\\d\\s+\\d+\\s+image"))), qPrintable(images));
    QCOMPARE(images.count(QStringLiteral(" jpeg ")), 1);
    const QByteArray bytes = TestSupport::readFile(file);
    // Letter paper when asked.
    options.paper = QStringLiteral("letter");
    options.pdfFile = box.path("letter.pdf");
    QVERIFY(Hlp::compileProject(box.path("p.hpj"), options).ok);
    QVERIFY(poppler(QStringLiteral("pdfinfo"), {options.pdfFile}).contains(QStringLiteral("612 x 792 pts (letter)")));
    options.pdfFile = file;
    options.paper.clear();
    // A disk that fills: a failure said once, the earlier manual whole.
    Platform::setWriteBudgetForTest(100);
    const Hlp::TCompileResult full = Hlp::compileProject(box.path("p.hpj"), options);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!full.ok);
    QCOMPARE(full.messages.filter(QStringLiteral("HC5003")).size(), 1);
    QCOMPARE(TestSupport::readFile(file), bytes);

    // A corpus project: every topic of the contents is in the manual.
    const QString demist = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/demist/hlp/demist.hpj");
    if (!QFileInfo::exists(demist))
        return;
    options.pdfFile = box.path("demist.pdf");
    QVERIFY(Hlp::compileProject(demist, options).ok);
    const QString all = poppler(QStringLiteral("pdftotext"), {box.path("demist.pdf"), QStringLiteral("-")}).simplified();
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("demist_web");
    QVERIFY(Hlp::compileProject(demist, web).ok);
    QString meta; // the pages' names and titles, as the search lists them
    for (const QFileInfo &f : QDir(box.path("demist_web/search")).entryInfoList({QStringLiteral("p*.js")}))
        meta += QString::fromUtf8(TestSupport::readFile(f.filePath()));
    int titles = 0;
    static const QRegularExpression title(QStringLiteral("\\[\"[^\"]*\",\"([^\"\\\\]+)\"\\]"));
    for (auto it = title.globalMatch(meta); it.hasNext(); ++titles) {
        const QString t = it.next().captured(1).simplified();
        QVERIFY2(all.contains(t), qPrintable(t));
    }
    QVERIFY(titles > 200);
}

// A help made with KivHelp: its home page, every other entry under it.
// Its books are the chapters: each starts a page.
void TestPdf::chaptersUnderAHomePage()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils is not installed");
    TestSupport::Sandbox box;
    TestSupport::writeFile(box.path("h.hpj"), "[OPTIONS]\r\nTITLE=Guide\r\nCNT=h.cnt\r\n[FILES]\r\nh.rtf\r\n");
    TestSupport::writeFile(box.path("h.cnt"), ":Base h.hlp\r\n1 Accueil=home\r\n2 Partie A\r\n3 Alpha=a\r\n2 Partie B\r\n3 Beta=b\r\n");
    TestSupport::writeFile(box.path("h.rtf"), "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote # home}${\\footnote $ Accueil}Bienvenue.\\par\\page"
                                              "#{\\footnote # a}${\\footnote $ Alpha}Texte alpha.\\par\\page"
                                              "#{\\footnote # b}${\\footnote $ Beta}Texte beta.\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Pdf;
    options.pdfFile = box.path("h.pdf");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("h.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    QStringList pages;
    for (int page = 1; page < 8; ++page) {
        const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                                  QString::number(page), options.pdfFile, QStringLiteral("-")});
        if (text.trimmed().isEmpty())
            break;
        pages << text;
    }
    const auto pageOf = [&](const char *words) {
        for (qsizetype k = 0; k < pages.size(); ++k)
            if (pages[k].contains(QLatin1String(words)))
                return k;
        return qsizetype(-1);
    };
    QVERIFY2(pageOf("Bienvenue") >= 0 && pageOf("Texte alpha") > pageOf("Bienvenue") && pageOf("Texte beta") > pageOf("Texte alpha"),
             qPrintable(pages.join(QStringLiteral("\n----\n"))));
}

// Every help project of the corpus as a manual, read back as
// the printable manual's test reads it: tagged, headings and paragraphs in
// its structure, fonts embedded as subsets, no picture made a JPEG (the
// corpus has none), a table of objects read without repair.
void TestPdf::everyCorpusHelp()
{
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus");
    if (!QFileInfo::exists(corpus + QStringLiteral("/winhelp")) || QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("the corpus or poppler-utils is not here");
    QStringList sources;
    for (QDirIterator it(corpus, {QStringLiteral("*.hpj")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        sources << it.next();
    sources.sort();
    QVERIFY(sources.size() >= 8);
    TestSupport::Sandbox box;
    for (const QString &source : std::as_const(sources)) {
        Hlp::TCompileOptions options;
        options.output = Hlp::TOutput::Pdf;
        options.pdfFile = box.path("m.pdf");
        options.missingFilesAreWarnings = true;
        const Hlp::TCompileResult r = Hlp::compileProject(source, options);
        QVERIFY2(r.ok, qPrintable(source + u'\n' + r.messages.join(u'\n')));
        const QString info = poppler(QStringLiteral("pdfinfo"), {options.pdfFile});
        QVERIFY2(info.contains(QStringLiteral("Tagged:          yes")), qPrintable(source));
        const QString structure = poppler(QStringLiteral("pdfinfo"), {QStringLiteral("-struct"), options.pdfFile});
        for (const char *element : {"Document", "TOC", "H1", "P (block)"})
            QVERIFY2(structure.contains(QLatin1String(element)), qPrintable(source + u' ' + QLatin1String(element)));
        const QStringList fonts = poppler(QStringLiteral("pdffonts"), {options.pdfFile}).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY2(!fonts.isEmpty(), qPrintable(source));
        for (const QString &font : fonts)
            QVERIFY2(font.section(u'+', 0, 0).size() == 6 && font.contains(QStringLiteral(" yes yes ")), qPrintable(source + u'\n' + font));
        QVERIFY2(!poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), options.pdfFile}).contains(QStringLiteral(" jpeg ")), qPrintable(source));
        QVERIFY2(readPdf(options.pdfFile).sound, qPrintable(source));
    }
}

void TestPdf::lettersWithoutAFontAreSaid()
{
    // A Thai help on a machine without a Thai font: the manual cannot draw
    // its letters, and the build says so instead of leaving them out.
    if (!QFontDatabase::families(QFontDatabase::Thai).isEmpty())
        QSKIP("a Thai font is installed here");
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("t.hpj"), "[OPTIONS]\r\nTITLE=t\r\nLCID=0x41e 0x0 0x0\r\n[FILES]\r\nt.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("t.rtf"), "{\\rtf1\\ansi\\ansicpg874 #{\\footnote un}${\\footnote Un}\\'a1\\'a2\\'a3 abc\\par}"));
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Pdf;
    options.pdfFile = box.path("t.pdf");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("t.hpj"), options);
    QVERIFY(r.ok);
    QVERIFY2(!r.messages.filter(QStringLiteral("HC5004")).filter(QString::fromUtf8("3 lettre(s) qu'aucune police")).isEmpty(),
             qPrintable(r.messages.join(u'\n')));
}

KIV_TEST(TestPdf)
#include "tst_pdf.moc"
