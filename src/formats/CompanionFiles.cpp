#include "formats/CompanionFiles.h"

#include "formats/CommandFile.h"

#include "config/ConfFile.h"
#include "platform/Cp1252.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"

#include <QCollator>
#include <QFileInfo>
#include <exception>

namespace KIVHelpTools {

TErrorContext &FLoadPrjConf(const QString &fileName, int index, TCConfFile *conf)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjConf"));
    conf->FReadConfFile(fileName, index);
    return sub.report(0);
}

TErrorContext &FSavePrjConf(const QString &fileName, int index, TCConfFile *conf)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrjConf"));
    void *pt = nullptr;
    if (!conf->FGetPt(index, &pt))
        return sub.report(8, QStringLiteral("PrjConf.FGetPt"), 2);
    if (!conf->FWriteConfFile(fileName, index))
        return sub.report(7, fileName, 5);
    return sub.report(0);
}

TErrorContext &FLoadPrjFonts(const QString &fileName, int index, TCConfFile *conf)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjFonts"));
    conf->FReadConfFile(fileName, index);
    return sub.report(0);
}

TErrorContext &FSavePrjFonts(const QString &fileName, int index, TCConfFile *conf)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrjFonts"));
    if (!conf->FWriteConfFile(fileName, index))
        return sub.report(7, fileName, 5);
    return sub.report(0);
}

TErrorContext &FLoadPrjCmds(const QString &fileName, QStringList *commands)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjCmds"));
    if (!QFileInfo(fileName).isFile())
        return sub.report(7, QStringLiteral("No File"), 4);
    QByteArray bytes;
    if (!Platform::readWholeFile(fileName, &bytes)) {
        sub.report(7, fileName, 4);
        PShowError(QString::fromUtf8("Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! "));
        return context();
    }
    *commands = FSplitCmdLines(bytes);
    return sub.report(0);
}

TErrorContext &FSavePrjCmds(const QString &fileName, const QStringList &commands, bool overwrite)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrjCmds"));
    if (!overwrite && QFileInfo::exists(fileName))
        return sub.report(7, QStringLiteral("Can't Rewrite ") + fileName, 5);
    if (!Platform::writeFileAtomic(fileName, FJoinCmdLines(commands))) {
        PShowError(QString::fromUtf8("La sauvegarde du projet a échoué ! "));
        return sub.report(7, fileName, 5);
    }
    return sub.report(0);
}

TErrorContext &FGetBmpNames(const QString &fileName, QStringList &list)
{
    TSubGuard sub(context(), QStringLiteral("FGetBmpNames"));
    try {
        // The command file may be one that the current save has staged.
        if (!Platform::isFileOrStaged(fileName)) {
            list.clear();
            return sub.report(0);
        }
        QByteArray bytes;
        if (!Platform::readWholeFile(fileName, &bytes))
            return sub.report(2, fileName, 0);
        PAddBmpNames(FSplitCmdLines(bytes), list);
    } catch (const std::exception &e) {
        return sub.report(2, QString::fromLocal8Bit(e.what()), 0);
    }
    return sub.report(0);
}

} // namespace KIVHelpTools
