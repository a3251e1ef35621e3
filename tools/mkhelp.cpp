// Builds the program's own help file (KIVHelp.hlp) from the sample project
// at build time, the way the program builds any project: the project is
// opened and saved, its topics converted into the help sources, and these
// compiled by the help compiler.
//
//   kivhelp_mkhelp SAMPLE_DIR OUTPUT.hlp
//
// SAMPLE_DIR holds Kivhelp/ (the project) and BMP/; nothing in it is
// written: the work happens in a temporary folder.
#include "compiler/HelpCompiler.h"
#include "config/Globale.h"
#include "editing/REditServ.h"
#include "fileops/DosCmd.h"
#include "helpgen/WaitFor.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "project/KivHelpTools.h"
#include "project/PrjLife.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <cstdio>

using namespace KIVHelpTools;

namespace {

int fail(const QString &why)
{
    std::fprintf(stderr, "kivhelp_mkhelp: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return fail(QStringLiteral("usage: kivhelp_mkhelp SAMPLE_DIR OUTPUT.hlp"));
    QTemporaryDir work;
    if (!work.isValid() || !Platform::copyTree(args[1], work.path()))
        return fail(QStringLiteral("cannot copy the sample project from ") + args[1]);

    // Settings and program folder inside the work folder; no box is ever
    // shown (a question would be answered "no").
    Platform::ScriptedPrompts prompts;
    Platform::setPrompts(&prompts);
    Platform::setProgramFilePathForTest(work.path() + QStringLiteral("/kivhelp"));
    Platform::setWindowsDirForTest(work.path() + QStringLiteral("/config"));
    Globale::FInit(false, false, 1);
    KIVHelpTools::FInit(false, false, 1);
    U_DosCmd::FInit(false, false, 1);
    TConfBlock *conf = Globale::PConf;
    conf->PIni->DIRPATH.set(work.path() + u'/');
    conf->PIni->BMP.set(work.path() + QStringLiteral("/BMP/"));
    conf->PIni->CREATE_CNT = false;
    conf->PIni->BACKUP_PERIOD = 0;

    QWidget panel;
    QTreeWidget tree;
    QPlainTextEdit cdes, compile;
    TCWaitFor wait;
    TDisplayContext display{&panel, &panel, &tree, &cdes, &compile, &wait, {}, {}, {}, {}};
    TCREditServer pool;
    conf->WinFntList->append(QStringLiteral("Arial"));
    pool.FInit(false, false, 1, &panel, &panel, conf->WinFntList, 1000, 2000, 45000, 4);

    const QString project = work.path() + QStringLiteral("/Kivhelp/Kivhelp.PRJ");
    if (FLoadPrj(project, &pool, display, conf, Globale::VGGIniPrj).Category != 0)
        return fail(QStringLiteral("cannot open ") + project);
    if (FSavePrj(project, conf, display).Category != 0 || FUpdatePrj(false, true, conf, display).Category != 0)
        return fail(QStringLiteral("cannot write the help sources of ") + project);

    const Hlp::TCompileResult result = Hlp::compileProject(work.path() + QStringLiteral("/Kivhelp/Kivhelp.HPJ"));
    for (const QString &m : result.messages)
        std::fprintf(stderr, "%s\n", qPrintable(m));
    if (!result.ok)
        return fail(QStringLiteral("the sample project does not compile"));
    if (!Platform::writeFileAtomic(args[2], result.hlp))
        return fail(QStringLiteral("cannot write ") + args[2]);
    FClosePrj(conf, display);
    return 0;
}
