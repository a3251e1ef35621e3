#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {
QString g_programOverride;
QString g_winDirOverride;
} // namespace

void setProgramFilePathForTest(const QString &path) { g_programOverride = path; }
void setWindowsDirForTest(const QString &path) { g_winDirOverride = path; }

QString programFilePath()
{
    if (!g_programOverride.isEmpty())
        return g_programOverride;
    QString path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        path = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return path;
}

QString programFileName() { return QFileInfo(programFilePath()).fileName(); }

QString userProjectsDir() { return QDir::homePath() + QStringLiteral("/KivHelp"); }

QString windowsDir(bool create)
{
    QString dir = g_winDirOverride;
    if (dir.isEmpty()) {
        QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (base.isEmpty() || !QDir::isAbsolutePath(base))
            base = QDir::homePath() + QStringLiteral("/.config");
        dir = base + QStringLiteral("/kivhelp");
    }
    if (create)
        QDir().mkpath(dir);
    return dir;
}

QString shortPath(const QString &longPath)
{
    if (longPath.isEmpty())
        return {};
    const QFileInfo info(longPath);
    if (!info.exists())
        return {};
    // A directory named with a final separator keeps it, as short forms do.
    QString path = info.absoluteFilePath();
    if (longPath.endsWith(u'/') && !path.endsWith(u'/'))
        path += u'/';
    return path;
}

QStringList entryNames(const QString &dir)
{
    QStringList names;
    DIR *d = ::opendir(QFile::encodeName(dir).constData());
    if (!d)
        return names;
    while (const dirent *e = ::readdir(d)) {
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        names.append(QFile::decodeName(n));
    }
    ::closedir(d);
    return names;
}

FolderStamps::FolderStamps(const QString &dir)
    : m_fd(::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
}

FolderStamps::~FolderStamps()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FolderStamps::stamp(const QString &name, qint64 *size, qint64 *mtimeNs) const
{
    struct stat st {};
    if (m_fd < 0 || ::fstatat(m_fd, QFile::encodeName(name).constData(), &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = st.st_size;
    if (mtimeNs)
        *mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

QString resolveCase(const QString &path) { return CaseResolver().resolve(path); }

QString CaseResolver::resolve(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || path.isEmpty())
        return path;
    const QDir dir = info.dir();
    auto folder = m_folders.find(dir.path());
    if (folder == m_folders.end())
        folder = m_folders.insert(dir.path(), Folder{entryNames(dir.path()), {}});
    const QString wanted = info.fileName();
    QString found;
    if (folder->byLowerName.isEmpty() && !folder->looked) {
        // One name looked for: the folder is read through once.
        folder->looked = true;
        for (const QString &name : std::as_const(folder->names))
            if (name.compare(wanted, Qt::CaseInsensitive) == 0 && (found.isEmpty() || name < found))
                found = name;
    } else {
        if (folder->byLowerName.isEmpty()) {
            // In name order, the first of names that differ only in case wins.
            folder->names.sort();
            for (const QString &name : std::as_const(folder->names))
                folder->byLowerName.insert(name.toLower(), folder->byLowerName.value(name.toLower(), name));
        }
        found = folder->byLowerName.value(wanted.toLower());
    }
    return found.isEmpty() ? path : dir.filePath(found);
}

QString profilePath(const QString &fileName, bool forWriting)
{
    if (fileName.contains(u'/'))
        return fileName;
    return windowsDir(forWriting) + u'/' + fileName;
}

} // namespace Platform
