#include "helpgen/Compile.h"

#include "compiler/HelpCompiler.h"
#include "config/Globale.h"
#include "formats/TextConv.h"

#include "fileops/DosCmd.h"
#include "helpgen/HelpSources.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "formats/OutlineFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QCoreApplication>
#include <QUrl>
#include <QStandardPaths>
#include <exception>

namespace KIVHelpTools {

namespace {

// A compiler named without a directory is looked for on the search path.
// The program's bitmap folder, which its projects share: the compiler
// takes its pictures without naming them as files from elsewhere.
QStringList trustedFolders()
{
    if (Globale::PConf && Globale::PConf->PIni && !Globale::PConf->PIni->BMP.get().isEmpty())
        return {Globale::PConf->PIni->BMP.get()};
    return {};
}

QString locateCompiler(const QString &compiler)
{
    if (compiler.isEmpty() || compiler.contains(u'/') || QFileInfo::exists(compiler))
        return compiler;
    const QString found = QStandardPaths::findExecutable(compiler);
    return found.isEmpty() ? compiler : found;
}

// After a failed build: the errors our compiler left in its log (written
// during this build), so the user knows what to mend.
void showCompilerErrors(const QStringList &messages, bool show)
{
    const QStringList errors = messages.filter(QStringLiteral(": Error:")).mid(0, 10);
    if (show && !errors.isEmpty())
        Platform::prompts().error(QString::fromUtf8("Le compilateur d'aide signale :\n") + errors.join(u'\n'));
}

// Publishes a file: copied under a temporary name beside the target and
// renamed over it, so that a failed copy leaves the published file whole.
bool publish(const QString &from, const QString &to)
{
    QString error;
    if (Platform::copyFileAtomic(from, to, &error))
        return true;
    PShowError(QString::fromUtf8("La publication du fichier a échoué : ") + to + QStringLiteral("\n") + error);
    return false;
}

// The outputs chosen besides the .HLP (web pages, compiled HTML Help, a
// printable manual),
// made from the help sources into the distribution folder; their messages
// not yet in `messages` are added to it. False when one failed.
bool buildWebOutputs(const TPrjRec *prj, QStringList *messages, const Hlp::THelpRead *read,
                     const QList<Hlp::TContentsLine> *contents)
{
    const QStringList outputs = prj->Outputs.get().toUpper().split(u',', Qt::SkipEmptyParts);
    bool ok = true;
    for (const QString &output : outputs) {
        if (output != QLatin1String("HTML") && output != QLatin1String("CHM") && output != QLatin1String("PDF"))
            continue;
        const Hlp::TCompileResult r = FBuildWebOutput(prj, output, nullptr, read, contents);
        // The checks of the project are the same for every output: each
        // message is listed once.
        if (messages)
            for (const QString &m : r.messages)
                if (!messages->contains(m))
                    messages->append(m);
        if (!r.ok) {
            ok = false;
            PShowError(QString::fromUtf8("La publication en %1 a échoué :\n").arg(output)
                       + r.messages.filter(QStringLiteral(": Error:")).mid(0, 5).join(u'\n'));
        }
    }
    return ok;
}

} // namespace

QList<Hlp::TContentsLine> FContentsOf(const TCProject &project)
{
    QList<Hlp::TContentsLine> contents;
    for (int n = 1; n <= project.FCount(); ++n) {
        const TTopic *topic = project.FTopicAt(n);
        contents.append({TCProject::FLevelOf(topic), topic->name,
                         Platform::toCp1252(TextConv::FContextName(TextConv::FCleanTopicName(topic->name)))});
    }
    return contents;
}

Hlp::TCompileResult FBuildWebOutput(const TPrjRec *prj, const QString &output, QString *published, const Hlp::THelpRead *read,
                                    const QList<Hlp::TContentsLine> *contents)
{
    const QString base = prj->PrjName.get();
    const bool html = output.compare(QLatin1String("HTML"), Qt::CaseInsensitive) == 0;
    const bool pdf = output.compare(QLatin1String("PDF"), Qt::CaseInsensitive) == 0;
    Hlp::TCompileOptions options;
    options.output = html ? Hlp::TOutput::Html : pdf ? Hlp::TOutput::Pdf : Hlp::TOutput::Chm;
    // The compiled help file's pages are made in a temporary folder (none
    // given): in the project's folder, a backup would carry them along.
    if (html)
        options.outputDir = prj->PrjComDir.get() + u'/' + base + QStringLiteral("_html");
    options.chmFile = prj->PrjComDir.get() + u'/' + base + QStringLiteral(".chm");
    options.pdfFile = prj->PrjComDir.get() + u'/' + base + QStringLiteral(".pdf");
    options.paper = prj->Paper.get().toLower();
    if (published)
        *published = html ? options.outputDir + QStringLiteral("/index.html") : pdf ? options.pdfFile : options.chmFile;
    // The contents follow the author's outline: each topic at its level,
    // under its name, leading to its page.
    QByteArray outline;
    if (contents)
        options.contents = *contents;
    else if (Platform::readWholeFile(prj->PrjFile.get(), &outline)) {
        const Outline::TParse parsed = Outline::FParse(outline);
        if (parsed.ok)
            for (const Outline::TLine &line : parsed.lines)
                options.contents.append(
                    {line.level, line.text, Platform::toCp1252(TextConv::FContextName(TextConv::FCleanTopicName(line.text)))});
    }
    options.trusted = trustedFolders();
    // The sources already read for this build are not read again.
    if (read && !read->hpjPath.isEmpty())
        return Hlp::writeHelpOutput(*read, options);
    return Hlp::compileProject(Platform::resolveCase(prj->PrjDir.get() + u'/' + base + QStringLiteral(".HPJ")), options);
}

Hlp::THelpRead FReadHelpSources(const TPrjRec *prj)
{
    Hlp::TCompileOptions options;
    options.trusted = trustedFolders();
    return Hlp::readHelpProject(Platform::resolveCase(prj->PrjDir.get() + u'/' + prj->PrjName.get() + QStringLiteral(".HPJ")),
                                options);
}

QStringList FCompilerMessages(const QString &logPath, const QDateTime &started)
{
    const QString log = Platform::resolveCase(logPath);
    QByteArray bytes;
    if (QFileInfo(log).lastModified() < started || !Platform::readWholeFile(log, &bytes))
        return {};
    QStringList messages;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(QLatin1String("HC")))
            messages << text;
        else if (text.startsWith(u'\t') && !messages.isEmpty())
            messages.last() += u' ' + text.trimmed();
    }
    return messages;
}

bool FIsOwnCompiler(const QString &compilerPath)
{
    return QFileInfo(compilerPath).fileName() == QLatin1String("kivhc");
}

TErrorContext &FCompileHpjFile(const QString &projectFile, const QString &compilerPath, int pollMs, int timeoutMs,
                               Hlp::THelpRead *read, QStringList *messages)
{
    TSubGuard sub(context(), QStringLiteral("FCompileHpjFile"));
    QString shortProject, shortCompiler;
    FLong2ShortFName(projectFile, shortProject);
    const bool own = FIsOwnCompiler(compilerPath);
    if (!own)
        FLong2ShortFName(locateCompiler(compilerPath), shortCompiler);
    // The project writes N.HPJ; a compiler may write n.hlp: names are
    // matched without regard to case.
    const QString hpj = Platform::resolveCase(FChangeExt(shortProject, QStringLiteral(".hpj")));
    const QString hlp = FChangeExt(shortProject, QStringLiteral(".hlp"));
    if (!U_DosCmd::FFileExist(hpj, QString::fromUtf8("Ne peut pas créer le Projet. Veuillez d'abord le configurer (HPJ)")))
        return sub.report(7, QStringLiteral("No File: ") + hpj, 4);
    if (own) {
        // Our compiler is a library of this program: compiled in the
        // process, its help file and log written as the compiler program
        // writes them.
        U_DosCmd::FDelFile(Platform::resolveCase(hlp), QString());
        Hlp::TCompileOptions options;
        options.trusted = trustedFolders();
        Hlp::THelpRead local;
        Hlp::THelpRead &help = read ? *read : local;
        help = Hlp::readHelpProject(hpj, options);
        Hlp::TCompileResult r = Hlp::writeHelpOutput(help, options);
        Hlp::writeCompiled(hpj, options, r);
        if (messages)
            *messages = r.messages;
        if (!r.ok)
            return sub.report(7, hlp + QStringLiteral(" COMPIL FAIL"), 2);
        return sub.report(0);
    }
    if (!U_DosCmd::FFileExist(shortCompiler, QStringLiteral("Ne peut pas trouver le compilateur d'aide !")))
        return sub.report(7, QStringLiteral("No compiler: ") + shortCompiler, 4);
    U_DosCmd::FDelFile(Platform::resolveCase(hlp), QString());
    // Another compiler runs as a program of its own, in the project's
    // folder; a failure it reports by its exit code is known at once.
    int exitCode = -1;
    const int ran = U_DosCmd::FRunCmd(shortCompiler, {hpj}, 1, pollMs, 10 * timeoutMs, &exitCode,
                                      QFileInfo(hpj).absolutePath());
    if (ran == 0 && exitCode != 0)
        return sub.report(7, hlp + QStringLiteral(" COMPIL FAIL (%1)").arg(exitCode), 2);
    if (!U_DosCmd::FWaitFile(hlp, pollMs, timeoutMs))
        return sub.report(7, hlp + QStringLiteral(" COMPIL FAIL or TimeOut"), 2);
    return sub.report(0);
}

QStringList FViewerCommand(const QString &viewer, const QString &helpFile, const QString &context)
{
    // Both viewers open a page by its context with "-i CONTEXT".
    const QStringList page = context.isEmpty() ? QStringList() : QStringList{QStringLiteral("-i"), context};
    const QString program = QStandardPaths::findExecutable(viewer);
    if (!program.isEmpty())
        return QStringList{program} + page + QStringList{helpFile};
    const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
    if (!wine.isEmpty())
        return QStringList{wine, QStringLiteral("winhlp32.exe")} + page + QStringList{helpFile};
    return {};
}

TErrorContext &FViewHlpFile(const QString &helpFile, const QString &viewer, const QString &page)
{
    TSubGuard sub(context(), QStringLiteral("FViewHlpFile"));
    if (!U_DosCmd::FFileExist(helpFile, QString::fromUtf8("Le fichier d'aide .HLP n'existe pas !")))
        return sub.report(7, QStringLiteral("No File: ") + helpFile, 4);
    QStringList command = FViewerCommand(viewer, helpFile, page);
    if (command.isEmpty()) {
        Platform::prompts().error(QString::fromUtf8(
            "Aucun visualiseur d'aide n'est installé : installez Wine (paquet wine) pour afficher les fichiers .HLP."));
        return sub.report(7, QStringLiteral("No viewer: ") + viewer, 2);
    }
    QProcess viewerProcess;
    viewerProcess.setProgram(command.takeFirst());
    viewerProcess.setArguments(command);
    // Wine: no offer to download its .NET and HTML engines (the help viewer
    // needs neither) and no debugging chatter.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("WINEDLLOVERRIDES")))
        env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml="));
    if (!env.contains(QStringLiteral("WINEDEBUG")))
        env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    viewerProcess.setProcessEnvironment(env);
    if (!viewerProcess.startDetached())
        return sub.report(7, QStringLiteral("No viewer: ") + viewerProcess.program(), 7);
    return sub.report(0);
}

bool PCompileStep(TConfBlock *conf, const std::function<void(const QString &)> &progress, QStringList *messages,
                  Hlp::THelpRead *read, const QList<Hlp::TContentsLine> *contents)
{
    TPrjRec *prj = conf->PPrj;
    const TIniRec *ini = conf->PIni;
    if (!U_DosCmd::FCheckDir(prj->PrjDir.get(), QString::fromUtf8("Le répertoire n'existe pas")))
        return false;
    auto show = [&progress](const QString &text) {
        if (progress)
            progress(text);
    };
    try {
        show(QStringLiteral("Essaye de compiler le projet "));
        // Our compiler gives its messages and the sources it read (which
        // the other outputs are written from); another compiler leaves its
        // messages in its log, which is this build's only when the build
        // wrote it.
        const QString log = FChangeExt(prj->PrjFile.get(), QStringLiteral(".ERR"));
        const QDateTime before = QFileInfo(Platform::resolveCase(log)).lastModified();
        Hlp::THelpRead local;
        Hlp::THelpRead &help = read ? *read : local;
        QStringList said;
        const bool built = FCompileHpjFile(prj->PrjFile.get(), ini->COMPILER.get(), ini->COMPIL_POL_T, ini->COMPIL_TO, &help,
                                           &said)
                               .Category
                           == 0;
        if (!FIsOwnCompiler(ini->COMPILER.get()))
            said = QFileInfo(Platform::resolveCase(log)).lastModified() != before ? FCompilerMessages(log, QDateTime())
                                                                                   : QStringList();
        if (messages)
            *messages = said;
        if (!built) {
            show(QString::fromUtf8("La compilation du projet a échoué OU Time-Out ! "));
            prj->PrjState = PrjConverted;
            showCompilerErrors(said, ini->SHOW_ERRORS);
            return true;
        }
        show(QString::fromUtf8("Projet compilé "));
        QString shortProject;
        FLong2ShortFName(prj->PrjFile.get(), shortProject);
        const QString h = Platform::resolveCase(FChangeExt(shortProject, QStringLiteral(".HLP")));
        const QString name = prj->PrjName.get();
        const QString comDir = prj->PrjComDir.get();
        const QString c = prj->PrjDir.get() + u'/' + name + QStringLiteral(".CNT");
        const QString cPublished = comDir + u'/' + name + QStringLiteral(".CNT");
        const QString gid = comDir + u'/' + name + QStringLiteral(".GID");
        if (!ini->CREATE_CNT) {
            QFile::remove(gid);
            if (QFileInfo::exists(cPublished)
                && Platform::prompts().messageBox(Platform::BoxIcon::Question,
                                                  QString::fromUtf8("Le fichier *.CNT va être effacé !"),
                                                  Platform::Yes | Platform::No | Platform::Cancel)
                       == Platform::Yes)
                QFile::remove(cPublished);
        }
        bool published = publish(h, comDir + u'/' + name + QStringLiteral(".HLP"));
        if (published && ini->COPY_CNT) {
            if (QFileInfo::exists(cPublished)) {
                if (Platform::prompts().messageBox(
                        Platform::BoxIcon::Question,
                        QString::fromUtf8("Le fichier *.CNT va être écrasé par une nouvelle version ! Vous allez "
                                          "perdre toutes les modifications effectuées sur ce fichier"),
                        Platform::Yes | Platform::No | Platform::Cancel)
                    == Platform::Yes)
                    published = publish(c, cPublished);
            } else {
                published = publish(c, cPublished);
            }
        }
        if (published)
            published = buildWebOutputs(prj, messages, help.hpjPath.isEmpty() ? nullptr : &help, contents);
        prj->PrjState = published ? PrjCompiled : PrjConverted;
    } catch (const std::exception &e) {
        PShowError(QStringLiteral("Exception : ") + QString::fromLocal8Bit(e.what()));
        prj->PrjState = PrjConverted;
    }
    return true;
}

namespace {
// Opens a page in the desktop's browser; a browser that does not start
// (the opener fails, or ends with an error) is said.
void openInBrowser(const QUrl &page, const QString &opener)
{
    const QString failed = QString::fromUtf8("Le navigateur ne peut pas être lancé");
    if (opener.isEmpty()) {
        PShowError(failed + QString::fromUtf8(" : aucun programme pour ouvrir les pages web (xdg-open, paquet xdg-utils)."));
        return;
    }
    auto *process = new QProcess(qApp);
    process->setProgram(opener);
    process->setArguments({page.toString()});
    process->setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            PShowError(failed + QStringLiteral(" (") + process->program() + QStringLiteral(")."));
            process->deleteLater();
        }
    });
    QObject::connect(process, &QProcess::finished, process, [process, failed](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) {
            const QString said = QString::fromLocal8Bit(process->readAll()).trimmed().left(300);
            PShowError(failed + QString::fromUtf8(" (%1 a répondu %2%3).").arg(QFileInfo(process->program()).fileName()).arg(code)
                           .arg(said.isEmpty() ? QString() : QStringLiteral(" : ") + said));
        }
        process->deleteLater();
    });
    process->start();
}
} // namespace

bool PViewStep(TConfBlock *conf, bool web, const QString &context)
{
    TPrjRec *prj = conf->PPrj;
    try {
        if (prj->PrjState != PrjCompiled
            && Platform::prompts().messageBox(Platform::BoxIcon::Information,
                                              QString::fromUtf8("Ceci n'est pas la dernière version de fichier Help !"),
                                              Platform::Ok | Platform::Cancel)
                   == Platform::Cancel)
            return false;
        if (!U_DosCmd::FCheckDir(prj->PrjComDir.get(), QString::fromUtf8("Le changement de répertoire a échoué")))
            return false;
        // The web pages, in the desktop's browser: a command of their own,
        // so that the .HLP stays what its command shows.
        if (web) {
            const QString pages = prj->PrjComDir.get() + u'/' + prj->PrjName.get() + QStringLiteral("_html/index.html");
            const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
            if (!QFileInfo(pages).isFile())
                Platform::prompts().plain(QString::fromUtf8("Les pages web de ce projet ne sont pas publiées : cochez "
                                                            "« Publier aussi en pages web (HTML) » dans la configuration "
                                                            "du projet, puis créez le fichier d'aide."));
            else
                openInBrowser(context.isEmpty() ? QUrl::fromLocalFile(pages)
                                                : QUrl(QUrl::fromLocalFile(QFileInfo(pages).absolutePath() + QStringLiteral("/context.html"))
                                                           .toString()
                                                       + QStringLiteral("?name=") + QString::fromLatin1(QUrl::toPercentEncoding(context))),
                              opener);
            return false;
        }
        return FViewHlpFile(prj->PrjComDir.get() + u'/' + prj->PrjName.get() + QStringLiteral(".HLP"),
                            QStringLiteral("WinHelp.exe"), context)
                   .Category
               == 0;
    } catch (const std::exception &e) {
        PShowError(QStringLiteral("Exception : ") + QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace KIVHelpTools
