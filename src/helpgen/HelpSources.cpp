#include "helpgen/HelpSources.h"

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

int FFontNumberAdding(QString &header, const QString &face)
{
    const qsizetype table = header.indexOf(QLatin1String("{\\fonttbl"));
    if (table < 0 || face.trimmed().isEmpty())
        return 0;
    // The entries "{\fN\fswiss ... Face;}" of the table group: the number
    // of each, and its name (the text at the entry's own level).
    int depth = 0, highest = -1, number = -1;
    QString name;
    qsizetype end = -1;
    for (qsizetype i = table; i < header.size() && end < 0; ++i) {
        const QChar c = header[i];
        if (c == u'\\') {
            qsizetype j = i + 1;
            QString word;
            while (j < header.size() && header[j].isLetter())
                word += header[j++];
            QString digits;
            while (j < header.size() && (header[j].isDigit() || (digits.isEmpty() && header[j] == u'-')))
                digits += header[j++];
            if (depth == 2 && word == QLatin1String("f") && number < 0) {
                number = digits.toInt();
                highest = qMax(highest, number);
            }
            if (j < header.size() && header[j] == u' ' && !word.isEmpty())
                ++j;
            i = (word.isEmpty() ? i + 1 : j - 1);
        } else if (c == u'{') {
            if (++depth == 2) {
                number = -1;
                name.clear();
            }
        } else if (c == u'}') {
            if (depth == 2 && number >= 0 && name.trimmed().compare(face.trimmed(), Qt::CaseInsensitive) == 0)
                return number;
            if (--depth == 0)
                end = i;
        } else if (depth == 2 && c != u';') {
            name += c;
        }
    }
    if (end < 0)
        return 0;
    const int added = highest + 1;
    header.insert(end, QStringLiteral("{\\f%1\\fnil %2;}").arg(added).arg(face.trimmed()));
    return added;
}

QString FParagraphText(const QString &line)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'{' || c == u'}')
            continue;
        if (c != u'\\') {
            bytes += Platform::toCp1252(QString(c));
            continue;
        }
        if (i + 1 >= line.size())
            break;
        const QChar next = line.at(i + 1);
        if (next == u'\'' && i + 3 < line.size()) {
            bool ok = false;
            const int code = line.mid(i + 2, 2).toInt(&ok, 16);
            if (ok)
                bytes += char(code);
            i += 3;
        } else if (next.isLetter()) {
            qsizetype j = i + 1;
            while (j < line.size() && line.at(j).isLetter())
                ++j;
            while (j < line.size() && (line.at(j).isDigit() || line.at(j) == u'-'))
                ++j;
            if (j < line.size() && line.at(j) == u' ')
                ++j;
            i = j - 1;
        } else {
            bytes += Platform::toCp1252(QString(next));
            ++i;
        }
    }
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
        // That control word only: \fcharset161 (Greek) and the others stay.
        QString &head = lines[0];
        for (qsizetype at = 0; (at = head.indexOf(QLatin1String("\\fcharset1"), at)) >= 0;) {
            if (at + 10 < head.size() && head[at + 10].isDigit())
                at += 10;
            else
                head.remove(at, 10);
        }
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
