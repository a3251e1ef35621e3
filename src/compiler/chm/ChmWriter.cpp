// The help document as a compiled HTML Help file.
#include "compiler/chm/ChmWriter.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/web/HtmlWriter.h"
#include "platform/ChildProcess.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <optional>

namespace Hlp {

namespace {

// An entry of compiled HTML Help's contents or index; a heading when it
// has no page.
QString sitemapItem(const QString &name, const QString &page)
{
    const QString local = page.isEmpty() ? QString() : QStringLiteral("<param name=\"Local\" value=\"%1\">").arg(page);
    return QStringLiteral("<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"%1\">%2</OBJECT>\n")
        .arg(plainValue(name).toHtmlEscaped(), local);
}

// The kept pages of helps not built for 30 days go (a folder another build
// holds stays).
void pruneKeptPages(const QString &root)
{
    const QDateTime old = QDateTime::currentDateTimeUtc().addDays(-30);
    for (const QFileInfo &kept : QDir(root).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (kept.isSymLink())
            continue;
        const QFileInfo built(kept.filePath() + QStringLiteral("/.built"));
        if ((built.exists() ? built.lastModified() : kept.lastModified()) > old)
            continue;
        QLockFile lock(kept.filePath() + QStringLiteral(".lock"));
        if (lock.tryLock(0))
            QDir(kept.filePath()).removeRecursively();
    }
}

} // namespace

// chmcmd names chunk 1 as the first listing chunk of a directory that has
// several, where the chain of chunks starts at chunk 0: readers that walk the
// listing from its head (libchm's enumeration, hence the Linux viewers'
// file lists and full-text search) miss every file of chunk 0. The head and
// tail are set again from the chain itself; a file that does not read as
// expected is left as it is.
void mendChmDirectory(QByteArray &chm)
{
    const auto at = [&](qint64 offset, qint64 size) { return offset >= 0 && offset + size <= chm.size(); };
    if (!at(0, 0x58) || !chm.startsWith("ITSF"))
        return;
    const quint64 directory = qFromLittleEndian<quint64>(chm.constData() + 0x48);
    if (directory > quint64(chm.size()) || !at(qint64(directory), 0x30) || chm.mid(qint64(directory), 4) != "ITSP")
        return;
    const qint64 dir = qint64(directory);
    const qint64 chunkSize = le32(chm, dir + 0x10), chunks = le32(chm, dir + 0x2C), base = dir + le32(chm, dir + 8);
    if (chunkSize < 20 || chunks > 0xFFFFFF || !at(base, chunkSize * chunks))
        return;
    qint32 first = -1, last = -1;
    for (qint64 n = 0; n < chunks; ++n) {
        const qint64 chunk = base + n * chunkSize;
        if (chm.mid(chunk, 4) != "PMGL")
            continue;
        if (qint32(le32(chm, chunk + 12)) == -1) {
            if (first >= 0)
                return;
            first = qint32(n);
        }
        if (qint32(le32(chm, chunk + 16)) == -1) {
            if (last >= 0)
                return;
            last = qint32(n);
        }
    }
    if (first < 0 || last < 0)
        return;
    qToLittleEndian<qint32>(first, chm.data() + dir + 0x20);
    qToLittleEndian<qint32>(last, chm.data() + dir + 0x24);
}

QStringList writeChm(const THelpDocument &project, const QString &pagesFolder, const QString &chmFile)
{
    // The pages are a step on the way: without a folder for them, they are
    // kept in the user's cache, one folder per compiled file, so that the
    // next build rewrites only the pages that changed (chmcmd reads files,
    // not a stream); in a temporary folder when another build holds it.
    std::optional<QTemporaryDir> temporary;
    std::optional<QLockFile> lock;
    QString folder = pagesFolder;
    // Temporary folders are named after their process: those of builds
    // that were killed (their process gone) are removed.
    const QString prefix = QStringLiteral("kivhelp-chm-");
    for (const QFileInfo &left : QDir(QDir::tempPath()).entryInfoList({prefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = left.fileName().mid(prefix.size()).section(u'-', 0, 0).toLongLong(&ok);
        if (ok && !left.isSymLink() && pid != QCoreApplication::applicationPid() && !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)))
            QDir(left.filePath()).removeRecursively();
    }
    // One folder for the kept pages of every program (the window and
    // kivhc alike): ~/.cache/kivhelp/chm-pages/.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString keptPages = cache.isEmpty() ? QString() : cache + QStringLiteral("/kivhelp/chm-pages");
    if (folder.isEmpty() && !keptPages.isEmpty()) {
        pruneKeptPages(keptPages);
        const QByteArray key = QCryptographicHash::hash(QFileInfo(chmFile).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
        const QString kept = keptPages + u'/' + QString::fromLatin1(key);
        if (QDir().mkpath(kept)) {
            lock.emplace(kept + QStringLiteral(".lock"));
            if (lock->tryLock(0)) {
                folder = kept;
                // When it was last built, for the pruning.
                Platform::writeFileAtomic(kept + QStringLiteral("/.built"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8());
            }
        }
    }
    if (folder.isEmpty()) {
        temporary.emplace(QDir::tempPath() + u'/' + prefix + QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX"));
        if (!temporary->isValid())
            return {QString::fromUtf8("dossier temporaire impossible à créer : ") + temporary->errorString()};
        folder = temporary->path();
    }
    const TChmPages written = writeChmPages(project, folder);
    if (!written.errors.isEmpty())
        return written.errors;
    const QStringList &pages = written.pages;
    // The contents in the sitemap form of compiled HTML Help.
    const QString tree = nestedList(written.contents, [](const TContentsEntry &e) { return sitemapItem(e.text, e.page); },
                                    QStringLiteral("<UL>\n"), QStringLiteral("</UL>\n"));
    const QString chmcmd = QStandardPaths::findExecutable(QStringLiteral("chmcmd"));
    if (chmcmd.isEmpty())
        return {QString::fromUtf8("chmcmd introuvable : installez le paquet fp-utils pour écrire des fichiers .CHM.")};
    const QString head = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n"
                                        "<OBJECT type=\"text/site properties\"></OBJECT>\n<UL>\n");
    const QString head2 = QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML//EN\">\n<HTML><HEAD></HEAD><BODY>\n"
                                         "<OBJECT type=\"text/site properties\"></OBJECT>\n");
    QString toc = head2 + tree, index = head;
    // One line per keyword, its topics under it, as the viewer lists them;
    // past 200 topics the keyword takes another line (chmcmd fails on a
    // line of more than 250). Second levels in a list under their main
    // entry.
    int level = 1;
    for (const TChmPages::Keyword &entry : written.index) {
        if (entry.level > level)
            index += QStringLiteral("<UL>\n");
        else if (entry.level < level)
            index += QStringLiteral("</UL>\n");
        level = entry.level;
        const QString keyword = QStringLiteral("<param name=\"Name\" value=\"%1\">").arg(plainValue(entry.text).toHtmlEscaped());
        QString params = keyword;
        for (qsizetype i = 0; i < entry.pages.size(); ++i) {
            if (i > 0 && i % 200 == 0) {
                index += QStringLiteral("<LI><OBJECT type=\"text/sitemap\">%1</OBJECT>\n").arg(params);
                params = keyword;
            }
            params += QStringLiteral("<param name=\"Name\" value=\"%1\"><param name=\"Local\" value=\"%2\">")
                          .arg(plainValue(entry.pages[i].first).toHtmlEscaped(), entry.pages[i].second);
        }
        // (A main entry without pages of its own is a name its second
        // levels stand under.)
        index += QStringLiteral("<LI><OBJECT type=\"text/sitemap\">%1</OBJECT>\n").arg(params);
    }
    if (level > 1)
        index += QStringLiteral("</UL>\n");
    toc += QStringLiteral("</BODY></HTML>\n");
    index += QStringLiteral("</UL>\n</BODY></HTML>\n");
    // The project: its pages, and the [MAP] numbers as context ids.
    QString aliases, map, redirects;
    QSet<QString> mapped, aliasedPages, files{QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("search.html"),
                                              QStringLiteral("context.html")};
    for (const QString &page : std::as_const(pages))
        files.insert(page.toLower());
    for (const auto &[context, number, n] : project.map) {
        const QString name = QString::fromLatin1(normalizeContext(context));
        if (name.isEmpty() || mapped.contains(name.toUpper()))
            continue;
        mapped.insert(name.toUpper());
        // The CHM compiler keeps one alias per file: a second name of a
        // page gets a page of its own that leads to it.
        QString target = pages[n];
        if (aliasedPages.contains(target.toLower())) {
            // Never one of the site's own pages (a context named "index").
            QString own = contextFileName(name.toLatin1());
            while (files.contains(own.toLower()))
                own.insert(own.size() - 5, u'_');
            files.insert(own.toLower());
            QString error;
            if (!Platform::writeFileAtomic(folder + u'/' + own,
                                      QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                                     "<meta http-equiv=\"refresh\" content=\"0; url=%1#%2\"></head>"
                                                     "<body><a href=\"%1#%2\">%1</a></body></html>\n")
                                          .arg(target, name)
                                          .toUtf8(),
                                      &error))
                return {own + QStringLiteral(" : ") + error};
            redirects += own + u'\n';
            target = own;
        }
        aliasedPages.insert(target.toLower());
        aliases += QStringLiteral("%1=%2\n").arg(name, target);
        // In upper-case hex: the CHM compiler takes ids above 2^31 (a
        // program's control ids) only so.
        map += QStringLiteral("#define %1 0x%2\n").arg(name, QString::number(quint32(number), 16).toUpper());
    }
    QString fileList;
    for (const QString &page : std::as_const(pages))
        fileList += page + u'\n';
    for (const QString &extra : {QStringLiteral("index.html"), QStringLiteral("keywords.html"), QStringLiteral("help.css"), QStringLiteral("help.js")})
        fileList += extra + u'\n';
    for (const QString &image : written.pictures)
        fileList += image + u'\n';
    fileList += redirects;
    const QString title = plainValue(written.title);
    QString contents = pages.value(0);
    if (project.hpj.options.contains("CONTENTS")) {
        const int n = project.contextTopic.value(normalizeContext(project.hpj.options.value("CONTENTS")).toUpper(), -1);
        if (n >= 0)
            contents = pages[n];
    }
    // The language (LCID=, else that of the code page; French, the
    // program's, for Windows-1252), which the viewer reads the contents,
    // the index and the search in.
    bool lcidOk = false;
    uint lcid = project.hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&lcidOk, 0);
    if (!lcidOk || lcid == 0 || lcid > 0xFFFF)
        lcid = Platform::lcidOfCodePage(project.codePage) ? uint(Platform::lcidOfCodePage(project.codePage)) : 0x40C;
    const QString hhp = QStringLiteral("[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=%1\nContents file=toc.hhc\n"
                                       "Index file=index.hhk\nBinary Index=No\nDefault topic=%2\nDisplay compile progress=No\nFull-text search=Yes\nTitle=%3\n"
                                       "Language=0x%7\n\n"
                                       "[FILES]\n%4\n[ALIAS]\n%5\n[MAP]\n%6")
                            .arg(QStringLiteral("compiled.chm"), contents, title, fileList, aliases, map,
                                 QString::number(lcid, 16).rightJustified(4, u'0'));
    // The project, contents and index in the help's code page, as the
    // viewer of its language reads them.
    const Platform::CodePage page(project.codePage);
    for (const auto &[name, content] : {QPair<QString, QString>{QStringLiteral("project.hhp"), hhp},
                                        {QStringLiteral("toc.hhc"), toc}, {QStringLiteral("index.hhk"), index}}) {
        QString error;
        const QByteArray bytes = project.codePage == 1252 ? Platform::toCp1252OrUtf8(content) : page.encode(content);
        if (!Platform::writeFileAtomic(folder + u'/' + name, bytes, &error))
            return {name + QStringLiteral(" : ") + error};
    }
    QProcess run;
    run.setWorkingDirectory(folder);
    // A build killed while chmcmd runs must not leave it writing into the
    // kept pages' folder, which the next build takes up.
    Platform::endWithThisProcess(run);
    // Every file is listed in the project: chmcmd need not read the pages
    // again to look for others (a third of its time).
    run.start(chmcmd, {QStringLiteral("--no-html-scan"), QStringLiteral("project.hhp")});
    if (!run.waitForFinished(600000) || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        return {QStringLiteral("chmcmd a échoué : ") + QString::fromLocal8Bit(run.readAllStandardError() + run.readAllStandardOutput()).trimmed()};
    // Built under a plain name (the compiler names files in the project's
    // own encoding), then published under the one asked for.
    const QString built = folder + QStringLiteral("/compiled.chm");
    QByteArray bytes;
    QString error;
    if (!Platform::readWholeFile(built, &bytes))
        return {QStringLiteral("fichier .CHM illisible : ") + built};
    mendChmDirectory(bytes);
    if (!Platform::writeFileAtomic(chmFile, bytes, &error))
        return {QStringLiteral("fichier .CHM impossible à écrire : ") + chmFile + u' ' + error};
    if (QFileInfo(built).absoluteFilePath() != QFileInfo(chmFile).absoluteFilePath())
        QFile::remove(built);
    return {};
}

} // namespace Hlp
