#include "editing/SpellCheck.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTextEdit>
#include <QEvent>
#include <QTimer>

#include <memory>

#ifdef KIVHELP_HAVE_HUNSPELL
#include <hunspell.hxx>
#endif

namespace SpellCheck {

namespace {

#ifdef KIVHELP_HAVE_HUNSPELL
// The dictionary, loaded once; null when none is installed.
Hunspell *dictionary()
{
    static std::unique_ptr<Hunspell> loaded = []() -> std::unique_ptr<Hunspell> {
        for (const char *name : {"fr_FR", "fr"}) {
            const QString base = QStringLiteral("/usr/share/hunspell/") + QLatin1String(name);
            if (QFileInfo::exists(base + QStringLiteral(".aff")) && QFileInfo::exists(base + QStringLiteral(".dic")))
                return std::make_unique<Hunspell>(QString(base + QStringLiteral(".aff")).toLocal8Bit().constData(),
                                                  QString(base + QStringLiteral(".dic")).toLocal8Bit().constData());
        }
        return nullptr;
    }();
    return loaded.get();
}
#endif

// Words: letters, with apostrophes and hyphens inside them.
const QRegularExpression &wordPattern()
{
    static const QRegularExpression pattern(QStringLiteral("[\\p{L}\\p{N}_@]+(?:['’\\-][\\p{L}\\p{N}_@]+)*"));
    return pattern;
}

bool checkable(const QString &word)
{
    for (const QChar c : word)
        if (c.isDigit() || c == u'_' || c == u'@')
            return false;
    return word.size() > 1;
}

} // namespace

bool available()
{
#ifdef KIVHELP_HAVE_HUNSPELL
    return dictionary() != nullptr;
#else
    return false;
#endif
}

bool correct(const QString &word)
{
#ifdef KIVHELP_HAVE_HUNSPELL
    Hunspell *d = dictionary();
    if (!d)
        return true;
    // The French dictionary knows the typographic apostrophe as the plain one.
    QString plain = word;
    plain.replace(u'’', u'\'');
    return d->spell(plain.toUtf8().toStdString());
#else
    Q_UNUSED(word);
    return true;
#endif
}

QStringList suggestions(const QString &word, int count)
{
    QStringList out;
#ifdef KIVHELP_HAVE_HUNSPELL
    if (Hunspell *d = dictionary())
        for (const std::string &s : d->suggest(word.toUtf8().toStdString())) {
            if (out.size() >= count)
                break;
            out << QString::fromStdString(s);
        }
#else
    Q_UNUSED(word);
    Q_UNUSED(count);
#endif
    return out;
}

QList<QPair<int, int>> misspelt(const QString &text)
{
    QList<QPair<int, int>> out;
    if (!available())
        return out;
    for (auto it = wordPattern().globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (checkable(m.captured()) && !correct(m.captured()))
            out.append({int(m.capturedStart()), int(m.capturedLength())});
    }
    return out;
}

namespace {
// Starts an editor's check when it comes into view: an editor nobody sees
// (a topic not shown, a build without a window) is never checked.
struct TShowWatch : QObject {
    QTimer *timer;
    explicit TShowWatch(QTimer *t) : QObject(t), timer(t) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            timer->start();
        return false;
    }
};
} // namespace

void attach(QTextEdit *editor)
{
    // The dictionary is loaded by the first check, not here: editors are
    // made ahead of time at start-up.
    if (!editor)
        return;
    auto *timer = new QTimer(editor);
    timer->setObjectName(QStringLiteral("SpellCheckTimer"));
    timer->setSingleShot(true);
    timer->setInterval(400);
    QObject::connect(timer, &QTimer::timeout, editor, [editor] {
        if (!editor->isVisible())
            return;
        // Made again from the text shown, never kept from another one.
        QList<QTextEdit::ExtraSelection> marks;
        QTextCharFormat wavy;
        wavy.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
        wavy.setUnderlineColor(Qt::red);
        for (const auto &[start, length] : misspelt(editor->toPlainText())) {
            QTextEdit::ExtraSelection mark;
            mark.cursor = QTextCursor(editor->document());
            mark.cursor.setPosition(start);
            mark.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
            mark.format = wavy;
            marks.append(mark);
        }
        editor->setExtraSelections(marks);
    });
    // Typing, and another topic's text shown in the editor.
    QObject::connect(editor, &QTextEdit::textChanged, timer, [editor, timer] {
        if (editor->isVisible())
            timer->start();
    });
    editor->installEventFilter(new TShowWatch(timer));
}

QPair<int, int> misspeltAt(const QTextEdit *editor, int position)
{
    for (const auto &[start, length] : misspelt(editor->toPlainText()))
        if (position >= start && position <= start + length)
            return {start, length};
    return {-1, 0};
}

} // namespace SpellCheck
