#include "ui/SettingsDialogs.h"

#include "helpgen/HelpSources.h"
#include "platform/Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

QColor FColorFromTColor(qint32 colour)
{
    const quint32 c = static_cast<quint32>(colour);
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

qint32 FTColorFromColor(const QColor &colour)
{
    return qint32(quint32(colour.red()) | (quint32(colour.green()) << 8) | (quint32(colour.blue()) << 16));
}

namespace {

QFrame *loweredPanel(QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    auto *outer = new QVBoxLayout(parent);
    outer->addWidget(panel);
    return panel;
}

// A field is left for another control of the dialog (not when the dialog
// itself closes or loses the focus to another window).
bool leftForAnotherField(QEvent *event)
{
    if (event->type() != QEvent::FocusOut)
        return false;
    const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
    // Going to "&Fermer" is leaving the dialog, not the field: nothing may
    // stop the user from closing (the check would bring its box back at
    // every click on the button).
    const QWidget *next = QApplication::focusWidget();
    if (next && next->objectName() == QLatin1String("BtnExit"))
        return false;
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason
           || reason == Qt::ShortcutFocusReason;
}

// Puts the focus back into a field once the current focus change is over.
void refocus(QWidget *field)
{
    QTimer::singleShot(0, field, [field] { field->setFocus(); });
}

QLabel *label(const QString &text, QWidget *parent, const char *name = nullptr)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QString::fromLatin1(name));
    return l;
}

// The save button (confirms and closes) and "&Fermer" (closes without
// confirming), right-aligned.
QHBoxLayout *saveAndCloseButtons(QDialog *dialog, QWidget *panel, const QString &saveText, bool *confirmed)
{
    auto *save = new QPushButton(saveText, panel);
    save->setObjectName(QStringLiteral("BtnSave"));
    save->setDefault(true);
    QObject::connect(save, &QPushButton::clicked, dialog, [dialog, confirmed] {
        *confirmed = true;
        dialog->accept();
    });
    auto *exit = new QPushButton(QStringLiteral("&Fermer"), panel);
    exit->setObjectName(QStringLiteral("BtnExit"));
    QObject::connect(exit, &QPushButton::clicked, dialog, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(exit);
    return buttons;
}

} // namespace

// ---- program settings ----

TFrmSoftConf::TFrmSoftConf(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmSoftConf"));
    setWindowTitle(QString::fromUtf8("Paramètres du Programme"));
    setModal(true);
    QFrame *panel = loweredPanel(this);
    auto *form = new QFormLayout;
    m_compiler = new QLineEdit(panel);
    m_compiler->setObjectName(QStringLiteral("EdCompiler"));
    m_compiler->setMinimumWidth(360);
    m_bmp = new QLineEdit(panel);
    m_bmp->setObjectName(QStringLiteral("EdBMP"));
    m_nbFnts = new QSpinBox(panel);
    m_nbFnts->setObjectName(QStringLiteral("SpNbFnts"));
    m_nbFnts->setRange(5, 100);
    m_backup = new QSpinBox(panel);
    m_backup->setObjectName(QStringLiteral("SpBackupPeriod"));
    m_backup->setRange(1, 10);
    form->addRow(label(QStringLiteral("Nom et Chemin du Compilateur :"), panel, "LbCompiler"), m_compiler);
    form->addRow(label(QStringLiteral("Chemin des fichiers BMP         :"), panel, "lbBMP"), m_bmp);
    form->addRow(label(QStringLiteral("Nombre maximum de fontes windows :"), panel), m_nbFnts);
    form->addRow(label(QString::fromUtf8("Période des copies de sauvegarde :"), panel, "LbBackup"), m_backup);
    m_createCnt = new QCheckBox(QString::fromUtf8("Créer le fichier CNT pour le format d'aide Windows 95"), panel);
    m_createCnt->setObjectName(QStringLiteral("ChkCreateCnt"));
    m_copyCnt = new QCheckBox(
        QString::fromUtf8("Remplace l'ancienne version du  CNT ( répertoire COM ) par la nouvelle"), panel);
    m_copyCnt->setObjectName(QStringLiteral("ChkCopyCnt"));
    m_copyCnt->setEnabled(false);
    connect(m_createCnt, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            m_copyCnt->setChecked(false);
        m_copyCnt->setEnabled(on);
    });
    m_reopenLast = new QCheckBox(QString::fromUtf8("Rouvrir au démarrage le dernier projet ouvert"), panel);
    m_reopenLast->setObjectName(QStringLiteral("ChkReopenLast"));
    QHBoxLayout *buttons = saveAndCloseButtons(this, panel, QString::fromUtf8("Enregistrer paramètres"), &Confirmed);
    auto *layout = new QVBoxLayout(panel);
    layout->addLayout(form);
    layout->addWidget(m_createCnt);
    layout->addWidget(m_copyCnt);
    layout->addWidget(m_reopenLast);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    m_compiler->installEventFilter(this);
    m_bmp->installEventFilter(this);
}

bool TFrmSoftConf::eventFilter(QObject *watched, QEvent *event)
{
    if (leftForAnotherField(event) && isVisible()) {
        if (watched == m_compiler)
            EdCompilerExit();
        else if (watched == m_bmp)
            EdBMPExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TFrmSoftConf::EdCompilerExit()
{
    if (!QFileInfo(m_compiler->text()).isFile()) {
        Platform::prompts().plain(QStringLiteral("Le fichier n'existe pas"));
        refocus(m_compiler);
    }
}

void TFrmSoftConf::EdBMPExit()
{
    if (!QFileInfo(m_bmp->text()).isDir()) {
        Platform::prompts().plain(QString::fromUtf8("BMP :Le répertoire n'existe pas"));
        refocus(m_bmp);
    }
}

void TFrmSoftConf::PFill(const TConfBlock *conf)
{
    Confirmed = false;
    const TIniRec *ini = conf->PIni;
    m_nbFnts->setValue(ini->NB_FNT);
    m_compiler->setText(ini->COMPILER.get());
    m_bmp->setText(ini->BMP.get());
    m_createCnt->setChecked(ini->CREATE_CNT);
    m_copyCnt->setEnabled(ini->CREATE_CNT);
    m_copyCnt->setChecked(ini->COPY_CNT);
    m_backup->setValue(ini->BACKUP_PERIOD);
    m_reopenLast->setChecked(ini->REOPEN_LAST);
}

void TFrmSoftConf::PStore(TConfBlock *conf)
{
    TIniRec *ini = conf->PIni;
    if (m_nbFnts->value() != ini->NB_FNT)
        Platform::prompts().plain(QString::fromUtf8(
            "ATTENTION ! vous avez changé le nombre de fontes, vous devez relancer le logiciel pour que la "
            "modification soit effective "));
    ini->NB_FNT = m_nbFnts->value();
    ini->COMPILER.set(m_compiler->text());
    ini->BMP.set(m_bmp->text());
    ini->CREATE_CNT = m_createCnt->isChecked();
    ini->COPY_CNT = m_copyCnt->isChecked();
    ini->BACKUP_PERIOD = m_backup->value();
    ini->REOPEN_LAST = m_reopenLast->isChecked();
}

// ---- project settings ----

TFrmPrjConf::TFrmPrjConf(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FrmPrjConf"));
    setWindowTitle(QStringLiteral("Configuration du projet"));
    setModal(true);
    QFrame *panel = loweredPanel(this);
    auto *form = new QFormLayout;
    m_title = new QLineEdit(panel);
    m_title->setObjectName(QStringLiteral("EdTitle"));
    m_title->setMinimumWidth(320);
    m_copyright = new QLineEdit(panel);
    m_copyright->setObjectName(QStringLiteral("EdCopyright"));
    m_compress = new QLineEdit(panel);
    m_compress->setObjectName(QStringLiteral("EdCompress"));
    QFont bold = m_compress->font();
    bold.setBold(true);
    m_compress->setFont(bold);
    form->addRow(label(QStringLiteral("Titre du projet d'Aide :"), panel, "LbTitle"), m_title);
    form->addRow(label(QStringLiteral("Copyright :"), panel, "LbCoryright"), m_copyright);
    form->addRow(label(QStringLiteral("Compresser l'aide ? (OUI ou NON) :"), panel, "LbCompress"), m_compress);
    // The help's language: its code page (the letters it can hold) and the
    // order of its index.
    m_language = new QComboBox(panel);
    m_language->setObjectName(QStringLiteral("CbLanguage"));
    m_language->addItem(QString::fromUtf8("Aucune (Europe de l'Ouest, Windows-1252)"), QString());
    static const QList<QPair<const char *, int>> languages{
        {"Allemand", 0x407},        {"Anglais", 0x409},      {"Arabe", 0x401},      {"Bulgare", 0x402},
        {"Chinois simplifié", 0x804}, {"Chinois traditionnel", 0x404}, {"Coréen", 0x412}, {"Croate", 0x41A},
        {"Danois", 0x406},          {"Espagnol", 0xC0A},     {"Estonien", 0x425},   {"Finnois", 0x40B},
        {"Français", 0x40C},        {"Grec", 0x408},         {"Hébreu", 0x40D},     {"Hongrois", 0x40E},
        {"Italien", 0x410},         {"Japonais", 0x411},     {"Letton", 0x426},     {"Lituanien", 0x427},
        {"Néerlandais", 0x413},     {"Norvégien", 0x414},    {"Polonais", 0x415},   {"Portugais", 0x416},
        {"Roumain", 0x418},         {"Russe", 0x419},        {"Slovaque", 0x41B},   {"Slovène", 0x424},
        {"Suédois", 0x41D},         {"Tchèque", 0x405},      {"Thaï", 0x41E},       {"Turc", 0x41F},
        {"Ukrainien", 0x422},       {"Vietnamien", 0x42A}};
    for (const auto &[name, lcid] : languages)
        m_language->addItem(QString::fromUtf8(name), QStringLiteral("0x%1").arg(lcid, 0, 16));
    form->addRow(label(QStringLiteral("Langue de l'aide :"), panel, "LbLanguage"), m_language);
    m_addTitle = new QCheckBox(QStringLiteral("Inclure les Titres dans l'Aide"), panel);
    m_addTitle->setObjectName(QStringLiteral("chkTitle"));
    m_addTitle->setFont(bold);
    // Besides the .HLP: web pages and compiled HTML Help, for today's readers.
    m_html = new QCheckBox(QStringLiteral("Publier aussi en pages web (HTML)"), panel);
    m_html->setObjectName(QStringLiteral("ChkHtml"));
    m_chm = new QCheckBox(QString::fromUtf8("Publier aussi en aide HTML compilée (CHM)"), panel);
    m_chm->setObjectName(QStringLiteral("ChkChm"));
    m_pdf = new QCheckBox(QStringLiteral("Publier aussi en manuel imprimable (PDF)"), panel);
    m_pdf->setObjectName(QStringLiteral("ChkPdf"));
    m_paper = new QComboBox(panel);
    m_paper->setObjectName(QStringLiteral("CbPaper"));
    m_paper->setAccessibleName(QStringLiteral("Papier du manuel"));
    m_paper->addItem(QString::fromUtf8("Papier du système"), QString());
    m_paper->addItem(QStringLiteral("A4"), QStringLiteral("a4"));
    m_paper->addItem(QString::fromUtf8("Letter (États-Unis)"), QStringLiteral("letter"));
    m_bkButton = new QPushButton(QStringLiteral("Couleur de fond des pages"), panel);
    m_bkButton->setObjectName(QStringLiteral("BtnBKColor"));
    m_bkButton->setLayoutDirection(Qt::RightToLeft); // the swatch right of the text
    m_titleButton = new QPushButton(QStringLiteral("Couleur de fond des titres"), panel);
    m_titleButton->setObjectName(QStringLiteral("BtnTitleColor"));
    m_titleButton->setLayoutDirection(Qt::RightToLeft);
    connect(m_bkButton, &QPushButton::clicked, this, [this] { chooseColour(&m_bk); });
    connect(m_titleButton, &QPushButton::clicked, this, [this] { chooseColour(&m_titleColour); });
    QHBoxLayout *buttons = saveAndCloseButtons(this, panel, QStringLiteral("Enregistrer "), &Confirmed);
    auto *colours = new QHBoxLayout;
    colours->addWidget(m_bkButton);
    colours->addWidget(m_titleButton);
    auto *layout = new QVBoxLayout(panel);
    layout->addLayout(form);
    layout->addWidget(m_addTitle);
    layout->addWidget(m_html);
    layout->addWidget(m_chm);
    auto *pdf = new QHBoxLayout;
    pdf->addWidget(m_pdf, 1);
    pdf->addWidget(m_paper);
    layout->addLayout(pdf);
    layout->addLayout(colours);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    m_compress->installEventFilter(this);
    paintButtons();
}

bool TFrmPrjConf::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_compress && leftForAnotherField(event) && isVisible())
        EdCompressExit();
    return QDialog::eventFilter(watched, event);
}

void TFrmPrjConf::EdCompressExit()
{
    // Said in French, kept as the help project file says it (YES, NO).
    QString text = m_compress->text().trimmed().toUpper();
    if (text == QLatin1String("YES"))
        text = QStringLiteral("OUI");
    else if (text == QLatin1String("NO"))
        text = QStringLiteral("NON");
    m_compress->setText(text);
    if (text != QLatin1String("NON") && text != QLatin1String("OUI")) {
        Platform::prompts().plain(QStringLiteral("Tapez OUI ou NON !"));
        m_compress->clear();
        refocus(m_compress);
    }
}

void TFrmPrjConf::chooseColour(QColor *staged)
{
    QColor chosen;
    if (Platform::prompts().chooseColor(m_lastChosen, &chosen)) {
        *staged = chosen;
        m_lastChosen = chosen;
        paintButtons();
    }
}

void TFrmPrjConf::paintButtons()
{
    auto swatch = [](const QColor &c) {
        QPixmap pm(16, 16);
        pm.fill(c);
        QPainter p(&pm);
        p.setPen(Qt::black);
        p.drawRect(0, 0, 15, 15);
        return QIcon(pm);
    };
    m_bkButton->setIcon(swatch(m_bk));
    m_titleButton->setIcon(swatch(m_titleColour));
}

void TFrmPrjConf::PFill(const TConfBlock *conf)
{
    Confirmed = false;
    const TPrjRec *prj = conf->PPrj;
    const QString compress = prj->HelpCompress.get().trimmed().toUpper();
    m_compress->setText(compress == QLatin1String("YES") ? QStringLiteral("OUI")
                        : compress == QLatin1String("NO") ? QStringLiteral("NON")
                                                          : prj->HelpCompress.get());
    m_copyright->setText(prj->Copyright.get());
    m_title->setText(prj->ProjectTitle.get());
    // A language the list lacks (written by hand, or imported) is kept.
    const int lcid = KIVHelpTools::FProjectLcid(prj);
    const QString language = lcid ? QStringLiteral("0x%1").arg(lcid, 0, 16) : QString();
    if (m_language->findData(language) < 0)
        m_language->addItem(QStringLiteral("LCID ") + language, language);
    m_language->setCurrentIndex(m_language->findData(language));
    m_addTitle->setChecked(prj->AddTitle);
    const QStringList outputs = prj->Outputs.get().toUpper().split(u',', Qt::SkipEmptyParts);
    m_html->setChecked(outputs.contains(QStringLiteral("HTML")));
    m_chm->setChecked(outputs.contains(QStringLiteral("CHM")));
    m_pdf->setChecked(outputs.contains(QStringLiteral("PDF")));
    m_paper->setCurrentIndex(qMax(0, m_paper->findData(prj->Paper.get().toLower())));
    m_bk = FColorFromTColor(prj->BkColor);
    m_titleColour = FColorFromTColor(prj->TitleColor);
    paintButtons();
}

void TFrmPrjConf::PStore(TConfBlock *conf)
{
    TPrjRec *prj = conf->PPrj;
    const QString compress = m_compress->text().trimmed().toUpper();
    prj->HelpCompress.set(compress == QLatin1String("OUI") ? QStringLiteral("YES")
                          : compress == QLatin1String("NON") ? QStringLiteral("NO")
                                                             : m_compress->text());
    prj->Copyright.set(m_copyright->text());
    prj->ProjectTitle.set(m_title->text());
    prj->Language.set(m_language->currentData().toString());
    prj->AddTitle = m_addTitle->isChecked();
    QStringList outputs;
    if (m_html->isChecked())
        outputs << QStringLiteral("HTML");
    if (m_chm->isChecked())
        outputs << QStringLiteral("CHM");
    if (m_pdf->isChecked())
        outputs << QStringLiteral("PDF");
    prj->Outputs.set(outputs.join(u','));
    prj->Paper.set(m_paper->currentData().toString());
    prj->BkColor = FTColorFromColor(m_bk);
    prj->TitleColor = FTColorFromColor(m_titleColour);
}
