#pragma once
// What the sequencer does in each action state. Each body consumes its
// command and leaves the sequencer idle (the dialog states go back through
// SeqEnableMain).
#include "sequencer/Seq.h"

#include <QString>

namespace Actions {

void PCmdNewPrj(TCmdRec &cmd);
void PCmdOpenPrj(TCmdRec &cmd, const QString &projectFile, bool askForFile);
// "Importer une aide existante…": a help file or help project chosen, a
// name asked, the new project made, its report shown, then opened.
void PCmdImportHelp(TCmdRec &cmd);
// "Enregistrer sous…": the open project saved whole under another name or
// folder; the new one is then the open one, the old one stays as it was.
void PCmdSaveAs(TCmdRec &cmd);
void PCmdEdit(TCmdRec &cmd);
void PCmdSavePrj(TCmdRec &cmd);
void PCmdCreateHlp(TCmdRec &cmd);
void PCmdViewHlp(TCmdRec &cmd, bool web);
void PCmdClosePrj(TCmdRec &cmd);
void PCmdDelPrj(TCmdRec &cmd);

// States carried out inside the step.
void PSeqSoftConf();
void PSeqHelp();
// The file "Aide" opens: KIVHelp.hlp in the projects' folder `projectsDir`
// (ending in '/') when the user keeps one there, else the user's manual
// beside the program `exeDir` (manual/fr/Manuel.HLP, built or installed),
// else the program's short help (KIVHelp.hlp); the first when none is.
QString FProgramHelpFile(const QString &projectsDir, const QString &exeDir);
void PSeqPrjConf();
void PSeqAbout();
void PSeqExit(TCmdRec &cmd);

// The recent project chosen in the menu, opened by CmdOpenLastPrj.
QString FPrjToOpen();
void PSetPrjToOpen(const QString &file);

} // namespace Actions
