#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/OutlineView.h"
#include "editing/REditServ.h"
#include "editing/TopicDocument.h"
#include "formats/TextConv.h"

#include <QGuiApplication>
#include <QWidget>

using namespace TextConv;

static const QStringList kFonts = {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif")};

class TestEditor : public QObject {
    Q_OBJECT
private slots:
    void controlState();
    void oneEditorFollowsTheOutline();
    void textConversions();
};

void TestEditor::controlState()
{
    QWidget panel;
    TRichEdit *edit = nullptr;
    QVERIFY(U_REditServ::FCreateRichEdit(edit, 1234, &kFonts, &panel, &panel));
    QVERIFY(edit->isHidden());
    QCOMPARE(edit->parentWidget(), &panel);
    QVERIFY(edit->toPlainText().isEmpty());
    QCOMPARE(edit->document()->defaultFont().family(), kFonts.first());
    QCOMPARE(edit->currentCharFormat().fontPointSize(), 13.0);
    QVERIFY(edit->currentCharFormat().fontWeight() < QFont::DemiBold);
    QVERIFY(!edit->currentCharFormat().fontItalic() && !edit->currentCharFormat().fontUnderline());
    QCOMPARE(edit->maxLength(), 1234);
    QVERIFY(!edit->tabChangesFocus());
    QCOMPARE(edit->lineWrapMode(), QTextEdit::WidgetWidth);
    QCOMPARE(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    // A full control takes no more typing.
    edit->setMaxLength(3);
    edit->show();
    QTest::keyClicks(edit, "abcdef");
    QCOMPARE(edit->toPlainText(), QStringLiteral("abc"));
}

void TestEditor::oneEditorFollowsTheOutline()
{
    // Topics are parsed when shown, not when read; the editor shows the
    // current one; an edit's undo survives going elsewhere and back; the
    // texts of topics shown long ago go back into their bytes.
    QWidget panel;
    TCProject project;
    TRichEdit editor(&panel);
    TOutlineView view(&project);
    view.setTextFont(TTopicDocument::FDefaultFont(kFonts.first()));
    view.setEditor(&editor);
    QList<Outline::TLine> lines;
    for (int n = 1; n <= 12; ++n)
        lines.append({n == 1 ? 1 : 2, QStringLiteral("Page %1").arg(n)});
    project.PSetLines(lines);
    for (int n = 1; n <= 12; ++n)
        project.FTopicAt(n)->PSetBytes(TTopicDocument::FRtfOf(QStringLiteral("texte %1").arg(n), view.textFont()));
    // Only the topic shown (the first, none being current) is parsed.
    QCOMPARE(view.shownTopic(), project.FTopicAt(1));
    QCOMPARE(editor.toPlainText(), QStringLiteral("texte 1"));
    for (int n = 2; n <= 12; ++n)
        QVERIFY(!project.FTopicAt(n)->text());

    view.setCurrentItem(project.FTopicAt(2));
    QCOMPARE(editor.toPlainText(), QStringLiteral("texte 2"));
    QVERIFY(!project.FTopicAt(3)->text()); // topic 1, shown before, stays among the recent ones
    QTextCursor c(editor.document());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral(" bis"));
    for (int n = 3; n <= 12; ++n)
        view.setCurrentItem(project.FTopicAt(n));
    QCOMPARE(view.keptTexts(), TOutlineView::RecentTexts + 1);
    // Topic 2 left the cache: its change is in its bytes, its undo is gone.
    QVERIFY(!project.FTopicAt(2)->text());
    QCOMPARE(view.FPlainTextOf(project.FTopicAt(2)), QStringLiteral("texte 2 bis"));

    view.setCurrentItem(project.FTopicAt(4));
    editor.textCursor().insertText(QStringLiteral("x"));
    view.setCurrentItem(project.FTopicAt(5));
    view.setCurrentItem(project.FTopicAt(4));
    QCOMPARE(editor.toPlainText(), QStringLiteral("xtexte 4"));
    editor.undo();
    QCOMPARE(editor.toPlainText(), QStringLiteral("texte 4"));

    // A topic taken out of the outline is never left in the editor.
    view.setCurrentItem(project.FTopicAt(6));
    std::unique_ptr<TTopic> taken = project.FTake(project.FTopicAt(6));
    QVERIFY(editor.document() != static_cast<TTopicDocument *>(taken->text())->document());
    QVERIFY(view.shownTopic() && view.shownTopic() != taken.get());
    project.PClear();
    QVERIFY(!view.shownTopic());
    QVERIFY(editor.isHidden());
}

void TestEditor::textConversions()
{
    QCOMPARE(FCleanTopicName(QString::fromUtf8("Aide (générale)")), QString::fromUtf8("Aide  générale "));
    QCOMPARE(FCleanTopicName(QString::fromUtf8("a°\\{}¨£µ§¤/:*?\"<>|+=()[],@#-!;_z")),
             QStringLiteral("a                             _z"));
    // The context the compiler keeps, so that it has nothing to say of it;
    // earlier versions' spelling still labels markers.
    QCOMPARE(FContextName(QStringLiteral("Mode d'emploi")), QStringLiteral("Mode_demploi"));
    QCOMPARE(FContextName(QString::fromUtf8("Réglages généraux (Été)")), QStringLiteral("Reglages_generaux_Ete"));
    QCOMPARE(FLegacyContextName(QStringLiteral("Mode d'emploi")), QStringLiteral("Mode_d\\'emploi"));
    QCOMPARE(FDoubleBackslash(QStringLiteral("C:\\Outils\\prog.exe"), Quadruple),
             QStringLiteral("C:\\\\\\\\Outils\\\\\\\\prog.exe"));
    QCOMPARE(FDoubleBackslash(QStringLiteral("a\\b"), Single), QStringLiteral("a\\\\b"));
    QCOMPARE(FRtfEscape(QString::fromUtf8("été {x} \\ °¨ ñ")),
             QStringLiteral("\\'e9t\\'e9 \\{x\\} \\\\ \\'b0\\'a8 ") + QString::fromUtf8("ñ"));
    QCOMPARE(FRtfEscape(QString(300, u'a')).size(), 255);
    QString s = QStringLiteral("voir aussi\r\n");
    QVERIFY(FStripLineEnd(s));
    QCOMPARE(s, QStringLiteral("voir aussi"));
    QVERIFY(!FStripLineEnd(s));
    // New text takes the same face on every machine, whatever the desktop's.
    const QFont desktop = QGuiApplication::font();
    QGuiApplication::setFont(QFont(QStringLiteral("DejaVu Serif"), 9));
    QVERIFY(TTopicDocument::FRtfOf(QStringLiteral("x"), TTopicDocument::FDefaultFont(QString())).contains("Arial;"));
    QGuiApplication::setFont(desktop);
}

KIV_TEST(TestEditor)
#include "tst_editor.moc"
