#include "project/Recovery.h"

#include "model/Project.h"
#include "fileops/PrjFolder.h"
#include "formats/CommandFile.h"
#include "formats/ProjectFiles.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>

namespace KIVHelpTools {

namespace {

// What was last written for each topic, so that a topic unchanged since is
// not written again.
struct TCopy {
    QString file;
    quint64 change = 0;
};
QHash<const TTopic *, TCopy> g_copies;
int g_next = 1;

QString recoveryDir(const QString &projectDir, const QString &name)
{
    return FileOps::foldersOf(projectDir, name).state + QStringLiteral("/recovery");
}

// True when `path` is a link (to anything, or to nothing).
bool isLink(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The recovery folder as a real folder of the state folder: a link put in
// its place (or in the state folder's) is taken away, never followed, so
// that no write or removal reaches where it points.
bool realRecoveryDir(const QString &dir)
{
    const QString state = QFileInfo(dir).absolutePath();
    for (const QString &path : {state, dir})
        if (isLink(path) && !QFile::remove(path))
            return false;
    return QDir().mkpath(dir) && !isLink(state) && !isLink(dir);
}

// True when the copy can be read: the folder and the state folder are real
// folders.
bool readableRecoveryDir(const QString &dir)
{
    return !isLink(dir) && !isLink(QFileInfo(dir).absolutePath()) && QFileInfo(dir).isDir();
}

} // namespace

bool FChangedSinceSave(const TTopic *topic)
{
    return topic && (topic->savedFile.isEmpty() || topic->FChangedSince(topic->savedFile));
}

bool FWriteRecovery(const TConfBlock *conf, TCProject *project)
{
    if (!conf || conf->PPrj->PrjState == PrjNone || conf->PPrj->PrjDir.get().isEmpty())
        return true;
    const QString projectDir = conf->PPrj->PrjDir.get(), name = conf->PPrj->PrjName.get();
    const QString dir = recoveryDir(projectDir, name);
    QByteArray manifest;
    QStringList keep{QStringLiteral("manifest")};
    Platform::WriteBatch batch;
    QList<QPair<const TTopic *, quint64>> written;
    const int count = project->FCount();
    for (int n = 1; n <= count; ++n) {
        TTopic *topic = project->FTopicAt(n);
        if (!FChangedSinceSave(topic))
            continue;
        if (manifest.isEmpty() && !realRecoveryDir(dir))
            return false;
        const QByteArray &rtf = topic->FBytes();
        TCopy &copy = g_copies[topic];
        const bool fresh = copy.file.isEmpty();
        if (fresh)
            copy.file = QStringLiteral("r%1.rtf").arg(g_next++);
        if (fresh || copy.change != topic->revision() || !QFileInfo::exists(dir + u'/' + copy.file)) {
            if (!Platform::writeFileAtomic(dir + u'/' + copy.file, rtf))
                return false;
            written << qMakePair(static_cast<const TTopic *>(topic), topic->revision());
        }
        keep << copy.file;
        manifest += copy.file.toUtf8() + '\t' + topic->name.toUtf8() + '\n';
    }
    // The command lines and keywords, while they differ from the saved ones.
    if (project->outlineChanged) {
        if (manifest.isEmpty() && !realRecoveryDir(dir))
            return false;
        const QPair<QString, QByteArray> parts[] = {{QStringLiteral("commands"), CommandFile::FJoinCmdLines(project->commands)},
                                                    {QStringLiteral("keywords"), ProjectFiles::FKeywordsBytes(*project)}};
        for (const auto &[file, bytes] : parts) {
            if (!Platform::writeFileAtomic(dir + u'/' + file, bytes))
                return false;
            keep << file;
            manifest += '+' + file.toUtf8() + '\n';
        }
    }
    if (manifest.isEmpty()) {
        if (QFileInfo::exists(dir) || isLink(dir))
            PRemoveRecovery(projectDir, name);
        return true;
    }
    if (!realRecoveryDir(dir))
        return false;
    const QString manifestFile = dir + QStringLiteral("/manifest");
    batch.setLast(manifestFile);
    QString error;
    if (!Platform::writeFileAtomic(manifestFile, manifest, &error) || !batch.commit(&error))
        return false;
    // Only copies that reached the disk count as written.
    for (const auto &[topic, change] : std::as_const(written))
        g_copies[topic].change = change;
    // Copies of topics since saved or deleted.
    const QStringList names = QDir(dir).entryList(QDir::Files);
    for (const QString &file : names)
        if (!keep.contains(file) && !Platform::isTempName(file))
            QFile::remove(dir + u'/' + file);
    return true;
}

void PRemoveRecovery(const QString &projectDir, const QString &name)
{
    g_copies.clear();
    if (projectDir.isEmpty())
        return;
    const QString dir = recoveryDir(projectDir, name);
    // A link in the folder's place goes, alone: what it points to stays.
    if (isLink(QFileInfo(dir).absolutePath()))
        return;
    if (isLink(dir)) {
        QFile::remove(dir);
        return;
    }
    // The manifest first: a copy without it is no copy.
    QFile::remove(dir + QStringLiteral("/manifest"));
    FileOps::deleteTree(dir);
}

QList<TRecovered> FReadRecovery(const QString &projectDir, const QString &name, QDateTime *when, TRecoveredProject *project)
{
    const QString dir = recoveryDir(projectDir, name);
    QByteArray manifest;
    if (!readableRecoveryDir(dir) || !Platform::readWholeFile(dir + QStringLiteral("/manifest"), &manifest))
        return {};
    if (when)
        *when = QFileInfo(dir + QStringLiteral("/manifest")).lastModified();
    QList<TRecovered> out;
    for (const QByteArray &line : manifest.split('\n')) {
        QByteArray bytes;
        if (project && line == "+commands" && Platform::readWholeFile(dir + QStringLiteral("/commands"), &bytes)) {
            project->hasCommands = true;
            project->commands = CommandFile::FSplitCmdLines(bytes);
        } else if (project && line == "+keywords" && Platform::readWholeFile(dir + QStringLiteral("/keywords"), &bytes)) {
            project->hasKeywords = true;
            project->keywords = bytes;
        }
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        const QString file = QString::fromUtf8(line.left(tab));
        if (file.contains(u'/') || file.startsWith(u'.'))
            continue;
        TRecovered r;
        r.name = QString::fromUtf8(line.mid(tab + 1));
        if (!r.name.isEmpty() && Platform::readWholeFile(dir + u'/' + file, &r.rtf)) {
            r.copied = QFileInfo(dir + u'/' + file).lastModified();
            // Only a topic's text (RTF) is taken back, never bytes of another kind.
            r.isRtf = r.rtf.startsWith("{\\rtf");
            out << r;
        }
    }
    return out;
}

} // namespace KIVHelpTools
