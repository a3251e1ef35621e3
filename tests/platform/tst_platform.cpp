#include "TestSupport.h"
#include "TestRegistry.h"

#include "platform/Cp1252.h"
#include "platform/FolderChanges.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "ui/QtPrompts.h"
#include "platform/ShortString.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QRandomGenerator>
#include <QTimer>
#include <sys/stat.h>
#include <unistd.h>

using namespace Platform;
using TestSupport::readFile;
using TestSupport::writeFile;

class TestPlatform : public QObject {
    Q_OBJECT
private slots:
    void cp1252AllBytesRoundTrip();
    void cp1252KnownCharacters();
    void shortStringCutsAndEncodes();
    void iniReadsLikePrivateProfile();
    void iniIntegers_data();
    void iniIntegers();
    void iniWriteKeepsOtherLines();
    void iniWriteNewFileInOrder();
    void iniUnreadableAndUnwritable();
    void iniSurvivesGarbage();
    void pathsStandIns();
    void scriptedPromptsRecordAndAnswer();
    void standardDialogsInFrench();
    void batchReusesReplacedFilesAndRewritesInPlace();
    void failedRenameKeepsTheJournal();
};

void TestPlatform::cp1252AllBytesRoundTrip()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = fromCp1252(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(toCp1252(text), all);
    for (int b = 0; b < 256; ++b)
        QCOMPARE(cp1252Byte(text.at(b)), b);
}

void TestPlatform::cp1252KnownCharacters()
{
    QCOMPARE(fromCp1252(QByteArray("\x80\x92\x9c\xe9", 4)), QString::fromUtf8("€’œé"));
    QCOMPARE(toCp1252(QString::fromUtf8("é€Ÿ")), QByteArray("\xe9\x80\x9f"));
    // Characters outside the code page are written as '?'.
    QCOMPARE(toCp1252(QString::fromUtf8("a\u4e2d\u0394b")), QByteArray("a??b"));
    QCOMPARE(cp1252Upper(QString::fromUtf8("éàçœÿz")), QString::fromUtf8("ÉÀÇŒŸZ"));
    QCOMPARE(cp1252Upper(QString::fromUtf8("÷ß")), QString::fromUtf8("÷ß"));
}

void TestPlatform::shortStringCutsAndEncodes()
{
    String255 s{};
    s.set(QString(300, u'x'));
    QCOMPARE(int(s.len), 255);
    QCOMPARE(s.get(), QString(255, u'x'));
    ShortStr<10> small{};
    small.set(QString::fromUtf8("\\fs30 très long"));
    QCOMPARE(small.get(), QString::fromUtf8("\\fs30 très"));
    QCOMPARE(small.data[8], '\xe8');
}

void TestPlatform::iniReadsLikePrivateProfile()
{
    IniFile ini(QStringLiteral("/nonexistent/none.ini"));
    QCOMPARE(ini.readString("S", "K", "def"), QStringLiteral("def"));
    ini.parse("; comment=1\r\n"
              "[Config]\r\n"
              "  Dirpath =  c:\\a b\\ \r\n"
              "dirpath=second\r\n"
              "Quoted=\"  spaced \"\r\n"
              "Single='x'\r\n"
              "Half=\"x\r\n"
              "Semi=a;b\r\n"
              "noequals\r\n"
              "=nokey\r\n"
              "Accent=caf\xe9\r\n"
              "[config]\r\n"
              "Other=1\r\n"
              "[Second]\n"
              "Lf=only\n");
    QCOMPARE(ini.readString("CONFIG", "DIRPATH", "x"), QStringLiteral("c:\\a b\\"));
    QCOMPARE(ini.readString("Config", "Quoted", "x"), QStringLiteral("  spaced "));
    QCOMPARE(ini.readString("Config", "Single", "x"), QStringLiteral("x"));
    QCOMPARE(ini.readString("Config", "Half", "x"), QStringLiteral("\"x"));
    QCOMPARE(ini.readString("Config", "Semi", "x"), QStringLiteral("a;b"));
    QCOMPARE(ini.readString("Config", "noequals", "d"), QStringLiteral("d"));
    QCOMPARE(ini.readString("Config", "Accent", "x"), QString::fromUtf8("café"));
    // The first section of that name wins; a later duplicate is not read.
    QCOMPARE(ini.readString("Config", "Other", "none"), QStringLiteral("none"));
    QCOMPARE(ini.readString("second", "LF", "x"), QStringLiteral("only"));
    QVERIFY(ini.valueExists("Config", "semi"));
    QVERIFY(!ini.valueExists("Nope", "semi"));
}

void TestPlatform::iniIntegers_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("blanks") << "  7  " << 7;
    QTest::newRow("hex") << "0xFFFFFF" << 16777215;
    QTest::newRow("HEX") << "0X1f" << 31;
    QTest::newRow("hex 32-bit") << "0xFFFFFFFF" << -1;
    QTest::newRow("hex too big") << "0x100000000" << 99;
    QTest::newRow("hex empty") << "0x" << 99;
    QTest::newRow("hex sign") << "0x-5" << 99;
    QTest::newRow("word") << "abc" << 99;
    QTest::newRow("trailing junk") << "12abc" << 99;
    QTest::newRow("empty") << "" << 99;
    QTest::newRow("too big") << "99999999999" << 99;
}

void TestPlatform::iniIntegers()
{
    QFETCH(QString, value);
    QFETCH(int, expected);
    IniFile ini(QStringLiteral("/nonexistent/none.ini"));
    ini.parse("[S]\r\nK=" + toCp1252(value) + "\r\n");
    QCOMPARE(ini.readInteger("s", "k", 99), expected);
    QCOMPARE(ini.readBool("s", "k", true), expected != 0);
}

void TestPlatform::iniWriteKeepsOtherLines()
{
    TestSupport::Sandbox box;
    const QString file = box.path("keep.ini");
    QVERIFY(writeFile(file, "; top comment\r\n"
                            "[Config]\r\n"
                            "B=old\r\n"
                            "Unknown=stays\r\n"
                            "\r\n"
                            "[Other]\r\n"
                            "X=1\r\n"));
    {
        IniFile ini(file);
        ini.writeString("CONFIG", "b", "new\r\nline");
        ini.writeInteger("Config", "A", 5);
        ini.writeBool("Third", "T", true);
        ini.flush();
    }
    QCOMPARE(readFile(file), QByteArray("; top comment\r\n"
                                        "[Config]\r\n"
                                        "b=new  line\r\n"
                                        "Unknown=stays\r\n"
                                        "A=5\r\n"
                                        "\r\n"
                                        "[Other]\r\n"
                                        "X=1\r\n"
                                        "[Third]\r\n"
                                        "T=1\r\n"));
}

void TestPlatform::iniWriteNewFileInOrder()
{
    TestSupport::Sandbox box;
    const QString file = box.path("new.ini");
    IniFile ini(file);
    ini.writeString("Param", "Z", QString::fromUtf8("é"));
    ini.writeString("Param", "A", "2");
    ini.writeString("Param", "M", "3");
    QVERIFY(!QFile::exists(file)); // nothing is written before flush
    ini.flush();
    QCOMPARE(readFile(file), QByteArray("[Param]\r\nZ=\xe9\r\nA=2\r\nM=3\r\n"));
    IniFile back(file);
    QCOMPARE(back.readString("param", "z", ""), QString::fromUtf8("é"));
}

void TestPlatform::iniUnreadableAndUnwritable()
{
    TestSupport::Sandbox box;
    QDir().mkdir(box.path("adir"));
    QVERIFY_THROWS_EXCEPTION(IniError, IniFile(box.path("adir")));

    // A failed write leaves the old file as it was.
    const QString file = box.path("adir/kept.ini");
    QVERIFY(writeFile(file, "[A]\r\nK=1\r\n"));
    IniFile ini(file);
    ini.writeString("A", "K", "2");
    QVERIFY(QDir(box.path("adir")).removeRecursively());
    QVERIFY_THROWS_EXCEPTION(IniError, ini.flush());
    IniFile none(box.path("missing/dir/x.ini"));
    none.writeString("A", "K", "1");
    QVERIFY_THROWS_EXCEPTION(IniError, none.flush());
}

void TestPlatform::iniSurvivesGarbage()
{
    QRandomGenerator rng(1234);
    const char alphabet[] = "[]=;\r\n\t \"'x0\x1a\xff\x80";
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        const int size = int(rng.bounded(round < 290 ? 400 : 200000));
        for (int i = 0; i < size; ++i)
            bytes.append(rng.bounded(3) == 0 ? char(rng.bounded(256))
                                             : alphabet[rng.bounded(int(sizeof alphabet) - 1)]);
        IniFile ini(QStringLiteral("/nonexistent/x.ini"));
        ini.parse(bytes);
        ini.readString("x", "x", "d");
        ini.readInteger("", "", 1);
        // Whatever was there, a written key reads back.
        ini.writeString("Sec", "Key", "value");
        IniFile again(QStringLiteral("/nonexistent/x.ini"));
        again.parse(ini.toBytes());
        QCOMPARE(again.readString("sec", "key", "?"), QStringLiteral("value"));
    }
}

void TestPlatform::pathsStandIns()
{
    TestSupport::Sandbox box;
    QCOMPARE(shortPath(box.path("none")), QString());
    QVERIFY(writeFile(box.path("f.txt"), "x"));
    QCOMPARE(shortPath(box.path("f.txt")), QFileInfo(box.path("f.txt")).absoluteFilePath());
    QCOMPARE(profilePath("DUMMY", false), box.path("config/DUMMY"));
    QVERIFY(!QFileInfo::exists(box.path("config")));
    profilePath("kivhelp.INI", true);
    QVERIFY(QFileInfo(box.path("config")).isDir());
    QCOMPARE(profilePath("/abs/x.CFG", true), QStringLiteral("/abs/x.CFG"));
    QVERIFY(!programFileName().isEmpty());
    // The names a folder holds, and the ones that change in it: nothing is
    // known before a first settle, nor after the folder was replaced.
    QVERIFY(QDir().mkpath(box.path("p")));
    QVERIFY(writeFile(box.path("p/Page.1"), "un") && writeFile(box.path("p/page.2"), "deux"));
    QStringList names = entryNames(box.path("p"));
    names.sort();
    QCOMPARE(names, QStringList({"Page.1", "page.2"}));
    QCOMPARE(resolveCase(box.path("p/PAGE.2")), box.path("p/page.2"));
    FolderChanges changes;
    QSet<QString> changed;
    QVERIFY(!changes.changes(box.path("p"), &changed));
    changes.settle();
    QVERIFY(changes.changes(box.path("p"), &changed) && changed.isEmpty());
    QVERIFY(writeFile(box.path("p/Page.1"), "UN"));
    QVERIFY(changes.changes(box.path("p"), &changed));
    QCOMPARE(changed, QSet<QString>({"Page.1"}));
    QVERIFY(changes.changes(box.path("p"), &changed)); // kept until settled
    changes.settle();
    changed.clear();
    QVERIFY(changes.changes(box.path("p"), &changed) && changed.isEmpty());
    QVERIFY(QDir().rename(box.path("p"), box.path("old")) && QDir().mkpath(box.path("p")));
    QVERIFY(!changes.changes(box.path("p"), &changed));
}

void TestPlatform::scriptedPromptsRecordAndAnswer()
{
    TestSupport::ScriptedScope scope;
    scope.prompts.answer(No);
    scope.prompts.answerText("Projet 1");
    scope.prompts.answerText("", false);
    QCOMPARE(prompts().question("Q ?", Yes | No), No);
    QString value;
    QVERIFY(prompts().inputText("Nouveau Projet", "Nom du projet : ", &value));
    QCOMPARE(value, QStringLiteral("Projet 1"));
    QVERIFY(!prompts().inputText("Nouveau Projet", "Nom du projet : ", &value));
    CHECK_PROMPTS_DONE(scope);
    // A box nobody expected is recorded and answered with its safest button.
    QCOMPARE(prompts().question("Quitter ?", Yes | No | Cancel), Cancel);
    QCOMPARE(scope.prompts.unexpected().size(), 1);
    QCOMPARE(scope.prompts.records().first().icon, BoxIcon::Information);
}

void TestPlatform::standardDialogsInFrench()
{
    // The input box, the colour dialog and the file dialog the program
    // shows have French buttons.
    if (!installFrenchTranslations())
        QSKIP("Qt's French translations are not installed (qt6-translations-l10n)");
    QtPrompts prompts;
    QStringList seen;
    const auto inspectThenClose = [&seen] {
        QTimer::singleShot(50, [&seen] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            QStringList buttons;
            for (const QAbstractButton *b : dialog->findChildren<QAbstractButton *>())
                if (!b->text().isEmpty())
                    buttons << b->text().remove(u'&');
            seen << buttons.join(u'|');
            static_cast<QDialog *>(dialog)->reject();
        });
    };
    QString value = QStringLiteral("x");
    inspectThenClose();
    QVERIFY(!prompts.inputText(QStringLiteral("Nouveau projet"), QStringLiteral("Nom :"), &value));
    QColor colour;
    inspectThenClose();
    QVERIFY(!prompts.chooseColor(Qt::red, &colour));
    inspectThenClose();
    QVERIFY(!prompts.chooseText(QStringLiteral("Saut"), QStringLiteral("Page :"), {"Un", "Deux"}, &value));
    inspectThenClose();
    QVERIFY(prompts.openFile(QStringLiteral("Ouvrir"), QDir::tempPath(), QStringLiteral("Projets (*.PRJ)|*.PRJ")).isEmpty());
    QCOMPARE(seen.size(), 4);
    for (const QString &buttons : seen) {
        QVERIFY2(buttons.contains(QStringLiteral("Annuler")), qPrintable(buttons));
        QVERIFY2(!buttons.contains(QStringLiteral("Cancel")), qPrintable(buttons));
    }
}

static ino_t inodeOf(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

void TestPlatform::batchReusesReplacedFilesAndRewritesInPlace()
{
    TestSupport::Sandbox box;
    QVERIFY(QDir().mkpath(box.path("P")));
    const QString spare = box.path("state/spare");
    const auto save = [&](const QByteArray &text) {
        WriteBatch batch;
        QDir().mkpath(box.path("state"));
        batch.setJournal(box.path("state/journal"));
        batch.setSpareDir(spare);
        for (const char *name : {"a", "b", "c"})
            if (!writeFileAtomic(box.path("P/") + name, text + name))
                return false;
        return batch.commit();
    };
    // The files a save replaces are kept aside and become the next save's
    // files: no file is made or freed, the folder keeps only the targets.
    QVERIFY(save("un "));
    QVERIFY(save("deux "));
    const QList<ino_t> before{inodeOf(box.path("P/a")), inodeOf(box.path("P/b")), inodeOf(box.path("P/c"))};
    QCOMPARE(QDir(spare).entryList(QDir::Files | QDir::Hidden).size(), 3);
    QVERIFY(save("trois, plus long "));
    for (const char *name : {"a", "b", "c"})
        QCOMPARE(readFile(box.path("P/") + name), QByteArray("trois, plus long ") + name);
    QCOMPARE(QDir(spare).entryList(QDir::Files | QDir::Hidden).size(), 3);
    QVERIFY(!before.contains(inodeOf(box.path("P/a"))));
    QCOMPARE(QDir(box.path("P")).entryList(QDir::Files | QDir::Hidden).size(), 3);
    // A folder's files given up are kept as spares, up to a number.
    QVERIFY(QDir().mkpath(box.path("vieux")));
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeFile(box.path("vieux/f%1").arg(i), "x"));
    recycleFiles(box.path("vieux"), spare, 5);
    QCOMPARE(QDir(spare).entryList(QDir::Files | QDir::Hidden).size(), 5);
    QCOMPARE(QDir(box.path("vieux")).entryList(QDir::Files).size(), 2);
    // A file with another name is never a spare, nor written over as one:
    // a project folder's files are carried into the next by hard links.
    QVERIFY(QDir().mkpath(box.path("garde")));
    QCOMPARE(::link(QFile::encodeName(box.path("vieux/f3")).constData(), QFile::encodeName(box.path("garde/f3")).constData()), 0);
    recycleFiles(box.path("vieux"), spare, 50);
    QVERIFY(QFileInfo::exists(box.path("vieux/f3")));
    const QStringList spares = QDir(spare).entryList(QDir::Files | QDir::Hidden);
    for (int i = 0; i < spares.size(); ++i)
        QCOMPARE(::link(QFile::encodeName(spare + u'/' + spares[i]).constData(),
                        QFile::encodeName(box.path("garde/s%1").arg(i)).constData()), 0);
    QVERIFY(save("quatre "));
    QCOMPARE(readFile(box.path("P/a")), QByteArray("quatre a"));
    for (int i = 0; i < spares.size(); ++i)
        QVERIFY(!readFile(box.path("garde/s%1").arg(i)).startsWith("quatre"));

    // A derived file rewritten in place keeps its inode and loses its old
    // tail; one with a second name is replaced, the other name untouched.
    const QString derived = box.path("P/T1.rtf"), linked = box.path("P/T2.rtf");
    QVERIFY(writeFile(derived, QByteArray(5000, 'x')));
    QVERIFY(writeFile(linked, "ancien"));
    QCOMPARE(::link(QFile::encodeName(linked).constData(), QFile::encodeName(box.path("P/lien")).constData()), 0);
    const ino_t ino = inodeOf(derived);
    {
        WriteBatch batch;
        QString error;
        QVERIFY(batch.overwrite(derived, "court", &error));
        QVERIFY(batch.overwrite(linked, "nouveau", &error));
        QVERIFY(batch.commit(&error));
    }
    QCOMPARE(readFile(derived), QByteArray("court"));
    QCOMPARE(inodeOf(derived), ino);
    QCOMPARE(readFile(linked), QByteArray("nouveau"));
    QCOMPARE(readFile(box.path("P/lien")), QByteArray("ancien"));
    // A rewrite that fails is a failed commit.
    {
        WriteBatch batch;
        QString error;
        setWriteBudgetForTest(2);
        QVERIFY(!batch.overwrite(derived, "bien plus long", &error));
        setWriteBudgetForTest(-1);
        QVERIFY(!batch.commit(&error));
        QVERIFY(!error.isEmpty());
    }
}

void TestPlatform::failedRenameKeepsTheJournal()
{
    // A commit whose second rename fails (a folder took the name), for a
    // folder whose next writer replays the journal: the journal and the
    // file still to rename stay, and the replay completes the commit.
    TestSupport::Sandbox box;
    const QString dir = box.path("d");
    QVERIFY(QDir().mkpath(dir));
    for (const char *name : {"a", "b", "c"})
        QVERIFY(writeFileAtomic(dir + u'/' + QLatin1String(name), "old"));
    int renames = 0;
    setRenameHookForTest([&] {
        if (++renames == 2)
            QDir().mkpath(dir + "/b/inside");
    });
    QVERIFY(QFile::remove(dir + "/b"));
    {
        WriteBatch batch;
        batch.setJournal(dir + "/.journal");
        batch.setKeepJournalOnFailure(true);
        for (const char *name : {"a", "b", "c"})
            QVERIFY(writeFileAtomic(dir + u'/' + QLatin1String(name), "new"));
        QVERIFY(!batch.commit());
    }
    setRenameHookForTest(nullptr);
    QVERIFY(QFileInfo::exists(dir + "/.journal"));
    QCOMPARE(readFile(dir + "/c"), QByteArray("old"));
    QVERIFY(QDir(dir + "/b").removeRecursively());
    QVERIFY(replayJournal(dir + "/.journal", {dir}));
    for (const char *name : {"a", "b", "c"})
        QCOMPARE(readFile(dir + u'/' + QLatin1String(name)), QByteArray("new"));
    QVERIFY(!QFileInfo::exists(dir + "/.journal"));
}

KIV_TEST(TestPlatform)
#include "tst_platform.moc"
