#include "ui/PreviewPane.h"

#include <QCursor>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

TPreviewBrowser::TPreviewBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    // Never the keyboard's: a refresh or a click leaves it where it was.
    setFocusPolicy(Qt::NoFocus);
}

QVariant TPreviewBrowser::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::ImageResource)
        if (const auto it = images.constFind(name.toString()); it != images.constEnd())
            return *it;
    return {};
}

namespace {

// Pop-up links underlined with dots, as the help viewer draws them (the
// text view takes no dashed border from the style sheet); links to no page
// drawn as broken.
void dotPopupLinks(QTextDocument *doc)
{
    QTextCursor cursor(doc);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const QString href = f.charFormat().anchorHref();
            const bool broken = href.startsWith(QLatin1String("broken:"));
            if (!broken && !href.startsWith(QLatin1String("popup:")))
                continue;
            cursor.setPosition(f.position());
            cursor.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            QTextCharFormat look;
            if (broken) { // a link to a page that does not exist: red, wavy, as in the editor
                look.setForeground(QColor(192, 0, 0));
                look.setUnderlineStyle(QTextCharFormat::WaveUnderline);
                look.setUnderlineColor(QColor(192, 0, 0));
            } else {
                look.setUnderlineStyle(QTextCharFormat::DotLine);
            }
            cursor.mergeCharFormat(look);
        }
}

} // namespace

TPreviewPane::TPreviewPane(TCProject *project, std::function<TTopic *()> shown, QWidget *parent)
    : QWidget(parent), m_project(project), m_shown(std::move(shown))
{
    setObjectName(QStringLiteral("PanelPreview"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_title = new QLabel(QString::fromUtf8("Aperçu"), this);
    m_title->setObjectName(QStringLiteral("LbPreview"));
    m_title->setIndent(4);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    layout->addWidget(m_title);
    m_browser = new TPreviewBrowser(this);
    m_browser->setObjectName(QStringLiteral("TopicPreview"));
    m_browser->setToolTip(QString::fromUtf8("La page telle que le lecteur la verra"));
    layout->addWidget(m_browser, 1);
    connect(m_browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) { follow(url, m_browser); });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TPreviewPane::refresh);
}

void TPreviewPane::scheduleRefresh(int delay)
{
    m_timer.start(delay);
}

void TPreviewPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        scheduleRefresh(0);
}

void TPreviewPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Drawn out again from a folded splitter.
    if (m_stale && width() > 0)
        scheduleRefresh(0);
}

void TPreviewPane::refresh()
{
    m_timer.stop();
    // Work nobody sees is not done: a hidden pane waits until it is shown.
    if (!isVisible() || width() == 0 || !Globale::PConf) {
        m_stale = true;
        return;
    }
    m_stale = false;
    QElapsedTimer clock;
    clock.start();
    TTopic *topic = m_shown();
    const int position = topic ? m_project->FPositionOf(topic) : 0;
    const bool sameTopic = topic == m_pageTopic;
    m_page = position > 0 ? m_maker.FPage(*m_project, *Globale::PConf, position) : Hlp::TPagePreview();
    m_pageTopic = topic;
    QScrollBar *bar = m_browser->verticalScrollBar();
    const int scrolled = bar->value();
    m_browser->images = m_page.images;
    m_browser->setHtml(m_page.html);
    dotPopupLinks(m_browser->document());
    // The same topic keeps its place while the author types.
    if (sameTopic)
        bar->setValue(scrolled);
    m_lastMs = clock.elapsed();
}

TPreviewBrowser *TPreviewPane::popupBrowser() const
{
    return m_popup && m_popup->isVisible() ? m_popupText : nullptr;
}

void TPreviewPane::follow(const QUrl &url, QWidget *from)
{
    if (url.scheme() == QLatin1String("popup")) {
        bool ok = false;
        const int topic = url.path().toInt(&ok);
        if (ok)
            openPopup(topic, from);
        return;
    }
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("mailto")) {
        QDesktopServices::openUrl(url);
        return;
    }
    // A jump: "Page.html#Context", the page of a topic of this help.
    const qsizetype n = m_page.pages.indexOf(url.path());
    if (n < 0)
        return;
    if (m_popup)
        m_popup->hide();
    emit jumpRequested(int(n) + 1);
}

void TPreviewPane::openPopup(int topic, QWidget *from)
{
    if (!m_page.popups.contains(topic))
        return;
    if (!m_popup) {
        // A window of its own, closed by Escape or a click elsewhere, as the
        // help viewer's pop-ups are.
        m_popup = new QFrame(this, Qt::Popup);
        m_popup->setObjectName(QStringLiteral("PreviewPopup"));
        m_popup->setFrameShape(QFrame::Box);
        auto *layout = new QVBoxLayout(m_popup);
        layout->setContentsMargins(1, 1, 1, 1);
        m_popupText = new TPreviewBrowser(m_popup);
        m_popupText->setObjectName(QStringLiteral("PreviewPopupText"));
        m_popupText->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        QPalette pale = m_popupText->palette();
        pale.setColor(QPalette::Base, QColor(0xff, 0xff, 0xe0)); // the pages' pop-up colour
        m_popupText->setPalette(pale);
        layout->addWidget(m_popupText);
        connect(m_popupText, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) { follow(url, m_popupText); });
    }
    m_popupText->images = m_page.images;
    m_popupText->setHtml(QStringLiteral("<html><head><style>%1</style></head><body>%2</body></html>").arg(m_page.style, m_page.popups.value(topic)));
    dotPopupLinks(m_popupText->document());
    // As wide as its text asks, within the pane.
    const int width = qBound(200, int(m_popupText->document()->idealWidth()) + 24, qMax(200, m_browser->width()));
    m_popupText->document()->setTextWidth(width - 24);
    const int height = qMin(int(m_popupText->document()->size().height()) + 16, qMax(80, m_browser->height() / 2));
    m_popup->resize(width, height);
    QPoint at = QCursor::pos() + QPoint(0, 12);
    if (!from->rect().contains(from->mapFromGlobal(QCursor::pos())))
        at = from->mapToGlobal(QPoint(8, 8));
    // Kept on the screen.
    if (const QScreen *screen = from->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width)));
        at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - height)));
    }
    m_popup->move(at);
    m_popup->show();
}
