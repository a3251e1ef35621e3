#include "formats/TextConv.h"

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

QString FProjectNameProblem(const QString &name)
{
    if (const QString problem = FTopicNameProblem(name); !problem.isEmpty())
        return problem;
    // The names of the folders the program keeps beside a project: its
    // backup (N.OLD), its outputs (N.COM), its staging and state (.N.kvnew,
    // .N.kvstate) and the hidden files that start with a dot.
    if (name.startsWith(u'.'))
        return QString::fromUtf8("Le nom ne doit pas commencer par un point (les dossiers cachés sont ceux du programme).");
    for (const char *suffix : {".OLD", ".COM", ".kvnew", ".kvstate"})
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return QString::fromUtf8("Le nom ne doit pas finir par « %1 » : le programme nomme ainsi ses propres dossiers.")
                .arg(QLatin1String(suffix));
    return {};
}

QString FTopicNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QString::fromUtf8("Le nom est vide.");
    if (name.at(0).isSpace())
        return QString::fromUtf8("Le nom ne doit pas commencer par un espace.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QString::fromUtf8("Le nom ne peut pas être « . » ni « .. ».");
    QString outside;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == u'\x7f')
            return QString::fromUtf8("Le nom contient un caractère de contrôle (tabulation, retour à la ligne...).");
        if (c == u'/' || c == u'\\')
            return QString::fromUtf8("Le nom ne doit contenir ni « / » ni « \\ ».");
    }
    // Each character must survive the round trip through Windows-1252.
    const QString back = Platform::fromCp1252(Platform::toCp1252(name));
    for (qsizetype i = 0; i < name.size(); ++i)
        if (i >= back.size() || back.at(i) != name.at(i)) {
            if (!outside.contains(name.at(i)))
                outside += name.at(i);
        }
    if (!outside.isEmpty())
        return QString::fromUtf8("Le nom contient des caractères que les fichiers du projet ne peuvent pas "
                                 "enregistrer (Windows-1252) : ")
               + outside;
    if (name.toUtf8().size() > MaxNameBytes)
        return QString::fromUtf8("Le nom est trop long pour un nom de fichier (%1 octets au plus).").arg(MaxNameBytes);
    return {};
}

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
    return QString::fromLatin1(Platform::cp1252HelpContext(Platform::toCp1252(FLegacyContextName(name)), kShort));
}

QString FLegacyContextName(const QString &name)
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

QString FRtfUnicode(const QString &rtf)
{
    QString out;
    out.reserve(rtf.size());
    for (const QChar c : rtf) {
        if (c.unicode() >= 0x80 && Platform::cp1252Byte(c) < 0x80)
            out += QStringLiteral("\\u%1?").arg(qint16(c.unicode()));
        else
            out += c;
    }
    return out;
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
