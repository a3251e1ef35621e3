#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

QString resolveCase(const QString &path) { return CaseResolver().resolve(path); }

QString CaseResolver::resolve(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || path.isEmpty())
        return path;
    const QDir dir = info.dir();
    auto folder = m_folders.find(dir.path());
    if (folder == m_folders.end()) {
        // In name order, the first of names that differ only in case wins.
        QHash<QString, QString> names;
        for (const QString &name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            names.insert(name.toLower(), names.value(name.toLower(), name));
        folder = m_folders.insert(dir.path(), names);
    }
    const QString found = folder->value(info.fileName().toLower());
    return found.isEmpty() ? path : dir.filePath(found);
}

QString profilePath(const QString &fileName, bool forWriting)
{
    if (fileName.contains(u'/'))
        return fileName;
    return windowsDir(forWriting) + u'/' + fileName;
}

} // namespace Platform
