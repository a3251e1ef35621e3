#pragma once
// The topic outline: its file format (one line per topic, depth-first, the
// level given by leading tabs) and the tree widget that holds it, where each
// item's text is the topic name and its data the topic's editor control.
#include "formats/OutlineFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class TRichEdit;

namespace Outline {

// The tree in depth-first order, and back.
QList<TLine> FLinesOf(const QTreeWidget *tree);
void PAppendLines(QTreeWidget *tree, const QList<TLine> &lines);

// Positions are 1-based and depth-first over the whole tree.
int FCount(const QTreeWidget *tree);
QTreeWidgetItem *FItemAt(const QTreeWidget *tree, int position);
int FPositionOf(const QTreeWidget *tree, const QTreeWidgetItem *item);
int FLevelOf(const QTreeWidgetItem *item);

TRichEdit *FControlOf(const QTreeWidgetItem *item);
void PSetControl(QTreeWidgetItem *item, TRichEdit *control);

} // namespace Outline
