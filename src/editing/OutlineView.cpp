#include "editing/OutlineView.h"

#include "editing/MarkerObjects.h"
#include "editing/REditServ.h"
#include "editing/TopicDocument.h"
#include "editing/RtfText.h"
#include "formats/TextConv.h"

#include <QTextDocument>
#include <QSignalBlocker>
#include <QTimer>
#include <QUndoStack>
#include <algorithm>

TOutlineView::TOutlineView(TCProject *project, QWidget *parent)
    : QTreeView(parent), m_project(project), m_font(TTopicDocument::FDefaultFont(QString())), m_undo(new QUndoStack(this)),
      m_objects(new Markers::TObjectPainter(this))
{
    m_objects->setCommands(&project->commands);
    // A picture file changed: the shown page lays its pictures out again.
    connect(m_objects, &Markers::TObjectPainter::picturesChanged, this, &TOutlineView::redrawObjects);
    // Links to a page that no longer exists are drawn as broken: the pages'
    // contexts are gathered when a link is drawn, again after the outline
    // changed.
    m_objects->setPageExists([this](const QString &target) {
        if (!m_contextsKnown) {
            m_contexts.clear();
            for (int n = 1; n <= m_project->FCount(); ++n)
                m_contexts.insert(TextConv::FContextName(m_project->FTopicAt(n)->name).toUpper());
            m_contextsKnown = true;
        }
        return m_contexts.contains(TextConv::FContextName(target).toUpper());
    });
    const auto outlineChanged = [this] {
        m_contextsKnown = false;
        redrawObjects();
    };
    connect(project, &QAbstractItemModel::rowsInserted, this, outlineChanged);
    connect(project, &QAbstractItemModel::rowsRemoved, this, outlineChanged);
    connect(project, &QAbstractItemModel::dataChanged, this, outlineChanged);
    connect(project, &QAbstractItemModel::modelReset, this, outlineChanged);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_undo->setUndoLimit(200);
    setModel(project);
    // A topic leaving the outline takes its text along (an undo can bring
    // both back); the editor never shows a text that is not in the outline.
    connect(project, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &parent, int first, int last) {
        for (int row = first; row <= last; ++row)
            forgetSubtree(m_project->FTopicOf(m_project->index(row, 0, parent)));
    });
    connect(project, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        // The editor lets go of the text before the texts go.
        if (m_editor && m_shown) {
            m_showing = true;
            giveEditor(m_blank);
            m_showing = false;
        }
        m_shown = nullptr;
        for (TTopic *t : m_recent)
            t->PDropText();
        m_recent.clear();
    });
    connect(project, &QAbstractItemModel::modelReset, this, [this] { showCurrent(); });
    connect(project, &QAbstractItemModel::rowsRemoved, this, [this] { showCurrent(); });
    connect(project, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_shown)
            showCurrent();
    });
}

TOutlineView::~TOutlineView()
{
    // Going, the view tells nobody: the editor's handlers may be gone.
    if (m_editor && m_shown) {
        const QSignalBlocker quiet(m_editor.data());
        giveEditor(m_blank);
    }
}

void TOutlineView::setEditor(TRichEdit *editor)
{
    m_editor = editor;
    editor->describeObject = [this](const QTextCharFormat &format) {
        const Markers::TShown shown = m_objects->shownOf(format);
        switch (shown.kind) {
        case Markers::TKind::Picture: return QString::fromUtf8("Image : ") + shown.target;
        case Markers::TKind::Jump: return QString::fromUtf8("Saut vers la page « %1 »").arg(shown.target);
        case Markers::TKind::Popup: return QString::fromUtf8("Fenêtre surgissante : la page « %1 »").arg(shown.target);
        case Markers::TKind::Program: return QString::fromUtf8("Appel de programme : ") + shown.target;
        case Markers::TKind::Other: break;
        }
        return QString::fromUtf8("Repère ") + shown.text;
    };
    m_shown = nullptr;
    m_blank = new QTextDocument(editor);
    m_blank->setDefaultFont(m_font);
    giveEditor(m_blank);
    showCurrent();
}

void TOutlineView::redrawObjects()
{
    if (m_editor && m_shown)
        if (QTextDocument *doc = m_editor->document())
            doc->markContentsDirty(0, doc->characterCount());
}

void TOutlineView::giveEditor(QTextDocument *doc)
{
    // The editor's decorations (spelling marks...) hold cursors into the
    // text they were made for; that text may be dropped once it is not
    // shown, so they go with it.
    m_editor->setExtraSelections({});
    m_editor->setDocument(doc);
}

TTopic *TOutlineView::currentItem() const { return m_project->FTopicOf(currentIndex()); }

void TOutlineView::setCurrentItem(TTopic *topic) { setCurrentIndex(m_project->FIndexOf(topic)); }

void TOutlineView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTreeView::currentChanged(current, previous);
    showCurrent();
}

void TOutlineView::forgetSubtree(const TTopic *topic)
{
    if (!topic)
        return;
    const auto within = [topic](const TTopic *t) {
        for (; t; t = t->parent)
            if (t == topic)
                return true;
        return false;
    };
    m_recent.erase(std::remove_if(m_recent.begin(), m_recent.end(), within), m_recent.end());
    if (m_shown && within(m_shown)) {
        m_showing = true;
        if (m_editor)
            giveEditor(m_blank);
        m_showing = false;
        m_shown = nullptr;
    }
}

void TOutlineView::touch(TTopic *topic)
{
    m_recent.erase(std::remove(m_recent.begin(), m_recent.end(), topic), m_recent.end());
    m_recent.push_front(topic);
    while (int(m_recent.size()) > RecentTexts + 1) {
        TTopic *old = m_recent.back();
        m_recent.pop_back();
        if (old == m_shown) {
            m_recent.push_front(old);
            continue;
        }
        old->PDropText();
    }
}

QTextDocument *TOutlineView::FDocumentOf(TTopic *topic)
{
    if (!topic)
        return nullptr;
    if (!topic->text())
        topic->PSetText(std::make_shared<TTopicDocument>(topic->FBytes(), m_font));
    touch(topic);
    return static_cast<TTopicDocument *>(topic->text())->document();
}

QString TOutlineView::FPlainTextOf(TTopic *topic) const
{
    if (!topic)
        return {};
    if (topic->text())
        return Markers::FPlainText(*static_cast<TTopicDocument *>(topic->text())->document());
    QTextDocument doc;
    doc.setDefaultFont(m_font);
    RtfText::FReadRtf(doc, topic->FBytes());
    return doc.toPlainText();
}

void TOutlineView::showCurrent()
{
    TTopic *topic = currentItem();
    if (!topic && m_project->FCount() > 0 && !currentIndex().isValid())
        topic = m_project->FTopicAt(1);
    if (!m_editor) {
        m_shown = nullptr;
        return;
    }
    if (topic == m_shown && (topic || m_editor->document() == m_blank)) {
        m_editor->setVisible(topic != nullptr);
        return;
    }
    QTextDocument *doc = topic ? FDocumentOf(topic) : m_blank.data();
    m_shown = topic;
    const bool readOnly = m_editor->isReadOnly();
    m_showing = true;
    // The objects' painter first: the editor lays the page out as it takes
    // it, and a picture's line is as tall as the picture.
    m_objects->attach(doc);
    giveEditor(doc);
    m_editor->setReadOnly(readOnly);
    m_showing = false;
    m_editor->setVisible(topic != nullptr);
    emit topicShown(topic);
}
