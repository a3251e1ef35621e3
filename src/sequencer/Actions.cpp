#include "sequencer/Actions.h"

#include "config/Globale.h"
#include "platform/Prompts.h"
#include "sequencer/Startup.h"

namespace Actions {

namespace {

QString g_prjToOpen;

quint8 prjState()
{
    return (Globale::PConf && Globale::PConf->PPrj) ? Globale::PConf->PPrj->PrjState : 0;
}

// Placeholder for a command body that the project and editing layers will
// carry out: the command is consumed and the sequencer goes back to idle.
void placeholder(TCmdRec &cmd)
{
    Seq::PSetSeqState(SeqIdle);
    Seq::FDoneCmd(cmd);
}

} // namespace

QString FPrjToOpen() { return g_prjToOpen; }
void PSetPrjToOpen(const QString &file) { g_prjToOpen = file.left(255); }

void PCmdNewPrj(TCmdRec &cmd) { placeholder(cmd); }

void PCmdOpenPrj(TCmdRec &cmd, const QString &, bool) { placeholder(cmd); }

void PCmdEdit(TCmdRec &cmd)
{
    if (prjState() == PrjNone)
        Platform::prompts().plain(QStringLiteral("Pas de Projet en cours !"));
    // Placeholder: the editing commands themselves come with the editor.
    placeholder(cmd);
}

void PCmdSavePrj(TCmdRec &cmd) { placeholder(cmd); }
void PCmdCreateHlp(TCmdRec &cmd) { placeholder(cmd); }
void PCmdViewHlp(TCmdRec &cmd) { placeholder(cmd); }
void PCmdClosePrj(TCmdRec &cmd) { placeholder(cmd); }
void PCmdDelPrj(TCmdRec &cmd) { placeholder(cmd); }

// Placeholders: the settings dialogs and the program's help come with the
// main window; until then these states only pass on to SeqEnableMain.
void PSeqSoftConf() { Seq::PSetSeqState(SeqEnableMain); }
void PSeqHelp() { Seq::PSetSeqState(SeqEnableMain); }
void PSeqPrjConf() { Seq::PSetSeqState(SeqEnableMain); }

void PSeqAbout()
{
    Platform::prompts().messageBox(
        Platform::BoxIcon::Information,
        QStringLiteral("KivHelp %1\nAtelier de fichiers d'aide Windows").arg(QStringLiteral(KIVHELP_VERSION)),
        Platform::Ok, QStringLiteral("A propos de KivHelp"));
    Seq::PSetSeqState(SeqIdle);
}

void PSeqExit(TCmdRec &cmd)
{
    Platform::Button answer = Platform::Yes;
    const quint8 state = prjState();
    if (state == PrjOpened || state == PrjCreated || state == PrjModified || state == PrjCompiled) {
        answer = Platform::prompts().question(
            QStringLiteral("Un projet est déjà ouvert.Voulez-vous Sauvegarder ?"),
            Platform::Yes | Platform::No | Platform::Cancel);
        // Placeholder: on Yes the project is saved here once saving exists.
    }
    if (answer == Platform::Cancel) {
        Seq::PSetSeqState(SeqIdle);
        Seq::FDoneCmd(cmd);
        return;
    }
    // Placeholder: the open project is closed here once closing exists.
    Globale::VGGIniProg->FWriteConfFile(QString(), 0);
    Seq::FDoneCmd(cmd);
    Seq::PSetSeqState(SeqIdle);
    Startup::PEndApplication(0);
}

} // namespace Actions
