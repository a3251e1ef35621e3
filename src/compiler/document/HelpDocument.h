#pragma once
// The help document: a help read and checked (from its project and topic
// files, or from a compiled help file), what every output (the .HLP file,
// the web pages, the .CHM, the manual, a project again) is written from.
#include "compiler/document/Settings.h"
#include "compiler/document/Topic.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace Hlp {

// A context name, as stored, and its topic; where it is defined, for messages.
struct TContext {
    QByteArray name;
    int topic = -1;
    bool alias = false; // [ALIAS]
    QString where;
};

struct THelpDocument {
    THpj hpj;
    QString hpjName;
    QString hpjDir;
    QList<TSourceTopic> topics;
    QList<QByteArray> pictureData; // by picture number, as the help file stores them; empty when not kept
    QList<QString> pictureNames;   // by picture number: the file's name without its extension, when known
    QList<QByteArray> pictureFiles; // by picture number: a PNG, JPEG or GIF file as the author keeps it (the
                                    // web pages take it whole); empty for any other picture
    QList<QPair<QString, QByteArray>> localJumps; // where, context: checked once every context is known
    // The context names (aliases included) in the order they are defined,
    // each once whatever its letter case; and the topic of each in upper case.
    QList<TContext> contexts;
    QHash<QByteArray, int> contextTopic;
    int warningLevel = 3; // WARNING=: which messages the writers add
    QList<QPair<QByteArray, QByteArray>> baggage; // internal name, bytes
    THpj::Compression compression = THpj::Compression::None;
    bool report = false; // REPORT=Yes: lists given whole
    QList<TIndexEntry> index;  // K keywords, merged across letter case, in index order
    QList<TIndexEntry> aIndex; // A keywords, the same way
    QList<TMapEntry> map;      // in number order (stable)
    QList<QList<int>> browse;  // browse sequences: topics in browse order
    QList<TContentsLine> contents; // given by the caller: the web outputs' contents
    int codePage = 1252;           // the code page of the text (see readTopicFile)
    bool compressed = false;       // read from a help file whose topics are compressed
};

} // namespace Hlp
