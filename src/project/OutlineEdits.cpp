#include "project/OutlineEdits.h"

#include "editing/MarkerObjects.h"

#include "editing/RtfText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <vector>

namespace KIVHelpTools {

namespace {

std::vector<TTopic *> depthFirst(const TCProject *project)
{
    std::vector<TTopic *> out;
    for (int n = 1, count = project->FCount(); n <= count; ++n)
        out.push_back(project->FTopicAt(n));
    return out;
}

// Topic n's title format belongs to topic n: after a change of the outline,
// each goes where its topic went (a position no topic had keeps its own).
void followFonts(TFontsRec *fonts, const std::vector<TTopic *> &before, const std::vector<TTopic *> &after)
{
    if (!fonts)
        return;
    std::vector<TFontEntry> old(fonts->Entries, fonts->Entries + MaxTopics + 1);
    for (size_t to = 0; to < after.size() && to < size_t(MaxTopics); ++to) {
        const auto it = std::find(before.begin(), before.end(), after[to]);
        const size_t from = size_t(it - before.begin());
        if (it != before.end() && from < size_t(MaxTopics))
            fonts->Entries[to + 1] = old[from + 1];
    }
}

} // namespace

template <class F> void TOutlineEdit::followed(F change)
{
    const std::vector<TTopic *> before = depthFirst(project());
    change();
    followFonts(m_fonts, before, depthFirst(project()));
}

// ---- add ----

TAddEdit::TAddEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *parent, int row, const QString &name, const QByteArray &rtf)
    : TOutlineEdit(outline, fonts, QString::fromUtf8("ajout de la page « %1 »").arg(name)), m_parent(parent), m_row(row)
{
    m_held = std::make_unique<TTopic>();
    m_held->name = name;
    m_held->PSetBytes(rtf);
    m_topic = m_held.get();
}

void TAddEdit::redo()
{
    followed([this] { project()->PPut(m_parent, m_row, std::move(m_held)); });
}

void TAddEdit::undo()
{
    followed([this] { m_held = project()->FTake(m_topic); });
}

// ---- delete ----

TDeleteEdit::TDeleteEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *topic)
    : TOutlineEdit(outline, fonts, QString::fromUtf8("suppression de la page « %1 »").arg(topic->name)), m_topic(topic),
      m_parent(topic->parent), m_row(outline->project()->FRowOf(topic))
{
}

void TDeleteEdit::redo()
{
    followed([this] { m_held = project()->FTake(m_topic); });
}

void TDeleteEdit::undo()
{
    followed([this] { project()->PPut(m_parent, m_row, std::move(m_held)); });
    m_outline->setCurrentItem(m_topic);
}

// ---- replace the text ----

TReplaceTextEdit::TReplaceTextEdit(TOutlineView *outline, TTopic *topic, const QString &text, const QString &caption)
    : TOutlineEdit(outline, nullptr, caption), m_topic(topic), m_text(text)
{
}

void TReplaceTextEdit::redo()
{
    QTextDocument *doc = m_outline->FDocumentOf(m_topic);
    m_before = RtfText::FWriteRtf(*doc);
    doc->setPlainText(m_text);
    m_outline->setCurrentItem(m_topic);
}

void TReplaceTextEdit::undo()
{
    m_topic->PSetBytes(m_before); // the text shown follows
    m_outline->setCurrentItem(m_topic);
}

// ---- unlink ----

TUnlinkEdit::TUnlinkEdit(TOutlineView *outline, const QList<TTopic *> &pages, const QStringList &markers)
    : TOutlineEdit(outline, nullptr, QString::fromUtf8("liens retirés")), m_pages(pages), m_markers(markers)
{
}

void TUnlinkEdit::redo()
{
    m_before.clear();
    const QStringList &commands = project()->commands;
    for (TTopic *page : std::as_const(m_pages)) {
        QTextDocument *doc = m_outline->FDocumentOf(page);
        m_before << RtfText::FWriteRtf(*doc);
        // From the end, so that the positions found stay right.
        QList<QPair<int, QTextCharFormat>> found;
        for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                const QString marker = Markers::FMarkerOf(f.charFormat());
                for (const QString &prefix : std::as_const(m_markers))
                    if (marker.startsWith(prefix))
                        for (int i = 0; i < f.length(); ++i)
                            found.append({f.position() + i, f.charFormat()});
            }
        QTextCursor c(doc);
        c.beginEditBlock();
        for (auto at = found.crbegin(); at != found.crend(); ++at) {
            Markers::TMarker marker;
            Markers::FParse(Markers::FMarkerOf(at->second), &marker);
            const QString shown = Markers::FShownOf(commands.value(marker.command)).text;
            QTextCharFormat plain = Markers::FTextFormat(at->second);
            plain.clearForeground();
            c.setPosition(at->first);
            c.setPosition(at->first + 1, QTextCursor::KeepAnchor);
            c.insertText(shown, plain);
        }
        c.endEditBlock();
    }
}

void TUnlinkEdit::undo()
{
    for (int i = 0; i < m_pages.size() && i < m_before.size(); ++i)
        m_pages[i]->PSetBytes(m_before[i]); // a text shown follows
}

// ---- place ----

TPlaceEdit::TPlaceEdit(TOutlineView *outline, TFontsRec *fonts, TTopic *topic, TTopic *parent, int row)
    : TOutlineEdit(outline, fonts, QString::fromUtf8("déplacement de la page « %1 »").arg(topic->name)), m_topic(topic),
      m_toParent(parent), m_fromParent(topic->parent), m_toRow(row), m_fromRow(outline->project()->FRowOf(topic))
{
}

void TPlaceEdit::place(TTopic *parent, int row)
{
    const bool expanded = m_outline->isExpanded(project()->FIndexOf(m_topic));
    followed([&] { project()->FMove(m_topic, parent, row); });
    if (parent)
        m_outline->expand(project()->FIndexOf(parent));
    m_outline->setExpanded(project()->FIndexOf(m_topic), expanded);
    m_outline->setCurrentItem(m_topic);
    m_outline->scrollTo(project()->FIndexOf(m_topic));
}

void TPlaceEdit::redo() { place(m_toParent, m_toRow); }

void TPlaceEdit::undo()
{
    // Rows count before the page is taken out of its list.
    const bool sameList = m_topic->parent == m_fromParent;
    const int row = sameList && project()->FRowOf(m_topic) < m_fromRow ? m_fromRow + 1 : m_fromRow;
    place(m_fromParent, row);
}

// ---- rename ----

TRenameEdit::TRenameEdit(TOutlineView *outline, TTopic *topic, const QString &newName, const QStringList &newCommands)
    : TOutlineEdit(outline, nullptr, QString::fromUtf8("renommage de la page « %1 »").arg(topic->name)), m_topic(topic),
      m_old(topic->name), m_new(newName), m_oldCommands(outline->project()->commands), m_newCommands(newCommands)
{
}

void TRenameEdit::apply(const QString &from, const QString &to, const QStringList &commands)
{
    project()->commands = commands;
    project()->PRename(m_topic, to);
    // The page's title line (its name, written first when it was made)
    // follows the name.
    QTextDocument *doc = m_outline->FDocumentOf(m_topic);
    const QTextBlock first = doc->firstBlock();
    if (first.text().trimmed() == from) {
        QTextCursor c(first);
        const int start = first.position() + int(first.text().indexOf(from));
        c.setPosition(start);
        c.setPosition(start + int(from.size()), QTextCursor::KeepAnchor);
        c.insertText(to);
    }
    m_outline->setCurrentItem(m_topic);
}

void TRenameEdit::redo() { apply(m_old, m_new, m_newCommands); }
void TRenameEdit::undo() { apply(m_new, m_old, m_oldCommands); }

} // namespace KIVHelpTools
