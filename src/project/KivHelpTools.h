#pragma once
// The help tool's own routines that work on a project's files.
#include "errors/ErrorContext.h"

#include <QStringList>

namespace KIVHelpTools {

TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);

// Appends the screen's typeface names, in the order the system gives them,
// then cuts the list to `maxCount` entries. The list is not cleared first.
// The faces a help file's readers have, and the installed faces of the same
// metrics that show them here.
struct TReaderFace {
    QString name;
    QStringList lookAlikes;
};
const QList<TReaderFace> &FReaderFaces();
TErrorContext &FGetWinFontNames(QStringList &list, quint16 maxCount);
// The short form of a path: here the absolute path when it exists, else
// empty. Always succeeds.
TErrorContext &FLong2ShortFName(const QString &longPath, QString &shortPath);

} // namespace KIVHelpTools
