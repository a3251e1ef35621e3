#include "helpgen/WaitFor.h"

#include <QCoreApplication>

TCWaitFor::TCWaitFor(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("WaitFor"));
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
    QCoreApplication::processEvents();
}

void TCWaitFor::PStepWait()
{
    if (m_count < m_rate) {
        ++m_count;
        return;
    }
    m_count = 1;
    setText(text() + AAWaitChar);
    resize(m_savedWidth, height());
    QCoreApplication::processEvents();
}
