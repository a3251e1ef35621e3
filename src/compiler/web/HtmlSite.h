#pragma once
// What every web page of a help shares: its style sheet, its script, the
// words of its navigation in the help's language, and the colours of the
// dark scheme.
#include <QByteArray>
#include <QColor>
#include <QString>

namespace Hlp {

// The navigation's words in one language (its tag in `lang`).
struct TWebLabels {
    QString lang;
    QString contents, index, search, previous, next, skip, noHit, found, noTopic, path, browse, menu, noContext, appendix;
    // The search's answer: how many pages ("%1"), the words it took when it
    // forgave a typing slip ("%1"), and the link to every hit.
    QString hitCount, resultsFor, allPages;
    // The theme button: its name ("%1": the choice) and the three choices.
    QString theme, themeAuto, themeLight, themeDark;
};

// The words for a help in the language `tag` ("fr", "en"...): French,
// English, German, Spanish, Italian, Dutch, Portuguese, Polish, Russian,
// Greek, Arabic, Hebrew, Japanese, Korean and Chinese have theirs; French
// when the help says nothing (empty tag), English for the other languages.
TWebLabels webLabels(const QString &tag);

// The style sheet and the script of the pages (help.css and help.js,
// built in). ES5 and older style rules
// only: compiled help files are read in viewers built on old engines,
// where one newer construct would stop the whole script.
extern const char kWebStyle[];
// The dark scheme's rules (help-dark.css), without their conditions.
extern const char kWebDark[];
extern const char kWebScript[];
// The pages' icon (favicon.svg).
extern const char kFavicon[];

// The page script's stemmer for a Snowball algorithm ("french"...): it
// defines STEMMERS[algorithm], or nothing for a language it lacks.
QByteArray stemmerScript(const QString &algorithm);

// A string literal of the page script: quotes, backslashes, control
// characters, the two characters that end a line in a script and "<" (no
// "</script>" inside a page) escaped.
QString jsString(const QString &text);

// The contrast of two colours as accessibility guidelines measure it
// (1 to 21; 4.5 at least for text).
double contrastRatio(const QColor &a, const QColor &b);

// An author's colour for the dark scheme: the same hue, its lightness
// moved until it reads against the dark background (text) or carries the
// light text (a background).
QColor darkTextColour(const QColor &colour);
QColor darkBackground(const QColor &colour);

} // namespace Hlp
