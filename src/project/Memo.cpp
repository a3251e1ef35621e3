#include "project/Memo.h"

#include <QTextBlock>

namespace Memo {

QStringList FLines(const QPlainTextEdit *memo)
{
    QStringList out;
    const QTextDocument *doc = memo->document();
    if (doc->isEmpty())
        return out;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

void PSetLines(QPlainTextEdit *memo, const QStringList &lines)
{
    memo->setPlainText(lines.join(u'\n'));
}

} // namespace Memo
