// Phrase compression of the .HLP format: the phrases chosen, the text written
// with them.
#include "compiler/hlp/HlpPhrases.h"

#include "compiler/hlp/HlpEncode.h"
#include "compiler/hlp/HlpLz77.h"

#include <algorithm>

namespace Hlp {

namespace {

// Phrase numbers the codes can reach: 0..127 in one byte, up to 16511 in two.
constexpr int OneByteCodes = 128;
constexpr int MaxPhrases = 16512;

bool isWordByte(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
           || (c >= 0xC0 && c != 0xD7 && c != 0xF7) || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A
           || c == 0x9C || c == 0x9E || c == 0x9F;
}

// The token starting at `at`: a run of word bytes, or of other bytes that
// are neither blanks nor NULs.
qsizetype tokenEnd(const QByteArray &text, qsizetype at)
{
    const bool word = isWordByte(quint8(text[at]));
    qsizetype end = at + 1;
    while (end < text.size()) {
        const unsigned char c = quint8(text[end]);
        if (c == ' ' || c == '\0' || isWordByte(c) != word)
            break;
        ++end;
    }
    return end;
}

// Bits written low bit first into little-endian 32-bit words.
class TBitWriter {
public:
    void put(quint32 value, int bits)
    {
        for (int i = 0; i < bits; ++i)
            bit((value >> i) & 1);
    }
    void bit(bool b)
    {
        if (m_used == 32)
            flush();
        m_word |= quint32(b) << m_used++;
    }
    void align()
    {
        if (m_used)
            flush();
    }
    QByteArray bytes()
    {
        align();
        return m_out;
    }

private:
    void flush()
    {
        putU32(m_out, m_word);
        m_word = 0;
        m_used = 0;
    }
    QByteArray m_out;
    quint32 m_word = 0;
    int m_used = 0;
};

} // namespace

void THallPhrases::choose(const QList<QByteArray> &texts)
{
    // How often each token occurs, alone and followed by one blank (a
    // phrase may carry that blank: it saves the byte of the blank).
    struct TCount {
        int alone = 0, spaced = 0;
    };
    QHash<QByteArray, TCount> counts;
    for (const QByteArray &text : texts)
        for (qsizetype at = 0; at < text.size();) {
            const unsigned char c = quint8(text[at]);
            if (c == ' ' || c == '\0') {
                ++at;
                continue;
            }
            const qsizetype end = tokenEnd(text, at);
            const bool spaced = end < text.size() && text[end] == ' ' && (end + 1 >= text.size() || text[end + 1] != ' ');
            TCount &count = counts[text.mid(at, end - at)];
            (spaced ? count.spaced : count.alone)++;
            at = end;
        }
    // A phrase of L bytes used n times saves n * (L - 2) bytes of text
    // (a two-byte code) and costs its L bytes in the phrase image.
    struct TCandidate {
        QByteArray text;
        int uses;
        qint64 gain;
    };
    std::vector<TCandidate> candidates;
    const auto consider = [&candidates](const QByteArray &text, int uses) {
        const qint64 gain = qint64(uses) * (text.size() - 2) - text.size();
        if (uses >= 2 && gain > 0)
            candidates.push_back({text, uses, gain});
        return gain > 0 && uses >= 2;
    };
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const bool spacedTaken = consider(it.key() + ' ', it.value().spaced);
        consider(it.key(), it.value().alone + (spacedTaken ? 0 : it.value().spaced));
    }
    // The most useful first; ties in byte order, so that builds agree.
    std::sort(candidates.begin(), candidates.end(), [](const TCandidate &a, const TCandidate &b) {
        return a.gain != b.gain ? a.gain > b.gain : a.text < b.text;
    });
    if (candidates.size() > size_t(MaxPhrases))
        candidates.resize(MaxPhrases);
    // One-byte codes for the most used.
    std::stable_sort(candidates.begin(), candidates.end(), [](const TCandidate &a, const TCandidate &b) {
        return a.uses > b.uses;
    });
    m_phrases.clear();
    m_number.clear();
    for (const TCandidate &c : candidates) {
        m_number.insert(c.text, int(m_phrases.size()));
        m_phrases.append(c.text);
    }
}

QByteArray THallPhrases::encode(const QByteArray &text) const
{
    QByteArray out, literal;
    const auto flush = [&]() {
        for (qsizetype at = 0; at < literal.size(); at += 32) {
            const qsizetype n = qMin<qsizetype>(32, literal.size() - at);
            out.append(char(((n - 1) << 3) | 0x03));
            out.append(literal.constData() + at, n);
        }
        literal.clear();
    };
    for (qsizetype at = 0; at < text.size();) {
        const char c = text[at];
        if (c == ' ' || c == '\0') {
            qsizetype run = 1;
            while (at + run < text.size() && text[at + run] == c && run < 16)
                ++run;
            if (c == ' ' && run == 1 && !literal.isEmpty()) { // one blank costs a byte either way
                literal.append(' ');
            } else {
                flush();
                out.append(char(((run - 1) << 4) | (c == ' ' ? 0x07 : 0x0F)));
            }
            at += run;
            continue;
        }
        const qsizetype end = tokenEnd(text, at);
        const QByteArray token = text.mid(at, end - at);
        int number = -1;
        qsizetype next = end;
        if (end < text.size() && text[end] == ' ') {
            number = m_number.value(token + ' ', -1);
            next = end + 1;
        }
        if (number < 0) {
            number = m_number.value(token, -1);
            next = end;
        }
        if (number < 0) {
            literal += token;
        } else {
            flush();
            if (number < OneByteCodes) {
                out.append(char(number << 1));
            } else {
                const int j = number - OneByteCodes;
                out.append(char(((j >> 8) << 2) | 0x01));
                out.append(char(j & 0xFF));
            }
        }
        at = next;
    }
    flush();
    return out;
}

QByteArray THallPhrases::phraseImage(bool lz77) const
{
    QByteArray image;
    for (const QByteArray &p : m_phrases)
        image += p;
    if (lz77) {
        const QByteArray packed = lz77Compress(image);
        if (packed.size() < image.size())
            return packed;
    }
    return image;
}

QByteArray THallPhrases::phraseIndex(bool lz77) const
{
    qsizetype imageSize = 0;
    for (const QByteArray &p : m_phrases)
        imageSize += p.size();
    // The Rice parameter that makes the lengths shortest (the readers take
    // 1 to 5 remainder bits).
    int bestK = 1;
    qint64 bestBits = -1;
    for (int k = 1; k <= 5; ++k) {
        qint64 bits = 0;
        for (const QByteArray &p : m_phrases)
            bits += ((p.size() - 1) >> k) + 1 + k;
        if (bestBits < 0 || bits < bestBits) {
            bestBits = bits;
            bestK = k;
        }
    }
    TBitWriter stream;
    for (const QByteArray &p : m_phrases) {
        const quint32 v = quint32(p.size() - 1);
        for (quint32 q = v >> bestK; q > 0; --q)
            stream.bit(true);
        stream.bit(false);
        stream.put(v & ((1u << bestK) - 1), bestK);
    }
    stream.align();
    // One flag per phrase: set for the words (read by full-text search).
    for (const QByteArray &p : m_phrases)
        stream.bit(isWordByte(quint8(p[0])));
    const QByteArray bits = stream.bytes();
    QByteArray out;
    putU32(out, 1);
    putU32(out, quint32(m_phrases.size()));
    putU32(out, quint32(4 + bits.size())); // from offset 24 to the end
    putU32(out, quint32(imageSize));
    putU32(out, quint32(phraseImage(lz77).size()));
    putU32(out, 0);
    putU16(out, quint16((((2 * m_phrases.size()) & 0xFFF) << 4) | bestK));
    putU16(out, 0x4A00);
    return out + bits;
}

} // namespace Hlp
