#include "TestSupport.h"
#include "TestRegistry.h"

#include "editing/MarkerObjects.h"
#include "compiler/hlp/HlpPicture.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "editing/TopicDocument.h"
#include "platform/SafeFile.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QDir>
#include <QImage>
#include <QTextCursor>
#include <QtTest/QtTest>

using namespace Markers;

class TestMarkers : public QObject {
    Q_OBJECT
private slots:
    void topicsComeBackByteForByte();
    void objectsBehaveAsOneCharacter();
    void objectsShowWhatTheReaderSees();
    void objectsDrawnWhereTheyAreMeasured();
};

namespace {

const QFont kFont = TTopicDocument::FDefaultFont(QStringLiteral("DejaVu Sans"));

// A topic file as the program writes it, with markers in green runs.
QByteArray topicWith(const QStringList &pieces)
{
    QTextDocument doc;
    doc.setDefaultFont(kFont);
    QTextCursor c(&doc);
    QTextCharFormat plain, green;
    green.setForeground(QColor(0, 128, 0));
    for (const QString &piece : pieces) {
        if (piece == QLatin1String("\n"))
            c.insertBlock();
        else
            c.insertText(piece, piece.startsWith(QLatin1String("@_")) ? green : plain);
    }
    return RtfText::FWriteRtf(doc);
}

int objectCount(const QTextDocument &doc) { return int(doc.toPlainText().count(QChar::ObjectReplacementCharacter)); }

} // namespace

void TestMarkers::topicsComeBackByteForByte()
{
    // The sample project: each topic with its markers shown as objects
    // writes what the same topic writes with its markers as text.
    const QDir sample(QStringLiteral(KIVHELP_SOURCE_DIR "/resources/sample/Kivhelp"));
    int objects = 0;
    for (const QString &name : sample.entryList({QStringLiteral("*.[0-9]*")}, QDir::Files)) {
        QByteArray bytes;
        QVERIFY(Platform::readWholeFile(sample.filePath(name), &bytes));
        QTextDocument asText;
        asText.setDefaultFont(kFont);
        RtfText::FReadRtf(asText, bytes);
        TTopicDocument shown(bytes, kFont);
        objects += objectCount(*shown.document());
        QCOMPARE(shown.FRtf(), RtfText::FWriteRtf(asText));
        QCOMPARE(FPlainText(*shown.document()), asText.toPlainText());
    }
    QVERIFY(objects >= 6);
    // 111 pages with pictures, jumps, pop-ups and program calls, markers
    // side by side, at a paragraph's ends and alone on a line: the bytes
    // the program wrote come back.
    for (int page = 0; page < 111; ++page) {
        const QString n = QString::number(page % 7);
        const QByteArray bytes = topicWith({QStringLiteral("Page %1 : voir ").arg(page), "@_" + n + "_voir_aussi_@",
                                            ", puis ", "@_1_logo.bmp_@@_2_Fen\\'etre_@", "\n",
                                            "@_3__lancer_l\\'outil_@", "\n", QString::fromUtf8("fin é @_ pas un repère")});
        TTopicDocument shown(bytes, kFont);
        QCOMPARE(objectCount(*shown.document()), 4);
        QCOMPARE(shown.FRtf(), bytes);
    }
}

void TestMarkers::objectsBehaveAsOneCharacter()
{
    TRichEdit editor;
    TTopicDocument topic(topicWith({"Lire ", "@_0_voir_aussi_@", " puis la suite"}), kFont);
    editor.setDocument(topic.document());
    const QStringList commands{"{\\uldb voir aussi}{\\v Aide}"};
    TObjectPainter painter;
    painter.setCommands(&commands);
    painter.attach(topic.document());
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    // The caret steps over the whole marker.
    QTextCursor c = editor.textCursor();
    c.setPosition(5);
    editor.setTextCursor(c);
    QTest::keyClick(&editor, Qt::Key_Right);
    QCOMPARE(editor.textCursor().position(), 6);
    // A search never matches inside it.
    QVERIFY(topic.document()->find(QStringLiteral("voir")).isNull());
    // Backspace takes it whole; undo brings it back with its marker.
    QTest::keyClick(&editor, Qt::Key_Backspace);
    QCOMPARE(FPlainText(*topic.document()), QStringLiteral("Lire  puis la suite"));
    topic.document()->undo();
    QCOMPARE(FPlainText(*topic.document()), QStringLiteral("Lire @_0_voir_aussi_@ puis la suite"));

    // A double-click on it, or Enter while it is selected, opens it.
    int opened = 0;
    editor.onOpenObject = [&] { ++opened; };
    QTextCursor before(topic.document()), after(topic.document());
    before.setPosition(5);
    after.setPosition(6);
    const QPoint middle = (editor.cursorRect(before).center() + editor.cursorRect(after).center()) / 2;
    QVERIFY(editor.cursorRect(after).x() - editor.cursorRect(before).x() > 20); // drawn as its visible text
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, middle);
    QCOMPARE(opened, 1);
    QCOMPARE(editor.textCursor().selectionStart(), 5);
    QCOMPARE(editor.textCursor().selectionEnd(), 6);
    QTest::keyClick(&editor, Qt::Key_Return);
    QCOMPARE(opened, 2);
    QCOMPARE(FPlainText(*topic.document()), QStringLiteral("Lire @_0_voir_aussi_@ puis la suite"));

    // Copied with the text around it and pasted into another topic, it
    // keeps its marker, so its command line.
    c.setPosition(2);
    c.setPosition(8, QTextCursor::KeepAnchor);
    editor.setTextCursor(c);
    editor.copy();
    TTopicDocument other(topicWith({"Autre page. "}), kFont);
    editor.setDocument(other.document());
    editor.moveCursor(QTextCursor::End);
    editor.paste();
    QCOMPARE(FPlainText(*other.document()), QStringLiteral("Autre page. re @_0_voir_aussi_@ p"));
    QCOMPARE(objectCount(*other.document()), 1);
    QCOMPARE(other.document()->blockCount(), 1);
}

void TestMarkers::objectsShowWhatTheReaderSees()
{
    QCOMPARE(int(FShownOf(QStringLiteral("\\{bmc logo.bmp\\}")).kind), int(TKind::Picture));
    TShown jump = FShownOf(QStringLiteral("{\\uldb Les param\\'e8tres}{\\v Les_parametres}"));
    QCOMPARE(int(jump.kind), int(TKind::Jump));
    QCOMPARE(jump.text, QString::fromUtf8("Les paramètres"));
    QCOMPARE(jump.target, QStringLiteral("Les_parametres"));
    QCOMPARE(int(FShownOf(QStringLiteral("{\\ul note}{\\v Note}")).kind), int(TKind::Popup));
    QCOMPARE(int(FShownOf(QStringLiteral("{\\uldb outil}{\\v !ExecProgram(\"a.exe\",0)}")).kind), int(TKind::Program));
    QCOMPARE(int(FShownOf(QStringLiteral("{\\uldb cassé")).kind), int(TKind::Other));
    QCOMPARE(FWithoutMarkers(QStringLiteral("voir @_2_voir_aussi_@@_3_x_@ et @_ rien")),
             QStringLiteral("voir \uFFFC\uFFFC et @_ rien"));

    // A picture takes its size; a jump the width of its visible text, not
    // of its marker.
    TestSupport::Sandbox box;
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(box.path("logo.bmp")));
    const QStringList commands{"\\{bmc logo.bmp\\}", "{\\uldb Voir}{\\v Aide}"};
    TObjectPainter painter;
    painter.setCommands(&commands);
    painter.setPictureFolder(box.path());
    QTextCharFormat text;
    text.setFont(kFont);
    QCOMPARE(painter.intrinsicSize(nullptr, 0, FObjectFormat(text, "@_0_logo.bmp_@")), QSizeF(40, 30));
    // A hotspot graphic (the help file's own picture format) too.
    QByteArray shg;
    QString why;
    QVERIFY(Hlp::bmpToPicture(TestSupport::readFile(box.path("logo.bmp")), &shg, &why));
    QVERIFY(TestSupport::writeFile(box.path("carte.shg"), shg));
    const QStringList withGraphic{"\\{bml carte.shg\\}"};
    painter.setCommands(&withGraphic);
    QCOMPARE(painter.intrinsicSize(nullptr, 0, FObjectFormat(text, "@_0_carte.shg_@")), QSizeF(40, 30));
    // A picture that is a jump (an imported help's): the picture, with
    // room for its underline.
    const TShown pictureJump = FShownOf(QStringLiteral("{\\uldb \\{bmc carte.shg\\}}{\\v Carte}"));
    QCOMPARE(int(pictureJump.kind), int(TKind::Jump));
    QCOMPARE(pictureJump.picture, QStringLiteral("carte.shg"));
    QCOMPARE(pictureJump.target, QStringLiteral("Carte"));
    const QStringList withLink{"{\\uldb \\{bmc carte.shg\\}}{\\v Carte}"};
    painter.setCommands(&withLink);
    QCOMPARE(painter.intrinsicSize(nullptr, 0, FObjectFormat(text, "@_0_carte.shg_@")), QSizeF(40, 33));
    painter.setCommands(&commands);
    const QSizeF link = painter.intrinsicSize(nullptr, 0, FObjectFormat(text, "@_1_un_libelle_tres_long_@"));
    QCOMPARE(link.width(), QFontMetricsF(text.font()).horizontalAdvance(QStringLiteral("Voir")));
}

void TestMarkers::objectsDrawnWhereTheyAreMeasured()
{
    // A link just inserted (its format names no font: the page's is used)
    // and one read from a file, in each face and size the author may pick:
    // nothing of it is drawn past the place the text after it starts.
    const QStringList commands{"{\\uldb Voir.}{\\v Aide}", "{\\ul note,}{\\v Note}", "{\\uldb outil}{\\v !ExecProgram(\"a.exe\",0)}"};
    TObjectPainter painter;
    painter.setCommands(&commands);
    QStringList faces;
    for (const QString &face : {"Liberation Sans", "Liberation Serif", "Liberation Mono", "DejaVu Sans", "DejaVu Serif"})
        if (QFontDatabase::hasFamily(face))
            faces << face;
    QVERIFY(!faces.isEmpty());
    TRichEdit editor;
    editor.resize(900, 200);
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
    QStringList wrong;
    for (const QString &face : faces)
        for (const int size : {8, 10, 13, 18, 28})
            for (int command = 0; command < commands.size(); ++command)
                for (const bool explicitFont : {false, true}) {
                    auto *doc = new QTextDocument(&editor);
                    doc->setDefaultFont(QFont(face, size));
                    painter.attach(doc);
                    QTextCursor c(doc);
                    QTextCharFormat text;
                    if (explicitFont)
                        text.setFont(QFont(face, size));
                    c.insertText(QStringLiteral("abc "), text);
                    QTextCharFormat green = text;
                    green.setForeground(QColor(0, 128, 0));
                    c.insertText(QString(QChar::ObjectReplacementCharacter),
                                 FObjectFormat(green, QStringLiteral("@_%1_x_@").arg(command)));
                    const int after = c.position();
                    c.insertText(QStringLiteral("WWW"), text);
                    editor.setDocument(doc);
                    QTextCursor at(doc);
                    at.setPosition(after);
                    const int edge = editor.cursorRect(at).left();
                    const QImage shot = editor.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
                    for (int y = 0; y < shot.height(); ++y)
                        for (int x = edge + 2; x < shot.width(); ++x) {
                            const QColor px = shot.pixelColor(x, y);
                            if (px.green() > px.red() + 50 && px.green() > px.blue() + 50) {
                                wrong << QStringLiteral("%1 %2 pt, object %3%4: green at x=%5, text from x=%6")
                                             .arg(face).arg(size).arg(command).arg(explicitFont ? " (font given)" : "").arg(x).arg(edge);
                                y = shot.height();
                                break;
                            }
                        }
                }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
}

KIV_TEST(TestMarkers)
#include "tst_markers.moc"
