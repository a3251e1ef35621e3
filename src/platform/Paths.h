#pragma once
// Where the program and its files live on this system.
#include <QHash>
#include <QString>
#include <QStringList>

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
// The names in a folder (without "." and ".."), in no particular order, read
// straight from the folder: nothing is looked up per name, so that listing
// a project of a thousand files costs little. Empty when it cannot be read.
QStringList entryNames(const QString &dir);
// Size and modification time of files of one folder by their names, the
// folder opened once (no path walked per file).
class FolderStamps {
public:
    explicit FolderStamps(const QString &dir);
    ~FolderStamps();
    FolderStamps(const FolderStamps &) = delete;
    FolderStamps &operator=(const FolderStamps &) = delete;
    // False when `name` is not a regular file of the folder.
    bool stamp(const QString &name, qint64 *size, qint64 *mtimeNs = nullptr) const;

private:
    int m_fd = -1;
};
// The existing file whose name matches the path's without regard to case
// (names written by other programs), else the path unchanged.
QString resolveCase(const QString &path);
// The same for many names: each folder is listed once and remembered.
class CaseResolver {
public:
    QString resolve(const QString &path);

private:
    struct Folder {
        QStringList names;
        QHash<QString, QString> byLowerName; // made from the second name looked for
        bool looked = false;
    };
    QHash<QString, Folder> m_folders;
};
// A bare file name (no directory) lies in the Windows directory, as the
// private-profile functions place it; any other name is kept.
QString profilePath(const QString &fileName, bool forWriting);

// Overrides for tests: the program path and the configuration folder.
void setProgramFilePathForTest(const QString &path);
void setWindowsDirForTest(const QString &path);

} // namespace Platform
