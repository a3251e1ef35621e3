#include "platform/Cp1252.h"

#include <QStringDecoder>

#include <array>

namespace Platform {

namespace {

// 0x80..0x9F; 0 marks the five bytes without a character.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t decodeByte(unsigned char b)
{
    if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80] != 0)
        return kHigh[b - 0x80];
    return b;
}

} // namespace

QString fromCp1252(const char *data, qsizetype size)
{
    QString out(size, Qt::Uninitialized);
    QChar *dst = out.data();
    for (qsizetype i = 0; i < size; ++i)
        dst[i] = QChar(decodeByte(static_cast<unsigned char>(data[i])));
    return out;
}

QString fromCp1252(const QByteArray &bytes)
{
    return fromCp1252(bytes.constData(), bytes.size());
}

int cp1252Byte(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    if (u >= 0x80 && u <= 0x9F) // undefined bytes decoded as C1 controls
        return kHigh[u - 0x80] == 0 ? u : -1;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == u && u != 0)
            return 0x80 + i;
    return -1;
}

QByteArray toCp1252(const QString &text)
{
    QByteArray out;
    out.resize(text.size());
    char *dst = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = cp1252Byte(text.at(i));
        dst[i] = static_cast<char>(b < 0 ? '?' : b);
    }
    return out;
}

QByteArray toCp1252OrUtf8(const QString &text)
{
    for (const QChar c : text)
        if (cp1252Byte(c) < 0)
            return text.toUtf8();
    return toCp1252(text);
}

QString fromCp1252OrUtf8(const char *data, qsizetype size)
{
    bool multiByte = false;
    for (qsizetype i = 0; i < size && !multiByte; ++i)
        multiByte = static_cast<unsigned char>(data[i]) >= 0x80;
    if (multiByte) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(QByteArrayView(data, size));
        if (!utf8.hasError())
            return text;
    }
    return fromCp1252(data, size);
}

QString cp1252Upper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(u - 32);
        else if ((u >= 0xE0 && u <= 0xFE && u != 0xF7))
            c = QChar(u - 32);
        else if (u == 0x0161) // š
            c = QChar(0x0160);
        else if (u == 0x0153) // œ
            c = QChar(0x0152);
        else if (u == 0x017E) // ž
            c = QChar(0x017D);
        else if (u == 0x00FF) // ÿ
            c = QChar(0x0178);
    }
    return out;
}

namespace {

// The base letter of an accented Windows-1252 letter, or 0.
char baseLetter(unsigned char c)
{
    static const char *const map =
        // 0xC0..0xFF
        "AAAAAAACEEEEIIII" "DNOOOOO.OUUUUYPs" "aaaaaaaceeeeiiii" "dnooooo.ouuuuypy";
    if (c >= 0xC0) {
        const char b = map[c - 0xC0];
        return b == '.' ? 0 : b;
    }
    if (c == 0x8A) return 'S';
    if (c == 0x9A) return 's';
    if (c == 0x8E) return 'Z';
    if (c == 0x9E) return 'z';
    if (c == 0x9F) return 'Y';
    return 0;
}

} // namespace

QByteArray cp1252HelpContext(const QByteArray &bytes, int max)
{
    QByteArray out;
    for (char ch : bytes) {
        if (out.size() == max)
            break;
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_')
            out.append(char(c));
        else if (const char base = baseLetter(c))
            out.append(base);
    }
    return out;
}

} // namespace Platform
