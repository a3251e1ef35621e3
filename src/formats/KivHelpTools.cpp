#include "formats/KivHelpTools.h"

#include "platform/Paths.h"

namespace KIVHelpTools {

namespace {
TErrorContext g_ctx;
}

TErrorContext &context() { return g_ctx; }

TErrorContext &FInit(bool active, bool trace, quint8 destination)
{
    return FInitUnitCtx(g_ctx, QString::fromLatin1(KivAppName), QStringLiteral("KIVHelpTools"), active, trace, destination);
}

TErrorContext &FLong2ShortFName(const QString &longPath, QString &shortPath)
{
    TSubGuard sub(g_ctx, QStringLiteral("FLong2ShortFName"));
    shortPath = Platform::shortPath(longPath).left(255);
    return sub.report(0);
}

} // namespace KIVHelpTools
