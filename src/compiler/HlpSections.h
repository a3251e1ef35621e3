#pragma once
// The |SYSTEM and |FONT internal files of a help file.
#include <QByteArray>
#include <QList>

namespace Hlp {

// A window of the help file ([WINDOWS]): what is not given is left to
// the viewer.
struct TWindowDef {
    QByteArray name;    // "main", at most 8 characters
    QByteArray caption; // at most 50 characters
    bool hasScroll = false, hasTitle = false; // the colours of the two regions
    quint8 scroll[3] = {255, 255, 255};
    quint8 title[3] = {255, 255, 255};
    // Position and size in the viewer's units (a 1024 x 1024 screen), each
    // given or not; the state (maximised, the 4.0 buttons) as written.
    bool hasPlace[4] = {false, false, false, false};
    qint16 place[4] = {0, 0, 0, 0}; // x, y, width, height
    bool hasState = false;
    quint16 state = 0;
    bool onTop = false, autoHeight = false;
};

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

enum TFontAttr : quint8 { FontBold = 0x01, FontItalic = 0x02, FontUnderline = 0x04 };

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
