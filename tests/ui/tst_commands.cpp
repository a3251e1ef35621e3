#include "TestSupport.h"
#include "fileops/PrjFolder.h"
#include "project/PrjLife.h"
#include <QAction>
#include <QTest>
#include <QDockWidget>
#include <QTextBlock>
#include <QListWidget>
#include <QProcess>
#include <QScopeGuard>
#include <csignal>
#include "TestRegistry.h"
#include "project/Recovery.h"
#include "helpgen/Import.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "project/PrjLife.h"
#include "sequencer/Actions.h"
#include "sequencer/Seq.h"
#include "sequencer/Startup.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"
#include "compiler/HelpCompiler.h"
#include "editing/MarkerObjects.h"
#include <QCryptographicHash>
#include "project/Insertions.h"
#include <QImage>

#include <QLineEdit>

// Whole commands through the sequencer, with the real window and scripted answers.
static QList<Outline::TLine> renamedTree() { return {{1, "Arbre"}, {1, "Trois"}, {1, "Un"}, {2, "Second"}}; }

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void newProjectNames();
    void newSaveCloseReopen();
    void deleteNeverSavedAndExit();
    void backupCopyAndTopicLimit();
    void failedSavesKeepTheProject();
    void deleteChecksBeforeDeleting();
    void treeEditingRoundTrip();
    void twoWindowsOnOneProject();
    void unwritableSettingsAreSaid();
    void nothingOfAClosedProjectStays();
    void previewFollowsTheEditor();
    void editingOneObjectChangesOnlyItsFiles();
    void importFromTheMenu();
    void saveAsAnotherProject();
    void recoveryThatCanBeTrusted();

private:
    void run(quint8 command, quint8 category);

    std::unique_ptr<TFrmKivHelp> m_window;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    std::unique_ptr<TestSupport::Sandbox> m_box;
    int m_quit = -1;
};

void TestCommands::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Startup::setQuitHandler([this](int code) { m_quit = code; });
}

void TestCommands::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    m_window = std::make_unique<TFrmKivHelp>();
    Startup::setMainWindow(m_window.get());
    Seq::InitUnit();
    Seq::timer()->stop();
    for (int i = 0; i < 5; ++i) // the start-up states
        Seq::timer()->PCAllBack();
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    Globale::PConf->PIni->DIRPATH.set(m_box->path() + u'/');
    m_quit = -1;
}

void TestCommands::cleanup()
{
    Globale::PConf->PPrj->PrjState = PrjNone;
    KIVHelpTools::FClosePrj(Globale::PConf, m_window->display());
    Startup::setMainWindow(nullptr);
    m_window.reset();
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

void TestCommands::run(quint8 command, quint8 category)
{
    Seq::PPostCmd(command, category);
    Seq::PSeqStep();
    Seq::timer()->PCAllBack(); // the action runs on the next step
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
}

void TestCommands::newProjectNames()
{
    m_scope->prompts.answerText(" ");
    m_scope->prompts.answer(Platform::Ok);
    run(CmdNewPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Chaines vides ou espaces interdits !"));
    m_scope->prompts.answerText("", false); // cancelled: nothing shown
    run(CmdNewPrj, CatApp);
    QCOMPARE(m_scope->prompts.records().size(), 3);

    // The names of the program's own folders beside a project: refused, in
    // the window and by an import.
    for (const char *name : {"Guide.OLD", "Guide.old", ".Guide.kvnew", ".cache", "Guide.COM", "Guide.kvstate"}) {
        m_scope->prompts.answerText(QString::fromLatin1(name));
        m_scope->prompts.answer(Platform::Ok);
        run(CmdNewPrj, CatApp);
        QVERIFY2(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("Nom de projet refusé : Le nom ne doit pas")),
                 qPrintable(m_scope->prompts.texts().last()));
        QVERIFY(!QFileInfo::exists(m_box->path(QString::fromLatin1(name))));
        const Build::TImportResult imported = Build::FImportHelp(m_box->path("rien.hlp"), QString::fromLatin1(name), m_box->path(), m_box->path("BMP"));
        QCOMPARE(imported.code, 2);
        QVERIFY(imported.report.join(u' ').contains(QString::fromUtf8("Nom de projet refusé")));
    }
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjNone));

    // A path of 255 characters or more: two boxes, no project.
    const int room = 255 - int(m_box->path().size()) - 6;
    m_scope->prompts.answerText(QString(room / 2 + 1, u'n'));
    m_scope->prompts.answer(Platform::Ok);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdNewPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("La création du projet a échoué ! "));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjNone));

    // A long one (100 characters or more): a warning, then the project.
    m_scope->prompts.answerText(QString(60, u'L'));
    m_scope->prompts.answer(Platform::Ok);
    run(CmdNewPrj, CatApp);
    QVERIFY(m_scope->prompts.texts().last().startsWith(QStringLiteral("Votre nom de projet est un peu long")));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjSaved));
}

void TestCommands::newSaveCloseReopen()
{
    // A name with a character a folder name cannot hold is refused, naming
    // it; it is not quietly made another name.
    m_scope->prompts.answerText("Aide/Manuel");
    m_scope->prompts.answer(Platform::Ok);
    run(CmdNewPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(),
             QString::fromUtf8("Nom de projet refusé : ces caractères ne peuvent pas figurer dans un nom de projet : /"));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjNone));
    m_scope->prompts.answerText("Aide Manuel ");
    run(CmdNewPrj, CatApp);
    TPrjRec *prj = Globale::PConf->PPrj;
    QCOMPARE(prj->PrjState, quint8(PrjSaved)); // saved once right after its creation
    QVERIFY(QFile::exists(m_box->path("Aide Manuel/Aide Manuel.PRJ")));
    // The recent list holds the project's real file.
    QCOMPARE(m_window->projectList().entries().last(), m_box->path("Aide Manuel/Aide Manuel.PRJ"));

    m_window->newPageField()->setText("Installation");
    run(CmdAddTopic, CatEdit);
    TOutlineView *outline = m_window->display().OutlineHelp;
    QCOMPARE(Outline::FCount(outline), 2);
    QCOMPARE(prj->PrjState, quint8(PrjModified));
    // The new topic is the selected and shown one; the field is free again.
    QCOMPARE(outline->currentItem()->name, QStringLiteral("Installation"));
    QVERIFY(outline->shownTopic() == outline->currentItem() && !m_window->editor()->isHidden());
    QVERIFY(outline->shownTopic() != Outline::FItemAt(outline, 1));
    QVERIFY(m_window->newPageField()->text().isEmpty());
    // Deleting it shows the topic the outline selects next.
    m_window->newPageField()->setText("Temporaire");
    run(CmdAddTopic, CatEdit);
    m_scope->prompts.answer(Platform::Yes);
    run(CmdDelTopic, CatEdit);
    QCOMPARE(Outline::FCount(outline), 2);
    QVERIFY(outline->shownTopic() == outline->currentItem() && !m_window->editor()->isHidden());
    // The shown page's keywords, typed into their field, are the page's
    // and go into the project's keywords file with the save.
    QVERIFY(m_window->keywordsField()->isEnabled());
    QTest::keyClicks(m_window->keywordsField(), QStringLiteral("demarrage; menu, fichier"));
    QCOMPARE(outline->shownTopic()->keywords, QStringLiteral("demarrage; menu, fichier"));
    QCOMPARE(prj->PrjState, quint8(PrjModified));
    const QString shownName = outline->shownTopic()->name;

    // Saved from the menu (as Ctrl+S does): done when the action returns,
    // without waiting for a tick of the sequencer.
    m_window->findChild<QAction *>("SaveFile")->trigger();
    QCOMPARE(TestSupport::readFile(m_box->path("Aide Manuel/Aide Manuel.KEY")),
             (shownName + QStringLiteral("\tdemarrage; menu, fichier\r\n")).toLatin1());
    QCOMPARE(prj->PrjState, quint8(PrjSaved));
    QCOMPARE(Seq::FGetSeqState(), quint8(SeqIdle));
    QVERIFY(QFile::exists(m_box->path("Aide Manuel/T2.rtf")));

    // Close after a save: the "not converted" warning and its question.
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::No);
    run(CmdClosePrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().mid(4), QStringList({"Voulez-vous Quitter ?",
                                                    QString::fromUtf8("Projet non mis à Jour \r\nVoulez-vous Sauvegarder ?")}));
    QCOMPARE(prj->PrjState, quint8(PrjNone));

    // Reopen from the recent list; a second command posted meanwhile is dropped.
    Actions::PSetPrjToOpen(m_box->path("Aide Manuel/Aide Manuel.PRJ"));
    Seq::PPostCmd(CmdOpenLastPrj, CatApp);
    Seq::PPostCmd(CmdDelPrj, CatApp);
    Seq::PSeqStep();
    Seq::timer()->PCAllBack();
    QCOMPARE(prj->PrjState, quint8(PrjOpened));
    QCOMPARE(Outline::FCount(m_window->display().OutlineHelp), 2);
    m_window->display().OutlineHelp->setCurrentItem(Outline::FItemAt(m_window->display().OutlineHelp, 2));
    QCOMPARE(m_window->keywordsField()->text(), QStringLiteral("demarrage; menu, fichier"));

    // Viewing before any build asks first; Cancel shows nothing more.
    m_scope->prompts.answer(Platform::Cancel);
    run(CmdViewHlp, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("Ceci n'est pas la dernière version de fichier Help !"));
}

void TestCommands::deleteNeverSavedAndExit()
{
    // No project: editing commands and deleting are refused.
    m_scope->prompts.answer(Platform::Ok);
    run(CmdBoldOn, CatEdit);
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Pas de Projet en cours !"));

    // A project whose folder vanished is closed, not deleted.
    m_scope->prompts.answerText("Ephemere");
    run(CmdNewPrj, CatApp);
    QDir(m_box->path("Ephemere")).removeRecursively();
    m_scope->prompts.answer(Platform::Ok);
    run(CmdDelPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(),
             QString::fromUtf8("Pourquoi effacer alors que ce  n'est pas sauvegardé ?Veuillez fermer !"));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjNone));

    // Exit with a modified project: Cancel keeps the program running.
    m_scope->prompts.answerText("Garde");
    run(CmdNewPrj, CatApp);
    Globale::PConf->PPrj->PrjState = PrjModified;
    m_scope->prompts.answer(Platform::Cancel);
    run(CmdExit, CatApp);
    QCOMPARE(m_quit, -1);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjModified));

    // A real delete: project and backup folders go, the .COM folder stays.
    // The question names both folders, and Enter answers No.
    QVERIFY(QDir().mkpath(m_box->path("Garde.OLD")));
    Globale::PConf->PPrj->PrjState = PrjSaved;
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::Yes);
    run(CmdDelPrj, CatApp);
    const Platform::PromptRecord asked = m_scope->prompts.records().at(m_scope->prompts.records().size() - 2);
    QVERIFY(asked.text.endsWith(QString::fromUtf8("Sa copie de sauvegarde ") + m_box->path("Garde.OLD")
                                + QString::fromUtf8(" sera effacée aussi.")));
    QVERIFY(asked.buttons & Platform::DefaultNo);
    QVERIFY(!QFileInfo::exists(m_box->path("Garde.OLD")));
    QVERIFY(!QFileInfo::exists(m_box->path(".Garde.kvstate")));
    QVERIFY(!QFileInfo::exists(m_box->path("Garde")));
    QVERIFY(QFileInfo::exists(m_box->path("Garde.COM")));
    QVERIFY(m_scope->prompts.texts().last().startsWith(QStringLiteral("ATTENTION ! le répertoire *.COM")));

    run(CmdExit, CatApp);
    QCOMPARE(m_quit, 0);
}

void TestCommands::backupCopyAndTopicLimit()
{
    m_scope->prompts.answerText("Limite");
    run(CmdNewPrj, CatApp);
    const QString file = Globale::PConf->PPrj->PrjFile.get();

    // Opening the backup copy: asked, and No leaves the current project open.
    QDir().mkpath(m_box->path("Limite.OLD"));
    TestSupport::writeFile(m_box->path("Limite.OLD/Limite.PRJ"), "Limite\r\n");
    Actions::PSetPrjToOpen(m_box->path("Limite.OLD/Limite.PRJ"));
    m_scope->prompts.answer(Platform::Yes); // "already open ... quit?"
    m_scope->prompts.answer(Platform::No);
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(),
             QStringLiteral("Vous essayez d'ouvrir la copie de sauvegarde ! Voulez-vous l'ouvrir ?"));
    QCOMPARE(Globale::PConf->PPrj->PrjFile.get(), file);
    QCOMPARE(Outline::FCount(m_window->display().OutlineHelp), 1);

    // 500 topics: the project saves; adding the 501st is refused.
    TOutlineView *outline = m_window->display().OutlineHelp;
    for (int i = 2; i <= 500; ++i) {
        TestSupport::addTopic(*outline, QStringLiteral("P%1").arg(i));
    }
    const int boxes = int(m_scope->prompts.texts().size());
    run(CmdSavePrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().size(), boxes);
    QVERIFY(TestSupport::readFile(file).endsWith("P500\r\n"));
    QVERIFY(QFile::exists(QFileInfo(file).absolutePath() + QStringLiteral("/P500.500")));
    QVERIFY(QFile::exists(QFileInfo(file).absolutePath() + QStringLiteral("/T500.rtf")));
    m_window->newPageField()->setText("Encore");
    m_scope->prompts.answer(Platform::Ok);
    run(CmdAddTopic, CatEdit);
    QVERIFY(m_scope->prompts.texts().last().startsWith(QStringLiteral("Le nombre maximum de pages (500)")));
    QCOMPARE(Outline::FCount(outline), 500);
}

void TestCommands::failedSavesKeepTheProject()
{
    TPrjRec *prj = Globale::PConf->PPrj;
    // A name the project's files cannot hold is refused where it is typed.
    m_scope->prompts.answerText(QString::fromUtf8("Łódź"));
    m_scope->prompts.answer(Platform::Ok);
    run(CmdNewPrj, CatApp);
    QVERIFY(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("Nom de projet refusé")));
    QCOMPARE(prj->PrjState, quint8(PrjNone));
    QVERIFY(QDir(m_box->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).filter("d").isEmpty());

    m_scope->prompts.answerText("Manuel");
    run(CmdNewPrj, CatApp);
    m_window->newPageField()->setText("Installation");
    run(CmdAddTopic, CatEdit);
    QCOMPARE(prj->PrjState, quint8(PrjModified));
    const QString file = prj->PrjFile.get();
    const QByteArray saved = TestSupport::readFile(file);

    // The disk is full: every command that saves first stops there, the
    // project stays open with its edits.
    Platform::setWriteBudgetForTest(0);
    struct Case {
        quint8 command;
        QList<Platform::Button> answers;
    };
    const QList<Case> cases{
        {CmdClosePrj, {Platform::Yes, Platform::Yes}}, // quit? save?
        {CmdExit, {Platform::Yes}},                    // save?
        {CmdNewPrj, {Platform::Yes}},                  // a project is open: save?
        {CmdOpenPrj, {Platform::Yes}},
    };
    for (const Case &c : cases) {
        m_scope->prompts.clear();
        for (const Platform::Button b : c.answers)
            m_scope->prompts.answer(b);
        for (int i = 0; i < 4; ++i) // the failure boxes
            m_scope->prompts.answer(Platform::Ok);
        run(c.command, CatApp);
        QCOMPARE(m_quit, -1);
        QCOMPARE(Outline::FCount(m_window->display().OutlineHelp), 2);
        QCOMPARE(prj->PrjState, quint8(PrjModified));
        QCOMPARE(TestSupport::readFile(file), saved);
    }
    // Ctrl+S on a full disk: one box says why, not three in a row.
    m_scope->prompts.clear();
    m_scope->prompts.answer(Platform::Ok);
    run(CmdSavePrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().size(), 1);
    QVERIFY(m_scope->prompts.texts().first().startsWith(QString::fromUtf8("La sauvegarde du fichier a échoué : ")));
    m_scope->prompts.clear();
    Platform::setWriteBudgetForTest(-1);
    run(CmdSavePrj, CatApp);
    QVERIFY(TestSupport::readFile(file).contains("Installation"));
}

void TestCommands::deleteChecksBeforeDeleting()
{
    TPrjRec *prj = Globale::PConf->PPrj;
    Globale::PConf->PIni->BACKUP_PERIOD = 0;
    m_scope->prompts.answerText("Manuel");
    m_scope->prompts.answer(Platform::Ok); // Backup ...
    run(CmdNewPrj, CatApp);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdSavePrj, CatApp); // a backup: Manuel.OLD
    const QString dir = prj->PrjDir.get();
    QVERIFY(QFileInfo(dir + ".OLD").isDir());
    // A subfolder in the project: nothing is deleted, the backup stays,
    // the project stays open.
    QVERIFY(QDir().mkpath(dir + "/images"));
    const int files = int(QDir(dir).entryList(QDir::Files).size());
    m_scope->prompts.clear();
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdDelPrj, CatApp);
    QVERIFY(m_scope->prompts.texts().last().contains(dir + "/images"));
    QCOMPARE(int(QDir(dir).entryList(QDir::Files).size()), files);
    QVERIFY(QFileInfo(dir + ".OLD/Manuel.PRJ").isFile());
    QVERIFY(prj->PrjState != PrjNone);
    // Without it, both go.
    QVERIFY(QDir().rmdir(dir + "/images"));
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::Yes); // the .COM warning
    run(CmdDelPrj, CatApp);
    QVERIFY(!QFileInfo::exists(dir));
    QVERIFY(!QFileInfo::exists(dir + ".OLD"));
    QCOMPARE(prj->PrjState, quint8(PrjNone));
}

void TestCommands::treeEditingRoundTrip()
{
    // A tree made with the commands, a topic renamed with the jump that
    // names it, saved, reopened, built: the outline, the titles' formats and
    // the jump come back whole.
    m_scope->prompts.answerText("Arbre");
    run(CmdNewPrj, CatApp);
    TOutlineView *outline = m_window->display().OutlineHelp;
    for (const char *name : {"Un", "Deux", "Trois"}) {
        m_window->newPageField()->setText(QString::fromLatin1(name));
        run(CmdAddTopic, CatEdit);
    }
    TFontsRec *fonts = Globale::PConf->PPrjFonts;
    fonts->Entries[3].Name.set("Courier"); // "Deux"'s title format
    outline->setCurrentItem(Outline::FItemAt(outline, 3)); // Deux
    run(CmdTopicIndent, CatEdit); // under Un
    outline->setCurrentItem(Outline::FItemAt(outline, 4)); // Trois
    run(CmdTopicUp, CatEdit);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdTopicUp, CatEdit); // refused: the project's first topic stays first
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("La page est déjà la première de son niveau."));
    const QList<Outline::TLine> expected{{1, "Arbre"}, {1, "Trois"}, {1, "Un"}, {2, "Deux"}};
    QCOMPARE(outline->project()->FLines(), expected);
    QCOMPARE(fonts->Entries[4].Name.get(), QStringLiteral("Courier"));

    // A jump from Un to Deux, then Deux renamed: the jump follows.
    QTextDocument *un = outline->FDocumentOf(Outline::FItemAt(outline, 3));
    const int line = TestSupport::appendCommand(*outline->project(), QStringLiteral("{\\uldb voir}{\\v Deux}"));
    un->setPlainText(QStringLiteral("Lire @_%1_voir_@").arg(line));
    outline->setCurrentItem(Outline::FItemAt(outline, 4));
    m_scope->prompts.answerText("Second");
    m_scope->prompts.answer(Platform::Yes);
    run(CmdRenameTopic, CatEdit);
    QCOMPARE(Outline::FItemAt(outline, 4)->name, QStringLiteral("Second"));
    // Its title line, written when the page was made, follows the name.
    QCOMPARE(outline->FDocumentOf(Outline::FItemAt(outline, 4))->firstBlock().text(), QStringLiteral("Second"));
    // The outline's edits are undone and redone from the Edition menu: the
    // rename (name, title line, jump), then the move; redone, both again.
    auto *undo = m_window->findChild<QAction *>("OutlineUndo");
    QCOMPARE(undo->text(), QString::fromUtf8("Annuler dans le plan : renommage de la page « Deux »"));
    run(CmdOutlineUndo, CatEdit);
    QCOMPARE(Outline::FItemAt(outline, 4)->name, QStringLiteral("Deux"));
    QCOMPARE(outline->FDocumentOf(Outline::FItemAt(outline, 4))->firstBlock().text(), QStringLiteral("Deux"));
    QVERIFY(outline->project()->commands.value(line).contains(QStringLiteral("{\\v Deux}")));
    run(CmdOutlineUndo, CatEdit); // Trois back after Un
    QCOMPARE(outline->project()->FLines(), (QList<Outline::TLine>{{1, "Arbre"}, {1, "Un"}, {2, "Deux"}, {1, "Trois"}}));
    QCOMPARE(fonts->Entries[3].Name.get(), QStringLiteral("Courier")); // the title format follows its page
    run(CmdOutlineRedo, CatEdit);
    run(CmdOutlineRedo, CatEdit);
    QCOMPARE(outline->project()->FLines(), renamedTree());
    QCOMPARE(fonts->Entries[4].Name.get(), QStringLiteral("Courier"));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjModified));
    run(CmdSavePrj, CatApp);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjSaved));

    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::No);
    run(CmdClosePrj, CatApp);
    Actions::PSetPrjToOpen(m_box->path("Arbre/Arbre.PRJ"));
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(outline->project()->FLines(), renamedTree());
    QCOMPARE(fonts->Entries[4].Name.get(), QStringLiteral("Courier"));
    QVERIFY(outline->project()->commands.value(line).contains(QStringLiteral("{\\v Second}")));
    QVERIFY(outline->FPlainTextOf(Outline::FItemAt(outline, 3)).contains(QStringLiteral("@_%1_").arg(line)));
    Globale::PConf->PIni->COMPILER.set(QStringLiteral(KIVHC_PATH));
    m_scope->prompts.answer(Platform::Ok); // the third save, across the reopen: a backup
    run(CmdCreateHlp, CatApp);
    QCOMPARE(m_scope->prompts.texts().contains(QStringLiteral("Backup ... ")), true);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjCompiled));
    const QByteArray log = TestSupport::readFile(m_box->path("Arbre/Arbre.ERR"));
    QVERIFY2(!log.contains("HC3025"), log.constData()); // the jump reaches its topic
}

void TestCommands::twoWindowsOnOneProject()
{
    // Another KivHelp (a real second process) has the project open: this
    // window is told who, and opens it read-only or not at all. Once that
    // process is killed, its lock no longer holds anyone back.
    m_scope->prompts.answerText("Partage");
    run(CmdNewPrj, CatApp);
    const QString file = m_box->path("Partage/Partage.PRJ");
    m_window->newPageField()->setText("Page deux");
    run(CmdAddTopic, CatEdit);
    run(CmdSavePrj, CatApp);
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::No);
    run(CmdClosePrj, CatApp);
    const QByteArray saved = TestSupport::readFile(file);

    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_box->path("autre-config"));
    other.setProcessEnvironment(env);
    other.start(QStringLiteral(KIVHELP_EXE), {file});
    QVERIFY(other.waitForStarted());
    const auto stop = qScopeGuard([&other] {
        other.kill();
        other.waitForFinished();
    });
    QTRY_VERIFY_WITH_TIMEOUT(FileOps::lockedByAnother(FileOps::foldersOf(m_box->path("Partage"))), 20000);

    // Not opened: nothing of it shows here.
    m_scope->prompts.answer(Platform::No);
    Actions::PSetPrjToOpen(file);
    run(CmdOpenLastPrj, CatApp);
    const QString asked = m_scope->prompts.texts().last();
    QVERIFY2(asked.startsWith(QString::fromUtf8("Le projet « Partage » est déjà ouvert dans une autre fenêtre de KivHelp (")),
             qPrintable(asked));
    QVERIFY(asked.contains(QStringLiteral("processus %1").arg(other.processId())));
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjNone));

    // Read-only: the text cannot be typed into, saves and builds are refused.
    m_scope->prompts.answer(Platform::Yes);
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjOpened));
    TOutlineView *outline = m_window->display().OutlineHelp;
    QVERIFY(m_window->editor()->isReadOnly());
    QVERIFY(m_window->windowTitle().endsWith(QString::fromUtf8("lecture seule")));
    for (quint8 command : {CmdSavePrj, CmdCreateHlp, CmdDelPrj}) {
        m_scope->prompts.answer(Platform::Ok);
        run(command, CatApp);
        QCOMPARE(m_scope->prompts.texts().last(), KIVHelpTools::FReadOnlyText());
    }
    m_window->newPageField()->setText("Page trois");
    m_scope->prompts.answer(Platform::Ok);
    run(CmdAddTopic, CatEdit);
    QCOMPARE(Outline::FCount(outline), 2);
    QCOMPARE(TestSupport::readFile(file), saved);
    m_scope->prompts.answer(Platform::Yes);
    run(CmdClosePrj, CatApp);

    // The other window is killed: its lock goes with it.
    ::kill(pid_t(other.processId()), SIGKILL);
    other.waitForFinished();
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjOpened));
    QVERIFY(!m_window->editor()->isReadOnly());
    QVERIFY(FileOps::holdsProjectLock());
}

void TestCommands::unwritableSettingsAreSaid()
{
    // A folder where the settings file should be: the exit says so and
    // offers to try again before leaving without them.
    const QString file = Platform::profilePath(Globale::VGGIniProg->FGetConfFileName(QString()), true);
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    const auto restore = qScopeGuard([file] { QDir(file).removeRecursively(); });
    m_scope->prompts.answer(Platform::Ok);
    m_scope->prompts.answer(Platform::Yes); // try again: the same
    m_scope->prompts.answer(Platform::Ok);
    m_scope->prompts.answer(Platform::No);  // leave without them
    run(CmdExit, CatApp);
    const QStringList said = m_scope->prompts.texts();
    QCOMPARE(said.size(), 4);
    QVERIFY2(said[0].startsWith(QString::fromUtf8("Les réglages du programme n'ont pas pu être enregistrés dans ") + file),
             qPrintable(said[0]));
    QCOMPARE(m_quit, 0);
}

void TestCommands::nothingOfAClosedProjectStays()
{
    // The compiler's messages go with their project; a project deleted on
    // disk leaves the recent list when it is asked for; the web pages have
    // their own command, which says when there are none.
    m_scope->prompts.answerText("Premier");
    run(CmdNewPrj, CatApp);
    m_window->PShowCompilerMessages({QStringLiteral("HC3025: Warning: T1.rtf, page 1 : saut vers un contexte inexistant : X")});
    auto *list = m_window->findChild<QListWidget *>("LstCompilerMessages");
    QCOMPARE(list->count(), 1);
    m_scope->prompts.answer(Platform::Ok); // not the latest version: shown all the same
    m_scope->prompts.answer(Platform::Ok);
    run(CmdViewWeb, CatApp);
    QVERIFY(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("Les pages web de ce projet ne sont pas publiées")));
    m_scope->prompts.answer(Platform::Yes);
    m_scope->prompts.answer(Platform::No);
    run(CmdClosePrj, CatApp);
    QCOMPARE(list->count(), 0);
    QVERIFY(!m_window->findChild<QDockWidget *>("DockCompilerMessages")->isVisibleTo(m_window.get()));

    const QString file = m_box->path("Premier/Premier.PRJ");
    QVERIFY(m_window->projectList().entries().contains(file));
    QVERIFY(QDir(m_box->path("Premier")).removeRecursively());
    Actions::PSetPrjToOpen(file);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Ce PROJET n'existe pas !"));
    QVERIFY(!m_window->projectList().entries().contains(file));
}

KIV_TEST(TestCommands)
#include "tst_commands.moc"

void TestCommands::previewFollowsTheEditor()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_scope->prompts.answerText("Apercu");
    run(CmdNewPrj, CatApp);
    QDir().mkpath(m_box->path("BMP"));
    Globale::PConf->PIni->BMP.set(m_box->path("BMP") + u'/');
    QImage square(12, 10, QImage::Format_RGB32);
    square.fill(Qt::red);
    QVERIFY(square.save(m_box->path("BMP/carre.bmp"), "BMP"));
    m_window->newPageField()->setText("Note");
    run(CmdAddTopic, CatEdit);
    TOutlineView *outline = m_window->display().OutlineHelp;
    TRichEdit *editor = m_window->editor();
    editor->setFocus();
    QTest::keyClicks(editor, "Le texte de la note.");
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    run(CmdSelTopic, CatEdit);

    // A jump, a pop-up and a picture, inserted as the author does.
    editor->setFocus();
    QTest::keyClicks(editor, "Aller voir une note ");
    const auto selectWords = [editor](const QString &words) { editor->setTextCursor(editor->document()->find(words)); };
    QString target;
    selectWords("Aller voir");
    m_scope->prompts.answerText("Note");
    QCOMPARE(KIVHelpTools::FAddJump(target, true, outline, true).Category, quint8(0));
    selectWords("une note");
    m_scope->prompts.answerText("Note");
    QCOMPARE(KIVHelpTools::FAddPopup(target, true, outline, true).Category, quint8(0));
    editor->moveCursor(QTextCursor::End);
    m_scope->prompts.answerText(m_box->path("BMP/carre.bmp"));
    QCOMPARE(KIVHelpTools::FAddBmp(target, Globale::PConf->PIni->BMP.get(), true, true, outline).Category, quint8(0));

    // Written a moment after the text stops changing, by the web pages'
    // writer, while the editor keeps the keyboard.
    TPreviewPane *preview = m_window->preview();
    QTest::keyClicks(editor, " fin");
    QVERIFY(!preview->browser()->toPlainText().contains("fin"));
    QTRY_VERIFY(preview->browser()->toPlainText().contains("Aller voir une note \uFFFC fin"));
    QCOMPARE(QApplication::focusWidget(), editor);
    QCOMPARE(preview->browser()->images.size(), 1);
    QCOMPARE(preview->browser()->images.cbegin()->size(), QSize(12, 10));

    // A click on the pop-up opens the page it names over the preview; a
    // click on the jump shows its page in the editor.
    const auto clickOn = [preview](const QString &words) {
        QTextCursor c = preview->browser()->document()->find(words);
        QVERIFY(!c.isNull());
        c.setPosition(c.selectionStart() + 2);
        QTest::mouseClick(preview->browser()->viewport(), Qt::LeftButton, {}, preview->browser()->cursorRect(c).center());
    };
    clickOn("une note");
    QTRY_VERIFY(preview->popupBrowser());
    QVERIFY(preview->popupBrowser()->toPlainText().startsWith(QStringLiteral("Le texte de la note.")));
    QTest::keyClick(preview->popupBrowser()->window(), Qt::Key_Escape);
    QTRY_VERIFY(!preview->popupBrowser());
    clickOn("Aller voir");
    Seq::PSeqStep();
    Seq::timer()->PCAllBack();
    QCOMPARE(outline->shownTopic()->name, QStringLiteral("Note"));
    QTRY_VERIFY(preview->browser()->toPlainText().startsWith(QStringLiteral("Le texte de la note.")));

    // A project in another language: the preview shows its letters, in its
    // code page as the build writes them.
    Globale::PConf->PPrj->Language.set(QStringLiteral("0x419"));
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    for (const QChar c : QString::fromUtf8(" Привет")) // typed as a Russian keyboard sends them
        QTest::sendKeyEvent(QTest::Click, editor, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTRY_VERIFY2(preview->browser()->toPlainText().contains(QString::fromUtf8("Привет")), qPrintable(preview->browser()->toPlainText()));
}

void TestCommands::editingOneObjectChangesOnlyItsFiles()
{
    // The sample project opened, one link of its first page given another
    // text and page, saved: only that page's file and the command file
    // change, and in the command file only that line.
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), m_box->path("Kivhelp")));
    const auto files = [this] {
        QMap<QString, QByteArray> out;
        for (const QString &name : QDir(m_box->path("Kivhelp")).entryList(QDir::Files))
            out.insert(name, TestSupport::readFile(m_box->path("Kivhelp/") + name));
        return out;
    };
    const QMap<QString, QByteArray> before = files();
    Actions::PSetPrjToOpen(m_box->path("Kivhelp/Kivhelp.PRJ"));
    run(CmdOpenLastPrj, CatApp);
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    run(CmdSelTopic, CatEdit);
    QTextDocument *doc = m_window->editor()->document();
    QTextCursor object(doc);
    for (int at = 0; at < doc->characterCount() - 1; ++at) {
        object.setPosition(at);
        object.setPosition(at + 1, QTextCursor::KeepAnchor);
        if (Markers::FMarkerOf(object.charFormat()).startsWith(QLatin1String("@_1_")))
            break;
    }
    QVERIFY(Markers::FMarkerOf(object.charFormat()).startsWith(QLatin1String("@_1_")));
    m_window->editor()->setTextCursor(object);
    m_scope->prompts.answerText(QString::fromUtf8("Commencer ici"));
    m_scope->prompts.answerText(QString::fromUtf8("Le menu Fichier"));
    run(CmdEditObject, CatEdit);
    m_window->findChild<QAction *>("SaveFile")->trigger();
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjSaved));
    const QMap<QString, QByteArray> after = files();
    QStringList changed;
    for (auto it = before.cbegin(); it != before.cend(); ++it) // the author's files (the save adds help sources)
        if (after.value(it.key()) != it.value())
            changed << it.key();
    QCOMPARE(changed.join(u','), QStringLiteral("Kivhelp.1,Kivhelp.CDE"));
    QList<QByteArray> lines = before.value("Kivhelp.CDE").split('\n');
    lines[1] = "{\\uldb Commencer ici}{\\v Le_menu_Fichier}\r";
    QCOMPARE(after.value("Kivhelp.CDE"), lines.join('\n'));
    QVERIFY(after.value("Kivhelp.1").contains("@_1_Commencer_ici_@"));
}

void TestCommands::saveAsAnotherProject()
{
    // "Enregistrer sous…": the open project, with its unsaved edits, saved
    // whole as another project; the original stays as it was on disk; the
    // new one is the open one. A name taken or refused changes nothing.
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), m_box->path("Kivhelp")));
    const auto files = [](const QString &dir) {
        QMap<QString, QByteArray> out;
        for (const QString &name : QDir(dir).entryList(QDir::Files))
            out.insert(name, TestSupport::readFile(dir + u'/' + name));
        return out;
    };
    const QMap<QString, QByteArray> original = files(m_box->path("Kivhelp"));
    Actions::PSetPrjToOpen(m_box->path("Kivhelp/Kivhelp.PRJ"));
    run(CmdOpenLastPrj, CatApp);
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setCurrentItem(Outline::FItemAt(outline, 2));
    run(CmdSelTopic, CatEdit);
    m_window->editor()->textCursor().insertText(QString::fromUtf8("Ajouté avant la copie. "));
    m_window->PMarkModified();

    m_scope->prompts.answerText(QStringLiteral("Kivhelp"));
    m_scope->prompts.answer(Platform::Ok);
    run(CmdSaveAs, CatApp);
    QVERIFY2(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("Nom de projet refusé : le répertoire")),
             qPrintable(m_scope->prompts.texts().last()));
    m_scope->prompts.answerText(QStringLiteral("Guide.OLD"));
    m_scope->prompts.answer(Platform::Ok);
    run(CmdSaveAs, CatApp);
    QCOMPARE(Globale::PConf->PPrj->PrjFile.get(), m_box->path("Kivhelp/Kivhelp.PRJ"));

    // A disk that fills during the copy: said, nothing of the copy stays,
    // the open project is the original with its edits.
    m_scope->prompts.answerText(m_box->path("plein/Guide"));
    Platform::setWriteBudgetForTest(3000);
    m_scope->prompts.answer(Platform::Ok);
    run(CmdSaveAs, CatApp);
    Platform::setWriteBudgetForTest(-1);
    QVERIFY2(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("La sauvegarde du projet a échoué ! \nNo space left")),
             qPrintable(m_scope->prompts.texts().last()));
    QVERIFY(!QFileInfo::exists(m_box->path("plein/Guide")));
    QCOMPARE(Globale::PConf->PPrj->PrjFile.get(), m_box->path("Kivhelp/Kivhelp.PRJ"));
    QCOMPARE(Outline::FItemAt(outline, 1)->name, QStringLiteral("Kivhelp"));
    QVERIFY(outline->FPlainTextOf(Outline::FItemAt(outline, 2)).contains(QString::fromUtf8("Ajouté avant la copie.")));

    m_scope->prompts.answerText(m_box->path("ailleurs/Guide Café"));
    run(CmdSaveAs, CatApp);
    TPrjRec *prj = Globale::PConf->PPrj;
    QCOMPARE(prj->PrjFile.get(), m_box->path("ailleurs/Guide Café/Guide Café.PRJ"));
    QCOMPARE(prj->PrjName.get(), QString::fromUtf8("Guide Café"));
    QCOMPARE(Outline::FItemAt(outline, 1)->name, QString::fromUtf8("Guide Café"));
    QVERIFY(prj->PrjState != PrjModified);
    QCOMPARE(m_window->windowTitle(), QString::fromUtf8("Guide Café — Premiers pas — KivHelp"));
    QCOMPARE(files(m_box->path("Kivhelp")), original);
    const QMap<QString, QByteArray> copied = files(m_box->path("ailleurs/Guide Café"));
    QVERIFY(copied.value(QString::fromUtf8("Guide Café.PRJ")).startsWith("Guide Caf\xe9\r\n"));
    QCOMPARE(copied.value(QString::fromUtf8("Guide Café.CDE")), original.value("Kivhelp.CDE"));
    QVERIFY(copied.value(QString::fromUtf8("Premiers pas.2")).contains("Ajout\\'e9 avant la copie."));
    QCOMPARE(m_window->projectList().entries().last(), prj->PrjFile.get());
    // Closed and opened again: the copy is a project of its own.
    m_scope->prompts.answer(Platform::Yes); // leave it
    m_scope->prompts.answer(Platform::No);  // not built: no save
    run(CmdClosePrj, CatApp);
    Actions::PSetPrjToOpen(m_box->path("ailleurs/Guide Café/Guide Café.PRJ"));
    run(CmdOpenLastPrj, CatApp);
    QCOMPARE(Outline::FCount(outline), 13);
    QVERIFY(outline->FPlainTextOf(Outline::FItemAt(outline, 2)).contains(QString::fromUtf8("Ajouté avant la copie.")));
}

void TestCommands::recoveryThatCanBeTrusted()
{
    QVERIFY(Platform::copyTree(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"), m_box->path("Kivhelp")));
    const QString recovery = m_box->path(".Kivhelp.kvstate/recovery");
    // A recovery folder that is a link: never followed, what it points to
    // stays whole.
    QVERIFY(QDir().mkpath(m_box->path("ailleurs")));
    QVERIFY(TestSupport::writeFile(m_box->path("ailleurs/precieux.txt"), "garder"));
    QVERIFY(QDir().mkpath(m_box->path(".Kivhelp.kvstate")));
    QVERIFY(QFile::link(m_box->path("ailleurs"), recovery));
    Actions::PSetPrjToOpen(m_box->path("Kivhelp/Kivhelp.PRJ"));
    run(CmdOpenLastPrj, CatApp);
    TOutlineView *outline = m_window->display().OutlineHelp;
    TCProject *project = outline->project();
    QTextCursor(outline->FDocumentOf(Outline::FItemAt(outline, 2))).insertText(QStringLiteral("Copie deux. "));
    QVERIFY(KIVHelpTools::FWriteRecovery(Globale::PConf, project));
    QVERIFY(!QFileInfo(recovery).isSymLink() && QFileInfo(recovery + "/manifest").isFile());
    QCOMPARE(QDir(m_box->path("ailleurs")).entryList(QDir::Files), QStringList{"precieux.txt"});
    QCOMPARE(TestSupport::readFile(m_box->path("ailleurs/precieux.txt")), QByteArray("garder"));
    KIVHelpTools::PRemoveRecovery(Globale::PConf->PPrj->PrjDir.get(), QStringLiteral("Kivhelp"));
    QVERIFY(TestSupport::readFile(m_box->path("ailleurs/precieux.txt")) == "garder");
    m_scope->prompts.answer(Platform::Yes); // leave it
    run(CmdClosePrj, CatApp);

    // What a crash left: copies of three pages, one of random bytes; one
    // page's file changed after its copy was made.
    QVERIFY(QDir().mkpath(recovery));
    const QByteArray rtf2 = "{\\rtf1\\ansi Deux recopi\\'e9e\\par\r\n}\r\n", rtf3 = "{\\rtf1\\ansi Trois recopi\\'e9e\\par\r\n}\r\n";
    QVERIFY(TestSupport::writeFile(recovery + "/r1.rtf", rtf2));
    QVERIFY(TestSupport::writeFile(recovery + "/r2.rtf", rtf3));
    QVERIFY(TestSupport::writeFile(recovery + "/r3.rtf", QByteArray("\x7f\x45\x4c\x46\x02\x01\x01\x00 binaire", 16)));
    QVERIFY(TestSupport::writeFile(recovery + "/manifest", "r1.rtf\tPremiers pas\nr2.rtf\tLe menu Fichier\nr3.rtf\tLe menu Edition\n"));
    const QDateTime copied = QDateTime::currentDateTime().addSecs(-600);
    for (const char *copy : {"/r1.rtf", "/r2.rtf", "/r3.rtf", "/manifest"}) {
        QFile f(recovery + QString::fromLatin1(copy));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(copied, QFileDevice::FileModificationTime));
    }
    {
        QFile older(m_box->path("Kivhelp/Premiers pas.2"));
        QVERIFY(older.open(QIODevice::ReadWrite) && older.setFileTime(copied.addSecs(-60), QFileDevice::FileModificationTime));
    }
    const QByteArray onDisk = TestSupport::readFile(m_box->path("Kivhelp/Le menu Fichier.3"));
    QVERIFY(TestSupport::writeFile(m_box->path("Kivhelp/Le menu Fichier.3"), onDisk)); // written again: newer
    m_scope->prompts.answer(Platform::Ok); // keep the pages changed on disk
    run(CmdOpenLastPrj, CatApp);
    const QString question = m_scope->prompts.texts().last();
    QVERIFY2(question.contains(QString::fromUtf8("2 page(s)")) && question.contains(QString::fromUtf8("« Le menu Edition »"))
                 && question.contains(QString::fromUtf8("n'est pas du texte de page"))
                 && question.contains(QString::fromUtf8("modifiées sur le disque après leur copie de récupération : « Le menu Fichier »")),
             qPrintable(question));
    QCOMPARE(m_scope->prompts.lastLabels(), QStringList({QString::fromUtf8("Restaurer toutes les copies"),
                                                         QString::fromUtf8("Garder les pages modifiées sur le disque"),
                                                         QString::fromUtf8("Abandonner la copie")}));
    QCOMPARE(outline->FPlainTextOf(project->FFind(QStringLiteral("Premiers pas"))), QString::fromUtf8("Deux recopiée"));
    QCOMPARE(project->FFind(QStringLiteral("Le menu Fichier"))->FBytes(), onDisk);
    QVERIFY(outline->FPlainTextOf(project->FFind(QStringLiteral("Le menu Edition"))).contains(QStringLiteral("Edition")));
}

void TestCommands::importFromTheMenu()
{
    // "Importer une aide existante…": a help file chosen, a name given, the
    // report shown, then the new project open with its pages.
    QVERIFY(TestSupport::writeFile(m_box->path("a.hpj"), "[OPTIONS]\r\nTITLE=Ancienne\r\n[FILES]\r\na.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(m_box->path("a.rtf"), "{\\rtf1 #{\\footnote un}${\\footnote Un}Voir {\\uldb deux}{\\v deux}\\par\\page"
                                                       "#{\\footnote deux}${\\footnote Deux}\\{bmc haute.bmp\\} Fin\\par\\{bmc haute.bmp\\}\\par}"));
    QImage tall(20, 120, QImage::Format_RGB32);
    tall.fill(Qt::darkBlue);
    QVERIFY(tall.save(m_box->path("haute.bmp"), "BMP"));
    QDir().mkpath(m_box->path("BMP"));
    Globale::PConf->PIni->BMP.set(m_box->path("BMP") + u'/');
    m_window->display().OutlineHelp->objects()->setPictureFolder(m_box->path("BMP") + u'/');
    const Hlp::TCompileResult compiled = Hlp::compileProject(m_box->path("a.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(TestSupport::writeFile(m_box->path("ancienne.hlp"), compiled.hlp));
    m_scope->prompts.answerText(m_box->path("ancienne.hlp"));
    m_scope->prompts.answerText(QStringLiteral("Reprise"));
    m_scope->prompts.answer(Platform::Ok);
    run(CmdImportHelp, CatApp);
    QVERIFY2(m_scope->prompts.texts().filter(QString::fromUtf8("2 page(s) importée(s)")).size() == 1,
             qPrintable(m_scope->prompts.texts().join(u'\n')));
    QCOMPARE(Globale::PConf->PPrj->PrjFile.get(), m_box->path("Reprise/Reprise.PRJ"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    QCOMPARE(Outline::FCount(outline), 2);
    QCOMPARE(Outline::FItemAt(outline, 2)->name, QStringLiteral("Deux"));
    QCOMPARE(outline->project()->commands.first(), QStringLiteral("{\\uldb deux}{\\v Deux}"));
    // Its picture, copied into the bitmap folder, is drawn at its size: each
    // line that holds it is as tall as it.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    outline->setCurrentItem(Outline::FItemAt(outline, 2));
    run(CmdSelTopic, CatEdit);
    QTextDocument *doc = m_window->editor()->document();
    QCOMPARE(doc->blockCount(), 2);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        QVERIFY2(doc->documentLayout()->blockBoundingRect(b).height() >= 120, qPrintable(b.text()));
}
