#include "formats/CommandFile.h"

#include "platform/Cp1252.h"

#include <QCollator>
#include <QRegularExpression>
#include <QLocale>
#include <algorithm>

namespace CommandFile {

QStringList FSplitCmdLines(const QByteArray &bytes)
{
    QStringList lines;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        qsizetype stop = i;
        while (stop < n && bytes[stop] != '\r' && bytes[stop] != '\n')
            ++stop;
        lines << Platform::fromCp1252(bytes.constData() + i, stop - i);
        if (stop < n && bytes[stop] == '\r')
            ++stop;
        if (stop < n && bytes[stop] == '\n')
            ++stop;
        i = stop;
    }
    return lines;
}

QByteArray FJoinCmdLines(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines) {
        out += Platform::toCp1252(FOneLine(l));
        out += "\r\n";
    }
    return out;
}

QString FOneLine(QString line)
{
    for (QChar &ch : line)
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0x2029) || ch == QChar(0x2028))
            ch = u' ';
    return line;
}

void PAddBmpNames(const QStringList &lines, QStringList &list)
{
    if (lines.isEmpty()) {
        list.clear();
        return;
    }
    // Letter case aside, names sort the same way on every machine (the
    // help project must not depend on the machine's language).
    QCollator collator{QLocale::c()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto less = [&](const QString &a, const QString &b) { return collator.compare(a, b) < 0; };
    // The list is kept sorted, the first of equal names staying.
    QStringList sorted;
    auto addSorted = [&](const QString &name) {
        const auto at = std::lower_bound(sorted.begin(), sorted.end(), name, less);
        if (at != sorted.end() && collator.compare(*at, name) == 0)
            return;
        sorted.insert(at, name);
    };
    for (const QString &name : std::as_const(list))
        addSorted(name);
    // Pictures in the line, at the left and at the right of the text; and
    // the pictures a link shows (a picture that is a jump, as an imported
    // help has them).
    static const QRegularExpression inLink(QStringLiteral("\\\\\\{bm[clr] ([^\\\\]*)\\\\\\}"));
    for (const QString &full : lines) {
        const QString line = full.left(255).trimmed();
        bool alone = false;
        for (const char *tag : {"\\{bmc ", "\\{bml ", "\\{bmr "})
            if (line.startsWith(QLatin1String(tag)) && line.endsWith(QLatin1String("\\}"))) {
                alone = true;
                const QString name = line.mid(6, line.size() - 8).trimmed();
                // An empty name names no bitmap.
                if (!name.isEmpty())
                    addSorted(name);
            }
        if (!alone && line.startsWith(u'{'))
            for (auto it = inLink.globalMatch(line); it.hasNext();)
                if (const QString name = it.next().captured(1).trimmed(); !name.isEmpty())
                    addSorted(name);
    }
    list = sorted;
}

} // namespace CommandFile
