// kivhelp --build as a script runs it: the real program, in every output
// format, on the sample project and on a project whose topics other writers
// made. The author's files come out of every build byte for byte.
#include "TestSupport.h"
#include "compiler/hlp/HlpEncode.h"
#include <QImage>
#include "compiler/HelpCompiler.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/hlp/HlpPicture.h"
#include "TestRegistry.h"
#include <csignal>
#include <QRandomGenerator>
#include <QElapsedTimer>
#include "compiler/hlp/HlpStructure.h"

#include "platform/SafeFile.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

// The files an author owns: outline, topics, commands, settings, fonts.
QMap<QString, QByteArray> authorsFiles(const QString &dir)
{
    QMap<QString, QByteArray> out;
    static const QRegularExpression own(QStringLiteral("\\.(PRJ|CDE|CFG|FNT|KEY|\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &name : QDir(dir).entryList(QDir::Files))
        if (own.match(name).hasMatch())
            out.insert(name, QCryptographicHash::hash(readFile(dir + u'/' + name), QCryptographicHash::Sha1));
    return out;
}

struct TRun {
    int code = -1;
    QString out;
};

// The program run without a window, its settings in `config`.
TRun program(const QStringList &arguments, const QString &config)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(KIVHELP_EXE), arguments);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

// Settings of the program run by the tests that import: projects go into
// the sandbox's projets/, pictures into its images/. The settings' folder,
// empty when it cannot be written.
QString importSettings(const TestSupport::Sandbox &box)
{
    const QString config = box.path("config");
    const bool ok = QDir().mkpath(config + "/kivhelp")
                    && writeFile(config + "/kivhelp/kivhelp.INI", "[Config]\r\nDIRPATH=" + box.path("projets/").toUtf8()
                                                                    + "\r\nBMP=" + box.path("images/").toUtf8() + "\r\n");
    return ok ? config : QString();
}

TRun build(const QString &prj, const QString &format, const QString &config)
{
    return program({QStringLiteral("--build"), prj, QStringLiteral("--format"), format}, config);
}

} // namespace

class TestBuildCommand : public QObject {
    Q_OBJECT
private slots:
    void buildsNeverWriteTheAuthorsFiles();
    void aFailedCompileEndsTheBuild();
    void importThenBuild();
    void importKeepsTheLanguage();
    void killedImportsLeaveNothing();
};

void TestBuildCommand::buildsNeverWriteTheAuthorsFiles()
{
    TestSupport::Sandbox box;
    const QString config = box.path("config");
    QVERIFY(QDir().mkpath(config));
    // The sample project, and one whose topic files Word and a hand wrote
    // (font tables with unused faces, Arial as \f2), with a picture and a
    // jump among its commands.
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), box.path("Kivhelp")));
    QVERIFY(QDir().mkpath(box.path("Autres")));
    QVERIFY(writeFile(box.path("Autres/Autres.PRJ"), "Autres\r\n\tDeux\r\n\t\tTrois\r\n"));
    // As a word processor writes it: code page, a font table with unused
    // faces, a style sheet and document information to skip, one line.
    const QByteArray word =
        "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
        "{\\f1\\fswiss\\fcharset0 Helvetica;}{\\f2\\fswiss\\fcharset0 Arial;}{\\f3\\fmodern Courier New;}}"
        "{\\colortbl;\\red0\\green0\\blue0;}{\\stylesheet{\\s0\\f2\\fs20 Normal;}}"
        "{\\info{\\author Quelqu'un}}\\pard\\plain\\s0\\f2\\fs20 Texte \\'e9crit ailleurs\\par}";
    QVERIFY(writeFile(box.path("Autres/Autres.1"), word));
    QVERIFY(writeFile(box.path("Autres/Deux.2"), word));
    QVERIFY(writeFile(box.path("Autres/Trois.3"),
                      "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times;}{\\f1\\fswiss Helv;}{\\f2\\fswiss Arial;}}\r\n"
                      "{\\colortbl;}\r\n\\pard\\f2\\fs20 Voir @_0_Deux_@ et @_1_logo_@, @_2_une_note_@.\\par\r\n}\r\n"));
    QVERIFY(writeFile(box.path("Autres/Autres.KEY"), "Deux\tpremier mot; parent, enfant\r\n"));
    QVERIFY(writeFile(box.path("Autres/Autres.CDE"),
                      "{\\uldb Deux}{\\v Deux}\r\n\\{bmc logo.bmp\\}\r\n{\\ul une note}{\\v Deux}\r\n"));
    for (const QString &dir : {box.path("Kivhelp"), box.path("Autres")}) {
        const QMap<QString, QByteArray> before = authorsFiles(dir);
        QVERIFY(before.size() >= 4);
        const QString prj = dir + u'/' + QFileInfo(dir).fileName() + QStringLiteral(".PRJ");
        for (const QString &format : {"hlp", "html", "chm", "hlp", "hlp,html,pdf"}) {
            const TRun run = build(prj, format, config);
            QVERIFY2(run.code == 0, qPrintable(format + ": " + run.out));
            QCOMPARE(authorsFiles(dir), before);
            // Several outputs from one reading: each published, each of
            // the compiler's messages said once.
            QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.filter(QStringLiteral("publié")).size(), int(format.count(u',')) + 1);
            const qsizetype said = lines.size();
            lines.removeDuplicates();
            QVERIFY2(lines.size() == said, qPrintable(run.out));
        }
    }
    QVERIFY(QFileInfo::exists(box.path("Kivhelp.COM/Kivhelp.HLP")));
    QVERIFY(QFileInfo::exists(box.path("Autres.COM/Autres.HLP")));
    // The manual's paper for this build alone; a paper it does not know
    // stops the build before anything is written.
    const QString autres = box.path("Autres/Autres.PRJ");
    TRun letter = program({QStringLiteral("--build"), autres, QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("--paper"),
                           QStringLiteral("letter")}, config);
    QVERIFY2(letter.code == 0, qPrintable(letter.out));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {box.path("Autres.COM/Autres.pdf")});
    if (info.waitForFinished(30000) && info.exitCode() == 0)
        QVERIFY(info.readAllStandardOutput().contains("612 x 792 pts (letter)"));
    letter = program({QStringLiteral("--build"), autres, QStringLiteral("--format"), QStringLiteral("pdf"), QStringLiteral("--paper"),
                      QStringLiteral("a5")}, config);
    QCOMPARE(letter.code, 2);
    // The pop-up is one in the web pages too: the page opens over the text.
    QString pages;
    for (QDirIterator it(box.path("Autres.COM/Autres_html"), {"*.html"}, QDir::Files); it.hasNext();)
        pages += QString::fromUtf8(readFile(it.next()));
    QVERIFY(pages.contains(QStringLiteral("return popup(this,")));
    QVERIFY(pages.contains(QStringLiteral(">une note<")));
    // A page's own keywords are in the index, a second level under its first.
    QVERIFY(pages.contains(QStringLiteral("premier mot")));
    QVERIFY(pages.contains(QStringLiteral("enfant")));
    // And in the .HLP's keyword index, beside the pages' names.
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(readFile(box.path("Autres.COM/Autres.HLP"))));
    HlpRead::Tree kw;
    QVERIFY(kw.parse(*hlp.internalFile("|KWBTREE")));
    QList<QByteArray> keywords;
    for (const auto &[key, data] : HlpRead::walkLeaves(kw, HlpRead::stringKey(), 6))
        keywords << QByteArray(key.constData());
    QVERIFY2(keywords.contains("premier mot") && keywords.contains("Deux"), keywords.join('|').constData());
    // The page's text holds the pop-up hotspot (0xE2) and the jump (0xE3),
    // both to the page "Deux".
    QByteArray formats;
    for (const HlpRead::TopicFile::Record &r : HlpRead::TopicFile::of(hlp).walk())
        formats += r.ld1;
    QByteArray toDeux;
    Hlp::putU32(toDeux, quint32(Hlp::contextHash("Deux")));
    QVERIFY(formats.contains('\xE2' + toDeux));
    QVERIFY(formats.contains('\xE3' + toDeux));
    // The program's settings were read, never written.
    QVERIFY(!QFileInfo::exists(config + "/kivhelp/kivhelp.INI"));
}

void TestBuildCommand::aFailedCompileEndsTheBuild()
{
    TestSupport::Sandbox box;
    const QString config = box.path("config");
    QVERIFY(QDir().mkpath(config + "/kivhelp"));
    // A compiler of the author's choosing that fails, after a wait of ten
    // minutes that the build must not sit through.
    const QString hc = TestSupport::makeScript(box.path("hc.sh"), "echo 'HC1002: Error: T1.rtf : rien ne va' > \"${1%.*}.ERR\"\nexit 1\n");
    QVERIFY(writeFile(config + "/kivhelp/kivhelp.INI",
                      "[Config]\r\nCOMPILER=" + hc.toUtf8() + "\r\nCOMPIL_TO=600000\r\nCOMPIL_POL_T=50\r\n"));
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), box.path("Kivhelp")));
    const TRun run = build(box.path("Kivhelp/Kivhelp.PRJ"), "hlp", config);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.out.contains("HC1002: Error: T1.rtf : rien ne va"), qPrintable(run.out));
}

void TestBuildCommand::killedImportsLeaveNothing()
{
    // An import killed at any moment leaves no project or the whole one; what
    // it left besides (its staging folder, pictures it added to the shared
    // picture folder) is gone after the next import.
    TestSupport::Sandbox box;
    const QString config = importSettings(box);
    QVERIFY(!config.isEmpty());
    QVERIFY(QDir().mkpath(box.path("src")));
    QVERIFY(QDir().mkpath(box.path("images")));
    QVERIFY(writeFile(box.path("images/auteur.bmp"), "BM de l'auteur"));
    QByteArray rtf = "{\\rtf1{\\fonttbl{\\f0 Arial;}}";
    for (int n = 0; n < 40; ++n) {
        QImage picture(160, 120, QImage::Format_RGB32);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                picture.setPixel(x, y, qRgb((x * n) % 256, (y * 7 + n) % 256, (x ^ y) % 256));
        QVERIFY(picture.save(box.path("src/p%1.bmp").arg(n), "BMP"));
        rtf += "#{\\footnote t" + QByteArray::number(n) + "}${\\footnote Page " + QByteArray::number(n) + "}Texte \\{bmc p"
               + QByteArray::number(n) + ".bmp\\}\\par\\page";
    }
    rtf += "}";
    QVERIFY(writeFile(box.path("src/a.hpj"), "[OPTIONS]\r\nTITLE=Images\r\n[FILES]\r\na.rtf\r\n"));
    QVERIFY(writeFile(box.path("src/a.rtf"), rtf));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("src/a.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(writeFile(box.path("src/a.hlp"), compiled.hlp));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Mesure")}, config).code <= 1);
    const qint64 whole = qMax<qint64>(clock.elapsed(), 50);
    QVERIFY(QDir(box.path("projets/Mesure")).exists());
    const QStringList kept = QDir(box.path("images")).entryList(QDir::Files);

    QRandomGenerator rng(33);
    for (int round = 0; round < 16; ++round) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KIVHELP_EXE), {QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Coupe%1").arg(round)});
        QVERIFY(p.waitForStarted());
        QTest::qSleep(int(rng.bounded(whole)));
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished();
    }
    // The next import (of anything, even refused) clears what the killed
    // ones left.
    program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Mesure")}, config);
    const QStringList left = QDir(box.path("projets")).entryList({QStringLiteral(".*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    QStringList expected = kept;
    for (int round = 0; round < 16; ++round) {
        const QString project = box.path("projets/Coupe%1").arg(round);
        if (!QDir(project).exists())
            continue;
        QVERIFY(QFile::exists(project + QStringLiteral("/Coupe%1.PRJ").arg(round))); // whole
        QVERIFY(!QFile::exists(project + QStringLiteral("/.kivhelp-import")));
        for (const QString &picture : QDir(box.path("images")).entryList({QStringLiteral("Coupe%1_*").arg(round)}, QDir::Files))
            expected << picture;
    }
    expected.sort();
    QStringList there = QDir(box.path("images")).entryList(QDir::Files);
    there.sort();
    QCOMPARE(there, expected);
    QCOMPARE(readFile(box.path("images/auteur.bmp")), QByteArray("BM de l'auteur"));
}

void TestBuildCommand::importKeepsTheLanguage()
{
    // A Russian help imported and built again: its language, main window
    // and buttons, and every letter of its title, copyright (its lines laid
    // out with blanks), page titles, text, link texts and keywords, in its
    // code page.
    TestSupport::Sandbox box;
    const QString config = importSettings(box);
    QVERIFY(!config.isEmpty());
    QVERIFY(QDir().mkpath(box.path("src")));
    QVERIFY(writeFile(box.path("src/r.hpj"), "[OPTIONS]\r\nTITLE=\xd1\xef\xf0\xe0\xe2\xea\xe0\r\nCOPYRIGHT=\xd1\xef\xf0.          (c) 1998\r\n"
                                          "LCID=0x419 0x0 0x0\r\nCOMPRESS=YES\r\n[FILES]\r\nr.rtf\r\n"
                                          "[WINDOWS]\r\nmain=\"\xc0\xe1\",(10,20,300,400),0\r\n[CONFIG]\r\nBrowseButtons()\r\n"));
    QVERIFY(writeFile(box.path("src/r.rtf"),
        "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 #{\\footnote un}${\\footnote \\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0}"
        "\\'d2\\'e5\\'ea\\'f1\\'f2 {\\uldb \\'f1\\'e0\\'e4}{\\v deux}\\par\\page"
        "#{\\footnote deux}${\\footnote \\'c4\\'e2\\'e0}K{\\footnote \\'f0\\'e5\\'ea\\'e0}\\'c4\\'e2\\'e0\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("src/r.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(writeFile(box.path("src/r.hlp"), compiled.hlp));
    const TRun imported = program({QStringLiteral("--import"), box.path("src/r.hlp"), QStringLiteral("Russe")}, config);
    QVERIFY2(imported.code <= 1, qPrintable(imported.out));
    QVERIFY(readFile(box.path("projets/Russe/Russe.CFG")).contains("Language=0x419"));
    QVERIFY(readFile(box.path("projets/Russe/Russe.CFG")).contains("HelpCompress=YES"));
    // Page names are Windows-1252: a Russian title opens its page's text,
    // and the report says so.
    QCOMPARE(readFile(box.path("projets/Russe/Russe.PRJ")), QByteArray("Russe\r\n\tPage 2\r\n"));
    QVERIFY(imported.out.contains(QString::fromUtf8("1 titre(s) de page hors de Windows-1252")));
    QVERIFY(readFile(box.path("projets/Russe/Page 2.2")).contains("\\u1044?\\u1074?\\u1072?"));
    const TRun built = build(box.path("projets/Russe/Russe.PRJ"), "hlp", config);
    QVERIFY2(built.code == 0, qPrintable(built.out));
    const Hlp::THelpFileRead back = Hlp::readHelpFile(readFile(box.path("projets/Russe.COM/Russe.HLP")), QStringLiteral("Russe.HLP"));
    QVERIFY(back.ok);
    QCOMPARE(back.project.codePage, 1251);
    QCOMPARE(back.project.hpj.options.value("TITLE"), QByteArray("\xd1\xef\xf0\xe0\xe2\xea\xe0"));
    QCOMPARE(back.project.hpj.options.value("COPYRIGHT"), QByteArray("\xd1\xef\xf0.          (c) 1998"));
    // Its main window's caption, place and size, and its buttons: those it
    // had, and no other.
    QCOMPARE(back.project.hpj.windows.size(), 1);
    QCOMPARE(back.project.hpj.windows[0].caption, QByteArray("\xc0\xe1"));
    QCOMPARE(QList<qint16>(back.project.hpj.windows[0].place, back.project.hpj.windows[0].place + 4), (QList<qint16>{10, 20, 300, 400}));
    QCOMPARE(back.project.hpj.config, QList<QByteArray>{"BrowseButtons()"});
    QCOMPARE(back.project.topics.size(), 2);
    QCOMPARE(back.project.topics[1].title, QByteArray("Page 2"));
    QVERIFY(back.project.topics[1].keywords.contains(QByteArray("\xf0\xe5\xea\xe0")));
    QString text;
    for (const Hlp::TParagraph &p : back.project.topics[0].scrolling)
        for (const Hlp::TInline &i : p.items)
            text += i.text;
    QVERIFY2(text.contains(QString::fromUtf8("Текст")) && text.contains(QString::fromUtf8("сад")), qPrintable(text));
}

void TestBuildCommand::importThenBuild()
{
    // Existing help (a help file of ours, made from a project other tools
    // wrote) imported as a project, built again and read back: its pages,
    // keywords, jumps, pop-ups and pictures (at the left of the text too).
    TestSupport::Sandbox box;
    const QString config = importSettings(box);
    QVERIFY(!config.isEmpty());
    QVERIFY(QDir().mkpath(box.path("src")));
    QImage picture(7, 5, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(box.path("src/p.bmp"), "BMP"));
    QVERIFY(writeFile(box.path("src/a.hpj"), "[OPTIONS]\r\nTITLE=Ancienne aide\r\nCONTENTS=intro\r\n[FILES]\r\na.rtf\r\n"));
    // A hotspot graphic of a real project (when the corpus is beside the
    // sources), its jumps led to "suite".
    const QByteArray shg = readFile(QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/andes-fbd/hlp/ACCDLG.SHG"));
    QVERIFY(writeFile(box.path("src/g.shg"), Hlp::retargetHotspots(shg, [](const QByteArray &) { return QByteArray("suite"); })));
    QVERIFY(writeFile(box.path("src/a.rtf"),
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote intro}${\\footnote Accueil}K{\\footnote d\\'e9part}"
        "\\pard\\qc\\b Bienvenue\\par\\pard\\b0 Voir {\\uldb la suite}{\\v suite} ou {\\ul une note}{\\v note}. \\{bml p.bmp\\}\\{bmc g.shg\\}\\par\\page"
        "#{\\footnote suite}${\\footnote La suite}K{\\footnote d\\'e9part;fin}Suite {\\uldb note}{\\v !PopupId(`', `note')} {\\uldb \\{bmc p.bmp\\}}{\\v note}\\par\\page"
        "#{\\footnote note}${\\footnote Une note}Note\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("src/a.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(writeFile(box.path("src/a.hlp"), compiled.hlp));

    const TRun imported = program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Reprise")}, config);
    QVERIFY2(imported.code == 1, qPrintable(imported.out)); // the context names are said
    QVERIFY(imported.out.contains(QString::fromUtf8("3 page(s) importée(s)")));
    QCOMPARE(program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Reprise")}, config).code, 2); // not twice
    const QByteArray outline = readFile(box.path("projets/Reprise/Reprise.PRJ"));
    QCOMPARE(outline, QByteArray("Reprise\r\n\tLa suite\r\n\tUne note\r\n"));
    QVERIFY(readFile(box.path("projets/Reprise/Reprise.KEY")).contains(QString::fromUtf8("La suite\tdépart; fin").toUtf8()));
    QVERIFY(readFile(box.path("projets/Reprise/Reprise.CDE")).contains("!PopupId(`', `Une_note')"));

    const TRun built = build(box.path("projets/Reprise/Reprise.PRJ"), "hlp", config);
    QVERIFY2(built.code == 0 && !built.out.contains(QStringLiteral("HC4113")) && !built.out.contains(QStringLiteral("HC3025")), qPrintable(built.out));
    Hlp::THelpFileRead back = Hlp::readHelpFile(readFile(box.path("projets/Reprise.COM/Reprise.HLP")), QStringLiteral("Reprise.HLP"));
    QVERIFY(back.ok);
    QCOMPARE(back.project.topics.size(), 3);
    QCOMPARE(back.project.topics[1].keywords, QList<QByteArray>({"d\xe9part", "fin", "La suite"})); // in index order
    QStringList hotspots;
    int pictures = 0;
    for (const Hlp::TParagraph &p : back.project.topics[0].scrolling)
        for (const Hlp::TInline &i : p.items) {
            if (i.kind == Hlp::TInline::HotspotStart)
                hotspots << QStringLiteral("%1 %2").arg(i.link == Hlp::TInline::Jump ? "jump" : "popup").arg(back.project.contextTopic.value(i.context.toUpper(), -1));
            pictures += i.kind == Hlp::TInline::Picture && i.placement == Hlp::TInline::Left ? 1 : 0;
        }
    QCOMPARE(hotspots, QStringList({"jump 1", "popup 2"}));
    QCOMPARE(pictures, 1);
    // A picture that is a jump stays one.
    QStringList inSuite;
    for (const Hlp::TParagraph &p : back.project.topics[1].scrolling)
        for (const Hlp::TInline &i : p.items)
            inSuite << QString::number(int(i.kind));
    QVERIFY2(inSuite.join(u' ').contains(QStringLiteral("%1 %2 %3").arg(int(Hlp::TInline::HotspotStart)).arg(int(Hlp::TInline::Picture))
                                             .arg(int(Hlp::TInline::HotspotEnd))), qPrintable(inSuite.join(u' ')));
    // The graphic's hotspots lead to the page by its new name.
    QByteArray graphic;
    for (const QByteArray &picture : std::as_const(back.project.pictureData))
        if (Hlp::pictureHotspotCount(picture) > 0)
            graphic = picture;
    QVERIFY(shg.isEmpty() || !Hlp::pictureHotspots(graphic).isEmpty());
    for (const Hlp::TPictureHotspot &h : Hlp::pictureHotspots(graphic))
        if ((h.kind & 0xF0) == 0xE0)
            QCOMPARE(back.project.contextTopic.value(h.target.toUpper(), -1), 1);

    // With its contents file beside it: the outline is its tree, a heading
    // a page of its own.
    QVERIFY(writeFile(box.path("src/a.cnt"), ":Base a.hlp\r\n:Title Ancienne aide\r\n1 Chapitre un\r\n2 La note=note\r\n"
                                              "2 La suite=suite>main\r\n2 Ailleurs=x@autre.hlp\r\n"));
    // The picture comes as a .BMP; a file of the author's with its name is
    // left alone.
    QCOMPARE(QImage(box.path("images/Reprise_bm0.bmp")).pixel(3, 2), QColor(Qt::red).rgb());
    QVERIFY(writeFile(box.path("images/Arbre_bm0.bmp"), "autre"));
    QCOMPARE(program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Arbre")}, config).code, 1);
    QCOMPARE(readFile(box.path("projets/Arbre/Arbre.PRJ")), QByteArray("Arbre\r\n\tChapitre un\r\n\t\tUne note\r\n\t\tLa suite\r\n"));
    QCOMPARE(readFile(box.path("images/Arbre_bm0.bmp")), QByteArray("autre"));
    QVERIFY(readFile(box.path("projets/Arbre/Arbre.CDE")).contains("\\{bml Arbre_bm0_2.bmp\\}"));
    QVERIFY(build(box.path("projets/Arbre/Arbre.PRJ"), "hlp", config).code == 0);
    // A heading whose first entry is a page of the same title is that page.
    QVERIFY(writeFile(box.path("src/a.cnt"), ":Base a.hlp\r\n1 Une note\r\n2 Une note=note\r\n2 La suite=suite\r\n"));
    QVERIFY(program({QStringLiteral("--import"), box.path("src/a.hlp"), QStringLiteral("Livre")}, config).code <= 1);
    QCOMPARE(readFile(box.path("projets/Livre/Livre.PRJ")), QByteArray("Livre\r\n\tUne note\r\n\t\tLa suite\r\n"));

    // Without a contents file, browse sequences make the chapters: each
    // one's first page over the others.
    // A page that BUILD= leaves out is imported all the same, and said; so
    // is a picture the project lacks.
    QVERIFY(writeFile(box.path("src/b.hpj"), "[OPTIONS]\r\nBUILD=A\r\n[BUILDTAGS]\r\nA\r\nB\r\n[FILES]\r\nb.rtf\r\n"));
    QVERIFY(writeFile(box.path("src/b.rtf"), "{\\rtf1 #{\\footnote d}${\\footnote D\\'e9but}D\\par\\page"
                                             "#{\\footnote a1}${\\footnote A1}+{\\footnote a:1}x\\par\\page"
                                             "#{\\footnote b1}${\\footnote B1}+{\\footnote b:1}x\\par\\page"
                                             "#{\\footnote a2}${\\footnote A2}+{\\footnote a:2}x\\par\\page"
                                             "#{\\footnote b2}${\\footnote B2}+{\\footnote b:2}*{\\footnote B}x \\{bmc absente.bmp\\}"
                                             " {\\uldb voir}{\\v !Back(1)}\\par}"));
    // ... and a macro the viewers would refuse (Back takes nothing): listed.
    const TRun suites = program({QStringLiteral("--import"), box.path("src/b.hpj"), QStringLiteral("Suites")}, config);
    QVERIFY2(suites.code == 1 && suites.out.contains("BUILD=") && suites.out.contains("HC4113") && suites.out.contains("HC4640"),
             qPrintable(suites.out));
    QCOMPARE(readFile(box.path("projets/Suites/Suites.PRJ")), QByteArray("Suites\r\n\tA1\r\n\t\tA2\r\n\tB1\r\n\t\tB2\r\n"));
}

KIV_TEST(TestBuildCommand)
#include "tst_buildcmd.moc"
