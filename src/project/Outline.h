#pragma once
// The topic outline: its file format (one line per topic, depth-first, the
// level given by leading tabs) and the tree widget that holds it, where each
// item's text is the topic name and its data the topic's editor control.
#include <QByteArray>
#include <QList>
#include <QString>

class QTreeWidget;
class QTreeWidgetItem;
class TRichEdit;

namespace Outline {

struct TLine {
    int level = 1; // 1 for the top level
    QString text;
    bool operator==(const TLine &o) const { return level == o.level && text == o.text; }
};

struct TParse {
    bool ok = true;
    int errorLine = 0; // 1-based line of the failure
    QString error;
    QList<TLine> lines;
};

constexpr int MaxLineBytes = 4096;

// Reads an outline file. A line's indent is its count of leading tabs or
// blanks; its text ends at CR, LF or character 26 (which ends the file).
// Fails on a level jump of two or more, on a climb above the first line's
// level, and on a line of 4096 bytes or more. Blank lines are skipped.
TParse FParse(const QByteArray &bytes);
// (level - 1) tabs, the text, CR LF; Windows-1252.
QByteArray FFormat(const QList<TLine> &lines);

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
