// The project on disk under the faults that happen to real authors: a full
// disk, a kill in the middle of a save, folders reached through links, names
// that cannot be files, folders that cannot be emptied.
#include "TestSupport.h"
#include "TestRegistry.h"

#include "sequencer/Headless.h"
#include "StressProject.h"
#include "config/Globale.h"
#include "editing/REditServ.h"
#include "editing/TopicDocument.h"
#include "formats/TextConv.h"
#include "fileops/DosCmd.h"
#include "fileops/PrjFolder.h"
#include "helpgen/Compile.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "editing/RtfText.h"
#include "project/Insertions.h"
#include "formats/KivHelpTools.h"
#include "project/Outline.h"
#include "project/PrjLife.h"
#include "project/Recovery.h"

#include <QDirIterator>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace KIVHelpTools;
using TestSupport::readFile;
using TestSupport::writeFile;

namespace {

// Every file below a folder (links as their target's name), with its bytes.
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        files.insert(QDir(dir).relativeFilePath(path),
                     info.isSymLink() ? "-> " + info.symLinkTarget().toUtf8() : info.isDir() ? "<dir>" : readFile(path));
    }
    return files;
}

// A file system of `kb` KiB mounted for the test, when we may mount one.
struct SmallDisk {
    QString path;
    bool mounted = false;
    explicit SmallDisk(const QString &at, int kb) : path(at)
    {
        QDir().mkpath(at);
        mounted = ::geteuid() == 0
                  && ::mount("tmpfs", QFile::encodeName(at).constData(), "tmpfs", 0,
                             QStringLiteral("size=%1k").arg(kb).toLatin1().constData())
                         == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    // Fills the disk but for about `leave` bytes.
    void fill(qint64 leave) const
    {
        struct statvfs st {};
        ::statvfs(QFile::encodeName(path).constData(), &st);
        const qint64 room = qint64(st.f_bavail) * qint64(st.f_bsize) - leave;
        QFile filler(path + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        for (qint64 done = 0; done + block.size() <= room; done += block.size())
            if (filler.write(block) != block.size())
                break;
        filler.close();
    }
};

} // namespace

class TestStorage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fullDisk_data();
    void fullDisk();
    void savesWriteOnlyWhatChanged();
    void backupSwapAndRecovery();
    void killedSavesLeaveAWholeProject();
    void killAtEveryRenameOfASave();
    void linkedProjectFolders();
    void backupsKeepTheAuthorsFiles();
    void filesKeepTheAuthorsPermissions();
    void copiedProjectOpensUnderItsFileName();
    void fontsFileWrittenWhenItChanges();
    void recoveryCopyAfterAFullDisk();
    void namesThatBreakTheProject();
    void deletesCheckFirst();
    void otherFilesGivenToOpen();
    void publishKeepsThePreviousHelpFile();
    void foldersNamedInOtherScripts();

private:
    // A project "Manuel" with `topics` topics whose texts carry `tag`.
    void makeProject(int topics, const QString &tag);
    void setTexts(const QString &tag);
    QStringList texts() const;
    int answerAll(int n = 8);

    std::unique_ptr<TestSupport::Sandbox> m_box;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    THeadless m_rig{QDir::tempPath(), false, QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp")};
    QWidget &m_panel = m_rig.panel;
    TOutlineView &m_tree = m_rig.tree;
    TCWaitFor &m_wait = m_rig.wait;
    TDisplayContext &m_display = m_rig.display;
    TConfBlock *m_conf = m_rig.conf;
};

void TestStorage::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    TIniRec *ini = m_conf->PIni;
    ini->DIRPATH.set(m_box->path() + u'/');
    ini->BMP.set(m_box->path("BMP") + u'/');
    ini->BACKUP_PERIOD = 1;
    ini->CREATE_CNT = true;
    ini->COPY_CNT = false;
    ini->SHOW_ERRORS = true;
    Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0);
    Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0);
}

void TestStorage::cleanup()
{
    Platform::setWriteBudgetForTest(-1);
    FileOps::setExchangeForTest(true);
    FClosePrj(m_conf, m_display);
    m_scope.reset();
    m_box.reset();
}

int TestStorage::answerAll(int n)
{
    m_scope->prompts.clear();
    for (int i = 0; i < n; ++i)
        m_scope->prompts.answer(Platform::Ok);
    return n;
}

void TestStorage::makeProject(int topics, const QString &tag)
{
    QCOMPARE(FCreatePrj(QStringLiteral("Manuel"), m_conf, m_display).Category, quint8(0));
    for (int i = 2; i <= topics; ++i) {
        QString name = QString::fromUtf8("Chapitre %1 é").arg(i);
        QCOMPARE(FAddTopic(name, &m_tree, m_conf, false).Category, quint8(0));
    }
    setTexts(tag);
}

void TestStorage::setTexts(const QString &tag)
{
    for (int n = 1; n <= Outline::FCount(&m_tree); ++n) {
        const QString name = Outline::FItemAt(&m_tree, n)->name;
        m_tree.FDocumentOf(Outline::FItemAt(&m_tree, n))->setPlainText(StressText(name, tag.size()) + tag);
    }
}

QStringList TestStorage::texts() const
{
    QStringList out;
    for (int n = 1; n <= Outline::FCount(&m_tree); ++n)
        out << m_tree.FPlainTextOf(Outline::FItemAt(&m_tree, n));
    return out;
}

void TestStorage::fullDisk_data()
{
    QTest::addColumn<bool>("realDisk");
    QTest::newRow("writes cut short") << false;
    QTest::newRow("tmpfs with a few KB free") << true;
}

void TestStorage::fullDisk()
{
    QFETCH(bool, realDisk);
    std::unique_ptr<SmallDisk> disk;
    if (realDisk) {
        disk = std::make_unique<SmallDisk>(m_box->path("disk"), 2048);
        if (!disk->mounted)
            QSKIP("a small file system is mounted only when the tests run as root");
        m_conf->PIni->DIRPATH.set(disk->path + u'/');
    }
    TPrjRec *prj = m_conf->PPrj;
    const QString dir = m_conf->PIni->DIRPATH.get() + QStringLiteral("Manuel");
    makeProject(12, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0)); // save 1
    QCOMPARE(FUpdatePrj(false, true, m_conf, m_display).Category, quint8(0));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0)); // save 2: a backup
    QVERIFY(QFileInfo(dir + ".OLD").isDir());
    QCOMPARE(m_scope->prompts.texts(), QStringList{"Backup ... "});
    const auto before = snapshot(dir), backupBefore = snapshot(dir + ".OLD");
    const quint8 state = prj->PrjState;

    // Every kind of save, the disk full at every point of it: each fails
    // with the failure box, and no file changes.
    setTexts(QStringLiteral("v2, plus long pour que les pages ne tiennent plus"));
    const QList<qint64> budgets = realDisk ? QList<qint64>{0, 3000, 12000} : QList<qint64>{0, 150, 2500, 9000, 20000};
    for (const bool backupDue : {true, false}) {
        for (const qint64 budget : budgets) {
            const QString where = QStringLiteral("backup %1, %2 bytes free").arg(backupDue).arg(budget);
            prj->PrjSaveCount = backupDue ? 1 : 0;
            if (realDisk)
                disk->fill(budget);
            else
                Platform::setWriteBudgetForTest(budget);
            answerAll();
            const TErrorContext &ctx = FSavePrj(prj->PrjFile.get(), m_conf, m_display);
            Platform::setWriteBudgetForTest(-1);
            if (realDisk)
                QFile::remove(disk->path + "/filler");
            QVERIFY2(ctx.Category != 0, qPrintable(where));
            QCOMPARE(prj->PrjState, state);
            const QStringList boxes = m_scope->prompts.texts();
            QVERIFY2(std::any_of(boxes.begin(), boxes.end(),
                                 [](const QString &t) { return t.contains(QString::fromUtf8("sauvegarde")) || t.contains(u':'); }),
                     qPrintable(where + ": " + boxes.join(" / ")));
            QVERIFY2(snapshot(dir) == before, qPrintable(where));
            QVERIFY2(snapshot(dir + ".OLD") == backupBefore, qPrintable(where));
            QVERIFY2(!QFileInfo::exists(FileOps::foldersOf(dir).staging), qPrintable(where));
        }
    }
    // With room again, the same save goes through and the texts reload.
    const QStringList edited = texts();
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    FClosePrj(m_conf, m_display);
    QCOMPARE(FLoadPrj(dir + "/Manuel.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QCOMPARE(texts(), edited);
}

void TestStorage::savesWriteOnlyWhatChanged()
{
    TPrjRec *prj = m_conf->PPrj;
    m_conf->PIni->BACKUP_PERIOD = 100;
    makeProject(6, QStringLiteral("v1"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    const QString dir = prj->PrjDir.get();
    // Files that the save would write unchanged keep their inode and time.
    struct stat before {};
    ::stat(QFile::encodeName(dir + QString::fromUtf8("/Chapitre 3 é.3")).constData(), &before);
    QTest::qWait(20);
    m_tree.FDocumentOf(Outline::FItemAt(&m_tree, 2))->setPlainText(QStringLiteral("nouveau"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    struct stat after {};
    ::stat(QFile::encodeName(dir + QString::fromUtf8("/Chapitre 3 é.3")).constData(), &after);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QVERIFY(readFile(dir + QString::fromUtf8("/Chapitre 2 é.2")).contains("nouveau"));
    // No temporary file is left behind.
    QVERIFY(QDir(dir).entryList({".kivhelp-*"}, QDir::Files | QDir::Hidden).isEmpty());
    // A topic file changed on disk behind the window's back, even at the
    // same size, and one deleted: the next save puts the topics back.
    const QString three = dir + QString::fromUtf8("/Chapitre 3 é.3"), four = dir + QString::fromUtf8("/Chapitre 4 é.4");
    const QByteArray kept = readFile(three);
    QByteArray other = kept;
    other[other.size() - 4] = 'Z';
    QFile inPlace(three);
    QVERIFY(inPlace.open(QIODevice::ReadWrite) && inPlace.write(other) == other.size());
    inPlace.close();
    QVERIFY(QFile::remove(four));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QCOMPARE(readFile(three), kept);
    QVERIFY(readFile(four).startsWith("{\\rtf"));

    // A topic inserted before others: the renumbered files are written, the
    // outline names only files that exist, and they load back.
    TTopic *item = m_rig.project.FInsert(Outline::FItemAt(&m_tree, 1), 0, QStringLiteral("Avant-propos"));
    item->PSetBytes(TTopicDocument::FRtfOf(QStringLiteral("Avant tout"), m_tree.textFont()));
    m_rig.project.FTake(Outline::FItemAt(&m_tree, 5));
    // The outline file goes in last: when a topic file cannot be put in
    // place (a folder stands there), the old outline stays.
    const QByteArray outline = readFile(dir + "/Manuel.PRJ");
    QVERIFY(QDir().mkdir(dir + "/Avant-propos.2"));
    answerAll();
    QVERIFY(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category != 0);
    QCOMPARE(readFile(dir + "/Manuel.PRJ"), outline);
    QVERIFY(QDir().rmdir(dir + "/Avant-propos.2"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    const QStringList saved = texts();
    FClosePrj(m_conf, m_display);
    QCOMPARE(FLoadPrj(dir + "/Manuel.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QCOMPARE(texts(), saved);
}

void TestStorage::backupSwapAndRecovery()
{
    TPrjRec *prj = m_conf->PPrj;
    for (const bool exchange : {true, false}) {
        init();
        FileOps::setExchangeForTest(exchange);
        makeProject(4, QStringLiteral("v1"));
        answerAll();
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
        const QString dir = prj->PrjDir.get();
        QVERIFY(writeFile(dir + "/Manuel.HLP", "compiled"));
        setTexts(QStringLiteral("v2"));
        const QString cwd = QDir::currentPath();
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0)); // backup
        // The backup holds the previous folder whole, with the files that
        // a save does not write; the project folder holds the new save.
        QCOMPARE(readFile(dir + ".OLD/Manuel.HLP"), QByteArray("compiled"));
        QVERIFY(!QFile::exists(dir + "/Manuel.HLP"));
        QVERIFY(readFile(dir + ".OLD/Manuel.1").contains("?v1"));
        QVERIFY(readFile(dir + "/Manuel.1").contains("?v2"));
        QCOMPARE(QDir::currentPath(), cwd); // paths are passed: no current folder follows the swap
        // Compiled-help pages that an earlier version built inside the
        // project's folder, one of them already carried into the backup:
        // removed, so that the backup folder can be deleted and swapped.
        for (const QString &at : {dir, dir + ".OLD"}) {
            QVERIFY(QDir().mkpath(at + "/Manuel_chm/images"));
            QVERIFY(writeFile(at + "/Manuel_chm/project.hhp", "[OPTIONS]"));
            QVERIFY(writeFile(at + "/Manuel_chm/images/image0.png", "PNG"));
        }
        setTexts(QStringLiteral("v3"));
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0)); // backup again
        QVERIFY(readFile(dir + ".OLD/Manuel.1").contains("?v2"));
        QVERIFY(!QFileInfo::exists(dir + "/Manuel_chm") && !QFileInfo::exists(dir + ".OLD/Manuel_chm"));
        const QStringList v3 = texts();
        FClosePrj(m_conf, m_display);

        // What a kill between the steps of a swap leaves, put right at open.
        const FileOps::TPrjFolders f = FileOps::foldersOf(dir);
        QVERIFY(QDir().rename(dir, f.ready)); // between the two renames
        QVERIFY(QDir().mkpath(f.staging));    // an unfinished staging folder
        QVERIFY(writeFile(f.staging + "/Manuel.1", "half"));
        QVERIFY(QDir().rename(f.backup, f.trash)); // the old backup on its way out
        m_scope->prompts.clear();
        QCOMPARE(FLoadPrj(dir + "/Manuel.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
        QCOMPARE(texts(), v3);
        QVERIFY(!QFileInfo::exists(f.staging) && !QFileInfo::exists(f.ready) && !QFileInfo::exists(f.trash));
        QVERIFY(readFile(dir + ".OLD/Manuel.1").contains("?v2"));
        cleanup();
    }
    init();
}

void TestStorage::killedSavesLeaveAWholeProject()
{
    const quint32 seed = qEnvironmentVariableIsSet("KIVHELP_CRASH_SEED")
                             ? quint32(qEnvironmentVariableIntValue("KIVHELP_CRASH_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("crash test seed %u (KIVHELP_CRASH_SEED=%u repeats it)", seed, seed);
    QRandomGenerator random(seed);
    const int topics = 200, kills = 80;
    const QString dirPath = m_box->path("kills");
    QDir().mkpath(dirPath);
    const QString file = dirPath + "/Stress/Stress.PRJ";
    int lastStarted = 0, next = 1, completed = 0, saves = 0;
    bool authorsFilesIn = false;
    for (int kill = 0; kill < kills; ++kill) {
        QProcess child;
        // Every other child swaps folders with two renames, as on file
        // systems that cannot exchange two names.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIVHELP_NO_EXCHANGE"), QString::number(kill % 2));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(KIVHELP_SAVESTRESS),
                    {dirPath, QString::number(topics), QString::number(next)});
        QVERIFY(child.waitForStarted());
        // Killed at any moment of the first few saves, start-up included.
        QVERIFY(child.waitForReadyRead(20000));
        QTest::qWait(int(random.bounded(500)));
        ::kill(pid_t(child.processId()), SIGKILL);
        child.waitForFinished();
        const QStringList lines = QString::fromLatin1(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            if (line.startsWith("round "))
                lastStarted = line.mid(6).toInt();
            else if (line.startsWith("saved "))
                completed = line.mid(6).toInt();
            else
                QFAIL(qPrintable("save failed: " + line));
        }
        saves += int(lines.size()) / 2;
        next = lastStarted + 1;
        if (!QFile::exists(file) && completed == 0)
            continue; // killed before the first save ever finished
        const QString where = QStringLiteral("kill %1 (seed %2), round %3 started").arg(kill).arg(seed).arg(lastStarted);
        m_scope->prompts.clear();
        QVERIFY2(FLoadPrj(file, m_display, m_conf, Globale::VGGIniPrj).Category == 0,
                 qPrintable(where + ": " + m_scope->prompts.texts().join(" / ")));
        // Every topic holds the whole text of one save: the last that
        // finished or one begun after it (a kill may have cut several short).
        const int count = Outline::FCount(&m_tree);
        QVERIFY2(count == topics, qPrintable(where));
        int first = -1;
        for (int n = 1; n <= count; ++n) {
            const QString name = Outline::FItemAt(&m_tree, n)->name;
            const int round = StressRound(name, m_tree.FPlainTextOf(Outline::FItemAt(&m_tree, n)));
            if (first < 0)
                first = round;
            QVERIFY2(round >= completed && round <= lastStarted && round == first,
                     qPrintable(QStringLiteral("%1: topic %2 holds round %3, topic 1 round %4").arg(where, name).arg(round).arg(first)));
        }
        // The author's own file and folder, put in once, are there after
        // every kill, whatever backup swap it cut short.
        const QString notes = dirPath + QString::fromUtf8("/Stress/notes à garder.txt");
        const QString annex = dirPath + "/Stress/annexes/plan.txt";
        if (!authorsFilesIn) {
            QVERIFY(QDir().mkpath(dirPath + "/Stress/annexes"));
            QVERIFY(writeFile(notes, "notes") && writeFile(annex, "plan"));
            authorsFilesIn = true;
        }
        QVERIFY2(readFile(notes) == "notes" && readFile(annex) == "plan", qPrintable(where + ": the author's files"));
        FClosePrj(m_conf, m_display);
    }
    QVERIFY2(saves > 5, "the saves never finished between the kills");
}

void TestStorage::killAtEveryRenameOfASave()
{
    // An ordinary save that renumbers every topic after the first, killed
    // at each of its renames and removals in turn: the project opens as the
    // save before it or as this save, whole, never as a mix.
    const int topics = 12;
    const QString dirPath = m_box->path("renames");
    QDir().mkpath(dirPath);
    const QString file = dirPath + "/Stress/Stress.PRJ";
    const auto run = [&](int round, int killAt) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIVHELP_KILL_AT_RENAME"), QString::number(killAt));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(KIVHELP_SAVESTRESS), {dirPath, QString::number(topics), QString::number(round), "1"});
        child.waitForFinished(30000);
        return QString::fromLatin1(child.readAllStandardOutput()).contains(QStringLiteral("saved %1").arg(round));
    };
    bool finished = false;
    for (int killAt = 1; !finished && killAt < 200; ++killAt) {
        QVERIFY(run(2, 0)); // the save before: round 2, whole
        finished = run(3, killAt);
        m_scope->prompts.clear();
        QVERIFY(FLoadPrj(file, m_display, m_conf, Globale::VGGIniPrj).Category == 0);
        const QString where = QStringLiteral("killed at rename %1").arg(killAt);
        QVERIFY2(Outline::FCount(&m_tree) == topics, qPrintable(where));
        QSet<int> rounds;
        for (int n = 1; n <= topics; ++n) {
            const TTopic *item = Outline::FItemAt(&m_tree, n);
            rounds.insert(StressRound(item->name, m_tree.FPlainTextOf(const_cast<TTopic *>(item))));
        }
        QVERIFY2(rounds == QSet<int>{2} || rounds == QSet<int>{3}, qPrintable(where));
        // Nothing of the save is left lying about; the files of round 2's
        // numbering are gone once round 3 is in.
        QStringList left = QDir(dirPath + "/Stress").entryList({".kivhelp-*"}, QDir::Files | QDir::Hidden);
        QVERIFY2(left.isEmpty(), qPrintable(where + ": " + left.join(' ')));
        if (rounds == QSet<int>{3})
            QVERIFY2(!QFileInfo::exists(dirPath + "/Stress/Page 2.2"), qPrintable(where));
        FClosePrj(m_conf, m_display);
    }
    QVERIFY(finished);
}

void TestStorage::linkedProjectFolders()
{
    TPrjRec *prj = m_conf->PPrj;
    // The project really lives elsewhere; DIRPATH/Manuel is a link to it.
    const QString real = m_box->path("ailleurs/Manuel");
    QVERIFY(QDir().mkpath(m_box->path("ailleurs")));
    m_conf->PIni->DIRPATH.set(m_box->path("ailleurs") + u'/');
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    FClosePrj(m_conf, m_display);
    m_conf->PIni->DIRPATH.set(m_box->path("liens") + u'/');
    QVERIFY(QDir().mkpath(m_box->path("liens")));
    QVERIFY(QFile::link(real, m_box->path("liens/Manuel")));
    // A link inside the project to a folder of the user's, with a file.
    QVERIFY(QDir().mkpath(m_box->path("precieux")));
    QVERIFY(writeFile(m_box->path("precieux/these.txt"), "des mois de travail"));
    QVERIFY(QFile::link(m_box->path("precieux"), real + "/raccourci"));

    QCOMPARE(FLoadPrj(m_box->path("liens/Manuel/Manuel.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category,
             quint8(0));
    for (int save = 0; save < 4; ++save) { // three backups: .OLD replaced twice
        setTexts(QStringLiteral("tour %1").arg(save));
        answerAll();
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    }
    const QStringList saved = texts();
    QVERIFY(QFileInfo(m_box->path("liens/Manuel")).isSymLink());
    QVERIFY(QFileInfo(real + ".OLD").isDir());
    QVERIFY(!QFileInfo::exists(m_box->path("liens/Manuel.OLD")));
    QCOMPARE(readFile(m_box->path("precieux/these.txt")), QByteArray("des mois de travail"));
    FClosePrj(m_conf, m_display);
    QCOMPARE(FLoadPrj(m_box->path("liens/Manuel/Manuel.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category,
             quint8(0));
    QCOMPARE(texts(), saved);
    FClosePrj(m_conf, m_display);

    // Deleting the link removes the link only; deleting the backup that
    // holds a link removes the link, not what it points to.
    QVERIFY(QFile::link(m_box->path("precieux"), real + ".OLD/raccourci2"));
    QCOMPARE(FDelPrjDir(m_box->path("liens/Manuel")).Category, quint8(0));
    QVERIFY(QFileInfo(real + "/Manuel.PRJ").isFile());
    QCOMPARE(FDelPrjDir(real + ".OLD").Category, quint8(0));
    QCOMPARE(readFile(m_box->path("precieux/these.txt")), QByteArray("des mois de travail"));

    // Home, root and DIRPATH are protected whatever the spelling.
    QVERIFY(QFile::link(QDir::homePath(), m_box->path("maison")));
    QVERIFY(QFile::link(m_box->path("ailleurs"), m_box->path("liens/dirpath")));
    m_conf->PIni->DIRPATH.set(m_box->path("ailleurs") + u'/');
    for (const QString &spelling : {m_box->path("maison/"), QDir::homePath() + "/../" + QDir(QDir::homePath()).dirName(),
                                    QStringLiteral("//"), m_box->path("liens/dirpath"), m_box->path("liens/../ailleurs")}) {
        QVERIFY2(!FIsOwnProjectDir(spelling, QDir(FileOps::canonicalDir(spelling)).dirName(), m_conf->PIni),
                 qPrintable(spelling));
        QVERIFY2(FDelPrjDir(spelling).Category != 0 || QFileInfo(spelling).isSymLink(), qPrintable(spelling));
    }
    QVERIFY(QFileInfo(m_box->path("ailleurs/Manuel/Manuel.PRJ")).isFile());
}

void TestStorage::backupsKeepTheAuthorsFiles()
{
    // Files and a folder of the author's in the project folder, reached
    // through a link: every backup save keeps them in the project,
    // unchanged; what the program wrote itself goes to the backup as
    // before; the backup counter outlives closing the project.
    TPrjRec *prj = m_conf->PPrj;
    m_conf->PIni->BACKUP_PERIOD = 2;
    QVERIFY(QDir().mkpath(m_box->path("ailleurs")));
    m_conf->PIni->DIRPATH.set(m_box->path("ailleurs") + u'/');
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    FClosePrj(m_conf, m_display);
    const QString real = m_box->path("ailleurs/Manuel");
    QVERIFY(QDir().mkpath(m_box->path("liens")));
    QVERIFY(QFile::link(real, m_box->path("liens/Manuel")));
    const QHash<QString, QByteArray> authors{{"notes.txt", "à relire"},
                                             {"schéma.png", QByteArray("\x89PNG\r\n", 6)},
                                             {"annexes/plan.ods", "feuille"},
                                             {"annexes/вложения/документ.txt", "texte"}};
    QVERIFY(QDir().mkpath(real + "/annexes/вложения"));
    for (auto it = authors.begin(); it != authors.end(); ++it)
        QVERIFY(writeFile(real + u'/' + it.key(), it.value()));
    QVERIFY(writeFile(real + "/T9.rtf", "{\\rtf1 ancienne source}"));
    QVERIFY(writeFile(real + "/Chapitre 9.9", "{\\rtf1 ancienne page}"));
    QVERIFY(writeFile(real + "/mesures.2024", "pas du RTF"));
    // A file an earlier version moved into the backup folder, alone there.
    QVERIFY(QDir().mkpath(real + ".OLD"));
    QVERIFY(writeFile(real + ".OLD/ancien.txt", "seul exemplaire"));

    const auto sessions = [&](const QString &file, int count) {
        for (int session = 0; session < count; ++session) {
            QCOMPARE(FLoadPrj(file, m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
            for (int save = 0; save < 2; ++save) {
                setTexts(QStringLiteral("s%1 %2").arg(session).arg(save));
                answerAll();
                QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
            }
            FClosePrj(m_conf, m_display);
        }
    };
    const auto authorsFilesAreThere = [&](const QString &dir) {
        for (auto it = authors.begin(); it != authors.end(); ++it)
            QCOMPARE(readFile(dir + u'/' + it.key()), it.value());
        QCOMPARE(readFile(dir + "/mesures.2024"), QByteArray("pas du RTF"));
    };
    sessions(m_box->path("liens/Manuel/Manuel.PRJ"), 3);
    // Saves 2 and 4 after the first (the second of each session, as the
    // count went on across sessions) were backups.
    QVERIFY(readFile(real + ".OLD/Manuel.1").contains("s2 0"));
    authorsFilesAreThere(real);
    QVERIFY(!QFileInfo::exists(real + "/T9.rtf") && !QFileInfo::exists(real + "/Chapitre 9.9"));
    QCOMPARE(readFile(real + ".OLD/ancien.txt"), QByteArray("seul exemplaire"));
    QVERIFY(QFileInfo(m_box->path("liens/Manuel")).isSymLink());
    QCOMPARE(FSavesSinceBackup(real, QStringLiteral("Manuel")), quint16(1));

    // Reached through a link of another name, the folder is not taken for
    // the project's own: no backup (it is said), nothing of it moves.
    QVERIFY(QDir().rename(real, m_box->path("ailleurs/Guide")));
    QVERIFY(QFile::link(m_box->path("ailleurs/Guide"), m_box->path("liens/Autre")));
    sessions(m_box->path("liens/Autre/Manuel.PRJ"), 2);
    authorsFilesAreThere(m_box->path("ailleurs/Guide"));
}

void TestStorage::filesKeepTheAuthorsPermissions()
{
    // Under the author's umask, every save (backups among them, which
    // reuse spare files) makes files the umask allows; a file whose mode
    // the author changed keeps it.
    TPrjRec *prj = m_conf->PPrj;
    const mode_t before = ::umask(022);
    for (const mode_t mask : {mode_t(022), mode_t(077)}) {
        init();
        ::umask(mask);
        makeProject(4, QStringLiteral("v1"));
        answerAll();
        const QString dir = m_conf->PIni->DIRPATH.get() + QStringLiteral("Manuel");
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
        QVERIFY(QFile::setPermissions(dir + "/Manuel.1", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        for (int save = 0; save < 5; ++save) {
            setTexts(QStringLiteral("v%1").arg(save + 2));
            answerAll();
            QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
        }
        QStringList wrong;
        for (QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString file = it.next();
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(file).constData(), &st) == 0);
            const mode_t expected = file.endsWith("/Manuel.1") ? 0640 : (0666 & ~mask);
            if ((st.st_mode & 0777) != expected)
                wrong << QStringLiteral("%1 %2").arg(file).arg(st.st_mode & 0777, 0, 8);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
        QVERIFY(readFile(dir + "/Manuel.1").contains("?v6"));
        cleanup();
    }
    ::umask(before);
    init();
}

void TestStorage::copiedProjectOpensUnderItsFileName()
{
    // A project copied under another file name whose first line still names
    // the old project: opened under its file's name (said once), saved
    // into its own files, nothing written under the old name.
    TPrjRec *prj = m_conf->PPrj;
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    FClosePrj(m_conf, m_display);
    const QString copy = m_box->path("Cle");
    QVERIFY(QDir().mkpath(copy));
    for (const QString &file : QDir(m_box->path("Manuel")).entryList(QDir::Files)) {
        QString to = file;
        if (to.startsWith(QLatin1String("Manuel.")) && !to.endsWith(QLatin1String(".1")))
            to.replace(0, 6, QStringLiteral("Cle"));
        QVERIFY(QFile::copy(m_box->path("Manuel/") + file, copy + u'/' + to));
    }
    m_scope->prompts.clear();
    m_scope->prompts.answer(Platform::Ok);
    QCOMPARE(FLoadPrj(copy + "/Cle.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QCOMPARE(m_scope->prompts.texts().size(), 1);
    QVERIFY2(m_scope->prompts.texts().first().startsWith(QString::fromUtf8("Le fichier Cle.PRJ porte un autre nom que son projet (« Manuel »)")),
             qPrintable(m_scope->prompts.texts().first()));
    QCOMPARE(prj->PrjName.get(), QStringLiteral("Cle"));
    QCOMPARE(prj->PrjFile.get(), copy + "/Cle.PRJ");
    QCOMPARE(Outline::FItemAt(&m_tree, 1)->name, QStringLiteral("Cle"));
    QCOMPARE(prj->PrjState, quint8(PrjModified));
    const QStringList before = texts();
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(readFile(copy + "/Cle.PRJ").startsWith("Cle\r\n"));
    for (const QString &file : QDir(copy).entryList(QDir::Files))
        QVERIFY2(!file.startsWith(QLatin1String("Manuel.")) || file == QLatin1String("Manuel.1"), qPrintable(file));
    QVERIFY(!QFileInfo::exists(copy + "/Manuel.PRJ"));
    FClosePrj(m_conf, m_display);
    m_scope->prompts.clear();
    QCOMPARE(FLoadPrj(copy + "/Cle.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QVERIFY(m_scope->prompts.texts().isEmpty()); // said once
    QCOMPARE(texts(), before);
}

void TestStorage::fontsFileWrittenWhenItChanges()
{
    // The fonts file is not made again by a save that changed none of its
    // entries, but a changed entry, and a file changed or removed by
    // someone else, are written.
    TPrjRec *prj = m_conf->PPrj;
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    const QString fnt = prj->PrjDir.get() + "/Manuel.FNT";
    const QByteArray first = readFile(fnt);
    QVERIFY(!first.isEmpty());
    m_conf->PPrjFonts->Entries[2].Name.set(QStringLiteral("Verdana"));
    setTexts(QStringLiteral("v2"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(readFile(fnt).contains("Verdana"));
    QVERIFY(writeFile(fnt, "[Param]\r\nNbTopics=3\r\n")); // changed elsewhere
    setTexts(QStringLiteral("v3"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(readFile(fnt).contains("Verdana"));
    QFile::remove(fnt);
    setTexts(QStringLiteral("v4"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QVERIFY(readFile(fnt).contains("Verdana"));
}

void TestStorage::recoveryCopyAfterAFullDisk()
{
    // A recovery copy that a full disk stopped is written whole once there
    // is room again, and a save removes it.
    makeProject(2, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(m_conf->PPrj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QTextDocument *second = m_tree.FDocumentOf(Outline::FItemAt(&m_tree, 2));
    QTextCursor(second).insertText(QStringLiteral("d'abord "));
    QVERIFY(FWriteRecovery(m_conf, &m_rig.project));
    QTextCursor(second).insertText(QStringLiteral("tapé avant la panne "));
    QTextDocument *first = m_tree.FDocumentOf(Outline::FItemAt(&m_tree, 1));
    QTextCursor(first).insertText(QStringLiteral("aussi "));
    // Room for the two topics' copies, not for the list that names them.
    Platform::setWriteBudgetForTest(RtfText::FWriteRtf(*first).size() + RtfText::FWriteRtf(*second).size() + 1);
    QVERIFY(!FWriteRecovery(m_conf, &m_rig.project));
    Platform::setWriteBudgetForTest(-1);
    QVERIFY(FWriteRecovery(m_conf, &m_rig.project));
    const QList<TRecovered> found = FReadRecovery(m_conf->PPrj->PrjDir.get(), QStringLiteral("Manuel"));
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.last().name, Outline::FItemAt(&m_tree, 2)->name);
    QVERIFY(found.last().rtf.contains("tap\\'e9 avant la panne"));
    // A link inserted since the save: its command line is kept with the
    // text that names it.
    m_rig.project.commands << QStringLiteral("{\\uldb voir}{\\v Aide}");
    m_rig.project.outlineChanged = true;
    QVERIFY(FWriteRecovery(m_conf, &m_rig.project));
    TRecoveredProject kept;
    QCOMPARE(FReadRecovery(m_conf->PPrj->PrjDir.get(), QStringLiteral("Manuel"), nullptr, &kept).size(), 2);
    QVERIFY(kept.hasCommands && kept.hasKeywords);
    QCOMPARE(kept.commands, m_rig.project.commands);
}

void TestStorage::namesThatBreakTheProject()
{
    // Typed: refused with a French message, the outline unchanged.
    makeProject(2, QStringLiteral("v1"));
    QString longName(200, QChar(0x00e9)); // 400 bytes in UTF-8
    const QStringList bad{QString(), QStringLiteral(" devant"), QStringLiteral(".."), QString::fromUtf8("Łódź"),
                          longName, QStringLiteral("a\tb")};
    for (QString name : bad) {
        answerAll(1);
        const TErrorContext &ctx = FAddTopic(name, &m_tree, m_conf, true);
        QVERIFY2(ctx.Category != 0, qPrintable(name));
        QCOMPARE(Outline::FCount(&m_tree), 2);
        QVERIFY2(m_scope->prompts.texts().size() == 1, qPrintable(name));
    }
    QCOMPARE(TextConv::FTopicNameProblem(QString::fromUtf8("Łódź")).right(2), QString::fromUtf8("Łź"));
    QVERIFY(TextConv::FTopicNameProblem(QString::fromUtf8("Chapitre « été » n°2 – fin")).isEmpty());
    FClosePrj(m_conf, m_display);

    // From a .PRJ someone sent: refused at open, naming the line; nothing
    // outside the project folder is read or written.
    QVERIFY(QDir().mkpath(m_box->path("victim")));
    QVERIFY(writeFile(m_box->path("victim/owned.2"), "{\\rtf1 secret}"));
    QVERIFY(QDir().mkpath(m_box->path("Envoi")));
    for (const QByteArray &line : {QByteArray("\t../victim/owned"), QByteArray("\tnom\x01"),
                                   QByteArray("\t..")}) {
        QVERIFY(writeFile(m_box->path("Envoi/Envoi.PRJ"), "Envoi\r\n" + line + "\r\n"));
        QVERIFY(writeFile(m_box->path("Envoi/Envoi.1"), "{\\rtf1 x}"));
        QVERIFY(writeFile(m_box->path("Envoi/Envoi.CDE"), ""));
        answerAll(2);
        QVERIFY(FLoadPrj(m_box->path("Envoi/Envoi.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category != 0);
        QVERIFY2(m_scope->prompts.texts().first().contains("ligne 2"), qPrintable(m_scope->prompts.texts().join("/")));
        QCOMPARE(Outline::FCount(&m_tree), 0);
        FClosePrj(m_conf, m_display);
    }
    QCOMPARE(readFile(m_box->path("victim/owned.2")), QByteArray("{\\rtf1 secret}"));
    // More topics than a project may hold.
    QByteArray many = "Envoi\r\n";
    for (int i = 2; i <= 501; ++i)
        many += "\tP" + QByteArray::number(i) + "\r\n";
    QVERIFY(writeFile(m_box->path("Envoi/Envoi.PRJ"), many));
    answerAll(2);
    QVERIFY(FLoadPrj(m_box->path("Envoi/Envoi.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category != 0);
    QVERIFY(m_scope->prompts.texts().first().contains("501"));
}

void TestStorage::deletesCheckFirst()
{
    TPrjRec *prj = m_conf->PPrj;
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    const QString dir = prj->PrjDir.get();
    QVERIFY(QDir().mkpath(dir + "/images"));
    QVERIFY(writeFile(dir + "/images/logo.bmp", "BM"));
    const auto before = snapshot(dir);
    const TErrorContext &ctx = FDelPrjDir(dir);
    QCOMPARE(ctx.Category, quint8(7));
    QCOMPARE(ctx.Code, quint16(11));
    QVERIFY(ctx.Msg.endsWith("images"));
    QVERIFY(snapshot(dir) == before); // nothing deleted
    // The author's folder stays in the project through backups, which
    // no longer stop at it.
    for (int i = 0; i < 2; ++i) {
        setTexts(QStringLiteral("v%1").arg(i + 2));
        answerAll();
        QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
        QCOMPARE(readFile(dir + "/images/logo.bmp"), QByteArray("BM"));
    }
}

void TestStorage::otherFilesGivenToOpen()
{
    // Lower-case extensions: opened, and saved back into the same files.
    QVERIFY(QDir().mkpath(m_box->path("low")));
    QVERIFY(writeFile(m_box->path("low/low.prj"), "low\r\n"));
    QVERIFY(writeFile(m_box->path("low/low.1"), "{\\rtf1\\ansi bas de casse\\par}"));
    QVERIFY(writeFile(m_box->path("low/low.cde"), "\\{bmc a.bmp\\}\r\n"));
    QVERIFY(writeFile(m_box->path("low/low.cfg"), "[Param]\r\nProjectTitle=Minuscules\r\n"));
    QCOMPARE(FLoadPrj(m_box->path("low/low.prj"), m_display, m_conf, Globale::VGGIniPrj).Category, quint8(0));
    QCOMPARE(m_conf->PPrj->ProjectTitle.get(), QStringLiteral("Minuscules"));
    answerAll();
    QCOMPARE(FSavePrj(m_conf->PPrj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QCOMPARE(QDir(m_box->path("low")).entryList({"low.*"}, QDir::Files, QDir::Name),
             QStringList({"low.1", "low.CNT", "low.FNT", "low.HPJ", "low.cde", "low.cfg", "low.prj"}));
    FClosePrj(m_conf, m_display);

    // A file that is not a project: refused, and no ".COM" folder appears.
    QVERIFY(QDir().mkpath(m_box->path("docs")));
    QVERIFY(writeFile(m_box->path("docs/notes.PRJ"), QByteArray("\x01\x02\t\t\tbinaire", 12)));
    answerAll(2);
    QVERIFY(FLoadPrj(m_box->path("docs/notes.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category != 0);
    QVERIFY(!QFileInfo::exists(m_box->path("docs.COM")));
    FClosePrj(m_conf, m_display);

    // A FIFO as a topic file: refused at once, naming it.
    QVERIFY(QDir().mkpath(m_box->path("fifo")));
    QVERIFY(writeFile(m_box->path("fifo/fifo.PRJ"), "fifo\r\n"));
    QVERIFY(writeFile(m_box->path("fifo/fifo.CDE"), ""));
    QCOMPARE(::mkfifo(QFile::encodeName(m_box->path("fifo/fifo.1")).constData(), 0600), 0);
    answerAll(2);
    QVERIFY(FLoadPrj(m_box->path("fifo/fifo.PRJ"), m_display, m_conf, Globale::VGGIniPrj).Category != 0);
    QVERIFY(m_scope->prompts.texts().first().contains("fifo.1"));
}

void TestStorage::publishKeepsThePreviousHelpFile()
{
    TPrjRec *prj = m_conf->PPrj;
    makeProject(2, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    QCOMPARE(FUpdatePrj(false, true, m_conf, m_display).Category, quint8(0));
    m_conf->PIni->COMPILER.set(TestSupport::makeScript(m_box->path("hc.sh"),
                                                       "printf 'nouvelle aide compilee' > \"${1%.*}.hlp\"\n"));
    m_conf->PIni->COMPIL_POL_T = 20;
    m_conf->PIni->COMPIL_TO = 2000;
    const QString published = prj->PrjComDir.get() + "/Manuel.HLP";
    QVERIFY(writeFile(published, "aide publiee"));
    Platform::setWriteBudgetForTest(5); // the copy into .COM fails
    answerAll(1);
    QVERIFY(PCompileStep(m_conf));
    Platform::setWriteBudgetForTest(-1);
    QCOMPARE(readFile(published), QByteArray("aide publiee"));
    QVERIFY(m_scope->prompts.texts().value(0).startsWith(QString::fromUtf8("La publication du fichier a échoué")));
    QCOMPARE(prj->PrjState, quint8(PrjConverted));
    QVERIFY(QDir(prj->PrjComDir.get()).entryList(QDir::Files | QDir::Hidden) == QStringList{"Manuel.HLP"});
    answerAll(0);
    QVERIFY(PCompileStep(m_conf));
    QCOMPARE(readFile(published), QByteArray("nouvelle aide compilee"));
    QCOMPARE(prj->PrjState, quint8(PrjCompiled));
}

void TestStorage::foldersNamedInOtherScripts()
{
    // A home or projects folder named with letters Windows-1252 cannot hold
    // ("Łódź", "Ελληνικά"): projects are made, saved, backed up and opened
    // there, and the settings keep the folder whole.
    TPrjRec *prj = m_conf->PPrj;
    const QString dirPath = m_box->path(QString::fromUtf8("Łódź Ελληνικά")) + u'/';
    QVERIFY(QDir().mkpath(dirPath));
    m_conf->PIni->DIRPATH.set(dirPath);
    QCOMPARE(m_conf->PIni->DIRPATH.get(), dirPath);
    makeProject(3, QStringLiteral("v1"));
    answerAll();
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0));
    setTexts(QStringLiteral("v2"));
    QCOMPARE(FSavePrj(prj->PrjFile.get(), m_conf, m_display).Category, quint8(0)); // a backup
    QVERIFY(QFileInfo(dirPath + "Manuel.OLD/Manuel.PRJ").isFile());
    const QStringList saved = texts();
    FClosePrj(m_conf, m_display);
    QCOMPARE(FLoadPrj(dirPath + "Manuel/Manuel.PRJ", m_display, m_conf, Globale::VGGIniPrj).Category,
             quint8(0));
    QCOMPARE(texts(), saved);
    QCOMPARE(prj->PrjDir.get(), QFileInfo(dirPath + "Manuel").canonicalFilePath());
    // The settings file keeps it too.
    QVERIFY(Globale::VGGIniProg->FWriteConfFile(m_box->path("prog.INI"), 0));
    m_conf->PIni->DIRPATH.set(QStringLiteral("/ailleurs/"));
    Globale::VGGIniProg->FReadConfFile(m_box->path("prog.INI"), 0);
    QCOMPARE(m_conf->PIni->DIRPATH.get(), dirPath);
}

KIV_TEST(TestStorage)
#include "tst_storage.moc"
