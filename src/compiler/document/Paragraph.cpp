// Text runs of the help document written in a code page.
#include "compiler/document/Paragraph.h"

namespace Hlp {

QByteArray textBytes(const QString &text, const Platform::CodePage &page, QString *lost)
{
    bool glyphs = false;
    for (const QChar c : text)
        glyphs = glyphs || isGlyph(c);
    if (!glyphs)
        return page.encode(text, lost);
    QByteArray out;
    QString letters;
    for (const QChar c : text) {
        if (!isGlyph(c)) {
            letters += c;
            continue;
        }
        out += page.encode(letters, lost);
        letters.clear();
        out += char(c.unicode() & 0xFF);
    }
    return out + page.encode(letters, lost);
}

QString glyphsAsLetters(const QString &text, const Platform::CodePage &page)
{
    bool glyphs = false;
    for (const QChar c : text)
        glyphs = glyphs || isGlyph(c);
    if (!glyphs)
        return text;
    QString out;
    for (const QChar c : text)
        out += isGlyph(c) ? page.decode(QByteArray(1, char(c.unicode() & 0xFF))) : QString(c);
    return out;
}

} // namespace Hlp
