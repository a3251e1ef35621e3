#include "project/ClipFind.h"

#include <QTextDocument>

#include "editing/MarkerObjects.h"
#include "editing/REditServ.h"
#include "platform/Cp1252.h"
#include "platform/Prompts.h"
#include "project/Insertions.h"
#include "formats/KivHelpTools.h"
#include "editing/OutlineView.h"

namespace KIVHelpTools {

namespace {

void notFound(bool show, const QString &text)
{
    if (show)
        Platform::prompts().plain(QString::fromUtf8("Texte non trouvé") + QStringLiteral(" : \"") + text
                                  + QStringLiteral("\""));
}

// Letters and digits make words; every other character, accented letters
// included, separates them.
bool isDelimiter(QChar c)
{
    const char16_t u = c.unicode();
    return !((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'));
}

TErrorContext &clipboardOp(TOutlineView *outline, bool show, const QString &name, const QString &failure,
                           void (QTextEdit::*op)())
{
    TSubGuard sub(context(), name);
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    TRichEdit *control = FCurrentControl(outline);
    if (!control)
        return sub.report(4, failure, 13);
    (control->*op)();
    return sub.report(0);
}

} // namespace

TErrorContext &FCopy2Clip(TOutlineView *outline, bool show)
{
    return clipboardOp(outline, show, QStringLiteral("FCopy2Clip"), QStringLiteral("SelText/CopyToClipboard"),
                       &QTextEdit::copy);
}

TErrorContext &FCut2Clip(TOutlineView *outline, bool show)
{
    return clipboardOp(outline, show, QStringLiteral("FCut2Clip"), QStringLiteral("SelText/CutToClipboard"),
                       &QTextEdit::cut);
}

TErrorContext &FUndo(TOutlineView *outline, bool show)
{
    return clipboardOp(outline, show, QStringLiteral("FUndo"), QStringLiteral("Undo"), &QTextEdit::undo);
}

TErrorContext &FRedo(TOutlineView *outline, bool show)
{
    return clipboardOp(outline, show, QStringLiteral("FRedo"), QStringLiteral("Redo"), &QTextEdit::redo);
}

TErrorContext &FPasteFromClip(TOutlineView *outline, bool show)
{
    return clipboardOp(outline, show, QStringLiteral("FPasteFromClip"), QStringLiteral("PasteFromClipboard"),
                       &QTextEdit::paste);
}

namespace {

// The next match in `doc` after (down) or before (up) the selection of
// `from`, selected; a null cursor when there is none.
QTextCursor findInDocument(QTextDocument *doc, const QTextCursor &from, const QString &text, const TFindOptions &options,
                           QString *upperText = nullptr)
{
    if (!doc || text.isEmpty())
        return {};
    // One character per cursor position; paragraph breaks read as '\n'.
    // A caller replacing through a whole text keeps its upper-case copy
    // up to date instead of making it again at each match.
    QString own;
    QString &buffer = upperText ? *upperText : own;
    if (!upperText || buffer.isEmpty()) {
        buffer = doc->toPlainText();
        if (!options.matchCase)
            buffer = Platform::cp1252Upper(buffer);
    }
    if (buffer.isEmpty())
        return {};
    const QString wanted = options.matchCase ? text : Platform::cp1252Upper(text);
    const qsizetype s = from.isNull() ? 0 : from.selectionStart();
    const qsizetype l = from.isNull() ? 0 : from.selectionEnd() - s;
    const qsizetype n = wanted.size();
    auto matchAt = [&](qsizetype at) {
        if (at < 0 || at + n > buffer.size())
            return false;
        if (QStringView(buffer).mid(at, n) != wanted)
            return false;
        if (options.wholeWord) {
            if (at > 0 && !isDelimiter(buffer.at(at - 1)))
                return false;
            if (at + n < buffer.size() && !isDelimiter(buffer.at(at + n)))
                return false;
        }
        return true;
    };
    qsizetype found = -1;
    if (options.down) {
        for (qsizetype at = buffer.indexOf(wanted, s + l); at >= 0 && at + n <= buffer.size(); at = buffer.indexOf(wanted, at + 1))
            if (matchAt(at)) {
                found = at;
                break;
            }
    } else {
        for (qsizetype at = qMin(s - n, buffer.size() - n); at >= 0; --at)
            if (matchAt(at)) {
                found = at;
                break;
            }
    }
    if (found < 0)
        return {};
    QTextCursor select(doc);
    select.setPosition(int(found));
    select.setPosition(int(found + n), QTextCursor::KeepAnchor);
    return select;
}

} // namespace

bool FSearchEdit(QTextEdit *control, const QString &text, const TFindOptions &options)
{
    if (!control)
        return false;
    const QTextCursor select = findInDocument(control->document(), control->textCursor(), text, options);
    if (select.isNull())
        return false;
    control->setFocus();
    control->setTextCursor(select);
    return true;
}

namespace {

// Whether a topic's text may hold the text searched for: the topics that
// cannot are passed over without being shown.
bool mayHold(TOutlineView *outline, TTopic *topic, const TFindOptions &options)
{
    // A picture or a link is one character there, never matched inside.
    const QString text = Markers::FWithoutMarkers(outline->FPlainTextOf(topic));
    return options.matchCase ? text.contains(options.findText)
                             : Platform::cp1252Upper(text).contains(Platform::cp1252Upper(options.findText));
}

// The next match through the project: the rest of the current topic, then
// the following topics (the preceding ones going up), round to the current
// topic's start. The topic of the match becomes the outline's current.
bool searchTopics(TOutlineView *outline, const TFindOptions &options)
{
    TRichEdit *current = FCurrentControl(outline);
    if (FSearchEdit(current, options.findText, options))
        return true;
    if (!options.allTopics)
        return false;
    const int count = Outline::FCount(outline);
    const int from = qMax(1, Outline::FPositionOf(outline, outline->currentItem()));
    for (int step = 1; step <= count; ++step) {
        const int n = options.down ? (from - 1 + step) % count + 1 : (from - 1 - step + count * 2) % count + 1;
        TTopic *item = Outline::FItemAt(outline, n);
        if (!mayHold(outline, item, options))
            continue;
        outline->setCurrentItem(item);
        TRichEdit *control = FCurrentControl(outline);
        if (!control)
            continue;
        QTextCursor start(control->document());
        start.movePosition(options.down ? QTextCursor::Start : QTextCursor::End);
        control->setTextCursor(start);
        if (FSearchEdit(control, options.findText, options))
            return true;
    }
    outline->setCurrentItem(Outline::FItemAt(outline, from));
    return false;
}

} // namespace

TErrorContext &FFindText(TOutlineView *outline, const TFindOptions &options, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FFindText"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    if (!searchTopics(outline, options))
        notFound(show, options.findText);
    return sub.report(0);
}

TErrorContext &FReplaceText(TOutlineView *outline, const TFindOptions &options, bool show)
{
    TSubGuard sub(context(), QStringLiteral("FReplaceText"));
    if (FRefuseWithoutTopics(outline, show, sub))
        return context();
    if (options.replaceAll && options.allTopics) {
        // Every topic, each from its start.
        // Each text is changed where it is, one undo step per page, without
        // being shown: laying out and painting 500 pages in turn is work
        // nobody sees.
        TFindOptions one = options;
        one.allTopics = false;
        one.down = true;
        for (int n = 1, count = Outline::FCount(outline); n <= count; ++n) {
            TTopic *item = Outline::FItemAt(outline, n);
            if (!mayHold(outline, item, one))
                continue;
            QTextDocument *doc = outline->FDocumentOf(item);
            QString upper;
            QTextCursor c = findInDocument(doc, QTextCursor(), one.findText, one, &upper);
            if (c.isNull())
                continue;
            QTextCursor edit(doc);
            edit.beginEditBlock();
            for (qsizetype passes = doc->characterCount() + 1; !c.isNull() && passes-- > 0;) {
                const int at = c.selectionStart();
                const int length = c.selectionEnd() - at;
                c.insertText(options.replaceText);
                // The upper-case copy follows the change, and the search
                // goes on after the replacement.
                upper.replace(at, length, options.matchCase ? options.replaceText : Platform::cp1252Upper(options.replaceText));
                c.setPosition(at + int(options.replaceText.size()));
                c = findInDocument(doc, c, one.findText, one, &upper);
            }
            edit.endEditBlock();
        }
        return sub.report(0);
    }
    TRichEdit *control = FCurrentControl(outline);
    if (!control)
        return sub.report(4, QStringLiteral("Replace"), 13);
    auto replaceSelection = [&] {
        QTextCursor c = control->textCursor();
        c.insertText(options.replaceText);
        // The replacement stays selected, so the next search starts
        // after it (down) or before it (up) and never finds it again.
        c.setPosition(c.position() - int(options.replaceText.size()), QTextCursor::KeepAnchor);
        control->setTextCursor(c);
    };
    const QString selected = control->textCursor().selectedText();
    if (!options.findText.isEmpty()
        && Platform::cp1252Upper(selected) == Platform::cp1252Upper(options.findText))
        replaceSelection();
    bool found = options.replaceAll ? FSearchEdit(control, options.findText, options) : searchTopics(outline, options);
    // Each pass moves past the text it replaced; the count bounds the run
    // whatever the texts are.
    qsizetype passes = control->document()->characterCount() + 1;
    while (found && options.replaceAll && passes-- > 0) {
        replaceSelection();
        found = FSearchEdit(control, options.findText, options);
    }
    if (!found && options.replace)
        notFound(show, options.findText);
    return sub.report(0);
}

} // namespace KIVHelpTools
