#pragma once
// The help compiler: a help project (.HPJ) and its topic files in, a .HLP
// file out, with numbered messages in the classic manner.
#include "compiler/document/HelpDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Hlp {

struct TCompileResult {
    bool ok = false;
    QByteArray hlp;
    QStringList messages; // "HC3025: Warning: ..." / "HC1002: Error: ..."
    int errors = 0;
    int warnings = 0;
    int topics = 0;
    int jumps = 0;
    int keywords = 0;
    QString errorLog; // the ERRORLOG option, relative to the .HPJ's folder
    QString helpFile; // the HLP option (letter case kept), relative to the .HPJ's folder
    QByteArray contextMap; // with TCompileOptions::mapOut: the contexts and numbers (see Hlp::contextMap)
};

enum class TOutput { Hlp, Html, Chm, Pdf };

struct TCompileOptions {
    TOutput output = TOutput::Hlp;
    QString outputDir; // Html, Chm: the folder the pages go to (Chm: a temporary one when empty)
    QString chmFile;   // Chm: the compiled file
    QString pdfFile;   // Pdf: the manual
    QString paper;     // Pdf: "a4" or "letter"; empty for the system's paper
    // A topic or baggage file that cannot be read is a warning, not an
    // error: the help file is made without it.
    bool missingFilesAreWarnings = false;
    // A macro the viewers would refuse is a warning and kept as written (an
    // import, which shows it to the author as a command line).
    bool badMacrosAreWarnings = false;
    // A project from elsewhere: files outside the project's folder (ROOT=,
    // [FILES], [BITMAPS], [BAGGAGE], #include, HLP=, ERRORLOG=) are refused,
    // not only named in a warning.
    bool safe = false;
    // BUILD= is not applied: every topic is kept (a project imported whole).
    bool everyTopic = false;
    // Folders whose files are taken without a word (the authoring
    // program's own bitmap folder).
    QStringList trusted;
    // Html, Chm: the contents, when the caller has them (an author's
    // outline); else those of the project's contents file (CNT=), else the
    // titled topics in order.
    QList<TContentsLine> contents;
    // Context help for programs: `mapOut` receives the context names and
    // [MAP] numbers with their pages (JSON); each number or name of
    // `mapCheck` (such a file from an earlier build) that disappeared or
    // leads to another page is a warning, an error when `mapStrict`.
    QString mapOut, mapCheck;
    bool mapStrict = false;
};

// A project read and checked once, with what the reading said: each output
// is then written from it, without reading the sources again.
struct THelpRead {
    THelpDocument document;
    TCompileResult said; // the reading's messages and counts; ok when outputs can be written
    QString hpjPath;
};
THelpRead readHelpProject(const QString &hpjPath, const TCompileOptions &options = {});
// One output of a project read (`options.output`, with its files): the
// reading's messages and counts followed by the writer's.
TCompileResult writeHelpOutput(const THelpRead &read, const TCompileOptions &options);

// readHelpProject, then writeHelpOutput.
// Compiles the project whose .HPJ is at `hpjPath`. Files named in it are
// looked up relative to ROOT (else the .HPJ's folder) without regard to
// letter case.
TCompileResult compileProject(const QString &hpjPath, const TCompileOptions &options = {});

// After compileProject, as the compiler program ends: the .HLP written
// (HLP= or PROJECT.HLP beside the project; a failed write turns the result
// into a failure), then the messages with the counts into the error log
// (ERRORLOG= or PROJECT.ERR), where an authoring program finds them.
// Returns the log's lines; `written`, when given, receives what a reader
// opens (the .HLP, the .CHM or the web pages' index).
QStringList writeCompiled(const QString &hpjPath, const TCompileOptions &options, TCompileResult &r,
                          QString *written = nullptr);
// The same for several outputs written from one reading (`results[i]` from
// `outputs[i]`): one log, with the reading's messages once and each
// output's own after them; `written` receives what a reader opens, output
// by output.
QStringList writeCompiled(const QString &hpjPath, const THelpRead &read, const QList<TCompileOptions> &outputs,
                          QList<TCompileResult> &results, QStringList *written = nullptr);

// A compiled help file (.HLP) published as `format`: "html" (a folder,
// HELP_html/ beside it by default), "chm", "pdf" (HELP.chm, HELP.pdf) or
// "decompile" (a project again, in HELP_src/); `out` overrides the place.
// `report`: the context names found beside it, notes and losses, then
// what was written; `code` 0 written, 1 not written, 2 unreadable.
struct THelpFilePublished {
    int code = 2;
    QStringList report;
    QStringList errors;
};
THelpFilePublished publishHelpFile(const QString &helpFile, const QString &format, const QString &out, const QString &paper = {});

} // namespace Hlp
