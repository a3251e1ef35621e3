#include "compiler/HpjFile.h"

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
    const QList<QByteArray> parts = f.mid(1, f.size() - 2).split(',');
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

THpj::Compression THpj::compression() const
{
    const QByteArray v = options.value("COMPRESS").trimmed().toUpper();
    if (v.isEmpty() || v == "NO" || v == "FALSE" || v == "0" || v == "OFF")
        return Compression::None;
    // A number of compression kinds ("12 Hall Zeck"): any of them asks
    // for compression, and LZ77 is the one we do.
    bool numeric = false;
    const int kinds = v.split(' ').first().toInt(&numeric);
    if (numeric)
        return kinds == 0 ? Compression::None : Compression::Lz77;
    if (v == "YES" || v == "TRUE" || v == "HIGH" || v == "MEDIUM" || v == "1" || v == "ON")
        return Compression::Lz77;
    return Compression::Unknown;
}

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
    if (fields.size() > 3 && !fields[3].trimmed().isEmpty())
        w->hasScroll = parseColour(fields[3], w->scroll);
    if (fields.size() > 4 && !fields[4].trimmed().isEmpty())
        w->hasTitle = parseColour(fields[4], w->title);
    return true;
}

bool parseMapLine(const QByteArray &text, QList<QPair<QByteArray, qint64>> *map)
{
    // "name number", "name=number" or "#define name number", with an
    // optional C comment after it.
    QByteArray line = text;
    for (const char *comment : {"//", "/*"})
        if (line.indexOf(comment) >= 0)
            line.truncate(line.indexOf(comment));
    line.replace('=', ' ');
    QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.value(0) == "#define")
        parts.removeFirst();
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

THpj parseHpj(const QByteArray &bytes)
{
    THpj hpj;
    QByteArray section;
    const QList<QByteArray> lines = bytes.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QByteArray line = lines[n];
        if (line.endsWith('\r'))
            line.chop(1);
        line = stripComment(line).trimmed();
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
            const QByteArray key = line.left(eq).trimmed().toUpper(), value = line.mid(eq + 1).trimmed();
            // REPORT and WARNING set how much is reported (everything is);
            // HCW is the Help Workshop editor's own mark.
            static const QList<QByteArray> known{"TITLE", "COPYRIGHT", "ROOT", "BMROOT", "COMPRESS", "CONTENTS",
                                                 "ERRORLOG", "HLP", "LCID", "CNT", "REPORT", "WARNING", "HCW"};
            if (!known.contains(key))
                hpj.warnings.append({lineNo, QStringLiteral("option non prise en charge, ignorée : %1").arg(QString::fromLatin1(key))});
            // Folders add up when given on several lines.
            if ((key == "ROOT" || key == "BMROOT") && hpj.options.contains(key))
                hpj.options[key] += ',' + value;
            else
                hpj.options.insert(key, value);
        } else if (section == "FILES") {
            hpj.files.append(line);
        } else if (section == "BITMAPS") {
            hpj.bitmaps.append(line);
        } else if (section == "CONFIG") {
            hpj.config.append(line);
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

} // namespace Hlp
