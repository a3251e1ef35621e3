#include "TestSupport.h"
#include "TestRegistry.h"

#include "fileops/DosCmd.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "compiler/HelpCompiler.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/hlp/HlpEncode.h"
#include "helpgen/Import.h"
#include "platform/SafeFile.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

using namespace U_DosCmd;
using TestSupport::readFile;
using TestSupport::writeFile;

class TestHelpgen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FInit(false, false, 1); }
    void waitLine();
    void importOnAFullDisk();
    void linksIntoAnotherHelp();
    void projectImportedAsWritten();
};

void TestHelpgen::waitLine()
{
    TCWaitFor wait;
    wait.setAAMsgCol(Qt::red);
    wait.PShowWait(QString::fromUtf8("Mise à jour du projet"), QStringLiteral(". "), 1);
    for (int i = 0; i < 3; ++i)
        wait.PStepWait();
    QCOMPARE(wait.text(), QString::fromUtf8("Mise à jour du projet. . . "));
    QCOMPARE(wait.palette().color(QPalette::WindowText), QColor(Qt::red));

    wait.PShowWait(QStringLiteral("Sauvegarde"), QStringLiteral("*"), 2);
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        wait.PStepWait();
        seen << wait.text();
    }
    QCOMPARE(seen, QStringList({"Sauvegarde", "Sauvegarde*", "Sauvegarde*", "Sauvegarde**"}));
    // Empty message and mark keep the last ones; rate 0 acts as 1.
    wait.PShowWait(QString(), QString(), 0);
    wait.PStepWait();
    QCOMPARE(wait.text(), QStringLiteral("Sauvegarde*"));
}

void TestHelpgen::importOnAFullDisk()
{
    // An import the disk cannot hold writes nothing and says so, and leaves
    // nothing in the way of the next one; names with accents.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("a.hpj"), "[FILES]\r\na.rtf\r\n"));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(box.path("p.bmp"), "BMP"));
    QVERIFY(TestSupport::writeFile(box.path("a.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote \\'c9t\\'e9}Texte \\{bmc p.bmp\\}\\par\\page"
                                                     "#{\\footnote deux}${\\footnote Deux}Fin\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("a.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(TestSupport::writeFile(box.path("a.hlp"), compiled.hlp));
    QDir().mkpath(box.path("projets"));
    // What a whole import writes, measured once; then the disk full before
    // it, at its first file, a third and two thirds of the way.
    QVERIFY(Build::FImportHelp(box.path("a.hlp"), QStringLiteral("Mesure"), box.path("projets"), box.path("mesure")).code < 2);
    qint64 bytes = 0;
    for (const QString &dir : {box.path("projets/Mesure"), box.path("mesure")})
        for (const QFileInfo &f : QDir(dir).entryInfoList(QDir::Files))
            bytes += f.size();
    for (const qint64 budget : {qint64(0), bytes / 3, bytes * 2 / 3}) {
        Platform::setWriteBudgetForTest(budget);
        const Build::TImportResult r = Build::FImportHelp(box.path("a.hlp"), QString::fromUtf8("Été"), box.path("projets"), box.path("images"));
        Platform::setWriteBudgetForTest(-1);
        QVERIFY2(r.code == 2 && r.projectFile.isEmpty(), qPrintable(r.report.join(u' ')));
        QVERIFY(!QFileInfo::exists(box.path("projets/Été")));
        QVERIFY(!QDir(box.path("images")).exists() || QDir(box.path("images")).entryList(QDir::Files).isEmpty());
    }
    // Once there is room, the same import is made whole.
    const Build::TImportResult r = Build::FImportHelp(box.path("a.hlp"), QString::fromUtf8("Été"), box.path("projets"), box.path("images"));
    QVERIFY2(r.code < 2, qPrintable(r.report.join(u' ')));
    QVERIFY(QFileInfo::exists(box.path("projets/Été/Été.PRJ")));
    QCOMPARE(QDir(box.path("images")).entryList(QDir::Files), QStringList{QString::fromUtf8("Été_bm0.bmp")});
    // A kill at any rename of the commit finds the project absent, never
    // part of it: what is on disk at each rename is what a kill leaves.
    int renames = 0, halves = 0;
    Platform::setRenameHookForTest([&]() {
        ++renames;
        halves += QFileInfo::exists(box.path("projets/Coupé")) ? 1 : 0;
    });
    const Build::TImportResult cut = Build::FImportHelp(box.path("a.hlp"), QString::fromUtf8("Coupé"), box.path("projets"), box.path("images"));
    Platform::setRenameHookForTest(nullptr);
    QVERIFY(cut.code < 2 && renames >= 5);
    QCOMPARE(halves, 0);
    QCOMPARE(QDir(box.path("projets/Coupé")).entryList(QDir::Files).size(), 5); // two pages, .CFG, .PRJ, .CDE
}

void TestHelpgen::linksIntoAnotherHelp()
{
    // A jump and a pop-up into another help file: the import keeps each as
    // it was (a pop-up is not made a jump), the web pages lead to that
    // help's pages published beside them.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("a.hpj"), "[OPTIONS]\r\nTITLE=Liens\r\n[FILES]\r\na.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("a.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}Voir {\\uldb le saut}{\\v autre@Autre.hlp} "
                                                      "et {\\ul la note}{\\v note@Autre.hlp}.\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("a.hpj"));
    QVERIFY2(compiled.ok, qPrintable(compiled.messages.join(u'\n')));
    QVERIFY(TestSupport::writeFile(box.path("a.hlp"), compiled.hlp));
    QVERIFY(QDir().mkpath(box.path("projets")));
    const Build::TImportResult r = Build::FImportHelp(box.path("a.hlp"), QStringLiteral("Liens"), box.path("projets"), box.path("images"));
    QVERIFY2(r.code < 2, qPrintable(r.report.join(u'\n')));
    const QByteArray commands = readFile(box.path("projets/Liens/Liens.CDE"));
    // The help file keeps another help's contexts by their hash alone.
    static const QRegularExpression jump(QStringLiteral("\\{\\\\uldb le saut\\}\\{\\\\v \\w+@Autre\\.hlp\\}")),
        popup(QStringLiteral("\\{\\\\ul la note\\}\\{\\\\v \\w+@Autre\\.hlp\\}"));
    QVERIFY2(jump.match(QString::fromLatin1(commands)).hasMatch(), commands.constData());
    QVERIFY2(popup.match(QString::fromLatin1(commands)).hasMatch(), commands.constData());

    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("a_html");
    QVERIFY(Hlp::compileProject(box.path("a.hpj"), web).ok);
    const QByteArray page = readFile(box.path("a_html/un.html"));
    QVERIFY2(page.contains("href=\"../Autre_html/context.html?name=autre\""), page.constData());
    QVERIFY(page.contains("href=\"../Autre_html/context.html?name=note\""));
}

void TestHelpgen::projectImportedAsWritten()
{
    // A project is imported from its sources, not from a .HLP made of
    // them: two names of one hash (which a .HLP cannot hold) both lead to
    // their pages, a jump into another help keeps its name, and a page
    // without a title is named by its whole first line, however its runs
    // cut it; indents, which pages do not hold, are said.
    TestSupport::Sandbox box;
    const QByteArray twin = Hlp::contextForHash(Hlp::contextHash("intro"));
    QVERIFY(TestSupport::writeFile(box.path("c.hpj"), "[OPTIONS]\r\nTITLE=Jumeaux\r\n[FILES]\r\nc.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("c.rtf"), "{\\rtf1 #{\\footnote intro}${\\footnote Intro}Voir {\\uldb la suite}{\\v " + twin
                                                      + "} et {\\uldb l'autre}{\\v autre@Autre.hlp}\\par\\page #{\\footnote " + twin
                                                      + "}{\\b Comando Dime}{\\b nsione}\\line Suite\\par\\pard\\li720\\fi-360 Retrait\\par}"));
    QVERIFY(QDir().mkpath(box.path("projets")));
    const Build::TImportResult r = Build::FImportHelp(box.path("c.hpj"), QStringLiteral("Jumeaux"), box.path("projets"), box.path("images"));
    QVERIFY2(r.code < 2, qPrintable(r.report.join(u'\n')));
    QCOMPARE(readFile(box.path("projets/Jumeaux/Jumeaux.PRJ")), QByteArray("Jumeaux\r\n\tComando Dimensione\r\n"));
    const QByteArray commands = readFile(box.path("projets/Jumeaux/Jumeaux.CDE"));
    QVERIFY2(commands.contains("{\\uldb la suite}{\\v Comando_Dimensione}"), commands.constData());
    QVERIFY2(commands.contains("{\\uldb l'autre}{\\v autre@Autre.hlp}"), commands.constData());
    // What the editor cannot hold is said: the indents of one paragraph.
    QVERIFY2(r.report.filter(QString::fromUtf8("1 paragraphe(s) dont les retraits")).size() == 1, qPrintable(r.report.join(u'\n')));
}

KIV_TEST(TestHelpgen)
#include "tst_helpgen.moc"
