#pragma once
// Windows-1252 ("ANSI") text codec: the encoding of every file the program
// reads or writes. Bytes 0x80-0x9F follow the Windows table, the rest are
// Latin-1. Five bytes of that range have no character; they decode to the
// C1 control of the same value so that a read/write round trip keeps them.
#include <QByteArray>
#include <QString>

namespace Platform {

QString fromCp1252(const QByteArray &bytes);
QString fromCp1252(const char *data, qsizetype size);
// Characters outside Windows-1252 are written as '?'.
QByteArray toCp1252(const QString &text);
// Text that must survive whole (paths of folders named with letters outside
// Windows-1252): Windows-1252 when it can hold the text, else UTF-8. Read
// back as UTF-8 when the bytes are valid UTF-8 with a multi-byte sequence,
// else as Windows-1252; plain Windows-1252 text is read as before (a
// Windows-1252 text that is also such UTF-8 would need "Ã" and a sign
// next to each other, which names do not hold).
QByteArray toCp1252OrUtf8(const QString &text);
QString fromCp1252OrUtf8(const char *data, qsizetype size);
// The Windows-1252 byte for one character, or -1 when it has none.
int cp1252Byte(QChar c);
// Upper case as the Windows ANSI functions do it (accented letters included).
QString cp1252Upper(const QString &text);
// A help context string as help files store it, from Windows-1252 bytes:
// accented letters become their base letter, other characters outside
// [A-Za-z0-9._] are dropped, and it is cut at `max` characters.
QByteArray cp1252HelpContext(const QByteArray &bytes, int max);

} // namespace Platform
