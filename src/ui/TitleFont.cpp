#include "ui/TitleFont.h"

#include "platform/Prompts.h"
#include "platform/SafeFile.h"
#include "project/Memo.h"
#include "formats/CompanionFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLabel *sample(QWidget *parent, const char *name)
{
    auto *l = new QLabel(QStringLiteral("TEST test"), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumHeight(48);
    l->setMinimumWidth(160);
    return l;
}

void setSampleFont(QLabel *label, const QString *family, const int *pixels)
{
    QFont f = label->font();
    if (family)
        f.setFamily(*family);
    if (pixels)
        f.setPixelSize(qMax(1, *pixels));
    label->setFont(f);
}

void storeRecord(TFontEntry &entry, const QComboBox *names, int size, const QString &fontTable)
{
    // With no entry chosen (a name that is not installed) the record keeps
    // its font name rather than taking an empty one.
    const QString name = names->currentIndex() >= 0 ? names->currentText() : entry.Name.get();
    entry.Name.set(name);
    entry.Id.set(QStringLiteral("\\f%1").arg(TFormTitle::FFontNumber(fontTable, name)));
    entry.Size.set(QStringLiteral("\\fs%1").arg(2 * size));
    entry.Typ.set(QStringLiteral("\\b"));
}

// Shows a face in a list of installed ones. The default "system" face is
// shown as the installed face that stands in for it; a face a project
// names that is not installed is listed as it is, so that it is kept.
void selectFace(QComboBox *names, const QString &face)
{
    int index = names->findText(face, Qt::MatchFixedString);
    if (index < 0 && face.compare(QLatin1String("system"), Qt::CaseInsensitive) == 0)
        index = qMax(0, names->findText(QFontInfo(QFont(face)).family(), Qt::MatchFixedString));
    if (index < 0 && !face.isEmpty()) {
        names->insertItem(0, face);
        index = 0;
    }
    names->setCurrentIndex(index);
}

} // namespace

TFormTitle::TFormTitle(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormTitle"));
    setWindowTitle(QString::fromUtf8("Paramétrage des Titres"));
    setModal(true);
    auto *panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    (new QVBoxLayout(this))->addWidget(panel);

    m_addTitle = new QCheckBox(QStringLiteral("Inclure Titres dans Fichier d'aide"), panel);
    m_addTitle->setObjectName(QStringLiteral("chkTitle"));
    m_sameFont = new QCheckBox(QString::fromUtf8("Titre de Page par défaut"), panel);
    m_sameFont->setObjectName(QStringLiteral("ChkSameTitleFont"));
    m_sameFontName = new QComboBox(panel);
    m_sameFontName->setObjectName(QStringLiteral("CbSameTitleFont"));
    m_sameFontSize = new QSpinBox(panel);
    m_sameFontSize->setObjectName(QStringLiteral("SpSameTitleFontSize"));
    m_sameFontSize->setRange(10, 80);
    m_sameSample = sample(panel, "LbTestSame");
    m_topicFontName = new QComboBox(panel);
    m_topicFontName->setObjectName(QStringLiteral("CbTopicTitleFont"));
    m_topicFontSize = new QSpinBox(panel);
    m_topicFontSize->setObjectName(QStringLiteral("SpTopicTitleSize"));
    m_topicFontSize->setRange(10, 80);
    m_topicSample = sample(panel, "LbTestTopic");
    auto *close = new QPushButton(QString::fromUtf8("  &Mise à jour et sortie"), panel);
    close->setObjectName(QStringLiteral("BbtCloseTitle"));
    close->setDefault(true);

    connect(m_sameFontName, &QComboBox::currentTextChanged, this,
            [this](const QString &f) { setSampleFont(m_sameSample, &f, nullptr); });
    connect(m_topicFontName, &QComboBox::currentTextChanged, this,
            [this](const QString &f) { setSampleFont(m_topicSample, &f, nullptr); });
    connect(m_sameFontSize, &QSpinBox::valueChanged, this,
            [this](int v) { setSampleFont(m_sameSample, nullptr, &v); });
    connect(m_topicFontSize, &QSpinBox::valueChanged, this,
            [this](int v) { setSampleFont(m_topicSample, nullptr, &v); });
    connect(close, &QPushButton::clicked, this, [this] {
        Confirmed = true;
        accept();
    });

    auto *grid = new QGridLayout(panel);
    grid->addWidget(m_addTitle, 0, 0, 1, 3);
    grid->addWidget(m_sameFont, 1, 0, 1, 3);
    grid->addWidget(new QLabel(QString::fromUtf8("Fonte de Titre par défaut :"), panel), 2, 0);
    grid->addWidget(m_sameFontName, 2, 1);
    grid->addWidget(m_sameFontSize, 2, 2);
    grid->addWidget(m_sameSample, 3, 1, 1, 2);
    auto *topicLabel = new QLabel(QStringLiteral("Fonte du Titre de Page :"), panel);
    topicLabel->setObjectName(QStringLiteral("LbFontName"));
    grid->addWidget(topicLabel, 4, 0);
    grid->addWidget(m_topicFontName, 4, 1);
    auto *sizeLabel = new QLabel(QStringLiteral("Taille de la Fonte des Titres :"), panel);
    sizeLabel->setObjectName(QStringLiteral("LbTitleSize"));
    grid->addWidget(sizeLabel, 5, 0);
    grid->addWidget(m_topicFontSize, 5, 1);
    grid->addWidget(m_topicSample, 6, 1, 1, 2);
    grid->addWidget(close, 7, 1, 1, 2, Qt::AlignRight);
}

int TFormTitle::FSizeOf(const QString &sizeField)
{
    bool ok = false;
    const int v = sizeField.mid(3).toInt(&ok, 10);
    return ok && v > 0 ? v / 2 : 0;
}

int TFormTitle::FFontNumber(const QString &line, const QString &name)
{
    if (name.isEmpty())
        return 0;
    const qsizetype at = line.indexOf(name);
    if (at < 0)
        return 0;
    const qsizetype open = line.lastIndexOf(QLatin1String("{\\f"), at);
    if (open < 0)
        return 0;
    qsizetype i = open + 3;
    QString digits;
    while (i < line.size() && line.at(i).isDigit())
        digits += line.at(i++);
    return digits.isEmpty() ? 0 : digits.toInt();
}

void TFormTitle::PSetFontList(const QStringList &fonts)
{
    for (QComboBox *box : {m_sameFontName, m_topicFontName}) {
        box->clear();
        box->addItems(fonts);
    }
}

void TFormTitle::PFill(int topicIndex, const QString &topicName, const TConfBlock *conf)
{
    Confirmed = false;
    m_topic = topicIndex;
    m_topicName = topicName;
    m_addTitle->setChecked(conf->PPrj->AddTitle);
    m_sameFont->setChecked(conf->PPrj->SameTitleFont);
    setWindowTitle(QString::fromUtf8("Paramétrage des Titres - page : ") + topicName);
    const TFontEntry &common = conf->PPrjFonts->Entries[0];
    selectFace(m_sameFontName, common.Name.get());
    m_sameFontSize->setValue(FSizeOf(common.Size.get()));
    const TFontEntry &own = conf->PPrjFonts->Entries[qBound(0, topicIndex, MaxTopics)];
    selectFace(m_topicFontName, own.Name.get());
    m_topicFontSize->setValue(FSizeOf(own.Size.get()));
}

bool TFormTitle::PStore(QPlainTextEdit *workMemo, TConfBlock *conf)
{
    const QString file = conf->PPrj->PrjDir.get() + u'/' + m_topicName + u'.' + QString::number(m_topic);
    QByteArray bytes;
    if (!QFileInfo(file).isFile() || !Platform::readWholeFile(file, &bytes)) {
        Platform::prompts().plain(QStringLiteral("Erreur"));
        return false;
    }
    conf->PPrj->AddTitle = m_addTitle->isChecked();
    conf->PPrj->SameTitleFont = m_sameFont->isChecked();
    Memo::PSetLines(workMemo, KIVHelpTools::FSplitCmdLines(bytes));
    const QString fontTable = Memo::FLines(workMemo).value(0);
    storeRecord(conf->PPrjFonts->Entries[0], m_sameFontName, m_sameFontSize->value(), fontTable);
    if (m_topic >= 1 && m_topic <= MaxTopics)
        storeRecord(conf->PPrjFonts->Entries[m_topic], m_topicFontName, m_topicFontSize->value(), fontTable);
    workMemo->clear();
    return true;
}

// ---- font selection window ----

TFrmSelFont::TFrmSelFont(QWidget *parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FrmSelFont"));
    setWindowTitle(QStringLiteral("Sélection de la fonte"));
    setModal(false);
    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("FontName"));
    m_name->setPlaceholderText(QStringLiteral("Nom de la fonte"));
    m_name->setMinimumWidth(200);
    m_size = new QSpinBox(this);
    m_size->setObjectName(QStringLiteral("FontSize"));
    m_size->setRange(5, 100);
    m_size->setValue(13);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_name, 1);
    layout->addWidget(m_size);
    connect(m_name, &QComboBox::activated, this, [this](int index) {
        if (onNameChange)
            onNameChange(index, m_size->value());
    });
    connect(m_size, &QSpinBox::valueChanged, this, [this](int size) {
        if (IgnoreSizeChange) {
            IgnoreSizeChange = false;
            return;
        }
        if (onSizeChange)
            onSizeChange(m_name->currentIndex(), size);
    });
}

void TFrmSelFont::PFill(const QStringList &fonts)
{
    m_name->clear();
    m_name->addItems(fonts);
    m_name->setCurrentIndex(fonts.isEmpty() ? -1 : 0);
    IgnoreSizeChange = false;
}

void TFrmSelFont::PSet(int index, int size)
{
    m_name->setCurrentIndex(index);
    // Only a real change raises the size event that must be ignored.
    if (m_size->value() != qBound(m_size->minimum(), size, m_size->maximum())) {
        IgnoreSizeChange = true;
        m_size->setValue(size);
    }
}

void TFrmSelFont::FRead(QString *name, int *index, int *size) const
{
    if (name)
        *name = m_name->currentText();
    if (index)
        *index = m_name->currentIndex();
    if (size)
        *size = m_size->value();
}
