#pragma once
// Clipboard, find and replace on the current topic.
#include "errors/ErrorContext.h"

class QTextEdit;
class TOutlineView;

namespace KIVHelpTools {

// What the find and replace dialogs hold.
struct TFindOptions {
    QString findText;
    QString replaceText;
    bool down = true;
    bool matchCase = false;
    bool wholeWord = false;
    bool replace = false;    // a single replace was asked for
    bool replaceAll = false;
    bool allTopics = false;  // on from topic to topic through the project
};

TErrorContext &FCopy2Clip(TOutlineView *outline, bool show);
TErrorContext &FCut2Clip(TOutlineView *outline, bool show);
// Undoes or redoes the last edit of the current topic's text.
TErrorContext &FUndo(TOutlineView *outline, bool show);
TErrorContext &FRedo(TOutlineView *outline, bool show);
TErrorContext &FPasteFromClip(TOutlineView *outline, bool show);
// Selects the next match in the control (see the options); false when none.
bool FSearchEdit(QTextEdit *control, const QString &text, const TFindOptions &options);
TErrorContext &FFindText(TOutlineView *outline, const TFindOptions &options, bool show);
TErrorContext &FReplaceText(TOutlineView *outline, const TFindOptions &options, bool show);

} // namespace KIVHelpTools
