// The .HLP format both ways: help files written as the viewers read them,
// read back (ours, the classic compilers', hostile ones) into the help
// document.
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

class TestHlpFile : public QObject {
    Q_OBJECT
private slots:
    void readerOnIndependentFile();
    void phraseCompression();
    void forTheViewer();
    void referenceFilesTopicByTopic();
    void helpFileReadBack();
    void hostileHelpFiles();
};

void TestHlpFile::readerOnIndependentFile()
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

void TestHlpFile::phraseCompression()
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

void TestHlpFile::forTheViewer()
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

void TestHlpFile::referenceFilesTopicByTopic()
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

void TestHlpFile::helpFileReadBack()
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
                hotspots << QStringLiteral("%1 %2").arg(i.link == Hlp::TInline::Jump ? "jump" : "popup").arg(Hlp::contextHash(i.context) == Hlp::contextHash("second"));
            pictures += i.kind == Hlp::TInline::Picture ? 1 : 0;
        }
    }
    QCOMPARE(hotspots, QStringList({"jump 1", "popup 1"}));
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

void TestHlpFile::hostileHelpFiles()
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

KIV_TEST(TestHlpFile)
#include "tst_hlpfile.moc"
