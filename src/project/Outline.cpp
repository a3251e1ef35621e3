#include "project/Outline.h"

#include "editing/REditServ.h"

#include <QPointer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace Outline {

namespace {
constexpr int ControlRole = Qt::UserRole + 1;
}

int FLevelOf(const QTreeWidgetItem *item)
{
    int level = 0;
    for (; item; item = item->parent())
        ++level;
    return level;
}

QList<TLine> FLinesOf(const QTreeWidget *tree)
{
    QList<TLine> out;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(tree)); *it; ++it)
        out.append(TLine{FLevelOf(*it), (*it)->text(0)});
    return out;
}

void PAppendLines(QTreeWidget *tree, const QList<TLine> &lines)
{
    QList<QTreeWidgetItem *> chain; // chain[k] = last item at level k + 1
    for (const TLine &l : lines) {
        const int level = qBound(1, l.level, int(chain.size()) + 1);
        auto *item = new QTreeWidgetItem(QStringList{l.text});
        if (level == 1)
            tree->addTopLevelItem(item);
        else
            chain[level - 2]->addChild(item);
        chain.resize(level);
        chain[level - 1] = item;
    }
}

int FCount(const QTreeWidget *tree)
{
    int n = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(tree)); *it; ++it)
        ++n;
    return n;
}

QTreeWidgetItem *FItemAt(const QTreeWidget *tree, int position)
{
    if (position < 1)
        return nullptr;
    int n = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(tree)); *it; ++it)
        if (++n == position)
            return *it;
    return nullptr;
}

int FPositionOf(const QTreeWidget *tree, const QTreeWidgetItem *item)
{
    int n = 0;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget *>(tree)); *it; ++it) {
        ++n;
        if (*it == item)
            return n;
    }
    return 0;
}

TRichEdit *FControlOf(const QTreeWidgetItem *item)
{
    if (!item)
        return nullptr;
    // A guarded pointer: a control destroyed elsewhere reads as none.
    return qobject_cast<TRichEdit *>(item->data(0, ControlRole).value<QPointer<QObject>>().data());
}

void PSetControl(QTreeWidgetItem *item, TRichEdit *control)
{
    if (item)
        item->setData(0, ControlRole, QVariant::fromValue(QPointer<QObject>(control)));
}

} // namespace Outline
