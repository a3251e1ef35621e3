#include "sequencer/Startup.h"

#include "project/PrjList.h"
#include "editing/REditServ.h"
#include "errors/MessageManager.h"
#include "errors/MsgTexts.h"
#include "fileops/DosCmd.h"
#include "platform/Paths.h"
#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "formats/KivHelpTools.h"
#include "project/FontNames.h"
#include "sequencer/Actions.h"
#include "helpgen/BuildCommand.h"
#include "helpgen/Import.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace Startup {

TStartSwitches VGSwitches;

namespace {
TMainWindowPort *g_window = nullptr;
bool g_reopenLast = true; // start-up opens the last project once, not after each settings dialog
std::function<void(int)> g_quit = [](int code) { QCoreApplication::exit(code); };
} // namespace

void setMainWindow(TMainWindowPort *window) { g_window = window; }
TMainWindowPort *mainWindow() { return g_window; }
void setQuitHandler(std::function<void(int)> quit) { g_quit = std::move(quit); }

void PEndApplication(int exitCode)
{
    Seq::timer()->stop();
    g_quit(exitCode);
}

TCommandLine FParseCommandLine(const QStringList &params)
{
    TCommandLine cl;
    const QString p1 = params.value(0), p2 = params.value(1), p3 = params.value(2);
    cl.switches.Active = p1 == QLatin1String("D");
    cl.switches.Trace = p2 == QLatin1String("O");
    cl.switches.Destination = p3 == QLatin1String("M") ? 0 : 1;
    if (p1.size() > 1) {
        if (QFileInfo(p1).isFile())
            cl.startProject = p1.left(255);
        else
            cl.missingFile = p1;
    }
    return cl;
}

void PSeqInitUnits()
{
    Seq::PSetSeqState(SeqInitFailed);
    const bool a = VGSwitches.Active, t = VGSwitches.Trace;
    const quint8 d = VGSwitches.Destination;
    const std::function<TErrorContext &()> units[] = {
        [&]() -> TErrorContext & { return Globale::FInit(a, t, d); },
        [&]() -> TErrorContext & { return Seq::FInit(a, t, d); },
        [&]() -> TErrorContext & { return U_DosCmd::FInit(a, t, d); },
        [&]() -> TErrorContext & { return U_PrjList::FInit(a, t, d); },
        [&]() -> TErrorContext & { return U_REditServ::FInit(a, t, d); },
        [&]() -> TErrorContext & { return KIVHelpTools::FInit(a, t, d); },
        [&]() -> TErrorContext & {
            static TErrorContext missing;
            if (!g_window) {
                missing.Category = 8;
                missing.Code = 2;
                missing.Msg = QStringLiteral("TFrmKivHelp");
                return missing;
            }
            return g_window->FInitUnit(a, t, d);
        },
        [&]() -> TErrorContext & { return g_window->FInit(a, t, d, Globale::PConf); },
        [&]() -> TErrorContext & { return U_Msg2User::FInit(a, t, d); },
    };
    for (const auto &unit : units)
        if (unit().Category != 0)
            return;
    Seq::PSetSeqState(SeqLoadSettings);
}

namespace {

// On the first start (no settings file yet), the projects folder is made
// and the sample project (a help project about the program itself) with its
// bitmap is copied into it, once: a sample the user deleted stays deleted.
void installSample(const QString &dirPath, bool firstStart)
{
    if (!dirPath.isEmpty())
        QDir().mkpath(dirPath);
    if (!firstStart || dirPath.isEmpty() || QFileInfo::exists(dirPath + QStringLiteral("Kivhelp")))
        return;
    Platform::copyTree(QStringLiteral(":/sample"), dirPath); // Kivhelp/ and BMP/
}

} // namespace

void PSeqLoadSettings()
{
    TConfBlock *conf = Globale::PConf;
    const QString settingsFile =
        Platform::profilePath(Globale::VGGIniProg->FGetConfFileName(QString()), false);
    const bool firstStart = !QFileInfo::exists(settingsFile);
    Globale::VGGIniProg->FReadConfFile(QString(), 0);
    TIniRec *ini = conf->PIni;
    installSample(ini->DIRPATH.get(), firstStart);
    // An import killed earlier leaves no staging folder nor pictures behind.
    if (!ini->DIRPATH.get().isEmpty())
        Build::PCleanKilledImports(ini->DIRPATH.get(), ini->BMP.get());
    // Written now, so that the sample is copied on this start only.
    if (firstStart)
        Globale::VGGIniProg->FWriteConfFile(QString(), 0);
    KIVHelpTools::FGetWinFontNames(*conf->WinFntList, static_cast<quint16>(qBound(0, ini->NB_FNT, 65535)));
    if (ini->AUTO_RE_NB <= 0)
        ini->AUTO_RE_NB = 60;
    // Settings of the editor pool of earlier versions, kept as they were
    // read so that the settings file keeps its values.
    ini->AUTO_RE_NB = qMin(ini->AUTO_RE_NB, 100);
    if (ini->AUTO_RE_TS <= 0)
        ini->AUTO_RE_TS = 2000;
    if (ini->AUTO_RE_TF <= 0)
        ini->AUTO_RE_TF = 1000;
    if (ini->SEQ_T > 0) {
        Seq::timer()->stop();
        Seq::timer()->setInterval(ini->SEQ_T);
        Seq::timer()->start();
    }
    Seq::PSetSeqState(SeqShowMain);
}

void PSeqInitFailed(TCmdRec &cmd)
{
    Platform::prompts().error(QStringLiteral("Application FAIL !"));
    Seq::FDoneCmd(cmd);
    PEndApplication(1);
}

void PSeqShowMain()
{
    if (g_window) {
        g_window->FInitDisplay(Globale::PConf);
        g_window->showMainMaximized();
    }
    Seq::PSetSeqState(SeqEnableMain);
}

void PSeqEnableMain()
{
    if (g_window)
        g_window->enableStatusTimer();
    Seq::PSetSeqState(SeqRefreshFonts);
}

void PSeqRefreshFonts(TCmdRec &cmd)
{
    if (g_window && Globale::PConf && Globale::PConf->WinFntList)
        g_window->refreshFontLists(*Globale::PConf->WinFntList);
    Seq::PSetSeqState(SeqIdle);
    // The project named on the command line is opened once, at start-up,
    // not again after every settings dialog.
    if (!Globale::VGStartPrjName.isEmpty()) {
        const QString project = Globale::VGStartPrjName;
        Globale::VGStartPrjName.clear();
        Actions::PCmdOpenPrj(cmd, project, false);
    } else if (g_reopenLast && Globale::PConf && Globale::PConf->PIni->REOPEN_LAST
               && QFileInfo(Globale::PConf->PIni->LASTOPEN.get()).isFile()) {
        // The project open when the program last ended (or crashed), with
        // the question about work recovered from it, if any, at once.
        g_reopenLast = false;
        Actions::PCmdOpenPrj(cmd, Globale::PConf->PIni->LASTOPEN.get(), false);
    }
    g_reopenLast = false;
}

void PInitUnitsAtLoad()
{
    U_Error::InitUnit();
    U_msg::InitUnit();
    U_TaskL::InitUnit();
    Seq::InitUnit();
}

namespace {

const char kUsage[] =
    "Usage : kivhelp [PROJET.PRJ]\n"
    "        kivhelp [D [O [M]]]\n"
    "\n"
    "  PROJET.PRJ  ouvre ce projet au démarrage\n"
    "  D           consigne les échecs des routines\n"
    "  O           (après D) consigne aussi chaque sortie de routine\n"
    "  M           (après D O) envoie les comptes rendus au serveur de messages\n"
    "              plutôt qu'au journal kivhelp.LOG\n"
    "  --build PROJET.PRJ [--format hlp|html|chm|pdf[,...]] [--paper a4|letter]\n"
    "              construit et publie le fichier d'aide du projet, sans fenêtre ;\n"
    "              code de sortie 0 si l'aide est publiée, 1 si la compilation échoue\n"
    "  --import AIDE.HLP|AIDE.HPJ NOM\n"
    "              crée le projet NOM à partir d'une aide existante, sans fenêtre ;\n"
    "              code de sortie 0 si tout est repris, 1 si des pertes sont listées,\n"
    "              2 si rien n'est importé\n"
    "  --help      affiche cette aide\n";

} // namespace

int FRunProgram(int argc, char **argv, const TWindowSide &side)
{
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--build") == 0) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QString format = QStringLiteral("hlp"), paper;
            for (int k = 1; k + 1 < argc; ++k)
                if (qstrcmp(argv[k], "--format") == 0)
                    format = QString::fromLocal8Bit(argv[k + 1]);
                else if (qstrcmp(argv[k], "--paper") == 0)
                    paper = QString::fromLocal8Bit(argv[k + 1]).toLower();
            // No widgets: the compiler draws pictures with fonts only.
            QGuiApplication app(argc, argv);
            PSetErrLogDir(QDir::currentPath());
            return Build::FRunBuild(QString::fromLocal8Bit(argv[i + 1]), format, paper);
        }
    for (int i = 1; i + 2 < argc; ++i)
        if (qstrcmp(argv[i], "--import") == 0) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            QGuiApplication app(argc, argv);
            PSetErrLogDir(QDir::currentPath());
            return Build::FRunImport(QString::fromLocal8Bit(argv[i + 1]), QString::fromLocal8Bit(argv[i + 2]));
        }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KivHelp"));
    if (side.installPrompts)
        side.installPrompts();
    // The error log stays where the program was started, whatever folder
    // the project routines make current later.
    PSetErrLogDir(QDir::currentPath());
    PInitUnitsAtLoad();

    // QApplication has taken its own options out of argv.
    QStringList params;
    for (int i = 1; i < argc; ++i)
        params << QString::fromLocal8Bit(argv[i]);
    const TCommandLine cl = FParseCommandLine(params);
    VGSwitches = cl.switches;
    Globale::VGStartPrjName = cl.startProject;
    if (!cl.missingFile.isEmpty()) {
        // The box runs an event loop of its own: the sequencer waits for
        // the windows, which do not exist yet.
        Seq::timer()->stop();
        Platform::prompts().plain(cl.missingFile + QStringLiteral("Le fichier n'existe pas"));
        Seq::timer()->start();
    }

    std::unique_ptr<TMainWindowPort> window(side.createWindows());
    setMainWindow(window.get());
    const int code = QApplication::exec();
    setMainWindow(nullptr);
    U_msg::DoneUnit();
    return code;
}

} // namespace Startup
