#pragma once
// A help file read back (readHelpFile) written out as a help project the
// compiler takes again: NAME.hpj, NAME.rtf (every page, with its footnotes,
// formats, tables, hotspots and pictures), the pictures as the help file
// stored them (bmN.mrb: the picture container, hotspots included, which
// the compiler takes as it is), and NAME.txt, the report of what could not
// be rebuilt.
#include "compiler/HlpFileRead.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace Hlp {

// The font and colour tables of an RTF file being written: each face and
// each colour numbered in the order of its first use.
struct TRtfTables {
    QList<QByteArray> faces;
    QList<QByteArray> colours; // three bytes: red, green, blue
    int face(const QByteArray &name);
    int colour(const quint8 *rgb); // from 0
};

// Writes into `folder` (made if missing); the errors, if any. `report`
// receives the report's lines.
QStringList writeProject(const THelpFileRead &read, const QString &folder, const QString &name, QStringList *report = nullptr);

} // namespace Hlp
