#pragma once
// A help project read and checked: what every output (the .HLP file, the
// HTML pages) is written from.
#include "compiler/HpjFile.h"
#include "compiler/RtfTopics.h"

#include <QList>
#include <QPair>
#include <QString>

namespace Hlp {

struct TProjectRead {
    THpj hpj;
    QString hpjName;
    QList<TSourceTopic> topics;
    QList<QByteArray> pictureData; // by picture number, as the help file stores them; empty when not kept
    QList<QPair<QString, QByteArray>> localJumps; // where, context: checked once every context is known
    QList<QPair<QByteArray, QByteArray>> baggage; // internal name, bytes
    THpj::Compression compression = THpj::Compression::None;
    bool report = false; // REPORT=Yes: lists given whole
};

} // namespace Hlp
