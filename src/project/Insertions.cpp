#include "project/Insertions.h"

#include "editing/MarkerObjects.h"
#include "editing/REditServ.h"
#include "formats/TextConv.h"
#include "helpgen/HelpSources.h"
#include "fileops/DosCmd.h"
#include "formats/CommandFile.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "editing/TopicDocument.h"
#include "project/OutlineEdits.h"
#include "compiler/hlp/HlpPicture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBlock>
#include <QUndoStack>

#include <exception>
#include <vector>

using namespace TextConv;

// The pictures the help compiler takes: bitmaps (PNG, JPEG and GIF made
// into bitmaps), hotspot graphics, multi-resolution pictures, metafiles.
static const QString kPictureFilter = QStringLiteral(
    "Images (*.bmp, *.png, *.jpg, *.gif, *.shg, *.mrb, *.wmf)|*.bmp;*.BMP;*.png;*.PNG;*.jpg;*.JPG;*.jpeg;*.JPEG;*.gif;*.GIF;"
    "*.shg;*.SHG;*.mrb;*.MRB;*.wmf;*.WMF|Images bitmap (*.bmp)|*.bmp;*.BMP");

namespace KIVHelpTools {

namespace {

const QColor kGreen(0, 128, 0);

void say(bool show, const QString &text)
{
    if (show)
        Platform::prompts().plain(text);
}

QString asciiUpper(const QString &s)
{
    QString out = s;
    for (QChar &c : out)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
    return out;
}

// Replaces the selection (or inserts at the caret) with a green marker;
// a removed paragraph break is put back after it.
QTextCharFormat insertMarker(TRichEdit *control, const QString &marker, bool lineEnd)
{
    QTextCursor cursor = control->textCursor();
    const QTextCharFormat before = cursor.charFormat();
    QTextCharFormat green = before;
    green.setForeground(kGreen);
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    // One object that the topic file holds as the marker's text.
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), Markers::FObjectFormat(green, marker));
    if (lineEnd)
        cursor.insertBlock();
    cursor.endEditBlock();
    control->setTextCursor(cursor);
    // What is typed next is text, in the format it had before the marker.
    control->setCurrentCharFormat(before);
    return before;
}

// The selection a link is made on, without its final line end; refused
// (and reported) when empty, or starting with a blank when that is refused.
bool takeSelection(const TRichEdit *control, bool refuseLeadingBlank, bool show, TSubGuard &sub, QString *selection,
                   bool *lineEnd)
{
    *selection = FSelectedText(control);
    *lineEnd = FStripLineEnd(*selection);
    QString refusal;
    if (selection->isEmpty())
        refusal = QString::fromUtf8("Pas de texte sélectionné !");
    else if (refuseLeadingBlank && selection->startsWith(u' '))
        refusal = QString::fromUtf8("Le texte sélectionné ne doit pas commencer par un espace");
    // A marker is one line of the topic file: the selection it replaces
    // must not run over a paragraph or line break.
    else if (selection->contains(QChar::ParagraphSeparator) || selection->contains(QChar::LineSeparator)
             || selection->contains(u'\n') || selection->contains(u'\r'))
        refusal = QString::fromUtf8("La sélection ne doit pas s'étendre sur plusieurs paragraphes !");
    if (refusal.isEmpty())
        return true;
    say(show, refusal);
    sub.report(4, refusal, 11);
    return false;
}

// Appends a line to the project's commands; returns its index.
int appendCommand(TOutlineView *outline, const QString &line)
{
    QStringList &commands = outline->project()->commands;
    commands.append(CommandFile::FOneLine(line));
    outline->project()->outlineChanged = true;
    return int(commands.size()) - 1;
}

} // namespace

bool FRefuseWithoutTopics(const TOutlineView *outline, bool show, TSubGuard &sub)
{
    if (Outline::FCount(outline) > 0)
        return false;
    say(show, QStringLiteral("Il n'y a pas de Pages dans ce projet !"));
    sub.report(4, QString(), 0);
    return true;
}

QString FMarker(int n, const QString &label)
{
    return QStringLiteral("@_") + QString::number(n).left(4) + u'_' + FLegacyContextName(label) + QStringLiteral("_@");
}

bool FTopicExists(const QString &name, int length, const TOutlineView *outline)
{
    const QString wanted = asciiUpper(length >= 256 ? name : name.left(qMax(0, length)));
    for (int n = 1, count = Outline::FCount(outline); n <= count; ++n) {
        const QString text = Outline::FItemAt(outline, n)->name;
        if (asciiUpper(length >= 256 ? text : text.left(qMax(0, length))) == wanted)
            return true;
    }
    return false;
}

QString FTrimEnd(const QString &name)
{
    // "Page " and "Page" would be two pages that nobody tells apart.
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1).isSpace())
        --end;
    return name.left(end);
}

TTopic *FContextClash(const QString &name, const TOutlineView *outline, const TTopic *except)
{
    // Contexts are told apart without regard to case.
    const auto key = [](const QString &topic) { return FContextName(FCleanTopicName(topic)).toUpper(); };
    const QString wanted = key(name);
    for (int n = 1, count = Outline::FCount(outline); n <= count; ++n) {
        TTopic *item = Outline::FItemAt(outline, n);
        if (item != except && key(item->name) == wanted)
            return item;
    }
    return nullptr;
}

QString FNewTopicNameProblem(const QString &name, const TOutlineView *outline, const TTopic *except)
{
    QString problem = FTopicNameProblem(name);
    if (problem.isEmpty())
        if (const TTopic *other = FContextClash(name, outline, except))
            problem = QString::fromUtf8("il mènerait au même contexte d'aide que la page « %1 ».").arg(other->name);
    return problem;
}

TRichEdit *FCurrentControl(const TOutlineView *outline)
{
    return Outline::FCount(outline) > 0 && outline->shownTopic() ? outline->editor() : nullptr;
}

QString FSelectedText(const TRichEdit *control)
{
    if (!control)
        return {};
    QString text = control->textCursor().selectedText();
    text.replace(QChar(0x2029), QStringLiteral("\r\n"));
    return text.left(255);
}

TErrorContext &FAddTopic(QString &name, TOutlineView *outline, TConfBlock *conf, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FAddTopic"));
    FStripLineEnd(name);
    if (name == QLatin1String(" ")) {
        say(show, QStringLiteral("Le nom de la page ne doit pas commencer par un espace"));
        return sub.report(4, QStringLiteral("Blancs"), 7);
    }
    name = FTrimEnd(name);
    if (FTopicExists(name, 256, outline)) {
        say(show, QString::fromUtf8("Cette page existe déjà !"));
        return sub.report(4, QString(), 8);
    }
    name = FTrimEnd(FCleanTopicName(name));
    // A name that cannot be a file of the project, or that would lead to
    // another page's help context, is refused where it is typed.
    const QString problem = FNewTopicNameProblem(name, outline, nullptr);
    if (!problem.isEmpty()) {
        say(show, QString::fromUtf8("Nom de page refusé : ") + problem);
        return sub.report(4, problem, 7);
    }
    // The new page's text: its name as its first line, in the project's
    // title format, unless the help sources add titles themselves; what is
    // typed below it is text.
    TTopicDocument text(QByteArray(), outline->textFont());
    if (!conf || !conf->PPrj || !conf->PPrj->AddTitle) {
        QTextCursor cursor(text.document());
        QTextCharFormat title;
        if (conf && conf->PPrjFonts) {
            const TFontEntry &e = conf->PPrjFonts->Entries[0];
            // "system" stands for the page's own face.
            if (!e.Name.get().isEmpty() && e.Name.get().compare(QLatin1String("system"), Qt::CaseInsensitive) != 0)
                title.setFontFamilies({e.Name.get()});
            bool sized = false;
            const int halfPoints = e.Size.get().mid(3).toInt(&sized);
            if (e.Size.get().startsWith(QLatin1String("\\fs")) && sized && halfPoints >= 8 && halfPoints <= 200)
                title.setFontPointSize(halfPoints / 2.0);
            const QString style = e.Typ.get();
            title.setFontWeight(style.contains(QLatin1String("\\b")) ? QFont::Bold : QFont::Normal);
            title.setFontItalic(style.contains(QLatin1String("\\i")));
        }
        cursor.insertText(name, title);
        cursor.insertBlock(QTextBlockFormat(), QTextCharFormat());
    }
    TTopic *selected = outline->currentItem();
    if (!selected)
        selected = Outline::FItemAt(outline, 1);
    // The selection stays where it was.
    outline->undoStack()->push(new TAddEdit(outline, conf ? conf->PPrjFonts : nullptr, selected ? selected->parent : nullptr,
                                            -1, name, text.FRtf()));
    if (selected)
        outline->expand(outline->project()->FIndexOf(selected));
    outline->setCurrentItem(selected);
    return sub.report(0);
}


TErrorContext &FPlaceTopic(TOutlineView *outline, TTopic *item, TTopic *parent, int index, TFontsRec *fonts, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FPlaceTopic"));
    // The first topic is the project's own: it stays where it is, first.
    TTopic *root = Outline::FItemAt(outline, 1);
    QString refusal;
    if (!item || item == root)
        refusal = QString::fromUtf8("La première page du projet ne se déplace pas.");
    else if (!parent && index < 1)
        refusal = QString::fromUtf8("La première page du projet reste la première.");
    for (const TTopic *p = parent; p && refusal.isEmpty(); p = p->parent)
        if (p == item)
            refusal = QString::fromUtf8("Une page ne peut pas aller sous elle-même.");
    if (!refusal.isEmpty()) {
        say(show, refusal);
        return sub.report(4, refusal, 12);
    }
    // The index counts without the item: the model's counts with it.
    TCProject *project = outline->project();
    const int siblings = parent ? int(parent->children.size()) : project->rowCount();
    const bool sameList = item->parent == parent;
    int row = qBound(0, index, sameList ? siblings - 1 : siblings);
    if (sameList && row >= project->FRowOf(item))
        ++row;
    outline->undoStack()->push(new TPlaceEdit(outline, fonts, item, parent, row));
    return sub.report(0);
}

TErrorContext &FMoveTopic(TOutlineView *outline, TMove move, TFontsRec *fonts, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FMoveTopic"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TCProject *project = outline->project();
    TTopic *item = outline->currentItem();
    if (!item)
        item = Outline::FItemAt(outline, 1);
    TTopic *parent = item->parent;
    const int at = project->FRowOf(item);
    const int siblings = parent ? int(parent->children.size()) : project->rowCount();
    const auto sibling = [&](int i) { return project->FTopicOf(project->index(i, 0, project->FIndexOf(parent))); };
    QString refusal;
    if (item == Outline::FItemAt(outline, 1)) {
        refusal = QString::fromUtf8("La première page du projet ne se déplace pas.");
    } else {
        switch (move) {
        case TMove::Up:
            if (at == 0 || (!parent && at == 1))
                refusal = QString::fromUtf8("La page est déjà la première de son niveau.");
            else
                return FPlaceTopic(outline, item, parent, at - 1, fonts, show);
            break;
        case TMove::Down:
            if (at == siblings - 1)
                refusal = QString::fromUtf8("La page est déjà la dernière de son niveau.");
            else
                return FPlaceTopic(outline, item, parent, at + 1, fonts, show);
            break;
        case TMove::Indent:
            if (at == 0) {
                refusal = QString::fromUtf8("Pas de page au-dessus pour la recevoir.");
            } else {
                TTopic *above = sibling(at - 1);
                return FPlaceTopic(outline, item, above, int(above->children.size()), fonts, show);
            }
            break;
        case TMove::Outdent:
            if (!parent) {
                refusal = QString::fromUtf8("La page est déjà au premier niveau.");
            } else {
                TTopic *grand = parent->parent;
                const int after = project->FRowOf(parent) + 1;
                return FPlaceTopic(outline, item, grand, after, fonts, show);
            }
            break;
        }
    }
    say(show, refusal);
    return sub.report(4, refusal, 12);
}

TErrorContext &FRenameTopic(QString &newName, bool ask, TOutlineView *outline, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FRenameTopic"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TTopic *item = outline->currentItem();
    const QString old = item ? item->name : QString();
    QString refusal;
    if (!item || item == Outline::FItemAt(outline, 1)) {
        refusal = QString::fromUtf8("La première page porte le nom du projet : elle ne se renomme pas.");
    } else {
        if (ask) {
            newName = old;
            if (!Platform::prompts().inputText(QStringLiteral("Renommer la page"), QStringLiteral("Nouveau nom de la page :"), &newName))
                return sub.report(0);
        }
        FStripLineEnd(newName);
        newName = FTrimEnd(FCleanTopicName(newName.left(255)));
        if (newName == old)
            return sub.report(0);
        if (newName.compare(old, Qt::CaseInsensitive) != 0 && FTopicExists(newName, 256, outline))
            refusal = QString::fromUtf8("Cette page existe déjà !");
        else if (const QString problem = FNewTopicNameProblem(newName, outline, item); !problem.isEmpty())
            refusal = QString::fromUtf8("Nom de page refusé : ") + problem;
    }
    if (!refusal.isEmpty()) {
        say(show, refusal);
        return sub.report(4, refusal, 7);
    }
    // The jumps that name the old topic: the author says whether they follow.
    // Both spellings: the compiler's, and the one earlier versions wrote.
    const QStringList oldTargets{QStringLiteral("{\\v ") + FContextName(old), QStringLiteral("{\\v ") + FLegacyContextName(old)};
    QStringList lines = outline->project()->commands;
    bool named = false;
    for (const QString &line : std::as_const(lines))
        for (const QString &oldTarget : oldTargets)
            named = named || line.contains(oldTarget + u'}', Qt::CaseInsensitive)
                    || line.contains(oldTarget + u'>', Qt::CaseInsensitive);
    if (named
        && Platform::prompts().question(QString::fromUtf8("Des sauts mènent à « %1 ». Les faire mener à « %2 » ?").arg(old, newName),
                                        Platform::Yes | Platform::No)
               == Platform::Yes) {
        const QString newTarget = QStringLiteral("{\\v ") + FContextName(newName);
        for (QString &line : lines)
            for (const QString &oldTarget : oldTargets)
                for (const QChar end : {u'}', u'>'})
                    line.replace(oldTarget + end, newTarget + end, Qt::CaseInsensitive);
    }
    outline->undoStack()->push(new TRenameEdit(outline, item, newName, lines));
    return sub.report(0);
}

namespace {
// The markers ("@_k_") of the command lines that lead to the topic, and the
// other topics whose text holds one.
QStringList markersLeadingTo(const QString &topicName, TOutlineView *outline, QList<TTopic *> *from);
} // namespace

QStringList FTopicsJumpingTo(const QString &topicName, TOutlineView *outline)
{
    QList<TTopic *> from;
    markersLeadingTo(topicName, outline, &from);
    QStringList names;
    for (const TTopic *t : std::as_const(from))
        names << t->name;
    return names;
}

namespace {
QStringList markersLeadingTo(const QString &topicName, TOutlineView *outline, QList<TTopic *> *from)
{
    // The command lines whose hidden target is the topic's context.
    // Both spellings: the compiler's, and the one earlier versions wrote.
    const QStringList contexts{QStringLiteral("{\\v ") + FContextName(topicName),
                               QStringLiteral("{\\v ") + FLegacyContextName(topicName)};
    const QStringList &lines = outline->project()->commands;
    QStringList markers;
    for (int k = 0; k < lines.size(); ++k)
        for (const QString &context : contexts) {
            const qsizetype at = lines[k].indexOf(context, 0, Qt::CaseInsensitive);
            if (at < 0)
                continue;
            const qsizetype end = at + context.size();
            const QChar after = end < lines[k].size() ? lines[k].at(end) : QChar();
            if ((after == u'}' || after == u'>' || after == u'@') && !markers.contains(QStringLiteral("@_%1_").arg(k)))
                markers << QStringLiteral("@_%1_").arg(k);
        }
    const int count = Outline::FCount(outline);
    for (int n = 1; n <= count && !markers.isEmpty(); ++n) {
        TTopic *item = Outline::FItemAt(outline, n);
        if (item->name == topicName)
            continue;
        const QString text = outline->FPlainTextOf(item);
        for (const QString &marker : std::as_const(markers))
            if (text.contains(marker)) {
                *from << item;
                break;
            }
    }
    return markers;
}
} // namespace

TErrorContext &FDelTopic(QString &name, TOutlineView *outline, bool show, const QStringList &jumpingFrom, TFontsRec *fonts)
{
    TSubGuard sub(context(), QStringLiteral("FDelTopic"));
    name.clear();
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    const int count = Outline::FCount(outline);
    const QString refused = QString::fromUtf8("Vous ne pouvez pas effacer un projet à ce niveau !");
    if (count == 1) {
        say(show, refused);
        return sub.report(4, QString(), 10);
    }
    TTopic *item = outline->currentItem();
    if (!item)
        item = Outline::FItemAt(outline, 1);
    name = item->name;
    if (!item->children.empty()) {
        say(show, refused);
        return sub.report(4, QString(), 10);
    }
    try {
        // The pages whose links lead here are named; their links go with the
        // page (their text stays), so that no jump leads nowhere. One undo
        // brings both back.
        Q_UNUSED(jumpingFrom);
        QList<TTopic *> from;
        const QStringList markers = markersLeadingTo(name, outline, &from);
        QStringList names;
        for (const TTopic *t : std::as_const(from))
            names << QString::fromUtf8("« %1 »").arg(t->name);
        const QString text = from.isEmpty()
                                 ? QString::fromUtf8("Supprimer la page « %1 » ?").arg(name)
                                 : QString::fromUtf8("Supprimer la page « %1 » ?\n\nCes pages ont des liens vers elle : %2.\n"
                                                     "Ces liens seront retirés (leur texte reste).")
                                       .arg(name, names.join(QStringLiteral(", ")));
        const Platform::Button answer = Platform::prompts().ask(
            text, {{Platform::Yes, from.isEmpty() ? QString::fromUtf8("Supprimer la page") : QString::fromUtf8("Supprimer et retirer les liens")},
                   {Platform::Cancel, QString::fromUtf8("Annuler")}});
        if (answer == Platform::Yes) {
            outline->undoStack()->beginMacro(QString::fromUtf8("suppression de la page « %1 »").arg(name));
            if (!from.isEmpty())
                outline->undoStack()->push(new TUnlinkEdit(outline, from, markers));
            outline->undoStack()->push(new TDeleteEdit(outline, fonts, item));
            outline->undoStack()->endMacro();
        }
    } catch (const std::exception &) {
        return sub.report(4, QString(), 3);
    }
    return sub.report(0);
}

namespace {

// Copies a picture into the shared picture folder under `*name`. The same
// bytes already there are used as they are; other bytes under that name
// are replaced or kept beside it under a new name, as the author says.
bool bringPicture(const QString &from, const QString &dir, QString *name, bool show, TSubGuard &sub)
{
    QByteArray bytes, there;
    QString error;
    if (!Platform::readWholeFile(from, &bytes, &error)) {
        say(show, QString::fromUtf8("L'image ne peut pas être lue : ") + from + QStringLiteral("\n") + error);
        sub.report(7, from, 9);
        return false;
    }
    QString target = dir + *name;
    if (QFileInfo::exists(target)) {
        if (Platform::readWholeFile(target, &there) && there == bytes)
            return true;
        const Platform::Button answer = Platform::prompts().question(
            QString::fromUtf8("Une autre image nommée « %1 » est déjà dans le répertoire des images.\n"
                              "Oui : la remplacer par celle-ci (les pages qui la montrent montreront celle-ci).\n"
                              "Non : garder les deux, celle-ci sous un autre nom.\n"
                              "Annuler : ne rien insérer.")
                .arg(*name),
            Platform::Yes | Platform::No | Platform::Cancel);
        if (answer == Platform::Cancel) {
            name->clear();
            sub.report(0);
            return false;
        }
        if (answer == Platform::No) {
            const QFileInfo info(*name);
            for (int k = 2; QFileInfo::exists(target); ++k) {
                *name = info.completeBaseName() + QStringLiteral("_%1.").arg(k) + info.suffix();
                target = dir + *name;
            }
        }
    }
    if (!Platform::writeFileAtomic(target, bytes, &error)) {
        say(show, QString::fromUtf8("La copie de l'image dans le répertoire des images a échoué : ") + target
                      + QStringLiteral("\n") + error);
        sub.report(7, from, 9);
        return false;
    }
    return true;
}

} // namespace

namespace {

// Why a picture file cannot be shown in the help; empty when it can.
QString pictureProblem(const QString &path)
{
    QByteArray bytes, picture;
    QString why;
    if (!Platform::readWholeFile(path, &bytes, &why))
        return QString::fromUtf8("elle ne peut pas être lue (%1)").arg(why);
    if (!Hlp::bmpToPicture(bytes, &picture, &why))
        return why;
    return {};
}

// Inserts the picture `chosen` (a file anywhere: copied into the picture
// folder when it is elsewhere), refused with its name when the help could
// not show it.
TErrorContext &placePicture(const QString &chosen, QString &fileName, const QString &bmpDir, bool show,
                            TOutlineView *outline, TSubGuard &sub)
{
    TRichEdit *control = FCurrentControl(outline);
    QString dir = bmpDir;
    if (!dir.isEmpty() && !dir.endsWith(u'/'))
        dir += u'/';
    if (!chosen.isEmpty()) {
        QString shortPath;
        FLong2ShortFName(chosen, shortPath);
        fileName = shortPath.isEmpty() ? QString() : QFileInfo(shortPath).fileName();
    }
    if (fileName.isEmpty()) {
        say(show, QStringLiteral("NO BMP"));
        return sub.report(4, QString::fromUtf8("Chaîne vide"), 12);
    }
    const QString source = chosen.isEmpty() ? Platform::resolveCase(dir + fileName) : chosen;
    if (const QString problem = pictureProblem(source); !problem.isEmpty()) {
        const QString text = QString::fromUtf8("L'image « %1 » ne peut pas être montrée dans l'aide : %2.")
                                 .arg(QFileInfo(source).fileName(), problem);
        say(show, text);
        return sub.report(4, text, 12);
    }
    if (!chosen.isEmpty() && QFileInfo(chosen).absolutePath() + u'/' != QFileInfo(dir + u'x').absolutePath() + u'/'
        && !bringPicture(chosen, dir, &fileName, show, sub))
        return context();
    try {
        const int n = appendCommand(outline, QStringLiteral("\\{bmc ") + FDoubleBackslash(fileName, Single)
                                              + QStringLiteral("\\}"));
        insertMarker(control, FMarker(n, fileName), false);
    } catch (const std::exception &) {
        return sub.report(4, QStringLiteral("Insertion BMP ds *.cmd"), 13);
    }
    return sub.report(0);
}

bool refuseSelection(const TRichEdit *control, bool show, TSubGuard &sub)
{
    if (FSelectedText(control).isEmpty())
        return false;
    const QString text = QString::fromUtf8("Ne sélectionnez pas de texte !");
    say(show, text);
    sub.report(4, text, 11);
    return true;
}

} // namespace

TErrorContext &FAddBmp(QString &fileName, const QString &bmpDir, bool ask, bool show, TOutlineView *outline)
{
    TSubGuard sub(context(), QStringLiteral("FAddBmp"));
    if (FRefuseWithoutTopics(outline, show, sub) || refuseSelection(FCurrentControl(outline), show, sub))
        return context();
    QString chosen;
    if (ask) {
        chosen = Platform::prompts().openFile(QStringLiteral("Choisir une image"), bmpDir, kPictureFilter);
        if (chosen.isEmpty()) {
            fileName.clear();
            return context(); // cancelled: nothing to report
        }
    }
    return placePicture(chosen, fileName, bmpDir, show, outline, sub);
}

TErrorContext &FAddBmpFile(const QString &path, const QString &bmpDir, bool show, TOutlineView *outline)
{
    TSubGuard sub(context(), QStringLiteral("FAddBmp"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    QString fileName;
    return placePicture(QFileInfo(path).absoluteFilePath(), fileName, bmpDir, show, outline, sub);
}

TErrorContext &FAddBmpImage(const QImage &image, const QString &bmpDir, bool show, TOutlineView *outline)
{
    TSubGuard sub(context(), QStringLiteral("FAddBmp"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    // A picture from the clipboard becomes a PNG file of the picture folder,
    // under a name no other file has.
    QDir().mkpath(bmpDir);
    QString path;
    for (int k = 1; path.isEmpty() || QFileInfo::exists(path); ++k)
        path = QDir(bmpDir).filePath(QStringLiteral("image_collee_%1.png").arg(k));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (image.isNull() || !image.save(&buffer, "PNG") || !Platform::writeFileAtomic(path, png, &error)) {
        const QString text = QString::fromUtf8("L'image collée ne peut pas être enregistrée dans le répertoire des images : ")
                             + path + (error.isEmpty() ? QString() : QStringLiteral("\n") + error);
        say(show, text);
        return sub.report(7, path, 9);
    }
    QString fileName;
    return placePicture(path, fileName, bmpDir, show, outline, sub);
}

namespace {

// A jump or pop-up on the selection to a topic of the project.
TErrorContext &addLink(QString &target, bool ask, TOutlineView *outline, bool show, bool popup)
{
    TSubGuard sub(context(), popup ? QStringLiteral("FAddPopup") : QStringLiteral("FAddJump"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TRichEdit *control = FCurrentControl(outline);
    QString selection;
    bool lineEnd = false;
    // Nothing selected, the author is asked for the page: its name becomes
    // the link's text.
    const bool nameAsText = ask && !control->textCursor().hasSelection();
    if (!nameAsText && !takeSelection(control, true, show, sub, &selection, &lineEnd))
        return context();
    QString name;
    if (ask) {
        name = selection;
        QStringList topics;
        for (int n = 1, count = Outline::FCount(outline); n <= count; ++n)
            topics << Outline::FItemAt(outline, n)->name;
        const QString caption = popup ? QString::fromUtf8("Fenêtre surgissante") : QString::fromUtf8("Saut vers une page");
        const QString prompt = popup ? QString::fromUtf8("Veuillez entrer le nom de la Page à montrer dans la fenêtre :")
                                     : QString::fromUtf8("Veuillez entrer le nom de la Page :");
        if (!Platform::prompts().chooseText(caption, prompt, topics, &name))
            return sub.report(0);
        name = name.left(255);
        target = name;
    } else {
        name = FTrimEnd(FCleanTopicName(target.isEmpty() ? selection : target));
    }
    // An empty target would match every topic; it names none.
    if (name.isEmpty() || !FTopicExists(name, int(name.size()), outline)) {
        const QString text = QString::fromUtf8("Cette page n'existe pas !");
        say(show, text);
        return sub.report(4, text, 9);
    }
    if (nameAsText) {
        selection = FTrimEnd(name);
        for (int n = 1, count = Outline::FCount(outline); n <= count; ++n) // the page's own spelling
            if (Outline::FItemAt(outline, n)->name.compare(selection, Qt::CaseInsensitive) == 0)
                selection = Outline::FItemAt(outline, n)->name;
    }
    try {
        const int n = appendCommand(outline, (popup ? QStringLiteral("{\\ul ") : QStringLiteral("{\\uldb "))
                                                 + FRtfEscape(selection) + QStringLiteral("}{\\v ") + FContextName(name) + u'}');
        insertMarker(control, FMarker(n, selection), lineEnd);
    } catch (const std::exception &) {
        return sub.report(4, popup ? QStringLiteral("Insertion POPUP ds *.cmd") : QStringLiteral("Insertion JMP ds *.cmd"), 13);
    }
    return sub.report(0);
}

} // namespace

TErrorContext &FAddJump(QString &target, bool ask, TOutlineView *outline, bool show)
{
    return addLink(target, ask, outline, show, false);
}

TErrorContext &FAddPopup(QString &target, bool ask, TOutlineView *outline, bool show)
{
    return addLink(target, ask, outline, show, true);
}

TErrorContext &FAddTopicAndJump(const QString &name, TOutlineView *outline, TConfBlock *conf, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FAddTopicAndJump"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    if (FTopicExists(name, 256, outline)) {
        say(show, QString::fromUtf8("Cette page existe déjà !"));
        return sub.report(4, QString(), 8);
    }
    QString topic = name;
    if (FAddTopic(topic, outline, conf, show).Category != 0)
        return sub.report(4, QString(), 14);
    QString target = name;
    if (FAddJump(target, false, outline, show).Category != 0)
        return sub.report(4, QString(), 15);
    return sub.report(0);
}

TErrorContext &FAddExec(QString &path, bool ask, TOutlineView *outline, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FAddExec"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TRichEdit *control = FCurrentControl(outline);
    QString selection;
    bool lineEnd = false;
    if (!takeSelection(control, false, show, sub, &selection, &lineEnd))
        return context();
    if (ask) {
        // Typed as the reader's system names it (a bare name, a Windows
        // path, an address); left empty, a file is chosen on this computer.
        QString typed;
        if (!Platform::prompts().inputText(QString::fromUtf8("Programme à lancer"),
                                           QString::fromUtf8("Programme à lancer chez le lecteur de l'aide (nom seul comme "
                                                             "notepad.exe, chemin Windows, ou adresse web) ; laisser vide pour "
                                                             "choisir un fichier :"),
                                           &typed))
            return sub.report(0);
        if (typed.trimmed().isEmpty()) {
            typed = Platform::prompts().openFile(
                QString::fromUtf8("Programme à lancer"), QString(),
                QString::fromUtf8("Tous (*.*)|*.*|Exécutable (*.EXE)|*.EXE|Exécutable (*.COM)|*.COM"));
            if (typed.isEmpty())
                return sub.report(0);
        }
        path = typed.trimmed().left(255);
    }
    // The help runs on its reader's computer: the program is named as the
    // reader's system finds it. A bare name ("notepad.exe") and a Windows
    // path are taken as typed; a path of this computer becomes the
    // program's Windows path inside a Wine drive, else its name alone,
    // which is said.
    const QString typed = path;
    if (typed.startsWith(u'/')) {
        if (!QFileInfo(typed).isFile()) {
            say(show, QStringLiteral("Le fichier n'existe pas"));
            return sub.report(7, typed, 2);
        }
        const qsizetype drive = typed.indexOf(QStringLiteral("/drive_c/"), 0, Qt::CaseInsensitive);
        if (drive >= 0) {
            path = QStringLiteral("C:\\") + typed.mid(drive + 9).replace(u'/', u'\\');
        } else {
            path = QFileInfo(typed).fileName();
            if (show)
                Platform::prompts().warning(
                    QString::fromUtf8("Le programme sera appelé par son nom seul, « %1 » : le chemin %2 n'existe que "
                                      "sur cet ordinateur. Le lecteur de l'aide devra l'avoir là où son système le trouve.")
                        .arg(path, typed));
        }
    } else if (path.trimmed().isEmpty()) {
        say(show, QStringLiteral("Le fichier n'existe pas"));
        return sub.report(7, path, 2);
    }
    try {
        const int n = appendCommand(outline, QStringLiteral("{\\uldb ") + FRtfEscape(selection)
                                              + QStringLiteral("}{\\v !ExecProgram(\"") + FDoubleBackslash(path, Quadruple)
                                              + QStringLiteral("\",0)}"));
        insertMarker(control, FMarker(n, selection), lineEnd);
    } catch (const std::exception &) {
        return sub.report(4, QStringLiteral("Insertion EXEC ds *.cmd"), 13);
    }
    return sub.report(0);
}

namespace {

// A program call as the insertion writes it, !ExecProgram("command line", n)
// (EP and `...' quotes too): the command line split into the program and
// its arguments, and the window's state n.
struct TProgramCall {
    QString program, arguments, show = QStringLiteral("0");
};

bool parseProgramCall(const QString &target, TProgramCall *call)
{
    static const QRegularExpression form(QStringLiteral("^!\\s*(?:ExecProgram|EP)\\s*\\(\\s*[`\"](.*)['\"]\\s*(?:,\\s*(\\d+)\\s*)?\\)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(target);
    if (!m.hasMatch())
        return false;
    // The RTF's escapes, then the macro string's.
    const QString rtf = KIVHelpTools::FParagraphText(m.captured(1));
    QString line;
    for (qsizetype i = 0; i < rtf.size(); ++i)
        line += rtf[i] == u'\\' && i + 1 < rtf.size() ? rtf[++i] : rtf[i];
    line = line.trimmed();
    if (line.startsWith(u'"') && line.indexOf(u'"', 1) > 0) {
        const qsizetype close = line.indexOf(u'"', 1);
        call->program = line.mid(1, close - 1);
        call->arguments = line.mid(close + 1).trimmed();
    } else {
        call->program = line.section(u' ', 0, 0);
        call->arguments = line.section(u' ', 1).trimmed();
    }
    if (!m.captured(2).isEmpty())
        call->show = m.captured(2);
    return true;
}

} // namespace

TErrorContext &FEditObject(TOutlineView *outline, const QString &bmpDir, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FEditObject"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TRichEdit *control = FCurrentControl(outline);
    const QTextCursor caret = control->textCursor();
    const int at = caret.hasSelection() ? caret.selectionStart() : caret.position() - 1;
    QTextCursor object(control->document());
    object.setPosition(qMax(0, at));
    object.setPosition(qMax(0, at) + 1, QTextCursor::KeepAnchor);
    const QString marker = at < 0 ? QString() : Markers::FMarkerOf(object.charFormat());
    Markers::TMarker parsed;
    QStringList &commands = outline->project()->commands;
    if (marker.isEmpty() || !Markers::FParse(marker, &parsed) || parsed.command < 0 || parsed.command >= commands.size()) {
        const QString text = QString::fromUtf8("Pas d'image, de saut ni d'appel de programme à cet endroit !");
        say(show, text);
        return sub.report(4, text, 11);
    }
    const Markers::TShown shown = Markers::FShownOf(commands[parsed.command]);
    QString line, label;
    auto &prompts = Platform::prompts();
    if (shown.kind == Markers::TKind::Jump || shown.kind == Markers::TKind::Popup) {
        const bool popup = shown.kind == Markers::TKind::Popup;
        QString text = shown.text;
        if (!prompts.inputText(popup ? QString::fromUtf8("Fenêtre surgissante") : QStringLiteral("Saut"),
                               QStringLiteral("Texte que le lecteur voit :"), &text)
            || text.trimmed().isEmpty())
            return sub.report(0);
        QStringList topics;
        QString name;
        for (int n = 1, count = Outline::FCount(outline); n <= count; ++n) {
            topics << Outline::FItemAt(outline, n)->name;
            if (FContextName(topics.last()) == shown.target)
                name = topics.last();
        }
        if (!prompts.chooseText(popup ? QString::fromUtf8("Fenêtre surgissante") : QStringLiteral("Saut"),
                                QStringLiteral("Page vers laquelle il mène :"), topics, &name))
            return sub.report(0);
        if (name.isEmpty() || !FTopicExists(name, int(name.size()), outline)) {
            const QString refusal = QString::fromUtf8("Cette page n'existe pas !");
            say(show, refusal);
            return sub.report(4, refusal, 9);
        }
        line = (popup ? QStringLiteral("{\\ul ") : QStringLiteral("{\\uldb ")) + FRtfEscape(text) + QStringLiteral("}{\\v ")
               + FContextName(name) + u'}';
        label = text;
    } else if (shown.kind == Markers::TKind::Picture) {
        static const QStringList places{QStringLiteral("Dans la ligne"), QString::fromUtf8("À gauche du texte"),
                                        QString::fromUtf8("À droite du texte")};
        const QString code = commands[parsed.command].trimmed().mid(4, 1);
        QString place = places.value(code == u'l' ? 1 : code == u'r' ? 2 : 0);
        QString file = shown.target;
        const QString chosen = prompts.openFile(QStringLiteral("Choisir une image"), bmpDir,
                                                kPictureFilter);
        if (!chosen.isEmpty()) {
            file = QFileInfo(chosen).fileName();
            QString dir = bmpDir;
            if (!dir.isEmpty() && !dir.endsWith(u'/'))
                dir += u'/';
            if (QFileInfo(chosen).absolutePath() + u'/' != dir && !bringPicture(chosen, dir, &file, show, sub))
                return context();
        }
        if (!prompts.chooseText(QStringLiteral("Image"), QStringLiteral("Place de l'image :"), places, &place))
            return sub.report(0);
        const int where = int(places.indexOf(place));
        line = QStringLiteral("\\{bm") + (where == 1 ? u'l' : where == 2 ? u'r' : u'c') + u' '
               + FDoubleBackslash(file, Single) + QStringLiteral("\\}");
        label = file;
    } else if (TProgramCall call; shown.kind == Markers::TKind::Program && parseProgramCall(shown.target, &call)) {
        const QString caption = QStringLiteral("Appel de programme");
        QString text = shown.text, program = call.program, arguments = call.arguments;
        if (!prompts.inputText(caption, QStringLiteral("Texte que le lecteur voit :"), &text) || text.trimmed().isEmpty()
            || !prompts.inputText(caption, QStringLiteral("Programme à lancer (son nom, ou son chemin sous Windows) :"), &program)
            || program.trimmed().isEmpty()
            || !prompts.inputText(caption, QStringLiteral("Arguments (rien s'il n'y en a pas) :"), &arguments))
            return sub.report(0);
        program = program.trimmed();
        arguments = arguments.trimmed();
        // A program whose name has blanks is quoted within the command line.
        QString commandLine = program.contains(u' ') ? u'"' + program + u'"' : program;
        if (!arguments.isEmpty())
            commandLine += u' ' + arguments;
        // The macro's string escapes backslashes and quotes; the RTF, backslashes again.
        commandLine.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        line = QStringLiteral("{\\uldb ") + FRtfEscape(text) + QStringLiteral("}{\\v !ExecProgram(\"") + FRtfEscape(commandLine)
               + QStringLiteral("\",") + call.show + QStringLiteral(")}");
        label = text;
    } else {
        // A command line the author wrote, or a macro other than a program
        // call: edited as the help compiler reads it.
        QString text = commands[parsed.command];
        if (!prompts.inputText(QStringLiteral("Ligne de commande"),
                               QStringLiteral("Commande telle que le compilateur d'aide la lit :"), &text)
            || text.trimmed().isEmpty())
            return sub.report(0);
        line = text;
        const Markers::TShown now = Markers::FShownOf(text);
        label = now.kind == Markers::TKind::Other ? parsed.label : now.text;
    }
    commands[parsed.command] = CommandFile::FOneLine(line);
    outline->project()->outlineChanged = true;
    // The marker keeps its number and takes the new label.
    const QTextCharFormat format = Markers::FObjectFormat(Markers::FTextFormat(object.charFormat()),
                                                          FMarker(parsed.command, label));
    object.setCharFormat(format);
    control->setTextCursor(object);
    return sub.report(0);
}

} // namespace KIVHelpTools
