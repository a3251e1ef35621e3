#pragma once
// The help project file (.HPJ) as a help compiler reads it.
#include "compiler/document/Settings.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

namespace Hlp {

// A [WINDOWS] line is the window the help file stores.
using TWindowLine = TWindowDef;

// Reads the text of a .HPJ (Windows-1252 bytes): any input gives a result,
// with warnings for what is not understood.
// One [MAP] line, from the project or a file it includes; false if it
// names no context and number.
bool parseMapLine(const QByteArray &line, QList<QPair<QByteArray, qint64>> *map);
// A [MAP] line's words once its comment and "#define" are left out: two
// (name and number) for an entry.
QList<QByteArray> mapLineParts(const QByteArray &line);

THpj parseHpj(const QByteArray &bytes);

// A value written into a .HPJ line: its control characters (a line break
// would start a line of its own) become blanks.
QByteArray hpjValue(QByteArray text);
// A [WINDOWS] line for `w`: name = "caption", (x, y, w, h), state,
// colours, flags; what the window does not give is left empty. `placement`
// alone: "caption", (x, y, w, h), state.
QByteArray windowLine(const TWindowDef &w);
QByteArray windowPlacement(const TWindowDef &w);

// Whether a topic carrying `tags` (upper-case) is built under the BUILD=
// expression: tags joined by ~ (not), & (and), | (or) and parentheses.
// `valid` is false, and the result true, when the expression is not one.
bool buildSelects(const QByteArray &expression, const QList<QByteArray> &tags, bool *valid);
// One [WINDOWS] definition: name = "caption", (x, y, w, h), state, (r, g, b)
// or (rCOLORREF), the same for the non-scrolling region, flags (1 or fN).
bool parseWindowLine(const QByteArray &line, TWindowLine *window);

} // namespace Hlp
