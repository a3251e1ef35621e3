#include "editing/WaitFor.h"

#include <QTimer>

namespace {
// A progress line is repainted at most this often, however many steps an
// operation takes: painting is the slow part of a step.
constexpr qint64 RepaintEveryMs = 100;
} // namespace

TCWaitFor::TCWaitFor(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("WaitFor"));
    // The line's text never sizes the window: it is cut where the line ends.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(0);
    applyColours();
}

void TCWaitFor::setAABackCol(const QColor &c)
{
    m_backCol = c;
    applyColours();
}

void TCWaitFor::setAAMsgCol(const QColor &c)
{
    m_msgCol = c;
    applyColours();
}

void TCWaitFor::applyColours()
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, m_msgCol);
    if (m_backCol.isValid()) {
        pal.setColor(QPalette::Window, m_backCol);
        setAutoFillBackground(true);
    } else {
        setAutoFillBackground(false);
    }
    setPalette(pal);
}

void TCWaitFor::PShowWait(const QString &msg, const QString &waitChar, int rate)
{
    if (!msg.isEmpty())
        AAMsg = msg;
    if (!waitChar.isEmpty())
        AAWaitChar = waitChar;
    m_rate = static_cast<quint16>(qBound(1, rate, 65535));
    m_count = 1;
    m_savedWidth = width();
    applyColours();
    if (AAMsgSz > 0) {
        QFont f = font();
        f.setPointSize(AAMsgSz);
        setFont(f);
    }
    setText(AAMsg);
    resize(m_savedWidth, height());
    // The line alone is painted: no other work of the window (the preview,
    // the spelling check, timers) runs inside the operation that shows it,
    // a save among them. An operation shorter than the repaint period (a
    // save) is painted once, when the window is free again.
    if (!isVisible())
        return;
    paintWhenDue();
}

void TCWaitFor::paintWhenDue()
{
    if (!m_busy.isValid()) {
        // The window's event loop runs again when the operation is over.
        m_busy.start();
        QTimer::singleShot(0, this, [this] { m_busy.invalidate(); });
    }
    if (m_busy.elapsed() >= RepaintEveryMs && (!m_sincePaint.isValid() || m_sincePaint.elapsed() >= RepaintEveryMs)) {
        repaint();
        m_sincePaint.start();
    } else {
        update();
    }
}

void TCWaitFor::PStepWait()
{
    if (m_count < m_rate) {
        ++m_count;
        return;
    }
    m_count = 1;
    QString next = text() + AAWaitChar;
    // Marks that would run past the line's end start again after the message.
    if (isVisible() && fontMetrics().horizontalAdvance(next) + 2 * indent() > width())
        next = AAMsg + AAWaitChar;
    setText(next);
    resize(m_savedWidth, height());
    // Only the line is painted, and not at every step: no other work of the
    // window (timers, input) runs inside the operation.
    if (isVisible())
        paintWhenDue();
}
