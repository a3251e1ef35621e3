// Builds the program's own help file (KIVHelp.hlp) from the sample project
// at build time, by the build routine of the program and of kivhelp --build:
// the project's files read, the help sources made, compiled in the process
// and published.
//
//   kivhelp_mkhelp SAMPLE_DIR OUTPUT.hlp
//
// SAMPLE_DIR holds Kivhelp/ (the project) and BMP/; nothing in it is
// written: the work happens in a temporary folder. The user's manual is
// built the same way, into every form its settings ask for besides the
// .HLP (web pages, .CHM, PDF), all copied into OUTPUT_DIR:
//
//   kivhelp_mkhelp --manual SOURCE_DIR NAME OUTPUT_DIR
#include "config/Globale.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"

#include "helpgen/BuildCommand.h"
#include "sequencer/Headless.h"

#include <QApplication>
#include <QDir>
#include <QFile>
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
    QStringList args = app.arguments();
    const bool manual = args.size() == 5 && args[1] == QLatin1String("--manual");
    if (manual)
        args.removeAt(1);
    if (args.size() != (manual ? 4 : 3))
        return fail(QStringLiteral("usage: kivhelp_mkhelp SAMPLE_DIR OUTPUT.hlp | --manual SOURCE_DIR NAME OUTPUT_DIR"));
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

    const QString name = manual ? args[2] : QStringLiteral("Kivhelp");
    const QString project = work.path() + u'/' + name + u'/' + name + QStringLiteral(".PRJ");
    if (Build::FBuildProject(project, QStringLiteral("hlp"), conf) != 0)
        return fail(QStringLiteral("the project does not build: ") + headless.prompts.texts().join(u'\n'));
    if (manual) {
        // The outputs as published beside the project: N.HLP, N_html/, N.chm, N.pdf.
        const QString published = work.path() + u'/' + name + QStringLiteral(".COM");
        // Only the outputs of an earlier run are replaced: nothing else of
        // the folder given is touched.
        const QString target = QFileInfo(args[3]).absoluteFilePath();
        QDir(target + u'/' + name + QStringLiteral("_html")).removeRecursively();
        for (const QString &file : {name + QStringLiteral(".HLP"), name + QStringLiteral(".chm"), name + QStringLiteral(".pdf")})
            QFile::remove(target + u'/' + file);
        if (!QDir().mkpath(target) || !Platform::copyTree(published, target))
            return fail(QStringLiteral("cannot write ") + target);
        return 0;
    }
    QString error;
    if (!Platform::copyFileAtomic(work.path() + QStringLiteral("/Kivhelp.COM/Kivhelp.HLP"), args[2], &error))
        return fail(QStringLiteral("cannot write ") + args[2] + QStringLiteral(": ") + error);
    return 0;
}
