#include "helpgen/HelpSources.h"

#include "compiler/sources/RtfTokenizer.h"
#include "formats/TextConv.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "formats/CompanionFiles.h"

#include <QRegularExpression>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

namespace KIVHelpTools {

namespace {

// A command line may hold markers in turn; past this many replacements in
// one line the markers refer to each other endlessly.
constexpr int kMaxExpansions = 10000;

QByteArray joinLines(const QStringList &lines)
{
    return FJoinCmdLines(lines);
}

} // namespace

namespace {

// What the header line of a topic's RTF holds, read with the compiler's
// tokenizer: its font table's entries (number, name) and the offset of the
// brace that closes the table (-1 without one), and where each
// \fcharset1 word begins.
struct THeaderRead {
    QList<QPair<int, QString>> fonts;
    qsizetype tableEnd = -1;
    QList<qsizetype> defaultCharsets;
};

THeaderRead readHeader(const QByteArray &header)
{
    THeaderRead out;
    RtfTokenizer tokens(header);
    int depth = 0, table = -1, number = -1; // table: the depth of the table's group
    QByteArray name;
    for (;;) {
        const qsizetype at = tokens.position();
        const RtfTokenizer::Token t = tokens.next();
        if (t.kind == RtfTokenizer::End)
            break;
        const bool inEntry = table >= 0 && depth == table + 1;
        switch (t.kind) {
        case RtfTokenizer::GroupOpen:
            if (++depth == table + 1 && table >= 0) {
                number = -1;
                name.clear();
            }
            break;
        case RtfTokenizer::GroupClose:
            if (inEntry && number >= 0)
                out.fonts.append({number, Platform::fromCp1252(name).trimmed()});
            if (table >= 0 && depth == table) {
                out.tableEnd = at;
                table = -2; // one table
            }
            --depth;
            break;
        case RtfTokenizer::Word:
            if (t.word == "fonttbl" && table == -1)
                table = depth;
            else if (inEntry && t.word == "f" && number < 0)
                number = t.param;
            if (t.word == "fcharset" && t.hasParam && t.param == 1)
                out.defaultCharsets << at;
            break;
        case RtfTokenizer::Text:
        case RtfTokenizer::HexByte:
            if (inEntry && t.byte != ';')
                name += char(t.byte);
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace

int FFontNumberAdding(QString &header, const QString &face)
{
    if (face.trimmed().isEmpty())
        return 0;
    QByteArray bytes = Platform::toCp1252(header);
    const THeaderRead read = readHeader(bytes);
    if (read.tableEnd < 0)
        return 0;
    int highest = -1;
    for (const auto &[number, name] : read.fonts) {
        if (name.compare(face.trimmed(), Qt::CaseInsensitive) == 0)
            return number;
        highest = qMax(highest, number);
    }
    const int added = highest + 1;
    bytes.insert(read.tableEnd, "{\\f" + QByteArray::number(added) + "\\fnil " + TextConv::FRtfEscape(face.trimmed()).toLatin1() + ";}");
    header = Platform::fromCp1252(bytes);
    return added;
}

QString FParagraphText(const QString &line)
{
    // The text of the line: its letters and escaped bytes, without control
    // words or groups.
    const QByteArray rtf = Platform::toCp1252(line);
    RtfTokenizer tokens(rtf);
    QByteArray bytes;
    for (RtfTokenizer::Token t = tokens.next(); t.kind != RtfTokenizer::End; t = tokens.next())
        if (t.kind == RtfTokenizer::Text || t.kind == RtfTokenizer::HexByte)
            bytes += char(t.byte);
        else if (t.kind == RtfTokenizer::Symbol)
            bytes += t.symbol;
    return Platform::fromCp1252(bytes);
}

TConvertResult FConvertTopicLines(QStringList &lines, const QStringList &commands, const QString &topicName,
                                  int number, bool addTitle, const QString &titlePrefix, const QString &titleFont,
                                  const QString &keywords)
{
    TConvertResult result;
    QString prefix = titlePrefix;
    if (addTitle && !titleFont.isEmpty() && !lines.isEmpty()) {
        // The title names its font by its number in this topic's table.
        const int font = FFontNumberAdding(lines[0], titleFont);
        prefix.replace(QRegularExpression(QStringLiteral("^\\\\f\\d+")), QStringLiteral("\\f%1").arg(font));
    }
    if (!lines.isEmpty()) {
        // \fcharset1 (the default character set) goes, that word only:
        // \fcharset161 (Greek) and the others stay.
        QByteArray head = Platform::toCp1252(lines[0]);
        const QList<qsizetype> words = readHeader(head).defaultCharsets;
        for (auto it = words.crbegin(); it != words.crend(); ++it) {
            qsizetype end = *it + 9; // past "\fcharset"
            while (end < head.size() && head[end] >= '0' && head[end] <= '9')
                ++end;
            head.remove(*it, end - *it);
        }
        if (!words.isEmpty())
            lines[0] = Platform::fromCp1252(head);
    }
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines[i];
        int expansions = 0;
        qsizetype p;
        while ((p = line.indexOf(QLatin1String("@_"))) >= 0) {
            const qsizetype numberEnd = line.indexOf(u'_', p + 2);
            const QString numberText = line.mid(p + 2, numberEnd < 0 ? -1 : numberEnd - p - 2);
            const qsizetype k = line.indexOf(QLatin1String("_@"), p + 2);
            bool decimal = false;
            const int m = numberText.toInt(&decimal, 10);
            if (k < 0 || !decimal || ++expansions > kMaxExpansions) {
                result.ok = false;
                result.badLine = i;
                return result;
            }
            line.remove(p, k + 2 - p);
            line.insert(p, (m >= 0 && m < commands.size()) ? commands[m] : QString());
        }
        lines[i] = line;
    }
    const qsizetype at = qMin<qsizetype>(2, lines.size());
    // A page made while titles were not added starts with its name as its
    // first paragraph: with the title line added, it would show twice.
    if (addTitle && lines.size() > 2 && FParagraphText(lines[2]).trimmed() == topicName.trimmed())
        lines.removeAt(2);
    // The name's letters outside Windows-1252 (a project in another
    // language) as \uN, which the compiler writes in the help's code page.
    const QString shownName = TextConv::FRtfUnicode(topicName);
    if (addTitle)
        lines.insert(at, QStringLiteral("\\keepn\\line{") + prefix + u' ' + shownName
                             + QStringLiteral("}\\line\\par\\pard"));
    const QString num = QString::number(number);
    lines.insert(at, QStringLiteral("+{\\footnote + ") + num + QStringLiteral(": ") + num + QStringLiteral(" }"));
    QString index = shownName;
    for (const QString &keyword : keywords.split(u';', Qt::SkipEmptyParts))
        if (!keyword.trimmed().isEmpty())
            index += u';' + TextConv::FRtfUnicode(TextConv::FRtfEscape(keyword.trimmed()));
    lines.insert(at, QStringLiteral("K{\\footnote K ") + index + QStringLiteral(" }"));
    lines.insert(at, QStringLiteral("${\\footnote $ ") + shownName + QStringLiteral(" }"));
    lines.insert(at, QStringLiteral("#{\\footnote # ") + TextConv::FContextName(topicName) + QStringLiteral(" }"));
    return result;
}

const TFontEntry &FTitleFont(const TFontsRec *fonts, int n, bool sameTitleFont)
{
    // Topics beyond the table's 500 entries take the common title font.
    return fonts->Entries[(sameTitleFont || n < 1 || n > MaxTopics) ? 0 : n];
}

QString FTitlePrefix(const TFontsRec *fonts, int n, bool sameTitleFont)
{
    const TFontEntry &e = FTitleFont(fonts, n, sameTitleFont);
    QString prefix = e.Id.get();
    prefix = (prefix + e.Size.get()).left(20);
    prefix = (prefix + e.Typ.get()).left(30);
    return prefix;
}

QByteArray FTopicSource(const QByteArray &topic, const QStringList &commands, const QString &topicName, int number,
                       bool addTitle, const QString &titlePrefix, const QString &titleFont, TConvertResult *result,
                       const QString &keywords)
{
    QStringList lines = FSplitCmdLines(topic);
    *result = FConvertTopicLines(lines, commands, topicName, number, addTitle, titlePrefix, titleFont, keywords);
    return result->ok ? joinLines(lines) : QByteArray();
}

QString FMacroCorruptedText(const QString &topicName, int badLine)
{
    // The line as the author counts it: the topic's first paragraph is
    // line 1 (the file's first two lines are its header).
    return QStringLiteral("Macro Corrupted !  TOPIC :  ") + topicName + QStringLiteral("  LINE :  ")
           + QString::number(badLine - 1) + QStringLiteral("  Please REPLACE it !");
}

TErrorContext &FTopic2RTF(const QString &prjDir, const QString &topicName, const QString &outName, int number,
                          bool addTitle, const QString &titlePrefix, QStringList *workText,
                          const QStringList &commands, const QString &titleFont)
{
    TSubGuard sub(context(), QStringLiteral("FTopic2RTF"));
    const QString source = prjDir + u'/' + topicName + u'.' + QString::number(number);
    QByteArray bytes;
    if (!Platform::readWholeFile(source, &bytes)) {
        PShowError(QString::fromUtf8("Fichier manquant ou mémoire pleine.Le chargement du projet a échoué ! "));
        return sub.report(7, source, 4);
    }
    TConvertResult converted;
    const QByteArray out = FTopicSource(bytes, commands, topicName, number, addTitle, titlePrefix,
                                        titleFont, &converted);
    if (!converted.ok) {
        PShowError(FMacroCorruptedText(topicName, converted.badLine));
        // The topic's source would be missing from the help file: the
        // conversion fails rather than going on with the next topic.
        return sub.report(4, QStringLiteral("Macro Corrupted : ") + topicName, 6);
    }
    if (workText)
        *workText = FSplitCmdLines(out);
    const QString output = prjDir + u'/' + outName;
    if (!Platform::writeFileAtomic(output, out)) {
        PShowError(QStringLiteral("La sauvegarde du projet a échoué ! "));
        return sub.report(7, output, 5);
    }
    return sub.report(0);
}

int FProjectLcid(const TPrjRec *prj)
{
    bool ok = false;
    const uint lcid = prj->Language.get().trimmed().toUInt(&ok, 0);
    return ok && lcid > 0 && lcid <= 0xFFFF && !Platform::languageOfLcid(int(lcid)).tag.isEmpty() ? int(lcid) : 0;
}

QStringList FHpjLines(const TIniRec *ini, const TPrjRec *prj, const QString &hpjPath, const QStringList &bitmaps,
                      int topicCount, int screenWidth, int screenHeight)
{
    const QString q = QStringLiteral("\"");
    auto rgb = [](qint32 colour) {
        const quint32 c = static_cast<quint32>(colour);
        return QStringLiteral("(%1,%2,%3)").arg(c & 0xFF).arg((c >> 8) & 0xFF).arg((c >> 16) & 0xFF);
    };
    QStringList lines;
    lines << QStringLiteral("[OPTIONS]");
    lines << QStringLiteral("TITLE=") + prj->ProjectTitle.get();
    QString root = QFileInfo(hpjPath).absolutePath();
    lines << QStringLiteral("ROOT=") + Platform::shortPath(root);
    lines << QStringLiteral("COPYRIGHT=") + prj->Copyright.get();
    lines << QStringLiteral("COMPRESS=") + prj->HelpCompress.get();
    // The language names the code page the help is written in.
    if (const int lcid = FProjectLcid(prj))
        lines << QStringLiteral("LCID=0x%1 0x0 0x0").arg(lcid, 0, 16);
    lines << QStringLiteral("[WINDOWS]");
    // An imported help keeps its main window's caption, place and state.
    const QString placement = prj->MainWindow.get().isEmpty()
                                  ? q + prj->ProjectTitle.get() + q + QStringLiteral(",(0,0,%1,%2),1").arg(screenWidth).arg(screenHeight)
                                  : prj->MainWindow.get();
    lines << QStringLiteral("main=") + placement + u',' + rgb(prj->BkColor) + u',' + rgb(prj->TitleColor) + QStringLiteral(",0");
    lines << QStringLiteral("[BITMAPS]");
    const QString bmpDir = Platform::shortPath(ini->BMP.get());
    for (const QString &bmp : bitmaps)
        lines << bmpDir + bmp;
    lines << QStringLiteral("[CONFIG]");
    // An imported help keeps its own buttons and menus, and gets no other.
    if (!prj->KeepButtons)
        lines << QStringLiteral("CB(`id_Exit',`Exit',") + q + QStringLiteral(" Exit() ") + q + u')';
    else if (!prj->Buttons.get().trimmed().isEmpty())
        lines << prj->Buttons.get();
    lines << QStringLiteral("[FILES]");
    for (int i = 1; i <= topicCount; ++i)
        lines << QStringLiteral("T%1.RTF").arg(i);
    return lines;
}

QStringList FCntLines(const QString &cntPath, const QStringList &topicFiles)
{
    QStringList lines;
    // The help file the build makes beside it, whether it exists yet or
    // not (the first build writes the contents before the help file).
    const QString help = Platform::resolveCase(FChangeExt(cntPath, QStringLiteral(".HLP")));
    lines << QStringLiteral(":Base ") + QFileInfo(help).fileName() + QStringLiteral(">main");
    lines << QStringLiteral(":Title ") + QFileInfo(topicFiles.value(0)).completeBaseName();
    for (const QString &file : topicFiles) {
        const QString name = QFileInfo(file).completeBaseName();
        lines << QStringLiteral("1 ") + name + u'='
                     + TextConv::FContextName(TextConv::FCleanTopicName(name));
    }
    return lines;
}

TErrorContext &FCreateHpjFile(const QString &hpjPath, const TIniRec *ini, const TPrjRec *prj,
                              const QStringList &bitmaps, const QStringList &topicFiles)
{
    TSubGuard sub(context(), QStringLiteral("FCreateHpjFile"));
    QSize screen(640, 480);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        screen = s->size();
    const QStringList lines =
        FHpjLines(ini, prj, hpjPath, bitmaps, int(topicFiles.size()), screen.width(), screen.height());
    // The file is in the help's code page (Windows-1252 unless the project
    // names a language); a path that it cannot hold (a folder named with
    // letters outside it) is written in UTF-8, which the compiler
    // recognises, rather than with "?" in place of those letters.
    const Platform::CodePage page(Platform::languageOfLcid(FProjectLcid(prj)).codePage);
    QByteArray bytes;
    QString section;
    for (const QString &line : lines) {
        if (line.startsWith(u'['))
            section = line;
        const bool path = line.startsWith(QLatin1String("ROOT=")) || section == QLatin1String("[BITMAPS]");
        bytes += path ? Platform::toCp1252OrUtf8(line) : page.number() == 1252 ? Platform::toCp1252(line) : page.encode(line);
        bytes += "\r\n";
    }
    QString error;
    if (!Platform::writeFileAtomic(hpjPath, bytes, &error))
        return sub.report(2, error, 0);
    return sub.report(0);
}

TErrorContext &FCreateCntFile(const QString &cntPath, const QStringList &topicFiles)
{
    TSubGuard sub(context(), QStringLiteral("FCreateCntFile"));
    if (topicFiles.isEmpty())
        return sub.report(2, QStringLiteral("List index out of bounds (0)"), 0);
    if (!Platform::writeFileAtomic(cntPath, joinLines(FCntLines(cntPath, topicFiles))))
        return sub.report(7, cntPath, 6);
    return sub.report(0);
}

} // namespace KIVHelpTools
