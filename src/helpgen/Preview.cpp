#include "helpgen/Preview.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpPicture.h"
#include "compiler/sources/HpjFile.h"
#include "compiler/sources/RtfTopics.h"
#include "formats/TextConv.h"
#include "helpgen/HelpSources.h"
#include "platform/CodePage.h"
#include "platform/Cp1252.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

#include <QFileInfo>

namespace Build {

namespace {

bool isPopup(const Hlp::TInline &i)
{
    return i.kind == Hlp::TInline::HotspotStart && i.link == Hlp::TInline::Popup;
}

} // namespace

QByteArray TPreviewMaker::pictureOf(const QString &path)
{
    const QFileInfo info(path);
    TRead &known = m_pictures[path];
    if (info.isFile() && known.size == info.size() && known.modified == info.lastModified())
        return known.picture;
    known = TRead{info.lastModified(), info.size(), {}};
    QByteArray bytes;
    QString why;
    if (!info.isFile() || !Platform::readWholeFile(path, &bytes) || !Hlp::bmpToPicture(bytes, &known.picture, &why))
        known.picture.clear();
    return known.picture;
}

Hlp::TPagePreview TPreviewMaker::FPage(TCProject &project, const TConfBlock &conf, int position)
{
    using namespace KIVHelpTools;
    Hlp::THelpDocument read;
    const int count = project.FCount();
    if (position < 1 || position > count)
        return {};
    const bool addTitle = conf.PPrj && conf.PPrj->AddTitle;
    const bool sameFont = conf.PPrj && conf.PPrj->SameTitleFont;
    // The project's title, language and window colours, as the build's .HPJ gives them.
    if (conf.PIni && conf.PPrj)
        read.hpj = Hlp::parseHpj(Platform::toCp1252OrUtf8(FHpjLines(conf.PIni, conf.PPrj, QString(), {}, 0, 640, 480).join(QStringLiteral("\r\n"))));
    // Its code page, which its language names: the pages are read in it, as
    // the build reads them.
    if (const int lcid = conf.PPrj ? FProjectLcid(conf.PPrj) : 0)
        read.codePage = Platform::languageOfLcid(lcid).codePage;
    // Every topic as a link sees it.
    QHash<QByteArray, int> byContext;
    for (int n = 1; n <= count; ++n) {
        const TTopic *topic = project.FTopicAt(n);
        Hlp::TSourceTopic t;
        t.contexts << Platform::toCp1252(TextConv::FContextName(topic->name));
        t.title = Platform::toCp1252(topic->name);
        byContext.insert(Hlp::normalizeContext(t.contexts.first()).toUpper(), n - 1);
        read.topics << t;
    }
    // The shown topic read whole, then the pop-ups it opens (and theirs).
    QList<Hlp::TPictureSource> pictures;
    QList<int> todo{position - 1};
    QSet<int> done;
    while (!todo.isEmpty()) {
        const int n = todo.takeFirst();
        if (done.contains(n))
            continue;
        done.insert(n);
        TTopic *topic = project.FTopicAt(n + 1);
        TConvertResult converted;
        const QString prefix = conf.PPrjFonts ? FTitlePrefix(conf.PPrjFonts, n + 1, sameFont) : QString();
        const QString font = conf.PPrjFonts ? QString(FTitleFont(conf.PPrjFonts, n + 1, sameFont).Name.get()) : QString();
        const QByteArray source = FTopicSource(topic->FBytes(), project.commands, topic->name, n + 1, addTitle && conf.PPrjFonts,
                                               prefix, font, &converted, topic->keywords);
        if (!converted.ok) {
            if (n == position - 1) {
                Hlp::TPagePreview page;
                page.html = QStringLiteral("<p style=\"color:#a00000\">%1</p>").arg(FMacroCorruptedText(topic->name, converted.badLine).toHtmlEscaped());
                return page;
            }
            continue;
        }
        Hlp::TTopicFileRead file = Hlp::readTopicFile(source, &pictures, read.codePage);
        if (file.topics.isEmpty())
            continue;
        read.topics[n] = file.topics.first();
        Hlp::forEachParagraph(read.topics[n], [&](const Hlp::TParagraph &p) {
            for (const Hlp::TInline &i : p.items)
                if (isPopup(i) && i.file.isEmpty())
                    if (const auto it = byContext.constFind(Hlp::normalizeContext(i.context).toUpper()); it != byContext.constEnd())
                        todo << *it;
        });
    }
    // Pictures: the files from the bitmap folder, the others from the RTF.
    const QString bmpDir = conf.PIni ? conf.PIni->BMP.get() : QString();
    for (const Hlp::TPictureSource &p : std::as_const(pictures)) {
        QByteArray picture;
        QString why;
        if (!p.file.isEmpty())
            picture = pictureOf(Platform::resolveCase(bmpDir + u'/' + Platform::fromCp1252OrUtf8(p.file.constData(), p.file.size())));
        else if (!Hlp::rtfPictureToPicture(p.embedded, &picture, &why))
            picture.clear();
        read.pictureData << picture;
    }
    return Hlp::previewPage(read, position - 1);
}

} // namespace Build
