#pragma once
// The "Aperçu" pane beside the editor: the shown topic as the reader will
// see it, written by the web pages' writer. It is made again a moment after
// the text stops changing, only while the pane is visible, and never takes
// the keyboard: the author types on. A click on a jump shows that topic in
// the editor; a pop-up opens over the pane.
#include "helpgen/Preview.h"

#include <QTextBrowser>
#include <QTimer>
#include <functional>

class QFrame;
class QLabel;

// The text view of a preview: pictures come from the page, nothing from disk.
class TPreviewBrowser : public QTextBrowser {
public:
    explicit TPreviewBrowser(QWidget *parent = nullptr);
    QHash<QString, QImage> images;

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

class TPreviewPane : public QWidget {
    Q_OBJECT
public:
    // `shown` gives the topic the editor shows (null for none).
    TPreviewPane(TCProject *project, std::function<TTopic *()> shown, QWidget *parent = nullptr);
    // The page is made again after `delay` ms (restarted by each call).
    void scheduleRefresh(int delay = 400);
    // The page made again now.
    void refresh();
    TPreviewBrowser *browser() const { return m_browser; }
    // The pop-up's text view, while a pop-up is open (else null).
    TPreviewBrowser *popupBrowser() const;
    // How long the last refresh took, in milliseconds.
    qint64 lastRefreshMs() const { return m_lastMs; }

signals:
    // A jump of the page was clicked: the topic at that position.
    void jumpRequested(int position);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void follow(const QUrl &url, QWidget *from);
    void openPopup(int topic, QWidget *from);

    TCProject *m_project;
    std::function<TTopic *()> m_shown;
    TPreviewBrowser *m_browser;
    QLabel *m_title;
    QFrame *m_popup = nullptr;
    TPreviewBrowser *m_popupText = nullptr;
    QTimer m_timer;
    Build::TPreviewMaker m_maker;
    Hlp::TPagePreview m_page;
    const TTopic *m_pageTopic = nullptr; // the topic m_page shows
    qint64 m_lastMs = 0;
    bool m_stale = true; // a refresh was passed over while nobody could see it
};
