#include "sequencer/BuildCommand.h"

#include "compiler/HelpCompiler.h"
#include "helpgen/Compile.h"
#include "platform/Paths.h"
#include "project/PrjLife.h"
#include "sequencer/Headless.h"

#include <QFileInfo>
#include <cstdio>

namespace Startup {

namespace {

void say(const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); }

} // namespace

int FRunBuild(const QString &projectFile, const QString &format)
{
    if (format != QLatin1String("hlp") && format != QLatin1String("html") && format != QLatin1String("chm")) {
        say(QStringLiteral("kivhelp --build : format inconnu (hlp, html ou chm) : ") + format);
        return 2;
    }
    const QString project = QFileInfo(projectFile).absoluteFilePath();
    if (!QFileInfo(project).isFile()) {
        say(QStringLiteral("kivhelp --build : projet introuvable : ") + projectFile);
        return 2;
    }
    THeadless headless(QString(), true);
    TConfBlock *conf = headless.conf;
    const TDisplayContext &display = headless.display;
    using namespace KIVHelpTools;
    int code = 1;
    if (FLoadPrj(project, &headless.pool, display, conf, Globale::VGGIniPrj).Category != 0) {
        say(QStringLiteral("Le projet ne peut pas être ouvert : ") + project);
        code = 2;
    } else if (FSavePrj(project, conf, display).Category != 0
               || FUpdatePrj(conf->PPrj->AddTitle, conf->PPrj->SameTitleFont, conf, display).Category != 0) {
        // As the build command does: the project file set (help project
        // included) is saved, then the topics converted.
        say(QStringLiteral("Les sources de l'aide ne peuvent pas être écrites."));
    } else if (format != QLatin1String("hlp")) {
        // The web outputs, made by the compiler's own writers from the
        // help sources just written.
        QString published;
        const Hlp::TCompileResult r = FBuildWebOutput(conf->PPrj, format, &published);
        for (const QString &m : r.messages)
            std::printf("%s\n", qPrintable(m));
        if (r.ok) {
            std::printf("%s\n", qPrintable(QStringLiteral("Aide publiée : ") + published));
            code = 0;
        }
    } else {
        QStringList messages;
        PCompileStep(conf, &headless.wait, &messages);
        for (const QString &m : std::as_const(messages))
            std::printf("%s\n", qPrintable(m));
        if (conf->PPrj->PrjState == PrjCompiled) {
            std::printf("%s\n", qPrintable(QStringLiteral("Fichier d'aide publié : ") + conf->PPrj->PrjComDir.get() + u'/'
                                           + conf->PPrj->PrjName.get() + QStringLiteral(".HLP")));
            code = 0;
        }
    }
    // What the routines would have asked or shown in a box.
    for (const QString &text : headless.prompts.texts())
        say(text);
    FClosePrj(conf, display);
    return code;
}

} // namespace Startup
