// Word stems for the web search, in the languages the pages' script knows.
#include "compiler/web/HtmlSite.h"

#include <QHash>

namespace Hlp {

// Snowball's algorithms in the pages' script (ES5): they give the stems
// libstemmer gives the index, checked word for word against it on the
// Hunspell dictionaries' words and their inflected forms (French 146,000,
// Italian 187,000, German 215,000, Spanish 240,000, Portuguese 212,000,
// Dutch 276,000, Russian 302,000; English 33,000 from help texts); the
// browser test checks every word of the sites it builds. Polish has no
// algorithm in libstemmer: its words are indexed whole. Each is a file
// of its own (stem-<algorithm>.js), built in.
extern const char kStem_common[], kStem_french[], kStem_english[], kStem_italian[], kStem_german[], kStem_spanish[],
    kStem_portuguese[], kStem_dutch[], kStem_russian[];

QByteArray stemmerScript(const QString &algorithm)
{
    static const QHash<QString, const char *> scripts{
        {QStringLiteral("french"), kStem_french},   {QStringLiteral("english"), kStem_english},
        {QStringLiteral("italian"), kStem_italian}, {QStringLiteral("german"), kStem_german},
        {QStringLiteral("spanish"), kStem_spanish}, {QStringLiteral("portuguese"), kStem_portuguese},
        {QStringLiteral("dutch"), kStem_dutch},     {QStringLiteral("russian"), kStem_russian}};
    const char *script = scripts.value(algorithm, nullptr);
    if (!script)
        return "// No stemmer in the page for this language: words are found whole and by their start.\n";
    return QByteArray(kStem_common) + script;
}

} // namespace Hlp
