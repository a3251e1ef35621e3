#pragma once
// The prompts as the window shows them: Qt's message boxes and standard
// dialogs, with French texts.
#include "platform/Prompts.h"

namespace Platform {

// Loads Qt's French texts for its standard dialogs (colour, file, font,
// input boxes); false when they are not installed (the dialogs stay in
// English, our own buttons are French anyway).
bool installFrenchTranslations();

// Makes the window's prompts (these, with Qt's French texts) the program's.
void installWindowPrompts();

class QtPrompts : public Prompts {
public:
    Button messageBox(BoxIcon icon, const QString &text, Buttons buttons,
                      const QString &caption = {}) override;
    bool inputText(const QString &caption, const QString &prompt, QString *value) override;
    bool chooseText(const QString &caption, const QString &prompt, const QStringList &choices, QString *value) override;
    QString openFile(const QString &caption, const QString &dir, const QString &filter) override;
    bool chooseColor(const QColor &initial, QColor *chosen) override;
    bool chooseFont(const QFont &initial, QFont *chosen) override;
    Button ask(const QString &text, const QList<std::pair<Button, QString>> &buttons, BoxIcon icon) override;

private:
    Button showBox(BoxIcon icon, const QString &text, Buttons buttons, const QString &caption,
                   const QList<std::pair<Button, QString>> &labels);
};

} // namespace Platform
