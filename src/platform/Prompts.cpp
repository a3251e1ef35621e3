#include "platform/Prompts.h"


namespace Platform {

namespace {
Prompts *g_prompts = nullptr;
Prompts *g_default = nullptr;

} // namespace

Prompts &prompts()
{
    // Without a window's boxes (the compiler, a tool), nothing waits for
    // an answer: a box is kept and answered by default.
    static ScriptedPrompts unattended;
    return g_prompts ? *g_prompts : g_default ? *g_default : unattended;
}

void setPrompts(Prompts *p) { g_prompts = p; }
void setDefaultPrompts(Prompts *p) { g_default = p; }

namespace {
int g_boxes = 0;
}

int boxCount() { return g_boxes; }
void countBox() { ++g_boxes; }

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
    m_records.append(PromptRecord{QStringLiteral("box"), icon, text, buttons, {}});
    PromptAnswer a;
    if (!take(QStringLiteral("box"), text, &a))
        return (buttons & Cancel) ? Cancel : (buttons & No) ? No : Ok;
    if (buttons != NoButton && !(buttons & a.button))
        m_unexpected << QStringLiteral("answer not offered by box: ") + text;
    return a.button;
}

bool ScriptedPrompts::inputText(const QString &caption, const QString &prompt, QString *value)
{
    m_records.append(PromptRecord{QStringLiteral("input"), BoxIcon::None, caption + u'|' + prompt, NoButton, *value});
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
    m_records.append(PromptRecord{QStringLiteral("file"), BoxIcon::None, caption + u'|' + filter, NoButton, {}});
    PromptAnswer a;
    if (!take(QStringLiteral("file"), caption, &a) || !a.accepted)
        return {};
    return a.text;
}

bool ScriptedPrompts::chooseColor(const QColor &, QColor *chosen)
{
    m_records.append(PromptRecord{QStringLiteral("color"), BoxIcon::None, {}, NoButton, {}});
    PromptAnswer a;
    if (!take(QStringLiteral("color"), {}, &a) || !a.accepted)
        return false;
    *chosen = a.color;
    return true;
}

bool ScriptedPrompts::chooseFont(const QFont &, QFont *chosen)
{
    m_records.append(PromptRecord{QStringLiteral("font"), BoxIcon::None, {}, NoButton, {}});
    PromptAnswer a;
    if (!take(QStringLiteral("font"), {}, &a) || !a.accepted)
        return false;
    *chosen = a.font;
    return true;
}

} // namespace Platform
