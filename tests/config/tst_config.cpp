#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/ConfFile.h"
#include "config/Globale.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QRandomGenerator>
#include <cstring>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

QString iniPath(const TestSupport::Sandbox &box) { return box.path("config/kivhelp.INI"); }

// Keys of the [Config] section, in file order.
QStringList keysOf(const QByteArray &bytes)
{
    QStringList keys;
    for (const QByteArray &line : bytes.split('\n')) {
        const int eq = line.indexOf('=');
        if (eq > 0)
            keys << QString::fromLatin1(line.left(eq));
    }
    return keys;
}

struct Small {
    quint8 header[256];
    qint32 value;
};

} // namespace

class TestConfig : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void confFileChecks();
    void programDefaults();
    void projectAndFontDefaults();
    void readReturnsWhetherFileDiffers();
    void readTwoFilesInTurn();
    void readValueForms();
    void recentProjectCount();
    void writeKeepsOrderAndOtherLines();
    void writeFailureKeepsOldFile();
    void fontsBeyondLimit();
    void garbageSettingsFiles();
};

void TestConfig::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
}

void TestConfig::init()
{
    TestSupport::Sandbox box;
    QCOMPARE(Globale::FInit(false, false, 1).Category, quint8(0));
}

void TestConfig::confFileChecks()
{
    auto def = [](quint8 *, int, quint16) -> quint16 { return 0; };
    auto rd = [](Platform::IniFile &, quint8 *, const quint8 *) {};
    auto wr = [](Platform::IniFile &, const quint8 *) {};
    struct Case {
        quint16 rec, frec, num;
        bool withDef, withWrite, withRead;
        quint16 code;
        const char *msg;
    };
    const Case cases[] = {
        {0, 10, 1, true, true, true, 3, "RecSize = 0"},
        {64001, 10, 1, true, true, true, 3, "RecSize = 64001"},
        {300, 0, 1, true, true, true, 3, "FRecSize = 0"},
        {300, 64001, 1, true, true, true, 3, "FRecSize = 64001"},
        {300, 10, 0, true, true, true, 3, "RecNumber = 0"},
        {300, 10, 11, true, true, true, 3, "RecNumber = 11"},
        {300, 10, 1, false, true, true, 5, "DefF"},
        {300, 10, 1, true, false, true, 5, "WriteF"},
        {300, 10, 1, true, true, false, 5, "ReadF"},
        // The reset reaches two bytes past the settings part.
        {300, 43, 1, true, true, true, 3, "RecSize = 300"},
    };
    for (const Case &c : cases) {
        TCConfFile conf;
        const TErrorContext &ctx = conf.FInit(false, false, 1, c.rec, c.frec, c.num,
                                              c.withDef ? TCConfFile::DefFunc(def) : nullptr,
                                              c.withWrite ? TCConfFile::WriteFunc(wr) : nullptr,
                                              c.withRead ? TCConfFile::ReadFunc(rd) : nullptr);
        QCOMPARE(ctx.Category, quint8(6));
        QCOMPARE(ctx.Code, c.code);
        QCOMPARE(ctx.Msg, QString::fromLatin1(c.msg));
        QVERIFY(!conf.ready());
        QVERIFY(!conf.FReadConfFile(QStringLiteral("x"), 0));
        QCOMPARE(conf.context().Category, quint8(3));
        QCOMPARE(conf.context().Code, quint16(3));
        QVERIFY(!conf.FWriteConfFile(QStringLiteral("x"), 0));
        QCOMPARE(conf.context().Category, quint8(3));
    }

    // An exception in the default routine leaves the object unusable.
    TCConfFile failing;
    const TErrorContext &ctx = failing.FInit(
        false, false, 1, 300, 40, 1,
        [](quint8 *, int, quint16) -> quint16 { throw std::runtime_error("x"); }, wr, rd);
    QCOMPARE(ctx.Category, quint8(2));
    QVERIFY(!failing.ready());

    // Two records of a user's own layout, each reset from its defaults.
    TCConfFile two;
    two.FInit(false, false, 1, sizeof(Small) + 2, 4, 2,
              [](quint8 *rec, int index, quint16 f) -> quint16 {
                  std::memset(rec + 256, 0, f + 1);
                  reinterpret_cast<Small *>(rec)->value = 10 + index;
                  return 0;
              },
              wr, rd);
    QVERIFY(two.ready());
    void *p0 = nullptr, *p1 = nullptr;
    QVERIFY(two.FGetPt(0, &p0) && two.FGetPt(1, &p1));
    QCOMPARE(static_cast<Small *>(p1)->value, 11);
    static_cast<Small *>(p1)->value = 99;
    two.FReadConfFile(QStringLiteral("DUMMY"), 1);
    QCOMPARE(static_cast<Small *>(p1)->value, 11);
}

void TestConfig::programDefaults()
{
    const TIniRec *ini = Globale::PConf->PIni;
    const QString dir = QDir::homePath() + QStringLiteral("/KivHelp/");
    QCOMPARE(ini->DIRPATH.get(), dir);
    // Projects go to the user's folder; the compiler is shipped beside the program.
    QCOMPARE(ini->COMPILER.get(), QCoreApplication::applicationDirPath() + QStringLiteral("/kivhc"));
    QCOMPARE(ini->BMP.get(), dir + QStringLiteral("BMP/"));
    QCOMPARE(ini->LASTPROJECT[0].get(), dir + QStringLiteral("Kivhelp/Kivhelp.PRJ"));
    QCOMPARE(ini->LASTPROJECT[1].get(), QString());
    QCOMPARE(ini->NB_LASTPROJECTS, 3);
    QCOMPARE(ini->NB_FNT, 30);
    QCOMPARE(ini->BACKUP_PERIOD, 2);
    QCOMPARE(ini->AUTO_RE_NB, 60);
    QCOMPARE(ini->AUTO_RE_TS, 2000);
    QCOMPARE(ini->AUTO_RE_TF, 1000);
    QCOMPARE(ini->SEQ_T, -1);
    QCOMPARE(ini->COMPIL_POL_T, 100);
    QCOMPARE(ini->COMPIL_TO, 5000);
    QVERIFY(ini->SHOW_ERRORS && !ini->CREATE_CNT && !ini->COPY_CNT);
    QVERIFY(Globale::PConf->WinFntList);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(0));
}

void TestConfig::projectAndFontDefaults()
{
    TestSupport::Sandbox box;
    TPrjRec *prj = Globale::PConf->PPrj;
    prj->ProjectTitle.set("changed");
    prj->PrjDir.set("/somewhere");
    QVERIFY(!Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0));
    QVERIFY(!Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0));
    QCOMPARE(prj->ProjectTitle.get(), QStringLiteral("KIV Help Project"));
    QCOMPARE(prj->HelpCompress.get(), QStringLiteral("NO"));
    QVERIFY(!prj->Copyright.get().isEmpty());
    QCOMPARE(prj->BkColor, 0xFFFFFF);
    QCOMPARE(prj->TitleColor, 0xFFFFFF);
    QVERIFY(!prj->AddTitle && prj->SameTitleFont);
    const TFontsRec *fonts = Globale::PConf->PPrjFonts;
    QCOMPARE(fonts->NbTopics, quint16(0));
    for (const TFontEntry &e : fonts->Entries) {
        QCOMPARE(e.Name.get(), QStringLiteral("system"));
        QCOMPARE(e.Id.get(), QStringLiteral("\\f0"));
        QCOMPARE(e.Size.get(), QStringLiteral("\\fs30"));
        QCOMPARE(e.Typ.get(), QStringLiteral("\\b"));
    }
}

void TestConfig::readReturnsWhetherFileDiffers()
{
    TestSupport::Sandbox box;
    QVERIFY(!Globale::VGGIniProg->FReadConfFile(QString(), 0));
    QCOMPARE(Globale::VGGIniProg->context().Category, quint8(0));
    QVERIFY(writeFile(box.path("same.CFG"), "[Param]\r\nProjectTitle=KIV Help Project\r\nBkColor=16777215\r\n"));
    QVERIFY(!Globale::VGGIniPrj->FReadConfFile(box.path("same.CFG"), 0));
    QVERIFY(writeFile(box.path("one.CFG"), "[Param]\r\nBkColor=0xFF\r\n"));
    QVERIFY(Globale::VGGIniPrj->FReadConfFile(box.path("one.CFG"), 0));
    QCOMPARE(Globale::PConf->PPrj->BkColor, 255);
    QCOMPARE(Globale::VGGIniPrj->fileName(), box.path("one.CFG"));
}

void TestConfig::readTwoFilesInTurn()
{
    TestSupport::Sandbox box;
    QVERIFY(writeFile(box.path("a.CFG"), "[Param]\r\nProjectTitle=Premier\r\nAddTitle=1\r\n"));
    QVERIFY(writeFile(box.path("b.CFG"), "[Param]\r\nCopyright=Second\r\n"));
    TPrjRec *prj = Globale::PConf->PPrj;
    QVERIFY(Globale::VGGIniPrj->FReadConfFile(box.path("a.CFG"), 0));
    QCOMPARE(prj->ProjectTitle.get(), QStringLiteral("Premier"));
    QVERIFY(prj->AddTitle);
    QVERIFY(Globale::VGGIniPrj->FReadConfFile(box.path("b.CFG"), 0));
    QCOMPARE(prj->ProjectTitle.get(), QStringLiteral("KIV Help Project"));
    QVERIFY(!prj->AddTitle);
    QCOMPARE(prj->Copyright.get(), QStringLiteral("Second"));
}

void TestConfig::readValueForms()
{
    TestSupport::Sandbox box;
    QDir().mkpath(box.path("config"));
    QVERIFY(writeFile(iniPath(box), "[config]\r\n"
                                    "dirpath=/data/aide\xe9/\r\n"
                                    "Seq_T=0x1F4\r\n"
                                    "NB_FNT=beaucoup\r\n"
                                    "COMPIL_TO=-7\r\n"
                                    "CREATE_CNT=2\r\n"
                                    "SHOW_ERRORS=0\r\n"
                                    "BMP=" + QByteArray(300, 'b') + "\r\n"));
    QVERIFY(Globale::VGGIniProg->FReadConfFile(QString(), 0));
    const TIniRec *ini = Globale::PConf->PIni;
    QCOMPARE(ini->DIRPATH.get(), QString::fromUtf8("/data/aideé/"));
    QCOMPARE(ini->SEQ_T, 500);
    QCOMPARE(ini->NB_FNT, 30);
    QCOMPARE(ini->COMPIL_TO, -7);
    QVERIFY(ini->CREATE_CNT);
    QVERIFY(!ini->SHOW_ERRORS);
    QCOMPARE(ini->BMP.get(), QString(255, u'b'));
}

void TestConfig::recentProjectCount()
{
    TestSupport::Sandbox box;
    QDir().mkpath(box.path("config"));
    TIniRec *ini = Globale::PConf->PIni;

    QVERIFY(writeFile(iniPath(box), "[Config]\r\nNB_LASTPROJECTS=1\r\nLASTPROJECT1=/p/a.PRJ\r\n"
                                    "LASTPROJECT2=/p/b.PRJ\r\n"));
    Globale::VGGIniProg->FReadConfFile(QString(), 0);
    QCOMPARE(ini->LASTPROJECT[0].get(), QStringLiteral("/p/a.PRJ"));
    QCOMPARE(ini->LASTPROJECT[1].get(), QString());
    QVERIFY(Globale::VGGIniProg->FWriteConfFile(QString(), 0));
    QVERIFY(!readFile(iniPath(box)).contains("LASTPROJECT2=\r\n"));

    // Five recent projects do not fit: reported, the three places kept, and
    // the settings can still be written afterwards.
    QVERIFY(writeFile(iniPath(box), "[Config]\r\nCOMPILER=/bin/hc\r\nNB_LASTPROJECTS=5\r\n"
                                    "LASTPROJECT1=/1\r\nLASTPROJECT2=/2\r\nLASTPROJECT3=/3\r\n"
                                    "LASTPROJECT4=/4\r\n"));
    QVERIFY(!Globale::VGGIniProg->FReadConfFile(QString(), 0));
    QCOMPARE(Globale::VGGIniProg->context().Category, quint8(2));
    QCOMPARE(ini->COMPILER.get(), QStringLiteral("/bin/hc"));
    QCOMPARE(ini->LASTPROJECT[2].get(), QStringLiteral("/3"));
    QCOMPARE(ini->NB_LASTPROJECTS, 3);
    QVERIFY(Globale::VGGIniProg->FWriteConfFile(QString(), 0));

    ini->NB_LASTPROJECTS = 4;
    const QByteArray before = readFile(iniPath(box));
    QVERIFY(!Globale::VGGIniProg->FWriteConfFile(QString(), 0));
    QCOMPARE(Globale::VGGIniProg->context().Category, quint8(2));
    QCOMPARE(readFile(iniPath(box)), before);
}

void TestConfig::writeKeepsOrderAndOtherLines()
{
    TestSupport::Sandbox box;
    QVERIFY(Globale::VGGIniProg->FWriteConfFile(QString(), 0));
    const QByteArray written = readFile(iniPath(box));
    QVERIFY(written.startsWith("[Config]\r\nDIRPATH="));
    QVERIFY(written.endsWith("\r\n"));
    QCOMPARE(keysOf(written),
             QStringList({"DIRPATH", "COMPILER", "BMP", "CREATE_CNT", "COPY_CNT", "NB_FNT",
                          "BACKUP_PERIOD", "AUTO_RE_NB", "AUTO_RE_TS", "AUTO_RE_TF", "SEQ_T",
                          "COMPIL_POL_T", "COMPIL_TO", "SHOW_ERRORS", "REOPEN_LAST", "LASTOPEN", "NB_LASTPROJECTS",
                          "LASTPROJECT1", "LASTPROJECT2", "LASTPROJECT3"}));
    QVERIFY(written.contains("\r\nCREATE_CNT=0\r\n"));
    QVERIFY(written.contains("\r\nSHOW_ERRORS=1\r\n"));
    QVERIFY(written.contains("\r\nSEQ_T=-1\r\n"));

    // A user's comment, an unknown key and another section survive.
    QVERIFY(writeFile(iniPath(box), "; mine\r\n[Other]\r\nA=1\r\n[Config]\r\nSEQ_T=250\r\nMINE=x\r\n"));
    Globale::VGGIniProg->FReadConfFile(QString(), 0);
    Globale::PConf->PIni->BACKUP_PERIOD = 3;
    QVERIFY(Globale::VGGIniProg->FWriteConfFile(QString(), 0));
    const QByteArray again = readFile(iniPath(box));
    QVERIFY(again.startsWith("; mine\r\n[Other]\r\nA=1\r\n[Config]\r\nSEQ_T=250\r\nMINE=x\r\nDIRPATH="));
    QVERIFY(again.contains("\r\nBACKUP_PERIOD=3\r\n"));

    // Project settings and fonts, in the order of their tables.
    QVERIFY(Globale::VGGIniPrj->FWriteConfFile(box.path("p.CFG"), 0));
    QCOMPARE(keysOf(readFile(box.path("p.CFG"))),
             QStringList({"AddTitle", "SameTitleFont", "ProjectTitle", "Copyright", "HelpCompress",
                          "BkColor", "TitleColor"}));
    Globale::PConf->PPrjFonts->NbTopics = 2;
    Globale::PConf->PPrjFonts->Entries[2].Name.set("Arial");
    QVERIFY(Globale::VGGIniPrjFonts->FWriteConfFile(box.path("p.FNT"), 0));
    QCOMPARE(readFile(box.path("p.FNT")),
             QByteArray("[Param]\r\nNbTopics=2\r\n"
                        "[AllTop]\r\nName=system\r\nId=\\f0\r\nSize=\\fs30\r\nTyp=\\b\r\n"
                        "[Top1]\r\nName=system\r\nId=\\f0\r\nSize=\\fs30\r\nTyp=\\b\r\n"
                        "[Top2]\r\nName=Arial\r\nId=\\f0\r\nSize=\\fs30\r\nTyp=\\b\r\n"));
    QVERIFY(Globale::VGGIniPrjFonts->FReadConfFile(box.path("p.FNT"), 0));
    QCOMPARE(Globale::PConf->PPrjFonts->Entries[2].Name.get(), QStringLiteral("Arial"));
}

void TestConfig::writeFailureKeepsOldFile()
{
    TestSupport::Sandbox box;
    QVERIFY(!Globale::VGGIniPrj->FWriteConfFile(box.path("no/such/dir/p.CFG"), 0));
    QCOMPARE(Globale::VGGIniPrj->context().Category, quint8(7));
    QCOMPARE(Globale::VGGIniPrj->context().Code, quint16(12));
    QDir().mkdir(box.path("p.CFG"));
    QVERIFY(!Globale::VGGIniPrj->FWriteConfFile(box.path("p.CFG"), 0));
    QCOMPARE(Globale::VGGIniPrj->context().Msg, QStringLiteral("VIniFile := TIniFile.Create( FileName )"));
    QVERIFY(!Globale::VGGIniPrj->FReadConfFile(box.path("p.CFG"), 0));
    QCOMPARE(Globale::VGGIniPrj->context().Msg, QStringLiteral("VIniFile := TIniFile.Create(FileName)"));
    QCOMPARE(Globale::VGGIniPrj->context().Category, quint8(8));
}

void TestConfig::fontsBeyondLimit()
{
    TestSupport::Sandbox box;
    QVERIFY(writeFile(box.path("big.FNT"), "[Param]\r\nNbTopics=600\r\n[Top500]\r\nName=Last\r\n"));
    QVERIFY(!Globale::VGGIniPrjFonts->FReadConfFile(box.path("big.FNT"), 0));
    QCOMPARE(Globale::VGGIniPrjFonts->context().Category, quint8(2));
    QCOMPARE(Globale::PConf->PPrjFonts->Entries[500].Name.get(), QStringLiteral("Last"));
    QCOMPARE(Globale::PConf->PPrjFonts->NbTopics, quint16(500));
}

void TestConfig::garbageSettingsFiles()
{
    TestSupport::Sandbox box;
    QRandomGenerator rng(77);
    const QByteArray pieces[] = {"[Config]", "[Param]", "NB_LASTPROJECTS=", "NbTopics=", "=", "\r\n",
                                 "\n", "0x", "-", "9999999", "[Top", "]", "\xff\x00\x1a", ";"};
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes;
        const int n = int(rng.bounded(60));
        for (int i = 0; i < n; ++i)
            bytes += rng.bounded(4) == 0 ? QByteArray(int(rng.bounded(5000)), char(rng.bounded(256)))
                                         : pieces[rng.bounded(int(std::size(pieces)))];
        QVERIFY(writeFile(box.path("g.INI"), bytes));
        Globale::VGGIniProg->FReadConfFile(box.path("g.INI"), 0);
        Globale::VGGIniPrj->FReadConfFile(box.path("g.INI"), 0);
        Globale::VGGIniPrjFonts->FReadConfFile(box.path("g.INI"), 0);
        QVERIFY(Globale::PConf->PIni->NB_LASTPROJECTS <= 3);
        QVERIFY(Globale::PConf->PPrjFonts->NbTopics <= 500);
        QVERIFY(Globale::PConf->PIni->DIRPATH.len <= 255);
    }
}

KIV_TEST(TestConfig)
#include "tst_config.moc"
