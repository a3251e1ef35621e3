#include "TestSupport.h"
#include "TestRegistry.h"

#include "compiler/HelpCompiler.h"
#include "compiler/sources/Macros.h"
#include "platform/SafeFile.h"

#include <QRandomGenerator>

class TestMacro : public QObject {
    Q_OBJECT
private slots:
    void checkedAndRepaired();
    void refusedWhenTheViewerWouldFail();
    void inAProject();
    void survivesAnyInput();
};

void TestMacro::checkedAndRepaired()
{
    // What the viewers read differently from what authors wrote: the macro
    // is stored in the form that works; a macro in order is kept as is.
    const struct {
        QByteArray in, out;
        int warnings;
        QList<QByteArray> jumps;
    } cases[] = {
        {" BrowseButtons() ", " BrowseButtons() ", 0, {}},
        {"CB(`id_Exit',`Exit',\" Exit() \")", "CB(`id_Exit',`Exit',\" Exit() \")", 0, {}}, // as the program writes it
        {"JI(`one')", "JI(`',`one')", 1, {"one"}}, // the viewer would read a missing context
        {"CB(\"b\",\"&Go\",\"JI(`x')\")", "CB(\"b\",\"&Go\",\"JI(`',`x')\")", 1, {"x"}},
        {"CBB(\"d3\",\"JI(\x91menu_file\x92)\")", "CBB(\"d3\",\"JI(`',`menu_file')\")", 1, {"menu_file"}}, // Word's quotes
        {"AL(TApp_Icon;TApp_Title,1)", "AL(`TApp_Icon;TApp_Title',1)", 0, {}},
        {"SPC(0xFF,\t0, 0)", "SPC(0xff,0,0)", 0, {}},
        {"Frobnicate(1);jumpid(`',`x>w')", "Frobnicate(1);jumpid(`',`x>w')", 1, {"xw"}},
        {"IfThenElse(IsMark(\"m\"), \"Back()\", `JI(`',`y')')", "IfThenElse(IsMark(\"m\"), \"Back()\", `JI(`',`y')')", 0, {"y"}},
        {"JI(`other.hlp',`z');PopupId(`>w',`p')", "JI(`other.hlp',`z');PopupId(`>w',`p')", 0, {"p"}},
        {"RR(\"my.dll\",\"Beep\",\"U\");Beep(1, 2, 3)", "RR(\"my.dll\",\"Beep\",\"U\");Beep(1, 2, 3)", 0, {}},
        {"JC(`',101);EF(notepad)", "JC(`',101);EF(`notepad')", 0, {}},
        {"SH(`cls',`prog',-1,0,)", "SH(`cls',`prog',-1,0,`')", 0, {}}, // an optional string left empty
    };
    for (const auto &c : cases) {
        const Hlp::TMacroCheck r = Hlp::checkMacro(c.in, {"BEEP"});
        QVERIFY2(r.errors.isEmpty(), qPrintable(c.in + ": " + r.errors.join(u'|')));
        QCOMPARE(r.macro, c.out);
        QCOMPARE(r.rewritten || r.repaired, c.in != c.out); // said only when changed
        QCOMPARE(r.warnings.size(), c.warnings);
        QCOMPARE(r.jumps, c.jumps);
    }
    QCOMPARE(Hlp::checkMacro("RegisterRoutine(`a.dll',`MyRoutine',`SU')").routines, QList<QByteArray>{"MYROUTINE"});
}

void TestMacro::refusedWhenTheViewerWouldFail()
{
    // Calls a viewer crashes on (a missing string read) or skips (a syntax
    // it does not know) are errors; the text is left as written.
    for (const QByteArray &bad : {QByteArray("CB(\"b1\",\"&One\")"), QByteArray("CBB(\"b\")"), QByteArray("RR(`a',`b')"),
                                  QByteArray("IfThen(IsBook())"), QByteArray("JI(`',`x)"), QByteArray("JI(\"x)"),
                                  QByteArray("Back(1)"), QByteArray("SPC(red,0,0)"), QByteArray("IfThen(`x',`Back()')"),
                                  QByteArray("CB(`b',`&Go',JI(`',`x'))"), QByteArray("Back() Next()"), QByteArray("(x)"),
                                  QByteArray("CB(`b',`&Go',`JI(`x'')')"), QByteArray("JI(`',)"), QByteArray("SH(`c',`p',,0)")}) {
        const Hlp::TMacroCheck r = Hlp::checkMacro(bad);
        QVERIFY2(!r.errors.isEmpty(), bad.constData());
        QCOMPARE(r.macro, bad);
    }
}

void TestMacro::inAProject()
{
    // [CONFIG], "!" footnotes, hotspots and buttons are all checked; a
    // JumpId to a context of the file is checked like a jump.
    TestSupport::Sandbox box;
    QVERIFY(TestSupport::writeFile(box.path("t.rtf"),
                                   "{\\rtf1 #{\\footnote # first}!{\\footnote ! Frob()}"
                                   "{\\uldb go}{\\v !JI(`',`nowhere')} {\\f0 \\{button Go,JI(`first')\\}}\\par\\page"
                                   "#{\\footnote # second}Two\\par}"));
    QVERIFY(TestSupport::writeFile(box.path("p.hpj"), "[OPTIONS]\nTITLE=T\n[CONFIG]\nJI(`second')\n[FILES]\nt.rtf\n"));
    Hlp::TCompileResult r = Hlp::compileProject(box.path("p.hpj"));
    QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
    const QString all = r.messages.join(u'\n');
    QVERIFY(all.contains(QStringLiteral("HC4641"))); // Frob, and the two one-argument JI, once
    QCOMPARE(all.count(QStringLiteral("HC4641")), 2);
    QVERIFY(all.contains(QStringLiteral("HC3025")) && all.contains(QStringLiteral("nowhere")));
    QVERIFY(r.hlp.contains("JI(`',`second')"));
    QVERIFY(!r.hlp.contains("JI(`second')"));

    QVERIFY(TestSupport::writeFile(box.path("p.hpj"), "[OPTIONS]\nTITLE=T\n[CONFIG]\nCB(\"b1\",\"&One\")\n[FILES]\nt.rtf\n"));
    r = Hlp::compileProject(box.path("p.hpj"));
    QVERIFY(!r.ok);
    QVERIFY(r.messages.join(u'\n').contains(QStringLiteral("HC4640")));
}

void TestMacro::survivesAnyInput()
{
    QRandomGenerator random(7);
    const QByteArray alphabet = "JIFB()`'\",;:\\ \t0x9aZ_\x91\x92-";
    for (int n = 0; n < 20000; ++n) {
        QByteArray s;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i)
            s += alphabet[random.bounded(int(alphabet.size()))];
        const Hlp::TMacroCheck r = Hlp::checkMacro(s);
        if (r.errors.isEmpty()) // what is stored parses again to itself
            QCOMPARE(Hlp::checkMacro(r.macro).macro, r.macro);
    }
    Hlp::checkMacro(QByteArray(100000, '(')); // deep or long input
    QVERIFY(!Hlp::checkMacro(QByteArray("IfThen(").repeated(100000)).errors.isEmpty());
    Hlp::checkMacro("CB(`a',`b',`" + QByteArray(50, '`') + "')");
}

KIV_TEST(TestMacro)
#include "tst_macro.moc"
