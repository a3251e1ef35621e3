#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/REditServ.h"
#include "editing/SpellCheck.h"

class TestSpelling : public QObject {
    Q_OBJECT
private slots:
    void frenchWordsAndMarkers();
    void underlinedWithoutTouchingTheText();
};

void TestSpelling::frenchWordsAndMarkers()
{
    if (!SpellCheck::available())
        QSKIP("no French dictionary (hunspell-fr) installed");
    // Accents, apostrophes and hyphens are French; markers and codes are
    // not words.
    const QString text = QString::fromUtf8("L'application crée une pàge, voir @_0_voir_aussi_@ ou F1, c’est-à-dire mondde.");
    const QList<QPair<int, int>> wrong = SpellCheck::misspelt(text);
    QStringList words;
    for (const auto &[start, length] : wrong)
        words << text.mid(start, length);
    QCOMPARE(words, QStringList({QString::fromUtf8("pàge"), QStringLiteral("mondde")}));
    QVERIFY(SpellCheck::suggestions(QStringLiteral("mondde")).contains(QStringLiteral("monde")));
}

void TestSpelling::underlinedWithoutTouchingTheText()
{
    if (!SpellCheck::available())
        QSKIP("no French dictionary (hunspell-fr) installed");
    // The underlining is display only: the topic does not count as changed
    // (a save would otherwise write it again) and its formats stay.
    TRichEdit edit;
    SpellCheck::attach(&edit);
    edit.setPlainText(QStringLiteral("Bonjour le mondde"));
    int changes = 0;
    connect(edit.document(), &QTextDocument::contentsChanged, this, [&changes] { ++changes; });
    // A topic nobody sees is not checked; shown, it is.
    QTest::qWait(600);
    QCOMPARE(edit.extraSelections().size(), 0);
    edit.show();
    QTRY_COMPARE(edit.extraSelections().size(), 1);
    QCOMPARE(edit.extraSelections().first().cursor.selectedText(), QStringLiteral("mondde"));
    QCOMPARE(changes, 0);
    QVERIFY(!edit.document()->toHtml().contains(QStringLiteral("spell")));
    QCOMPARE(SpellCheck::misspeltAt(&edit, 13), qMakePair(11, 6));
    QCOMPARE(SpellCheck::misspeltAt(&edit, 2), qMakePair(-1, 0));
}

KIV_TEST(TestSpelling)
#include "tst_spelling.moc"
