#pragma once
// The topics of the open project on disk: the outline file and one RTF file
// per topic, named after the topic and its position ("Manuel.1").
#include "config/Globale.h"
#include "errors/ErrorContext.h"

#include <QStringList>
#include <QObject>
#include <functional>

class QPlainTextEdit;
class QTreeWidget;
class QWidget;
class TCREditServer;
class TCWaitFor;
class TRichEdit;

// The main window's components and the editor handlers that every topic
// control receives.
struct TDisplayContext {
    QWidget *MainWindow = nullptr;
    QWidget *PanelHelp = nullptr;
    QTreeWidget *OutlineHelp = nullptr;
    QPlainTextEdit *CdesMemo = nullptr;
    QPlainTextEdit *CompileMemo = nullptr;
    TCWaitFor *WaitFor = nullptr;
    std::function<void(QObject *)> OnChange;
    std::function<void(QObject *)> OnSelectionChange;
    std::function<void(QObject *)> OnEnter;
    std::function<void(QObject *, int, Qt::KeyboardModifiers)> OnKeyDown;
};

namespace KIVHelpTools {

// Gives the control the four handlers of the display context.
void PBindControl(TRichEdit *control, const TDisplayContext &display);
// "DIR/NAME.n"
QString FTopicFileName(const QString &dir, const QString &topicName, int position);

TErrorContext &FLoadPrjTopics(const QString &projectFile, QTreeWidget *outline, TCREditServer *pool);
TErrorContext &FSavePrjTopics(const QString &projectFile, QTreeWidget *outline, bool overwrite,
                              QStringList *fileList, bool collect);
// After a save has reached the disk: each topic's text is what its file
// holds, so the next save need not write it again.
void PMarkTopicsSaved(QTreeWidget *outline);
TErrorContext &FSaveTopic(int position, QTreeWidget *outline, TConfBlock *conf);
TErrorContext &FDelAllTopics(QTreeWidget *outline);

} // namespace KIVHelpTools
