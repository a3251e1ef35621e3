#pragma once
// The author's project in memory, free of widgets: the outline of topics in
// depth-first order, each topic's stored RTF bytes (its parsed text only
// once something needs it), the command lines and what the disk holds.
// The outline is an item model, so that a view shows it and edits it in
// place; positions are 1-based and depth-first over the whole tree, as the
// outline file and the help sources number topics.
#include <QAbstractItemModel>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace Outline {
// One line of the outline: a topic's level (1 for the top) and name.
struct TLine {
    int level = 1;
    QString text;
    bool operator==(const TLine &o) const { return level == o.level && text == o.text; }
};
} // namespace Outline

// A topic's text once parsed (the editor's document). Whoever parses a topic
// hangs it on the topic; the topic's bytes then follow it.
class TTopicText {
public:
    virtual ~TTopicText() = default;
    // The text as a topic file holds it.
    virtual QByteArray FRtf() const = 0;
    // Grows with every change of the text.
    virtual quint64 changeCount() const = 0;
    // The text becomes what these bytes hold (a view showing it keeps it).
    virtual void PLoad(const QByteArray &rtf) = 0;
};

struct TTopic {
    QString name;
    bool expanded = false;
    // The index keywords the author gave besides the name: ';' between
    // them, "parent, child" for a second level, as the help compiler reads
    // its K footnotes.
    QString keywords;

    TTopic *parent = nullptr;
    std::vector<std::unique_ptr<TTopic>> children;

    // The topic's text as a topic file holds it: the stored bytes, brought
    // up to date from the parsed text first when that changed.
    const QByteArray &FBytes();
    // The stored bytes become `bytes` (a parsed text follows them).
    void PSetBytes(const QByteArray &bytes);
    // Grows whenever the stored bytes change.
    quint64 revision() const { return m_revision; }

    // The file that holds this topic as it stands, and the revision written
    // there (PMarkSaved after the write reached the disk).
    QString savedFile;
    void PMarkSaved(const QString &file, quint64 revision);
    // A save in progress wrote (or kept) this file; it counts as saved
    // once the save commits (PCommitPending).
    void PMarkPending(const QString &file, quint64 revision)
    {
        m_pendingFile = file;
        m_pendingRevision = revision;
    }
    void PCommitPending()
    {
        if (!m_pendingFile.isEmpty())
            PMarkSaved(m_pendingFile, m_pendingRevision);
        m_pendingFile.clear();
    }
    // True when `file` does not hold the topic's text as it stands.
    bool FChangedSince(const QString &file) const;

    // What the help sources last made of this topic: the key of what they
    // were made from and its digest, so that a save does not hash a topic
    // that did not change (the help sources' business; kept here because
    // it follows the topic).
    struct TSourceKey {
        quint64 revision = 0;
        int number = 0;
        QString name, keywords;
        QByteArray common; // what all topics' sources depend on
        bool operator==(const TSourceKey &) const = default;
    };
    TSourceKey sourceKey;
    QByteArray sourceDigest;

    TTopicText *text() const { return m_text.get(); }
    // Hangs a parsed text on the topic (it holds the stored bytes' text).
    void PSetText(std::shared_ptr<TTopicText> text);
    // The parsed text goes back into the bytes and is let go.
    void PDropText();
    bool FTextChanged() const { return m_text && m_text->changeCount() != m_textChange; }

private:
    QByteArray m_rtf;
    std::shared_ptr<TTopicText> m_text;
    quint64 m_textChange = 0;
    quint64 m_revision = 1;
    quint64 m_savedRevision = 0;
    QString m_pendingFile;
    quint64 m_pendingRevision = 0;
};

class TCProject : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit TCProject(QObject *parent = nullptr);
    ~TCProject() override;

    using TLine = Outline::TLine;

    int FCount() const { return int(m_order.size()); }
    // Positions are 1-based; null outside 1..FCount().
    TTopic *FTopicAt(int position) const;
    int FPositionOf(const TTopic *topic) const;
    static int FLevelOf(const TTopic *topic);
    // The first topic of that name (names are unique in a project).
    TTopic *FFind(const QString &name) const;
    QList<TLine> FLines() const;
    // The outline becomes these lines, every topic without text.
    void PSetLines(const QList<TLine> &lines);
    void PClear();

    // Outline edits; each keeps positions, the view and the change flag
    // up to date. `row` is among the parent's children (null parent: the
    // top level), -1 for the end.
    TTopic *FInsert(TTopic *parent, int row, const QString &name);
    std::unique_ptr<TTopic> FTake(TTopic *topic);
    void PPut(TTopic *parent, int row, std::unique_ptr<TTopic> topic);
    bool FMove(TTopic *topic, TTopic *newParent, int row);
    void PRename(TTopic *topic, const QString &name);
    int FRowOf(const TTopic *topic) const;

    QStringList commands;

    // Outline or command changes not yet saved.
    bool outlineChanged = false;

    // Item model.
    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }
    QModelIndex FIndexOf(const TTopic *topic) const;
    TTopic *FTopicOf(const QModelIndex &index) const;

private:
    std::vector<std::unique_ptr<TTopic>> &siblingsOf(TTopic *parent);
    const std::vector<std::unique_ptr<TTopic>> &siblingsOf(const TTopic *parent) const;
    void renumber();

    std::vector<std::unique_ptr<TTopic>> m_top;
    std::vector<TTopic *> m_order; // depth-first
};
