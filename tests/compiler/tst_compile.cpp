// The compiler as a whole: projects of the corpus and of the tests built
// into help files, with the checks and messages of the project's reading.
#include "TestSupport.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
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
#include "platform/CodePage.h"
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

// Offsets of the topic headers, computed as the viewer computes them.
QList<quint32> headerOffsets(const HlpRead::Container &hlp)
{
    const bool compressed = HlpRead::u16(*hlp.internalFile("|SYSTEM"), 10) != 0;
    QList<quint32> out;
    for (const auto &r : HlpRead::TopicFile(*hlp.internalFile("|TOPIC"), compressed).walk())
        if (r.type == 0x02)
            out.append(r.offset);
    return out;
}

} // namespace

class TestCompile : public QObject {
    Q_OBJECT
private slots:
    void corpusProjects();
    void everyCorpusProject();
    void badProjects();
    void keywordsOneIndex();
    void projectOptions();
    void mapNumbers();
    void namesInTheProjectFile();
    void codePages();
    void filesFromElsewhere();
    void hashCollisionsTroubleTheHelpFileAlone();
};

void TestCompile::corpusProjects()
{
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/pjabout");
    if (!QFileInfo(corpus).isDir())
        QSKIP("the corpus is not beside the project");
    TestSupport::Sandbox box;
    QVERIFY(Platform::copyTree(corpus, box.path("pj")));
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("pj/PJAbout.hpj"));
    QVERIFY2(r.ok, qPrintable(r.messages.join('\n')));
    QCOMPARE(r.errors, 0);
    QCOMPARE(r.topics, 30);
    QCOMPARE(r.warnings, 0); // both pictures found and converted
    HlpRead::Container hlp;
    QVERIFY2(hlp.parse(r.hlp), qPrintable(hlp.error));
    for (const char *name : {"|SYSTEM", "|FONT", "|TOPIC", "|CONTEXT", "|TTLBTREE", "|KWBTREE", "|KWDATA", "|KWMAP",
                             "|CTXOMAP", "|bm0", "|bm1"})
        QVERIFY2(hlp.internalFile(name), name);
    const QByteArray system = *hlp.internalFile("|SYSTEM");
    QCOMPARE(HlpRead::u16(system, 0), quint16(0x036C));
    const QList<quint32> headers = headerOffsets(hlp);
    QCOMPARE(headers.size(), 31); // 30 topics and the terminator

    // Every context lands on its own topic header; a jump's hash is there.
    HlpRead::Tree contexts;
    QVERIFY(contexts.parse(*hlp.internalFile("|CONTEXT")));
    const auto entries = HlpRead::walkLeaves(contexts, HlpRead::hashKey(), 4);
    QCOMPARE(entries.size(), 30);
    for (const auto &[key, data] : entries)
        QVERIFY(headers.contains(HlpRead::u32(data, 0)));
    QByteArray wanted;
    Hlp::putU32(wanted, quint32(Hlp::contextHash("IDH_TPJABOUTBOXDLG")));
    const auto found = HlpRead::search(contexts, HlpRead::hashKey(), wanted, 4);
    QVERIFY(found);
    QCOMPARE(HlpRead::u32(*found, 0), headers[1]);

    // Keywords: found by search, their topics in |KWDATA.
    HlpRead::Tree kw;
    QVERIFY(kw.parse(*hlp.internalFile("|KWBTREE")));
    const auto keyword = HlpRead::search(kw, HlpRead::stringKey(), "PJAbout", 6);
    QVERIFY(keyword);
    const QByteArray kwdata = *hlp.internalFile("|KWDATA");
    QCOMPARE(HlpRead::u16(*keyword, 0), quint16(1));
    QCOMPARE(HlpRead::u32(kwdata, HlpRead::u32(*keyword, 2)), headers[0]);
    QCOMPARE(HlpRead::u16(*hlp.internalFile("|KWMAP"), 0), quint16(kw.totalPages - (kw.levels - 1 > 0 ? 1 : 0)));

    // "A" footnotes: the same index under other names, for ALink macros.
    HlpRead::Tree aw;
    QVERIFY(aw.parse(*hlp.internalFile("|AWBTREE")));
    const auto aKeyword = HlpRead::search(aw, HlpRead::stringKey(), "PJAbout", 6);
    QVERIFY(aKeyword);
    QCOMPARE(HlpRead::u32(*hlp.internalFile("|AWDATA"), HlpRead::u32(*aKeyword, 2)), headers[0]);
}

void TestCompile::everyCorpusProject()
{
    // Projects written by other people and tools (Word's RTF, tables,
    // included map files, hotspot graphics, missing files, compression):
    // every one builds, and its contexts land on topic headers.
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp");
    if (!QFileInfo(corpus).isDir())
        QSKIP("the corpus is not beside the project");
    TestSupport::Sandbox box;
    QVERIFY(Platform::copyTree(corpus, box.path("c")));
    QDirIterator it(box.path("c"), {"*.hpj", "*.HPJ"}, QDir::Files, QDirIterator::Subdirectories);
    int projects = 0, compressed = 0;
    while (it.hasNext()) {
        const QString hpj = it.next();
        // andes lists a topic file it does not ship.
        const Hlp::TCompileResult r = Hlp::compileProject(hpj, {.missingFilesAreWarnings = true});
        QVERIFY2(r.ok && r.errors == 0, qPrintable(hpj + u'\n' + r.messages.join(u'\n')));
        HlpRead::Container hlp;
        QVERIFY2(hlp.parse(r.hlp), qPrintable(hlp.error));
        compressed += HlpRead::u16(*hlp.internalFile("|SYSTEM"), 10) != 0;
        const QList<quint32> headers = headerOffsets(hlp);
        QCOMPARE(headers.size(), r.topics + 1);
        HlpRead::Tree contexts;
        QVERIFY(contexts.parse(*hlp.internalFile("|CONTEXT")));
        bool chainOk = false;
        const auto entries = HlpRead::walkLeaves(contexts, HlpRead::hashKey(), 4, &chainOk);
        QVERIFY(chainOk);
        for (const auto &[key, data] : entries)
            QVERIFY2(headers.contains(HlpRead::u32(data, 0)), qPrintable(hpj));
        // Pictures: files, and those written in the RTF (Word's PNG icons,
        // OLE equations), none dropped.
        int pictures = 0;
        for (const auto &[name, offset] : HlpRead::walkLeaves(hlp.directory, HlpRead::stringKey(), 4))
            pictures += name.startsWith("|bm");
        const QMap<QString, int> leastPictures{{"demist.hpj", 54}, {"FBD.hpj", 110}, {"vidsend2.hpj", 21}};
        QVERIFY2(pictures >= leastPictures.value(QFileInfo(hpj).fileName()), qPrintable(hpj));
        QVERIFY2(!r.messages.join(u'\n').contains(QStringLiteral("HC4115")), qPrintable(hpj));
        ++projects;
    }
    QCOMPARE(projects, 9);
    QVERIFY(compressed >= 2); // "COMPRESS=12 Hall Zeck" asks for it
}

void TestCompile::badProjects()
{
    TestSupport::Sandbox box;
    QCOMPARE(Hlp::compileProject(box.path("none.hpj")).errors, 1);
    TestSupport::writeFile(box.path("a.hpj"), "[OPTIONS]\r\nTITLE=t\r\n[FILES]\r\nabsent.rtf\r\n");
    Hlp::TCompileResult r = Hlp::compileProject(box.path("a.hpj"));
    QVERIFY(!r.ok);
    QVERIFY(r.messages.join('\n').contains(QStringLiteral("HC1005")));
    // Two contexts, one hash: refused rather than a wrong jump.
    TestSupport::writeFile(box.path("b.hpj"), "[FILES]\r\nb.rtf\r\n");
    TestSupport::writeFile(box.path("B.RTF"), "{\\rtf1 #{\\footnote # un}x\\page #{\\footnote # un}y}");
    r = Hlp::compileProject(box.path("b.hpj"));
    QVERIFY(r.ok); // found under another letter case; a context twice is a warning
    QCOMPARE(r.warnings, 1);

    // [ALIAS] gives a second name to a topic; ERRORLOG is taken from the options.
    TestSupport::writeFile(box.path("c.hpj"), "[OPTIONS]\r\nERRORLOG=c.err\r\n[ALIAS]\r\nautre=un\r\nvide=nulle\r\n[FILES]\r\nb.rtf\r\n");
    r = Hlp::compileProject(box.path("c.hpj"));
    QVERIFY(r.ok);
    QCOMPARE(r.errorLog, box.path("c.err"));
    QCOMPARE(r.warnings, 2); // the context twice, the alias to nothing
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(r.hlp));
    HlpRead::Tree contexts;
    QVERIFY(contexts.parse(*hlp.internalFile("|CONTEXT")));
    QByteArray un, autre;
    Hlp::putU32(un, quint32(Hlp::contextHash("un")));
    Hlp::putU32(autre, quint32(Hlp::contextHash("autre")));
    QCOMPARE(HlpRead::search(contexts, HlpRead::hashKey(), autre, 4), HlpRead::search(contexts, HlpRead::hashKey(), un, 4));

    // Checks that warn and still build: a jump to nothing, a window not in
    // [WINDOWS], a context past the viewers' limit, a missing topic file.
    TestSupport::writeFile(box.path("d.hpj"), "[WINDOWS]\r\nproc4=\"P\",,,,(1,2,3)\r\n[FILES]\r\nd.rtf\r\nabsent.rtf\r\n");
    TestSupport::writeFile(box.path("d.rtf"), "{\\rtf1 #{\\footnote # A}{\\uldb x}{\\v nowhere} {\\uldb y}{\\v B>proc4} "
                                              "{\\uldb z}{\\v B>nowin}\\page #{\\footnote # B}#{\\footnote # "
                                              + QByteArray(300, 'c') + "}b}");
    r = Hlp::compileProject(box.path("d.hpj"));
    QVERIFY(!r.ok); // a help file without a chapter is not a success
    QVERIFY(r.messages.first().startsWith(QStringLiteral("HC1005: Error: absent.rtf")));
    r = Hlp::compileProject(box.path("d.hpj"), {.missingFilesAreWarnings = true});
    QVERIFY(r.ok);
    QStringList codes;
    for (const QString &m : r.messages)
        codes << m.left(6);
    codes.sort();
    QCOMPARE(codes, QStringList({"HC1005", "HC3025", "HC4013", "HC4014", "HC4031"}));
    QVERIFY(r.messages.join('\n').contains(QStringLiteral("d.rtf, page 1 : saut vers un contexte inexistant : nowhere")));

    // A hotspot graphic's targets are checked like jumps, named with the picture.
    const QString shg = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/andes-fbd/hlp/SCREEN.SHG");
    if (QFileInfo(shg).isFile()) {
        QVERIFY(QFile::copy(shg, box.path("screen.shg")));
        TestSupport::writeFile(box.path("s.hpj"), "[FILES]\r\ns.rtf\r\n");
        TestSupport::writeFile(box.path("s.rtf"), "{\\rtf1 #{\\footnote # HIDR_EQBAR}\\{bmc screen.shg\\}\\page #{\\footnote # menu}m}");
        r = Hlp::compileProject(box.path("s.hpj"));
        QVERIFY(r.ok);
        const QStringList missing = r.messages.filter(QStringLiteral("HC3025: Warning: s.rtf, page 1, screen.shg : "));
        QCOMPARE(missing.size(), 10); // 12 hotspots: two reach a topic, one has no target
        QCOMPARE(missing.filter(QStringLiteral("HIDC_EQ1")).size(), 1);
        // As a web page: an image map whose areas lie on the picture, the
        // one whose topic is there leading to it, named by that page's
        // first line (it has no title), not "Hotspot 8".
        Hlp::TCompileOptions web;
        web.output = Hlp::TOutput::Html;
        web.outputDir = box.path("s_html");
        QVERIFY(Hlp::compileProject(box.path("s.hpj"), web).ok);
        const QString page = QString::fromUtf8(TestSupport::readFile(box.path("s_html/HIDR_EQBAR.html")));
        QVERIFY(page.contains(QStringLiteral("usemap=\"#map0\"")));
        QVERIFY(page.contains(QStringLiteral("<area shape=\"rect\" coords=\"165,20,207,36\" title=\"m\" alt=\"m\" href=\"menu.html#menu\">")));
        const QSize size = QImage(box.path("s_html/images/image0.png")).size();
        static const QRegularExpression area(QStringLiteral("coords=\"(\\d+),(\\d+),(\\d+),(\\d+)\""));
        int areas = 0;
        for (auto m = area.globalMatch(page); m.hasNext(); ++areas) {
            const QRegularExpressionMatch a = m.next();
            QVERIFY(a.captured(3).toInt() <= size.width() && a.captured(4).toInt() <= size.height());
            QVERIFY(a.captured(1).toInt() <= a.captured(3).toInt() && a.captured(2).toInt() <= a.captured(4).toInt());
        }
        QCOMPARE(areas, 12);
    }
}

void TestCompile::keywordsOneIndex()
{
    // Keywords that differ only in letter case (accented letters too) are
    // one entry under the first spelling, with a note; the index is in
    // reading order, accents and case aside.
    TestSupport::Sandbox box;
    TestSupport::writeFile(box.path("k.hpj"), "[FILES]\r\nk.rtf\r\n");
    TestSupport::writeFile(box.path("k.rtf"), "{\\rtf1 #{\\footnote # a}K{\\footnote K Stampa;zoom;\\'c9dition}a\\page "
                                              "#{\\footnote # b}K{\\footnote K stampa;\\'e9dition;abc}b}");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("k.hpj"));
    QVERIFY(r.ok);
    QCOMPARE(r.keywords, 4);
    QCOMPARE(r.messages.filter(QStringLiteral("HC2002: Note")).size(), 2);
    QCOMPARE(r.warnings, 0);
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(r.hlp));
    HlpRead::Tree tree;
    QVERIFY(tree.parse(*hlp.internalFile("|KWBTREE")));
    bool chain = false;
    const auto entries = HlpRead::walkLeaves(tree, HlpRead::stringKey(), 6, &chain);
    QStringList keys;
    for (const auto &[key, data] : entries) {
        keys << QString::fromLatin1(key.left(key.indexOf('\0')));
        if (key.startsWith("Stampa") || key.startsWith("\xc9"))
            QCOMPARE(HlpRead::u16(data, 0), quint16(2)); // both topics
    }
    QCOMPARE(keys, QStringList({"abc", QString::fromLatin1("\xc9" "dition"), "Stampa", "zoom"}));
}

void TestCompile::projectOptions()
{
    // HLP= names the output (its letter case kept, its folder found without
    // regard to case); LCID= and CNT= reach |SYSTEM.
    TestSupport::Sandbox box;
    QVERIFY(QDir().mkpath(box.path("Sortie")));
    TestSupport::writeFile(box.path("o.hpj"), "[OPTIONS]\r\nHLP=sortie\\Aide.HLP\r\nLCID=0x410 0x0 0x0 ;Italian\r\n"
                                              "CNT=.\\Aide.cnt\r\n[FILES]\r\no.rtf\r\n");
    TestSupport::writeFile(box.path("o.rtf"), "{\\rtf1 #{\\footnote # a}a}");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("o.hpj"));
    QVERIFY(r.ok);
    QCOMPARE(r.warnings, 0);
    QCOMPARE(r.helpFile, box.path("Sortie/Aide.HLP"));
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(r.hlp));
    const QByteArray system = *hlp.internalFile("|SYSTEM");
    QMap<int, QByteArray> records;
    for (qsizetype at = 12; at + 4 <= system.size();) {
        const int type = HlpRead::u16(system, at), size = HlpRead::u16(system, at + 2);
        records.insert(type, system.mid(at + 4, size));
        at += 4 + size;
    }
    QCOMPARE(records.value(9), QByteArray::fromHex("00000000000000001004"));
    QCOMPARE(records.value(10), QByteArray(".\\Aide.cnt", 10) + '\0');
    // Without TITLE= and CONTENTS=, as the classic compiler: no title
    // record, the first topic as the contents.
    QVERIFY(!records.contains(1));
    QByteArray first;
    Hlp::putU32(first, headerOffsets(hlp).value(0));
    QCOMPARE(records.value(3), first);

    // The rest of a Help Workshop project: windows in full, CITATION,
    // DEFFONT, [FONTS], build tags, [BAGGAGE], ">" footnotes, PREFIX,
    // WARNING= levels.
    TestSupport::writeFile(box.path("w.hpj"),
                           "[OPTIONS]\r\nCITATION=Copie interdite\r\nDEFFONT=Helv,9,0\r\nBUILD=~DRAFT\r\nPREFIX=IDH_\r\n"
                           "WARNING=1\r\n[WINDOWS]\r\nMain=\"Aide\",(441,74,502,802),19460,(r14876671),(r12632256),f2\r\n"
                           "proc=\"P\",(1,2,3,4),0,,,1\r\n[FONTS]\r\nArial,11=Helv,10\r\n[BAGGAGE]\r\ndata.bin\r\n"
                           "[BUILDTAGS]\r\nDRAFT\r\n[MAP]\r\nIDH_a 1\r\n[FILES]\r\nw.rtf\r\n");
    TestSupport::writeFile(box.path("w.rtf"), "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote # IDH_a}>{\\footnote > proc}\\fs22 a "
                                              "{\\uldb b}{\\v IDH_b}\\page *{\\footnote * draft}#{\\footnote # IDH_b}K{\\footnote K brouillon}b"
                                              "\\page #{\\footnote # IDH_c}#{\\footnote # IDH_c}c\\page #{\\footnote # d}>{\\footnote > nowhere}d}");
    TestSupport::writeFile(box.path("data.bin"), QByteArray("\x00\x01" "baggage", 9));
    Hlp::TCompileResult w = Hlp::compileProject(box.path("w.hpj"));
    QVERIFY2(w.ok, qPrintable(w.messages.join(u'\n')));
    QCOMPARE(w.topics, 3); // the DRAFT topic left out
    QCOMPARE(w.keywords, 0);
    // WARNING=1: the jump to the left-out topic is said; the context
    // defined twice and the unknown window are not, nor any note.
    QCOMPARE(w.messages.size(), 1);
    QVERIFY(w.messages.first().startsWith(QStringLiteral("HC3025")));
    QVERIFY(hlp.parse(w.hlp));
    QCOMPARE(*hlp.internalFile("data.bin"), QByteArray("\x00\x01" "baggage", 9));
    HlpRead::Tree viola;
    QVERIFY(viola.parse(*hlp.internalFile("|VIOLA")));
    const auto windows = HlpRead::walkLeaves(viola, HlpRead::hashKey(), 4);
    QCOMPARE(windows.size(), 1);
    QCOMPARE(HlpRead::u32(windows.first().second, 0), 1u); // "proc", second in [WINDOWS]
    QVERIFY(hlp.internalFile("|FONT")->contains("Helv"));
    QVERIFY(!hlp.internalFile("|FONT")->contains("Arial"));
    const QByteArray system2 = *hlp.internalFile("|SYSTEM");
    QMultiMap<int, QByteArray> all;
    for (qsizetype at = 12; at + 4 <= system2.size();) {
        const int type = HlpRead::u16(system2, at), size = HlpRead::u16(system2, at + 2);
        all.insert(type, system2.mid(at + 4, size));
        at += 4 + size;
    }
    QCOMPARE(all.value(8), QByteArray("Copie interdite", 16));
    QCOMPARE(all.value(12), QByteArray("\x09\x00Helv\x00", 7));
    const QList<QByteArray> windowRecords = all.values(6);
    QCOMPARE(windowRecords.size(), 2);
    const QByteArray mainWindow = windowRecords.last(); // values() lists the last inserted first
    QCOMPARE(mainWindow.size(), 90);
    QCOMPARE(HlpRead::u16(mainWindow, 0), quint16(0x0B7F)); // as Help Workshop writes this line
    QCOMPARE(mainWindow.mid(12, 5), QByteArray("main\0", 5));
    QCOMPARE(HlpRead::u16(mainWindow, 72), quint16(441));
    QCOMPARE(HlpRead::u16(mainWindow, 78), quint16(802));
    QCOMPARE(HlpRead::u16(mainWindow, 80), quint16(19460));
    QCOMPARE(mainWindow.mid(82, 8), QByteArray::fromHex("ffffe200c0c0c000"));
    QCOMPARE(HlpRead::u16(windowRecords.first(), 0), quint16(0x04FF)); // proc: place, state, on top
    // WARNING=3 (the default): the notes too, PREFIX's among them.
    TestSupport::writeFile(box.path("w.hpj"), TestSupport::readFile(box.path("w.hpj")).replace("WARNING=1", "REPORT=Yes"));
    w = Hlp::compileProject(box.path("w.hpj"));
    QVERIFY(w.messages.filter(QStringLiteral("HC1009: Note")).value(0).endsWith(QStringLiteral("\n\tIDH_c")));
    QCOMPARE(w.messages.filter(QStringLiteral("HC1020: Note")).size(), 1);
    QCOMPARE(w.messages.filter(QStringLiteral("HC4031: Warning")).size(), 1);
}

void TestCompile::mapNumbers()
{
    // Names no topic defines: one note. A number given twice: a warning,
    // and the first name (in source order) comes first for the viewer.
    TestSupport::Sandbox box;
    TestSupport::writeFile(box.path("m.hpj"), "[FILES]\r\nm.rtf\r\n[MAP]\r\nb 1\r\na 1\r\nc 2\r\nd 3\r\n");
    TestSupport::writeFile(box.path("m.rtf"), "{\\rtf1 #{\\footnote # a}a\\page #{\\footnote # b}b}");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("m.hpj"));
    QVERIFY(r.ok);
    QCOMPARE(r.warnings, 1);
    QCOMPARE(r.messages.filter(QStringLiteral("HC3037: Warning")).size(), 1);
    const QStringList notes = r.messages.filter(QStringLiteral("HC1010: Note"));
    QCOMPARE(notes.size(), 1);
    QVERIFY(notes.first().endsWith(QStringLiteral("2 nom(s) de [MAP] sans page, laissé(s) de côté : c, d")));
    HlpRead::Container hlp;
    QVERIFY(hlp.parse(r.hlp));
    const QByteArray map = *hlp.internalFile("|CTXOMAP");
    QCOMPARE(HlpRead::u16(map, 0), quint16(2));
    QCOMPARE(HlpRead::u32(map, 2), 1u);
    QCOMPARE(HlpRead::u32(map, 10), 1u);
    QVERIFY(HlpRead::u32(map, 6) > HlpRead::u32(map, 14)); // b's topic (the second) first
}

void TestCompile::namesInTheProjectFile()
{
    // Folder and file names with accents, written in Windows-1252 (as the
    // program and Windows write project files) or in UTF-8, are found.
    TestSupport::Sandbox box;
    const QString dir = box.path(QString::fromUtf8("Manuel Démo"));
    QVERIFY(QDir().mkpath(dir + QString::fromUtf8("/Imagés")));
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(dir + QString::fromUtf8("/Imagés/logo.bmp"), "BMP"));
    TestSupport::writeFile(dir + QString::fromUtf8("/pagé.rtf"), "{\\rtf1 #{\\footnote # a}\\{bmc logo.bmp\\} x}");
    for (const QByteArray &hpj : {QByteArray("[OPTIONS]\r\nBMROOT=Imag\xe9s\r\n[FILES]\r\npag\xe9.rtf\r\n"),
                                  QString::fromUtf8("[OPTIONS]\r\nBMROOT=Imagés\r\n[FILES]\r\npagé.rtf\r\n").toUtf8()}) {
        TestSupport::writeFile(dir + "/p.hpj", hpj);
        const Hlp::TCompileResult r = Hlp::compileProject(dir + "/p.hpj");
        QVERIFY2(r.ok && r.warnings == 0, qPrintable(r.messages.join('\n')));
        HlpRead::Container hlp;
        QVERIFY(hlp.parse(r.hlp));
        QVERIFY(hlp.internalFile("|bm0"));
    }
    // A folder whose name ends with a blank is another folder.
    QVERIFY(QDir().mkpath(dir + QString::fromUtf8("/Imagés ")));
    QVERIFY(image.save(dir + QString::fromUtf8("/Imagés /logo.bmp"), "BMP"));
    QVERIFY(QFile::remove(dir + QString::fromUtf8("/Imagés/logo.bmp")));
    TestSupport::writeFile(dir + "/p.hpj", "[OPTIONS]\r\nBMROOT=Imag\xe9s \r\nROOT=. ; here\r\n[FILES]\r\npag\xe9.rtf\r\n");
    const Hlp::TCompileResult blank = Hlp::compileProject(dir + "/p.hpj");
    QVERIFY2(blank.ok && blank.warnings == 0, qPrintable(blank.messages.join('\n')));
}

void TestCompile::codePages()
{
    // A Russian and a Polish project, as Word writes them: the right
    // letters in the web pages and the .CHM, the character set in the
    // .HLP, the keywords in the order of the language.
    struct TCase {
        QByteArray hpj, rtf;
        QString title;
        quint8 charset;
        QList<QByteArray> keywords; // in the help's code page, in order
        QByteArray language;
    };
    const QList<TCase> cases{
        {"[OPTIONS]\r\nTITLE=\xd1\xef\xf0\xe0\xe2\xea\xe0\r\nLCID=0x419 0x0 0x0\r\n[FILES]\r\nru.rtf\r\n",
         "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\\f0 "
         "#{\\footnote # intro}${\\footnote $ \\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0}"
         "K{\\footnote K \\'f6\\'e2\\'e5\\'f2;\\'f1\\'e0\\'e4;\\'f0\\'e5\\'ea\\'e0}"
         "\\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0 \\u1105?\\par}",
         QString::fromUtf8("Справка"), 204, {"\xf0\xe5\xea\xe0", "\xf1\xe0\xe4", "\xf6\xe2\xe5\xf2"}, "0x0419"},
        {"[OPTIONS]\r\nTITLE=Pomoc\r\nLCID=0x415 0x0 0x0\r\n[FILES]\r\npl.rtf\r\n",
         "{\\rtf1\\ansi\\ansicpg1250{\\fonttbl{\\f0\\fswiss\\fcharset238 Arial;}{\\f1\\fswiss\\fcharset0 Arial;}}\\f0 "
         "#{\\footnote # intro}${\\footnote $ \\'afa\\'bcd\\'bf\\'f3\\'b3\\'e6}"
         "K{\\footnote K \\'bfaba;zebra;\\'b3\\'f3dka;lampa;\\'9fle}"
         "\\'af\\'f3\\'b3\\'e6 {\\f1 caf\\'e9 \\u1105?}\\par}",
         QString::fromUtf8("Żółć"), 238, {"lampa", "\xb3\xf3" "dka", "zebra", "\x9f" "le", "\xbf" "aba"}, "0x0415"},
    };
    for (const TCase &c : cases) {
        TestSupport::Sandbox box;
        const QString name = c.charset == 204 ? QStringLiteral("ru") : QStringLiteral("pl");
        QVERIFY(TestSupport::writeFile(box.path(name + ".hpj"), c.hpj));
        QVERIFY(TestSupport::writeFile(box.path(name + ".rtf"), c.rtf));
        const Hlp::TCompileResult r = Hlp::compileProject(box.path(name + ".hpj"));
        QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
        HlpRead::Container hlp;
        QVERIFY(hlp.parse(r.hlp));
        // |SYSTEM: a 12-byte header, then records (type, size, data).
        const QByteArray system = *hlp.internalFile("|SYSTEM");
        int charset = -1;
        for (qsizetype at = 12; at + 4 <= system.size(); at += 4 + HlpRead::u16(system, at + 2))
            if (HlpRead::u16(system, at) == 11)
                charset = quint8(system[at + 4]);
        QCOMPARE(charset, int(c.charset));
        HlpRead::Tree kw;
        QVERIFY(kw.parse(*hlp.internalFile("|KWBTREE")));
        QList<QByteArray> keywords;
        for (const auto &[key, data] : HlpRead::walkLeaves(kw, HlpRead::stringKey(), 6))
            keywords << QByteArray(key.constData());
        QCOMPARE(keywords, c.keywords);
        // The letters the help's code page lacks are said (the Polish
        // page's "ё"), the others kept ("é" is in both).
        QCOMPARE(r.messages.filter(QString::fromUtf8("ne peut pas écrire")).size(), c.charset == 238 ? 1 : 0);

        Hlp::TCompileOptions options;
        options.output = Hlp::TOutput::Chm;
        options.outputDir = box.path("pages");
        options.chmFile = box.path(name + ".chm");
        const bool chm = !QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty();
        if (!chm)
            options.output = Hlp::TOutput::Html;
        const Hlp::TCompileResult web = Hlp::compileProject(box.path(name + ".hpj"), options);
        QVERIFY2(web.ok, qPrintable(web.messages.join(u'\n')));
        // The pages of a compiled help file are in its code page (its search
        // reads their bytes so), the web's in UTF-8.
        const Platform::CodePage codePage(c.charset == 204 ? 1251 : 1250);
        const QByteArray bytes = TestSupport::readFile(box.path("pages/intro.html"));
        const QString page = chm ? codePage.decode(bytes) : QString::fromUtf8(bytes);
        QVERIFY2(page.contains(c.title) && page.contains(QStringLiteral("lang=\"%1\"").arg(name)), qPrintable(page));
        QVERIFY(page.contains(chm ? QStringLiteral("charset=windows-%1").arg(codePage.number()) : QStringLiteral("charset=utf-8")));
        // The web search's index is for the web only: the .CHM has its own.
        QCOMPARE(QFile::exists(box.path("pages/search/meta.js")), !chm);
        // Every letter reaches the pages, the ones the .HLP's code page
        // lacks too (the Polish page's "ё", written as \u1105).
        QVERIFY(page.contains(QString::fromUtf8(c.charset == 204 ? "ё" : chm ? "café &#1105;" : "café ё")));
        if (!chm)
            continue;
        QVERIFY(TestSupport::readFile(box.path("pages/project.hhp")).contains("Language=" + c.language));
        QVERIFY(TestSupport::readFile(box.path("pages/index.hhk")).contains(c.keywords.first()));
        // Read back with libchm: the page's letters, and the language in
        // the file's system data.
        QProcess extract;
        extract.start(QStandardPaths::findExecutable(QStringLiteral("extract_chmLib")), {box.path(name + ".chm"), box.path("out")});
        QVERIFY(extract.waitForFinished(60000));
        QVERIFY(codePage.decode(TestSupport::readFile(box.path("out/intro.html"))).contains(c.title));
        // The titles the viewers' search lists (#TOPICS into #STRINGS) read
        // in the file's code page; the contents and the index lead to pages
        // the file holds, their lists closed.
        const QByteArray topics = TestSupport::readFile(box.path("out/#TOPICS")), strings = TestSupport::readFile(box.path("out/#STRINGS"));
        const QString introPage = codePage.decode(TestSupport::readFile(box.path("out/intro.html")));
        const qsizetype titleAt = introPage.indexOf(QLatin1String("<title>")) + 7;
        const QString introTitle = introPage.mid(titleAt, introPage.indexOf(QLatin1String("</title>")) - titleAt);
        QStringList titles;
        int titled = 0;
        for (qsizetype at = 0; at + 16 <= topics.size(); at += 16) {
            const quint32 offset = qFromLittleEndian<quint32>(topics.constData() + at + 4);
            if (offset == 0xFFFFFFFF)
                continue; // a file without a title
            ++titled;
            QVERIFY(offset < quint32(strings.size()));
            const QString shown = codePage.decode(strings.mid(offset, strings.indexOf('\0', offset) - offset));
            titles << shown;
        }
        QVERIFY(titled > 0);
        QVERIFY2(titles.contains(introTitle), qPrintable(titles.join(u'|') + u'/' + introTitle));
        const qsizetype titleOption = c.hpj.indexOf("TITLE=") + 6;
        const QString helpTitle = codePage.decode(c.hpj.mid(titleOption, c.hpj.indexOf('\r', titleOption) - titleOption));
        QVERIFY2(introTitle.endsWith(helpTitle), qPrintable(introTitle + u'/' + helpTitle));
        for (const char *list : {"out/toc.hhc", "out/index.hhk"}) {
            const QByteArray sitemap = TestSupport::readFile(box.path(list));
            QCOMPARE(sitemap.count("<UL>"), sitemap.count("</UL>"));
            static const QRegularExpression local(QStringLiteral("name=\"Local\" value=\"([^\"#]+)"));
            int pages = 0;
            for (auto m = local.globalMatch(QString::fromLatin1(sitemap)); m.hasNext(); ++pages)
                QVERIFY2(QFileInfo::exists(box.path("out/") + m.next().captured(1)), list);
            QVERIFY(pages > 0);
        }
        const QByteArray chmSystem = TestSupport::readFile(box.path("out/#SYSTEM"));
        QByteArray lcid;
        Hlp::putU32(lcid, c.language.toUInt(nullptr, 16));
        QVERIFY2(chmSystem.contains(lcid), qPrintable(name));
    }
}

void TestCompile::filesFromElsewhere()
{
    // A project that names files outside its folder: each is named in a
    // warning; with --safe none is read or written there. Values given to
    // the compiled-help compiler lose their control characters.
    TestSupport::Sandbox box;
    QVERIFY(QDir().mkpath(box.path("p")));
    QVERIFY(TestSupport::writeFile(box.path("secret.txt"), "secret"));
    QVERIFY(TestSupport::writeFile(box.path("p/p.hpj"), "[OPTIONS]\r\nTITLE=Aide\x0b" "dehors\r\nHLP=../dehors.hlp\r\nERRORLOG=" + box.path("dehors.err").toUtf8()
                                                    + "\r\n[FILES]\r\np.rtf\r\n[BAGGAGE]\r\n../secret.txt\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("p/p.rtf"), "{\\rtf1 #{\\footnote # a}K{\\footnote K clef}Texte\\par}"));
    for (const bool safe : {false, true}) {
        Hlp::TCompileOptions options;
        options.safe = safe;
        Hlp::TCompileResult r = Hlp::compileProject(box.path("p/p.hpj"), options);
        QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
        QCOMPARE(r.messages.filter(QStringLiteral("HC1017")).size(), 3);
        HlpRead::Container hlp;
        QVERIFY(hlp.parse(r.hlp));
        QCOMPARE(bool(hlp.internalFile("secret.txt")), !safe);
        QCOMPARE(r.helpFile.isEmpty(), safe);
        QCOMPARE(r.errorLog.isEmpty(), safe);
        Hlp::writeCompiled(box.path("p/p.hpj"), options, r);
        QCOMPARE(QFileInfo::exists(box.path("dehors.hlp")), !safe);
        QFile::remove(box.path("dehors.hlp"));
        QFile::remove(box.path("dehors.err"));
    }
    QVERIFY(QFileInfo::exists(box.path("p/p.hlp")) || QFileInfo::exists(box.path("p/p.HLP")));
    // Web pages into the project's folder where a link leads out of it:
    // refused with --safe, nothing written where the link leads.
    QVERIFY(QDir().mkpath(box.path("ailleurs")));
    QVERIFY(QFile::link(box.path("ailleurs"), box.path("p/p_html")));
    Hlp::TCompileOptions linked;
    linked.output = Hlp::TOutput::Html;
    linked.outputDir = box.path("p/p_html");
    linked.safe = true;
    const Hlp::TCompileResult refused = Hlp::compileProject(box.path("p/p.hpj"), linked);
    QVERIFY(!refused.ok && !refused.messages.filter(QStringLiteral("HC5007")).isEmpty());
    QVERIFY(QDir(box.path("ailleurs")).isEmpty());
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty())
        return;
    Hlp::TCompileOptions chm;
    chm.output = Hlp::TOutput::Chm;
    chm.outputDir = box.path("pages");
    chm.chmFile = box.path("p/p.chm");
    chm.safe = true;
    QVERIFY(Hlp::compileProject(box.path("p/p.hpj"), chm).ok);
    QVERIFY(TestSupport::readFile(box.path("pages/project.hhp")).contains("Title=Aide dehors\n"));
}

void TestCompile::hashCollisionsTroubleTheHelpFileAlone()
{
    // Two context names of one hash: the .HLP cannot hold both (an error);
    // the web pages find each page by its name.
    TestSupport::Sandbox box;
    const QByteArray twin = Hlp::contextForHash(Hlp::contextHash("intro"));
    QVERIFY(twin != "intro" && Hlp::contextHash(twin) == Hlp::contextHash("intro"));
    QVERIFY(TestSupport::writeFile(box.path("c.hpj"), "[FILES]\r\nc.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("c.rtf"), "{\\rtf1 #{\\footnote intro}${\\footnote Intro}Voir {\\uldb la suite}{\\v " + twin
                                                    + "}\\par\\page #{\\footnote " + twin + "}${\\footnote Suite}Suite\\par}"));
    const Hlp::TCompileResult hlp = Hlp::compileProject(box.path("c.hpj"));
    QVERIFY(!hlp.ok && !hlp.messages.filter(QStringLiteral("HC4131")).isEmpty());
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = box.path("html");
    const Hlp::TCompileResult pages = Hlp::compileProject(box.path("c.hpj"), web);
    QVERIFY2(pages.ok && pages.messages.filter(QStringLiteral("HC4131")).isEmpty(), qPrintable(pages.messages.join(u'\n')));
    QVERIFY(TestSupport::readFile(box.path("html/intro.html")).contains("href=\"" + twin + ".html"));
}

KIV_TEST(TestCompile)
#include "tst_compile.moc"
