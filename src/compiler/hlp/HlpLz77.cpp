// The LZ77 compression of the .HLP format, both ways.
#include "compiler/hlp/HlpLz77.h"

namespace Hlp {

namespace {
constexpr int MaxDepth = 48; // candidates tried per position: speed against size
}

// The chains are kept for the window alone: a position further back can
// never be copied, so its link is written over (memory does not grow with
// the data).
static_assert((Lz77Window & (Lz77Window - 1)) == 0, "the window is a power of two");
constexpr qsizetype WindowMask = Lz77Window - 1;

TLz77Matcher::TLz77Matcher(const QByteArray &data, const std::vector<char> *excluded)
    : m_data(data), m_excluded(excluded), m_head(1 << 15, -1), m_prev(size_t(Lz77Window), -1)
{
}

int TLz77Matcher::hashAt(qsizetype p) const
{
    const auto *d = reinterpret_cast<const uchar *>(m_data.constData()) + p;
    return ((d[0] << 10) ^ (d[1] << 5) ^ d[2]) & 0x7FFF;
}

bool TLz77Matcher::hashable(qsizetype p) const
{
    return p + 2 < m_data.size() && !excluded(p) && !excluded(p + 1) && !excluded(p + 2);
}

void TLz77Matcher::remember(qsizetype p)
{
    if (!hashable(p))
        return;
    const int h = hashAt(p);
    m_prev[size_t(p & WindowMask)] = m_head[size_t(h)];
    m_head[size_t(h)] = p;
}

TLz77Matcher::Match TLz77Matcher::longest(qsizetype p, int maxLength, qsizetype earliest) const
{
    Match best;
    if (maxLength < Lz77MinLength || !hashable(p))
        return best;
    maxLength = qMin(maxLength, Lz77MaxLength);
    qsizetype c = m_head[size_t(hashAt(p))];
    // A link is read only for a position inside the window, whose slot
    // no later position has taken yet.
    for (int depth = 0; c >= 0 && c >= earliest && p - c <= Lz77Window && depth < MaxDepth; ++depth, c = m_prev[size_t(c & WindowMask)]) {
        int length = 0;
        while (length < maxLength && p + length < m_data.size() && m_data[c + length] == m_data[p + length]
               && !excluded(c + length) && !excluded(p + length))
            ++length;
        if (length > best.length) {
            best = {length, c};
            if (length == maxLength)
                break;
        }
    }
    if (best.length < Lz77MinLength)
        best = {};
    return best;
}

quint16 lz77Code(qsizetype distance, int length)
{
    return quint16((distance - 1) | ((length - Lz77MinLength) << 12));
}

QByteArray lz77Compress(const QByteArray &in)
{
    TLz77Matcher matcher(in);
    QByteArray out;
    out.reserve(in.size() / 2 + 16);
    qsizetype flag = -1;
    int items = 8;
    for (qsizetype p = 0; p < in.size();) {
        if (items == 8) {
            flag = out.size();
            out.append('\0');
            items = 0;
        }
        const TLz77Matcher::Match m = matcher.longest(p, Lz77MaxLength, 0);
        qsizetype covered = 1;
        if (m.length) {
            const quint16 code = lz77Code(p - m.from, m.length);
            out[flag] = char(quint8(out[flag]) | (1 << items));
            out.append(char(code & 0xFF));
            out.append(char(code >> 8));
            covered = m.length;
        } else {
            out.append(in[p]);
        }
        ++items;
        for (qsizetype i = 0; i < covered; ++i)
            matcher.remember(p + i);
        p += covered;
    }
    return out;
}

QByteArray lz77Expand(const QByteArray &in, qsizetype limit)
{
    QByteArray out;
    qsizetype i = 0;
    while (i < in.size() && out.size() < limit) {
        const quint8 flags = quint8(in[i++]);
        for (int bit = 0; bit < 8 && i < in.size() && out.size() < limit; ++bit) {
            if (!(flags & (1 << bit))) {
                out.append(in[i++]);
                continue;
            }
            if (i + 1 >= in.size())
                return out;
            const quint16 code = quint16(quint8(in[i]) | (quint8(in[i + 1]) << 8));
            i += 2;
            const qsizetype distance = (code & 0x0FFF) + 1;
            const int length = (code >> 12) + Lz77MinLength;
            if (distance > out.size())
                return out;
            for (int k = 0; k < length && out.size() < limit; ++k)
                out.append(out[out.size() - distance]);
        }
    }
    return out;
}

} // namespace Hlp
