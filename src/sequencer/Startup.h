#pragma once
// Program start and end: the command line, the windows, the start-up states
// that the sequencer runs one per tick, and leaving the application.
#include "config/Globale.h"
#include "project/PrjList.h"
#include "project/TopicStore.h"
#include "errors/ErrorContext.h"
#include "sequencer/Seq.h"

#include <QColor>
#include <QStringList>
#include <functional>

class QWidget;

// What the sequencer needs of the main window and the dialogs created with
// it. The user-interface layer implements it.
class TMainWindowPort {
public:
    virtual ~TMainWindowPort() = default;
    // Start-up of the main window's unit and of the window itself (error
    // context and display context).
    virtual TErrorContext &FInitUnit(bool active, bool trace, quint8 destination) = 0;
    virtual TErrorContext &FInit(bool active, bool trace, quint8 destination, TConfBlock *conf) = 0;
    // Display start-up: font list, recent projects, sizes.
    virtual TErrorContext &FInitDisplay(TConfBlock *conf) = 0;
    virtual void showMainMaximized() = 0;
    virtual void enableStatusTimer() = 0;
    // Gives the font names to the font window and the titles dialog.
    virtual void refreshFontLists(const QStringList &fonts) = 0;
    virtual QWidget *widget() = 0;
    // The panel that the topic controls fill.
    virtual QWidget *topicPanel() = 0;

    // What the command actions use of the window.
    virtual const TDisplayContext &display() const = 0;
    virtual TCPrjList &projectList() = 0;
    virtual QString newPageText() const = 0;
    // The new-page field's name became a topic: the field is emptied.
    virtual void PNewPageTaken() {}
    // The compiler's messages of the build just made, for the author.
    virtual void PShowCompilerMessages(const QStringList &) {}
    virtual QString FrmFShowSelTopic() = 0;
    virtual TErrorContext &FrmFSelTextColor(QColor *chosen) = 0;
    virtual void FrmFSelFontName() = 0;
    virtual void FrmFSelFontSize() = 0;
    virtual void FrmFSetParAlignment(Qt::Alignment alignment) = 0;
    enum TStyle { StyleBold = 1, StyleItalic = 2, StyleUnderline = 4 };
    virtual void FrmFSetTextStyle(int styles) = 0;
    virtual void FrmFUSetTextStyle(int styles) = 0;
    virtual void PMarkModified() = 0;
    virtual void PPaintColor(const QColor &colour) = 0;
    virtual int FSelectedIndex() const = 0;
    virtual int FTopicCount() const = 0;
    virtual QString FSelText() const = 0;
    // The dialogs, run modally; true when the user confirmed (the values
    // are then stored into the settings).
    virtual bool FRunSoftConf(TConfBlock *conf) = 0;
    virtual bool FRunPrjConf(TConfBlock *conf) = 0;
    virtual bool FRunTitles(int topicIndex, const QString &topicName, TConfBlock *conf) = 0;
    virtual void PShowFindDialog(bool replace) = 0;
    // The project shown may not be changed from this window.
    virtual void PSetReadOnly(bool) {}
    // The project closed: what the window showed of it (the compiler's
    // messages) goes with it.
    virtual void PForgetProject() {}
};

namespace Startup {

// The start-up switches read from the command line.
extern TStartSwitches VGSwitches;

struct TCommandLine {
    TStartSwitches switches;
    QString startProject; // empty when none
    QString missingFile;  // a first parameter naming no file
};
// Reads the parameters (without the program name).
TCommandLine FParseCommandLine(const QStringList &params);

void setMainWindow(TMainWindowPort *window);
TMainWindowPort *mainWindow();
// How the application ends; tests replace it.
void setQuitHandler(std::function<void(int)> quit);
void PEndApplication(int exitCode = 0);

// Unit start-ups in their order; stops at the first failure.
void PSeqInitUnits();
void PSeqLoadSettings();
void PSeqInitFailed(TCmdRec &cmd);
void PSeqShowMain();
void PSeqEnableMain();
void PSeqRefreshFonts(TCmdRec &cmd);

// Runs the unit initialisations that precede the command line.
void PInitUnitsAtLoad();

// What the window layer gives the program: its windows, and the prompts it
// shows (installed once the application object exists, before any box).
struct TWindowSide {
    std::function<TMainWindowPort *()> createWindows;
    std::function<void()> installPrompts;
};

// The program: command line, the window side's prompts and windows, message
// loop.
int FRunProgram(int argc, char **argv, const TWindowSide &side);

} // namespace Startup
