// A help read from a .HLP written as a help project again (.HPJ, RTF, .CNT,
// pictures).
#include "compiler/sources/DecompiledProject.h"
#include "compiler/sources/HpjFile.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/pictures/WmfRender.h"
#include "platform/CodePage.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace Hlp {

namespace {

// Text for RTF: the three special characters escaped, bytes outside ASCII
// written as \'hh (they stay in the help's code page).
QByteArray rtfText(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text) {
        const quint8 b = quint8(c);
        if (c == '\\' || c == '{' || c == '}')
            out += '\\' + QByteArray(1, c);
        else if (b < 0x20 || b == 0x7F)
            out += ' '; // a file's control characters are nobody's text
        else if (b >= 0x80)
            out += "\\'" + QByteArray::number(b, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

// A text run for RTF in the code page `page`: as rtfText; a letter the page
// cannot hold as \uN (a reader of any code page takes it).
QByteArray runText(const QString &text, const Platform::CodePage &page)
{
    QString lost;
    const QByteArray bytes = textBytes(text, page, &lost);
    if (lost.isEmpty())
        return rtfText(bytes);
    QByteArray out;
    for (const QChar c : text) {
        QString missing;
        const QByteArray one = textBytes(QString(c), page, &missing);
        out += missing.isEmpty() ? rtfText(one) : "\\u" + QByteArray::number(qint16(c.unicode())) + '?';
    }
    return out;
}

QByteArray twips(int halfPoints) { return QByteArray::number(halfPoints * 10); }

class TRtfWriter {
public:
    TRtfWriter(const THelpDocument &p, const QList<QByteArray> &pictureFiles) : m_p(p), m_page(p.codePage), m_pictureFiles(pictureFiles) {}
    QByteArray write();
    QStringList losses;

private:
    QByteArray paragraphFormat(const TParagraphFormat &f);
    QByteArray runs(const QList<TInline> &items);
    QByteArray paragraph(const TParagraph &p, bool keepn);

    const THelpDocument &m_p;
    const Platform::CodePage m_page;
    const QList<QByteArray> &m_pictureFiles;
    TRtfTables m_tables; // colours numbered from 1 in the file (0 is the default)
};

QByteArray TRtfWriter::paragraphFormat(const TParagraphFormat &f)
{
    QByteArray out = "\\pard";
    if (f.spaceBefore) out += "\\sb" + twips(f.spaceBefore);
    if (f.spaceAfter) out += "\\sa" + twips(f.spaceAfter);
    if (f.lineSpacing) out += "\\sl" + twips(f.lineSpacing);
    if (f.leftIndent) out += "\\li" + twips(f.leftIndent);
    if (f.rightIndent) out += "\\ri" + twips(f.rightIndent);
    if (f.firstIndent) out += "\\fi" + twips(f.firstIndent);
    if (f.align == TParagraphFormat::Centre) out += "\\qc";
    if (f.align == TParagraphFormat::Right) out += "\\qr";
    if (f.keepTogether) out += "\\keep";
    if (f.borders) {
        for (const auto &[bit, word] : {std::pair{BorderBox, "\\box"}, std::pair{BorderTop, "\\brdrt"}, std::pair{BorderLeft, "\\brdrl"},
                                        std::pair{BorderBottom, "\\brdrb"}, std::pair{BorderRight, "\\brdrr"}})
            if (f.borders & bit)
                out += word;
        out += (f.borders & BorderDouble) ? "\\brdrdb" : (f.borders & BorderThick) ? "\\brdrth" : "\\brdrs";
    }
    for (const quint16 tab : f.tabs)
        out += "\\tx" + twips(tab & 0x3FFF);
    return out + ' ';
}

QByteArray TRtfWriter::runs(const QList<TInline> &items)
{
    QByteArray out;
    QByteArray target; // the open hotspot's hidden part
    for (const TInline &i : items) {
        switch (i.kind) {
        case TInline::Text: {
            out += '{' + m_tables.runWords(i.format, 1) + ' ' + runText(i.text, m_page) + '}';
            break;
        }
        case TInline::LineBreak: out += "\\line "; break;
        case TInline::Tab: out += "\\tab "; break;
        case TInline::NbSpace: out += "\\~"; break;
        case TInline::NbHyphen: out += "\\_"; break;
        case TInline::Picture:
            out += (i.placement == TInline::Left ? "\\{bml " : i.placement == TInline::Right ? "\\{bmr " : "\\{bmc ") + m_pictureFiles.value(i.picture) + "\\}";
            break;
        case TInline::HotspotStart: {
            if (!target.isEmpty())
                out += "}{\\v " + target + '}';
            const bool plain = i.plain;
            out += i.link == TInline::Popup ? "{\\ul " : "{\\uldb ";
            QByteArray to = i.link == TInline::Macro ? '!' + i.macro : i.context;
            if (!i.file.isEmpty())
                to += '@' + i.file;
            if (!i.window.isEmpty())
                to += '>' + i.window;
            else if (i.windowIndex >= 0 && i.windowIndex < m_p.hpj.windows.size())
                to += '>' + m_p.hpj.windows[i.windowIndex].name;
            target = rtfText((plain ? "%" : "") + to);
            break;
        }
        case TInline::HotspotEnd:
            if (!target.isEmpty())
                out += "}{\\v " + target + '}';
            target.clear();
            break;
        }
    }
    if (!target.isEmpty())
        out += "}{\\v " + target + '}';
    return out;
}

QByteArray TRtfWriter::paragraph(const TParagraph &p, bool keepn)
{
    if (!p.table)
        return paragraphFormat(p.format) + (keepn ? "\\keepn " : "") + runs(p.items) + "\\par\r\n";
    // A table row: its edges back in twips, each cell's paragraphs.
    const TTableRow &row = *p.table;
    QByteArray out = "\\trowd\\trgaph" + QByteArray::number(row.gap) + "\\trleft" + QByteArray::number(row.left);
    for (const int x : row.cellx)
        out += "\\cellx" + QByteArray::number(x);
    out += "\r\n";
    for (int cell = 0; cell < row.cellx.size(); ++cell) {
        QList<const TParagraph *> inCell;
        for (const auto &[c, para] : row.paragraphs)
            if (c == cell)
                inCell << &para;
        if (inCell.isEmpty())
            out += "\\pard\\intbl ";
        for (qsizetype k = 0; k < inCell.size(); ++k) {
            out += paragraphFormat(inCell[k]->format) + "\\intbl " + runs(inCell[k]->items);
            out += k + 1 < inCell.size() ? "\\par " : "";
        }
        out += "\\cell\r\n";
    }
    return out + "\\row\r\n";
}

QByteArray TRtfWriter::write()
{
    QByteArray body;
    for (const TSourceTopic &t : m_p.topics) {
        for (const QByteArray &c : t.contexts)
            body += "#{\\footnote " + rtfText(c) + "}\r\n";
        if (!t.title.isEmpty())
            body += "${\\footnote " + rtfText(t.title) + "}\r\n";
        if (!t.keywords.isEmpty())
            body += "K{\\footnote " + rtfText(t.keywords.join(';')) + "}\r\n";
        if (!t.aKeywords.isEmpty())
            body += "A{\\footnote " + rtfText(t.aKeywords.join(';')) + "}\r\n";
        if (!t.browse.isEmpty())
            body += "+{\\footnote " + rtfText(t.browse) + "}\r\n";
        for (const QByteArray &m : t.macros)
            body += "!{\\footnote " + rtfText(m) + "}\r\n";
        if (!t.window.isEmpty())
            body += ">{\\footnote " + rtfText(t.window) + "}\r\n";
        for (const TParagraph &p : t.nonScrolling)
            body += paragraph(p, true);
        for (const TParagraph &p : t.scrolling)
            body += paragraph(p, false);
        body += "\\page\r\n";
    }
    // Each face in the help's character set, as the code page says (a reader
    // takes a run in its font's); a picture font's bytes are its glyphs.
    const QByteArray charset = m_p.codePage == 1252 ? QByteArray() : "\\fcharset" + QByteArray::number(Platform::charsetOfCodePage(m_p.codePage));
    return "{\\rtf1\\ansi\\ansicpg" + QByteArray::number(m_p.codePage) + "\\deff0\r\n"
           + m_tables.fontTable([&](const QByteArray &face) {
                 return (isPictureFont(QString::fromLatin1(face)) ? QByteArray("\\fcharset2") : charset) + ' ' + rtfText(face);
             })
           + "\r\n" + m_tables.colourTable(";") + "\r\n" + body + "}\r\n";
}

} // namespace

TContextLookup::TContextLookup(const THelpDocument &p) : m_p(p)
{
    for (const TContext &c : p.contexts)
        m_byHash.insert(contextHash(c.name), c.topic);
}

int TContextLookup::topicOf(const QByteArray &context) const
{
    const QByteArray name = normalizeContext(context.trimmed());
    const int n = m_p.contextTopic.value(name.toUpper(), -1);
    return n >= 0 || name.isEmpty() ? n : m_byHash.value(contextHash(name), -1);
}

int TRtfTables::face(const QByteArray &name)
{
    const qsizetype n = faces.indexOf(name);
    if (n >= 0)
        return int(n);
    faces << name;
    return int(faces.size() - 1);
}

QByteArray TRtfTables::runWords(const TCharFormat &f, int firstColour, bool underline)
{
    QByteArray words = "\\f" + QByteArray::number(face(f.face)) + "\\fs" + QByteArray::number(f.halfPoints);
    if (f.attributes & FontBold) words += "\\b";
    if (f.attributes & FontItalic) words += "\\i";
    if (underline && (f.attributes & FontUnderline)) words += "\\ul";
    if (f.colour[0] || f.colour[1] || f.colour[2])
        words += "\\cf" + QByteArray::number(colour(f.colour) + firstColour);
    return words;
}

QByteArray TRtfTables::fontTable(const std::function<QByteArray(const QByteArray &)> &entry) const
{
    QByteArray out = "{\\fonttbl";
    for (qsizetype n = 0; n < faces.size(); ++n)
        out += "{\\f" + QByteArray::number(n) + "\\fnil" + entry(faces[n]) + ";}";
    return out + '}';
}

QByteArray TRtfTables::colourTable(const QByteArray &first) const
{
    QByteArray out = "{\\colortbl" + first;
    for (const QByteArray &c : colours)
        out += "\\red" + QByteArray::number(quint8(c[0])) + "\\green" + QByteArray::number(quint8(c[1])) + "\\blue"
               + QByteArray::number(quint8(c[2])) + ';';
    return out + '}';
}

int TRtfTables::colour(const quint8 *rgb)
{
    const QByteArray key(reinterpret_cast<const char *>(rgb), 3);
    const qsizetype n = colours.indexOf(key);
    if (n >= 0)
        return int(n);
    colours << key;
    return int(colours.size() - 1);
}

QList<TOutlineEntry> helpOutline(const THelpDocument &p, const QByteArray &cnt)
{
    const TContextLookup lookup(p);
    const int contents = p.topics.isEmpty() ? -1 : p.contextTopic.value(p.hpj.options.value("CONTENTS").toUpper(), 0);
    QList<TOutlineEntry> entries;
    QSet<int> placed;
    const auto place = [&](int topic, int level) {
        if (topic < 0 || topic >= p.topics.size() || placed.contains(topic))
            return false;
        placed.insert(topic);
        entries << TOutlineEntry{topic, level, {}};
        return true;
    };
    place(contents, 1);
    int previous = 1;
    for (QByteArray line : cnt.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line[0] < '1' || line[0] > '9')
            continue; // ":Base", ":Title", ":Index"... and comments
        const int level = qMin(line[0] - '0' + 1, previous + 1);
        const QByteArray rest = line.mid(1).trimmed();
        const qsizetype eq = rest.indexOf('=');
        if (eq < 0) {
            entries << TOutlineEntry{-1, level, rest};
            previous = level;
            continue;
        }
        QByteArray context = rest.mid(eq + 1).trimmed();
        if (context.contains('@'))
            continue; // a page of another help file
        if (context.contains('>'))
            context.truncate(context.indexOf('>'));
        const int topic = lookup.topicOf(context);
        // A heading whose first entry is a page of the same title is that
        // page, as the reader sees them (one book that opens on it).
        if (!entries.isEmpty() && entries.last().topic < 0 && entries.last().level == level - 1 && topic >= 0
            && !placed.contains(topic) && entries.last().heading.trimmed() == rest.left(eq).trimmed()
            && p.topics[topic].title.trimmed() == rest.left(eq).trimmed()) {
            entries.removeLast();
            place(topic, level - 1);
            previous = level - 1;
            continue;
        }
        if (place(topic, level))
            previous = level;
    }
    // Browse sequences give the order when there is no tree; several of
    // them are chapters.
    if (cnt.isEmpty()) {
        QHash<int, int> sequenceOf;
        for (qsizetype s = 0; s < p.browse.size(); ++s)
            for (const int t : p.browse[s])
                sequenceOf.insert(t, int(s));
        for (int n = 0; n < p.topics.size(); ++n) {
            if (!sequenceOf.contains(n)) {
                place(n, 2);
                continue;
            }
            bool first = true;
            for (const int t : p.browse[sequenceOf.value(n)])
                if (place(t, first || p.browse.size() == 1 ? 2 : 3))
                    first = false;
        }
    }
    for (int n = 0; n < p.topics.size(); ++n)
        place(n, 2);
    return entries;
}

namespace {

// A file of the help's folder, named without regard to letter case: its
// bytes, or nothing when it is not there or is larger than such files are.
QByteArray fileBeside(const QFileInfo &help, const QString &name)
{
    const QString file = Platform::resolveCase(help.absolutePath() + u'/' + name);
    QByteArray bytes;
    if (!QFileInfo(file).isFile() || QFileInfo(file).size() > (1 << 24) || !Platform::readWholeFile(file, &bytes))
        return {};
    return bytes;
}

} // namespace

QByteArray contentsFileBeside(const THelpDocument &p, const QString &helpFile)
{
    const QFileInfo info(helpFile);
    const QByteArray named = p.hpj.options.value("CNT").trimmed();
    return fileBeside(info, named.isEmpty() ? info.completeBaseName() + QStringLiteral(".cnt")
                                            : QFileInfo(QString::fromLatin1(named).replace(u'\\', u'/')).fileName());
}

int nameContextsFromFilesBeside(THelpDocument &p, const QString &helpFile)
{
    QByteArray text = contentsFileBeside(p, helpFile);
    const QFileInfo info(helpFile);
    for (const char *extension : {".hm", ".h"})
        if (const QByteArray header = fileBeside(info, info.completeBaseName() + QLatin1String(extension)); !header.isEmpty())
            text += '\n' + header;
    return text.isEmpty() ? 0 : nameContexts(p, text);
}

namespace {

// A contents file made from the outline: a page with pages below it is a
// book that opens with that page.
QByteArray contentsFrom(const THelpDocument &p, const QList<TOutlineEntry> &outline, const QString &name)
{
    QByteArray out = ":Base " + name.toUtf8() + ".hlp\r\n";
    if (p.hpj.options.contains("TITLE"))
        out += ":Title " + hpjValue(p.hpj.options.value("TITLE")) + "\r\n";
    // The books open above each entry, by their level in the outline; the
    // contents page stands beside the others, not over them.
    QList<int> books;
    const auto levelOf = [&](qsizetype k) { return qMax(outline[k].level, 2); };
    for (qsizetype k = 0; k < outline.size(); ++k) {
        const TOutlineEntry &e = outline[k];
        while (!books.isEmpty() && books.last() >= levelOf(k))
            books.removeLast();
        const bool book = e.topic < 0 || (k + 1 < outline.size() && levelOf(k + 1) > levelOf(k));
        const TSourceTopic *t = e.topic >= 0 ? &p.topics[e.topic] : nullptr;
        const QByteArray title = hpjValue(t ? t->title : e.heading).simplified().replace('=', '-');
        if (book) {
            out += QByteArray::number(qMin(int(books.size()) + 1, 9)) + ' ' + (title.isEmpty() ? "-" : title) + "\r\n";
            books << levelOf(k);
        }
        if (t && !t->contexts.isEmpty() && !title.isEmpty()) // an untitled page is not listed
            out += QByteArray::number(qMin(int(books.size()) + 1, 9)) + ' ' + title + '=' + t->contexts.first() + "\r\n";
    }
    return out;
}

} // namespace

QStringList writeProject(const THelpFileRead &read, const QString &folder, const QString &name, QStringList *report,
                         const QByteArray &contents)
{
    const THelpDocument &p = read.project;
    if (!QDir().mkpath(folder))
        return {QString::fromUtf8("dossier impossible à créer : ") + folder};
    // All the files or none: a journal names the renames of the commit, and
    // one that a kill cut short is completed here first.
    const QString journal = folder + QStringLiteral("/.kivhc-journal");
    Platform::replayJournal(journal, {folder});
    Platform::removeStaleTemps(folder);
    Platform::WriteBatch batch;
    batch.setJournal(journal);
    // A rename that fails leaves the journal and the files still to rename:
    // the next decompile into this folder completes the commit.
    batch.setKeepJournalOnFailure(true);
    QStringList errors;
    // Files of the folder that no decompile wrote (the author's, the help
    // itself) are never replaced: the list of what the last one wrote says
    // which are ours.
    const QString madeList = folder + QStringLiteral("/.kivhc-files");
    QByteArray listed;
    Platform::readWholeFile(madeList, &listed);
    QSet<QString> ours;
    for (const QByteArray &line : listed.split('\n'))
        if (!line.trimmed().isEmpty())
            ours.insert(QString::fromUtf8(line.trimmed()).toLower());
    // (A folder an earlier version decompiled into has no list, but its
    // report: the files a decompile makes are then taken as its own.)
    QByteArray oldReport;
    const bool earlier = listed.isEmpty() && Platform::readWholeFile(folder + u'/' + name + QStringLiteral(".txt"), &oldReport)
                         && oldReport.startsWith(QString::fromUtf8("Projet reconstruit à partir de").toUtf8());
    static const QRegularExpression outputName(QStringLiteral("^(bm\\d+\\.(bmp|shg|wmf|mrb))$"), QRegularExpression::CaseInsensitiveOption);
    QSet<QString> theirs;
    for (const QString &entry : Platform::entryNames(folder)) {
        const QString lower = entry.toLower();
        if (ours.contains(lower) || entry.startsWith(u'.'))
            continue;
        if (earlier && (outputName.match(entry).hasMatch() || QFileInfo(lower).completeBaseName() == name.toLower()))
            continue;
        theirs.insert(lower);
    }
    QStringList written;
    const auto put = [&](const QString &file, const QByteArray &bytes) {
        QString error;
        if (!errors.isEmpty())
            return;
        if (theirs.contains(file.toLower())) {
            errors << QString::fromUtf8("%1 : ce fichier du dossier n'a pas été écrit par une décompilation, il n'est pas remplacé "
                                        "(décompilez dans un autre dossier, -o)")
                          .arg(folder + u'/' + file);
            return;
        }
        if (!Platform::writeFileAtomic(folder + u'/' + file, bytes, &error))
            errors << file + QStringLiteral(" : ") + error;
        written << file;
    };
    // The pictures: bitmaps as .BMP files, hotspot graphics as .SHG, the
    // others as the help file stores them (.MRB).
    QList<QByteArray> pictureFiles;
    for (qsizetype k = 0; k < p.pictureData.size(); ++k) {
        QByteArray extension;
        const QByteArray bytes = pictureAsFile(p.pictureData[k], &extension);
        pictureFiles << "bm" + QByteArray::number(k) + '.' + extension;
        if (!bytes.isEmpty())
            put(QString::fromLatin1(pictureFiles.last()), bytes);
    }
    // [BAGGAGE]: each file under its plain name, in the folder itself (a
    // name that would leave it, or is taken, is said and left out).
    QList<QByteArray> baggage;
    QStringList baggageLost;
    for (const auto &[internal, bytes] : p.baggage) {
        const QByteArray plain = internal.mid(qMax(internal.lastIndexOf('/'), internal.lastIndexOf('\\')) + 1);
        const QString file = QString::fromLatin1(plain);
        const bool taken = file.compare(name + QStringLiteral(".hpj"), Qt::CaseInsensitive) == 0 || file.compare(name + QStringLiteral(".rtf"), Qt::CaseInsensitive) == 0
                           || file.compare(name + QStringLiteral(".cnt"), Qt::CaseInsensitive) == 0 || file.compare(name + QStringLiteral(".txt"), Qt::CaseInsensitive) == 0
                           || pictureFiles.contains(plain.toLower());
        const bool control = std::any_of(plain.cbegin(), plain.cend(), [](char c) { return quint8(c) < 0x20 || quint8(c) == 0x7F; });
        if (plain.isEmpty() || plain.startsWith('.') || control || taken || plain.size() > 255 || theirs.contains(file.toLower())) {
            baggageLost << QString::fromLatin1(internal);
            continue;
        }
        put(file, bytes);
        baggage << plain;
    }
    TRtfWriter rtf(p, pictureFiles);
    put(name + QStringLiteral(".rtf"), rtf.write());
    // The contents file: as it was, else made again from the outline.
    QStringList lines{QString::fromUtf8("Projet reconstruit à partir de %1.hlp : %2 page(s).").arg(name).arg(p.topics.size())};
    const bool hasContents = !contents.isEmpty() || p.hpj.options.contains("CNT");
    if (hasContents) {
        put(name + QStringLiteral(".cnt"), contents.isEmpty() ? contentsFrom(p, helpOutline(p, {}), name) : contents);
        if (contents.isEmpty())
            lines << QString::fromUtf8("le fichier de sommaire que l'aide nomme n'est pas à côté d'elle : %1.cnt est refait d'après "
                                       "les séquences de lecture et l'ordre des pages.")
                         .arg(name);
    }
    // The project.
    QByteArray hpj = "; Rebuilt from " + name.toUtf8() + ".hlp\r\n[OPTIONS]\r\n";
    for (const char *key : {"TITLE", "COPYRIGHT", "CONTENTS", "LCID", "CHARSET", "CITATION"})
        if (p.hpj.options.contains(key))
            hpj += QByteArray(key) + '=' + hpjValue(p.hpj.options.value(key)) + "\r\n";
    if (hasContents)
        hpj += "CNT=" + name.toUtf8() + ".cnt\r\n";
    hpj += "COMPRESS=YES\r\nHLP=" + name.toUtf8() + ".hlp\r\n";
    if (!p.hpj.windows.isEmpty()) {
        hpj += "\r\n[WINDOWS]\r\n";
        for (const TWindowDef &w : p.hpj.windows)
            hpj += windowLine(w) + "\r\n";
    }
    if (!p.hpj.config.isEmpty()) {
        hpj += "\r\n[CONFIG]\r\n";
        for (const QByteArray &m : p.hpj.config)
            hpj += hpjValue(m) + "\r\n";
    }
    for (auto it = p.hpj.windowConfig.cbegin(); it != p.hpj.windowConfig.cend(); ++it) {
        hpj += "\r\n[CONFIG-" + hpjValue(it.key()) + "]\r\n";
        for (const QByteArray &m : it.value())
            hpj += hpjValue(m) + "\r\n";
    }
    if (!p.map.isEmpty()) {
        hpj += "\r\n[MAP]\r\n";
        for (const TMapEntry &m : p.map)
            hpj += hpjValue(m.context) + ' ' + QByteArray::number(m.number) + "\r\n";
    }
    if (!baggage.isEmpty())
        hpj += "\r\n[BAGGAGE]\r\n" + baggage.join("\r\n") + "\r\n";
    hpj += "\r\n[FILES]\r\n" + name.toUtf8() + ".rtf\r\n";
    put(name + QStringLiteral(".hpj"), hpj);
    // What could not come back.
    int made = 0;
    for (const TSourceTopic &t : p.topics)
        for (const QByteArray &c : t.contexts)
            made += c.startsWith("CTX_") ? 1 : 0;
    if (made)
        lines << QString::fromUtf8("%1 nom(s) de contexte que le fichier ne garde pas, remplacé(s) par des noms de même code (CTX_...) : "
                                   "les programmes qui ouvrent ces pages par leur nom y arrivent toujours.")
                     .arg(made);
    if (!baggageLost.isEmpty())
        lines << QString::fromUtf8("fichier(s) joint(s) ([BAGGAGE]) au nom inutilisable ou déjà pris dans le dossier, non écrit(s) : %1").arg(baggageLost.join(QStringLiteral(", ")));
    lines += read.notes;
    lines += read.losses;
    lines += rtf.losses;
    put(name + QStringLiteral(".txt"), (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8());
    if (errors.isEmpty())
        put(QStringLiteral(".kivhc-files"), (written.join(u'\n') + u'\n').toUtf8());
    QString error;
    if (errors.isEmpty() && !batch.commit(&error))
        errors << error;
    if (report)
        *report = lines;
    return errors;
}

} // namespace Hlp
