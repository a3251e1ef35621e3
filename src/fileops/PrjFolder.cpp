#include "fileops/PrjFolder.h"

#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KIVHelpTools {

QString FChangeExt(const QString &path, const QString &ext)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    return (dot > slash ? path.left(dot) : path) + ext;
}

QString FPrjCompanion(const QString &projectFile, const QString &ext)
{
    return Platform::resolveCase(FChangeExt(projectFile, ext));
}

} // namespace KIVHelpTools

namespace FileOps {

namespace {

bool g_exchange = true;

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString sysError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

bool isLink(const QString &path)
{
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool isRealDir(const QString &path)
{
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const QString &path)
{
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0;
}

bool renamePath(const QString &from, const QString &to, QString *error)
{
    if (::rename(native(from).constData(), native(to).constData()) == 0)
        return true;
    if (error)
        *error = sysError(errno) + QStringLiteral(" (") + from + QStringLiteral(" → ") + to + u')';
    return false;
}

QString parentOf(const QString &dir) { return QFileInfo(dir).absolutePath(); }

// `inner` is `outer` or lies below it.
bool within(const QString &inner, const QString &outer)
{
    return inner == outer || outer == QLatin1String("/") || inner.startsWith(outer + u'/');
}

} // namespace

void setExchangeForTest(bool useExchange) { g_exchange = useExchange; }

QString canonicalDir(const QString &dir)
{
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(dir).absoluteFilePath()) : canonical;
}

TPrjFolders foldersOf(const QString &projectDir)
{
    TPrjFolders f;
    f.project = canonicalDir(projectDir);
    const QString parent = parentOf(f.project);
    const QString base = QFileInfo(f.project).fileName();
    f.backup = f.project + QStringLiteral(".OLD");
    f.staging = parent + QStringLiteral("/.") + base + QStringLiteral(".kvnew");
    f.ready = parent + QStringLiteral("/.") + base + QStringLiteral(".kvready");
    f.trash = parent + QStringLiteral("/.") + base + QStringLiteral(".kvtrash");
    return f;
}

bool isProtectedDir(const QString &dir, const QString &dirPath)
{
    if (dir.isEmpty())
        return true;
    const QString path = canonicalDir(dir);
    QStringList guarded{QStringLiteral("/"), canonicalDir(QDir::homePath()),
                        canonicalDir(QFileInfo(Platform::programFilePath()).absolutePath())};
    if (!dirPath.isEmpty())
        guarded << canonicalDir(dirPath);
    for (const QString &g : std::as_const(guarded))
        if (within(g, path))
            return true;
    return false;
}

QString deleteBlocker(const QString &dir)
{
    if (isLink(dir) || !exists(dir))
        return {};
    if (!isRealDir(dir))
        return dir;
    if (::access(native(dir).constData(), W_OK | X_OK) != 0)
        return dir;
    const QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir + u'/' + name;
        if (isRealDir(path))
            return path;
    }
    // The folder itself must be removable from its parent.
    if (::access(native(parentOf(dir)).constData(), W_OK | X_OK) != 0)
        return dir;
    return {};
}

bool deleteFolder(const QString &dir, QString *failedPath)
{
    if (isLink(dir)) {
        if (::unlink(native(dir).constData()) == 0)
            return true;
        if (failedPath)
            *failedPath = dir;
        return false;
    }
    if (!exists(dir))
        return true;
    const QString blocker = deleteBlocker(dir);
    if (!blocker.isEmpty()) {
        if (failedPath)
            *failedPath = blocker;
        return false;
    }
    const QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir + u'/' + name;
        // unlink() removes a link itself, never what it points to.
        if (::unlink(native(path).constData()) != 0 && errno != ENOENT) {
            if (failedPath)
                *failedPath = path;
            return false;
        }
    }
    if (::rmdir(native(dir).constData()) != 0) {
        if (failedPath)
            *failedPath = dir;
        return false;
    }
    return true;
}

bool swapIn(const TPrjFolders &f, QString *error)
{
    const QString parent = parentOf(f.project);
    // Written and durable: from here on the new project is complete.
    if (!Platform::syncDir(f.staging) || !renamePath(f.staging, f.ready, error))
        return false;
    Platform::syncDir(parent);
    bool exchanged = false;
    if (g_exchange) {
        if (::renameat2(AT_FDCWD, native(f.ready).constData(), AT_FDCWD, native(f.project).constData(),
                        RENAME_EXCHANGE)
            == 0) {
            exchanged = true;
        } else if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
            if (error)
                *error = sysError(errno) + QStringLiteral(" (") + f.project + u')';
            return false;
        }
    }
    const bool hadBackup = exists(f.backup);
    if (hadBackup && !renamePath(f.backup, f.trash, error))
        return false;
    if (exchanged) {
        // The project's path already holds the new project; the old one
        // (now under the staging name) becomes the backup.
        if (!renamePath(f.ready, f.backup, error))
            return false;
    } else {
        // Two renames: between them the project's path is empty, and
        // recover() completes the swap from the durable staging folder.
        if (!renamePath(f.project, f.backup, error))
            return false;
        if (!renamePath(f.ready, f.project, error)) {
            renamePath(f.backup, f.project, nullptr);
            return false;
        }
    }
    Platform::syncDir(parent);
    if (hadBackup)
        deleteFolder(f.trash);
    return true;
}

void removeChmStaging(const TPrjFolders &folders, const QString &name)
{
    for (const QString &parent : {folders.project, folders.backup}) {
        const QString dir = parent + u'/' + name + QStringLiteral("_chm");
        if (isRealDir(dir) && QFileInfo(dir + QStringLiteral("/project.hhp")).isFile())
            QDir(dir).removeRecursively(); // does not follow links
    }
}

void recover(const QString &projectDir)
{
    const TPrjFolders f = foldersOf(projectDir);
    if (!exists(f.project) && isRealDir(f.ready))
        renamePath(f.ready, f.project, nullptr);
    if (isRealDir(f.ready) || isLink(f.ready))
        deleteFolder(f.ready);
    if (isRealDir(f.trash) && !exists(f.backup))
        renamePath(f.trash, f.backup, nullptr);
    if (exists(f.trash))
        deleteFolder(f.trash);
    if (exists(f.staging))
        deleteFolder(f.staging);
    Platform::syncDir(parentOf(f.project));
    if (isRealDir(f.project))
        Platform::removeStaleTemps(f.project);
}

} // namespace FileOps
