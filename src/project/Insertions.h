#pragma once
#include <QImage>
// Editing operations that change the set of topics or put help-compiler
// constructs into a topic. A construct goes into the command list as one
// line of RTF markup; the topic shows a green marker "@_n_label_@" naming
// that line, which the help source writer replaces by the line.
#include "config/Globale.h"
#include "errors/ErrorContext.h"
#include "project/TopicStore.h"
#include "editing/OutlineView.h"

class TRichEdit;

namespace KIVHelpTools {

// Shows "no topics" (when `show`) and reports 4/0 when the outline is
// empty; the common first check of the topic routines.
bool FRefuseWithoutTopics(const TOutlineView *outline, bool show, TSubGuard &sub);
// The marker for command line `n` and a label.
QString FMarker(int n, const QString &label);
// True when an item's text equals the name (ASCII letters in any case);
// with a length below 256 both are first cut to that many characters.
bool FTopicExists(const QString &name, int length, const TOutlineView *outline);
// The editor, showing the selected topic (or the first when none is
// selected); null without topics.
TRichEdit *FCurrentControl(const TOutlineView *outline);
// The control's selected text as the user sees it, paragraph breaks as CR LF,
// at most 255 characters.
QString FSelectedText(const TRichEdit *control);

// The name without its final blanks.
QString FTrimEnd(const QString &name);
// The page (other than `except`) whose name leads to the same help
// context as `name` ("Réglages" and "Reglages"), or nullptr.
TTopic *FContextClash(const QString &name, const TOutlineView *outline, const TTopic *except);
// Why a name typed for a new or renamed page cannot be taken (empty when it
// can): the file-name rules, another page's context.
QString FNewTopicNameProblem(const QString &name, const TOutlineView *outline, const TTopic *except);
// A new page after the current page's siblings (undoable); the current
// page stays the current one.
TErrorContext &FAddTopic(QString &name, TOutlineView *outline, TConfBlock *conf, bool show);
// `jumpingFrom`: the topics whose jumps lead to the one deleted, named in
// the question so that the author knows what the deletion breaks.
TErrorContext &FDelTopic(QString &name, TOutlineView *outline, bool show, const QStringList &jumpingFrom = {},
                         TFontsRec *fonts = nullptr);
// Tree editing. A topic moves with its sub-topics; the first topic (the
// project's own) stays first. The per-topic title formats follow their
// topics. A refusal is said when `show`.
enum class TMove { Up, Down, Indent, Outdent };
TErrorContext &FMoveTopic(TOutlineView *outline, TMove move, TFontsRec *fonts, bool show);
// Makes `item` the child number `index` of `parent`, or of the top level
// when `parent` is null (drag and drop); `index` is counted once the item
// is taken out of its list.
TErrorContext &FPlaceTopic(TOutlineView *outline, TTopic *item, TTopic *parent, int index,
                           TFontsRec *fonts, bool show);
// Renames the current topic to `newName` (asked for when `ask`); jumps that
// name the old topic follow when the author agrees.
TErrorContext &FRenameTopic(QString &newName, bool ask, TOutlineView *outline, bool show);

// The topics with a jump or pop-up to the topic named `topicName`
// (the markers number the project's command lines).
QStringList FTopicsJumpingTo(const QString &topicName, TOutlineView *outline);
// The constructs below append their command line to the project's and put
// its marker in the current page.
TErrorContext &FAddBmp(QString &fileName, const QString &bmpDir, bool ask, bool show, TOutlineView *outline);
// A picture file dropped onto the editor (copied into the picture folder
// when it is elsewhere), and a picture pasted from the clipboard (saved
// there as a PNG file); refused with its name when the help cannot show it.
TErrorContext &FAddBmpFile(const QString &path, const QString &bmpDir, bool show, TOutlineView *outline);
TErrorContext &FAddBmpImage(const QImage &image, const QString &bmpDir, bool show, TOutlineView *outline);
TErrorContext &FAddJump(QString &target, bool ask, TOutlineView *outline, bool show);
// A pop-up: the selection shows the target topic in a small window over
// the page ({\ul text}{\v context}), asked for as a jump is.
TErrorContext &FAddPopup(QString &target, bool ask, TOutlineView *outline, bool show);
TErrorContext &FAddTopicAndJump(const QString &name, TOutlineView *outline, TConfBlock *conf, bool show);
TErrorContext &FAddExec(QString &path, bool ask, TOutlineView *outline, bool show);
// Opens the object selected in the current page (or just before the caret):
// a jump's or pop-up's visible text and target page, a picture's file and
// place, a program call's text and command. Its command line and its
// marker take what the author chose.
TErrorContext &FEditObject(TOutlineView *outline, const QString &bmpDir, bool show);

} // namespace KIVHelpTools
