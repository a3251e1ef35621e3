#pragma once
// A topic as its web page will show it, for the editor's preview pane: the
// topic's help source is made as a build makes it, read by the help
// compiler's reader and written by the web pages' writer. Only the shown
// topic and the pop-ups it opens are read; the other topics are known by
// their context and title, which is all a link to them needs.
#include "compiler/web/HtmlWriter.h"
#include "config/Globale.h"
#include "model/Project.h"

#include <QDateTime>
#include <QHash>

namespace Build {

class TPreviewMaker {
public:
    // The page of the topic at `position` (1 on) as it stands now. On a
    // marker without its end, the page says so.
    Hlp::TPagePreview FPage(TCProject &project, const TConfBlock &conf, int position);

private:
    // A picture file as the help file stores it, read again only when the
    // file changed (empty when it cannot be taken).
    QByteArray pictureOf(const QString &path);
    struct TRead {
        QDateTime modified;
        qint64 size = -1;
        QByteArray picture;
    };
    QHash<QString, TRead> m_pictures;
};

} // namespace Build
