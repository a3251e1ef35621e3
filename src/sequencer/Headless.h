#pragma once
// The program's project routines without a window, for builds from the
// command line, the tools, the benchmarks and the tests: the components a
// project needs (the project, its outline and the topic editor).
// With a WORK folder, settings are kept in WORK/config and projects made in
// WORK; without one, the user's settings are read (and never written).
// With `ownPrompts`, no box ever waits for anyone (a question is answered
// "no"); tests install their own scripted answers. `programFile` stands in
// for the running program's path when given.
#include "config/Globale.h"
#include "editing/OutlineView.h"
#include "editing/REditServ.h"
#include "editing/TopicDocument.h"
#include "fileops/DosCmd.h"
#include "editing/WaitFor.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "formats/KivHelpTools.h"
#include "project/TopicStore.h"

#include <QPlainTextEdit>

struct THeadless {
    explicit THeadless(const QString &work, bool ownPrompts = true, const QString &programFile = {})
        : m_ownPrompts(ownPrompts)
    {
        if (m_ownPrompts)
            Platform::setPrompts(&prompts);
        if (!programFile.isEmpty())
            Platform::setProgramFilePathForTest(programFile);
        if (!work.isEmpty())
            Platform::setWindowsDirForTest(work + QStringLiteral("/config"));
        Globale::FInit(false, false, 1);
        KIVHelpTools::FInit(false, false, 1);
        U_DosCmd::FInit(false, false, 1);
        conf = Globale::PConf;
        if (work.isEmpty()) {
            Globale::VGGIniProg->FReadConfFile(QString(), 0);
        } else {
            conf->PIni->DIRPATH.set(work + u'/');
        }
        conf->PIni->SHOW_ERRORS = false;
        Globale::VGGIniPrj->FReadConfFile(QStringLiteral("DUMMY"), 0);
        Globale::VGGIniPrjFonts->FReadConfFile(QStringLiteral("DUMMY"), 0);
        tree.setTextFont(TTopicDocument::FDefaultFont(conf->WinFntList->value(0)));
        tree.setEditor(&editor);
    }
    ~THeadless()
    {
        if (m_ownPrompts)
            Platform::setPrompts(nullptr);
    }

    Platform::ScriptedPrompts prompts;
    TConfBlock *conf = nullptr;
    QWidget panel;
    TCProject project;
    TRichEdit editor{&panel};
    TOutlineView tree{&project};
    QPlainTextEdit compile;
    TCWaitFor wait;
    TDisplayContext display{&panel, &panel, &tree, &compile, &wait, {}, {}, {}, {}};

private:
    bool m_ownPrompts;
};
