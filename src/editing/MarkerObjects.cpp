#include "editing/MarkerObjects.h"

#include "compiler/hlp/HlpPicture.h"
#include "platform/SafeFile.h"

#include "helpgen/HelpSources.h"
#include "platform/Paths.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

namespace Markers {

namespace {

const QColor kJumpColour(0, 128, 0);
const QColor kBrokenColour(192, 0, 0);
constexpr qreal kIconSize = 12;

// Where the marker that starts at `p` ends (just past its "_@"), or -1.
qsizetype markerEnd(const QString &text, qsizetype p)
{
    const qsizetype numberEnd = text.indexOf(u'_', p + 2);
    const qsizetype k = text.indexOf(QLatin1String("_@"), p + 2);
    if (numberEnd < 0 || k < 0 || numberEnd == p + 2)
        return -1;
    bool decimal = false;
    text.mid(p + 2, numberEnd - p - 2).toInt(&decimal, 10);
    return decimal ? k + 2 : -1;
}

// The group's content after `prefix` up to its closing brace (escaped
// braces and backslashes do not close it); `rest` receives what follows.
bool groupAfter(const QString &line, qsizetype from, const QString &prefix, QString *content, qsizetype *rest)
{
    if (!line.mid(from).startsWith(prefix))
        return false;
    for (qsizetype i = from + prefix.size(); i < line.size(); ++i) {
        if (line[i] == u'\\') {
            ++i;
            continue;
        }
        if (line[i] == u'}') {
            *content = line.mid(from + prefix.size(), i - from - prefix.size());
            *rest = i + 1;
            return true;
        }
    }
    return false;
}

QString markerOf(const QTextFormat &format) { return format.property(MarkerProperty).toString(); }

} // namespace

bool FParse(const QString &marker, TMarker *out)
{
    if (!marker.startsWith(QLatin1String("@_")) || markerEnd(marker, 0) != marker.size())
        return false;
    const qsizetype numberEnd = marker.indexOf(u'_', 2);
    out->command = marker.mid(2, numberEnd - 2).toInt();
    out->label = marker.mid(numberEnd + 1, marker.size() - numberEnd - 3);
    return true;
}

void PToObjects(QTextDocument &doc)
{
    struct Found {
        int position;
        int length;
        QTextCharFormat format;
        QString marker;
    };
    QList<Found> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.isValid() || frag.charFormat().objectType() == ObjectType)
                continue;
            const QString text = frag.text();
            for (qsizetype p = text.indexOf(QLatin1String("@_")); p >= 0; p = text.indexOf(QLatin1String("@_"), p + 1)) {
                const qsizetype end = markerEnd(text, p);
                if (end < 0)
                    continue;
                found.append({frag.position() + int(p), int(end - p), frag.charFormat(), text.mid(p, end - p)});
                p = end - 1;
            }
        }
    }
    if (found.isEmpty())
        return;
    const bool undo = doc.isUndoRedoEnabled();
    doc.setUndoRedoEnabled(false);
    QTextCursor cursor(&doc);
    for (auto f = found.crbegin(); f != found.crend(); ++f) {
        cursor.setPosition(f->position);
        cursor.setPosition(f->position + f->length, QTextCursor::KeepAnchor);
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), FObjectFormat(f->format, f->marker));
    }
    doc.setUndoRedoEnabled(undo);
}

QTextCharFormat FObjectFormat(const QTextCharFormat &textFormat, const QString &marker)
{
    QTextCharFormat f = textFormat;
    f.setObjectType(ObjectType);
    f.setProperty(MarkerProperty, marker);
    return f;
}

QString FMarkerOf(const QTextCharFormat &format)
{
    return format.objectType() == ObjectType ? markerOf(format) : QString();
}

QTextCharFormat FTextFormat(const QTextCharFormat &format)
{
    QTextCharFormat f = format;
    f.clearProperty(QTextFormat::ObjectType);
    f.clearProperty(MarkerProperty);
    return f;
}

QString FWithMarkers(const QString &text, const QList<QPair<int, QString>> &objects)
{
    QString out = text;
    for (auto o = objects.crbegin(); o != objects.crend(); ++o)
        if (o->first >= 0 && o->first < out.size() && out[o->first] == QChar::ObjectReplacementCharacter)
            out.replace(o->first, 1, o->second);
    return out;
}

QString FPlainText(const QTextDocument &doc)
{
    QList<QPair<int, QString>> objects;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            const QString marker = FMarkerOf(frag.charFormat());
            if (!marker.isEmpty())
                for (int i = 0; i < frag.length(); ++i)
                    objects.append({frag.position() + i, marker});
        }
    return FWithMarkers(doc.toPlainText(), objects);
}

QString FWithoutMarkers(const QString &text)
{
    QString out;
    qsizetype from = 0;
    for (qsizetype p = text.indexOf(QLatin1String("@_")); p >= 0; p = text.indexOf(QLatin1String("@_"), p + 1)) {
        const qsizetype end = markerEnd(text, p);
        if (end < 0)
            continue;
        out += QStringView(text).mid(from, p - from);
        out += QChar::ObjectReplacementCharacter;
        from = end;
        p = end - 1;
    }
    if (from == 0)
        return text;
    out += QStringView(text).mid(from);
    return out;
}

TShown FShownOf(const QString &commandLine)
{
    TShown shown;
    const QString line = commandLine.trimmed();
    for (const char *picture : {"\\{bmc ", "\\{bml ", "\\{bmr "}) {
        if (line.startsWith(QLatin1String(picture)) && line.endsWith(QLatin1String("\\}"))) {
            shown.kind = TKind::Picture;
            shown.target = line.mid(6, line.size() - 8).trimmed().replace(QLatin1String("\\\\"), QLatin1String("\\"));
            shown.text = shown.target;
            return shown;
        }
    }
    QString text, target;
    qsizetype rest = 0, end = 0;
    const bool jump = groupAfter(line, 0, QStringLiteral("{\\uldb "), &text, &rest);
    const bool popup = !jump && groupAfter(line, 0, QStringLiteral("{\\ul "), &text, &rest);
    if ((!jump && !popup) || !groupAfter(line, rest, QStringLiteral("{\\v "), &target, &end) || end != line.size())
        return shown;
    shown.text = KIVHelpTools::FParagraphText(text);
    shown.target = target.trimmed();
    static const QRegularExpression pictureLink(QStringLiteral("^\\s*\\\\\\{bm[clr] ([^\\\\]+)\\\\\\}\\s*$"));
    if (const QRegularExpressionMatch m = pictureLink.match(text); m.hasMatch())
        shown.picture = m.captured(1).trimmed();
    shown.kind = shown.target.startsWith(u'!') ? TKind::Program : jump ? TKind::Jump : TKind::Popup;
    return shown;
}

// ---- the painter ----

namespace {
// The font an object's text is drawn in: its format's, what the format does
// not say taken from the document.
QFont objectFont(const QTextDocument *doc, const QTextFormat &format)
{
    QFont font = format.toCharFormat().font();
    if (doc)
        font = font.resolve(doc->defaultFont());
    // Every property said: a painter completes the ones a font leaves
    // unsaid from its widget's font, which is not the one measured.
    font.setResolveMask(QFont::AllPropertiesResolved);
    return font;
}

QPaintDevice *paintDevice(const QTextDocument *doc)
{
    return doc && doc->documentLayout() ? doc->documentLayout()->paintDevice() : nullptr;
}
} // namespace

// Room under a picture that is a link, for its underline.
constexpr qreal kLinkUnderPicture = 3;

TObjectPainter::TObjectPainter(QObject *parent) : QObject(parent), m_watch(new QFileSystemWatcher(this))
{
    connect(m_watch, &QFileSystemWatcher::directoryChanged, this, &TObjectPainter::forgetPictures);
    connect(m_watch, &QFileSystemWatcher::fileChanged, this, &TObjectPainter::forgetPictures);
}

void TObjectPainter::setPictureFolder(const QString &folder)
{
    m_pictures = folder;
    m_images.clear();
    // A picture replaced in the folder (by another program, or by the
    // picture command) is shown anew wherever it is used.
    if (!m_watch->files().isEmpty() || !m_watch->directories().isEmpty()) {
        const QStringList watched = m_watch->files() + m_watch->directories();
        m_watch->removePaths(watched);
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        m_watch->addPath(QFileInfo(folder).absoluteFilePath());
}

void TObjectPainter::forgetPictures()
{
    if (m_images.isEmpty())
        return;
    const QStringList files = m_watch->files();
    if (!files.isEmpty())
        m_watch->removePaths(files);
    m_images.clear();
    emit picturesChanged();
}

void TObjectPainter::attach(QTextDocument *doc)
{
    if (doc && doc->documentLayout())
        doc->documentLayout()->registerHandler(ObjectType, this);
}

bool TObjectPainter::isBroken(const TShown &shown) const
{
    // Only a page of this help can be missing: a jump into another help
    // file (name@file) or a window (name>window) is not checked here.
    return m_pageExists && (shown.kind == TKind::Jump || shown.kind == TKind::Popup) && !shown.target.contains(u'@')
           && !shown.target.contains(u'>') && !m_pageExists(shown.target);
}

TShown TObjectPainter::shownOf(const QTextFormat &format) const
{
    TMarker marker;
    if (m_commands && FParse(markerOf(format), &marker) && marker.command >= 0 && marker.command < m_commands->size()) {
        TShown shown = FShownOf(m_commands->at(marker.command));
        if (shown.kind != TKind::Other)
            return shown;
    }
    TShown other;
    other.text = markerOf(format);
    return other;
}

QImage TObjectPainter::pictureOf(const QString &file) const
{
    if (m_pictures.isEmpty() || file.isEmpty())
        return {};
    if (const auto known = m_images.constFind(file); known != m_images.constEnd())
        return *known;
    // A picture not there yet (copied into the folder later) is looked for again.
    const QString path = Platform::resolveCase(QDir(m_pictures).filePath(file));
    QImage image(path);
    // Hotspot graphics, multi-resolution pictures and metafiles (.SHG,
    // .MRB, .WMF): their first bitmap, as the help compiler makes it.
    QByteArray bytes, picture;
    QString why;
    if (image.isNull() && Platform::readWholeFile(path, &bytes) && Hlp::bmpToPicture(bytes, &picture, &why))
        image = Hlp::pictureImage(picture);
    if (!image.isNull()) {
        m_images.insert(file, image);
        m_watch->addPath(path); // written over in place
    }
    return image;
}

QSizeF TObjectPainter::intrinsicSize(QTextDocument *doc, int, const QTextFormat &format)
{
    const TShown shown = shownOf(format);
    if (shown.kind == TKind::Picture || !shown.picture.isEmpty()) {
        const QImage image = pictureOf(shown.picture.isEmpty() ? shown.target : shown.picture);
        if (!image.isNull())
            return QSizeF(image.size()) + QSizeF(0, shown.picture.isEmpty() ? 0 : kLinkUnderPicture);
    }
    const QFontMetricsF metrics(objectFont(doc, format), paintDevice(doc));
    qreal width = metrics.horizontalAdvance(shown.kind == TKind::Picture ? u'[' + shown.text + u']' : shown.text);
    if (shown.kind == TKind::Program)
        width += kIconSize + 3;
    return QSizeF(width, metrics.ascent());
}

void TObjectPainter::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int, const QTextFormat &format)
{
    const TShown shown = shownOf(format);
    const QTextCharFormat charFormat = format.toCharFormat();
    painter->save();
    if (shown.kind == TKind::Picture || !shown.picture.isEmpty()) {
        const QImage image = pictureOf(shown.picture.isEmpty() ? shown.target : shown.picture);
        if (!image.isNull()) {
            painter->drawImage(QRectF(rect.topLeft(), QSizeF(image.size())), image);
            if (!shown.picture.isEmpty()) { // a picture that is a link: underlined as links are
                painter->setPen(QPen(kJumpColour, 1, shown.kind == TKind::Popup ? Qt::DotLine : Qt::SolidLine));
                const qreal y = rect.top() + image.height() + 1.5;
                painter->drawLine(QPointF(rect.left(), y), QPointF(rect.left() + image.width(), y));
            }
            painter->restore();
            return;
        }
    }
    // The font measured: what the format leaves unsaid comes from the
    // document, never from the widget the painter draws on.
    painter->setFont(objectFont(doc, format));
    const bool broken = isBroken(shown);
    const QColor colour = broken ? kBrokenColour
                          : shown.kind == TKind::Other || shown.kind == TKind::Picture ? charFormat.foreground().color()
                                                                                        : kJumpColour;
    painter->setPen(colour);
    qreal x = rect.left();
    if (shown.kind == TKind::Program) {
        QIcon(QStringLiteral(":/icons/execprogram.png"))
            .paint(painter, QRect(int(x), int(rect.bottom() - kIconSize), int(kIconSize), int(kIconSize)));
        x += kIconSize + 3;
    }
    const QString text = shown.kind == TKind::Picture ? u'[' + shown.text + u']' : shown.text;
    painter->drawText(QPointF(x, rect.bottom()), text);
    if (broken) { // a wavy line, as misspelt words have
        painter->setPen(QPen(colour, 1));
        QPainterPath wave;
        const qreal y = rect.bottom() + 2;
        wave.moveTo(x, y);
        for (qreal at = x; at < rect.right(); at += 2)
            wave.lineTo(qMin(at + 2, rect.right()), y + ((int((at - x) / 2) % 2) ? -1.5 : 1.5));
        painter->drawPath(wave);
    } else if (shown.kind == TKind::Jump || shown.kind == TKind::Popup || shown.kind == TKind::Program) {
        QPen pen(colour, 1, shown.kind == TKind::Popup ? Qt::DotLine : Qt::SolidLine);
        painter->setPen(pen);
        const qreal y = rect.bottom() + 1.5;
        painter->drawLine(QPointF(x, y), QPointF(rect.right(), y));
    }
    painter->restore();
}

} // namespace Markers
