#include "TestSupport.h"
#include "TestRegistry.h"

#include "config/Globale.h"
#include "editing/REditServ.h"
#include "editing/WaitFor.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "project/Memo.h"
#include "project/Outline.h"
#include "sequencer/Seq.h"
#include "sequencer/Startup.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialogs.h"
#include "ui/TitleFont.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

namespace {

// What the last control posted (the sequencer is held busy meanwhile).
QPair<int, int> taken()
{
    TCmdRec rec;
    if (!Seq::FGetCmd(rec))
        return {-1, -1};
    Seq::FDoneCmd(rec);
    return {rec.Command, rec.Category};
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyControlPostsItsCommand();
    void selectionChangePostsNothing();
    void newPageField();
    void statusBarAndGauge();
    void commandLineEditor();
    void programSettingsDialog();
    void projectSettingsDialog();
    void titlesDialog();
    void fontWindowIgnoresItsOwnChange();
    void menuKeysWinOverTheEditor();
    void settingsDialogsCloseAfterAFailedCheck();
    void compilerMessagesPanel();
    void dragTopicsInTheOutline();
    void everyCommandHasAKey();
    void progressLineKeepsTheWindowAndPaintsLittle();

private:
    TRichEdit *addTopic(const QString &name);

    std::unique_ptr<TFrmKivHelp> m_window;
    std::unique_ptr<TestSupport::ScriptedScope> m_scope;
    std::unique_ptr<TestSupport::Sandbox> m_box;
};

void TestMainWindow::initTestCase()
{
    Platform::setProgramFilePathForTest(QCoreApplication::applicationDirPath() + QStringLiteral("/kivhelp"));
    Seq::InitUnit();
    Seq::timer()->stop();
    Globale::FInit(false, false, 1);
    Globale::PConf->WinFntList->clear();
    *Globale::PConf->WinFntList << "DejaVu Sans" << "DejaVu Serif" << "DejaVu Sans Mono";
}

void TestMainWindow::init()
{
    m_box = std::make_unique<TestSupport::Sandbox>();
    m_scope = std::make_unique<TestSupport::ScriptedScope>();
    m_window = std::make_unique<TFrmKivHelp>();
    QCOMPARE(m_window->FInit(false, false, 1, Globale::PConf).Category, quint8(0));
    QCOMPARE(m_window->FInitDisplay(Globale::PConf).Category, quint8(0));
    m_window->refreshFontLists(*Globale::PConf->WinFntList);
    Globale::PConf->PPrj->PrjState = PrjNone;
    Seq::PSetBusyForTest(true);
}

void TestMainWindow::cleanup()
{
    Seq::PSetBusyForTest(false);
    TCmdRec rec;
    Seq::FGetCmd(rec);
    Seq::FDoneCmd(rec);
    m_window.reset();
    CHECK_PROMPTS_DONE(*m_scope);
    m_scope.reset();
    m_box.reset();
}

TRichEdit *TestMainWindow::addTopic(const QString &name)
{
    const TDisplayContext &d = m_window->display();
    d.OutlineHelp->setCurrentItem(TestSupport::addTopic(*d.OutlineHelp, name));
    return m_window->editor();
}

void TestMainWindow::everyControlPostsItsCommand()
{
    TFrmKivHelp &w = *m_window;
    QCOMPARE(w.windowTitle(), QStringLiteral("KIV HELP pour Windows 95 version V 2.1"));
    const QList<QPair<const char *, QPair<int, int>>> buttons = {
        {"BtnOpenProject", {CmdOpenPrj, CatApp}}, {"BtnSaveproject", {CmdSavePrj, CatApp}},
        {"BtNewProject", {CmdNewPrj, CatApp}}, {"BtnCloseProject", {CmdClosePrj, CatApp}},
        {"BtnDeleteProject", {CmdDelPrj, CatApp}}, {"BtAddTopic", {CmdAddTopic, CatEdit}},
        {"TBShortCutTopic", {CmdQuickTopic, CatEdit}}, {"BtnDeleteTopic", {CmdDelTopic, CatEdit}},
        {"BtAddBmp", {CmdAddBmp, CatEdit}}, {"BtAddJump2", {CmdAddJump, CatEdit}}, {"BtAddPopup", {CmdAddPopup, CatEdit}},
        {"BtExecProgram", {CmdAddExec, CatEdit}}, {"BitBtTitles", {CmdTitles, CatEdit}},
        {"BtnUserQuit", {CmdExit, CatApp}}, {"BtSetColor", {CmdTextColor, CatEdit}},
        {"boldbutton", {CmdBoldOn, CatEdit}}, {"ItalicButton", {CmdItalicOn, CatEdit}},
        {"UnderlineButton", {CmdUnderlineOn, CatEdit}}, {"BtCenterText", {CmdAlignCenter, CatEdit}},
        {"BtRightAlign", {CmdAlignRight, CatEdit}}, {"BtLeftAlign", {CmdAlignLeft, CatEdit}},
    };
    for (const auto &b : buttons) {
        auto *button = w.findChild<QToolButton *>(QString::fromLatin1(b.first));
        QVERIFY2(button, b.first);
        QVERIFY2(!button->icon().isNull() && !button->toolTip().isEmpty(), b.first);
        button->click();
        QCOMPARE(taken(), b.second);
    }
    w.findChild<QToolButton *>("boldbutton")->click(); // comes up again
    QCOMPARE(taken(), (QPair<int, int>(CmdBoldOff, CatEdit)));

    const QList<QPair<const char *, QPair<int, int>>> items = {
        {"MenuOuvrirFichier", {CmdOpenPrj, CatApp}}, {"Newproject", {CmdNewPrj, CatApp}},
        {"SaveFile", {CmdSavePrj, CatApp}}, {"CloseFile", {CmdClosePrj, CatApp}},
        {"DELPROJECT", {CmdDelPrj, CatApp}}, {"Exitprog", {CmdExit, CatApp}}, {"Cut", {CmdCut, CatEdit}},
        {"Copy", {CmdCopy, CatEdit}}, {"Paste", {CmdPaste, CatEdit}}, {"Search", {CmdFind, CatEdit}},
        {"Replace", {CmdReplace, CatEdit}}, {"MenuConfigSoft", {CmdSoftConf, CatApp}},
        {"MenuHPJ", {CmdPrjConf, CatApp}}, {"HelpCreate", {CmdCreateHlp, CatApp}},
        {"PreViewHlp", {CmdViewHlp, CatApp}}, {"HelpKIVMenu", {CmdHelp, CatApp}}, {"AboutMenu", {CmdAbout, CatApp}},
        {"ShortcutTOPIC", {CmdQuickTopic, CatEdit}}, {"JumptoTOPIC", {CmdAddJump, CatEdit}},
        {"PopupTOPIC", {CmdAddPopup, CatEdit}}, {"InsertPopup", {CmdAddPopup, CatEdit}},
        {"SetTextColor", {CmdTextColor, CatEdit}}, {"AlignLeft", {CmdAlignLeft, CatEdit}},
        {"CenterText", {CmdAlignCenter, CatEdit}}, {"AlignRight", {CmdAlignRight, CatEdit}},
        {"SetTextBold", {CmdBoldOn, CatEdit}}, {"USetTextBold1", {CmdBoldOff, CatEdit}},
        {"SetTextItalic", {CmdItalicOn, CatEdit}}, {"USetTextItalic1", {CmdItalicOff, CatEdit}},
        {"SetTextUnderline", {CmdUnderlineOn, CatEdit}}, {"USetTextUnderline1", {CmdUnderlineOff, CatEdit}},
        {"PopExit", {CmdExit, CatApp}},
    };
    for (const auto &i : items) {
        auto *a = w.findChild<QAction *>(QString::fromLatin1(i.first));
        QVERIFY2(a, i.first);
        a->trigger();
        QCOMPARE(taken(), i.second);
    }
    // Captions and shortcuts.
    QCOMPARE(w.findChild<QAction *>("SaveFile")->text(), QStringLiteral("&Sauvegarder le PROJET"));
    QCOMPARE(w.findChild<QAction *>("SaveFile")->shortcut(), QKeySequence("Ctrl+S"));
    QCOMPARE(w.findChild<QAction *>("Replace")->shortcut(), QKeySequence("Ctrl+R"));
    QCOMPARE(w.findChild<QAction *>("HelpKIVMenu")->shortcut(), QKeySequence("F1"));
    QCOMPARE(w.findChild<QAction *>("EDITRTFLINE")->text(), QStringLiteral("Edition des commandes &Macros"));
    // Popup items also set the tool buttons.
    QVERIFY(w.findChild<QToolButton *>("boldbutton")->isChecked() == false);
    w.findChild<QAction *>("SetTextBold")->trigger();
    taken();
    QVERIFY(w.findChild<QToolButton *>("boldbutton")->isChecked());

    // Opening the build menu, the recent projects, the close box.
    w.findChild<QMenu *>("Param")->popup(QPoint(0, 0));
    QCOMPARE(taken(), (QPair<int, int>(CmdConfMenu, CatApp)));
    w.findChild<QMenu *>("Param")->hide();
    QAction *last = w.findChild<QAction *>("LastProject1");
    QVERIFY(last->isVisible());
    last->trigger();
    QCOMPARE(taken(), (QPair<int, int>(CmdOpenLastPrj, CatApp)));
    QCOMPARE(w.projectList().PrjToOpen, Globale::PConf->PIni->LASTPROJECT[0].get());
    QVERIFY(!w.findChild<QAction *>("LastProject2")->isVisible());
    w.show();
    QVERIFY(!w.close());
    QCOMPARE(taken(), (QPair<int, int>(CmdExit, CatApp)));
    // With no topic the font controls post nothing.
    w.findChild<QSpinBox *>("FontSize")->setValue(20);
    QCOMPARE(taken().first, -1);
}

void TestMainWindow::selectionChangePostsNothing()
{
    TRichEdit *edit = addTopic("Page");
    QTextCursor c(edit->document());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(18);
    bold.setFontFamilies({"DejaVu Serif"});
    c.insertText("Titre centre", bold);
    QTextBlockFormat centre;
    centre.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centre);
    c.insertBlock(QTextBlockFormat());
    c.insertText("normal", QTextCharFormat());
    taken(); // the text change is not a command
    QTextCursor inTitle(edit->document());
    inTitle.setPosition(3);
    edit->setTextCursor(inTitle); // the selection handler runs
    QVERIFY(m_window->findChild<QToolButton *>("boldbutton")->isChecked());
    QVERIFY(!m_window->findChild<QToolButton *>("ItalicButton")->isChecked());
    QVERIFY(m_window->findChild<QToolButton *>("BtCenterText")->isChecked());
    QVERIFY(!m_window->findChild<QToolButton *>("BtLeftAlign")->isChecked());
    QVERIFY(!m_window->findChild<QToolButton *>("BtRightAlign")->isChecked());
    QCOMPARE(m_window->findChild<QSpinBox *>("FontSize")->value(), 18);
    QCOMPARE(m_window->findChild<QComboBox *>("FontName")->currentText(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(taken().first, -1);
    QVERIFY(!m_window->syncing());
    // The user's next size change is posted.
    m_window->findChild<QSpinBox *>("FontSize")->setValue(20);
    QCOMPARE(taken(), (QPair<int, int>(CmdFontSize, CatEdit)));
    // Applying a format to the selection.
    QTextCursor word(edit->document());
    word.setPosition(13);
    word.setPosition(19, QTextCursor::KeepAnchor);
    edit->setTextCursor(word);
    m_window->FrmFSetTextStyle(TFrmKivHelp::StyleItalic | TFrmKivHelp::StyleUnderline);
    QVERIFY(edit->textCursor().charFormat().fontItalic() && edit->textCursor().charFormat().fontUnderline());
    m_window->FrmFSetParAlignment(Qt::AlignRight);
    QCOMPARE(edit->alignment() & Qt::AlignRight, Qt::AlignRight);
}

void TestMainWindow::newPageField()
{
    QLineEdit *field = m_window->newPageField();
    QCOMPARE(field->text(), QString::fromUtf8("Page numéro 1"));
    m_window->show();
    QTest::mouseClick(field, Qt::LeftButton);
    QVERIFY(field->text().isEmpty());
    QTest::keyClicks(field, "Aide en ligne");
    m_scope->prompts.answer(Platform::Ok);
    QTest::keyClick(field, '/');
    QCOMPARE(field->text(), QStringLiteral("Aide en ligne"));
    QCOMPARE(m_scope->prompts.texts(), QStringList{QString::fromUtf8("Caractère non valide !")});
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(taken(), (QPair<int, int>(CmdAddTopic, CatEdit)));
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(field->text().isEmpty());
}

void TestMainWindow::statusBarAndGauge()
{
    auto *gauge = m_window->findChild<QProgressBar *>("GaugeMaxProjectSize");
    auto *timer = m_window->findChild<QTimer *>("TimerMaxProjectSize");
    m_window->PStatusTick();
    QCOMPARE(gauge->value(), 0);
    QCOMPARE(gauge->property("barColour").value<QColor>(), QColor(0, 128, 0));
    QCOMPARE(m_window->findChild<QLabel *>("StatusPanel0")->text(), QStringLiteral("Lig :       Col :"));

    QCOMPARE(TFrmKivHelp::FGaugeColor(800000), QColor(0, 128, 0));
    QCOMPARE(TFrmKivHelp::FGaugeColor(800001), QColor(255, 0, 255));
    QCOMPARE(TFrmKivHelp::FGaugeColor(950000), QColor(255, 0, 255));
    QCOMPARE(TFrmKivHelp::FGaugeColor(950001), QColor(255, 0, 0));

    TRichEdit *edit = addTopic("P");
    edit->setPlainText("ab\ncdef");
    QTextCursor c(edit->document());
    c.setPosition(5);
    edit->setTextCursor(c);
    Globale::PConf->PPrj->PrjState = PrjModified;
    m_window->PStatusTick();
    QCOMPARE(gauge->value(), 550 + 7);
    QCOMPARE(m_window->findChild<QLabel *>("StatusPanel0")->text(), QStringLiteral("Lig:   2   Col:   3"));
    QCOMPARE(m_window->findChild<QLabel *>("StatusPanel1")->text(), QString::fromUtf8("Modifié"));
    QVERIFY(m_window->findChild<QLabel *>("StatusPanel2")->text().startsWith("Date   :   "));
    QCOMPARE(m_window->findChild<QLabel *>("StatusPanel3")->text(), QStringLiteral("INSERTION"));
    edit->setOverwriteMode(true);
    m_window->PStatusTick();
    QCOMPARE(m_window->findChild<QLabel *>("StatusPanel3")->text(), QStringLiteral("REMPLACE"));

    // At the limit the gauge still shows; one character more brings the
    // message. The pages not shown count without being parsed.
    TTopic *big = TestSupport::addTopic(*m_window->outline(), "Gros", QString(int(3000000 - 2 * 550 - 7), u'x'));
    m_window->PStatusTick();
    QVERIFY(!big->text());
    QCOMPARE(gauge->value(), 3000000);
    QCOMPARE(gauge->property("barColour").value<QColor>(), QColor(255, 0, 0));
    edit->textCursor().insertText("y");
    m_scope->prompts.answer(Platform::Ok);
    m_window->PStatusTick();
    QCOMPARE(m_scope->prompts.texts().last(), QString::fromUtf8("La taille maximum du Project a été atteinte !"));
    QCOMPARE(timer->interval(), 10000);
    QCOMPARE(gauge->value(), 3000000);
}

void TestMainWindow::commandLineEditor()
{
    m_window->display().project()->commands = QStringList{"zero", "un", "deux"};
    m_scope->prompts.answerText("3");
    m_scope->prompts.answer(Platform::Ok);
    m_window->PEditCommandLine();
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Commande inconnue !"));
    m_scope->prompts.answerText("@_1");
    m_scope->prompts.answer(Platform::Ok);
    m_window->PEditCommandLine();
    QCOMPARE(m_scope->prompts.texts().last(),
             QString::fromUtf8("Veuillez entrer le numéro de commande ! ex. : pour : @_1 entrez 1 "));
    m_scope->prompts.answerText("1");
    m_scope->prompts.answerText("{\\uldb un}{\\v Un}");
    m_window->PEditCommandLine();
    QCOMPARE(m_window->display().project()->commands, QStringList({"zero", "{\\uldb un}{\\v Un}", "deux"}));
    // A changed command line is a change of the project, saved with it.
    QCOMPARE(Globale::PConf->PPrj->PrjState, quint8(PrjModified));
    QCOMPARE(m_scope->prompts.records().first().text,
             QString::fromUtf8("Editeur de Commandes RTF|Veuillez entrer la commande à éditer"));
}

void TestMainWindow::programSettingsDialog()
{
    TFrmSoftConf *d = m_window->softConf();
    TIniRec *ini = Globale::PConf->PIni;
    ini->CREATE_CNT = false;
    ini->COPY_CNT = false;
    d->PFill(Globale::PConf);
    QVERIFY(!d->Confirmed);
    auto *create = d->findChild<QCheckBox *>("ChkCreateCnt");
    auto *copy = d->findChild<QCheckBox *>("ChkCopyCnt");
    QVERIFY(!copy->isEnabled());
    create->click();
    QVERIFY(copy->isEnabled() && !copy->isChecked());
    copy->click();
    create->click();
    QVERIFY(!copy->isEnabled() && !copy->isChecked());
    create->click();
    QVERIFY(copy->isEnabled() && !copy->isChecked());
    QCOMPARE(d->findChild<QSpinBox *>("SpBackupPeriod")->maximum(), 10);
    QCOMPARE(d->findChild<QSpinBox *>("SpNbFnts")->minimum(), 5);

    d->findChild<QLineEdit *>("EdCompiler")->setText(m_box->path("absent.exe"));
    m_scope->prompts.answer(Platform::Ok);
    d->EdCompilerExit();
    d->findChild<QLineEdit *>("EdBMP")->setText(m_box->path("nulle part"));
    m_scope->prompts.answer(Platform::Ok);
    d->EdBMPExit();
    QCOMPARE(m_scope->prompts.texts(), QStringList({"Le fichier n'existe pas", QString::fromUtf8("BMP :Le répertoire n'existe pas")}));

    // Storing: the font-count warning only when that count changed.
    d->PStore(Globale::PConf);
    QCOMPARE(m_scope->prompts.texts().size(), 2);
    QCOMPARE(ini->COMPILER.get(), m_box->path("absent.exe"));
    QVERIFY(ini->CREATE_CNT && !ini->COPY_CNT);
    d->findChild<QSpinBox *>("SpNbFnts")->setValue(ini->NB_FNT + 1);
    m_scope->prompts.answer(Platform::Ok);
    d->PStore(Globale::PConf);
    QVERIFY(m_scope->prompts.texts().last().startsWith(QString::fromUtf8("ATTENTION ! vous avez changé le nombre de fontes")));
    d->findChild<QPushButton *>("BtnSave")->click();
    QVERIFY(d->Confirmed);
}

void TestMainWindow::projectSettingsDialog()
{
    TFrmPrjConf *d = m_window->prjConf();
    Globale::VGGIniPrj->FReadConfFile("DUMMY", 0);
    d->PFill(Globale::PConf);
    auto *compress = d->findChild<QLineEdit *>("EdCompress");
    // Said in French; the project keeps what its help project file says.
    compress->setText("yes");
    d->EdCompressExit();
    QCOMPARE(compress->text(), QStringLiteral("OUI"));
    compress->setText("non");
    d->EdCompressExit();
    QCOMPARE(compress->text(), QStringLiteral("NON"));
    compress->setText("peut-être");
    m_scope->prompts.answer(Platform::Ok);
    d->EdCompressExit();
    QVERIFY(compress->text().isEmpty());
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Tapez OUI ou NON !"));

    // A staged colour, then "Fermer": nothing changes.
    m_scope->prompts.answerColor(QColor(255, 0, 0));
    d->findChild<QPushButton *>("BtnBKColor")->click();
    QCOMPARE(d->stagedBackground(), QColor(255, 0, 0));
    d->findChild<QPushButton *>("BtnExit")->click();
    QVERIFY(!d->Confirmed);
    QCOMPARE(Globale::PConf->PPrj->BkColor, 0xFFFFFF);
    // Confirmed and stored: the red background as a Windows colour value.
    d->PFill(Globale::PConf);
    m_scope->prompts.answerColor(QColor(255, 0, 0));
    d->findChild<QPushButton *>("BtnBKColor")->click();
    d->findChild<QLineEdit *>("EdTitle")->setText(QString::fromUtf8("Aide générale"));
    d->findChild<QPushButton *>("BtnSave")->click();
    QVERIFY(d->Confirmed);
    d->PStore(Globale::PConf);
    QCOMPARE(Globale::PConf->PPrj->BkColor, 0x0000FF);
    QCOMPARE(Globale::PConf->PPrj->ProjectTitle.get(), QString::fromUtf8("Aide générale"));
    // The outputs besides the .HLP.
    QVERIFY(!d->findChild<QCheckBox *>("ChkHtml")->isChecked());
    d->findChild<QCheckBox *>("ChkHtml")->setChecked(true);
    d->findChild<QCheckBox *>("ChkChm")->setChecked(true);
    d->PStore(Globale::PConf);
    QCOMPARE(Globale::PConf->PPrj->Outputs.get(), QStringLiteral("HTML,CHM"));
    Globale::PConf->PPrj->Outputs.set(QStringLiteral("chm"));
    d->PFill(Globale::PConf);
    QVERIFY(!d->findChild<QCheckBox *>("ChkHtml")->isChecked() && d->findChild<QCheckBox *>("ChkChm")->isChecked());
    Globale::PConf->PPrj->Outputs.set(QString());
    // The help's language: chosen in the list, kept when the list lacks it.
    auto *language = d->findChild<QComboBox *>("CbLanguage");
    QCOMPARE(language->currentData().toString(), QString());
    language->setCurrentIndex(language->findText(QStringLiteral("Japonais")));
    d->PStore(Globale::PConf);
    QCOMPARE(Globale::PConf->PPrj->Language.get(), QStringLiteral("0x411"));
    Globale::PConf->PPrj->Language.set(QStringLiteral("0x0c04"));
    d->PFill(Globale::PConf);
    QCOMPARE(language->currentText(), QStringLiteral("LCID 0xc04"));
    Globale::PConf->PPrj->Language.set(QString());
    // The manual's paper: the system's unless chosen; kept in the project's
    // settings file only when chosen.
    auto *paper = d->findChild<QComboBox *>("CbPaper");
    QCOMPARE(paper->currentData().toString(), QString());
    paper->setCurrentIndex(paper->findData(QStringLiteral("letter")));
    d->PStore(Globale::PConf);
    QCOMPARE(Globale::PConf->PPrj->Paper.get(), QStringLiteral("letter"));
    Platform::IniFile ini(m_box->path("paper.cfg"));
    Globale::PPrjWrite(ini, reinterpret_cast<const quint8 *>(Globale::PConf->PPrj));
    QCOMPARE(ini.readString(QStringLiteral("Param"), QStringLiteral("Paper"), QString()), QStringLiteral("letter"));
    Globale::PConf->PPrj->Paper.set(QStringLiteral("A4"));
    d->PFill(Globale::PConf);
    QCOMPARE(paper->currentData().toString(), QStringLiteral("a4"));
    Globale::PConf->PPrj->Paper.set(QString());
    Platform::IniFile plain(m_box->path("plain.cfg"));
    Globale::PPrjWrite(plain, reinterpret_cast<const quint8 *>(Globale::PConf->PPrj));
    QVERIFY(!plain.valueExists(QStringLiteral("Param"), QStringLiteral("Paper")));
}

void TestMainWindow::titlesDialog()
{
    QCOMPARE(TFormTitle::FFontNumber("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New Roman;}}",
                                     "Times New Roman"),
             1);
    QCOMPARE(TFormTitle::FFontNumber("{\\rtf1{\\fonttbl{\\f0 Arial;}}", "Absente"), 0);
    QCOMPARE(TFormTitle::FSizeOf("\\fs60"), 30);
    QCOMPARE(TFormTitle::FSizeOf("\\fs25"), 12);

    TPrjRec *prj = Globale::PConf->PPrj;
    TFontsRec *fonts = Globale::PConf->PPrjFonts;
    Globale::VGGIniPrjFonts->FReadConfFile("DUMMY", 0);
    prj->PrjDir.set(m_box->path());
    fonts->Entries[2].Size.set("\\fs24");
    fonts->Entries[2].Name.set("DejaVu Serif");
    TestSupport::writeFile(m_box->path("Page.2"),
                           "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil DejaVu Sans;}{\\f1\\fnil DejaVu Serif;}}\r\n{\\colortbl ;}\r\n}\r\n");
    TFormTitle *d = m_window->titles();
    d->PFill(2, "Page", Globale::PConf);
    QCOMPARE(d->findChild<QSpinBox *>("SpTopicTitleSize")->value(), 12);
    QCOMPARE(d->findChild<QComboBox *>("CbTopicTitleFont")->currentText(), QStringLiteral("DejaVu Serif"));
    d->findChild<QComboBox *>("CbSameTitleFont")->setCurrentText("DejaVu Sans");
    d->findChild<QSpinBox *>("SpSameTitleFontSize")->setValue(20);
    QCOMPARE(d->findChild<QLabel *>("LbTestSame")->font().pixelSize(), 20);
    d->findChild<QPushButton *>("BbtCloseTitle")->click();
    QVERIFY(d->Confirmed);
    QPlainTextEdit work;
    QVERIFY(d->PStore(&work, Globale::PConf));
    QCOMPARE(fonts->Entries[2].Id.get(), QStringLiteral("\\f1"));
    QCOMPARE(fonts->Entries[2].Size.get(), QStringLiteral("\\fs24"));
    QCOMPARE(fonts->Entries[2].Typ.get(), QStringLiteral("\\b"));
    QCOMPARE(fonts->Entries[0].Name.get(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(fonts->Entries[0].Size.get(), QStringLiteral("\\fs40"));
    QVERIFY(work.toPlainText().isEmpty());

    d->PFill(3, "Absente", Globale::PConf);
    QVERIFY(d->windowTitle().endsWith(QStringLiteral("Absente"))); // the page it edits
    m_scope->prompts.answer(Platform::Ok);
    QVERIFY(!d->PStore(&work, Globale::PConf));
    QCOMPARE(m_scope->prompts.texts().last(), QStringLiteral("Erreur"));

    // The default "system" face shows as an installed one; a face the
    // project names that is not installed is shown, and kept.
    fonts->Entries[4].Name.set("system");
    fonts->Entries[0].Name.set("Tahoma");
    d->PFill(4, "Page", Globale::PConf);
    QVERIFY(Globale::PConf->WinFntList->contains(d->findChild<QComboBox *>("CbTopicTitleFont")->currentText()));
    QCOMPARE(d->findChild<QComboBox *>("CbSameTitleFont")->currentText(), QStringLiteral("Tahoma"));
}

void TestMainWindow::fontWindowIgnoresItsOwnChange()
{
    TFrmSelFont *f = m_window->selFont();
    QVERIFY(f->windowFlags() & Qt::WindowStaysOnTopHint);
    QList<int> sizes;
    f->onSizeChange = [&](int, int size) { sizes << size; };
    f->PSet(1, 30); // from the main window: ignored once
    QCOMPARE(sizes, QList<int>());
    auto *spin = f->findChild<QSpinBox *>("FontSize");
    spin->setValue(31); // the user's own
    QCOMPARE(sizes, QList<int>{31});
    f->PSet(1, 31); // no change: no event, and the next user change counts
    spin->setValue(32);
    QCOMPARE(sizes, (QList<int>{31, 32}));
    QString name;
    int index = -1, size = 0;
    f->FRead(&name, &index, &size);
    QCOMPARE(name, QStringLiteral("DejaVu Serif"));
    QCOMPARE(size, 32);
}

void TestMainWindow::menuKeysWinOverTheEditor()
{
    // With the text control focused, Ctrl+Z is the full screen the menu
    // shows, not an undo; undo and redo have keys of their own.
    TRichEdit *control = addTopic(QStringLiteral("Page"));
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    control->setFocus();
    QTest::keyClicks(control, "texte");
    QCOMPARE(control->toPlainText(), QStringLiteral("texte"));
    auto *outline = m_window->findChild<QWidget *>("TopLeftPanel");
    QVERIFY(outline->isVisible());
    QTest::keyClick(control, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(control->toPlainText(), QStringLiteral("texte"));
    QVERIFY(!outline->isVisible());
    QTest::keyClick(control, Qt::Key_Z, Qt::ControlModifier); // again: back
    QVERIFY(outline->isVisible());
    QTest::keyClick(control, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(control, Qt::Key_W, Qt::ControlModifier);
    QVERIFY(outline->isVisible());
    QTest::keyClick(control, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(taken(), qMakePair(int(CmdUndo), int(CatEdit)));
    QTest::keyClick(control, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(taken(), qMakePair(int(CmdRedo), int(CatEdit)));
    QCOMPARE(control->toPlainText(), QStringLiteral("texte"));
    // The new-page field too.
    auto *field = m_window->findChild<QLineEdit *>("EdNewPage");
    field->setFocus();
    QTest::keyClicks(field, "abc");
    const QString typed = field->text();
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(field->text(), typed);
    QVERIFY(!outline->isVisible());
}

void TestMainWindow::settingsDialogsCloseAfterAFailedCheck()
{
    // A field whose check fails: leaving it for another field warns (once,
    // the field keeps the focus); a click on "&Fermer" closes the dialog
    // without a box.
    for (QDialog *dialog : {static_cast<QDialog *>(m_window->softConf()), static_cast<QDialog *>(m_window->prjConf())}) {
        const bool program = dialog == m_window->softConf();
        auto *field = dialog->findChild<QLineEdit *>(program ? "EdCompiler" : "EdCompress");
        dialog->show();
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        field->setText(program ? m_box->path("absent") : QStringLiteral("abc"));
        field->setFocus();
        m_scope->prompts.answer(Platform::Ok);
        QTest::mouseClick(dialog->findChild<QLineEdit *>(program ? "EdBMP" : "EdTitle"), Qt::LeftButton);
        QTRY_VERIFY(field->hasFocus());
        QCOMPARE(m_scope->prompts.texts().size(), program ? 1 : 2);
        QTest::mouseClick(dialog->findChild<QPushButton *>("BtnExit"), Qt::LeftButton);
        QTRY_VERIFY(!dialog->isVisible());
        QCOMPARE(m_scope->prompts.texts().size(), program ? 1 : 2);
    }
}

void TestMainWindow::compilerMessagesPanel()
{
    // The messages of a build are listed; a double-click opens the topic a
    // message names and selects the jump it is about.
    addTopic(QStringLiteral("Manuel"));
    TRichEdit *second = addTopic(QStringLiteral("Installation"));
    TOutlineView *outline = m_window->display().OutlineHelp;
    const int line = TestSupport::appendCommand(*outline->project(), QStringLiteral("{\\uldb voir}{\\v Nulle_part}"));
    second->setPlainText(QStringLiteral("Lire @_%1_voir_@ ensuite").arg(line));
    outline->setCurrentItem(Outline::FItemAt(outline, 1));
    m_window->PShowCompilerMessages({QStringLiteral("HC4643: Note: p.hpj : 1 macro(s) récrite(s)"),
                                     QStringLiteral("HC3025: Warning: T2.rtf, page 1 : saut vers un contexte inexistant : Nulle_part")});
    auto *list = m_window->findChild<QListWidget *>("LstCompilerMessages");
    QVERIFY(m_window->findChild<QDockWidget *>("DockCompilerMessages")->isVisibleTo(m_window.get()));
    QCOMPARE(list->count(), 2);
    // The page is named as the author knows it, not by its source file.
    QCOMPARE(list->item(1)->text(), QString::fromUtf8("HC3025: Warning: page « Installation » : saut vers un contexte inexistant : Nulle_part"));
    emit list->itemActivated(list->item(1));
    QCOMPARE(outline->currentItem()->name, QStringLiteral("Installation"));
    QCOMPARE(second->textCursor().selectedText(), QStringLiteral("@_%1_voir_@").arg(line));
    QVERIFY(!m_window->PGoToMessage(list->item(0)->text())); // names no topic
    m_window->PShowCompilerMessages({});
    QCOMPARE(list->count(), 1); // "nothing to say" is said
}

void TestMainWindow::dragTopicsInTheOutline()
{
    // Dropped on the middle of a row: the topic becomes its last sub-topic;
    // on its lower edge: the topic comes after it. The first topic stays.
    addTopic(QStringLiteral("Manuel"));
    addTopic(QStringLiteral("Un"));
    addTopic(QStringLiteral("Deux"));
    m_window->show();
    TOutlineView *outline = m_window->display().OutlineHelp;
    const auto rowOf = [outline](int n) { return outline->visualRect(outline->project()->FIndexOf(Outline::FItemAt(outline, n))); };
    outline->setCurrentItem(Outline::FItemAt(outline, 3)); // Deux onto Un
    m_window->PDropTopic(rowOf(2).center());
    QCOMPARE(outline->project()->FLines(), (QList<Outline::TLine>{{1, "Manuel"}, {1, "Un"}, {2, "Deux"}}));
    outline->setCurrentItem(Outline::FItemAt(outline, 3)); // Deux after Un, back at its level
    m_window->PDropTopic(QPoint(rowOf(2).center().x(), rowOf(2).bottom() - 1));
    QCOMPARE(outline->project()->FLines(), (QList<Outline::TLine>{{1, "Manuel"}, {1, "Un"}, {1, "Deux"}}));
    outline->setCurrentItem(Outline::FItemAt(outline, 1)); // the first topic does not move
    m_scope->prompts.answer(Platform::Ok);
    m_window->PDropTopic(rowOf(3).center());
    QCOMPARE(outline->project()->FLines().first(), (Outline::TLine{1, "Manuel"}));
}

void TestMainWindow::everyCommandHasAKey()
{
    // Keys sent to the focused text: the styles, the insertions, the
    // titles, building and viewing; in the outline, Delete deletes the
    // page (asking first).
    TRichEdit *control = addTopic(QStringLiteral("Page"));
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_window->FrmFShowSelTopic();
    control->setFocus();
    const QList<std::tuple<QKeyCombination, int, int>> keys{
        {Qt::CTRL | Qt::Key_B, CmdBoldOn, CatEdit},          {Qt::CTRL | Qt::Key_B, CmdBoldOff, CatEdit},
        {Qt::CTRL | Qt::Key_I, CmdItalicOn, CatEdit},        {Qt::CTRL | Qt::Key_U, CmdUnderlineOn, CatEdit},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_I, CmdAddBmp, CatEdit}, {Qt::CTRL | Qt::Key_K, CmdAddJump, CatEdit},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_X, CmdAddExec, CatEdit}, {Qt::CTRL | Qt::SHIFT | Qt::Key_T, CmdTitles, CatEdit},
        {Qt::CTRL | Qt::SHIFT | Qt::Key_Delete, CmdDelTopic, CatEdit}, {QKeyCombination(Qt::Key_F9), CmdCreateHlp, CatApp},
        {QKeyCombination(Qt::Key_F5), CmdViewHlp, CatApp},   {Qt::SHIFT | Qt::Key_F5, CmdViewWeb, CatApp},
    };
    for (const auto &[key, command, category] : keys) {
        QTest::keyClick(control, key.key(), key.keyboardModifiers());
        QCOMPARE(taken(), qMakePair(command, category));
    }
    QCOMPARE(control->toPlainText(), QString()); // none reached the text
    TOutlineView *outline = m_window->display().OutlineHelp;
    outline->setFocus();
    QTest::keyClick(outline, Qt::Key_Delete);
    QCOMPARE(taken(), qMakePair(int(CmdDelTopic), int(CatEdit)));
    // Shift+F10 opens the pop-up menu.
    control->setFocus();
    QTest::keyClick(control, Qt::Key_F10, Qt::ShiftModifier);
    auto *popup = m_window->findChild<QMenu *>("PopupMenuScreen");
    QTRY_VERIFY(popup->isVisible());
    popup->hide();
}


namespace {
struct TPaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        paints += e->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

void TestMainWindow::progressLineKeepsTheWindowAndPaintsLittle()
{
    m_window->resize(900, 600);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const int width = m_window->width();
    auto *wait = m_window->findChild<TCWaitFor *>("WaitFor");
    TPaintCounter counter;
    wait->installEventFilter(&counter);
    // A 499-topic update: one step per topic.
    wait->PShowWait(QString::fromUtf8("Mise à jour du projet"), QStringLiteral(". "), 1);
    for (int i = 0; i < 499; ++i)
        wait->PStepWait();
    QCoreApplication::processEvents();
    QVERIFY2(counter.paints <= 5, qPrintable(QString::number(counter.paints)));
    QCOMPARE(m_window->width(), width);
    QVERIFY(wait->text().startsWith(QString::fromUtf8("Mise à jour du projet. ")));
    QVERIFY(wait->fontMetrics().horizontalAdvance(wait->text()) <= wait->width());
}

KIV_TEST(TestMainWindow)
#include "tst_mainwindow.moc"
