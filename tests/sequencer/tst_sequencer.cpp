#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "platform/Paths.h"
#include "sequencer/Actions.h"
#include "sequencer/Seq.h"
#include "sequencer/Startup.h"

#include <QWidget>

using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

// A main window that records what start-up asks of it.
class FakeWindow : public TMainWindowPort {
public:
    QStringList calls;
    quint8 failCategory = 0;
    TErrorContext ctx;
    QWidget w;

    TErrorContext &FInitUnit(bool, bool, quint8) override
    {
        calls << "FInitUnit";
        ctx.Category = 0;
        return ctx;
    }
    TErrorContext &FInit(bool, bool, quint8, TConfBlock *conf) override
    {
        calls << "FInit";
        ctx.Category = conf ? failCategory : 8;
        return ctx;
    }
    TErrorContext &FInitDisplay(TConfBlock *) override
    {
        calls << "FInitDisplay";
        return ctx;
    }
    void showMainMaximized() override { calls << "show"; }
    void enableStatusTimer() override { calls << "timer"; }
    void refreshFontLists(const QStringList &fonts) override { calls << QStringLiteral("fonts %1").arg(fonts.size()); }
    QWidget *widget() override { return &w; }
    QWidget *topicPanel() override { return &w; }
    // The rest of the window is not used by these tests.
    TDisplayContext d;
    TCPrjList list;
    const TDisplayContext &display() const override { return d; }
    TCPrjList &projectList() override { return list; }
    QString newPageText() const override { return {}; }
    QString FrmFShowSelTopic() override { return {}; }
    TErrorContext &FrmFSelTextColor(QColor *) override { return ctx; }
    void FrmFSelFontName() override {}
    void FrmFSelFontSize() override {}
    void FrmFSetParAlignment(Qt::Alignment) override {}
    void FrmFSetTextStyle(int) override {}
    void FrmFUSetTextStyle(int) override {}
    void PMarkModified() override {}
    void PPaintColor(const QColor &) override {}
    int FSelectedIndex() const override { return 0; }
    int FTopicCount() const override { return 0; }
    QString FSelText() const override { return {}; }
    bool FRunSoftConf(TConfBlock *) override { return false; }
    bool FRunPrjConf(TConfBlock *) override { return false; }
    bool FRunTitles(int, const QString &, TConfBlock *) override { return false; }
    void PShowFindDialog(bool) override {}
};

// Prompts that post and step from inside a box, as a click or a tick that
// arrives while a modal box is open would.
class NestingPrompts : public Platform::ScriptedPrompts {
public:
    Platform::Button messageBox(Platform::BoxIcon icon, const QString &text, Platform::Buttons buttons,
                                const QString &caption) override
    {
        Seq::PPostCmd(CmdSavePrj, CatApp);
        Seq::PSeqStep();
        stateInside = Seq::FGetSeqState();
        return ScriptedPrompts::messageBox(icon, text, buttons, caption);
    }
    quint8 stateInside = 255;
};

void tick() { Seq::timer()->PCAllBack(); }

void post(quint8 cmd, quint8 cat)
{
    Seq::PPostCmd(cmd, cat);
    Seq::PSeqStep();
}

} // namespace

class TestSequencer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void slotRules();
    void startUpOneStatePerTick();
    void startUpFailure();
    void commandDuringStartUpIsConsumed();
    void tickPeriodSetting_data();
    void tickPeriodSetting();
    void idleDispatch();
    void editingCommandsRunOneStepLater();
    void nestedStepReturnsAtOnce();
    void exitWritesSettingsOrStays();
    void realTimerDrivesStartUp();
    void commandLine();
    void firstStartAndPoolSize();
    void helpFileOpened();

private:
    void startUp();

    std::unique_ptr<TestSupport::Sandbox> m_box;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    FakeWindow m_window;
    int m_quitCode = -1;
};

void TestSequencer::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Startup::PInitUnitsAtLoad();
    Startup::setQuitHandler([this](int code) { m_quitCode = code; });
}

void TestSequencer::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    m_window.calls.clear();
    m_window.failCategory = 0;
    m_quitCode = -1;
    Startup::setMainWindow(&m_window);
    Startup::VGSwitches = TStartSwitches{};
    Globale::VGStartPrjName.clear();
    Seq::InitUnit();
    Seq::timer()->stop(); // tests tick by hand
}

void TestSequencer::cleanup()
{
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

void TestSequencer::startUp()
{
    for (int i = 0; i < 5; ++i)
        tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
}

void TestSequencer::slotRules()
{
    TCmdRec rec;
    QVERIFY(!Seq::FGetCmd(rec));
    Seq::PPostCmd(CmdSavePrj, CatApp);
    Seq::PPostCmd(CmdExit, CatApp); // dropped: one is pending
    QVERIFY(Seq::FGetCmd(rec));
    QCOMPARE(rec.Command, quint8(CmdSavePrj));
    QCOMPARE(rec.Category, quint8(CatApp));
    QVERIFY(rec.Pending);
    QVERIFY(Seq::FDoneCmd(rec));
    QVERIFY(!rec.Pending);
    QVERIFY(!Seq::FGetCmd(rec));
    QVERIFY(!Seq::FDoneCmd(rec));

    Seq::PSetSeqState(7, 3);
    QCOMPARE(Seq::FGetSeqState(3), quint8(7));
    QCOMPARE(Seq::FGetSeqState(0), quint8(SeqInitUnits));
    Seq::PSetSeqState(9, 4); // out of the table: ignored
    QCOMPARE(Seq::FGetSeqState(4), quint8(0));
    Seq::PSetSeqState(0, 3);
}

void TestSequencer::startUpOneStatePerTick()
{
    const quint8 expected[] = {SeqLoadSettings, SeqShowMain, SeqEnableMain, SeqRefreshFonts, SeqIdle};
    QStringList callsAfter[5];
    for (int i = 0; i < 5; ++i) {
        tick();
        QCOMPARE(Seq::FGetSeqState(), expected[i]);
        callsAfter[i] = m_window.calls;
    }
    QCOMPARE(callsAfter[0], QStringList({"FInitUnit", "FInit"}));
    QVERIFY(!callsAfter[1].contains("show"));
    QVERIFY(callsAfter[2].contains("show")); // shown on the third tick
    QCOMPARE(m_window.calls.mid(2, 3), QStringList({"FInitDisplay", "show", "timer"}));
    QVERIFY(m_window.calls.last().startsWith("fonts "));
    QCOMPARE(Globale::PConf->WinFntList->size() <= Globale::PConf->PIni->NB_FNT, true);
    // Ticks in idle change nothing.
    tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QCOMPARE(m_quitCode, -1);
}

void TestSequencer::startUpFailure()
{
    m_window.failCategory = 8;
    tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqInitFailed));
    m_scope->prompts.answer(Platform::Ok);
    tick();
    QCOMPARE(m_scope->prompts.texts(), QStringList{"Application FAIL !"});
    QCOMPARE(m_scope->prompts.records().first().icon, Platform::BoxIcon::Error);
    QCOMPARE(m_quitCode, 1);
    QVERIFY(!Seq::timer()->isActive());
}

void TestSequencer::commandDuringStartUpIsConsumed()
{
    tick();
    post(CmdSavePrj, CatApp); // taken by the settings step, which it does not disturb
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqShowMain));
    TCmdRec rec;
    QVERIFY(!Seq::FGetCmd(rec));
    for (int i = 0; i < 3; ++i)
        tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
}

void TestSequencer::tickPeriodSetting_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("pool");
    QTest::newRow("none") << QByteArray() << 100 << 60;
    QTest::newRow("500") << QByteArray("[Config]\r\nSEQ_T=500\r\n") << 500 << 60;
    QTest::newRow("zero") << QByteArray("[Config]\r\nSEQ_T=0\r\nAUTO_RE_NB=0\r\nAUTO_RE_TS=-3\r\n") << 100 << 60;
    QTest::newRow("pool") << QByteArray("[Config]\r\nAUTO_RE_NB=12\r\n") << 100 << 12;
}

void TestSequencer::tickPeriodSetting()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, interval);
    QFETCH(int, pool);
    if (!settings.isEmpty()) {
        QDir().mkpath(m_box->path("config"));
        QVERIFY(writeFile(m_box->path("config/kivhelp.INI"), settings));
    }
    tick();
    tick();
    QCOMPARE(Seq::timer()->interval(), interval);
    QCOMPARE(Globale::PConf->PIni->AUTO_RE_NB, pool);
    QVERIFY(Globale::PConf->PIni->AUTO_RE_TS > 0 && Globale::PConf->PIni->AUTO_RE_TF > 0);
    Seq::timer()->stop();
}

void TestSequencer::idleDispatch()
{
    startUp();
    // Nothing happens for the menu opening, unknown numbers or ticks.
    for (quint8 cmd : {quint8(CmdConfMenu), quint8(1), quint8(10), quint8(47), quint8(200)}) {
        post(cmd, CatApp);
        QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
        TCmdRec rec;
        QVERIFY(!Seq::FGetCmd(rec));
    }
    // Project settings with no project: a plain box, and still idle.
    m_scope->prompts.answer(Platform::Ok);
    post(CmdPrjConf, CatApp);
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QCOMPARE(m_scope->prompts.texts(), QStringList{"Veuillez d'abord ouvrir un projet !"});
    QCOMPARE(m_scope->prompts.records().first().icon, Platform::BoxIcon::None);

    // Each application command is taken to its state; the action runs in
    // the same step and the sequencer is idle again afterwards.
    QCOMPARE(Seq::FStateOfCommand(CmdNewPrj), quint8(SeqNewPrj));
    QCOMPARE(Seq::FStateOfCommand(CmdOpenLastPrj), quint8(SeqOpenLastPrj));
    QCOMPARE(Seq::FStateOfCommand(CmdViewHlp), quint8(SeqViewHlp));
    QCOMPARE(Seq::FStateOfCommand(CmdExit), quint8(SeqExit));
    QCOMPARE(Seq::FStateOfCommand(CmdTick), quint8(SeqIdle));
    post(CmdSavePrj, CatApp);
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqSavePrj));
    m_scope->prompts.answer(Platform::Ok); // no project to save
    tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));

    // The dialog states go back through the status timer and font lists.
    post(CmdSoftConf, CatApp);
    tick();
    m_window.calls.clear();
    tick();
    tick();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QCOMPARE(m_window.calls.size(), 2);
}

void TestSequencer::editingCommandsRunOneStepLater()
{
    startUp();
    post(CmdBoldOn, CatEdit);
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqEdit));
    TCmdRec rec;
    QVERIFY(Seq::FGetCmd(rec)); // still pending
    QCOMPARE(rec.Command, quint8(CmdBoldOn));
    Seq::PPostCmd(CmdItalicOn, CatEdit); // dropped: the first still waits
    QVERIFY(Seq::FGetCmd(rec));
    QCOMPARE(rec.Command, quint8(CmdBoldOn));
    QVERIFY(m_scope->prompts.records().isEmpty());
    // The next step, whoever makes it, carries out the waiting command.
    m_scope->prompts.answer(Platform::Ok);
    post(CmdItalicOn, CatEdit);
    QCOMPARE(m_scope->prompts.texts(), QStringList{"Pas de Projet en cours !"});
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QVERIFY(!Seq::FGetCmd(rec));
}

void TestSequencer::nestedStepReturnsAtOnce()
{
    startUp();
    NestingPrompts nesting;
    Platform::setPrompts(&nesting);
    nesting.answer(Platform::Ok);
    post(CmdPrjConf, CatApp); // shows a box while the step runs
    Platform::setPrompts(&m_scope->prompts);
    QVERIFY(nesting.unexpected().isEmpty());
    QCOMPARE(nesting.stateInside, quint8(SeqIdle)); // the nested step did nothing
    TCmdRec rec;
    QVERIFY(!Seq::FGetCmd(rec)); // and the nested post was dropped
    QVERIFY(!Seq::FBusy());
}

void TestSequencer::exitWritesSettingsOrStays()
{
    startUp();
    // A modified project: Cancel keeps the program running.
    Globale::PConf->PPrj->PrjState = PrjModified;
    m_scope->prompts.answer(Platform::Cancel);
    post(CmdExit, CatApp);
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqExit));
    tick();
    QCOMPARE(m_scope->prompts.texts(), QStringList{QString::fromUtf8("Un projet est déjà ouvert. Voulez-vous Sauvegarder ?")});
    QCOMPARE(m_scope->prompts.records().first().buttons, Platform::Yes | Platform::No | Platform::Cancel);
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QCOMPARE(m_quitCode, -1);
    // The first start wrote the settings once; Cancel wrote nothing more.
    const QByteArray firstStart = readFile(m_box->path("config/kivhelp.INI"));
    QVERIFY(firstStart.contains("\r\nBACKUP_PERIOD=2\r\n"));

    // No project: no question; the settings are written and the program ends.
    Globale::PConf->PPrj->PrjState = PrjNone;
    Globale::PConf->PIni->BACKUP_PERIOD = 7;
    post(CmdExit, CatApp);
    tick();
    QCOMPARE(m_quitCode, 0);
    QVERIFY(readFile(m_box->path("config/kivhelp.INI")).contains("\r\nBACKUP_PERIOD=7\r\n"));
}

void TestSequencer::firstStartAndPoolSize()
{
    // The first start copies the sample into the user's projects folder,
    // not beside the program; a sample the user deleted stays deleted.
    const QString projects = QDir::homePath() + QStringLiteral("/KivHelp/");
    QDir(projects + "Kivhelp").removeRecursively();
    QFile::remove(m_box->path("config/kivhelp.INI"));
    startUp();
    QCOMPARE(Globale::PConf->PIni->DIRPATH.get(), projects);
    QVERIFY(QFileInfo(projects + "Kivhelp/Kivhelp.PRJ").isFile());
    QVERIFY(!QFileInfo::exists(QCoreApplication::applicationDirPath() + "/Kivhelp"));
    QVERIFY(QDir(projects + "Kivhelp").removeRecursively());
    // The old editor pool's size, beyond what it held, is brought into range.
    QVERIFY(TestSupport::writeFile(m_box->path("config/kivhelp.INI"), "[Config]\r\nAUTO_RE_NB=500\r\n"));
    Seq::InitUnit();
    Seq::timer()->stop();
    startUp();
    QVERIFY(!QFileInfo::exists(projects + "Kivhelp"));
    QCOMPARE(Globale::PConf->PIni->AUTO_RE_NB, 100);
}

void TestSequencer::realTimerDrivesStartUp()
{
    Seq::InitUnit();
    QVERIFY(Seq::timer()->isActive());
    QCOMPARE(Seq::timer()->interval(), 100);
    QTRY_COMPARE_WITH_TIMEOUT(Seq::FGetSeqState(), quint8(SeqIdle), 10000);
    QVERIFY(m_window.calls.contains("show"));
    Seq::timer()->stop();
}

void TestSequencer::commandLine()
{
    using Startup::FParseCommandLine;
    auto cl = FParseCommandLine({});
    QVERIFY(!cl.switches.Active && !cl.switches.Trace);
    QCOMPARE(cl.switches.Destination, quint8(1));
    cl = FParseCommandLine({"D", "O", "M"});
    QVERIFY(cl.switches.Active && cl.switches.Trace);
    QCOMPARE(cl.switches.Destination, quint8(0));
    QVERIFY(cl.startProject.isEmpty() && cl.missingFile.isEmpty());
    cl = FParseCommandLine({"d", "o", "m"}); // case matters
    QVERIFY(!cl.switches.Active && !cl.switches.Trace);
    QCOMPARE(cl.switches.Destination, quint8(1));

    QVERIFY(writeFile(m_box->path("Aide.PRJ"), "Aide\r\n"));
    cl = FParseCommandLine({m_box->path("Aide.PRJ")});
    QCOMPARE(cl.startProject, m_box->path("Aide.PRJ"));
    QVERIFY(!cl.switches.Active);
    cl = FParseCommandLine({m_box->path("Absent.PRJ")});
    QVERIFY(cl.startProject.isEmpty());
    QCOMPARE(cl.missingFile, m_box->path("Absent.PRJ"));
    cl = FParseCommandLine({m_box->path()}); // a directory is no project file
    QVERIFY(cl.startProject.isEmpty());
}

void TestSequencer::helpFileOpened()
{
    // "Aide" opens the user's help kept in the projects' folder, else the
    // manual built beside the program or installed with it, else the
    // program's short help.
    const QString projects = m_box->path("projets/"), exe = m_box->path("bin");
    QVERIFY(QDir().mkpath(projects) && QDir().mkpath(exe + "/manual/fr") && QDir().mkpath(m_box->path("share/kivhelp")));
    QCOMPARE(Actions::FProgramHelpFile(projects, exe), projects + "KIVHelp.hlp"); // none: the name said in the message
    QVERIFY(TestSupport::writeFile(m_box->path("share/kivhelp/KIVHelp.hlp"), "?"));
    QCOMPARE(Actions::FProgramHelpFile(projects, exe), m_box->path("share/kivhelp/KIVHelp.hlp"));
    QVERIFY(TestSupport::writeFile(exe + "/manual/fr/Manuel.HLP", "?"));
    QCOMPARE(Actions::FProgramHelpFile(projects, exe), exe + "/manual/fr/Manuel.HLP");
    QVERIFY(TestSupport::writeFile(projects + "KIVHelp.hlp", "?"));
    QCOMPARE(Actions::FProgramHelpFile(projects, exe), projects + "KIVHelp.hlp");
}

KIV_TEST(TestSequencer)
#include "tst_sequencer.moc"
