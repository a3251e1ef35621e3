#include "formats/OutlineFile.h"

#include "platform/Cp1252.h"

namespace Outline {

TParse FParse(const QByteArray &bytes)
{
    TParse out;
    const qsizetype end = [&] {
        const qsizetype eof = bytes.indexOf('\x1a');
        return eof < 0 ? bytes.size() : eof;
    }();
    int firstIndent = -1;
    int prevIndent = -1;
    int lineNo = 0;
    qsizetype i = 0;
    while (i < end) {
        ++lineNo;
        qsizetype stop = i;
        while (stop < end && bytes[stop] != '\r' && bytes[stop] != '\n')
            ++stop;
        const qsizetype length = stop - i;
        qsizetype next = stop;
        if (next < end && bytes[next] == '\r')
            ++next;
        if (next < end && bytes[next] == '\n')
            ++next;
        if (length + 2 > MaxLineBytes) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("ligne trop longue");
            return out;
        }
        int indent = 0;
        qsizetype t = i;
        while (t < stop && (bytes[t] == '\t' || bytes[t] == ' ')) {
            ++indent;
            ++t;
        }
        const QString text = Platform::fromCp1252(bytes.constData() + t, stop - t);
        i = next;
        if (text.trimmed().isEmpty())
            continue;
        if (firstIndent < 0) {
            firstIndent = indent;
        } else if (indent >= prevIndent + 2) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("saut de niveau");
            return out;
        } else if (indent < firstIndent) {
            out.ok = false;
            out.errorLine = lineNo;
            out.error = QStringLiteral("niveau au-dessus du premier");
            return out;
        }
        prevIndent = indent;
        out.lines.append(TLine{indent - firstIndent + 1, text.left(255)});
    }
    return out;
}

QByteArray FFormat(const QList<TLine> &lines)
{
    QByteArray out;
    for (const TLine &l : lines) {
        out += QByteArray(qMax(0, l.level - 1), '\t');
        out += Platform::toCp1252(l.text);
        out += "\r\n";
    }
    return out;
}

} // namespace Outline
