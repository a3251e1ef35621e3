#include "platform/Prompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QComboBox>
#include <QCompleter>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QAbstractButton>
#include <QMessageBox>

namespace Platform {

namespace {
Prompts *g_prompts = nullptr;

QWidget *dialogParent() { return QApplication::activeWindow(); }

QString boxCaption(const QString &caption)
{
    return caption.isEmpty() ? QStringLiteral("KivHelp") : caption;
}
} // namespace

Prompts &prompts()
{
    static QtPrompts qtPrompts;
    return g_prompts ? *g_prompts : qtPrompts;
}

void setPrompts(Prompts *p) { g_prompts = p; }

// ---- Qt implementation ----

namespace {
int g_boxes = 0;
}

int boxCount() { return g_boxes; }
void countBox() { ++g_boxes; }

Button QtPrompts::messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                             const QString &caption)
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

// ---- Scripted implementation ----

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const PromptRecord &r : m_records)
        out << r.text;
    return out;
}

void ScriptedPrompts::clear()
{
    m_queue.clear();
    m_records.clear();
    m_unexpected.clear();
}

bool ScriptedPrompts::take(const QString &kind, const QString &text, PromptAnswer *a)
{
    if (m_queue.isEmpty()) {
        m_unexpected << kind + QStringLiteral(": ") + text;
        return false;
    }
    *a = m_queue.takeFirst();
    return true;
}

Button ScriptedPrompts::messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                                   const QString &)
{
    if (icon == BoxIcon::Error)
        countBox();
    m_records.append(PromptRecord{QStringLiteral("box"), icon, text, buttons});
    PromptAnswer a;
    if (!take(QStringLiteral("box"), text, &a))
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    if (buttons != NoButton && !(buttons & a.button))
        m_unexpected << QStringLiteral("answer not offered by box: ") + text;
    return a.button;
}

bool ScriptedPrompts::inputText(const QString &caption, const QString &prompt, QString *value)
{
    m_records.append(PromptRecord{QStringLiteral("input"), BoxIcon::None, caption + u'|' + prompt, NoButton});
    PromptAnswer a;
    if (!take(QStringLiteral("input"), prompt, &a) || !a.accepted)
        return false;
    *value = a.text;
    return true;
}

bool ScriptedPrompts::chooseText(const QString &caption, const QString &prompt, const QStringList &choices, QString *value)
{
    m_lastChoices = choices;
    return inputText(caption, prompt, value);
}

QString ScriptedPrompts::openFile(const QString &caption, const QString &, const QString &filter)
{
    m_records.append(PromptRecord{QStringLiteral("file"), BoxIcon::None, caption + u'|' + filter, NoButton});
    PromptAnswer a;
    if (!take(QStringLiteral("file"), caption, &a) || !a.accepted)
        return {};
    return a.text;
}

bool ScriptedPrompts::chooseColor(const QColor &, QColor *chosen)
{
    m_records.append(PromptRecord{QStringLiteral("color"), BoxIcon::None, {}, NoButton});
    PromptAnswer a;
    if (!take(QStringLiteral("color"), {}, &a) || !a.accepted)
        return false;
    *chosen = a.color;
    return true;
}

bool ScriptedPrompts::chooseFont(const QFont &, QFont *chosen)
{
    m_records.append(PromptRecord{QStringLiteral("font"), BoxIcon::None, {}, NoButton});
    PromptAnswer a;
    if (!take(QStringLiteral("font"), {}, &a) || !a.accepted)
        return false;
    *chosen = a.font;
    return true;
}

} // namespace Platform
