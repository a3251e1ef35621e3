#include "TestSupport.h"

#include <QUrl>

#include <QScopeGuard>
#include <unistd.h>
#include "TestRegistry.h"

#include "sequencer/Headless.h"
#include "compiler/hlp/HlpStructure.h"
#include "compiler/hlp/HlpEncode.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "helpgen/Compile.h"
#include "fileops/DosCmd.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "project/Insertions.h"
#include "formats/KivHelpTools.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "project/PrjLife.h"

#include <QPlainTextEdit>
#include <QProcess>
#include <QTextBlock>

using namespace KIVHelpTools;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

QString script(const QString &path, const QByteArray &body) { return TestSupport::makeScript(path, body); }

// Text and formatting of every topic, to compare a project with its reload.
QStringList snapshot(TOutlineView *tree)
{
    QStringList out;
    for (int n = 1; n <= Outline::FCount(tree); ++n) {
        TTopic *topic = Outline::FItemAt(tree, n);
        out << QString(Outline::FLevelOf(topic), u'>') + topic->name;
        out << QString::fromLatin1(topic->FBytes());
    }
    return out;
}

} // namespace

class TestBuild : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void wholeProject();
    void ourCompiler();
    void backupPeriods_data();
    void backupPeriods();
    void backupThatCannotRemoveOld();
    void openingRules();
    void deletingDirectories();
    void foreignDirectoriesAreNeverEmptied();
    void compilersThatFail();
    void viewing();

private:
    void newProject(const QString &name);
    // The window's progress line, told each step of a build.
    std::function<void(const QString &)> wait()
    {
        return [this](const QString &step) { m_wait.PShowWait(step, QStringLiteral(". "), 1); };
    }

    std::unique_ptr<TestSupport::Sandbox> m_box;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    THeadless m_rig{QDir::tempPath(), false, QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp")};
    QWidget &m_panel = m_rig.panel;
    TOutlineView &m_tree = m_rig.tree;
    TCWaitFor &m_wait = m_rig.wait;
    TDisplayContext &m_display = m_rig.display;
    TConfBlock *m_conf = m_rig.conf;
};

void TestBuild::initTestCase() { m_conf->WinFntList->append(QStringLiteral("DejaVu Sans")); }

void TestBuild::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    TIniRec *ini = m_conf->PIni;
    ini->DIRPATH.set(m_box->path() + u'/');
    ini->BMP.set(m_box->path("BMP") + u'/');
    ini->BACKUP_PERIOD = 2;
    ini->CREATE_CNT = false;
    ini->COPY_CNT = false;
    ini->SHOW_ERRORS = true;
    ini->COMPIL_POL_T = 20;
    ini->COMPIL_TO = 300;
    QDir().mkdir(m_box->path("BMP"));
    Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0);
    Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0);
}

void TestBuild::cleanup()
{
    FClosePrj(m_conf, m_display);
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

void TestBuild::newProject(const QString &name)
{
    QCOMPARE(FCreatePrj(name, m_conf, m_display).Category, quint8(0));
}

void TestBuild::wholeProject()
{
    TPrjRec *prj = m_conf->PPrj;
    TIniRec *ini = m_conf->PIni;
    ini->CREATE_CNT = true;
    ini->COPY_CNT = true;
    newProject(QStringLiteral("Manuel/v2:x"));
    QCOMPARE(prj->PrjState, quint8(PrjCreated));
    QCOMPARE(prj->PrjName.get(), QStringLiteral("Manuel v2 x"));
    const QString dir = m_box->path("Manuel v2 x");
    QCOMPARE(prj->PrjDir.get(), dir);
    QCOMPARE(prj->PrjFile.get(), dir + QStringLiteral("/Manuel v2 x.PRJ"));
    QVERIFY(QFileInfo(dir + QStringLiteral(".COM")).isDir());

    // Topics: two siblings and a nested one.
    QString name = QStringLiteral("Installation");
    QCOMPARE(FAddTopic(name, &m_tree, m_conf, true).Category, quint8(0));
    name = QString::fromUtf8("Mode d'emploi");
    FAddTopic(name, &m_tree, m_conf, true);
    m_tree.setCurrentItem(Outline::FItemAt(&m_tree, 2));
    TestSupport::addTopic(m_tree, QStringLiteral("Menus"), QStringLiteral("Le menu Fichier"), Outline::FItemAt(&m_tree, 2));

    // Insertions in the root topic.
    m_tree.setCurrentItem(Outline::FItemAt(&m_tree, 1));
    TRichEdit *root = FCurrentControl(&m_tree);
    root->setPlainText(QStringLiteral("Bienvenue. Lire le mode d'emploi puis lancer l'outil. "));
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCursor c(root->document());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("Gras"), bold);
    root->setTextCursor(root->document()->find(QStringLiteral("le mode d'emploi")));
    QString target = QString::fromUtf8("Mode d'emploi");
    QCOMPARE(FAddJump(target, false, &m_tree, true).Category, quint8(0));
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::blue);
    QVERIFY(logo.save(m_box->path("BMP/logo.bmp"), "BMP"));
    c = root->textCursor();
    c.movePosition(QTextCursor::Start);
    root->setTextCursor(c);
    QString bmp = QStringLiteral("logo.bmp");
    QCOMPARE(FAddBmp(bmp, ini->BMP.get(), false, true, &m_tree).Category, quint8(0));
    const QString tool = script(m_box->path("outil.sh"), "exit 0\n");
    root->setTextCursor(root->document()->find(QStringLiteral("lancer l'outil")));
    QString toolPath = tool;
    m_scope->prompts.answer(Platform::Ok); // named alone in the help: said
    QCOMPARE(FAddExec(toolPath, false, &m_tree, true).Category, quint8(0));
    QCOMPARE(m_rig.project.commands,
             QStringList({"{\\uldb le mode d'emploi}{\\v Mode_demploi}", "\\{bmc logo.bmp\\}",
                          "{\\uldb lancer l'outil}{\\v !ExecProgram(\"outil.sh\",0)}"}));
    prj->ProjectTitle.set(QStringLiteral("Aide du Manuel"));
    m_conf->PPrjFonts->Entries[0].Name.set(QStringLiteral("Arial"));

    // Save: every file of the project.
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QCOMPARE(prj->PrjState, quint8(PrjSaved));
    QCOMPARE(prj->PrjSaveCount, quint16(1));
    const QString base = dir + QStringLiteral("/Manuel v2 x");
    QCOMPARE(readFile(base + ".PRJ"), QByteArray("Manuel v2 x\r\nInstallation\r\n\tMenus\r\nMode d'emploi\r\n"));
    for (const char *f : {"/Manuel v2 x.1", "/Installation.2", "/Menus.3", "/Mode d'emploi.4"})
        QVERIFY2(QFile::exists(dir + QString::fromUtf8(f)), f);
    QVERIFY(readFile(base + ".CFG").contains("ProjectTitle=Aide du Manuel\r\n"));
    QVERIFY(readFile(base + ".FNT").startsWith("[Param]\r\nNbTopics=4\r\n[AllTop]\r\nName=Arial\r\n"));
    QCOMPARE(readFile(base + ".CDE"), Platform::toCp1252(m_rig.project.commands.join("\r\n") + "\r\n"));
    const QByteArray hpj = readFile(base + ".HPJ");
    QVERIFY(hpj.contains("[BITMAPS]\r\n" + m_box->path("BMP/logo.bmp").toUtf8() + "\r\n[CONFIG]"));
    QVERIFY(hpj.endsWith("[FILES]\r\nT1.RTF\r\nT2.RTF\r\nT3.RTF\r\nT4.RTF\r\n"));
    QCOMPARE(readFile(base + ".CNT"),
             QByteArray(":Base Manuel v2 x.HLP>main\r\n:Title Manuel v2 x\r\n1 Manuel v2 x=Manuel_v2_x\r\n"
                        "1 Installation=Installation\r\n1 Menus=Menus\r\n1 Mode d'emploi=Mode_demploi\r\n"));

    // Convert: T1.rtf has its footnotes and its markers replaced.
    QCOMPARE(FUpdatePrj(false, true, m_conf, m_display).Category, quint8(0));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    const QList<QByteArray> t1 = readFile(dir + "/T1.rtf").split('\n');
    QCOMPARE(t1[2], QByteArray("#{\\footnote # Manuel_v2_x }\r"));
    QCOMPARE(t1[5], QByteArray("+{\\footnote + 1: 1 }\r"));
    QVERIFY(!readFile(dir + "/T1.rtf").contains("@_"));
    QVERIFY(readFile(dir + "/T1.rtf").contains("\\{bmc logo.bmp\\}"));
    QVERIFY(readFile(dir + "/T1.rtf").contains("{\\uldb le mode d'emploi}{\\v Mode_demploi}"));
    QVERIFY(QFile::exists(dir + "/T4.rtf"));
    QCOMPARE(m_wait.text().left(21), QString::fromUtf8("Projet mis à jour "));

    // Build with a compiler that writes the help file.
    ini->COMPILER.set(script(m_box->path("hc ok.sh"), "printf 'HLP' > \"${1%.*}.HLP\"\n"));
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjCompiled));
    QCOMPARE(readFile(dir + ".COM/Manuel v2 x.HLP"), QByteArray("HLP"));
    QCOMPARE(readFile(dir + ".COM/Manuel v2 x.CNT"), readFile(base + ".CNT"));

    // Close, reopen: every topic, command line, setting and title font back.
    const QStringList before = snapshot(&m_tree);
    QCOMPARE(FClosePrj(m_conf, m_display).Category, quint8(0));
    QCOMPARE(prj->PrjState, quint8(PrjNone));
    QCOMPARE(Outline::FCount(&m_tree), 0);
    QCOMPARE(int(m_rig.project.commands.size()), 0);
    Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0);
    Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0);
    QCOMPARE(FLoadPrj(base + ".PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QCOMPARE(prj->PrjState, quint8(PrjOpened));
    QCOMPARE(snapshot(&m_tree), before);
    QCOMPARE(int(m_rig.project.commands.size()), 3);
    QCOMPARE(prj->ProjectTitle.get(), QStringLiteral("Aide du Manuel"));
    QCOMPARE(m_conf->PPrjFonts->Entries[0].Name.get(), QStringLiteral("Arial"));
    QCOMPARE(m_tree.shownTopic(), Outline::FItemAt(&m_tree, 1));
    QVERIFY(m_rig.editor.isVisibleTo(&m_panel));
}

void TestBuild::backupPeriods_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<QList<int>>("backups");
    QTest::newRow("1") << 1 << QList<int>{2, 3, 4, 5, 6, 7};
    QTest::newRow("2") << 2 << QList<int>{3, 5, 7};
    QTest::newRow("3") << 3 << QList<int>{4, 7};
}

void TestBuild::backupPeriods()
{
    QFETCH(int, period);
    QFETCH(QList<int>, backups);
    m_conf->PIni->BACKUP_PERIOD = period;
    newProject(QStringLiteral("Sauve"));
    const QString file = m_conf->PPrj->PrjFile.get();
    QList<int> seen;
    for (int save = 1; save <= 7; ++save) {
        if (backups.contains(save))
            m_scope->prompts.answer(Platform::Ok);
        const qsizetype boxes = m_scope->prompts.records().size();
        QCOMPARE(FSavePrj(file, m_conf, m_display).Category, quint8(0));
        if (m_scope->prompts.records().size() > boxes) {
            QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Backup ... "));
            seen << save;
            // The backup holds the project as it was before this save.
            QVERIFY(QFile::exists(m_box->path("Sauve.OLD/Sauve.PRJ")));
        }
    }
    QCOMPARE(seen, backups);
    QVERIFY(QFile::exists(file));
}

void TestBuild::backupThatCannotRemoveOld()
{
    m_conf->PIni->BACKUP_PERIOD = 1;
    newProject(QStringLiteral("Verrou"));
    const QString file = m_conf->PPrj->PrjFile.get();
    QVERIFY(FSavePrj(file, m_conf, m_display).Category == 0);
    // A folder of the backup that cannot be emptied (permissions bind
    // only a user other than root).
    if (::geteuid() == 0)
        QSKIP("root may delete anything");
    QVERIFY(QDir().mkpath(m_box->path("Verrou.OLD/sous-dossier")));
    QVERIFY(TestSupport::writeFile(m_box->path("Verrou.OLD/sous-dossier/f"), "x"));
    QFile::setPermissions(m_box->path("Verrou.OLD/sous-dossier"), QFile::ReadOwner | QFile::ExeOwner);
    const auto restore = qScopeGuard([this] {
        QFile::setPermissions(m_box->path("Verrou.OLD/sous-dossier"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    for (int i = 0; i < 4; ++i)
        m_scope->prompts.answer(Platform::Ok);
    const TErrorContext &ctx = FSavePrj(file, m_conf, m_display);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Code, quint16(19));
    QCOMPARE(ctx.Msg, m_box->path("Verrou.OLD"));
    QVERIFY(m_scope->prompts.texts().value(1).startsWith(QString::fromUtf8("L'effacement du répertoire a échoué !\n")));
    QVERIFY(m_scope->prompts.texts().value(1).endsWith(QStringLiteral("sous-dossier")));
    QCOMPARE(m_scope->prompts.texts().value(2), QStringLiteral("Si WinHelp.exe utilise ce projet, veuillez le fermer !"));
    QVERIFY(QFile::exists(file)); // the project directory was not moved
}

void TestBuild::openingRules()
{
    // A project whose first topic differs from its file name; no .COM yet:
    // it is the project of its file (said), saved into that file's names.
    QDir().mkdir(m_box->path("X"));
    QVERIFY(writeFile(m_box->path("X/A.PRJ"), "B\r\n"));
    QVERIFY(writeFile(m_box->path("X/B.1"), "texte"));
    QVERIFY(writeFile(m_box->path("X/A.CDE"), ""));
    m_scope->prompts.answer(Platform::Ok);
    QCOMPARE(FLoadPrj(m_box->path("X/A.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QVERIFY(QFileInfo(m_box->path("X.COM")).isDir());
    QCOMPARE(m_conf->PPrj->PrjFile.get(), m_box->path("X/A.PRJ"));
    QCOMPARE(m_conf->PPrj->PrjName.get(), QStringLiteral("A"));
    QCOMPARE(FSavePrj(m_conf->PPrj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(QFile::exists(m_box->path("X/A.PRJ")) && QFile::exists(m_box->path("X/A.CFG")));
    QVERIFY(!QFile::exists(m_box->path("X/B.PRJ")));
    FClosePrj(m_conf, m_display);

    // Missing outline or command file.
    m_scope->prompts.answer(Platform::Ok);
    const TErrorContext &missing = FLoadPrj(m_box->path("X/Z.PRJ"), m_display, m_conf, Globale::VGGIniPrj);
    QCOMPARE(missing.Msg, QStringLiteral("No File: ") + m_box->path("X/Z.PRJ"));
    QVERIFY(writeFile(m_box->path("X/C.PRJ"), "C\r\n"));
    m_scope->prompts.answer(Platform::Ok);
    QCOMPARE(FLoadPrj(m_box->path("X/C.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Msg,
             m_box->path("X/C.CDE"));

    QVERIFY(FIsBackupPath(QStringLiteral("/h/PROJ.old/PROJ.PRJ")));
    QVERIFY(!FIsBackupPath(QStringLiteral("/h/PROJ/PROJ.OLD")));

    // Creating over an existing project or backup directory.
    QDir().mkdir(m_box->path("Y.OLD"));
    m_scope->prompts.answer(Platform::Ok);
    const TErrorContext &exists = FCreatePrj(QStringLiteral("Y"), m_conf, m_display);
    QCOMPARE(exists.Code, quint16(14));
    QCOMPARE(exists.Msg, m_box->path("Y.OLD"));
    QVERIFY(!QFileInfo::exists(m_box->path("Y")));
}

void TestBuild::deletingDirectories()
{
    QDir().mkpath(m_box->path("D/sub"));
    writeFile(m_box->path("D/a.txt"), "a");
    const TErrorContext &ctx = FDelPrjDir(m_box->path("D"));
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Code, quint16(11));
    QVERIFY(QFileInfo(m_box->path("D/sub")).isDir());
    QDir().rmdir(m_box->path("D/sub"));
    QCOMPARE(FDelPrjDir(m_box->path("D")).Category, quint8(0));
    QVERIFY(!QFileInfo::exists(m_box->path("D")));
    QCOMPARE(FDelPrjDir(m_box->path("D")).Code, quint16(19));
}

void TestBuild::foreignDirectoriesAreNeverEmptied()
{
    // A project file right in a folder holding other things (a home folder).
    QDir().mkdir(m_box->path("maison"));
    writeFile(m_box->path("maison/lettre.txt"), "precious");
    writeFile(m_box->path("maison/Notes.PRJ"), "Notes\r\n");
    writeFile(m_box->path("maison/Notes.1"), "x");
    writeFile(m_box->path("maison/Notes.CDE"), "");
    m_conf->PIni->BACKUP_PERIOD = 0;
    QCOMPARE(FLoadPrj(m_box->path("maison/Notes.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category,
             quint8(0));
    m_scope->prompts.answer(Platform::Ok);
    QCOMPARE(FSavePrj(m_conf->PPrj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(m_scope->prompts.texts().last().startsWith(QStringLiteral("Pas de sauvegarde de secours")));
    QVERIFY(QFile::exists(m_box->path("maison/lettre.txt")));
    QVERIFY(!QFileInfo::exists(m_box->path("maison.OLD")));

    QVERIFY(!FIsOwnProjectDir(m_box->path("maison"), QStringLiteral("Notes"), m_conf->PIni));
    QVERIFY(!FIsOwnProjectDir(QStringLiteral("/"), QStringLiteral("Notes"), m_conf->PIni));
    QVERIFY(!FIsOwnProjectDir(QDir::homePath(), QDir(QDir::homePath()).dirName(), m_conf->PIni));
    QVERIFY(!FIsOwnProjectDir(m_box->path(), QDir(m_box->path()).dirName(), m_conf->PIni));
    QVERIFY(FIsOwnProjectDir(m_box->path("Manuel"), QStringLiteral("manuel"), m_conf->PIni));
    QVERIFY(FIsOwnProjectDir(m_box->path("Manuel.OLD"), QStringLiteral("Manuel"), m_conf->PIni));
    QCOMPARE(FDelPrjDir(QStringLiteral("/")).Code, quint16(19));
    QCOMPARE(FDelPrjDir(m_box->path()).Code, quint16(19)); // the program directory
    QVERIFY(QFile::exists(m_box->path("maison/lettre.txt")));
}

void TestBuild::compilersThatFail()
{
    TIniRec *ini = m_conf->PIni;
    newProject(QStringLiteral("Echec"));
    TPrjRec *prj = m_conf->PPrj;
    QVERIFY(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category == 0);

    ini->COMPILER.set(script(m_box->path("never.sh"), "exit 0\n"));
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    QCOMPARE(KIVHelpTools::context().Msg, m_box->path("Echec/Echec.hlp") + QStringLiteral(" COMPIL FAIL or TimeOut"));
    QCOMPARE(m_wait.text(), QString::fromUtf8("La compilation du projet a échoué OU Time-Out ! "));

    // One that says it failed: known when it ends, not after the wait (a
    // wait of ten minutes here would outlast the test).
    ini->COMPIL_TO = 60000;
    ini->COMPILER.set(script(m_box->path("fails.sh"), "echo 'HC1002: Error: rien' > \"${1%.*}.ERR\"\nexit 3\n"));
    prj->PrjState = PrjSaved;
    m_scope->prompts.answer(Platform::Ok);
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    QCOMPARE(KIVHelpTools::context().Msg, m_box->path("Echec/Echec.hlp") + QStringLiteral(" COMPIL FAIL (3)"));
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("Le compilateur d'aide signale :\nHC1002: Error: rien"));

    // One that hangs past ten times the time-out.
    ini->COMPIL_TO = 50;
    ini->COMPIL_POL_T = 10;
    ini->COMPILER.set(script(m_box->path("hang.sh"), "echo $$ > \"$(dirname \"$0\")/hang.pid\"\nexec sleep 30\n"));
    prj->PrjState = PrjSaved;
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    QProcess::execute(QStringLiteral("kill"), {QString::fromLatin1(readFile(m_box->path("hang.pid")).trimmed())});

    // A compiler that does not exist.
    ini->COMPILER.set(m_box->path("HC31.exe"));
    m_scope->prompts.answer(Platform::Ok);
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(KIVHelpTools::context().Msg, QStringLiteral("No compiler: "));
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Ne peut pas trouver le compilateur d'aide !"));

    // A compiler leaving a help file while an old contents file is published:
    // No keeps it, the viewer's index goes in any case.
    ini->COMPIL_TO = 300;
    ini->COMPILER.set(script(m_box->path("ok.sh"), "printf x > \"${1%.*}.hlp\"\n"));
    writeFile(m_box->path("Echec.COM/Echec.CNT"), "old");
    writeFile(m_box->path("Echec.COM/Echec.GID"), "gid");
    m_scope->prompts.answer(Platform::No);
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjCompiled));
    QVERIFY(QFile::exists(m_box->path("Echec.COM/Echec.CNT")));
    QVERIFY(!QFile::exists(m_box->path("Echec.COM/Echec.GID")));
    QCOMPARE(readFile(m_box->path("Echec.COM/Echec.HLP")), QByteArray("x"));
}

void TestBuild::ourCompiler()
{
    // A project made by the program, built by the compiler shipped with
    // it. The help file and what a viewer must find in it are left in the
    // build tree for the viewer test that runs after this one.
    TPrjRec *prj = m_conf->PPrj;
    TIniRec *ini = m_conf->PIni;
    newProject(QString::fromUtf8("Aide été"));
    for (const char *topic : {"Installation", "Mode d'emploi", "Éléments"}) {
        QString name = QString::fromUtf8(topic);
        QCOMPARE(FAddTopic(name, &m_tree, m_conf, true).Category, quint8(0));
    }
    TestSupport::addTopic(m_tree, QStringLiteral("Menus"), QString::fromUtf8("Le menu Fichier, défini ici."), Outline::FItemAt(&m_tree, 3));

    m_tree.setCurrentItem(Outline::FItemAt(&m_tree, 1));
    TRichEdit *root = FCurrentControl(&m_tree);
    root->setPlainText(QString::fromUtf8("Bienvenue. Lire les éléments puis lancer l'outil. Voir la définition. "));
    root->setTextCursor(root->document()->find(QString::fromUtf8("les éléments")));
    QString target = QString::fromUtf8("Éléments");
    QCOMPARE(FAddJump(target, false, &m_tree, true).Category, quint8(0));
    QImage picture(24, 16, QImage::Format_Indexed8);
    picture.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 160)});
    picture.fill(1);
    QVERIFY(picture.save(m_box->path("BMP/logo.bmp"), "BMP"));
    QString bmp = QStringLiteral("logo.bmp");
    QCOMPARE(FAddBmp(bmp, ini->BMP.get(), false, true, &m_tree).Category, quint8(0));
    root->setTextCursor(root->document()->find(QStringLiteral("lancer l'outil")));
    QString tool = script(m_box->path("outil.sh"), "exit 0\n");
    m_scope->prompts.answer(Platform::Ok);
    QCOMPARE(FAddExec(tool, false, &m_tree, true).Category, quint8(0));
    // A pop-up, written as a command line of its own.
    const int line = TestSupport::appendCommand(m_rig.project, QStringLiteral("{\\ul d\\'e9finition}{\\v Menus}"));
    QTextCursor popup = root->document()->find(QString::fromUtf8("la définition"));
    popup.insertText(FMarker(line, QString::fromUtf8("la définition")));
    prj->ProjectTitle.set(QString::fromUtf8("Aide été"));
    prj->BkColor = 0xE0FFFF; // light yellow (blue, green, red)
    prj->TitleColor = 0x800000;
    prj->HelpCompress.set(QStringLiteral("YES"));
    const bool chm = !QStandardPaths::findExecutable(QStringLiteral("chmcmd")).isEmpty();
    prj->Outputs.set(chm ? QStringLiteral("HTML,CHM") : QStringLiteral("HTML")); // web outputs published too

    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QCOMPARE(FUpdatePrj(true, true, m_conf, m_display).Category, quint8(0));
    ini->COMPILER.set(QStringLiteral(KIVHC_PATH));
    QStringList messages;
    QVERIFY(PCompileStep(m_conf, wait(), &messages));
    // The build's messages, those of a successful build too, reach the
    // caller, each once though every output says it.
    QCOMPARE(QSet<QString>(messages.cbegin(), messages.cend()).size(), messages.size());
    for (const QString &m : messages)
        QVERIFY2(m.startsWith(QLatin1String("HC")) && !m.contains(QLatin1String(": Error:")), qPrintable(m));
    // The web contents follow the outline: the sub-topic in a list of its own.
    QVERIFY(readFile(m_box->path(QString::fromUtf8("Aide été.COM/Aide été_html/index.html")))
                .contains("<ul><li><a href=\"Menus.html#Menus\">Menus</a></ul>"));
    if (chm)
        QVERIFY(QFileInfo(m_box->path(QString::fromUtf8("Aide été.COM/Aide été.chm"))).size() > 0);
    prj->Outputs.set(QString());
    // Nothing of the web builds stays in the project's folder.
    QVERIFY(QDir(prj->PrjDir.get()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    QVERIFY(FCompilerMessages(prj->PrjDir.get() + QString::fromUtf8("/Aide été.ERR"), QDateTime::currentDateTime().addDays(1)).isEmpty());
    QCOMPARE(prj->PrjState, quint8(PrjCompiled));
    const QByteArray hlpBytes = readFile(m_box->path(QString::fromUtf8("Aide été.COM/Aide été.HLP")));

    HlpRead::Container hlp;
    QVERIFY2(hlp.parse(hlpBytes), qPrintable(hlp.error));
    QCOMPARE(HlpRead::u16(*hlp.internalFile("|SYSTEM"), 10), quint16(4)); // LZ77 blocks
    const auto topics = HlpRead::TopicFile::of(hlp).walk();
    QStringList titles;
    for (const auto &r : topics)
        if (r.type == 0x02)
            titles << QString::fromLatin1(r.ld2.left(r.ld2.indexOf('\0') < 0 ? r.ld2.size() : r.ld2.indexOf('\0')));
    QCOMPARE(titles, QStringList({QString::fromUtf8("Aide été"), "Installation", QString::fromUtf8("Mode d'emploi"), "Menus",
                                  QString::fromUtf8("Éléments"), QString()}));
    QVERIFY(hlp.internalFile("|bm0"));
    QVERIFY(hlp.internalFile("|KWBTREE"));
    QVERIFY(readFile(prj->PrjDir.get() + QString::fromUtf8("/Aide été.ERR")).contains("0 erreur(s)"));

    // A build that fails shows the compiler's errors.
    const QByteArray t1 = readFile(prj->PrjDir.get() + "/T1.rtf");
    QVERIFY(writeFile(prj->PrjDir.get() + "/T1.rtf", "not RTF"));
    m_scope->prompts.answer(Platform::Ok);
    QVERIFY(PCompileStep(m_conf, wait()));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    QCOMPARE(m_scope->prompts.texts().last(),
             QString::fromUtf8("Le compilateur d'aide signale :\nHC4001: Error: T1.RTF : ce n'est pas un fichier RTF."));
    QVERIFY(writeFile(prj->PrjDir.get() + "/T1.rtf", t1));

    // For the viewer test: the file and what the viewer's trace must show
    // of it (texts as the trace writes them: bytes above 127 as \xhh).
    const auto traced = [](const QByteArray &bytes) {
        QByteArray out;
        for (const char c : bytes)
            out += quint8(c) < 0x80 ? QByteArray(1, c) : "\\x" + QByteArray::number(quint8(c), 16).rightJustified(2, '0');
        return out;
    };
    QByteArray facts;
    for (const QString &t : titles.mid(0, titles.size() - 1))
        facts += "title " + traced(Platform::toCp1252(t)) + '\n';
    const QByteArray fonts = *hlp.internalFile("|FONT");
    const int faces = HlpRead::u16(fonts, 0), faceLength = (HlpRead::u16(fonts, 6) - HlpRead::u16(fonts, 4)) / qMax(1, faces);
    for (int i = 0; i < faces; ++i) {
        const QByteArray face = fonts.mid(HlpRead::u16(fonts, 4) + i * faceLength, faceLength);
        facts += "font " + face.left(face.indexOf('\0')) + '\n';
    }
    for (const char *context : {"Elements", "Menus"})
        facts += "jump " + QByteArray::number(quint32(Hlp::contextHash(context)), 16).rightJustified(8, '0') + '\n';
    facts += "macro ExecProgram(\\\"" + tool.toUtf8() + "\\\",0)\n";
    facts += "context Mode_demploi Mode d'emploi\n";
    const QString e2e = QStringLiteral(KIVHELP_E2E_DIR);
    QDir().mkpath(e2e);
    QVERIFY(writeFile(e2e + "/Aide.hlp", hlpBytes));
    QVERIFY(writeFile(e2e + "/Aide.expected", facts));

    // Backups after the web builds (each swaps the project's folder and
    // deletes the backup before): every one succeeds.
    for (int backup = 0; backup < 2; ++backup) {
        prj->PrjSaveCount = quint16(ini->BACKUP_PERIOD);
        m_scope->prompts.answer(Platform::Ok); // Backup ...
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    }
}

void TestBuild::viewing()
{
    newProject(QStringLiteral("Vue"));
    m_scope->prompts.answer(Platform::Cancel);
    PViewStep(m_conf);
    QCOMPARE(m_scope->prompts.texts(), QStringList{QString::fromUtf8("Ceci n'est pas la dernière version de fichier Help !")});
    m_scope->prompts.answer(Platform::Ok);
    m_scope->prompts.answer(Platform::Ok);
    PViewStep(m_conf);
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("Le fichier d'aide .HLP n'existe pas !"));
    QCOMPARE(FViewerCommand(QStringLiteral("sh"), QStringLiteral("a.hlp")).mid(1), QStringList{"a.hlp"});
    // The page being edited is the one the viewer opens.
    QCOMPARE(FViewerCommand(QStringLiteral("sh"), QStringLiteral("a.hlp"), QStringLiteral("Mode_demploi")).mid(1),
             QStringList({"-i", "Mode_demploi", "a.hlp"}));

    // The web pages open at the page too; a browser that cannot start is
    // said, with what its opener answered.
    TPrjRec *prj = m_conf->PPrj;
    prj->PrjState = PrjCompiled;
    QVERIFY(QDir().mkpath(prj->PrjComDir.get() + QStringLiteral("/Vue_html")));
    QVERIFY(writeFile(prj->PrjComDir.get() + QStringLiteral("/Vue_html/index.html"), "<html></html>"));
    QVERIFY(QDir().mkpath(m_box->path("bin")));
    script(m_box->path("bin/xdg-open"), "echo \"$1\" > \"$(dirname \"$0\")/opened\"\necho 'no method available for opening' >&2\nexit 3\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_box->path("bin")) + ':' + path);
    m_scope->prompts.answer(Platform::Ok);
    PViewStep(m_conf, true, QString::fromUtf8("Mode_demploi"));
    qputenv("PATH", path);
    QTRY_VERIFY(!m_scope->prompts.texts().isEmpty()
                && m_scope->prompts.texts().last().startsWith(QString::fromUtf8("Le navigateur ne peut pas être lancé (xdg-open a répondu 3")));
    QVERIFY(m_scope->prompts.texts().last().contains(QStringLiteral("no method available")));
    QCOMPARE(readFile(m_box->path("bin/opened")).trimmed(),
             QUrl::fromLocalFile(prj->PrjComDir.get() + QStringLiteral("/Vue_html/context.html")).toEncoded() + "?name=Mode_demploi");
}

KIV_TEST(TestBuild)
#include "tst_build.moc"
