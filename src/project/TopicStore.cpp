#include "project/TopicStore.h"

#include "editing/REditServ.h"
#include "editing/OutlineView.h"
#include "editing/RtfText.h"
#include "formats/TextConv.h"
#include "fileops/DosCmd.h"
#include "formats/OutlineFile.h"
#include "formats/ProjectFiles.h"
#include "platform/FolderChanges.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QUndoStack>
#include <algorithm>
#include <exception>
#include <optional>

namespace KIVHelpTools {

namespace {

const char *const kLoadFailed = "Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! ";
const char *const kSaveFailed = "La sauvegarde du projet a échoué ! ";

QString dirOf(const QString &file) { return QFileInfo(file).absolutePath(); }

// The project folder's changes since the topics were last saved.
Platform::FolderChanges g_topicFiles;

// A name of the form "T.n", n a number: a topic's file.
bool numbered(const QString &entry)
{
    const qsizetype dot = entry.lastIndexOf(u'.');
    return dot > 0 && dot + 1 < entry.size()
           && std::all_of(entry.cbegin() + dot + 1, entry.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

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
    for (const QString &entry : Platform::entryNames(dir)) {
        const qsizetype dot = entry.lastIndexOf(u'.');
        if (dot <= 0 || !names.contains(entry.left(dot)))
            continue;
        const QString path = dir + u'/' + entry;
        if (!numbered(entry) || kept.contains(path) || QFileInfo(path).isSymLink())
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
    // The handlers hang on a context object of their own, replaced at each
    // binding; the editor's other connections (spelling) stay.
    delete control->findChild<QObject *>(QStringLiteral("DisplayBinding"), Qt::FindDirectChildrenOnly);
    auto *binding = new QObject(control);
    binding->setObjectName(QStringLiteral("DisplayBinding"));
    const TOutlineView *outline = display.OutlineHelp;
    // Showing another topic's text is no change of it.
    const auto quiet = [outline] { return outline && outline->showing(); };
    if (display.OnChange)
        QObject::connect(control, &QTextEdit::textChanged, binding, [f = display.OnChange, control, quiet] {
            if (!quiet())
                f(control);
        });
    if (display.OnSelectionChange) {
        QObject::connect(control, &QTextEdit::selectionChanged, binding,
                         [f = display.OnSelectionChange, control] { f(control); });
        QObject::connect(control, &QTextEdit::cursorPositionChanged, binding,
                         [f = display.OnSelectionChange, control] { f(control); });
    }
    control->onEnter = display.OnEnter;
    control->onKeyDown = display.OnKeyDown;
}

QString FTopicFileName(const QString &dir, const QString &topicName, int position)
{
    return ProjectFiles::FTopicFileName(dir, topicName, position);
}

TErrorContext &FLoadPrjTopics(const QString &projectFile, TOutlineView *outline)
{
    TSubGuard sub(context(), QStringLiteral("FLoadPrjTopics"));
    if (!QFileInfo(projectFile).isFile())
        return sub.report(7, QStringLiteral("No File"), 4);
    TCProject *project = outline->project();
    if (project->FCount() > 0)
        return sub.report(4, QString(), 1);
    const QStringList commands = project->commands;
    ProjectFiles::TReadFailure failure;
    if (!ProjectFiles::FReadTopics(projectFile, *project, &failure)) {
        project->PClear();
        project->commands = commands;
        PShowError(failure.shown);
        return sub.report(failure.category, failure.msg, failure.code);
    }
    project->commands = commands;
    project->outlineChanged = false;
    outline->undoStack()->clear();
    TTopic *first = project->FTopicAt(1);
    outline->setCurrentItem(first);
    outline->expand(project->FIndexOf(first));
    return sub.report(0);
}

TErrorContext &FSavePrjTopics(const QString &projectFile, TCProject *project, bool overwrite,
                              QStringList *fileList, bool collect)
{
    TSubGuard sub(context(), QStringLiteral("FSavePrjTopics"));
    if (!overwrite && QFileInfo::exists(projectFile))
        return sub.report(7, QStringLiteral("Can't Rewrite ") + projectFile, 5);
    const int count = project->FCount();
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
    const Platform::FolderStamps onDisk(dir);
    // Files of the folder that changed since the last save: only they are
    // looked at again.
    QSet<QString> changed;
    const bool watched = g_topicFiles.changes(dir, &changed);
    QStringList files;
    for (int n = 1; n <= count; ++n) {
        TTopic *topic = project->FTopicAt(n);
        const QString file = FTopicFileName(dir, topic->name, n);
        const QString entry = file.mid(dir.size() + 1);
        qint64 size = -1;
        if (!overwrite && onDisk.stamp(entry, &size))
            return sub.report(7, QStringLiteral("Can't Rewrite ") + file, 5);
        const QByteArray &rtf = topic->FBytes();
        // A topic unchanged since it was written to this very file (and the
        // file as it was then) is not written again.
        const bool inPlace = batch->target(file) == QDir::cleanPath(file);
        const bool same = !topic->FChangedSince(file)
                          && (watched ? !changed.contains(entry) : onDisk.stamp(entry, &size) && size == rtf.size());
        if (!inPlace || !same) {
            QString error;
            if (!Platform::writeFileAtomic(file, rtf, &error)) {
                PShowError(QString::fromUtf8(kSaveFailed) + QStringLiteral("\n") + error);
                return sub.report(7, file, 5);
            }
        }
        topic->PMarkPending(file, topic->revision());
        files.append(file);
    }
    // Topic files of an earlier numbering go with this save: files named
    // after a topic of the project with a number no topic now has.
    const QList<Outline::TLine> lines = project->FLines();
    // (Looked for after a change of the outline, or when the folder may
    // have changed unseen.)
    if (batch->target(projectFile) == QDir::cleanPath(QFileInfo(projectFile).absoluteFilePath())
        && (!watched || project->outlineChanged
            || std::any_of(changed.cbegin(), changed.cend(), [](const QString &entry) { return numbered(entry); })))
        PRemoveRenumbered(dir, projectFile, lines, files, batch);
    QString error;
    if (!Platform::writeFileAtomic(projectFile, Outline::FFormat(lines), &error) || (own && !own->commit(&error))) {
        PShowError(QString::fromUtf8(kSaveFailed) + QStringLiteral("\n") + error);
        return sub.report(7, projectFile, 5);
    }
    if (own)
        PMarkTopicsSaved(project);
    if (collect && fileList)
        fileList->append(files);
    return sub.report(0);
}

void PMarkTopicsSaved(TCProject *project)
{
    // The files are now as the topics record them.
    g_topicFiles.settle();
    for (int n = 1, count = project->FCount(); n <= count; ++n)
        project->FTopicAt(n)->PCommitPending();
    project->outlineChanged = false;
}

TErrorContext &FSaveTopic(int position, TCProject *project, TConfBlock *conf)
{
    TSubGuard sub(context(), QStringLiteral("FSaveTopic"));
    if (project->FCount() == 0)
        return sub.report(4, QStringLiteral("Before Save"), 0);
    TTopic *topic = project->FTopicAt(position);
    if (!topic)
        return sub.report(2, QStringLiteral("Position %1").arg(position), 0);
    if (topic->name.isEmpty())
        return sub.report(8, QStringLiteral("Topic Pt nil OR Text = '' "), 2);
    const QString file = FTopicFileName(conf->PPrj->PrjDir.get(), topic->name, position);
    if (!Platform::writeFileAtomic(file, topic->FBytes()))
        return sub.report(7, QStringLiteral("Save topic : ") + file, 5);
    topic->PMarkSaved(file, topic->revision());
    return sub.report(0);
}

TErrorContext &FDelAllTopics(TOutlineView *outline)
{
    TSubGuard sub(context(), QStringLiteral("FDelAllTopics"));
    // Emptied, the outline has no current page to show.
    const QSignalBlocker quiet(outline);
    outline->undoStack()->clear();
    const QStringList commands = outline->project()->commands;
    outline->project()->PClear();
    outline->project()->commands = commands;
    return sub.report(0);
}

} // namespace KIVHelpTools
