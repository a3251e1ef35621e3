#pragma once
// The |SYSTEM and |FONT internal files of a help file.
#include "compiler/document/Settings.h"

#include <QByteArray>
#include <QList>

namespace Hlp {

struct TSystemInfo {
    quint16 minor = 33;  // Windows 95 help (4.0)
    quint32 buildTime = 0;
    bool lz77 = false;   // topic blocks LZ77-compressed (4 KiB blocks)
    QByteArray title;
    QByteArray copyright;
    bool hasContents = false;
    quint32 contentsOffset = 0; // TOPICOFFSET of the contents topic
    QList<QByteArray> configMacros;
    QList<TWindowDef> windows;
    QByteArray cntFile; // the contents (.CNT) file, when there is one
    quint16 lcid = 0x0409; // the language of the text (sorting, the viewer's texts)
    quint8 charset = 0;    // the character set of the text (0: Windows-1252)
    QByteArray citation;   // added to what is copied or printed
    QByteArray defaultFont; // DEFFONT: face
    quint8 defaultFontSize = 0, defaultFontCharset = 0;
};

QByteArray systemFile(const TSystemInfo &info);

// One character format: face, size, style and colour.
struct TFontDescriptor {
    quint8 attributes = 0; // 0x01 bold, 0x02 italic, 0x04 underline
    quint8 halfPoints = 24;
    quint8 family = 3;     // 1 modern, 2 roman, 3 swiss, 4 script, 5 decorative
    quint16 face = 0;
    quint8 colour[3] = {0, 0, 0};
    bool operator==(const TFontDescriptor &o) const;
};

// The faces and descriptors a help file uses; each distinct format once.
class TFontTable {
public:
    int face(const QByteArray &name);
    int descriptor(const TFontDescriptor &d);
    int faceCount() const { return int(m_faces.size()); }
    int descriptorCount() const { return int(m_descriptors.size()); }
    QByteArray build() const;

private:
    QList<QByteArray> m_faces;
    QList<TFontDescriptor> m_descriptors;
};

} // namespace Hlp
