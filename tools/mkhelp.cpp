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

#include "sequencer/Headless.h"

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

    // Settings and program folder inside the work folder.
    THeadless headless(work.path(), true, work.path() + QStringLiteral("/kivhelp"));
    TConfBlock *conf = headless.conf;
    conf->PIni->BMP.set(work.path() + QStringLiteral("/BMP/"));
    conf->PIni->CREATE_CNT = false;
    conf->PIni->BACKUP_PERIOD = 0;
    conf->WinFntList->append(QStringLiteral("Arial"));
    const TDisplayContext &display = headless.display;
    TCREditServer &pool = headless.pool;

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
