#include "fileops/DosCmd.h"

#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace U_DosCmd {

namespace {

TErrorContext g_ctx;

// Splits a mask into its directory and its wildcard pattern; "*.*" matches
// every name, as it does on Windows.
void splitMask(const QString &mask, QString *dir, QString *pattern)
{
    const qsizetype slash = mask.lastIndexOf(u'/');
    *dir = slash < 0 ? QStringLiteral(".") : (slash == 0 ? QStringLiteral("/") : mask.left(slash));
    *pattern = slash < 0 ? mask : mask.mid(slash + 1);
    if (*pattern == QLatin1String("*.*"))
        *pattern = QStringLiteral("*");
}

QFileInfoList matchingEntries(const QString &mask, bool firstOnly)
{
    QString dir, pattern;
    splitMask(mask, &dir, &pattern);
    if (pattern.isEmpty())
        return {};
    // A plain name: look it up directly first (cheap and exact).
    const bool wild = pattern.contains(u'*') || pattern.contains(u'?');
    if (!wild) {
        const QFileInfo exact(dir + u'/' + pattern);
        if (exact.exists() || exact.isSymLink())
            return {exact};
    }
    QDir d(dir);
    d.setFilter(QDir::AllEntries | QDir::Hidden | QDir::System);
    d.setSorting(QDir::Unsorted);
    d.setNameFilters({pattern});
    QFileInfoList list = d.entryInfoList();
    if (firstOnly && list.size() > 1)
        list = list.mid(0, 1);
    return list;
}

void sleepAndPump(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
    QCoreApplication::processEvents();
}

} // namespace

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString(), QStringLiteral("U_DosCmd"), active, trace, destination);
}

bool FDosCmd(const QString &path, const QString &failText, int op)
{
    TSubGuard sub(g_ctx, QStringLiteral("FDosCmd"));
    bool ok = false;
    quint16 code = 0;
    switch (op) {
    case OpChDir:
        ok = !path.isEmpty() && QDir::setCurrent(path);
        code = 16;
        break;
    case OpMkDir:
        ok = !path.isEmpty() && !QFileInfo::exists(path) && QDir().mkdir(path);
        code = 17;
        break;
    case OpRmDir:
        ok = !path.isEmpty() && QFileInfo(path).isDir() && QDir().rmdir(path);
        code = 18;
        break;
    case OpDelFile:
        ok = !path.isEmpty() && !QFileInfo(path).isDir() && QFile::remove(path);
        code = 11;
        break;
    case OpFileExists: {
        const QFileInfo info(path);
        ok = !path.isEmpty() && info.exists() && !info.isDir();
        code = 2;
        break;
    }
    default:
        sub.report(6, QStringLiteral("Operation = %1").arg(op), 3);
        return false;
    }
    if (ok) {
        sub.report(0);
        return true;
    }
    if (!failText.isEmpty())
        PShowError(failText);
    sub.report(7, path, code);
    return false;
}

bool FChDir(const QString &path, const QString &failText) { return FDosCmd(path, failText, OpChDir); }
bool FMkDir(const QString &path, const QString &failText) { return FDosCmd(path, failText, OpMkDir); }
bool FDelFile(const QString &path, const QString &failText) { return FDosCmd(path, failText, OpDelFile); }
bool FFileExist(const QString &path, const QString &failText) { return FDosCmd(path, failText, OpFileExists); }

QStringList FFileList(const QString &mask)
{
    QStringList names;
    for (const QFileInfo &info : matchingEntries(mask, false))
        names << info.fileName();
    return names;
}

qint64 FFileSize(const QString &fileName)
{
    const QFileInfoList list = matchingEntries(fileName, true);
    if (list.isEmpty())
        return -1;
    return list.first().isDir() ? 0 : list.first().size();
}

TErrorContext &FMoveFile(const QString &source, const QString &destination)
{
    TSubGuard sub(g_ctx, QStringLiteral("FMoveFile"));
    QFile::rename(source, destination);
    return sub.report(0);
}

QString FGetWinDir()
{
    const QString dir = Platform::windowsDir(false);
    return dir.size() >= 255 ? QString() : dir;
}

int FRunCmd(const QString &program, const QStringList &args, int, int pollMs, int maxWaitMs, int *exitCode,
            const QString &workDir)
{
    TSubGuard sub(g_ctx, QStringLiteral("FRunCmd"));
    // A period of 0 would never advance the clock.
    const int poll = qMax(1, pollMs);
    auto *process = new Platform::ChildProcess;
    const int started = process->start(program, args, workDir.isEmpty() ? QDir::currentPath() : workDir);
    if (started != 0) {
        delete process;
        sub.report(7, program, 7);
        return started;
    }
    int elapsed = 0;
    bool ended = false;
    do {
        sleepAndPump(poll);
        ended = process->ended();
        elapsed += poll;
    } while (!ended && elapsed < maxWaitMs);
    if (exitCode)
        *exitCode = ended ? process->exitCode() : -1;
    process->release();
    sub.report(0);
    return ended ? 0 : WaitTimeout;
}

int FRunCmd(const QString &commandLine, int showMode, int pollMs, int maxWaitMs)
{
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return 2;
    const QString program = words.takeFirst();
    return FRunCmd(program, words, showMode, pollMs, maxWaitMs);
}

bool FCheckDir(const QString &path, const QString &failText)
{
    if (!path.isEmpty() && QFileInfo(path).isDir())
        return true;
    if (!failText.isEmpty())
        PShowError(failText);
    return false;
}

bool FWaitFile(const QString &fileName, int pollMs, int timeoutMs)
{
    const int poll = qMax(1, pollMs);
    int elapsed = 0;
    bool seen = false;
    for (;;) {
        sleepAndPump(poll);
        if (!seen)
            seen = FFileSize(fileName) >= 0;
        else if (FFileSize(fileName) != 0)
            return true;
        if (elapsed >= timeoutMs)
            return false;
        elapsed += poll;
    }
}

} // namespace U_DosCmd
