#include "platform/CodePage.h"

#include "platform/Cp1252.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Platform {

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0: // ANSI
    case 1: // DEFAULT
        return -1;
    case 2: return 0; // SYMBOL
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return -1;
    }
}

int charsetOfCodePage(int codePage)
{
    static const QHash<int, int> sets{{932, 128}, {949, 129}, {936, 134}, {950, 136}, {1253, 161}, {1254, 162}, {1258, 163},
                                      {1255, 177}, {1256, 178}, {1257, 186}, {1251, 204}, {874, 222}, {1250, 238}};
    return sets.value(codePage, 0);
}

TLanguage languageOfLcid(int lcid)
{
    struct TEntry {
        int codePage;
        const char *tag;
    };
    static const QHash<int, TEntry> languages{
        {0x01, {1256, "ar"}}, {0x02, {1251, "bg"}}, {0x03, {1252, "ca"}}, {0x04, {936, "zh"}},  {0x05, {1250, "cs"}},
        {0x06, {1252, "da"}}, {0x07, {1252, "de"}}, {0x08, {1253, "el"}}, {0x09, {1252, "en"}}, {0x0A, {1252, "es"}},
        {0x0B, {1252, "fi"}}, {0x0C, {1252, "fr"}}, {0x0D, {1255, "he"}}, {0x0E, {1250, "hu"}}, {0x0F, {1252, "is"}},
        {0x10, {1252, "it"}}, {0x11, {932, "ja"}},  {0x12, {949, "ko"}},  {0x13, {1252, "nl"}}, {0x14, {1252, "no"}},
        {0x15, {1250, "pl"}}, {0x16, {1252, "pt"}}, {0x18, {1250, "ro"}}, {0x19, {1251, "ru"}}, {0x1A, {1250, "hr"}},
        {0x1B, {1250, "sk"}}, {0x1C, {1250, "sq"}}, {0x1D, {1252, "sv"}}, {0x1E, {874, "th"}},  {0x1F, {1254, "tr"}},
        {0x22, {1251, "uk"}}, {0x23, {1251, "be"}}, {0x24, {1250, "sl"}}, {0x25, {1257, "et"}}, {0x26, {1257, "lv"}},
        {0x27, {1257, "lt"}}, {0x2A, {1258, "vi"}}};
    const auto it = languages.constFind(lcid & 0x3FF);
    if (it == languages.constEnd())
        return {};
    TLanguage language{it->codePage, QString::fromLatin1(it->tag)};
    // Chinese: Taiwan, Hong Kong and Macao write the traditional script.
    if ((lcid & 0x3FF) == 0x04 && (lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404))
        language.codePage = 950;
    // Serbian in Cyrillic letters.
    if ((lcid & 0x3FF) == 0x1A && (lcid == 0x0C1A || lcid == 0x1C1A))
        language = {1251, QStringLiteral("sr")};
    return language;
}

int lcidOfCodePage(int codePage)
{
    static const QHash<int, int> lcids{{1250, 0x415}, {1251, 0x419}, {1253, 0x408}, {1254, 0x41F}, {1255, 0x40D},
                                       {1256, 0x401}, {1257, 0x427}, {1258, 0x42A}, {874, 0x41E},  {932, 0x411},
                                       {936, 0x804},  {949, 0x412},  {950, 0x404}};
    return lcids.value(codePage, 0);
}

int guessDoubleBytePage(const QByteArray &text)
{
    qsizetype high = 0;
    for (const char c : text)
        high += uchar(c) >= 0x80;
    // Too few letters outside ASCII to say anything.
    if (high < 8)
        return 0;
    for (const int number : {932, 949, 936, 950}) {
        const CodePage page(number);
        if (!page.isDoubleByte())
            continue;
        qsizetype bad = 0, kana = 0, hangul = 0, han = 0, other = 0;
        for (const QChar c : page.decode(text)) {
            const char16_t u = c.unicode();
            if (u < 0x80)
                continue;
            if (u == 0xFFFD)
                ++bad;
            else if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0xFF66 && u <= 0xFF9D))
                ++kana;
            else if (u >= 0xAC00 && u <= 0xD7A3)
                ++hangul;
            else if (u >= 0x4E00 && u <= 0x9FFF)
                ++han;
            else
                ++other;
        }
        const qsizetype letters = bad + kana + hangul + han + other;
        if (letters == 0 || bad * 100 > letters)
            continue;
        // Latin text with accents reads as scattered ideographs in every
        // one of these pages: each must show what its own script has.
        if (number == 932 && kana * 10 >= letters && kana >= 4)
            return number;
        if (number == 949 && hangul * 2 >= letters)
            return number;
        if ((number == 936 || number == 950) && han * 10 >= letters * 6 && high * 5 >= text.size())
            return number;
    }
    return 0;
}

CodePage::CodePage(int codePage)
{
    switch (codePage) {
    case 932: m_name = QStringLiteral("Shift_JIS"); m_lead = 0x81; break;
    case 936: m_name = QStringLiteral("GBK"); m_lead = 0x81; break;
    case 949: m_name = QStringLiteral("windows-949"); m_lead = 0x81; break;
    case 950: m_name = QStringLiteral("Big5"); m_lead = 0x81; break;
    case 874:
    case 1250: case 1251: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
        m_name = QStringLiteral("windows-%1").arg(codePage);
        break;
    default: return; // 1252
    }
    if (m_lead) {
        if (!QStringDecoder(m_name.toLatin1().constData()).isValid()) {
            m_name.clear(); // no converter on this system: read as 1252
            m_lead = 0;
            return;
        }
        m_number = codePage;
        return;
    }
    // Single-byte pages: a table either way.
    QStringDecoder decoder(m_name.toLatin1().constData());
    if (!decoder.isValid())
        return;
    auto table = std::make_shared<QString>(256, QChar(u'?'));
    auto reverse = std::make_shared<QHash<char16_t, char>>();
    for (int b = 0; b < 256; ++b) {
        const QString c = decoder.decode(QByteArray(1, char(b)));
        // A byte without a character keeps its value, as in 1252.
        const char16_t u = c.size() == 1 && c[0] != QChar::ReplacementCharacter ? c[0].unicode() : char16_t(b);
        (*table)[b] = QChar(u);
        if (!reverse->contains(u))
            reverse->insert(u, char(b));
    }
    m_table = table;
    m_reverse = reverse;
    m_number = codePage;
}

bool CodePage::isLeadByte(unsigned char b) const
{
    if (!m_lead)
        return false;
    if (m_number == 932)
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    return b >= 0x81 && b <= 0xFE;
}

QString CodePage::decode(const QByteArray &bytes) const
{
    if (m_table) {
        QString out(bytes.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            out[i] = m_table->at(uchar(bytes[i]));
        return out;
    }
    if (m_lead)
        return QStringDecoder(m_name.toLatin1().constData()).decode(bytes);
    return fromCp1252(bytes);
}

QByteArray CodePage::encode(const QString &text, QString *lost) const
{
    QByteArray out;
    out.reserve(text.size());
    const auto missing = [&](const QString &c) {
        out += '?';
        if (lost && !lost->contains(c))
            *lost += c;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            continue;
        }
        if (m_reverse) {
            const auto it = m_reverse->constFind(c.unicode());
            if (it != m_reverse->constEnd())
                out += *it;
            else
                missing(c);
            continue;
        }
        // A pair of surrogates is one character.
        const QString one = c.isHighSurrogate() && i + 1 < text.size() ? text.mid(i++, 2) : QString(c);
        if (m_lead) {
            QStringEncoder encoder(m_name.toLatin1().constData());
            const QByteArray bytes = encoder.encode(one);
            if (!encoder.hasError() && QStringDecoder(m_name.toLatin1().constData()).decode(bytes) == one)
                out += bytes;
            else
                missing(one);
            continue;
        }
        const int b = cp1252Byte(c);
        if (b >= 0)
            out += char(b);
        else
            missing(one);
    }
    return out;
}

} // namespace Platform
