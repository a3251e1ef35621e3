#pragma once
// The folders of a project on disk, handled by their canonical paths:
//   D/P              the project folder
//   D/P.OLD          the project folder as it was at the last backup
//   D/.P.kvnew       a backup save being written (incomplete)
//   D/.P.kvready     a backup save written and durable, about to be swapped in
//   D/.P.kvtrash     the backup before last, being deleted
//   D/.P.kvstate     what the program keeps of the project outside it: the
//                    lock of the window that has it open, the saves since
//                    the last backup, the recovery copies of unsaved topics,
//                    the journal of a save, the files a save replaced
//                    (spare/, taken up by the next save), what each help
//                    source was made from
// Files and folders of the project folder that the program does not write
// (the author's notes, pictures, a subfolder) are carried into every new
// project folder, and a backup never deletes the only copy of one.
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
    QString project, backup, staging, ready, trash, state;
    QString name; // the project's name (its outline file's), for telling its files
};

// The canonical path of an existing folder, else the cleaned absolute path.
QString canonicalDir(const QString &dir);
// The folders around a project folder (taken by its canonical path);
// `name` is the project's name, the folder's own name when not given.
TPrjFolders foldersOf(const QString &projectDir, const QString &name = {});

// True for an entry of the project folder that the program writes itself:
// the outline, settings, command, help-project and contents files, the
// compiler's outputs, the help sources T<n>.rtf, topic files (NAME.<n>
// holding RTF) and the save's temporary files.
bool isProgramFile(const QString &dir, const QString &entry, const QString &projectName);
// Carries the entries of the project folder that the program does not
// write into the staging folder (hard links where the file system has
// them, else copies; folders whole, links as links), so that the swap
// keeps them in the project. False, with the reason, when one cannot be.
bool carryForeign(const TPrjFolders &folders, QString *error);
// Deletes a folder tree without ever following a link (the tree's own
// folders only); empty when it could, else the path that stood in the way.
QString deleteTree(const QString &dir);
// Empty when deleteTree could remove the whole tree.
QString treeBlocker(const QString &dir);
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
// project folder becomes the backup folder, the previous backup goes
// (but for the author's files it held alone, which move into the new
// backup folder).
bool swapIn(const TPrjFolders &folders, QString *error);
// Removes the backup before last (folders.trash), keeping the author's
// files it alone held (see swapIn).
void dropOldBackup(const TPrjFolders &folders);
// Puts right what an interrupted backup save left (see above) and removes
// leftover temporary files from the project folder.
void recover(const QString &projectDir, const QString &name = {});
// The list of renames an ordinary save writes before its first rename, so
// that recover() completes a save cut short after that point.
QString journalOf(const TPrjFolders &folders);
// Where an ordinary save keeps the files it replaced, to write the next
// save's files into (see Platform::WriteBatch::setSpareDir).
QString sparesOf(const TPrjFolders &folders);

// Earlier versions built a compiled help file's pages in the project's
// folder (N_chm, with an images folder): a backup carried it into the
// backup folder, whose deletion refuses subfolders, and every later backup
// failed. Such a folder (a real folder holding our project.hhp) is removed
// from the project and backup folders of project `name`.
void removeChmStaging(const TPrjFolders &folders, const QString &name);

// The lock a window takes on the project it opens, in the project's state
// folder: a second window on the same project is told who holds it. The
// lock of a process that has ended (a crash, a kill) is taken over.
struct TLockHolder {
    qint64 pid = 0;
    QString host, user;
};
enum class TLockResult { Taken, HeldElsewhere, Unavailable };
TLockResult lockProject(const TPrjFolders &folders, TLockHolder *holder);
// Releases the lock this process holds, if any.
void unlockProject();
// True while this process holds a project lock.
bool holdsProjectLock();
// True when this process holds the lock of that very project.
bool holdsLockOf(const TPrjFolders &f);
// True when a live process other than this one holds the project's lock.
bool lockedByAnother(const TPrjFolders &folders);

// For tests: take the two-rename path as on file systems that cannot
// exchange two names.
void setExchangeForTest(bool useExchange);

} // namespace FileOps
