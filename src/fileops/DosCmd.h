#pragma once
// File operations, running an external program while the window stays
// alive, and waiting for a file to appear.
#include "errors/ErrorContext.h"

#include <QStringList>

namespace U_DosCmd {

enum TDosOp { OpChDir = 0, OpMkDir = 1, OpRmDir = 2, OpDelFile = 3, OpFileExists = 4 };

// Result of FRunCmd when the maximum wait ran out (the process still runs).
constexpr int WaitTimeout = 258;

TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);

// Runs one operation on `path`; on failure shows `failText` (when not empty)
// in an error box and returns false. Unknown operations return false.
bool FDosCmd(const QString &path, const QString &failText, int op);
bool FChDir(const QString &path, const QString &failText);
bool FMkDir(const QString &path, const QString &failText);
bool FDelFile(const QString &path, const QString &failText);
bool FFileExist(const QString &path, const QString &failText);

// Names (no directory) of every entry matching the mask, directories
// included, in file-system order. Wildcards match without regard to case.
QStringList FFileList(const QString &mask);
// Size of the first entry matching the name, -1 when none does.
qint64 FFileSize(const QString &fileName);
TErrorContext &FMoveFile(const QString &source, const QString &destination);
// The Windows directory's stand-in; empty when none or 255 characters or more.
QString FGetWinDir();

// True when `path` is a folder; else the failure text, when given, shows in
// an error box. The current folder is never changed: paths are passed.
bool FCheckDir(const QString &path, const QString &failText);

// Starts the program and polls it every `pollMs` until it ends (0) or
// `maxWaitMs` passed (WaitTimeout, the process is left running); a start
// failure returns the error code (2 not found, 5 not executable).
// `exitCode`, when given, receives the program's exit code once it ended
// (-1 when it crashed); `workDir` is its working folder (else the current).
int FRunCmd(const QString &program, const QStringList &args, int showMode, int pollMs,
            int maxWaitMs, int *exitCode = nullptr, const QString &workDir = {});
// The same with a whole command line, split like a Windows command line
// (double quotes group words with blanks).
int FRunCmd(const QString &commandLine, int showMode, int pollMs, int maxWaitMs);
// Waits until the file exists and, one poll later or after, is not empty.
bool FWaitFile(const QString &fileName, int pollMs, int timeoutMs);

} // namespace U_DosCmd
