#pragma once
// Builds a project's help file without a window (kivhelp --build PROJ.PRJ):
// the project is opened with the program's own routines, its help sources
// written, compiled and published as the build command does; the compiler's
// messages and any box the routines raised are printed. The program's
// settings are read, never written.
#include <QString>

struct TConfBlock;

namespace Build {

// `format`: "hlp" (the program's compiler, as the build command runs it),
// "html" (pages in N.COM/N_html) or "chm" (N.COM/N.chm).
// The exit code: 0 when the help file was built and published, 1 when the
// build failed, 2 when the project cannot be read or the format is unknown.
int FRunBuild(const QString &projectFile, const QString &format = QStringLiteral("hlp"), const QString &paper = {});

// The build itself, on settings already read (the program's own help is
// built by it too): the project's files read into the model, the help
// sources made, compiled and published; the author's files are only read.
// The same exit codes; the compiler's messages are printed.
// kivhelp --import FILE.HLP|FILE.HPJ NAME: a new project NAME of the
// projects folder from existing help, without a window; exit code 0
// imported whole, 1 imported with losses (printed), 2 nothing imported.
int FRunImport(const QString &file, const QString &name);

int FBuildProject(const QString &projectFile, const QString &format, TConfBlock *conf, const QString &paper = {});

} // namespace Build
