#include "ui/MainWindow.h"

#include "editing/MarkerObjects.h"
#include "editing/REditServ.h"
#include "editing/RtfText.h"
#include "editing/TopicDocument.h"
#include "formats/TextConv.h"
#include "editing/WaitFor.h"
#include "ui/KeyboardState.h"
#include "platform/Prompts.h"
#include "project/Insertions.h"
#include "editing/SpellCheck.h"
#include "project/Outline.h"
#include "project/Recovery.h"
#include "sequencer/Actions.h"
#include "sequencer/Seq.h"
#include "ui/FindDialogs.h"
#include "ui/PreviewPane.h"
#include "ui/SettingsDialogs.h"
#include "ui/TitleFont.h"

#include <QApplication>
#include <QAbstractSpinBox>
#include <QDropEvent>
#include <QStyle>
#include <QRegularExpression>
#include <QDockWidget>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QUrl>
#include <QFileInfo>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

static void initIconResources() { Q_INIT_RESOURCE(kivhelp); }

namespace {

constexpr qint64 kMaxProjectSize = 3000000;
// Typing pauses this long before the recovery copy is written.
constexpr int kRecoveryDelayMs = 3000;

void post(quint8 command, quint8 category)
{
    const bool idle = Seq::FGetSeqState() == SeqIdle;
    Seq::PPostCmd(command, category);
    Seq::PSeqStep();
    // An application command taken from idle is carried out at once: the
    // step that the next timer tick would bring is taken now, so that Ctrl+S
    // does not first wait up to a tick period. Editing commands keep waiting
    // for the tick.
    if (idle && category == CatApp && Seq::FGetSeqState() != SeqIdle && !Seq::FBusy()) {
        Seq::PPostCmd(CmdTick, CatTick);
        Seq::PSeqStep();
    }
}

QIcon icon(const char *name) { return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name))); }

QSplitter *splitterOf(QWidget *w) { return qobject_cast<QSplitter *>(w->parentWidget()); }

bool isTextField(const QWidget *w)
{
    return qobject_cast<const QTextEdit *>(w) || qobject_cast<const QPlainTextEdit *>(w)
           || qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w);
}

// The keys that move the caret or stretch the selection in a text field.
bool isCaretKey(const QKeySequence &pressed)
{
    static const QList<QKeySequence> keys = [] {
        QList<QKeySequence> all;
        for (const QKeySequence::StandardKey k :
             {QKeySequence::MoveToNextWord, QKeySequence::MoveToPreviousWord, QKeySequence::SelectNextWord,
              QKeySequence::SelectPreviousWord, QKeySequence::SelectStartOfBlock, QKeySequence::SelectEndOfBlock,
              QKeySequence::SelectStartOfLine, QKeySequence::SelectEndOfLine, QKeySequence::SelectStartOfDocument,
              QKeySequence::SelectEndOfDocument, QKeySequence::SelectNextLine, QKeySequence::SelectPreviousLine,
              QKeySequence::MoveToStartOfBlock, QKeySequence::MoveToEndOfBlock, QKeySequence::DeleteStartOfWord,
              QKeySequence::DeleteEndOfWord})
            all += QKeySequence::keyBindings(k);
        // Paragraph selection, as word processors bind it.
        all += QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up);
        all += QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down);
        return all;
    }();
    return keys.contains(pressed);
}

// The length of a topic's text: the document's when it is parsed, else
// estimated from its bytes (once per revision).
qint64 textLength(TTopic *topic)
{
    if (const auto *text = static_cast<const TTopicDocument *>(topic->text()))
        return text->document()->characterCount() - 1;
    static QHash<const TTopic *, QPair<quint64, qint64>> known;
    auto it = known.find(topic);
    if (it == known.end() || it->first != topic->revision())
        it = known.insert(topic, qMakePair(topic->revision(), RtfText::FTextLength(topic->FBytes())));
    return it->second;
}

} // namespace

TFrmKivHelp::TFrmKivHelp()
{
    initIconResources();
    setObjectName(QStringLiteral("FrmKivHelp"));
    setWindowTitle(QStringLiteral("KIV HELP pour Windows 95 version V 2.1"));
    setWindowIcon(icon("kivhelp"));
    buildCommandBar();
    addToolBarBreak();
    buildFormatBar();
    buildBands();
    buildMenus();
    buildPopup();
    buildMessagesDock();
    // The keys the menus show do what their items say, whichever control
    // of this window has the focus (text controls take Ctrl+Z and others
    // for themselves otherwise).
    qApp->installEventFilter(this);

    m_recoveryTimer = new QTimer(this);
    m_recoveryTimer->setObjectName(QStringLiteral("TimerRecovery"));
    m_recoveryTimer->setSingleShot(true);
    m_recoveryTimer->setInterval(kRecoveryDelayMs);
    connect(m_recoveryTimer, &QTimer::timeout, this, &TFrmKivHelp::PWriteRecovery);

    m_statusTimer = new QTimer(this);
    m_statusTimer->setObjectName(QStringLiteral("TimerMaxProjectSize"));
    m_statusTimer->setInterval(1000);
    connect(m_statusTimer, &QTimer::timeout, this, &TFrmKivHelp::PStatusTick);

    // The other windows, in the order the program creates them.
    m_softConf = new TFrmSoftConf(this);
    m_titles = new TFormTitle(this);
    m_prjConf = new TFrmPrjConf(this);
    m_selFont = new TFrmSelFont(this);
    m_find = new TFindDialog(this, false);
    m_replace = new TFindDialog(this, true);
    m_selFont->onNameChange = [this](int index, int size) {
        m_fontName->setCurrentIndex(index);
        if (m_fontSize->value() != size) {
            m_sizeSet = true;
            m_fontSize->setValue(size);
        }
        post(CmdFontName, CatEdit);
    };
    m_selFont->onSizeChange = [this](int index, int size) {
        m_fontName->setCurrentIndex(index);
        if (m_fontSize->value() != size) {
            m_sizeSet = true;
            m_fontSize->setValue(size);
        }
        post(CmdFontSize, CatEdit);
    };
    // A search through the project may end in another topic: it is shown.
    const auto followTopic = [this](const TTopic *before) {
        if (m_outline->currentItem() != before) {
            const QTextCursor found = FCurrentControl() ? FCurrentControl()->textCursor() : QTextCursor();
            FrmFShowSelTopic();
            if (FCurrentControl())
                FCurrentControl()->setTextCursor(found);
        }
    };
    connect(m_find, &TFindDialog::findNext, this, [this, followTopic](const KIVHelpTools::TFindOptions &o) {
        const TTopic *before = m_outline->currentItem();
        KIVHelpTools::FFindText(m_outline, o, true);
        followTopic(before);
    });
    connect(m_replace, &TFindDialog::findNext, this, [this, followTopic](const KIVHelpTools::TFindOptions &o) {
        const TTopic *before = m_outline->currentItem();
        KIVHelpTools::FFindText(m_outline, o, true);
        followTopic(before);
    });
    connect(m_replace, &TFindDialog::replaceRequested, this, [this, followTopic](const KIVHelpTools::TFindOptions &o) {
        const TTopic *before = m_outline->currentItem();
        KIVHelpTools::FReplaceText(m_outline, o, true);
        followTopic(before);
        PMarkModified();
    });
    resize(900, 640);
}

TFrmKivHelp::~TFrmKivHelp() = default;

QToolButton *TFrmKivHelp::commandButton(QToolBar *bar, const char *name, const char *iconName, const QString &hint)
{
    auto *b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon(iconName));
    b->setToolTip(hint);
    b->setAutoRaise(true);
    bar->addWidget(b);
    return b;
}

void TFrmKivHelp::buildCommandBar()
{
    m_commands = addToolBar(QStringLiteral("Commandes"));
    m_commands->setObjectName(QStringLiteral("ToolBarCommands"));
    m_commands->setMovable(false);
    m_commands->setIconSize(QSize(28, 28));
    struct Button {
        const char *name, *icon, *hint;
        quint8 command, category;
    };
    const Button buttons[] = {
        {"BtnOpenProject", "open", "OUVRIR UN PROJET EXISTANT", CmdOpenPrj, CatApp},
        {"BtnSaveproject", "save", "SAUVEGARDER LE PROJET", CmdSavePrj, CatApp},
        {"BtNewProject", "newproject", "CREER UN NOUVEAU PROJET", CmdNewPrj, CatApp},
        {"BtnCloseProject", "closeproject", "FERMER LE PROJET COURANT", CmdClosePrj, CatApp},
        {"BtnDeleteProject", "deleteproject", "EFFACER LE PROJET COURANT", CmdDelPrj, CatApp},
        {nullptr, nullptr, nullptr, 0, 0},
        {"BtAddTopic", "addtopic", "AJOUTER UNE PAGE AU PROJET", CmdAddTopic, CatEdit},
        {"TBShortCutTopic", "quicktopic", "CREATION RAPIDE DE PAGE", CmdQuickTopic, CatEdit},
        {"BtnDeleteTopic", "deletetopic", "EFFACER UNE PAGE", CmdDelTopic, CatEdit},
        {nullptr, nullptr, nullptr, 0, 0},
        {"BtAddBmp", "addbmp", "AJOUTER UNE IMAGE DANS LA PAGE", CmdAddBmp, CatEdit},
        {"BtAddJump2", "addjump", "AJOUTER UN SAUT VERS UNE AUTRE PAGE", CmdAddJump, CatEdit},
        {"BtAddPopup", "addpopup", "INSÉRER UNE FENÊTRE SURGISSANTE", CmdAddPopup, CatEdit},
        {"BtExecProgram", "execprogram", "EXECUTER UN PROGRAMME DEPUIS LE FICHIER D'AIDE", CmdAddExec, CatEdit},
        {"BitBtTitles", "titles", "PARAMETRAGE DES TITRES", CmdTitles, CatEdit},
        {nullptr, nullptr, nullptr, 0, 0},
    };
    for (const Button &b : buttons) {
        if (!b.name) {
            m_commands->addSeparator();
            continue;
        }
        QToolButton *button = commandButton(m_commands, b.name, b.icon, QString::fromUtf8(b.hint));
        const quint8 command = b.command, category = b.category;
        connect(button, &QToolButton::clicked, this, [command, category] { post(command, category); });
    }
    connect(commandButton(m_commands, "TBFullSCR", "fullscreen", QStringLiteral("PLEINE PAGE")), &QToolButton::clicked,
            this, &TFrmKivHelp::PFullScreen);
    connect(commandButton(m_commands, "TBReducSCR", "reducescreen", QStringLiteral("REDUIRE LA PAGE")),
            &QToolButton::clicked, this, &TFrmKivHelp::PReduceScreen);
    m_commands->addSeparator();
    connect(commandButton(m_commands, "BtnUserQuit", "quit", QStringLiteral("FERMER KIVHELP V 2.1")),
            &QToolButton::clicked, this, [] { post(CmdExit, CatApp); });
}

void TFrmKivHelp::buildFormatBar()
{
    m_format = addToolBar(QStringLiteral("Texte"));
    m_format->setObjectName(QStringLiteral("ToolBar1"));
    m_format->setMovable(false);
    m_format->setIconSize(QSize(22, 22));
    auto *caption = new QLabel(QStringLiteral("Couleur de la fonte   :"), m_format);
    caption->setObjectName(QStringLiteral("LibColorFont"));
    QFont f = caption->font();
    f.setBold(true);
    f.setUnderline(true);
    caption->setFont(f);
    m_format->addWidget(caption);
    m_lbColor = new QLabel(m_format);
    m_lbColor->setObjectName(QStringLiteral("LbColor"));
    m_lbColor->setToolTip(QStringLiteral("COULEUR ACTUELLE DE LA FONTE"));
    m_lbColor->setFixedSize(28, 18);
    m_format->addWidget(m_lbColor);
    PPaintColor(Qt::black);
    QToolButton *setColor = commandButton(m_format, "BtSetColor", "textcolor", QStringLiteral("CHOIX DE LA COULEUR DU TEXTE"));
    connect(setColor, &QToolButton::clicked, this, [this] {
        if (!m_syncing)
            post(CmdTextColor, CatEdit);
    });
    m_format->addSeparator();
    m_fontName = new QComboBox(m_format);
    m_fontName->setObjectName(QStringLiteral("FontName"));
    m_fontName->setToolTip(QStringLiteral("CHOIX DE LA FONTE DU TEXTE"));
    m_fontName->setMinimumWidth(200);
    m_format->addWidget(m_fontName);
    m_fontSize = new QSpinBox(m_format);
    m_fontSize->setObjectName(QStringLiteral("FontSize"));
    m_fontSize->setToolTip(QStringLiteral("TAILLE DE LA FONTE"));
    m_fontSize->setRange(5, 100);
    m_fontSize->setValue(5);
    m_format->addWidget(m_fontSize);
    m_fontSize->installEventFilter(this);
    connect(m_fontName, &QComboBox::activated, this, [this](int index) {
        if (Outline::FCount(m_outline) == 0)
            return;
        m_selFont->PSet(index, m_fontSize->value());
        post(CmdFontName, CatEdit);
    });
    connect(m_fontSize, &QSpinBox::valueChanged, this, [this](int size) {
        if (Outline::FCount(m_outline) == 0)
            return;
        if (m_sizeSet) {
            m_sizeSet = false;
            return;
        }
        if (m_syncing)
            return;
        m_selFont->PSet(m_fontName->currentIndex(), size);
        post(CmdFontSize, CatEdit);
    });
    m_format->addSeparator();
    auto toggle = [this](const char *name, const char *iconName, const char *hint, quint8 on, quint8 off) {
        QToolButton *b = commandButton(m_format, name, iconName, QString::fromLatin1(hint));
        b->setCheckable(true);
        connect(b, &QToolButton::clicked, this, [this, b, on, off] {
            if (!m_syncing)
                post(b->isChecked() ? on : off, CatEdit);
        });
        return b;
    };
    m_bold = toggle("boldbutton", "bold", "GRAS", CmdBoldOn, CmdBoldOff);
    m_italic = toggle("ItalicButton", "italic", "ITALIQUE", CmdItalicOn, CmdItalicOff);
    m_underline = toggle("UnderlineButton", "underline", "SOULIGNE", CmdUnderlineOn, CmdUnderlineOff);
    m_format->addSeparator();
    m_alignGroup = new QButtonGroup(this);
    m_alignGroup->setExclusive(true);
    auto align = [this](const char *name, const char *iconName, const char *hint, quint8 command) {
        QToolButton *b = commandButton(m_format, name, iconName, QString::fromLatin1(hint));
        b->setCheckable(true);
        m_alignGroup->addButton(b);
        connect(b, &QToolButton::clicked, this, [this, command] {
            if (!m_syncing)
                post(command, CatEdit);
        });
        return b;
    };
    m_alignLeft = align("BtLeftAlign", "alignleft", "ALIGNEMENT A GAUCHE", CmdAlignLeft);
    m_alignCenter = align("BtCenterText", "aligncenter", "CENTRER", CmdAlignCenter);
    m_alignRight = align("BtRightAlign", "alignright", "ALIGNEMENT A DROITE", CmdAlignRight);
    m_alignLeft->setChecked(true);
}

void TFrmKivHelp::buildBands()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    m_panelGauge = new QWidget(central);
    m_panelGauge->setObjectName(QStringLiteral("PanelGauge"));
    auto *gaugeLayout = new QGridLayout(m_panelGauge);
    gaugeLayout->setContentsMargins(0, 0, 0, 0);
    m_gauge = new QProgressBar(m_panelGauge);
    m_gauge->setObjectName(QStringLiteral("GaugeMaxProjectSize"));
    m_gauge->setToolTip(QStringLiteral("GAUGE DE TAILLE MAXIMUM DU PROJET"));
    m_gauge->setRange(0, int(kMaxProjectSize));
    m_gauge->setValue(0);
    m_gauge->setTextVisible(false);
    m_gauge->setFixedHeight(22);
    m_waitFor = new TCWaitFor(m_panelGauge);
    m_waitFor->setAAMsgCol(Qt::red);
    m_waitFor->setAABackCol(QColor());
    QFont waitFont = m_waitFor->font();
    waitFont.setBold(true);
    waitFont.setPixelSize(13);
    m_waitFor->setFont(waitFont);
    m_waitFor->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    m_waitFor->setIndent(8);
    gaugeLayout->addWidget(m_gauge, 0, 0);
    gaugeLayout->addWidget(m_waitFor, 0, 0);
    layout->addWidget(m_panelGauge);

    m_topicPanel = new QWidget(central);
    m_topicPanel->setObjectName(QStringLiteral("TopicPanel"));
    auto *topicLayout = new QHBoxLayout(m_topicPanel);
    topicLayout->setContentsMargins(4, 2, 4, 2);
    auto *lbTopic = new QLabel(QStringLiteral("Saisir le nom de la page ici     :"), m_topicPanel);
    lbTopic->setObjectName(QStringLiteral("LbTopic"));
    m_edNewPage = new QLineEdit(QString::fromUtf8("Page numéro 1"), m_topicPanel);
    m_edNewPage->setObjectName(QStringLiteral("EdNewPage"));
    m_edNewPage->installEventFilter(this);
    topicLayout->addWidget(lbTopic);
    topicLayout->addWidget(m_edNewPage, 3);
    // The shown page's index keywords, besides its name.
    auto *lbKeywords = new QLabel(QString::fromUtf8("Mots-clés :"), m_topicPanel);
    lbKeywords->setObjectName(QStringLiteral("LbKeywords"));
    m_edKeywords = new QLineEdit(m_topicPanel);
    m_edKeywords->setObjectName(QStringLiteral("EdKeywords"));
    m_edKeywords->setPlaceholderText(QString::fromUtf8("mot; autre mot; parent, enfant"));
    m_edKeywords->setToolTip(QString::fromUtf8("Mots-clés de l'index pour cette page, séparés par « ; » "
                                               "(« parent, enfant » pour un second niveau)"));
    m_edKeywords->setEnabled(false);
    lbKeywords->setBuddy(m_edKeywords);
    topicLayout->addWidget(lbKeywords);
    topicLayout->addWidget(m_edKeywords, 2);
    layout->addWidget(m_topicPanel);

    auto *split = new QSplitter(Qt::Vertical, central);
    m_topLeftPanel = new QWidget(split);
    m_topLeftPanel->setObjectName(QStringLiteral("TopLeftPanel"));
    auto *outlineLayout = new QVBoxLayout(m_topLeftPanel);
    outlineLayout->setContentsMargins(0, 0, 0, 0);
    m_project = new TCProject(this);
    m_outline = new TOutlineView(m_project, m_topLeftPanel);
    m_outline->setObjectName(QStringLiteral("OutlineHelp"));
    QFont outlineFont = m_outline->font();
    outlineFont.setBold(true);
    outlineFont.setPixelSize(13);
    m_outline->setFont(outlineFont);
    QPalette pal = m_outline->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    m_outline->setPalette(pal);
    // The page shown follows the outline's current row, by mouse or keys.
    connect(m_outline, &QTreeView::clicked, this, [] { post(CmdSelTopic, CatEdit); });
    connect(m_outline->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &now) {
        if (now.isValid() && m_outline->hasFocus())
            post(CmdSelTopic, CatEdit);
    });
    // Topics are dragged to their place; the drop itself is done by the
    // tree editing routine (which keeps the root first and alone).
    m_outline->setDragEnabled(true);
    m_outline->setAcceptDrops(true);
    m_outline->setDragDropMode(QAbstractItemView::InternalMove);
    m_outline->viewport()->installEventFilter(this);
    m_outline->installEventFilter(this);
    outlineLayout->addWidget(m_outline);
    m_panelHelp = new QWidget;
    m_panelHelp->setObjectName(QStringLiteral("PanelHelp"));
    m_panelHelp->setToolTip(QStringLiteral("Clickez le bouton droit de votre souris pour obtenir le menu popup"));
    auto *helpLayout = new QVBoxLayout(m_panelHelp);
    helpLayout->setContentsMargins(0, 0, 0, 0);
    // The editor, and beside it the page as the reader will see it.
    auto *sideBySide = new QSplitter(Qt::Horizontal, split);
    sideBySide->setObjectName(QStringLiteral("EditorPreviewSplit"));
    sideBySide->setChildrenCollapsible(true);
    sideBySide->addWidget(m_panelHelp);
    m_preview = new TPreviewPane(m_project, [this] { return m_outline->shownTopic(); }, sideBySide);
    sideBySide->addWidget(m_preview);
    sideBySide->setStretchFactor(0, 3);
    sideBySide->setStretchFactor(1, 2);
    sideBySide->setSizes({3000, 2000}); // in proportion, before the first layout
    split->addWidget(m_topLeftPanel);
    split->addWidget(sideBySide);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    layout->addWidget(split, 1);

    // The one editor: it shows the outline's current page.
    U_REditServ::FCreateRichEdit(m_editor, 45000, nullptr, m_panelHelp, this);
    m_editor->setObjectName(QStringLiteral("TopicEditor"));
    m_outline->setEditor(m_editor);
    // A double-click on a picture or a link, or Enter on it, opens it.
    m_editor->onOpenObject = [] { post(CmdEditObject, CatEdit); };
    // The line and column follow the caret at once.
    connect(m_editor, &QTextEdit::cursorPositionChanged, this, &TFrmKivHelp::updateCaretStatus);
    // Pictures pasted or dropped onto the text go in as the picture command
    // puts them (copied into the picture folder, refused when unreadable).
    m_editor->onPictures = [this](const QMimeData *data) {
        if (!Globale::PConf || !Globale::PConf->PIni || m_editor->isReadOnly())
            return false;
        const QString folder = Globale::PConf->PIni->BMP.get();
        static const QStringList kinds{"bmp", "png", "jpg", "jpeg", "gif", "shg", "mrb", "wmf"};
        QStringList files;
        for (const QUrl &url : data->urls())
            if (url.isLocalFile() && kinds.contains(QFileInfo(url.toLocalFile()).suffix().toLower()))
                files << url.toLocalFile();
        // Text copied with a picture of itself (word processors offer both)
        // stays text; a picture copied alone, or with its address, is a picture.
        const QString text = data->hasText() ? data->text().trimmed() : QString();
        const bool pictureAlone = data->hasImage() && (text.isEmpty() || !text.contains(u' '));
        if (files.isEmpty() && !pictureAlone)
            return false;
        for (const QString &file : files)
            if (KIVHelpTools::FAddBmpFile(file, folder, true, m_outline).Category != 0)
                break;
        if (files.isEmpty())
            KIVHelpTools::FAddBmpImage(qvariant_cast<QImage>(data->imageData()), folder, true, m_outline);
        return true;
    };
    // The keywords field follows the shown page; what is typed is the page's.
    connect(m_project, &QAbstractItemModel::dataChanged, this, &TFrmKivHelp::updateTitle); // a page renamed
    connect(m_outline, &TOutlineView::topicShown, this, [this](TTopic *topic) {
        updateTitle();
        m_edKeywords->setEnabled(topic != nullptr);
        m_edKeywords->setText(topic ? topic->keywords : QString());
        m_preview->scheduleRefresh(0);
    });
    // The preview follows the text a moment after typing stops, and a
    // picture file changed in the picture folder.
    connect(m_editor, &QTextEdit::textChanged, m_preview, [this] { m_preview->scheduleRefresh(); });
    connect(m_outline->objects(), &Markers::TObjectPainter::picturesChanged, m_preview, [this] { m_preview->scheduleRefresh(); });
    // A jump clicked in the preview shows its page in the editor.
    connect(m_preview, &TPreviewPane::jumpRequested, this, [this](int position) {
        if (TTopic *topic = m_project->FTopicAt(position)) {
            m_outline->setCurrentIndex(m_project->FIndexOf(topic));
            post(CmdSelTopic, CatEdit);
        }
    });
    connect(m_edKeywords, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (TTopic *topic = m_outline->shownTopic(); topic && topic->keywords != text) {
            topic->keywords = text;
            m_project->outlineChanged = true;
            PMarkModified();
            if (!m_readOnly) // the recovery copy keeps them too
                m_recoveryTimer->start();
        }
    });

    // Hidden helpers of the topic area.
    U_REditServ::FCreateRichEdit(m_globalRichMemo, 45000, nullptr, nullptr, this);
    m_globalRichMemo->setParent(m_panelHelp);
    m_globalRichMemo->setObjectName(QStringLiteral("GlobalRichMemo"));
    m_globalRichMemo->hide();
    auto *bmpList = new QListWidget(m_panelHelp);
    bmpList->setObjectName(QStringLiteral("FileListBoxbmp"));
    bmpList->hide();
    m_compileMemo = new QPlainTextEdit(m_panelHelp);
    m_compileMemo->setObjectName(QStringLiteral("CompileMemo"));
    m_compileMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_compileMemo->hide();

    setCentralWidget(central);

    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("TopicStatusBar"));
    bar->setSizeGripEnabled(false);
    const int widths[6] = {150, 80, 200, 90, 90, 70};
    for (int i = 0; i < 6; ++i) {
        m_status[i] = new QLabel(bar);
        m_status[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        m_status[i]->setFixedWidth(widths[i]);
        m_status[i]->setFrameShape(QFrame::Panel);
        m_status[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(m_status[i]);
    }
    m_status[0]->setText(QStringLiteral("Lig :       Col :"));
}

QAction *TFrmKivHelp::action(QMenu *menu, const char *name, const QString &caption, const QKeySequence &key)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

void TFrmKivHelp::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuHelp"));
    auto connectPost = [this](QAction *a, quint8 command, quint8 category) {
        connect(a, &QAction::triggered, this, [command, category] { post(command, category); });
    };

    QMenu *file = bar->addMenu(QStringLiteral("&Fichier"));
    file->setObjectName(QStringLiteral("MenuFichier"));
    connectPost(action(file, "MenuOuvrirFichier", QStringLiteral("&Ouvrir un PROJET"), QKeySequence(Qt::CTRL | Qt::Key_O)), CmdOpenPrj, CatApp);
    connectPost(action(file, "Newproject", QStringLiteral("&Nouveau PROJET"), QKeySequence(Qt::CTRL | Qt::Key_N)), CmdNewPrj, CatApp);
    connectPost(action(file, "ImportHelp", QString::fromUtf8("&Importer une aide existante…")), CmdImportHelp, CatApp);
    connectPost(action(file, "SaveFile", QStringLiteral("&Sauvegarder le PROJET"), QKeySequence(Qt::CTRL | Qt::Key_S)), CmdSavePrj, CatApp);
    connectPost(action(file, "SaveAs", QString::fromUtf8("Enregistrer so&us…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)), CmdSaveAs, CatApp);
    connectPost(action(file, "CloseFile", QStringLiteral("Ferm&er le PROJET")), CmdClosePrj, CatApp);
    connectPost(action(file, "DELPROJECT", QStringLiteral("Eff&acer le PROJET courant")), CmdDelPrj, CatApp);
    file->addSeparator();
    connectPost(action(file, "Exitprog", QStringLiteral("&Sortir du Programme")), CmdExit, CatApp);
    QAction *l1 = file->addSeparator();
    l1->setObjectName(QStringLiteral("L1"));
    l1->setVisible(false);
    l1->setEnabled(false);
    for (int i = 0; i < 3; ++i) {
        QAction *a = action(file, i == 0 ? "LastProject1" : i == 1 ? "LastProject2" : "LastProject3", QString());
        a->setVisible(false);
        // An entry shows once the project list gives it a caption.
        connect(a, &QAction::changed, this, [a] {
            if (a->isVisible() == a->text().isEmpty())
                a->setVisible(!a->text().isEmpty());
        });
        connect(a, &QAction::triggered, this, [this, a] {
            const QString entry = TCPrjList::FEntryOf(a);
            m_prjList.PrjToOpen = entry;
            Actions::PSetPrjToOpen(entry);
            post(CmdOpenLastPrj, CatApp);
        });
        m_lastProject[i] = a;
    }

    QMenu *edit = bar->addMenu(QStringLiteral("&Edition"));
    edit->setObjectName(QStringLiteral("MenuEdition"));
    edit->setToolTip(QStringLiteral("WARNING : Too big or too much Copy and Paste may corrupt the Project"));
    edit->setToolTipsVisible(true);
    // Ctrl+Z is the full screen's: undo and redo take keys no other item uses.
    connectPost(action(edit, "Undo", QStringLiteral("Annuler la frappe"), QKeySequence(Qt::ALT | Qt::Key_Backspace)), CmdUndo, CatEdit);
    connectPost(action(edit, "Redo", QStringLiteral("Rétablir la frappe"), QKeySequence(Qt::CTRL | Qt::Key_Y)), CmdRedo, CatEdit);
    // The outline's edits (pages added, deleted, emptied, moved, renamed)
    // have their own history; the items say what they would undo.
    QAction *outlineUndo = action(edit, "OutlineUndo", QStringLiteral("Annuler dans le plan"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace));
    QAction *outlineRedo = action(edit, "OutlineRedo", QStringLiteral("Rétablir dans le plan"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Y));
    connectPost(outlineUndo, CmdOutlineUndo, CatEdit);
    connectPost(outlineRedo, CmdOutlineRedo, CatEdit);
    const auto caption = [](const QString &base, const QString &what) { return what.isEmpty() ? base : base + QStringLiteral(" : ") + what; };
    connect(m_outline->undoStack(), &QUndoStack::undoTextChanged, outlineUndo, [outlineUndo, caption](const QString &what) {
        outlineUndo->setText(caption(QStringLiteral("Annuler dans le plan"), what));
    });
    connect(m_outline->undoStack(), &QUndoStack::redoTextChanged, outlineRedo, [outlineRedo, caption](const QString &what) {
        outlineRedo->setText(caption(QStringLiteral("Rétablir dans le plan"), what));
    });
    edit->addSeparator();
    connectPost(action(edit, "Cut", QStringLiteral("Couper"), QKeySequence(Qt::CTRL | Qt::Key_X)), CmdCut, CatEdit);
    connectPost(action(edit, "Copy", QStringLiteral("Copier"), QKeySequence(Qt::CTRL | Qt::Key_C)), CmdCopy, CatEdit);
    connectPost(action(edit, "Paste", QStringLiteral("Coller"), QKeySequence(Qt::CTRL | Qt::Key_V)), CmdPaste, CatEdit);
    connectPost(action(edit, "Search", QStringLiteral("Chercher"), QKeySequence(Qt::CTRL | Qt::Key_F)), CmdFind, CatEdit);
    connectPost(action(edit, "Replace", QStringLiteral("Remplacer"), QKeySequence(Qt::CTRL | Qt::Key_R)), CmdReplace, CatEdit);
    edit->addSeparator();
    QMenu *tree = edit->addMenu(QStringLiteral("&Arborescence des pages"));
    tree->setObjectName(QStringLiteral("MenuTree"));
    connectPost(action(tree, "TopicUp", QStringLiteral("Monter la page"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up)), CmdTopicUp, CatEdit);
    connectPost(action(tree, "TopicDown", QStringLiteral("Descendre la page"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down)), CmdTopicDown, CatEdit);
    connectPost(action(tree, "TopicIndent", QString::fromUtf8("En faire une sous-page de la page au-dessus"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right)),
                CmdTopicIndent, CatEdit);
    connectPost(action(tree, "TopicOutdent", QString::fromUtf8("La remonter d'un niveau"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left)),
                CmdTopicOutdent, CatEdit);
    connectPost(action(tree, "RenameTopic", QStringLiteral("Renommer la page"), QKeySequence(Qt::Key_F2)), CmdRenameTopic, CatEdit);
    tree->addSeparator();
    connectPost(action(tree, "DeleteTopic", QStringLiteral("Supprimer la page"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Delete)),
                CmdDelTopic, CatEdit);

    // What the tool bars do, in the menus with keys of their own.
    QMenu *insert = edit->addMenu(QString::fromUtf8("&Insérer"));
    insert->setObjectName(QStringLiteral("MenuInsert"));
    connectPost(action(insert, "InsertBmp", QString::fromUtf8("Une &image"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I)),
                CmdAddBmp, CatEdit);
    connectPost(action(insert, "InsertJump", QString::fromUtf8("Un &saut vers une page"), QKeySequence(Qt::CTRL | Qt::Key_K)),
                CmdAddJump, CatEdit);
    connectPost(action(insert, "InsertPopup", QString::fromUtf8("Une &fenêtre surgissante"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K)),
                CmdAddPopup, CatEdit);
    connectPost(action(insert, "InsertExec", QString::fromUtf8("Un appel de &programme"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X)),
                CmdAddExec, CatEdit);
    connectPost(action(edit, "EditTitles", QString::fromUtf8("Paramétrage des &titres"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)),
                CmdTitles, CatEdit);
    QMenu *format = edit->addMenu(QStringLiteral("&Format du texte"));
    format->setObjectName(QStringLiteral("MenuFormat"));
    // Each key turns its style on or off, as its button shows.
    const auto styleKey = [this, format](const char *name, const QString &caption, QKeySequence key, QToolButton **button,
                                         quint8 on, quint8 off) {
        connect(action(format, name, caption, key), &QAction::triggered, this, [this, button, on, off] {
            if (m_syncing || Outline::FCount(m_outline) == 0)
                return;
            const bool now = !(*button)->isChecked();
            (*button)->setChecked(now);
            post(now ? on : off, CatEdit);
        });
    };
    styleKey("KeyBold", QStringLiteral("Gras"), QKeySequence(Qt::CTRL | Qt::Key_B), &m_bold, CmdBoldOn, CmdBoldOff);
    styleKey("KeyItalic", QStringLiteral("Italique"), QKeySequence(Qt::CTRL | Qt::Key_I), &m_italic, CmdItalicOn, CmdItalicOff);
    styleKey("KeyUnderline", QString::fromUtf8("Souligné"), QKeySequence(Qt::CTRL | Qt::Key_U), &m_underline, CmdUnderlineOn,
             CmdUnderlineOff);
    QAction *menuKey = action(edit, "ContextMenuKey", QStringLiteral("Menu contextuel"), QKeySequence(Qt::SHIFT | Qt::Key_F10));
    connect(menuKey, &QAction::triggered, this, &TFrmKivHelp::PShowPopupAtCaret);

    QMenu *conf = bar->addMenu(QStringLiteral("&Configurer/Compiler"));
    conf->setObjectName(QStringLiteral("Param"));
    connect(conf, &QMenu::aboutToShow, this, [] { post(CmdConfMenu, CatApp); });
    connectPost(action(conf, "MenuConfigSoft", QStringLiteral("Configuration du Programme")), CmdSoftConf, CatApp);
    connectPost(action(conf, "MenuHPJ", QStringLiteral("Configuration du Projet (HP&J)")), CmdPrjConf, CatApp);
    connectPost(action(conf, "HelpCreate", QStringLiteral("Créa&tion du fichier d'Aide HLP"), QKeySequence(Qt::Key_F9)),
                CmdCreateHlp, CatApp);
    connectPost(action(conf, "PreViewHlp", QStringLiteral("&Visualisation du fichier d'Aide HLP"), QKeySequence(Qt::Key_F5)),
                CmdViewHlp, CatApp);
    connectPost(action(conf, "PreViewWeb", QStringLiteral("Visualisation des &pages web"), QKeySequence(Qt::SHIFT | Qt::Key_F5)),
                CmdViewWeb, CatApp);
    // The preview pane beside the editor, shown or put away.
    QAction *preview = action(conf, "ShowPreview", QString::fromUtf8("&Aperçu de la page à côté du texte"), QKeySequence(Qt::Key_F6));
    preview->setCheckable(true);
    preview->setChecked(true);
    connect(preview, &QAction::toggled, m_preview, &QWidget::setVisible);

    QMenu *help = bar->addMenu(QStringLiteral("A&ide"));
    help->setObjectName(QStringLiteral("MenuAide"));
    connectPost(action(help, "HelpKIVMenu", QStringLiteral("A&ide"), QKeySequence(Qt::Key_F1)), CmdHelp, CatApp);
    connectPost(action(help, "AboutMenu", QStringLiteral("&Info sur KIV fr")), CmdAbout, CatApp);

    QAction *macros = bar->addAction(QStringLiteral("Edition des commandes &Macros"));
    macros->setObjectName(QStringLiteral("EDITRTFLINE"));
    connect(macros, &QAction::triggered, this, &TFrmKivHelp::PEditCommandLine);
}

void TFrmKivHelp::buildPopup()
{
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenuScreen"));
    m_popup->setToolTipsVisible(true);
    auto connectPost = [this](QAction *a, quint8 command, quint8 category) {
        connect(a, &QAction::triggered, this, [command, category] { post(command, category); });
    };
    QAction *shortcut = action(m_popup, "ShortcutTOPIC", QString::fromUtf8("Création directe de Page"));
    shortcut->setToolTip(QStringLiteral("SELECT TEXT BEFORE USING THIS COMMAND !"));
    connectPost(shortcut, CmdQuickTopic, CatEdit);
    connectPost(action(m_popup, "JumptoTOPIC", QStringLiteral("Saut vers une Page")), CmdAddJump, CatEdit);
    connectPost(action(m_popup, "PopupTOPIC", QString::fromUtf8("Insérer une fenêtre surgissante")), CmdAddPopup, CatEdit);
    connectPost(action(m_popup, "EditObject", QString::fromUtf8("Modifier l'image ou le lien")), CmdEditObject, CatEdit);
    m_popup->addSeparator();
    QAction *full = action(m_popup, "FullScreen", QString::fromUtf8("Plein écran"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(full, &QAction::triggered, this, &TFrmKivHelp::PFullScreen);
    QAction *reduce = action(m_popup, "ReduceScreen", QString::fromUtf8("Réduire l'écran"), QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(reduce, &QAction::triggered, this, &TFrmKivHelp::PReduceScreen);
    addAction(full);
    addAction(reduce);
    m_popup->addSeparator();
    connect(action(m_popup, "SelTextFont1", QStringLiteral("Sélection fonte texte")), &QAction::triggered, this, [this] {
        if (m_syncing)
            return;
        m_selFont->PSet(m_fontName->currentIndex(), m_fontSize->value());
        m_selFont->show();
        m_selFont->raise();
    });
    connectPost(action(m_popup, "SetTextColor", QStringLiteral("Sélection couleur texte")), CmdTextColor, CatEdit);
    m_popup->addSeparator();
    QMenu *align = m_popup->addMenu(QStringLiteral("Alignement"));
    align->setObjectName(QStringLiteral("PopAlign"));
    auto alignItem = [&](const char *name, const QString &caption, quint8 command, QToolButton **button) {
        connect(action(align, name, caption), &QAction::triggered, this, [this, command, button] {
            post(command, CatEdit);
            (*button)->setChecked(true);
        });
    };
    alignItem("AlignLeft", QString::fromUtf8("< Texte à Gauche"), CmdAlignLeft, &m_alignLeft);
    alignItem("CenterText", QStringLiteral("Centrer le Texte"), CmdAlignCenter, &m_alignCenter);
    alignItem("AlignRight", QString::fromUtf8("> Text à Droite"), CmdAlignRight, &m_alignRight);
    m_popup->addSeparator();
    QMenu *styles = m_popup->addMenu(QStringLiteral("Formatage Texte (GIS)"));
    styles->setObjectName(QStringLiteral("PopSetTextBIU"));
    auto styleItem = [&](const char *name, const QString &caption, quint8 command, QToolButton **button, bool down) {
        connect(action(styles, name, caption), &QAction::triggered, this, [command, button, down] {
            post(command, CatEdit);
            (*button)->setChecked(down);
        });
    };
    styleItem("SetTextBold", QStringLiteral("Texte Gras"), CmdBoldOn, &m_bold, true);
    styleItem("USetTextBold1", QStringLiteral("UTexte Gras"), CmdBoldOff, &m_bold, false);
    styleItem("SetTextItalic", QStringLiteral("Texte Italique"), CmdItalicOn, &m_italic, true);
    styleItem("USetTextItalic1", QStringLiteral("UTexte Italique"), CmdItalicOff, &m_italic, false);
    styleItem("SetTextUnderline", QString::fromUtf8("Texte Souligné"), CmdUnderlineOn, &m_underline, true);
    styleItem("USetTextUnderline1", QString::fromUtf8("UTexte Souligné"), CmdUnderlineOff, &m_underline, false);
    m_popup->addSeparator();
    connectPost(action(m_popup, "PopExit", QStringLiteral("Sortir du Programme")), CmdExit, CatApp);
}

// ---- start-up ----

TErrorContext &TFrmKivHelp::FInitUnit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(m_unitCtx, QString::fromLatin1(KivAppName), QStringLiteral("U_KivHlp"), active, trace,
                        destination);
}

TErrorContext &TFrmKivHelp::FInit(bool active, bool trace, quint8 destination, TConfBlock *conf)
{
    FDeriveErrCtx(m_unitCtx, m_ctx, QStringLiteral("TFrmKivHelp"), objectName(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));
    if (!conf)
        return sub.report(8, QStringLiteral("PConf"), 2);
    m_conf = conf;
    m_display.MainWindow = this;
    m_display.PanelHelp = m_panelHelp;
    m_display.OutlineHelp = m_outline;
    m_display.CompileMemo = m_compileMemo;
    m_display.WaitFor = m_waitFor;
    m_display.OnChange = [this](QObject *sender) { onTextChange(sender); };
    m_display.OnSelectionChange = [this](QObject *) { SelectionChange(); };
    m_display.OnEnter = [](QObject *sender) {
        if (auto *edit = qobject_cast<QTextEdit *>(sender))
            edit->setOverwriteMode(false);
    };
    m_display.OnKeyDown = [](QObject *, int, Qt::KeyboardModifiers) {};
    KIVHelpTools::PBindControl(m_editor, m_display);
    return sub.report(0);
}

TErrorContext &TFrmKivHelp::FInitDisplay(TConfBlock *conf)
{
    TSubGuard sub(m_ctx, QStringLiteral("FInitDisplay"));
    if (!conf || !conf->WinFntList)
        return sub.report(8, QStringLiteral("PConf^.WinFntList"), 2);
    m_conf = conf;
    const TStartSwitches &sw = Startup::VGSwitches;
    m_prjList.FInit(sw.Active, sw.Trace, &conf->PIni->NB_LASTPROJECTS, conf->PIni->LASTPROJECT, 3, sw.Destination);
    for (int i = 0; i < 3; ++i)
        m_prjList.PSetMenuItem(i, m_lastProject[i]);
    m_prjList.PUpDate();
    m_fontName->clear();
    m_fontName->addItems(*conf->WinFntList);
    m_fontName->setCurrentIndex(conf->WinFntList->isEmpty() ? -1 : 0);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->availableGeometry().size();
        resize(size);
        if (QSplitter *split = splitterOf(m_topLeftPanel))
            split->setSizes({size.height() / 4, size.height() / 4 * 3});
    }
    return sub.report(0);
}

void TFrmKivHelp::showMainMaximized()
{
    // Without a window manager, maximising does nothing: fill the screen.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
}

void TFrmKivHelp::enableStatusTimer() { m_statusTimer->start(); }

void TFrmKivHelp::refreshFontLists(const QStringList &fonts)
{
    m_selFont->PFill(fonts);
    m_titles->PSetFontList(fonts);
    m_outline->setTextFont(TTopicDocument::FDefaultFont(fonts.value(0)));
    // Pictures are drawn from the bitmap folder the settings name.
    if (Globale::PConf && Globale::PConf->PIni)
        m_outline->objects()->setPictureFolder(Globale::PConf->PIni->BMP.get());
}

// ---- operations ----

TRichEdit *TFrmKivHelp::FCurrentControl() const
{
    if (Outline::FCount(m_outline) == 0)
        return nullptr;
    return KIVHelpTools::FCurrentControl(m_outline);
}

QString TFrmKivHelp::FrmFShowSelTopic()
{
    TSubGuard sub(m_ctx, QStringLiteral("FrmFShowSelTopic"));
    const int count = Outline::FCount(m_outline);
    if (count == 0) {
        sub.report(4, QString(), 0);
        return {};
    }
    // Leaving a topic: its recovery copy is brought up to date now.
    if (m_recoveryTimer->isActive())
        PWriteRecovery();
    TRichEdit *current = FCurrentControl();
    if (!current) {
        sub.report(4, QString(), 13);
        return {};
    }
    current->show();
    // Chosen in the outline, the page shows and the outline keeps the keys
    // (arrows, F2, the tree keys); added by its name, the name field keeps
    // them, for the next name; chosen otherwise, the text takes them.
    if (!m_outline->hasFocus() && !m_edNewPage->hasFocus())
        current->setFocus();
    SelectionChange();
    sub.report(0);
    return current->toPlainText().left(255);
}

TErrorContext &TFrmKivHelp::FrmFSelTextColor(QColor *chosen)
{
    TSubGuard sub(m_ctx, QStringLiteral("FrmFSelTextColor"));
    TRichEdit *control = FCurrentControl();
    if (!control)
        return sub.report(4, QString(), 0);
    QColor colour;
    if (Platform::prompts().chooseColor(control->currentCharFormat().foreground().color(), &colour) && !m_syncing) {
        QTextCharFormat f;
        f.setForeground(colour);
        applyCharFormat(f);
        if (chosen)
            *chosen = colour;
    }
    return sub.report(0);
}

void TFrmKivHelp::applyCharFormat(const QTextCharFormat &format)
{
    if (TRichEdit *control = FCurrentControl()) {
        control->mergeCurrentCharFormat(format);
        control->setFocus();
    }
}

void TFrmKivHelp::FrmFSelFontName()
{
    if (m_syncing || m_fontName->currentIndex() < 0)
        return;
    QTextCharFormat f;
    f.setFontFamilies({m_fontName->currentText()});
    applyCharFormat(f);
}

void TFrmKivHelp::FrmFSelFontSize()
{
    if (m_syncing)
        return;
    // The size box keeps the focus while the author types a size: the
    // next digit, or the Enter that confirms it, must not reach the text.
    QTextCharFormat f;
    f.setFontPointSize(m_fontSize->value());
    if (TRichEdit *control = FCurrentControl())
        control->mergeCurrentCharFormat(f);
}

void TFrmKivHelp::FrmFSetParAlignment(Qt::Alignment alignment)
{
    if (TRichEdit *control = FCurrentControl())
        control->setAlignment(alignment);
    setAlignButtons(alignment);
}

void TFrmKivHelp::setTextStyles(int styles, bool on)
{
    if (m_syncing)
        return;
    QTextCharFormat f;
    if (styles & StyleBold)
        f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    if (styles & StyleItalic)
        f.setFontItalic(on);
    if (styles & StyleUnderline)
        f.setFontUnderline(on);
    applyCharFormat(f);
}

void TFrmKivHelp::FrmFSetTextStyle(int styles) { setTextStyles(styles, true); }
void TFrmKivHelp::FrmFUSetTextStyle(int styles) { setTextStyles(styles, false); }

void TFrmKivHelp::PMarkModified()
{
    m_waitFor->PShowWait(QString::fromUtf8("Projet modifié "), QStringLiteral(". "), 1);
    if (m_conf)
        m_conf->PPrj->PrjState = PrjModified;
}

void TFrmKivHelp::onTextChange(QObject *)
{
    TRichEdit *control = FCurrentControl();
    if (control && control->textLength() > 44999)
        Platform::prompts().plain(QStringLiteral("Maximum de pages atteint !"));
    // Once per change of state: the label need not repaint on every key.
    if (m_conf && m_conf->PPrj->PrjState != PrjModified && m_conf->PPrj->PrjState != PrjNone)
        PMarkModified();
    // The recovery copy follows once typing pauses.
    if (!m_readOnly)
        m_recoveryTimer->start();
}

void TFrmKivHelp::PWriteRecovery()
{
    m_recoveryTimer->stop();
    if (m_readOnly || !m_conf)
        return;
    // Not in the middle of a command (a save, a build): right after it.
    if (Seq::FBusy()) {
        m_recoveryTimer->start(500);
        return;
    }
    if (!KIVHelpTools::FWriteRecovery(m_conf, m_project))
        m_recoveryTimer->start(kRecoveryDelayMs * 4); // a full disk: tried again later, without a box
    m_recoveryTimer->setInterval(kRecoveryDelayMs);
}

void TFrmKivHelp::PPaintColor(const QColor &colour)
{
    // A style sheet set again costs a restyle of the swatch: only a change is.
    if (m_lbColor->property("colour").value<QColor>() == colour && !m_lbColor->styleSheet().isEmpty())
        return;
    m_lbColor->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #555;").arg(colour.name()));
    m_lbColor->setProperty("colour", colour);
}

void TFrmKivHelp::PSetReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    updateTitle();
    m_outline->setDragEnabled(!readOnly);
    m_editor->setReadOnly(readOnly);
}

void TFrmKivHelp::PDropTopic(const QPoint &at)
{
    TTopic *moved = m_outline->currentItem();
    const QModelIndex targetIndex = m_outline->indexAt(at);
    TTopic *target = m_project->FTopicOf(targetIndex);
    if (!moved || !m_conf || m_readOnly)
        return;
    if (!target) {
        // Below the last row: the page becomes the last of the outline.
        const int top = m_project->rowCount();
        if (top == 0 || m_project->FTopicOf(m_project->index(top - 1, 0)) == moved)
            return;
        if (KIVHelpTools::FPlaceTopic(m_outline, moved, nullptr, top, m_conf->PPrjFonts, true).Category == 0)
            PMarkModified();
        return;
    }
    if (target == moved)
        return;
    // The upper and lower quarters of a row put the topic before or after
    // it; the middle makes it the row's last sub-topic.
    const QRect row = m_outline->visualRect(targetIndex);
    const int y = at.y() - row.top();
    TTopic *parent = target;
    int index = int(target->children.size());
    if (y < row.height() / 4 || y > row.height() * 3 / 4) {
        parent = target->parent;
        index = m_project->FRowOf(target) + (y > row.height() * 3 / 4 ? 1 : 0);
        if (moved->parent == parent && m_project->FRowOf(moved) < index)
            --index; // taken out before it is put back
    }
    if (KIVHelpTools::FPlaceTopic(m_outline, moved, parent, index, m_conf->PPrjFonts, true).Category == 0)
        PMarkModified();
}

void TFrmKivHelp::buildMessagesDock()
{
    m_messagesDock = new QDockWidget(QStringLiteral("Messages du compilateur"), this);
    m_messagesDock->setObjectName(QStringLiteral("DockCompilerMessages"));
    m_messagesDock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable);
    m_messages = new QListWidget(m_messagesDock);
    m_messages->setObjectName(QStringLiteral("LstCompilerMessages"));
    m_messages->setToolTip(QString::fromUtf8("Double-cliquer sur un message ouvre la page dont il parle"));
    m_messagesDock->setWidget(m_messages);
    addDockWidget(Qt::BottomDockWidgetArea, m_messagesDock);
    m_messagesDock->hide();
    connect(m_messages, &QListWidget::itemActivated, this, [this](QListWidgetItem *item) {
        PGoToMessage(item->data(Qt::UserRole).isValid() ? item->data(Qt::UserRole).toString() : item->text());
    });
}

void TFrmKivHelp::updateTitle()
{
    // The project and the page being edited, as desktops list windows;
    // the program's own caption while no project is open.
    const TPrjRec *prj = m_conf ? m_conf->PPrj : nullptr;
    QString title = QStringLiteral("KIV HELP pour Windows 95 version V 2.1");
    if (prj && prj->PrjState != PrjNone && !prj->PrjName.get().isEmpty()) {
        title = prj->PrjName.get();
        if (const TTopic *shown = m_outline->shownTopic())
            title += QString::fromUtf8(" — ") + shown->name;
        title += QString::fromUtf8(" — KivHelp");
    }
    if (m_readOnly)
        title += QString::fromUtf8(" — lecture seule");
    if (title != windowTitle())
        setWindowTitle(title);
}

void TFrmKivHelp::PForgetProject()
{
    updateTitle();
    // A double-click on a message must never open a page of another project.
    m_messages->clear();
    m_messagesDock->hide();
}

void TFrmKivHelp::PShowCompilerMessages(const QStringList &messages)
{
    m_messages->clear();
    // The help sources' files ("T3.rtf, page 1") are the program's: the
    // author reads the page's name; a double-click still finds the page.
    static const QRegularExpression topicFile(QStringLiteral("\\bT(\\d+)\\.rtf(?:, page \\d+)?"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &message : messages) {
        QString shown = message;
        if (const QRegularExpressionMatch m = topicFile.match(message); m.hasMatch())
            if (const TTopic *topic = Outline::FItemAt(m_outline, m.captured(1).toInt()))
                shown.replace(m.capturedStart(), m.capturedLength(), QString::fromUtf8("page « %1 »").arg(topic->name));
        auto *item = new QListWidgetItem(shown, m_messages);
        item->setData(Qt::UserRole, message);
        const QStyle::StandardPixmap icon = message.contains(QLatin1String(": Error:"))     ? QStyle::SP_MessageBoxCritical
                                            : message.contains(QLatin1String(": Warning:")) ? QStyle::SP_MessageBoxWarning
                                                                                            : QStyle::SP_MessageBoxInformation;
        item->setIcon(style()->standardIcon(icon));
    }
    if (messages.isEmpty())
        new QListWidgetItem(QString::fromUtf8("Le compilateur n'a rien signalé."), m_messages);
    m_messagesDock->show();
}

bool TFrmKivHelp::PGoToMessage(const QString &message)
{
    static const QRegularExpression topicFile(QStringLiteral("\\bT(\\d+)\\.rtf\\b"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = topicFile.match(message);
    TTopic *item = m.hasMatch() ? Outline::FItemAt(m_outline, m.captured(1).toInt()) : nullptr;
    if (!item)
        return false;
    m_outline->setCurrentItem(item);
    FrmFShowSelTopic();
    // A jump to a context: its marker ("@_k_..._@", k the command line that
    // names the context) is selected.
    const qsizetype colon = message.lastIndexOf(QLatin1String(" : "));
    const QString context = colon < 0 ? QString() : message.mid(colon + 3).trimmed();
    TRichEdit *control = FCurrentControl();
    if (!control || context.isEmpty() || context.contains(u' '))
        return true;
    const QStringList &commands = m_project->commands;
    for (int k = 0; k < commands.size(); ++k) {
        if (!commands[k].contains(QStringLiteral("{\\v ") + context, Qt::CaseInsensitive))
            continue;
        QTextCursor found = control->document()->find(QStringLiteral("@_%1_").arg(k));
        if (found.isNull())
            continue;
        QTextCursor end = control->document()->find(QStringLiteral("_@"), found.selectionEnd());
        if (!end.isNull())
            found.setPosition(end.selectionEnd(), QTextCursor::KeepAnchor);
        control->setTextCursor(found);
        break;
    }
    return true;
}

QString TFrmKivHelp::newPageText() const { return m_edNewPage->text().left(255); }

void TFrmKivHelp::PNewPageTaken() { m_edNewPage->clear(); }

bool TFrmKivHelp::FRunSoftConf(TConfBlock *conf)
{
    m_softConf->PFill(conf);
    m_softConf->exec();
    if (m_softConf->Confirmed)
        m_softConf->PStore(conf);
    return m_softConf->Confirmed;
}

bool TFrmKivHelp::FRunPrjConf(TConfBlock *conf)
{
    m_prjConf->PFill(conf);
    m_prjConf->exec();
    if (m_prjConf->Confirmed)
        m_prjConf->PStore(conf);
    return m_prjConf->Confirmed;
}

bool TFrmKivHelp::FRunTitles(int topicIndex, const QString &topicName, TConfBlock *conf)
{
    m_titles->PFill(topicIndex, topicName, conf);
    m_titles->exec();
    return m_titles->Confirmed && m_titles->PStore(m_compileMemo, conf);
}

void TFrmKivHelp::PShowFindDialog(bool replace)
{
    TFindDialog *dialog = replace ? m_replace : m_find;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

int TFrmKivHelp::FSelectedIndex() const { return Outline::FPositionOf(m_outline, m_outline->currentItem()); }
int TFrmKivHelp::FTopicCount() const { return Outline::FCount(m_outline); }
QString TFrmKivHelp::FSelText() const { return KIVHelpTools::FSelectedText(FCurrentControl()); }

void TFrmKivHelp::setAlignButtons(Qt::Alignment a)
{
    QToolButton *down = (a & Qt::AlignHCenter) ? m_alignCenter : (a & Qt::AlignRight) ? m_alignRight : m_alignLeft;
    down->setChecked(true);
}

void TFrmKivHelp::SelectionChange()
{
    TRichEdit *control = FCurrentControl();
    if (!control)
        return;
    m_syncing = true;
    const QTextCharFormat f = control->currentCharFormat();
    m_bold->setChecked(f.fontWeight() >= QFont::DemiBold);
    m_italic->setChecked(f.fontItalic());
    m_underline->setChecked(f.fontUnderline());
    PPaintColor(f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor(Qt::black));
    const qreal pt = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize()
                                                                : control->document()->defaultFont().pointSizeF();
    const int size = qBound(m_fontSize->minimum(), int(pt + 0.5), m_fontSize->maximum());
    // Only a real change raises the size event that is then ignored.
    if (m_fontSize->value() != size) {
        m_sizeSet = true;
        m_fontSize->setValue(size);
    }
    const QStringList families = f.fontFamilies().toStringList();
    const QString family = families.isEmpty() ? control->document()->defaultFont().family() : families.first();
    m_fontName->setCurrentIndex(m_fontName->findText(family));
    m_selFont->PSet(m_fontName->currentIndex(), size);
    m_alignGroup->setExclusive(false);
    m_alignLeft->setChecked(false);
    m_alignCenter->setChecked(false);
    m_alignRight->setChecked(false);
    m_alignGroup->setExclusive(true);
    setAlignButtons(control->alignment());
    m_syncing = false;
}

qint64 TFrmKivHelp::FProjectSize(const TOutlineView *outline)
{
    const int count = Outline::FCount(outline);
    if (count == 0)
        return -1;
    qint64 size = 0;
    for (int n = 1; n <= count; ++n)
        size += 550 + textLength(Outline::FItemAt(outline, n));
    return size;
}

QColor TFrmKivHelp::FGaugeColor(qint64 size)
{
    if (size > 950000)
        return QColor(255, 0, 0);
    if (size > 800000)
        return QColor(255, 0, 255);
    return QColor(0, 128, 0);
}

void TFrmKivHelp::updateCaretStatus()
{
    if (!m_status[0])
        return; // the status line is not made yet
    TRichEdit *control = FCurrentControl();
    const QTextCursor c = control ? control->textCursor() : QTextCursor();
    const QString text = QString::asprintf("Lig: %3d   Col: %3d", c.isNull() ? 1 : c.blockNumber() + 1,
                                           c.isNull() ? 1 : c.positionInBlock() + 1);
    if (m_status[0]->text() != text)
        m_status[0]->setText(text);
}

void TFrmKivHelp::PStatusTick()
{
    m_statusTimer->setInterval(1000);
    const qint64 size = FProjectSize(m_outline);
    if (size >= 0) {
        TRichEdit *control = FCurrentControl();
        updateCaretStatus();
        m_status[1]->setText(m_conf && m_conf->PPrj->PrjState == PrjModified ? QString::fromUtf8("Modifié") : QString());
        const QLocale locale = QLocale::system();
        const QDateTime now = QDateTime::currentDateTime();
        // The long time format without its time-zone name, which the panel
        // has no room for.
        const QString timeFormat = locale.timeFormat(QLocale::LongFormat).remove(u't').trimmed();
        m_status[2]->setText(QStringLiteral("Date   :   ") + locale.toString(now.date(), QLocale::ShortFormat)
                             + u' ' + locale.toString(now.time(), timeFormat));
        m_status[3]->setText(control && control->overwriteMode() ? QStringLiteral("REMPLACE") : QStringLiteral("INSERTION"));
        const Platform::LockState locks = Platform::keyboardLocks();
        m_status[4]->setText(locks.numLock ? QStringLiteral("NUMERIQUE") : QString());
        m_status[5]->setText(locks.capsLock ? QStringLiteral("MAJUSCULE") : QString());
    }
    if (size > kMaxProjectSize) {
        // Asked again in 10 s; a box still open is not doubled meanwhile.
        m_statusTimer->setInterval(10000);
        if (!m_sizeAlarm) {
            m_sizeAlarm = true;
            Platform::prompts().plain(QString::fromUtf8("La taille maximum du Project a été atteinte !"));
            m_sizeAlarm = false;
        }
        return;
    }
    const QColor colour = FGaugeColor(size);
    m_gauge->setValue(int(qMax<qint64>(0, size)));
    m_gauge->setProperty("barColour", colour);
    m_gauge->setStyleSheet(QStringLiteral("QProgressBar::chunk { background-color: %1; }").arg(colour.name()));
}

void TFrmKivHelp::PFullScreen()
{
    // Pressed again, the key gives the outline back.
    if (!m_topLeftPanel->isVisible() && isVisible()) {
        PReduceScreen();
        return;
    }
    m_topLeftPanel->hide();
    m_waitFor->clear();
    m_gauge->hide();
}

void TFrmKivHelp::PReduceScreen()
{
    if (m_topLeftPanel->isVisible())
        return;
    m_topLeftPanel->show();
    if (QSplitter *split = splitterOf(m_topLeftPanel)) {
        const int h = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size().height() : height();
        split->setSizes({h / 2, h - h / 2});
    }
    m_gauge->show();
}

void TFrmKivHelp::PEditCommandLine()
{
    const QString caption = QStringLiteral("Editeur de Commandes RTF");
    const QString prompt = QString::fromUtf8("Veuillez entrer la commande à éditer");
    QString answer;
    if (!Platform::prompts().inputText(caption, prompt, &answer))
        return;
    bool ok = false;
    const int n = answer.trimmed().toInt(&ok);
    if (!ok) {
        Platform::prompts().plain(QString::fromUtf8("Veuillez entrer le numéro de commande ! ex. : pour : @_1 entrez 1 "));
        return;
    }
    QStringList lines = m_project->commands;
    if (n < 0 || n >= lines.size()) {
        Platform::prompts().plain(QStringLiteral("Commande inconnue !"));
        return;
    }
    QString line = lines[n];
    if (!Platform::prompts().inputText(caption, prompt, &line))
        return;
    // One command is one line.
    line.replace(u'\r', u' ').replace(u'\n', u' ');
    lines[n] = line;
    m_project->commands = lines;
    PMarkModified();
}

void TFrmKivHelp::closeEvent(QCloseEvent *event)
{
    // The window closes only when the exit command ends the program.
    event->ignore();
    post(CmdExit, CatApp);
}

void TFrmKivHelp::PShowPopupAtCaret()
{
    // From the keyboard: at the caret in the text, else at the outline's
    // current row.
    TRichEdit *control = FCurrentControl();
    QPoint at;
    if (control && control->hasFocus())
        at = control->viewport()->mapToGlobal(control->cursorRect().bottomLeft());
    else if (m_outline->currentIndex().isValid() && m_outline->hasFocus())
        at = m_outline->viewport()->mapToGlobal(m_outline->visualRect(m_outline->currentIndex()).bottomLeft());
    else
        at = mapToGlobal(rect().center());
    m_popup->popup(at);
}

void TFrmKivHelp::contextMenuEvent(QContextMenuEvent *event)
{
    // On a misspelt word of a topic: its corrections first.
    TRichEdit *control = FCurrentControl();
    if (control && control->isVisible() && control->viewport()->rect().contains(control->viewport()->mapFromGlobal(event->globalPos()))) {
        const int position = control->cursorForPosition(control->viewport()->mapFromGlobal(event->globalPos())).position();
        const auto [start, length] = SpellCheck::misspeltAt(control, position);
        if (start >= 0) {
            QMenu menu(this);
            menu.setObjectName(QStringLiteral("PopupSpelling"));
            const QString word = control->toPlainText().mid(start, length);
            const QStringList corrections = SpellCheck::suggestions(word);
            for (const QString &correction : corrections)
                connect(menu.addAction(correction), &QAction::triggered, this, [this, control, start, length, correction] {
                    QTextCursor c(control->document());
                    c.setPosition(start);
                    c.setPosition(start + length, QTextCursor::KeepAnchor);
                    c.insertText(correction);
                    PMarkModified();
                });
            if (corrections.isEmpty())
                menu.addAction(QString::fromUtf8("(aucune suggestion)"))->setEnabled(false);
            menu.addSeparator();
            menu.addActions(m_popup->actions());
            menu.exec(event->globalPos());
            return;
        }
    }
    m_popup->popup(event->globalPos());
}

bool TFrmKivHelp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_outline->viewport() && event->type() == QEvent::Drop) {
        auto *drop = static_cast<QDropEvent *>(event);
        PDropTopic(drop->position().toPoint());
        // The page has been moved here. Answered as a move, the view would
        // then delete the dragged row, the page with it; the drag offers
        // only moves, so the answer is "nothing more to do".
        drop->setDropAction(Qt::IgnoreAction);
        drop->accept();
        return true;
    }
    if (watched == m_outline && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        post(CmdDelTopic, CatEdit); // asks before deleting
        return true;
    }
    if (watched == m_fontSize && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Enter confirms the size and gives the text its focus back;
            // the key itself goes nowhere.
            m_fontSize->interpretText();
            if (TRichEdit *control = FCurrentControl())
                control->setFocus();
            return true;
        }
    }
    if (event->type() == QEvent::ShortcutOverride) {
        auto *widget = qobject_cast<QWidget *>(watched);
        const QKeySequence pressed(static_cast<QKeyEvent *>(event)->keyCombination());
        // The caret and selection keys of a text field are the field's
        // (Ctrl+Shift+arrows select by words), even where a command of the
        // window shares them.
        if (isTextField(widget) && isCaretKey(pressed))
            return false;
        if (widget && widget->window() == this)
            for (const QAction *a : findChildren<QAction *>())
                if (a->shortcut() == pressed && a->isEnabled())
                    return true; // left unaccepted: the window's shortcut runs
        return false;
    }
    if (watched == m_edNewPage) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_edNewPage->clear();
        } else if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                post(CmdAddTopic, CatEdit);
                return true;
            }
            if (key->key() == Qt::Key_Escape) {
                m_edNewPage->clear();
                return true;
            }
            const QString text = key->text();
            if (!text.isEmpty() && text.at(0) != u' ' && TextConv::FIsForbiddenInTopicName(text.at(0))) {
                Platform::prompts().plain(QString::fromUtf8("Caractère non valide !"));
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

TMainWindowPort *FCreateWindows() { return new TFrmKivHelp; }
