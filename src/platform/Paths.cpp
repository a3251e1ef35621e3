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

QString programDir()
{
    const QString dir = QFileInfo(programFilePath()).absolutePath();
    const QFileInfo info(dir);
    if (!dir.isEmpty() && info.isDir() && info.isWritable())
        return dir;
    return QDir::homePath() + QStringLiteral("/KivHelp");
}

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

QString resolveCase(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() || path.isEmpty())
        return path;
    const QDir dir = info.dir();
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        if (name.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(name);
    return path;
}

QString profilePath(const QString &fileName, bool forWriting)
{
    if (fileName.contains(u'/'))
        return fileName;
    return windowsDir(forWriting) + u'/' + fileName;
}

} // namespace Platform
