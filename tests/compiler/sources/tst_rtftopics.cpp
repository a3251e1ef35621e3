#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpParagraph.h"
#include "compiler/sources/RtfTopics.h"
#include "helpgen/HelpSources.h"
#include "platform/Cp1252.h"

#include <QRandomGenerator>

namespace {

QList<QByteArray> fileNames(const QList<Hlp::TPictureSource> &pictures)
{
    QList<QByteArray> out;
    for (const Hlp::TPictureSource &p : pictures)
        out << p.file;
    return out;
}

// The hotspots of a paragraph list: what each does, and where or which macro.
QStringList hotspots(const QList<Hlp::TParagraph> &paras)
{
    QStringList out;
    for (const Hlp::TParagraph &p : paras)
        for (const Hlp::TInline &i : p.items)
            if (i.kind == Hlp::TInline::HotspotStart)
                out << (i.link == Hlp::TInline::Macro ? QStringLiteral("macro %1").arg(QString::fromLatin1(i.macro))
                        : QStringLiteral("%1%2 %3").arg(i.link == Hlp::TInline::Jump ? "jump" : "popup", i.plain ? " plain" : "",
                                                        QString::fromLatin1(i.context)));
    return out;
}

// The text of paragraphs in Windows-1252, each ended by '|'.
QByteArray textOf(const QList<Hlp::TParagraph> &paras)
{
    QByteArray out;
    for (const Hlp::TParagraph &p : paras) {
        for (const Hlp::TInline &i : p.items)
            if (i.kind == Hlp::TInline::Text)
                out += Hlp::textBytes(i.text, Platform::CodePage());
        out += '|';
    }
    return out;
}

} // namespace

class TestRtfTopics : public QObject {
    Q_OBJECT
private slots:
    void topicWrittenByTheProgram();
    void corpusProject();
    void hotspotForms();
    void tableRows();
    void malformed();
    void textCommands();
    void commandsSplitOverRuns();
    void lateKeepnStaysInPlace();
    void footnoteForms();
    void onlyTextIsText();
    void formatsOfTheReference();
    void writtenByLibreOffice();
    void survivesAnyInput();
};

void TestRtfTopics::topicWrittenByTheProgram()
{
    QStringList lines{"{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}",
                      "{\\colortbl ;\\red0\\green128\\blue0;}",
                      "\\deflang1036\\pard\\plain\\f0\\fs26 Voir @_0_voir_@ et @_1_x_@ puis @_2_l.bmp_@.\\par", "}"};
    KIVHelpTools::FConvertTopicLines(lines,
                                     {"{\\uldb voir}{\\v Mode_d\\'emploi}", "{\\uldb lancer}{\\v !ExecProgram(\"a.exe\",0)}",
                                      "\\{bmc logo.bmp\\}"},
                                     QString::fromUtf8("Mode d'emploi"), 7, true, "\\f0\\fs30\\b");
    QByteArray rtf;
    for (const QString &l : lines)
        rtf += Platform::toCp1252(l) + "\r\n";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 1);
    const Hlp::TSourceTopic &t = read.topics.first();
    QCOMPARE(t.contexts, QList<QByteArray>{"Mode_demploi"}); // as the compiler keeps it: no HC4014
    QCOMPARE(t.title, QByteArray("Mode d'emploi"));
    QCOMPARE(t.keywords, QList<QByteArray>{"Mode d'emploi"});
    QCOMPARE(t.browse, QByteArray("7: 7"));
    QCOMPARE(textOf(t.nonScrolling), QByteArray("Mode d'emploi|"));
    QCOMPARE(textOf(t.scrolling), QByteArray("Voir voir et lancer puis .|"));
    QCOMPARE(hotspots(t.scrolling),
             QStringList({QStringLiteral("jump Mode_demploi"),
                          "macro ExecProgram(\"a.exe\",0)"}));
    QCOMPARE(fileNames(pictures), QList<QByteArray>{"logo.bmp"});
    QCOMPARE(Hlp::normalizeContext("Mode_d'emploi"), QByteArray("Mode_demploi"));
    QCOMPARE(Hlp::normalizeContext("Aide_g\xe9n\xe9rale"), QByteArray("Aide_generale"));
    QVERIFY(read.warnings.isEmpty());
}

void TestRtfTopics::corpusProject()
{
    const QByteArray rtf = TestSupport::readFile(QStringLiteral(KIVHELP_SHARED_DIR "/corpus/winhelp/pjabout/PJAbout.rtf"));
    if (rtf.isEmpty())
        QSKIP("the corpus is not beside the project");
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 30);
    QCOMPARE(read.topics.first().contexts, QList<QByteArray>{"IDH_AB_UNIT"});
    QCOMPARE(read.topics.first().title, QByteArray("PJAbout unit"));
    QCOMPARE(read.topics.first().keywords, QList<QByteArray>{"PJAbout"});
    QCOMPARE(hotspots(read.topics.first().scrolling),
             QStringList{QStringLiteral("jump IDH_TPJABOUTBOXDLG")});
    QVERIFY(fileNames(pictures).contains("PJAboutBoxDlg.bmp"));
    for (const Hlp::TSourceTopic &t : read.topics)
        QVERIFY(!t.contexts.isEmpty());
}

void TestRtfTopics::hotspotForms()
{
    // Word splits hidden text over groups; a picture can be the hotspot;
    // "%" drops colour and underline; windows and other files; \uld is a
    // pop-up like \ul.
    const QByteArray rtf = "{\\rtf1 {\\uldb Tile}{\\v HID_WINDOW_TI}{\\v LE} "
                           "{\\uldb \\{bmc a.bmp\\}}{\\v glossA}\\par "
                           "{\\uldb x}{\\v %!AL(`k',0)} {\\ul y}{\\v %pop} {\\uld z}{\\v !PopupId(p)}\\par "
                           "{\\uldb w}{\\v ctx>proc4} {\\uldb f}{\\v ctx@other.hlp>win} {\\v lonely}\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 1);
    QList<Hlp::TInline> spots;
    for (const Hlp::TParagraph &p : read.topics[0].scrolling)
        for (const Hlp::TInline &i : p.items)
            if (i.kind == Hlp::TInline::HotspotStart)
                spots << i;
    QCOMPARE(spots.size(), 7);
    QCOMPARE(spots[0].context, QByteArray("HID_WINDOW_TILE"));
    QCOMPARE(spots[1].context, QByteArray("glossA"));
    const QList<Hlp::TInline> &items = read.topics[0].scrolling[0].items;
    const qsizetype pic = items.size() - 2; // just before the hotspot's end
    QCOMPARE(items[pic].kind, Hlp::TInline::Picture);
    QCOMPARE(items[pic - 1].link, Hlp::TInline::Jump);
    QCOMPARE(fileNames(pictures), QList<QByteArray>{"a.bmp"});
    QVERIFY(spots[2].link == Hlp::TInline::Macro && spots[2].plain);
    QCOMPARE(spots[2].macro, QByteArray("AL(`k',0)"));
    QVERIFY(spots[3].link == Hlp::TInline::Popup && spots[3].plain);
    QVERIFY(spots[4].link == Hlp::TInline::Macro && !spots[4].plain);
    QCOMPARE(spots[5].window, QByteArray("proc4"));
    QCOMPARE(spots[5].context, QByteArray("ctx"));
    QCOMPARE(spots[6].file, QByteArray("other.hlp"));
    QCOMPARE(spots[6].window, QByteArray("win"));
    QCOMPARE(read.warnings, QStringList{QStringLiteral("page 1 : texte caché sans point chaud : lonely")});

    // Encoded: a secondary window by its number, another file by name.
    Hlp::TFontTable fonts;
    Hlp::TParagraph p;
    Hlp::TInline into = spots[5];
    into.windowIndex = 2;
    Hlp::TInline end;
    end.kind = Hlp::TInline::HotspotEnd;
    Hlp::TInline text;
    text.text = "w";
    p.items = {into, text, end};
    QByteArray expected = QByteArray::fromHex("eb0600") + QByteArray::fromHex("01");
    Hlp::putU32(expected, quint32(Hlp::contextHash("ctx")));
    expected += QByteArray::fromHex("02");
    QVERIFY(Hlp::encodeParagraph(p, fonts, Platform::CodePage()).linkData1.contains(expected));
    Hlp::TInline other = spots[6];
    p.items = {other, text, end};
    expected = QByteArray::fromHex("eb0f0004");
    Hlp::putU32(expected, quint32(Hlp::contextHash("ctx")));
    QVERIFY(Hlp::encodeParagraph(p, fonts, Platform::CodePage()).linkData1.contains(expected + "other.hlp" + QByteArray(1, '\0')));
}

void TestRtfTopics::tableRows()
{
    // A row is one table record: each cell keeps its paragraphs (two in
    // the second cell here) and its hotspots; the columns are measured as
    // the help compilers measure them.
    const QByteArray rtf = "{\\rtf1 \\trowd\\trgaph108\\trleft-108\\cellx1947\\cellx9267\\pard\\intbl {\\uldb Nuovo}{\\v ID_NEW}"
                           "{\\cell }{Crea.\\par Un altro.}{\\cell }\\pard\\intbl {\\row }\\pard after\\par"
                           "\\trowd\\cellx100\\pard\\intbl\\cell\\row}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 1);
    const QList<Hlp::TParagraph> &paras = read.topics[0].scrolling;
    QCOMPARE(paras.size(), 3);
    QVERIFY(paras[0].table && !paras[1].table && paras[2].table);
    const Hlp::TTableRow &row = *paras[0].table;
    QCOMPARE(row.paragraphs.size(), 3);
    QCOMPARE(row.paragraphs[0].first, 0);
    QCOMPARE(row.paragraphs[2].first, 1);
    QCOMPARE(textOf({row.paragraphs[1].second, row.paragraphs[2].second}), QByteArray("Crea.|Un altro.|"));
    QCOMPARE(hotspots({row.paragraphs[0].second}).size(), 1);
    QCOMPARE(paras[2].table->paragraphs.size(), 1); // an empty cell is still a cell
    Hlp::TFontTable fonts;
    const Hlp::TEncodedParagraph e = Hlp::encodeTableRow(row, fonts, Platform::CodePage());
    QCOMPARE(e.linkData1.left(10), QByteArray::fromHex("0201bd000100d1020b00"));
    QVERIFY(e.linkData1.endsWith("\xff\xff"));
    QCOMPARE(e.topicLength, quint16(e.linkData2.size()));
    Hlp::TTableRow other; // another project's row
    other.gap = 108;
    other.left = 402;
    other.cellx = {1647, 8802};
    QCOMPARE(Hlp::encodeTableRow(other, fonts, Platform::CodePage()).linkData1.left(10), QByteArray::fromHex("02016d003300c0020b00"));

    // More columns than a help file holds: the cells become paragraphs,
    // with one warning.
    QByteArray wide = "{\\rtf1 \\trowd";
    for (int i = 1; i <= 40; ++i)
        wide += "\\cellx" + QByteArray::number(i * 100);
    wide += "\\pard\\intbl";
    for (int i = 1; i <= 40; ++i)
        wide += " c" + QByteArray::number(i) + "\\cell";
    wide += "\\row}";
    const Hlp::TTopicFileRead flat = Hlp::readTopicFile(wide, &pictures);
    QCOMPARE(flat.topics.value(0).scrolling.size(), 40);
    QCOMPARE(flat.warningCodes, QList<int>{4671});
}

void TestRtfTopics::malformed()
{
    QList<Hlp::TPictureSource> pictures;
    QVERIFY(!Hlp::readTopicFile("plain text, not RTF", &pictures).isRtf);
    const Hlp::TTopicFileRead open = Hlp::readTopicFile("{\\rtf1 {\\b text\\par", &pictures);
    QCOMPARE(open.topics.size(), 1); // what was read is kept
    QCOMPARE(open.warnings, QStringList{QStringLiteral("RTF mal formé : 2 groupe(s) non fermé(s), 0 accolade(s) fermante(s) en trop.")});
    QCOMPARE(Hlp::readTopicFile("{\\rtf1 x}}", &pictures).warnings.size(), 1);
    QVERIFY(Hlp::readTopicFile("  {\\rtf1 x}\r\n", &pictures).warnings.isEmpty());
}

void TestRtfTopics::textCommands()
{
    // Commands written in the text: a button is a macro hotspot on its
    // label; an embedded window is dropped with a warning.
    const QByteArray rtf = "{\\rtf1 a \\{button Voir,JI(`b.hlp',`x')\\} b \\{ewc MVBMP2, ViewerBmp2, x.bmp\\} c \\{bmrt r.bmp\\}\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    const QList<Hlp::TParagraph> &paras = read.topics.value(0).scrolling;
    QCOMPARE(hotspots(paras), QStringList{"macro JI(`b.hlp',`x')"});
    QCOMPARE(textOf(paras), QByteArray("a [Voir] b  c |"));
    QCOMPARE(fileNames(pictures), QList<QByteArray>{"r.bmp"});
    QCOMPARE(read.warnings.size(), 1);
    QVERIFY(read.warnings.first().contains(QStringLiteral("{ewc MVBMP2, ViewerBmp2, x.bmp}")));
}

void TestRtfTopics::commandsSplitOverRuns()
{
    // As Word writes them: each piece in a group of its own, a picture as a
    // jump's hotspot, then braces that are only text, in two formats.
    const QByteArray rtf = "{\\rtf1 {\\f4 Clic }{\\f4 \\{}{\\f4 bmc scmax.bmp}{\\f4 \\}}{\\f4  fin.}\\par "
                           "{\\uldb \\{}{\\uldb bml logo.bmp\\}}{\\v Cible}\\par "
                           "a \\{{\\b bold\\}} b \\{bm\\tab c \\{\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    const QList<Hlp::TParagraph> &paras = read.topics.value(0).scrolling;
    QCOMPARE(fileNames(pictures), (QList<QByteArray>{"scmax.bmp", "logo.bmp"}));
    QCOMPARE(paras.size(), 3);
    QCOMPARE(textOf({paras[0]}), QByteArray("Clic  fin.|"));
    QCOMPARE(paras[0].items.at(1).kind, Hlp::TInline::Picture);
    QCOMPARE(hotspots({paras[1]}).size(), 1);
    QCOMPARE(textOf({paras[2]}), QByteArray("a {bold} b {bmc {|"));
    // An unclosed "{bm" stays text, before the tab that ended it.
    qsizetype tab = 0;
    while (tab < paras[2].items.size() && paras[2].items.at(tab).kind != Hlp::TInline::Tab)
        ++tab;
    QVERIFY(tab > 0 && tab < paras[2].items.size());
    QCOMPARE(paras[2].items.at(tab - 1).text, QStringLiteral("{bm"));
    // The brace before "bold" keeps its own (plain) format.
    const Hlp::TInline &brace = paras[2].items.at(1);
    QCOMPARE(brace.text, QStringLiteral("{"));
    QVERIFY(!(brace.format.attributes & Hlp::FontBold));
    QVERIFY(read.warnings.isEmpty());
}

void TestRtfTopics::lateKeepnStaysInPlace()
{
    // Only the \\keepn paragraphs that open a topic are its fixed region; the
    // later ones (table rows, here) stay in the text, with one warning.
    const QByteArray rtf = "{\\rtf1 \\keepn Titre\\par \\keepn Sous-titre\\par\\pard Texte\\par "
                           "\\keepn Ligne 1\\par\\keepn Ligne 2\\par\\pard Fin\\par\\page "
                           "\\keepn Seul\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 2);
    QCOMPARE(textOf(read.topics[0].nonScrolling), QByteArray("Titre|Sous-titre|"));
    QCOMPARE(textOf(read.topics[0].scrolling), QByteArray("Texte|Ligne 1|Ligne 2|Fin|"));
    QCOMPARE(textOf(read.topics[1].nonScrolling), QByteArray("Seul|"));
    QCOMPARE(read.warnings.size(), 1);
    QCOMPARE(read.warningCodes, QList<int>{3048});
}

void TestRtfTopics::footnoteForms()
{
    // The mark before the group alone (as the compiler's guide teaches),
    // inside it alone, in both (as Word writes it), in lower case; the
    // marks never stay in the text.
    const QByteArray rtf =
        "{\\rtf1\\ansi #{\\footnote intro}${\\footnote Introduction}K{\\footnote Kernel;b}k{\\footnote minuscule}"
        "+{\\footnote seq:1}!{\\footnote About()}\n"
        "Texte un\\par\\page\n"
        "{\\up6 #{\\footnote {\\up6 #} deux}}{\\up6 K{\\footnote K Keys}}{\\footnote $ Second}Texte deux\\par\\page\n"
        "x{\\footnote inconnu}Q{\\footnote autre}Texte trois\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 3);
    const Hlp::TSourceTopic &one = read.topics[0];
    QCOMPARE(one.contexts, QList<QByteArray>{"intro"});
    QCOMPARE(one.title, QByteArray("Introduction"));
    QCOMPARE(one.keywords, QList<QByteArray>({"Kernel", "b", "minuscule"}));
    QCOMPARE(one.browse, QByteArray("seq:1"));
    QCOMPARE(one.macros, QList<QByteArray>{"About()"});
    QCOMPARE(textOf(one.scrolling), QByteArray("Texte un|"));
    const Hlp::TSourceTopic &two = read.topics[1];
    QCOMPARE(two.contexts, QList<QByteArray>{"deux"});
    QCOMPARE(two.keywords, QList<QByteArray>{"Keys"});
    QCOMPARE(two.title, QByteArray("Second"));
    QCOMPARE(textOf(two.scrolling), QByteArray("Texte deux|"));
    // Blanks between the footnotes and the title do not indent it; text
    // moved up by \\upN keeps its size, a superscript is drawn smaller.
    const Hlp::TTopicFileRead titled = Hlp::readTopicFile(
        "{\\rtf1 {\\up6 #{\\footnote # t}} {\\up6 ${\\footnote $ T}} \\fs24 {\\up6 Titre} x{\\super 2}\\par}", &pictures);
    const QList<Hlp::TInline> &items = titled.topics.value(0).scrolling.value(0).items;
    QCOMPARE(textOf(titled.topics.value(0).scrolling), QByteArray("Titre x2|"));
    QCOMPARE(items.first().format.halfPoints, quint8(24));
    QCOMPARE(items.last().format.halfPoints, quint8(16));
    // Marks the compiler does not know: said once for the topic, the mark
    // out of the text.
    QCOMPARE(textOf(read.topics[2].scrolling), QByteArray("Texte trois|"));
    QCOMPARE(read.warnings.size(), 1);
    QVERIFY2(read.warnings.first().contains(QStringLiteral("« x »")) && read.warnings.first().contains(QStringLiteral("« Q »")),
             qPrintable(read.warnings.first()));
}

void TestRtfTopics::onlyTextIsText()
{
    // Groups a reader does not show: comments (one after the last page is
    // no topic), document information, field instructions (their result
    // is shown), headers, bookmarks, footnote separators, starred groups.
    const QByteArray rtf =
        "{\\rtf1\\ansi{\\info{\\title Titre du document}{\\author Moi}}{\\*\\generator Writer;}"
        "{\\ftnsep \\chftnsep\\par}{\\header En-t\\'ete\\par}"
        "#{\\footnote un}{\\comment une remarque de l'auteur}Texte {\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt visible}}"
        "{\\*\\bkmkstart marque}fin{\\*\\bkmkend marque}\\par\\page\n"
        "{\\comment apr\\'es la derni\\'ere page}\\par}";
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(rtf, &pictures);
    QCOMPARE(read.topics.size(), 1);
    QCOMPARE(textOf(read.topics[0].scrolling), QByteArray("Texte visiblefin|"));
    QVERIFY(read.warnings.isEmpty());
}

void TestRtfTopics::formatsOfTheReference()
{
    // As the classic compiler's files have them: the rule under a heading,
    // an empty line in its own (small) font after a large heading, a tab
    // without stops going to a quarter-inch stop.
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(
        "{\\rtf1 \\pard\\brdrb\\brdrs\\brdrw15 \\fs48 Titre\\par\\pard\\fs16\\par\\pard a\\tab b\\par}", &pictures);
    const QList<Hlp::TParagraph> &paras = read.topics.value(0).scrolling;
    QCOMPARE(paras.size(), 3);
    Hlp::TFontTable fonts;
    const Hlp::TEncodedParagraph rule = Hlp::encodeParagraph(paras[0], fonts, Platform::CodePage());
    QCOMPARE(rule.linkData1.mid(4, 2), QByteArray::fromHex("0001")); // paragraph bits: borders
    QCOMPARE(rule.linkData1.mid(6, 3), QByteArray::fromHex("080000"));
    const Hlp::TEncodedParagraph blank = Hlp::encodeParagraph(paras[1], fonts, Platform::CodePage());
    QCOMPARE(quint8(blank.linkData1[6]), quint8(0x80)); // a font command of its own
    QCOMPARE(paras[1].markFormat->halfPoints, quint8(16));
    QCOMPARE(paras[2].format.tabs, QList<quint16>{36});
}

void TestRtfTopics::writtenByLibreOffice()
{
    // A page as LibreOffice Writer saves it in RTF (data/libreoffice-aide.fodt
    // through "soffice --headless --convert-to rtf"): starred footnotes
    // whose text repeats the mark after a tab, a picture in two forms, a
    // table, \uN letters.
    QList<Hlp::TPictureSource> pictures;
    const Hlp::TTopicFileRead read = Hlp::readTopicFile(
        TestSupport::readFile(QStringLiteral(KIVHELP_SOURCE_DIR "/tests/compiler/data/libreoffice-aide.rtf")), &pictures);
    QCOMPARE(read.topics.size(), 1);
    const Hlp::TSourceTopic &t = read.topics.first();
    QCOMPARE(t.contexts, QList<QByteArray>{"installer"});
    QCOMPARE(t.title, QByteArray("Installer le logiciel"));
    QCOMPARE(t.keywords, QList<QByteArray>({"installation", "logiciel, mise en place"}));
    const QByteArray text = textOf(t.scrolling);
    QVERIFY2(text.startsWith("Installer le logiciel|Copiez les fichiers, puis lancez le programme. Voir aussi les r\xe9glages.|"),
             text.constData());
    QCOMPARE(pictures.size(), 1);
    QCOMPARE(pictures.first().embedded.format, Hlp::TRtfPicture::Png);
    int rows = 0;
    for (const Hlp::TParagraph &p : t.scrolling)
        rows += p.table ? 1 : 0;
    QCOMPARE(rows, 2);
    QVERIFY2(read.warnings.isEmpty(), qPrintable(read.warnings.join(u'\n')));
}

void TestRtfTopics::survivesAnyInput()
{
    QRandomGenerator rng(71);
    const QByteArray pieces[] = {"{", "}", "\\footnote ", "#", "$", "K", "\\v ", "\\uldb ", "\\ul ", "\\page ", "\\par ",
                                 "\\{bmc ", "\\}", "x", "\\'e9", "\\'", "\\keepn ", "\\tx-5 ", "\\fs999999 ", "\\f7 ",
                                 "{\\fonttbl", ";", "!", "\\bin5 ", "k", "{\\comment ", "{\\*\\bkmkstart ", "{\\header "};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = "{\\rtf1";
        const int n = int(rng.bounded(100));
        for (int i = 0; i < n; ++i)
            bytes += pieces[rng.bounded(int(std::size(pieces)))];
        QList<Hlp::TPictureSource> pictures;
        const Hlp::TTopicFileRead read = Hlp::readTopicFile(bytes, &pictures);
        for (const Hlp::TSourceTopic &t : read.topics)
            for (const Hlp::TParagraph &p : t.scrolling) {
                int open = 0;
                for (const Hlp::TInline &i : p.items) {
                    open += i.kind == Hlp::TInline::HotspotStart ? 1 : i.kind == Hlp::TInline::HotspotEnd ? -1 : 0;
                    QVERIFY(open == 0 || open == 1);
                }
            }
    }
}

KIV_TEST(TestRtfTopics)
#include "tst_rtftopics.moc"
