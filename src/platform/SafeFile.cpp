#include "platform/SafeFile.h"

#include "platform/Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

WriteBatch *g_current = nullptr;
qint64 g_budget = -1; // bytes that may still be written (tests), -1: no limit
quint64 g_counter = 0;
std::function<void()> g_renameHook;
const QByteArray kJournalHead = "kivhelp-journal 1\n";

const char *const kTempPrefix = ".kivhelp-";
const char *const kTempSuffix = ".tmp";

QString sysError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

QByteArray native(const QString &path) { return QFile::encodeName(path); }

QString dirOf(const QString &path) { return QFileInfo(path).absolutePath(); }

QString absolute(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// Writes all of `bytes` to `fd`; false with errno set on any failure.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        qint64 chunk = left;
        if (g_budget >= 0) {
            chunk = qMin(chunk, g_budget);
            if (chunk == 0) {
                errno = ENOSPC;
                return false;
            }
        }
        const ssize_t n = ::write(fd, data, size_t(chunk));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (g_budget >= 0)
            g_budget -= n;
        data += n;
        left -= n;
    }
    return true;
}

// The process's umask, read without changing it (another thread may be
// creating files).
mode_t currentUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    return mode_t(mask & 0777);
            }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

// A file name of ours no other file has, for this process.
QString freshName(const QString &dir)
{
    return dir + u'/' + QString::fromLatin1(kTempPrefix) + QString::number(::getpid()) + u'-'
           + QString::number(++g_counter) + QString::fromLatin1(kTempSuffix);
}

// A new temporary file in `dir` holding `bytes`, its size checked, synced
// when `sync`, closed. Its permissions follow the file it will replace.
// `reuse`, when given, is a file to take and overwrite instead of making one.
// `replaced`: the file this one stands for when the target is elsewhere (a
// staging folder), whose mode it keeps.
bool writeTemp(const QString &dir, const QString &target, const QByteArray &bytes, bool sync, QString *temp,
               QString *error, const QString &reuse = {}, const QString &replaced = {})
{
    // A new file gets what the user's umask allows; a replaced one keeps
    // the mode of the file it replaces.
    mode_t mode = 0666 & ~currentUmask();
    bool keepMode = false;
    struct stat st {};
    for (const QString &was : {target, replaced})
        if (!keepMode && !was.isEmpty() && ::stat(native(was).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
            mode = st.st_mode & 07777;
            keepMode = true;
        }
    int fd = -1;
    if (!reuse.isEmpty()) {
        *temp = freshName(dir);
        if (::rename(native(reuse).constData(), native(*temp).constData()) == 0) {
            // Only a file that has no other name is written over.
            struct stat spare {};
            fd = ::open(native(*temp).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0
                && (::fstat(fd, &spare) != 0 || !S_ISREG(spare.st_mode) || spare.st_nlink != 1
                    || ::fchmod(fd, mode) != 0 || ::ftruncate(fd, bytes.size()) != 0)) {
                ::close(fd);
                fd = -1;
            }
            if (fd < 0)
                ::unlink(native(*temp).constData());
        }
    }
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        *temp = freshName(dir);
        fd = ::open(native(*temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            break;
        // open() takes the umask off; a replaced file's mode is kept whole.
        if (fd >= 0 && keepMode && ::fchmod(fd, mode) != 0) {
            const int err = errno;
            ::close(fd);
            ::unlink(native(*temp).constData());
            fd = -1;
            errno = err;
            break;
        }
    }
    if (fd < 0) {
        *error = sysError(errno) + QStringLiteral(" (") + dir + u')';
        return false;
    }
    bool ok = writeAll(fd, bytes);
    int err = ok ? 0 : errno;
    if (ok && sync && ::fdatasync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && (::fstat(fd, &st) != 0 || st.st_size != bytes.size())) {
        ok = false;
        err = EIO;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(native(*temp).constData());
        *error = sysError(err) + QStringLiteral(" (") + target + u')';
    }
    return ok;
}

// True when the file already holds exactly `bytes`.
bool sameBytes(const QString &path, const QByteArray &bytes)
{
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != bytes.size())
        return false;
    QByteArray old;
    return readWholeFile(path, &old) && old == bytes;
}

bool renameOver(const QString &from, const QString &to, QString *error)
{
    if (g_renameHook)
        g_renameHook();
    if (::rename(native(from).constData(), native(to).constData()) == 0)
        return true;
    *error = sysError(errno) + QStringLiteral(" (") + to + u')';
    ::unlink(native(from).constData());
    return false;
}

} // namespace

void setWriteBudgetForTest(qint64 bytes) { g_budget = bytes; }
void setRenameHookForTest(std::function<void()> hook) { g_renameHook = std::move(hook); }

bool syncDir(const QString &dir)
{
    const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a folder; what they can, they did.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return ok;
}

bool writeFileAtomic(const QString &path, const QByteArray &bytes, QString *error)
{
    QString local;
    QString *err = error ? error : &local;
    if (g_current)
        return g_current->stage(path, bytes, err);
    QString temp;
    if (!writeTemp(dirOf(path), path, bytes, true, &temp, err))
        return false;
    if (!renameOver(temp, path, err))
        return false;
    syncDir(dirOf(path));
    return true;
}

bool readWholeFile(const QString &path, QByteArray *bytes, QString *error)
{
    // A file this thread's batch staged reads as staged: from its
    // temporary file.
    if (g_current) {
        if (const QString staged = g_current->staged(path); !staged.isEmpty())
            return readWholeFile(staged, bytes, error);
    }
    // Opened without blocking, so that a FIFO cannot hold the program; only
    // a regular file is read.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = sysError(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = QString::fromUtf8("n'est pas un fichier ordinaire");
        return false;
    }
    QByteArray out;
    out.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            if (error)
                *error = sysError(err);
            return false;
        }
        if (n == 0)
            break;
        out.append(buffer, qsizetype(n));
    }
    ::close(fd);
    *bytes = out;
    return true;
}

bool isFileOrStaged(const QString &path)
{
    return (g_current && !g_current->staged(path).isEmpty()) || QFileInfo(path).isFile();
}

bool copyFileAtomic(const QString &from, const QString &to, QString *error)
{
    QByteArray bytes;
    if (!readWholeFile(from, &bytes, error))
        return false;
    return writeFileAtomic(to, bytes, error);
}

bool copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    bool any = false;
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(file));
        any = true;
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile source(file);
        // A new file: its mode is what the umask allows, whatever the source's.
        if (!source.open(QIODevice::ReadOnly) || !writeFileAtomic(target, source.readAll()))
            return false;
    }
    return any;
}

void recycleFiles(const QString &dir, const QString &spareDir, int keep)
{
    if (!QDir().mkpath(spareDir))
        return;
    int held = int(QDir(spareDir).entryList(QDir::Files | QDir::Hidden).size());
    for (QDirIterator it(dir, QDir::Files | QDir::Hidden); held < keep && it.hasNext();) {
        const QString file = it.next();
        struct stat st {};
        // A file with another name (a project folder's files are carried
        // into the next by hard links) is someone's data: never a spare.
        if (::lstat(native(file).constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1)
            continue;
        if (::rename(native(file).constData(), native(freshName(spareDir)).constData()) == 0)
            ++held;
    }
    syncDir(spareDir);
}

bool isTempName(const QString &name)
{
    return name.startsWith(QLatin1String(kTempPrefix)) && name.endsWith(QLatin1String(kTempSuffix));
}

void removeStaleTemps(const QString &dir)
{
    for (const QString &name : entryNames(dir)) {
        if (!isTempName(name))
            continue;
        const QString pid = name.mid(int(std::strlen(kTempPrefix))).section(u'-', 0, 0);
        bool ok = false;
        const qint64 owner = pid.toLongLong(&ok);
        // A running process (this one or another) may still need its file.
        if (ok && (owner == ::getpid() || QFileInfo::exists(QStringLiteral("/proc/%1").arg(owner))))
            continue;
        ::unlink(native(dir + u'/' + name).constData());
    }
}

// ---- WriteBatch ----

WriteBatch::WriteBatch() : m_outer(g_current) { g_current = this; }

WriteBatch::~WriteBatch()
{
    if (!m_done)
        rollback();
    for (const int fd : m_syncFds)
        ::close(fd);
    g_current = m_outer;
}

WriteBatch *WriteBatch::current() { return g_current; }

void WriteBatch::redirect(const QString &fromDir, const QString &toDir)
{
    m_fromDir = absolute(fromDir);
    m_toDir = absolute(toDir);
}

void WriteBatch::setLast(const QString &path) { m_last = target(path); }

QString WriteBatch::target(const QString &path) const
{
    const QString abs = absolute(path);
    if (!m_fromDir.isEmpty() && (abs == m_fromDir || abs.startsWith(m_fromDir + u'/')))
        return m_toDir + abs.mid(m_fromDir.size());
    return abs;
}

QString WriteBatch::staged(const QString &path) const
{
    const auto it = m_index.constFind(target(path));
    return it == m_index.constEnd() ? QString() : m_pending[*it].temp;
}

bool WriteBatch::stage(const QString &path, const QByteArray &bytes, QString *error)
{
    if (m_done) {
        *error = QStringLiteral("batch already committed");
        return false;
    }
    const QString to = target(path);
    const QString dir = dirOf(to);
    if (!watchDir(dir, error))
        return false;
    const auto known = m_index.constFind(to);
    if (known == m_index.constEnd() && m_skipUnchanged && m_fromDir.isEmpty() && sameBytes(to, bytes)) {
        ++m_skipped;
        return true;
    }
    QString temp;
    if (!writeTemp(dir, to, bytes, false, &temp, error, takeSpare(), path)) {
        m_error = *error;
        return false;
    }
    if (known != m_index.constEnd()) {
        Pending &p = m_pending[*known];
        ::unlink(native(p.temp).constData());
        p.temp = temp;
    } else {
        m_index.insert(to, m_pending.size());
        m_pending.push_back(Pending{to, temp});
    }
    return true;
}

bool WriteBatch::stagedStamp(const QString &path, qint64 *size, qint64 *mtimeNs) const
{
    const auto known = m_index.constFind(target(path));
    struct stat st {};
    if (known == m_index.constEnd() || ::stat(native(m_pending[*known].temp).constData(), &st) != 0)
        return false;
    *size = st.st_size;
    *mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

void WriteBatch::setSpareDir(const QString &dir)
{
    if (QDir().mkpath(dir))
        m_spareDir = absolute(dir);
}

QString WriteBatch::takeSpare()
{
    if (m_spareDir.isEmpty())
        return {};
    if (!m_sparesListed) {
        m_sparesListed = true;
        for (const QString &name : QDir(m_spareDir).entryList(QDir::Files | QDir::Hidden))
            if (isTempName(name))
                m_spares.append(m_spareDir + u'/' + name);
    }
    return m_spares.isEmpty() ? QString() : m_spares.takeLast();
}

// Moves a file about to be replaced into the spare folder, where a later
// write takes it up: replacing it then frees nothing.
// Only under a journal: a kill between the two renames leaves the target
// missing until the journal's replay puts the new file in. The spare's
// path, or empty when the target stays where it is.
QString WriteBatch::retire(const QString &target)
{
    struct stat st {};
    if (m_spareDir.isEmpty() || !m_journaled || ::lstat(native(target).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || st.st_nlink != 1)
        return {};
    if (g_renameHook)
        g_renameHook();
    const QString spare = freshName(m_spareDir);
    return ::rename(native(target).constData(), native(spare).constData()) == 0 ? spare : QString();
}

bool WriteBatch::replace(const Pending &p, QString *error)
{
    const QString spare = retire(p.target);
    if (m_keepJournal && m_journaled) {
        // The staged file stays when the rename fails: the journal names it.
        if (g_renameHook)
            g_renameHook();
        if (::rename(native(p.temp).constData(), native(p.target).constData()) == 0)
            return true;
        *error = sysError(errno) + QStringLiteral(" (") + p.target + u')';
    } else if (renameOver(p.temp, p.target, error)) {
        return true;
    }
    if (!spare.isEmpty())
        ::rename(native(spare).constData(), native(p.target).constData());
    return false;
}

bool WriteBatch::watchDir(const QString &dir, QString *error)
{
    if (m_dirs.contains(dir))
        return true;
    // Opened before the writes, so that the sync reports their errors.
    const int fd = ::open(native(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *error = sysError(errno) + QStringLiteral(" (") + dir + u')';
        m_error = *error;
        return false;
    }
    m_syncFds.push_back(fd);
    m_dirs.insert(dir);
    return true;
}

bool WriteBatch::overwrite(const QString &path, const QByteArray &bytes, QString *error)
{
    const QString to = target(path);
    struct stat st {};
    if (m_done || !m_fromDir.isEmpty() || m_index.contains(to) || ::lstat(native(to).constData(), &st) != 0
        || !S_ISREG(st.st_mode) || st.st_nlink != 1)
        return stage(path, bytes, error);
    if (!watchDir(dirOf(to), error))
        return false;
    if (m_skipUnchanged && sameBytes(to, bytes)) {
        ++m_skipped;
        return true;
    }
    const int fd = ::open(native(to).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = fd >= 0 && writeAll(fd, bytes) && ::ftruncate(fd, bytes.size()) == 0;
    int err = ok ? 0 : errno;
    if (ok && (::fstat(fd, &st) != 0 || st.st_size != bytes.size())) {
        ok = false;
        err = EIO;
    }
    if (fd >= 0 && ::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    m_overwritten.append(to);
    if (!ok) {
        *error = sysError(err) + QStringLiteral(" (") + to + u')';
        m_error = *error;
    }
    return ok;
}

void WriteBatch::remove(const QString &path)
{
    const QString to = target(path);
    if (!m_removals.contains(to))
        m_removals.append(to);
}

bool WriteBatch::writeJournal(QString *error)
{
    QByteArray text = kJournalHead;
    const auto line = [&](char kind, const QString &a, const QString &b) {
        text += kind;
        text += '\t' + native(a);
        if (!b.isEmpty())
            text += '\t' + native(b);
        text += '\n';
    };
    const Pending *last = nullptr;
    for (const Pending &p : m_pending) {
        if (p.target == m_last)
            last = &p;
        else
            line('R', p.temp, p.target);
    }
    if (last)
        line('R', last->temp, last->target);
    for (const QString &r : std::as_const(m_removals))
        line('D', r, {});
    text += "end\n";
    const QString dir = dirOf(m_journal);
    QString temp;
    if (!writeTemp(dir, m_journal, text, true, &temp, error))
        return false;
    if (::rename(native(temp).constData(), native(m_journal).constData()) != 0) {
        *error = sysError(errno) + QStringLiteral(" (") + m_journal + u')';
        ::unlink(native(temp).constData());
        return false;
    }
    if (!syncDir(dir)) {
        *error = sysError(errno) + QStringLiteral(" (") + dir + u')';
        ::unlink(native(m_journal).constData());
        return false;
    }
    return true;
}

bool replayJournal(const QString &journal, const QStringList &dirs)
{
    QByteArray text;
    if (!QFileInfo(journal).isFile())
        return true;
    QStringList allowed;
    for (const QString &d : dirs)
        allowed << absolute(d);
    const bool whole = readWholeFile(journal, &text) && text.startsWith(kJournalHead) && text.endsWith("\nend\n");
    bool ok = true;
    const auto inside = [&](const QString &path) { return allowed.contains(dirOf(path)); };
    const QList<QByteArray> lines = whole ? text.split('\n') : QList<QByteArray>();
    for (const QByteArray &l : lines) {
        const QList<QByteArray> f = l.split('\t');
        const QString a = f.size() > 1 ? QFile::decodeName(f[1]) : QString();
        if (f[0] == "R" && f.size() == 3) {
            const QString b = QFile::decodeName(f[2]);
            if (!inside(a) || !inside(b) || !isTempName(QFileInfo(a).fileName()) || !QFileInfo::exists(a))
                continue;
            ok = ::rename(native(a).constData(), native(b).constData()) == 0 && ok;
        } else if (f[0] == "D" && f.size() == 2 && inside(a)) {
            ok = (::unlink(native(a).constData()) == 0 || errno == ENOENT) && ok;
        }
    }
    for (const QString &d : std::as_const(allowed))
        syncDir(d);
    // Replayed (or not ours): the journal has done its work.
    if (ok || !whole)
        ::unlink(native(journal).constData());
    syncDir(dirOf(journal));
    return ok;
}

void WriteBatch::rollback()
{
    for (const Pending &p : m_pending)
        ::unlink(native(p.temp).constData());
    m_pending.clear();
    m_index.clear();
    m_done = true;
}

bool WriteBatch::commit(QString *error)
{
    QString local;
    QString *err = error ? error : &local;
    if (failed() || m_done) {
        *err = m_error.isEmpty() ? QStringLiteral("batch already committed") : m_error;
        rollback();
        return false;
    }
    // One sync per file system makes every staged file durable together.
    if (!m_pending.empty() || !m_overwritten.isEmpty()) {
        bool perFile = false;
        QSet<dev_t> synced;
        for (const int fd : m_syncFds) {
            struct stat st {};
            if (::fstat(fd, &st) == 0 && synced.contains(st.st_dev))
                continue; // that file system is already synced
            if (::syncfs(fd) == 0) {
                synced.insert(st.st_dev);
                continue;
            }
            if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
                m_error = *err = sysError(errno);
                rollback();
                return false;
            }
            perFile = true; // a file system that cannot sync as a whole
        }
        const auto syncFile = [&](const QString &file, const QString &shown) {
            const int fd = ::open(native(file).constData(), O_RDONLY | O_CLOEXEC);
            const bool synced = fd >= 0 && ::fdatasync(fd) == 0;
            const int e = errno;
            if (fd >= 0)
                ::close(fd);
            if (!synced)
                m_error = *err = sysError(e) + QStringLiteral(" (") + shown + u')';
            return synced;
        };
        for (size_t i = 0; perFile && i < m_pending.size(); ++i) {
            if (!syncFile(m_pending[i].temp, m_pending[i].target)) {
                rollback();
                return false;
            }
        }
        for (const QString &file : std::as_const(m_overwritten)) {
            if (perFile && !syncFile(file, file)) {
                rollback();
                return false;
            }
        }
    }
    size_t counted = m_pending.size() + size_t(m_removals.size());
    for (const Pending &p : m_pending)
        if (m_loose.contains(p.target))
            --counted;
    if (!m_journal.isEmpty() && counted > 1) {
        if (!writeJournal(err)) {
            m_error = *err;
            rollback();
            return false;
        }
        m_journaled = true;
    }
    bool ok = true;
    // After a failed rename, the files still to rename either go (the
    // targets stay as they were) or, kept with the journal, wait for its
    // replay.
    const bool keep = m_keepJournal && m_journaled;
    const Pending *last = nullptr;
    for (const Pending &p : m_pending) {
        if (p.target == m_last) {
            last = &p;
            continue;
        }
        if (ok) {
            ok = replace(p, err);
        } else if (!keep) {
            ::unlink(native(p.temp).constData());
        }
    }
    // The file named last (the outline) goes in once every file it names is
    // in place and durable.
    if (last) {
        if (ok) {
            for (const QString &dir : std::as_const(m_dirs))
                if (dir != dirOf(m_last))
                    syncDir(dir);
            syncDir(dirOf(m_last));
            ok = replace(*last, err);
        } else if (!keep) {
            ::unlink(native(last->temp).constData());
        }
    }
    if (ok) {
        for (const QString &r : std::as_const(m_removals)) {
            if (m_index.contains(r))
                continue; // written by this very batch
            if (g_renameHook)
                g_renameHook();
            ::unlink(native(r).constData());
            m_dirs.insert(dirOf(r));
        }
    }
    // The spare folder holds nothing anyone needs after a crash: not synced.
    for (const QString &dir : std::as_const(m_dirs))
        syncDir(dir);
    if (m_journaled && (ok || !keep)) {
        ::unlink(native(m_journal).constData());
        syncDir(dirOf(m_journal));
    }
    m_done = true;
    if (!ok)
        m_error = *err;
    return ok;
}

} // namespace Platform
