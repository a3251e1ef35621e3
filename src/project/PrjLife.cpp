#include "project/PrjLife.h"

#include "helpgen/Sources.h"
#include "editing/REditServ.h"
#include "formats/TextConv.h"
#include "fileops/DosCmd.h"
#include "formats/ProjectFiles.h"
#include "helpgen/HelpSources.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "editing/TopicDocument.h"
#include "formats/CompanionFiles.h"
#include "project/Recovery.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QUndoStack>

namespace KIVHelpTools {

namespace {

void progress(const TDisplayContext &display, const QString &text)
{
    if (display.WaitFor)
        display.WaitFor->PShowWait(text, QStringLiteral(". "), 1);
}

bool showErrors(const TConfBlock *conf) { return conf && conf->PIni && conf->PIni->SHOW_ERRORS; }

// A failed step: report it and show it when the settings ask for it.
TErrorContext &fail(TSubGuard &sub, const TConfBlock *conf, quint8 category, const QString &msg, quint16 code)
{
    TErrorContext &ctx = sub.report(category, msg, code);
    PShowMsgU(&ctx, showErrors(conf), 0);
    return ctx;
}

QString dirOf(const QString &file) { return QFileInfo(file).absolutePath(); }

QString cleanPath(const QString &path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

} // namespace

bool FIsBackupPath(const QString &filePath)
{
    const QString dir = QFileInfo(filePath).path();
    return dir.right(4).toUpper() == QLatin1String(".OLD");
}

bool FIsOwnProjectDir(const QString &dir, const QString &projectName, const TIniRec *ini)
{
    if (dir.isEmpty() || projectName.isEmpty())
        return false;
    // Compared by canonical paths: no spelling (links, "..", a final "/")
    // gets the root, the home folder or DIRPATH taken for a project.
    if (FileOps::isProtectedDir(dir, ini ? ini->DIRPATH.get() : QString()))
        return false;
    const QString path = FileOps::canonicalDir(dir);
    for (QString last : {QFileInfo(cleanPath(dir)).fileName(), QFileInfo(path).fileName()}) {
        if (last.compare(projectName, Qt::CaseInsensitive) == 0
            || last.compare(projectName + QStringLiteral(".OLD"), Qt::CaseInsensitive) == 0)
            return true;
        // A folder named after the outline file it holds is a project's too.
        if (last.endsWith(QStringLiteral(".OLD"), Qt::CaseInsensitive))
            last.chop(4);
        if (QFileInfo::exists(Platform::resolveCase(path + u'/' + last + QStringLiteral(".PRJ"))))
            return true;
    }
    return false;
}

namespace {
bool g_readOnly = false;
}

bool FPrjReadOnly() { return g_readOnly; }
void PSetPrjReadOnly(bool readOnly) { g_readOnly = readOnly; }
QString FReadOnlyText()
{
    return QString::fromUtf8("Ce projet est ouvert en lecture seule (une autre fenêtre de KivHelp l'a ouvert) : "
                             "il ne peut être ni modifié, ni sauvegardé, ni compilé d'ici.");
}

quint16 FSavesSinceBackup(const QString &projectDir, const QString &name)
{
    QByteArray bytes;
    if (!Platform::readWholeFile(FileOps::foldersOf(projectDir, name).state + QStringLiteral("/saves"), &bytes))
        return 0;
    bool ok = false;
    const uint n = bytes.trimmed().toUInt(&ok);
    return ok ? quint16(qMin(n, 1000u)) : 0;
}

TErrorContext &FCreatePrj(const QString &name, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FCreatePrj"));
    progress(display, QString::fromUtf8("Essaye de créer le projet "));
    const QString n = TextConv::FCleanTopicName(name);
    const QString d = conf->PIni->DIRPATH.get();
    const QString p = d + n, c = p + QStringLiteral(".COM"), o = p + QStringLiteral(".OLD");
    const QString failed = QString::fromUtf8("La création du projet a échoué ! ");
    for (const QString &existing : {p, o}) {
        if (QFileInfo::exists(existing)) {
            progress(display, failed);
            PShowError(failed + QString::fromUtf8(".Ce PROJET existe déjà !"));
            return sub.report(7, existing, 14);
        }
    }
    const QString mkFail = QString::fromUtf8("La création du répertoire a échoué");
    if (!U_DosCmd::FMkDir(p, mkFail))
        return fail(sub, conf, 7, p, 17);
    if (!QFileInfo(c).isDir() && !U_DosCmd::FMkDir(c, mkFail))
        return fail(sub, conf, 7, c, 17);

    TCProject *project = display.project();
    FDelAllTopics(display.OutlineHelp);
    project->commands.clear();
    TTopic *first = project->FInsert(nullptr, -1, n);
    first->PSetBytes(TTopicDocument(QByteArray(), display.OutlineHelp->textFont()).FRtf());
    display.OutlineHelp->undoStack()->clear();
    display.OutlineHelp->setCurrentItem(first);

    TPrjRec *prj = conf->PPrj;
    prj->PrjSaveCount = 0;
    prj->PrjState = PrjCreated;
    prj->PrjDir.set(p);
    prj->PrjComDir.set(c);
    prj->PrjName.set(n);
    prj->PrjFile.set(p + u'/' + n + QStringLiteral(".PRJ"));
    progress(display, QString::fromUtf8("Le Projet a été créé "));
    return sub.report(0);
}

TErrorContext &FLoadPrj(const QString &projectFile, const TDisplayContext &display, TConfBlock *conf,
                        TCConfFile *prjConf)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrj"));
    progress(display, QStringLiteral("Essaye de charger le projet "));
    // A backup save that a crash interrupted is completed or undone first.
    FileOps::recover(dirOf(projectFile));
    if (!QFileInfo(projectFile).isFile())
        return fail(sub, conf, 7, QStringLiteral("No File: ") + projectFile, 4);
    const QString p = FileOps::canonicalDir(dirOf(projectFile));
    const QString c = p + QStringLiteral(".COM");
    const QString cfg = FPrjCompanion(projectFile, QStringLiteral(".CFG"));
    const QString fnt = FPrjCompanion(projectFile, QStringLiteral(".FNT"));
    const QString cde = FPrjCompanion(projectFile, QStringLiteral(".CDE"));
    progress(display, QStringLiteral("Charge configuration du projet "));
    if (FLoadPrjConf(cfg, 0, prjConf).Category != 0)
        return fail(sub, conf, 7, cfg, 4);
    progress(display, QStringLiteral("Charge les polices du projet "));
    if (FLoadPrjFonts(fnt, 0, Globale::VGGIniPrjFonts).Category != 0)
        return fail(sub, conf, 7, fnt, 4);
    progress(display, QStringLiteral("Charge les Macros du projet "));
    TCProject *project = display.project();
    if (FLoadPrjCmds(cde, &project->commands).Category != 0)
        return fail(sub, conf, 7, cde, 4);
    progress(display, QStringLiteral("Charge les Pages du projet "));
    bool renamedToFile = false;
    const TErrorContext &topics = FLoadPrjTopics(projectFile, display.OutlineHelp);
    if (topics.Category != 0) {
        const QString msg = topics.Msg;
        return fail(sub, conf, 7, msg, 4);
    }
    TTopic *first = project->FTopicAt(1);
    // A project copied under another file name (Cle.PRJ whose first page
    // is still "Guide Café") is the project of its file: saved under the
    // first page's name, it would go into other files beside it. It opens
    // under its file's name, which its first page takes, and that is said.
    const QString fileName = QFileInfo(projectFile).completeBaseName();
    if (first->name.compare(fileName, Qt::CaseInsensitive) != 0 && TextConv::FProjectNameProblem(fileName).isEmpty()
        && TextConv::FCleanTopicName(fileName) == fileName) {
        Platform::prompts().warning(QString::fromUtf8("Le fichier %1 porte un autre nom que son projet (« %2 ») : le projet est "
                                                      "ouvert sous le nom de son fichier, « %3 », que prend sa première page. "
                                                      "La prochaine sauvegarde l'enregistre sous ce nom.")
                                        .arg(QFileInfo(projectFile).fileName(), first->name, fileName));
        project->PRename(first, fileName);
        renamedToFile = true;
    }
    const QString own = p + u'/' + first->name + QStringLiteral(".PRJ");
    if (own.size() > 255) {
        // Paths are kept in 255 characters: a longer one would be cut and
        // the next save would write elsewhere.
        PShowError(QString::fromUtf8("Le chemin du projet est trop long (255 caractères au plus) : ") + own);
        return fail(sub, conf, 7, own.left(200), 4);
    }
    display.OutlineHelp->setCurrentItem(first);

    // The distribution folder is made once the file proved to be a project,
    // never beside a file that is not one.
    if (!QFileInfo(c).isDir() && !U_DosCmd::FMkDir(c, QString::fromUtf8("La création du répertoire a échoué")))
        return fail(sub, conf, 7, c, 17);
    TPrjRec *prj = conf->PPrj;
    prj->PrjDir.set(p);
    prj->PrjComDir.set(c);
    prj->PrjName.set(first->name);
    // The outline file keeps the letter case it has on disk (low.prj).
    prj->PrjFile.set(Platform::resolveCase(p + u'/' + prj->PrjName.get() + QStringLiteral(".PRJ")));
    progress(display, QString::fromUtf8("Projet chargé "));
    prj->PrjState = renamedToFile ? PrjModified : PrjOpened;
    prj->PrjSaveCount = FSavesSinceBackup(p, prj->PrjName.get());
    return sub.report(0);
}

namespace {
// The fonts file as the last save that reached the disk left it: the record
// written, and the file's size and time then. A save whose record is the
// same and whose file is still as it was left does not make it again (the
// 500 sections of a large project's fonts file cost more to make than the
// rest of a save of one edit).
struct TWrittenRecord {
    QString path;
    QByteArray record;
    qint64 size = -1;
    QDateTime modified;
    bool unchanged(const QString &file, const QByteArray &now) const
    {
        if (path != file || record != now)
            return false;
        const QFileInfo info(file);
        return info.isFile() && info.size() == size && info.lastModified() == modified;
    }
    void remember(const QString &file, const QByteArray &now)
    {
        const QFileInfo info(file);
        *this = info.isFile() ? TWrittenRecord{file, now, info.size(), info.lastModified()} : TWrittenRecord{};
    }
};
TWrittenRecord g_fontsWritten;
} // namespace

TErrorContext &FSaveAsPrj(const QString &folder, const QString &name, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FSaveAsPrj"));
    TPrjRec *prj = conf->PPrj;
    TCProject *project = display.project();
    TTopic *first = project->FTopicAt(1);
    if (!first)
        return sub.report(4, QString(), 10);
    const QString p = QDir::cleanPath(folder), c = p + QStringLiteral(".COM");
    for (const QString &taken : {p, p + QStringLiteral(".OLD")})
        if (QFileInfo::exists(taken)) {
            PShowError(QString::fromUtf8("La sauvegarde du projet a échoué ! Ce PROJET existe déjà : ") + taken);
            return sub.report(7, taken, 14);
        }
    // What is given back when the save fails.
    const QString oldName = first->name, oldDir = prj->PrjDir.get(), oldCom = prj->PrjComDir.get(),
                  oldPrjName = prj->PrjName.get(), oldFile = prj->PrjFile.get();
    const quint8 oldState = prj->PrjState;
    const quint16 oldCount = prj->PrjSaveCount;
    const bool comExisted = QFileInfo(c).isDir();
    QDir().mkpath(QFileInfo(p).absolutePath()); // a new folder named by the author: its parents made
    if (!U_DosCmd::FMkDir(p, QString::fromUtf8("La création du répertoire a échoué")))
        return fail(sub, conf, 7, p, 17);
    if (!comExisted && !U_DosCmd::FMkDir(c, QString::fromUtf8("La création du répertoire a échoué"))) {
        FileOps::deleteTree(p);
        return fail(sub, conf, 7, c, 17);
    }
    if (first->name != name)
        project->PRename(first, name);
    prj->PrjDir.set(p);
    prj->PrjComDir.set(c);
    prj->PrjName.set(name);
    prj->PrjFile.set(p + u'/' + name + QStringLiteral(".PRJ"));
    prj->PrjSaveCount = 0;
    project->outlineChanged = true;
    const bool saved = FSavePrj(prj->PrjFile.get(), conf, display).Category == 0;
    if (saved)
        return sub.report(0);
    // Nothing of the new project stays; the old one is the open one again.
    const QString state = FileOps::foldersOf(p, name).state;
    FileOps::deleteTree(p);
    if (!comExisted)
        FileOps::deleteTree(c);
    FileOps::deleteTree(state);
    if (first->name != oldName)
        project->PRename(first, oldName);
    prj->PrjDir.set(oldDir);
    prj->PrjComDir.set(oldCom);
    prj->PrjName.set(oldPrjName);
    prj->PrjFile.set(oldFile);
    prj->PrjState = oldState;
    prj->PrjSaveCount = oldCount;
    return sub.report(7, p, 5);
}

TErrorContext &FSavePrj(const QString &projectFile, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrj"));
    TPrjRec *prj = conf->PPrj;
    const int boxesBefore = Platform::boxCount();
    if (g_readOnly)
        return sub.report(4, FReadOnlyText(), 5);
    const QString saveFailed = QString::fromUtf8("La sauvegarde du projet a échoué ! ");
    const QString given = dirOf(projectFile);
    const QString name = QFileInfo(projectFile).completeBaseName();
    // The project folder by its canonical path: a folder reached through a
    // link is saved, backed up and swapped where it really is.
    const FileOps::TPrjFolders folders = FileOps::foldersOf(given, name);
    // What a crash left is dealt with before the project is locked; while
    // this window holds the lock, no other process writes there.
    if (!FileOps::holdsLockOf(folders))
        FileOps::recover(given, name);
    const QString p = folders.project, o = folders.backup;
    const QString file = p + u'/' + QFileInfo(projectFile).fileName();

    bool backup = false;
    if (prj->PrjSaveCount >= conf->PIni->BACKUP_PERIOD) {
        if (!FIsOwnProjectDir(given, name, conf->PIni)) {
            // Moving a folder that is not the project's own (a home folder)
            // would take everything in it along: no backup then.
            Platform::prompts().warning(QString::fromUtf8("Pas de sauvegarde de secours : le répertoire ") + p
                                        + QString::fromUtf8(" n'est pas celui du projet ") + name
                                        + QStringLiteral("."));
            prj->PrjSaveCount = 0;
        } else {
            Platform::prompts().plain(QStringLiteral("Backup ... "));
            prj->PrjSaveCount = 0;
            FileOps::removeChmStaging(folders, name);
            // The old backup must be deletable before anything is written.
            const QString blocker = FileOps::treeBlocker(o);
            if (!blocker.isEmpty()) {
                PShowError(QString::fromUtf8("L'effacement du répertoire a échoué !") + QStringLiteral("\n") + blocker);
                PShowError(QStringLiteral("Si WinHelp.exe utilise ce projet, veuillez le fermer !"));
                return fail(sub, conf, 7, o, 19);
            }
            FileOps::deleteTree(folders.staging);
            if (!U_DosCmd::FMkDir(folders.staging, QString::fromUtf8("La création du répertoire a échoué.") + saveFailed))
                return fail(sub, conf, 7, p, 17);
            backup = true;
        }
    }
    // Whatever stops the save below leaves the project as it was: nothing
    // reaches the project's path before every file is written and durable.
    auto abandon = [&](quint8 category, const QString &msg, quint16 code) -> TErrorContext & {
        if (backup)
            FileOps::deleteTree(folders.staging);
        // One box says why a save failed: a second only when none did.
        if (Platform::boxCount() != boxesBefore)
            return sub.report(category, msg, code);
        return fail(sub, conf, category, msg, code);
    };
    if (!U_DosCmd::FCheckDir(p, QString::fromUtf8("Le répertoire n'existe pas.") + saveFailed))
        return abandon(7, p, 16);
    QStringList topicFiles;
    QString error;
    {
        Platform::WriteBatch batch;
        // A backup save's commit is its folder swap; an ordinary save's is
        // its journal, so that no kill leaves some topics new, others old.
        if (backup) {
            batch.redirect(p, folders.staging);
            batch.setSpareDir(FileOps::sparesOf(folders));
        } else if (QDir().mkpath(folders.state)) {
            batch.setJournal(FileOps::journalOf(folders));
            batch.setSpareDir(FileOps::sparesOf(folders));
        }
        batch.setLast(file);
        // The companion files by their names on disk, the folder listed at
        // most once.
        Platform::CaseResolver names;
        const auto companion = [&](const QString &ext) { return names.resolve(FChangeExt(file, ext)); };
        const QString cfg = companion(QStringLiteral(".CFG"));
        if (FSavePrjConf(cfg, 0, Globale::VGGIniPrj).Category != 0)
            return abandon(7, cfg, 5);
        const QString fnt = companion(QStringLiteral(".FNT"));
        conf->PPrjFonts->NbTopics = static_cast<quint16>(display.project()->FCount());
        const QByteArray fonts(reinterpret_cast<const char *>(conf->PPrjFonts), sizeof(TFontsRec));
        if (!(!backup && g_fontsWritten.unchanged(fnt, fonts)) && FSavePrjFonts(fnt, 0, Globale::VGGIniPrjFonts).Category != 0)
            return abandon(7, fnt, 5);
        progress(display, QStringLiteral("Sauvegarde le projet "));
        if (FSavePrjTopics(file, display.project(), true, &topicFiles, true).Category != 0)
            return abandon(7, file, 5);
        const QString cde = companion(QStringLiteral(".CDE"));
        if (FSavePrjCmds(cde, display.project()->commands, true).Category != 0)
            return abandon(7, cde, 5);
        // The index keywords, in a file of their own while a topic has some.
        const QString key = companion(QStringLiteral(".KEY"));
        const QByteArray keywords = ProjectFiles::FKeywordsBytes(*display.project());
        if (!keywords.isEmpty()) {
            if (!Platform::writeFileAtomic(key, keywords, &error)) {
                PShowError(saveFailed + QStringLiteral("\n") + error);
                return abandon(7, key, 5);
            }
        } else if (QFileInfo::exists(key)) {
            batch.remove(key);
        }
        QStringList bitmaps;
        if (FGetBmpNames(cde, bitmaps).Category != 0)
            return abandon(4, QStringLiteral("FGetBmpNames FAIL !"), 0);
        const QString hpj = companion(QStringLiteral(".HPJ"));
        if (FCreateHpjFile(hpj, conf->PIni, prj, bitmaps, topicFiles).Category != 0)
            return abandon(7, hpj, 6);
        if (conf->PIni->CREATE_CNT) {
            const QString cnt = companion(QStringLiteral(".CNT"));
            if (FCreateCntFile(cnt, topicFiles).Category != 0)
                return abandon(7, cnt, 6);
        }
        // The saves since the last backup outlive the session, so that
        // an author who saves rarely still gets backups.
        if (QDir().mkpath(folders.state)) {
            const QString saves = folders.state + QStringLiteral("/saves");
            batch.setLoose(saves);
            Platform::writeFileAtomic(saves, QByteArray::number(prj->PrjSaveCount + 1));
        }
        if (!batch.commit(&error)) {
            g_fontsWritten = {};
            PShowError(saveFailed + QStringLiteral("\n") + error);
            return abandon(7, file, 5);
        }
        if (!backup)
            g_fontsWritten.remember(fnt, fonts);
        else
            g_fontsWritten = {};
    }
    if (backup) {
        // The author's own files and folders come along, unchanged.
        if (!FileOps::carryForeign(folders, &error)) {
            PShowError(saveFailed + QStringLiteral("\n") + error);
            return abandon(7, p, 5);
        }
        if (!FileOps::swapIn(folders, &error)) {
            PShowError(saveFailed + QStringLiteral("\n") + error);
            return abandon(7, p, 5);
        }
    }
    PMarkTopicsSaved(display.project());
    // Saved: nothing left to recover (by the window that has the project;
    // a build from the command line leaves that window's copy alone).
    if (FileOps::holdsProjectLock())
        PRemoveRecovery(p, name);
    progress(display, QString::fromUtf8("Projet sauvegardé "));
    prj->PrjState = PrjSaved;
    prj->PrjSaveCount = static_cast<quint16>(prj->PrjSaveCount + 1);
    return sub.report(0);
}

TErrorContext &FUpdatePrj(bool addTitle, bool sameTitleFont, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FUpdatePrj"));
    TPrjRec *prj = conf->PPrj;
    const QString dir = prj->PrjDir.get();
    const QString failed = QString::fromUtf8("La mise à jour du projet a échoué ! ");
    if (!QFileInfo(dir).isDir()) {
        U_DosCmd::FCheckDir(dir, QString::fromUtf8("Le changement vers le répertoire du Projet a échoué !"));
        progress(display, failed);
        PShowError(QString::fromUtf8("Veuillez vérifier le répertoire du projet !"));
        return sub.report(7, dir, 16);
    }
    progress(display, QString::fromUtf8("Mise à jour du projet"));
    if (display.CompileMemo)
        display.CompileMemo->clear();
    // The sources are made from the project as saved: the open one, just
    // saved (its topics and commands are what the files hold), else its
    // files.
    TCProject read;
    TCProject *project = display.project();
    if (!project || project->FCount() == 0) {
        ProjectFiles::TReadFailure unread;
        if (!ProjectFiles::FReadTopics(prj->PrjFile.get(), read, &unread)) {
            PShowError(unread.shown);
            return sub.report(unread.category, unread.msg, unread.code);
        }
        ProjectFiles::FReadCommands(FPrjCompanion(prj->PrjFile.get(), QStringLiteral(".CDE")), &read.commands);
        project = &read;
    }
    const Build::TSourcesResult made = Build::FWriteSources(*project, conf, prj->PrjFile.get(), addTitle, sameTitleFont);
    if (!made.badTopic.isEmpty()) {
        // The topic's source would be missing from the help file: the
        // conversion fails rather than going on with the next topic.
        PShowError(FMacroCorruptedText(made.badTopic, made.badLine));
        return sub.report(4, made.badTopic, 6);
    }
    if (!made.ok) {
        PShowError(failed + QStringLiteral("\n") + made.error);
        return fail(sub, conf, 4, made.error, 6);
    }
    progress(display, QString::fromUtf8("Projet mis à jour "));
    prj->PrjState = PrjConverted;
    return sub.report(0);
}

TErrorContext &FClosePrj(TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FClosePrj"));
    // Closed without saving: the author chose to leave the changes (the
    // recovery copy of a project another window has open is that one's).
    if (FileOps::holdsProjectLock() && conf->PPrj->PrjState != PrjNone)
        PRemoveRecovery(conf->PPrj->PrjDir.get(), conf->PPrj->PrjName.get());
    FileOps::unlockProject();
    g_readOnly = false;
    progress(display, QStringLiteral("Ferme le Projet "));
    if (display.OutlineHelp) {
        FDelAllTopics(display.OutlineHelp);
        display.project()->commands.clear();
    }
    if (display.CompileMemo)
        display.CompileMemo->clear();
    progress(display, QString::fromUtf8("Projet fermé"));
    conf->PPrj->PrjState = PrjNone;
    const QString d = conf->PIni->DIRPATH.get();
    if (!U_DosCmd::FCheckDir(d, QString::fromUtf8("Le changement vers le répertoire du Projet a échoué !")))
        return fail(sub, conf, 7, d, 16);
    return sub.report(0);
}

TErrorContext &FDelPrjDir(const QString &dir)
{
    TSubGuard sub(context(), QStringLiteral("FDelPrjDir"));
    // Never empty the root, the home folder, DIRPATH or the program's folder,
    // whatever the spelling; a link is removed as a link, never followed.
    const TIniRec *ini = Globale::PConf ? Globale::PConf->PIni : nullptr;
    const bool link = QFileInfo(dir).isSymLink();
    if (dir.isEmpty() || (!link && !QFileInfo(dir).isDir())
        || FileOps::isProtectedDir(dir, ini ? ini->DIRPATH.get() : QString()))
        return sub.report(7, dir, 19);
    // Everything is checked before anything is deleted: a folder that
    // cannot be emptied whole is left whole, and what stands in the way is
    // named.
    QString failed;
    if (!FileOps::deleteFolder(dir, &failed))
        return sub.report(7, failed, failed == dir ? 19 : 11);
    return sub.report(0);
}

} // namespace KIVHelpTools
