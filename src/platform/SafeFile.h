#pragma once
// Files written whole: a temporary file beside the target, checked complete
// (every write, the size), made durable, then renamed over the target, so
// that a crash, a kill or a full disk never leaves a half-written file where
// a good one was, and a failure is never taken for success.
//
// A save of many files opens a WriteBatch: while it is open, every whole-file
// write of this thread is staged into it (the temporary file is written, the
// rename waits). Its commit makes every staged file durable at once (one
// file-system sync instead of one per file), then renames them into place,
// the file marked last at the end. A batch that is not committed leaves every
// target as it was. Given a journal, a commit is all-or-nothing across its
// files: a kill between two renames is completed by replayJournal.
#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace Platform {

// True when the file now holds `bytes`; else `error` says why and the old
// file is untouched. Inside a batch: true when the write is staged.
bool writeFileAtomic(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// The whole file, or false when it cannot be read or is not a regular file
// (a FIFO or a device would block or never end). Inside a batch, a file the
// batch has staged reads as staged.
bool readWholeFile(const QString &path, QByteArray *bytes, QString *error = nullptr);
// True when the file is a regular file on disk or one the current batch has
// staged (written by this save, not yet renamed into place).
bool isFileOrStaged(const QString &path);
// Copies a file through a temporary file in the target's folder, so that a
// failed copy leaves the previous target whole.
bool copyFileAtomic(const QString &from, const QString &to, QString *error = nullptr);

// Copies every file below `from` (a folder or a resource folder) into `to`,
// keeping their relative paths; files already in `to` are kept. The copies
// are writable by their owner. False when nothing was there to copy or a
// copy failed.
bool copyTree(const QString &from, const QString &to);

// Makes a folder's entries (new names, renames) durable.
bool syncDir(const QString &dir);

// Moves the regular files directly inside `dir` into `spareDir` (see
// WriteBatch::setSpareDir), as long as it holds fewer than `keep` files,
// instead of their being freed; what is not moved stays in `dir`.
void recycleFiles(const QString &dir, const QString &spareDir, int keep);

// Leftover temporary files of writes that a crash or a kill interrupted,
// removed from one folder (only ours, and only those of no running process).
void removeStaleTemps(const QString &dir);
// True when `name` is one of our temporary file names.
bool isTempName(const QString &name);

class WriteBatch {
public:
    WriteBatch();
    ~WriteBatch(); // removes the staged files when the batch was not committed
    WriteBatch(const WriteBatch &) = delete;
    WriteBatch &operator=(const WriteBatch &) = delete;

    // Writes aimed below `fromDir` land below `toDir` instead (a staging
    // folder); files whose bytes are unchanged are then written all the same.
    void redirect(const QString &fromDir, const QString &toDir);
    // This file is renamed into place after every other one.
    void setLast(const QString &path);
    // Files whose bytes are already on disk are not rewritten (default on).
    void setSkipUnchanged(bool skip) { m_skipUnchanged = skip; }
    // Once every staged file is durable, the commit writes the list of its
    // renames and removals to this file (durably), carries them out, then
    // deletes it: the list's presence is the commit point.
    void setJournal(const QString &path) { m_journal = path; }
    // When a rename of the commit fails, the journal and the files still to
    // rename stay, for replayJournal to complete the commit (for a folder
    // whose next writer replays the journal first); else they are removed.
    void setKeepJournalOnFailure(bool keep) { m_keepJournal = keep; }
    // The files that the commit replaces are moved into `dir` (a folder of
    // the same file system) instead of being freed, and the batches after
    // take them up as their temporary files: a save that rewrites hundreds
    // of files then makes and frees no inode, which some file systems do
    // slowly. The folder holds at most as many files as one save replaces.
    void setSpareDir(const QString &dir);
    // A file of the program's own bookkeeping (a counter) that may come out
    // of a crash older than the rest: it alone never calls for the journal.
    void setLoose(const QString &path) { m_loose.insert(target(path)); }
    // The file is deleted by the commit, after the renames (a file that is
    // not there is no failure).
    void remove(const QString &path);

    bool stage(const QString &path, const QByteArray &bytes, QString *error);
    // Rewrites a file the program makes from others (a derived file) where
    // it is: no new file and no rename, so that rewriting hundreds of them
    // makes and frees no inode. The commit makes it durable with the rest.
    // A kill or a failure can leave it half-written, so a list written after
    // the commit must vouch for such files, withdrawn before the first one is
    // touched. A file that is a link, has other names or is not there yet is
    // staged as usual instead.
    bool overwrite(const QString &path, const QByteArray &bytes, QString *error);
    // The temporary file that holds a target's staged bytes (after
    // redirection), or an empty string. The batch keeps no bytes in
    // memory: a site of thousands of pages costs what one page costs.
    QString staged(const QString &path) const;
    // Size and modification time of the file staged for `path` (what the
    // target will have once renamed into place); false when none is staged.
    bool stagedStamp(const QString &path, qint64 *size, qint64 *mtimeNs) const;
    // The path a write aimed at `path` lands on.
    QString target(const QString &path) const;

    // Syncs, renames, syncs the folders. False (with `error`) when any
    // staged write or the sync failed: then no target was touched.
    bool commit(QString *error = nullptr);
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    int writtenCount() const { return int(m_pending.size()); }
    int skippedCount() const { return m_skipped; }

    static WriteBatch *current();

private:
    struct Pending {
        QString target;
        QString temp;
    };
    void rollback();

    WriteBatch *m_outer = nullptr;
    std::vector<Pending> m_pending;
    QHash<QString, size_t> m_index; // target -> position in m_pending
    bool writeJournal(QString *error);

    QString m_fromDir, m_toDir, m_last, m_error, m_journal;
    QStringList m_removals;
    QSet<QString> m_loose;
    QSet<QString> m_dirs;
    std::vector<int> m_syncFds; // one per folder, opened before the writes
    bool watchDir(const QString &dir, QString *error);
    QString takeSpare();
    QString retire(const QString &target);
    bool replace(const Pending &p, QString *error);
    bool m_journaled = false;
    bool m_keepJournal = false;
    QString m_spareDir;
    QStringList m_spares;
    bool m_sparesListed = false;
    bool m_skipUnchanged = true;
    QStringList m_overwritten; // files rewritten in place, made durable by the commit
    bool m_done = false;
    int m_skipped = 0;
};

// Completes the commit a journal describes (a kill cut it short): each
// staged file still there is renamed into place, each removal done, then the
// journal is deleted. Only files directly inside `dirs` are touched; a
// journal that is not one of ours is deleted unread. True when there was
// nothing to do or all of it was done.
bool replayJournal(const QString &journal, const QStringList &dirs);

// For tests: called before each rename of a commit (a test kills the
// process there); null switches it off.
void setRenameHookForTest(std::function<void()> hook);

// For tests: the next whole-file writes fail once `bytes` more bytes have
// been written (a full disk); a negative value switches it off.
void setWriteBudgetForTest(qint64 bytes);

} // namespace Platform
