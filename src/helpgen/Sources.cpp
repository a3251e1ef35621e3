#include "helpgen/Sources.h"

#include "fileops/PrjFolder.h"
#include "formats/ProjectFiles.h"
#include "helpgen/HelpSources.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "formats/PrjFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <optional>
#include <thread>
#include <vector>
#include <sys/stat.h>

namespace Build {

namespace {

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

bool statFile(const QString &path, qint64 *size, qint64 *mtimeNs)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = st.st_size;
    *mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
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
    k.add(QByteArrayView("2")); // the source's layout; raise when the conversion changes
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
    bool withdrawn = false;
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
    // The command lines once for all topics: a topic's digest is made again
    // only when its text, its place, its names or the command lines changed.
    TKey commandsKey;
    for (const QString &c : std::as_const(project.commands))
        commandsKey.add(c);
    const QByteArray commandsDigest = commandsKey.hex();
    for (int n = 1; n <= project.FCount(); ++n) {
        TTopic *topic = project.FTopicAt(n);
        const QString prefix = FTitlePrefix(conf->PPrjFonts, n, sameTitleFont);
        const QString font = FTitleFont(conf->PPrjFonts, n, sameTitleFont).Name.get();
        const QByteArray &bytes = topic->FBytes();
        const QString source = QStringLiteral("T%1.rtf").arg(n);
        const QByteArray key = QByteArray::number(topic->revision()) + '\x1f' + QByteArray::number(n) + '\x1f'
                               + topic->name.toUtf8() + '\x1f' + topic->keywords.toUtf8() + '\x1f' + (addTitle ? "t" : "-")
                               + '\x1f' + prefix.toUtf8() + '\x1f' + font.toUtf8() + '\x1f' + commandsDigest;
        if (topic->sourceKey != key) {
            topic->sourceDigest = digestOf(bytes, project.commands, topic->name, n, addTitle, prefix, font, topic->keywords);
            topic->sourceKey = key;
        }
        const QByteArray digest = topic->sourceDigest;
        digests.insert(source, digest);
        const auto known = made.constFind(source);
        qint64 size = -1, mtime = -1;
        if (known != made.constEnd() && known->digest == digest && statFile(dir + u'/' + source, &size, &mtime)
            && size == known->size && mtime == known->mtimeNs) {
            ++result.kept;
            continue;
        }
        jobs.push_back(TJob{n, bytes, topic->name, prefix, font, topic->keywords, {}, {}});
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
    for (const TJob &job : jobs) {
        // The sources are rewritten in place (hundreds of them, none the
        // author's); the list that vouches for them goes first, so that one
        // left half-written by a kill is made again.
        if (!withdrawn) {
            withdrawn = true;
            if (QFile::remove(cacheFile))
                Platform::syncDir(QFileInfo(cacheFile).absolutePath());
        }
        if (!batch->overwrite(dir + QStringLiteral("/T%1.rtf").arg(job.n), job.out, &result.error)) {
            result.ok = false;
            return result;
        }
        ++result.written;
    }
    // The sources of topics that are gone.
    static const QRegularExpression sourceName(QStringLiteral("^T(\\d+)\\.rtf$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &entry : QDir(dir).entryList({QStringLiteral("T*")}, QDir::Files)) {
        const QRegularExpressionMatch m = sourceName.match(entry);
        if (m.hasMatch() && m.captured(1).toLongLong() > project.FCount())
            batch->remove(dir + u'/' + entry);
    }
    if (!batch->commit(&result.error)) {
        result.ok = false;
        return result;
    }
    batch.reset();
    // What each source now on disk was made from (written once the sources
    // are: a list that is lost or behind only makes sources again).
    QByteArray list;
    for (int n = 1; n <= project.FCount(); ++n) {
        const QString source = QStringLiteral("T%1.rtf").arg(n);
        qint64 size = -1, mtime = -1;
        if (statFile(dir + u'/' + source, &size, &mtime))
            list += source.toUtf8() + '\t' + digests.value(source) + '\t' + QByteArray::number(size) + '\t'
                    + QByteArray::number(mtime) + '\n';
    }
    // Unchanged, it is not written again (nor synced).
    QByteArray old;
    if (QDir().mkpath(QFileInfo(cacheFile).absolutePath())
        && (!Platform::readWholeFile(cacheFile, &old) || old != list))
        Platform::writeFileAtomic(cacheFile, list);
    return result;
}

} // namespace Build
