#pragma once
// The main window: tool bars, menus, the topic outline, the topic editor,
// the status bar and the project-size gauge. It holds no logic of its own:
// every control posts its command to the sequencer, which calls back the
// operations below.
#include "project/PrjList.h"
#include "project/TopicStore.h"
#include "sequencer/Startup.h"

#include <QMainWindow>
#include <QTextCharFormat>
#include <memory>

class QButtonGroup;
class TPreviewPane;
class QComboBox;
class QDockWidget;
class QListWidget;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QSpinBox;
class QTimer;
class QToolBar;
class QToolButton;
class TCProject;
class TOutlineView;
class TCWaitFor;
class TFindDialog;
class TFormTitle;
class TFrmPrjConf;
class TFrmSelFont;
class TFrmSoftConf;
class TRichEdit;

class TFrmKivHelp : public QMainWindow, public TMainWindowPort {
    Q_OBJECT
public:
    TFrmKivHelp();
    ~TFrmKivHelp() override;

    // ---- start-up (sequencer) ----
    TErrorContext &FInitUnit(bool active, bool trace, quint8 destination) override;
    TErrorContext &FInit(bool active, bool trace, quint8 destination, TConfBlock *conf) override;
    TErrorContext &FInitDisplay(TConfBlock *conf) override;
    void showMainMaximized() override;
    void enableStatusTimer() override;
    void refreshFontLists(const QStringList &fonts) override;
    QWidget *widget() override { return this; }
    QWidget *topicPanel() override { return m_panelHelp; }

    // ---- operations the sequencer calls ----
    const TDisplayContext &display() const override { return m_display; }
    TCPrjList &projectList() override { return m_prjList; }
    QString newPageText() const override;
    void PNewPageTaken() override;
    void PShowCompilerMessages(const QStringList &messages) override;
    // Opens the topic a compiler message names (T<n>.rtf is topic n) and
    // selects the jump it is about, where there is one.
    bool PGoToMessage(const QString &message);
    // A topic dragged in the outline and dropped at `at` (viewport point).
    void PDropTopic(const QPoint &at);
    void PSetReadOnly(bool readOnly) override;
    void PForgetProject() override;
    // The pop-up menu, opened from the keyboard (Shift+F10).
    void PShowPopupAtCaret();
    // Writes the recovery copy of the topics changed since the last save.
    void PWriteRecovery();
    QString FrmFShowSelTopic() override;
    TErrorContext &FrmFSelTextColor(QColor *chosen) override;
    void FrmFSelFontName() override;
    void FrmFSelFontSize() override;
    void FrmFSetParAlignment(Qt::Alignment alignment) override;
    void FrmFSetTextStyle(int styles) override;
    void FrmFUSetTextStyle(int styles) override;
    void PMarkModified() override;
    void PPaintColor(const QColor &colour) override;
    int FSelectedIndex() const override;
    int FTopicCount() const override;
    QString FSelText() const override;
    bool FRunSoftConf(TConfBlock *conf) override;
    bool FRunPrjConf(TConfBlock *conf) override;
    bool FRunTitles(int topicIndex, const QString &topicName, TConfBlock *conf) override;
    void PShowFindDialog(bool replace) override;
    TRichEdit *FCurrentControl() const;

    // ---- the rest of the window, for tests ----
    TErrorContext &context() { return m_ctx; }
    TFrmSoftConf *softConf() const { return m_softConf; }
    TFrmPrjConf *prjConf() const { return m_prjConf; }
    TFormTitle *titles() const { return m_titles; }
    TFrmSelFont *selFont() const { return m_selFont; }
    TFindDialog *findDialog() const { return m_find; }
    TFindDialog *replaceDialog() const { return m_replace; }
    QLineEdit *newPageField() const { return m_edNewPage; }
    // The shown page's index keywords.
    QLineEdit *keywordsField() const { return m_edKeywords; }
    TPreviewPane *preview() const { return m_preview; }
    bool syncing() const { return m_syncing; }

    // Selection moved in the current topic: tool bars follow it.
    void SelectionChange();
    // One pass of the status and gauge timer.
    void PStatusTick();
    void PFullScreen();
    void PReduceScreen();
    void PEditCommandLine();
    // The gauge's colour for a project size.
    static QColor FGaugeColor(qint64 size);
    static qint64 FProjectSize(const TOutlineView *outline);
    TOutlineView *outline() const { return m_outline; }
    TRichEdit *editor() const { return m_editor; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The window's title: the project, the page shown, the program.
    void updateTitle();
    // The status line's line and column of the caret.
    void updateCaretStatus();
    void buildCommandBar();
    void buildFormatBar();
    void buildMenus();
    void buildPopup();
    void buildBands();
    void buildMessagesDock();
    QToolButton *commandButton(QToolBar *bar, const char *name, const char *icon, const QString &hint);
    QAction *action(QMenu *menu, const char *name, const QString &caption, const QKeySequence &key = {});
    void onTextChange(QObject *sender);
    void applyCharFormat(const QTextCharFormat &format);
    void setTextStyles(int styles, bool on);
    void setAlignButtons(Qt::Alignment alignment);

    TErrorContext m_unitCtx;
    TErrorContext m_ctx;
    TDisplayContext m_display;
    TConfBlock *m_conf = nullptr;
    TCPrjList m_prjList;
    bool m_syncing = false;
    bool m_sizeSet = false;
    bool m_readOnly = false;
    bool m_sizeAlarm = false;

    QToolBar *m_commands = nullptr;
    QToolBar *m_format = nullptr;
    QLabel *m_lbColor = nullptr;
    QComboBox *m_fontName = nullptr;
    QSpinBox *m_fontSize = nullptr;
    QToolButton *m_bold = nullptr;
    QToolButton *m_italic = nullptr;
    QToolButton *m_underline = nullptr;
    QToolButton *m_alignLeft = nullptr;
    QToolButton *m_alignCenter = nullptr;
    QToolButton *m_alignRight = nullptr;
    QButtonGroup *m_alignGroup = nullptr;
    QWidget *m_panelGauge = nullptr;
    QProgressBar *m_gauge = nullptr;
    TCWaitFor *m_waitFor = nullptr;
    QWidget *m_topicPanel = nullptr;
    QLineEdit *m_edKeywords = nullptr;
    TPreviewPane *m_preview = nullptr;
    QLineEdit *m_edNewPage = nullptr;
    QWidget *m_topLeftPanel = nullptr;
    TCProject *m_project = nullptr;
    TOutlineView *m_outline = nullptr;
    TRichEdit *m_editor = nullptr;
    QWidget *m_panelHelp = nullptr;
    QPlainTextEdit *m_compileMemo = nullptr;
    TRichEdit *m_globalRichMemo = nullptr;
    QLabel *m_status[6] = {};
    QDockWidget *m_messagesDock = nullptr;
    QListWidget *m_messages = nullptr;
    QTimer *m_statusTimer = nullptr;
    QTimer *m_recoveryTimer = nullptr;
    QMenu *m_popup = nullptr;
    QAction *m_lastProject[3] = {};

    TFrmSoftConf *m_softConf = nullptr;
    TFrmPrjConf *m_prjConf = nullptr;
    TFormTitle *m_titles = nullptr;
    TFrmSelFont *m_selFont = nullptr;
    TFindDialog *m_find = nullptr;
    TFindDialog *m_replace = nullptr;
};

// Creates the program's windows: the main window with its dialogs.
TMainWindowPort *FCreateWindows();
