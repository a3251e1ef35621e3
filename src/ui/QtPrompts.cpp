#include "ui/QtPrompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

namespace Platform {

void installWindowPrompts()
{
    static QtPrompts windowBoxes;
    setDefaultPrompts(&windowBoxes);
    installFrenchTranslations();
}

namespace {

QWidget *dialogParent() { return QApplication::activeWindow(); }

QString boxCaption(const QString &caption)
{
    return caption.isEmpty() ? QStringLiteral("KivHelp") : caption;
}

} // namespace

Button QtPrompts::messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                             const QString &caption)
{
    return showBox(icon, text, buttons, caption, {});
}

Button QtPrompts::ask(const QString &text, const QList<std::pair<Button, QString>> &labelled, BoxIcon icon)
{
    Buttons all = NoButton;
    for (const auto &b : labelled)
        all |= b.first;
    return showBox(icon, text, all, {}, labelled);
}

Button QtPrompts::showBox(BoxIcon icon, const QString &text, Buttons buttons, const QString &caption,
                          const QList<std::pair<Button, QString>> &labels)
{
    if (icon == BoxIcon::Error)
        countBox();
    QMessageBox box(dialogParent());
    box.setWindowTitle(boxCaption(caption));
    box.setText(text);
    switch (icon) {
    case BoxIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case BoxIcon::Information: box.setIcon(QMessageBox::Information); break;
    case BoxIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case BoxIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case BoxIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    QMessageBox::StandardButtons std;
    if (buttons & Yes) std |= QMessageBox::Yes;
    if (buttons & No) std |= QMessageBox::No;
    if (buttons & Ok) std |= QMessageBox::Ok;
    if (buttons & Cancel) std |= QMessageBox::Cancel;
    if (!std)
        std = QMessageBox::Ok;
    box.setStandardButtons(std);
    if ((buttons & DefaultNo) && (buttons & No))
        box.setDefaultButton(QMessageBox::No);
    // The program speaks French, whatever translations Qt has installed.
    const std::pair<QMessageBox::StandardButton, const char *> names[] = {
        {QMessageBox::Yes, "&Oui"}, {QMessageBox::No, "&Non"}, {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "&Annuler"}};
    for (const auto &[which, name] : names)
        if (QAbstractButton *b = box.button(which))
            b->setText(QString::fromUtf8(name));
    // Buttons that say what they do.
    for (const auto &[which, label] : labels) {
        const QMessageBox::StandardButton standard = which == Yes  ? QMessageBox::Yes
                                                     : which == No ? QMessageBox::No
                                                     : which == Ok ? QMessageBox::Ok
                                                                   : QMessageBox::Cancel;
        if (QAbstractButton *b = box.button(standard))
            b->setText(label);
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Yes;
    case QMessageBox::No: return No;
    case QMessageBox::Ok: return Ok;
    default: return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    }
}

bool installFrenchTranslations()
{
    auto *translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool QtPrompts::inputText(const QString &caption, const QString &prompt, QString *value)
{
    QInputDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("InputBox"));
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(*value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Annuler"));
    // Room for a whole command line or a long page name.
    dialog.resize(qMax(dialog.sizeHint().width(), 560), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *value = dialog.textValue();
    return true;
}

bool QtPrompts::chooseText(const QString &caption, const QString &prompt, const QStringList &choices, QString *value)
{
    QInputDialog dialog(dialogParent());
    dialog.setObjectName(QStringLiteral("ChoiceBox"));
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setComboBoxItems(choices);
    dialog.setComboBoxEditable(true);
    dialog.setTextValue(*value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Annuler"));
    // Typing shows the choices that hold the text, anywhere in them.
    if (auto *combo = dialog.findChild<QComboBox *>()) {
        auto *completer = new QCompleter(choices, combo);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCompletionMode(QCompleter::PopupCompletion);
        combo->setCompleter(completer);
        combo->setCurrentText(*value);
    }
    dialog.resize(qMax(dialog.sizeHint().width(), 560), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *value = dialog.textValue();
    return true;
}

QString QtPrompts::openFile(const QString &caption, const QString &dir, const QString &filter)
{
    // Filters come as "description|patterns|description|patterns".
    QString qtFilter = filter;
    if (filter.contains(u'|')) {
        const QStringList parts = filter.split(u'|');
        QStringList entries;
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
            QString patterns = parts[i + 1];
            patterns.replace(u';', u' ');
            entries << parts[i].section(u'(', 0, 0).trimmed() + QStringLiteral(" (") + patterns + u')';
        }
        qtFilter = entries.join(QStringLiteral(";;"));
    }
    return QFileDialog::getOpenFileName(dialogParent(), caption, dir, qtFilter);
}

bool QtPrompts::chooseColor(const QColor &initial, QColor *chosen)
{
    const QColor c = QColorDialog::getColor(initial, dialogParent());
    if (!c.isValid())
        return false;
    *chosen = c;
    return true;
}

bool QtPrompts::chooseFont(const QFont &initial, QFont *chosen)
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, dialogParent());
    if (ok)
        *chosen = f;
    return ok;
}

} // namespace Platform
