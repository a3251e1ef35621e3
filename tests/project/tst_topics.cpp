#include "TestSupport.h"
#include <QFontDatabase>
#include <QFontInfo>
#include "TestRegistry.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "platform/Paths.h"
#include "project/KivHelpTools.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "project/PrjFiles.h"
#include "project/TopicStore.h"

#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTreeWidget>

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

QStringList texts(const QTreeWidget &tree)
{
    QStringList out;
    for (const Outline::TLine &l : Outline::FLinesOf(&tree))
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

private:
    QWidget m_panel;
    TCREditServer m_pool;
    QStringList m_fonts{QStringLiteral("DejaVu Sans")};
};

void TestTopics::initTestCase()
{
    KIVHelpTools::FInit(false, false, 1);
    m_pool.FInit(false, false, 1, &m_panel, &m_panel, &m_fonts, 1000, 2000, 45000, 2);
}

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
    QTreeWidget tree;
    Outline::PAppendLines(&tree, parsed.lines);
    QCOMPARE(texts(tree), items);
    // Written back: tabs, CR LF, and the same tree when read again.
    const QByteArray written = Outline::FFormat(Outline::FLinesOf(&tree));
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
            QTreeWidget tree;
            Outline::PAppendLines(&tree, parsed.lines);
            QCOMPARE(Outline::FCount(&tree), parsed.lines.size());
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

    QTreeWidget tree;
    const QString cwd = QDir::currentPath();
    QCOMPARE(FLoadPrjTopics(prj, &tree, &m_pool).Category, quint8(0));
    QCOMPARE(texts(tree), QStringList({"Manuel", ">Installation", ">>Menus"}));
    QVERIFY(Outline::FItemAt(&tree, 1)->isExpanded());
    QCOMPARE(Outline::FControlOf(Outline::FItemAt(&tree, 2))->toPlainText(), QString::fromUtf8("Étape 1"));
    QCOMPARE(Outline::FControlOf(Outline::FItemAt(&tree, 3))->toPlainText(), QStringLiteral("plain text, not RTF"));
    QVERIFY(Outline::FControlOf(Outline::FItemAt(&tree, 1))->isHidden());
    QCOMPARE(QDir::currentPath(), cwd); // paths are passed, the current folder stays
    QVERIFY(m_pool.timer()->isActive());

    QStringList files;
    QDir().mkdir(box.path("Copie"));
    QCOMPARE(FSavePrjTopics(box.path("Copie/Manuel.PRJ"), &tree, true, &files, true).Category, quint8(0));
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
    QTreeWidget tree;
    QCOMPARE(FLoadPrjTopics(box.path("none.PRJ"), &tree, &m_pool).Msg, QStringLiteral("No File"));

    QVERIFY(writeFile(box.path("Jump.PRJ"), "A\r\n\t\tB\r\n"));
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &bad = FLoadPrjTopics(box.path("Jump.PRJ"), &tree, &m_pool);
    QCOMPARE(bad.Category, quint8(7));
    QCOMPARE(bad.Code, quint16(4));
    QCOMPARE(scope.prompts.texts().last(),
             QString::fromUtf8("Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! "));
    QCOMPARE(Outline::FCount(&tree), 0);

    QVERIFY(writeFile(box.path("Empty.PRJ"), ""));
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &empty = FLoadPrjTopics(box.path("Empty.PRJ"), &tree, &m_pool);
    QCOMPARE(empty.Category, quint8(4));
    QCOMPARE(empty.Msg, QStringLiteral("After loading"));

    tree.addTopLevelItem(new QTreeWidgetItem(QStringList{"Ouvert"}));
    QVERIFY(writeFile(box.path("A.PRJ"), "A\r\n"));
    const TErrorContext &busy = FLoadPrjTopics(box.path("A.PRJ"), &tree, &m_pool);
    QCOMPARE(busy.Category, quint8(4));
    QCOMPARE(busy.Code, quint16(1));
    QCOMPARE(texts(tree), QStringList{"Ouvert"});
    CHECK_PROMPTS_DONE(scope);
}

void TestTopics::missingTopicFilePartWay()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    QVERIFY(writeFile(box.path("P.PRJ"), "P\r\n\tDeux\r\n\tTrois\r\n"));
    QVERIFY(writeFile(box.path("P.1"), topicRtf("un")));
    QVERIFY(writeFile(box.path("Deux.2"), topicRtf("deux")));
    QTreeWidget tree;
    scope.prompts.answer(Platform::Ok);
    const TErrorContext &ctx = FLoadPrjTopics(box.path("P.PRJ"), &tree, &m_pool);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Msg, box.path("Trois.3"));
    // All or nothing: no half-read project is left in the outline.
    QCOMPARE(Outline::FCount(&tree), 0);
    QVERIFY(m_pool.timer()->isActive());
    CHECK_PROMPTS_DONE(scope);
    FDelAllTopics(&tree);
}

void TestTopics::saveWithoutOverwrite()
{
    TestSupport::Sandbox box;
    QTreeWidget tree;
    QCOMPARE(FSavePrjTopics(box.path("P.PRJ"), &tree, true, nullptr, false).Msg, QStringLiteral("Before Save"));
    QVERIFY(writeFile(box.path("P.PRJ"), "old"));
    tree.addTopLevelItem(new QTreeWidgetItem(QStringList{"P"}));
    const TErrorContext &ctx = FSavePrjTopics(box.path("P.PRJ"), &tree, false, nullptr, false);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Msg, QStringLiteral("Can't Rewrite ") + box.path("P.PRJ"));
    QCOMPARE(readFile(box.path("P.PRJ")), QByteArray("old"));
}

void TestTopics::numberingAfterInsertion()
{
    TestSupport::Sandbox box;
    QTreeWidget tree;
    const QStringList names{"P", "B", "C", "D", "E"};
    for (const QString &name : names) {
        auto *item = new QTreeWidgetItem(QStringList{name});
        tree.addTopLevelItem(item);
        TRichEdit *control = nullptr;
        m_pool.FGet(control);
        control->setPlainText(name + QStringLiteral(" text"));
        Outline::PSetControl(item, control);
    }
    QVERIFY(FSavePrjTopics(box.path("P.PRJ"), &tree, true, nullptr, false).Category == 0);
    auto *inserted = new QTreeWidgetItem(QStringList{"New"});
    tree.insertTopLevelItem(1, inserted);
    TRichEdit *control = nullptr;
    m_pool.FGet(control);
    Outline::PSetControl(inserted, control);
    QVERIFY(FSavePrjTopics(box.path("P.PRJ"), &tree, true, nullptr, false).Category == 0);
    for (int k = 2; k <= 5; ++k) {
        const QString name = names[k - 1];
        QVERIFY(QFile::exists(box.path(name + u'.' + QString::number(k + 1))));
        // The file of the old number goes with the save that renumbered.
        QVERIFY(!QFile::exists(box.path(name + u'.' + QString::number(k))));
    }
    QVERIFY(QFile::exists(box.path("New.2")));
    FDelAllTopics(&tree);
}

void TestTopics::saveOneTopicAndDeleteAll()
{
    TestSupport::Sandbox box;
    Globale::FInit(false, false, 1);
    Globale::PConf->PPrj->PrjDir.set(box.path());
    QTreeWidget tree;
    QCOMPARE(FSaveTopic(1, &tree, Globale::PConf).Msg, QStringLiteral("Before Save"));
    auto *root = new QTreeWidgetItem(QStringList{"Root"});
    tree.addTopLevelItem(root);
    auto *child = new QTreeWidgetItem(QStringList{"Child"});
    root->addChild(child);
    const TErrorContext &noControl = FSaveTopic(2, &tree, Globale::PConf);
    QCOMPARE(noControl.Category, quint8(8));
    QCOMPARE(noControl.Msg, QStringLiteral("Topic Pt nil OR Text = '' "));
    QCOMPARE(FSaveTopic(7, &tree, Globale::PConf).Category, quint8(2));
    QVERIFY(!QFile::exists(box.path("Child.2")));

    TRichEdit *a = nullptr, *b = nullptr;
    m_pool.FGet(a);
    m_pool.FGet(b);
    Outline::PSetControl(root, a);
    Outline::PSetControl(child, b);
    b->setPlainText("enfant");
    QCOMPARE(FSaveTopic(2, &tree, Globale::PConf).Category, quint8(0));
    QVERIFY(readFile(box.path("Child.2")).contains("enfant"));

    QPointer<TRichEdit> ga(a), gb(b);
    QCOMPARE(FDelAllTopics(&tree).Category, quint8(0));
    QCOMPARE(Outline::FCount(&tree), 0);
    QVERIFY(!ga && !gb);
}

void TestTopics::commandFiles()
{
    TestSupport::Sandbox box;
    QPlainTextEdit memo;
    const QString cde = box.path("P.CDE");
    QCOMPARE(FLoadPrjCmds(cde, &memo).Msg, QStringLiteral("No File"));
    QCOMPARE(FSavePrjCmds(cde, &memo, true).Category, quint8(0));
    QCOMPARE(readFile(cde), QByteArray());
    QCOMPARE(FLoadPrjCmds(cde, &memo).Category, quint8(0));
    QCOMPARE(Memo::FLineCount(&memo), 0);

    QCOMPARE(Memo::FAppend(&memo, QStringLiteral("\\{bmc logo.bmp\\}")), 0);
    QCOMPARE(Memo::FAppend(&memo, QString::fromUtf8("{\\uldb caf\\'e9}{\\v Caf\u00e9}")), 1);
    QCOMPARE(Memo::FAppend(&memo, QStringLiteral("two\r\nlines")), 2);
    QCOMPARE(FSavePrjCmds(cde, &memo, true).Category, quint8(0));
    QCOMPARE(readFile(cde), QByteArray("\\{bmc logo.bmp\\}\r\n{\\uldb caf\\'e9}{\\v Caf\xe9}\r\ntwo  lines\r\n"));
    const TErrorContext &refused = FSavePrjCmds(cde, &memo, false);
    QCOMPARE(refused.Msg, QStringLiteral("Can't Rewrite ") + cde);

    QPlainTextEdit back;
    QCOMPARE(FLoadPrjCmds(cde, &back).Category, quint8(0));
    QCOMPARE(Memo::FLines(&back), Memo::FLines(&memo));
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
                                         "\\{bmc \\}\r\n\\{bmc \xe9t\xe9.bmp\\}\r\n"));
    QCOMPARE(FGetBmpNames(box.path("P.CDE"), list).Category, quint8(0));
    QCOMPARE(list, QStringList({"Fleche.bmp", "logo.bmp", QString::fromUtf8("été.bmp")}));
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
