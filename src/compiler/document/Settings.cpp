// What the COMPRESS option asks for.
#include "compiler/document/Settings.h"

namespace Hlp {

THpj::Compression THpj::compression() const
{
    const QByteArray v = options.value("COMPRESS").trimmed().toUpper();
    if (v.isEmpty() || v == "NO" || v == "FALSE" || v == "0" || v == "OFF")
        return Compression::None;
    // A number of compression kinds ("12 Hall Zeck"): any of them asks
    // for compression, and LZ77 is the one we do.
    bool numeric = false;
    const int kinds = v.split(' ').first().toInt(&numeric);
    if (numeric)
        return kinds == 0 ? Compression::None : Compression::Lz77;
    if (v == "YES" || v == "TRUE" || v == "HIGH" || v == "MEDIUM" || v == "1" || v == "ON")
        return Compression::Lz77;
    return Compression::Unknown;
}

bool THpj::phrases() const
{
    const QByteArray v = options.value("COMPRESS").trimmed().toUpper();
    bool numeric = false;
    const int kinds = v.split(' ').first().toInt(&numeric);
    if (numeric) // 1: all; otherwise the bits 2 (phrases) and 4 (Hall)
        return kinds == 1 || (kinds & 6);
    return v == "YES" || v == "TRUE" || v == "HIGH" || v == "ON";
}

} // namespace Hlp
