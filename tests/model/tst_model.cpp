// The project model and its files, without a QApplication: nothing here
// may need widgets or a display.
#include "formats/OutlineFile.h"
#include "formats/ProjectFiles.h"
#include "model/Project.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest/QtTest>

namespace {

struct TFakeText : TTopicText {
    QByteArray rtf;
    quint64 changes = 0;
    QByteArray FRtf() const override { return rtf; }
    quint64 changeCount() const override { return changes; }
    void PLoad(const QByteArray &bytes) override { rtf = bytes; }
};

QStringList names(const TCProject &p)
{
    QStringList out;
    for (const Outline::TLine &l : p.FLines())
        out << QString(l.level - 1, u'>') + l.text;
    return out;
}

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestModel : public QObject {
    Q_OBJECT
private slots:
    void outlineEdits();
    void topicBytesFollowTheParsedText();
    void readingAProjectParsesNothing();
};

void TestModel::outlineEdits()
{
    QVERIFY(!QCoreApplication::instance());
    TCProject p;
    QAbstractItemModelTester tester(&p, QAbstractItemModelTester::FailureReportingMode::QtTest);
    p.PSetLines({{1, "Manuel"}, {2, "Installation"}, {2, "Utilisation"}, {3, "Menus"}});
    QCOMPARE(names(p), QStringList({"Manuel", ">Installation", ">Utilisation", ">>Menus"}));
    QCOMPARE(p.FPositionOf(p.FFind("Menus")), 4);
    QVERIFY(!p.outlineChanged);

    // A chapter moves with its pages; a topic cannot go into its own child.
    TTopic *use = p.FFind("Utilisation");
    QVERIFY(p.FMove(use, p.FFind("Manuel"), 0));
    QCOMPARE(names(p), QStringList({"Manuel", ">Utilisation", ">>Menus", ">Installation"}));
    QVERIFY(!p.FMove(use, p.FFind("Menus"), 0));
    QVERIFY(p.outlineChanged);

    // Taken out and put back elsewhere, a topic keeps its text.
    p.FFind("Installation")->PSetBytes("{\\rtf1 x}");
    std::unique_ptr<TTopic> taken = p.FTake(p.FFind("Installation"));
    QCOMPARE(p.FCount(), 3);
    p.PPut(p.FFind("Menus"), -1, std::move(taken));
    QCOMPARE(names(p), QStringList({"Manuel", ">Utilisation", ">>Menus", ">>>Installation"}));
    QCOMPARE(p.FTopicAt(4)->FBytes(), QByteArray("{\\rtf1 x}"));
    QCOMPARE(Outline::FParse(Outline::FFormat(p.FLines())).lines, p.FLines());
    p.PRename(p.FTopicAt(2), "Emploi");
    QCOMPARE(p.data(p.FIndexOf(p.FTopicAt(2))).toString(), QStringLiteral("Emploi"));
}

void TestModel::topicBytesFollowTheParsedText()
{
    TTopic t;
    t.PSetBytes("stored");
    t.PMarkSaved("/p/T.1", t.revision());
    QVERIFY(!t.FChangedSince("/p/T.1"));
    QVERIFY(t.FChangedSince("/p/T.2")); // renumbered: its new file is not written yet

    auto text = std::make_shared<TFakeText>();
    text->rtf = "stored";
    t.PSetText(text);
    QVERIFY(!t.FChangedSince("/p/T.1")); // parsing is no change
    text->rtf = "typed";
    ++text->changes;
    QVERIFY(t.FChangedSince("/p/T.1"));
    QCOMPARE(t.FBytes(), QByteArray("typed"));
    QVERIFY(t.FChangedSince("/p/T.1")); // taken, not yet written
    t.PMarkSaved("/p/T.1", t.revision());
    QVERIFY(!t.FChangedSince("/p/T.1"));
}

void TestModel::readingAProjectParsesNothing()
{
    QTemporaryDir dir;
    const QString prj = dir.filePath("Manuel.PRJ");
    QVERIFY(write(prj, "Manuel\r\n\tInstallation\r\n"));
    // Bytes as another program wrote them stay as they are.
    const QByteArray odd = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f2 Courier;}}\\f2 texte\\par}";
    QVERIFY(write(dir.filePath("Manuel.1"), odd));
    QVERIFY(write(dir.filePath("Installation.2"), "plain"));
    TCProject p;
    ProjectFiles::TReadFailure failure;
    QVERIFY(ProjectFiles::FReadTopics(prj, p, &failure));
    QCOMPARE(p.FTopicAt(1)->FBytes(), odd);
    QVERIFY(!p.FTopicAt(1)->text());
    QVERIFY(!p.FTopicAt(2)->FChangedSince(dir.filePath("Installation.2")));
    QVERIFY(p.FTopicAt(1)->keywords.isEmpty()); // no keywords file: none

    // The index keywords, kept beside the outline (Windows-1252); a line
    // for a page that is gone is passed over.
    p.FTopicAt(2)->keywords = QString::fromUtf8("mise en route; réglages, écran; Справка");
    const QByteArray keywords = ProjectFiles::FKeywordsBytes(p);
    QCOMPARE(keywords, QString::fromUtf8("Installation\tmise en route; réglages, écran; Справка\r\n").toUtf8());
    QVERIFY(write(dir.filePath("Manuel.KEY"), keywords + "Ailleurs\tperdu\r\n"));
    QVERIFY(ProjectFiles::FReadTopics(prj, p, &failure));
    QCOMPARE(p.FTopicAt(2)->keywords, QString::fromUtf8("mise en route; réglages, écran; Справка"));
    QVERIFY(p.FTopicAt(1)->keywords.isEmpty());

    // A missing topic file, a name no file can have: refused, with the
    // file or line named.
    QVERIFY(QFile::remove(dir.filePath("Installation.2")));
    QVERIFY(!ProjectFiles::FReadTopics(prj, p, &failure));
    QCOMPARE(failure.msg, dir.filePath("Installation.2"));
    QVERIFY(write(prj, "Manuel\r\n\t../etc\r\n"));
    QVERIFY(!ProjectFiles::FReadTopics(prj, p, &failure));
    QVERIFY(failure.shown.contains(QStringLiteral("ligne 2")));
}

QTEST_APPLESS_MAIN(TestModel)
#include "tst_model.moc"
