#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/REditServ.h"
#include "project/ClipFind.h"
#include "formats/KivHelpTools.h"
#include "project/Outline.h"

#include <QClipboard>
#include <QGuiApplication>

using namespace KIVHelpTools;

namespace {

struct Topic : TestSupport::OutlineRig {
    TRichEdit *edit = &editor;
    explicit Topic(const QString &text) { tree.setCurrentItem(add(QStringLiteral("T"), text)); }
    void select(int start, int length)
    {
        QTextCursor c(edit->document());
        c.setPosition(start);
        c.setPosition(start + length, QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
    }
    int selStart() const { return edit->textCursor().selectionStart(); }
    QString selected() const { return edit->textCursor().selectedText(); }
};

TFindOptions find(const QString &text, bool down = true, bool matchCase = false, bool wholeWord = false)
{
    TFindOptions o;
    o.findText = text;
    o.down = down;
    o.matchCase = matchCase;
    o.wholeWord = wholeWord;
    return o;
}

} // namespace

class TestClipFind : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { KIVHelpTools::FInit(false, false, 1); }
    void noTopics();
    void searching();
    void replacing();
    void throughTheProject();
    void clipboard();
};

void TestClipFind::noTopics()
{
    TestSupport::ScriptedScope scope;
    TCProject project;
    TOutlineView view(&project);
    TOutlineView *empty = &view;
    for (int i = 0; i < 5; ++i)
        scope.prompts.answer(Platform::Ok);
    QCOMPARE(FCopy2Clip(empty, true).Category, quint8(4));
    FCut2Clip(empty, true);
    FPasteFromClip(empty, true);
    FFindText(empty, find("x"), true);
    FReplaceText(empty, find("x"), true);
    QCOMPARE(scope.prompts.texts(), QStringList(5, "Il n'y a pas de Pages dans ce projet !"));
    CHECK_PROMPTS_DONE(scope);
}

void TestClipFind::searching()
{
    Topic t(QString::fromUtf8("Les Ecoles, (Ecole) et l'école ÉCOLE.\nEcole"));
    // Whole word: not inside "Ecoles", yes between parentheses.
    QVERIFY(FSearchEdit(t.edit, "Ecole", find("Ecole", true, true, true)));
    QCOMPARE(t.selStart(), 13);
    // Down from a selection that is a match finds the next one.
    QVERIFY(FSearchEdit(t.edit, "Ecole", find("Ecole", true, true, true)));
    QCOMPARE(t.selStart(), 38);
    QVERIFY(!FSearchEdit(t.edit, "Ecole", find("Ecole", true, true, true)));
    QCOMPARE(t.selStart(), 38); // unchanged when nothing is found
    // Up, and without match case: accented capitals match too.
    QVERIFY(FSearchEdit(t.edit, QString::fromUtf8("école"), find(QString::fromUtf8("école"), false)));
    QCOMPARE(t.selected(), QString::fromUtf8("ÉCOLE"));
    QVERIFY(FSearchEdit(t.edit, QString::fromUtf8("école"), find(QString::fromUtf8("école"), false)));
    QCOMPARE(t.selected(), QString::fromUtf8("école"));
    // An accented letter is a word delimiter.
    t.select(0, 0);
    QVERIFY(FSearchEdit(t.edit, "cole", find("cole", true, true, true)));
    QCOMPARE(t.selStart(), 26);

    TestSupport::ScriptedScope scope;
    scope.prompts.answer(Platform::Ok);
    scope.prompts.answer(Platform::Ok);
    FFindText(&t.tree, find(""), true);
    FFindText(&t.tree, find("absent"), true);
    QCOMPARE(scope.prompts.texts(), QStringList({QString::fromUtf8("Texte non trouvé : \"\""),
                                                 QString::fromUtf8("Texte non trouvé : \"absent\"")}));
    CHECK_PROMPTS_DONE(scope);
}

void TestClipFind::replacing()
{
    TestSupport::ScriptedScope scope;
    {
        // Replace all, down, with a replacement holding the search text: ends.
        Topic t("a b a b a");
        TFindOptions o = find("a");
        o.replaceText = "aa";
        o.replaceAll = true;
        t.select(0, 0);
        FReplaceText(&t.tree, o, true);
        QCOMPARE(t.edit->toPlainText(), QStringLiteral("aa b aa b aa"));
    }
    {
        // The same searching up, from the end.
        Topic t("a b a b a");
        TFindOptions o = find("a", false);
        o.replaceText = "xax";
        o.replaceAll = true;
        t.select(9, 0);
        FReplaceText(&t.tree, o, true);
        QCOMPARE(t.edit->toPlainText(), QStringLiteral("xax b xax b xax"));
    }
    {
        // A single replace: the selected match, then the next is selected.
        Topic t("un deux un deux");
        TFindOptions o = find("UN");
        o.replaceText = "1";
        o.replace = true;
        t.select(0, 2);
        FReplaceText(&t.tree, o, true);
        QCOMPARE(t.edit->toPlainText(), QStringLiteral("1 deux un deux"));
        QCOMPARE(t.selStart(), 7);
        // The last one is replaced, and the search for another finds none.
        scope.prompts.answer(Platform::Ok);
        FReplaceText(&t.tree, o, true);
        QCOMPARE(t.edit->toPlainText(), QStringLiteral("1 deux 1 deux"));
        QCOMPARE(scope.prompts.texts().last(), QString::fromUtf8("Texte non trouvé : \"UN\""));
    }
    CHECK_PROMPTS_DONE(scope);
}

void TestClipFind::clipboard()
{
    Topic t("copier coller");
    t.select(0, 6);
    QCOMPARE(FCopy2Clip(&t.tree, true).Category, quint8(0));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copier"));
    t.select(7, 6);
    FCut2Clip(&t.tree, true);
    QCOMPARE(t.edit->toPlainText(), QStringLiteral("copier "));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("coller"));
    t.select(0, 6);
    FPasteFromClip(&t.tree, true);
    QCOMPARE(t.edit->toPlainText(), QStringLiteral("coller "));
}

void TestClipFind::throughTheProject()
{
    // "Dans toutes les pages": the search goes on in the next topics (the
    // previous ones going up), round to the first; replace-all does every
    // topic.
    Topic t("alpha");
    for (const char *text : {"rien", "un beta", "beta et beta", "beta @_0_voir_beta_@"})
        t.add(QString::fromLatin1(text).section(u'@', 0, 0).trimmed(), QString::fromLatin1(text));
    t.project.commands << QStringLiteral("{\\uldb voir beta}{\\v Aide}");
    TFindOptions o = find("beta");
    o.allTopics = true;
    t.select(0, 0);
    FFindText(&t.tree, o, true);
    QCOMPARE(Outline::FPositionOf(&t.tree, t.tree.currentItem()), 3);
    QCOMPARE(t.editor.toPlainText(), QStringLiteral("un beta"));
    QCOMPARE(t.editor.textCursor().selectedText(), QStringLiteral("beta"));
    FFindText(&t.tree, o, true);
    QCOMPARE(Outline::FPositionOf(&t.tree, t.tree.currentItem()), 4);
    o.down = false; // back up: from the fourth topic's first match to the third
    FFindText(&t.tree, o, true);
    QCOMPARE(Outline::FPositionOf(&t.tree, t.tree.currentItem()), 3);
    o.down = true;
    o.findText = "alpha"; // round to the first topic
    FFindText(&t.tree, o, true);
    QCOMPARE(Outline::FPositionOf(&t.tree, t.tree.currentItem()), 1);

    o.findText = "beta";
    o.replaceText = "gamma";
    o.replaceAll = true;
    FReplaceText(&t.tree, o, true);
    QCOMPARE(t.text(3), QStringLiteral("un gamma"));
    QCOMPARE(t.text(4), QStringLiteral("gamma et gamma"));
    QCOMPARE(t.text(2), QStringLiteral("rien"));
    // A link's visible text is its command line's: replace-all leaves it.
    QCOMPARE(t.text(5), QStringLiteral("gamma @_0_voir_beta_@"));
    QCOMPARE(t.project.commands.first(), QStringLiteral("{\\uldb voir beta}{\\v Aide}"));
    QVERIFY(!t.project.FTopicAt(2)->text()); // searched, never shown
    QCOMPARE(Outline::FPositionOf(&t.tree, t.tree.currentItem()), 1);
}

KIV_TEST(TestClipFind)
#include "tst_clipfind.moc"
