#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/sources/HpjFile.h"

#include <QRandomGenerator>

class TestHpj : public QObject {
    Q_OBJECT
private slots:
    void projectWrittenByTheProgram();
    void otherSections();
    void survivesAnyInput();
};

void TestHpj::projectWrittenByTheProgram()
{
    const QByteArray text = "[OPTIONS]\r\nTITLE=Aide \xe9t\xe9\r\nROOT=/p/Manuel\r\nCOPYRIGHT=(c) moi\r\nCOMPRESS=NO\r\n"
                            "[WINDOWS]\r\nmain=\"Aide \xe9t\xe9\",(0,0,1280,800),1,(255,0,0),(255,255,255),0\r\n"
                            "[BITMAPS]\r\n/p/BMP/logo.bmp\r\n[CONFIG]\r\nCB(`id_Exit',`Exit',\" Exit() \")\r\n"
                            "[FILES]\r\nT1.RTF\r\nT2.RTF\r\n";
    const Hlp::THpj hpj = Hlp::parseHpj(text);
    QVERIFY(hpj.errors.isEmpty());
    QVERIFY(hpj.warnings.isEmpty());
    QCOMPARE(hpj.options.value("TITLE"), QByteArray("Aide \xe9t\xe9"));
    QCOMPARE(hpj.options.value("ROOT"), QByteArray("/p/Manuel"));
    QVERIFY(hpj.compression() == Hlp::THpj::Compression::None);
    QCOMPARE(hpj.files, QList<QByteArray>({"T1.RTF", "T2.RTF"}));
    QCOMPARE(hpj.bitmaps, QList<QByteArray>{"/p/BMP/logo.bmp"});
    QCOMPARE(hpj.config, QList<QByteArray>{"CB(`id_Exit',`Exit',\" Exit() \")"});
    QCOMPARE(hpj.windows.size(), 1);
    const Hlp::TWindowLine &w = hpj.windows.first();
    QCOMPARE(w.name, QByteArray("main"));
    QCOMPARE(w.caption, QByteArray("Aide \xe9t\xe9"));
    QVERIFY(w.hasScroll && w.hasTitle);
    QCOMPARE(int(w.scroll[0]), 255);
    QCOMPARE(int(w.scroll[1]), 0);
}

void TestHpj::otherSections()
{
    const Hlp::THpj hpj = Hlp::parseHpj("; a comment\n[options]\ncompress = high ; best\nContents=IDH_CONTENTS\n"
                                        "[MAP]\nIDH_A 10\n#define IDH_B 0x20 // B\nbad\nIDH_C=3\n#include <..\\res.hm>\n"
                                        "[ALIAS]\nold=new\n[OPTIONS]\nBMROOT=..\nBMROOT=.\nCOMPRESS=12 Hall Zeck\n"
                                        "[windows]\nproc4=\"Proc, with comma\",(1,2,3,4),0\n"
                                        "[MACROS]\nfile.dat\n[FILES]\na.rtf ; first\n[OPTIONS]\nFTS=x\nREPORT=Yes\n"
                                        "[macros]\nother.dat\n");
    QVERIFY(hpj.compression() == Hlp::THpj::Compression::Lz77);
    QVERIFY(Hlp::parseHpj("[OPTIONS]\nCOMPRESS=maybe\n").compression() == Hlp::THpj::Compression::Unknown);
    QVERIFY(Hlp::parseHpj("[OPTIONS]\nCOMPRESS=0 none\n").compression() == Hlp::THpj::Compression::None);
    QCOMPARE(hpj.options.value("BMROOT"), QByteArray("..,."));
    QCOMPARE(hpj.mapIncludes, (QList<QPair<int, QByteArray>>{{10, "..\\res.hm"}}));
    QCOMPARE(hpj.options.value("CONTENTS"), QByteArray("IDH_CONTENTS"));
    QCOMPARE(hpj.map.size(), 3);
    QCOMPARE(hpj.map[1].second, 0x20);
    QCOMPARE(hpj.map[2], (QPair<QByteArray, qint64>("IDH_C", 3)));
    // Map files as real ones write them: ';' after the number.
    QList<QPair<QByteArray, qint64>> map;
    QVERIFY(Hlp::parseMapLine("IDH_X = 17;", &map) && Hlp::parseMapLine("#define IDH_Y 0x12 ; y", &map));
    QCOMPARE(map, (QList<QPair<QByteArray, qint64>>{{"IDH_X", 17}, {"IDH_Y", 0x12}}));
    // A bad [MAP] line, a section not used (said once), an option not used.
    QCOMPARE(hpj.warnings.size(), 3);
    QCOMPARE(hpj.warnings[0].line, 8);
    QCOMPARE(hpj.warnings[1].line, 20);
    QVERIFY(hpj.warnings[1].text.contains(QStringLiteral("[MACROS]")));
    QCOMPARE(hpj.warnings[2].line, 24);
    QVERIFY(hpj.warnings[2].text.endsWith(QStringLiteral("FTS")));
    QCOMPARE(hpj.alias.value("old"), QByteArray("new"));
    QCOMPARE(hpj.windows.first().caption, QByteArray("Proc, with comma"));
    QVERIFY(!hpj.windows.first().hasScroll);
    QCOMPARE(hpj.files, QList<QByteArray>{"a.rtf"});
    QCOMPARE(Hlp::parseHpj("[OPTIONS]\nTITLE=x\n").errors.size(), 1);

    // Windows as Help Workshop writes them: a COLORREF colour, empty
    // fields, the flags; [FONTS], [BAGGAGE], [BUILDTAGS]; ';' in [CONFIG].
    const Hlp::THpj hcw = Hlp::parseHpj("[WINDOWS]\nmain=\"\",(127,,777,1014),27904,,(r14876671),f3\nbad=\"x\",(1,2),0,(300,0,0)\n"
                                        "[FONTS]\nArial,11=Helv,11\nbroken\n[BAGGAGE]\ndata.bin\n[BUILDTAGS]\ndraft\nDRAFT\n"
                                        "[CONFIG]\nBrowseButtons() ; the buttons\nDB(\"d3\");EB(`d4')\n[FILES]\na.rtf\n");
    QCOMPARE(hcw.windows.size(), 1); // a colour out of range refuses the line
    const Hlp::TWindowLine &main = hcw.windows.first();
    QVERIFY(main.hasPlace[0] && !main.hasPlace[1] && main.hasPlace[3]);
    QCOMPARE(main.place[2], qint16(777));
    QVERIFY(main.hasState && main.state == 27904);
    QVERIFY(!main.hasScroll && main.hasTitle);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(main.title), 3), QByteArray("\xFF\xFF\xE2"));
    QVERIFY(main.onTop && main.autoHeight);
    QCOMPARE(hcw.fonts.size(), 1);
    QCOMPARE(hcw.fonts.first().toFace, QByteArray("Helv"));
    QCOMPARE(hcw.baggage, QList<QByteArray>{"data.bin"});
    QCOMPARE(hcw.buildTags, QList<QByteArray>{"DRAFT"});
    QCOMPARE(hcw.config, (QList<QByteArray>{"BrowseButtons()", "DB(\"d3\");EB(`d4')"}));
    QCOMPARE(hcw.warnings.size(), 2); // the bad window, the bad font line

    // BUILD= expressions.
    bool valid = false;
    QVERIFY(Hlp::buildSelects("~DRAFT", {"FINAL"}, &valid) && valid);
    QVERIFY(!Hlp::buildSelects("~draft", {"DRAFT"}, &valid) && valid);
    QVERIFY(Hlp::buildSelects("A & (B | ~C)", {"A", "C", "B"}, &valid) && valid);
    QVERIFY(!Hlp::buildSelects("A & B | C & D", {"A", "D"}, &valid) && valid);
    for (const QByteArray &bad : {QByteArray("A &"), QByteArray("(A"), QByteArray("A B"), QByteArray("~"), QByteArray("(").repeated(500)}) {
        Hlp::buildSelects(bad, {}, &valid);
        QVERIFY2(!valid, bad.constData());
    }
}

void TestHpj::survivesAnyInput()
{
    QRandomGenerator rng(17);
    const QByteArray pieces[] = {"[", "]", "OPTIONS", "WINDOWS", "MAP", "=", "\"", "(", ")", ",", ";", "\r\n", "\n",
                                 "main", "0x", "#define", "\xff", QByteArray(1, '\0')};
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int n = int(rng.bounded(80));
        for (int i = 0; i < n; ++i)
            bytes += pieces[rng.bounded(int(std::size(pieces)))];
        Hlp::parseHpj(bytes);
    }
    Hlp::parseHpj(QByteArray(1 << 20, 'x'));
}

KIV_TEST(TestHpj)
#include "tst_hpj.moc"
