#include "project/FontNames.h"

#include "formats/KivHelpTools.h"

#include <QFont>
#include <QFontDatabase>
#include <exception>

namespace KIVHelpTools {

const QList<TReaderFace> &FReaderFaces()
{
    static const QList<TReaderFace> faces{
        {QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("Times New Roman"), {QStringLiteral("Liberation Serif"), QStringLiteral("Tinos"), QStringLiteral("DejaVu Serif")}},
        {QStringLiteral("Courier New"), {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"), QStringLiteral("DejaVu Sans Mono")}},
        {QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans")}},
        {QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {QStringLiteral("Georgia"), {QStringLiteral("Gelasio"), QStringLiteral("DejaVu Serif")}},
        {QStringLiteral("Trebuchet MS"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")}},
        {QStringLiteral("MS Sans Serif"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")}},
    };
    return faces;
}

TErrorContext &FGetWinFontNames(QStringList &list, quint16 maxCount)
{
    TSubGuard sub(context(), QStringLiteral("FGetWinFontNames"));
    try {
        // First the faces a help file's readers have, Arial first (the face
        // new text takes), shown here in their installed equivalents of the
        // same metrics; then this system's families under their own names,
        // without the foundry some carry ("Nimbus Roman [urw]").
        const QStringList installed = QFontDatabase::families();
        for (const TReaderFace &face : FReaderFaces()) {
            list.append(face.name);
            if (!installed.contains(face.name))
                QFont::insertSubstitutions(face.name, face.lookAlikes);
        }
        for (QString family : installed) {
            const qsizetype bracket = family.lastIndexOf(QLatin1String(" ["));
            if (bracket > 0 && family.endsWith(u']'))
                family.truncate(bracket);
            family = family.left(32);
            if (!list.contains(family, Qt::CaseInsensitive))
                list.append(family);
        }
    } catch (const std::exception &) {
        return sub.report(4, QString(), 4);
    }
    while (list.size() > maxCount)
        list.removeLast();
    return sub.report(0);
}

} // namespace KIVHelpTools
