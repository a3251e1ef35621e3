#pragma once
// A help project as web pages: one page per topic (named after its first
// context string, every context an anchor in it) with the contents beside
// it and a search field above, its pictures as PNG files, jumps as links,
// pop-ups shown in the page, a contents page, a keyword index and a search
// that runs in the browser (no server).
#include "compiler/document/HelpDocument.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

namespace Hlp {

// The address a program call (ExecFile, ExecProgram) gives a link, read
// as a browser reads it: blanks and control characters stripped at both
// ends, tabs and line breaks anywhere. A web or mail address or a file
// beside the pages; empty for any other scheme (javascript:, data:...),
// which would run in the reader's browser.
QString webAddress(const QString &url);

// The page a topic is written to ("HID_FILE_OPEN.html").
QString htmlPageName(const TSourceTopic &topic, int number);

// One topic as its web page shows it, for the program's own preview: the
// page's text with the site's style rules, its pictures by the names the
// page gives them, and the pop-ups it opens (by topic). Jumps keep the web
// pages' addresses ("Page.html#Context", `pages` names every topic's page);
// a pop-up's link is "popup:N", N its topic.
struct TPagePreview {
    QString html;
    QString style; // the style rules alone, for the pop-ups' text
    QHash<QString, QImage> images;
    QHash<int, QString> popups;
    QStringList pages;
};
TPagePreview previewPage(const THelpDocument &project, int topic);

// Writes the pages into `folder` (made if missing); the errors, if any.
// `warnings` receives what a reader may miss (text with too little
// contrast on the window's colours).
QStringList writeHtml(const THelpDocument &project, const QString &folder, QStringList *warnings = nullptr);

// The whole help as the printable manual lays it out: the contents'
// entries in order, then an appendix of every other topic with a text
// (pop-ups, pages outside the contents), what each topic's heading
// replaces, and where each link leads.
struct TManualLink {
    int topic = -1;  // a topic of the help
    QString address; // else a web or mail address; neither: it leads nowhere a reader can follow
};
struct TManualPlan {
    struct Entry {
        int level = 1; // at most one below the entry before it
        QString text;
        int topic = -1;      // -1: a book without a page of its own
        bool repeat = false; // a topic already shown: a bookmark, no heading of its own
        bool chapter = false; // a chapter with entries under it (and the first entry): it starts a page
        QString heading;      // a topic's heading when it has its own (see titleParagraphs), else empty
    };
    QString title, language, contents, appendix;
    QList<Entry> entries;
    // The level of the chapters (the running header names the last one):
    // 1, or 2 when the contents are one page with all the others under it.
    int chapterLevel = 1;
    // The paragraph that says a topic's title, or sets its first line apart
    // as a heading: the manual's heading says it instead.
    QHash<int, const TParagraph *> titleParagraphs;
    // Where a hotspot of a topic leads (its HotspotStart).
    std::function<TManualLink(const TInline &hotspot, int topic)> link;
};
TManualPlan manualPlan(const THelpDocument &project);

// The letters a text run shows: a picture font's glyphs (Symbol, Wingdings)
// as the characters they draw.
QString shownLetters(const THelpDocument &project, const TInline &run);

// The faces a run's font is sought in: the author's, a face every system
// has for the older ones, then the generic family of its kind (the help's
// family: 1 modern, 2 roman, 3 swiss, 4 script, 5 decorative).
QStringList fontFamilies(const QString &face, int family);

// The contexts a program opens the help at, as JSON: each context name
// (aliases too) and each [MAP] number with the page it leads to
// ("page.html#context") and that page's title:
//   {"help": TITLE, "contexts": [{"name": ..., "number": N, "page": ..., "title": ...}, ...]}
// ("number" only where [MAP] gives one). The web pages' context.html?id=N
// and ?name=CONTEXT use the same table.
QByteArray contextMap(const THelpDocument &project);

// What a program relying on `previous` (a contextMap of an earlier build)
// would lose with `current`: each number or name gone, or leading to
// another page; `error` receives why `previous` cannot be read.
QStringList contextMapChanges(const QByteArray &previous, const QByteArray &current, QString *error);

// An entry of the contents as the pages list it: a heading when it has no
// page.
struct TContentsEntry {
    int level = 1;
    QString text;
    QString page;
    int topic = -1;
};

// The contents as nested lists; `item` writes one entry.
QString nestedList(const QList<TContentsEntry> &entries, const std::function<QString(const TContentsEntry &)> &item,
                   const QString &open = QStringLiteral("<ul>"), const QString &close = QStringLiteral("</ul>"));

// A value for a line or a quoted value of a file another program reads
// (the title, the compiled-help compiler's files): line breaks and control
// characters become a blank.
QString plainValue(QString value);

// The file named after a context: the name itself, or, past 100
// characters (a context may have 255, more than a file name may), its
// start and a stable mark of the whole.
QString contextFileName(const QByteArray &context);

// The pages of a compiled HTML Help file written into `folder` (without
// the contents pane, search field and web search index: its viewer has
// its own), with what its project lists: each topic's page, the pictures
// written, the contents, each keyword with the titles and pages it leads
// to, and the help's title.
struct TChmPages {
    QStringList errors;
    QStringList pages, pictures;
    QList<TContentsEntry> contents;
    struct Keyword {
        QString text;
        QList<QPair<QString, QString>> pages; // title, page
        int level = 1; // 2: a second level under the main entry before it
    };
    QList<Keyword> index;
    QString title;
};
TChmPages writeChmPages(const THelpDocument &project, const QString &folder);

} // namespace Hlp
