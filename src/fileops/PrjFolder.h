#pragma once
// The folders of a project on disk, handled by their canonical paths:
//   D/P              the project folder
//   D/P.OLD          the project folder as it was at the last backup
//   D/.P.kvnew       a backup save being written (incomplete)
//   D/.P.kvready     a backup save written and durable, about to be swapped in
//   D/.P.kvtrash     the backup before last, being deleted
// A backup save writes the new project into the staging folder, makes it
// durable, then swaps it with the project folder (atomically where the file
// system can exchange two names), so that the project's path holds a whole
// project at every moment; what a crash leaves behind is put right by
// FRecover before the project is opened or saved again.
#include <QString>

namespace KIVHelpTools {

// "DIR/NAME.EXT" with its extension replaced (or added).
QString FChangeExt(const QString &path, const QString &ext);
// A project file's companion with another extension, in the letter case of
// the file already on disk when there is one (low.prj → low.cde).
QString FPrjCompanion(const QString &projectFile, const QString &ext);

} // namespace KIVHelpTools

namespace FileOps {

struct TPrjFolders {
    QString project, backup, staging, ready, trash;
};

// The canonical path of an existing folder, else the cleaned absolute path.
QString canonicalDir(const QString &dir);
// The folders around a project folder (taken by its canonical path).
TPrjFolders foldersOf(const QString &projectDir);
// Root, the home folder, DIRPATH, the program's folder, or a folder that
// holds one of them: never moved or emptied, whatever the spelling.
bool isProtectedDir(const QString &dir, const QString &dirPath);

// Empty when every entry of `dir` can be deleted (files and links only, in
// a folder we may write); else the path that stands in the way.
QString deleteBlocker(const QString &dir);
// Deletes the entries of `dir`, then `dir`, after checking that all can go:
// nothing is deleted when something stands in the way. A link (the folder
// itself or an entry) is removed as a link, never followed.
bool deleteFolder(const QString &dir, QString *failedPath = nullptr);

// Swaps the durable staging folder in as the project folder; the old
// project folder becomes the backup folder, the previous backup goes.
bool swapIn(const TPrjFolders &folders, QString *error);
// Puts right what an interrupted backup save left (see above) and removes
// leftover temporary files from the project folder.
void recover(const QString &projectDir);

// Earlier versions built a compiled help file's pages in the project's
// folder (N_chm, with an images folder): a backup carried it into the
// backup folder, whose deletion refuses subfolders, and every later backup
// failed. Such a folder (a real folder holding our project.hhp) is removed
// from the project and backup folders of project `name`.
void removeChmStaging(const TPrjFolders &folders, const QString &name);

// For tests: take the two-rename path as on file systems that cannot
// exchange two names.
void setExchangeForTest(bool useExchange);

} // namespace FileOps
