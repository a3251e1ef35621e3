#include "project/Recovery.h"

#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "fileops/PrjFolder.h"
#include "platform/SafeFile.h"
#include "project/Outline.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTreeWidget>

namespace KIVHelpTools {

namespace {

// What was last written for each topic control, so that a topic unchanged
// since is not converted again.
struct TCopy {
    QString file;
    quint64 change = 0;
};
QHash<const TRichEdit *, TCopy> g_copies;
int g_next = 1;

QString recoveryDir(const QString &projectDir, const QString &name)
{
    return FileOps::foldersOf(projectDir, name).state + QStringLiteral("/recovery");
}

} // namespace

bool FChangedSinceSave(const TRichEdit *control)
{
    if (!control)
        return false;
    return control->saved.file.isEmpty() ? control->document()->isModified()
                                         : control->changeCount() != control->saved.change;
}

bool FWriteRecovery(const TConfBlock *conf, QTreeWidget *outline)
{
    if (!conf || conf->PPrj->PrjState == PrjNone || conf->PPrj->PrjDir.get().isEmpty())
        return true;
    const QString projectDir = conf->PPrj->PrjDir.get(), name = conf->PPrj->PrjName.get();
    const QString dir = recoveryDir(projectDir, name);
    QByteArray manifest;
    QStringList keep{QStringLiteral("manifest")};
    Platform::WriteBatch batch;
    QList<QPair<const TRichEdit *, quint64>> written;
    const int count = Outline::FCount(outline);
    for (int n = 1; n <= count; ++n) {
        const QTreeWidgetItem *item = Outline::FItemAt(outline, n);
        const TRichEdit *control = Outline::FControlOf(item);
        if (!FChangedSinceSave(control))
            continue;
        if (manifest.isEmpty() && !QDir().mkpath(dir))
            return false;
        TCopy &copy = g_copies[control];
        const bool fresh = copy.file.isEmpty();
        if (fresh)
            copy.file = QStringLiteral("r%1.rtf").arg(g_next++);
        if (fresh || copy.change != control->changeCount() || !QFileInfo::exists(dir + u'/' + copy.file)) {
            if (!Platform::writeFileAtomic(dir + u'/' + copy.file, RtfText::FWriteRtf(*control->document())))
                return false;
            written << qMakePair(control, control->changeCount());
        }
        keep << copy.file;
        manifest += copy.file.toUtf8() + '\t' + item->text(0).toUtf8() + '\n';
    }
    if (manifest.isEmpty()) {
        if (QFileInfo::exists(dir))
            PRemoveRecovery(projectDir, name);
        return true;
    }
    const QString manifestFile = dir + QStringLiteral("/manifest");
    batch.setLast(manifestFile);
    QString error;
    if (!Platform::writeFileAtomic(manifestFile, manifest, &error) || !batch.commit(&error))
        return false;
    // Only copies that reached the disk count as written.
    for (const auto &[control, change] : std::as_const(written))
        g_copies[control].change = change;
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
    // The manifest first: a copy without it is no copy.
    QFile::remove(dir + QStringLiteral("/manifest"));
    FileOps::deleteTree(dir);
}

QList<TRecovered> FReadRecovery(const QString &projectDir, const QString &name, QDateTime *when)
{
    const QString dir = recoveryDir(projectDir, name);
    QByteArray manifest;
    if (!Platform::readWholeFile(dir + QStringLiteral("/manifest"), &manifest))
        return {};
    if (when)
        *when = QFileInfo(dir + QStringLiteral("/manifest")).lastModified();
    QList<TRecovered> out;
    for (const QByteArray &line : manifest.split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            continue;
        const QString file = QString::fromUtf8(line.left(tab));
        if (file.contains(u'/') || file.startsWith(u'.'))
            continue;
        TRecovered r;
        r.name = QString::fromUtf8(line.mid(tab + 1));
        if (!r.name.isEmpty() && Platform::readWholeFile(dir + u'/' + file, &r.rtf))
            out << r;
    }
    return out;
}

} // namespace KIVHelpTools
