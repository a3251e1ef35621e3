#include "project/KivHelpTools.h"

#include "platform/Paths.h"

#include <QFontDatabase>
#include <exception>

namespace KIVHelpTools {

namespace {
TErrorContext g_ctx;
}

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString::fromLatin1(KivAppName), QStringLiteral("KIVHelpTools"), active, trace, destination);
}

TErrorContext &FGetWinFontNames(QStringList &list, quint16 maxCount)
{
    TSubGuard sub(g_ctx, QStringLiteral("FGetWinFontNames"));
    try {
        QStringList families = QFontDatabase::families();
        // The first name is the one new text takes: a plain sans-serif face
        // rather than whatever sorts first ("DejaVu Math TeX Gyre").
        for (const QString &preferred : {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                                         QStringLiteral("Arial"), QStringLiteral("Noto Sans"), QStringLiteral("FreeSans")})
            if (families.contains(preferred)) {
                families.removeOne(preferred);
                families.prepend(preferred);
                break;
            }
        for (const QString &family : std::as_const(families))
            list.append(family.left(32));
    } catch (const std::exception &) {
        return sub.report(4, QString(), 4);
    }
    while (list.size() > maxCount)
        list.removeLast();
    return sub.report(0);
}

TErrorContext &FLong2ShortFName(const QString &longPath, QString &shortPath)
{
    TSubGuard sub(g_ctx, QStringLiteral("FLong2ShortFName"));
    shortPath = Platform::shortPath(longPath).left(255);
    return sub.report(0);
}

} // namespace KIVHelpTools
