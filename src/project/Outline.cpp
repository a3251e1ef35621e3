#include "project/Outline.h"

#include "editing/REditServ.h"
#include "platform/Cp1252.h"

#include <QPointer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace Outline {

namespace {
constexpr int ControlRole = Qt::UserRole + 1;
}

TParse FParse(const QByteArray &bytes)
{
    TParse out;
    const qsizetype end = [&] {
        const qsizetype eof = bytes.indexOf('\x1a');
        return eof < 0 ? bytes.size() : eof;
    }();
    int firstIndent = -1;
    int prevIndent = -1;
    int lineNo = 0;
    qsizetype i = 0;
    while (i < end) {
        ++lineNo;
        qsizetype stop = i;
        while (stop < end && bytes[stop] != '\r' && bytes[stop] != '\n')
            ++stop;
        const qsizetype length = stop - i;
        qsizetype next = stop;
        if (next < end && bytes[next] == '\r')
            ++next;
        if (next < end && bytes[next] == '\n')
            ++next;
        if (length + 2 > MaxLineBytes) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("ligne trop longue");
            return out;
        }
        int indent = 0;
        qsizetype t = i;
        while (t < stop && (bytes[t] == '\t' || bytes[t] == ' ')) {
            ++indent;
            ++t;
        }
        const QString text = Platform::fromCp1252(bytes.constData() + t, stop - t);
        i = next;
        if (text.trimmed().isEmpty())
            continue;
        if (firstIndent < 0) {
            firstIndent = indent;
        } else if (indent >= prevIndent + 2) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("saut de niveau");
            return out;
        } else if (indent < firstIndent) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("niveau au-dessus du premier");
            return out;
        }
        prevIndent = indent;
        out.lines.append(TLine{indent - firstIndent + 1, text.left(255)});
    }
    return out;
}

QByteArray FFormat(const QList<TLine> &lines)
{
    QByteArray out;
    for (const TLine &l : lines) {
        out += QByteArray(qMax(0, l.level - 1), '\t');
        out += Platform::toCp1252(l.text);
        out += "\r\n";
    }
    return out;
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
