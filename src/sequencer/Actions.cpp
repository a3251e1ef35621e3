#include "sequencer/Actions.h"

#include "config/Globale.h"
#include "editing/REditServ.h"

#include <QUndoStack>
#include "formats/TextConv.h"
#include "helpgen/Compile.h"
#include "helpgen/Import.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "fileops/PrjFolder.h"
#include "platform/Prompts.h"
#include "project/ClipFind.h"
#include "project/Insertions.h"
#include "formats/KivHelpTools.h"
#include "project/PrjLife.h"
#include "project/Recovery.h"
#include "formats/ProjectFiles.h"
#include "project/Outline.h"
#include "project/TopicStore.h"
#include "sequencer/Startup.h"

#include <QCoreApplication>
#include <QSet>
#include <QDateTime>
#include <QLocale>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <exception>
#include <functional>

namespace Actions {

namespace {

QString g_prjToOpen;

TConfBlock *conf() { return Globale::PConf; }
TPrjRec *prj() { return Globale::PConf->PPrj; }
quint8 prjState() { return (Globale::PConf && Globale::PConf->PPrj) ? Globale::PConf->PPrj->PrjState : 0; }
TMainWindowPort *window() { return Startup::mainWindow(); }

void done(TCmdRec &cmd)
{
    Seq::PSetSeqState(SeqIdle);
    Seq::FDoneCmd(cmd);
}

// Runs one call of a command; an exception is shown and the command goes on.
void guarded(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        PShowError(QStringLiteral("Exception : ") + QString::fromLocal8Bit(e.what()));
    }
}

bool failed(const TErrorContext &ctx) { return ctx.Category != 0; }

// A project holds at most 500 topics: adding the 501st is refused.
bool topicLimitReached()
{
    if (window()->FTopicCount() < MaxTopics)
        return false;
    PShowError(QString::fromUtf8("Le nombre maximum de pages (500) est atteint : aucune page ne peut être ajoutée."));
    return true;
}

// A project of more than 500 topics (none can be made here) is not saved.
bool topicLimitExceeded()
{
    if (window()->FTopicCount() <= MaxTopics)
        return false;
    PShowError(QString::fromUtf8("Le projet compte plus de 500 pages : il ne peut pas être sauvegardé."));
    return true;
}

// A read-only project refuses what would change it; true when refused.
bool readOnlyRefused()
{
    if (!KIVHelpTools::FPrjReadOnly())
        return false;
    Platform::prompts().warning(KIVHelpTools::FReadOnlyText());
    return true;
}

// Takes the project's lock for this window. Held by another window: the
// author is told who has it and may open the project read-only; false
// when it is not to be opened.
bool lockOrAsk(const QString &projectFile)
{
    const QString dir = QFileInfo(projectFile).absolutePath();
    const QString name = QFileInfo(projectFile).completeBaseName();
    FileOps::TLockHolder holder;
    const FileOps::TLockResult result = FileOps::lockProject(FileOps::foldersOf(dir, name), &holder);
    KIVHelpTools::PSetPrjReadOnly(false);
    if (result != FileOps::TLockResult::HeldElsewhere)
        return true;
    QStringList who;
    if (!holder.user.isEmpty())
        who << QString::fromUtf8("utilisateur ") + holder.user;
    if (!holder.host.isEmpty())
        who << QString::fromUtf8("machine ") + holder.host;
    if (holder.pid > 0)
        who << QString::fromUtf8("processus ") + QString::number(holder.pid);
    const QString text = QString::fromUtf8("Le projet « %1 » est déjà ouvert dans une autre fenêtre de KivHelp (%2).\n"
                                           "Ouvert dans les deux, les modifications de l'une effaceraient celles de l'autre.\n\n"
                                           "Voulez-vous l'ouvrir en lecture seule ?")
                             .arg(name, who.join(QStringLiteral(", ")));
    if (Platform::prompts().question(text, Platform::Yes | Platform::No) != Platform::Yes)
        return false;
    KIVHelpTools::PSetPrjReadOnly(true);
    return true;
}

// Changes that a crash kept from being saved: restored into their topics
// (a topic no longer in the outline comes back as a new page), or dropped,
// as the author chooses.
void offerRecovery()
{
    const QString dir = prj()->PrjDir.get(), name = prj()->PrjName.get();
    QDateTime when;
    KIVHelpTools::TRecoveredProject kept;
    const QList<KIVHelpTools::TRecovered> found = KIVHelpTools::FReadRecovery(dir, name, &when, &kept);
    if (found.isEmpty() && kept.isEmpty())
        return;
    const TDisplayContext &d = window()->display();
    TCProject *project = d.project();
    const QLocale french(QLocale::French);
    const QString dateFormat = QStringLiteral("dd/MM/yyyy HH:mm:ss");
    // Copies that are not a page's text are not taken back, and said;
    // pages whose file changed after their copy was made are named, so
    // that the author keeps the one wanted.
    QStringList names, notText, newer;
    QSet<QString> newerOnDisk; // the pages of `newer`, by name
    QList<KIVHelpTools::TRecovered> usable;
    for (const KIVHelpTools::TRecovered &r : found) {
        if (!r.isRtf) {
            notText << QString::fromUtf8("« ") + r.name + QString::fromUtf8(" »");
            continue;
        }
        usable << r;
        names << QString::fromUtf8("« ") + r.name + QString::fromUtf8(" »");
        const TTopic *topic = project->FFind(r.name);
        const QFileInfo onDisk(topic ? topic->savedFile : QString());
        if (topic && !topic->savedFile.isEmpty() && onDisk.isFile() && r.copied.isValid() && onDisk.lastModified() > r.copied) {
            newerOnDisk.insert(r.name);
            newer << QString::fromUtf8("« %1 » (copie du %2, fichier modifié le %3)")
                         .arg(r.name, french.toString(r.copied, dateFormat), french.toString(onDisk.lastModified(), dateFormat));
        }
    }
    if (usable.isEmpty() && kept.isEmpty()) {
        Platform::prompts().warning(QString::fromUtf8("La copie de récupération de ce projet est illisible (ce n'est pas du texte "
                                                      "de page) : elle est ignorée. Pages : %1.").arg(notText.join(QStringLiteral(", "))));
        KIVHelpTools::PRemoveRecovery(dir, name);
        return;
    }
    const QString date = french.toString(when, dateFormat);
    QString text =
        (usable.isEmpty() ? QString::fromUtf8("Des modifications non sauvegardées (images, liens, mots-clés de l'index) ont été "
                                              "retrouvées pour ce projet (copie de récupération du %1).")
                                .arg(date)
                          : QString::fromUtf8("Des modifications non sauvegardées ont été retrouvées pour %1 page(s) de ce projet "
                                              "(copie de récupération du %2) : %3.")
                                .arg(usable.size())
                                .arg(date, names.join(QStringLiteral(", "))));
    if (!notText.isEmpty())
        text += QString::fromUtf8("\n\nLa copie de ces pages n'est pas du texte de page : elle est ignorée : %1.")
                    .arg(notText.join(QStringLiteral(", ")));
    QList<std::pair<Platform::Button, QString>> buttons;
    if (newer.isEmpty()) {
        text += QString::fromUtf8("\n\nVoulez-vous les restaurer ? (Non : elles sont abandonnées.)");
        buttons = {{Platform::Yes, QString::fromUtf8("&Oui")}, {Platform::No, QString::fromUtf8("&Non")}};
    } else {
        text += QString::fromUtf8("\n\nCes pages ont été modifiées sur le disque après leur copie de récupération : %1.\n"
                                  "Laquelle garder ?")
                    .arg(newer.join(QStringLiteral(", ")));
        buttons = {{Platform::Yes, QString::fromUtf8("Restaurer toutes les copies")},
                   {Platform::Ok, QString::fromUtf8("Garder les pages modifiées sur le disque")},
                   {Platform::No, QString::fromUtf8("Abandonner la copie")}};
    }
    const Platform::Button answer = Platform::prompts().ask(text, buttons);
    if (answer != Platform::Yes && answer != Platform::Ok) {
        KIVHelpTools::PRemoveRecovery(dir, name);
        return;
    }
    for (const KIVHelpTools::TRecovered &r : std::as_const(usable)) {
        if (answer == Platform::Ok && newerOnDisk.contains(r.name))
            continue; // the author keeps the page as it is on disk
        TTopic *topic = project->FFind(r.name);
        if (!topic) {
            QString newName = r.name;
            if (failed(KIVHelpTools::FAddTopic(newName, d.OutlineHelp, conf(), true)))
                continue;
            topic = project->FFind(newName);
        }
        // Restored, the text differs from its file until the next save.
        if (topic)
            topic->PSetBytes(r.rtf);
    }
    // The command lines the restored markers name, and the keywords.
    if (kept.hasCommands)
        project->commands = kept.commands;
    if (kept.hasKeywords) {
        for (int n = 1; n <= project->FCount(); ++n)
            project->FTopicAt(n)->keywords.clear();
        ProjectFiles::PSetKeywords(kept.keywords, *project);
    }
    if (!kept.isEmpty())
        project->outlineChanged = true;
    window()->PMarkModified();
}

// Writes the program settings; a failure is said, with the file, never
// passed over.
bool writeProgramSettings()
{
    if (Globale::VGGIniProg->FWriteConfFile(QString(), 0))
        return true;
    const QString file = Platform::profilePath(Globale::VGGIniProg->FGetConfFileName(QString()), true);
    PShowError(QString::fromUtf8("Les réglages du programme n'ont pas pu être enregistrés dans ") + file
               + QString::fromUtf8(" (fichier protégé, répertoire à sa place ou disque plein ?)."));
    return false;
}

// The recent list changed: written to the settings at once, so that a
// crash does not lose it (a failure is said when the program ends).
void writeRecentList()
{
    if (Globale::VGGIniProg)
        Globale::VGGIniProg->FWriteConfFile(QString(), 0);
}

// A project opened or created: the last one, which the next start opens
// again, and in the recent list.
void rememberProject(const QString &file)
{
    window()->projectList().Add(file);
    conf()->PIni->LASTOPEN.set(file);
    writeRecentList();
}

void forgetProject(const QString &file)
{
    if (conf()->PIni->LASTOPEN.get() == file)
        conf()->PIni->LASTOPEN.clear();
    window()->projectList().Remove(file);
    writeRecentList();
}

// Why a name typed for a project cannot be one; empty when it can.
// Characters a project's name cannot hold are named, not quietly turned
// into blanks ("a/b" would have become "a b").
QString typedProjectNameProblem(const QString &name)
{
    const QString cleaned = TextConv::FCleanTopicName(name);
    QString problem = TextConv::FProjectNameProblem(cleaned);
    if (problem.isEmpty() && cleaned != name) {
        QString refused;
        for (qsizetype i = 0; i < name.size(); ++i)
            if (cleaned.at(i) != name.at(i) && !refused.contains(name.at(i)))
                refused += name.at(i);
        problem = QString::fromUtf8("ces caractères ne peuvent pas figurer dans un nom de projet : ") + refused;
    }
    return problem;
}

bool save()
{
    bool ok = false;
    guarded([&] { ok = !failed(KIVHelpTools::FSavePrj(prj()->PrjFile.get(), conf(), window()->display())); });
    return ok;
}

// A project is already open: may the command go on?
bool openingCheck()
{
    const quint8 state = prjState();
    if (state == PrjNone)
        return true;
    const QString open = QString::fromUtf8("Un projet est déjà ouvert");
    if (state == PrjModified) {
        const Platform::Button answer = Platform::prompts().question(
            open + QStringLiteral(". Voulez-vous Sauvegarder ?"), Platform::Yes | Platform::No | Platform::Cancel);
        if (answer == Platform::Cancel)
            return false;
        // A save that fails keeps the project open: nothing is lost.
        return answer == Platform::No || save();
    }
    return Platform::prompts().question(open + QStringLiteral(". Voulez-vous Quitter ?"), Platform::Yes | Platform::No)
           == Platform::Yes;
}

void closeProject()
{
    guarded([] {
        KIVHelpTools::FClosePrj(conf(), window()->display());
        window()->PSetReadOnly(false);
        window()->PForgetProject();
    });
}

// Save and convert, as the save and build commands both do; false when
// the command must stop.
bool saveAndConvert()
{
    if (prjState() == PrjNone) {
        PShowError(QStringLiteral("Pas de Projet en cours !"));
        return false;
    }
    if (topicLimitExceeded() || readOnlyRefused())
        return false;
    bool ok = false;
    const int boxes = Platform::boxCount();
    guarded([&] {
        if (failed(KIVHelpTools::FSavePrj(prj()->PrjFile.get(), conf(), window()->display()))) {
            // Said once: here only when the save itself said nothing.
            if (Platform::boxCount() == boxes)
                Platform::prompts().plain(QString::fromUtf8("La sauvegarde du fichier a échoué"));
            return;
        }
        if (failed(KIVHelpTools::FUpdatePrj(prj()->AddTitle, prj()->SameTitleFont, conf(), window()->display()))) {
            if (Platform::boxCount() == boxes)
                Platform::prompts().plain(QString::fromUtf8("La mise à jour a échoué !"));
            return;
        }
        ok = true;
    });
    if (ok) {
        guarded([] {
            window()->display().WaitFor->PShowWait(QString::fromUtf8("Projet sauvegardé "), QStringLiteral(". "), 1);
        });
        prj()->PrjState = PrjSaved;
    }
    return ok;
}

} // namespace

QString FPrjToOpen() { return g_prjToOpen; }
void PSetPrjToOpen(const QString &file) { g_prjToOpen = file.left(255); }

void PCmdNewPrj(TCmdRec &cmd)
{
    if (!openingCheck()) {
        done(cmd);
        return;
    }
    closeProject();
    QString name;
    const bool accepted =
        Platform::prompts().inputText(QStringLiteral("Nouveau Projet"), QStringLiteral("Nom du projet : "), &name);
    name = KIVHelpTools::FTrimEnd(name.left(255));
    const QString path = conf()->PIni->DIRPATH.get() + name + u'/' + name + QStringLiteral(".PRJ");
    if (!accepted || name.isEmpty() || name == QLatin1String(" ")) {
        if (accepted)
            PShowError(QStringLiteral("Chaines vides ou espaces interdits !"));
        done(cmd);
        return;
    }
    // A name that cannot be the project's folder and files is refused here,
    // before anything is created.
    if (const QString problem = typedProjectNameProblem(name); !problem.isEmpty()) {
        PShowError(QString::fromUtf8("Nom de projet refusé : ") + problem);
        done(cmd);
        return;
    }
    if (path.size() >= 255) {
        PShowError(QStringLiteral("Votre nom de projet est trop long pour WINDOWS !"));
        PShowError(QString::fromUtf8("La création du projet a échoué ! "));
        done(cmd);
        return;
    }
    if (path.size() >= 100)
        Platform::prompts().warning(
            QStringLiteral("Votre nom de projet est un peu long, certaines applications peuvent échouer ..."));
    guarded([&] {
        Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0);
        Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0);
        QString entry = path;
        if (!failed(KIVHelpTools::FCreatePrj(name, conf(), window()->display()))) {
            lockOrAsk(prj()->PrjFile.get()); // a new project: nobody else has it
            window()->PSetReadOnly(false);
            KIVHelpTools::FSavePrj(prj()->PrjFile.get(), conf(), window()->display());
            // The name may have been cleaned: the list keeps the real file.
            entry = prj()->PrjFile.get();
        }
        rememberProject(entry);
    });
    done(cmd);
}

void PCmdImportHelp(TCmdRec &cmd)
{
    Seq::PSetSeqState(SeqIdle);
    const QString caption = QString::fromUtf8("Importer une aide existante");
    if (!openingCheck()) {
        Seq::FDoneCmd(cmd);
        return;
    }
    const QString file = Platform::prompts().openFile(caption, conf()->PIni->DIRPATH.get(),
                                                      QString::fromUtf8("Aide existante (*.hlp, *.hpj)|*.hlp;*.HLP;*.hpj;*.HPJ"));
    QString name = QFileInfo(file).completeBaseName();
    if (file.isEmpty() || !Platform::prompts().inputText(caption, QString::fromUtf8("Nom du nouveau projet :"), &name)
        || name.trimmed().isEmpty()) {
        Seq::FDoneCmd(cmd);
        return;
    }
    Build::TImportResult r;
    guarded([&] { r = Build::FImportHelp(file, name.trimmed(), conf()->PIni->DIRPATH.get(), conf()->PIni->BMP.get()); });
    Platform::prompts().plain(r.report.join(u'\n'));
    if (r.code == 2 || r.projectFile.isEmpty()) {
        Seq::FDoneCmd(cmd);
        return;
    }
    closeProject(); // the question was asked above
    PCmdOpenPrj(cmd, r.projectFile, false);
}

void PCmdSaveAs(TCmdRec &cmd)
{
    Seq::PSetSeqState(SeqIdle);
    if (prjState() == PrjNone) {
        Platform::prompts().plain(QStringLiteral("Pas de Projet en cours !"));
        done(cmd);
        return;
    }
    const QString caption = QString::fromUtf8("Enregistrer le projet sous");
    QString given = prj()->PrjName.get() + QString::fromUtf8(" - copie");
    if (!Platform::prompts().inputText(caption,
                                       QString::fromUtf8("Nom du nouveau projet (dans le répertoire des projets), ou "
                                                         "chemin complet de son nouveau répertoire :"),
                                       &given)
        || given.trimmed().isEmpty()) {
        done(cmd);
        return;
    }
    given = given.trimmed();
    while (given.size() > 1 && given.endsWith(u'/'))
        given.chop(1);
    // A name goes into the projects' folder; a path names the folder itself,
    // whose last part is the project's name.
    const bool path = given.contains(u'/');
    const QString name = path ? QFileInfo(given).fileName() : given;
    const QString folder = path ? QFileInfo(given).absoluteFilePath() : conf()->PIni->DIRPATH.get() + name;
    QString problem = typedProjectNameProblem(name);
    if (problem.isEmpty() && (folder + u'/' + name + QStringLiteral(".PRJ")).size() >= 255)
        problem = QStringLiteral("Votre nom de projet est trop long pour WINDOWS !");
    if (problem.isEmpty() && QFileInfo::exists(folder))
        problem = QString::fromUtf8("le répertoire %1 existe déjà.").arg(folder);
    if (!problem.isEmpty()) {
        PShowError(QString::fromUtf8("Nom de projet refusé : ") + problem);
        done(cmd);
        return;
    }
    const QString oldDir = prj()->PrjDir.get(), oldName = prj()->PrjName.get();
    const bool wasReadOnly = KIVHelpTools::FPrjReadOnly();
    bool saved = false;
    guarded([&] {
        // A window that only reads a project may make a copy of its own.
        KIVHelpTools::PSetPrjReadOnly(false);
        saved = !failed(KIVHelpTools::FSaveAsPrj(folder, name, conf(), window()->display()));
        if (!saved) {
            KIVHelpTools::PSetPrjReadOnly(wasReadOnly);
            return;
        }
        // The work is in the new project: the old one's recovery copy
        // would offer it again there.
        if (!wasReadOnly)
            KIVHelpTools::PRemoveRecovery(oldDir, oldName);
        FileOps::unlockProject();
        lockOrAsk(prj()->PrjFile.get());
        window()->PSetReadOnly(false);
        rememberProject(prj()->PrjFile.get());
    });
    done(cmd);
}

void PCmdOpenPrj(TCmdRec &cmd, const QString &projectFile, bool askForFile)
{
    Seq::PSetSeqState(SeqIdle);
    if (!openingCheck()) {
        Seq::FDoneCmd(cmd);
        return;
    }
    QString file = projectFile.left(255);
    if (askForFile) {
        file = Platform::prompts()
                   .openFile(QStringLiteral("KIVHelp Ouverture de fichier"), conf()->PIni->DIRPATH.get(),
                             QStringLiteral("*.PRJ|*.PRJ;*.prj"))
                   .left(255);
        if (file.isEmpty()) {
            Seq::FDoneCmd(cmd);
            return;
        }
    }
    // A backup save that a crash interrupted may have left the project
    // under its staging name: put it back before looking.
    if (!file.isEmpty())
        FileOps::recover(QFileInfo(file).absolutePath());
    if (!QFileInfo(file).isFile()) {
        Platform::prompts().plain(QStringLiteral("Ce PROJET n'existe pas !"));
        forgetProject(file); // deleted or moved away: not offered again
        Seq::FDoneCmd(cmd);
        return;
    }
    if (KIVHelpTools::FIsBackupPath(file)
        && Platform::prompts().question(QStringLiteral("Vous essayez d'ouvrir la copie de sauvegarde ! Voulez-vous l'ouvrir ?"),
                                        Platform::Yes | Platform::No | Platform::Cancel)
               != Platform::Yes) {
        Seq::FDoneCmd(cmd);
        return;
    }
    closeProject();
    QCoreApplication::processEvents();
    if (!lockOrAsk(file)) {
        done(cmd);
        return;
    }
    guarded([&] {
        if (!failed(KIVHelpTools::FLoadPrj(file, window()->display(), conf(), Globale::VGGIniPrj))) {
            window()->PSetReadOnly(KIVHelpTools::FPrjReadOnly());
            if (!KIVHelpTools::FPrjReadOnly())
                offerRecovery();
            window()->FrmFShowSelTopic(); // the tool bars show the first topic's format
        } else {
            FileOps::unlockProject();
        }
        rememberProject(file);
    });
    done(cmd);
}

void PCmdEdit(TCmdRec &cmd)
{
    // A row that went with its project (the outline emptied by a close)
    // asks nothing.
    if (prjState() == PrjNone && cmd.Command == CmdSelTopic) {
        done(cmd);
        return;
    }
    if (prjState() == PrjNone) {
        Platform::prompts().plain(QStringLiteral("Pas de Projet en cours !"));
        done(cmd);
        return;
    }
    // Looking, copying and searching leave a read-only project as it is.
    if (cmd.Command != CmdSelTopic && cmd.Command != CmdCopy && cmd.Command != CmdFind && readOnlyRefused()) {
        done(cmd);
        return;
    }
    TMainWindowPort *w = window();
    const TDisplayContext &d = w->display();
    bool modified = true;
    guarded([&] {
        switch (cmd.Command) {
        case CmdSelTopic:
            w->FrmFShowSelTopic();
            modified = false;
            break;
        case CmdAddTopic: {
            if (topicLimitReached()) {
                modified = false;
                break;
            }
            QString name = w->newPageText();
            if (KIVHelpTools::FAddTopic(name, d.OutlineHelp, conf(), true).Category == 0) {
                // The author goes on with the new topic.
                if (TTopic *added = d.project()->FFind(name))
                    d.OutlineHelp->setCurrentItem(added);
                w->FrmFShowSelTopic();
                w->PNewPageTaken();
            }
            break;
        }
        case CmdQuickTopic: {
            if (topicLimitReached()) {
                modified = false;
                break;
            }
            QString text = w->FSelText();
            TextConv::FStripLineEnd(text);
            if (text.isEmpty() || text == QLatin1String(" ")) {
                Platform::prompts().plain(QString::fromUtf8("Pas de texte sélectionné !"));
                break;
            }
            KIVHelpTools::FAddTopicAndJump(text, d.OutlineHelp, conf(), true);
            break;
        }
        case CmdDelTopic: {
            QString name;
            const TTopic *doomed = d.OutlineHelp->currentItem();
            const QStringList jumpingFrom = doomed ? KIVHelpTools::FTopicsJumpingTo(doomed->name, d.OutlineHelp) : QStringList();
            // The topic the outline then selects is shown at once.
            if (KIVHelpTools::FDelTopic(name, d.OutlineHelp, true, jumpingFrom, conf()->PPrjFonts).Category == 0)
                w->FrmFShowSelTopic();
            break;
        }
        case CmdAddBmp: {
            QString file;
            KIVHelpTools::FAddBmp(file, conf()->PIni->BMP.get(), true, true, d.OutlineHelp);
            break;
        }
        case CmdAddJump: {
            QString target;
            KIVHelpTools::FAddJump(target, true, d.OutlineHelp, true);
            break;
        }
        case CmdEditObject:
            KIVHelpTools::FEditObject(d.OutlineHelp, conf()->PIni->BMP.get(), true);
            break;
        case CmdAddPopup: {
            QString target;
            KIVHelpTools::FAddPopup(target, true, d.OutlineHelp, true);
            break;
        }
        case CmdAddExec: {
            QString path;
            KIVHelpTools::FAddExec(path, true, d.OutlineHelp, true);
            break;
        }
        case CmdTitles: {
            modified = false;
            const int n = w->FSelectedIndex();
            KIVHelpTools::FSaveTopic(n, d.project(), conf());
            if (const TTopic *item = d.OutlineHelp->currentItem())
                w->FRunTitles(n, item->name, conf());
            break;
        }
        case CmdTextColor: {
            QColor chosen;
            w->FrmFSelTextColor(&chosen);
            if (chosen.isValid())
                w->PPaintColor(chosen);
            break;
        }
        case CmdFontName: w->FrmFSelFontName(); break;
        case CmdFontSize: w->FrmFSelFontSize(); break;
        case CmdBoldOn: w->FrmFSetTextStyle(TMainWindowPort::StyleBold); break;
        case CmdItalicOn: w->FrmFSetTextStyle(TMainWindowPort::StyleItalic); break;
        case CmdUnderlineOn: w->FrmFSetTextStyle(TMainWindowPort::StyleUnderline); break;
        case CmdBoldOff: w->FrmFUSetTextStyle(TMainWindowPort::StyleBold); break;
        case CmdItalicOff: w->FrmFUSetTextStyle(TMainWindowPort::StyleItalic); break;
        case CmdUnderlineOff: w->FrmFUSetTextStyle(TMainWindowPort::StyleUnderline); break;
        case CmdAlignLeft: w->FrmFSetParAlignment(Qt::AlignLeft); break;
        case CmdAlignCenter: w->FrmFSetParAlignment(Qt::AlignHCenter); break;
        case CmdAlignRight: w->FrmFSetParAlignment(Qt::AlignRight); break;
        case CmdCut: KIVHelpTools::FCut2Clip(d.OutlineHelp, true); break;
        case CmdCopy: KIVHelpTools::FCopy2Clip(d.OutlineHelp, true); break;
        case CmdPaste: KIVHelpTools::FPasteFromClip(d.OutlineHelp, true); break;
        case CmdUndo: KIVHelpTools::FUndo(d.OutlineHelp, true); break;
        case CmdTopicUp:
        case CmdTopicDown:
        case CmdTopicIndent:
        case CmdTopicOutdent: {
            const KIVHelpTools::TMove move = cmd.Command == CmdTopicUp     ? KIVHelpTools::TMove::Up
                                             : cmd.Command == CmdTopicDown ? KIVHelpTools::TMove::Down
                                             : cmd.Command == CmdTopicIndent ? KIVHelpTools::TMove::Indent
                                                                             : KIVHelpTools::TMove::Outdent;
            modified = KIVHelpTools::FMoveTopic(d.OutlineHelp, move, conf()->PPrjFonts, true).Category == 0;
            break;
        }
        case CmdRenameTopic: {
            QString name;
            modified = KIVHelpTools::FRenameTopic(name, true, d.OutlineHelp, true).Category == 0
                       && !name.isEmpty();
            break;
        }
        case CmdRedo: KIVHelpTools::FRedo(d.OutlineHelp, true); break;
        case CmdOutlineUndo:
        case CmdOutlineRedo: {
            QUndoStack *stack = d.OutlineHelp->undoStack();
            const bool can = cmd.Command == CmdOutlineUndo ? stack->canUndo() : stack->canRedo();
            if (!can) {
                Platform::prompts().plain(cmd.Command == CmdOutlineUndo ? QString::fromUtf8("Aucune modification du plan à annuler.")
                                                                        : QString::fromUtf8("Aucune modification du plan à rétablir."));
                modified = false;
                break;
            }
            if (cmd.Command == CmdOutlineUndo)
                stack->undo();
            else
                stack->redo();
            w->FrmFShowSelTopic();
            break;
        }
        case CmdFind:
            w->PShowFindDialog(false);
            modified = false;
            break;
        case CmdReplace: w->PShowFindDialog(true); break;
        default: modified = false; break;
        }
    });
    if (modified)
        guarded([w] { w->PMarkModified(); });
    done(cmd);
}

void PCmdSavePrj(TCmdRec &cmd)
{
    saveAndConvert();
    done(cmd);
}

void PCmdCreateHlp(TCmdRec &cmd)
{
    if (saveAndConvert()) {
        QStringList messages;
        TCWaitFor *wait = window()->display().WaitFor;
        // The web outputs' contents come from the outline the window holds.
        const TCProject *project = window()->display().project();
        const QList<Hlp::TContentsLine> contents = project ? KIVHelpTools::FContentsOf(*project) : QList<Hlp::TContentsLine>();
        KIVHelpTools::PCompileStep(
            conf(), [wait](const QString &step) { wait->PShowWait(step, QStringLiteral(". "), 1); }, &messages, nullptr,
            project ? &contents : nullptr);
        window()->PShowCompilerMessages(messages);
    }
    done(cmd);
}

void PCmdViewHlp(TCmdRec &cmd, bool web)
{
    TCWaitFor *wait = window()->display().WaitFor;
    // The help opens at the page being edited.
    const TTopic *shown = window()->display().OutlineHelp ? window()->display().OutlineHelp->shownTopic() : nullptr;
    const QString context = shown ? TextConv::FContextName(shown->name) : QString();
    if (KIVHelpTools::PViewStep(conf(), web, context) && !web && wait) {
        // The viewer shows nothing for several seconds (many more the first
        // time Wine starts): say that it is coming.
        const QString opening = QString::fromUtf8("Ouverture du fichier d'aide dans le visualiseur, veuillez patienter ");
        wait->PShowWait(opening, QStringLiteral(". "), 1);
        QPointer<TCWaitFor> line(wait);
        QTimer::singleShot(20000, wait, [line, opening] {
            if (line && line->text().startsWith(opening.trimmed()))
                line->clear();
        });
    }
    done(cmd);
}

void PCmdClosePrj(TCmdRec &cmd)
{
    const quint8 state = prjState();
    if (state == PrjNone) {
        PShowError(QStringLiteral("Pas de Projet en cours !"));
        done(cmd);
        return;
    }
    if (Platform::prompts().question(QStringLiteral("Voulez-vous Quitter ?"), Platform::Yes | Platform::No)
        != Platform::Yes) {
        done(cmd);
        return;
    }
    QString reason;
    if (KIVHelpTools::FPrjReadOnly())
        ; // a window that only reads the project has nothing to save
    else if (state == PrjModified)
        reason = QString::fromUtf8("Projet non sauvegardé ");
    else if (state == PrjSaved)
        reason = QString::fromUtf8("Projet non mis à Jour ");
    else if (state == PrjConverted)
        reason = QString::fromUtf8("Projet non compilé");
    if (!reason.isEmpty()
        && Platform::prompts().messageBox(Platform::BoxIcon::Warning, reason + QStringLiteral("\r\nVoulez-vous Sauvegarder ?"),
                                          Platform::Yes | Platform::No)
               == Platform::Yes) {
        bool saved = false;
        guarded([&] {
            // The project's own outline file (its name's case kept).
            saved = !failed(KIVHelpTools::FSavePrj(prj()->PrjFile.get(), conf(), window()->display()))
                    && !failed(KIVHelpTools::FUpdatePrj(prj()->AddTitle, prj()->SameTitleFont, conf(),
                                                        window()->display()));
        });
        // A failed save keeps the project open with every edit.
        if (!saved) {
            done(cmd);
            return;
        }
    }
    closeProject();
    // Closed on purpose: the next start does not open it again.
    conf()->PIni->LASTOPEN.clear();
    writeRecentList();
    done(cmd);
}

void PCmdDelPrj(TCmdRec &cmd)
{
    if (prjState() == PrjNone) {
        Platform::prompts().plain(QStringLiteral("Pas de Projet en cours !"));
        done(cmd);
        return;
    }
    if (readOnlyRefused()) {
        done(cmd);
        return;
    }
    const QString dir = prj()->PrjDir.get();
    if (!QFileInfo(dir).isDir()) {
        closeProject();
        Platform::prompts().plain(QString::fromUtf8("Pourquoi effacer alors que ce  n'est pas sauvegardé ?Veuillez fermer !"));
        done(cmd);
        return;
    }
    // Every folder that will go is named; No is what Enter answers.
    QString question = QString::fromUtf8("Voulez-vous vraiment effacer le répertoire : ") + dir + QStringLiteral(" ?");
    const QString backupDir = FileOps::foldersOf(dir).backup;
    if (QFileInfo(backupDir).isDir())
        question += QString::fromUtf8("\nSa copie de sauvegarde ") + backupDir + QString::fromUtf8(" sera effacée aussi.");
    if (Platform::prompts().question(question, Platform::Yes | Platform::No | Platform::DefaultNo) != Platform::Yes) {
        done(cmd);
        return;
    }
    const QString name = prj()->PrjName.get();
    // Only a project's own folder is emptied, never one it merely lies in.
    if (!KIVHelpTools::FIsOwnProjectDir(dir, name, conf()->PIni)) {
        PShowError(QString::fromUtf8("Le répertoire ") + dir + QString::fromUtf8(" n'est pas celui du projet ") + name
                   + QString::fromUtf8(" : il contient peut-être d'autres fichiers, il ne sera pas effacé."));
        done(cmd);
        return;
    }
    // By canonical paths: a project reached through a link is deleted where
    // it lies, then the link; the backup beside it.
    const FileOps::TPrjFolders folders = FileOps::foldersOf(dir);
    const QString cannot = QString::fromUtf8("L'effacement du répertoire a échoué !");
    FileOps::removeChmStaging(folders, name);
    const QString blocker = FileOps::deleteBlocker(folders.project);
    if (!blocker.isEmpty()) {
        // Checked before anything goes: the project stays open and whole.
        PShowError(cannot + QString::fromUtf8("\nRien n'a été effacé : ") + blocker
                   + QString::fromUtf8(" ne peut pas être effacé (un sous-répertoire ou un fichier protégé ?)."));
        done(cmd);
        return;
    }
    const QString projectFile = prj()->PrjFile.get();
    closeProject();
    bool projectGone = false;
    guarded([&] {
        projectGone = !failed(KIVHelpTools::FDelPrjDir(folders.project));
        if (projectGone && dir != folders.project && QFileInfo(dir).isSymLink())
            QFile::remove(dir);
    });
    if (!projectGone) {
        PShowError(cannot + QStringLiteral("\n") + KIVHelpTools::context().Msg);
    } else {
        forgetProject(projectFile);
        FileOps::deleteTree(folders.state); // its lock, count and recovery copy: the program's own
    }
    if (projectGone && (QFileInfo(folders.backup).isDir() || QFileInfo(folders.backup).isSymLink())) {
        // The backup goes only once the project folder is gone.
        bool backupGone = false;
        guarded([&] { backupGone = !failed(KIVHelpTools::FDelPrjDir(folders.backup)); });
        if (!backupGone)
            PShowError(cannot + QStringLiteral("\n") + KIVHelpTools::context().Msg);
    }
    Platform::prompts().messageBox(
        Platform::BoxIcon::Warning,
        QString::fromUtf8("ATTENTION ! le répertoire *.COM de votre projet ne sera pas détruit : vous pouvez le "
                          "faire manuellement, voir l'aide "),
        Platform::Yes);
    done(cmd);
}

void PSeqSoftConf()
{
    guarded([] {
        if (window()->FRunSoftConf(conf()))
            writeProgramSettings();
    });
    Seq::PSetSeqState(SeqEnableMain);
}

QString FProgramHelpFile(const QString &projectsDir, const QString &exeDir)
{
    // A help the user keeps in the projects' folder; else the user's
    // manual built or installed with the program; else its short help.
    const QString kept = projectsDir + QStringLiteral("KIVHelp.hlp");
    if (QFileInfo(kept).isFile())
        return kept;
    for (const QString &other : {exeDir + QStringLiteral("/manual/fr/Manuel.HLP"), exeDir + QStringLiteral("/../share/kivhelp/manual/fr/Manuel.HLP"),
                                 exeDir + QStringLiteral("/KIVHelp.hlp"), exeDir + QStringLiteral("/../share/kivhelp/KIVHelp.hlp")})
        if (QFileInfo(other).isFile())
            return QFileInfo(other).absoluteFilePath();
    return kept;
}

void PSeqHelp()
{
    const QString help = FProgramHelpFile(conf()->PIni->DIRPATH.get(), QFileInfo(Platform::programFilePath()).absolutePath());
    guarded([&] {
        if (!QFileInfo(help).isFile()) {
            Platform::prompts().warning(QString::fromUtf8("Le fichier d'aide du programme est absent : ") + help);
            return;
        }
        KIVHelpTools::FViewHlpFile(help, QStringLiteral("WinHelp.exe"));
    });
    Seq::PSetSeqState(SeqEnableMain);
}

void PSeqPrjConf()
{
    guarded([] {
        if (window()->FRunPrjConf(conf()))
            prj()->PrjState = PrjModified;
    });
    Seq::PSetSeqState(SeqEnableMain);
}

void PSeqAbout()
{
    Platform::prompts().messageBox(
        Platform::BoxIcon::Information,
        QString::fromUtf8("KIV HELP version V 2.1 (KivHelp %1)\n\nAtelier de création de fichiers d'aide Windows : "
                          "pages, sauts hypertextes, images et programmes, compilés en un fichier .HLP.")
            .arg(QStringLiteral(KIVHELP_VERSION)),
        Platform::Ok, QStringLiteral("Info sur KIV fr"));
    Seq::PSetSeqState(SeqIdle);
}

void PSeqExit(TCmdRec &cmd)
{
    Platform::Button answer = Platform::Yes;
    const quint8 state = prjState();
    // A window that only reads the project has nothing to save.
    if ((state == PrjOpened || state == PrjCreated || state == PrjModified || state == PrjCompiled)
        && !KIVHelpTools::FPrjReadOnly()) {
        answer = Platform::prompts().question(
            QString::fromUtf8("Un projet est déjà ouvert. Voulez-vous Sauvegarder ?"),
            Platform::Yes | Platform::No | Platform::Cancel);
        if (answer == Platform::Yes && !save())
            answer = Platform::Cancel; // the program stays, with the project and its edits
    }
    if (answer == Platform::Cancel) {
        done(cmd);
        return;
    }
    if (window())
        closeProject();
    // Settings that cannot be written are not lost in silence: the author
    // may free the file and try again, or leave without them.
    while (!writeProgramSettings()) {
        if (Platform::prompts().question(QString::fromUtf8("Réessayer d'enregistrer les réglages ? (Non : quitter sans les enregistrer)"),
                                         Platform::Yes | Platform::No)
            != Platform::Yes)
            break;
    }
    done(cmd);
    Startup::PEndApplication(0);
}

} // namespace Actions
