// The help project file (.HPJ) read.
#include "compiler/sources/HpjFile.h"

#include "compiler/sources/Macros.h"

namespace Hlp {

namespace {

QByteArray stripComment(const QByteArray &line)
{
    // A ';' outside quotes starts a comment.
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ';' && !quoted)
            return line.left(i);
    }
    return line;
}

bool parseColour(const QByteArray &field, quint8 rgb[3])
{
    QByteArray f = field.trimmed();
    if (!f.startsWith('(') || !f.endsWith(')'))
        return false;
    f = f.mid(1, f.size() - 2).trimmed();
    // (rNNN): a COLORREF in decimal, red in the low byte.
    if (f.startsWith('r') || f.startsWith('R')) {
        bool ok = false;
        const qint64 v = f.mid(1).trimmed().toLongLong(&ok);
        if (!ok || v < 0 || v > 0xFFFFFF)
            return false;
        rgb[0] = quint8(v & 0xFF);
        rgb[1] = quint8((v >> 8) & 0xFF);
        rgb[2] = quint8((v >> 16) & 0xFF);
        return true;
    }
    const QList<QByteArray> parts = f.split(',');
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int v = parts[i].trimmed().toInt(&ok);
        if (!ok || v < 0 || v > 255)
            return false;
        rgb[i] = quint8(v);
    }
    return true;
}

// A [FONTS] side: "face[,size[,charset]]".
bool parseFontSide(const QByteArray &text, QByteArray *face, int *size)
{
    const QList<QByteArray> parts = text.split(',');
    *face = parts.value(0).trimmed();
    *size = 0;
    if (parts.size() > 1 && !parts[1].trimmed().isEmpty()) {
        bool ok = false;
        *size = parts[1].trimmed().toInt(&ok);
        if (!ok || *size <= 0 || *size > 127)
            return false;
    }
    return !face->isEmpty();
}

// Splits at top-level commas (not inside quotes or parentheses).
QList<QByteArray> splitFields(const QByteArray &s)
{
    QList<QByteArray> out;
    QByteArray cur;
    int depth = 0;
    bool quoted = false;
    for (char c : s) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '(')
            ++depth;
        else if (!quoted && c == ')')
            depth = qMax(0, depth - 1);
        if (c == ',' && depth == 0 && !quoted) {
            out.append(cur);
            cur.clear();
        } else {
            cur.append(c);
        }
    }
    out.append(cur);
    return out;
}

} // namespace

bool parseWindowLine(const QByteArray &line, TWindowLine *w)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0)
        return false;
    w->name = line.left(eq).trimmed();
    if (w->name.isEmpty() || w->name.size() > 8)
        return false;
    const QList<QByteArray> fields = splitFields(line.mid(eq + 1));
    QByteArray caption = fields.value(0).trimmed();
    if (caption.startsWith('"') && caption.endsWith('"') && caption.size() >= 2)
        caption = caption.mid(1, caption.size() - 2);
    w->caption = caption.left(50);
    const QByteArray place = fields.value(1).trimmed();
    if (!place.isEmpty()) {
        if (!place.startsWith('(') || !place.endsWith(')'))
            return false;
        const QList<QByteArray> parts = place.mid(1, place.size() - 2).split(',');
        if (parts.size() > 4)
            return false;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (parts[i].trimmed().isEmpty())
                continue;
            bool ok = false;
            const int v = parts[i].trimmed().toInt(&ok);
            if (!ok || v < -32768 || v > 32767)
                return false;
            w->hasPlace[i] = true;
            w->place[i] = qint16(v);
        }
    }
    const QByteArray state = fields.value(2).trimmed();
    if (!state.isEmpty()) {
        bool ok = false;
        const uint v = state.toUInt(&ok, 0);
        if (!ok || v > 0xFFFF)
            return false;
        w->hasState = true;
        w->state = quint16(v);
    }
    if (fields.size() > 3 && !fields[3].trimmed().isEmpty() && !(w->hasScroll = parseColour(fields[3], w->scroll)))
        return false;
    if (fields.size() > 4 && !fields[4].trimmed().isEmpty() && !(w->hasTitle = parseColour(fields[4], w->title)))
        return false;
    // Flags: "1" (on top), or "fN" with 1 on top and 2 the height fitted
    // to the topic.
    QByteArray flags = fields.value(5).trimmed().toLower();
    if (!flags.isEmpty()) {
        const bool helpWorkshop = flags.startsWith('f');
        bool ok = false;
        const int v = (helpWorkshop ? flags.mid(1) : flags).toInt(&ok);
        if (!ok || v < 0 || v > 3)
            return false;
        w->onTop = v & 1;
        w->autoHeight = helpWorkshop && (v & 2);
    }
    return fields.size() <= 6;
}

QList<QByteArray> mapLineParts(const QByteArray &text)
{
    // "name number", "name=number" or "#define name number", with an
    // optional comment after it (C's, or the help project's ';', which map
    // files write after the number: "IDH_X = 1;").
    QByteArray line = text;
    for (const char *comment : {"//", "/*", ";"})
        if (line.indexOf(comment) >= 0)
            line.truncate(line.indexOf(comment));
    line.replace('=', ' ');
    QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.value(0) == "#define")
        parts.removeFirst();
    return parts;
}

bool parseMapLine(const QByteArray &text, QList<QPair<QByteArray, qint64>> *map)
{
    const QList<QByteArray> parts = mapLineParts(text);
    if (parts.size() != 2)
        return false;
    bool ok = false;
    QByteArray number = parts[1];
    while (number.endsWith('L') || number.endsWith('l') || number.endsWith('U') || number.endsWith('u'))
        number.chop(1);
    const qint64 v = number.startsWith("0x") || number.startsWith("0X") ? number.mid(2).toLongLong(&ok, 16)
                                                                        : number.toLongLong(&ok, 10);
    if (!ok || v < 0 || v > 0xFFFFFFFFLL)
        return false;
    map->append({parts[0], v});
    return true;
}

namespace {

// BUILD= expressions: or := and ('|' and)*; and := not ('&' not)*;
// not := '~' not | '(' or ')' | tag.
class BuildExpression {
public:
    BuildExpression(const QByteArray &text, const QList<QByteArray> &tags) : m_text(text), m_tags(tags) {}
    bool evaluate(bool *valid)
    {
        const bool v = alternatives();
        skip();
        *valid = m_ok && m_at == m_text.size();
        return *valid ? v : true;
    }

private:
    void skip()
    {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t'))
            ++m_at;
    }
    bool take(char c)
    {
        skip();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool alternatives()
    {
        bool v = all();
        while (m_ok && take('|'))
            v = all() || v;
        return v;
    }
    bool all()
    {
        bool v = negation();
        while (m_ok && take('&'))
            v = negation() && v;
        return v;
    }
    bool negation()
    {
        if (++m_depth > 64) {
            m_ok = false;
            return false;
        }
        bool v = false;
        if (take('~')) {
            v = !negation();
        } else if (take('(')) {
            v = alternatives();
            m_ok = m_ok && take(')');
        } else {
            skip();
            const qsizetype start = m_at;
            while (m_at < m_text.size() && !QByteArray(" \t~&|()").contains(m_text[m_at]))
                ++m_at;
            m_ok = m_ok && m_at > start;
            v = m_tags.contains(m_text.mid(start, m_at - start).toUpper());
        }
        --m_depth;
        return v;
    }

    const QByteArray &m_text;
    const QList<QByteArray> &m_tags;
    qsizetype m_at = 0;
    int m_depth = 0;
    bool m_ok = true;
};

} // namespace

bool buildSelects(const QByteArray &expression, const QList<QByteArray> &tags, bool *valid)
{
    return BuildExpression(expression, tags).evaluate(valid);
}

THpj parseHpj(const QByteArray &bytes)
{
    THpj hpj;
    QByteArray section;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray whole = line.trimmed();
        // Names keep a trailing blank (a folder "Images " is another
        // folder) unless a comment follows them.
        const QByteArray uncommented = stripComment(line);
        QByteArray name = uncommented.size() == line.size() ? uncommented : uncommented.trimmed();
        while (name.startsWith(' ') || name.startsWith('\t'))
            name.remove(0, 1);
        line = uncommented.trimmed();
        if (line.isEmpty())
            continue;
        const int lineNo = n + 1;
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            section = (end < 0 ? line.mid(1) : line.mid(1, end - 1)).trimmed().toUpper();
            continue;
        }
        if (section == "OPTIONS") {
            const qsizetype eq = line.indexOf('=');
            if (eq <= 0) {
                hpj.warnings.append({lineNo, QStringLiteral("option sans valeur ignorée : %1").arg(QString::fromLatin1(line))});
                continue;
            }
            const QByteArray key = line.left(eq).trimmed().toUpper();
            QByteArray value = line.mid(eq + 1).trimmed();
            if (key == "ROOT" || key == "BMROOT" || key == "HLP" || key == "ERRORLOG") {
                value = name.mid(name.indexOf('='));
                value.remove(0, 1);
                while (value.startsWith(' ') || value.startsWith('\t'))
                    value.remove(0, 1);
            }
            // REPORT and WARNING set how much is reported (everything is);
            // HCW is the Help Workshop editor's own mark.
            static const QList<QByteArray> known{"TITLE", "COPYRIGHT", "ROOT", "BMROOT", "COMPRESS", "CONTENTS",
                                                 "ERRORLOG", "HLP", "LCID", "CNT", "REPORT", "WARNING", "HCW",
                                                 "CITATION", "DEFFONT", "BUILD", "PREFIX", "CHARSET"};
            if (!known.contains(key))
                hpj.warnings.append({lineNo, QStringLiteral("option non prise en charge, ignorée : %1").arg(QString::fromLatin1(key))});
            // Folders add up when given on several lines.
            if ((key == "ROOT" || key == "BMROOT") && hpj.options.contains(key))
                hpj.options[key] += ',' + value;
            else
                hpj.options.insert(key, value);
        } else if (section == "FILES") {
            hpj.files.append(name);
        } else if (section == "BITMAPS") {
            hpj.bitmaps.append(name);
        } else if (section == "CONFIG" || section.startsWith("CONFIG-") || section.startsWith("CONFIG:")) {
            // ';' also joins macros: a line that is one macro string as a
            // whole is kept whole; otherwise what follows ';' is a comment.
            const QByteArray macro = whole != line && checkMacro(whole).errors.isEmpty() ? whole : line;
            if (section == "CONFIG")
                hpj.config.append(macro);
            else
                hpj.windowConfig[section.mid(7).trimmed()].append(macro);
        } else if (section == "WINDOWS") {
            TWindowLine w;
            if (parseWindowLine(line, &w))
                hpj.windows.append(w);
            else
                hpj.warnings.append({lineNo, QStringLiteral("définition de fenêtre incorrecte ignorée")});
        } else if (section == "MAP") {
            if (line.startsWith("#include")) {
                QByteArray name = line.mid(8).trimmed();
                if ((name.startsWith('<') && name.endsWith('>')) || (name.startsWith('"') && name.endsWith('"')))
                    name = name.mid(1, name.size() - 2).trimmed();
                hpj.mapIncludes.append({lineNo, name});
            } else if (!parseMapLine(line, &hpj.map)) {
                hpj.warnings.append({lineNo, QStringLiteral("entrée [MAP] incorrecte ignorée")});
            }
        } else if (section == "BAGGAGE") {
            hpj.baggage.append(name);
        } else if (section == "BUILDTAGS") {
            if (line.contains(' ') || line.contains('\t'))
                hpj.warnings.append({lineNo, QString::fromUtf8("balise de compilation avec un blanc ignorée : %1").arg(QString::fromLatin1(line))});
            else if (!hpj.buildTags.contains(line.toUpper()))
                hpj.buildTags.append(line.toUpper());
        } else if (section == "FONTS") {
            const qsizetype eq = line.indexOf('=');
            TFontMapping m;
            if (eq > 0 && parseFontSide(line.left(eq), &m.face, &m.size) && parseFontSide(line.mid(eq + 1), &m.toFace, &m.toSize))
                hpj.fonts.append(m);
            else
                hpj.warnings.append({lineNo, QStringLiteral("entrée [FONTS] incorrecte ignorée")});
        } else if (section == "ALIAS") {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                hpj.alias.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
            else
                hpj.warnings.append({lineNo, QStringLiteral("entrée [ALIAS] incorrecte ignorée")});
        } else if (!section.isEmpty()) {
            // Sections not used here ([BAGGAGE], [FONTS] ...): said once.
            if (!hpj.unknownSections.contains(section)) {
                hpj.unknownSections.append(section);
                hpj.warnings.append({lineNo, QStringLiteral("section [%1] non prise en charge, ignorée").arg(QString::fromLatin1(section))});
            }
        } else {
            hpj.warnings.append({lineNo, QStringLiteral("ligne hors section ignorée")});
        }
    }
    if (hpj.files.isEmpty())
        hpj.errors.append({0, QStringLiteral("aucun fichier de pages dans [FILES]")});
    return hpj;
}

QByteArray hpjValue(QByteArray text)
{
    for (char &c : text)
        if (quint8(c) < 0x20 || quint8(c) == 0x7F)
            c = ' ';
    return text;
}

QByteArray windowPlacement(const TWindowDef &w)
{
    QByteArray place;
    for (int i = 0; i < 4; ++i)
        place += (i ? "," : "") + (w.hasPlace[i] ? QByteArray::number(w.place[i]) : QByteArray());
    return '"' + hpjValue(w.caption) + "\",(" + place + ")," + (w.hasState ? QByteArray::number(w.state) : QByteArray());
}

QByteArray windowLine(const TWindowDef &w)
{
    const auto colour = [](bool has, const quint8 *c) {
        return has ? '(' + QByteArray::number(c[0]) + ',' + QByteArray::number(c[1]) + ',' + QByteArray::number(c[2]) + ')' : QByteArray();
    };
    return hpjValue(w.name) + '=' + windowPlacement(w) + ',' + colour(w.hasScroll, w.scroll) + ',' + colour(w.hasTitle, w.title) + ",f"
           + QByteArray::number((w.onTop ? 1 : 0) | (w.autoHeight ? 2 : 0));
}

} // namespace Hlp
