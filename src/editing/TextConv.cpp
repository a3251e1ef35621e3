#include "editing/TextConv.h"

#include "platform/Cp1252.h"

namespace TextConv {

namespace {

constexpr int kShort = 255;

const QString &forbidden()
{
    static const QString chars = QString::fromUtf8("°\\{}¨£µ§¤/:*?\"<>|+=()[],@#-!;");
    return chars;
}

const QString &escapedLetters()
{
    static const QString chars = QString::fromUtf8("éèçàùâêîôûÂÊÎÔÛäëïöüÄËÏÖÜòÒ°¨£µ§¤");
    return chars;
}

} // namespace

bool FIsForbiddenInTopicName(QChar c) { return forbidden().contains(c); }

QString FCleanTopicName(const QString &name)
{
    QString out = name.left(kShort);
    for (QChar &c : out)
        if (FIsForbiddenInTopicName(c))
            c = u' ';
    return out;
}

QString FContextName(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c == u' ')
            out += u'_';
        else if (c == u'\'')
            out += QStringLiteral("\\'");
        else
            out += c;
    }
    return out.left(kShort);
}

QString FDoubleBackslash(const QString &text, TBackslashMode mode)
{
    QString out = text;
    out.replace(u'\\', mode == Single ? QStringLiteral("\\\\") : QStringLiteral("\\\\\\\\"));
    return out.left(kShort);
}

QString FRtfEscape(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += u'\\';
            out += c;
        } else if (escapedLetters().contains(c)) {
            out += QStringLiteral("\\'%1").arg(Platform::cp1252Byte(c), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out.left(kShort);
}

bool FStripLineEnd(QString &text)
{
    if (text.isEmpty() || text.back() != u'\n')
        return false;
    text.chop(2);
    return true;
}

} // namespace TextConv
