#pragma once
// The pictures of the help document as their authors gave them: a file
// named by the topics, or a picture written inside a topic's RTF.
#include <QByteArray>

namespace Hlp {

// A picture written inside a topic's RTF (\pict), as read.
struct TRtfPicture {
    enum Format { Unknown, Dib, Ddb, Wmf, Png, Jpeg, Emf };
    Format format = Unknown;
    QByteArray data;       // the picture's bytes
    int mapMode = 8;       // \wmetafileN
    int picw = 0, pich = 0; // pixels; HIMETRIC for a metafile
    int goalw = 0, goalh = 0; // the size shown, in twips (0: not given)
    int scalex = 100, scaley = 100; // per cent
    int bitsPixel = 1, planes = 1, widthBytes = 0; // device-dependent bitmaps
    bool operator==(const TRtfPicture &o) const
    {
        return format == o.format && mapMode == o.mapMode && picw == o.picw && pich == o.pich && goalw == o.goalw
               && goalh == o.goalh && scalex == o.scalex && scaley == o.scaley && bitsPixel == o.bitsPixel
               && widthBytes == o.widthBytes && data == o.data;
    }
};

// One picture of a help file: a file named by {bmc file}, or one written
// in the RTF.
struct TPictureSource {
    QByteArray file;
    TRtfPicture embedded; // when `file` is empty
    QByteArray sourceFile; // where an embedded one was read, for messages
    int page = 0;
};

} // namespace Hlp
