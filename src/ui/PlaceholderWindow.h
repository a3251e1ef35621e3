#pragma once
// A plain window standing in for the main window: it takes part in the
// start-up states and turns its close box into the exit command.
#include "sequencer/Startup.h"

#include <QMainWindow>

class QLabel;

class TPlaceholderWindow : public QMainWindow, public TMainWindowPort {
    Q_OBJECT
public:
    TPlaceholderWindow();

    TErrorContext &FInitUnit(bool active, bool trace, quint8 destination) override;
    TErrorContext &FInit(bool active, bool trace, quint8 destination, TConfBlock *conf) override;
    TErrorContext &FInitDisplay(TConfBlock *conf) override;
    void showMainMaximized() override;
    void enableStatusTimer() override {}
    void refreshFontLists(const QStringList &) override {}
    QWidget *widget() override { return this; }
    QWidget *topicPanel() override { return m_panel; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    TErrorContext m_unitCtx;
    TErrorContext m_ctx;
    QLabel *m_label = nullptr;
    QWidget *m_panel = nullptr;
};

// Creates the program's windows.
TMainWindowPort *FCreateWindows();
