#include "fileops/PrjFolder.h"

#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pwd.h>
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

TPrjFolders foldersOf(const QString &projectDir, const QString &name)
{
    TPrjFolders f;
    f.project = canonicalDir(projectDir);
    const QString parent = parentOf(f.project);
    const QString base = QFileInfo(f.project).fileName();
    f.name = name.isEmpty() ? base : name;
    f.state = parent + QStringLiteral("/.") + base + QStringLiteral(".kvstate");
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

bool isProgramFile(const QString &dir, const QString &entry, const QString &projectName)
{
    if (Platform::isTempName(entry))
        return true;
    const qsizetype dot = entry.lastIndexOf(u'.');
    const QString base = dot < 0 ? entry : entry.left(dot);
    const QString ext = dot < 0 ? QString() : entry.mid(dot + 1).toUpper();
    static const QStringList own{"PRJ", "CFG", "FNT", "CDE", "KEY", "HPJ", "CNT", "HLP", "ERR", "GID", "FTS", "FTG", "PH"};
    if (base.compare(projectName, Qt::CaseInsensitive) == 0 && own.contains(ext))
        return true;
    if (entry.compare(projectName + QStringLiteral("_chm"), Qt::CaseInsensitive) == 0)
        return true;
    static const QRegularExpression source(QStringLiteral("^T\\d+\\.rtf$"), QRegularExpression::CaseInsensitiveOption);
    if (source.match(entry).hasMatch())
        return true;
    // A topic file: NAME.<n> holding RTF (one of a topic since renamed,
    // moved or deleted, left behind by an earlier save).
    static const QRegularExpression number(QStringLiteral("^\\d+$"));
    if (!ext.isEmpty() && number.match(ext).hasMatch()) {
        QFile file(dir + u'/' + entry);
        if (!isLink(file.fileName()) && file.open(QIODevice::ReadOnly))
            return file.read(5) == "{\\rtf";
    }
    return false;
}

namespace {

// Puts `from` (an entry of the project folder) at `to`, as it is.
bool carryEntry(const QString &from, const QString &to, QString *error)
{
    struct stat st {};
    if (::lstat(native(from).constData(), &st) != 0)
        return true; // gone meanwhile
    const auto failed = [&](const QString &path) {
        if (error)
            *error = sysError(errno) + QStringLiteral(" (") + path + u')';
        return false;
    };
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(native(from).constData(), target.data(), size_t(target.size()));
        if (n < 0)
            return failed(from);
        target.truncate(n);
        return ::symlink(target.constData(), native(to).constData()) == 0 || failed(to);
    }
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(native(to).constData(), st.st_mode & 07777) != 0 && errno != EEXIST)
            return failed(to);
        const QStringList names = QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            if (!carryEntry(from + u'/' + name, to + u'/' + name, error))
                return false;
        return Platform::syncDir(to) || failed(to);
    }
    if (!S_ISREG(st.st_mode))
        return true; // a pipe or a socket holds nothing to keep
    // A second name for the same file costs nothing and needs no sync;
    // where the file system has none, a durable copy.
    if (::link(native(from).constData(), native(to).constData()) == 0)
        return true;
    QString copyError;
    if (Platform::copyFileAtomic(from, to, &copyError))
        return true;
    if (error)
        *error = copyError;
    return false;
}

// The author's entries of the backup before last that the new backup lacks
// (files the author has since removed from the project, or that an earlier
// version moved out of it) go into the new backup: only the author deletes
// them.
void keepAuthorsFiles(const QString &old, const QString &into, const QString &projectName, bool top)
{
    const QStringList names = QDir(old).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (top && isProgramFile(old, name, projectName))
            continue;
        const QString from = old + u'/' + name, to = into + u'/' + name;
        if (!exists(to))
            renamePath(from, to, nullptr);
        else if (isRealDir(from) && isRealDir(to))
            keepAuthorsFiles(from, to, projectName, false);
    }
}

} // namespace

bool carryForeign(const TPrjFolders &f, QString *error)
{
    const QStringList names = QDir(f.project).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString to = f.staging + u'/' + name;
        if (exists(to) || isProgramFile(f.project, name, f.name))
            continue;
        if (!carryEntry(f.project + u'/' + name, to, error))
            return false;
    }
    return true;
}

QString treeBlocker(const QString &dir)
{
    if (isLink(dir) || !exists(dir))
        return {};
    if (!isRealDir(dir) || ::access(native(dir).constData(), W_OK | X_OK) != 0)
        return dir;
    const QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir + u'/' + name;
        if (isRealDir(path)) {
            const QString blocker = treeBlocker(path);
            if (!blocker.isEmpty())
                return blocker;
        }
    }
    if (::access(native(parentOf(dir)).constData(), W_OK | X_OK) != 0)
        return dir;
    return {};
}

QString deleteTree(const QString &dir)
{
    if (isLink(dir))
        return ::unlink(native(dir).constData()) == 0 ? QString() : dir;
    if (!exists(dir))
        return {};
    const QStringList names = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = dir + u'/' + name;
        if (isRealDir(path)) {
            const QString failed = deleteTree(path);
            if (!failed.isEmpty())
                return failed;
        } else if (::unlink(native(path).constData()) != 0 && errno != ENOENT) {
            return path;
        }
    }
    return ::rmdir(native(dir).constData()) == 0 ? QString() : dir;
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
        dropOldBackup(f);
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

namespace {
// Enough spare files for a save of the largest project (500 topics and
// the project's other files).
constexpr int kSparesKept = 600;
} // namespace

void dropOldBackup(const TPrjFolders &f)
{
    if (isRealDir(f.backup))
        keepAuthorsFiles(f.trash, f.backup, f.name, true);
    Platform::syncDir(f.backup);
    // Its files become the next saves' files rather than being freed (some
    // file systems free hundreds of files slowly).
    if (isRealDir(f.trash))
        Platform::recycleFiles(f.trash, sparesOf(f), kSparesKept);
    deleteTree(f.trash);
}

QString journalOf(const TPrjFolders &folders) { return folders.state + QStringLiteral("/journal"); }
QString sparesOf(const TPrjFolders &folders) { return folders.state + QStringLiteral("/spare"); }

void recover(const QString &projectDir, const QString &name)
{
    const TPrjFolders f = foldersOf(projectDir, name);
    // Another window's save in progress is not a crash's leftover.
    if (lockedByAnother(f))
        return;
    if (!exists(f.project) && isRealDir(f.ready))
        renamePath(f.ready, f.project, nullptr);
    if (isRealDir(f.ready) || isLink(f.ready))
        deleteTree(f.ready);
    if (isRealDir(f.trash) && !exists(f.backup))
        renamePath(f.trash, f.backup, nullptr);
    if (exists(f.trash))
        dropOldBackup(f);
    if (exists(f.staging))
        deleteTree(f.staging);
    Platform::syncDir(parentOf(f.project));
    // An ordinary save cut short after its commit point is completed.
    if (isRealDir(f.project))
        Platform::replayJournal(journalOf(f), {f.project, f.state});
    if (isRealDir(f.project))
        Platform::removeStaleTemps(f.project);
}

// ---- the project lock ----

namespace {
std::unique_ptr<QLockFile> g_lock;
QString g_lockPath;

QString ownerOf(qint64 pid)
{
    struct stat st {};
    if (pid <= 0 || ::stat(QByteArray("/proc/" + QByteArray::number(pid)).constData(), &st) != 0)
        return {};
    if (const passwd *pw = ::getpwuid(st.st_uid))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(st.st_uid);
}
} // namespace

TLockResult lockProject(const TPrjFolders &folders, TLockHolder *holder)
{
    unlockProject();
    if (!QDir().mkpath(folders.state))
        return TLockResult::Unavailable;
    auto lock = std::make_unique<QLockFile>(folders.state + QStringLiteral("/lock"));
    // Held as long as its process lives, however long the session.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        g_lock = std::move(lock);
        g_lockPath = canonicalDir(folders.state + QStringLiteral("/lock"));
        return TLockResult::Taken;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return TLockResult::Unavailable;
    if (holder) {
        QString app;
        lock->getLockInfo(&holder->pid, &holder->host, &app);
        holder->user = ownerOf(holder->pid);
    }
    return TLockResult::HeldElsewhere;
}

void unlockProject() { g_lock.reset(); }

bool holdsProjectLock() { return g_lock && g_lock->isLocked(); }

bool holdsLockOf(const TPrjFolders &f)
{
    return holdsProjectLock() && g_lockPath == canonicalDir(f.state + QStringLiteral("/lock"));
}

bool lockedByAnother(const TPrjFolders &f)
{
    const QString path = f.state + QStringLiteral("/lock");
    if (!exists(path) || holdsLockOf(f))
        return false;
    QLockFile probe(path);
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
        probe.unlock();
        return false;
    }
    return probe.error() == QLockFile::LockFailedError;
}

} // namespace FileOps
