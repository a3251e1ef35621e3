#pragma once
// Help macros as the viewers run them: a macro string ("Name(arg, ...);
// Name2(...)") parsed, checked against the table of the viewers' macros
// (names and short names, argument count and types) and written again in
// the form every viewer reads: strings quoted, hex digits in lower case,
// typographic quotes and tabs replaced.
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QStringList>

namespace Hlp {

struct TMacroCheck {
    QByteArray macro;          // the string to store
    QStringList errors;        // the viewer would fail or crash
    QStringList warnings;      // unknown names, calls repaired
    bool rewritten = false;    // `macro` differs in form only from the source
    bool repaired = false;     // a call was completed (see `warnings`)
    QList<QByteArray> jumps;   // contexts of this file named by JumpId/PopupId
    QList<QByteArray> routines; // names declared by RegisterRoutine (upper case)
};

// `routines`: macro names declared by RegisterRoutine elsewhere in the
// project (upper case), accepted with any arguments.
TMacroCheck checkMacro(const QByteArray &macro, const QSet<QByteArray> &routines = {});

} // namespace Hlp
