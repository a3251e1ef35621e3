#pragma once
// Files written whole: a temporary file beside the target, then a rename, so
// that a crash or a full disk never leaves a half-written file where a good
// one was.
#include <QByteArray>
#include <QString>

namespace Platform {

// True when the file now holds `bytes`; else `error` says why and the old
// file is untouched.
bool writeFileAtomic(const QString &path, const QByteArray &bytes, QString *error = nullptr);
// The whole file, or false when it cannot be read.
bool readWholeFile(const QString &path, QByteArray *bytes, QString *error = nullptr);

// Copies every file below `from` (a folder or a resource folder) into `to`,
// keeping their relative paths; files already in `to` are kept. The copies
// are writable by their owner. False when nothing was there to copy or a
// copy failed.
bool copyTree(const QString &from, const QString &to);

} // namespace Platform
