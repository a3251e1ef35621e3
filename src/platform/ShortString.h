#pragma once
// A length-prefixed string in a fixed slot: one length byte followed by up to
// N characters in Windows-1252. It is the layout of the text fields of the
// settings records and of the error-log record, so it must stay a plain
// byte array (no padding, no pointers).
#include "platform/Cp1252.h"

#include <QString>
#include <cstring>

namespace Platform {

template <int N>
struct ShortStr {
    static_assert(N >= 1 && N <= 255);
    unsigned char len;
    char data[N];

    static constexpr int capacity() { return N; }

    QString get() const
    {
        const int n = len > N ? N : len;
        return fromCp1252OrUtf8(data, n);
    }
    // Stores the text cut to N characters; a text that Windows-1252 cannot
    // hold (a path through a folder named in another script) is kept whole
    // in UTF-8, cut to N bytes at a character boundary.
    void set(const QString &text)
    {
        QByteArray bytes = toCp1252OrUtf8(text.left(N));
        if (bytes.size() > N) {
            qsizetype cut = N;
            while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
                --cut;
            bytes.truncate(cut);
        }
        len = static_cast<unsigned char>(bytes.size());
        std::memcpy(data, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    void clear() { len = 0; }
};

using String255 = ShortStr<255>;
static_assert(sizeof(String255) == 256);

// Cuts a text to the 255 characters that a short string holds.
inline QString shortText(const QString &text) { return text.left(255); }

} // namespace Platform
