// The main window driven as an author drives it, on a real X server under a
// window manager: drags made with the mouse through the outline's own drag
// loop, keys sent to whichever widget has the focus.
#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/Globale.h"
#include "platform/Paths.h"
#include "editing/REditServ.h"
#include "editing/SpellCheck.h"
#include "project/Outline.h"
#include "project/PrjLife.h"
#include "sequencer/Actions.h"
#include "sequencer/Seq.h"
#include "compiler/HelpCompiler.h"
#include "platform/SafeFile.h"
#include "sequencer/Startup.h"
#include "ui/MainWindow.h"
#include "ui/PreviewPane.h"
#include "editing/MarkerObjects.h"
#include "editing/RtfText.h"
#include "project/Insertions.h"

#include <QClipboard>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QSpinBox>
#include <QTimer>
#include <QWindow>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dropsNeverLoseAPage();
    void sizeBoxKeepsTheText();
    void editorKeysStayTheEditors();
    void outlineArrowsShowThePage();
    void keysThroughSpelledPagesAndAnImport();
    void typingAfterObjectsTakesTheTextsFormat();
    void picturesPastedDroppedAndReplaced();
    void brokenLinksShowAsBroken();
    void pagesAddedByNameInARow();
    void statusLineFollowsTheCaret();

private:
    TRichEdit *addTopic(const QString &name);
    // Presses on `item`, drags and releases at `to` (viewport coordinates),
    // through the view's drag loop as the mouse does it.
    void drag(TTopic *item, QPoint to);
    QStringList names() const;
    void settle();

    std::unique_ptr<TFrmKivHelp> m_window;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    std::unique_ptr<TestSupport::Sandbox> m_box;
    QString m_shots = qEnvironmentVariable("SHOTS"); // a folder for screenshots, when given
};

void TestWindow::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run through tests/desktop/run.sh)");
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
}

void TestWindow::init()
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
    Globale::PConf->PPrj->PrjState = PrjOpened;
    m_window->showNormal();
    m_window->resize(1000, 700);
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestWindow::cleanup()
{
    settle(); // what the last keys and clicks posted
    Globale::PConf->PPrj->PrjState = PrjNone;
    KIVHelpTools::FClosePrj(Globale::PConf, m_window->display());
    Startup::setMainWindow(nullptr);
    m_window.reset();
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

void TestWindow::settle()
{
    // What the keys posted runs on the sequencer's next steps.
    for (int i = 0; i < 3; ++i) {
        QTest::qWait(30);
        Seq::timer()->PCAllBack();
    }
}

TRichEdit *TestWindow::addTopic(const QString &name)
{
    const TDisplayContext &d = m_window->display();
    d.OutlineHelp->setCurrentItem(TestSupport::addTopic(*d.OutlineHelp, name, name));
    m_window->FrmFShowSelTopic();
    return m_window->editor();
}

QStringList TestWindow::names() const
{
    QStringList out;
    for (const Outline::TLine &line : m_window->display().OutlineHelp->project()->FLines())
        out << QString::number(line.level) + line.text;
    return out;
}

void TestWindow::drag(TTopic *item, QPoint to)
{
    TOutlineView *outline = m_window->display().OutlineHelp;
    QWindow *win = m_window->windowHandle();
    const auto inWindow = [outline, this](QPoint p) { return outline->viewport()->mapTo(m_window.get(), p); };
    const QPoint from = outline->visualRect(outline->project()->FIndexOf(item)).center();
    // The drag runs a loop of its own: the rest of the gesture comes from
    // inside it, once it has begun.
    bool dropped = false;
    QTimer finisher;
    finisher.setInterval(30);
    connect(&finisher, &QTimer::timeout, this, [&] {
        if (dropped || !outline->findChild<QDrag *>())
            return;
        dropped = true;
        QTest::mouseMove(win, inWindow(to + QPoint(0, 1)));
        QTest::mouseMove(win, inWindow(to));
        QTest::mouseRelease(win, Qt::LeftButton, {}, inWindow(to));
    });
    finisher.start();
    QTest::mousePress(win, Qt::LeftButton, {}, inWindow(from));
    for (int step = 1; step <= 10 && !dropped; ++step)
        QTest::mouseMove(win, inWindow(from + QPoint(step * 2, step * QApplication::startDragDistance())));
    QVERIFY2(dropped, "the drag did not begin");
    QTest::qWait(30);
}

void TestWindow::dropsNeverLoseAPage()
{
    for (const char *name : {"Manuel", "Un", "Deux", "Trois"})
        addTopic(QString::fromLatin1(name));
    TOutlineView *outline = m_window->display().OutlineHelp;
    const auto row = [outline](int n) { return outline->visualRect(outline->project()->FIndexOf(Outline::FItemAt(outline, n))); };
    const auto item = [outline](int n) { return Outline::FItemAt(outline, n); };

    // Onto the middle of a row: the page becomes its last sub-page.
    drag(item(3), row(2).center());
    QCOMPARE(names(), (QStringList{"1Manuel", "1Un", "2Deux", "1Trois"}));
    // On the upper edge of a row: before it.
    drag(item(4), QPoint(row(2).center().x(), row(2).top() + 1));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Trois", "1Un", "2Deux"}));
    // On the lower edge: after it, at its level.
    drag(item(4), QPoint(row(2).center().x(), row(2).bottom() - 1));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Trois", "1Deux", "1Un"}));
    // On the empty area below the last row: last of the outline.
    drag(item(2), QPoint(row(4).center().x(), row(4).bottom() + 40));
    QCOMPARE(names(), (QStringList{"1Manuel", "1Deux", "1Un", "1Trois"}));
    // Onto itself: nothing moves, nothing goes.
    drag(item(3), row(3).center());
    QCOMPARE(names(), (QStringList{"1Manuel", "1Deux", "1Un", "1Trois"}));
    // Every page kept its text.
    for (int n = 1; n <= 4; ++n)
        QCOMPARE(outline->FPlainTextOf(item(n)), item(n)->name);
}

void TestWindow::sizeBoxKeepsTheText()
{
    // A size typed into the box and confirmed with Enter applies to the
    // selection; neither the digits nor the Enter reach the text.
    TRichEdit *control = addTopic(QStringLiteral("Manuel"));
    control->setPlainText(QStringLiteral("Bonjour le monde"));
    control->setFocus();
    QTextCursor c = control->textCursor();
    c.setPosition(8);
    c.setPosition(16, QTextCursor::KeepAnchor); // "le monde"
    control->setTextCursor(c);
    auto *size = m_window->findChild<QSpinBox *>(QStringLiteral("FontSize"));
    QTest::mouseClick(size, Qt::LeftButton);
    QTRY_VERIFY(size->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    for (const char key : {'1', '8'}) {
        QTest::keyClick(QApplication::focusWidget(), key);
        settle();
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    settle();
    QCOMPARE(control->toPlainText(), QStringLiteral("Bonjour le monde"));
    QTRY_VERIFY(control->hasFocus()); // Enter gives the text back its focus
    QCOMPARE(control->textCursor().selectedText(), QStringLiteral("le monde"));
    c.setPosition(12);
    QCOMPARE(c.charFormat().fontPointSize(), 18.0);
    c.setPosition(3);
    QVERIFY(c.charFormat().fontPointSize() != 18.0);
}

void TestWindow::editorKeysStayTheEditors()
{
    // In the text, Ctrl+Shift+Left and Right select by words, as in every
    // editor; in the outline they move the page a level.
    addTopic(QStringLiteral("Manuel"));
    TRichEdit *control = addTopic(QString::fromUtf8("Présentation générale"));
    control->setPlainText(QStringLiteral("un deux trois"));
    control->setFocus();
    QTRY_VERIFY(control->hasFocus());
    control->moveCursor(QTextCursor::End);
    QTest::keyClick(control, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    QCOMPARE(control->textCursor().selectedText(), QStringLiteral("trois"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    QCOMPARE(names(), (QStringList{"1Manuel", QString::fromUtf8("1Présentation générale")}));
    // The outline's own keys still work there.
    outline->setFocus();
    QTRY_VERIFY(outline->hasFocus());
    addTopic(QStringLiteral("Suite"));
    outline->setFocus();
    settle();
    QTest::keyClick(outline, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    settle();
    QCOMPARE(names(), (QStringList{"1Manuel", QString::fromUtf8("1Présentation générale"), "2Suite"}));
}

void TestWindow::outlineArrowsShowThePage()
{
    // The arrows move through the outline and the page follows, so that
    // F2 and the tree keys act on the page in view; the outline keeps the
    // keys.
    TRichEdit *first = addTopic(QStringLiteral("Manuel"));
    TRichEdit *second = addTopic(QStringLiteral("Suite"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    QVERIFY(first == second); // one editor, showing the current page
    QCOMPARE(first->toPlainText(), QStringLiteral("Manuel"));
    QTest::mouseClick(outline->viewport(), Qt::LeftButton, {}, outline->visualRect(outline->project()->FIndexOf(Outline::FItemAt(outline, 1))).center());
    settle();
    QTRY_VERIFY(outline->hasFocus());
    QTest::keyClick(outline, Qt::Key_Down);
    settle();
    QVERIFY(second->isVisible());
    QCOMPARE(second->toPlainText(), QStringLiteral("Suite"));
    QVERIFY(outline->hasFocus());
}

void TestWindow::keysThroughSpelledPagesAndAnImport()
{
    // Down held at typing speed through more pages than the editor keeps
    // parsed, from a page whose misspelt words are underlined, some pages
    // empty; then the same after an import replaced the project. The
    // underlines of a page whose text has gone must go with it.
    for (int n = 0; n < 14; ++n)
        addTopic(n % 3 == 2 ? QString() : QString::fromUtf8("Pagee %1 avecc des fotes").arg(n));
    TOutlineView *outline = m_window->display().OutlineHelp;
    TRichEdit *editor = m_window->editor();
    const auto walk = [&] {
        outline->setCurrentItem(Outline::FItemAt(outline, 1));
        m_window->FrmFShowSelTopic();
        if (SpellCheck::available())
            QTRY_VERIFY(!editor->extraSelections().isEmpty());
        QTest::mouseClick(outline->viewport(), Qt::LeftButton, {},
                          outline->visualRect(outline->project()->FIndexOf(Outline::FItemAt(outline, 1))).center());
        QTRY_VERIFY(outline->hasFocus());
        for (int n = 1; n < Outline::FCount(outline); ++n) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            QTest::qWait(90);
            Seq::timer()->PCAllBack();
        }
        settle();
        QTest::qWait(600); // the spelling check runs on the last page
        for (const QTextEdit::ExtraSelection &mark : editor->extraSelections())
            QCOMPARE(mark.cursor.document(), editor->document());
        QCOMPARE(outline->shownTopic(), Outline::FItemAt(outline, Outline::FCount(outline)));
    };
    walk();
    // An import shown the underlined page, then the keys again.
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    if (SpellCheck::available())
        QTRY_VERIFY(!editor->extraSelections().isEmpty());
    QByteArray rtf = "{\\rtf1 ";
    for (int n = 0; n < 12; ++n)
        rtf += "#{\\footnote p" + QByteArray::number(n) + "}${\\footnote Sujet " + QByteArray::number(n)
               + "}Texte mal ecrit numero " + QByteArray::number(n) + "\\par\\page ";
    rtf += "}";
    QVERIFY(TestSupport::writeFile(m_box->path("a.hpj"), "[OPTIONS]\r\nTITLE=Ancienne\r\n[FILES]\r\na.rtf\r\n"));
    QVERIFY(TestSupport::writeFile(m_box->path("a.rtf"), rtf));
    const Hlp::TCompileResult compiled = Hlp::compileProject(m_box->path("a.hpj"));
    QVERIFY(compiled.ok);
    QVERIFY(TestSupport::writeFile(m_box->path("ancienne.hlp"), compiled.hlp));
    QDir().mkpath(m_box->path("BMP"));
    Globale::PConf->PIni->BMP.set(m_box->path("BMP") + u'/');
    m_scope->prompts.answer(Platform::Yes); // the open project: left
    m_scope->prompts.answerText(m_box->path("ancienne.hlp"));
    m_scope->prompts.answerText(QStringLiteral("Reprise"));
    m_scope->prompts.answer(Platform::Ok);
    settle();
    Seq::PPostCmd(CmdImportHelp, CatApp);
    Seq::PSeqStep();
    Seq::timer()->PCAllBack();
    settle();
    QTest::qWait(600);
    QVERIFY2(Globale::PConf->PPrj->PrjFile.get() == m_box->path("Reprise/Reprise.PRJ"), qPrintable(m_scope->prompts.texts().join(u'|')));
    QCOMPARE(Outline::FCount(outline), 12);
    walk();
}

void TestWindow::typingAfterObjectsTakesTheTextsFormat()
{
    // A jump, a pop-up, a picture and a program call at the end of a line;
    // the author leaves the line, comes back with End and types: the words
    // are in the line's format (black), in the editor and in the file.
    addTopic(QStringLiteral("Manuel"));
    TRichEdit *editor = addTopic(QStringLiteral("Cible"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    QDir().mkpath(m_box->path("BMP"));
    Globale::PConf->PIni->BMP.set(m_box->path("BMP") + u'/');
    outline->objects()->setPictureFolder(m_box->path("BMP") + u'/');
    QImage square(12, 10, QImage::Format_RGB32);
    square.fill(Qt::red);
    QVERIFY(square.save(m_box->path("BMP/carre.bmp"), "BMP"));
    const QString tool = TestSupport::makeScript(m_box->path("outil.sh"), "exit 0\n");
    editor->setPlainText(QStringLiteral("Voir un\nVoir deux\nImage \nLancer trois"));
    const auto select = [editor](const QString &words) { editor->setTextCursor(editor->document()->find(words)); };
    QString target;
    select(QStringLiteral("un"));
    m_scope->prompts.answerText(QStringLiteral("Cible"));
    QCOMPARE(KIVHelpTools::FAddJump(target, true, outline, true).Category, quint8(0));
    select(QStringLiteral("deux"));
    m_scope->prompts.answerText(QStringLiteral("Cible"));
    QCOMPARE(KIVHelpTools::FAddPopup(target, true, outline, true).Category, quint8(0));
    QTextCursor c(editor->document()->findBlockByNumber(2));
    c.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(c);
    target = QStringLiteral("carre.bmp");
    QCOMPARE(KIVHelpTools::FAddBmp(target, Globale::PConf->PIni->BMP.get(), false, true, outline).Category, quint8(0));
    select(QStringLiteral("trois"));
    target = tool;
    m_scope->prompts.answer(Platform::Ok); // a program named alone in the help: said
    QCOMPARE(KIVHelpTools::FAddExec(target, false, outline, true).Category, quint8(0));
    QCOMPARE(outline->project()->commands.size(), 4);

    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    for (int line = 0; line < 4; ++line) {
        QTextCursor start(editor->document()->findBlockByNumber(line));
        editor->setTextCursor(start);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        for (const char ch : QByteArray(" fin"))
            QTest::keyClick(QApplication::focusWidget(), ch);
    }
    settle();
    QTextDocument saved;
    RtfText::FReadRtf(saved, RtfText::FWriteRtf(*editor->document()));
    Markers::PToObjects(saved);
    QCOMPARE(saved.blockCount(), 4);
    for (QTextBlock block = saved.begin(); block.isValid(); block = block.next()) {
        QVERIFY2(block.text().endsWith(QStringLiteral("\uFFFC fin")), qPrintable(block.text()));
        QTextCursor typed(block);
        typed.movePosition(QTextCursor::EndOfBlock);
        const QTextCharFormat f = typed.charFormat();
        QVERIFY2(f.objectType() != Markers::ObjectType, qPrintable(block.text()));
        QVERIFY2(!f.hasProperty(QTextFormat::ForegroundBrush) || f.foreground().color() == Qt::black,
                 qPrintable(block.text() + u' ' + f.foreground().color().name()));
        QTextCursor first(block);
        first.movePosition(QTextCursor::Right);
        QCOMPARE(first.charFormat().foreground().color().name(), typed.charFormat().foreground().color().name());
    }
}

void TestWindow::picturesPastedDroppedAndReplaced()
{
    // A PNG file dropped onto the text and a picture pasted from the
    // clipboard go in as the picture command puts them; a file the help
    // could not show is refused by name; a picture replaced in the folder
    // is drawn anew.
    TRichEdit *editor = addTopic(QStringLiteral("Manuel"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    QDir().mkpath(m_box->path("BMP"));
    Globale::PConf->PIni->BMP.set(m_box->path("BMP") + u'/');
    outline->objects()->setPictureFolder(m_box->path("BMP") + u'/');
    editor->setPlainText(QStringLiteral("Avant apres"));
    QImage tall(20, 60, QImage::Format_RGB32);
    tall.fill(Qt::darkBlue);
    QVERIFY(tall.save(m_box->path("photo.png"), "PNG"));
    QVERIFY(TestSupport::writeFile(m_box->path("faux.png"), "pas une image"));
    const auto drop = [&](const QString &file) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(file)});
        QTextCursor at(editor->document());
        at.setPosition(6);
        const QPoint point = editor->cursorRect(at).center();
        QDragEnterEvent enter(point, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(editor->viewport(), &enter);
        QDragMoveEvent move(point, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(editor->viewport(), &move);
        QDropEvent dropped(point, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(editor->viewport(), &dropped);
        settle();
    };
    drop(m_box->path("photo.png"));
    QCOMPARE(outline->project()->commands.value(0), QStringLiteral("\\{bmc photo.png\\}"));
    QVERIFY(QFile::exists(m_box->path("BMP/photo.png")));
    QCOMPARE(Markers::FPlainText(*editor->document()), QStringLiteral("Avant @_0_photo.png_@apres"));
    const auto lineHeight = [editor] {
        return editor->document()->documentLayout()->blockBoundingRect(editor->document()->begin()).height();
    };
    QTRY_VERIFY(lineHeight() >= 60);
    m_scope->prompts.answer(Platform::Ok);
    drop(m_box->path("faux.png"));
    QVERIFY2(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("L'image « faux.png » ne peut pas être montrée")),
             qPrintable(m_scope->prompts.texts().last()));
    QCOMPARE(outline->project()->commands.size(), 1);

    // Replaced where it is, by another program: taller now.
    QImage taller(20, 120, QImage::Format_RGB32);
    taller.fill(Qt::darkRed);
    QVERIFY(taller.save(m_box->path("BMP/photo.png"), "PNG"));
    QTRY_VERIFY(lineHeight() >= 120);

    // Pasted from the clipboard: a new PNG file of the picture folder.
    QImage square(30, 30, QImage::Format_RGB32);
    square.fill(Qt::green);
    QApplication::clipboard()->setImage(square);
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    settle();
    QCOMPARE(outline->project()->commands.value(1), QStringLiteral("\\{bmc image_collee_1.png\\}"));
    QImage pasted(m_box->path("BMP/image_collee_1.png"));
    QCOMPARE(pasted.convertToFormat(QImage::Format_RGB32), square);
    // Text that a word processor copies with a picture of itself stays text.
    auto *both = new QMimeData;
    both->setText(QStringLiteral("du texte copié"));
    both->setImageData(square);
    QApplication::clipboard()->setMimeData(both);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::ControlModifier);
    settle();
    QCOMPARE(outline->project()->commands.size(), 2);
    QVERIFY(editor->toPlainText().endsWith(QStringLiteral("du texte copié")));
}

void TestWindow::brokenLinksShowAsBroken()
{
    // A jump whose page was renamed without it: drawn red and wavy in the
    // editor and in the preview, at once; renamed back, green again.
    addTopic(QStringLiteral("Manuel"));
    addTopic(QStringLiteral("Cible"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    TRichEdit *editor = m_window->editor();
    editor->setPlainText(QStringLiteral("Voir la cible ici"));
    editor->setTextCursor(editor->document()->find(QStringLiteral("la cible")));
    QString target;
    m_scope->prompts.answerText(QStringLiteral("Cible"));
    QCOMPARE(KIVHelpTools::FAddJump(target, true, outline, true).Category, quint8(0));
    const auto inks = [editor] {
        QTextCursor at(editor->document());
        at.setPosition(5);
        const QRect box = editor->cursorRect(at).adjusted(0, -2, 40, 4);
        const QImage shot = editor->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int red = 0, green = 0;
        for (int y = qMax(0, box.top()); y < qMin(shot.height(), box.bottom()); ++y)
            for (int x = qMax(0, box.left()); x < qMin(shot.width(), box.right()); ++x) {
                const QColor c = shot.pixelColor(x, y);
                red += c.red() > c.green() + 80 && c.red() > c.blue() + 80;
                green += c.green() > c.red() + 60 && c.green() > c.blue() + 60;
            }
        return qMakePair(red, green);
    };
    QTRY_VERIFY(inks().second > 0 && inks().first == 0);
    // Renamed, the jump not led along (No).
    outline->setCurrentItem(Outline::FItemAt(outline, 2));
    QString renamed = QStringLiteral("Autre");
    m_scope->prompts.answer(Platform::No);
    QCOMPARE(KIVHelpTools::FRenameTopic(renamed, false, outline, true).Category, quint8(0));
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    QTRY_VERIFY(inks().first > 0 && inks().second == 0);
    // The preview draws it broken too.
    TPreviewPane *preview = m_window->preview();
    preview->scheduleRefresh(0);
    QTRY_VERIFY(preview->browser()->toPlainText().contains(QStringLiteral("la cible")));
    QTextCursor link = preview->browser()->document()->find(QStringLiteral("la cible"));
    link.setPosition(link.selectionStart() + 2);
    QCOMPARE(link.charFormat().underlineStyle(), QTextCharFormat::WaveUnderline);
    if (!m_shots.isEmpty())
        m_window->grab().save(m_shots + QStringLiteral("/broken-link.png"));
    // Its page back: a plain jump again.
    outline->setCurrentItem(Outline::FItemAt(outline, 2));
    renamed = QStringLiteral("Cible");
    QCOMPARE(KIVHelpTools::FRenameTopic(renamed, false, outline, true).Category, quint8(0));
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->FrmFShowSelTopic();
    QTRY_VERIFY(inks().second > 0 && inks().first == 0);
}

void TestWindow::pagesAddedByNameInARow()
{
    // Names typed into the page-name field, each ended by Enter: the field
    // keeps the keys, so every name becomes a page (none goes into a text);
    // each page starts with its name in the title format.
    addTopic(QStringLiteral("Manuel"));
    QLineEdit *field = m_window->newPageField();
    QTest::mouseClick(field, Qt::LeftButton);
    QTRY_VERIFY(field->hasFocus());
    for (const char *name : {"Un", "Deux", "Trois"}) {
        for (const char *c = name; *c; ++c)
            QTest::keyClick(QApplication::focusWidget(), *c);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        settle();
        QVERIFY2(field->hasFocus(), name);
    }
    QCOMPARE(names(), (QStringList{"1Manuel", "1Un", "1Deux", "1Trois"}));
    TOutlineView *outline = m_window->display().OutlineHelp;
    for (int n = 2; n <= 4; ++n) {
        QTextCursor title(outline->FDocumentOf(Outline::FItemAt(outline, n)));
        QCOMPARE(title.block().text(), Outline::FItemAt(outline, n)->name);
        title.movePosition(QTextCursor::Right);
        QCOMPARE(title.charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(title.charFormat().fontPointSize(), 15.0);
        QTextCursor body(title.block().next());
        QVERIFY(body.charFormat().fontWeight() != int(QFont::Bold));
    }
}

void TestWindow::statusLineFollowsTheCaret()
{
    // Keys at typing speed: the line and column are the caret's after each
    // one, not a second later.
    TRichEdit *editor = addTopic(QStringLiteral("Manuel"));
    editor->setPlainText(QStringLiteral("un\ndeux trois\nquatre"));
    editor->setFocus();
    QTRY_VERIFY(editor->hasFocus());
    editor->moveCursor(QTextCursor::Start);
    auto *status = m_window->findChild<QLabel *>(QStringLiteral("StatusPanel0"));
    QVERIFY(status);
    const auto said = [status] { return status->text().simplified(); };
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QCOMPARE(said(), QStringLiteral("Lig: 2 Col: 1"));
    for (int k = 0; k < 4; ++k) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::qWait(33);
        QCOMPARE(said(), QStringLiteral("Lig: 2 Col: %1").arg(k + 2));
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(said(), QStringLiteral("Lig: 3 Col: 7"));
}

KIV_TEST(TestWindow)
#include "tst_window.moc"
