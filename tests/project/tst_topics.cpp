#include "TestSupport.h"
#include <QFontDatabase>
#include <QFontInfo>
#include "TestRegistry.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "platform/Paths.h"
#include "formats/KivHelpTools.h"
#include "project/FontNames.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "formats/CompanionFiles.h"
#include "project/TopicStore.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>

using namespace KIVHelpTools;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

QByteArray topicRtf(const QString &text)
{
    QTextDocument doc;
    doc.setPlainText(text);
    return RtfText::FWriteRtf(doc);
}

QStringList texts(const TCProject &project)
{
    QStringList out;
    for (const Outline::TLine &l : project.FLines())
        out << QString(l.level - 1, u'>') + l.text;
    return out;
}

} // namespace

class TestTopics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void outlineFiles_data();
    void outlineFiles();
    void outlineSurvivesRandomInput();
    void loadAndSave();
    void loadRefusals();
    void missingTopicFilePartWay();
    void saveWithoutOverwrite();
    void numberingAfterInsertion();
    void saveOneTopicAndDeleteAll();
    void commandFiles();
    void bitmapNames();
    void fontNamesAndShortPaths();

};

void TestTopics::initTestCase() { KIVHelpTools::FInit(false, false, 1); }

void TestTopics::outlineFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("example") << QByteArray("Manuel\r\n\tInstallation\r\n\tUtilisation\r\n\t\tMenus\r\n") << true
                             << QStringList({"Manuel", ">Installation", ">Utilisation", ">>Menus"});
    QTest::newRow("climb several levels")
        << QByteArray("A\r\n\tB\r\n\t\tC\r\n\t\t\tD\r\nE\r\n\tF\r\n") << true
        << QStringList({"A", ">B", ">>C", ">>>D", "E", ">F"});
    QTest::newRow("blanks as indents, no final line end, LF only")
        << QByteArray("A\n B\n  C\n\t D") << true << QStringList({"A", ">B", ">>C", ">>D"});
    QTest::newRow("character 26 ends the file")
        << QByteArray("A\r\n\tB\r\n\x1a\t\t\tjunk\r\n") << true << QStringList({"A", ">B"});
    QTest::newRow("first line indented") << QByteArray("\tA\r\n\t\tB\r\n") << true << QStringList({"A", ">B"});
    QTest::newRow("blank lines skipped") << QByteArray("A\r\n\r\n   \r\n\tB\r\n\r\n") << true
                                         << QStringList({"A", ">B"});
    QTest::newRow("accents") << QByteArray("Aide g\xe9n\xe9rale\r\n") << true
                             << QStringList({QString::fromUtf8("Aide générale")});
    QTest::newRow("empty") << QByteArray() << true << QStringList();
    QTest::newRow("jump of two") << QByteArray("A\r\n\t\tB\r\n") << false << QStringList();
    QTest::newRow("above the top") << QByteArray("\tA\r\nB\r\n") << false << QStringList();
    QTest::newRow("line too long") << QByteArray("A\r\n") + QByteArray(5000, 'x') << false << QStringList();
}

void TestTopics::outlineFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(QStringList, items);
    const Outline::TParse parsed = Outline::FParse(bytes);
    QCOMPARE(parsed.ok, ok);
    if (!ok)
        return;
    TCProject tree;
    tree.PSetLines(parsed.lines);
    QCOMPARE(texts(tree), items);
    // Written back: tabs, CR LF, and the same tree when read again.
    const QByteArray written = Outline::FFormat(tree.FLines());
    QCOMPARE(Outline::FParse(written).lines, parsed.lines);
    if (!items.isEmpty())
        QVERIFY(written.endsWith("\r\n"));
}

void TestTopics::outlineSurvivesRandomInput()
{
    QRandomGenerator rng(99);
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes;
        const int n = int(rng.bounded(200));
        for (int i = 0; i < n; ++i) {
            const int r = int(rng.bounded(10));
            bytes += r < 3 ? '\t' : r < 5 ? ' ' : r == 5 ? '\r' : r == 6 ? '\n' : r == 7 ? '\x1a' : char(rng.bounded(256));
        }
        const Outline::TParse parsed = Outline::FParse(bytes);
        if (parsed.ok) {
            TCProject tree;
            tree.PSetLines(parsed.lines);
            QCOMPARE(tree.FCount(), parsed.lines.size());
        }
    }
}

void TestTopics::loadAndSave()
{
    TestSupport::Sandbox box;
    QDir().mkdir(box.path("Manuel"));
    const QString prj = box.path("Manuel/Manuel.PRJ");
    QVERIFY(writeFile(prj, "Manuel\r\n\tInstallation\r\n\t\tMenus\r\n"));
    QVERIFY(writeFile(box.path("Manuel/Manuel.1"), topicRtf("Bienvenue")));
    QVERIFY(writeFile(box.path("Manuel/Installation.2"), topicRtf(QString::fromUtf8("Étape 1"))));
    QVERIFY(writeFile(box.path("Manuel/Menus.3"), "plain text, not RTF"));

    TestSupport::OutlineRig rig;
    TOutlineView &tree = rig.tree;
    const QString cwd = QDir::currentPath();
    QCOMPARE(FLoadPrjTopics(prj, &tree).Category, quint8(0));
    QCOMPARE(texts(rig.project), QStringList({"Manuel", ">Installation", ">>Menus"}));
    QVERIFY(tree.isExpanded(rig.project.FIndexOf(Outline::FItemAt(&tree, 1))));
    // Only the topic shown is parsed.
    QCOMPARE(tree.shownTopic(), Outline::FItemAt(&tree, 1));
    QCOMPARE(rig.editor.toPlainText(), QStringLiteral("Bienvenue"));
    QVERIFY(!Outline::FItemAt(&tree, 2)->text() && !Outline::FItemAt(&tree, 3)->text());
    QCOMPARE(rig.text(2), QString::fromUtf8("Étape 1"));
    QCOMPARE(rig.text(3), QStringLiteral("plain text, not RTF"));
    QCOMPARE(QDir::currentPath(), cwd); // paths are passed, the current folder stays

    QStringList files;
    QDir().mkdir(box.path("Copie"));
    QCOMPARE(FSavePrjTopics(box.path("Copie/Manuel.PRJ"), &rig.project, true, &files, true).Category, quint8(0));
    QCOMPARE(readFile(box.path("Copie/Manuel.PRJ")), QByteArray("Manuel\r\n\tInstallation\r\n\t\tMenus\r\n"));
    QCOMPARE(files, QStringList({box.path("Copie/Manuel.1"), box.path("Copie/Installation.2"),
                                 box.path("Copie/Menus.3")}));
    QTextDocument back;
    RtfText::FReadRtf(back, readFile(box.path("Copie/Installation.2")));
    QCOMPARE(back.toPlainText(), QString::fromUtf8("Étape 1"));
    FDelAllTopics(&tree);
}

void TestTopics::loadRefusals()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    TestSupport::OutlineRig rig;
    TOutlineView &tree = rig.tree;
    QCOMPARE(FLoadPrjTopics(box.path("none.PRJ"), &tree).Msg, QStringLiteral("No File"));

    QVERIFY(writeFile(box.path("Jump.PRJ"), "A\r\n\t\tB\r\n"));
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &bad = FLoadPrjTopics(box.path("Jump.PRJ"), &tree);
    QCOMPARE(bad.Category, quint8(7));
    QCOMPARE(bad.Code, quint16(4));
    QCOMPARE(scope.prompts.texts().last(),
             QString::fromUtf8("Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! "));
    QCOMPARE(Outline::FCount(&tree), 0);

    QVERIFY(writeFile(box.path("Empty.PRJ"), ""));
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &empty = FLoadPrjTopics(box.path("Empty.PRJ"), &tree);
    QCOMPARE(empty.Category, quint8(4));
    QCOMPARE(empty.Msg, QStringLiteral("After loading"));

    rig.add(QStringLiteral("Ouvert"));
    QVERIFY(writeFile(box.path("A.PRJ"), "A\r\n"));
    const TErrorContext &busy = FLoadPrjTopics(box.path("A.PRJ"), &tree);
    QCOMPARE(busy.Category, quint8(4));
    QCOMPARE(busy.Code, quint16(1));
    QCOMPARE(texts(rig.project), QStringList{"Ouvert"});
    CHECK_PROMPTS_DONE(scope);
}

void TestTopics::missingTopicFilePartWay()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    QVERIFY(writeFile(box.path("P.PRJ"), "P\r\n\tDeux\r\n\tTrois\r\n"));
    QVERIFY(writeFile(box.path("P.1"), topicRtf("un")));
    QVERIFY(writeFile(box.path("Deux.2"), topicRtf("deux")));
    TestSupport::OutlineRig rig;
    TOutlineView &tree = rig.tree;
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &ctx = FLoadPrjTopics(box.path("P.PRJ"), &tree);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Msg, box.path("Trois.3"));
    // All or nothing: no half-read project is left in the outline.
    QCOMPARE(Outline::FCount(&tree), 0);
    CHECK_PROMPTS_DONE(scope);
    FDelAllTopics(&tree);
}

void TestTopics::saveWithoutOverwrite()
{
    TestSupport::Sandbox box;
    TCProject tree;
    QCOMPARE(FSavePrjTopics(box.path("P.PRJ"), &tree, true, nullptr, false).Msg, QStringLiteral("Before Save"));
    QVERIFY(writeFile(box.path("P.PRJ"), "old"));
    tree.FInsert(nullptr, -1, QStringLiteral("P"));
    const TErrorContext &ctx = FSavePrjTopics(box.path("P.PRJ"), &tree, false, nullptr, false);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Msg, QStringLiteral("Can't Rewrite ") + box.path("P.PRJ"));
    QCOMPARE(readFile(box.path("P.PRJ")), QByteArray("old"));
}

void TestTopics::numberingAfterInsertion()
{
    TestSupport::Sandbox box;
    TestSupport::OutlineRig rig;
    const QStringList names{"P", "B", "C", "D", "E"};
    for (const QString &name : names)
        rig.add(name, name + QStringLiteral(" text"));
    QVERIFY(FSavePrjTopics(box.path("P.PRJ"), &rig.project, true, nullptr, false).Category == 0);
    rig.project.FInsert(nullptr, 1, QStringLiteral("New"));
    QVERIFY(FSavePrjTopics(box.path("P.PRJ"), &rig.project, true, nullptr, false).Category == 0);
    for (int k = 2; k <= 5; ++k) {
        const QString name = names[k - 1];
        QVERIFY(QFile::exists(box.path(name + u'.' + QString::number(k + 1))));
        // The file of the old number goes with the save that renumbered.
        QVERIFY(!QFile::exists(box.path(name + u'.' + QString::number(k))));
    }
    QVERIFY(QFile::exists(box.path("New.2")));
}

void TestTopics::saveOneTopicAndDeleteAll()
{
    TestSupport::Sandbox box;
    Globale::FInit(false, false, 1);
    Globale::PConf->PPrj->PrjDir.set(box.path());
    TestSupport::OutlineRig rig;
    TCProject *tree = &rig.project;
    QCOMPARE(FSaveTopic(1, tree, Globale::PConf).Msg, QStringLiteral("Before Save"));
    TTopic *root = rig.add(QStringLiteral("Root"));
    TTopic *child = rig.add(QStringLiteral("Child"), QStringLiteral("enfant"), root);
    rig.add(QString(), QString(), root);
    const TErrorContext &noName = FSaveTopic(3, tree, Globale::PConf);
    QCOMPARE(noName.Category, quint8(8));
    QCOMPARE(noName.Msg, QStringLiteral("Topic Pt nil OR Text = '' "));
    QCOMPARE(FSaveTopic(7, tree, Globale::PConf).Category, quint8(2));
    QVERIFY(!QFile::exists(box.path("Child.2")));

    QCOMPARE(FSaveTopic(2, tree, Globale::PConf).Category, quint8(0));
    QVERIFY(readFile(box.path("Child.2")).contains("enfant"));
    QVERIFY(!child->FChangedSince(box.path("Child.2")));

    // Emptied, the outline leaves nothing in the editor; its history goes.
    rig.tree.setCurrentItem(child);
    QCOMPARE(rig.editor.toPlainText(), QStringLiteral("enfant"));
    QCOMPARE(FDelAllTopics(&rig.tree).Category, quint8(0));
    QCOMPARE(tree->FCount(), 0);
    QVERIFY(!rig.tree.shownTopic());
    QVERIFY(rig.editor.toPlainText().isEmpty());
}

void TestTopics::commandFiles()
{
    TestSupport::Sandbox box;
    QStringList memo;
    const QString cde = box.path("P.CDE");
    QCOMPARE(FLoadPrjCmds(cde, &memo).Msg, QStringLiteral("No File"));
    QCOMPARE(FSavePrjCmds(cde, memo, true).Category, quint8(0));
    QCOMPARE(readFile(cde), QByteArray());
    QCOMPARE(FLoadPrjCmds(cde, &memo).Category, quint8(0));
    QCOMPARE(memo.size(), 0);

    memo << QStringLiteral("\\{bmc logo.bmp\\}") << QString::fromUtf8("{\\uldb caf\\'e9}{\\v Caf\u00e9}") << QStringLiteral("two\r\nlines");
    QCOMPARE(FSavePrjCmds(cde, memo, true).Category, quint8(0));
    QCOMPARE(readFile(cde), QByteArray("\\{bmc logo.bmp\\}\r\n{\\uldb caf\\'e9}{\\v Caf\xe9}\r\ntwo  lines\r\n"));
    const TErrorContext &refused = FSavePrjCmds(cde, memo, false);
    QCOMPARE(refused.Msg, QStringLiteral("Can't Rewrite ") + cde);

    QStringList back;
    QCOMPARE(FLoadPrjCmds(cde, &back).Category, quint8(0));
    memo[2] = QStringLiteral("two  lines");
    QCOMPARE(back, memo);
    QCOMPARE(FSplitCmdLines("a\rb\nc\r\n\r\nd"), QStringList({"a", "b", "c", "", "d"}));
}

void TestTopics::bitmapNames()
{
    TestSupport::Sandbox box;
    QStringList list{"stale"};
    QCOMPARE(FGetBmpNames(box.path("none.CDE"), list).Category, quint8(0));
    QVERIFY(list.isEmpty());
    QVERIFY(writeFile(box.path("P.CDE"), "\\{bmc logo.bmp\\}\r\n{\\uldb voir}{\\v Voir}\r\n\\{bmc Fleche.bmp\\}\r\n"
                                         "\\{bmc LOGO.BMP\\}\r\n{\\uldb x}{\\v !ExecProgram(\"c:\\\\\\\\x.exe\",0)}\r\n"
                                         "\\{bmc \\}\r\n\\{bmc \xe9t\xe9.bmp\\}\r\n"
                                         "{\\uldb \\{bmc carte.shg\\}}{\\v Carte}\r\n")); // a picture that is a jump
    QCOMPARE(FGetBmpNames(box.path("P.CDE"), list).Category, quint8(0));
    QCOMPARE(list, QStringList({"carte.shg", "Fleche.bmp", "logo.bmp", QString::fromUtf8("été.bmp")}));
}

void TestTopics::fontNamesAndShortPaths()
{
    QStringList all;
    QCOMPARE(FGetWinFontNames(all, 65535).Category, quint8(0));
    // The faces a help file's readers have come first (new text takes
    // Arial), shown in faces of the same metrics; no name keeps a foundry.
    QCOMPARE(all.mid(0, 3), QStringList({"Arial", "Times New Roman", "Courier New"}));
    QVERIFY(all.filter(QStringLiteral(" [")).isEmpty());
    QCOMPARE(all.count(QStringLiteral("DejaVu Sans")), qsizetype(QFontDatabase::families().contains("DejaVu Sans") ? 1 : 0));
    if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
        QCOMPARE(QFontInfo(QFont(QStringLiteral("Arial"))).family(), QStringLiteral("Liberation Sans"));
    QStringList some{QStringLiteral("kept")};
    FGetWinFontNames(some, 2); // not cleared first, then cut to the maximum
    QCOMPARE(some, QStringList({"kept", all.first()}));

    TestSupport::Sandbox box;
    QString shortPath = QStringLiteral("old");
    QCOMPARE(FLong2ShortFName(box.path("none.bmp"), shortPath).Category, quint8(0));
    QVERIFY(shortPath.isEmpty());
    QVERIFY(writeFile(box.path("logo.bmp"), "BM"));
    FLong2ShortFName(box.path("logo.bmp"), shortPath);
    QCOMPARE(QFileInfo(shortPath).fileName(), QStringLiteral("logo.bmp"));
}

KIV_TEST(TestTopics)
#include "tst_topics.moc"
