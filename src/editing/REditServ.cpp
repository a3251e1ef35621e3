#include "editing/REditServ.h"

#include "editing/MarkerObjects.h"
#include "editing/RtfText.h"
#include "editing/SpellCheck.h"
#include "platform/Prompts.h"

#include <QTextDocumentFragment>

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QVBoxLayout>
#include <memory>
#include <new>

// ---- the control ----

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent)
{
    connect(this, &QTextEdit::cursorPositionChanged, this, &TRichEdit::followTextBeforeObject);
}

void TRichEdit::followTextBeforeObject()
{
    // An object keeps the colours it is drawn in (a link's green); the
    // text typed after it takes the format of the text before it, or,
    // at the start of a line, the object's without its colour.
    const QTextCursor caret = textCursor();
    if (caret.hasSelection() || caret.atBlockStart())
        return;
    QTextCursor probe(document());
    const auto formatBefore = [&probe](int position) {
        probe.setPosition(position);
        return probe.charFormat();
    };
    const QTextCharFormat object = formatBefore(caret.position());
    if (object.objectType() != Markers::ObjectType)
        return;
    QTextCharFormat typing;
    bool found = false;
    for (int p = caret.position() - 1; p > caret.block().position() && !found; --p) {
        typing = formatBefore(p);
        found = typing.objectType() != Markers::ObjectType;
    }
    if (!found) {
        typing = object;
        typing.clearForeground();
    }
    typing = Markers::FTextFormat(typing);
    if (typing != currentCharFormat())
        setCurrentCharFormat(typing);
}

int TRichEdit::textLength() const { return document()->characterCount() - 1; }

int TRichEdit::objectAt(const QPoint &point) const
{
    // The object is the character whose box holds the point: the one after
    // the nearest caret position, or the one before it.
    const int hit = document()->documentLayout()->hitTest(point + QPoint(horizontalScrollBar()->value(),
                                                                          verticalScrollBar()->value()),
                                                          Qt::FuzzyHit);
    for (const int at : {hit, hit - 1}) {
        if (at < 0)
            continue;
        QTextCursor c(document());
        c.setPosition(at);
        c.setPosition(at + 1, QTextCursor::KeepAnchor);
        if (c.selectedText() == QString(QChar::ObjectReplacementCharacter) && !Markers::FMarkerOf(c.charFormat()).isEmpty()) {
            QTextCursor after(document());
            after.setPosition(at + 1);
            QTextCursor before(document());
            before.setPosition(at);
            const QRect box = cursorRect(before).united(cursorRect(after));
            if (box.adjusted(-2, -2, 2, 2).contains(point))
                return at;
        }
    }
    return -1;
}

void TRichEdit::mouseDoubleClickEvent(QMouseEvent *event)
{
    const int at = objectAt(event->position().toPoint());
    if (at >= 0 && onOpenObject) {
        QTextCursor c(document());
        c.setPosition(at);
        c.setPosition(at + 1, QTextCursor::KeepAnchor);
        setTextCursor(c);
        onOpenObject();
        return;
    }
    QTextEdit::mouseDoubleClickEvent(event);
}

bool TRichEdit::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && describeObject) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const int at = objectAt(viewport()->mapFrom(this, help->pos()));
        if (at >= 0) {
            QTextCursor c(document());
            c.setPosition(at + 1);
            QToolTip::showText(help->globalPos(), describeObject(c.charFormat()), this);
            return true;
        }
        QToolTip::hideText();
    }
    return QTextEdit::event(event);
}

void TRichEdit::keyPressEvent(QKeyEvent *event)
{
    if (onKeyDown)
        onKeyDown(this, event->key(), event->modifiers());
    // Enter on a selected object opens it.
    const QTextCursor selected = textCursor();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && onOpenObject
        && selected.selectionEnd() - selected.selectionStart() == 1
        && selected.selectedText() == QString(QChar::ObjectReplacementCharacter)) {
        onOpenObject();
        return;
    }
    // The Insert key switches between inserting and replacing.
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        return;
    }
    // A full control takes no more characters (deleting and moving still work).
    const bool adds = !event->text().isEmpty() && event->text().at(0).isPrint();
    const bool breaks = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
                        || event->key() == Qt::Key_Tab;
    if ((adds || breaks) && !textCursor().hasSelection() && textLength() >= m_maxLength) {
        QApplication::beep();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TRichEdit::focusInEvent(QFocusEvent *event)
{
    QTextEdit::focusInEvent(event);
    if (onEnter)
        onEnter(this);
}

namespace {
// A piece of topic text as the topic files hold it (markers written out),
// so that pasted pictures and links keep their command lines.
const QString kTopicMime = QStringLiteral("application/x-kivhelp-topic-rtf");
} // namespace

QMimeData *TRichEdit::createMimeDataFromSelection() const
{
    // The editor's own formats are made when asked for, and it lists only
    // those: they are copied into data that lists ours too.
    const std::unique_ptr<QMimeData> made(QTextEdit::createMimeDataFromSelection());
    auto *data = new QMimeData;
    for (const QString &format : made->formats())
        data->setData(format, made->data(format));
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        QTextDocument piece;
        piece.setDefaultFont(document()->defaultFont());
        QTextCursor(&piece).insertFragment(cursor.selection());
        data->setData(kTopicMime, RtfText::FWriteRtf(piece));
    }
    return data;
}

bool TRichEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(kTopicMime) || (onPictures && (source->hasImage() || source->hasUrls()))
           || QTextEdit::canInsertFromMimeData(source);
}

void TRichEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && !source->hasFormat(kTopicMime) && onPictures && onPictures(source))
        return;
    if (source && source->hasFormat(kTopicMime)) {
        QTextDocument piece;
        piece.setDefaultFont(document()->defaultFont());
        RtfText::FReadRtf(piece, source->data(kTopicMime));
        Markers::PToObjects(piece);
        // Every paragraph of the piece was written with its break; the last
        // break is not part of what was selected.
        QTextCursor end(&piece);
        end.movePosition(QTextCursor::End);
        if (piece.blockCount() > 1 && end.block().text().isEmpty())
            end.deletePreviousChar();
        if (textLength() - textCursor().selectedText().size() + piece.characterCount() - 1 > m_maxLength) {
            QApplication::beep();
            return;
        }
        textCursor().insertFragment(QTextDocumentFragment(&piece));
        ensureCursorVisible();
        return;
    }
    const int room = m_maxLength - textLength() + textCursor().selectedText().size();
    if (source && source->hasText() && source->text().size() > room) {
        QApplication::beep();
        if (room > 0)
            textCursor().insertText(source->text().left(room));
        return;
    }
    // Rich text from elsewhere: what a topic can hold is kept now, not
    // lost at the next save; what it cannot hold is said, once.
    if (source && source->hasHtml() && acceptRichText()) {
        QTextDocument in, out;
        in.setDefaultFont(document()->defaultFont());
        out.setDefaultFont(document()->defaultFont());
        in.setHtml(source->html());
        const QStringList dropped = RtfText::FKeepWhatATopicHolds(in, out);
        textCursor().insertFragment(QTextDocumentFragment(&out));
        ensureCursorVisible();
        if (!dropped.isEmpty())
            Platform::prompts().plain(QString::fromUtf8("Le texte a été collé sans ce qu'une page d'aide ne peut pas "
                                                        "garder : ")
                                      + dropped.join(QStringLiteral(", "))
                                      + QString::fromUtf8(" (leur texte est gardé)."));
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

// ---- the unit ----

namespace U_REditServ {

namespace {
TErrorContext g_ctx;
}

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString(), QStringLiteral("U_REditServ"), active, trace, destination);
}

bool FCreateRichEdit(TRichEdit *&control, int maxLength, const QStringList *fontList, QWidget *parent,
                     QObject *owner)
{
    TSubGuard sub(g_ctx, QStringLiteral("FCreateRichEdit"));
    Q_UNUSED(owner); // the parent widget owns the control for its destruction
    auto *edit = new (std::nothrow) TRichEdit;
    if (!edit) {
        sub.report(8, QString(), 1);
        return false;
    }
    edit->hide();
    if (parent) {
        // Every topic control fills the topic panel; hidden ones take no room.
        if (!parent->layout()) {
            auto *layout = new QVBoxLayout(parent);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        edit->setParent(parent);
        parent->layout()->addWidget(edit);
        edit->hide();
    }
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Right clicks reach the main window, whose pop-up menu serves the topics.
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SpellCheck::attach(edit);

    // Default font: the first name of the list, no style, 13 points.
    QString family = (fontList && !fontList->isEmpty()) ? fontList->first() : QApplication::font().family();
    QFont font(family, 13);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    edit->document()->setDefaultFont(font);
    edit->setFont(font);
    edit->clear();
    QTextCharFormat format;
    format.setFontFamilies({family});
    format.setFontPointSize(13);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    edit->setCurrentCharFormat(format);

    edit->setTabChangesFocus(false);     // tabs go into the text
    edit->setAcceptRichText(true);
    edit->setMaxLength(maxLength);
    edit->setLineWrapMode(QTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    control = edit;
    sub.report(0);
    return true;
}

} // namespace U_REditServ

