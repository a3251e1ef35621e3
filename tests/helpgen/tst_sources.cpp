#include "TestSupport.h"
#include "TestRegistry.h"
#include "platform/SafeFile.h"

#include "config/Globale.h"
#include "helpgen/Sources.h"
#include "helpgen/HelpSources.h"
#include "platform/Paths.h"
#include "formats/KivHelpTools.h"

#include <QPlainTextEdit>

using namespace KIVHelpTools;
using TestSupport::readFile;
using TestSupport::writeFile;

class TestSources : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void markers_data();
    void markers();
    void headerAndFootnotes();
    void titleLineOnce();
    void topicFileConversion();
    void helpProjectFile();
    void contentsFile();
    void sourcesFollowTheirInputs();
};

void TestSources::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Globale::FInit(false, false, 1);
    KIVHelpTools::FInit(false, false, 1);
}

void TestSources::markers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "x@_2_@y" << true << "x<two>y";
    QTest::newRow("label with underscores") << "a @_2_voir_aussi_la_@ b" << true << "a <two> b";
    QTest::newRow("two markers") << "@_0_a_@ et @_2_b_@" << true << "<zero <two>> et <two>";
    QTest::newRow("nested") << "@_0_n_@" << true << "<zero <two>>";
    QTest::newRow("missing line") << "[@_9_x_@]" << true << "[]";
    QTest::newRow("no end") << "fin @_12" << false << "";
    QTest::newRow("end too early") << "fin @_1@" << false << "";
    QTest::newRow("not a number") << "@_x1_label_@" << false << "";
    QTest::newRow("empty number") << "@__label_@" << false << "";
    QTest::newRow("refers to itself") << "@_3_loop_@" << false << "";
}

void TestSources::markers()
{
    QFETCH(QString, line);
    QFETCH(bool, ok);
    QFETCH(QString, expected);
    const QStringList commands{"<zero @_2_z_@>", "<one>", "<two>", "again @_3_loop_@"};
    QStringList lines{"{\\rtf1", "{\\colortbl ;}", line};
    const TConvertResult r = FConvertTopicLines(lines, commands, "T", 1, false, QString());
    QCOMPARE(r.ok, ok);
    if (ok)
        QCOMPARE(lines.last(), expected);
    else
        QCOMPARE(r.badLine, 2);
}

void TestSources::headerAndFootnotes()
{
    QStringList lines{"{\\rtf1{\\fonttbl{\\f0\\fcharset1 A;}{\\f1\\fcharset1 B;}{\\f2\\fcharset161 C;}}",
                      "{\\colortbl ;}", "\\pard premier @_0_x_@\\par", "}"};
    QVERIFY(FConvertTopicLines(lines, {"CMD"}, QStringLiteral("Mode d'emploi"), 7, true, "\\f0\\fs30\\b").ok);
    QCOMPARE(lines, QStringList({"{\\rtf1{\\fonttbl{\\f0 A;}{\\f1 B;}{\\f2\\fcharset161 C;}}", "{\\colortbl ;}",
                                 "#{\\footnote # Mode_demploi }", "${\\footnote $ Mode d'emploi }",
                                 "K{\\footnote K Mode d'emploi }", "+{\\footnote + 7: 7 }",
                                 "\\keepn\\line{\\f0\\fs30\\b Mode d'emploi}\\line\\par\\pard",
                                 "\\pard premier CMD\\par", "}"}));
    // Without a title the topic's own lines follow the footnotes.
    QStringList plain{"h", "c", "text"};
    FConvertTopicLines(plain, {}, "P", 1, false, QString());
    QCOMPARE(plain.mid(6), QStringList{"text"});

    TFontsRec *fonts = Globale::PConf->PPrjFonts;
    fonts->Entries[3].Id.set("\\f2");
    fonts->Entries[3].Size.set("\\fs24");
    fonts->Entries[3].Typ.set("\\i");
    QCOMPARE(FTitlePrefix(fonts, 3, false), QStringLiteral("\\f2\\fs24\\i"));
    QCOMPARE(FTitlePrefix(fonts, 3, true), QStringLiteral("\\f0\\fs30\\b"));
    QCOMPARE(FTitlePrefix(fonts, 600, false), QStringLiteral("\\f0\\fs30\\b"));

    // The title is written in the font chosen for it: found in the topic's
    // table whatever its number, added to the table when missing.
    QStringList titled{"{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman{\\*\\panose 0202}Times New Roman;}}", "c", "x"};
    FConvertTopicLines(titled, {}, "P", 1, true, "\\f0\\fs30\\b", "times new roman");
    QVERIFY(titled.contains("\\keepn\\line{\\f1\\fs30\\b P}\\line\\par\\pard"));
    FConvertTopicLines(titled, {}, "P", 1, true, "\\f0\\fs30\\b", "DejaVu Sans");
    QVERIFY(titled.first().endsWith("Times New Roman;}{\\f2\\fnil DejaVu Sans;}}"));
    QVERIFY(titled.contains("\\keepn\\line{\\f2\\fs30\\b P}\\line\\par\\pard"));
    // A font named with letters the table escapes is found as well.
    QStringList escaped{"{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}{\\f4\\fnil Caf\\'e9 Sans;}}", "c", "x"};
    FConvertTopicLines(escaped, {}, "P", 1, true, "\\f0\\fs30\\b", QString::fromUtf8("Café Sans"));
    QVERIFY(escaped.contains("\\keepn\\line{\\f4\\fs30\\b P}\\line\\par\\pard"));
    QVERIFY(!escaped.first().contains(QStringLiteral("f5")));
    // The page's own keywords join its name in the index footnote.
    QStringList withKeywords{"{\\rtf1", "{\\colortbl ;}", "\\pard Texte\\par", "}"};
    QVERIFY(FConvertTopicLines(withKeywords, {}, QStringLiteral("Guide"), 1, false, QString(), QString(),
                               QString::fromUtf8("écran; parent, enfant;;")).ok);
    QVERIFY(withKeywords.contains(QStringLiteral("K{\\footnote K Guide;\\'e9cran;parent, enfant }")));
}

void TestSources::titleLineOnce()
{
    // Titles turned on for pages made without them (whose first paragraph
    // is their name): the title shows once, not twice; other first
    // paragraphs stay.
    QStringList lines{"{\\rtf1", "{\\colortbl ;}", "\\pard\\plain\\f0\\fs20 Mode d\\'e9ploi\\par", "\\pard Texte\\par", "}"};
    QVERIFY(FConvertTopicLines(lines, {}, QString::fromUtf8("Mode déploi"), 2, true, "\\f0\\fs30\\b").ok);
    QCOMPARE(lines.filter(QStringLiteral("ploi")).size(), 4); // the title line and three footnotes, no paragraph
    QVERIFY(lines.filter(QStringLiteral("\\keepn")).first().contains(QString::fromUtf8("Mode déploi")));
    QStringList other{"{\\rtf1", "{\\colortbl ;}", "\\pard Introduction\\par", "}"};
    QVERIFY(FConvertTopicLines(other, {}, QStringLiteral("Guide"), 1, true, "\\f0\\fs30\\b").ok);
    QVERIFY(other.contains(QStringLiteral("\\pard Introduction\\par")));
}

void TestSources::topicFileConversion()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    QStringList work;
    const QStringList commands{"{\\uldb voir}{\\v Voir}"};
    QVERIFY(writeFile(box.path("Voir.2"), "{\\rtf1\\fcharset1}\r\n{\\colortbl ;}\r\n\\pard @_0_voir_@\\par\r\n}\r\n"));
    QCOMPARE(FTopic2RTF(box.path(), "Voir", "T2.rtf", 2, false, QString(), &work, commands).Category, quint8(0));
    QCOMPARE(readFile(box.path("T2.rtf")),
             QByteArray("{\\rtf1}\r\n{\\colortbl ;}\r\n#{\\footnote # Voir }\r\n${\\footnote $ Voir }\r\n"
                        "K{\\footnote K Voir }\r\n+{\\footnote + 2: 2 }\r\n\\pard {\\uldb voir}{\\v Voir}\\par\r\n}\r\n"));

    // A corrupted marker: a box, a failure, no output file.
    QVERIFY(writeFile(box.path("Bad.3"), "h\r\nc\r\nx @_1\r\n"));
    scope.prompts.answer(Platform::Ok);
    QCOMPARE(FTopic2RTF(box.path(), "Bad", "T3.rtf", 3, false, QString(), &work, commands).Category, quint8(4));
    QCOMPARE(scope.prompts.texts().last(),
             QStringLiteral("Macro Corrupted !  TOPIC :  Bad  LINE :  1  Please REPLACE it !")); // its first paragraph
    QVERIFY(!QFile::exists(box.path("T3.rtf")));
    QVERIFY(KIVHelpTools::context().SubProg.isEmpty());

    scope.prompts.answer(Platform::Ok);
    const TErrorContext &missing = FTopic2RTF(box.path(), "None", "T4.rtf", 4, false, QString(), &work, commands);
    QCOMPARE(missing.Category, quint8(7));
    QCOMPARE(missing.Msg, box.path("None.4"));
    CHECK_PROMPTS_DONE(scope);
}

void TestSources::helpProjectFile()
{
    TestSupport::Sandbox box;
    QDir().mkdir(box.path("BMP"));
    TIniRec *ini = Globale::PConf->PIni;
    TPrjRec *prj = Globale::PConf->PPrj;
    Globale::VGGIniPrj->FReadConfFile("DUMMY", 0);
    ini->BMP.set(box.path("BMP") + u'/');
    prj->BkColor = 0x0000FF; // red
    prj->ProjectTitle.set(QString::fromUtf8("Aide été"));
    const QString hpj = box.path("P.HPJ");
    const QStringList lines = FHpjLines(ini, prj, hpj, {"Fleche.bmp", "logo.bmp"}, 3, 1024, 768);
    QCOMPARE(lines, QStringList({"[OPTIONS]", QString::fromUtf8("TITLE=Aide été"), "ROOT=" + box.path(),
                                 "COPYRIGHT=" + prj->Copyright.get(), "COMPRESS=NO", "[WINDOWS]",
                                 QString::fromUtf8("main=\"Aide été\",(0,0,1024,768),1,(255,0,0),(255,255,255),0"),
                                 "[BITMAPS]", box.path("BMP/Fleche.bmp"), box.path("BMP/logo.bmp"), "[CONFIG]",
                                 "CB(`id_Exit',`Exit',\" Exit() \")", "[FILES]", "T1.RTF", "T2.RTF", "T3.RTF"}));
    ini->BMP.set(box.path("NoBMP") + u'/');
    const QStringList bare = FHpjLines(ini, prj, hpj, {"logo.bmp"}, 0, 1, 1);
    QCOMPARE(bare.mid(7), QStringList({"[BITMAPS]", "logo.bmp", "[CONFIG]", "CB(`id_Exit',`Exit',\" Exit() \")",
                                       "[FILES]"}));
    QCOMPARE(FHpjLines(ini, prj, hpj, {}, 1, 1, 1).mid(7, 2), QStringList({"[BITMAPS]", "[CONFIG]"}));

    QCOMPARE(FCreateHpjFile(hpj, ini, prj, {}, {"a.1"}).Category, quint8(0));
    const QByteArray bytes = readFile(hpj);
    QVERIFY(bytes.startsWith("[OPTIONS]\r\nTITLE=Aide \xe9t\xe9\r\n"));
    QVERIFY(bytes.endsWith("[FILES]\r\nT1.RTF\r\n"));
    // A bitmap folder named with letters Windows-1252 cannot hold: its
    // lines in UTF-8 (the compiler reads them so), the title still 1252.
    const QString polish = box.path(QString::fromUtf8("Łódź"));
    QVERIFY(QDir().mkpath(polish));
    ini->BMP.set(polish + u'/');
    QCOMPARE(FCreateHpjFile(hpj, ini, prj, {"logo.bmp"}, {"a.1"}).Category, quint8(0));
    const QByteArray withPolish = readFile(hpj);
    QVERIFY(withPolish.contains("[BITMAPS]\r\n" + (polish + "/logo.bmp").toUtf8() + "\r\n"));
    QVERIFY(withPolish.startsWith("[OPTIONS]\r\nTITLE=Aide \xe9t\xe9\r\n"));
    prj->BkColor = 0xFFFFFF;
}

void TestSources::contentsFile()
{
    TestSupport::Sandbox box;
    const QStringList topics{box.path("Sommaire.1"), box.path("Mode d'emploi.2"), box.path(QString::fromUtf8("Été.3"))};
    // The help file the build will make is named before it exists.
    QCOMPARE(FCntLines(box.path("DEMO.CNT"), topics),
             QStringList({":Base DEMO.HLP>main", ":Title Sommaire", "1 Sommaire=Sommaire", "1 Mode d'emploi=Mode_demploi",
                          QString::fromUtf8("1 Été=Ete")})); // the contexts the compiler keeps: no backslash
    QVERIFY(writeFile(box.path("demo.hlp"), "HLP"));
    QCOMPARE(FCntLines(box.path("DEMO.CNT"), topics).first(), QStringLiteral(":Base demo.hlp>main"));
    QCOMPARE(FCreateCntFile(box.path("DEMO.CNT"), topics).Category, quint8(0));
    QVERIFY(readFile(box.path("DEMO.CNT")).startsWith(":Base demo.hlp>main\r\n:Title Sommaire\r\n"));
    QCOMPARE(FCreateCntFile(box.path("E.CNT"), {}).Category, quint8(2));
    QCOMPARE(FCreateCntFile(box.path("no/dir/E.CNT"), topics).Code, quint16(6));
}

void TestSources::sourcesFollowTheirInputs()
{
    TestSupport::Sandbox box;
    QVERIFY(QDir().mkpath(box.path("P")));
    const QString prj = box.path("P/P.PRJ");
    TCProject project;
    project.PSetLines({{1, "P"}, {2, "Deux"}, {2, "Trois"}});
    const QByteArray head = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\r\n{\\colortbl;}\r\n";
    project.FTopicAt(1)->PSetBytes(head + "un\\par\r\n}\r\n");
    project.FTopicAt(2)->PSetBytes(head + "voir @_0_x_@\\par\r\n}\r\n");
    project.FTopicAt(3)->PSetBytes(head + "trois\\par\r\n}\r\n");
    project.commands = {"{\\uldb Trois}{\\v Trois}"};
    TConfBlock *conf = Globale::PConf;
    const auto stamps = [&] {
        QStringList out;
        for (int n = 1; n <= 3; ++n)
            out << QString::number(QFileInfo(box.path("P/T%1.rtf").arg(n)).fileTime(QFileDevice::FileMetadataChangeTime).toMSecsSinceEpoch())
                       + u'/' + QString::number(QFileInfo(box.path("P/T%1.rtf").arg(n)).size());
        return out;
    };
    Build::TSourcesResult r = Build::FWriteSources(project, conf, prj, false, true);
    QVERIFY(r.ok);
    QCOMPARE(r.written, 3);
    QVERIFY(readFile(box.path("P/T2.rtf")).contains("voir {\\uldb Trois}{\\v Trois}"));
    // Nothing changed: nothing made again.
    r = Build::FWriteSources(project, conf, prj, false, true);
    QCOMPARE(r.kept, 3);
    const QStringList before = stamps();
    // The command line a topic names, the topic's text, a source changed by
    // hand: that source alone is made again.
    QTest::qWait(20);
    project.commands[0] = "{\\uldb Trois!}{\\v Trois}";
    r = Build::FWriteSources(project, conf, prj, false, true);
    QCOMPARE(r.written, 1);
    QVERIFY(readFile(box.path("P/T2.rtf")).contains("Trois!"));
    project.FTopicAt(3)->PSetBytes(head + "trois, revu\\par\r\n}\r\n");
    QVERIFY(writeFile(box.path("P/T1.rtf"), "abîmé"));
    r = Build::FWriteSources(project, conf, prj, false, true);
    QCOMPARE(r.written, 2);
    QVERIFY(readFile(box.path("P/T1.rtf")).contains("un\\par"));
    QVERIFY(stamps()[0] != before[0] && stamps()[2] != before[2]);
    // A topic gone: its source goes too.
    project.FTake(project.FTopicAt(3));
    r = Build::FWriteSources(project, conf, prj, false, true);
    QCOMPARE(r.kept, 2);
    QVERIFY(!QFileInfo::exists(box.path("P/T3.rtf")));
    // A write cut short: a few sources are replaced whole, so the sources
    // and their list stay as they were and only the changed one is made
    // again; many are rewritten in place, and one cut short is never
    // vouched for by the list, so all are made again.
    project.FTopicAt(1)->PSetBytes(head + "un, revu\\par\r\n}\r\n");
    Platform::setWriteBudgetForTest(10);
    r = Build::FWriteSources(project, conf, prj, false, true);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!r.ok);
    r = Build::FWriteSources(project, conf, prj, false, true);
    QVERIFY(r.ok);
    QCOMPARE(r.written, 1);
    QCOMPARE(r.kept, 1);
    QVERIFY(readFile(box.path("P/T1.rtf")).contains("un, revu"));
    QList<TCProject::TLine> many{{1, QStringLiteral("P")}};
    for (int n = 2; n <= 40; ++n)
        many.append({2, QStringLiteral("Page %1").arg(n)});
    project.PSetLines(many);
    const auto textsOf = [&](const QByteArray &tag) {
        for (int n = 1; n <= 40; ++n)
            project.FTopicAt(n)->PSetBytes(head + tag + QByteArray::number(n) + "\\par\r\n}\r\n");
    };
    textsOf("avant ");
    QVERIFY(Build::FWriteSources(project, conf, prj, false, true).ok);
    textsOf("après ");
    Platform::setWriteBudgetForTest(3000);
    r = Build::FWriteSources(project, conf, prj, false, true);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!r.ok);
    r = Build::FWriteSources(project, conf, prj, false, true);
    QVERIFY(r.ok);
    QCOMPARE(r.written, 40);
    for (int n = 1; n <= 40; ++n)
        QVERIFY(readFile(box.path("P/T%1.rtf").arg(n)).contains("après " + QByteArray::number(n)));
}

KIV_TEST(TestSources)
#include "tst_sources.moc"
