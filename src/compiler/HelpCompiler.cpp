// The compiler's driver: a help project read once into the help document, then
// written as each output asks.
#include "compiler/HelpCompiler.h"
#include "compiler/hlp/HlpDocumentRead.h"
#include "compiler/sources/DecompiledProject.h"

#include "compiler/document/HelpDocument.h"
#include "compiler/chm/ChmWriter.h"
#include "compiler/web/HtmlWriter.h"
#include "compiler/pdf/PdfManual.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/sources/HpjFile.h"
#include "compiler/sources/Macros.h"
#include "compiler/hlp/HlpParagraph.h"
#include "compiler/hlp/HlpPhrases.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/hlp/HlpSections.h"
#include "compiler/hlp/HlpTopic.h"
#include "compiler/sources/RtfTopics.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <optional>

#include <QCollator>
#include <QDir>
#include <QImageReader>
#include <QBuffer>
#include <QLocale>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <tuple>

namespace Hlp {

namespace {

// Longest title, keyword and macro the viewers keep.
constexpr int MaxTitle = 127;
constexpr int MaxKeyword = 255;
constexpr int MaxMacro = 512;

// Messages in three kinds. WARNING=1 keeps the warnings about lost
// content (undefined jumps, missing files and pictures, repaired macros),
// WARNING=2 all warnings, WARNING=3 (the default) notes too.
class Messages {
public:
    explicit Messages(TCompileResult &r) : m_r(r) {}
    void setLevel(int level) { m_level = level; }
    void error(int code, const QString &where, const QString &text)
    {
        add(QStringLiteral("Error"), code, where, text);
        ++m_r.errors;
    }
    void warning(int code, const QString &where, const QString &text)
    {
        static const QList<int> serious{1005, 3025, 4071, 4072, 4073, 4113, 4114, 4115, 4641};
        if (m_level < (serious.contains(code) ? 1 : 2))
            return;
        add(QStringLiteral("Warning"), code, where, text);
        ++m_r.warnings;
    }
    // Something the compiler did on the author's behalf; not a fault.
    void note(int code, const QString &where, const QString &text)
    {
        if (m_level >= 3)
            add(QStringLiteral("Note"), code, where, text);
    }

private:
    void add(const QString &kind, int code, const QString &where, const QString &text)
    {
        m_r.messages << QStringLiteral("HC%1: %2: %3%4").arg(code).arg(kind, where.isEmpty() ? QString() : where + QStringLiteral(" : "), text);
    }
    TCompileResult &m_r;
    int m_level = 3;
};

// The order of an index: letters without accents and case first, then
// with their accents, then the bytes, so that every build sorts alike.
using TKeywordOrder = std::tuple<QString, QString, QByteArray>;
TKeywordOrder keywordOrder(const QByteArray &keyword)
{
    const QString text = Platform::fromCp1252(keyword).toUpper();
    QString base;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            base += c;
    return {base, text, keyword};
}

// A file name from the project file or a topic: Windows-1252 text, unless
// its bytes are valid UTF-8 (a project written on Linux).
QString decodeName(const QByteArray &name) { return Platform::fromCp1252OrUtf8(name.constData(), name.size()); }

// Finds a file named in a project written on Windows: '\\' separators, and
// a name in any letter case (each folder listed once, not once per file).
class TFileFinder {
public:
    QString operator()(const QString &base, const QByteArray &name)
    {
        // The name as written (a trailing blank may belong to it), else
        // without the blanks around it.
        QString n = decodeName(name);
        n.replace(u'\\', u'/');
        const QString found = m_resolver.resolve(QDir::isAbsolutePath(n) ? n : base + u'/' + n);
        if (QFileInfo::exists(found) || n.trimmed() == n)
            return found;
        n = n.trimmed();
        return m_resolver.resolve(QDir::isAbsolutePath(n) ? n : base + u'/' + n);
    }

private:
    Platform::CaseResolver m_resolver;
};

// "group:order"; a numeric group equal to its order ("7: 7", as the
// authoring tool writes it) belongs to the common sequence.
QPair<QByteArray, QByteArray> browseKey(const QByteArray &value)
{
    const qsizetype colon = value.indexOf(':');
    if (colon < 0)
        return {QByteArray(), value.trimmed()};
    QByteArray group = value.left(colon).trimmed(), order = value.mid(colon + 1).trimmed();
    bool numeric = false;
    group.toLongLong(&numeric);
    if (numeric && group == order)
        group.clear();
    return {group, order};
}

bool orderLess(const QByteArray &a, const QByteArray &b)
{
    bool na = false, nb = false;
    const qlonglong x = a.toLongLong(&na), y = b.toLongLong(&nb);
    if (na && nb)
        return x < y;
    return a < b;
}

} // namespace

namespace {

QString where(const TSourceTopic &t) { return QStringLiteral("%1, page %2").arg(decodeName(t.sourceFile)).arg(t.page); }

// Reads the project file, its topic files and pictures, and checks them;
// false when nothing can be written.
// True when `path` (made or not yet) lies in the folder `root` (a
// canonical path), links followed.
bool isInside(const QString &root, const QString &path)
{
    const QFileInfo info(path);
    QString real = info.canonicalFilePath();
    if (real.isEmpty()) {
        const QString parent = QFileInfo(info.absolutePath()).canonicalFilePath();
        if (parent.isEmpty())
            return false;
        real = parent + u'/' + info.fileName();
    }
    return !root.isEmpty() && (real == root || real.startsWith(root + u'/'));
}

// The code page the help is written in: CHARSET=, else the language of
// LCID=, else the first topic file's \ansicpg, else Windows-1252.
int helpCodePage(const THpj &hpj, const QByteArray &firstRtf, const QString &hpjName, Messages &msg)
{
    if (hpj.options.contains("CHARSET")) {
        bool ok = false;
        const int charset = hpj.options.value("CHARSET").trimmed().toInt(&ok, 0);
        const int page = ok ? Platform::codePageOfCharset(charset) : -1;
        if (ok && charset == 0)
            return 1252;
        if (page > 0 && Platform::CodePage(page).number() == page)
            return page;
        msg.warning(1100, hpjName, QStringLiteral("CHARSET incompréhensible ou non pris en charge, ignoré : %1")
                                       .arg(QString::fromLatin1(hpj.options.value("CHARSET"))));
    }
    bool ok = false;
    const uint lcid = hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&ok, 0);
    if (ok && lcid > 0 && Platform::languageOfLcid(int(lcid)).tag.size())
        return Platform::languageOfLcid(int(lcid)).codePage;
    static const QRegularExpression ansicpg(QStringLiteral("\\\\ansicpg(\\d+)"));
    const QRegularExpressionMatch m = ansicpg.match(QString::fromLatin1(firstRtf.left(2048)));
    const int page = m.hasMatch() ? m.captured(1).toInt() : 1252;
    return Platform::CodePage(page).number() == page ? page : 1252;
}

bool readProject(const QString &hpjPath, const TCompileOptions &options, Messages &msg, TCompileResult &result,
                 THelpDocument &read)
{
    QByteArray hpjBytes;
    if (!Platform::readWholeFile(hpjPath, &hpjBytes)) {
        msg.error(1005, hpjPath, QStringLiteral("impossible de lire le fichier projet."));
        return false;
    }
    THpj &hpj = read.hpj;
    hpj = parseHpj(hpjBytes);
    const auto yes = [](const QByteArray &v) {
        const QByteArray u = v.trimmed().toUpper();
        return u == "YES" || u == "ON" || u == "TRUE" || u == "1";
    };
    if (hpj.options.contains("WARNING")) {
        bool ok = false;
        const int level = hpj.options.value("WARNING").trimmed().toInt(&ok);
        read.warningLevel = ok ? qBound(1, level, 3) : 3;
        msg.setLevel(read.warningLevel);
    }
    // REPORT=Yes: lists are given whole, one entry per line.
    read.report = yes(hpj.options.value("REPORT"));
    // A file that cannot be read: an error unless the author allowed it.
    const auto missing = [&](int code, const QString &where, const QString &text) {
        if (options.missingFilesAreWarnings)
            msg.warning(code, where, text);
        else
            msg.error(code, where, text);
    };
    const QString hpjDir = QFileInfo(hpjPath).absolutePath();
    const QString hpjName = read.hpjName = QFileInfo(hpjPath).fileName();
    read.hpjDir = QFileInfo(hpjPath).absolutePath();
    TFileFinder findFile;
    // Files outside the project's folder (an absolute path, "..", a link
    // that leads out) are named once in a warning; in safe mode (a project
    // from elsewhere) they are neither read nor written.
    const QString projectRoot = QFileInfo(hpjDir).canonicalFilePath();
    QSet<QString> saidOutside;
    QStringList trustedRoots;
    for (const QString &folder : options.trusted)
        if (const QString real = QFileInfo(folder).canonicalFilePath(); !real.isEmpty())
            trustedRoots << real;
    const auto allowed = [&](const QString &path, const QString &what) {
        if (path.isEmpty() || isInside(projectRoot, path))
            return true;
        for (const QString &root : std::as_const(trustedRoots))
            if (isInside(root, path))
                return true;
        if (!saidOutside.contains(path)) {
            saidOutside.insert(path);
            msg.warning(1017, hpjName,
                        (options.safe ? QString::fromUtf8("%1 hors du dossier du projet, refusé (--safe) : %2")
                                      : QString::fromUtf8("%1 hors du dossier du projet : %2"))
                            .arg(what, path));
        }
        return !options.safe;
    };
    if (hpj.options.contains("ERRORLOG")) {
        result.errorLog = findFile(hpjDir, hpj.options.value("ERRORLOG"));
        if (!allowed(result.errorLog, QStringLiteral("journal ERRORLOG=")))
            result.errorLog.clear();
    }
    // HLP=: the help file's name and folder, in the letter case written.
    if (!hpj.options.value("HLP").trimmed().isEmpty()) {
        QString name = decodeName(hpj.options.value("HLP").trimmed());
        name.replace(u'\\', u'/');
        const QFileInfo given(QDir::isAbsolutePath(name) ? name : hpjDir + u'/' + name);
        result.helpFile = Platform::resolveCase(given.absolutePath()) + u'/' + given.fileName();
        if (!allowed(result.helpFile, QStringLiteral("fichier d'aide HLP=")))
            result.helpFile.clear();
    }
    for (const TDiagnostic &w : hpj.warnings)
        msg.warning(1100, QStringLiteral("%1, ligne %2").arg(hpjName).arg(w.line), w.text);
    for (const TDiagnostic &e : hpj.errors)
        msg.error(1030, hpjName, e.text);
    if (result.errors)
        return false;
    // ROOT and BMROOT: folders, relative to the project's, searched in
    // order before the project's own folder.
    const auto folders = [&](const QByteArray &key) {
        QStringList dirs;
        for (const QByteArray &entry : hpj.options.value(key).split(',')) {
            if (entry.trimmed().isEmpty())
                continue;
            const QString dir = findFile(hpjDir, entry);
            if (QFileInfo(dir).isDir()) {
                if (allowed(dir, QStringLiteral("répertoire %1=").arg(QString::fromLatin1(key))))
                    dirs << dir;
            }
            else
                msg.warning(1011, hpjName, QStringLiteral("répertoire %1 introuvable : %2").arg(QString::fromLatin1(key), decodeName(entry.trimmed())));
        }
        return dirs;
    };
    QStringList roots = folders("ROOT");
    const QStringList bitmapRoots = folders("BMROOT") + roots + QStringList{hpjDir};
    roots << hpjDir;
    // `refused`: the file is there but outside the folder (already said).
    const auto findIn = [&](const QStringList &dirs, const QByteArray &name, bool *refused = nullptr) {
        for (const QString &dir : dirs) {
            const QString path = findFile(dir, name);
            if (QFileInfo(path).isFile()) {
                const bool ok = allowed(path, QStringLiteral("fichier"));
                if (refused)
                    *refused = !ok;
                return ok ? path : QString();
            }
        }
        return QString();
    };
    // [MAP] files: header files (.H, .HM) whose other lines are skipped.
    for (const auto &[line, name] : hpj.mapIncludes) {
        QByteArray header;
        // A Windows path that does not exist here: the file of that name
        // in the project's folder.
        QString path = findIn({hpjDir}, name);
        if (path.isEmpty())
            path = findIn({hpjDir}, QFileInfo(decodeName(name).replace(u'\\', u'/')).fileName().toLocal8Bit());
        if (path.isEmpty() || !Platform::readWholeFile(path, &header)) {
            msg.warning(1012, QStringLiteral("%1, ligne %2").arg(hpjName).arg(line),
                        QStringLiteral("fichier inclus introuvable : %1").arg(decodeName(name)));
            continue;
        }
        // Other lines (C code, include guards) give nothing; a line that
        // names a context and something that is not a number is said.
        const QList<QByteArray> lines = header.split('\n');
        for (qsizetype k = 0; k < lines.size(); ++k) {
            const QByteArray text = lines[k].trimmed();
            if ((text.startsWith('#') && !text.startsWith("#define")) || parseMapLine(text, &hpj.map))
                continue;
            if (mapLineParts(text).size() == 2)
                msg.warning(1013, QStringLiteral("%1, ligne %2").arg(decodeName(name)).arg(k + 1),
                            QStringLiteral("entrée [MAP] dont le numéro est illisible, ignorée : %1").arg(decodeName(text)));
        }
    }
    const THpj::Compression compression = read.compression = hpj.compression();
    if (compression == THpj::Compression::Unknown)
        msg.warning(1030, hpjName, QStringLiteral("valeur de COMPRESS non reconnue : fichier écrit sans compression."));

    // Topics of every file, in order.
    QList<TSourceTopic> &topics = read.topics;
    QList<TPictureSource> pictures;
    bool pageChosen = false;
    int &helpPage = read.codePage;
    for (const QByteArray &file : hpj.files) {
        const QString path = findIn(roots, file);
        QByteArray rtf;
        if (path.isEmpty() || !Platform::readWholeFile(path, &rtf)) {
            // Its topics are left out; jumps to them are reported below.
            missing(1005, decodeName(file), QStringLiteral("fichier de pages introuvable ou illisible."));
            continue;
        }
        if (!std::exchange(pageChosen, true))
            helpPage = helpCodePage(hpj, rtf, hpjName, msg);
        const qsizetype knownPictures = pictures.size();
        TTopicFileRead read = readTopicFile(rtf, &pictures, helpPage);
        for (qsizetype k = knownPictures; k < pictures.size(); ++k)
            pictures[k].sourceFile = file;
        if (!read.isRtf) {
            msg.error(4001, decodeName(file), QStringLiteral("ce n'est pas un fichier RTF."));
            continue;
        }
        for (qsizetype i = 0; i < read.warnings.size(); ++i)
            msg.warning(read.warningCodes.value(i, 4000), decodeName(file), read.warnings[i]);
        for (qsizetype i = 0; i < read.topics.size(); ++i) {
            read.topics[i].sourceFile = file;
            read.topics[i].page = int(i + 1);
        }
        topics += read.topics;
    }
    // Build tags: under BUILD=, a topic whose "*" footnote tags do not
    // match is left out whole (contexts, keywords, browse sequence).
    if (!options.everyTopic && !hpj.options.value("BUILD").trimmed().isEmpty()) {
        const QByteArray expression = hpj.options.value("BUILD").trimmed();
        bool valid = true;
        buildSelects(expression, {}, &valid);
        if (!valid) {
            msg.error(2131, hpjName, QString::fromUtf8("expression BUILD= incorrecte : %1").arg(decodeName(expression)));
            return false;
        }
        qsizetype left = 0;
        for (qsizetype n = topics.size() - 1; n >= 0; --n)
            if (!topics[n].buildTags.isEmpty() && !buildSelects(expression, topics[n].buildTags, &valid)) {
                topics.removeAt(n);
                ++left;
            }
        if (left)
            msg.note(1020, hpjName, QString::fromUtf8("%1 page(s) laissée(s) de côté par BUILD=%2.").arg(left).arg(decodeName(expression)));
    }
    if (!hpj.buildTags.isEmpty()) {
        QStringList unknownTags;
        for (const TSourceTopic &t : std::as_const(topics))
            for (const QByteArray &tag : t.buildTags)
                if (!hpj.buildTags.contains(tag) && !unknownTags.contains(decodeName(tag)))
                    unknownTags << decodeName(tag);
        if (!unknownTags.isEmpty())
            msg.warning(1021, hpjName, QString::fromUtf8("balise(s) de compilation absente(s) de [BUILDTAGS] : %1").arg(unknownTags.join(QStringLiteral(", "))));
    }
    // [FONTS]: a face (at one size) drawn as another.
    if (!hpj.fonts.isEmpty())
        for (TSourceTopic &t : topics)
            for (QList<TParagraph> *paras : {&t.nonScrolling, &t.scrolling})
                for (TParagraph &p : *paras)
                    for (TInline &i : p.items)
                        for (const TFontMapping &m : std::as_const(hpj.fonts))
                            if (i.kind == TInline::Text && i.format.face.compare(m.face, Qt::CaseInsensitive) == 0
                                && (m.size == 0 || m.size * 2 == i.format.halfPoints)) {
                                i.format.face = m.toFace;
                                if (m.toSize)
                                    i.format.halfPoints = quint8(m.toSize * 2);
                                break;
                            }
    // Pictures: [BITMAPS] entries first (by file name), then BMROOT, ROOT
    // and the project's folder.
    QList<QByteArray> &pictureData = read.pictureData;
    pictureData.resize(pictures.size());
    for (const TPictureSource &source : std::as_const(pictures)) // the readers' text for each picture
        read.pictureNames << QFileInfo(decodeName(source.file).replace(u'\\', u'/')).completeBaseName();
    for (qsizetype k = 0; k < pictures.size(); ++k) {
        const bool lz77 = compression == THpj::Compression::Lz77;
        QByteArray picture;
        QString why;
        if (pictures[k].file.isEmpty()) { // written in the RTF
            if (rtfPictureToPicture(pictures[k].embedded, &picture, &why, lz77)) {
                pictureData[k] = picture;
                // A photo pasted as JPEG (or a PNG) goes to the web as it is,
                // when it is shown at its own size.
                const TRtfPicture &e = pictures[k].embedded;
                if ((e.format == TRtfPicture::Jpeg || e.format == TRtfPicture::Png) && !rasterFormat(e.data).isEmpty()) {
                    QByteArray original = e.data;
                    QBuffer buffer(&original);
                    if (QImageReader(&buffer).size() == pictureImage(picture).size()) {
                        read.pictureFiles.resize(pictures.size());
                        read.pictureFiles[k] = e.data;
                    }
                }
            } else
                msg.warning(4115, QStringLiteral("%1, page %2").arg(decodeName(pictures[k].sourceFile)).arg(pictures[k].page),
                            QString::fromUtf8("image intégrée ignorée : %1.").arg(why));
            continue;
        }
        const QString name = decodeName(pictures[k].file);
        QString path;
        for (const QByteArray &entry : hpj.bitmaps) {
            const QString candidate = findFile(hpjDir, entry);
            if (QFileInfo(candidate).fileName().compare(QFileInfo(name).fileName(), Qt::CaseInsensitive) == 0
                && QFileInfo(candidate).isFile() && allowed(candidate, QStringLiteral("image")))
                path = candidate;
        }
        if (path.isEmpty())
            path = findIn(bitmapRoots, pictures[k].file);
        QByteArray bmp;
        // Named with the page that shows it first.
        const QString where = QStringLiteral("%1 (%2, page %3)").arg(name, decodeName(pictures[k].sourceFile)).arg(pictures[k].page);
        if (path.isEmpty() || !Platform::readWholeFile(path, &bmp)) {
            msg.warning(4113, where, QStringLiteral("image introuvable."));
            continue;
        }
        if (!bmpToPicture(bmp, &picture, &why, lz77)) {
            msg.warning(4114, where, why + u'.');
            continue;
        }
        pictureData[k] = picture;
        if (!rasterFormat(bmp).isEmpty()) {
            read.pictureFiles.resize(pictures.size());
            read.pictureFiles[k] = bmp;
        }
    }
    QList<QPair<QString, QByteArray>> &localJumps = read.localJumps;
    // Macros: checked against the viewers' table, written again in the
    // form every viewer reads; those the viewer would fail on or crash on
    // are errors. Routines that [CONFIG] declares are known everywhere.
    QSet<QByteArray> routines;
    for (const QByteArray &m : std::as_const(hpj.config))
        for (const QByteArray &name : checkMacro(m).routines)
            routines.insert(name);
    QStringList rewrittenMacros;
    // The same warning about many macros is said once: where it arose
    // first, and how often.
    QMap<QString, QPair<QString, int>> macroWarnings;
    const auto checkMacroAt = [&](QByteArray &macro, const QString &at) {
        const TMacroCheck c = checkMacro(macro, routines);
        for (const QString &e : c.errors)
            options.badMacrosAreWarnings ? msg.warning(4640, at, QString::fromUtf8("macro « %1 » : %2.").arg(Platform::fromCp1252(macro), e))
                                         : msg.error(4640, at, QString::fromUtf8("macro « %1 » : %2.").arg(Platform::fromCp1252(macro), e));
        for (const QString &w : c.warnings) {
            auto &seen = macroWarnings[w];
            if (seen.second++ == 0)
                seen.first = at + QString::fromUtf8(", « ") + Platform::fromCp1252(macro) + QString::fromUtf8(" »");
        }
        if (c.rewritten && !c.repaired && c.errors.isEmpty())
            rewrittenMacros << QString::fromUtf8("« %1 » → « %2 »").arg(Platform::fromCp1252(macro), Platform::fromCp1252(c.macro));
        for (const QByteArray &context : c.jumps)
            localJumps.append({at, context});
        macro = c.macro;
    };
    for (QByteArray &m : hpj.config)
        checkMacroAt(m, hpjName + QStringLiteral(" [CONFIG]"));
    for (auto it = hpj.windowConfig.begin(); it != hpj.windowConfig.end(); ++it)
        for (QByteArray &m : it.value())
            checkMacroAt(m, hpjName + QStringLiteral(" [CONFIG-%1]").arg(decodeName(it.key())));
    // Lengths the viewers' buffers allow, hotspots into secondary windows
    // (a window is named by its place in [WINDOWS]), and the jumps and
    // pop-ups within this file, checked once every context is known.
    QSet<int> checkedPictures;
    for (TSourceTopic &t : topics) {
        if (t.title.size() > MaxTitle) {
            msg.warning(4071, where(t), QStringLiteral("titre de plus de %1 caractères, tronqué.").arg(MaxTitle));
            t.title.truncate(MaxTitle);
        }
        for (qsizetype k = t.keywords.size() - 1; k >= 0; --k)
            if (t.keywords[k].size() > MaxKeyword) {
                msg.warning(4072, where(t), QStringLiteral("mot-clé de plus de %1 caractères ignoré.").arg(MaxKeyword));
                t.keywords.removeAt(k);
            }
        for (QByteArray &m : t.macros)
            checkMacroAt(m, where(t));
        for (qsizetype k = t.macros.size() - 1; k >= 0; --k)
            if (t.macros[k].size() > MaxMacro) {
                msg.warning(4073, where(t), QStringLiteral("macro de plus de %1 caractères ignorée.").arg(MaxMacro));
                t.macros.removeAt(k);
            }
        forEachParagraph(t, [&](TParagraph &p) {
                for (TInline &i : p.items) {
                    if (i.kind == TInline::Picture && i.picture < pictureData.size()) {
                        i.hotspots = quint16(pictureHotspotCount(pictureData[i.picture]));
                        if (i.hotspots && !checkedPictures.contains(i.picture)) {
                            // A hotspot graphic's targets, checked like the text's (once a picture).
                            checkedPictures.insert(i.picture);
                            const QString at = where(t) + QStringLiteral(", ") + decodeName(pictures[i.picture].file);
                            for (const TPictureHotspot &h : pictureHotspots(pictureData[i.picture])) {
                                ++result.jumps;
                                if (h.target.trimmed().isEmpty()) {
                                    msg.warning(3025, at, QString::fromUtf8("point chaud « %1 » sans cible.").arg(decodeName(h.name)));
                                } else if ((h.kind & 0xF0) == 0xC0) {
                                    QByteArray macro = h.target;
                                    checkMacroAt(macro, at);
                                } else if (!h.target.contains('@')) {
                                    const qsizetype window = h.target.indexOf('>');
                                    localJumps.append({at, normalizeContext(window < 0 ? h.target : h.target.left(window))});
                                }
                            }
                        }
                    }
                    if (i.kind != TInline::HotspotStart)
                        continue;
                    ++result.jumps;
                    if (i.link != TInline::Macro && i.file.isEmpty() && !i.context.isEmpty())
                        localJumps.append({where(t), i.context});
                    if (!i.macro.isEmpty())
                        checkMacroAt(i.macro, where(t));
                    if (i.macro.size() > MaxMacro) {
                        msg.warning(4073, where(t), QStringLiteral("macro de plus de %1 caractères tronquée.").arg(MaxMacro));
                        i.macro.truncate(MaxMacro);
                    }
                    if (i.window.isEmpty())
                        continue;
                    if (!i.file.isEmpty()) {
                        msg.warning(4032, where(t), QStringLiteral("fenêtre « %1 » ignorée dans un saut vers un autre fichier.")
                                                        .arg(QString::fromLatin1(i.window)));
                        continue;
                    }
                    for (qsizetype w = 0; w < hpj.windows.size() && i.windowIndex < 0; ++w)
                        if (hpj.windows[w].name.compare(i.window, Qt::CaseInsensitive) == 0)
                            i.windowIndex = int(w);
                    if (i.windowIndex < 0)
                        msg.warning(4031, where(t), QStringLiteral("fenêtre « %1 » absente de [WINDOWS] : la fenêtre principale est prise.")
                                                        .arg(QString::fromLatin1(i.window)));
                }
        });
    }
    for (auto it = macroWarnings.cbegin(); it != macroWarnings.cend(); ++it)
        msg.warning(4641, it.value().first,
                    it.key() + (it.value().second > 1 ? QString::fromUtf8(" (%1 macros)").arg(it.value().second) : QString()));
    // Macros written in the form the viewers read: one note.
    if (!rewrittenMacros.isEmpty())
        msg.note(4643, hpjName, QString::fromUtf8("%1 macro(s) récrite(s) pour les visualiseurs (guillemets ajoutés ou redressés, "
                                                  "chiffres hexadécimaux en minuscules), p. ex. %2")
                                    .arg(rewrittenMacros.size())
                                    .arg(rewrittenMacros.first()));
    // [BAGGAGE]: the files are read here, stored by the writer.
    for (const QByteArray &entry : std::as_const(hpj.baggage)) {
        bool refused = false;
        const QString path = findIn(roots, entry, &refused);
        QByteArray bytes;
        const QString name = QFileInfo(decodeName(entry).replace(u'\\', u'/')).fileName();
        if (refused)
            continue;
        if (path.isEmpty() || !Platform::readWholeFile(path, &bytes)) {
            missing(1005, decodeName(entry), QStringLiteral("fichier de [BAGGAGE] introuvable ou illisible."));
            continue;
        }
        read.baggage.append({Platform::toCp1252OrUtf8(name), bytes});
    }
    if (topics.isEmpty()) {
        if (!result.errors)
            msg.error(1030, hpjName, QStringLiteral("aucune page à compiler."));
        return false;
    }
    // Contexts: each name once, whatever its letter case (two names of one
    // hash trouble the .HLP alone, whose writer says so).
    QList<TContext> &contexts = read.contexts;
    QHash<QByteArray, int> &contextTopic = read.contextTopic;
    QStringList changed; // contexts stored otherwise than written
    for (int n = 0; n < topics.size(); ++n)
        for (const QByteArray &raw : topics[n].contexts) {
            const QByteArray c = normalizeContext(raw);
            const QString at = where(topics[n]) + QStringLiteral(", ") + QString::fromLatin1(raw);
            if (c != raw.trimmed() && !c.isEmpty())
                changed << QStringLiteral("« %1 » → « %2 »").arg(QString::fromLatin1(raw.trimmed()), QString::fromLatin1(c));
            if (c.isEmpty()) {
                msg.error(4011, at, QStringLiteral("chaîne de contexte vide ou sans caractère valable."));
                continue;
            }
            qsizetype kept = 0;
            for (const char ch : raw)
                kept += normalizeContext(QByteArray(1, ch)).size();
            if (kept > MaxContext)
                msg.warning(4013, at, QStringLiteral("chaîne de contexte de plus de %1 caractères, coupée.").arg(MaxContext));
            if (contextTopic.contains(c.toUpper())) {
                msg.warning(3026, at, QStringLiteral("chaîne de contexte définie deux fois, la première est gardée."));
                continue;
            }
            contexts.append({c, n, false, at});
            contextTopic.insert(c.toUpper(), n);
        }
    // Viewers hash characters outside [A-Za-z0-9._] differently: such
    // contexts are stored without them (jumps to them too), which a program
    // calling the help file by context string must know. Said once.
    if (!changed.isEmpty())
        msg.warning(4014, hpjName, QStringLiteral("%1 chaîne(s) de contexte enregistrée(s) sans les caractères que les visualiseurs hachent "
                                                  "différemment (blancs, apostrophes, accents...), p. ex. %2")
                                       .arg(changed.size())
                                       .arg(changed.first()));
    // [ALIAS]: a context that names another one's topic.
    for (auto it = hpj.alias.cbegin(); it != hpj.alias.cend(); ++it) {
        const QByteArray from = normalizeContext(it.key()), to = normalizeContext(it.value());
        const int n = contextTopic.value(to.toUpper(), -1);
        if (from.isEmpty() || n < 0) {
            msg.warning(3100, QString::fromLatin1(it.key()), QStringLiteral("alias vers un contexte inconnu ignoré."));
            continue;
        }
        if (contextTopic.contains(from.toUpper())) {
            msg.warning(3101, QString::fromLatin1(it.key()), QStringLiteral("alias d'un contexte déjà défini ignoré."));
            continue;
        }
        contexts.append({from, n, true, QString::fromLatin1(it.key())});
        contextTopic.insert(from.toUpper(), n);
    }
    // Jumps and pop-ups within this file must reach a topic.
    for (const auto &[at, context] : localJumps)
        if (!contextTopic.contains(context.toUpper()))
            msg.warning(3025, at, QStringLiteral("saut vers un contexte inexistant : %1").arg(QString::fromLatin1(context)));
    // The index (K) and the A-keywords: keywords that differ only in letter
    // case are one entry, under the first spelling met, each topic once;
    // sorted as a reader expects (letters without regard to case or
    // accents). Every output lists the same entries.
    // Other code pages than Windows-1252 sort in the order of the help's
    // language (a Polish "ą" after "a", a Russian "й" after "и").
    const Platform::CodePage page(read.codePage);
    std::optional<QCollator> collator;
    if (read.codePage != 1252) {
        bool lcidOk = false;
        const uint lcid = hpj.options.value("LCID").simplified().split(' ').value(0).toUInt(&lcidOk, 0);
        static const QHash<int, const char *> languageOfPage{{1250, "pl"}, {1251, "ru"}, {1253, "el"}, {1254, "tr"}, {1255, "he"},
                                                             {1256, "ar"}, {1257, "lt"}, {1258, "vi"}, {874, "th"}, {932, "ja"},
                                                             {936, "zh_CN"}, {949, "ko"}, {950, "zh_TW"}};
        QString tag = lcidOk ? Platform::languageOfLcid(int(lcid)).tag : QString();
        if (tag.isEmpty())
            tag = QString::fromLatin1(languageOfPage.value(read.codePage, "en"));
        collator.emplace(QLocale(tag));
        collator->setCaseSensitivity(Qt::CaseInsensitive);
    }
    for (const char letter : {'K', 'A'}) {
        QMap<TKeywordOrder, QByteArray> order; // sort key -> spelling
        QHash<QString, QByteArray> spellingOf;  // folded -> first spelling
        QHash<QByteArray, QList<int>> keywords;
        for (int n = 0; n < topics.size(); ++n)
            for (const QByteArray &k : letter == 'K' ? topics[n].keywords : topics[n].aKeywords) {
                const QString folded = page.decode(k).toUpper();
                auto known = spellingOf.constFind(folded);
                if (known == spellingOf.constEnd()) {
                    known = spellingOf.insert(folded, k);
                    order.insert(keywordOrder(k), k);
                } else if (*known != k && !keywords.contains(k)) {
                    msg.note(2002, where(topics[n]),
                             QString::fromUtf8("mots-clés identiques à la casse près, fusionnés : « %1 » devient « %2 ».")
                                 .arg(page.decode(k), page.decode(*known)));
                    keywords.insert(k, {}); // noted once
                }
                QList<int> &list = keywords[*known];
                if (!list.contains(n))
                    list.append(n);
            }
        QList<QByteArray> spellings = order.values();
        if (collator)
            std::stable_sort(spellings.begin(), spellings.end(), [&](const QByteArray &a, const QByteArray &b) {
                const int c = collator->compare(page.decode(a), page.decode(b));
                return c != 0 ? c < 0 : a < b;
            });
        for (const QByteArray &spelling : std::as_const(spellings))
            (letter == 'K' ? read.index : read.aIndex).append({spelling, keywords.value(spelling)});
    }
    result.keywords = int(read.index.size());
    // Browse sequences: the topics of each group in the order of their
    // "+" footnotes (numbers as numbers), file order among equals.
    QMap<QByteArray, QList<QPair<QByteArray, int>>> groups;
    for (int n = 0; n < topics.size(); ++n)
        if (!topics[n].browse.isEmpty()) {
            const auto key = browseKey(topics[n].browse);
            groups[key.first].append({key.second, n});
        }
    for (auto &group : groups) {
        std::stable_sort(group.begin(), group.end(), [](const auto &a, const auto &b) { return orderLess(a.first, b.first); });
        QList<int> sequence;
        for (const auto &member : std::as_const(group))
            sequence << member.second;
        read.browse << sequence;
    }
    // [MAP] numbers.
    // Names that no topic defines are left out (a header file maps every
    // name of a program, documented or not): one note lists them. A number
    // given to two names is a warning; the viewer takes the first.
    QStringList unused;
    QHash<qint64, QByteArray> firstWithNumber;
    for (const auto &[context, number] : hpj.map) {
        const auto first = firstWithNumber.constFind(number);
        if (first != firstWithNumber.constEnd() && *first != context)
            msg.warning(3037, hpjName, QString::fromUtf8("la valeur de [MAP] de « %1 » est aussi celle de « %2 » (%3).")
                                           .arg(QString::fromLatin1(context), QString::fromLatin1(*first))
                                           .arg(number));
        else if (first == firstWithNumber.constEnd())
            firstWithNumber.insert(number, context);
        const int n = contextTopic.value(normalizeContext(context).toUpper(), -1);
        if (n < 0)
            unused << QString::fromLatin1(context);
        else
            read.map.append({context, number, n});
    }
    if (!unused.isEmpty())
        msg.note(1010, hpjName, QString::fromUtf8("%1 nom(s) de [MAP] sans page, laissé(s) de côté : %2%3")
                                    .arg(unused.size())
                                    .arg(read.report ? QStringLiteral("\n\t") + unused.join(QStringLiteral("\n\t"))
                                                : unused.mid(0, 10).join(QStringLiteral(", ")),
                                         !read.report && unused.size() > 10 ? QStringLiteral("…") : QString()));
    // PREFIX=: contexts with one of these prefixes are meant to be called
    // by a program, through a [MAP] number.
    const QList<QByteArray> prefixes = hpj.options.value("PREFIX").simplified().replace(',', ' ').split(' ');
    if (!hpj.options.value("PREFIX").trimmed().isEmpty()) {
        QSet<QByteArray> mappedNames;
        for (const auto &[context, number] : hpj.map)
            mappedNames.insert(normalizeContext(context).toUpper());
        QStringList unmapped;
        for (const TSourceTopic &t : std::as_const(topics))
            for (const QByteArray &raw : t.contexts) {
                const QByteArray c = normalizeContext(raw).toUpper();
                for (const QByteArray &prefix : prefixes)
                    if (!prefix.isEmpty() && c.startsWith(prefix.toUpper()) && !mappedNames.contains(c)) {
                        unmapped << QString::fromLatin1(raw.trimmed());
                        break;
                    }
            }
        if (!unmapped.isEmpty())
            msg.note(1009, hpjName, QString::fromUtf8("%1 chaîne(s) de contexte avec un préfixe de PREFIX sans numéro dans [MAP] : %2")
                                        .arg(unmapped.size())
                                        .arg(read.report ? QStringLiteral("\n\t") + unmapped.join(QStringLiteral("\n\t"))
                                                    : unmapped.mid(0, 10).join(QStringLiteral(", "))));
    }
    std::stable_sort(read.map.begin(), read.map.end(), [](const TMapEntry &a, const TMapEntry &b) { return a.number < b.number; });
    if (result.errors)
        return false;
    return true;
}

// Writes the help file of a project read and checked.
void writeHlp(const THelpDocument &read, Messages &msg, TCompileResult &result)
{
    // The help file finds a context by its hash alone: one name per hash.
    // A second name of a page is an error; an alias is left out, as one of
    // a name already defined is.
    QMap<qint32, QPair<QByteArray, int>> contexts; // hash -> first name, its topic
    for (const TContext &c : read.contexts) {
        const qint32 h = contextHash(c.name);
        if (!contexts.contains(h))
            contexts.insert(h, {c.name, c.topic});
        else if (c.alias)
            msg.warning(3101, c.where, QStringLiteral("alias d'un contexte déjà défini ignoré."));
        else
            msg.error(4131, c.where, QStringLiteral("même valeur de hachage que « %1 ».").arg(QString::fromLatin1(contexts.value(h).first)));
    }
    const THpj &hpj = read.hpj;
    const QString &hpjName = read.hpjName;
    const QList<TSourceTopic> &topics = read.topics;
    const QList<QByteArray> &pictureData = read.pictureData;
    const THpj::Compression compression = read.compression;
    const QHash<QByteArray, int> &contextTopic = read.contextTopic;
    TFontTable fonts;
    TTopicWriter writer;
    // The text in the help's code page: the letters it cannot hold are
    // said, page by page (the other outputs keep them).
    const Platform::CodePage page(read.codePage);
    QString lost;
    for (const TSourceTopic &t : topics) {
        writer.beginTopic(t.title, t.macros);
        for (const bool nonScrolling : {true, false})
            for (const TParagraph &p : nonScrolling ? t.nonScrolling : t.scrolling) {
                const TEncodedParagraph e = p.table ? encodeTableRow(*p.table, fonts, page, &lost) : encodeParagraph(p, fonts, page, &lost);
                // The viewers count a paragraph's characters on 15 bits.
                if (e.linkData2.size() > 0x7FFF)
                    msg.warning(4074, where(t), QStringLiteral("paragraphe de plus de 32767 caractères : la position dans la page sera approchée."));
                writer.addText(e.linkData1, e.linkData2, e.topicLength, nonScrolling, bool(p.table));
            }
        if (!lost.isEmpty()) {
            msg.warning(4000, where(t), QString::fromUtf8("caractère(s) que la page de code %1 du projet ne peut pas écrire, remplacé(s) par « ? » : %2")
                                            .arg(read.codePage)
                                            .arg(lost));
            lost.clear();
        }
    }
    for (const QList<int> &sequence : read.browse)
        for (qsizetype i = 1; i < sequence.size(); ++i)
            writer.linkBrowse(sequence[i - 1], sequence[i]);
    THallPhrases phrases;
    if (hpj.phrases())
        phrases.choose(writer.texts());
    const bool lz77 = compression == THpj::Compression::Lz77;
    const QByteArray topicFile = writer.build(lz77, phrases.size() ? &phrases : nullptr);
    result.topics = int(topics.size());


    QList<TTreeEntry> contextEntries;
    for (auto it = contexts.cbegin(); it != contexts.cend(); ++it) {
        QByteArray key, data;
        putU32(key, quint32(it.key()));
        putU32(data, writer.topicOffset(it.value().second));
        contextEntries.append({key, data});
    }
    QList<TTreeEntry> titleEntries;
    for (int n = 0; n < topics.size(); ++n) {
        QByteArray key, data = topics[n].title;
        putU32(key, writer.topicOffset(n));
        data.append('\0');
        titleEntries.append({key, data});
    }
    TContainer container;
    QByteArray tree;
    if (!buildBTree(ContextTree, contextEntries, &tree))
        msg.error(5000, QString(), QStringLiteral("table des contextes impossible à écrire."));
    container.addFile("|CONTEXT", tree);
    if (buildBTree(TitleTree, titleEntries, &tree))
        container.addFile("|TTLBTREE", tree);
    else
        msg.warning(5001, QString(), QStringLiteral("titre trop long : table des titres omise."));
    // Keywords (K, the index) and A-keywords (ALink), in index order, each
    // once with all its topics.
    for (const char letter : {'K', 'A'}) {
        const QList<TIndexEntry> &entries = letter == 'K' ? read.index : read.aIndex;
        if (entries.isEmpty())
            continue;
        QByteArray kwdata;
        QList<TTreeEntry> kwEntries;
        for (const TIndexEntry &entry : entries) {
            QByteArray key = entry.keyword, data;
            key.append('\0');
            putU16(data, quint16(entry.topics.size()));
            putU32(data, quint32(kwdata.size()));
            for (const int n : entry.topics)
                putU32(kwdata, writer.topicOffset(n));
            kwEntries.append({key, data});
        }
        QList<QPair<int, int>> leaves;
        const QByteArray prefix = QByteArray("|") + letter + 'W';
        if (buildBTree(KeywordTree, kwEntries, &tree, &leaves)) {
            QByteArray kwmap;
            putU16(kwmap, quint16(leaves.size()));
            for (const auto &[page, first] : leaves) {
                putU32(kwmap, quint32(first));
                putU16(kwmap, quint16(page));
            }
            container.addFile(prefix + "BTREE", tree);
            container.addFile(prefix + "DATA", kwdata);
            container.addFile(prefix + "MAP", kwmap);
        } else {
            msg.warning(5002, QString(), QStringLiteral("mot-clé trop long : index omis."));
        }
    }
    // [MAP] numbers, in number order.
    QByteArray ctxomap;
    QList<QPair<qint64, quint32>> mapped;
    for (const TMapEntry &m : read.map)
        mapped.append({m.number, writer.topicOffset(m.topic)});
    putU16(ctxomap, quint16(mapped.size()));
    for (const auto &[number, offset] : mapped) {
        putU32(ctxomap, quint32(number));
        putU32(ctxomap, offset);
    }
    container.addFile("|CTXOMAP", ctxomap);

    TSystemInfo system;
    system.lz77 = compression == THpj::Compression::Lz77;
    system.title = hpj.options.value("TITLE");
    system.copyright = hpj.options.value("COPYRIGHT");
    // The contents topic: CONTENTS=, else the first topic (named in the
    // file as the classic compiler names it).
    int contentsTopic = topics.isEmpty() ? -1 : 0;
    if (hpj.options.contains("CONTENTS")) {
        const int n = contextTopic.value(normalizeContext(hpj.options.value("CONTENTS")).toUpper(), -1);
        if (n < 0)
            msg.warning(4056, hpjName, QStringLiteral("page de sommaire introuvable : la première page en tient lieu."));
        else
            contentsTopic = n;
    }
    if (contentsTopic >= 0) {
        system.hasContents = true;
        system.contentsOffset = writer.topicOffset(contentsTopic);
    }
    // LCID=0x410 0x0 0x0: the language is the first number.
    if (hpj.options.contains("LCID")) {
        bool ok = false;
        const QByteArray first = hpj.options.value("LCID").simplified().split(' ').value(0);
        const uint lcid = first.toUInt(&ok, 0);
        if (ok && lcid > 0 && lcid <= 0xFFFF)
            system.lcid = quint16(lcid);
        else
            msg.warning(1100, hpjName, QStringLiteral("LCID incompréhensible, 0x0409 retenu : %1").arg(QString::fromLatin1(hpj.options.value("LCID"))));
    }
    system.charset = quint8(Platform::charsetOfCodePage(read.codePage));
    system.cntFile = hpj.options.value("CNT").trimmed();
    system.configMacros = hpj.config;
    system.windows = hpj.windows;
    system.citation = hpj.options.value("CITATION");
    // DEFFONT=face,points,charset: the font of the viewer's own lists.
    if (hpj.options.contains("DEFFONT")) {
        const QList<QByteArray> parts = hpj.options.value("DEFFONT").split(',');
        bool sizeOk = false, charsetOk = true;
        const int size = parts.value(1).trimmed().toInt(&sizeOk);
        const int charset = parts.size() > 2 ? parts[2].trimmed().toInt(&charsetOk) : 0;
        if (!parts.value(0).trimmed().isEmpty() && sizeOk && charsetOk && size > 0 && size < 256 && charset >= 0 && charset < 256) {
            system.defaultFont = parts[0].trimmed().left(31);
            system.defaultFontSize = quint8(size);
            system.defaultFontCharset = quint8(charset);
        } else {
            msg.warning(1100, hpjName, QStringLiteral("DEFFONT incompréhensible, ignoré : %1").arg(decodeName(hpj.options.value("DEFFONT"))));
        }
    }
    container.addFile("|SYSTEM", systemFile(system));
    // ">" footnotes: the window a topic opens in, by its place in [WINDOWS].
    QList<TTreeEntry> windowEntries;
    for (int n = 0; n < topics.size(); ++n) {
        const QByteArray window = topics[n].window.trimmed();
        if (window.isEmpty())
            continue;
        qsizetype index = -1;
        for (qsizetype w = 0; w < hpj.windows.size() && index < 0; ++w)
            if (hpj.windows[w].name.compare(window, Qt::CaseInsensitive) == 0)
                index = w;
        if (index < 0) {
            msg.warning(4031, where(topics[n]), QString::fromUtf8("fenêtre « %1 » absente de [WINDOWS] : la page s'ouvrira dans la fenêtre en cours.")
                                                    .arg(decodeName(window)));
            continue;
        }
        QByteArray key, data;
        putU32(key, writer.topicOffset(n));
        putU32(data, quint32(index));
        windowEntries.append({key, data});
    }
    if (!windowEntries.isEmpty() && buildBTree(ContextTree, windowEntries, &tree))
        container.addFile("|VIOLA", tree);
    // A secondary window's macros: |CFn, n its place in [WINDOWS].
    for (auto it = hpj.windowConfig.cbegin(); it != hpj.windowConfig.cend(); ++it) {
        bool number = false;
        int index = it.key().toInt(&number);
        if (!number) {
            index = -1;
            for (qsizetype w = 0; w < hpj.windows.size() && index < 0; ++w)
                if (hpj.windows[w].name.compare(it.key(), Qt::CaseInsensitive) == 0)
                    index = int(w);
        }
        if (index < 0 || index >= hpj.windows.size() || index > 255) {
            msg.warning(4031, hpjName, QString::fromUtf8("[CONFIG-%1] : fenêtre absente de [WINDOWS], ses macros sont ignorées.").arg(decodeName(it.key())));
            continue;
        }
        QByteArray macros;
        for (const QByteArray &m : it.value())
            macros += m + '\0';
        container.addFile("|CF" + QByteArray::number(index), macros);
    }
    // [BAGGAGE]: files the help file carries, under their own names.
    for (const auto &[internal, bytes] : std::as_const(read.baggage)) {
        if (internal.startsWith('|') || container.contains(internal)) {
            msg.warning(1022, Platform::fromCp1252OrUtf8(internal.constData(), internal.size()),
                        QString::fromUtf8("nom de fichier de [BAGGAGE] déjà pris, fichier ignoré."));
            continue;
        }
        container.addFile(internal, bytes);
    }
    container.addFile("|FONT", fonts.build());
    container.addFile("|TOPIC", topicFile);
    if (phrases.size()) {
        container.addFile("|PhrIndex", phrases.phraseIndex(lz77));
        container.addFile("|PhrImage", phrases.phraseImage(lz77));
    }
    for (qsizetype k = 0; k < pictureData.size(); ++k)
        if (!pictureData[k].isEmpty())
            container.addFile("|bm" + QByteArray::number(k), pictureData[k]);
    if (result.errors)
        return;
    result.hlp = container.build();
    result.ok = true;
}

} // namespace

THelpRead readHelpProject(const QString &hpjPath, const TCompileOptions &options)
{
    THelpRead help;
    help.hpjPath = hpjPath;
    TCompileResult &result = help.said;
    Messages msg(result);
    THelpDocument &read = help.document;
    if (!readProject(hpjPath, options, msg, result, read))
        return help;
    if (!options.mapOut.isEmpty() || !options.mapCheck.isEmpty()) {
        const QByteArray map = contextMap(read);
        if (!options.mapOut.isEmpty())
            result.contextMap = map;
        if (!options.mapCheck.isEmpty()) {
            QByteArray previous;
            QString error;
            if (!Platform::readWholeFile(options.mapCheck, &previous, &error)) {
                msg.error(5005, options.mapCheck, QString::fromUtf8("table des contextes illisible : ") + error);
                return help;
            }
            const QStringList changes = contextMapChanges(previous, map, &error);
            if (!error.isEmpty())
                msg.error(5005, options.mapCheck, QString::fromUtf8("table des contextes illisible : ") + error);
            for (const QString &change : changes)
                options.mapStrict ? msg.error(5006, options.mapCheck, change) : msg.warning(5006, options.mapCheck, change);
            if (result.errors)
                return help;
        }
    }
    result.topics = int(read.topics.size());
    result.ok = true;
    return help;
}

TCompileResult writeHelpOutput(const THelpRead &help, const TCompileOptions &options)
{
    TCompileResult result = help.said;
    if (!result.ok)
        return result;
    result.ok = false;
    Messages msg(result);
    msg.setLevel(help.document.warningLevel);
    if (options.output == TOutput::Hlp) {
        writeHlp(help.document, msg, result);
        return result;
    }
    // In safe mode, an output in the project's folder that a link leads
    // out of it (a folder or a file that is a link) is refused.
    if (options.safe) {
        const QString root = QFileInfo(QFileInfo(help.hpjPath).absolutePath()).canonicalFilePath();
        const QString lexicalRoot = QDir::cleanPath(QFileInfo(help.hpjPath).absolutePath());
        for (const QString &out : {options.outputDir, options.chmFile, options.pdfFile}) {
            const QString path = out.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(out).absoluteFilePath());
            if (path.startsWith(lexicalRoot + u'/') && !isInside(root, path)) {
                msg.error(5007, out, QString::fromUtf8("sortie qu'un lien mène hors du dossier du projet, refusée (--safe)."));
                return result;
            }
        }
    }
    // The contents: the caller's (an author's outline) when given, else
    // those of the project. The document stays as read: it may serve
    // other outputs.
    const THelpDocument *document = &help.document;
    THelpDocument withContents;
    if (!options.contents.isEmpty()) {
        withContents = help.document;
        withContents.contents = options.contents;
        document = &withContents;
    }
    QStringList warnings;
    const QStringList errors = options.output == TOutput::Html ? writeHtml(*document, options.outputDir, &warnings)
                               : options.output == TOutput::Pdf ? writePdf(*document, options.pdfFile, options.paper, &warnings)
                                                                : writeChm(*document, options.outputDir, options.chmFile);
    for (const QString &warning : std::as_const(warnings))
        msg.warning(5004, options.output == TOutput::Pdf ? options.pdfFile : options.outputDir, warning);
    for (const QString &error : errors)
        msg.error(5003, options.outputDir, error);
    result.ok = result.errors == 0;
    return result;
}

TCompileResult compileProject(const QString &hpjPath, const TCompileOptions &options)
{
    return writeHelpOutput(readHelpProject(hpjPath, options), options);
}

namespace {

// Writes what an output leaves beside the project (the .HLP, the context
// map); a failed write turns the result into a failure. Returns what a
// reader opens.
QString finishOutput(const QString &hpjPath, const TCompileOptions &options, TCompileResult &r)
{
    const QFileInfo info(hpjPath);
    const bool web = options.output != TOutput::Hlp;
    const QString out = options.output == TOutput::Chm ? options.chmFile
                        : options.output == TOutput::Pdf ? options.pdfFile
                        : web                          ? options.outputDir + QStringLiteral("/index.html")
                        : !r.helpFile.isEmpty()        ? r.helpFile
                                                       : info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".HLP");
    const auto write = [&r](const QString &file, const QByteArray &bytes) {
        QString error;
        if (Platform::writeFileAtomic(file, bytes, &error))
            return;
        r.messages << QStringLiteral("HC5003: Error: %1 : écriture impossible (%2).").arg(file, error);
        ++r.errors;
        r.ok = false;
    };
    if (r.ok && !web)
        write(out, r.hlp);
    if (r.ok && !options.mapOut.isEmpty())
        write(options.mapOut, r.contextMap);
    return out;
}

} // namespace

QStringList writeCompiled(const QString &hpjPath, const THelpRead &read, const QList<TCompileOptions> &outputs,
                          QList<TCompileResult> &results, QStringList *written)
{
    const QFileInfo info(hpjPath);
    // The reading's messages once, then each output's own.
    QStringList lines = read.said.messages;
    int errors = read.said.errors, warnings = read.said.warnings;
    int jumps = 0, keywords = 0;
    QStringList done;
    for (qsizetype i = 0; i < outputs.size() && i < results.size(); ++i) {
        TCompileResult &r = results[i];
        const QString out = finishOutput(hpjPath, outputs[i], r);
        if (written)
            written->append(out);
        const bool sameStart = r.messages.mid(0, read.said.messages.size()) == read.said.messages;
        lines << (sameStart ? r.messages.mid(read.said.messages.size()) : r.messages);
        errors += r.errors - read.said.errors;
        warnings += r.warnings - read.said.warnings;
        jumps = qMax(jumps, r.jumps);
        keywords = qMax(keywords, r.keywords);
        if (r.ok)
            done << QStringLiteral("Fichier d'aide écrit : %1").arg(out);
    }
    lines << QStringLiteral("%1 page(s), %2 saut(s), %3 mot(s)-clé(s)").arg(read.said.topics).arg(jumps).arg(keywords);
    lines << QStringLiteral("%1 erreur(s), %2 avertissement(s)").arg(errors).arg(warnings);
    lines << done;
    const QString &errorLog = read.said.errorLog;
    const QString log = errorLog.isEmpty() ? info.absolutePath() + u'/' + info.completeBaseName() + QStringLiteral(".ERR") : errorLog;
    if (!Platform::writeFileAtomic(log, (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLocal8Bit()))
        lines << QStringLiteral("HC1004: Warning: %1 : journal d'erreurs impossible à écrire.").arg(log);
    return lines;
}

QStringList writeCompiled(const QString &hpjPath, const TCompileOptions &options, TCompileResult &r, QString *written)
{
    // One output: its result holds the reading's messages and counts.
    THelpRead alone;
    alone.said.topics = r.topics;
    alone.said.errorLog = r.errorLog;
    QList<TCompileResult> results{r};
    QStringList out;
    const QStringList lines = writeCompiled(hpjPath, alone, {options}, results, &out);
    r = results.first();
    if (written)
        *written = out.value(0);
    return lines;
}

THelpFilePublished publishHelpFile(const QString &helpFile, const QString &format, const QString &out, const QString &paper)
{
    THelpFilePublished r;
    const QFileInfo file(helpFile);
    if (format == QLatin1String("hlp")) {
        r.errors << QString::fromUtf8("un fichier d'aide se publie en pages web, en .CHM ou en manuel PDF (--format html|chm|pdf), "
                                      "ou se décompile (--decompile).");
        return r;
    }
    // A help file holds at most a few tens of megabytes; a larger file is
    // not one, and is not read into memory.
    constexpr qint64 MaxHelpFile = qint64(512) << 20;
    QByteArray bytes;
    if (file.size() > MaxHelpFile || !Platform::readWholeFile(file.filePath(), &bytes)) {
        r.errors << QString::fromUtf8("%1 : fichier illisible ou trop grand.").arg(file.filePath());
        return r;
    }
    THelpFileRead read = readHelpFile(bytes, file.fileName());
    if (!read.ok) {
        r.errors << QStringLiteral("%1 : %2").arg(file.filePath(), read.error);
        return r;
    }
    // Names the help file does not keep, found in the files beside it.
    if (const int named = nameContextsFromFilesBeside(read.project, file.filePath()))
        r.report << QString::fromUtf8("%1 nom(s) de contexte retrouvé(s) dans les fichiers à côté de l'aide (.CNT, .HM).").arg(named);
    for (const QString &note : std::as_const(read.notes))
        r.report << QStringLiteral("Note : ") + note;
    for (const QString &loss : std::as_const(read.losses))
        r.report << QStringLiteral("Perte : ") + loss;
    const QString base = file.absolutePath() + u'/' + file.completeBaseName();
    const QString given = out.isEmpty() ? QString() : QFileInfo(out).absoluteFilePath();
    QStringList errors;
    QString written;
    if (format == QLatin1String("decompile")) {
        written = given.isEmpty() ? base + QStringLiteral("_src") : given;
        errors = writeProject(read, written, file.completeBaseName(), nullptr, contentsFileBeside(read.project, file.filePath()));
        written += u'/' + file.completeBaseName() + QStringLiteral(".hpj");
    } else if (format == QLatin1String("html")) {
        written = given.isEmpty() ? base + QStringLiteral("_html") : given;
        errors = writeHtml(read.project, written);
        written += QStringLiteral("/index.html");
    } else if (format == QLatin1String("pdf")) {
        written = given.isEmpty() ? base + QStringLiteral(".pdf") : given;
        QStringList warnings;
        errors = writePdf(read.project, written, paper, &warnings);
        for (const QString &warning : std::as_const(warnings))
            r.report << QStringLiteral("Perte : ") + warning;
    } else {
        written = given.isEmpty() ? base + QStringLiteral(".chm") : given;
        errors = writeChm(read.project, QString(), written);
    }
    r.errors << errors;
    if (!errors.isEmpty()) {
        r.code = 1;
        return r;
    }
    r.report << QString::fromUtf8("%1 page(s) ; écrit : %2").arg(read.project.topics.size()).arg(written);
    r.code = 0;
    return r;
}

} // namespace Hlp
