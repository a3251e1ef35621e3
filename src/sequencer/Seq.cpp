#include "sequencer/Seq.h"

#include "config/Globale.h"
#include "platform/Prompts.h"
#include "sequencer/Actions.h"
#include "sequencer/Startup.h"

#include <exception>

namespace Seq {

namespace {

TErrorContext g_ctx;
TCmdRec g_slot;
bool g_busy = false;
quint8 g_states[4] = {SeqInitUnits, 0, 0, 0};
TSeqTimer *g_timer = nullptr;

struct BusyGuard {
    BusyGuard() { g_busy = true; }
    ~BusyGuard() { g_busy = false; }
};

bool projectOpen()
{
    return Globale::PConf && Globale::PConf->PPrj && Globale::PConf->PPrj->PrjState != PrjNone;
}

// SeqIdle: take the pending command.
void dispatchIdle(TCmdRec &cmd)
{
    if (cmd.Category == CatEdit) {
        // Carried out by the next step, in SeqEdit; the command stays pending.
        PSetSeqState(SeqEdit);
        return;
    }
    if (cmd.Command == CmdPrjConf && !projectOpen()) {
        Platform::prompts().plain(QStringLiteral("Veuillez d'abord ouvrir un projet !"));
    } else {
        const quint8 next = FStateOfCommand(cmd.Command);
        if (next != SeqIdle)
            PSetSeqState(next);
    }
    FDoneCmd(cmd);
}

void runState(TCmdRec &cmd)
{
    switch (FGetSeqState()) {
    case SeqIdle: dispatchIdle(cmd); break;
    case SeqInitUnits: Startup::PSeqInitUnits(); FDoneCmd(cmd); break;
    case SeqLoadSettings: Startup::PSeqLoadSettings(); FDoneCmd(cmd); break;
    case SeqInitFailed: Startup::PSeqInitFailed(cmd); break;
    case SeqShowMain: Startup::PSeqShowMain(); FDoneCmd(cmd); break;
    case SeqEnableMain: Startup::PSeqEnableMain(); FDoneCmd(cmd); break;
    case SeqRefreshFonts: Startup::PSeqRefreshFonts(cmd); FDoneCmd(cmd); break;
    case SeqSoftConf: Actions::PSeqSoftConf(); FDoneCmd(cmd); break;
    case SeqHelp: Actions::PSeqHelp(); FDoneCmd(cmd); break;
    case SeqPrjConf: Actions::PSeqPrjConf(); FDoneCmd(cmd); break;
    case SeqAbout: Actions::PSeqAbout(); FDoneCmd(cmd); break;
    case SeqExit: Actions::PSeqExit(cmd); break;
    case SeqNewPrj: Actions::PCmdNewPrj(cmd); break;
    case SeqOpenPrj: Actions::PCmdOpenPrj(cmd, QString(), true); break;
    case SeqOpenLastPrj: Actions::PCmdOpenPrj(cmd, Actions::FPrjToOpen(), false); break;
    case SeqEdit: Actions::PCmdEdit(cmd); break;
    case SeqSavePrj: Actions::PCmdSavePrj(cmd); break;
    case SeqCreateHlp: Actions::PCmdCreateHlp(cmd); break;
    case SeqViewHlp: Actions::PCmdViewHlp(cmd, false); break;
    case SeqViewWeb: Actions::PCmdViewHlp(cmd, true); break;
    case SeqClosePrj: Actions::PCmdClosePrj(cmd); break;
    case SeqDelPrj: Actions::PCmdDelPrj(cmd); break;
    case SeqImportHelp: Actions::PCmdImportHelp(cmd); break;
    case SeqSaveAs: Actions::PCmdSaveAs(cmd); break;
    default:
        // An unknown state (19 or above 24) cannot be entered; recover.
        PSetSeqState(SeqIdle);
        FDoneCmd(cmd);
        break;
    }
}

} // namespace

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString(), QStringLiteral("Seq"), active, trace, destination);
}

void InitUnit()
{
    g_busy = false;
    g_slot = TCmdRec{};
    g_states[0] = SeqInitUnits;
    g_states[1] = g_states[2] = g_states[3] = 0;
    if (!g_timer)
        g_timer = new TSeqTimer;
    g_timer->stop();
    g_timer->setInterval(100);
    g_timer->start();
}

TSeqTimer *timer() { return g_timer; }

void PPostCmd(quint8 command, quint8 category)
{
    if (g_slot.Pending)
        return;
    g_slot.Command = command;
    g_slot.Category = category;
    g_slot.Pending = true;
}

bool FGetCmd(TCmdRec &rec)
{
    if (g_slot.Pending)
        rec = g_slot;
    return g_slot.Pending;
}

bool FDoneCmd(TCmdRec &rec)
{
    const bool was = rec.Pending;
    rec.Pending = false;
    g_slot.Pending = false;
    return was;
}

void PSetSeqState(quint8 value, int index)
{
    if (index >= 0 && index < 4)
        g_states[index] = value;
}

quint8 FGetSeqState(int index) { return (index >= 0 && index < 4) ? g_states[index] : 0; }

bool FBusy() { return g_busy; }
void PSetBusyForTest(bool busy) { g_busy = busy; }

quint8 FStateOfCommand(quint8 command)
{
    switch (command) {
    case CmdSoftConf: return SeqSoftConf;
    case CmdNewPrj: return SeqNewPrj;
    case CmdOpenPrj: return SeqOpenPrj;
    case CmdOpenLastPrj: return SeqOpenLastPrj;
    case CmdPrjConf: return SeqPrjConf;
    case CmdSavePrj: return SeqSavePrj;
    case CmdClosePrj: return SeqClosePrj;
    case CmdDelPrj: return SeqDelPrj;
    case CmdImportHelp: return SeqImportHelp;
    case CmdSaveAs: return SeqSaveAs;
    case CmdHelp: return SeqHelp;
    case CmdCreateHlp: return SeqCreateHlp;
    case CmdViewHlp: return SeqViewHlp;
    case CmdViewWeb: return SeqViewWeb;
    case CmdAbout: return SeqAbout;
    case CmdExit: return SeqExit;
    default: return SeqIdle;
    }
}

void PSeqStep()
{
    if (g_busy)
        return;
    BusyGuard busy;
    TCmdRec cmd;
    if (!FGetCmd(cmd))
        return;
    try {
        runState(cmd);
    } catch (const std::exception &e) {
        // A body lets nothing escape; should something still do so, the
        // user is told, the command is consumed and the sequencer goes back
        // to idle rather than staying stuck in an action state.
        Platform::prompts().error(QStringLiteral("Exception : ") + QString::fromLocal8Bit(e.what()));
        FDoneCmd(cmd);
        if (FGetSeqState() >= SeqSoftConf)
            PSetSeqState(SeqIdle);
    }
}

} // namespace Seq

TSeqTimer::TSeqTimer()
{
    setInterval(100);
    connect(this, &QTimer::timeout, this, &TSeqTimer::PCAllBack);
}

void TSeqTimer::PCAllBack()
{
    Seq::PPostCmd(CmdTick, CatTick);
    Seq::PSeqStep();
}
