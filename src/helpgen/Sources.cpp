#include "helpgen/Sources.h"

#include "fileops/PrjFolder.h"
#include "formats/ProjectFiles.h"
#include "helpgen/HelpSources.h"
#include "platform/FolderChanges.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "formats/CompanionFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <optional>
#include <thread>
#include <vector>

namespace Build {

namespace {

// Up to this many sources rewritten are replaced whole, more in place.
constexpr size_t kFewSources = 16;

// The project folder's changes since the list of sources was last written.
Platform::FolderChanges g_sourceFiles;

// What each T<n>.rtf was made from, and the size and time it had then.
struct TMade {
    QByteArray digest;
    qint64 size = -1;
    qint64 mtimeNs = -1;
};

QString cacheFileOf(const QString &projectFile)
{
    const QFileInfo info(projectFile);
    return FileOps::foldersOf(info.absolutePath(), info.completeBaseName()).state + QStringLiteral("/sources");
}

QHash<QString, TMade> readCache(const QString &file)
{
    QHash<QString, TMade> made;
    QByteArray bytes;
    if (!Platform::readWholeFile(file, &bytes))
        return made;
    for (const QByteArray &line : bytes.split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() == 4)
            made.insert(QString::fromUtf8(f[0]), TMade{f[1], f[2].toLongLong(), f[3].toLongLong()});
    }
    return made;
}

// The command lines a topic names through its markers ("@_n_"), and those
// that these name in turn; -1 when a number cannot be read (then every line
// counts).
QList<int> namedCommands(const QByteArray &topic, const QStringList &commands)
{
    QSet<int> seen;
    QList<int> order;
    QList<QByteArray> todo{topic};
    while (!todo.isEmpty()) {
        const QByteArray text = todo.takeLast();
        for (qsizetype p = text.indexOf("@_"); p >= 0; p = text.indexOf("@_", p + 2)) {
            const qsizetype end = text.indexOf('_', p + 2);
            bool ok = false;
            const int n = end < 0 ? -1 : text.mid(p + 2, end - p - 2).toInt(&ok);
            if (!ok)
                return {-1};
            if (n < 0 || n >= commands.size() || seen.contains(n))
                continue;
            seen.insert(n);
            order.append(n);
            todo.append(commands[n].toUtf8());
        }
    }
    std::sort(order.begin(), order.end());
    return order;
}

// A key of what goes into a source: 128 bits of two seeded hashes (a cache
// key, not a signature: it only has to tell a changed input).
struct TKey {
    size_t a = 0x6b697668, b = 0x68656c70;
    void add(QByteArrayView bytes)
    {
        a = qHash(bytes, a) ^ size_t(bytes.size());
        b = qHash(bytes, b + 0x9e3779b9);
    }
    void add(QStringView text) { add(QByteArrayView(reinterpret_cast<const char *>(text.data()), text.size() * 2)); }
    QByteArray hex() const
    {
        return QByteArray::number(quint64(a), 16).rightJustified(16, '0') + QByteArray::number(quint64(b), 16).rightJustified(16, '0');
    }
};

QByteArray digestOf(const QByteArray &topic, const QStringList &commands, const QString &name, int number,
                    bool addTitle, const QString &prefix, const QString &font, const QString &keywords)
{
    TKey k;
    k.add(QByteArrayView("3")); // the source's layout; raise when the conversion changes
    k.add(QByteArray::number(number));
    k.add(name);
    k.add(keywords);
    k.add(QByteArrayView(addTitle ? "t" : "-"));
    k.add(prefix);
    k.add(font);
    k.add(topic);
    const QList<int> named = namedCommands(topic, commands);
    if (named == QList<int>{-1}) {
        for (const QString &c : commands)
            k.add(c);
    } else {
        for (const int n : named) {
            k.add(QByteArray::number(n));
            k.add(commands[n]);
        }
    }
    return k.hex();
}

// A topic whose source is to be made, and what it became.
struct TJob {
    int n;
    QByteArray topic;
    QString name, prefix, font, keywords;
    QByteArray out;
    KIVHelpTools::TConvertResult converted;
};

// Converts the topics, on a second thread too when there are many (the
// conversion works on strings alone).
void convertAll(std::vector<TJob> &jobs, const QStringList &commands, bool addTitle)
{
    const auto convert = [&](size_t from, size_t step) {
        for (size_t i = from; i < jobs.size(); i += step) {
            TJob &j = jobs[i];
            j.out = KIVHelpTools::FTopicSource(j.topic, commands, j.name, j.n, addTitle, j.prefix, j.font, &j.converted, j.keywords);
        }
    };
    if (jobs.size() < 32 || std::thread::hardware_concurrency() < 2) {
        convert(0, 1);
        return;
    }
    std::thread other(convert, 1, 2);
    convert(0, 2);
    other.join();
}

} // namespace

TSourcesResult FWriteSources(TCProject &project, const TConfBlock *conf, const QString &projectFile, bool addTitle,
                             bool sameTitleFont)
{
    using namespace KIVHelpTools;
    TSourcesResult result;
    const QFileInfo info(projectFile);
    const QString dir = info.absolutePath();
    const QString name = info.completeBaseName();
    const QString cacheFile = cacheFileOf(projectFile);
    const QHash<QString, TMade> made = readCache(cacheFile);
    QHash<QString, QByteArray> digests;

    // The sources go in together; the list of what they were made from
    // follows once they are in place.
    std::optional<Platform::WriteBatch> batch(std::in_place);
    QStringList topicFiles, bitmaps;
    for (int n = 1; n <= project.FCount(); ++n)
        topicFiles << ProjectFiles::FTopicFileName(dir, project.FTopicAt(n)->name, n);
    PAddBmpNames(project.commands, bitmaps);
    if (FCreateHpjFile(dir + u'/' + name + QStringLiteral(".HPJ"), conf->PIni, conf->PPrj, bitmaps, topicFiles)
            .Category
        != 0) {
        result.ok = false;
        result.error = context().Msg;
        return result;
    }
    if (conf->PIni->CREATE_CNT && FCreateCntFile(dir + u'/' + name + QStringLiteral(".CNT"), topicFiles).Category != 0) {
        result.ok = false;
        result.error = context().Msg;
        return result;
    }
    std::vector<TJob> jobs;
    // What every topic's source depends on, once for all: a topic's digest
    // is made again only when its text, its place, its names, the command
    // lines, the title settings or the fonts changed.
    TKey commonKey;
    for (const QString &c : std::as_const(project.commands))
        commonKey.add(c);
    commonKey.add(QByteArrayView(addTitle ? "t" : "-"));
    commonKey.add(QByteArrayView(sameTitleFont ? "s" : "-"));
    commonKey.add(QByteArrayView(reinterpret_cast<const char *>(conf->PPrjFonts), sizeof(TFontsRec)));
    const QByteArray common = commonKey.hex();
    const Platform::FolderStamps onDisk(dir);
    // Sources of the folder that changed since the list was last written:
    // only they are looked at again.
    QSet<QString> changed;
    const bool watched = g_sourceFiles.changes(dir, &changed);
    QSet<int> rewritten;
    for (int n = 1; n <= project.FCount(); ++n) {
        TTopic *topic = project.FTopicAt(n);
        const QByteArray &bytes = topic->FBytes();
        const QString source = QStringLiteral("T%1.rtf").arg(n);
        const TTopic::TSourceKey key{topic->revision(), n, topic->name, topic->keywords, common};
        const auto prefix = [&] { return FTitlePrefix(conf->PPrjFonts, n, sameTitleFont); };
        const auto font = [&] { return QString(FTitleFont(conf->PPrjFonts, n, sameTitleFont).Name.get()); };
        if (!(topic->sourceKey == key)) {
            topic->sourceDigest = digestOf(bytes, project.commands, topic->name, n, addTitle, prefix(), font(), topic->keywords);
            topic->sourceKey = key;
        }
        const QByteArray digest = topic->sourceDigest;
        digests.insert(source, digest);
        const auto known = made.constFind(source);
        qint64 size = -1, mtime = -1;
        if (known != made.constEnd() && known->digest == digest
            && ((watched && !changed.contains(source))
                || (onDisk.stamp(source, &size, &mtime) && size == known->size && mtime == known->mtimeNs))) {
            ++result.kept;
            continue;
        }
        jobs.push_back(TJob{n, bytes, topic->name, prefix(), font(), topic->keywords, {}, {}});
    }
    convertAll(jobs, project.commands, addTitle);
    for (const TJob &job : jobs) {
        if (!job.converted.ok) {
            result.ok = false;
            result.badTopic = job.name;
            result.badLine = job.converted.badLine;
            return result;
        }
    }
    // A few sources are replaced whole (written beside, renamed over) with
    // the list in the same commit: a list that a kill leaves ahead of a
    // source names a file that is not there, which only makes it again.
    // Hundreds are rewritten in place (none is the author's), the list
    // withdrawn first so that one left half-written by a kill is made again.
    const bool inPlace = jobs.size() > kFewSources;
    if (inPlace && QFile::remove(cacheFile))
        Platform::syncDir(QFileInfo(cacheFile).absolutePath());
    for (const TJob &job : jobs) {
        const QString path = dir + QStringLiteral("/T%1.rtf").arg(job.n);
        if (!(inPlace ? batch->overwrite(path, job.out, &result.error) : batch->stage(path, job.out, &result.error))) {
            result.ok = false;
            return result;
        }
        rewritten.insert(job.n);
        ++result.written;
    }
    // The sources of topics that are gone: the list names every source
    // made; without it the folder says.
    static const QRegularExpression sourceName(QStringLiteral("^T(\\d+)\\.rtf$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &entry : made.isEmpty() ? Platform::entryNames(dir) : made.keys()) {
        const QRegularExpressionMatch m = sourceName.match(entry);
        if (m.hasMatch() && m.captured(1).toLongLong() > project.FCount())
            batch->remove(dir + u'/' + entry);
    }
    // What each source holds was made from, with its size and time on disk
    // (a list that is lost or behind only makes sources again).
    const auto listOf = [&]() {
        QByteArray list;
        for (int n = 1; n <= project.FCount(); ++n) {
            const QString source = QStringLiteral("T%1.rtf").arg(n);
            qint64 size = -1, mtime = -1;
            const auto known = made.constFind(source);
            if (!rewritten.contains(n) && known != made.constEnd()) {
                // Checked above: on disk as the list says.
                size = known->size;
                mtime = known->mtimeNs;
            } else if (!(batch && batch->stagedStamp(dir + u'/' + source, &size, &mtime))
                       && !onDisk.stamp(source, &size, &mtime)) {
                continue;
            }
            list += source.toUtf8() + '\t' + digests.value(source) + '\t' + QByteArray::number(size) + '\t'
                    + QByteArray::number(mtime) + '\n';
        }
        return list;
    };
    // Unchanged, the list is not written again (nor synced).
    QByteArray list, old;
    const bool listed = QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    if (!inPlace && listed) {
        list = listOf();
        if ((!Platform::readWholeFile(cacheFile, &old) || old != list) && !batch->stage(cacheFile, list, &result.error)) {
            result.ok = false;
            return result;
        }
    }
    if (!batch->commit(&result.error)) {
        result.ok = false;
        return result;
    }
    batch.reset();
    if (!listed)
        return result;
    if (inPlace) {
        list = listOf();
        if ((!Platform::readWholeFile(cacheFile, &old) || old != list) && !Platform::writeFileAtomic(cacheFile, list))
            return result;
    }
    // The list now says what the folder holds.
    g_sourceFiles.settle();
    return result;
}

} // namespace Build
