#pragma once
// Running the help compiler on the project's .HPJ, publishing the compiled
// help file into the distribution directory, and showing it in a viewer.
#include "config/Globale.h"
#include "compiler/HelpCompiler.h"
#include "errors/ErrorContext.h"
#include "model/Project.h"

#include <QDateTime>
#include <QStringList>
#include <functional>

namespace KIVHelpTools {

// True when the setting names our own compiler (kivhc), which the program
// runs in its own process.
bool FIsOwnCompiler(const QString &compilerPath);
// Our compiler (run in this process) also gives the sources it read
// (`read`, from which other outputs are written) and its messages.
TErrorContext &FCompileHpjFile(const QString &projectFile, const QString &compilerPath, int pollMs, int timeoutMs,
                               Hlp::THelpRead *read = nullptr, QStringList *messages = nullptr);
// `context`, when given, is the page the viewer opens (else the first).
TErrorContext &FViewHlpFile(const QString &helpFile, const QString &viewer, const QString &context = {});

// The build command's compile step: compile, then publish the .HLP (and the
// .CNT as the settings say) into the distribution directory. Leaves PrjState
// at 6 on success, 5 on failure; false when the project directory is missing.
// One web output ("HTML" or "CHM") of a project, made from its help
// sources into its distribution folder (N_html/, N.chm); `published`
// receives what a reader opens. The compiler's result.
// `read`: the help sources as this build already read them (not read again);
// `contents`: the outline as the project in memory has it (else N.PRJ is
// read).
Hlp::TCompileResult FBuildWebOutput(const TPrjRec *prj, const QString &output, QString *published = nullptr,
                                    const Hlp::THelpRead *read = nullptr, const QList<Hlp::TContentsLine> *contents = nullptr);
// The web outputs' contents from the project in memory: each topic at its
// level, under its name, leading to its page.
QList<Hlp::TContentsLine> FContentsOf(const TCProject &project);

// `progress`, when given, is told each step; `messages`, when given,
// receives the compiler's messages of this build.
// `read`, when given, receives the help sources as our compiler read them;
// `contents`: the web outputs' contents from the project in memory (else
// N.PRJ is read).
bool PCompileStep(TConfBlock *conf, const std::function<void(const QString &)> &progress = {},
                  QStringList *messages = nullptr, Hlp::THelpRead *read = nullptr,
                  const QList<Hlp::TContentsLine> *contents = nullptr);
// The project's help sources (N.HPJ and its files) read and checked, as
// our compiler reads them; each output is then written from them.
Hlp::THelpRead FReadHelpSources(const TPrjRec *prj);
// The view command: asks when the help file is not the last build's, then
// starts the viewer on the published help file.
// The compiler's messages ("HC3025: Warning: T2.rtf, page 1 : ...") from
// its log, if the log was written since `started`; a line that goes on a
// message (a list under it) is joined to it.
QStringList FCompilerMessages(const QString &logPath, const QDateTime &started);

// Shows the published .HLP in the help viewer, or (`web`) the published web
// pages in the desktop's browser. True when the help viewer was started
// (it shows nothing for a while, the first time under Wine much longer).
// `context`: the page to open (the one being edited), else the first.
// A browser that cannot start is said (asynchronously: the opener reports
// it when it ends).
bool PViewStep(TConfBlock *conf, bool web = false, const QString &context = {});

// The viewer command for a help file: the program if found on the path,
// else Wine's help viewer; empty when neither is installed.
QStringList FViewerCommand(const QString &viewer, const QString &helpFile, const QString &context = {});

} // namespace KIVHelpTools
