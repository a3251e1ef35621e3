#pragma once
// The command slot and the sequencer. Every user action posts a numbered
// command with a category into the one slot and steps the sequencer; a timer
// posts a tick every 100 ms. The sequencer carries out one command at a time
// as one of its states, so long actions never overlap.
#include "errors/ErrorContext.h"

#include <QTimer>

enum TCmdNo : quint8 {
    CmdSoftConf = 5, CmdNewPrj = 6, CmdOpenPrj = 7, CmdOpenLastPrj = 8, CmdPrjConf = 9,
    CmdSavePrj = 11, CmdClosePrj = 13, CmdDelPrj = 14, CmdHelp = 15, CmdSelTopic = 16,
    CmdAddTopic = 17, CmdQuickTopic = 18, CmdDelTopic = 19, CmdCut = 20, CmdCopy = 21,
    CmdPaste = 22, CmdFind = 23, CmdReplace = 24, CmdCreateHlp = 25, CmdViewHlp = 26,
    CmdAddBmp = 28, CmdAddJump = 29, CmdAddExec = 30, CmdTitles = 31, CmdTextColor = 32,
    CmdFontName = 33, CmdFontSize = 34, CmdBoldOn = 35, CmdBoldOff = 36, CmdItalicOn = 37,
    CmdItalicOff = 38, CmdUnderlineOn = 39, CmdUnderlineOff = 40, CmdAlignLeft = 41,
    CmdAlignCenter = 42, CmdAlignRight = 43, CmdAbout = 45, CmdExit = 46, CmdConfMenu = 48,
    CmdTick = 49, CmdUndo = 50, CmdRedo = 51, CmdTopicUp = 52, CmdTopicDown = 53, CmdTopicIndent = 54,
    CmdTopicOutdent = 55, CmdRenameTopic = 56, CmdViewWeb = 57, CmdOutlineUndo = 58, CmdOutlineRedo = 59,
    CmdAddPopup = 60, CmdEditObject = 61, CmdImportHelp = 62, CmdSaveAs = 63
};

enum TCmdCat : quint8 { CatTick = 0, CatApp = 1, CatEdit = 2 };

enum TSeqStateNo : quint8 {
    SeqIdle = 0, SeqInitUnits = 1, SeqLoadSettings = 2, SeqInitFailed = 3, SeqShowMain = 4,
    SeqEnableMain = 5, SeqRefreshFonts = 6, SeqSoftConf = 7, SeqHelp = 8, SeqNewPrj = 9,
    SeqOpenPrj = 10, SeqOpenLastPrj = 11, SeqPrjConf = 12, SeqEdit = 13, SeqSavePrj = 14,
    SeqCreateHlp = 15, SeqViewHlp = 16, SeqClosePrj = 17, SeqDelPrj = 18, SeqAbout = 20,
    SeqExit = 21, SeqViewWeb = 22, SeqImportHelp = 23, SeqSaveAs = 24
};

// The slot and the record handed to a command body share this layout.
struct TCmdRec {
    quint8 Command = 0;
    quint8 Category = 0;
    bool Pending = false;
};

// The sequencer's timer: posts a tick and steps, every period.
class TSeqTimer : public QTimer {
    Q_OBJECT
public:
    TSeqTimer();
public slots:
    void PCAllBack();
};

namespace Seq {

TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);

// Sets up the slot, the first start-up state and the timer (enabled). Runs
// once the application object exists; running it again starts afresh.
void InitUnit();
TSeqTimer *timer();

// Stores a command unless one is pending (then the new one is dropped).
void PPostCmd(quint8 command, quint8 category);
// One sequencer step; returns at once while another step runs.
void PSeqStep();
bool FGetCmd(TCmdRec &rec);
// Consumes the command: clears the record's and the slot's pending flag.
bool FDoneCmd(TCmdRec &rec);
void PSetSeqState(quint8 value, int index = 0);
quint8 FGetSeqState(int index = 0);
bool FBusy();
// Holds the sequencer as if a step were running, so that tests can read
// what the controls post.
void PSetBusyForTest(bool busy);
// The state that a command takes the idle sequencer to; SeqIdle when none.
quint8 FStateOfCommand(quint8 command);

} // namespace Seq
