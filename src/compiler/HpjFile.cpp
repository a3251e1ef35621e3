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

bool THpj::compressed() const
{
    const QByteArray v = options.value("COMPRESS").trimmed().toUpper();
    return v == "YES" || v == "TRUE" || v == "HIGH" || v == "MEDIUM" || v == "1";
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
            hpj.options.insert(line.left(eq).trimmed().toUpper(), line.mid(eq + 1).trimmed());
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
            QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() >= 2 && parts[0] == "#define" && parts.size() >= 3)
                parts.removeFirst();
            bool ok = false;
            const QByteArray number = parts.value(1);
            const qint64 v = number.startsWith("0x") || number.startsWith("0X") ? number.mid(2).toLongLong(&ok, 16)
                                                                                : number.toLongLong(&ok, 10);
            if (parts.size() >= 2 && ok)
                hpj.map.append({parts[0], v});
            else
                hpj.warnings.append({lineNo, QStringLiteral("entrée [MAP] incorrecte ignorée")});
        } else if (section == "ALIAS") {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0)
                hpj.alias.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
            else
                hpj.warnings.append({lineNo, QStringLiteral("entrée [ALIAS] incorrecte ignorée")});
        } else if (!section.isEmpty()) {
            // Sections we do not use ([BAGGAGE], [BUILDTAGS] ...) are passed over.
        } else {
            hpj.warnings.append({lineNo, QStringLiteral("ligne hors section ignorée")});
        }
    }
    if (hpj.files.isEmpty())
        hpj.errors.append({0, QStringLiteral("aucun fichier de pages dans [FILES]")});
    return hpj;
}

} // namespace Hlp
