#pragma once
// The outline of the open project as the window shows it: a tree view over
// the project's topics, the one editor that shows the current topic, the
// parsed texts of the topics shown lately and the undo history of the
// outline's edits. A topic's text is parsed when it is first shown,
// searched or changed, never at opening.
#include "editing/REditServ.h"
#include "model/Project.h"

#include <QFont>
#include <QPointer>
#include <QSet>
#include <QTreeView>
#include <deque>

class QTextDocument;
class QUndoStack;
namespace Markers {
class TObjectPainter;
}

class TOutlineView : public QTreeView {
    Q_OBJECT
public:
    explicit TOutlineView(TCProject *project, QWidget *parent = nullptr);
    ~TOutlineView() override;

    TCProject *project() const { return m_project; }

    // The editor follows the current topic (a project without topics
    // leaves it hidden).
    void setEditor(TRichEdit *editor);
    TRichEdit *editor() const { return m_editor.data(); }
    // The face of text without an explicit font, in topics parsed from now.
    void setTextFont(const QFont &font) { m_font = font; }
    QFont textFont() const { return m_font; }

    TTopic *currentItem() const;
    void setCurrentItem(TTopic *topic);
    // The topic the editor shows.
    TTopic *shownTopic() const { return m_shown; }
    // True while the editor is being given another topic's text.
    bool showing() const { return m_showing; }

    // The topic's text as a document: parsed and hung on the topic when
    // first asked for, and kept while the topic is among those used lately
    // (then its text goes back into its bytes).
    QTextDocument *FDocumentOf(TTopic *topic);
    // The topic's plain text, without keeping a parse.
    QString FPlainTextOf(TTopic *topic) const;

    QUndoStack *undoStack() const { return m_undo; }
    // Draws the markers of the shown topic as the reader will see them.
    Markers::TObjectPainter *objects() const { return m_objects; }

    // How many parsed texts are kept besides the one shown.
    static constexpr int RecentTexts = 8;
    int keptTexts() const { return int(m_recent.size()); }

signals:
    // The editor shows another topic (or none).
    void topicShown(TTopic *topic);

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void showCurrent();
    void forgetSubtree(const TTopic *topic);
    void touch(TTopic *topic);
    // Shows `doc` in the editor, without what was drawn over the last one.
    void giveEditor(QTextDocument *doc);
    // Lays out and draws the shown page's objects again.
    void redrawObjects();

    TCProject *m_project;
    QPointer<TRichEdit> m_editor;
    QPointer<QTextDocument> m_blank; // the editor's, shown when no topic is
    TTopic *m_shown = nullptr;
    bool m_showing = false;
    QFont m_font;
    std::deque<TTopic *> m_recent; // latest first
    QUndoStack *m_undo;
    Markers::TObjectPainter *m_objects;
    QSet<QString> m_contexts; // the pages' contexts in upper case, while m_contextsKnown
    bool m_contextsKnown = false;
};

// Positions are 1-based and depth-first over the whole outline.
namespace Outline {
inline int FCount(const TOutlineView *view) { return view->project()->FCount(); }
inline TTopic *FItemAt(const TOutlineView *view, int position) { return view->project()->FTopicAt(position); }
inline int FPositionOf(const TOutlineView *view, const TTopic *topic) { return view->project()->FPositionOf(topic); }
inline int FLevelOf(const TTopic *topic) { return TCProject::FLevelOf(topic); }
} // namespace Outline
