#pragma once
// A help file read back (readHelpFile) written out as a help project the
// compiler takes again: NAME.hpj, NAME.rtf (every page, with its footnotes,
// formats, tables, hotspots and pictures), the pictures (bmN.bmp, .shg or
// .mrb: see pictureAsFile), NAME.cnt when the help has a contents file,
// and NAME.txt, the report of what could not be rebuilt.
#include "compiler/hlp/HlpDocumentRead.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace Hlp {

// The font and colour tables of an RTF file being written (a decompiled
// help's topics, an imported help's pages): each face and each colour
// numbered in the order of its first use.
struct TRtfTables {
    QList<QByteArray> faces;
    QList<QByteArray> colours; // three bytes: red, green, blue
    int face(const QByteArray &name);
    int colour(const quint8 *rgb); // from 0
    // The control words of a run in format `f`: font, size, bold, italic,
    // underline (unless `underline` is false) and colour, the table's
    // colours numbered from `firstColour` in the file.
    QByteArray runWords(const TCharFormat &f, int firstColour, bool underline = true);
    // The font table: each face's entry "{\fN\fnil" + `entry(face)` + ";}".
    QByteArray fontTable(const std::function<QByteArray(const QByteArray &)> &entry) const;
    // The colour table: `first` (the entries the file numbers before the
    // table's own), then each colour.
    QByteArray colourTable(const QByteArray &first) const;
};

// The topics of a help read back by their contexts' hashes (the help file
// keeps only these: the reader names a hash as the file lets, which may
// not be the spelling another file of the help uses).
struct TContextLookup {
    explicit TContextLookup(const THelpDocument &p);
    // The topic of a context, by its name, else by its hash; -1 for none.
    int topicOf(const QByteArray &context) const;

private:
    const THelpDocument &m_p;
    QHash<qint32, int> m_byHash;
};

// One line of the outline of a help file read back: a page (`topic`) or a
// heading of its contents file, at `level` (1 for the contents page).
struct TOutlineEntry {
    int topic = -1; // -1: a heading
    int level = 2;
    QByteArray heading;
};
// The contents page first; then the tree of the contents file `cnt` (its
// pages of other help files left out); without one, the browse sequences
// (when there are several, each one's first page heads the others); then
// every page not yet placed, in file order.
QList<TOutlineEntry> helpOutline(const THelpDocument &p, const QByteArray &cnt);

// The contents file that goes with the help file `helpFile`, found beside
// it: the one the help names, else the one of its own name. Empty when
// there is none.
QByteArray contentsFileBeside(const THelpDocument &p, const QString &helpFile);

// The contexts of a help file named after the files beside it: its
// contents file and its map header (NAME.hm, NAME.h). The count named.
int nameContextsFromFilesBeside(THelpDocument &p, const QString &helpFile);

// Writes into `folder` (made if missing); the errors, if any. `report`
// receives the report's lines. `contents`: the help's contents file, if
// found; when the help names one that is not found, one is made from the
// outline. A commit cut short by a kill is completed by the next write into
// the same folder.
QStringList writeProject(const THelpFileRead &read, const QString &folder, const QString &name, QStringList *report = nullptr,
                         const QByteArray &contents = {});

} // namespace Hlp
