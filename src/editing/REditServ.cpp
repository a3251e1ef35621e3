#include "editing/REditServ.h"
#include <QTextDocumentFragment>
#include "platform/Prompts.h"
#include "editing/RtfText.h"

#include "editing/SpellCheck.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QVBoxLayout>
#include <new>

TCREditServer *VGGREditServer = nullptr;

// ---- the control ----

TRichEdit::TRichEdit(QWidget *parent) : QTextEdit(parent)
{
    connect(document(), &QTextDocument::contentsChanged, this, [this] { ++m_changes; });
}

int TRichEdit::textLength() const { return document()->characterCount() - 1; }

void TRichEdit::keyPressEvent(QKeyEvent *event)
{
    if (onKeyDown)
        onKeyDown(this, event->key(), event->modifiers());
    // The Insert key switches between inserting and replacing.
    if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
        setOverwriteMode(!overwriteMode());
        return;
    }
    // A full control takes no more characters (deleting and moving still work).
    const bool adds = !event->text().isEmpty() && event->text().at(0).isPrint();
    const bool breaks = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter
                        || event->key() == Qt::Key_Tab;
    if ((adds || breaks) && !textCursor().hasSelection() && textLength() >= m_maxLength) {
        QApplication::beep();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TRichEdit::focusInEvent(QFocusEvent *event)
{
    QTextEdit::focusInEvent(event);
    if (onEnter)
        onEnter(this);
}

void TRichEdit::insertFromMimeData(const QMimeData *source)
{
    const int room = m_maxLength - textLength() + textCursor().selectedText().size();
    if (source && source->hasText() && source->text().size() > room) {
        QApplication::beep();
        if (room > 0)
            textCursor().insertText(source->text().left(room));
        return;
    }
    // Rich text from elsewhere: what a topic can hold is kept now, not
    // lost at the next save; what it cannot hold is said, once.
    if (source && source->hasHtml() && acceptRichText()) {
        QTextDocument in, out;
        in.setDefaultFont(document()->defaultFont());
        out.setDefaultFont(document()->defaultFont());
        in.setHtml(source->html());
        const QStringList dropped = RtfText::FKeepWhatATopicHolds(in, out);
        textCursor().insertFragment(QTextDocumentFragment(&out));
        ensureCursorVisible();
        if (!dropped.isEmpty())
            Platform::prompts().plain(QString::fromUtf8("Le texte a été collé sans ce qu'une page d'aide ne peut pas "
                                                        "garder : ")
                                      + dropped.join(QStringLiteral(", "))
                                      + QString::fromUtf8(" (leur texte est gardé)."));
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

// ---- the unit ----

namespace U_REditServ {

namespace {
TErrorContext g_ctx;
}

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString(), QStringLiteral("U_REditServ"), active, trace, destination);
}

bool FCreateRichEdit(TRichEdit *&control, int maxLength, const QStringList *fontList, QWidget *parent,
                     QObject *owner)
{
    TSubGuard sub(g_ctx, QStringLiteral("FCreateRichEdit"));
    Q_UNUSED(owner); // the parent widget owns the control for its destruction
    auto *edit = new (std::nothrow) TRichEdit;
    if (!edit) {
        sub.report(8, QString(), 1);
        return false;
    }
    edit->hide();
    if (parent) {
        // Every topic control fills the topic panel; hidden ones take no room.
        if (!parent->layout()) {
            auto *layout = new QVBoxLayout(parent);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->setSpacing(0);
        }
        edit->setParent(parent);
        parent->layout()->addWidget(edit);
        edit->hide();
    }
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Right clicks reach the main window, whose pop-up menu serves the topics.
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SpellCheck::attach(edit);

    // Default font: the first name of the list, no style, 13 points.
    QString family = (fontList && !fontList->isEmpty()) ? fontList->first() : QApplication::font().family();
    QFont font(family, 13);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    edit->document()->setDefaultFont(font);
    edit->setFont(font);
    edit->clear();
    QTextCharFormat format;
    format.setFontFamilies({family});
    format.setFontPointSize(13);
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    edit->setCurrentCharFormat(format);

    edit->setTabChangesFocus(false);     // tabs go into the text
    edit->setAcceptRichText(true);
    edit->setMaxLength(maxLength);
    edit->setLineWrapMode(QTextEdit::WidgetWidth);
    edit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    control = edit;
    sub.report(0);
    return true;
}

} // namespace U_REditServ

// ---- the pool ----

TErrorContext &TCREditServer::FInit(bool active, bool trace, quint8 destination, QWidget *parent,
                                    QObject *owner, const QStringList *fontList, int timeFast,
                                    int timeSlow, int maxLength, int slotCount)
{
    FDeriveErrCtx(U_REditServ::context(), m_ctx, QStringLiteral("TCREditServer"), QString(), destination);
    PSetSwitches(m_ctx, active, trace, destination);
    TSubGuard sub(m_ctx, QStringLiteral("FInit"));

    if (slotCount > MaxSlots || slotCount < 0)
        return sub.report(6, QStringLiteral("NbREdit = %1").arg(slotCount), 3);
    if (maxLength < 0 || maxLength > 64000)
        return sub.report(6, QStringLiteral("MaxLength = %1").arg(maxLength), 3);
    if (timeSlow == 0)
        return sub.report(6, QStringLiteral("TimeSlow = 0"), 3);
    if (timeFast == 0)
        return sub.report(6, QStringLiteral("TimeFast = 0"), 3);
    if (!fontList)
        return sub.report(6, QStringLiteral("WFntList"), 5);
    if (!owner)
        return sub.report(6, QStringLiteral("Owner"), 5);
    if (!parent)
        return sub.report(6, QStringLiteral("Parent"), 5);

    m_initialised = false;
    m_busy = false;
    m_nbREdit = static_cast<quint16>(slotCount);
    m_maxLength = maxLength;
    // Intervals are 16-bit; a larger setting is taken as the largest.
    m_timeSlow = static_cast<quint16>(qBound(1, timeSlow, 65535));
    m_timeFast = static_cast<quint16>(qBound(1, timeFast, 65535));
    m_fonts = fontList;
    m_owner = owner;
    m_parent = parent;
    for (auto &s : m_slots)
        s.clear();
    if (!m_timer) {
        m_timer = new (std::nothrow) QTimer(this);
        if (!m_timer)
            return sub.report(8, QStringLiteral("_Timer := TTimer.Create"), 0);
        connect(m_timer, &QTimer::timeout, this, &TCREditServer::PFillTick);
    }
    m_timer->stop();
    m_timer->setInterval(m_timeSlow);
    m_initialised = true;
    return sub.report(0);
}

void TCREditServer::PFillTick()
{
    if (m_busy)
        return;
    m_busy = true;
    for (int i = 0; i < m_nbREdit; ++i) {
        if (!m_slots[i]) {
            TRichEdit *control = nullptr;
            if (U_REditServ::FCreateRichEdit(control, m_maxLength, m_fonts, m_parent, m_owner))
                m_slots[i] = control;
            break;
        }
    }
    m_busy = false;
}

TErrorContext &TCREditServer::FGet(TRichEdit *&control)
{
    TSubGuard sub(m_ctx, QStringLiteral("FGet"));
    control = nullptr;
    if (m_timer)
        m_timer->stop();
    for (int i = 0; i < m_nbREdit; ++i) {
        if (m_slots[i]) {
            control = m_slots[i].data();
            m_slots[i].clear();
            break;
        }
    }
    bool created = control != nullptr;
    if (!created)
        created = U_REditServ::FCreateRichEdit(control, m_initialised ? m_maxLength : 45000, m_fonts,
                                               m_parent, m_owner);
    // A pool whose start-up failed has no timer: its controls are built on
    // the spot.
    if (m_timer)
        m_timer->start();
    if (!created)
        return sub.report(8, QStringLiteral("FCreateRichEdit"), 2);
    return sub.report(0);
}

TErrorContext &TCREditServer::FFast()
{
    TSubGuard sub(m_ctx, QStringLiteral("FFast"));
    if (!m_initialised)
        return sub.report(3, QString(), 3);
    if (m_busy)
        return sub.report(0);
    m_timer->stop();
    m_timer->setInterval(m_timeFast);
    m_timer->start();
    return sub.report(0);
}

TErrorContext &TCREditServer::FStop()
{
    TSubGuard sub(m_ctx, QStringLiteral("FStop"));
    if (m_timer)
        m_timer->stop();
    m_busy = false;
    return sub.report(0);
}
