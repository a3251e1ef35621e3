#pragma once
// A paragraph of the help document encoded as the help file stores it:
// the paragraph format and formatting commands (LinkData1) and the text
// cut by NULs (LinkData2).
#include "compiler/document/Paragraph.h"
#include "compiler/hlp/HlpSections.h"

#include <QByteArray>
#include <QList>

namespace Hlp {

struct TEncodedParagraph {
    QByteArray linkData1; // from the fixed "00 80" to the final 0xFF
    QByteArray linkData2;
    quint16 topicLength = 0;
};

// The text is written in the code page `page`; the letters it cannot hold
// become '?' and are added to `lost` when given.
TEncodedParagraph encodeParagraph(const TParagraph &paragraph, TFontTable &fonts, const Platform::CodePage &page,
                                  QString *lost = nullptr);
// A table row (a paragraph whose `table` is set): column widths, then each
// cell's paragraphs behind its column number.
TEncodedParagraph encodeTableRow(const TTableRow &row, TFontTable &fonts, const Platform::CodePage &page, QString *lost = nullptr);

} // namespace Hlp
