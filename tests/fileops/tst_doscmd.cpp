// The file operations and program runs of the build: folders and files
// made, copied and removed as the user's scripts see them, commands run
// with a time limit, files waited for.
#include "TestSupport.h"
#include "TestRegistry.h"

#include "fileops/DosCmd.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QElapsedTimer>
#include <QTimer>

using namespace U_DosCmd;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

QString script(const QString &path, const QByteArray &body) { return TestSupport::makeScript(path, body); }

} // namespace

class TestDosCmd : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { FInit(false, false, 1); }
    void fileOperations();
    void listingAndSizes();
    void runCommand();
    void runCommandThatHangs();
    void runCommandThatCannotStart();
    void waitForFile();
};

void TestDosCmd::fileOperations()
{
    TestSupport::Sandbox box;
    TestSupport::ScriptedScope scope;
    const QString dir = box.path("Projet 1");
    QVERIFY(FMkDir(dir, QString()));
    QVERIFY(QFileInfo(dir).isDir());
    QVERIFY(writeFile(dir + "/a.txt", "x"));
    QVERIFY(FFileExist(dir + "/a.txt", QString()));
    QVERIFY(!FFileExist(dir, QString())); // a directory is not a file
    QVERIFY(FChDir(dir, QString()));
    QCOMPARE(QDir::currentPath(), QFileInfo(dir).canonicalFilePath());
    QVERIFY(FChDir(box.path(), QString()));

    // Failures show their text in an error box, once each.
    scope.prompts.answer(Platform::Ok);
    scope.prompts.answer(Platform::Ok);
    QVERIFY(!FDosCmd(dir, QStringLiteral("rmdir refused"), OpRmDir)); // not empty
    QVERIFY(!FMkDir(dir, QStringLiteral("exists")));
    QVERIFY(!FChDir(box.path("none"), QString()));                 // no text: no box
    QCOMPARE(context().Category, quint8(7));
    QCOMPARE(context().Code, quint16(16));
    QVERIFY(FDelFile(dir + "/a.txt", QString()));
    QVERIFY(!FDelFile(dir + "/a.txt", QString()));
    QVERIFY(FDosCmd(dir, QString(), OpRmDir));
    QVERIFY(!FDosCmd(dir, QStringLiteral("never shown"), 5));
    QCOMPARE(scope.prompts.texts(), QStringList({"rmdir refused", "exists"}));
    QCOMPARE(scope.prompts.records().first().icon, Platform::BoxIcon::Error);
    CHECK_PROMPTS_DONE(scope);

    QVERIFY(writeFile(box.path("src.txt"), "x"));
    QCOMPARE(FMoveFile(box.path("src.txt"), box.path("dst.txt")).Category, quint8(0));
    QVERIFY(QFile::exists(box.path("dst.txt")));
    QCOMPARE(FMoveFile(box.path("none"), box.path("x")).Category, quint8(0));
    QVERIFY(!FGetWinDir().isEmpty());
}

void TestDosCmd::listingAndSizes()
{
    TestSupport::Sandbox box;
    QVERIFY(writeFile(box.path("T1.rtf"), "12345"));
    QVERIFY(writeFile(box.path("t2.RTF"), ""));
    QVERIFY(writeFile(box.path("README"), "r"));
    QDir().mkdir(box.path("sub.rtf"));

    QStringList rtf = FFileList(box.path("*.rtf"));
    rtf.sort();
    QCOMPARE(rtf, QStringList({"T1.rtf", "sub.rtf", "t2.RTF"}));
    const QStringList all = FFileList(box.path("*.*"));
    QVERIFY(all.contains("README") && all.contains("sub.rtf") && all.contains("."));
    QVERIFY(FFileList(box.path("*.hlp")).isEmpty());
    QVERIFY(FFileList(box.path("none/*.*")).isEmpty());

    QCOMPARE(FFileSize(box.path("T1.rtf")), 5);
    QCOMPARE(FFileSize(box.path("t1.RTF")), 5); // names from elsewhere match in any case
    QCOMPARE(FFileSize(box.path("t2.rtf")), 0);
    QCOMPARE(FFileSize(box.path("nothing.hlp")), -1);
}

void TestDosCmd::runCommand()
{
    TestSupport::Sandbox box;
    QDir().mkdir(box.path("a b"));
    const QString prog = script(box.path("a b/hc 31.sh"), "echo \"$1\" > \"$(dirname \"$0\")/out.txt\"\n");
    QCOMPARE(FRunCmd(prog, {QStringLiteral("mon projet.hpj")}, 1, 20, 5000), 0);
    QCOMPARE(readFile(box.path("a b/out.txt")), QByteArray("mon projet.hpj\n"));

    // A whole command line, with quotes around the words that hold blanks.
    QCOMPARE(FRunCmd("\"" + prog + "\" \"x y\"", 1, 20, 5000), 0);
    QCOMPARE(readFile(box.path("a b/out.txt")), QByteArray("x y\n"));

    // A bare name is looked up in the current directory first.
    script(box.path("local.sh"), "touch ran.txt\n");
    QCOMPARE(FRunCmd(QStringLiteral("local.sh"), {}, 1, 20, 5000), 0);
    QVERIFY(QFile::exists(box.path("ran.txt")));

    // A large output never stalls the process.
    script(box.path("chatty.sh"), "head -c 2000000 /dev/zero | tr '\\0' x\n");
    QCOMPARE(FRunCmd(box.path("chatty.sh"), {}, 1, 20, 60000), 0);
}

void TestDosCmd::runCommandThatHangs()
{
    TestSupport::Sandbox box;
    const QString prog = script(box.path("hang.sh"), "echo $$ > pid.txt\nexec sleep 30\n");
    bool ticked = false;
    QTimer::singleShot(50, [&] { ticked = true; }); // the window stays alive
    QCOMPARE(FRunCmd(prog, {}, 1, 20, 300), WaitTimeout);
    QVERIFY(ticked);
    // The process is left running, as the caller expects; end it here.
    const QByteArray pid = readFile(box.path("pid.txt")).trimmed();
    QVERIFY(!pid.isEmpty());
    QVERIFY(QFileInfo::exists("/proc/" + QString::fromLatin1(pid)));
    QProcess::execute(QStringLiteral("kill"), {QString::fromLatin1(pid)});
}

void TestDosCmd::runCommandThatCannotStart()
{
    TestSupport::Sandbox box;
    QCOMPARE(FRunCmd(box.path("HC31.exe"), {}, 1, 10, 100), 2);
    QVERIFY(writeFile(box.path("plain.txt"), "not a program"));
    QCOMPARE(FRunCmd(box.path("plain.txt"), {}, 1, 10, 100), 5);
    QCOMPARE(FRunCmd(box.path(), {}, 1, 10, 100), 5);
    QCOMPARE(FRunCmd(QString(), 1, 10, 100), 2);
    QCOMPARE(FRunCmd(QStringLiteral("no-such-program-here"), {}, 1, 10, 100), 2);
}

void TestDosCmd::waitForFile()
{
    TestSupport::Sandbox box;
    const QString hlp = box.path("P.hlp");

    // Appears late, first empty, then filled.
    QTimer::singleShot(60, [&] { writeFile(hlp, ""); });
    QTimer::singleShot(200, [&] { writeFile(hlp, "HLP"); });
    QVERIFY(FWaitFile(hlp, 20, 3000));

    // Stays empty: false at the time-out.
    QVERIFY(writeFile(box.path("E.hlp"), ""));
    QVERIFY(!FWaitFile(box.path("E.hlp"), 10, 100));

    // Never appears.
    QVERIFY(!FWaitFile(box.path("none.hlp"), 10, 50));

    // Already there and non-empty, under another letter case: accepted.
    QVERIFY(writeFile(box.path("Q.HLP"), "x"));
    QVERIFY(FWaitFile(box.path("Q.hlp"), 10, 0) == false); // needs a second poll
    QVERIFY(FWaitFile(box.path("Q.hlp"), 10, 10));
}

KIV_TEST(TestDosCmd)
#include "tst_doscmd.moc"
