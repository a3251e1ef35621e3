#include "ui/FindDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFindDialog::TFindDialog(QWidget *parent, bool withReplace) : QDialog(parent)
{
    setObjectName(withReplace ? QStringLiteral("ReplaceDialog") : QStringLiteral("FindDialog"));
    setWindowTitle(withReplace ? QStringLiteral("Remplacer") : QStringLiteral("Rechercher"));
    setModal(false);

    auto *fields = new QFormLayout;
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("FindText"));
    fields->addRow(QStringLiteral("&Rechercher :"), m_find);
    if (withReplace) {
        m_replace = new QLineEdit(this);
        m_replace->setObjectName(QStringLiteral("ReplaceText"));
        fields->addRow(QStringLiteral("Remplacer &par :"), m_replace);
    }

    m_matchCase = new QCheckBox(QStringLiteral("Respecter la &casse"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCase"));
    m_wholeWord = new QCheckBox(QStringLiteral("&Mot entier"), this);
    m_wholeWord->setObjectName(QStringLiteral("WholeWord"));
    m_allTopics = new QCheckBox(QStringLiteral("Dans toutes les &pages du projet"), this);
    m_allTopics->setObjectName(QStringLiteral("AllTopics"));
    auto *direction = new QGroupBox(QStringLiteral("Direction"), this);
    auto *up = new QRadioButton(QStringLiteral("Vers le &haut"), direction);
    up->setObjectName(QStringLiteral("Up"));
    m_down = new QRadioButton(QStringLiteral("Vers le &bas"), direction);
    m_down->setObjectName(QStringLiteral("Down"));
    m_down->setChecked(true);
    auto *dirLayout = new QHBoxLayout(direction);
    dirLayout->addWidget(up);
    dirLayout->addWidget(m_down);

    auto *buttons = new QDialogButtonBox(Qt::Vertical, this);
    QPushButton *next = buttons->addButton(QStringLiteral("&Suivant"), QDialogButtonBox::ActionRole);
    next->setObjectName(QStringLiteral("FindNext"));
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, [this] { emit findNext(options()); });
    if (withReplace) {
        QPushButton *one = buttons->addButton(QStringLiteral("&Remplacer"), QDialogButtonBox::ActionRole);
        one->setObjectName(QStringLiteral("Replace"));
        connect(one, &QPushButton::clicked, this, [this] {
            KIVHelpTools::TFindOptions o = options();
            o.replace = true;
            emit replaceRequested(o);
        });
        QPushButton *all = buttons->addButton(QStringLiteral("Remplacer &tout"), QDialogButtonBox::ActionRole);
        all->setObjectName(QStringLiteral("ReplaceAll"));
        connect(all, &QPushButton::clicked, this, [this] {
            KIVHelpTools::TFindOptions o = options();
            o.replaceAll = true;
            emit replaceRequested(o);
        });
    }
    QPushButton *close = buttons->addButton(QStringLiteral("Fermer"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::hide);

    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addWidget(m_matchCase);
    left->addWidget(m_wholeWord);
    left->addWidget(m_allTopics);
    left->addWidget(direction);
    left->addStretch();
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addWidget(buttons);
}

KIVHelpTools::TFindOptions TFindDialog::options() const
{
    KIVHelpTools::TFindOptions o;
    o.findText = m_find->text();
    o.replaceText = m_replace ? m_replace->text() : QString();
    o.down = m_down->isChecked();
    o.matchCase = m_matchCase->isChecked();
    o.wholeWord = m_wholeWord->isChecked();
    o.allTopics = m_allTopics->isChecked();
    return o;
}
