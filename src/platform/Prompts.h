#pragma once
// Everything that asks the user something goes through one Prompts object:
// message and question boxes, the text-input box, file, colour and font
// dialogs. The program installs the Qt implementation; tests install the
// scripted one, which answers from a queue and records every box.
#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace Platform {

enum class BoxIcon { None, Information, Warning, Error, Question };

enum Button : int { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8, DefaultNo = 16 };
// DefaultNo, added to a box's buttons, makes No the button that Enter
// presses (for questions whose Yes destroys something).
using Buttons = int;

class Prompts {
public:
    virtual ~Prompts() = default;

    // A modal box; returns the button pressed (Cancel or No when closed).
    virtual Button messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                              const QString &caption = {}) = 0;
    // Text-input box; false when cancelled. `value` holds the initial text.
    virtual bool inputText(const QString &caption, const QString &prompt, QString *value) = 0;
    // Text-input box offering `choices` (filtered as the user types), any
    // text still accepted; false when cancelled. By default a plain input
    // box.
    virtual bool chooseText(const QString &caption, const QString &prompt, const QStringList &choices, QString *value)
    {
        Q_UNUSED(choices);
        return inputText(caption, prompt, value);
    }
    // Open-file dialog; empty when cancelled.
    virtual QString openFile(const QString &caption, const QString &dir, const QString &filter) = 0;
    // Colour and font dialogs; false when cancelled.
    virtual bool chooseColor(const QColor &initial, QColor *chosen) = 0;
    virtual bool chooseFont(const QFont &initial, QFont *chosen) = 0;

    // A question whose buttons say what they do: each button offered with
    // its label. By default a box with those buttons.
    virtual Button ask(const QString &text, const QList<std::pair<Button, QString>> &buttons,
                       BoxIcon icon = BoxIcon::Question)
    {
        Buttons all = NoButton;
        for (const auto &b : buttons)
            all |= b.first;
        return messageBox(icon, text, all);
    }

    // The common boxes.
    void plain(const QString &text) { messageBox(BoxIcon::None, text, Ok); }
    void error(const QString &text) { messageBox(BoxIcon::Error, text, Ok); }
    void warning(const QString &text) { messageBox(BoxIcon::Warning, text, Ok); }
    Button question(const QString &text, Buttons buttons)
    {
        return messageBox(BoxIcon::Information, text, buttons);
    }
};

// The prompts in use; a Qt one unless another was installed.
Prompts &prompts();
// How many error boxes have been shown so far, so that a routine that
// fails after a box said why need not add a second one.
int boxCount();
void countBox();
// Installs `p` (not owned); nullptr restores the default.
void setPrompts(Prompts *p);
// The boxes used when none are installed (the window's, set at its start);
// without any, a box is kept and answered by default, never shown.
void setDefaultPrompts(Prompts *p);



// What a scripted box saw and answered.
struct PromptRecord {
    QString kind; // "box", "input", "file", "color", "font"
    BoxIcon icon = BoxIcon::None;
    QString text;
    Buttons buttons = NoButton;
    QString offered; // the text an input box started with
};

struct PromptAnswer {
    Button button = Ok;  // for boxes
    bool accepted = true; // for input, colour and font dialogs
    QString text;         // input text or chosen file
    QColor color;
    QFont font;
};

class ScriptedPrompts : public Prompts {
public:
    void answer(Button b) { m_queue.append(PromptAnswer{b, true, {}, {}, {}}); }
    void answerText(const QString &text, bool accepted = true)
    {
        m_queue.append(PromptAnswer{Ok, accepted, text, {}, {}});
    }
    void answerColor(const QColor &c, bool accepted = true) { m_queue.append(PromptAnswer{Ok, accepted, {}, c, {}}); }
    void answerFont(const QFont &f, bool accepted = true) { m_queue.append(PromptAnswer{Ok, accepted, {}, {}, f}); }

    const QList<PromptRecord> &records() const { return m_records; }
    QStringList texts() const;
    // Boxes that came with no queued answer, and answers left unused.
    const QStringList &unexpected() const { return m_unexpected; }
    // The choices the last choice box offered.
    const QStringList &lastChoices() const { return m_lastChoices; }
    int pending() const { return int(m_queue.size()); }
    void clear();

    Button messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                      const QString &caption = {}) override;
    bool inputText(const QString &caption, const QString &prompt, QString *value) override;
    bool chooseText(const QString &caption, const QString &prompt, const QStringList &choices, QString *value) override;
    QString openFile(const QString &caption, const QString &dir, const QString &filter) override;
    bool chooseColor(const QColor &initial, QColor *chosen) override;
    bool chooseFont(const QFont &initial, QFont *chosen) override;
    Button ask(const QString &text, const QList<std::pair<Button, QString>> &buttons, BoxIcon icon) override
    {
        m_lastLabels.clear();
        for (const auto &b : buttons)
            m_lastLabels << b.second;
        return Prompts::ask(text, buttons, icon);
    }
    // The labels of the buttons the last question with labelled buttons had.
    const QStringList &lastLabels() const { return m_lastLabels; }

private:
    bool take(const QString &kind, const QString &text, PromptAnswer *a);

    QList<PromptAnswer> m_queue;
    QList<PromptRecord> m_records;
    QStringList m_unexpected;
    QStringList m_lastChoices;
    QStringList m_lastLabels;
};

} // namespace Platform
