#include "project/TopicStore.h"

#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "editing/TextConv.h"
#include "fileops/DosCmd.h"
#include "formats/ProjectFiles.h"
#include "platform/SafeFile.h"
#include "project/KivHelpTools.h"
#include "project/Outline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <exception>
#include <optional>

namespace KIVHelpTools {

namespace {

const char *const kLoadFailed = "Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! ";
const char *const kSaveFailed = "La sauvegarde du projet a échouée ! ";

QString dirOf(const QString &file) { return QFileInfo(file).absolutePath(); }

// Files of `dir` named "T.n" for a topic name T of the outline about to be
// written or of the one on disk, n a number, holding RTF, that are not among
// `keep`: a renumbering left them.
void PRemoveRenumbered(const QString &dir, const QString &projectFile, const QList<Outline::TLine> &lines,
                       const QStringList &keep, Platform::WriteBatch *batch)
{
    QSet<QString> names;
    for (const Outline::TLine &l : lines)
        names.insert(l.text);
    QByteArray old;
    if (Platform::readWholeFile(projectFile, &old))
        for (const Outline::TLine &l : Outline::FParse(old).lines)
            names.insert(l.text);
    const QSet<QString> kept(keep.cbegin(), keep.cend());
    const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        const qsizetype dot = entry.lastIndexOf(u'.');
        if (dot <= 0 || !names.contains(entry.left(dot)))
            continue;
        const QString ext = entry.mid(dot + 1);
        const bool number = !ext.isEmpty() && std::all_of(ext.cbegin(), ext.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const QString path = dir + u'/' + entry;
        if (!number || kept.contains(path) || QFileInfo(path).isSymLink())
            continue;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly) && file.read(5) == "{\\rtf")
            batch->remove(path);
    }
}

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
    return ProjectFiles::FTopicFileName(dir, topicName, position);
}

TErrorContext &FLoadPrjTopics(const QString &projectFile, QTreeWidget *outline, TCREditServer *pool)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjTopics"));
    if (!QFileInfo(projectFile).isFile())
        return sub.report(7, QStringLiteral("No File"), 4);
    if (Outline::FCount(outline) > 0)
        return sub.report(4, QString(), 1);
    TCProject read;
    ProjectFiles::TReadFailure failure;
    if (!ProjectFiles::FReadTopics(projectFile, read, &failure)) {
        PShowError(failure.shown);
        return sub.report(failure.category, failure.msg, failure.code);
    }
    Outline::PAppendLines(outline, read.FLines());
    const int count = Outline::FCount(outline);
    pool->FStop();
    QTreeWidgetItemIterator item(outline);
    for (int n = 1; n <= count; ++n, ++item) {
        TRichEdit *control = nullptr;
        const TErrorContext &got = pool->FGet(control);
        if (got.Category != 0 || !control) {
            PShowError(QString::fromUtf8("Pas assez de mémoire.Le chargement du projet a échoué ! "));
            pool->FFast();
            return sub.report(4, QString(), 2);
        }
        Outline::PSetControl(*item, control);
        TTopic *topic = read.FTopicAt(n);
        RtfText::FReadRtf(*control->document(), topic->FBytes());
        control->document()->setModified(false);
        // As read: the next save need not write it again.
        control->saved = TRichEdit::TWritten{topic->savedFile, control->changeCount(), qint64(topic->FBytes().size())};
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
    // Every file goes in together; the outline file last, once every topic
    // file that it names is in place.
    std::optional<Platform::WriteBatch> own;
    if (!Platform::WriteBatch::current())
        own.emplace();
    Platform::WriteBatch *batch = Platform::WriteBatch::current();
    batch->setLast(projectFile);
    const QString dir = dirOf(projectFile);
    QStringList files;
    QTreeWidgetItemIterator it(outline);
    for (int n = 1; n <= count; ++n, ++it) {
        const QTreeWidgetItem *item = *it;
        const QString file = FTopicFileName(dir, item->text(0), n);
        if (!overwrite && QFileInfo::exists(file))
            return sub.report(7, QStringLiteral("Can't Rewrite ") + file, 5);
        TRichEdit *control = Outline::FControlOf(item);
        if (!control) {
            PShowError(QString::fromUtf8(kSaveFailed));
            return sub.report(7, file, 5);
        }
        // A topic unchanged since it was written to this very file is not
        // written again.
        const bool inPlace = batch->target(file) == QDir::cleanPath(QFileInfo(file).absoluteFilePath());
        if (inPlace && control->saved.file == file && control->saved.change == control->changeCount()
            && QFileInfo(file).size() == control->saved.size) {
            control->pending = control->saved;
        } else {
            const QByteArray rtf = RtfText::FWriteRtf(*control->document());
            QString error;
            if (!Platform::writeFileAtomic(file, rtf, &error)) {
                PShowError(QString::fromUtf8(kSaveFailed) + QStringLiteral("\n") + error);
                return sub.report(7, file, 5);
            }
            control->pending = TRichEdit::TWritten{file, control->changeCount(), rtf.size()};
        }
        files.append(file);
        // A long save keeps the window painted.
        if (n % 50 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    // Topic files of an earlier numbering go with this save: files named
    // after a topic of the project with a number no topic now has.
    if (batch->target(projectFile) == QDir::cleanPath(QFileInfo(projectFile).absoluteFilePath()))
        PRemoveRenumbered(dir, projectFile, Outline::FLinesOf(outline), files, batch);
    QString error;
    if (!Platform::writeFileAtomic(projectFile, Outline::FFormat(Outline::FLinesOf(outline)), &error)
        || (own && !own->commit(&error))) {
        PShowError(QString::fromUtf8(kSaveFailed) + QStringLiteral("\n") + error);
        return sub.report(7, projectFile, 5);
    }
    if (own)
        PMarkTopicsSaved(outline);
    if (collect && fileList)
        fileList->append(files);
    return sub.report(0);
}

void PMarkTopicsSaved(QTreeWidget *outline)
{
    for (QTreeWidgetItemIterator it(outline); *it; ++it)
        if (TRichEdit *control = Outline::FControlOf(*it)) {
            control->saved = control->pending;
            control->pending = {};
        }
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
    const QByteArray rtf = RtfText::FWriteRtf(*control->document());
    if (!Platform::writeFileAtomic(file, rtf))
        return sub.report(7, QStringLiteral("Save topic : ") + file, 5);
    if (auto *edit = const_cast<TRichEdit *>(control))
        edit->saved = TRichEdit::TWritten{file, edit->changeCount(), rtf.size()};
    return sub.report(0);
}

TErrorContext &FDelAllTopics(QTreeWidget *outline)
{
    TSubGuard sub(context(), QStringLiteral("FDelAllTopics"));
    try {
        // Emptied, the outline has no current page to show.
        const QSignalBlocker quiet(outline);
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
