#pragma once
// Where the program and its files live on this system.
#include <QHash>
#include <QString>

namespace Platform {

// Full path of the running program file.
QString programFilePath();
// File-name part of the running program's path ("kivhelp").
QString programFileName();
// The user's own folder for help projects (~/KivHelp), the default parent
// of new projects: never the build tree, which a clean rebuild deletes.
// Without a trailing separator; not created here.
QString userProjectsDir();
// The per-user configuration folder that stands in for the Windows directory:
// $XDG_CONFIG_HOME/kivhelp, else ~/.config/kivhelp. Created when `create`.
QString windowsDir(bool create = false);
// The absolute path when it exists, else empty (there are no 8.3 names here).
QString shortPath(const QString &longPath);
// The existing file whose name matches the path's without regard to case
// (names written by other programs), else the path unchanged.
QString resolveCase(const QString &path);
// The same for many names: each folder is listed once and remembered.
class CaseResolver {
public:
    QString resolve(const QString &path);

private:
    QHash<QString, QHash<QString, QString>> m_folders; // folder -> lower-case name -> name
};
// A bare file name (no directory) lies in the Windows directory, as the
// private-profile functions place it; any other name is kept.
QString profilePath(const QString &fileName, bool forWriting);

// Overrides for tests: the program path and the configuration folder.
void setProgramFilePathForTest(const QString &path);
void setWindowsDirForTest(const QString &path);

} // namespace Platform
