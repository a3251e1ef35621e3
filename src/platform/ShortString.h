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
        return fromCp1252(data, n);
    }
    // Stores the text cut to N characters.
    void set(const QString &text)
    {
        const QByteArray bytes = toCp1252(text.left(N));
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
