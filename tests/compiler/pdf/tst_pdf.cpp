// The help as a printable manual (PDF).
#include "TestSupport.h"

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

} // namespace

class TestPdf : public QObject {
    Q_OBJECT
private slots:
    void printableManual();
    void lettersWithoutAFontAreSaid();
};

void TestPdf::printableManual()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils is not installed");
    // A help with a book, a jump, a pop-up and a picture, as one PDF: read
    // back by another program's tools.
    TestSupport::Sandbox box;
    QImage bmp(90, 70, QImage::Format_RGB32);
    bmp.fill(qRgb(200, 20, 20));
    QVERIFY(bmp.save(box.path("logo.bmp"), "BMP"));
    TestSupport::writeFile(box.path("p.hpj"), "[OPTIONS]\r\nTITLE=Aide \xe0 imprimer\r\nCNT=p.cnt\r\n[FILES]\r\np.rtf\r\n");
    TestSupport::writeFile(box.path("p.cnt"), ":Base p.hlp\r\n1 Chapitre\r\n2 Premier=un\r\n2 Second=deux\r\n");
    TestSupport::writeFile(box.path("p.rtf"), "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote # un}${\\footnote $ Premier}Premier\\par Voir {\\uldb la suite}{\\v deux} "
                                              "et le {\\ul mot}{\\v def}.\\par\\{bmc logo.bmp\\}\\par\\page"
                                              "#{\\footnote # deux}${\\footnote $ Second}Second\\par Texte second zygomatique.\\par\\page"
                                              "#{\\footnote # def}Un mot d\\'e9fini ici.\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Pdf;
    options.pdfFile = box.path(QString::fromUtf8("Manuel été ŝ.pdf"));
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("p.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const QString file = options.pdfFile;
    const QString info = poppler(QStringLiteral("pdfinfo"), {file});
    QVERIFY2(info.contains(QString::fromUtf8("Title:           Aide à imprimer")), qPrintable(info));
    // Every topic's title and text, the pop-up in the appendix.
    const QString text = poppler(QStringLiteral("pdftotext"), {file, QStringLiteral("-")});
    for (const char *expected : {"Sommaire", "Chapitre", "Premier", "la suite", "Second", "zygomatique", "Annexe : autres pages", "Un mot défini ici."})
        QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(QString::fromUtf8(expected) + u'\n' + text));
    // Bookmarks as the contents, the appendix after them.
    const QString xml = poppler(QStringLiteral("pdftohtml"), {QStringLiteral("-xml"), QStringLiteral("-stdout"), QStringLiteral("-i"), QStringLiteral("-q"), file});
    QRegularExpression item(QStringLiteral("<item page=\"\\d+\">([^<]*)</item>"));
    QStringList bookmarks;
    for (auto it = item.globalMatch(xml); it.hasNext();)
        bookmarks << it.next().captured(1);
    QCOMPARE(bookmarks, (QStringList{QStringLiteral("Chapitre"), QStringLiteral("Premier"), QStringLiteral("Second"),
                                     QStringLiteral("Annexe : autres pages"), QString::fromUtf8("Un mot défini ici.")}));
    // Jumps and the pop-up lead to destinations inside the file.
    const QString dests = poppler(QStringLiteral("pdfinfo"), {QStringLiteral("-dests"), file});
    for (const char *name : {"\"t0\"", "\"t1\"", "\"t2\""})
        QVERIFY2(dests.contains(QLatin1String(name)), qPrintable(dests));
    const QByteArray bytes = TestSupport::readFile(file);
    QVERIFY(bytes.contains("/S /GoTo /D /t1") && bytes.contains("/S /GoTo /D /t2") && !bytes.contains("kivpdf"));
    QVERIFY(bytes.contains("/Lang (fr)"));
    // Fonts embedded; the picture with all its pixels.
    for (const QString &line : poppler(QStringLiteral("pdffonts"), {file}).split(u'\n').mid(2))
        if (!line.trimmed().isEmpty())
            QVERIFY2(line.split(u' ', Qt::SkipEmptyParts).value(line.split(u' ', Qt::SkipEmptyParts).size() - 5) == QLatin1String("yes"), qPrintable(line));
    QVERIFY(poppler(QStringLiteral("pdfimages"), {QStringLiteral("-list"), file}).contains(QRegularExpression(QStringLiteral("\\s90\\s+70\\s"))));
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
    const QString meta = QString::fromUtf8(TestSupport::readFile(box.path("demist_web/search/meta.js")));
    int titles = 0;
    static const QRegularExpression title(QStringLiteral("\\[\"[^\"]*\",\"([^\"\\\\]+)\"\\]"));
    for (auto it = title.globalMatch(meta); it.hasNext(); ++titles) {
        const QString t = it.next().captured(1).simplified();
        QVERIFY2(all.contains(t), qPrintable(t));
    }
    QVERIFY(titles > 200);
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
