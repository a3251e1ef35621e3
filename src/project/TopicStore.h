#pragma once
// The topics of the open project on disk: the outline file and one RTF file
// per topic, named after the topic and its position ("Manuel.1").
#include "config/Globale.h"
#include "editing/OutlineView.h"
#include "errors/ErrorContext.h"

#include <QStringList>
#include <QObject>
#include <functional>

class QPlainTextEdit;
class QWidget;
class TCWaitFor;
class TRichEdit;

// The main window's components and the editor handlers. The project itself
// is the outline's model.
struct TDisplayContext {
    QWidget *MainWindow = nullptr;
    QWidget *PanelHelp = nullptr;
    TOutlineView *OutlineHelp = nullptr;
    QPlainTextEdit *CompileMemo = nullptr;
    TCWaitFor *WaitFor = nullptr;
    std::function<void(QObject *)> OnChange;
    std::function<void(QObject *)> OnSelectionChange;
    std::function<void(QObject *)> OnEnter;
    std::function<void(QObject *, int, Qt::KeyboardModifiers)> OnKeyDown;

    TCProject *project() const { return OutlineHelp ? OutlineHelp->project() : nullptr; }
};

namespace KIVHelpTools {

// Gives the editor the four handlers of the display context.
void PBindControl(TRichEdit *control, const TDisplayContext &display);
// "DIR/NAME.n"
QString FTopicFileName(const QString &dir, const QString &topicName, int position);

// Reads the outline and the topics' bytes (nothing parsed but the topic
// shown); the first topic becomes the current one.
TErrorContext &FLoadPrjTopics(const QString &projectFile, TOutlineView *outline);
TErrorContext &FSavePrjTopics(const QString &projectFile, TCProject *project, bool overwrite,
                              QStringList *fileList, bool collect);
// After a save has reached the disk: each topic's text is what its file
// holds, so the next save need not write it again.
void PMarkTopicsSaved(TCProject *project);
TErrorContext &FSaveTopic(int position, TCProject *project, TConfBlock *conf);
// Empties the outline, its undo history with it.
TErrorContext &FDelAllTopics(TOutlineView *outline);

} // namespace KIVHelpTools
