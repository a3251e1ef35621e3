#pragma once
// French spell checking of topic text, with a Hunspell dictionary when one
// is installed (Debian hunspell-fr); without one every word is accepted and
// nothing is underlined.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QTextEdit;

namespace SpellCheck {

// True when a French dictionary was found and loaded.
bool available();
bool correct(const QString &word);
// At most `count` corrections of a word, the likeliest first.
QStringList suggestions(const QString &word, int count = 8);

// The misspelt words of a text: start and length of each. Words holding
// digits or '_' (markers of jumps and pictures, codes) are not checked.
QList<QPair<int, int>> misspelt(const QString &text);

// Underlines the misspelt words of an editor (display only: the text and
// its formats are not touched); again some time after each change.
void attach(QTextEdit *editor);

// The word at a position of an editor's text, when it is misspelt: its
// start and length; (-1, 0) otherwise.
QPair<int, int> misspeltAt(const QTextEdit *editor, int position);

} // namespace SpellCheck
