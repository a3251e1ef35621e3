#include "project/PrjLife.h"

#include "editing/REditServ.h"
#include "editing/TextConv.h"
#include "helpgen/DosCmd.h"
#include "helpgen/HelpSources.h"
#include "helpgen/WaitFor.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "project/KivHelpTools.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "project/PrjFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTreeWidget>

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
    const QString path = cleanPath(dir);
    if (path == QLatin1String("/") || path == cleanPath(QDir::homePath()))
        return false;
    if (ini && path == cleanPath(ini->DIRPATH.get()))
        return false;
    QString last = QFileInfo(path).fileName();
    if (last.compare(projectName, Qt::CaseInsensitive) == 0
        || last.compare(projectName + QStringLiteral(".OLD"), Qt::CaseInsensitive) == 0)
        return true;
    // A folder named after the outline file it holds is a project's too.
    if (last.endsWith(QStringLiteral(".OLD"), Qt::CaseInsensitive))
        last.chop(4);
    return QFileInfo::exists(Platform::resolveCase(path + u'/' + last + QStringLiteral(".PRJ")));
}

TErrorContext &FCreatePrj(const QString &name, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FCreatePrj"));
    progress(display, QString::fromUtf8("Essaye de créer le projet "));
    const QString n = TextConv::FCleanTopicName(name);
    const QString d = conf->PIni->DIRPATH.get();
    const QString p = d + n, c = p + QStringLiteral(".COM"), o = p + QStringLiteral(".OLD");
    const QString failed = QString::fromUtf8("La création du projet a échouée ! ");
    for (const QString &existing : {p, o}) {
        if (QFileInfo::exists(existing)) {
            progress(display, failed);
            PShowError(failed + QString::fromUtf8(".Ce PROJET existe déjà !"));
            return sub.report(7, existing, 14);
        }
    }
    const QString mkFail = QString::fromUtf8("La création du répertoire a échouée");
    if (!U_DosCmd::FMkDir(p, mkFail))
        return fail(sub, conf, 7, p, 17);
    if (!QFileInfo(c).isDir() && !U_DosCmd::FMkDir(c, mkFail))
        return fail(sub, conf, 7, c, 17);

    auto *item = new QTreeWidgetItem(QStringList{n});
    display.OutlineHelp->addTopLevelItem(item);
    TRichEdit *control = nullptr;
    if (!U_REditServ::FCreateRichEdit(control, 45000, conf->WinFntList, display.PanelHelp, display.MainWindow)) {
        progress(display, failed);
        PShowError(QString::fromUtf8("Pas assez de mémoire.La création de la page a échouée ! "));
        return sub.report(8, QStringLiteral("FCreateRichEdit"), 3);
    }
    PBindControl(control, display);
    Outline::PSetControl(item, control);
    display.OutlineHelp->setCurrentItem(item);
    control->show();

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

TErrorContext &FLoadPrj(const QString &projectFile, TCREditServer *pool, const TDisplayContext &display,
                        TConfBlock *conf, TCConfFile *prjConf)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrj"));
    progress(display, QStringLiteral("Essaye de charger le projet "));
    if (!QFileInfo(projectFile).isFile())
        return fail(sub, conf, 7, QStringLiteral("No File: ") + projectFile, 4);
    const QString p = dirOf(projectFile);
    const QString c = p + QStringLiteral(".COM");
    if (!QFileInfo(c).isDir() && !U_DosCmd::FMkDir(c, QString::fromUtf8("La création du répertoire a échouée")))
        return fail(sub, conf, 7, c, 17);

    const QString cfg = FChangeExt(projectFile, QStringLiteral(".CFG"));
    const QString fnt = FChangeExt(projectFile, QStringLiteral(".FNT"));
    const QString cde = FChangeExt(projectFile, QStringLiteral(".CDE"));
    progress(display, QStringLiteral("Charge configuration du projet "));
    if (FLoadPrjConf(cfg, 0, prjConf).Category != 0)
        return fail(sub, conf, 7, cfg, 4);
    progress(display, QStringLiteral("Charge les polices du projet "));
    if (FLoadPrjFonts(fnt, 0, Globale::VGGIniPrjFonts).Category != 0)
        return fail(sub, conf, 7, fnt, 4);
    progress(display, QStringLiteral("Charge les Macros du projet "));
    if (FLoadPrjCmds(cde, display.CdesMemo).Category != 0)
        return fail(sub, conf, 7, cde, 4);
    progress(display, QStringLiteral("Charge les Pages du projet "));
    const TErrorContext &topics = FLoadPrjTopics(projectFile, display.OutlineHelp, pool);
    if (topics.Category != 0) {
        const QString msg = topics.Msg;
        return fail(sub, conf, 7, msg, 4);
    }
    const int count = Outline::FCount(display.OutlineHelp);
    for (int n = 1; n <= count; ++n) {
        TRichEdit *control = Outline::FControlOf(Outline::FItemAt(display.OutlineHelp, n));
        if (!control)
            return fail(sub, conf, 8, QStringLiteral("TRichEdit"), 2);
        PBindControl(control, display);
    }
    QTreeWidgetItem *first = Outline::FItemAt(display.OutlineHelp, 1);
    display.OutlineHelp->setCurrentItem(first);
    Outline::FControlOf(first)->show();

    TPrjRec *prj = conf->PPrj;
    prj->PrjDir.set(p);
    prj->PrjComDir.set(c);
    prj->PrjName.set(first->text(0));
    prj->PrjFile.set(p + u'/' + prj->PrjName.get() + QStringLiteral(".PRJ"));
    progress(display, QString::fromUtf8("Projet chargé "));
    prj->PrjState = PrjOpened;
    prj->PrjSaveCount = 0;
    return sub.report(0);
}

TErrorContext &FSavePrj(const QString &projectFile, TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrj"));
    TPrjRec *prj = conf->PPrj;
    const QString p = dirOf(projectFile);
    const QString o = p + QStringLiteral(".OLD");
    const QString saveFailed = QString::fromUtf8("La sauvegarde du projet a échouée ! ");

    if (prj->PrjSaveCount >= conf->PIni->BACKUP_PERIOD) {
        const QString name = QFileInfo(projectFile).completeBaseName();
        if (!FIsOwnProjectDir(p, name, conf->PIni)) {
            // Moving a folder that is not the project's own (a home folder)
            // would take everything in it along: no backup then.
            Platform::prompts().warning(QString::fromUtf8("Pas de sauvegarde de secours : le répertoire ") + p
                                        + QString::fromUtf8(" n'est pas celui du projet ") + name
                                        + QStringLiteral("."));
            prj->PrjSaveCount = 0;
        } else {
            Platform::prompts().plain(QStringLiteral("Backup ... "));
            prj->PrjSaveCount = 0;
            if (QFileInfo::exists(o) && FDelPrjDir(o).Category != 0) {
                PShowError(QString::fromUtf8("L'effacement du répertoire a échoué !"));
                PShowError(QStringLiteral("Si WinHelp.exe utilise ce projet, veuillez le fermer !"));
                return fail(sub, conf, 7, o, 19);
            }
            QDir().rename(p, o);
            if (!U_DosCmd::FMkDir(p, QString::fromUtf8("La création du répertoire a échouée.") + saveFailed))
                return fail(sub, conf, 7, p, 17);
        }
    }
    if (!U_DosCmd::FChDir(p, QString::fromUtf8("Le répertoire n'existe pas.") + saveFailed))
        return fail(sub, conf, 7, p, 16);
    const QString cfg = FChangeExt(projectFile, QStringLiteral(".CFG"));
    if (FSavePrjConf(cfg, 0, Globale::VGGIniPrj).Category != 0)
        return fail(sub, conf, 7, cfg, 5);
    const QString fnt = FChangeExt(projectFile, QStringLiteral(".FNT"));
    conf->PPrjFonts->NbTopics = static_cast<quint16>(Outline::FCount(display.OutlineHelp));
    if (FSavePrjFonts(fnt, 0, Globale::VGGIniPrjFonts).Category != 0)
        return fail(sub, conf, 7, fnt, 5);

    QStringList topicFiles;
    progress(display, QStringLiteral("Sauvegarde le projet "));
    if (FSavePrjTopics(projectFile, display.OutlineHelp, true, &topicFiles, true).Category != 0)
        return fail(sub, conf, 7, projectFile, 5);
    const QString cde = FChangeExt(projectFile, QStringLiteral(".CDE"));
    if (FSavePrjCmds(cde, display.CdesMemo, true).Category != 0)
        return fail(sub, conf, 7, cde, 5);
    QStringList bitmaps;
    if (FGetBmpNames(cde, bitmaps).Category != 0)
        return fail(sub, conf, 4, QStringLiteral("FGetBmpNames FAIL !"), 0);
    const QString hpj = FChangeExt(projectFile, QStringLiteral(".HPJ"));
    if (FCreateHpjFile(hpj, conf->PIni, prj, bitmaps, topicFiles).Category != 0)
        return fail(sub, conf, 7, hpj, 6);
    if (conf->PIni->CREATE_CNT) {
        const QString cnt = FChangeExt(projectFile, QStringLiteral(".CNT"));
        if (FCreateCntFile(cnt, topicFiles).Category != 0)
            return fail(sub, conf, 7, cnt, 6);
    }
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
    if (!U_DosCmd::FChDir(dir, QString::fromUtf8("Le changement vers le répertoire du Projet a échoué !"))) {
        progress(display, QString::fromUtf8("La mise à jour du projet a échouée ! "));
        PShowError(QString::fromUtf8("Veuillez vérifier le répertoire du projet !"));
        return sub.report(7, dir, 16);
    }
    progress(display, QString::fromUtf8("Mise à jour du projet"));
    const int count = Outline::FCount(display.OutlineHelp);
    for (int n = 1; n <= count; ++n) {
        if (display.WaitFor)
            display.WaitFor->PStepWait();
        if (display.CompileMemo)
            display.CompileMemo->clear();
        const QString prefix = FTitlePrefix(conf->PPrjFonts, n, sameTitleFont);
        const QString name = Outline::FItemAt(display.OutlineHelp, n)->text(0);
        if (FTopic2RTF(dir, name, QStringLiteral("T%1.rtf").arg(n), n, addTitle, prefix, display.CompileMemo,
                       display.CdesMemo)
                .Category != 0)
            return fail(sub, conf, 4, QString(), 6);
    }
    progress(display, QString::fromUtf8("Projet mis à jour "));
    prj->PrjState = PrjConverted;
    return sub.report(0);
}

TErrorContext &FClosePrj(TConfBlock *conf, const TDisplayContext &display)
{
    TSubGuard sub(context(), QStringLiteral("FClosePrj"));
    progress(display, QStringLiteral("Ferme le Projet "));
    if (display.OutlineHelp && Outline::FCount(display.OutlineHelp) > 0)
        FDelAllTopics(display.OutlineHelp);
    if (display.CompileMemo)
        display.CompileMemo->clear();
    if (display.CdesMemo)
        display.CdesMemo->clear();
    progress(display, QString::fromUtf8("Projet fermé"));
    conf->PPrj->PrjState = PrjNone;
    const QString d = conf->PIni->DIRPATH.get();
    if (!U_DosCmd::FChDir(d, QString::fromUtf8("Le changement vers le répertoire du Projet a échoué !")))
        return fail(sub, conf, 7, d, 16);
    return sub.report(0);
}

TErrorContext &FDelPrjDir(const QString &dir)
{
    TSubGuard sub(context(), QStringLiteral("FDelPrjDir"));
    const QString path = cleanPath(dir);
    // Never empty the root, the home folder or the program directory.
    const TIniRec *ini = Globale::PConf ? Globale::PConf->PIni : nullptr;
    if (dir.isEmpty() || path == QLatin1String("/") || path == cleanPath(QDir::homePath())
        || (ini && path == cleanPath(ini->DIRPATH.get())))
        return sub.report(7, dir, 19);
    for (const QString &name : U_DosCmd::FFileList(dir + QStringLiteral("/*.*"))) {
        if (name == QLatin1String(".") || name == QLatin1String(".."))
            continue;
        const QString file = dir + u'/' + name;
        if (!U_DosCmd::FDelFile(file, QString()))
            return sub.report(7, file, 11);
    }
    if (!QDir().rmdir(dir))
        return sub.report(7, dir, 19);
    return sub.report(0);
}

} // namespace KIVHelpTools
