#include "helpgen/BuildCommand.h"
#include "helpgen/Import.h"

#include "helpgen/Sources.h"
#include "compiler/HelpCompiler.h"
#include "config/Globale.h"
#include "fileops/DosCmd.h"
#include "fileops/PrjFolder.h"
#include "formats/ProjectFiles.h"
#include "helpgen/Compile.h"
#include "helpgen/HelpSources.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "formats/KivHelpTools.h"
#include "formats/CompanionFiles.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include <functional>

namespace Build {

namespace {

void say(const QString &line) { std::fprintf(stderr, "%s\n", qPrintable(line)); }

// Runs `work` with no window and nobody to answer: every box is printed,
// every question answered "no". The program's settings are read, never
// written.
int headless(const std::function<int(TConfBlock *)> &work)
{
    Platform::ScriptedPrompts prompts;
    Platform::setPrompts(&prompts);
    Globale::FInit(false, false, 1);
    KIVHelpTools::FInit(false, false, 1);
    U_DosCmd::FInit(false, false, 1);
    TConfBlock *conf = Globale::PConf;
    Globale::VGGIniProg->FReadConfFile(QString(), 0);
    conf->PIni->SHOW_ERRORS = false;
    const int code = work(conf);
    for (const QString &text : prompts.texts())
        say(text);
    Platform::setPrompts(nullptr);
    return code;
}

} // namespace

int FRunBuild(const QString &projectFile, const QString &format, const QString &paper)
{
    const QStringList formats = format.split(u',');
    for (const QString &f : formats)
        if (f != QLatin1String("hlp") && f != QLatin1String("html") && f != QLatin1String("chm") && f != QLatin1String("pdf")) {
            say(QStringLiteral("kivhelp --build : format inconnu (hlp, html, chm ou pdf) : ") + f);
            return 2;
        }
    if (!paper.isEmpty() && paper != QLatin1String("a4") && paper != QLatin1String("letter")) {
        say(QStringLiteral("kivhelp --build : papier inconnu (a4 ou letter) : ") + paper);
        return 2;
    }
    const QString given = QFileInfo(projectFile).absoluteFilePath();
    if (!QFileInfo(given).isFile()) {
        say(QStringLiteral("kivhelp --build : projet introuvable : ") + projectFile);
        return 2;
    }
    return headless([&](TConfBlock *conf) { return FBuildProject(projectFile, format, conf, paper); });
}

int FRunImport(const QString &file, const QString &name)
{
    if (!QFileInfo(file).isFile()) {
        say(QStringLiteral("kivhelp --import : fichier introuvable : ") + file);
        return 2;
    }
    return headless([&](TConfBlock *conf) {
        const TImportResult r = FImportHelp(QFileInfo(file).absoluteFilePath(), name, conf->PIni->DIRPATH.get(), conf->PIni->BMP.get());
        for (const QString &line : r.report)
            say(line);
        if (!r.projectFile.isEmpty())
            say(QStringLiteral("Projet : ") + r.projectFile);
        return r.code;
    });
}

int FBuildProject(const QString &projectFile, const QString &format, TConfBlock *conf, const QString &paper)
{
    using namespace KIVHelpTools;
    const QString given = QFileInfo(projectFile).absoluteFilePath();
    int code = 1;
    // A save that a crash cut short is completed first: the build reads the
    // project as its last save left it. Nothing of the author's is written.
    FileOps::recover(QFileInfo(given).absolutePath());
    const QString dir = FileOps::canonicalDir(QFileInfo(given).absolutePath());
    TCProject project;
    ProjectFiles::TReadFailure unread;
    const QString file = dir + u'/' + QFileInfo(given).fileName();
    if (!ProjectFiles::FReadTopics(file, project, &unread)
        || !ProjectFiles::FReadCommands(FPrjCompanion(file, QStringLiteral(".CDE")), &project.commands)) {
        say(unread.shown);
        say(QStringLiteral("Le projet ne peut pas être ouvert : ") + (unread.msg.isEmpty() ? given : unread.msg));
        code = 2;
        return code;
    }
    FLoadPrjConf(FPrjCompanion(file, QStringLiteral(".CFG")), 0, Globale::VGGIniPrj);
    FLoadPrjFonts(FPrjCompanion(file, QStringLiteral(".FNT")), 0, Globale::VGGIniPrjFonts);
    TPrjRec *prj = conf->PPrj;
    if (!paper.isEmpty())
        prj->Paper.set(paper); // --paper: this build only, the settings unchanged
    const QString name = project.FTopicAt(1)->name;
    prj->PrjDir.set(dir);
    prj->PrjComDir.set(dir + QStringLiteral(".COM"));
    prj->PrjName.set(name);
    prj->PrjFile.set(Platform::resolveCase(dir + u'/' + name + QStringLiteral(".PRJ")));
    prj->PrjState = PrjOpened;
    if (!QFileInfo(prj->PrjComDir.get()).isDir() && !QDir().mkdir(prj->PrjComDir.get())) {
        say(QString::fromUtf8("La création du répertoire a échoué : ") + prj->PrjComDir.get());
        return code;
    }
    const Build::TSourcesResult made = Build::FWriteSources(project, conf, prj->PrjFile.get(), prj->AddTitle, prj->SameTitleFont);
    if (!made.ok) {
        if (!made.badTopic.isEmpty())
            say(FMacroCorruptedText(made.badTopic, made.badLine));
        say(QStringLiteral("Les sources de l'aide ne peuvent pas être écrites. ") + made.error);
        return code;
    }
    prj->PrjState = PrjConverted;
    // The sources are read once, whatever the number of outputs; each
    // message is printed once.
    QStringList formats = format.split(u',', Qt::SkipEmptyParts);
    formats.removeDuplicates();
    QStringList printed;
    const auto print = [&printed](const QStringList &messages) {
        for (const QString &m : messages)
            if (!printed.contains(m)) {
                printed << m;
                std::printf("%s\n", qPrintable(m));
            }
    };
    Hlp::THelpRead help;
    bool allDone = true;
    const QList<Hlp::TContentsLine> contents = FContentsOf(project);
    if (formats.removeAll(QStringLiteral("hlp")) > 0) {
        QStringList messages;
        PCompileStep(conf, {}, &messages, &help, &contents);
        print(messages);
        if (prj->PrjState == PrjCompiled) {
            std::printf("%s\n", qPrintable(QStringLiteral("Fichier d'aide publié : ") + prj->PrjComDir.get() + u'/'
                                           + name + QStringLiteral(".HLP")));
            // The outputs the project's settings ask for came with it.
            for (const QString &output : prj->Outputs.get().toLower().split(u',', Qt::SkipEmptyParts))
                formats.removeAll(output.trimmed());
        } else {
            allDone = false;
        }
    }
    if (!formats.isEmpty() && help.hpjPath.isEmpty())
        help = FReadHelpSources(prj);
    for (const QString &output : std::as_const(formats)) {
        // The web outputs, made by the compiler's own writers from the
        // help sources just written.
        QString published;
        const Hlp::TCompileResult r = FBuildWebOutput(prj, output, &published, &help, &contents);
        print(r.messages);
        if (r.ok)
            std::printf("%s\n", qPrintable(QStringLiteral("Aide publiée : ") + published));
        allDone = allDone && r.ok;
    }
    if (allDone)
        code = 0;
    return code;
}

} // namespace Build
