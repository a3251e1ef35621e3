#pragma once
// What changed in a folder since a reader last settled: names written,
// created, removed, renamed or changed in their attributes, by this program
// or another. The kernel queues them as they happen and asking only reads
// that queue, so that a save looks at the few files that changed instead of
// every file of a project.
#include <QSet>
#include <QString>

namespace Platform {

class FolderChanges {
public:
    FolderChanges() = default;
    ~FolderChanges();
    FolderChanges(const FolderChanges &) = delete;
    FolderChanges &operator=(const FolderChanges &) = delete;

    // The names of `dir` changed since the last settle() (or since the
    // watch began), added to `names`. False when that cannot be said: the
    // first call for a folder, a folder replaced or moved since, changes
    // lost by the kernel, no watch possible. Then every file must be looked
    // at, and the answer stays false until settle().
    bool changes(const QString &dir, QSet<QString> *names);
    // What was reported has been dealt with (the files looked at are as the
    // caller recorded them): the next call reports what changes from now.
    void settle();

private:
    bool start(const QString &dir);
    void stop();
    bool drain(); // false when changes were lost

    int m_fd = -1;
    QString m_dir;
    quint64 m_dev = 0, m_ino = 0;
    QSet<QString> m_names;
    bool m_known = false;
};

} // namespace Platform
