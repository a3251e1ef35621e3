#pragma once
// The progress line: a label that shows what a long operation does and grows
// by one mark every `rate` steps. It is repainted a few times a second at
// most, and its text never widens the window.
#include <QColor>
#include <QElapsedTimer>
#include <QLabel>

class TCWaitFor : public QLabel {
    Q_OBJECT
public:
    explicit TCWaitFor(QWidget *parent = nullptr);

    // Starts a progress line; an empty message or mark keeps the last one.
    void PShowWait(const QString &msg, const QString &waitChar, int rate);
    void PStepWait();

    QString AAMsg;
    QString AAWaitChar = QStringLiteral(". ");
    int AAMsgSz = 0;

    QColor AABackCol() const { return m_backCol; }
    void setAABackCol(const QColor &c); // invalid = transparent
    QColor AAMsgCol() const { return m_msgCol; }
    void setAAMsgCol(const QColor &c);

private:
    void applyColours();
    // Painted at once when the operation has run for a while and the last
    // paint is old enough; else when the window is free again.
    void paintWhenDue();

    QColor m_backCol;
    QColor m_msgCol = Qt::black;
    quint16 m_rate = 1;
    quint16 m_count = 1;
    int m_savedWidth = 0;
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_busy; // since the operation's first message

};
