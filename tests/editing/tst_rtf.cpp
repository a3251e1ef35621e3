#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/RtfText.h"
#include "editing/REditServ.h"
#include <QMimeData>
#include <QClipboard>

#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using RtfText::FReadRtf;
using RtfText::FWriteRtf;

namespace {

// Everything the editor can show of a document, with formats resolved
// against the document's default font.
QStringList dump(const QTextDocument &doc)
{
    QStringList out;
    const QFont def = doc.defaultFont();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const Qt::Alignment a = b.blockFormat().alignment();
        const char *align = (a & Qt::AlignHCenter) ? "C" : (a & Qt::AlignRight) ? "R"
                            : (a & Qt::AlignJustify) ? "J" : "L";
        out << QStringLiteral("P%1").arg(QLatin1String(align));
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QTextCharFormat cf = f.charFormat();
            const QStringList fams = cf.fontFamilies().toStringList();
            const QString family = fams.isEmpty() ? def.family() : fams.first();
            const qreal size = cf.hasProperty(QTextFormat::FontPointSize) ? cf.fontPointSize() : def.pointSizeF();
            const QString colour = cf.hasProperty(QTextFormat::ForegroundBrush) ? cf.foreground().color().name()
                                                                               : QStringLiteral("auto");
            out << QStringLiteral("  [%1|%2|%3%4%5|%6] %7")
                       .arg(family)
                       .arg(size)
                       .arg(cf.fontWeight() >= QFont::DemiBold ? "b" : "-")
                       .arg(cf.fontItalic() ? "i" : "-")
                       .arg(cf.fontUnderline() ? "u" : "-")
                       .arg(colour, f.text());
        }
    }
    return out;
}

QTextCharFormat fmt(const QString &family, qreal size, bool b = false, bool i = false, bool u = false,
                    const QColor &c = QColor())
{
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(size);
    f.setFontWeight(b ? QFont::Bold : QFont::Normal);
    f.setFontItalic(i);
    f.setFontUnderline(u);
    if (c.isValid())
        f.setForeground(c);
    return f;
}

void setAlign(QTextCursor &c, Qt::Alignment a)
{
    QTextBlockFormat bf;
    bf.setAlignment(a);
    c.setBlockFormat(bf);
}

const char kClassic[] =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss MS Sans Serif;}{\\f1\\froman\\fcharset2 Symbol;}"
    "{\\f2\\fswiss\\fcharset1 Arial;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
    "\\deflang1036\\pard\\plain\\f2\\fs26 Manuel\r\n"
    "\\par \\plain\\f2\\fs26\\cf1 @_0_voir_aussi_@\\plain\\f2\\fs26 \r\n"
    "\\par }\r\n";

} // namespace

class TestRtf : public QObject {
    Q_OBJECT
private slots:
    void roundTripEveryAttribute();
    void writerLineLayout();
    void familiesWithoutFoundry();
    void pastedRichTextSurvivesASave();
    void classicRichEditFile();
    void indentsAndSpacingSurviveAnEdit();
    void foreignRtf_data();
    void foreignRtf();
    void plainTextInput();
    void randomAndTruncatedInput();
};

void TestRtf::roundTripEveryAttribute()
{
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 13));
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Titre"), fmt("Arial", 16, true));
    c.insertText(QString::fromUtf8(" éàç€œ"), fmt("Times New Roman", 13, false, true));
    c.insertBlock();
    setAlign(c, Qt::AlignHCenter);
    c.insertText(QStringLiteral("@_0_voir_aussi_@"), fmt("Arial", 13, false, false, false, QColor(0, 128, 0)));
    c.insertText(QString::fromUtf8(" Ω中文 \U0001F600"), fmt("Arial", 10.5, true, true, true, QColor(200, 10, 20)));
    c.insertBlock();
    c.insertBlock(); // an empty paragraph
    setAlign(c, Qt::AlignRight);
    c.insertText(QStringLiteral("a\tb") + QChar(0x2028) + QStringLiteral("c {x} \\y; z"), fmt("My;Font", 9));
    c.insertBlock();
    setAlign(c, Qt::AlignJustify);
    c.insertText(QStringLiteral("just"), fmt("Arial", 13, false, false, false, QColor(0, 0, 0)));
    c.insertBlock(); // the document ends with an empty paragraph

    const QByteArray rtf = FWriteRtf(doc);
    QTextDocument back;
    back.setDefaultFont(doc.defaultFont());
    const RtfText::TReadInfo info = FReadRtf(back, rtf);
    QVERIFY(info.wasRtf && !info.truncated);
    QCOMPARE(dump(back), dump(doc));
    QCOMPARE(back.blockCount(), 6);
    // Writing again gives the same bytes.
    QCOMPARE(FWriteRtf(back), rtf);

    QTextDocument empty;
    QTextDocument emptyBack;
    FReadRtf(emptyBack, FWriteRtf(empty));
    QCOMPARE(emptyBack.blockCount(), 1);
    QCOMPARE(emptyBack.toPlainText(), QString());
}

void TestRtf::familiesWithoutFoundry()
{
    // A family this system tells apart by its foundry is written as readers
    // know it.
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Nimbus Roman [urw]")});
    c.insertText(QStringLiteral("texte"), f);
    const QByteArray rtf = RtfText::FWriteRtf(doc);
    QVERIFY(rtf.contains("Nimbus Roman;"));
    QVERIFY(!rtf.contains("[urw]"));
}

void TestRtf::pastedRichTextSurvivesASave()
{
    // A heading, a list, a table and a link pasted from a browser: what a
    // topic holds is there after a save and a reload; the table and the
    // link are said to have been dropped, once.
    TestSupport::ScriptedScope scope;
    TRichEdit edit;
    auto *data = new QMimeData;
    data->setHtml(QStringLiteral("<h1>Titre</h1><p align=\"center\">Un <b>gras</b> et <a href=\"https://x\">lien</a></p>"
                                 "<ul><li>pomme</li><li>poire</li></ul><ol><li>premier</li><li>second</li></ol>"
                                 "<table><tr><td>c1</td><td>c2</td></tr><tr><td>c3</td><td>c4</td></tr></table>"));
    data->setText(QStringLiteral("Titre Un gras et lien"));
    QApplication::clipboard()->setMimeData(data);
    scope.prompts.answer(Platform::Ok);
    edit.paste();
    QCOMPARE(scope.prompts.texts().size(), 1);
    QVERIFY(scope.prompts.texts().first().contains(QStringLiteral("tableaux, liens")));
    QTextDocument back;
    back.setDefaultFont(edit.document()->defaultFont());
    RtfText::FReadRtf(back, RtfText::FWriteRtf(*edit.document()));
    const QStringList paragraphs = back.toPlainText().split(u'\n');
    QVERIFY2(paragraphs.contains(QString::fromUtf8("• pomme")), qPrintable(back.toPlainText()));
    QVERIFY(paragraphs.contains(QStringLiteral("2. second")));
    QVERIFY(paragraphs.contains(QStringLiteral("c1\tc2")) && paragraphs.contains(QStringLiteral("c3\tc4")));
    const QTextBlock title = back.findBlock(0);
    QCOMPARE(title.text(), QStringLiteral("Titre"));
    QVERIFY(title.begin().fragment().charFormat().fontPointSize() > back.defaultFont().pointSizeF() + 2);
    QVERIFY(title.begin().fragment().charFormat().fontWeight() >= QFont::Bold);
    const QTextBlock line = back.findBlock(back.toPlainText().indexOf(QStringLiteral("Un gras")));
    QVERIFY(line.blockFormat().alignment() & Qt::AlignHCenter);
    QTextCursor bold(&back);
    bold.setPosition(back.toPlainText().indexOf(QStringLiteral("gras")) + 1);
    QVERIFY(bold.charFormat().fontWeight() >= QFont::Bold);
    CHECK_PROMPTS_DONE(scope);
}

void TestRtf::writerLineLayout()
{
    QTextDocument doc;
    doc.setDefaultFont(QFont(QStringLiteral("Arial"), 13));
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("Manuel"));
    c.insertBlock();
    c.insertText(QStringLiteral("@_0_voir_aussi_@"), fmt("Arial", 13, false, false, false, QColor(0, 128, 0)));
    const QByteArray rtf = FWriteRtf(doc);
    QVERIFY(!rtf.contains("\r\r") && rtf.count("\n") == rtf.count("\r\n"));
    const QList<QByteArray> lines = rtf.split('\n');
    QCOMPARE(lines.size(), 6); // 5 lines and the empty rest after the last CR LF
    QVERIFY(lines[0].startsWith("{\\rtf1\\ansi"));
    QVERIFY(lines[0].contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}"));
    QVERIFY(!lines[0].contains("\\fcharset1"));
    QCOMPARE(lines[1], QByteArray("{\\colortbl ;\\red0\\green128\\blue0;}\r"));
    QCOMPARE(lines[2], QByteArray("\\deflang1036\\pard\\plain\\f0\\fs26 Manuel\\par\r"));
    QCOMPARE(lines[3], QByteArray("\\pard\\plain\\f0\\fs26\\cf1 @_0_voir_aussi_@\\par\r"));
    QCOMPARE(lines[4], QByteArray("}\r"));
    // The gauge's length of a topic not parsed: as the document counts it.
    c.insertBlock();
    c.insertText(QString::fromUtf8("Été {x} \\ a\tb ñ"));
    QCOMPARE(RtfText::FTextLength(FWriteRtf(doc)), qint64(doc.characterCount() - 1));
}

void TestRtf::classicRichEditFile()
{
    QTextDocument doc;
    FReadRtf(doc, QByteArray(kClassic));
    QCOMPARE(dump(doc), QStringList({"PL", "  [Arial|13|---|auto] Manuel", "PL",
                                     "  [Arial|13|---|#008000] @_0_voir_aussi_@"}));
}

// A page written by hand or by a word processor, with indented code lines,
// a hanging indent and spacing: typed into and saved, it keeps them.
void TestRtf::indentsAndSpacingSurviveAnEdit()
{
    const QByteArray page = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fmodern Courier New;}}\r\n"
                            "\\pard\\qc\\plain\\f0\\fs32\\b Titre\\par\r\n"
                            "\\pard\\plain\\sa120\\f0\\fs22 Texte.\\par\r\n"
                            "\\pard\\plain\\sa60\\li284\\f1\\fs20 build/kivhc X.HPJ\\par\r\n"
                            "\\pard\\fi-360\\li360\\sb40 \\'b7\\tab Point\\par\r\n"
                            "\\pard Fin\\par}";
    QTextDocument doc;
    FReadRtf(doc, page);
    QTextBlock code = doc.findBlockByNumber(2);
    QVERIFY(code.blockFormat().leftMargin() > 10); // shown indented
    QTextCursor c(code);
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText(QStringLiteral(" -o Y"));
    c.insertBlock(); // Enter: the next line is a code line too
    c.insertText(QStringLiteral("build/kivhc Z.HPJ"));
    const QByteArray saved = FWriteRtf(doc);
    for (const char *expected : {"\\pard\\qc\\plain", "\\pard\\sa120\\plain", "\\pard\\li284\\sa60\\plain\\f2\\fs20 build/kivhc X.HPJ -o Y\\par",
                                 "\\pard\\li284\\sa60\\plain\\f2\\fs20 build/kivhc Z.HPJ\\par", "\\pard\\li360\\fi-360\\sb40\\plain",
                                 "\\pard\\plain\\f2\\fs20 Fin"})
        QVERIFY2(saved.contains(expected), qPrintable(QByteArray(expected) + '\n' + saved));
    // Read again, written again: the same bytes.
    QTextDocument back;
    FReadRtf(back, saved);
    QCOMPARE(FWriteRtf(back), saved);
    // Copied into another page: the paste keeps them too.
    QTextDocument pasted;
    RtfText::FKeepWhatATopicHolds(back, pasted);
    QVERIFY(FWriteRtf(pasted).contains("\\pard\\li284\\sa60\\plain\\f2\\fs20 build/kivhc Z.HPJ"));
}

void TestRtf::foreignRtf_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("word processor")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}"
                      "{\\f1{\\*\\panose 02040503050406030204}Cambria;}}{\\*\\generator Msftedit;}"
                      "{\\info{\\author Moi}}{\\stylesheet{\\s0 Normal;}}\\viewkind4\\uc1\\pard\\sa200\\qc"
                      "\\f0\\fs22 Caf\\'e9 {\\b gras\\b0  puis} {\\i\\f1 it}\\ulnone\\par\n"
                      "\\pard\\ul souligne\\ulnone  non\\par}")
        << QStringList({"PC", "  [Calibri|11|---|auto] Café ", "  [Calibri|11|b--|auto] gras",
                        "  [Calibri|11|---|auto]  puis ", "  [Cambria|11|-i-|auto] it", "PL",
                        "  [Calibri|11|--u|auto] souligne", "  [Calibri|11|---|auto]  non"});
    QTest::newRow("unicode and fallbacks")
        << QByteArray("{\\rtf1{\\fonttbl{\\f0 Arial;}}\\uc1 \\u-3971?x\\uc2\\u8364\\'80\\'80y{\\uc0\\u233 z}\\u233?}")
        << QStringList({"PL", QString::fromUtf8("  [Arial|12|---|auto] \uf07dx€y") + QStringLiteral("éz") + QString::fromUtf8("é")});
    QTest::newRow("code page of the font")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 Arial Cyr;}{\\f1\\fcharset0 Arial;}}"
                      "\\f0 \\'cf\\'f0\\'e8\\f1 \\'e9}")
        << QStringList({"PL", QString::fromUtf8("  [Arial Cyr|12|---|auto] При"),
                        QString::fromUtf8("  [Arial|12|---|auto] é")});
    QTest::newRow("binary data, pictures and fields")
        << QByteArray("{\\rtf1{\\pict\\wmetafile8 0102}a\\bin3 {}xb{\\field{\\*\\fldinst HYPERLINK x}"
                      "{\\fldrslt lien}}\\~\\-\\_\\emdash}")
        << QStringList({"PL", QString::fromUtf8("  [%1|12|---|auto] ablien\u00a0\u2011\u2014")});
    QTest::newRow("groups restore state")
        << QByteArray("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;}{\\b\\cf1 r{\\i x}}y\\line z}")
        << QStringList({"PL", "  [%1|12|b--|#ff0000] r", "  [%1|12|bi-|#ff0000] x",
                        QString::fromUtf8("  [%1|12|---|auto] y\u2028z")});
}

void TestRtf::foreignRtf()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QStringList, expected);
    QTextDocument doc;
    FReadRtf(doc, rtf);
    for (QString &line : expected)
        line.replace(QStringLiteral("%1"), doc.defaultFont().family());
    QCOMPARE(dump(doc), expected);
}

void TestRtf::plainTextInput()
{
    QTextDocument doc;
    const RtfText::TReadInfo info = FReadRtf(doc, QByteArray("Ligne \xe9\r\nDeux\r\n\x1a garbage"));
    QVERIFY(!info.wasRtf);
    QCOMPARE(doc.toPlainText(), QString::fromUtf8("Ligne é\nDeux"));
}

void TestRtf::randomAndTruncatedInput()
{
    // Truncations of a real file and random RTF-like bytes: no crash, no
    // hang, and the text that was read is kept.
    QTextDocument doc;
    const QByteArray classic(kClassic);
    for (int cut = 0; cut <= classic.size(); ++cut)
        FReadRtf(doc, classic.left(cut));
    FReadRtf(doc, classic.left(classic.indexOf("\r\n\\par ")));
    QVERIFY(doc.toPlainText().contains(QStringLiteral("Manuel")));

    QRandomGenerator rng(2026);
    const QByteArray pieces[] = {"{", "}", "\\", "\\par ", "\\'e9", "\\'", "\\u-", "\\u65", "\\bin",
                                 "\\bin99999999 ", "\\*", "\\fonttbl", "\\colortbl", "\\f", "\\fs-5",
                                 "\\cf99", ";", "text", "\\pict", "\\uc5", "\\fcharset128", "\r\n",
                                 "\\b0", "\\ulnone", "\\qc", "\\line", QByteArray(1, '\0'), "\xff",
                                 "\\fs99999999999999999", "\\ansicpg932", "\\'8", "{\\rtf1"};
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = "{\\rtf1";
        const int n = int(rng.bounded(120));
        for (int i = 0; i < n; ++i)
            bytes += rng.bounded(8) == 0 ? QByteArray(1, char(rng.bounded(256)))
                                         : pieces[rng.bounded(int(std::size(pieces)))];
        FReadRtf(doc, bytes);
        // What was read can always be written and read again identically.
        const QByteArray again = FWriteRtf(doc);
        QTextDocument back;
        FReadRtf(back, again);
        QCOMPARE(FWriteRtf(back), again);
    }
    // Deep nesting.
    FReadRtf(doc, "{\\rtf1" + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "}");
    QCOMPARE(doc.toPlainText(), QStringLiteral("deep"));
}

KIV_TEST(TestRtf)
#include "tst_rtf.moc"
