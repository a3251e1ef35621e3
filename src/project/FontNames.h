#pragma once
// The typefaces the window offers: first those a help file's readers have,
// then this system's families.
#include "errors/ErrorContext.h"

#include <QStringList>

namespace KIVHelpTools {

// The faces a help file's readers have, and the installed faces of the same
// metrics that show them here.
struct TReaderFace {
    QString name;
    QStringList lookAlikes;
};
const QList<TReaderFace> &FReaderFaces();
// Appends the screen's typeface names, in the order the system gives them,
// then cuts the list to `maxCount` entries. The list is not cleared first.
TErrorContext &FGetWinFontNames(QStringList &list, quint16 maxCount);

} // namespace KIVHelpTools
