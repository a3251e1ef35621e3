#include "ui/PlaceholderWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QMenuBar>

TPlaceholderWindow::TPlaceholderWindow()
{
    setObjectName(QStringLiteral("FrmKivHelp"));
    setWindowTitle(QStringLiteral("KIV Help"));
    m_label = new QLabel(this);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setText(QStringLiteral("KivHelp"));
    setCentralWidget(m_label);
    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("PanelHelp"));
    m_panel->hide();
    QMenu *file = menuBar()->addMenu(QStringLiteral("&Fichier"));
    QAction *exit = file->addAction(QStringLiteral("&Sortir du Programme"));
    exit->setObjectName(QStringLiteral("Exitprog"));
    connect(exit, &QAction::triggered, this, [] {
        Seq::PPostCmd(CmdExit, CatApp);
        Seq::PSeqStep();
    });
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Aide"));
    QAction *about = help->addAction(QStringLiteral("A &propos"));
    about->setObjectName(QStringLiteral("AboutMenu"));
    connect(about, &QAction::triggered, this, [] {
        Seq::PPostCmd(CmdAbout, CatApp);
        Seq::PSeqStep();
    });
}

TErrorContext &TPlaceholderWindow::FInitUnit(bool active, bool trace, quint8 destination)
{
    FInitErrCtx(m_unitCtx, QString::fromLatin1(KivAppName), QStringLiteral("U_kivhlp"));
    PSetSwitches(m_unitCtx, active, trace, destination);
    TSubGuard sub(m_unitCtx, QStringLiteral("FInit"));
    return sub.report(0);
}

TErrorContext &TPlaceholderWindow::FInit(bool active, bool trace, quint8 destination,
                                         TConfBlock *conf)
{
    FDeriveErrCtx(m_unitCtx, m_ctx, QStringLiteral("TFrmKivHelp"), objectName(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));
    if (!conf)
        return sub.report(8, QStringLiteral("PConf"), 2);
    return sub.report(0);
}

TErrorContext &TPlaceholderWindow::FInitDisplay(TConfBlock *conf)
{
    TSubGuard sub(m_ctx, QStringLiteral("FInitDisplay"));
    if (conf && conf->PIni)
        m_label->setText(QStringLiteral("KivHelp\n\nRépertoire des projets : %1\nCompilateur : %2")
                             .arg(conf->PIni->DIRPATH.get(), conf->PIni->COMPILER.get()));
    return sub.report(0);
}

void TPlaceholderWindow::showMainMaximized()
{
    // Without a window manager, maximising does nothing: fill the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
}

void TPlaceholderWindow::closeEvent(QCloseEvent *event)
{
    // The window closes only when the exit command ends the application.
    event->ignore();
    Seq::PPostCmd(CmdExit, CatApp);
    Seq::PSeqStep();
}

TMainWindowPort *FCreateWindows() { return new TPlaceholderWindow; }
