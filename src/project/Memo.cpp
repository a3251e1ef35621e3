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

int FLineCount(const QPlainTextEdit *memo)
{
    return memo->document()->isEmpty() ? 0 : memo->document()->blockCount();
}

void PSetLines(QPlainTextEdit *memo, const QStringList &lines)
{
    memo->setPlainText(lines.join(u'\n'));
}

int FAppend(QPlainTextEdit *memo, const QString &line)
{
    const bool empty = memo->document()->isEmpty();
    QTextCursor c(memo->document());
    c.movePosition(QTextCursor::End);
    if (!empty)
        c.insertBlock();
    // One command is one line: line breaks inside it become blanks.
    QString text = line;
    for (QChar &ch : text)
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0x2029) || ch == QChar(0x2028))
            ch = u' ';
    c.insertText(text);
    return memo->document()->blockCount() - 1;
}

} // namespace Memo
