#include "helpgen/Import.h"

#include "compiler/HelpCompiler.h"
#include "compiler/sources/DecompiledProject.h"
#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/sources/HpjFile.h"
#include "fileops/PrjFolder.h"
#include "formats/CommandFile.h"
#include "formats/OutlineFile.h"
#include "formats/TextConv.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QCoreApplication>
#include <csignal>
#include <cerrno>
#include <QDir>
#include <QSysInfo>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace Build {

namespace {

// Text for the program's topic files (Windows-1252 RTF): letters outside
// it as \uN.
QByteArray topicText(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'{' || c == u'}')
            out += '\\' + QByteArray(1, char(c.unicode()));
        else if (c.unicode() >= 0x20 && c.unicode() < 0x80)
            out += char(c.unicode());
        else if (const int b = Platform::cp1252Byte(c); b >= 0x80)
            out += "\\'" + QByteArray::number(b, 16).rightJustified(2, '0');
        else if (c.unicode() >= 0x80)
            out += "\\u" + QByteArray::number(qint16(c.unicode())) + '?';
    }
    return out;
}

class TImportedTopicWriter {
public:
    TImportedTopicWriter(const Hlp::THelpDocument &p, const QHash<int, QString> &contextOf, QStringList &commands, const QString &bmpDir,
                 const QString &picturePrefix)
        : m_p(p), m_page(p.codePage), m_contextOf(contextOf), m_commands(commands), m_bmpDir(bmpDir), m_prefix(picturePrefix)
    {
    }
    QByteArray topic(const Hlp::TSourceTopic &t);
    // Losses met so far.
    int deadJumps = 0, otherFiles = 0, macros = 0, tables = 0, windows = 0;
    int layouts = 0; // paragraphs whose indents, spacing, tab stops or borders the editor does not keep
    QHash<int, QString> pictureFiles; // picture number -> file written into the bitmap folder
    QList<QPair<QString, QByteArray>> pictureBytes;

private:
    QByteArray run(const Hlp::TCharFormat &f, const QString &text, bool marker = false)
    {
        // The editor's sizes run from 4 to 72 points; a marker is green
        // (colour 1), without underline.
        Hlp::TCharFormat shown = f;
        shown.halfPoints = quint8(qBound(8, int(f.halfPoints), 144));
        if (marker)
            shown.colour[0] = shown.colour[1] = shown.colour[2] = 0;
        return "\\plain" + m_tables.runWords(shown, 2, !marker) + (marker ? "\\cf1 " : " ") + topicText(text);
    }
    // A marker for command line `line`, labelled with `label`.
    QByteArray marker(const Hlp::TCharFormat &f, const QString &line, QString label)
    {
        m_commands << CommandFile::FOneLine(line);
        label.replace(u' ', u'_').remove(u'@');
        return run(f, QStringLiteral("@_%1_%2_@").arg(m_commands.size() - 1).arg(label), true);
    }
    QByteArray paragraph(const QList<Hlp::TInline> &items, Hlp::TParagraphFormat::Align align);
    // The new context of a page named by its old one (empty when the
    // context is not one of this help's pages).
    QByteArray newContext(const QByteArray &context) const
    {
        const int topic = topicOf(Hlp::normalizeContext(context));
        return m_contextOf.contains(topic) ? Platform::toCp1252(m_contextOf.value(topic)) : QByteArray();
    }
    // The page a context leads to, or -1.
    int topicOf(const QByteArray &context) const { return m_lookup.topicOf(context); }
public:
    // A macro with the contexts of this help it names (JumpId, PopupId...)
    // led to the pages' new names; one that names a help file is left as it is.
    QByteArray renamed(const QByteArray &macro) const
    {
        if (macro.toLower().contains(".hlp"))
            return macro;
        static const QRegularExpression word(QStringLiteral("(?<![A-Za-z0-9_.])[A-Za-z0-9_.]+(?![A-Za-z0-9_.]|\\s*\\()"));
        QByteArray out;
        qsizetype at = 0;
        const QString text = QString::fromLatin1(macro);
        for (auto it = word.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QByteArray name = newContext(macro.mid(m.capturedStart(), m.capturedLength()));
            if (name.isEmpty())
                continue;
            out += macro.mid(at, m.capturedStart() - at) + name;
            at = m.capturedEnd();
        }
        return out + macro.mid(at);
    }

private:
    // The picture as a file of the bitmap folder: NAME_bmK.bmp (.shg, .mrb);
    // a file of that name with other bytes is left alone and the picture
    // takes another name; one with the same bytes (an import tried before)
    // is taken as it is.
    void addPicture(int picture)
    {
        QByteArray extension;
        QByteArray bytes = Hlp::pictureAsFile(m_p.pictureData.value(picture), &extension);
        if (bytes.isEmpty())
            return; // absent from the help file (said with its losses)
        // Hotspots lead to the pages by the pages' new names.
        if (extension != "bmp")
            bytes = Hlp::retargetHotspots(bytes, [this](const QByteArray &context) { return newContext(context); });
        const QString base = m_prefix + QStringLiteral("_bm%1").arg(picture);
        QString file = base + u'.' + QString::fromLatin1(extension);
        for (int k = 2;; ++k) {
            const QString there = Platform::resolveCase(m_bmpDir + u'/' + file);
            QByteArray old;
            if (!QFileInfo::exists(there))
                break;
            if (QFileInfo(there).size() == bytes.size() && Platform::readWholeFile(there, &old) && old == bytes) {
                pictureFiles.insert(picture, QFileInfo(there).fileName());
                return;
            }
            file = QStringLiteral("%1_%2.%3").arg(base).arg(k).arg(QString::fromLatin1(extension));
        }
        pictureFiles.insert(picture, file);
        pictureBytes << qMakePair(file, bytes);
    }

    const Hlp::THelpDocument &m_p;
    const Hlp::TContextLookup m_lookup{m_p};
    Platform::CodePage m_page;
    const QHash<int, QString> &m_contextOf;
    QStringList &m_commands;
    QString m_bmpDir, m_prefix;
    // Colours numbered from 2 in the file: 1 is the markers' green.
    Hlp::TRtfTables m_tables;
};

QByteArray TImportedTopicWriter::paragraph(const QList<Hlp::TInline> &items, Hlp::TParagraphFormat::Align align)
{
    QByteArray out = "\\pard";
    if (align == Hlp::TParagraphFormat::Centre)
        out += "\\qc";
    else if (align == Hlp::TParagraphFormat::Right)
        out += "\\qr";
    Hlp::TCharFormat last;
    // A hotspot: what it shows gathered (its text, and its pictures, which
    // stay in the link), then one marker for it.
    const Hlp::TInline *hotspot = nullptr;
    QString visible, shownRtf;
    QStringList shownPictures;
    const auto closeHotspot = [&]() {
        if (!hotspot)
            return;
        const QByteArray shown = shownRtf.toLatin1();
        QString line;
        if (hotspot->link == Hlp::TInline::Macro) {
            ++macros;
            line = QStringLiteral("{\\uldb %1}{\\v !%2}").arg(QString::fromLatin1(shown), m_page.decode(renamed(hotspot->macro)));
        } else {
            const int target = topicOf(hotspot->context);
            const bool popup = hotspot->link == Hlp::TInline::Popup;
            if (!hotspot->file.isEmpty()) {
                ++otherFiles;
                // A pop-up stays one: the viewer opens it over this page.
                line = QStringLiteral("{%1 %2}{\\v %3@%4}").arg(popup ? QStringLiteral("\\ul") : QStringLiteral("\\uldb"),
                                                               QString::fromLatin1(shown), QString::fromLatin1(hotspot->context),
                                                               m_page.decode(hotspot->file));
            } else if (m_contextOf.contains(target)) {
                line = QStringLiteral("{%1 %2}{\\v %3}").arg(popup ? QStringLiteral("\\ul") : QStringLiteral("\\uldb"),
                                                             QString::fromLatin1(shown), m_contextOf.value(target));
                if (!hotspot->window.isEmpty() || hotspot->windowIndex >= 0)
                    ++windows;
            } else {
                ++deadJumps;
            }
        }
        if (!line.isEmpty()) {
            out += marker(last, line, visible.trimmed().isEmpty() ? shownPictures.value(0) : visible);
        } else { // a link to nothing: what it shows, without the link
            out += run(last, visible);
            for (const QString &picture : std::as_const(shownPictures))
                out += marker(last, QStringLiteral("\\{bmc %1\\}").arg(picture), picture);
        }
        hotspot = nullptr;
        visible.clear();
        shownRtf.clear();
        shownPictures.clear();
    };
    for (qsizetype n = 0; n < items.size(); ++n) {
        const Hlp::TInline &i = items[n];
        switch (i.kind) {
        case Hlp::TInline::Text:
            // Runs of one format one after the other are one run.
            if (!hotspot && n + 1 < items.size() && items[n + 1].kind == Hlp::TInline::Text && items[n + 1].format == i.format) {
                Hlp::TInline joined = i;
                for (; n + 1 < items.size() && items[n + 1].kind == Hlp::TInline::Text && items[n + 1].format == i.format; ++n)
                    joined.text += items[n + 1].text;
                last = i.format;
                out += run(i.format, Hlp::glyphsAsLetters(joined.text, m_page));
                break;
            }
            last = i.format;
            if (hotspot) {
                const QString letters = Hlp::glyphsAsLetters(i.text, m_page);
                visible += letters;
                shownRtf += QString::fromLatin1(topicText(letters)); // every letter, \uN beyond 1252
            } else
                out += run(i.format, Hlp::glyphsAsLetters(i.text, m_page));
            break;
        case Hlp::TInline::LineBreak: out += "\\line "; break;
        case Hlp::TInline::Tab: out += "\\tab "; break;
        case Hlp::TInline::NbSpace:
            if (hotspot) {
                visible += u' ';
                shownRtf += u' ';
            } else
                out += "\\~";
            break;
        case Hlp::TInline::NbHyphen: out += "-"; break;
        case Hlp::TInline::HotspotStart:
            closeHotspot();
            hotspot = &i;
            break;
        case Hlp::TInline::HotspotEnd: closeHotspot(); break;
        case Hlp::TInline::Picture: {
            if (!pictureFiles.contains(i.picture))
                addPicture(i.picture);
            if (!pictureFiles.contains(i.picture))
                break;
            const QString file = pictureFiles.value(i.picture);
            const QString code = i.placement == Hlp::TInline::Left ? QStringLiteral("bml") : i.placement == Hlp::TInline::Right ? QStringLiteral("bmr") : QStringLiteral("bmc");
            if (hotspot) {
                shownRtf += QStringLiteral("\\{bmc %1\\}").arg(file);
                shownPictures << file;
            } else {
                out += marker(last, QStringLiteral("\\{%1 %2\\}").arg(code, file), file);
            }
            break;
        }
        }
    }
    closeHotspot();
    return out + "\\par\r\n";
}

QByteArray TImportedTopicWriter::topic(const Hlp::TSourceTopic &t)
{
    QByteArray body;
    for (const QList<Hlp::TParagraph> *list : {&t.nonScrolling, &t.scrolling})
        for (const Hlp::TParagraph &p : *list) {
            if (!p.table) {
                const Hlp::TParagraphFormat &f = p.format;
                if (f.spaceBefore || f.spaceAfter || f.lineSpacing || f.leftIndent || f.rightIndent || f.firstIndent || !f.tabs.isEmpty()
                    || f.borders)
                    ++layouts;
                body += paragraph(p.items, p.format.align);
                continue;
            }
            // A table row: its cells side by side, a tab between them.
            ++tables;
            QList<Hlp::TInline> items;
            int cell = -1;
            for (const auto &[c, para] : p.table->paragraphs) {
                if (cell >= 0 && c != cell) {
                    Hlp::TInline tab;
                    tab.kind = Hlp::TInline::Tab;
                    items << tab;
                }
                cell = c;
                items += para.items;
            }
            body += paragraph(items, Hlp::TParagraphFormat::Left);
        }
    if (m_tables.faces.isEmpty())
        m_tables.faces << "Arial";
    const QByteArray head = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deftab720"
                            + m_tables.fontTable([&](const QByteArray &face) { return "\\fcharset0 " + topicText(m_page.decode(face)); })
                            + "\r\n" + m_tables.colourTable(" ;\\red0\\green128\\blue0;");
    m_tables = {};
    return head + "\r\n\\deflang1036" + body + "}\r\n";
}

} // namespace

namespace {
// An import's staging folder says which process writes it and which
// pictures it adds to the shared picture folder, before it adds them.
const QString kImportMark = QStringLiteral(".kivhelp-import");
} // namespace

namespace {
// When a process began (clock ticks after boot, from /proc): with its
// number, it names one process, which a later one given the same number
// (numbers come round again) is not. Empty where /proc does not say.
QByteArray processStart(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype name = line.lastIndexOf(')');
    return name < 0 ? QByteArray() : line.mid(name + 2).split(' ').value(19); // the 22nd field
}

// This process as its staging folders name it: "PID.START".
QByteArray thisProcess()
{
    const qint64 pid = QCoreApplication::applicationPid();
    const QByteArray start = processStart(pid);
    return QByteArray::number(pid) + (start.isEmpty() ? QByteArray() : '.' + start);
}

// Whether the process named "PID" or "PID.START" still runs.
bool alive(const QByteArray &process)
{
    const qint64 pid = process.split('.').value(0).toLongLong();
    const QByteArray start = process.split('.').value(1);
    if (pid == QCoreApplication::applicationPid())
        return start.isEmpty() || start == processStart(pid);
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno != EPERM))
        return false;
    const QByteArray now = processStart(pid);
    return start.isEmpty() || now.isEmpty() || now == start;
}

// A mark's first line: the importing process and its machine. An import of
// another machine (a shared folder) is never taken for a dead one.
QByteArray markOwner() { return thisProcess() + ' ' + QSysInfo::machineHostName().toUtf8(); }

bool ownerAlive(const QByteArray &line)
{
    const QList<QByteArray> parts = line.trimmed().split(' ');
    const QByteArray host = parts.size() > 1 ? parts.mid(1).join(' ') : QByteArray();
    if (!host.isEmpty() && host != QSysInfo::machineHostName().toUtf8())
        return true;
    return alive(parts.value(0));
}
} // namespace

void PCleanKilledImports(const QString &projectsDir, const QString &bmpDir)
{
    const QDir projects(projectsDir);
    // A staging folder whose removal a kill cut short: nothing in it counts.
    for (const QString &entry : projects.entryList({QStringLiteral(".*.kvnew-gone")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!QFileInfo(projects.filePath(entry)).isSymLink())
            FileOps::deleteTree(projects.filePath(entry));
    // A staging folder still being made (.NAME.kvnew-PID.START): nothing
    // added yet.
    static const QRegularExpression making(QStringLiteral("^\\..+\\.kvnew-(\\d+(?:\\.\\d+)?)$"));
    for (const QString &entry : projects.entryList({QStringLiteral(".*.kvnew-*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot))
        if (const QRegularExpressionMatch m = making.match(entry); m.hasMatch() && !alive(m.captured(1).toLatin1())
            && !QFileInfo(projects.filePath(entry)).isSymLink())
            FileOps::deleteTree(projects.filePath(entry));
    // A project put in place whose mark was not taken away yet: it is whole.
    for (const QString &entry : projects.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QByteArray mark;
        const QString file = projects.filePath(entry) + u'/' + kImportMark;
        if (QFileInfo(file).isFile() && Platform::readWholeFile(file, &mark) && !ownerAlive(mark.split('\n').value(0)))
            QFile::remove(file);
    }
    // .NAME.kvnew folders that hold an import's mark whose process is gone.
    for (const QString &entry : projects.entryList({QStringLiteral(".*.kvnew")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString staging = projects.filePath(entry);
        if (QFileInfo(staging).isSymLink())
            continue;
        QByteArray mark;
        if (!Platform::readWholeFile(staging + u'/' + kImportMark, &mark))
            continue; // a save's staging folder: its project's own recovery handles it
        const QList<QByteArray> lines = mark.split('\n');
        if (ownerAlive(lines.value(0)))
            continue; // still being written
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QString picture = QString::fromUtf8(lines[i]).trimmed();
            if (!picture.isEmpty() && !picture.contains(u'/') && !picture.startsWith(u'.'))
                QFile::remove(QDir(bmpDir).filePath(picture));
        }
        // Renamed before it is emptied: a kill meanwhile leaves a folder
        // known as garbage, not one without its mark, which would pass for a
        // save's and stay.
        const QString gone = staging + QStringLiteral("-gone");
        FileOps::deleteTree(gone);
        FileOps::deleteTree(QDir().rename(staging, gone) ? gone : staging);
    }
}

TImportResult FImportHelp(const QString &file, const QString &name, const QString &projectsDir, const QString &bmpDir)
{
    // What an import killed earlier left behind goes first.
    PCleanKilledImports(projectsDir, bmpDir);
    TImportResult result;
    const auto fail = [&](const QString &why) {
        result.code = 2;
        result.report << why;
        return result;
    };
    if (const QString problem = TextConv::FProjectNameProblem(name); !problem.isEmpty())
        return fail(QString::fromUtf8("Nom de projet refusé : %1").arg(problem));
    const QString dir = QDir::cleanPath(projectsDir) + u'/' + name;
    if (QFileInfo::exists(dir))
        return fail(QString::fromUtf8("Le projet « %1 » existe déjà : choisissez un autre nom.").arg(name));
    // A project is read and checked as the compiler does (its files outside
    // its folder refused), and its document taken as it is: no .HLP between,
    // so its context names, its pictures and what the .HLP could not hold
    // (two names of one hash) stay. A help file is read into the same document.
    QStringList compilerWarnings; // what the project's reading could not take
    QStringList fileLosses, fileNotes;
    Hlp::THelpDocument p;
    const QFileInfo info(file);
    if (info.suffix().compare(QLatin1String("hpj"), Qt::CaseInsensitive) == 0) {
        Hlp::TCompileOptions options;
        options.safe = true;
        options.missingFilesAreWarnings = true;
        options.badMacrosAreWarnings = true;
        options.everyTopic = true;
        Hlp::THelpRead read = Hlp::readHelpProject(file, options);
        if (!read.said.ok)
            return fail(QString::fromUtf8("Le projet d'aide %1 ne se compile pas :\n%2").arg(file, read.said.messages.join(u'\n')));
        for (const QString &m : std::as_const(read.said.messages))
            if (m.contains(QLatin1String(": Warning:")))
                compilerWarnings << m;
        if (!read.document.hpj.options.value("BUILD").trimmed().isEmpty())
            compilerWarnings << QString::fromUtf8("BUILD= n'est pas appliqué : toutes les pages sont reprises, sans leurs étiquettes de compilation.");
        p = std::move(read.document);
        p.compressed = p.compression != Hlp::THpj::Compression::None;
    } else {
        QByteArray bytes;
        if (info.size() > (qint64(512) << 20) || !Platform::readWholeFile(file, &bytes))
            return fail(QString::fromUtf8("Fichier illisible ou trop grand : %1").arg(file));
        Hlp::THelpFileRead read = Hlp::readHelpFile(bytes, info.fileName());
        if (!read.ok)
            return fail(QString::fromUtf8("%1 : %2").arg(file, read.error));
        p = std::move(read.project);
        fileLosses = read.losses;
        fileNotes = read.notes;
    }
    const Platform::CodePage page(p.codePage);

    // The outline: the contents page first, as the project's root; then the
    // tree of the contents file (.CNT) beside the help when there is one, its
    // headings as pages of their own, else the browse sequences; then the
    // other pages in file order.
    const QByteArray tree = Hlp::contentsFileBeside(p, file);
    const QList<Hlp::TOutlineEntry> entries = Hlp::helpOutline(p, tree);
    if (entries.isEmpty())
        return fail(QString::fromUtf8("%1 : ce fichier d'aide n'a aucune page.").arg(file));
    if (entries.size() > MaxTopics)
        return fail(QString::fromUtf8("Ce fichier d'aide a %1 pages : un projet KivHelp en tient %2 au plus. "
                                      "« kivhc --decompile » le garde entier, en sources (projet d'aide, RTF, sommaire).")
                        .arg(entries.size())
                        .arg(MaxTopics));
    QStringList names;
    QHash<int, QString> contextOf;
    QHash<int, QString> titleInText; // entry -> the title its name could not hold
    int titlesCleaned = 0;             // titles whose signs a page name cannot hold
    for (const Hlp::TOutlineEntry &e : entries) {
        // Named by its title, else by the start of its first line (its
        // runs together: a topic file may cut a word into several).
        QString first;
        if (e.topic >= 0)
            for (const QList<Hlp::TParagraph> *list : {&p.topics[e.topic].nonScrolling, &p.topics[e.topic].scrolling})
                for (const Hlp::TParagraph &para : *list)
                    if (first.trimmed().isEmpty()) {
                        first.clear();
                        for (const Hlp::TInline &i : para.items)
                            if (i.kind == Hlp::TInline::LineBreak)
                                break;
                            else if (i.kind == Hlp::TInline::Text)
                                first += Hlp::glyphsAsLetters(i.text, page);
                            else if (i.kind == Hlp::TInline::NbSpace || i.kind == Hlp::TInline::Tab)
                                first += u' ';
                    }
        // (Cut as letters: a double-byte letter is never halved.)
        const QString shown = e.topic < 0 ? page.decode(e.heading)
                              : p.topics[e.topic].title.trimmed().isEmpty() ? first.left(60)
                                                                              : page.decode(p.topics[e.topic].title);
        QString title = names.isEmpty() ? name : TextConv::FCleanTopicName(shown).simplified();
        if (!names.isEmpty() && !title.isEmpty() && title != shown.simplified())
            ++titlesCleaned;
        if (title.isEmpty() || !TextConv::FTopicNameProblem(title).isEmpty()) {
            // A title a page's name cannot hold (letters outside Windows-1252)
            // opens the page's text instead.
            if (!names.isEmpty() && !shown.trimmed().isEmpty())
                titleInText.insert(int(names.size()), shown.simplified());
            title = e.topic < 0 ? QString::fromUtf8("Chapitre") : QStringLiteral("Page %1").arg(e.topic + 1);
        }
        const QString base = title;
        for (int k = 2; names.contains(title, Qt::CaseInsensitive); ++k)
            title = QStringLiteral("%1 (%2)").arg(base, QString::number(k));
        names << title;
        if (e.topic >= 0)
            contextOf.insert(e.topic, TextConv::FContextName(title));
    }
    const int pageCount = int(p.topics.size());

    QStringList commands;
    TImportedTopicWriter writer(p, contextOf, commands, bmpDir, name);
    QList<QPair<QString, QByteArray>> files;
    QList<Outline::TLine> outline;
    QByteArray keywords;
    for (qsizetype k = 0; k < entries.size(); ++k) {
        // A heading of the contents file: a page that shows it.
        Hlp::TSourceTopic heading;
        if (entries[k].topic < 0) {
            Hlp::TInline text;
            text.text = page.decode(entries[k].heading);
            text.format.attributes = Hlp::FontBold;
            Hlp::TParagraph para;
            para.items << text;
            heading.scrolling << para;
        }
        Hlp::TSourceTopic t = entries[k].topic < 0 ? heading : p.topics[entries[k].topic];
        if (titleInText.contains(int(k)) && entries[k].topic >= 0) {
            Hlp::TInline text;
            text.text = titleInText.value(int(k));
            text.format.attributes = Hlp::FontBold;
            Hlp::TParagraph para;
            para.items << text;
            t.scrolling.prepend(para);
        }
        files << qMakePair(QStringLiteral("%1.%2").arg(names[k]).arg(k + 1), writer.topic(t));
        outline << Outline::TLine{entries[k].level, names[k]};
        QStringList own;
        for (const QByteArray &kw : t.keywords)
            own << page.decode(kw);
        if (!own.isEmpty())
            keywords += names[k].toUtf8() + '\t' + own.join(QStringLiteral("; ")).toUtf8() + "\r\n";
    }
    // The settings the program has: title, copyright, the main window's colours.
    qint32 background = 0xFFFFFF, title = 0xFFFFFF;
    for (const Hlp::TWindowDef &w : p.hpj.windows)
        if (w.name.compare("main", Qt::CaseInsensitive) == 0) {
            if (w.hasScroll)
                background = w.scroll[0] | (w.scroll[1] << 8) | (w.scroll[2] << 16);
            if (w.hasTitle)
                title = w.title[0] | (w.title[1] << 8) | (w.title[2] << 16);
        }
    // Every letter of the title and copyright (the settings file takes
    // UTF-8 for what Windows-1252 lacks), and the help's language, which
    // names the code page the project's help is built in.
    // A line of the settings: line breaks and other control characters
    // become blanks; runs of blanks stay (authors lay out the copyright's
    // lines in the About box with them).
    const auto setting = [&](const char *key) {
        return Platform::toCp1252OrUtf8(page.decode(Hlp::hpjValue(p.hpj.options.value(key))).trimmed());
    };
    bool lcidOk = false;
    int lcid = int(p.hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&lcidOk, 0));
    if (!lcidOk || Platform::languageOfLcid(lcid).tag.isEmpty() || Platform::languageOfLcid(lcid).codePage != p.codePage)
        lcid = Platform::lcidOfCodePage(p.codePage);
    const QByteArray language = lcid ? "\r\nLanguage=0x" + QByteArray::number(lcid, 16) : QByteArray();
    // The main window as the help had it (caption, place, state), and its
    // buttons and menus ([CONFIG], led to the pages' new names), which the
    // program's Exit button does not join. A setting holds 255 characters:
    // the macros past them are said.
    QByteArray mainWindow;
    for (const Hlp::TWindowDef &w : p.hpj.windows)
        if (w.name.compare("main", Qt::CaseInsensitive) == 0)
            mainWindow = "\r\nMainWindow=" + Platform::toCp1252OrUtf8(page.decode(Hlp::windowPlacement(w)));
    QByteArray buttons;
    qsizetype buttonsLeft = 0;
    for (const QByteArray &macro : p.hpj.config) {
        const QByteArray one = Platform::toCp1252OrUtf8(page.decode(Hlp::hpjValue(writer.renamed(macro))).trimmed());
        if (buttonsLeft || buttons.size() + (buttons.isEmpty() ? 0 : 1) + one.size() > 255)
            ++buttonsLeft;
        else if (!one.isEmpty())
            buttons += (buttons.isEmpty() ? "" : ";") + one;
    }
    files << qMakePair(name + QStringLiteral(".CFG"), "[Param]\r\nAddTitle=0\r\nSameTitleFont=1\r\nProjectTitle=" + setting("TITLE")
                                                          + "\r\nCopyright=" + setting("COPYRIGHT") + "\r\nHelpCompress=" + (p.compressed ? "YES" : "NO")
                                                          + "\r\nBkColor="
                                                          + QByteArray::number(background) + "\r\nTitleColor=" + QByteArray::number(title)
                                                          + language + mainWindow + "\r\nButtons=" + buttons + "\r\n");
    files << qMakePair(name + QStringLiteral(".PRJ"), Outline::FFormat(outline));
    files << qMakePair(name + QStringLiteral(".CDE"), CommandFile::FJoinCmdLines(commands));
    if (!keywords.isEmpty())
        files << qMakePair(name + QStringLiteral(".KEY"), keywords);

    // Written together: the pictures first, then the project's files into
    // a folder of their own, which one rename makes the project. A kill
    // leaves no project or the whole one; a failure removes the pictures
    // this import added.
    const FileOps::TPrjFolders folders = FileOps::foldersOf(dir, name);
    const QString staging = folders.staging;
    if (QFileInfo(staging).isSymLink())
        QFile::remove(staging);
    QDir(staging).removeRecursively(); // left by an import or a save cut short
    QString error;
    const auto undo = [&](const QString &why) {
        QDir(staging).removeRecursively();
        for (const auto &picture : std::as_const(writer.pictureBytes))
            QFile::remove(bmpDir + u'/' + picture.first);
        return fail(QString::fromUtf8("Import interrompu, rien n'est écrit : %1").arg(why));
    };
    {
        // The mark first, so that a kill at any moment after leaves what the
        // next start or import removes.
        QByteArray mark = markOwner() + '\n';
        for (const auto &picture : std::as_const(writer.pictureBytes))
            mark += picture.first.toUtf8() + '\n';
        // Made under a name of this process's, mark inside, then renamed:
        // the staging folder never exists without its mark.
        const QString making = staging + u'-' + QString::fromLatin1(thisProcess());
        FileOps::deleteTree(making);
        if (!QDir().mkpath(making) || !Platform::writeFileAtomic(making + u'/' + kImportMark, mark, &error)
            || !Platform::syncDir(making) || !QDir().rename(making, staging)) {
            FileOps::deleteTree(making);
            return undo(error.isEmpty() ? QString::fromUtf8("dossier impossible à créer : ") + staging : error);
        }
    }
    if (!writer.pictureBytes.isEmpty()) {
        Platform::WriteBatch batch;
        bool ok = QDir().mkpath(bmpDir) || (error = QString::fromUtf8("dossier impossible à créer : ") + bmpDir, false);
        for (const auto &[fileName, data] : std::as_const(writer.pictureBytes))
            ok = ok && Platform::writeFileAtomic(bmpDir + u'/' + fileName, data, &error);
        if (!ok || !batch.commit(&error))
            return undo(error);
    }
    {
        Platform::WriteBatch batch;
        bool ok = QDir().mkpath(staging) || (error = QString::fromUtf8("dossier impossible à créer : ") + staging, false);
        for (const auto &[fileName, data] : std::as_const(files))
            ok = ok && Platform::writeFileAtomic(staging + u'/' + fileName, data, &error);
        if (!ok || !batch.commit(&error))
            return undo(error);
    }
    // The rename does not replace a folder made meanwhile under that name.
    if (!Platform::syncDir(staging) || !QDir().rename(staging, dir))
        return undo(QString::fromUtf8("le dossier %1 ne peut être mis en place").arg(dir));
    Platform::syncDir(QFileInfo(dir).absolutePath());
    QFile::remove(dir + u'/' + kImportMark); // the project is whole: its pictures are its own
    result.projectFile = dir + u'/' + name + QStringLiteral(".PRJ");

    // The report.
    QStringList &r = result.report;
    r << QString::fromUtf8("%1 page(s) importée(s) de %2 dans le projet « %3 ».").arg(pageCount).arg(info.fileName(), name);
    QStringList losses = fileLosses + compilerWarnings;
    const qsizetype namedContexts = p.contexts.size(); // aliases too
    if (namedContexts)
        losses << QString::fromUtf8("les %1 nom(s) de contexte du fichier sont remplacés par les noms des pages ; "
                                    "les numéros [MAP] (%2) ne sont pas repris.")
                      .arg(namedContexts)
                      .arg(p.map.size());
    if (titlesCleaned)
        losses << QString::fromUtf8("%1 titre(s) de page dont les signes que les noms de page ne tiennent pas ([ ] ( ) , - : ...) "
                                    "sont devenus des blancs.")
                      .arg(titlesCleaned);
    if (!titleInText.isEmpty())
        losses << QString::fromUtf8("%1 titre(s) de page hors de Windows-1252, que les noms de page ne peuvent pas tenir : "
                                    "ces pages sont nommées « Page N » et leur titre ouvre leur texte.")
                      .arg(titleInText.size());
    if (writer.deadJumps)
        losses << QString::fromUtf8("%1 saut(s) vers des pages absentes gardé(s) comme texte simple.").arg(writer.deadJumps);
    if (writer.otherFiles)
        losses << QString::fromUtf8("%1 saut(s) vers d'autres fichiers d'aide gardé(s) comme lignes de commande.").arg(writer.otherFiles);
    if (writer.windows)
        losses << QString::fromUtf8("%1 saut(s) vers des fenêtres secondaires : ils ouvrent la page dans la fenêtre principale.").arg(writer.windows);
    if (writer.macros)
        losses << QString::fromUtf8("%1 macro(s) gardée(s) comme lignes de commande.").arg(writer.macros);
    if (writer.layouts)
        losses << QString::fromUtf8("%1 paragraphe(s) dont les retraits, espacements, taquets de tabulation ou bordures ne sont pas repris : "
                                    "l'éditeur garde l'alignement seul.")
                      .arg(writer.layouts);
    if (writer.tables)
        losses << QString::fromUtf8("%1 ligne(s) de tableau écrite(s) en paragraphes, les cellules séparées par des tabulations.").arg(writer.tables);
    if (p.hpj.windows.size() > 1)
        losses << QString::fromUtf8("%1 fenêtre(s) secondaire(s) non reprise(s).").arg(p.hpj.windows.size() - 1);
    if (!p.baggage.isEmpty())
        losses << QString::fromUtf8("%1 fichier(s) joint(s) à l'aide ([BAGGAGE]) non repris.").arg(p.baggage.size());
    if (!p.hpj.windowConfig.isEmpty())
        losses << QString::fromUtf8("macros de %1 fenêtre(s) secondaire(s) ([CONFIG-fenêtre]) non reprises.").arg(p.hpj.windowConfig.size());
    if (buttonsLeft)
        losses << QString::fromUtf8("%1 macro(s) de démarrage ([CONFIG]) non reprise(s) : les réglages du projet en tiennent 255 caractères.")
                      .arg(buttonsLeft);
    // The program's help reads its pages in the outline's order: one
    // browse sequence that the outline follows is kept.
    int entryMacros = 0;
    for (const Hlp::TSourceTopic &t : p.topics)
        entryMacros += int(t.macros.size());
    if (p.browse.size() > 1 || (!p.browse.isEmpty() && !tree.isEmpty()))
        losses << QString::fromUtf8("%1 séquence(s) de lecture : les pages suivent l'ordre du plan, une seule séquence.").arg(p.browse.size());
    if (entryMacros)
        losses << QString::fromUtf8("%1 macro(s) d'entrée de page non reprise(s).").arg(entryMacros);
    for (const QString &note : std::as_const(fileNotes))
        r << QStringLiteral("Note : ") + note;
    for (const QString &l : std::as_const(losses))
        r << QStringLiteral("Perte : ") + l;
    result.code = losses.isEmpty() ? 0 : 1;
    return result;
}

} // namespace Build
