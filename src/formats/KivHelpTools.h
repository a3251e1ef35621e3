#pragma once
// The help tool's own routines: their error context, and what every layer
// above uses of them (the typeface list is the window's: project/FontNames).
#include "errors/ErrorContext.h"

#include <QStringList>

namespace KIVHelpTools {

TErrorContext &context();
TErrorContext &FInit(bool active, bool trace, quint8 destination);

// The short form of a path: here the absolute path when it exists, else
// empty. Always succeeds.
TErrorContext &FLong2ShortFName(const QString &longPath, QString &shortPath);

} // namespace KIVHelpTools
