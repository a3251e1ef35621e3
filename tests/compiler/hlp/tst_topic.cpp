#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpParagraph.h"
#include "compiler/hlp/HlpTopic.h"

#include <QRandomGenerator>

namespace {

QByteArray paragraph() { return QByteArray::fromHex("00800000000080000082ff"); }

} // namespace

class TestTopic : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void recordsAcrossBlocks_data();
    void recordsAcrossBlocks();
    void paragraphEncoding();
};

void TestTopic::workedExample()
{
    const QByteArray ld1 = Hlp::textLinkData1(QByteArray::fromHex("008000000000800000e3046d0e378982ff"), 14);
    QCOMPARE(ld1.toHex(), QByteArray("22801c008000000000800000e3046d0e378982ff"));
}

void TestTopic::recordsAcrossBlocks_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::newRow("plain") << false;
    QTest::newRow("LZ77") << true;
}

void TestTopic::recordsAcrossBlocks()
{
    // Text sizes chosen so that records cross blocks, end exactly on a
    // block's end and would start in a block's last 21 bytes. Compressed,
    // runs of one letter expand past a block's 16 KiB limit and random
    // letters fill its 4084 bytes.
    QFETCH(bool, compressed);
    Hlp::TTopicWriter w;
    QList<int> sizes{100, 3900, 4500, 10, 9000, 1, 4000, 60, 2, 300};
    QRandomGenerator rng(5);
    for (int i = 0; i < 40; ++i)
        sizes.append(int(rng.bounded(6000)));
    QList<QByteArray> texts;
    for (int t = 0; t < sizes.size(); ++t) {
        w.beginTopic("Topic " + QByteArray::number(t), t == 3 ? QList<QByteArray>{"Exit()"} : QList<QByteArray>{});
        QByteArray text(sizes[t], char('a' + t % 26));
        if (t % 4 == 1)
            for (char &c : text)
                c = char('a' + rng.bounded(26));
        text.prepend('\0');
        texts.append(text);
        w.addText(paragraph(), text, quint16(qMin<qsizetype>(text.size(), 65535)), t % 5 == 0);
        if (t % 3 == 0)
            w.addText(paragraph(), QByteArray("\0end", 4), 4, false);
        if (t > 0)
            w.linkBrowse(t - 1, t);
    }
    const qsizetype plainSize = w.build(false).size();
    const QByteArray topic = w.build(compressed);
    QCOMPARE(topic.size() % 4096, 0);
    HlpRead::TopicFile reader(topic, compressed);
    for (const qsizetype length : reader.blockLength)
        QVERIFY(length <= 0x4000);
    if (compressed) // the letter runs compress well
        QVERIFY(topic.size() < plainSize / 2);
    const auto records = reader.walk();
    QVERIFY(records.size() > sizes.size());
    QCOMPARE(records.last().next, 0xFFFFFFFFu);
    QCOMPARE(records.last().type, quint8(0x02)); // the terminator
    int topicNo = 0, textNo = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const auto &r = records[i];
        QCOMPARE(r.prev, i == 0 ? 0xFFFFFFFFu : records[i - 1].pos);
        // A record's header lies in the block that it starts in; after a
        // record that ends exactly on a block's end, the next one is
        // addressed in the next block.
        const qint64 off = (qint64(r.pos) - 12) & 0x3FFF;
        QVERIFY2(off + 21 <= reader.blockLength.value((qint64(r.pos) - 12) >> 14), "a record's header crosses a block");
        if (r.type == 0x02 && topicNo < sizes.size()) {
            QCOMPARE(r.offset, w.topicOffset(topicNo));
            QCOMPARE(HlpRead::u32(r.ld1, 12), quint32(topicNo));
            QCOMPARE(r.ld2.left(r.ld2.indexOf('\0') < 0 ? r.ld2.size() : r.ld2.indexOf('\0')),
                     "Topic " + QByteArray::number(topicNo));
            // Browse links land on their own topics.
            QCOMPARE(HlpRead::u32(r.ld1, 4), topicNo == 0 ? 0xFFFFFFFFu : w.topicOffset(topicNo - 1));
            QCOMPARE(HlpRead::u32(r.ld1, 8), topicNo + 1 < sizes.size() ? w.topicOffset(topicNo + 1) : 0xFFFFFFFFu);
            // The next topic header is where the header says.
            qsizetype j = i + 1;
            while (records[j].type != 0x02)
                ++j;
            QCOMPARE(HlpRead::u32(r.ld1, 24), records[j].pos);
            const quint32 nonScroll = HlpRead::u32(r.ld1, 16);
            QCOMPARE(nonScroll == 0xFFFFFFFFu, topicNo % 5 != 0);
            if (nonScroll != 0xFFFFFFFFu)
                QCOMPARE(nonScroll, records[i + 1].pos);
            ++topicNo;
        } else if (r.type == 0x20 && r.ld2 != QByteArray("\0end", 4)) {
            QCOMPARE(r.ld2, texts[textNo++]);
        }
    }
    QCOMPARE(topicNo, sizes.size());
    QCOMPARE(textNo, sizes.size());
    // Block headers: the first record that starts in each block.
    for (qsizetype b = 0; b < topic.size() / 4096; ++b) {
        const quint32 first = HlpRead::u32(topic, b * 4096 + 4);
        if (first != 0xFFFFFFFFu)
            QCOMPARE(qint64(first - 12) >> 14, qint64(b));
    }
}

void TestTopic::paragraphEncoding()
{
    // "Go there." where "there" jumps to "second", all in one font.
    Hlp::TFontTable fonts;
    Hlp::TParagraph p;
    Hlp::TInline go;
    go.text = "Go ";
    Hlp::TInline jump;
    jump.kind = Hlp::TInline::HotspotStart;
    jump.link = Hlp::TInline::Jump;
    jump.context = "second";
    Hlp::TInline there = go;
    there.text = "there";
    Hlp::TInline end;
    end.kind = Hlp::TInline::HotspotEnd;
    Hlp::TInline dot = go;
    dot.text = ".";
    p.items = {go, jump, there, end, dot};
    const Hlp::TEncodedParagraph e = Hlp::encodeParagraph(p, fonts, Platform::CodePage());
    QCOMPARE(Hlp::textLinkData1(e.linkData1, e.topicLength).toHex(),
             QByteArray("22801c008000000000800000e3046d0e378982ff"));
    QCOMPARE(e.linkData2, QByteArray("\0Go \0there\0.\0\0", 14));
    QCOMPARE(fonts.descriptorCount(), 1);

    // Format changes, a macro, a picture, centred with indents.
    Hlp::TParagraph q;
    q.format.align = Hlp::TParagraphFormat::Centre;
    q.format.leftIndent = 72;
    Hlp::TInline bold = go;
    bold.format.attributes = Hlp::FontBold;
    Hlp::TInline macro;
    macro.kind = Hlp::TInline::HotspotStart;
    macro.link = Hlp::TInline::Macro;
    macro.macro = "ExecProgram(\"notepad.exe\",0)";
    Hlp::TInline picture;
    picture.kind = Hlp::TInline::Picture;
    picture.picture = 0;
    q.items = {go, bold, macro, there, end, picture};
    const Hlp::TEncodedParagraph f = Hlp::encodeParagraph(q, fonts, Platform::CodePage());
    QCOMPARE(fonts.descriptorCount(), 2);
    QVERIFY(f.linkData1.startsWith(QByteArray::fromHex("0080000010089180")));
    QVERIFY(f.linkData1.contains(QByteArray::fromHex("c81d00") + "ExecProgram(\"notepad.exe\",0)" + QByteArray(1, '\0')));
    QVERIFY(f.linkData1.contains(QByteArray::fromHex("8622088000000000" "00")));
    // One NUL per command: three font changes, macro, end, picture, par, end.
    QCOMPARE(f.linkData2.count('\0'), 8);
}

KIV_TEST(TestTopic)
#include "tst_topic.moc"
