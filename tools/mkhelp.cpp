// Builds the program's own help file (KIVHelp.hlp) from the sample project
// at build time, by the build routine of the program and of kivhelp --build:
// the project's files read, the help sources made, compiled in the process
// and published.
//
//   kivhelp_mkhelp SAMPLE_DIR OUTPUT.hlp
//
// SAMPLE_DIR holds Kivhelp/ (the project) and BMP/; nothing in it is
// written: the work happens in a temporary folder.
#include "config/Globale.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"

#include "helpgen/BuildCommand.h"
#include "sequencer/Headless.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
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
    if (!work.isValid() || !Platform::copyTree(QFileInfo(args[1]).absoluteFilePath(), work.path()))
        return fail(QStringLiteral("cannot copy the sample project from ") + args[1]);

    // Settings and program folder inside the work folder.
    THeadless headless(work.path(), true, work.path() + QStringLiteral("/kivhelp"));
    TConfBlock *conf = headless.conf;
    conf->PIni->BMP.set(work.path() + QStringLiteral("/BMP/"));
    conf->PIni->CREATE_CNT = false;
    conf->PIni->BACKUP_PERIOD = 0;
    conf->WinFntList->append(QStringLiteral("Arial"));
    // The program's own compiler, in this process, as the program builds
    // any project.
    conf->PIni->COMPILER.set(QStringLiteral("kivhc"));

    const QString project = work.path() + QStringLiteral("/Kivhelp/Kivhelp.PRJ");
    if (Build::FBuildProject(project, QStringLiteral("hlp"), conf) != 0)
        return fail(QStringLiteral("the sample project does not build: ") + headless.prompts.texts().join(u'\n'));
    QString error;
    if (!Platform::copyFileAtomic(work.path() + QStringLiteral("/Kivhelp.COM/Kivhelp.HLP"), args[2], &error))
        return fail(QStringLiteral("cannot write ") + args[2] + QStringLiteral(": ") + error);
    return 0;
}
