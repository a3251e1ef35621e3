#include "TestSupport.h"

#include <QBuffer>
#include "TestRegistry.h"
#include "editing/MarkerObjects.h"
#include "compiler/sources/Macros.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "platform/Paths.h"
#include "project/Insertions.h"
#include "formats/KivHelpTools.h"
#include "project/Outline.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QUndoStack>

using namespace KIVHelpTools;
using TestSupport::writeFile;

namespace {

// A project of two topics, "Manuel" (selected) and "Aide générale".
struct Fixture : TestSupport::OutlineRig {
    TDisplayContext display;
    QStringList selections;
    TestSupport::ScriptedScope scope;

    Fixture()
    {
        display.PanelHelp = &panel;
        display.OutlineHelp = &tree;
        display.OnSelectionChange = [this](QObject *) { selections << QStringLiteral("sel"); };
        PBindControl(&editor, display);
        Globale::PConf->PPrj->AddTitle = false;
        tree.setCurrentItem(add(QStringLiteral("Manuel")));
        QString second = QString::fromUtf8("Aide générale");
        FAddTopic(second, &tree, Globale::PConf, true);
    }
    TRichEdit *current() { return FCurrentControl(&tree); }
    // The current topic's text as its file holds it (markers written out).
    QString fileText() { return Markers::FPlainText(*current()->document()); }
    // Types `text` into the current topic and selects `selected` in it.
    void select(const QString &text, const QString &selected)
    {
        current()->setPlainText(text);
        if (!selected.isEmpty())
            current()->setTextCursor(current()->document()->find(selected));
    }
    // The colour of the character at `position` (a marker is one).
    QColor colourAt(int position)
    {
        const QTextBlock block = current()->document()->findBlock(position);
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().contains(position))
                return it.fragment().charFormat().foreground().color();
        return {};
    }
};

} // namespace

class TestInsertions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void addTopic();
    void deleteTopic();
    void jumps();
    void jumpRefusals();
    void bitmaps();
    void programCalls();
    void topicAndJump();
    void markerNumbers();
};

void TestInsertions::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Globale::FInit(false, false, 1);
    KIVHelpTools::FInit(false, false, 1);
    Globale::PConf->WinFntList->append(QStringLiteral("DejaVu Sans"));
}

void TestInsertions::addTopic()
{
    Fixture f;
    QCOMPARE(Outline::FCount(&f.tree), 2);
    const TTopic *added = Outline::FItemAt(&f.tree, 2);
    QCOMPARE(added->name, QString::fromUtf8("Aide générale"));
    QVERIFY(!added->parent); // a sibling of the selected topic
    QVERIFY(!added->text()); // not parsed: not shown
    QCOMPARE(f.doc(2)->firstBlock().text(), QString::fromUtf8("Aide générale"));
    QCOMPARE(f.tree.currentItem(), Outline::FItemAt(&f.tree, 1));
    f.editor.textCursor().insertText(QStringLiteral("x")); // bound to the window's handlers
    QVERIFY(!f.selections.isEmpty());

    QString name = QString::fromUtf8("Aide (générale)\r\n");
    QCOMPARE(FAddTopic(name, &f.tree, Globale::PConf, true).Category, quint8(0));
    QCOMPARE(name, QString::fromUtf8("Aide  générale")); // no final blank

    // A name that leads to another page's help context, or that differs
    // only by final blanks, is refused, naming the other page.
    for (const char *clash : {"Aide generale", "AIDE GÉNÉRALE", "Aide générale  "}) {
        f.scope.prompts.answer(Platform::Ok);
        name = QString::fromUtf8(clash);
        QCOMPARE(FAddTopic(name, &f.tree, Globale::PConf, true).Category, quint8(4));
    }
    QCOMPARE(f.scope.prompts.texts().at(0),
             QString::fromUtf8("Nom de page refusé : il mènerait au même contexte d'aide que la page « Aide générale »."));
    QCOMPARE(f.scope.prompts.texts().at(2), QString::fromUtf8("Cette page existe déjà !"));
    f.scope.prompts.clear();

    f.scope.prompts.answer(Platform::Ok);
    name = QStringLiteral("MANUEL");
    const TErrorContext &exists = FAddTopic(name, &f.tree, Globale::PConf, true);
    QCOMPARE(exists.Category, quint8(4));
    QCOMPARE(exists.Code, quint16(8));
    name = QStringLiteral("Aide");
    QCOMPARE(FAddTopic(name, &f.tree, Globale::PConf, false).Category, quint8(0));
    f.scope.prompts.answer(Platform::Ok);
    name = QStringLiteral(" ");
    QCOMPARE(FAddTopic(name, &f.tree, Globale::PConf, true).Msg, QStringLiteral("Blancs"));
    QCOMPARE(f.scope.prompts.texts(), QStringList({QString::fromUtf8("Cette page existe déjà !"),
                                                   "Le nom de la page ne doit pas commencer par un espace"}));

    // With titles added by the help source writer, a new topic starts empty.
    Globale::PConf->PPrj->AddTitle = true;
    name = QStringLiteral("Vide");
    FAddTopic(name, &f.tree, Globale::PConf, false);
    QVERIFY(f.text(Outline::FCount(&f.tree)).isEmpty());
    Globale::PConf->PPrj->AddTitle = false;
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::deleteTopic()
{
    Fixture f;
    QString name;
    f.tree.setCurrentItem(Outline::FItemAt(&f.tree, 2));
    // A question whose buttons say what they do; Annuler keeps all.
    f.scope.prompts.answer(Platform::Cancel);
    QCOMPARE(FDelTopic(name, &f.tree, true).Category, quint8(0));
    QCOMPARE(name, QString::fromUtf8("Aide générale"));
    QCOMPARE(f.scope.prompts.records().last().text, QString::fromUtf8("Supprimer la page « Aide générale » ?"));
    QCOMPARE(f.scope.prompts.lastLabels(), QStringList({"Supprimer la page", "Annuler"}));
    QCOMPARE(Outline::FCount(&f.tree), 2);
    QCOMPARE(f.text(2).left(13), QString::fromUtf8("Aide générale"));

    f.scope.prompts.answer(Platform::Yes);
    FDelTopic(name, &f.tree, true);
    QCOMPARE(Outline::FCount(&f.tree), 1);
    QCOMPARE(f.tree.shownTopic(), Outline::FItemAt(&f.tree, 1));
    // Undone from the outline's history: the page comes back with its text.
    f.tree.undoStack()->undo();
    QCOMPARE(Outline::FCount(&f.tree), 2);
    QCOMPARE(f.text(2).left(13), QString::fromUtf8("Aide générale"));
    f.tree.undoStack()->redo();
    QCOMPARE(Outline::FCount(&f.tree), 1);

    // The question names the pages that link there; deleting takes their
    // links away (their text stays), and one undo brings both back.
    QString third = QStringLiteral("Annexe");
    QCOMPARE(FAddTopic(third, &f.tree, Globale::PConf, true).Category, quint8(0));
    const int line = TestSupport::appendCommand(f.project, QStringLiteral("{\\uldb voir}{\\v Annexe}"));
    TestSupport::appendCommand(f.project, QStringLiteral("{\\uldb autre}{\\v Annexe_bis}"));
    f.current()->setPlainText(QStringLiteral("texte @_%1_voir_@ et @_%2_autre_@").arg(line).arg(line + 1));
    Markers::PToObjects(*f.current()->document());
    QCOMPARE(FTopicsJumpingTo(third, &f.tree), QStringList{"Manuel"});
    const QString before = f.tree.FPlainTextOf(Outline::FItemAt(&f.tree, 1));
    f.tree.setCurrentItem(Outline::FItemAt(&f.tree, 2));
    f.scope.prompts.answer(Platform::Cancel);
    FDelTopic(name, &f.tree, true);
    QCOMPARE(f.scope.prompts.texts().last(), QString::fromUtf8("Supprimer la page « Annexe » ?\n\nCes pages ont des liens vers "
                                                              "elle : « Manuel ».\nCes liens seront retirés (leur texte reste)."));
    QCOMPARE(f.scope.prompts.lastLabels(), QStringList({"Supprimer et retirer les liens", "Annuler"}));
    QCOMPARE(Outline::FCount(&f.tree), 2);
    f.scope.prompts.answer(Platform::Yes);
    FDelTopic(name, &f.tree, true);
    QCOMPARE(Outline::FCount(&f.tree), 1);
    QCOMPARE(f.tree.FPlainTextOf(Outline::FItemAt(&f.tree, 1)), QStringLiteral("texte voir et @_%1_autre_@").arg(line + 1));
    f.tree.undoStack()->undo();
    QCOMPARE(Outline::FCount(&f.tree), 2);
    QCOMPARE(f.tree.FPlainTextOf(Outline::FItemAt(&f.tree, 1)), before);
    f.tree.undoStack()->redo();
    f.tree.setCurrentItem(Outline::FItemAt(&f.tree, 1));

    // A jump an earlier version wrote ("Mode_d\'emploi") and one written
    // now ("Mode_demploi") both lead to the page, and both follow a rename.
    QString notice = QStringLiteral("Mode d'emploi");
    QCOMPARE(FAddTopic(notice, &f.tree, Globale::PConf, true).Category, quint8(0));
    const int legacy = TestSupport::appendCommand(f.project, QStringLiteral("{\\uldb voir}{\\v Mode_d\\'emploi}"));
    const int current = TestSupport::appendCommand(f.project, QStringLiteral("{\\uldb lire}{\\v Mode_demploi}"));
    f.current()->setPlainText(QStringLiteral("@_%1_voir_@ @_%2_lire_@").arg(legacy).arg(current));
    QCOMPARE(FTopicsJumpingTo(notice, &f.tree), QStringList{"Manuel"});
    f.tree.setCurrentItem(Outline::FItemAt(&f.tree, 2));
    QString renamed = QStringLiteral("Notice");
    f.scope.prompts.answer(Platform::Yes);
    QCOMPARE(FRenameTopic(renamed, false, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.project.commands.value(legacy), QStringLiteral("{\\uldb voir}{\\v Notice}"));
    QCOMPARE(f.project.commands.value(current), QStringLiteral("{\\uldb lire}{\\v Notice}"));
    f.scope.prompts.answer(Platform::Yes);
    FDelTopic(name, &f.tree, true);
    f.tree.setCurrentItem(Outline::FItemAt(&f.tree, 1));

    f.scope.prompts.answer(Platform::Ok);
    const TErrorContext &last = FDelTopic(name, &f.tree, true);
    QCOMPARE(last.Code, quint16(10));
    QCOMPARE(f.scope.prompts.texts().last(), QString::fromUtf8("Vous ne pouvez pas effacer un projet à ce niveau !"));
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::jumps()
{
    Fixture f;
    f.select(QString::fromUtf8("Lire la suite : voir aussi\nfin"), QStringLiteral("voir aussi"));
    QString target;
    f.scope.prompts.answerText(QStringLiteral("aide")); // a prefix of "Aide générale", any case
    QCOMPARE(FAddJump(target, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(target, QStringLiteral("aide"));
    QCOMPARE(f.scope.prompts.lastChoices(), QStringList({"Manuel", QString::fromUtf8("Aide générale")})); // the topics offered
    QCOMPARE(f.project.commands, QStringList{"{\\uldb voir aussi}{\\v aide}"});
    QCOMPARE(f.fileText(), QStringLiteral("Lire la suite : @_0_voir_aussi_@\nfin"));
    QCOMPARE(f.colourAt(16), QColor(0, 128, 0));
    QVERIFY(f.current()->currentCharFormat().foreground().color() != QColor(0, 128, 0));
    QCOMPARE(f.scope.prompts.records().first().text,
             QStringLiteral("Saut vers une page|Veuillez entrer le nom de la Page :"));

    // Nothing selected: the page chosen gives the link its text, spelled
    // as the page is.
    f.select(QStringLiteral("Voir "), QString());
    QTextCursor end(f.current()->document());
    end.movePosition(QTextCursor::End);
    f.current()->setTextCursor(end);
    f.scope.prompts.answerText(QString::fromUtf8("aide générale"));
    QCOMPARE(FAddJump(target, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.project.commands.last(), QStringLiteral("{\\uldb Aide g\\'e9n\\'e9rale}{\\v aide_generale}"));
    QCOMPARE(f.fileText(), QString::fromUtf8("Voir @_1_Aide_générale_@"));
    f.project.commands.removeLast();

    // A selection that takes the paragraph break keeps it after the marker;
    // accented and special characters are escaped in the command line.
    f.select(QString::fromUtf8("été {1} c:\\x\nsuite"), QString());
    QTextCursor c(f.current()->document());
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    f.current()->setTextCursor(c);
    target = QString::fromUtf8("Aide générale");
    QCOMPARE(FAddJump(target, false, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.project.commands.last(),
             QString::fromUtf8("{\\uldb \\'e9t\\'e9 \\{1\\} c:\\\\x}{\\v Aide_generale}"));
    QCOMPARE(f.fileText(), QString::fromUtf8("@_1_été_{1}_c:\\x_@\nsuite"));

    // Cancelling the name box changes nothing.
    f.select(QStringLiteral("abc"), QStringLiteral("abc"));
    f.scope.prompts.answerText(QString(), false);
    QCOMPARE(FAddJump(target, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(int(f.project.commands.size()), 2);

    // A pop-up: the same choice of page, its own command and marker.
    f.select(QStringLiteral("une note"), QStringLiteral("note"));
    f.scope.prompts.answerText(QStringLiteral("Manuel"));
    target.clear();
    QCOMPARE(FAddPopup(target, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.project.commands.last(), QStringLiteral("{\\ul note}{\\v Manuel}"));
    QCOMPARE(f.fileText(), QStringLiteral("une @_2_note_@"));
    QCOMPARE(f.scope.prompts.records().last().text.section(u'|', 0, 0), QString::fromUtf8("Fenêtre surgissante"));

    // Opened again, the pop-up takes another text and page: its command
    // line and its marker's label follow, its number stays.
    QTextCursor object(f.current()->document());
    object.setPosition(4);
    object.setPosition(5, QTextCursor::KeepAnchor);
    f.current()->setTextCursor(object);
    f.scope.prompts.answerText(QString::fromUtf8("une remarque"));
    f.scope.prompts.answerText(QString::fromUtf8("Aide générale"));
    QCOMPARE(FEditObject(&f.tree, QString(), true).Category, quint8(0));
    QCOMPARE(f.project.commands.last(), QStringLiteral("{\\ul une remarque}{\\v Aide_generale}"));
    QCOMPARE(f.fileText(), QStringLiteral("une @_2_une_remarque_@"));
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::jumpRefusals()
{
    Fixture f;
    QString target;
    const QStringList expected{QString::fromUtf8("Pas de texte sélectionné !"),
                               QString::fromUtf8("Le texte sélectionné ne doit pas commencer par un espace"),
                               QString::fromUtf8("Cette page n'existe pas !"),
                               QString::fromUtf8("Cette page n'existe pas !")};
    for (int i = 0; i < expected.size(); ++i)
        f.scope.prompts.answer(Platform::Ok);
    f.select(QStringLiteral("abc"), QString());
    QCOMPARE(FAddJump(target, false, &f.tree, true).Code, quint16(11));
    f.select(QStringLiteral(" abc"), QStringLiteral(" abc"));
    QCOMPARE(FAddJump(target, false, &f.tree, true).Code, quint16(11));
    f.select(QStringLiteral("Nulle part"), QStringLiteral("Nulle part"));
    QCOMPARE(FAddJump(target, false, &f.tree, true).Code, quint16(9));
    f.scope.prompts.answerText(QString());
    QCOMPARE(FAddJump(target, true, &f.tree, true).Code, quint16(9)); // an empty name
    QCOMPARE(f.scope.prompts.texts().mid(0, 3), expected.mid(0, 3));
    QCOMPARE(f.scope.prompts.texts().last(), expected.last());
    QCOMPARE(int(f.project.commands.size()), 0);
    QCOMPARE(f.current()->toPlainText(), QStringLiteral("Nulle part"));

    // A selection over a paragraph break would make a marker the help
    // sources cannot take: refused, the text left as it was.
    f.select(QStringLiteral("Aide\ngenerale"), QString());
    QTextCursor all(f.current()->document());
    all.select(QTextCursor::Document);
    f.current()->setTextCursor(all);
    f.scope.prompts.answer(Platform::Ok);
    target = QStringLiteral("Aide");
    QCOMPARE(FAddJump(target, false, &f.tree, true).Code, quint16(11));
    QCOMPARE(f.scope.prompts.texts().last(), QString::fromUtf8("La sélection ne doit pas s'étendre sur plusieurs paragraphes !"));
    QCOMPARE(f.current()->toPlainText(), QStringLiteral("Aide\ngenerale"));
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::bitmaps()
{
    TestSupport::Sandbox box;
    Fixture f;
    QDir().mkdir(box.path("BMP"));
    QDir().mkdir(box.path("ailleurs"));
    const auto picture = [](Qt::GlobalColor colour, const char *format = "BMP") {
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    QVERIFY(writeFile(box.path("BMP/logo.bmp"), picture(Qt::red)));
    QVERIFY(writeFile(box.path("ailleurs/Flèche 1.bmp"), picture(Qt::red)));
    const QString bmpDir = box.path("BMP") + u'/';

    f.select(QStringLiteral("avant apres"), QString());
    QTextCursor c = f.current()->textCursor();
    c.setPosition(6);
    f.current()->setTextCursor(c);
    QString file;
    f.scope.prompts.answerText(box.path("BMP/logo.bmp"));
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QCOMPARE(file, QStringLiteral("logo.bmp"));
    QCOMPARE(f.project.commands, QStringList{"\\{bmc logo.bmp\\}"});
    QCOMPARE(f.fileText(), QStringLiteral("avant @_0_logo.bmp_@apres"));
    // The marker is green; what is typed after it is not.
    QCOMPARE(f.colourAt(6), QColor(0, 128, 0)); // the picture, one character
    QTextCursor marker = f.current()->textCursor();
    f.current()->textCursor().insertText(QStringLiteral("suite"));
    QVERIFY(f.current()->currentCharFormat().foreground().color() != QColor(0, 128, 0));
    marker.setPosition(f.current()->toPlainText().indexOf(QStringLiteral("suite")) + 2);
    QVERIFY(marker.charFormat().foreground().color() != QColor(0, 128, 0));

    // From elsewhere: copied into the bitmap folder, once.
    f.scope.prompts.answerText(box.path("ailleurs/Flèche 1.bmp"));
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QVERIFY(QFile::exists(box.path("BMP/Flèche 1.bmp")));
    QCOMPARE(f.project.commands.last(), QString::fromUtf8("\\{bmc Flèche 1.bmp\\}"));
    QVERIFY(f.fileText().contains(QString::fromUtf8("@_1_Flèche_1.bmp_@")));
    // The same picture again: the file there is used.
    f.scope.prompts.answerText(box.path("ailleurs/Flèche 1.bmp"));
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QCOMPARE(f.project.commands.last(), QString::fromUtf8("\\{bmc Flèche 1.bmp\\}"));
    // Another picture of that name: kept beside it (No), or in its place
    // (Yes); Cancel inserts nothing.
    QVERIFY(writeFile(box.path("ailleurs/Flèche 1.bmp"), picture(Qt::blue)));
    f.scope.prompts.answerText(box.path("ailleurs/Flèche 1.bmp"));
    f.scope.prompts.answer(Platform::No);
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QCOMPARE(file, QString::fromUtf8("Flèche 1_2.bmp"));
    QCOMPARE(TestSupport::readFile(box.path("BMP/Flèche 1_2.bmp")), picture(Qt::blue));
    QCOMPARE(TestSupport::readFile(box.path("BMP/Flèche 1.bmp")), picture(Qt::red));
    f.scope.prompts.answerText(box.path("ailleurs/Flèche 1.bmp"));
    f.scope.prompts.answer(Platform::Yes);
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QCOMPARE(TestSupport::readFile(box.path("BMP/Flèche 1.bmp")), picture(Qt::blue));
    f.scope.prompts.answerText(box.path("ailleurs/logo.bmp"));
    QVERIFY(writeFile(box.path("ailleurs/logo.bmp"), picture(Qt::green)));
    f.scope.prompts.answer(Platform::Cancel);
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
    QVERIFY(file.isEmpty());
    QCOMPARE(int(f.project.commands.size()), 5);

    // Pictures as authors keep them today are taken; a file the help could
    // not show is refused by its name, before anything is copied or inserted.
    for (const char *format : {"PNG", "JPEG", "GIF"}) {
        const QString name = QStringLiteral("ailleurs/photo.") + QString::fromLatin1(format).toLower();
        // Qt writes no GIF: a 1 × 1 one, as other programs write it.
        static const char gif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00,\x00\x00\x00\x00"
                                  "\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
        QVERIFY(writeFile(box.path(name), qstrcmp(format, "GIF") == 0 ? QByteArray(gif, sizeof gif - 1) : picture(Qt::cyan, format)));
        f.scope.prompts.answerText(box.path(name));
        QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(0));
        QCOMPARE(f.project.commands.last(), QStringLiteral("\\{bmc photo.%1\\}").arg(QString::fromLatin1(format).toLower()));
    }
    QVERIFY(writeFile(box.path("ailleurs/faux.png"), "\x89PNG\r\n\x1a\n tronquée"));
    QVERIFY(writeFile(box.path("ailleurs/texte.bmp"), "BM"));
    for (const char *bad : {"faux.png", "texte.bmp"}) {
        f.scope.prompts.answerText(box.path("ailleurs/") + QString::fromLatin1(bad));
        f.scope.prompts.answer(Platform::Ok);
        QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Category, quint8(4));
        QVERIFY2(f.scope.prompts.texts().last().startsWith(QString::fromUtf8("L'image « %1 » ne peut pas être montrée").arg(QString::fromLatin1(bad))),
                 qPrintable(f.scope.prompts.texts().last()));
        QVERIFY(!QFile::exists(bmpDir + QString::fromLatin1(bad)));
    }
    QCOMPARE(int(f.project.commands.size()), 8);

    // Cancelled, selected text, no file.
    f.scope.prompts.answerText(QString(), false);
    FAddBmp(file, bmpDir, true, true, &f.tree);
    QVERIFY(file.isEmpty());
    f.scope.prompts.answer(Platform::Ok);
    file.clear();
    QCOMPARE(FAddBmp(file, bmpDir, false, true, &f.tree).Msg, QString::fromUtf8("Chaîne vide"));
    f.select(QStringLiteral("mot"), QStringLiteral("mot"));
    f.scope.prompts.answer(Platform::Ok);
    QCOMPARE(FAddBmp(file, bmpDir, true, true, &f.tree).Code, quint16(11));
    QCOMPARE(int(f.project.commands.size()), 8);
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::programCalls()
{
    TestSupport::Sandbox box;
    Fixture f;
    QDir().mkdir(box.path("Outils"));
    QVERIFY(writeFile(box.path("Outils/prog.exe"), "MZ"));
    f.select(QString::fromUtf8(" lancer l'outil"), QString::fromUtf8(" lancer l'outil"));
    QString path;
    // A program of this computer: named alone in the help (its path here
    // means nothing on the reader's), which is said; typed text after the
    // marker is not green.
    f.scope.prompts.answerText(QString()); // nothing typed: a file is chosen
    f.scope.prompts.answerText(box.path("Outils/prog.exe"));
    f.scope.prompts.answer(Platform::Ok);
    QCOMPARE(FAddExec(path, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.scope.prompts.records().at(1).text,
             QString::fromUtf8("Programme à lancer|Tous (*.*)|*.*|Exécutable (*.EXE)|*.EXE|Exécutable (*.COM)|*.COM"));
    QVERIFY(f.scope.prompts.texts().last().startsWith(QString::fromUtf8("Le programme sera appelé par son nom seul, « prog.exe »")));
    QCOMPARE(f.project.commands.first(), QStringLiteral("{\\uldb  lancer l'outil}{\\v !ExecProgram(\"prog.exe\",0)}"));
    QCOMPARE(f.fileText(), QStringLiteral("@_0__lancer_l\\'outil_@"));
    QVERIFY(f.current()->currentCharFormat().foreground().color() != QColor(0, 128, 0));

    // A bare name typed in the command's box: taken, no file chosen.
    f.select(QStringLiteral("go"), QStringLiteral("go"));
    f.scope.prompts.answerText(QStringLiteral("notepad.exe"));
    QCOMPARE(FAddExec(path, true, &f.tree, true).Category, quint8(0));
    QCOMPARE(f.project.commands.last(), QStringLiteral("{\\uldb go}{\\v !ExecProgram(\"notepad.exe\",0)}"));

    // A name for the reader's system to find, a Windows path (each
    // backslash becomes four), a program inside a Wine drive: as the
    // reader's system names them.
    QVERIFY(QDir().mkpath(box.path("wine/drive_c/windows")));
    QVERIFY(writeFile(box.path("wine/drive_c/windows/notepad.exe"), "MZ"));
    const QStringList given{"notepad.exe", "C:\\Outils\\prog.exe", box.path("wine/drive_c/windows/notepad.exe")};
    const QStringList written{"notepad.exe", "C:\\\\\\\\Outils\\\\\\\\prog.exe", "C:\\\\\\\\windows\\\\\\\\notepad.exe"};
    for (int i = 0; i < given.size(); ++i) {
        f.select(QStringLiteral("go"), QStringLiteral("go"));
        path = given[i];
        QCOMPARE(FAddExec(path, false, &f.tree, true).Category, quint8(0));
        QCOMPARE(f.project.commands.last(), QStringLiteral("{\\uldb go}{\\v !ExecProgram(\"") + written[i] + QStringLiteral("\",0)}"));
    }
    // Opened again: its text, program and arguments, each in its box; a
    // program whose path has blanks is quoted in the command line, and the
    // compiler takes the macro.
    QTextCursor object(f.current()->document());
    object.setPosition(1);
    f.current()->setTextCursor(object);
    f.scope.prompts.answerText(QStringLiteral("lancer"));
    f.scope.prompts.answerText(QStringLiteral("C:\\Program Files\\Outil\\prog.exe"));
    f.scope.prompts.answerText(QStringLiteral("/x \"mon fichier.txt\""));
    QCOMPARE(FEditObject(&f.tree, QString(), true).Category, quint8(0));
    const QString edited = QStringLiteral("{\\uldb lancer}{\\v !ExecProgram(\"\\\\\"C:\\\\\\\\Program Files\\\\\\\\Outil\\\\\\\\prog.exe\\\\\" "
                                          "/x \\\\\"mon fichier.txt\\\\\"\",0)}");
    QCOMPARE(f.project.commands.last(), edited);
    const QByteArray macro = Markers::FShownOf(edited).target.mid(1).toLatin1().replace("\\\\", "\\");
    QVERIFY(Hlp::checkMacro(macro).errors.isEmpty());
    f.scope.prompts.answerText(QString(), false);
    QCOMPARE(FEditObject(&f.tree, QString(), true).Category, quint8(0));
    QCOMPARE(f.scope.prompts.records().last().offered, QStringLiteral("lancer"));
    f.scope.prompts.answerText(QStringLiteral("lancer"));
    f.scope.prompts.answerText(QString(), false);
    QCOMPARE(FEditObject(&f.tree, QString(), true).Category, quint8(0));
    QCOMPARE(f.scope.prompts.records().last().offered, QStringLiteral("C:\\Program Files\\Outil\\prog.exe"));
    f.scope.prompts.answerText(QStringLiteral("lancer"));
    f.scope.prompts.answerText(QStringLiteral("C:\\Program Files\\Outil\\prog.exe"));
    f.scope.prompts.answerText(QString(), false);
    QCOMPARE(FEditObject(&f.tree, QString(), true).Category, quint8(0));
    QCOMPARE(f.scope.prompts.records().last().offered, QStringLiteral("/x \"mon fichier.txt\""));
    QCOMPARE(f.project.commands.last(), edited);

    // A path of this computer that does not exist is refused.
    f.select(QStringLiteral("go"), QStringLiteral("go"));
    path = box.path("Outils/absent.exe");
    f.scope.prompts.answer(Platform::Ok);
    const TErrorContext &missing = FAddExec(path, false, &f.tree, true);
    QCOMPARE(missing.Category, quint8(7));
    QCOMPARE(missing.Msg, path);
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::topicAndJump()
{
    Fixture f;
    f.select(QStringLiteral("Voir Index (A-Z)"), QStringLiteral("Index (A-Z)"));
    QCOMPARE(FAddTopicAndJump(QStringLiteral("Index (A-Z)"), &f.tree, Globale::PConf, true)
                 .Category,
             quint8(0));
    QCOMPARE(Outline::FItemAt(&f.tree, 3)->name, QStringLiteral("Index  A Z"));
    QCOMPARE(f.project.commands, QStringList{"{\\uldb Index (A-Z)}{\\v Index__A_Z}"});
    QCOMPARE(f.fileText(), QStringLiteral("Voir @_0_Index_(A-Z)_@"));
    QCOMPARE(f.tree.currentItem(), Outline::FItemAt(&f.tree, 1));
    f.scope.prompts.answer(Platform::Ok);
    f.select(QStringLiteral("Manuel"), QStringLiteral("Manuel"));
    QCOMPARE(FAddTopicAndJump(QStringLiteral("Manuel"), &f.tree, Globale::PConf, true)
                 .Code,
             quint16(8));
    CHECK_PROMPTS_DONE(f.scope);
}

void TestInsertions::markerNumbers()
{
    QCOMPARE(FMarker(0, QStringLiteral("voir aussi")), QStringLiteral("@_0_voir_aussi_@"));
    QCOMPARE(FMarker(9999, QStringLiteral("x")), QStringLiteral("@_9999_x_@"));
    QCOMPARE(FMarker(10000, QStringLiteral("x")), QStringLiteral("@_1000_x_@"));
}

KIV_TEST(TestInsertions)
#include "tst_insertions.moc"
