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
    void readerOnIndependentFile();
    void badProjects();
    void keywordsOneIndex();
    void projectOptions();
    void mapNumbers();
    void namesInTheProjectFile();
    void phraseCompression();
    void forTheViewer();
    void webPages();
    void webLayout();
    void contextMaps();
    void printableManual();
    void compiledHtmlHelp();
    void compiledHelpBuildKilled();
    void codePages();
    void filesFromElsewhere();
    void symbolFontsOnTheWeb();
    void referenceFilesTopicByTopic();
    void helpFileReadBack();
    void decompileRoundTrip();
    void decompileKilledMidway();
    void hostileHelpFiles();
    void hashCollisionsTroubleTheHelpFileAlone();
    void embeddedPhotosStayPhotos();
    void contextNamesFromFilesBeside();
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

void TestCompile::readerOnIndependentFile()
{
    // The test reader checked on a help file from another writer (halibut):
    // what it finds there is what the compiler's tests rely on.
    const QString halibut = QStandardPaths::findExecutable(QStringLiteral("halibut"));
    if (halibut.isEmpty())
        QSKIP("halibut is not installed");
    TestSupport::Sandbox box;
    QByteArray source = "\\title Independent file\n\n";
    const int chapters = 400; // enough contexts for a two-level tree
    for (int i = 0; i < chapters; ++i)
        source += "\\C{c" + QByteArray::number(i) + "} Chapter " + QByteArray::number(i) + "\n\nText of chapter "
                  + QByteArray::number(i) + ", see \\k{c" + QByteArray::number((i + 1) % chapters) + "} and \\i{word"
                  + QByteArray::number(i % 50) + "}. " + QByteArray(i % 7 * 300, 'x') + "\n\n";
    QVERIFY(TestSupport::writeFile(box.path("doc.but"), source));
    QCOMPARE(QProcess::execute(halibut, {QStringLiteral("--winhelp=doc.hlp"), box.path("doc.but")}), 0);
    HlpRead::Container hlp;
    QVERIFY2(hlp.parse(TestSupport::readFile(box.path("doc.hlp"))), qPrintable(hlp.error));
    QCOMPARE(HlpRead::u16(*hlp.internalFile("|SYSTEM"), 0), quint16(0x036C));
    const auto records = HlpRead::TopicFile(*hlp.internalFile("|TOPIC"), HlpRead::u16(*hlp.internalFile("|SYSTEM"), 10) != 0).walk();
    QList<quint32> headers;
    for (qsizetype i = 0; i < records.size(); ++i) {
        QCOMPARE(records[i].prev, i == 0 ? 0xFFFFFFFFu : records[i - 1].pos);
        if (records[i].type == 0x02)
            headers << records[i].offset;
    }
    QCOMPARE(headers.size(), chapters + 2); // contents, chapters, closing header
    QVERIFY(records.last().pos > 0x4000 * 4); // several blocks
    HlpRead::Tree contexts;
    QVERIFY(contexts.parse(*hlp.internalFile("|CONTEXT")));
    QVERIFY(contexts.levels >= 2);
    bool chainOk = false;
    const auto entries = HlpRead::walkLeaves(contexts, HlpRead::hashKey(), 4, &chainOk);
    QVERIFY(chainOk);
    QCOMPARE(qsizetype(contexts.entries), entries.size());
    for (const auto &[key, data] : entries) {
        QVERIFY(headers.contains(HlpRead::u32(data, 0)));
        QCOMPARE(HlpRead::search(contexts, HlpRead::hashKey(), key, 4), std::optional<QByteArray>(data));
    }
    HlpRead::Tree keywords;
    QVERIFY(keywords.parse(*hlp.internalFile("|KWBTREE")));
    const auto word = HlpRead::search(keywords, HlpRead::stringKey(), "word7", 6);
    QVERIFY(word);
    QCOMPARE(HlpRead::u16(*word, 0), quint16(chapters / 50));
    QVERIFY(headers.contains(HlpRead::u32(*hlp.internalFile("|KWDATA"), HlpRead::u32(*word, 2))));
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
        // one whose topic is there leading to it.
        Hlp::TCompileOptions web;
        web.output = Hlp::TOutput::Html;
        web.outputDir = box.path("s_html");
        QVERIFY(Hlp::compileProject(box.path("s.hpj"), web).ok);
        const QString page = QString::fromUtf8(TestSupport::readFile(box.path("s_html/HIDR_EQBAR.html")));
        QVERIFY(page.contains(QStringLiteral("usemap=\"#map0\"")));
        QVERIFY(page.contains(QStringLiteral("<area shape=\"rect\" coords=\"165,20,207,36\" title=\"Hotspot 8\" alt=\"Hotspot 8\" href=\"menu.html#menu\">")));
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

void TestCompile::phraseCompression()
{
    // COMPRESS=12 Hall Zeck: every record's text, expanded by a reader
    // written from the format alone, is the text of the same build without
    // phrases; the help files are no larger than the reference compiler's.
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp");
    if (!QFileInfo(corpus).isDir())
        QSKIP("the corpus is not beside the project");
    TestSupport::Sandbox box;
    QVERIFY(Platform::copyTree(corpus + QStringLiteral("/nmr-es"), box.path("nmr")));
    QVERIFY(Platform::copyTree(corpus + QStringLiteral("/vidsend2-it"), box.path("vid")));
    const Hlp::TCompileResult hall = Hlp::compileProject(box.path("nmr/hlp/Proyecto.hpj"));
    QVERIFY(hall.ok);
    QVERIFY2(hall.hlp.size() <= 98783, qPrintable(QString::number(hall.hlp.size())));
    const Hlp::TCompileResult phrases = Hlp::compileProject(box.path("vid/hlp/vidsend2.hpj")); // COMPRESS=true
    QVERIFY2(phrases.ok && phrases.hlp.size() <= 42730, qPrintable(QString::number(phrases.hlp.size())));
    const QString hpj = box.path("nmr/hlp/Proyecto.hpj");
    QVERIFY(TestSupport::writeFile(hpj, TestSupport::readFile(hpj).replace("COMPRESS=12 Hall Zeck", "COMPRESS=8")));
    const Hlp::TCompileResult plain = Hlp::compileProject(hpj);
    QVERIFY(plain.ok);

    HlpRead::Container a, b;
    QVERIFY(a.parse(hall.hlp) && b.parse(plain.hlp));
    QVERIFY(!b.internalFile("|PhrIndex"));
    const QByteArray index = *a.internalFile("|PhrIndex");
    QCOMPARE(HlpRead::u32(index, 0), 1u);
    const QList<QByteArray> table = HlpRead::hallPhrases(index, *a.internalFile("|PhrImage"));
    QCOMPARE(quint32(table.size()), HlpRead::u32(index, 4));
    QVERIFY(table.size() > 100);
    const auto coded = HlpRead::TopicFile(*a.internalFile("|TOPIC"), true).walk();
    const auto raw = HlpRead::TopicFile(*b.internalFile("|TOPIC"), true).walk();
    QCOMPARE(coded.size(), raw.size());
    int codedRecords = 0;
    for (qsizetype i = 0; i < coded.size(); ++i) {
        QCOMPARE(coded[i].textLength, raw[i].textLength);
        if (coded[i].ld2.size() == qsizetype(coded[i].textLength)) {
            QCOMPARE(coded[i].ld2, raw[i].ld2);
            continue;
        }
        QVERIFY(coded[i].ld2.size() < qsizetype(coded[i].textLength));
        QString error;
        QCOMPARE(HlpRead::hallExpand(coded[i].ld2, table, coded[i].textLength, &error), raw[i].ld2);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        ++codedRecords;
    }
    QVERIFY(codedRecords > coded.size() / 2);
}

void TestCompile::forTheViewer()
{
    // A help file with what other people's projects hold (Word's split
    // bitmap command, a late \\keepn paragraph, keywords differing in case,
    // a placed and coloured window, an embedded PNG, an OLE equation, a
    // table, phrases), left in the end-to-end folder with what the viewer
    // must show; the Wine test opens it.
    TestSupport::Sandbox box;
    QImage bmp(9, 7, QImage::Format_RGB32);
    bmp.fill(qRgb(0, 128, 0));
    QVERIFY(bmp.save(box.path("split.bmp"), "BMP"));
    QImage png(12, 10, QImage::Format_ARGB32);
    png.fill(qRgba(200, 0, 0, 255));
    QByteArray pngBytes;
    QBuffer buffer(&pngBytes);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(png.save(&buffer, "PNG"));
    // An equation's metafile: a window of 100 units, a filled rectangle.
    const QByteArray wmf = QByteArray::fromHex("010009000003220000000100070000000000"
                                               "050000000c0264006400" "07000000fc020000000000000000" "040000002d010000"
                                               "070000001b045a005a000a000a00" "030000000000");
    TestSupport::writeFile(box.path("v.hpj"), "[OPTIONS]\r\nTITLE=Verifs\r\nCONTENTS=first\r\nCOMPRESS=12 Hall Zeck\r\n"
                                              "[WINDOWS]\r\nmain=\"Verifs\",(300,100,600,500),0,(r14876671),(r12632256),f2\r\n"
                                              "[FILES]\r\nv.rtf\r\n");
    TestSupport::writeFile(box.path("v.rtf"),
                           "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f4 Symbol;}}"
                           "\\pard\\keepn #{\\footnote # first}${\\footnote $ Premiere}K{\\footnote K Stampa e anteprima}"
                           "Titre\\par\\pard Avant {\\f4 \\{}{\\f4 bmc split.bmp}{\\f4 \\}} "
                           "{\\*\\shppict{\\pict\\pngblip " + pngBytes.toHex() + "}}{\\nonshppict{\\pict\\wmetafile8 " + wmf.toHex() + "}}\\par"
                           "\\pard\\keepn Tardif\\par\\pard Apres {\\object\\objemb{\\*\\objdata 00}{\\result{\\pict\\wmetafile8"
                           "\\picw1058\\pich1058\\picwgoal600\\pichgoal600 " + wmf.toHex() + "}}}\\par"
                           "\\trowd\\trgaph108\\cellx2000\\cellx6000\\pard\\intbl Cellule\\cell Deux lignes\\par ici\\cell\\row\\pard Fin "
                           "{\\uldb voir}{\\v index} {\\ul mot}{\\v index}\\par"
                           // Footnotes as the compiler's guide teaches: the mark before the group alone.
                           "\\page #{\\footnote index}!{\\footnote Finder()}K{\\footnote stampa e anteprima}${\\footnote Index} Index zygomatique\\par}");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("v.hpj"));
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    QCOMPARE(r.messages.filter(QStringLiteral("HC2002")).size(), 1);
    const QByteArray expected = "title Premiere\ntitle Index\nwindow main 300 100 600 500\ncolour 590 570 srgb(255,255,226)\n"
                                "picture 9 7\npicture 12 10\npicture 40 40\norder Titre Avant\norder Avant Tardif\norder Tardif Apres\n"
                                "order Cellule Deux lignes\norder ici Fin\n"
                                "index index\nkeyword Stampa e anteprima\nnokeyword stampa e anteprima\n";
    const QString e2e = QStringLiteral(KIVHELP_E2E_DIR);
    QDir().mkpath(e2e);
    QVERIFY(TestSupport::writeFile(e2e + "/Corpus.hlp", r.hlp));
    QVERIFY(TestSupport::writeFile(e2e + "/Corpus.expected", expected));
    // The same project as web pages, for the browser test.
    Hlp::TCompileOptions web;
    web.output = Hlp::TOutput::Html;
    web.outputDir = e2e + QStringLiteral("/Corpus_html");
    QVERIFY(Hlp::compileProject(box.path("v.hpj"), web).ok);
}

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

    // The index: one line per keyword, as many topics under it.
    QList<QByteArray> keywords, listed;
    HlpRead::Tree kw;
    if (const auto tree = hlp.internalFile("|KWBTREE"); tree && kw.parse(*tree))
        for (const auto &[key, data] : HlpRead::walkLeaves(kw, HlpRead::stringKey(), 6))
            keywords << QByteArray(key.constData()) + ' ' + QByteArray::number(HlpRead::u16(data, 0));
    for (const QByteArray &item : TestSupport::readFile(out + QStringLiteral("/index.hhk")).split('\n'))
        if (item.startsWith("<LI>"))
            listed << sitemapValues(item, "Name").value(0) + ' ' + QByteArray::number(sitemapValues(item, "Local").size());
    QCOMPARE(listed, keywords);
}

} // namespace

void TestCompile::webLayout()
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
    QVERIFY(TestSupport::readFile(box.path("web/help.css")).contains("@media (prefers-color-scheme: dark) {\n  .nsr { background: "));

    // The index's terms: stems in the help's language without case or
    // accents; Japanese by pairs of characters.
    const Hlp::SearchTerms french(QStringLiteral("fr"));
    QCOMPARE(french(QStringLiteral("Imprimantes")), french(QStringLiteral("imprimante")));
    QCOMPARE(french(QString::fromUtf8("Élément")), QStringList{QStringLiteral("element")});
    QCOMPARE(french(QString::fromUtf8("Créer")), french(QStringLiteral("creer")));
    QCOMPARE(Hlp::SearchTerms(QStringLiteral("ja"))(QString::fromUtf8("印刷機 OK")), (QStringList{QString::fromUtf8("印刷"), QString::fromUtf8("刷機"), QStringLiteral("ok")}));
}

void TestCompile::contextMaps()
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

void TestCompile::printableManual()
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

void TestCompile::webPages()
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
    QCOMPARE(first.count(QStringLiteral("class=\"macro\"")), 7); // the four scripts, the two jumps into another help, a program
    // A program call runs nothing from a page: its text stays, without a
    // link, and the build says where; an address opens in the browser.
    QVERIFY(!first.contains(QStringLiteral("href=\"notepad.exe\"")));
    QVERIFY(first.contains(QStringLiteral("href=\"https://exemple.fr/\"")));
    QCOMPARE(r.messages.filter(QString::fromUtf8("page « Première » : l'appel du programme « notepad.exe »")).size(), 1);
    QCOMPARE(Hlp::webAddress(QStringLiteral(" \x01https://exemple.fr/a\tide \n")), QStringLiteral("https://exemple.fr/aide"));
    for (const char *refused : {"JavaScript:x", "\x01javascript:x", "java\nscript:x", "javas\rcript:x", "\x1f data:text/html,x", "vbscript:x", "c:\\x.exe", ""})
        QVERIFY2(Hlp::webAddress(QString::fromLatin1(refused)).isEmpty(), refused);
    QCOMPARE(Hlp::webAddress(QStringLiteral("notes.txt")), QStringLiteral("notes.txt"));
    // Jumps into another help file stay inert; into this one (named), links.
    QCOMPARE(first.count(QStringLiteral("href=\"second.html#second\"")), 2); // "suite" and "soi"
    QVERIFY(first.contains(QStringLiteral("title=\"second@other.hlp\"")) && first.contains(QStringLiteral("title=\"JumpId(")));
    // A picture is named by its file for those who do not see it; phones
    // lay the page out at their own width.
    QVERIFY(first.contains(QStringLiteral("<img src=\"images/image0.png\" alt=\"logo\"")));
    QVERIFY(first.contains(QStringLiteral("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">")));
    QCOMPARE(QImage(box.path("web/images/image0.png")).size(), QSize(9, 7));
    // A keyword in two spellings is one entry with both topics, as in the help file.
    QVERIFY(TestSupport::readFile(box.path("web/keywords.html"))
                .contains("<li>ouvrir <a href=\"first.html\">Première</a> <a href=\"second.html\">Seconde</a></li>"));
    // A title is a safe string of the script, whatever it holds.
    QVERIFY(TestSupport::readFile(box.path("web/search/meta.js")).contains(QString::fromUtf8("\"Définition \\\"\\\\\\\" \\u003c/script>\"").toUtf8()));
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
    QVERIFY(css.contains("font-family:'Bad face bodydisplay:none';")); // a face name cannot end its rule

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

namespace {

// A process's state letter (R, S, Z...) and its parent; "" when it is gone.
QPair<QByteArray, qint64> processState(const QString &pid)
{
    const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = close > 0 ? stat.mid(close + 2).split(' ') : QList<QByteArray>();
    return fields.size() > 1 ? qMakePair(fields[0], fields[1].toLongLong()) : qMakePair(QByteArray(), qint64(-1));
}

// The pid of a running child of `parent` named `name`, or "".
QString childNamed(qint64 parent, const QByteArray &name)
{
    for (const QFileInfo &p : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (processState(p.fileName()).second == parent && processState(p.fileName()).first != "Z"
            && TestSupport::readFile(p.filePath() + QStringLiteral("/comm")).trimmed() == name)
            return p.fileName();
    return {};
}

} // namespace

void TestCompile::compiledHelpBuildKilled()
{
    // A .CHM build killed while chmcmd runs: chmcmd ends with it (else it
    // went on writing into the kept pages, and the next build failed).
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty())
        QSKIP("chmcmd is not installed");
    TestSupport::Sandbox box;
    QByteArray files, text;
    for (int w = 0; w < 400; ++w)
        text += "mot" + QByteArray::number(w) + ' ';
    for (int t = 0; t < 400; ++t) {
        TestSupport::writeFile(box.path(QStringLiteral("t%1.rtf").arg(t)), "{\\rtf1#{\\footnote # p" + QByteArray::number(t) + "}" + text + "\\par}");
        files += "t" + QByteArray::number(t) + ".rtf\r\n";
    }
    TestSupport::writeFile(box.path("k.hpj"), "[OPTIONS]\r\nTITLE=Tuer\r\n[FILES]\r\n" + files);
    const QStringList arguments{QStringLiteral("--format"), QStringLiteral("chm"), QStringLiteral("-o"), box.path("k.chm"), box.path("k.hpj")};
    QProcess build;
    build.start(QStringLiteral(KIVHC_PATH), arguments);
    QVERIFY(build.waitForStarted());
    QString chmcmd;
    QDeadlineTimer deadline(60000);
    while ((chmcmd = childNamed(build.processId(), "chmcmd")).isEmpty() && !deadline.hasExpired() && build.state() == QProcess::Running)
        QThread::msleep(2);
    QVERIFY2(!chmcmd.isEmpty(), "chmcmd was not seen running");
    // Held still, so that only its end with the build can end it.
    const auto cleanUp = qScopeGuard([&] { ::kill(pid_t(chmcmd.toLongLong()), SIGKILL); });
    ::kill(pid_t(chmcmd.toLongLong()), SIGSTOP);
    QTRY_COMPARE_WITH_TIMEOUT(processState(chmcmd).first, QByteArray("T"), 5000);
    ::kill(pid_t(build.processId()), SIGKILL);
    build.waitForFinished();
    QTRY_VERIFY_WITH_TIMEOUT(processState(chmcmd).first.isEmpty() || processState(chmcmd).first == "Z", 5000);
    QCOMPARE(QProcess::execute(QStringLiteral(KIVHC_PATH), arguments), 0);
}

void TestCompile::compiledHtmlHelp()
{
    // The pages compiled into a .CHM with its contents, index and the [MAP]
    // numbers as context ids (one above 2^31, two names for one page).
    if (QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("chmls")).isEmpty())
        QSKIP("chmcmd is not installed (fp-utils)");
    TestSupport::Sandbox box;
    // A page's second context named as the site's contents page, and a
    // context longer than a file name may be: neither takes a page's place
    // nor stops the build.
    const QByteArray longContext = "Long_" + QByteArray(240, 'x');
    TestSupport::writeFile(box.path("c.hpj"), "[OPTIONS]\r\nTITLE=Aide CHM\r\nCONTENTS=second\r\n[MAP]\r\nfirst 10\r\n"
                                              "HIDC_GRAND 0x816D040D\r\nsecond 12\r\ntrois 13\r\nindex 14\r\n" + longContext + " 15\r\n"
                                              "[ALIAS]\r\nHIDC_GRAND=first\r\n[FILES]\r\nc.rtf\r\n");
    TestSupport::writeFile(box.path("c.rtf"), "{\\rtf1 #{\\footnote # first}${\\footnote $ Une}K{\\footnote K clef}Un {\\uldb long}{\\v " + longContext
                                              + "}\\par\\page"
                                              "#{\\footnote # second}${\\footnote $ Deux}Deux\\par\\page"
                                              "#{\\footnote # trois}#{\\footnote # index}${\\footnote $ Trois}Trois\\par\\page"
                                              "#{\\footnote # " + longContext + "}${\\footnote $ Longue}Longue\\par}");
    Hlp::TCompileOptions options;
    options.output = Hlp::TOutput::Chm;
    options.outputDir = box.path("pages");
    options.chmFile = box.path("Aide.chm");
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("c.hpj"), options);
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    QProcess list;
    list.start(QStandardPaths::findExecutable(QStringLiteral("chmls")), {box.path("Aide.chm")});
    QVERIFY(list.waitForFinished(60000));
    const QByteArray files = list.readAllStandardOutput();
    for (const char *name : {"/first.html", "/second.html", "/toc.hhc", "/index.hhk", "/HIDC_GRAND.html", "/#IVB", "/$FIftiMain"})
        QVERIFY2(files.contains(name), name);
    const QByteArray hhp = TestSupport::readFile(box.path("pages/project.hhp"));
    QVERIFY(hhp.contains("Default topic=second.html"));
    QVERIFY(hhp.contains("#define HIDC_GRAND 0x816D040D"));
    QVERIFY(TestSupport::readFile(box.path("pages/toc.hhc")).contains("value=\"Deux\""));
    QVERIFY(!TestSupport::readFile(box.path("pages/index.html")).contains("refresh"));
    QVERIFY(hhp.contains("index=index_.html") && TestSupport::readFile(box.path("pages/index_.html")).contains("url=trois.html#index"));
    const QString longPage = QStringLiteral("Long_") + QString(85, u'x') + u'_';
    QVERIFY(files.contains(longPage.toLatin1()));
    QVERIFY(TestSupport::readFile(box.path("pages/first.html")).contains(("href=\"" + longPage).toLatin1()));
    // Without a folder for the pages, they are kept in the cache for the
    // next build, which rewrites only those that changed; a temporary folder
    // that a killed build left is removed.
    const QString left = QDir::tempPath() + QStringLiteral("/kivhelp-chm-999999999-gone");
    QVERIFY(QDir().mkpath(left + QStringLiteral("/images")));
    options.outputDir.clear();
    options.chmFile = box.path("Aide2.chm");
    QVERIFY(Hlp::compileProject(box.path("c.hpj"), options).ok);
    QVERIFY(QFileInfo(box.path("Aide2.chm")).size() > 0 && !QFileInfo::exists(left));
    QDirIterator kept(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/chm-pages"), {QStringLiteral("second.html")},
                      QDir::Files, QDirIterator::Subdirectories);
    QVERIFY(kept.hasNext());
    const QString keptPage = kept.next();
    const auto inode = [](const QString &path) { struct stat st {}; return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0; };
    const auto before = inode(keptPage);
    QVERIFY(Hlp::compileProject(box.path("c.hpj"), options).ok);
    QCOMPARE(inode(keptPage), before);
    // Readers built on libchm (Linux viewers) find the pages by name.
    const QString libchm = QStandardPaths::findExecutable(QStringLiteral("test_chmLib"));
    if (!libchm.isEmpty()) {
        QProcess::execute(libchm, {box.path("Aide.chm"), QStringLiteral("/second.html"), box.path("second.html")});
        QVERIFY(TestSupport::readFile(box.path("second.html")).contains("Deux"));
    }
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
        const QString page = QString::fromUtf8(TestSupport::readFile(box.path("pages/intro.html")));
        QVERIFY2(page.contains(c.title) && page.contains(QStringLiteral("lang=\"%1\"").arg(name)), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("charset=utf-8")));
        // The web search's index is for the web only: the .CHM has its own.
        QCOMPARE(QFile::exists(box.path("pages/search/meta.js")), !chm);
        if (c.charset == 204)
            QVERIFY(page.contains(QString::fromUtf8("ё"))); // written as \u1105 with a fallback
        else
            QVERIFY(page.contains(QString::fromUtf8("café ?")));
        if (!chm)
            continue;
        QVERIFY(TestSupport::readFile(box.path("pages/project.hhp")).contains("Language=" + c.language));
        QVERIFY(TestSupport::readFile(box.path("pages/index.hhk")).contains(c.keywords.first()));
        // Read back with libchm: the page's letters, and the language in
        // the file's system data.
        QProcess extract;
        extract.start(QStandardPaths::findExecutable(QStringLiteral("extract_chmLib")), {box.path(name + ".chm"), box.path("out")});
        QVERIFY(extract.waitForFinished(60000));
        QVERIFY(QString::fromUtf8(TestSupport::readFile(box.path("out/intro.html"))).contains(c.title));
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

void TestCompile::symbolFontsOnTheWeb()
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

void TestCompile::referenceFilesTopicByTopic()
{
    // The corpus projects whose help file the classic compiler made: each
    // topic of the reference, found in ours by its contexts, has the same
    // title and text, but for the differences reviewed below.
    //   PROYECTO: two topics where the reference's text holds a byte that
    //   its source has not (0x69 before "Tamaño de papel", 0x18 before
    //   "Distancias"), at a paragraph's start after a change of format.
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp");
    if (!QFileInfo(corpus + "/reference-hlp").isDir())
        QSKIP("the corpus is not beside the project");
    const struct {
        const char *hpj, *reference;
        int differences, deadExtra;
    } cases[] = {{"vidsend2-it/hlp/vidsend2.hpj", "VIDSEND2.HLP", 0, 1}, {"nmr-es/hlp/Proyecto.hpj", "PROYECTO.HLP", 2, 0}};
    for (const auto &c : cases) {
        const Hlp::TCompileResult r = Hlp::compileProject(corpus + u'/' + QLatin1String(c.hpj));
        QVERIFY2(r.ok, c.hpj);
        HlpRead::Container ours, reference;
        QVERIFY(ours.parse(r.hlp));
        QVERIFY(reference.parse(TestSupport::readFile(corpus + "/reference-hlp/" + QLatin1String(c.reference))));
        QMap<qint32, HlpRead::TopicText> byHash;
        for (const HlpRead::TopicText &t : HlpRead::topicTexts(ours))
            for (const qint32 h : t.hashes)
                byHash.insert(h, t);
        int same = 0, compared = 0;
        QStringList differing;
        for (const HlpRead::TopicText &t : HlpRead::topicTexts(reference)) {
            if (t.hashes.isEmpty())
                continue; // no context leads to it
            ++compared;
            qint32 key = 0;
            for (const qint32 h : t.hashes)
                if (byHash.contains(h) && !key)
                    key = h;
            QVERIFY2(key, qPrintable(QStringLiteral("%1: topic \"%2\" missing").arg(c.reference, QString::fromLatin1(t.title))));
            const HlpRead::TopicText &o = byHash[key];
            if (o.title == t.title && o.text == t.text)
                ++same;
            else
                differing << QString::fromLatin1(t.text.left(40));
        }
        qInfo("%s: %d topics with a context, %d the same, %d differ", c.reference, compared, same, int(differing.size()));
        // Read back whole: every jump of the reference leads to one of its
        // pages (contexts that lead into a page, past its header, too).
        const Hlp::THelpFileRead back = Hlp::readHelpFile(TestSupport::readFile(corpus + "/reference-hlp/" + QLatin1String(c.reference)),
                                                          QLatin1String(c.reference));
        QVERIFY2(back.ok && back.losses.isEmpty(), qPrintable(back.error + back.losses.join(u' ')));
        int jumps = 0;
        QSet<QByteArray> dead;
        for (Hlp::TSourceTopic t : back.project.topics)
            Hlp::forEachParagraph(t, [&](Hlp::TParagraph &para) {
                for (const Hlp::TInline &i : para.items)
                    if (i.kind == Hlp::TInline::HotspotStart && i.macro.isEmpty() && i.file.isEmpty()) {
                        ++jumps;
                        if (!back.project.contextTopic.contains(i.context.toUpper()))
                            dead.insert(i.context);
                    }
            });
        // Jumps to nothing: those the compiler says of the project; the
        // reference has one more in VIDSEND2: the classic compiler did not
        // take the footnotes of the page "Comando Dividi" (its "#" stayed in
        // the text), which ours reads.
        QVERIFY(jumps > 0);
        QCOMPARE(int(dead.size()), int(r.messages.filter(QStringLiteral("HC3025")).size()) + c.deadExtra);
        QVERIFY2(int(differing.size()) == c.differences, qPrintable(differing.join(QStringLiteral(" | "))));
    }
}

void TestCompile::helpFileReadBack()
{
    // A help file read back: its pages, titles, contexts (a name the file
    // does not keep is made to hash alike), keywords, jumps and pop-ups,
    // browse sequence, [MAP] numbers, pictures and tables; then published
    // as web pages from it alone.
    TestSupport::Sandbox box;
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(box.path("p.bmp"), "BMP"));
    QVERIFY(TestSupport::writeFile(box.path("r.hpj"), "[OPTIONS]\r\nTITLE=Relue\r\nCOMPRESS=YES\r\nCONTENTS=second\r\n"
                                                    "[WINDOWS]\r\nmain=\"Relue\",(10,10,500,400),0,(255,255,224),(192,192,192)\r\n"
                                                    "proc=\"Etapes\",(600,10,300,400),0,(255,255,255),(192,192,192),f1\r\n"
                                                    "[MAP]\r\nfirst 10\r\nsecond 20\r\n[FILES]\r\nr.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("r.rtf"),
        "{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}"
        "#{\\footnote first}${\\footnote Un}K{\\footnote clef;autre}+{\\footnote s:1}\\pard\\keepn\\f1\\fs32\\b Haut\\par"
        "\\pard\\f0\\fs20 Voir {\\uldb la suite}{\\v second} et {\\ul une note}{\\v second}.\\tab \\{bmc p.bmp\\}\\par"
        "\\trowd\\cellx2000\\cellx4000\\pard\\intbl A\\cell B\\cell\\row\\pard fin\\par"
        "\\page #{\\footnote second}${\\footnote Deux}K{\\footnote clef}+{\\footnote s:2}>{\\footnote proc}Second\\par}"));
    const Hlp::TCompileResult r = Hlp::compileProject(box.path("r.hpj"));
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const Hlp::THelpFileRead read = Hlp::readHelpFile(r.hlp, QStringLiteral("r.hlp"));
    QVERIFY2(read.ok && read.losses.isEmpty(), qPrintable(read.error + read.losses.join(u' ')));
    const Hlp::THelpDocument &p = read.project;
    QCOMPARE(p.topics.size(), 2);
    QCOMPARE(p.topics[0].title, QByteArray("Un"));
    QCOMPARE(p.hpj.options.value("TITLE"), QByteArray("Relue"));
    QCOMPARE(Hlp::contextHash(p.topics[0].contexts.value(0)), Hlp::contextHash("first"));
    QCOMPARE(Hlp::contextHash(p.hpj.options.value("CONTENTS")), Hlp::contextHash("second"));
    QCOMPARE(p.topics[0].keywords, QList<QByteArray>({"autre", "clef"}));
    QCOMPARE(p.index.size(), 2);
    QCOMPARE(p.browse, QList<QList<int>>{QList<int>({0, 1})});
    QCOMPARE(p.map.size(), 2);
    QCOMPARE(p.map[1].number, 20);
    QCOMPARE(p.map[1].topic, 1);
    QCOMPARE(p.hpj.windows.size(), 2);
    QCOMPARE(p.hpj.windows[1].caption, QByteArray("Etapes"));
    QCOMPARE(p.topics[1].window, QByteArray("proc"));
    QCOMPARE(p.topics[0].nonScrolling.size(), 1);
    QCOMPARE(p.topics[0].nonScrolling[0].items.value(0).format.face, QByteArray("Times New Roman"));
    QCOMPARE(p.topics[0].nonScrolling[0].items.value(0).format.halfPoints, quint8(32));
    QStringList hotspots;
    int pictures = 0, tables = 0;
    for (const Hlp::TParagraph &para : p.topics[0].scrolling) {
        tables += para.table ? 1 : 0;
        for (const Hlp::TInline &i : para.items) {
            if (i.kind == Hlp::TInline::HotspotStart)
                hotspots << QStringLiteral("%1 %2").arg(i.command, 0, 16).arg(Hlp::contextHash(i.context) == Hlp::contextHash("second"));
            pictures += i.kind == Hlp::TInline::Picture ? 1 : 0;
        }
    }
    QCOMPARE(hotspots, QStringList({"e3 1", "e2 1"}));
    QCOMPARE(pictures, 1);
    QCOMPARE(tables, 1);
    QVERIFY(!Hlp::pictureImage(p.pictureData.value(0)).isNull());
    // As web pages: the jump leads to the second page, the pop-up opens it.
    QVERIFY(Hlp::writeHtml(p, box.path("web")).isEmpty());
    QDirIterator pages(box.path("web"), {"CTX_*.html", "first.html"}, QDir::Files);
    QString all;
    while (pages.hasNext())
        all += QString::fromUtf8(TestSupport::readFile(pages.next()));
    QVERIFY2(all.contains(QStringLiteral("return popup(this, 1)")) && all.contains(QStringLiteral("class=\"jump\"")), qPrintable(all));

    // Any hash has a name; damaged files are said, never a crash.
    QRandomGenerator rng(5);
    for (int k = 0; k < 200; ++k) {
        const qint32 h = qint32(rng.generate());
        QCOMPARE(Hlp::contextHash(Hlp::contextForHash(h)), h);
    }
    QVERIFY(!Hlp::readHelpFile("not a help file", QStringLiteral("x.hlp")).ok);
    for (int k = 0; k < 300; ++k) {
        QByteArray damaged = r.hlp;
        for (int e = 0; e < 8; ++e)
            damaged[rng.bounded(int(damaged.size()))] = char(rng.bounded(256));
        Hlp::readHelpFile(damaged, QStringLiteral("x.hlp"));
    }
}

namespace {

// What a help file says, page by page, as the reader gives it back: for
// the round trip of decompiling and compiling again.
struct TSummary {
    QList<QByteArray> titles, texts, windows;
    QList<QList<qint32>> contexts, jumps;
    QList<QList<QByteArray>> keywords;
    QList<QList<QImage>> pictures;
    QList<QList<int>> browse;
    QList<QPair<qint64, int>> map;
};

TSummary summaryOf(const QByteArray &hlp)
{
    TSummary s;
    const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, QStringLiteral("x.hlp"));
    QList<int> kept; // pages with a context or some text (the compiler drops the others)
    for (int n = 0; n < read.project.topics.size(); ++n) {
        Hlp::TSourceTopic t = read.project.topics[n];
        QByteArray text;
        QList<qint32> jumps;
        QList<QImage> pictures;
        Hlp::forEachParagraph(t, [&](Hlp::TParagraph &p) {
            for (const Hlp::TInline &i : p.items) {
                if (i.kind == Hlp::TInline::Text)
                    text += i.text;
                if (i.kind == Hlp::TInline::HotspotStart)
                    jumps << (i.macro.isEmpty() ? i.hash : Hlp::contextHash(i.macro)) << i.command;
                if (i.kind == Hlp::TInline::Picture)
                    pictures << Hlp::pictureImage(read.project.pictureData.value(i.picture));
            }
        });
        if (t.contexts.isEmpty() && text.trimmed().isEmpty() && t.title.isEmpty())
            continue;
        kept << n;
        QList<qint32> hashes;
        for (const QByteArray &c : t.contexts)
            hashes << Hlp::contextHash(c);
        std::sort(hashes.begin(), hashes.end());
        s.titles << t.title;
        s.texts << text.simplified();
        s.contexts << hashes;
        s.jumps << jumps;
        // A page's keywords in any order: the index's order is the sort of
        // the compiler's language (a help made on a Japanese system sorts
        // even its 1252 keywords in Japanese order).
        QList<QByteArray> keywords = t.keywords;
        std::sort(keywords.begin(), keywords.end());
        s.keywords << keywords;
        s.pictures << pictures;
    }
    for (const QList<int> &b : read.project.browse) {
        QList<int> sequence;
        for (const int n : b)
            sequence << int(kept.indexOf(n));
        s.browse << sequence;
    }
    for (const Hlp::TMapEntry &m : read.project.map)
        s.map << qMakePair(m.number, int(kept.indexOf(m.topic)));
    std::sort(s.map.begin(), s.map.end()); // files keep them in any order
    for (const Hlp::TWindowDef &w : read.project.hpj.windows)
        s.windows << w.name + '|' + w.caption + '|' + QByteArray::number(w.place[0]) + ',' + QByteArray::number(w.place[1]) + ','
                         + QByteArray::number(w.place[2]) + ',' + QByteArray::number(w.place[3]) + '|'
                         + QByteArray(reinterpret_cast<const char *>(w.scroll), 3).toHex() + QByteArray(reinterpret_cast<const char *>(w.title), 3).toHex();
    for (auto it = read.project.hpj.windowConfig.cbegin(); it != read.project.hpj.windowConfig.cend(); ++it)
        s.windows << "[CONFIG-" + it.key() + "] " + it.value().join(';');
    for (const auto &[name, bytes] : read.project.baggage)
        s.windows << "[BAGGAGE] " + name + ' ' + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    return s;
}

} // namespace

void TestCompile::decompileRoundTrip()
{
    // Decompiled, compiled again, read back: the same pages in order, with
    // their titles, contexts, keywords, jumps and pop-ups, pictures (pixel
    // for pixel) and text; the same browse sequences and [MAP] numbers.
    TestSupport::Sandbox box;
    QList<QPair<QString, QByteArray>> files;
    const QString corpus = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/reference-hlp");
    for (const char *name : {"VIDSEND2.HLP", "PROYECTO.HLP"})
        if (QFileInfo::exists(corpus + u'/' + QLatin1String(name)))
            files << qMakePair(QString::fromLatin1(name), TestSupport::readFile(corpus + u'/' + QLatin1String(name)));
    // One of ours, with what the references lack (pop-ups, a hotspot-free
    // picture, keywords on several pages, a table).
    QImage image(9, 5, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(box.path("g.bmp"), "BMP"));
    QVERIFY(TestSupport::writeFile(box.path("o.hpj"), "[OPTIONS]\r\nTITLE=Ronde\r\n[MAP]\r\nun 5\r\n[FILES]\r\no.rtf\r\n"
                                                     "[WINDOWS]\r\nmain=\"Ronde\",,,,(255,255,255)\r\nnote=\"Note\",(10,10,300,200)\r\n"
                                                     "[CONFIG-note]\r\nCreateButton(\"b\", \"&Fin\", \"Exit()\")\r\n[BAGGAGE]\r\ndonnees.bin\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("donnees.bin"), QByteArray("\x00\x01joint", 7)));
    QVERIFY(TestSupport::writeFile(box.path("o.rtf"),
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote un}${\\footnote Un}K{\\footnote a;b}+{\\footnote s}"
        "\\pard\\brdrb\\brdrs\\fs28 Titre\\par\\pard\\fs20 Voir {\\ul la note}{\\v deux} \\{bmr g.bmp\\} {\\uldb %sans}{\\v deux}\\par"
        "\\trowd\\trgaph108\\cellx2000\\cellx5000\\pard\\intbl x\\cell y\\par z\\cell\\row\\pard fin\\page"
        "#{\\footnote deux}${\\footnote Deux}K{\\footnote b}+{\\footnote s}Deux {\\uldb m}{\\v !About()}\\par}"));
    const Hlp::TCompileResult ours = Hlp::compileProject(box.path("o.hpj"));
    QVERIFY(ours.ok);
    files << qMakePair(QStringLiteral("ours"), ours.hlp);
    const QList<QByteArray> extras = summaryOf(ours.hlp).windows.mid(2);
    QVERIFY(extras.size() == 2 && extras[0].startsWith("[CONFIG-note] CreateButton(") && extras[1].startsWith("[BAGGAGE] donnees.bin "));
    // Real help files in English and Japanese (Shift-JIS, with neither a
    // language nor a character set to say so).
    for (const char *name : {"teraterm-en/ttermp.hlp", "teraterm-ja/ttermpj.hlp"}) {
        const QString path = QStringLiteral(KIVHELP_SHARED_DIR "/corpus/compiled-hlp/") + QLatin1String(name);
        if (QFileInfo::exists(path))
            files << qMakePair(QFileInfo(path).fileName(), TestSupport::readFile(path));
    }
    // Russian and Arabic help as the classic compiler writes it when the
    // project gives a language but no character set: the character-set
    // record says ANSI, the language alone names the code page.
    const QList<QPair<QByteArray, QByteArray>> languages{
        {"0x419", "{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 #{\\footnote un}${\\footnote "
                  "\\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0}K{\\footnote \\'f0\\'e5\\'ea\\'e0}\\'d1\\'ef\\'f0\\'e0\\'e2\\'ea\\'e0 "
                  "{\\uldb \\'f1\\'e0\\'e4}{\\v deux}\\page #{\\footnote deux}${\\footnote \\'c4\\'e2\\'e0}\\'c4\\'e2\\'e0\\par}"},
        {"0x401", "{\\rtf1\\ansi\\ansicpg1256{\\fonttbl{\\f0\\fcharset178 Arial;}}\\f0 #{\\footnote un}${\\footnote "
                  "\\'e3\\'d3\\'c7\\'da\\'cf\\'c9}K{\\footnote \\'df\\'e1\\'e3\\'c9}\\'e3\\'d3\\'c7\\'da\\'cf\\'c9 "
                  "{\\uldb \\'c7\\'e1\\'c8\\'cf\\'c1}{\\v deux}\\page #{\\footnote deux}${\\footnote \\'c7\\'cb\\'e4\\'c7\\'e4}x\\par}"},
    };
    for (const auto &[lcid, rtf] : languages) {
        QVERIFY(TestSupport::writeFile(box.path("l.hpj"), "[OPTIONS]\r\nTITLE=t\r\nLCID=" + lcid + " 0x0 0x0\r\n[FILES]\r\nl.rtf\r\n"));
        QVERIFY(TestSupport::writeFile(box.path("l.rtf"), rtf));
        const Hlp::TCompileResult made = Hlp::compileProject(box.path("l.hpj"));
        QVERIFY2(made.ok, qPrintable(made.messages.join(u'\n')));
        QByteArray hlp = made.hlp;
        const QByteArray record = QByteArray("\x0b\x00\x05\x00", 4) + char(lcid == "0x419" ? 204 : 178);
        const qsizetype at = hlp.indexOf(record);
        QVERIFY(at > 0);
        hlp[at + 4] = 0;
        // And |SYSTEM reserves more space than it uses, as other compilers
        // leave it: read all the same.
        qsizetype system = -1;
        for (qsizetype k = hlp.indexOf(QByteArray("\x6c\x03", 2)); k >= 9 && system < 0; k = hlp.indexOf(QByteArray("\x6c\x03", 2), k + 1))
            if (HlpRead::u32(hlp, k - 9) == HlpRead::u32(hlp, k - 5) + 9)
                system = k - 9;
        QVERIFY(system > 0);
        const quint32 reserved = HlpRead::u32(hlp, system) + 16;
        for (int b = 0; b < 4; ++b)
            hlp[system + b] = char((reserved >> (8 * b)) & 0xFF);
        const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, QStringLiteral("l.hlp"));
        QVERIFY(read.ok);
        QCOMPARE(read.project.codePage, lcid == "0x419" ? 1251 : 1256);
        // On the web, in its language and, for Arabic, from right to left.
        QStringList webWarnings;
        QVERIFY(Hlp::writeHtml(read.project, box.path("web" + lcid), &webWarnings).isEmpty());
        const QString page = QString::fromUtf8(TestSupport::readFile(box.path("web" + lcid + "/index.html")));
        QVERIFY2(page.contains(lcid == "0x419" ? QStringLiteral("<html lang=\"ru\">") : QStringLiteral("<html lang=\"ar\" dir=\"rtl\">")),
                 qPrintable(page.left(300)));
        files << qMakePair(QString::fromLatin1("lcid-" + lcid), hlp);
    }
    // Every corpus project, as kivhc compiles it.
    Hlp::TCompileOptions lenient;
    lenient.missingFilesAreWarnings = true;
    for (QDirIterator it(QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp"), {"*.hpj"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString hpj = it.next();
        const Hlp::TCompileResult r = Hlp::compileProject(hpj, lenient);
        QVERIFY2(r.ok, qPrintable(hpj));
        files << qMakePair(QFileInfo(hpj).fileName(), r.hlp);
    }
    for (const auto &[name, hlp] : files) {
        const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, name);
        QVERIFY2(read.ok, qPrintable(name));
        const QString dir = box.path(name + "_src");
        QVERIFY(Hlp::writeProject(read, dir, QStringLiteral("R")).isEmpty());
        const Hlp::TCompileResult again = Hlp::compileProject(dir + QStringLiteral("/R.hpj"));
        QVERIFY2(again.ok, qPrintable(name + u'\n' + again.messages.join(u'\n')));
        // The hotspots of its graphics lead to pages the project names (the
        // names come from the graphics when the file kept only hashes).
        if (name == QLatin1String("PROYECTO.HLP"))
            QVERIFY2(again.messages.filter(QStringLiteral("HC3025")).isEmpty(), qPrintable(again.messages.join(u'\n')));
        const TSummary a = summaryOf(hlp), b = summaryOf(again.hlp);
        QStringList row{name, QStringLiteral("%1 pages").arg(a.titles.size())};
        const auto same = [&](const char *what, bool equal) { row << QStringLiteral("%1 %2").arg(QLatin1String(what), equal ? "=" : "DIFF"); };
        same("titles", a.titles == b.titles);
        same("contexts", a.contexts == b.contexts);
        same("keywords", a.keywords == b.keywords);
        same("jumps", a.jumps == b.jumps);
        same("pictures", a.pictures == b.pictures);
        same("texts", a.texts == b.texts);
        same("browse", a.browse == b.browse);
        same("map", a.map == b.map);
        same("windows", a.windows == b.windows);
        qInfo("%s", qPrintable(row.join(QStringLiteral(", "))));
        QVERIFY2(!row.join(u' ').contains(QStringLiteral("DIFF")), qPrintable(row.join(QStringLiteral(", "))));
    }
    // Pictures come out as files other programs open: bitmaps as .BMP, the
    // hotspot graphic as .SHG. The contents file the help names, absent
    // here, is made again from its titled pages; one given is kept.
    const QDir proyecto(box.path("PROYECTO.HLP_src"));
    if (proyecto.exists()) {
        const QStringList bitmaps = proyecto.entryList({"*.bmp"});
        QVERIFY(bitmaps.size() > 40 && proyecto.entryList({"*.shg"}).size() == 1 && proyecto.entryList({"*.mrb"}).isEmpty());
        QVERIFY(!QImage(proyecto.filePath(bitmaps.first())).isNull());
        const QByteArray cnt = TestSupport::readFile(proyecto.filePath("R.cnt"));
        QVERIFY2(cnt.startsWith(":Base R.hlp\r\n") && cnt.contains("\r\n1 Comandos del men\xfa Archivo=CTX_") && !cnt.contains("=CTX_2Y5JSDM"), cnt.constData());
        QVERIFY(TestSupport::readFile(proyecto.filePath("R.hpj")).contains("\r\nCNT=R.cnt\r\n"));
    }
    const Hlp::THelpFileRead read = Hlp::readHelpFile(ours.hlp, QStringLiteral("o.hlp"));
    QVERIFY(Hlp::writeProject(read, box.path("withcnt"), QStringLiteral("C"), nullptr, ":Base o.hlp\r\n1 Un=un\r\n").isEmpty());
    QCOMPARE(TestSupport::readFile(box.path("withcnt/C.cnt")), QByteArray(":Base o.hlp\r\n1 Un=un\r\n"));
    QVERIFY(!QFileInfo::exists(box.path("ours_src/R.cnt")));
    // The file the help carries comes out beside the project that names it.
    QCOMPARE(TestSupport::readFile(box.path("ours_src/donnees.bin")), QByteArray("\x00\x01joint", 7));
    QVERIFY(TestSupport::readFile(box.path("ours_src/R.hpj")).contains("[BAGGAGE]\r\ndonnees.bin\r\n"));
}

void TestCompile::decompileKilledMidway()
{
    // A decompile over an earlier one, killed at each rename of its commit
    // in turn: once the next decompile into the folder has completed what
    // the journal names, the folder holds the one or the other, never a mix.
    TestSupport::Sandbox box;
    const auto project = [&](const QByteArray &title, const QByteArray &text) {
        QVERIFY(TestSupport::writeFile(box.path("k.hpj"), "[OPTIONS]\r\nTITLE=" + title + "\r\n[FILES]\r\nk.rtf\r\n"));
        QVERIFY(TestSupport::writeFile(box.path("k.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}" + text + "\\par\\page"
                                                           "#{\\footnote deux}${\\footnote Deux}" + text + "\\par}"));
    };
    const auto read = [&]() { return Hlp::readHelpFile(Hlp::compileProject(box.path("k.hpj")).hlp, QStringLiteral("k.hlp")); };
    project("Ancienne", "avant");
    const Hlp::THelpFileRead before = read();
    project("Nouvelle", "apr\\'e8s");
    const Hlp::THelpFileRead after = read();
    const auto filesOf = [](const QString &dir) {
        QMap<QString, QByteArray> files;
        for (const QString &f : QDir(dir).entryList(QDir::Files)) // hidden ones (journal, temporary files) left out
            files.insert(f, TestSupport::readFile(dir + u'/' + f));
        return files;
    };
    QVERIFY(Hlp::writeProject(before, box.path("a"), QStringLiteral("K")).isEmpty());
    QVERIFY(Hlp::writeProject(after, box.path("b"), QStringLiteral("K")).isEmpty());
    const QMap<QString, QByteArray> old = filesOf(box.path("a")), fresh = filesOf(box.path("b"));
    QVERIFY(old != fresh);
    bool finished = false;
    for (int killAt = 1; !finished && killAt < 20; ++killAt) {
        const QString dir = box.path(QStringLiteral("k%1").arg(killAt));
        QVERIFY(Hlp::writeProject(before, dir, QStringLiteral("K")).isEmpty());
        const pid_t child = fork();
        if (child == 0) {
            Platform::setRenameHookForTest([killAt, count = 0]() mutable {
                if (++count == killAt)
                    ::kill(::getpid(), SIGKILL);
            });
            Hlp::writeProject(after, dir, QStringLiteral("K"));
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        finished = WIFEXITED(status);
        Platform::replayJournal(dir + QStringLiteral("/.kivhc-journal"), {dir});
        const QMap<QString, QByteArray> left = filesOf(dir);
        QVERIFY2(left == old || left == fresh, qPrintable(QStringLiteral("killed at rename %1").arg(killAt)));
    }
    QVERIFY(finished);
    // A disk that fills up halfway: the decompile says so, and the folder
    // keeps the earlier project whole.
    const QString full = box.path("plein");
    QVERIFY(Hlp::writeProject(before, full, QStringLiteral("K")).isEmpty());
    Platform::setWriteBudgetForTest(fresh.value(QStringLiteral("K.rtf")).size() / 2);
    const QStringList errors = Hlp::writeProject(after, full, QStringLiteral("K"));
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(!errors.isEmpty());
    QCOMPARE(filesOf(full), old);
}

void TestCompile::contextNamesFromFilesBeside()
{
    // A help file keeps hashes only; the map header beside it gives the
    // names back, to the page, its jumps and [MAP] alike.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("h.hpj"), "[OPTIONS]\r\nCONTENTS=IDH_debut\r\n[MAP]\r\nIDH_cache_x 7\r\n[FILES]\r\nh.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("h.rtf"), "{\\rtf1 #{\\footnote IDH_debut}${\\footnote Accueil}Voir {\\uldb Zeta}{\\v IDH_cache_x}\\par\\page"
                                                       "#{\\footnote IDH_cache_x}${\\footnote Zeta}z\\par}"));
    const Hlp::TCompileResult compiled = Hlp::compileProject(box.path("h.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(TestSupport::writeFile(box.path("H.HLP"), compiled.hlp));
    Hlp::THelpFileRead read = Hlp::readHelpFile(compiled.hlp, QStringLiteral("H.HLP"));
    QVERIFY(read.project.topics[1].contexts.first().startsWith("CTX_"));
    QCOMPARE(Hlp::nameContextsFromFilesBeside(read.project, box.path("H.HLP")), 0);
    // An included map file: its numbers kept, a line it cannot read said.
    QVERIFY(TestSupport::writeFile(box.path("m.hpj"), "[MAP]\r\n#include <m.h>\r\n[FILES]\r\nh.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("m.h"), "#ifndef M_H\r\n#define M_H\r\nIDH_debut = 1;\r\nIDH_cache_x = 0x7; // x\r\nIDH_z = deux;\r\n#endif\r\n"));
    const Hlp::TCompileResult mapped = Hlp::compileProject(box.path("m.hpj"));
    QVERIFY(mapped.ok);
    QCOMPARE(Hlp::readHelpFile(mapped.hlp, QStringLiteral("M.HLP")).project.map.size(), 2);
    QCOMPARE(mapped.messages.filter(QStringLiteral("IDH_z")).size(), 1);
    QVERIFY(TestSupport::writeFile(box.path("h.hm"), "// map\r\nIDH_cache_x\t0x7\r\n#define IDH_debut 1\r\n"));
    QCOMPARE(Hlp::nameContextsFromFilesBeside(read.project, box.path("H.HLP")), 2);
    const Hlp::THelpDocument &p = read.project;
    QCOMPARE(p.topics[1].contexts, QList<QByteArray>{"IDH_cache_x"});
    QCOMPARE(p.map.first().context, QByteArray("IDH_cache_x"));
    QCOMPARE(p.hpj.options.value("CONTENTS"), QByteArray("IDH_debut"));
    QCOMPARE(p.contextTopic.value("IDH_CACHE_X", -1), 1);
    QStringList jumps;
    for (const Hlp::TInline &i : p.topics[0].scrolling.first().items)
        if (i.kind == Hlp::TInline::HotspotStart)
            jumps << QString::fromLatin1(i.context);
    QCOMPARE(jumps, QStringList{"IDH_cache_x"});
}

void TestCompile::hostileHelpFiles()
{
    // Help files built to harm: each is read or refused with a message, in
    // time and memory in proportion to its size, and nothing it holds
    // reaches a line of its own in the project a decompile writes.
    TestSupport::Sandbox box;
    const QByteArray filler(48, 'A');
    QVERIFY(TestSupport::writeFile(box.path("h.hpj"), "[OPTIONS]\r\nTITLE=" + filler + "\r\n[FILES]\r\nh.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("h.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}Texte\\par}"));
    const Hlp::TCompileResult made = Hlp::compileProject(box.path("h.hpj"));
    QVERIFY(made.ok);
    // A title whose CR and LF would add an error log outside the folder
    // and carry a system file as baggage.
    QByteArray hlp = made.hlp;
    const QByteArray injected = QByteArray("\r\nERRORLOG=/tmp/x.log\r\n[BAGGAGE]\r\n/etc/passwd\r\n").leftJustified(filler.size(), ' ');
    QVERIFY(hlp.indexOf(filler) > 0);
    hlp.replace(hlp.indexOf(filler), filler.size(), injected);
    const Hlp::THelpFileRead read = Hlp::readHelpFile(hlp, QStringLiteral("h.hlp"));
    QVERIFY(read.ok);
    QVERIFY(Hlp::writeProject(read, box.path("src"), QStringLiteral("h")).isEmpty());
    const QByteArray project = TestSupport::readFile(box.path("src/h.hpj"));
    for (const QByteArray &line : project.split('\n'))
        QVERIFY2(!line.trimmed().startsWith("ERRORLOG") && !line.trimmed().startsWith("[BAGGAGE]") && !line.contains("passwd\r"),
                 project.constData());
    QVERIFY(Hlp::compileProject(box.path("src/h.hpj")).ok);
    // Decompiled again into the same folder: its own files are replaced.
    QVERIFY(Hlp::writeProject(read, box.path("src"), QStringLiteral("h")).isEmpty());
    // Never a file it did not make: a baggage file named like the author's
    // is left out and said; an output named like one refuses the whole.
    QVERIFY(TestSupport::writeFile(box.path("b.hpj"), "[FILES]\r\nh.rtf\r\n[BAGGAGE]\r\nnotes.txt\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("notes.txt"), "joint"));
    const Hlp::TCompileResult carried = Hlp::compileProject(box.path("b.hpj"));
    QVERIFY(carried.ok);
    QVERIFY(QDir().mkpath(box.path("auteur")));
    QVERIFY(TestSupport::writeFile(box.path("auteur/notes.txt"), "mes notes"));
    QStringList report;
    QVERIFY(Hlp::writeProject(Hlp::readHelpFile(carried.hlp, QStringLiteral("b.hlp")), box.path("auteur"), QStringLiteral("b"), &report).isEmpty());
    QCOMPARE(TestSupport::readFile(box.path("auteur/notes.txt")), QByteArray("mes notes"));
    QVERIFY(!report.filter(QStringLiteral("notes.txt")).isEmpty());
    QVERIFY(QDir().mkpath(box.path("auteur2")) && TestSupport::writeFile(box.path("auteur2/b.rtf"), "{\\rtf1 mon texte}"));
    QVERIFY(!Hlp::writeProject(Hlp::readHelpFile(carried.hlp, QStringLiteral("b.hlp")), box.path("auteur2"), QStringLiteral("b")).isEmpty());
    QCOMPARE(TestSupport::readFile(box.path("auteur2/b.rtf")), QByteArray("{\\rtf1 mon texte}"));
    QCOMPARE(QDir(box.path("auteur2")).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // Topic records that each claim the rest of the file (40 KB of them):
    // each is read to where the next one starts, not to the end.
    QByteArray flat;
    const auto positionOf = [](qsizetype at) { return quint32(12 + ((at / 4084) << 14) + at % 4084); };
    while (flat.size() < 40000) {
        const qsizetype at = flat.size();
        QByteArray head;
        for (const quint32 v : {0x7FFFFFFFu, 0u, at ? positionOf(at - 21) : 0xFFFFFFFFu, positionOf(at + 21), 21u})
            head += QByteArray(reinterpret_cast<const char *>(&v), 4);
        flat += head + char(0x20);
    }
    QByteArray topic;
    for (qsizetype b = 0; b * 4084 < flat.size(); ++b)
        topic += QByteArray(12, '\0') + flat.mid(b * 4084, 4084);
    const QList<HlpRead::TopicFile::Record> records = HlpRead::TopicFile(topic, false).walk();
    qsizetype copied = 0;
    for (const HlpRead::TopicFile::Record &r : records)
        copied += r.ld1.size() + r.ld2.size();
    QVERIFY(records.size() > 1800);
    QVERIFY2(copied <= flat.size(), qPrintable(QString::number(copied)));

    // 600 pages in one browse sequence, and 600 keywords of one page each;
    // then every page made the first of its sequence, and every keyword
    // pointed at the list of the keyword that names all pages.
    QByteArray many = "{\\rtf1 ";
    for (int n = 0; n < 600; ++n)
        many += "#{\\footnote p" + QByteArray::number(n) + "}+{\\footnote s}K{\\footnote tout;kw" + QByteArray::number(n).rightJustified(4, '0')
                + "}Page\\page ";
    QVERIFY(TestSupport::writeFile(box.path("m.hpj"), "[OPTIONS]\r\nCOMPRESS=0\r\n[FILES]\r\nm.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("m.rtf"), many + "}"));
    const Hlp::TCompileResult big = Hlp::compileProject(box.path("m.hpj"));
    QVERIFY(big.ok);
    QByteArray bad = big.hlp;
    HlpRead::Container c;
    QVERIFY(c.parse(bad));
    const QByteArray topicFile = *c.internalFile("|TOPIC");
    const qsizetype topicAt = bad.indexOf(topicFile);
    QVERIFY(topicAt > 0);
    const HlpRead::TopicFile topics(topicFile, false);
    for (const HlpRead::TopicFile::Record &r : topics.walk())
        if (r.type == 0x02)
            for (int b = 0; b < 4; ++b) { // the link back of its header: none
                const qint64 f = topics.flatAt(r.pos) + 21 + 4 + b;
                bad[topicAt + (f / 4084) * 4096 + 12 + f % 4084] = char(0xFF);
            }
    const QByteArray all = "tout" + QByteArray(1, '\0') + QByteArray("\x58\x02", 2); // 600 pages
    const qsizetype allAt = bad.indexOf(all);
    QVERIFY(allAt > 0);
    const QByteArray allList = bad.mid(allAt + all.size(), 4);
    for (int n = 0; n < 600; ++n) {
        const QByteArray one = "kw" + QByteArray::number(n).rightJustified(4, '0') + '\0' + QByteArray("\x01\x00", 2);
        const qsizetype at = bad.indexOf(one);
        QVERIFY(at > 0);
        bad.replace(at + one.size() - 2, 6, QByteArray("\x58\x02", 2) + allList);
    }
    const Hlp::THelpFileRead hostile = Hlp::readHelpFile(bad, QStringLiteral("m.hlp"));
    QVERIFY(hostile.ok);
    QCOMPARE(hostile.project.browse.size(), 1);
    QCOMPARE(hostile.project.browse.first().size(), 600);
    QVERIFY2(!hostile.losses.filter(QStringLiteral("incohérent")).isEmpty(), qPrintable(hostile.losses.join(u'\n')));

    // A picture whose header claims 16383 x 16383 points of 24 bits (800 MB
    // from a few bytes): left out and said, never expanded.
    QImage image(9, 5, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QVERIFY(image.save(box.path("g.bmp"), "BMP"));
    QVERIFY(TestSupport::writeFile(box.path("g.hpj"), "[FILES]\r\ng.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(box.path("g.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}\\{bmc g.bmp\\}\\par}"));
    const Hlp::TCompileResult pictured = Hlp::compileProject(box.path("g.hpj"));
    QVERIFY(pictured.ok);
    QByteArray bomb = pictured.hlp;
    HlpRead::Container withPicture;
    QVERIFY(withPicture.parse(bomb));
    const QByteArray container = *withPicture.internalFile("|bm0");
    qsizetype at = bomb.indexOf(container) + HlpRead::u32(container, 4) + 2;
    const auto skip = [&](bool wide) { at += (quint8(bomb[at]) & 1) ? (wide ? 4 : 2) : (wide ? 2 : 1); };
    skip(true), skip(true), skip(false), skip(false); // resolution, planes, bits
    for (int side = 0; side < 2; ++side) {
        QVERIFY((quint8(bomb[at]) & 1) == 0); // the short form, rewritten in place
        bomb[at] = char(0xFE);
        bomb[at + 1] = char(0x7F);
        skip(true);
    }
    const Hlp::THelpFileRead bombed = Hlp::readHelpFile(bomb, QStringLiteral("g.hlp"));
    QVERIFY(bombed.ok);
    QVERIFY(bombed.project.pictureData.value(0).isEmpty());
    QVERIFY2(!bombed.losses.filter(QStringLiteral("g.hlp")).isEmpty(), qPrintable(bombed.losses.join(u'\n')));
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

void TestCompile::embeddedPhotosStayPhotos()
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
    QVERIFY(TestSupport::readFile(box.path("html/photo.html")).contains("images/image0.jpg"));
}

KIV_TEST(TestCompile)
#include "tst_compile.moc"
