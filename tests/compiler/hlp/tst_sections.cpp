#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/hlp/HlpStructure.h"
#include "compiler/document/Paragraph.h"
#include "compiler/hlp/HlpSections.h"

class TestSections : public QObject {
    Q_OBJECT
private slots:
    void systemRecords();
    void fontTable();
};

void TestSections::systemRecords()
{
    Hlp::TSystemInfo info;
    info.title = "Aide \xe9t\xe9";
    info.copyright = "(c) moi";
    info.hasContents = true;
    info.contentsOffset = 0x1234;
    info.configMacros = {"CB(`id_Exit',`Exit',\" Exit() \")"};
    Hlp::TWindowDef main;
    main.name = "main";
    main.caption = "Aide \xe9t\xe9";
    main.hasScroll = true;
    main.scroll[0] = 255;
    main.scroll[1] = 0;
    main.scroll[2] = 0;
    info.windows = {main};
    const QByteArray sys = Hlp::systemFile(info);
    QCOMPARE(HlpRead::u16(sys, 0), quint16(0x036C));
    QCOMPARE(HlpRead::u16(sys, 2), quint16(33));
    QCOMPARE(HlpRead::u16(sys, 4), quint16(1));
    QCOMPARE(HlpRead::u16(sys, 10), quint16(0));
    // Walk the records: every length lands on the next record.
    QMap<int, QList<QByteArray>> records;
    qsizetype at = 12;
    while (at + 4 <= sys.size()) {
        const int type = HlpRead::u16(sys, at), len = HlpRead::u16(sys, at + 2);
        records[type].append(sys.mid(at + 4, len));
        at += 4 + len;
    }
    QCOMPARE(at, sys.size());
    QCOMPARE(records[1].first(), QByteArray("Aide \xe9t\xe9", 9));
    QCOMPARE(records[3].first().size(), 4);
    QCOMPARE(HlpRead::u32(records[3].first(), 0), 0x1234u);
    QCOMPARE(records[4].size(), 1);
    const QByteArray window = records[6].first();
    QCOMPARE(window.size(), 90);
    QCOMPARE(HlpRead::u16(window, 0) & 0x100, 0x100);
    QCOMPARE(window.mid(12, 5), QByteArray("main", 5));
    QCOMPARE(window.mid(82, 4), QByteArray("\xff\x00\x00\x00", 4));
    QCOMPARE(records[9].first().size(), 10);
}

void TestSections::fontTable()
{
    Hlp::TFontTable fonts;
    QCOMPARE(fonts.face("Arial"), 0);
    QCOMPARE(fonts.face("Times New Roman"), 1);
    QCOMPARE(fonts.face("ARIAL"), 0);
    Hlp::TFontDescriptor plain;
    plain.face = 0;
    plain.halfPoints = 26;
    Hlp::TFontDescriptor green = plain;
    green.colour[1] = 128;
    green.attributes = Hlp::FontBold | Hlp::FontUnderline;
    QCOMPARE(fonts.descriptor(plain), 0);
    QCOMPARE(fonts.descriptor(green), 1);
    QCOMPARE(fonts.descriptor(plain), 0);
    const QByteArray f = fonts.build();
    QCOMPARE(HlpRead::u16(f, 0), quint16(2));
    QCOMPARE(HlpRead::u16(f, 2), quint16(2));
    QCOMPARE(HlpRead::u16(f, 4), quint16(8));
    const int descriptors = HlpRead::u16(f, 6);
    QCOMPARE(descriptors, 8 + 2 * 32);
    QCOMPARE(f.mid(8 + 32, 16), QByteArray("Times New Roman", 16));
    QCOMPARE(f.size(), descriptors + 2 * 11);
    const QByteArray second = f.mid(descriptors + 11, 11);
    QCOMPARE(int(quint8(second[0])), 0x05);
    QCOMPARE(int(quint8(second[1])), 26);
    QCOMPARE(second.mid(5, 3), QByteArray("\x00\x80\x00", 3));
    QCOMPARE(HlpRead::u16(Hlp::TFontTable().build(), 0), quint16(1)); // never without a face
}

KIV_TEST(TestSections)
#include "tst_sections.moc"
