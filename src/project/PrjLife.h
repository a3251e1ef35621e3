#pragma once
// A project's life on disk: create, open, save (with a backup every few
// saves), convert to the help compiler's sources, close, delete.
//   DIRPATH/N/        the project: N.PRJ, topic files, N.CFG, N.FNT, N.CDE,
//                     N.HPJ, N.CNT, T<n>.rtf, N.HLP
//   DIRPATH/N.COM/    the published help file
//   DIRPATH/N.OLD/    the project as it was at the last backup
#include "config/Globale.h"
#include "errors/ErrorContext.h"
#include "project/TopicStore.h"

namespace KIVHelpTools {

TErrorContext &FCreatePrj(const QString &name, TConfBlock *conf, const TDisplayContext &display);
TErrorContext &FLoadPrj(const QString &projectFile, const TDisplayContext &display, TConfBlock *conf,
                        TCConfFile *prjConf);
TErrorContext &FSavePrj(const QString &projectFile, TConfBlock *conf, const TDisplayContext &display);
// Saves the open project, whole, as the project `name` in the new folder
// `folder` (which must not exist): its first page takes the new name, and
// the project open from then on is the new one. The project it was made
// from is left as it is on disk. On failure nothing of the new project
// stays and the open project is the old one again.
TErrorContext &FSaveAsPrj(const QString &folder, const QString &name, TConfBlock *conf, const TDisplayContext &display);
TErrorContext &FUpdatePrj(bool addTitle, bool sameTitleFont, TConfBlock *conf, const TDisplayContext &display);
TErrorContext &FClosePrj(TConfBlock *conf, const TDisplayContext &display);
TErrorContext &FDelPrjDir(const QString &dir);
// A project opened while another window holds it is read-only: it is
// neither saved nor built nor deleted from this window.
bool FPrjReadOnly();
void PSetPrjReadOnly(bool readOnly);
QString FReadOnlyText();
// The saves made since the project's last backup, in this session or
// earlier ones (0 when nothing says).
quint16 FSavesSinceBackup(const QString &projectDir, const QString &name);
// True when the file lies in a backup directory ("....OLD").
bool FIsBackupPath(const QString &filePath);
// True when `dir` is a project's own directory (named after the project, or
// its backup), that deleting or moving it away harms nothing else: never the
// root, the home folder or the program directory.
bool FIsOwnProjectDir(const QString &dir, const QString &projectName, const TIniRec *ini);

} // namespace KIVHelpTools
