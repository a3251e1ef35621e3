#include "project/TopicStore.h"

#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "helpgen/DosCmd.h"
#include "platform/SafeFile.h"
#include "project/KivHelpTools.h"
#include "project/Outline.h"

#include <QFileInfo>
#include <QTreeWidget>
#include <exception>

namespace KIVHelpTools {

namespace {

const char *const kLoadFailed = "Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! ";
const char *const kSaveFailed = "La sauvegarde du projet a échouée ! ";

QString dirOf(const QString &file) { return QFileInfo(file).absolutePath(); }

} // namespace

void PBindControl(TRichEdit *control, const TDisplayContext &display)
{
    if (!control)
        return;
    QObject::disconnect(control, &QTextEdit::textChanged, nullptr, nullptr);
    QObject::disconnect(control, &QTextEdit::selectionChanged, nullptr, nullptr);
    QObject::disconnect(control, &QTextEdit::cursorPositionChanged, nullptr, nullptr);
    if (display.OnChange)
        QObject::connect(control, &QTextEdit::textChanged, control,
                         [f = display.OnChange, control] { f(control); });
    if (display.OnSelectionChange) {
        QObject::connect(control, &QTextEdit::selectionChanged, control,
                         [f = display.OnSelectionChange, control] { f(control); });
        QObject::connect(control, &QTextEdit::cursorPositionChanged, control,
                         [f = display.OnSelectionChange, control] { f(control); });
    }
    control->onEnter = display.OnEnter;
    control->onKeyDown = display.OnKeyDown;
}

QString FTopicFileName(const QString &dir, const QString &topicName, int position)
{
    return dir + u'/' + topicName + u'.' + QString::number(position);
}

TErrorContext &FLoadPrjTopics(const QString &projectFile, QTreeWidget *outline, TCREditServer *pool)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjTopics"));
    if (!QFileInfo(projectFile).isFile())
        return sub.report(7, QStringLiteral("No File"), 4);
    if (Outline::FCount(outline) > 0)
        return sub.report(4, QString(), 1);
    const QString dir = dirOf(projectFile);
    if (!U_DosCmd::FChDir(dir, QString::fromUtf8("Le changement de répertoire a échoué")))
        return sub.report(7, dir, 16);

    QByteArray bytes;
    const Outline::TParse parsed =
        Platform::readWholeFile(projectFile, &bytes) ? Outline::FParse(bytes) : Outline::TParse{false, 0, {}, {}};
    if (!parsed.ok) {
        PShowError(QString::fromUtf8(kLoadFailed));
        return sub.report(7, projectFile, 4);
    }
    Outline::PAppendLines(outline, parsed.lines);
    const int count = Outline::FCount(outline);
    if (count == 0) {
        PShowError(QString::fromUtf8(kLoadFailed));
        return sub.report(4, QStringLiteral("After loading"), 0);
    }

    pool->FStop();
    for (int n = 1; n <= count; ++n) {
        QTreeWidgetItem *item = Outline::FItemAt(outline, n);
        TRichEdit *control = nullptr;
        const TErrorContext &got = pool->FGet(control);
        if (got.Category != 0 || !control) {
            PShowError(QString::fromUtf8("Pas assez de mémoire.Le chargement du projet a échoué ! "));
            pool->FFast();
            return sub.report(4, QString(), 2);
        }
        Outline::PSetControl(item, control);
        const QString file = FTopicFileName(dir, item->text(0), n);
        QByteArray rtf;
        if (!Platform::readWholeFile(file, &rtf)) {
            PShowError(QString::fromUtf8(kLoadFailed));
            pool->FFast();
            return sub.report(7, file, 4);
        }
        RtfText::FReadRtf(*control->document(), rtf);
        control->document()->setModified(false);
    }
    pool->FFast();
    QTreeWidgetItem *first = Outline::FItemAt(outline, 1);
    first->setExpanded(!first->isExpanded());
    return sub.report(0);
}

TErrorContext &FSavePrjTopics(const QString &projectFile, QTreeWidget *outline, bool overwrite,
                              QStringList *fileList, bool collect)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrjTopics"));
    if (!overwrite && QFileInfo::exists(projectFile))
        return sub.report(7, QStringLiteral("Can't Rewrite ") + projectFile, 5);
    const int count = Outline::FCount(outline);
    if (count == 0)
        return sub.report(4, QStringLiteral("Before Save"), 0);
    if (!Platform::writeFileAtomic(projectFile, Outline::FFormat(Outline::FLinesOf(outline)))) {
        PShowError(QString::fromUtf8(kSaveFailed));
        return sub.report(7, projectFile, 5);
    }
    const QString dir = dirOf(projectFile);
    for (int n = 1; n <= count; ++n) {
        const QTreeWidgetItem *item = Outline::FItemAt(outline, n);
        const QString file = FTopicFileName(dir, item->text(0), n);
        if (!overwrite && QFileInfo::exists(file))
            return sub.report(7, QStringLiteral("Can't Rewrite ") + file, 5);
        const TRichEdit *control = Outline::FControlOf(item);
        if (!control || !Platform::writeFileAtomic(file, RtfText::FWriteRtf(*control->document()))) {
            PShowError(QString::fromUtf8(kSaveFailed));
            return sub.report(7, file, 5);
        }
        if (collect && fileList)
            fileList->append(file);
    }
    return sub.report(0);
}

TErrorContext &FSaveTopic(int position, QTreeWidget *outline, TConfBlock *conf)
{
    TSubGuard sub(context(), QStringLiteral("FSaveTopic"));
    if (Outline::FCount(outline) == 0)
        return sub.report(4, QStringLiteral("Before Save"), 0);
    const QTreeWidgetItem *item = Outline::FItemAt(outline, position);
    if (!item)
        return sub.report(2, QStringLiteral("Position %1").arg(position), 0);
    const TRichEdit *control = Outline::FControlOf(item);
    if (!control || item->text(0).isEmpty())
        return sub.report(8, QStringLiteral("Topic Pt nil OR Text = '' "), 2);
    const QString file = FTopicFileName(conf->PPrj->PrjDir.get(), item->text(0), position);
    if (!Platform::writeFileAtomic(file, RtfText::FWriteRtf(*control->document())))
        return sub.report(7, QStringLiteral("Save topic : ") + file, 5);
    return sub.report(0);
}

TErrorContext &FDelAllTopics(QTreeWidget *outline)
{
    TSubGuard sub(context(), QStringLiteral("FDelAllTopics"));
    try {
        outline->collapseAll();
        for (int n = Outline::FCount(outline); n >= 1; --n) {
            QTreeWidgetItem *item = Outline::FItemAt(outline, n);
            delete Outline::FControlOf(item);
            delete item;
        }
        outline->viewport()->update();
    } catch (const std::exception &e) {
        return sub.report(8, QString::fromLocal8Bit(e.what()), 4);
    }
    return sub.report(0);
}

} // namespace KIVHelpTools
