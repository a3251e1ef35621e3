#include "model/Project.h"

#include <algorithm>

// ---- TTopic ----

const QByteArray &TTopic::FBytes()
{
    if (FTextChanged()) {
        m_rtf = m_text->FRtf();
        m_textChange = m_text->changeCount();
        ++m_revision;
    }
    return m_rtf;
}

void TTopic::PSetBytes(const QByteArray &bytes)
{
    if (m_text) {
        m_text->PLoad(bytes);
        m_textChange = m_text->changeCount();
    }
    m_rtf = bytes;
    ++m_revision;
}

void TTopic::PMarkSaved(const QString &file, quint64 revision)
{
    savedFile = file;
    m_savedRevision = revision;
}

bool TTopic::FChangedSince(const QString &file) const
{
    return FTextChanged() || m_revision != m_savedRevision || savedFile != file;
}

void TTopic::PSetText(std::shared_ptr<TTopicText> text)
{
    m_text = std::move(text);
    m_textChange = m_text ? m_text->changeCount() : 0;
}

void TTopic::PDropText()
{
    FBytes();
    m_text.reset();
    m_textChange = 0;
}

// ---- TCProject ----

TCProject::TCProject(QObject *parent) : QAbstractItemModel(parent) {}

// Views and editors let go of the topics' texts before they go.
TCProject::~TCProject() { PClear(); }

std::vector<std::unique_ptr<TTopic>> &TCProject::siblingsOf(TTopic *parent)
{
    return parent ? parent->children : m_top;
}

const std::vector<std::unique_ptr<TTopic>> &TCProject::siblingsOf(const TTopic *parent) const
{
    return parent ? parent->children : m_top;
}

void TCProject::renumber()
{
    m_order.clear();
    std::vector<const std::vector<std::unique_ptr<TTopic>> *> stack;
    std::vector<size_t> at;
    stack.push_back(&m_top);
    at.push_back(0);
    while (!stack.empty()) {
        if (at.back() >= stack.back()->size()) {
            stack.pop_back();
            at.pop_back();
            continue;
        }
        TTopic *t = (*stack.back())[at.back()++].get();
        m_order.push_back(t);
        if (!t->children.empty()) {
            stack.push_back(&t->children);
            at.push_back(0);
        }
    }
}

TTopic *TCProject::FTopicAt(int position) const
{
    return position >= 1 && position <= FCount() ? m_order[size_t(position - 1)] : nullptr;
}

int TCProject::FPositionOf(const TTopic *topic) const
{
    const auto it = std::find(m_order.begin(), m_order.end(), topic);
    return it == m_order.end() ? 0 : int(it - m_order.begin()) + 1;
}

int TCProject::FLevelOf(const TTopic *topic)
{
    int level = 0;
    for (; topic; topic = topic->parent)
        ++level;
    return level;
}

TTopic *TCProject::FFind(const QString &name) const
{
    for (TTopic *t : m_order)
        if (t->name == name)
            return t;
    return nullptr;
}

int TCProject::FRowOf(const TTopic *topic) const
{
    const auto &list = siblingsOf(topic->parent);
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == topic)
            return int(i);
    return -1;
}

QList<TCProject::TLine> TCProject::FLines() const
{
    QList<TLine> out;
    out.reserve(FCount());
    for (const TTopic *t : m_order)
        out.append(TLine{FLevelOf(t), t->name});
    return out;
}

void TCProject::PSetLines(const QList<TLine> &lines)
{
    beginResetModel();
    m_top.clear();
    std::vector<TTopic *> chain; // chain[k]: the last topic at level k + 1
    for (const TLine &l : lines) {
        const int level = qBound(1, l.level, int(chain.size()) + 1);
        auto topic = std::make_unique<TTopic>();
        topic->name = l.text;
        TTopic *raw = topic.get();
        if (level == 1) {
            m_top.push_back(std::move(topic));
        } else {
            raw->parent = chain[size_t(level - 2)];
            raw->parent->children.push_back(std::move(topic));
        }
        chain.resize(size_t(level));
        chain[size_t(level - 1)] = raw;
    }
    renumber();
    endResetModel();
}

void TCProject::PClear()
{
    beginResetModel();
    m_top.clear();
    m_order.clear();
    commands.clear();
    outlineChanged = false;
    endResetModel();
}

TTopic *TCProject::FInsert(TTopic *parent, int row, const QString &name)
{
    auto topic = std::make_unique<TTopic>();
    topic->name = name;
    TTopic *raw = topic.get();
    PPut(parent, row, std::move(topic));
    return raw;
}

void TCProject::PPut(TTopic *parent, int row, std::unique_ptr<TTopic> topic)
{
    auto &list = siblingsOf(parent);
    if (row < 0 || row > int(list.size()))
        row = int(list.size());
    beginInsertRows(FIndexOf(parent), row, row);
    topic->parent = parent;
    list.insert(list.begin() + row, std::move(topic));
    renumber();
    outlineChanged = true;
    endInsertRows();
}

std::unique_ptr<TTopic> TCProject::FTake(TTopic *topic)
{
    const int row = FRowOf(topic);
    if (row < 0)
        return {};
    auto &list = siblingsOf(topic->parent);
    beginRemoveRows(FIndexOf(topic->parent), row, row);
    std::unique_ptr<TTopic> taken = std::move(list[size_t(row)]);
    list.erase(list.begin() + row);
    renumber();
    outlineChanged = true;
    endRemoveRows();
    taken->parent = nullptr;
    return taken;
}

bool TCProject::FMove(TTopic *topic, TTopic *newParent, int row)
{
    for (const TTopic *p = newParent; p; p = p->parent)
        if (p == topic)
            return false; // into itself
    const int from = FRowOf(topic);
    auto &source = siblingsOf(topic->parent);
    auto &target = siblingsOf(newParent);
    if (row < 0 || row > int(target.size()))
        row = int(target.size());
    if (&source == &target && (row == from || row == from + 1))
        return true; // where it is
    if (!beginMoveRows(FIndexOf(topic->parent), from, from, FIndexOf(newParent), row))
        return false;
    std::unique_ptr<TTopic> moving = std::move(source[size_t(from)]);
    source.erase(source.begin() + from);
    if (&source == &target && row > from)
        --row;
    moving->parent = newParent;
    target.insert(target.begin() + row, std::move(moving));
    renumber();
    outlineChanged = true;
    endMoveRows();
    return true;
}

void TCProject::PRename(TTopic *topic, const QString &name)
{
    topic->name = name;
    outlineChanged = true;
    const QModelIndex i = FIndexOf(topic);
    emit dataChanged(i, i);
}

// ---- item model ----

QModelIndex TCProject::FIndexOf(const TTopic *topic) const
{
    if (!topic)
        return {};
    const int row = FRowOf(topic);
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<TTopic *>(topic));
}

TTopic *TCProject::FTopicOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TTopic *>(index.internalPointer()) : nullptr;
}

QModelIndex TCProject::index(int row, int column, const QModelIndex &parent) const
{
    const auto &list = siblingsOf(FTopicOf(parent));
    if (column != 0 || row < 0 || row >= int(list.size()))
        return {};
    return createIndex(row, 0, list[size_t(row)].get());
}

QModelIndex TCProject::parent(const QModelIndex &child) const
{
    const TTopic *t = FTopicOf(child);
    return t ? FIndexOf(t->parent) : QModelIndex();
}

int TCProject::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(siblingsOf(FTopicOf(parent)).size());
}

int TCProject::columnCount(const QModelIndex &) const { return 1; }

QVariant TCProject::data(const QModelIndex &index, int role) const
{
    const TTopic *t = FTopicOf(index);
    if (!t || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return t->name;
}

Qt::ItemFlags TCProject::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}
